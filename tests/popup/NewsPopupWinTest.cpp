// The popup on real windows: its slide, hover, click and drawing, and the GDI wrappers it
// draws with. Runs under Wine.
#include "GdiWin.h"
#include "HandleCount.h"
#include "NewsPopupWin.h"
#include "ResString.h"
#include "resource.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::vector<std::string> g_launched;

void RecordLaunch(const CString& url) {
    g_launched.push_back(url.str());
}

template <typename Done> bool PumpUntil(Done done, DWORD limitMs) {
    const DWORD start = GetTickCount();
    while (!done()) {
        if (GetTickCount() - start > limitMs)
            return false;
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
        if (!done())
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
    }
    return true;
}

void Pump(DWORD ms) {
    const DWORD start = GetTickCount();
    PumpUntil([&] { return GetTickCount() - start >= ms; }, ms + 1000);
}

// A popup whose taskbar a test can dock to any edge, and whose high-contrast setting it
// chooses (Wine has no high-contrast themes).
class CTestPopup : public CNewsPopupWnd {
public:
    CTestPopup() : CNewsPopupWnd(RecordLaunch) {}
    bool highContrast = false;
    bool docked = false;
    Taskbar taskbar = {kEdgeBottom, {0, 0, 0, 0}};
    ScreenPoint notifyCentre = {0, 0};
    int dpi = kDefaultDpi;

protected:
    Taskbar FindTaskbar() override { return docked ? taskbar : CNewsPopupWnd::FindTaskbar(); }
    ScreenPoint FindNotifyArea(const Taskbar& bar) override {
        return docked ? notifyCentre : CNewsPopupWnd::FindNotifyArea(bar);
    }
    int MonitorDpi(ScreenPoint point) override {
        return docked ? dpi : CNewsPopupWnd::MonitorDpi(point);
    }
    bool HighContrast() override { return highContrast; }
};

RECT WindowRect(HWND window) {
    RECT rect = {0, 0, 0, 0};
    GetWindowRect(window, &rect);
    return rect;
}

LPARAM PointParam(int x, int y) {
    return MAKELPARAM(static_cast<WORD>(static_cast<short>(x)),
                      static_cast<WORD>(static_cast<short>(y)));
}

// Counts the pixels of one colour in rows [top, bottom) of a device context.
int CountPixels(HDC dc, int top, int bottom, COLORREF colour, int width = kPopupWidth) {
    int count = 0;
    for (int y = top; y < bottom; ++y)
        for (int x = 0; x < width; ++x)
            count += GetPixel(dc, x, y) == colour;
    return count;
}

struct GdiCounts {
    int values[5];
    static GdiCounts Now() {
        return GdiCounts{{LiveHandleCount(HandleKind::Font), LiveHandleCount(HandleKind::Brush),
                          LiveHandleCount(HandleKind::Bitmap), LiveHandleCount(HandleKind::Palette),
                          LiveHandleCount(HandleKind::DeviceContext)}};
    }
    bool operator==(const GdiCounts& other) const {
        for (int i = 0; i < 5; ++i)
            if (values[i] != other.values[i])
                return false;
        return true;
    }
};

class PopupWindow : public ::testing::Test {
protected:
    void SetUp() override {
        g_launched.clear();
        ASSERT_TRUE(CWnd::RegisterWindowClass("ZvPopupOwner", 0, nullptr, nullptr));
        RECT rect = {0, 0, 1, 1};
        ASSERT_TRUE(owner.CreateEx(0, "ZvPopupOwner", "owner", WS_POPUP, rect, nullptr, nullptr));
        ASSERT_TRUE(popup.Create(owner.m_hWnd));
    }
    void ShowDefaultLines() {
        popup.Show(LoadResString(IDS_POPUP_LINE1), LoadResString(IDS_POPUP_LINE2),
                   LoadResString(IDS_POPUP_LINE3));
    }
    bool PumpUntilFullyOut(DWORD limitMs = 5000) {
        return PumpUntil([&] { return IsFullyOut(popup.Slide()); }, limitMs);
    }
    bool PumpUntilHidden(DWORD limitMs = 5000) {
        return PumpUntil([&] { return !IsWindowVisible(popup.m_hWnd); }, limitMs);
    }
    CWnd owner;
    CTestPopup popup;
};

} // namespace

TEST_F(PopupWindow, CreatedHiddenOwnedAndTopmost) {
    EXPECT_FALSE(IsWindowVisible(popup.m_hWnd));
    EXPECT_EQ(owner.m_hWnd, GetWindow(popup.m_hWnd, GW_OWNER));
    const LONG_PTR exStyle = GetWindowLongPtrA(popup.m_hWnd, GWL_EXSTYLE);
    EXPECT_TRUE(exStyle & WS_EX_TOPMOST);
    EXPECT_TRUE(exStyle & WS_EX_TOOLWINDOW);
    EXPECT_EQ(static_cast<LONG_PTR>(WS_POPUP),
              GetWindowLongPtrA(popup.m_hWnd, GWL_STYLE) & (WS_POPUP | WS_CAPTION | WS_BORDER));
    EXPECT_FALSE(popup.IsTimerRunning());
}

TEST_F(PopupWindow, CycleOverTheRealTaskbarGrowsHoldsShrinksAndHides) {
    popup.SetTimings(1, 300);
    ShowDefaultLines();
    EXPECT_TRUE(IsWindowVisible(popup.m_hWnd));
    EXPECT_EQ(0, popup.Slide().height);
    EXPECT_TRUE(popup.IsTimerRunning());
    // The popup never takes the focus from the user's window.
    EXPECT_NE(popup.m_hWnd, GetForegroundWindow());

    ASSERT_TRUE(PumpUntilFullyOut());
    const DWORD outAt = GetTickCount();
    const RECT out = WindowRect(popup.m_hWnd);
    EXPECT_EQ(150, out.right - out.left);
    EXPECT_EQ(120, out.bottom - out.top);
    // Wine's shell gives no notification area and a made-up taskbar strip: the popup still
    // comes up at the bottom right, inside the screen.
    EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN) - 152, out.left);
    EXPECT_GE(out.top, 0);
    EXPECT_LE(out.bottom, GetSystemMetrics(SM_CYSCREEN));
    EXPECT_GT(out.bottom, GetSystemMetrics(SM_CYSCREEN) - 40);
    EXPECT_TRUE(IsWindowVisible(popup.m_hWnd));

    ASSERT_TRUE(PumpUntil([&] { return popup.Slide().height < 120; }, 5000));
    EXPECT_GE(GetTickCount() - outAt, 250u);
    EXPECT_EQ(115, popup.Slide().height);
    ASSERT_TRUE(PumpUntilHidden());
    EXPECT_EQ(0, popup.Slide().height);
    EXPECT_FALSE(popup.IsTimerRunning());
    EXPECT_EQ(0, WindowRect(popup.m_hWnd).bottom - WindowRect(popup.m_hWnd).top);
}

TEST_F(PopupWindow, EveryEdgeSlidesToItsFullyOutBox) {
    struct Row {
        const char* name;
        Taskbar taskbar;
        ScreenPoint centre;
        RECT fullyOut;
        int dpi = kDefaultDpi;
    } rows[] = {
        {"bottom", {kEdgeBottom, {0, 570, 800, 600}}, {750, 585}, {648, 450, 798, 570}},
        {"top", {kEdgeTop, {0, 0, 800, 30}}, {750, 15}, {650, 30, 800, 150}},
        {"left", {kEdgeLeft, {0, 0, 60, 600}}, {30, 560}, {60, 479, 210, 599}},
        {"right", {kEdgeRight, {740, 0, 800, 600}}, {770, 560}, {590, 479, 740, 599}},
        // The monitor's DPI scales the size and the margins alike.
        {"bottom at 192 dpi",
         {kEdgeBottom, {0, 708, 1024, 768}},
         {980, 738},
         {720, 468, 1020, 708},
         192},
        {"right at 144 dpi",
         {kEdgeRight, {964, 0, 1024, 768}},
         {994, 700},
         {739, 586, 964, 766},
         144},
    };
    popup.SetTimings(1, 60000);
    popup.docked = true;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        popup.taskbar = row.taskbar;
        popup.notifyCentre = row.centre;
        popup.dpi = row.dpi;
        ShowDefaultLines();
        ASSERT_TRUE(PumpUntilFullyOut());
        const RECT got = WindowRect(popup.m_hWnd);
        EXPECT_EQ(row.fullyOut.left, got.left);
        EXPECT_EQ(row.fullyOut.top, got.top);
        EXPECT_EQ(row.fullyOut.right, got.right);
        EXPECT_EQ(row.fullyOut.bottom, got.bottom);
        // Holding: the long timer runs and nothing moves.
        Pump(50);
        EXPECT_TRUE(IsFullyOut(popup.Slide()));
    }
}

TEST_F(PopupWindow, ShowDuringACycleRestartsFromZeroSize) {
    popup.SetTimings(1, 60000);
    ShowDefaultLines();
    ASSERT_TRUE(PumpUntilFullyOut());
    popup.Show("one", "two", "three");
    EXPECT_EQ(0, popup.Slide().height);
    EXPECT_EQ(0, WindowRect(popup.m_hWnd).bottom - WindowRect(popup.m_hWnd).top);
    EXPECT_TRUE(IsWindowVisible(popup.m_hWnd));
    EXPECT_TRUE(popup.IsTimerRunning());
    ASSERT_TRUE(PumpUntilFullyOut());
    EXPECT_EQ(120, WindowRect(popup.m_hWnd).bottom - WindowRect(popup.m_hWnd).top);
}

TEST_F(PopupWindow, RealTimingTakesTheHoldAndTheSteps) {
    ShowDefaultLines();
    const DWORD start = GetTickCount();
    ASSERT_TRUE(PumpUntilFullyOut());
    const DWORD grown = GetTickCount() - start;
    ASSERT_TRUE(PumpUntilHidden(20000));
    const DWORD total = GetTickCount() - start;
    // 24 steps of at least 15 ms each way around a 10 s hold.
    EXPECT_GE(grown, 24u * 14u);
    EXPECT_GE(total, 10000u + 48u * 14u);
    EXPECT_LT(total, 16000u);
}

TEST_F(PopupWindow, HoverHighlightsLineThreeAndCaptureFollowsThePointer) {
    popup.SetTimings(1, 60000);
    ShowDefaultLines();
    ASSERT_TRUE(PumpUntilFullyOut());
    UpdateWindow(popup.m_hWnd);
    struct Row {
        int x;
        int y;
        bool inside;
    } rows[] = {
        {10, 10, true}, {150, 120, true}, {151, 50, false}, {10, 10, true}, {50, 121, false},
        {10, 10, true}, {-1, 5, false},   {10, 10, true},   {5, -1, false},
    };
    CClientDC dc(popup.m_hWnd);
    for (const Row& row : rows) {
        SCOPED_TRACE(std::to_string(row.x) + "," + std::to_string(row.y));
        SendMessageA(popup.m_hWnd, WM_MOUSEMOVE, 0, PointParam(row.x, row.y));
        EXPECT_EQ(row.inside, popup.IsCaptured());
        EXPECT_EQ(row.inside, GetCapture() == popup.m_hWnd);
        const int blue = CountPixels(dc.Get(), 73, 90, kPopupHighlightColour);
        if (row.inside)
            EXPECT_GT(blue, 20);
        else
            EXPECT_EQ(0, blue);
        // Lines 1 and 2 stay white.
        EXPECT_EQ(0, CountPixels(dc.Get(), 31, 63, kPopupHighlightColour));
        EXPECT_GT(CountPixels(dc.Get(), 31, 63, kPopupTextColour), 20);
    }
}

TEST_F(PopupWindow, CaptureTakenByAnotherWindowIsForgotten) {
    popup.SetTimings(1, 60000);
    ShowDefaultLines();
    ASSERT_TRUE(PumpUntilFullyOut());
    SendMessageA(popup.m_hWnd, WM_MOUSEMOVE, 0, PointParam(20, 20));
    ASSERT_TRUE(popup.IsCaptured());
    SetCapture(owner.m_hWnd);
    EXPECT_FALSE(popup.IsCaptured());
    ReleaseCapture();
    SendMessageA(popup.m_hWnd, WM_MOUSEMOVE, 0, PointParam(20, 20));
    EXPECT_TRUE(popup.IsCaptured());
    EXPECT_EQ(popup.m_hWnd, GetCapture());
}

TEST_F(PopupWindow, CycleEndReleasesTheCapture) {
    popup.SetTimings(1, 30);
    ShowDefaultLines();
    ASSERT_TRUE(PumpUntilFullyOut());
    SendMessageA(popup.m_hWnd, WM_MOUSEMOVE, 0, PointParam(20, 20));
    ASSERT_TRUE(popup.IsCaptured());
    ASSERT_TRUE(PumpUntilHidden());
    EXPECT_FALSE(popup.IsCaptured());
    EXPECT_NE(popup.m_hWnd, GetCapture());
}

TEST_F(PopupWindow, ClickDuringTheSlideOpensTheHomePageOnceAndTheSlideGoesOn) {
    popup.SetTimings(5, 100);
    ShowDefaultLines();
    ASSERT_TRUE(PumpUntil([&] { return popup.Slide().height >= 30; }, 5000));
    SendMessageA(popup.m_hWnd, WM_MOUSEMOVE, 0, PointParam(20, 20));
    SendMessageA(popup.m_hWnd, WM_LBUTTONUP, 0, PointParam(20, 20));
    ASSERT_EQ(1u, g_launched.size());
    EXPECT_EQ(LoadResString(IDS_HOME_URL).str(), g_launched[0]);
    EXPECT_FALSE(popup.IsCaptured());
    EXPECT_TRUE(popup.IsTimerRunning());
    EXPECT_TRUE(IsWindowVisible(popup.m_hWnd));
    ASSERT_TRUE(PumpUntilFullyOut());
    ASSERT_TRUE(PumpUntilHidden());
    EXPECT_EQ(1u, g_launched.size());
}

TEST_F(PopupWindow, DrawingObjectsReturnToTheirBaseline) {
    popup.SetTimings(1, 60000);
    const GdiCounts baseline = GdiCounts::Now();
    ShowDefaultLines();
    ASSERT_TRUE(PumpUntilFullyOut());
    for (int i = 0; i < 200; ++i) {
        InvalidateRect(popup.m_hWnd, nullptr, FALSE);
        UpdateWindow(popup.m_hWnd);
        SendMessageA(popup.m_hWnd, WM_MOUSEMOVE, 0, PointParam(20, 20));
        SendMessageA(popup.m_hWnd, WM_MOUSEMOVE, 0, PointParam(200, 20));
    }
    EXPECT_TRUE(GdiCounts::Now() == baseline);
    // The picture is there: the panel is blue.
    CClientDC dc(popup.m_hWnd);
    const COLORREF panel = GetPixel(dc.Get(), 75, 10);
    EXPECT_GT(GetBValue(panel), GetRValue(panel));
}

// The theme changes while the popup is out: it draws again in the theme's colours, then in
// its picture again, and keeps no drawing object.
TEST_F(PopupWindow, ThemeChangeRedrawsInTheThemesColours) {
    popup.SetTimings(1, 60000);
    const GdiCounts baseline = GdiCounts::Now();
    ShowDefaultLines();
    ASSERT_TRUE(PumpUntilFullyOut());
    for (bool highContrast : {true, false}) {
        popup.highContrast = highContrast;
        SendMessageA(popup.m_hWnd, WM_SETTINGCHANGE, SPI_SETHIGHCONTRAST, 0);
        UpdateWindow(popup.m_hWnd);
        EXPECT_TRUE(GdiCounts::Now() == baseline);
        CClientDC dc(popup.m_hWnd);
        const COLORREF panel = GetPixel(dc.Get(), 75, 10);
        if (highContrast)
            EXPECT_EQ(GetSysColor(COLOR_WINDOW), panel);
        else
            EXPECT_GT(GetBValue(panel), GetRValue(panel));
    }
}

// Screen readers announce the popup when it comes out, while the focus stays where it was
// (the system tests read its name and role from another process).
HWND g_alerted = nullptr;

void CALLBACK RecordAlert(HWINEVENTHOOK, DWORD, HWND window, LONG object, LONG child, DWORD,
                          DWORD) {
    if (object == OBJID_CLIENT && child == CHILDID_SELF)
        g_alerted = window;
}

TEST_F(PopupWindow, ComingOutIsAnnouncedAsAnAlert) {
    g_alerted = nullptr;
    const HWINEVENTHOOK hook =
        SetWinEventHook(EVENT_SYSTEM_ALERT, EVENT_SYSTEM_ALERT, nullptr, RecordAlert,
                        GetCurrentProcessId(), 0, WINEVENT_OUTOFCONTEXT);
    ASSERT_NE(nullptr, hook);
    ShowDefaultLines();
    EXPECT_TRUE(PumpUntil([] { return g_alerted != nullptr; }, 5000));
    EXPECT_EQ(popup.m_hWnd, g_alerted);
    UnhookWinEvent(hook);
}

TEST(PopupWithoutWindow, ShowDoesNothing) {
    CNewsPopupWnd popup(RecordLaunch);
    popup.Show("a", "b", "c");
    EXPECT_EQ(nullptr, popup.m_hWnd);
    EXPECT_FALSE(popup.IsTimerRunning());
}

// Drawing into a 24-bit bitmap of the popup's size.
class PopupDrawing : public ::testing::Test {
protected:
    void SetUp() override {
        baseline = GdiCounts::Now();
        BITMAPINFO info = {};
        info.bmiHeader.biSize = sizeof(info.bmiHeader);
        info.bmiHeader.biWidth = 310;
        info.bmiHeader.biHeight = -250;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 24;
        void* bits = nullptr;
        target = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
        ASSERT_NE(nullptr, target);
        dc = CreateCompatibleDC(nullptr);
        previous = SelectObject(dc, target);
        const RECT all = {0, 0, 310, 250};
        FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    }
    void TearDown() override {
        SelectObject(dc, previous);
        DeleteDC(dc);
        DeleteObject(target);
        EXPECT_TRUE(GdiCounts::Now() == baseline);
    }
    GdiCounts baseline;
    HBITMAP target = nullptr;
    HDC dc = nullptr;
    HGDIOBJ previous = nullptr;
};

TEST_F(PopupDrawing, GreyBoxWithABlackFrame) {
    DrawPopupGreyBox(dc, SlideState());
    const struct {
        int x;
        int y;
        COLORREF colour;
    } rows[] = {
        {0, 0, RGB(0, 0, 0)},        {149, 119, RGB(0, 0, 0)},      {75, 0, RGB(0, 0, 0)},
        {1, 1, kPopupGreyBoxColour}, {75, 60, kPopupGreyBoxColour}, {148, 118, kPopupGreyBoxColour},
        {150, 60, RGB(0, 0, 0)},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(std::to_string(row.x) + "," + std::to_string(row.y));
        EXPECT_EQ(row.colour, GetPixel(dc, row.x, row.y));
    }
    // Nothing is painted outside the box.
    EXPECT_EQ(RGB(0, 0, 0), GetPixel(dc, 155, 125));
}

// With a high-contrast theme: the theme's window colour framed in its text colour, and the
// texts in its text colour, line 3 in its hyperlink colour when highlighted.
TEST_F(PopupDrawing, HighContrastDrawsInTheThemesColours) {
    SlideState fullyOut;
    fullyOut.height = kPopupHeight;
    DrawPopupBackground(dc, fullyOut, true);
    const COLORREF window = GetSysColor(COLOR_WINDOW);
    const COLORREF text = GetSysColor(COLOR_WINDOWTEXT);
    EXPECT_EQ(text, GetPixel(dc, 0, 0));
    EXPECT_EQ(text, GetPixel(dc, 149, 119));
    EXPECT_EQ(window, GetPixel(dc, 1, 1));
    EXPECT_EQ(window, GetPixel(dc, 75, 100));
    EXPECT_EQ(RGB(0, 0, 0), GetPixel(dc, 150, 60));
    const int frameOnly = CountPixels(dc, 31, 63, text);
    const PopupLines lines = {"There are new", "articles on Zavora", "Click here to view"};
    DrawPopupTexts(dc, lines, fullyOut, true, true);
    EXPECT_GT(CountPixels(dc, 31, 63, text), frameOnly + 20);
    EXPECT_GT(CountPixels(dc, 73, 90, GetSysColor(COLOR_HOTLIGHT)), 20);
}

// Each row: the DPI, and the picture's size on the screen.
TEST_F(PopupDrawing, PictureFillsThePopupAtItsDpi) {
    const struct {
        int dpi;
        int width;
        int height;
    } rows[] = {{96, 150, 120}, {144, 225, 180}, {192, 300, 240}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.dpi);
        const RECT all = {0, 0, 310, 250};
        FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
        SlideState slide;
        slide.dpi = row.dpi;
        DrawPopupPicture(dc, slide);
        const COLORREF centre = GetPixel(dc, row.width / 2, row.height / 2);
        EXPECT_GT(GetBValue(centre), GetRValue(centre));
        EXPECT_NE(RGB(0, 0, 0), GetPixel(dc, row.width - 1, row.height - 1));
        EXPECT_EQ(RGB(0, 0, 0), GetPixel(dc, row.width + 1, row.height / 2));
        EXPECT_EQ(RGB(0, 0, 0), GetPixel(dc, row.width / 2, row.height + 1));
    }
}

TEST_F(PopupDrawing, TextsAreWhiteWithLineThreeBlueWhenHighlighted) {
    SlideState fullyOut;
    fullyOut.height = kPopupHeight;
    const PopupLines lines = {"There are new", "articles on Zavora", "Click here to view"};
    DrawPopupTexts(dc, lines, fullyOut, true);
    EXPECT_GT(CountPixels(dc, 31, 47, kPopupTextColour), 20);
    EXPECT_GT(CountPixels(dc, 47, 63, kPopupTextColour), 20);
    EXPECT_EQ(0, CountPixels(dc, 0, 73, kPopupHighlightColour));
    EXPECT_GT(CountPixels(dc, 73, 90, kPopupHighlightColour), 20);
    EXPECT_EQ(0, CountPixels(dc, 0, 29, kPopupTextColour));
    DrawPopupTexts(dc, lines, fullyOut, false);
    EXPECT_EQ(0, CountPixels(dc, 0, 120, kPopupHighlightColour));
}

// At 192 DPI the 12-point lines are twice as tall and sit twice as low: 32-pixel lines
// from row 62, line 3 from row 146.
TEST_F(PopupDrawing, TextsScaleWithTheDpi) {
    SlideState fullyOut;
    fullyOut.dpi = 192;
    fullyOut.height = FullHeight(fullyOut);
    const PopupLines lines = {"There are new", "articles on Zavora", "Click here to view"};
    DrawPopupTexts(dc, lines, fullyOut, true);
    EXPECT_EQ(0, CountPixels(dc, 0, 60, kPopupTextColour, 300));
    EXPECT_GT(CountPixels(dc, 62, 94, kPopupTextColour, 300), 150);
    EXPECT_GT(CountPixels(dc, 94, 126, kPopupTextColour, 300), 150);
    EXPECT_EQ(0, CountPixels(dc, 0, 144, kPopupHighlightColour, 300));
    EXPECT_GT(CountPixels(dc, 146, 178, kPopupHighlightColour, 300), 150);
}

TEST_F(PopupDrawing, LongLinesAreCutAtTheBand) {
    SlideState fullyOut;
    fullyOut.height = kPopupHeight;
    const PopupLines lines = {CString('W', 60), CString('W', 60), CString('W', 60)};
    DrawPopupTexts(dc, lines, fullyOut, false);
    int outside = 0;
    for (int y = 0; y < 130; ++y) {
        outside += GetPixel(dc, 0, y) != RGB(0, 0, 0);
        outside += GetPixel(dc, 1, y) != RGB(0, 0, 0);
        for (int x = 148; x < 160; ++x)
            outside += GetPixel(dc, x, y) != RGB(0, 0, 0);
    }
    EXPECT_EQ(0, outside);
    EXPECT_GT(CountPixels(dc, 31, 47, kPopupTextColour), 100);
}

TEST(DibBitmap, LoadsThePictureWithAPaletteAndReleasesBoth) {
    const GdiCounts baseline = GdiCounts::Now();
    {
        CDibBitmap picture;
        ASSERT_TRUE(picture.Load(GetModuleHandleA(nullptr), IDB_POPUP));
        const RECT rect = picture.GetRect();
        EXPECT_EQ(0, rect.left);
        EXPECT_EQ(150, rect.right);
        EXPECT_EQ(120, rect.bottom);
        EXPECT_NE(nullptr, picture.GetPalette());
        EXPECT_EQ(baseline.values[2] + 1, LiveHandleCount(HandleKind::Bitmap));
        EXPECT_EQ(baseline.values[3] + 1, LiveHandleCount(HandleKind::Palette));
        // Loading again replaces, never piles up.
        ASSERT_TRUE(picture.Load(GetModuleHandleA(nullptr), IDB_POPUP));
        EXPECT_EQ(baseline.values[2] + 1, LiveHandleCount(HandleKind::Bitmap));
        // A failed load holds nothing.
        EXPECT_FALSE(picture.Load(GetModuleHandleA(nullptr), 9999));
        EXPECT_FALSE(picture);
        EXPECT_EQ(0, picture.GetRect().right);
        EXPECT_FALSE(picture.Draw(nullptr, SRCCOPY));
    }
    EXPECT_TRUE(GdiCounts::Now() == baseline);
}

TEST(DibBitmap, PaletteOfAColourTableBitmap) {
    struct {
        BITMAPINFOHEADER header;
        RGBQUAD colours[4];
    } info = {};
    info.header.biSize = sizeof(info.header);
    info.header.biWidth = 4;
    info.header.biHeight = 4;
    info.header.biPlanes = 1;
    info.header.biBitCount = 8;
    info.header.biClrUsed = 4;
    info.colours[0] = RGBQUAD{255, 0, 0, 0};
    info.colours[1] = RGBQUAD{0, 255, 0, 0};
    info.colours[2] = RGBQUAD{0, 0, 255, 0};
    info.colours[3] = RGBQUAD{10, 20, 30, 0};
    void* bits = nullptr;
    const HBITMAP bitmap = CreateDIBSection(nullptr, reinterpret_cast<BITMAPINFO*>(&info),
                                            DIB_RGB_COLORS, &bits, nullptr, 0);
    ASSERT_NE(nullptr, bitmap);
    const HPALETTE palette = CDibBitmap::CreatePaletteFor(bitmap);
    ASSERT_NE(nullptr, palette);
    // The palette starts with the colour table, in order.
    PALETTEENTRY entries[4];
    ASSERT_EQ(4u, GetPaletteEntries(palette, 0, 4, entries));
    EXPECT_EQ(255, entries[2].peRed);
    EXPECT_EQ(0, entries[2].peBlue);
    EXPECT_EQ(30, entries[3].peRed);
    EXPECT_EQ(20, entries[3].peGreen);
    EXPECT_EQ(10, entries[3].peBlue);
    DeleteObject(palette);
    DeleteObject(bitmap);
    EXPECT_EQ(0, LiveHandleCount(HandleKind::DeviceContext));
}
