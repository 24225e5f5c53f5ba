// The hidden main window on real windows: it runs modally on a thread of its own, the test
// drives it with messages and reads its state on that thread through WM_TEST_RUN.
#include "AboutDialogWin.h"
#include "AgentDialogWin.h"
#include "HandleCount.h"
#include "ResString.h"

#include "RegistryMem.h"
#include "contract.h"

#include <gtest/gtest.h>

#include <functional>
#include <future>
#include <string>
#include <thread>
#include <vector>

#ifndef MN_GETHMENU
#define MN_GETHMENU 0x01E1
#endif

namespace {

const UINT WM_TEST_RUN = WM_APP + 40;
const char* const kSettingsKey = ZV_REG_SETTINGS_KEY;
const char* const kDataKey = ZV_REG_DATA_KEY;

class CRecordingPopup : public IAlertPopup {
public:
    explicit CRecordingPopup(std::vector<std::string>& log) : m_log(log) {}
    bool Create(HWND owner) override {
        m_log.push_back(owner ? "popup create" : "popup create without owner");
        return true;
    }
    void Show(const CString& line1, const CString& line2, const CString& line3) override {
        m_log.push_back("popup " + line1.str() + "|" + line2.str() + "|" + line3.str());
    }

private:
    std::vector<std::string>& m_log;
};

// Records every request of the window, in order. Used on the window's thread only.
class CRecordingServices : public IAgentServices, public ISoundPlayer {
public:
    std::vector<std::string> log;
    std::vector<PollSettings> polls;
    bool pollsStart = true;
    bool configureAccepts = true;
    std::function<void(HWND, CAgentSettings&)> duringConfigure;
    HWND soundWindow = nullptr;
    UINT soundDoneMessage = 0;
    bool userBusy = false;

    bool StartPoll(HWND, const PollSettings& settings) override {
        log.push_back("poll");
        polls.push_back(settings);
        return pollsStart;
    }
    void OpenPage(const CString& url) override { log.push_back("open " + url.str()); }
    void LaunchBrowser(const CString& url) override { log.push_back("launch " + url.str()); }
    bool Configure(HWND owner, CAgentSettings& settings) override {
        log.push_back("configure");
        if (duringConfigure)
            duringConfigure(owner, settings);
        return configureAccepts;
    }
    std::unique_ptr<IAlertPopup> MakePopup() override {
        return std::make_unique<CRecordingPopup>(log);
    }
    ISoundPlayer& Sound() override { return *this; }
    bool UserIsBusy() override { return userBusy; }
    void ListenForSessionChanges(HWND, bool listen) override {
        log.push_back(listen ? "listen" : "stop listening");
    }

    void PlayAlert() override { log.push_back("sound exclamation"); }
    bool PlayFile(const CString& path, HWND window, UINT doneMessage) override {
        log.push_back("sound file " + path.str());
        soundWindow = window;
        soundDoneMessage = doneMessage;
        return true;
    }
    void Beep(DWORD frequency, DWORD milliseconds) override {
        log.push_back("beep " + std::to_string(frequency) + " " + std::to_string(milliseconds));
    }
};

struct MenuItem {
    UINT id;
    std::string text;
    bool isDefault;
};

class CTestAgentDialog : public CAgentDialog {
public:
    using CAgentDialog::CAgentDialog;

    std::promise<HWND> ready;
    std::vector<std::vector<MenuItem>> menusShown;
    UINT chooseFromMenu = 0; // a command to choose from the next menu, 0 for none
    UINT shellFollowUp = 0;  // a notification the shell sends while the next menu is open
    bool realMenus = false;

    BEGIN_MSG_MAP(CTestAgentDialog, CAgentDialog)
    MESSAGE_HANDLER(WM_TEST_RUN, OnRun)
    END_MSG_MAP()

protected:
    BOOL OnInitDialog() override {
        const BOOL result = CAgentDialog::OnInitDialog();
        ready.set_value(m_hWnd);
        return result;
    }

    void TrackTrayMenu(HMENU popup) override {
        if (realMenus) {
            CAgentDialog::TrackTrayMenu(popup);
            return;
        }
        std::vector<MenuItem> items;
        const UINT defaultId = GetMenuDefaultItem(popup, FALSE, 0);
        for (int i = 0; i < GetMenuItemCount(popup); ++i) {
            char text[128] = "";
            GetMenuStringA(popup, static_cast<UINT>(i), text, sizeof(text), MF_BYPOSITION);
            const UINT id = GetMenuItemID(popup, i);
            items.push_back({id, text, id == defaultId});
        }
        menusShown.push_back(items);
        if (shellFollowUp)
            SendMessageA(m_hWnd, WM_TRAY_NOTIFY, CTrayIcon::kIconId, shellFollowUp);
        shellFollowUp = 0;
        if (chooseFromMenu)
            PostMessage(WM_COMMAND, chooseFromMenu);
        chooseFromMenu = 0;
    }

private:
    LRESULT OnRun(WPARAM, LPARAM lParam) {
        (*reinterpret_cast<std::function<void()>*>(lParam))();
        return 0;
    }
};

class AgentWindow : public ::testing::Test {
protected:
    void SetUp() override { RegistryMem::Clear(); }

    void TearDown() override {
        if (runner.joinable()) {
            if (IsWindow(window))
                PostMessageA(window, WM_CLOSE, 0, 0);
            runner.join();
        }
    }

    // Runs the window modally on its own thread and waits for its initialisation.
    void StartAgent() {
        std::future<HWND> started = dialog.ready.get_future();
        runner = std::thread([this] { result = dialog.DoModal(); });
        ASSERT_EQ(std::future_status::ready, started.wait_for(std::chrono::seconds(10)));
        window = started.get();
    }

    // Runs code on the window's thread, between two of its messages.
    void OnWindow(std::function<void()> code) {
        SendMessageA(window, WM_TEST_RUN, 0, reinterpret_cast<LPARAM>(&code));
    }

    // Waits until the window has handled every message posted to it so far.
    void Flush() {
        std::promise<void> done;
        std::function<void()> signal = [&] { done.set_value(); };
        PostMessageA(window, WM_TEST_RUN, 0, reinterpret_cast<LPARAM>(&signal));
        done.get_future().wait();
    }

    void Send(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
        SendMessageA(window, message, wParam, lParam);
    }
    void Command(UINT id) { Send(WM_COMMAND, id); }
    void TrayClick(UINT mouseMessage) { Send(WM_TRAY_NOTIFY, CTrayIcon::kIconId, mouseMessage); }

    // Ends a running poll the way the worker does.
    void FinishPoll(PollResult* result) { Send(WM_POLL_DONE, 0, reinterpret_cast<LPARAM>(result)); }
    void FinishPoll(PollOutcome outcome, int entries = 0) {
        auto* result = new PollResult;
        result->outcome = outcome;
        if (outcome == PollOutcome::NewPostings) {
            result->epoch = "edition-2";
            result->lastModified = "Mon, 07 Dec 2026 05:00:00 GMT";
            result->lastModifiedChanged = true;
            for (int i = 0; i < entries; ++i) {
                const std::string n = std::to_string(i);
                result->entries.push_back({CString(("07.12." + n).c_str()),
                                           CString(("Title " + n).c_str()),
                                           CString(("http://news.example/" + n).c_str())});
            }
        }
        FinishPoll(result);
    }

    // Lets the first poll run and end with nothing new, so the agent is idle and its timer
    // set for the next poll minutes away.
    void SettleIdle() {
        Send(WM_TIMER, ID_TIMER_POLL);
        FinishPoll(PollOutcome::NothingNew);
    }

    AgentFlags Flags() {
        AgentFlags flags;
        OnWindow([&] { flags = dialog.Controller().Flags(); });
        return flags;
    }
    CString Tip() {
        CString tip;
        OnWindow([&] { tip = dialog.Tray().Tip(); });
        return tip;
    }
    std::vector<std::string> Log() {
        std::vector<std::string> log;
        OnWindow([&] { log = services.log; });
        return log;
    }
    void ClearLog() {
        OnWindow([&] { services.log.clear(); });
    }

    void WaitForEnd() { runner.join(); }

    CRecordingServices services;
    CTestAgentDialog dialog{services};
    std::thread runner;
    HWND window = nullptr;
    INT_PTR result = 0;
};

std::string Text(const char* key, const char* name) {
    std::string text;
    return RegistryMem::GetText(key, name, text) ? text : "<missing>";
}

} // namespace

TEST_F(AgentWindow, StartsHiddenWithItsTitleTrayIconAndFirstPoll) {
    StartAgent();
    EXPECT_EQ(window, FindWindowA(nullptr, ZV_HIDDEN_TITLE));
    // Nothing may show the window: the dialog manager would, once its queue runs empty.
    Sleep(200);
    OnWindow([] {});
    EXPECT_FALSE(IsWindowVisible(window));
    OnWindow([&] {
        const NOTIFYICONDATAA& data = dialog.Tray().Data();
        EXPECT_EQ(NOTIFYICONDATAA_V2_SIZE, data.cbSize); // 488 bytes in the 32-bit agent
        EXPECT_TRUE(dialog.Tray().VersionAccepted()) << "the shell sends keyboard notifications";
        EXPECT_EQ(window, data.hWnd);
        EXPECT_EQ(static_cast<UINT>(ZV_TRAY_ICON_ID), data.uID);
        EXPECT_EQ(static_cast<UINT>(ZV_TRAY_MESSAGE), data.uCallbackMessage);
        EXPECT_TRUE(dialog.Tray().LastCallSucceeded()) << "the shell took the icon";
        EXPECT_STREQ("Zavora news agent", data.szTip);
        EXPECT_EQ(0, dialog.Tray().FrameCount());
        EXPECT_TRUE(dialog.Controller().PollTimerArmed());
        EXPECT_FALSE(dialog.Controller().Flags().connecting);
    });
    EXPECT_EQ(std::vector<std::string>{"popup create"}, Log());
    // The first poll comes by itself one second later; a busy machine may take longer.
    for (int i = 0; i < 200 && !Flags().connecting; ++i)
        Sleep(50);
    EXPECT_TRUE(Flags().connecting);
    EXPECT_EQ(CString("Zavora news agent (connecting)"), Tip());
}

TEST_F(AgentWindow, PollFindingNewsStoresItShowsItAndAlerts) {
    StartAgent();
    Send(WM_TIMER, ID_TIMER_POLL);
    OnWindow([&] {
        ASSERT_EQ(1u, services.polls.size());
        EXPECT_EQ(CString("www.zavora.example"), services.polls[0].urlHost);
        EXPECT_TRUE(dialog.Tray().Animating());
        EXPECT_EQ(3, dialog.Tray().FrameCount());
        EXPECT_FALSE(dialog.Controller().PollTimerArmed());
    });
    ClearLog();
    FinishPoll(PollOutcome::NewPostings, 3);
    EXPECT_EQ((std::vector<std::string>{"popup There are new|articles on Zavora|Click here to view",
                                        "sound exclamation"}),
              Log());
    EXPECT_EQ(CString("Zavora news agent (new postings)"), Tip());
    OnWindow([&] {
        EXPECT_EQ(3, dialog.Settings()->numEntries);
        EXPECT_EQ(CString("edition-2"), dialog.Settings()->epoch);
        EXPECT_EQ(2, dialog.Tray().FrameCount());
        EXPECT_EQ(0, dialog.Tray().FrameIndex());
        EXPECT_TRUE(dialog.Tray().Animating());
        EXPECT_TRUE(dialog.Controller().PollTimerArmed());
    });
    EXPECT_EQ("3", Text(kDataKey, "numentries"));
    EXPECT_EQ("Title 2", Text(kDataKey, "Title_2"));
}

TEST_F(AgentWindow, UserSoundDelaysTheNextPollUntilItHasPlayed) {
    RegistryMem::PutText(kSettingsKey, "alertBySystemSound", "0");
    RegistryMem::PutText(kSettingsKey, "alertByUserSound", "1");
    RegistryMem::PutText(kSettingsKey, "alertByMessage", "0");
    RegistryMem::PutText(kSettingsKey, "soundPath", "C:\\sounds\\news.wav");
    StartAgent();
    Send(WM_TIMER, ID_TIMER_POLL);
    ClearLog();
    FinishPoll(PollOutcome::NewPostings, 1);
    EXPECT_EQ(std::vector<std::string>{"sound file C:\\sounds\\news.wav"}, Log());
    bool armed = true;
    UINT doneMessage = 0;
    OnWindow([&] {
        armed = dialog.Controller().PollTimerArmed();
        doneMessage = services.soundDoneMessage;
    });
    EXPECT_FALSE(armed);
    EXPECT_EQ(static_cast<UINT>(WM_SOUND_DONE), doneMessage);
    Send(doneMessage);
    OnWindow([&] { armed = dialog.Controller().PollTimerArmed(); });
    EXPECT_TRUE(armed);
}

TEST_F(AgentWindow, CommandMenuFollowsTheState) {
    StartAgent();
    SettleIdle();
    TrayClick(WM_RBUTTONUP);
    Command(ID_TASKBAR_DISABLE);
    TrayClick(WM_RBUTTONUP);
    Command(ID_TASKBAR_DISABLE);
    Send(WM_TIMER, ID_TIMER_POLL);
    TrayClick(WM_RBUTTONUP);
    OnWindow([&] {
        ASSERT_EQ(3u, dialog.menusShown.size());
        const auto& idle = dialog.menusShown[0];
        ASSERT_EQ(7u, idle.size());
        EXPECT_EQ("&Disable", idle[0].text);
        EXPECT_EQ(static_cast<UINT>(ID_TASKBAR_REFRESH), idle[1].id);
        EXPECT_EQ("E&xit", idle[6].text);
        const auto& disabled = dialog.menusShown[1];
        ASSERT_EQ(6u, disabled.size());
        EXPECT_EQ("&Enable", disabled[0].text);
        EXPECT_EQ(static_cast<UINT>(ID_TASKBAR_DISABLE), disabled[0].id);
        EXPECT_NE(static_cast<UINT>(ID_TASKBAR_REFRESH), disabled[1].id);
        const auto& polling = dialog.menusShown[2];
        ASSERT_EQ(6u, polling.size());
        EXPECT_EQ("&Disable", polling[0].text);
    });
}

TEST_F(AgentWindow, OnlyButtonUpMessagesOpenMenus) {
    StartAgent();
    for (UINT mouse : {WM_LBUTTONDOWN, WM_RBUTTONDOWN, WM_LBUTTONDBLCLK, WM_RBUTTONDBLCLK,
                       WM_MOUSEMOVE, WM_MBUTTONUP})
        TrayClick(mouse);
    OnWindow([&] { EXPECT_TRUE(dialog.menusShown.empty()); });
}

// Enter or Space on the icon (NIN_KEYSELECT), Enter on an icon chosen with the mouse
// (NIN_SELECT), and Shift+F10 or the menu key (WM_CONTEXTMENU); after a click the shell
// sends NIN_SELECT or WM_CONTEXTMENU as well, while the click's menu is open.
TEST_F(AgentWindow, KeyboardOpensTheMenusAndAClickOpensOneMenu) {
    StartAgent();
    SettleIdle();
    for (UINT notification : {NIN_KEYSELECT, NIN_SELECT, WM_CONTEXTMENU})
        TrayClick(notification);
    for (UINT click : {WM_LBUTTONUP, WM_RBUTTONUP}) {
        OnWindow(
            [&] { dialog.shellFollowUp = click == WM_LBUTTONUP ? NIN_SELECT : WM_CONTEXTMENU; });
        TrayClick(click);
    }
    OnWindow([&] {
        ASSERT_EQ(5u, dialog.menusShown.size());
        for (size_t i : {0u, 1u, 3u})
            EXPECT_EQ(static_cast<UINT>(ID_SITE_HOME), dialog.menusShown[i].back().id) << i;
        for (size_t i : {2u, 4u})
            EXPECT_EQ("&Disable", dialog.menusShown[i].front().text) << i;
    });
}

// The popup and the sound wait while the user is busy; the icon and the polls go on. A
// second edition replaces the first, and the user's return brings one popup and one sound.
TEST_F(AgentWindow, AlertWaitsWhileTheUserIsBusyAndComesOnceOnTheReturn) {
    StartAgent();
    OnWindow([&] { services.userBusy = true; });
    Send(WM_TIMER, ID_TIMER_POLL);
    ClearLog();
    FinishPoll(PollOutcome::NewPostings, 2);
    EXPECT_EQ(CString("Zavora news agent (new postings)"), Tip());
    Send(WM_TIMER, ID_TIMER_POLL);
    FinishPoll(PollOutcome::NewPostings, 3);
    Send(WM_TIMER, ID_TIMER_USER_RETURN);
    EXPECT_EQ((std::vector<std::string>{"listen", "poll"}), Log());
    OnWindow([&] { services.userBusy = false; });
    Send(WM_WTSSESSION_CHANGE, WTS_SESSION_UNLOCK);
    Send(WM_TIMER, ID_TIMER_USER_RETURN);
    EXPECT_EQ((std::vector<std::string>{"listen", "poll", "stop listening",
                                        "popup There are new|articles on Zavora|Click here to view",
                                        "sound exclamation"}),
              Log());
    EXPECT_EQ(CString("Zavora news agent (new postings)"), Tip());
}

TEST_F(AgentWindow, EntriesMenuListsTenEntriesAboveTheBoldHomeItem) {
    StartAgent();
    Send(WM_TIMER, ID_TIMER_POLL);
    FinishPoll(PollOutcome::NewPostings, 15);
    OnWindow([&] { dialog.chooseFromMenu = ID_NEWS_ENTRY_FIRST + 9; });
    ClearLog();
    TrayClick(WM_LBUTTONUP);
    OnWindow([&] {
        ASSERT_EQ(1u, dialog.menusShown.size());
        const auto& items = dialog.menusShown[0];
        ASSERT_EQ(11u, items.size());
        for (UINT i = 0; i < 10; ++i)
            EXPECT_EQ(ID_NEWS_ENTRY_FIRST + i, items[i].id);
        EXPECT_EQ("07.12.0 Title 0", items[0].text);
        EXPECT_EQ(static_cast<UINT>(ID_SITE_HOME), items[10].id);
        EXPECT_EQ("zavora.example", items[10].text);
        EXPECT_TRUE(items[10].isDefault);
        EXPECT_EQ(10u, dialog.KeptUrls().size());
        // Looking at the entries ends the new-postings state.
        EXPECT_FALSE(dialog.Controller().Flags().newPostings);
        EXPECT_STREQ("Zavora news agent", dialog.Tray().Data().szTip);
    });
    // The chosen entry arrives after the menu has closed.
    Flush();
    Command(ID_SITE_HOME);
    Command(ID_NEWS_ENTRY_FIRST + 10); // beyond the listed entries: nothing
    EXPECT_EQ(
        (std::vector<std::string>{"open http://news.example/9", "open http://www.zavora.example/"}),
        Log());
}

TEST_F(AgentWindow, RealTrayMenuOpensAtTheCursorAndClosesWithEscape) {
    StartAgent();
    Send(WM_TIMER, ID_TIMER_POLL);
    FinishPoll(PollOutcome::NewPostings, 2);
    OnWindow([&] { dialog.realMenus = true; });
    PostMessageA(window, WM_TRAY_NOTIFY, CTrayIcon::kIconId, WM_LBUTTONUP);
    HWND menu = nullptr;
    for (int i = 0; i < 100 && !menu; ++i, Sleep(20))
        menu = FindWindowA("#32768", nullptr);
    ASSERT_NE(nullptr, menu);
    const HMENU shown = reinterpret_cast<HMENU>(SendMessageA(menu, MN_GETHMENU, 0, 0));
    EXPECT_EQ(3, GetMenuItemCount(shown));
    EXPECT_EQ(static_cast<UINT>(ID_SITE_HOME), GetMenuDefaultItem(shown, FALSE, 0));
    PostMessageA(menu, WM_KEYDOWN, VK_ESCAPE, 0);
    Flush();
    EXPECT_FALSE(Flags().newPostings) << "closing the entries menu ends the new state";
    EXPECT_EQ(CString("Zavora news agent"), Tip());
}

TEST_F(AgentWindow, EntryCommandsOpenWhatTheMenuListedEvenAfterANewList) {
    StartAgent();
    Send(WM_TIMER, ID_TIMER_POLL);
    FinishPoll(PollOutcome::NewPostings, 2);
    TrayClick(WM_LBUTTONUP);
    Send(WM_TIMER, ID_TIMER_POLL);
    auto* newer = new PollResult;
    newer->outcome = PollOutcome::NewPostings;
    newer->epoch = "edition-3";
    newer->entries.push_back({"d", "t", "http://other.example/"});
    FinishPoll(newer);
    ClearLog();
    Command(ID_NEWS_ENTRY_FIRST + 1);
    EXPECT_EQ(std::vector<std::string>{"open http://news.example/1"}, Log());
}

TEST_F(AgentWindow, ExitWhileIdleSavesAndEnds) {
    RegistryMem::PutText(kSettingsKey, "newEntriesFlag", "1");
    RegistryMem::PutText(kSettingsKey, "useProxy", "2");
    StartAgent();
    SettleIdle();
    Command(ID_TASKBAR_EXIT);
    WaitForEnd();
    EXPECT_EQ(IDCANCEL, result);
    EXPECT_EQ(nullptr, dialog.Settings());
    EXPECT_TRUE(dialog.Tray().LastCallSucceeded()) << "the icon was deleted";
    EXPECT_FALSE(dialog.Tray().Animating());
    EXPECT_EQ("1", Text(kSettingsKey, "newEntriesFlag"));
    EXPECT_EQ("2", Text(kSettingsKey, "useProxy"));
    EXPECT_EQ("5", Text(kSettingsKey, "pollingDelay"));
    EXPECT_EQ("www.zavora.example", Text(kSettingsKey, "urlHost"));
}

TEST_F(AgentWindow, LogOffSavesWhatAClosingWouldSave) {
    StartAgent();
    Send(WM_TIMER, ID_TIMER_POLL);
    FinishPoll(PollOutcome::NewPostings, 1);
    Send(WM_ENDSESSION, FALSE);
    EXPECT_EQ("<missing>", Text(kSettingsKey, "newEntriesFlag"));
    Send(WM_ENDSESSION, TRUE);
    EXPECT_EQ("1", Text(kSettingsKey, "newEntriesFlag"));
    EXPECT_EQ("5", Text(kSettingsKey, "pollingDelay"));
}

TEST_F(AgentWindow, ExitDuringPollWaitsForTheReportAndIgnoresClicks) {
    StartAgent();
    Send(WM_TIMER, ID_TIMER_POLL);
    Command(ID_TASKBAR_EXIT);
    EXPECT_EQ(CString("Zavora news agent (shutting down)"), Tip());
    EXPECT_TRUE(IsWindow(window));
    TrayClick(WM_RBUTTONUP);
    TrayClick(WM_LBUTTONUP);
    ClearLog();
    FinishPoll(PollOutcome::NewPostings, 1);
    WaitForEnd();
    EXPECT_TRUE(dialog.menusShown.empty());
    EXPECT_TRUE(services.log.empty()) << "no alert while shutting down";
    EXPECT_EQ("0", Text(kSettingsKey, "newEntriesFlag"));
    EXPECT_EQ("1", Text(kDataKey, "numentries")) << "the list found is kept";
}

TEST_F(AgentWindow, EnterAndEscapeDoNothing) {
    StartAgent();
    // During a poll an exit would show at once, as the shutting-down state.
    Send(WM_TIMER, ID_TIMER_POLL);
    Command(IDOK);
    Command(IDCANCEL);
    EXPECT_FALSE(Flags().shuttingDown);
    EXPECT_EQ(CString("Zavora news agent (connecting)"), Tip());
    FinishPoll(PollOutcome::NothingNew);
    EXPECT_TRUE(IsWindow(window));
    EXPECT_EQ(CString("Zavora news agent"), Tip());
    Command(ID_TASKBAR_EXIT);
    WaitForEnd();
}

TEST_F(AgentWindow, CloseDuringTheSheetWaitsUntilTheSheetHasEnded) {
    StartAgent();
    SettleIdle();
    bool settingsAliveAfterClose = false;
    services.duringConfigure = [&](HWND owner, CAgentSettings& settings) {
        // Exit chosen from the tray while the sheet runs its own message loop.
        SendMessageA(owner, WM_COMMAND, ID_TASKBAR_EXIT, 0);
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageA(&message);
        settings.pollingDelay = 30;
        settingsAliveAfterClose = dialog.Settings() == &settings;
    };
    Command(ID_TASKBAR_CONFIGURE);
    WaitForEnd();
    EXPECT_TRUE(settingsAliveAfterClose);
    EXPECT_EQ("30", Text(kSettingsKey, "pollingDelay"));
}

TEST_F(AgentWindow, HelpOpensTheHelpPage) {
    StartAgent();
    ClearLog();
    HELPINFO info = {};
    info.cbSize = sizeof(info);
    Send(WM_HELP, 0, reinterpret_cast<LPARAM>(&info));
    const std::vector<std::string> expected = {"launch http://www.zavora.example/agenthelp.html"};
    EXPECT_EQ(expected, Log());
}

TEST_F(AgentWindow, TaskbarRestartAddsTheIconAgainAsItWas) {
    StartAgent();
    Send(WM_TIMER, ID_TIMER_POLL);
    FinishPoll(PollOutcome::Error);
    NOTIFYICONDATAA data = {};
    OnWindow([&] { data = dialog.Tray().Data(); });
    // The new taskbar does not know the icon.
    ASSERT_TRUE(Shell_NotifyIconA(NIM_DELETE, &data));
    Send(RegisterWindowMessageA("TaskbarCreated"));
    OnWindow([&] {
        EXPECT_TRUE(dialog.Tray().LastCallSucceeded());
        EXPECT_STREQ("Zavora news agent (could not connect)", dialog.Tray().Data().szTip);
    });
    data.uFlags = NIF_TIP;
    EXPECT_TRUE(Shell_NotifyIconA(NIM_MODIFY, &data)) << "the icon exists again";
}

// The armed poll delay, asked as the system tests ask it from outside.
TEST_F(AgentWindow, FailedPollShowsItsReasonRetriesSoonAndWakingPollsAfterSettling) {
    StartAgent();
    const UINT query = RegisterWindowMessageA(ZV_QUERY_MESSAGE);
    auto armedDelay = [&] { return SendMessageA(window, query, ZV_QUERY_POLL_DELAY, 0); };
    Send(WM_TIMER, ID_TIMER_POLL);
    auto* failed = new PollResult;
    failed->message = "HTTP/1.0 404 Not Found\n\n";
    failed->reason = {"the site answered 404 Not Found", "HTTP 404"};
    FinishPoll(failed);
    EXPECT_EQ(CString("Zavora news agent (could not connect: HTTP 404)"), Tip());
    EXPECT_EQ(60000, armedDelay());
    CString lastPoll;
    OnWindow([&] { lastPoll = LastPollText(dialog.Controller().LastPollEnded()); });
    EXPECT_GE(lastPoll.Find(", failed:\r\nthe site answered 404 Not Found"), 0) << lastPoll.c_str();
    Send(WM_POWERBROADCAST, PBT_APMRESUMESUSPEND);
    EXPECT_EQ(15000, armedDelay());
    Send(WM_POWERBROADCAST, PBT_APMSUSPEND);
    EXPECT_EQ(15000, armedDelay()) << "only a wake schedules a poll";
}

// The tip keeps to 63 characters and a terminator, the longest tooltip the agent composes.
TEST(TrayIcon, TipKeepsToTheRoomTheShellReads) {
    HWND window =
        CreateWindowA("STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    ASSERT_TRUE(window);
    CTrayIcon tray;
    tray.Add(window, LoadIcon(nullptr, IDI_APPLICATION), std::string(100, 'a').c_str());
    EXPECT_EQ(std::string(63, 'a'), tray.Data().szTip);
    tray.SetTip(std::string(64, 'b').c_str());
    EXPECT_EQ(std::string(63, 'b'), tray.Data().szTip);
    tray.Remove();
    DestroyWindow(window);
}

TEST_F(AgentWindow, IconAndMenuHandlesStayFlatOverManyStateChanges) {
    StartAgent();
    SettleIdle();
    int icons = 0;
    int menus = 0;
    OnWindow([&] {
        icons = LiveHandleCount(HandleKind::Icon);
        menus = LiveHandleCount(HandleKind::Menu);
    });
    for (int i = 0; i < 500; ++i) {
        Send(WM_TIMER, ID_TIMER_POLL);
        Send(WM_TIMER, ID_TIMER_ANIMATE);
        FinishPoll(i % 2 ? PollOutcome::NewPostings : PollOutcome::Error, 2);
        Send(WM_TIMER, ID_TIMER_ANIMATE);
        Command(ID_TASKBAR_DISABLE);
        TrayClick(i % 2 ? WM_LBUTTONUP : WM_RBUTTONUP);
        Command(ID_TASKBAR_DISABLE);
    }
    OnWindow([&] {
        EXPECT_EQ(icons, LiveHandleCount(HandleKind::Icon));
        EXPECT_EQ(menus, LiveHandleCount(HandleKind::Menu));
        EXPECT_EQ(500u, dialog.menusShown.size());
    });
}

namespace {

// Closes the About box from its own message loop and reads what it showed.
struct AboutProbe {
    static std::string product;
    static std::string caption;
    static std::string lastPoll;
    static int lastPollLines;
    static int lastPollLinesShown;
    static void CALLBACK Close(HWND, UINT, UINT_PTR timer, DWORD) {
        const HWND box = FindWindowA(nullptr, "About " ZV_PRODUCT_NAME);
        if (!box)
            return;
        KillTimer(nullptr, timer);
        char text[1024] = "";
        GetDlgItemTextA(box, IDC_ABOUT_PRODUCT, text, sizeof(text));
        product = text;
        GetWindowTextA(box, text, sizeof(text));
        caption = text;
        const HWND edit = GetDlgItem(box, IDC_ABOUT_LAST_POLL);
        GetWindowTextA(edit, text, sizeof(text));
        lastPoll = text;
        lastPollLines = static_cast<int>(SendMessageA(edit, EM_GETLINECOUNT, 0, 0));
        lastPollLinesShown = LinesThatFit(edit);
        HELPINFO info = {};
        info.cbSize = sizeof(info);
        SendMessageA(box, WM_HELP, 0, reinterpret_cast<LPARAM>(&info));
        PostMessageA(box, WM_COMMAND, IDOK, 0);
    }
    static int LinesThatFit(HWND edit) {
        RECT client = {};
        GetClientRect(edit, &client);
        const HDC dc = GetDC(edit);
        const HGDIOBJ old =
            SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageA(edit, WM_GETFONT, 0, 0)));
        TEXTMETRICA metrics = {};
        GetTextMetricsA(dc, &metrics);
        SelectObject(dc, old);
        ReleaseDC(edit, dc);
        return metrics.tmHeight > 0 ? (client.bottom - client.top) / metrics.tmHeight : 0;
    }
};
std::string AboutProbe::product;
std::string AboutProbe::caption;
std::string AboutProbe::lastPoll;
int AboutProbe::lastPollLines = 0;
int AboutProbe::lastPollLinesShown = 0;

} // namespace

// The longest last-poll text, a redirect to an address as long as a reason shows, fits the
// box without clipping; a short one shows as given.
TEST(AboutBox, ShowsNameVersionAndTheLastPollAndOpensHelp) {
    PollFailure moved;
    moved.kind = FailureKind::HttpStatus;
    moved.statusLine = "HTTP/1.1 301 Moved Permanently";
    moved.answer = "HTTP/1.1 301 Moved Permanently\r\nLocation: https://news.example.org/" +
                   CString('x', 300) + "\r\n\r\n";
    LastPoll longest;
    longest.when = "Wednesday, 30 September 2026 23:59:59";
    longest.outcome = PollOutcome::Error;
    longest.reason = DescribeFailure(moved);
    for (const CString& text : {LastPollText(longest), CString("Last poll: none yet")}) {
        CRecordingServices services;
        CAboutDialog about(services, nullptr, text);
        SetTimer(nullptr, 0, 50, AboutProbe::Close);
        EXPECT_EQ(IDOK, about.DoModal());
        EXPECT_EQ(ZV_PRODUCT_NAME " v" ZV_VERSION, AboutProbe::product);
        EXPECT_EQ("About " ZV_PRODUCT_NAME, AboutProbe::caption);
        EXPECT_EQ(text.str(), AboutProbe::lastPoll);
        EXPECT_GE(AboutProbe::lastPollLinesShown, AboutProbe::lastPollLines) << text.c_str();
        EXPECT_EQ(std::vector<std::string>{"launch http://www.zavora.example/agenthelp.html"},
                  services.log);
    }
}

TEST(SystemSoundPlayer, FilePlaysOnItsOwnThreadAndReportsTheEnd) {
    const HWND window = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                                        GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(nullptr, window);
    const UINT doneMessage = WM_APP + 77;
    CSystemSoundPlayer player;
    // No sound device and no such file: the call fails at once, and the end is still told.
    EXPECT_TRUE(player.PlayFile("C:\\no such sound.wav", window, doneMessage));
    MSG message = {};
    bool done = false;
    for (int i = 0; i < 200 && !done; ++i) {
        done = PeekMessageA(&message, window, doneMessage, doneMessage, PM_REMOVE) != FALSE;
        if (!done)
            Sleep(10);
    }
    EXPECT_TRUE(done);
    DestroyWindow(window);
}
