#pragma once
// What the hidden main window needs from the rest of the agent: polls, web pages, the
// configuration sheet, the popup and sounds. The agent uses CDesktopServices; tests give
// the window a recording stand-in.
#include "CString.h"
#include "PollResult.h"
#include "SoundWin.h"

#include <memory>
#include <windows.h>

class CAgentSettings;

// The notification popup that announces new articles.
class IAlertPopup {
public:
    virtual ~IAlertPopup() = default;
    // Makes the popup's window, hidden, owned by owner.
    virtual bool Create(HWND owner) = 0;
    virtual void Show(const CString& line1, const CString& line2, const CString& line3) = 0;
};

class IAgentServices {
public:
    virtual ~IAgentServices() = default;
    // Starts a poll's worker, which posts WM_POLL_DONE to window when it ends.
    virtual bool StartPoll(HWND window, const PollSettings& settings) = 0;
    // A news entry or the home page, in the reused browser window.
    virtual void OpenPage(const CString& url) = 0;
    // The help page, through the registered browser's command line.
    virtual void LaunchBrowser(const CString& url) = 0;
    // The configuration sheet; true when the user confirmed it (settings are then saved).
    virtual bool Configure(HWND owner, CAgentSettings& settings) = 0;
    virtual std::unique_ptr<IAlertPopup> MakePopup() = 0;
    virtual ISoundPlayer& Sound() = 0;
    // Whether the popup and the sound must wait for the user: what the system says of the
    // user, and whether a full-screen window is in front on the popup's monitor.
    virtual bool UserIsBusy() = 0;
    // Starts or stops WM_WTSSESSION_CHANGE to window, which tells when a user who was away
    // comes back.
    virtual void ListenForSessionChanges(HWND window, bool listen) = 0;
};
