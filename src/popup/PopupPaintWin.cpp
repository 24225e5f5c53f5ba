#include "PopupPaintWin.h"

#include "GdiWin.h"
#include "resource.h"

#include <cstring>

namespace {

// The character cell's height, in points, so that the text keeps its size on the screen
// at any DPI.
constexpr int kFontPoints = 12;
constexpr int kPointsPerInch = 72;

LOGFONTA PopupFont(int dpi) {
    LOGFONTA font = {};
    font.lfHeight = MulDiv(kFontPoints, dpi, kPointsPerInch);
    font.lfWeight = FW_BOLD;
    font.lfCharSet = ANSI_CHARSET;
    font.lfOutPrecision = OUT_DEFAULT_PRECIS;
    font.lfClipPrecision = CLIP_DEFAULT_PRECIS;
    font.lfQuality = PROOF_QUALITY;
    font.lfPitchAndFamily = DEFAULT_PITCH | FF_DONTCARE;
    std::strcpy(font.lfFaceName, "Arial");
    return font;
}

int LineHeight(HDC dc, const CString& line, int right) {
    RECT rect = {0, 0, right, 0};
    DrawTextA(dc, line, -1, &rect, DT_CALCRECT | DT_CENTER);
    return rect.bottom - rect.top;
}

void DrawLine(HDC dc, const CString& line, const TextLayout& layout, int top) {
    RECT rect = {layout.left, top, layout.right, layout.bottom};
    DrawTextA(dc, line, -1, &rect, DT_CENTER);
}

// A box of the popup's full size with a one-pixel frame. FillRect also takes a system
// colour's index plus one for a brush.
void DrawBox(HDC dc, const SlideState& slide, HBRUSH fill, HBRUSH frame) {
    RECT box = {0, 0, FullWidth(slide), FullHeight(slide)};
    FillRect(dc, &box, frame);
    InflateRect(&box, -1, -1);
    FillRect(dc, &box, fill);
}

HBRUSH SystemColourBrush(int index) {
    return reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(index + 1));
}

} // namespace

void DrawPopupBackground(HDC dc, const SlideState& slide, bool highContrast) {
    if (highContrast)
        DrawBox(dc, slide, SystemColourBrush(COLOR_WINDOW), SystemColourBrush(COLOR_WINDOWTEXT));
    // NUMCOLORS is -1 only on displays of more than 8 bits per pixel.
    else if (GetDeviceCaps(dc, NUMCOLORS) == -1)
        DrawPopupPicture(dc, slide);
    else
        DrawPopupGreyBox(dc, slide);
}

void DrawPopupPicture(HDC dc, const SlideState& slide) {
    CDibBitmap picture;
    if (!picture.Load(GetModuleHandleA(nullptr), IDB_POPUP))
        return;
    CSelectPalette palette(dc, picture.GetPalette());
    if (slide.dpi == kDefaultDpi)
        picture.Draw(dc, SRCCOPY);
    else
        picture.DrawScaled(dc, FullWidth(slide), FullHeight(slide));
}

void DrawPopupGreyBox(HDC dc, const SlideState& slide) {
    CBrush grey;
    grey.CreateSolidBrush(kPopupGreyBoxColour);
    CBrush black;
    black.CreateSolidBrush(RGB(0, 0, 0));
    // A missing brush draws nothing.
    DrawBox(dc, slide, grey.Get(), black.Get());
}

void DrawPopupTexts(HDC dc, const PopupLines& lines, const SlideState& slide, bool highlight,
                    bool highContrast) {
    CFont font;
    font.CreateFontIndirect(PopupFont(slide.dpi));
    // Without the font the lines are measured and drawn in the context's current one.
    CSelectObject selection(dc, font.Get());
    const int right = ScaleToDpi(kTextRight, slide.dpi);
    const TextLayout layout =
        LayOutTexts(slide, LineHeight(dc, lines.line1, right), LineHeight(dc, lines.line2, right),
                    LineHeight(dc, lines.line3, right));
    const COLORREF text = highContrast ? GetSysColor(COLOR_WINDOWTEXT) : kPopupTextColour;
    const COLORREF hot = highContrast ? GetSysColor(COLOR_HOTLIGHT) : kPopupHighlightColour;
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, text);
    DrawLine(dc, lines.line1, layout, layout.top1);
    DrawLine(dc, lines.line2, layout, layout.top2);
    SetTextColor(dc, highlight ? hot : text);
    DrawLine(dc, lines.line3, layout, layout.top3);
}
