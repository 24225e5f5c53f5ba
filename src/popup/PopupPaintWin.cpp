#include "popup/PopupPaintWin.h"

#include "fw/GdiWin.h"
#include "res/resource.h"

#include <cstring>

namespace {

LOGFONTA PopupFont() {
    LOGFONTA font = {};
    font.lfHeight = 16;
    font.lfWeight = FW_BOLD;
    font.lfCharSet = ANSI_CHARSET;
    font.lfOutPrecision = OUT_DEFAULT_PRECIS;
    font.lfClipPrecision = CLIP_DEFAULT_PRECIS;
    font.lfQuality = PROOF_QUALITY;
    font.lfPitchAndFamily = DEFAULT_PITCH | FF_DONTCARE;
    std::strcpy(font.lfFaceName, "Arial");
    return font;
}

int LineHeight(HDC dc, const CString& line) {
    RECT rect = {0, 0, kTextRight, 0};
    DrawTextA(dc, line, -1, &rect, DT_CALCRECT | DT_CENTER);
    return rect.bottom - rect.top;
}

void DrawLine(HDC dc, const CString& line, int left, int top) {
    RECT rect = {left, top, kTextRight, kTextBottom};
    DrawTextA(dc, line, -1, &rect, DT_CENTER);
}

} // namespace

void DrawPopupBackground(HDC dc) {
    // NUMCOLORS is -1 only on displays of more than 8 bits per pixel.
    if (GetDeviceCaps(dc, NUMCOLORS) == -1)
        DrawPopupPicture(dc);
    else
        DrawPopupGreyBox(dc);
}

void DrawPopupPicture(HDC dc) {
    CDibBitmap picture;
    if (!picture.Load(GetModuleHandleA(nullptr), IDB_POPUP))
        return;
    CSelectPalette palette(dc, picture.GetPalette());
    picture.Draw(dc, SRCCOPY);
}

void DrawPopupGreyBox(HDC dc) {
    const RECT box = {0, 0, kPopupWidth, kPopupHeight};
    CBrush grey;
    if (grey.CreateSolidBrush(kPopupGreyBoxColour))
        FillRect(dc, &box, grey.Get());
    CBrush black;
    if (black.CreateSolidBrush(RGB(0, 0, 0)))
        FrameRect(dc, &box, black.Get());
}

void DrawPopupTexts(HDC dc, const PopupLines& lines, const SlideState& slide, bool highlight) {
    CFont font;
    font.CreateFontIndirect(PopupFont());
    // Without the font the lines are measured and drawn in the context's current one.
    CSelectObject selection(dc, font.Get());
    const TextLayout layout = LayOutTexts(slide, LineHeight(dc, lines.line1),
                                          LineHeight(dc, lines.line2), LineHeight(dc, lines.line3));
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, kPopupTextColour);
    DrawLine(dc, lines.line1, layout.left, layout.top1);
    DrawLine(dc, lines.line2, layout.left, layout.top2);
    SetTextColor(dc, highlight ? kPopupHighlightColour : kPopupTextColour);
    DrawLine(dc, lines.line3, layout.left, layout.top3);
}
