#pragma once
// The agent's state machine: the five state flags, the poll schedule, the reports of a
// poll and the alerts that wait while the user is busy, free of window handles. The hidden main
// window drives it with events and carries out what it asks through IAgentHost.
#include "CString.h"
#include "LastPoll.h"
#include "TrayState.h"

class CAgentSettings;

// The user's states as SHQueryUserNotificationState reports them.
enum class UserNotificationState {
    NotPresent = 1, // locked, screen saver, another user's session
    Busy,           // a full-screen application
    FullScreenDirect3D,
    PresentationMode,
    AcceptsNotifications,
    QuietTime, // Focus Assist, Do Not Disturb
    App,       // a store app in front; desktop notifications still show
};

// True while alerts wait: the user is away, presents, asked for quiet or runs something full
// screen, or a full-screen window is in front on the popup's monitor (which the system may
// not report). An unknown state, or none (0: the question failed), lets alerts through.
bool AlertsMustWait(int systemState, bool fullScreenInFront);

// While alerts wait, the agent asks again this often whether the user is back.
constexpr unsigned kUserReturnCheckMs = 30000;

class IAgentHost {
public:
    virtual ~IAgentHost() = default;
    // Sets the poll timer (timer 105); false when the timer could not be set.
    virtual bool ArmPollTimer(unsigned milliseconds) = 0;
    virtual void StopPollTimer() = 0;
    // Starts a poll's worker; false when it cannot start.
    virtual bool StartWorker() = 0;
    virtual void ShowTray(TrayDisplay display) = 0;
    virtual void ShowPopup() = 0;
    virtual void PlaySystemSound() = 0;
    // Starts the user's sound without waiting for it; true when OnUserSoundDone will follow.
    virtual bool PlayUserSound(const CString& path) = 0;
    // The short beep of a refused Refresh.
    virtual void RefuseBeep() = 0;
    // Ends the agent: the window is asked to close.
    virtual void PostClose() = 0;
    // The date and time now, as the user's settings write it.
    virtual CString LocalTime() = 0;
    // Whether the popup and the sound must wait for the user (AlertsMustWait).
    virtual bool UserIsBusy() = 0;
    // Starts or stops listening for the user's return: the session's unlock and a check
    // every kUserReturnCheckMs, each ending in OnUserMayBeBack.
    virtual void WatchForUserReturn(bool watch) = 0;
};

class CAgentController {
public:
    explicit CAgentController(IAgentHost& host) : m_host(host) {}

    // Initialisation: every flag false but newPostings, first poll in one second.
    void Start(const CAgentSettings& settings, bool newPostings);
    // The settings are gone (the window is closing): nothing is armed or alerted any more.
    void Stop();

    void OnPollTimer() { StartPoll(); }
    void StartPoll();
    void ReportNewPostings();
    void ReportNothingNew();
    void ReportError(const FailureReason& reason);

    // Commands.
    void Refresh();
    void ToggleDisabled();
    void RequestExit();

    // The user's alert sound has played to its end.
    void OnUserSoundDone();
    // The entries menu has closed: the user has seen the news.
    void OnEntriesMenuClosed();
    // The configuration sheet ended with OK: an armed poll timer takes the new interval.
    void OnConfigurationAccepted();
    // The computer woke from sleep: poll soon, once the network has had time to come back.
    void OnResume();
    // The session changed or the check for the user's return came: a held alert comes now
    // if the user is no longer busy.
    void OnUserMayBeBack();

    void UpdateTrayState();

    const AgentFlags& Flags() const { return m_flags; }
    bool PollTimerArmed() const { return m_pollTimerArmed; }
    // The delay the poll timer was last armed with; 0 while it is not armed.
    unsigned PollTimerDelayMs() const { return m_pollTimerArmed ? m_pollTimerDelayMs : 0; }
    const LastPoll& LastPollEnded() const { return m_lastPoll; }
    // New articles came while the user was busy; their alert waits for the user's return.
    bool AlertHeld() const { return m_alertHeld; }
    // Waiting for the user's sound before the next poll is scheduled.
    bool PollWaitsForSound() const { return m_armAfterSound; }
    bool TrayClicksIgnored() const { return m_flags.shuttingDown; }
    bool RefreshOffered() const {
        return !m_flags.connecting && !m_flags.disabled && !m_flags.shuttingDown;
    }

private:
    void SetFirstPollTimer();
    void SetPollTimer();
    void SetIntervalTimer();
    void SetPollTimerAfter(int failedPolls);
    void ArmPollTimer(unsigned milliseconds);
    void KillPollTimer();
    void RecordPoll(PollOutcome outcome, const FailureReason& reason = FailureReason());
    void Alert();
    bool PlayAlerts();
    void DropHeldAlert();
    // afterWake: the poll failed after the computer woke while it ran.
    void FinishQuietPoll(bool afterWake = false);
    // The poll after waking, once the network has had time to come back.
    void ArmWakePoll();

    IAgentHost& m_host;
    const CAgentSettings* m_settings = nullptr;
    AgentFlags m_flags;
    bool m_pollTimerArmed = false;
    unsigned m_pollTimerDelayMs = 0;
    bool m_armAfterSound = false;
    bool m_alertHeld = false;
    // Polls in a row that failed; they bring the next poll forward (NextPollDelayMs).
    int m_failedPolls = 0;
    // The computer woke while the poll ran: a failure of that poll is the sleep's.
    bool m_wokeDuringPoll = false;
    LastPoll m_lastPoll;
};
