#pragma once
// The popup's drawing. Every drawing object is made for one drawing and deleted after it.
#include "CString.h"
#include "PopupPlacement.h"

#include <windows.h>

constexpr COLORREF kPopupTextColour = RGB(255, 255, 255);
constexpr COLORREF kPopupHighlightColour = RGB(50, 50, 255);
constexpr COLORREF kPopupGreyBoxColour = RGB(128, 128, 128);

struct PopupLines {
    CString line1;
    CString line2;
    // The line that turns blue under the pointer.
    CString line3;
};

// The picture on displays of more than 256 colours, the grey box on the others, at the
// popup's full size for the slide's DPI. With high contrast instead a box in the theme's
// window colour framed in its text colour.
void DrawPopupBackground(HDC dc, const SlideState& slide, bool highContrast = false);
// Bitmap 143 with its palette at the origin: 1:1 at 96 DPI, smoothly stretched at any other;
// nothing when it cannot be loaded.
void DrawPopupPicture(HDC dc, const SlideState& slide);
// A grey box of the popup's full size with a one-pixel black frame.
void DrawPopupGreyBox(HDC dc, const SlideState& slide);
// The three centred lines in 12-point bold Arial (16 pixels at 96 DPI), white, line 3 blue
// when highlighted, placed for the slide's edge, current size and DPI. Drawn over what is
// there, without a background. With high contrast in the theme's text colour, line 3 in
// its hyperlink colour when highlighted.
void DrawPopupTexts(HDC dc, const PopupLines& lines, const SlideState& slide, bool highlight,
                    bool highContrast = false);
