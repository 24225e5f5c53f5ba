// Shows the popup over the taskbar for a screenshot: puts an icon in the notification area
// (Wine shows its taskbar only then), slides the popup out and keeps running for the number
// of seconds given on the command line (default 15). "hc" after the seconds draws it as under
// a high-contrast theme, which Wine cannot switch on, in the system's colours.
#include "IconWin.h"
#include "NewsPopupWin.h"
#include "ResString.h"
#include "resource.h"

#include <shellapi.h>

#include <cstdlib>
#include <cstring>

namespace {

void IgnoreLaunch(const CString&) {}

class CDemoPopup : public CNewsPopupWnd {
public:
    explicit CDemoPopup(bool highContrast)
        : CNewsPopupWnd(IgnoreLaunch), m_highContrast(highContrast) {}

protected:
    bool HighContrast() override { return m_highContrast; }

private:
    bool m_highContrast;
};

} // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR commandLine, int) {
    const int seconds = commandLine && *commandLine ? std::atoi(commandLine) : 15;
    CWnd owner;
    CWnd::RegisterWindowClass("ZvPopupDemoOwner", 0, nullptr, nullptr);
    const RECT none = {0, 0, 1, 1};
    if (!owner.CreateEx(0, "ZvPopupDemoOwner", "popup demo", WS_POPUP, none, nullptr, nullptr))
        return 1;

    const CIcon icon = CIcon::Load(IDI_NEW_1, 16);
    NOTIFYICONDATAA tray = {};
    tray.cbSize = NOTIFYICONDATAA_V1_SIZE;
    tray.hWnd = owner.m_hWnd;
    tray.uID = 1;
    tray.uFlags = NIF_ICON;
    tray.hIcon = icon.Get();
    Shell_NotifyIconA(NIM_ADD, &tray);
    // Let the shell show its taskbar before the popup looks for it.
    Sleep(1000);

    CDemoPopup popup(commandLine && std::strstr(commandLine, "hc"));
    if (!popup.Create(owner.m_hWnd))
        return 2;
    popup.Show(LoadResString(IDS_POPUP_LINE1), LoadResString(IDS_POPUP_LINE2),
               LoadResString(IDS_POPUP_LINE3));

    owner.SetTimer(1, static_cast<UINT>(seconds) * 1000);
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        if (message.message == WM_TIMER && message.hwnd == owner.m_hWnd)
            break;
        DispatchMessageA(&message);
    }
    Shell_NotifyIconA(NIM_DELETE, &tray);
    return 0;
}
