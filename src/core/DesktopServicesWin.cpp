#include "DesktopServicesWin.h"

#include "ConfigureWin.h"
#include "NewsPopupWin.h"
#include "UpdateThreadWin.h"

namespace {

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
