#pragma once
// The notification popup: a borderless topmost window that slides out of the taskbar next
// to the notification area, holds for ten seconds and slides back. Line 3 turns blue under
// the pointer; a click opens the site's home page and lets the slide go on. Screen readers
// hear it as an alert named by its text; with a high-contrast theme it draws in the theme's
// colours. Main thread only.
#include "CString.h"
#include "PageOpener.h"
#include "PopupPaintWin.h"
#include "PopupPlacement.h"
#include "WndWin.h"

// The shell's taskbar window, which the popup comes out of; null when there is none.
HWND FindShellTaskbar();

class CNewsPopupWnd : public CWnd {
public:
    // A click on the popup opens the site's home page through openPage.
    explicit CNewsPopupWnd(PageOpener openPage);
    ~CNewsPopupWnd() override;

    // Makes the popup window, hidden, owned by owner. False when it cannot be made; Show then
    // does nothing.
    virtual bool Create(HWND owner);
    // Starts a cycle from zero size with these lines, also when one is under way.
    void Show(CString line1, CString line2, CString line3);

    // Test seam: the slide's step and hold periods.
    void SetTimings(UINT stepMs, UINT holdMs);

    const SlideState& Slide() const { return m_slide; }
    bool IsCaptured() const { return m_captured; }
    bool IsTimerRunning() const { return m_timer != 0; }

    BEGIN_MSG_MAP(CNewsPopupWnd, CWnd)
    MSG_WM_PAINT(OnPaint)
    MSG_WM_TIMER(OnTimer)
    MSG_WM_MOUSEMOVE(OnMouseMove)
    MSG_WM_LBUTTONUP(OnLButtonUp)
    MSG_WM_CAPTURECHANGED(OnCaptureChanged)
    MESSAGE_HANDLER(WM_GETOBJECT, OnGetObject)
    MESSAGE_HANDLER(WM_SETTINGCHANGE, OnSettingChange)
    END_MSG_MAP()

protected:
    // Where the shell's taskbar is; virtual so that tests can dock it to any edge.
    virtual Taskbar FindTaskbar();
    virtual ScreenPoint FindNotifyArea(const Taskbar& taskbar);
    // The DPI of the monitor the popup comes out on; virtual so that tests can choose it.
    virtual int MonitorDpi(ScreenPoint point);
    // Whether the user has a high-contrast theme on; virtual so that tests and the
    // screenshot can choose it.
    virtual bool HighContrast();

private:
    // Sets the slide's start (zero size, anchored next to the notification area) and
    // returns the window's start rectangle.
    RECT ComputePlacement();
    void SetStepTimer();
    void KillStepTimer();
    void Step();
    void DrawTexts(HDC dc, bool highlight);
    void LetGoOfThePointer();

    void OnPaint();
    void OnTimer(UINT_PTR id);
    void OnMouseMove(UINT keys, POINT point);
    void OnLButtonUp(UINT keys, POINT point);
    void OnCaptureChanged(HWND gaining);
    LRESULT OnGetObject(WPARAM flags, LPARAM objectId);
    LRESULT OnSettingChange(WPARAM, LPARAM);

    UINT_PTR m_timer = 0;
    SlideState m_slide;
    PopupLines m_lines;
    bool m_captured = false;
    PageOpener m_openPage;
    UINT m_stepMs = kSlideStepMs;
    UINT m_holdMs = kSlideHoldMs;
};
