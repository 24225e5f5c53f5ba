#pragma once
// The agent's real services: the poll worker, the browser, the configuration sheet, the
// popup window and the system's sounds.
#include "AgentServicesWin.h"
#include "BrowserWin.h"

class CDesktopServices : public IAgentServices {
public:
    bool StartPoll(HWND window, const PollSettings& settings) override;
    void OpenPage(const CString& url) override;
    void LaunchBrowser(const CString& url) override;
    bool Configure(HWND owner, CAgentSettings& settings) override;
    std::unique_ptr<IAlertPopup> MakePopup() override;
    ISoundPlayer& Sound() override { return m_sound; }
    bool UserIsBusy() override;
    void ListenForSessionChanges(HWND window, bool listen) override;

private:
    // One opener for the whole run, so that its browser window is reused.
    CPageOpener m_pageOpener;
    CSystemSoundPlayer m_sound;
};
