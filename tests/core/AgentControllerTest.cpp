#include "AgentController.h"

#include "PollInterval.h"

#include "AgentSettings.h"
#include "RegistryMem.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

namespace {

const char* Name(TrayDisplay display) {
    switch (display) {
    case TrayDisplay::Normal:
        return "normal";
    case TrayDisplay::Connecting:
        return "connecting";
    case TrayDisplay::NewPostings:
        return "new";
    case TrayDisplay::CouldNotConnect:
        return "failed";
    case TrayDisplay::Disabled:
        return "disabled";
    case TrayDisplay::ShuttingDown:
        return "shutting";
    }
    return "?";
}

// Records what the controller asks for, in order.
class CRecordingHost : public IAgentHost {
public:
    std::vector<std::string> calls;
    bool workerStarts = true;
    bool userSoundStarts = true;
    bool userBusy = false;

    bool ArmPollTimer(unsigned milliseconds) override {
        calls.push_back("arm " + std::to_string(milliseconds));
        return true;
    }
    void StopPollTimer() override { calls.push_back("stop"); }
    bool StartWorker() override {
        calls.push_back("worker");
        return workerStarts;
    }
    void ShowTray(TrayDisplay display) override { calls.push_back(Name(display)); }
    void ShowPopup() override { calls.push_back("popup"); }
    void PlaySystemSound() override { calls.push_back("exclamation"); }
    bool PlayUserSound(const CString& path) override {
        calls.push_back("play '" + path.str() + "'");
        return userSoundStarts;
    }
    void RefuseBeep() override { calls.push_back("beep"); }
    void PostClose() override { calls.push_back("close"); }
    CString LocalTime() override { return "07.12.2026 10:00"; }
    bool UserIsBusy() override { return userBusy; }
    void WatchForUserReturn(bool watch) override { calls.push_back(watch ? "watch" : "unwatch"); }
};

using Calls = std::vector<std::string>;

class Controller : public ::testing::Test {
protected:
    void SetUp() override {
        RegistryMem::Clear();
        settings = std::make_unique<CAgentSettings>();
        settings->pollingDelay = 7;
    }

    CRecordingHost host;
    CAgentController controller{host};
    std::unique_ptr<CAgentSettings> settings;
};

// Runs a sequence of events named by words, separated by blanks; "busy" and "free" say
// what the host answers when asked whether the user is busy.
void Replay(CAgentController& controller, CRecordingHost& host, const CAgentSettings& settings,
            const std::string& words) {
    std::istringstream in(words);
    std::string word;
    while (in >> word) {
        if (word == "start" || word == "start*")
            controller.Start(settings, word == "start*");
        else if (word == "poll")
            controller.OnPollTimer();
        else if (word == "new")
            controller.ReportNewPostings();
        else if (word == "nothing")
            controller.ReportNothingNew();
        else if (word == "error")
            controller.ReportError({"the site answered 404 Not Found", "HTTP 404"});
        else if (word == "wake")
            controller.OnResume();
        else if (word == "refresh")
            controller.Refresh();
        else if (word == "toggle")
            controller.ToggleDisabled();
        else if (word == "exit")
            controller.RequestExit();
        else if (word == "menu")
            controller.OnEntriesMenuClosed();
        else if (word == "config")
            controller.OnConfigurationAccepted();
        else if (word == "busy" || word == "free")
            host.userBusy = word == "busy";
        else if (word == "back")
            controller.OnUserMayBeBack();
        else
            FAIL() << "unknown event " << word;
    }
}

// The flags as letters: Connecting, Disabled, New postings, Failed, Shutting down, and
// H while an alert is held.
std::string Letters(const CAgentController& controller) {
    const AgentFlags& flags = controller.Flags();
    std::string letters;
    letters += flags.connecting ? "C" : "";
    letters += flags.disabled ? "D" : "";
    letters += flags.newPostings ? "N" : "";
    letters += flags.couldNotConnect ? "F" : "";
    letters += flags.shuttingDown ? "S" : "";
    letters += controller.AlertHeld() ? "H" : "";
    return letters;
}

} // namespace

// The state table: each row is a history, one event, what the window is asked to do, and
// the flags and poll timer afterwards. pollingDelay is 7 minutes.
TEST_F(Controller, StateTable) {
    struct Row {
        const char* history;
        const char* event;
        Calls calls;
        const char* flags;
        bool timerArmed;
    };
    const Row rows[] = {
        {"", "start", {"arm 1000"}, "", true},
        {"", "start*", {"arm 1000"}, "N", true},
        {"start", "poll", {"stop", "connecting", "worker"}, "C", false},
        {"start poll", "new", {"new", "popup", "exclamation", "arm 420000"}, "N", true},
        {"start poll", "nothing", {"arm 420000", "normal"}, "", true},
        {"start* poll", "nothing", {"arm 420000", "new"}, "N", true},
        // Failed polls are retried after 1, 2, 4 ... minutes, never later than the interval;
        // a poll that succeeds returns to the interval.
        {"start* poll", "error", {"arm 60000", "failed"}, "F", true},
        {"start poll error poll", "error", {"arm 120000", "failed"}, "F", true},
        {"start poll error poll error poll", "error", {"arm 240000", "failed"}, "F", true},
        {"start poll error poll error poll error poll",
         "error",
         {"arm 420000", "failed"},
         "F",
         true},
        {"start poll error poll", "nothing", {"arm 420000", "normal"}, "", true},
        {"start poll error poll", "new", {"new", "popup", "exclamation", "arm 420000"}, "N", true},
        {"start poll error poll nothing poll", "error", {"arm 60000", "failed"}, "F", true},
        {"start poll error refresh", "error", {"arm 120000", "failed"}, "F", true},
        // Enable and an accepted configuration wait a full interval.
        {"start poll error toggle", "toggle", {"arm 420000", "failed"}, "F", true},
        {"start poll error poll error", "config", {"stop", "arm 420000"}, "F", true},
        // Waking from sleep: a poll after the network has settled, and retries from 1 minute.
        {"start poll nothing", "wake", {"stop", "arm 15000"}, "", true},
        {"start poll error poll error", "wake", {"stop", "arm 15000"}, "F", true},
        {"start poll error poll error wake poll", "error", {"arm 60000", "failed"}, "F", true},
        {"start poll error poll error wake poll", "nothing", {"arm 420000", "normal"}, "", true},
        {"start poll", "wake", {}, "C", false},
        // A wake while a poll runs is remembered: a failure of that poll is retried once the
        // network has settled, and no longer counts.
        {"start poll error poll error poll wake", "error", {"arm 15000", "failed"}, "F", true},
        {"start poll error poll error poll wake error poll",
         "error",
         {"arm 60000", "failed"},
         "F",
         true},
        {"start poll wake", "nothing", {"arm 420000", "normal"}, "", true},
        {"start poll wake toggle", "error", {"disabled"}, "DF", false},
        {"start toggle", "wake", {}, "D", false},
        {"start poll exit", "wake", {}, "CS", false},
        // Disabled: reports change no picture but the disabled one and arm nothing.
        {"start poll toggle", "new", {}, "DN", false},
        {"start poll toggle", "nothing", {"disabled"}, "D", false},
        {"start poll toggle", "error", {"disabled"}, "DF", false},
        {"start", "toggle", {"stop", "disabled"}, "D", false},
        {"start toggle", "toggle", {"arm 420000", "normal"}, "", true},
        {"start poll toggle", "toggle", {"arm 420000", "connecting"}, "C", true},
        {"start poll toggle new", "toggle", {"arm 420000", "new"}, "N", true},
        // Refresh.
        {"start", "refresh", {"stop", "connecting", "worker"}, "C", false},
        {"start poll", "refresh", {"beep"}, "C", false},
        {"start toggle", "refresh", {"beep"}, "D", false},
        {"start poll exit", "refresh", {"beep"}, "CS", false},
        // Exit.
        {"start", "exit", {"close"}, "", true},
        {"start poll", "exit", {"shutting"}, "CS", false},
        {"start poll exit", "new", {"close"}, "S", false},
        {"start* poll exit", "new", {"close"}, "NS", false},
        {"start* poll exit", "nothing", {"close"}, "NS", false},
        {"start* poll exit", "error", {"close"}, "FS", false},
        // The entries menu closed.
        {"start*", "menu", {"normal"}, "", true},
        {"start* toggle", "menu", {"disabled"}, "D", false},
        {"start* poll", "menu", {}, "C", false},
        {"start", "menu", {}, "", true},
        // The configuration accepted.
        {"start poll nothing", "config", {"stop", "arm 420000"}, "", true},
        {"start toggle", "config", {}, "D", false},
        {"start poll", "config", {}, "C", false},
        // The user is busy: the icon shows the news, the alert waits for the user's return.
        {"start poll busy", "new", {"new", "watch", "arm 420000"}, "NH", true},
        {"start poll busy", "nothing", {"arm 420000", "normal"}, "", true},
        {"start poll busy toggle", "new", {}, "DN", false},
        {"start poll busy new", "back", {}, "NH", true},
        {"start poll busy new free", "back", {"unwatch", "popup", "exclamation"}, "N", true},
        {"start poll busy new free back", "back", {}, "N", true},
        {"start poll busy new free back poll",
         "new",
         {"new", "popup", "exclamation", "arm 420000"},
         "N",
         true},
        // A second edition replaces the first: one popup and one sound when the user is back.
        {"start poll busy new poll", "new", {"new", "arm 420000"}, "NH", true},
        {"start poll busy new poll new free",
         "back",
         {"unwatch", "popup", "exclamation"},
         "N",
         true},
        // What waits survives failed polls and comes during a poll; looking at the entries
        // or disabling drops it, and a poll's report never releases it by itself.
        {"start poll busy new poll", "error", {"arm 60000", "failed"}, "FH", true},
        {"start poll busy new poll free", "back", {"unwatch", "popup", "exclamation"}, "CN", false},
        {"start poll busy new poll free", "nothing", {"arm 420000", "new"}, "NH", true},
        {"start poll busy new", "menu", {"unwatch", "normal"}, "", true},
        {"start poll busy new", "toggle", {"stop", "unwatch", "disabled"}, "DN", false},
        {"start poll busy new toggle toggle free", "back", {}, "N", true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.history) + " | " + row.event);
        CAgentController controller(host);
        host.userBusy = false;
        Replay(controller, host, *settings, row.history);
        host.calls.clear();
        Replay(controller, host, *settings, row.event);
        EXPECT_EQ(row.calls, host.calls);
        EXPECT_EQ(row.flags, Letters(controller));
        EXPECT_EQ(row.timerArmed, controller.PollTimerArmed());
        EXPECT_EQ(std::string(row.flags).find_first_of("CDS") == std::string::npos,
                  controller.RefreshOffered());
    }
}

// The alerts of a report with new postings: popup first, then at most one sound.
TEST_F(Controller, AlertsFollowTheSettings) {
    struct Row {
        int byMessage, bySystemSound, byUserSound;
        Calls calls;
    };
    const Row rows[] = {
        {1, 1, 0, {"new", "popup", "exclamation", "arm 420000"}},
        {0, 1, 1, {"new", "exclamation", "arm 420000"}}, // both sounds: only the system's
        {1, 0, 1, {"new", "popup", "play ' '"}},         // the next poll waits for the sound
        {0, 0, 0, {"new", "arm 420000"}},                // only the icon
        {2, -1, 5, {"new", "popup", "play ' '"}},        // on means greater than 0
    };
    for (const Row& row : rows) {
        settings->alertByMessage = row.byMessage;
        settings->alertBySystemSound = row.bySystemSound;
        settings->alertByUserSound = row.byUserSound;
        CAgentController controller(host);
        Replay(controller, host, *settings, "start poll");
        host.calls.clear();
        controller.ReportNewPostings();
        EXPECT_EQ(row.calls, host.calls);
    }
}

TEST_F(Controller, UserSoundArmsTheNextPollWhenItHasPlayed) {
    settings->alertBySystemSound = 0;
    settings->alertByUserSound = 1;
    settings->soundPath = "C:\\ding.wav";
    controller.Start(*settings, false);
    controller.StartPoll();
    host.calls.clear();
    controller.ReportNewPostings();
    EXPECT_EQ((Calls{"new", "popup", "play 'C:\\ding.wav'"}), host.calls);
    EXPECT_TRUE(controller.PollWaitsForSound());
    host.calls.clear();
    controller.OnUserSoundDone();
    EXPECT_EQ(Calls{"arm 420000"}, host.calls);
    EXPECT_TRUE(controller.PollTimerArmed());
    host.calls.clear();
    controller.OnUserSoundDone(); // a second notice changes nothing
    EXPECT_TRUE(host.calls.empty());
}

// The user's sound of a held alert plays on the user's return; the poll timer was armed at
// the report, so the sound's end changes nothing. With no alert chosen nothing waits.
TEST_F(Controller, HeldAlertFollowsTheSettingsOnTheUsersReturn) {
    settings->alertBySystemSound = 0;
    settings->alertByUserSound = 1;
    Replay(controller, host, *settings, "start poll busy new free");
    host.calls.clear();
    controller.OnUserMayBeBack();
    controller.OnUserSoundDone();
    EXPECT_EQ((Calls{"unwatch", "popup", "play ' '"}), host.calls);
    EXPECT_EQ(420000u, controller.PollTimerDelayMs());
    settings->alertByMessage = settings->alertByUserSound = 0;
    Replay(controller, host, *settings, "poll busy new");
    EXPECT_FALSE(controller.AlertHeld());
}

// Each row: the system's answer about the user (SHQueryUserNotificationState; 0 when the
// question failed), and whether alerts wait without and with a full-screen window in front.
TEST(UserPresence, AlertsWaitWhileTheUserIsBusyOrAway) {
    const struct {
        int state;
        bool waits;
    } rows[] = {{0, false}, {1, true}, {2, true},  {3, true},  {4, true},
                {5, false}, {6, true}, {7, false}, {8, false}, {-1, false}};
    for (const auto& row : rows) {
        EXPECT_EQ(row.waits, AlertsMustWait(row.state, false)) << row.state;
        EXPECT_TRUE(AlertsMustWait(row.state, true)) << row.state;
    }
}

TEST_F(Controller, UserSoundThatCannotStartArmsAtOnce) {
    settings->alertBySystemSound = 0;
    settings->alertByUserSound = 1;
    host.userSoundStarts = false;
    controller.Start(*settings, false);
    controller.StartPoll();
    host.calls.clear();
    controller.ReportNewPostings();
    EXPECT_EQ((Calls{"new", "popup", "play ' '", "arm 420000"}), host.calls);
}

TEST_F(Controller, SoundEndingAfterDisableRefreshOrWakeArmsNothing) {
    settings->alertBySystemSound = 0;
    settings->alertByUserSound = 1;
    // Whatever came meanwhile set the timer or left it off; the sound's end keeps that.
    for (const char* event : {"toggle", "refresh", "wake"}) {
        Replay(controller, host, *settings, std::string("start poll new ") + event);
        const unsigned delay = controller.PollTimerDelayMs();
        host.calls.clear();
        controller.OnUserSoundDone();
        EXPECT_TRUE(host.calls.empty()) << event;
        EXPECT_EQ(std::string(event) == "wake" ? kWakeSettleDelayMs : 0u, delay) << event;
        EXPECT_EQ(delay, controller.PollTimerDelayMs()) << event;
    }
}

TEST_F(Controller, WorkerThatCannotStartEndsThePollAsAnError) {
    controller.Start(*settings, true);
    host.workerStarts = false;
    host.calls.clear();
    controller.OnPollTimer();
    EXPECT_EQ((Calls{"stop", "connecting", "worker", "arm 60000", "failed"}), host.calls);
    EXPECT_FALSE(controller.Flags().connecting);
    EXPECT_TRUE(controller.Flags().couldNotConnect);
    EXPECT_FALSE(controller.Flags().newPostings);
    EXPECT_EQ(60000u, controller.PollTimerDelayMs());
    EXPECT_EQ(CString("poll not started"), controller.LastPollEnded().reason.brief);
}

// The state table, one row per event, each from a running poll unless it says otherwise.
TEST_F(Controller, OutOfRangeIntervalsArmWithinTheTimersRange) {
    for (int delay : {0, -5, 1000000}) {
        settings->pollingDelay = delay;
        controller.Start(*settings, false);
        controller.StartPoll();
        host.calls.clear();
        controller.ReportNothingNew();
        ASSERT_FALSE(host.calls.empty());
        EXPECT_EQ(delay > 0 ? "arm 2147483647" : "arm 300000", host.calls.front());
        EXPECT_EQ(delay, settings->pollingDelay); // the stored value is kept
    }
}
