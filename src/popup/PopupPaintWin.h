#pragma once
// The popup's drawing. Every drawing object is made for one drawing and deleted after it.
#include "fw/CString.h"
#include "popup/PopupPlacement.h"

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

// The picture on displays of more than 256 colours, the grey box on the others.
void DrawPopupBackground(HDC dc);
// Bitmap 143 with its palette, 1:1 at the origin; nothing when it cannot be loaded.
void DrawPopupPicture(HDC dc);
// A grey 150 x 120 box with a one-pixel black frame.
void DrawPopupGreyBox(HDC dc);
// The three centred lines in 16-unit bold Arial, white, line 3 blue when highlighted, placed
// for the slide's edge and current size. Drawn over what is there, without a background.
void DrawPopupTexts(HDC dc, const PopupLines& lines, const SlideState& slide, bool highlight);
