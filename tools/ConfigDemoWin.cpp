// Shows the configuration sheet for a screenshot: opens it over a proxy setting, turns to
// the page given first on the command line (0 Connection, 1 Notification), prints the
// sheet's rectangle as "WxH+X+Y" for cropping, and cancels it after the number of seconds
// given second (default 5). Nothing is saved.
#include "ConfigureWin.h"
#include "PropertySheetWin.h"
#include "AgentSettings.h"
#include "contract.h"

#include <cstdio>
#include <cstdlib>
#include <thread>

namespace {

void IgnorePage(const CString&) {}

const char kCaption[] = "Configure " ZV_PRODUCT_NAME;

HWND WaitForSheet() {
    for (int i = 0; i < 500; ++i) {
        if (const HWND sheet = FindWindowA("#32770", kCaption))
            return sheet;
        Sleep(10);
    }
    return nullptr;
}

void PresentAndCancel(int page, int seconds) {
    const HWND sheet = WaitForSheet();
    if (!sheet)
        return;
    SendMessageA(sheet, PSM_SETCURSEL, page, 0);
    RECT rect;
    GetWindowRect(sheet, &rect);
    std::printf("%ldx%ld+%ld+%ld\n", rect.right - rect.left, rect.bottom - rect.top, rect.left,
                rect.top);
    std::fflush(stdout);
    Sleep(static_cast<DWORD>(seconds) * 1000);
    PostMessageA(sheet, PSM_PRESSBUTTON, PSBTN_CANCEL, 0);
}

} // namespace

int main(int argc, char** argv) {
    const int page = argc > 1 ? std::atoi(argv[1]) : 0;
    const int seconds = argc > 2 ? std::atoi(argv[2]) : 5;
    CAgentSettings settings;
    settings.useProxy = 1;
    settings.proxyHost = "proxy.example";
    settings.proxyPort = "8080";
    std::thread presenter(PresentAndCancel, page, seconds);
    RunConfiguration(nullptr, settings, IgnorePage);
    presenter.join();
    return 0;
}
