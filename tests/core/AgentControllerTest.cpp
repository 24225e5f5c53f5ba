#include "core/AgentController.h"

#include "RegistryMem.h"
#include "store/AgentSettings.h"

#include <gtest/gtest.h>

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

} // namespace

TEST_F(Controller, InitialisationArmsTheFirstPollInOneSecond) {
    controller.Start(*settings, true);
    EXPECT_EQ(Calls{"arm 1000"}, host.calls);
    EXPECT_TRUE(controller.Flags().newPostings);
    EXPECT_FALSE(controller.Flags().connecting);
    EXPECT_TRUE(controller.PollTimerArmed());
}

TEST_F(Controller, PollStartStopsTheTimerAndShowsConnecting) {
    controller.Start(*settings, false);
    host.calls.clear();
    controller.OnPollTimer();
    EXPECT_EQ((Calls{"stop", "connecting", "worker"}), host.calls);
    EXPECT_TRUE(controller.Flags().connecting);
    EXPECT_FALSE(controller.PollTimerArmed());
}

TEST_F(Controller, WorkerThatCannotStartEndsThePollAsAnError) {
    controller.Start(*settings, true);
    host.workerStarts = false;
    host.calls.clear();
    controller.OnPollTimer();
    EXPECT_EQ((Calls{"stop", "connecting", "worker", "arm 420000", "failed"}), host.calls);
    EXPECT_FALSE(controller.Flags().connecting);
    EXPECT_TRUE(controller.Flags().couldNotConnect);
    EXPECT_FALSE(controller.Flags().newPostings);
    EXPECT_TRUE(controller.PollTimerArmed());
}

// The state table, one row per event, each from a running poll unless it says otherwise.
TEST_F(Controller, ReportsFromARunningPoll) {
    struct Row {
        const char* name;
        int alertByMessage, alertBySystemSound, alertByUserSound;
        void (*report)(CAgentController&);
        Calls calls;
        bool newPostings, couldNotConnect, timerArmed;
    };
    const Row rows[] = {
        {"new postings, defaults",
         1,
         1,
         0,
         [](CAgentController& c) { c.ReportNewPostings(); },
         {"new", "popup", "exclamation", "arm 420000"},
         true,
         false,
         true},
        {"new postings, both sounds: only the exclamation",
         0,
         1,
         1,
         [](CAgentController& c) { c.ReportNewPostings(); },
         {"new", "exclamation", "arm 420000"},
         true,
         false,
         true},
        {"new postings, user sound waits before arming",
         0,
         0,
         1,
         [](CAgentController& c) { c.ReportNewPostings(); },
         {"new", "play ' '"},
         true,
         false,
         false},
        {"new postings, no alerts: only the icon",
         0,
         0,
         0,
         [](CAgentController& c) { c.ReportNewPostings(); },
         {"new", "arm 420000"},
         true,
         false,
         true},
        {"nothing new",
         1,
         1,
         0,
         [](CAgentController& c) { c.ReportNothingNew(); },
         {"arm 420000", "normal"},
         false,
         false,
         true},
        {"error",
         1,
         1,
         0,
         [](CAgentController& c) { c.ReportError("refused"); },
         {"arm 420000", "failed"},
         false,
         true,
         true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        settings->alertByMessage = row.alertByMessage;
        settings->alertBySystemSound = row.alertBySystemSound;
        settings->alertByUserSound = row.alertByUserSound;
        controller.Start(*settings, false);
        controller.StartPoll();
        host.calls.clear();
        row.report(controller);
        EXPECT_EQ(row.calls, host.calls);
        EXPECT_FALSE(controller.Flags().connecting);
        EXPECT_EQ(row.newPostings, controller.Flags().newPostings);
        EXPECT_EQ(row.couldNotConnect, controller.Flags().couldNotConnect);
        EXPECT_EQ(row.timerArmed, controller.PollTimerArmed());
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

TEST_F(Controller, SoundEndingAfterDisableOrRefreshArmsNothing) {
    settings->alertBySystemSound = 0;
    settings->alertByUserSound = 1;
    for (bool refresh : {false, true}) {
        controller.Start(*settings, false);
        controller.StartPoll();
        controller.ReportNewPostings();
        if (refresh)
            controller.Refresh();
        else
            controller.ToggleDisabled();
        host.calls.clear();
        controller.OnUserSoundDone();
        EXPECT_TRUE(host.calls.empty()) << refresh;
        EXPECT_FALSE(controller.PollTimerArmed());
    }
}

TEST_F(Controller, ReportsWhileDisabled) {
    controller.Start(*settings, false);
    controller.StartPoll();
    controller.ToggleDisabled();
    host.calls.clear();
    controller.ReportNewPostings();
    EXPECT_TRUE(host.calls.empty()); // no icon change, no alert, no timer
    EXPECT_TRUE(controller.Flags().newPostings);

    controller.StartPoll();
    host.calls.clear();
    controller.ReportNothingNew();
    EXPECT_EQ(Calls{"disabled"}, host.calls);
    EXPECT_FALSE(controller.PollTimerArmed());

    controller.StartPoll();
    host.calls.clear();
    controller.ReportError("x");
    EXPECT_EQ(Calls{"disabled"}, host.calls);
    EXPECT_FALSE(controller.PollTimerArmed());
}

TEST_F(Controller, DisableDuringPollThenNewPostingsThenEnable) {
    controller.Start(*settings, false);
    controller.StartPoll();
    controller.ToggleDisabled();
    controller.ReportNewPostings();
    host.calls.clear();
    controller.ToggleDisabled();
    EXPECT_EQ((Calls{"arm 420000", "new"}), host.calls);
    EXPECT_FALSE(controller.Flags().disabled);
}

TEST_F(Controller, EnableDuringPollShowsConnectingAndArmsTheTimer) {
    controller.Start(*settings, false);
    controller.StartPoll();
    controller.ToggleDisabled();
    host.calls.clear();
    controller.ToggleDisabled();
    EXPECT_EQ((Calls{"arm 420000", "connecting"}), host.calls);
    EXPECT_TRUE(controller.PollTimerArmed());
}

TEST_F(Controller, DisableStopsTheTimer) {
    controller.Start(*settings, false);
    host.calls.clear();
    controller.ToggleDisabled();
    EXPECT_EQ((Calls{"stop", "disabled"}), host.calls);
    EXPECT_TRUE(controller.Flags().disabled);
    EXPECT_FALSE(controller.PollTimerArmed());
}

TEST_F(Controller, RefreshIsRefusedWithABeepWhileBusyDisabledOrShuttingDown) {
    struct Row {
        const char* name;
        void (*prepare)(CAgentController&);
    };
    const Row rows[] = {
        {"connecting", [](CAgentController& c) { c.StartPoll(); }},
        {"disabled", [](CAgentController& c) { c.ToggleDisabled(); }},
        {"shutting down",
         [](CAgentController& c) {
             c.StartPoll();
             c.RequestExit();
         }},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        controller.Start(*settings, false);
        row.prepare(controller);
        const AgentFlags before = controller.Flags();
        host.calls.clear();
        controller.Refresh();
        EXPECT_EQ(Calls{"beep"}, host.calls);
        EXPECT_EQ(before.connecting, controller.Flags().connecting);
        EXPECT_FALSE(controller.RefreshOffered());
    }
}

TEST_F(Controller, RefreshWhileIdleStartsAPollAtOnce) {
    controller.Start(*settings, false);
    host.calls.clear();
    controller.Refresh();
    EXPECT_EQ((Calls{"stop", "connecting", "worker"}), host.calls);
}

TEST_F(Controller, ExitWhileIdleClosesAtOnce) {
    controller.Start(*settings, false);
    host.calls.clear();
    controller.RequestExit();
    EXPECT_EQ(Calls{"close"}, host.calls);
    EXPECT_FALSE(controller.Flags().shuttingDown);
}

TEST_F(Controller, ExitDuringPollWaitsForTheReportWhateverItIs) {
    struct Row {
        const char* name;
        bool newPostingsBefore;
        void (*report)(CAgentController&);
        bool newPostingsAfter;
    };
    const Row rows[] = {
        {"new postings keep the old flag", false,
         [](CAgentController& c) { c.ReportNewPostings(); }, false},
        {"new postings keep the old flag set", true,
         [](CAgentController& c) { c.ReportNewPostings(); }, true},
        {"nothing new", true, [](CAgentController& c) { c.ReportNothingNew(); }, true},
        {"error clears the flag", true, [](CAgentController& c) { c.ReportError("x"); }, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        controller.Start(*settings, row.newPostingsBefore);
        controller.StartPoll();
        host.calls.clear();
        controller.RequestExit();
        EXPECT_EQ(Calls{"shutting"}, host.calls);
        EXPECT_TRUE(controller.Flags().shuttingDown);
        EXPECT_TRUE(controller.TrayClicksIgnored());
        host.calls.clear();
        row.report(controller);
        EXPECT_EQ(Calls{"close"}, host.calls); // no alert, no timer, no icon change
        EXPECT_EQ(row.newPostingsAfter, controller.Flags().newPostings);
        EXPECT_FALSE(controller.Flags().connecting);
    }
}

TEST_F(Controller, EntriesMenuClosingEndsTheNewPostingsState) {
    controller.Start(*settings, true);
    host.calls.clear();
    controller.OnEntriesMenuClosed();
    EXPECT_EQ(Calls{"normal"}, host.calls);
    EXPECT_FALSE(controller.Flags().newPostings);
    host.calls.clear();
    controller.OnEntriesMenuClosed();
    EXPECT_TRUE(host.calls.empty());

    // While disabled the disabled picture stays; while polling the animation goes on.
    controller.Start(*settings, true);
    controller.ToggleDisabled();
    host.calls.clear();
    controller.OnEntriesMenuClosed();
    EXPECT_EQ(Calls{"disabled"}, host.calls);
    controller.Start(*settings, true);
    controller.StartPoll();
    host.calls.clear();
    controller.OnEntriesMenuClosed();
    EXPECT_TRUE(host.calls.empty());
    EXPECT_FALSE(controller.Flags().newPostings);
}

TEST_F(Controller, AcceptedConfigurationReArmsOnlyAnArmedTimer) {
    controller.Start(*settings, false);
    controller.StartPoll();
    controller.ReportNothingNew();
    settings->pollingDelay = 30;
    host.calls.clear();
    controller.OnConfigurationAccepted();
    EXPECT_EQ((Calls{"stop", "arm 1800000"}), host.calls);

    controller.ToggleDisabled();
    host.calls.clear();
    controller.OnConfigurationAccepted();
    EXPECT_TRUE(host.calls.empty());

    controller.ToggleDisabled();
    controller.StartPoll();
    host.calls.clear();
    controller.OnConfigurationAccepted();
    EXPECT_TRUE(host.calls.empty());
}

TEST_F(Controller, StoredNewPostingsShowAfterTheFirstSuccessfulPoll) {
    controller.Start(*settings, true);
    controller.StartPoll();
    host.calls.clear();
    controller.ReportNothingNew();
    EXPECT_EQ((Calls{"arm 420000", "new"}), host.calls);
}

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

TEST_F(Controller, StoppedControllerArmsNothing) {
    controller.Start(*settings, false);
    controller.StartPoll();
    controller.Stop();
    host.calls.clear();
    controller.ReportNothingNew();
    EXPECT_EQ(Calls{"normal"}, host.calls);
    EXPECT_FALSE(controller.PollTimerArmed());
}
