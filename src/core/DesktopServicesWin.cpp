#include "DesktopServicesWin.h"

#include "AgentController.h"
#include "ConfigureWin.h"
#include "NewsPopupWin.h"
#include "SystemLibraryWin.h"
#include "UpdateThreadWin.h"

#include <shellapi.h>

namespace {

// The desktop's own full-screen windows (Progman, WorkerW) are in front whenever the user
// clicks the desktop; the shell's desktop thread owns them all.
bool IsDesktop(HWND window) {
    return window == GetDesktopWindow() || GetWindowThreadProcessId(window, nullptr) ==
                                               GetWindowThreadProcessId(GetShellWindow(), nullptr);
}

// A window that covers the whole monitor of the taskbar, which the popup comes out of (the
// primary monitor when there is no taskbar). Windows counts it as busy; its own answer may
// not. A minimised window lies far outside every monitor.
bool FullScreenWindowInFront() {
    const HWND front = GetForegroundWindow();
    MONITORINFO info;
    info.cbSize = sizeof(info);
    RECT rect;
    if (!front || IsDesktop(front) || !GetWindowRect(front, &rect) ||
        !GetMonitorInfoA(MonitorFromWindow(FindShellTaskbar(), MONITOR_DEFAULTTOPRIMARY), &info))
        return false;
    return rect.left <= info.rcMonitor.left && rect.top <= info.rcMonitor.top &&
           rect.right >= info.rcMonitor.right && rect.bottom >= info.rcMonitor.bottom;
}

class CNewsPopup : public IAlertPopup {
public:
    CNewsPopup() : m_window(LaunchDefaultBrowser) {}
    bool Create(HWND owner) override { return m_window.Create(owner); }
    void Show(const CString& line1, const CString& line2, const CString& line3) override {
        m_window.Show(line1, line2, line3);
    }

private:
    CNewsPopupWnd m_window;
};

} // namespace

bool CDesktopServices::StartPoll(HWND window, const PollSettings& settings) {
    return StartPollThread(window, settings);
}

void CDesktopServices::OpenPage(const CString& url) {
    if (BSTR wide = AllocBstr(url))
        m_pageOpener.Open(wide);
}

void CDesktopServices::LaunchBrowser(const CString& url) {
    LaunchDefaultBrowser(url);
}

bool CDesktopServices::Configure(HWND owner, CAgentSettings& settings) {
    return RunConfiguration(owner, settings, LaunchDefaultBrowser);
}

std::unique_ptr<IAlertPopup> CDesktopServices::MakePopup() {
    return std::make_unique<CNewsPopup>();
}

bool CDesktopServices::UserIsBusy() {
    QUERY_USER_NOTIFICATION_STATE state = {};
    const int answer = SUCCEEDED(SHQueryUserNotificationState(&state)) ? state : 0;
    return AlertsMustWait(answer, FullScreenWindowInFront());
}

void CDesktopServices::ListenForSessionChanges(HWND window, bool listen) {
    if (listen) {
        using Register = BOOL WINAPI(HWND, DWORD);
        if (const auto start =
                SystemFunctionOf<Register>("wtsapi32.dll", "WTSRegisterSessionNotification"))
            start(window, 0); // NOTIFY_FOR_THIS_SESSION
    } else if (const auto stop = SystemFunctionOf<BOOL WINAPI(HWND)>(
                   "wtsapi32.dll", "WTSUnRegisterSessionNotification")) {
        stop(window);
    }
}
