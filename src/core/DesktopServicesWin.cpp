#include "core/DesktopServicesWin.h"

#include "config/ConfigureWin.h"
#include "popup/NewsPopupWin.h"
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

class CNewsPopup : public IAlertPopup {
public:
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
    if (BSTR wide = ToBstr(url))
        m_pageOpener.Open(wide);
}

void CDesktopServices::LaunchBrowser(const CString& url) {
    LaunchDefaultBrowser(url);
}

bool CDesktopServices::Configure(HWND owner, CAgentSettings& settings) {
    return RunConfiguration(owner, settings);
}

std::unique_ptr<IAlertPopup> CDesktopServices::MakePopup() {
    return std::make_unique<CNewsPopup>();
}
