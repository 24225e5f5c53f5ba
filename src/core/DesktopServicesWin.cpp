#include "core/DesktopServicesWin.h"

#include "update/UpdateThreadWin.h"

namespace {

BSTR ToBstr(const CString& text) {
    const int length = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
    if (length <= 0)
        return nullptr;
    BSTR wide = SysAllocStringLen(nullptr, static_cast<UINT>(length - 1));
    if (wide)
        MultiByteToWideChar(CP_ACP, 0, text, -1, wide, length);
    return wide;
}

} // namespace

bool CDesktopServices::StartPoll(HWND window, const PollSettings& settings) {
    return StartPollThread(window, settings);
}

void CDesktopServices::OpenPage(const CString& url) {
    if (BSTR wide = ToBstr(url))
        m_pageOpener.Open(wide);
}

void CDesktopServices::LaunchBrowser(const CString& url) {
    LaunchDefaultBrowser(url);
}

bool CDesktopServices::Configure(HWND, CAgentSettings&) {
    return false;
}

std::unique_ptr<IAlertPopup> CDesktopServices::MakePopup() {
    return nullptr;
}
