#include "NewsPopupWin.h"

#include "DpiWin.h"
#include "GdiWin.h"
#include "PopupAccessibleWin.h"
#include "ResString.h"
#include "resource.h"

#include <shellapi.h>

namespace {

const char kPopupClass[] = "ZavoraNewsPopup";

RECT ToRect(const WindowBox& box) {
    return RECT{box.x, box.y, box.x + box.width, box.y + box.height};
}

void MoveTo(HWND window, const RECT& rect) {
    MoveWindow(window, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top, TRUE);
}

ScreenRect ToScreenRect(const RECT& rect) {
    return ScreenRect{rect.left, rect.top, rect.right, rect.bottom};
}

ScreenRect PrimaryScreen() {
    return ScreenRect{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
}

bool IsInsidePopup(POINT point, const SlideState& slide) {
    // Both bounds inclusive: the pixel row and column just past the window still count.
    return point.x >= 0 && point.x <= FullWidth(slide) && point.y >= 0 &&
           point.y <= FullHeight(slide);
}

} // namespace

HWND FindShellTaskbar() {
    return FindWindowExA(nullptr, nullptr, "Shell_TrayWnd", nullptr);
}

CNewsPopupWnd::CNewsPopupWnd(PageOpener openPage) : m_openPage(openPage) {}

CNewsPopupWnd::~CNewsPopupWnd() {
    KillStepTimer();
    DestroyWindow();
}

bool CNewsPopupWnd::Create(HWND owner) {
    const RECT start = ComputePlacement();
    if (!RegisterWindowClass(kPopupClass, CS_HREDRAW | CS_VREDRAW, nullptr, nullptr))
        return false;
    // A tool window gets no taskbar button; topmost keeps it above the taskbar it comes from.
    if (!CreateEx(WS_EX_TOOLWINDOW | WS_EX_TOPMOST, kPopupClass, "", WS_POPUP, start, owner,
                  nullptr))
        return false;
    ShowWindow(SW_HIDE);
    return true;
}

void CNewsPopupWnd::Show(CString line1, CString line2, CString line3) {
    if (!m_hWnd)
        return;
    m_lines = PopupLines{line1, line2, line3};
    // The text a screen reader reads: the two lines of the message, then the third.
    // wsprintfA writes at most 1,024 characters.
    char name[1025];
    wsprintfA(name, "%s %s. %s", line1.c_str(), line2.c_str(), line3.c_str());
    SetWindowText(name);
    MoveTo(m_hWnd, ComputePlacement());
    // Never activated: the user's keystrokes stay with the window they were typing in. The
    // alert event has screen readers announce it all the same.
    ShowWindow(SW_SHOWNOACTIVATE);
    NotifyWinEvent(EVENT_SYSTEM_ALERT, m_hWnd, OBJID_CLIENT, CHILDID_SELF);
    SetStepTimer();
}

void CNewsPopupWnd::SetTimings(UINT stepMs, UINT holdMs) {
    m_stepMs = stepMs;
    m_holdMs = holdMs;
}

Taskbar CNewsPopupWnd::FindTaskbar() {
    APPBARDATA data = {};
    data.cbSize = sizeof(data);
    const bool haveReport = SHAppBarMessage(ABM_GETTASKBARPOS, &data) != 0;
    const ScreenRect reported = ToScreenRect(data.rc);

    RECT windowRect;
    ScreenRect visible = {0, 0, 0, 0};
    const HWND taskbar = FindShellTaskbar();
    const bool haveWindow =
        taskbar && IsWindowVisible(taskbar) && GetWindowRect(taskbar, &windowRect);
    if (haveWindow)
        visible = ToScreenRect(windowRect);

    const ScreenRect screen = PrimaryScreen();
    RECT work;
    if (!SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0))
        work = RECT{screen.left, screen.top, screen.right, screen.bottom};
    return ResolveTaskbar(haveReport ? &reported : nullptr, haveWindow ? &visible : nullptr, screen,
                          ToScreenRect(work));
}

ScreenPoint CNewsPopupWnd::FindNotifyArea(const Taskbar& taskbar) {
    const HWND shellTaskbar = FindShellTaskbar();
    const HWND notifyArea =
        shellTaskbar ? FindWindowExA(shellTaskbar, nullptr, "TrayNotifyWnd", nullptr) : nullptr;
    RECT rect;
    if (notifyArea && GetWindowRect(notifyArea, &rect)) {
        const ScreenRect found = ToScreenRect(rect);
        return NotifyAreaCentre(&found, taskbar);
    }
    return NotifyAreaCentre(nullptr, taskbar);
}

int CNewsPopupWnd::MonitorDpi(ScreenPoint point) {
    return MonitorDpiAt(POINT{point.x, point.y});
}

bool CNewsPopupWnd::HighContrast() {
    HIGHCONTRASTA contrast = {};
    contrast.cbSize = sizeof(contrast);
    return SystemParametersInfoA(SPI_GETHIGHCONTRAST, sizeof(contrast), &contrast, 0) &&
           (contrast.dwFlags & HCF_HIGHCONTRASTON);
}

RECT CNewsPopupWnd::ComputePlacement() {
    const Taskbar taskbar = FindTaskbar();
    const ScreenPoint notifyCentre = FindNotifyArea(taskbar);
    m_slide = StartSlide(taskbar, notifyCentre, PrimaryScreen(), MonitorDpi(notifyCentre));
    return ToRect(SlideWindowBox(m_slide));
}

void CNewsPopupWnd::SetStepTimer() {
    KillStepTimer();
    m_timer = SetTimer(ID_TIMER_POPUP, IsFullyOut(m_slide) ? m_holdMs : m_stepMs);
}

void CNewsPopupWnd::KillStepTimer() {
    if (m_timer != 0 && m_hWnd)
        KillTimer(ID_TIMER_POPUP);
    m_timer = 0;
}

void CNewsPopupWnd::Step() {
    StepSlide(m_slide);
    MoveTo(m_hWnd, ToRect(SlideWindowBox(m_slide)));
}

void CNewsPopupWnd::DrawTexts(HDC dc, bool highlight) {
    DrawPopupTexts(dc, m_lines, m_slide, highlight, HighContrast());
}

void CNewsPopupWnd::OnPaint() {
    CPaintDC dc(m_hWnd);
    if (!dc)
        return;
    DrawPopupBackground(dc.Get(), m_slide, HighContrast());
    DrawTexts(dc.Get(), false);
}

void CNewsPopupWnd::OnTimer(UINT_PTR) {
    KillStepTimer();
    Step();
    // Other topmost windows may have come up since the last step; stay above them, without
    // taking the focus from the user's window.
    SetWindowPos(m_hWnd, HWND_TOPMOST, 0, 0, 0, 0,
                 SWP_NOSIZE | SWP_NOMOVE | SWP_SHOWWINDOW | SWP_NOACTIVATE);
    if (HasSize(m_slide)) {
        SetStepTimer();
        return;
    }
    LetGoOfThePointer();
    ShowWindow(SW_HIDE);
}

void CNewsPopupWnd::LetGoOfThePointer() {
    if (m_captured) {
        m_captured = false;
        ReleaseCapture();
    }
}

void CNewsPopupWnd::OnMouseMove(UINT, POINT point) {
    CClientDC dc(m_hWnd);
    if (!IsInsidePopup(point, m_slide)) {
        LetGoOfThePointer();
        if (dc)
            DrawTexts(dc.Get(), false);
        return;
    }
    // The capture tells us when the pointer leaves, so the highlight can go.
    if (!m_captured) {
        SetCapture(m_hWnd);
        m_captured = true;
    }
    if (dc)
        DrawTexts(dc.Get(), true);
}

void CNewsPopupWnd::OnLButtonUp(UINT, POINT) {
    m_openPage(LoadResString(IDS_HOME_URL));
    {
        CClientDC dc(m_hWnd);
        if (dc)
            DrawTexts(dc.Get(), false);
    }
    LetGoOfThePointer();
}

void CNewsPopupWnd::OnCaptureChanged(HWND gaining) {
    // Another window took the capture (a menu, a message box): the next movement over the
    // popup takes it back.
    if (gaining != m_hWnd)
        m_captured = false;
}

LRESULT CNewsPopupWnd::OnGetObject(WPARAM flags, LPARAM objectId) {
    return AnswerAccessibleObject(m_hWnd, flags, objectId);
}

// A high-contrast theme switched on or off, or its colours changed: draw again.
LRESULT CNewsPopupWnd::OnSettingChange(WPARAM, LPARAM) {
    InvalidateRect(m_hWnd, nullptr, TRUE);
    return 0;
}
