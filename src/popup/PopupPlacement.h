#pragma once
// Where the notification popup comes out of the taskbar, how it slides, and where its three
// lines go. Pure arithmetic on screen rectangles, so every case is tested off Windows; the
// popup window feeds it what the shell reports.

// Screen edges of the taskbar, with the shell's values. Any other value counts as bottom.
constexpr int kEdgeLeft = 0;
constexpr int kEdgeTop = 1;
constexpr int kEdgeRight = 2;
constexpr int kEdgeBottom = 3;

// Sizes, steps and margins are in pixels at 96 DPI (100 %) and scale with the DPI of the
// monitor the popup comes out on, so it looks the same at any scale and the slide, in as
// many steps, takes as long.
constexpr int kDefaultDpi = 96;
constexpr int kPopupWidth = 150;
constexpr int kPopupHeight = 120;
constexpr int kSlideStep = 5;
constexpr unsigned kSlideStepMs = 15;
constexpr unsigned kSlideHoldMs = 10000;

// The lines are centred in the band from TextLayout::left to kTextRight and clipped at
// kTextBottom.
constexpr int kTextRight = 148;
constexpr int kTextBottom = 118;

// A length at 96 DPI, at dpi, rounded to the nearest pixel.
int ScaleToDpi(int length, int dpi);

struct ScreenRect {
    int left;
    int top;
    int right;
    int bottom;

    bool IsEmpty() const { return right <= left || bottom <= top; }
};

struct ScreenPoint {
    int x;
    int y;
};

// A window's position and size.
struct WindowBox {
    int x;
    int y;
    int width;
    int height;
};

struct Taskbar {
    int edge;
    ScreenRect rect;
};

// A taskbar report thinner than this many pixels is made up (Wine's shell reports a
// one-pixel strip while its taskbar is 20 pixels high).
constexpr int kThinnestTaskbar = 5;

// True when the rectangle the shell reports for its taskbar can be the taskbar: at least
// kThinnestTaskbar thick and lying on the screen edge it runs along.
bool IsPlausibleReport(const ScreenRect& reported, const ScreenRect& screen);

// Chooses the taskbar the popup comes out of. The shell's report wins when it is plausible.
// Otherwise the visible taskbar window; then any non-empty report. The edge follows from
// where the rectangle lies on the screen: the shell documents only the rectangle. With none
// of them, a zero-height taskbar along the bottom of the work area, so the popup still
// appears at the bottom right instead of not at all. Null pointers stand for "not
// available".
Taskbar ResolveTaskbar(const ScreenRect* reported, const ScreenRect* visibleWindow,
                       const ScreenRect& screen, const ScreenRect& workArea);

// The centre of the notification area, or, when it cannot be found, the far end of the
// taskbar (right end of a horizontal one, bottom end of a vertical one), where the shell
// keeps it.
ScreenPoint NotifyAreaCentre(const ScreenRect* notifyArea, const Taskbar& taskbar);

// One slide cycle. Along a horizontal taskbar only the height changes (the width stays 0 and
// the window is kPopupWidth wide); along a vertical one only the width.
struct SlideState {
    int dpi = kDefaultDpi;
    int edge = kEdgeBottom;
    int anchorX = 0;
    int anchorY = 0;
    int width = 0;
    int height = 0;
    int widthStep = 0;
    int heightStep = 0;
};

// The start of a cycle: zero size, growing, anchored next to the notification area. Along
// the taskbar the popup is centred on the notification area but ends before the taskbar's
// far end (two pixels before it at the bottom), and never starts before the screen does.
// Sizes, margins and the step scale with the DPI of the popup's monitor.
SlideState StartSlide(const Taskbar& taskbar, ScreenPoint notifyCentre, const ScreenRect& screen,
                      int dpi = kDefaultDpi);
// The size of the popup when it is fully out.
int FullWidth(const SlideState& slide);
int FullHeight(const SlideState& slide);
// One step: fully out reverses the direction first, then the size changes by the step,
// never beyond the full size or below zero.
void StepSlide(SlideState& slide);
bool IsFullyOut(const SlideState& slide);
bool HasSize(const SlideState& slide);
// The window's place for the current size.
WindowBox SlideWindowBox(const SlideState& slide);

struct TextLayout {
    int left;
    int top1;
    int top2;
    int top3;
    // The band's right edge and the line's clipping bottom.
    int right;
    int bottom;
};

// Places the three lines of the given heights for the taskbar edge and the current size.
TextLayout LayOutTexts(const SlideState& slide, int height1, int height2, int height3);
