#include "AgentController.h"

#include "AgentSettings.h"
#include "PollInterval.h"

namespace {

// Enough for the retry delay to reach any interval; the count stops there.
constexpr int kMostCountedFailures = 64;

} // namespace

void CAgentController::Start(const CAgentSettings& settings, bool newPostings) {
    m_settings = &settings;
    m_flags = AgentFlags{};
    m_flags.newPostings = newPostings;
    m_armAfterSound = false;
    m_failedPolls = 0;
    m_lastPoll = LastPoll();
    SetFirstPollTimer();
}

void CAgentController::Stop() {
    KillPollTimer();
    DropHeldAlert();
    m_armAfterSound = false;
    m_settings = nullptr;
}

void CAgentController::SetFirstPollTimer() {
    KillPollTimer();
    ArmPollTimer(kFirstPollDelayMs);
}

void CAgentController::SetPollTimer() {
    SetPollTimerAfter(m_failedPolls);
}

// Enable and an accepted configuration are the user's choices: the next poll comes a full
// interval later, whatever failed before.
void CAgentController::SetIntervalTimer() {
    SetPollTimerAfter(0);
}

void CAgentController::SetPollTimerAfter(int failedPolls) {
    KillPollTimer();
    m_armAfterSound = false;
    if (!m_settings)
        return;
    ArmPollTimer(NextPollDelayMs(m_settings->pollingDelay, failedPolls));
}

void CAgentController::ArmPollTimer(unsigned milliseconds) {
    m_pollTimerArmed = m_host.ArmPollTimer(milliseconds);
    m_pollTimerDelayMs = milliseconds;
}

void CAgentController::KillPollTimer() {
    if (m_pollTimerArmed)
        m_host.StopPollTimer();
    m_pollTimerArmed = false;
}

void CAgentController::StartPoll() {
    KillPollTimer();
    // The poll's own report schedules the next one.
    m_armAfterSound = false;
    m_flags.connecting = true;
    m_flags.couldNotConnect = false;
    m_host.ShowTray(TrayDisplay::Connecting);
    if (!m_host.StartWorker()) {
        PollFailure failure;
        failure.kind = FailureKind::NotStarted;
        ReportError(DescribeFailure(failure));
    }
}

void CAgentController::RecordPoll(PollOutcome outcome, const FailureReason& reason) {
    m_lastPoll.when = m_host.LocalTime();
    m_lastPoll.outcome = outcome;
    m_lastPoll.reason = reason;
    m_wokeDuringPoll = false;
    if (outcome != PollOutcome::Error)
        m_failedPolls = 0;
    else if (m_failedPolls < kMostCountedFailures)
        ++m_failedPolls;
}

void CAgentController::ReportNewPostings() {
    RecordPoll(PollOutcome::NewPostings);
    m_flags.connecting = false;
    if (m_flags.shuttingDown) {
        RequestExit();
        return;
    }
    m_flags.newPostings = true;
    if (m_flags.disabled)
        return;
    UpdateTrayState();
    Alert();
    if (!m_armAfterSound)
        SetPollTimer();
}

// While the user is busy the alert waits; a later edition replaces what waits, so the user
// gets one popup and one sound at most.
void CAgentController::Alert() {
    if (!m_settings || (m_settings->alertByMessage <= 0 && m_settings->alertBySystemSound <= 0 &&
                        m_settings->alertByUserSound <= 0))
        return;
    if (!m_host.UserIsBusy()) {
        m_armAfterSound = PlayAlerts();
        return;
    }
    if (!m_alertHeld)
        m_host.WatchForUserReturn(true);
    m_alertHeld = true;
}

// True when the user's sound plays and OnUserSoundDone will follow.
bool CAgentController::PlayAlerts() {
    if (m_settings->alertByMessage > 0)
        m_host.ShowPopup();
    // Both sounds set (the sheet never stores that, a hand-edited registry may): the system
    // sound wins.
    if (m_settings->alertBySystemSound > 0) {
        m_host.PlaySystemSound();
        return false;
    }
    return m_settings->alertByUserSound > 0 && m_host.PlayUserSound(m_settings->soundPath);
}

void CAgentController::DropHeldAlert() {
    if (m_alertHeld)
        m_host.WatchForUserReturn(false);
    m_alertHeld = false;
}

// The poll timer was armed when the alert was held, so the sound's end arms nothing.
void CAgentController::OnUserMayBeBack() {
    if (!m_alertHeld || m_host.UserIsBusy())
        return;
    DropHeldAlert();
    if (m_settings && !m_flags.disabled && !m_flags.shuttingDown)
        PlayAlerts();
}

void CAgentController::ReportNothingNew() {
    RecordPoll(PollOutcome::NothingNew);
    m_flags.connecting = false;
    m_flags.couldNotConnect = false;
    FinishQuietPoll();
}

void CAgentController::ReportError(const FailureReason& reason) {
    const bool afterWake = m_wokeDuringPoll;
    RecordPoll(PollOutcome::Error, reason);
    m_flags.connecting = false;
    m_flags.couldNotConnect = true;
    m_flags.newPostings = false;
    FinishQuietPoll(afterWake);
}

// The end of a poll without an alert: the exit that waited for it, or the next poll.
void CAgentController::FinishQuietPoll(bool afterWake) {
    if (m_flags.shuttingDown) {
        RequestExit();
        return;
    }
    if (!m_flags.disabled) {
        if (afterWake)
            ArmWakePoll();
        else
            SetPollTimer();
    }
    UpdateTrayState();
}

void CAgentController::Refresh() {
    if (!RefreshOffered()) {
        m_host.RefuseBeep();
        return;
    }
    StartPoll();
}

void CAgentController::ToggleDisabled() {
    if (!m_flags.disabled) {
        m_flags.disabled = true;
        m_armAfterSound = false;
        KillPollTimer();
        DropHeldAlert();
        m_host.ShowTray(TrayDisplay::Disabled);
        return;
    }
    SetIntervalTimer();
    m_flags.disabled = false;
    if (m_flags.connecting && !m_flags.shuttingDown)
        m_host.ShowTray(TrayDisplay::Connecting);
    else
        UpdateTrayState();
}

void CAgentController::RequestExit() {
    if (m_flags.connecting) {
        m_flags.shuttingDown = true;
        UpdateTrayState();
        return;
    }
    m_host.PostClose();
}

void CAgentController::OnUserSoundDone() {
    if (!m_armAfterSound)
        return;
    SetPollTimer();
}

// The user has seen the entries: a held alert would announce what is no longer news.
void CAgentController::OnEntriesMenuClosed() {
    DropHeldAlert();
    if (!m_flags.newPostings)
        return;
    m_flags.newPostings = false;
    UpdateTrayState();
}

void CAgentController::OnConfigurationAccepted() {
    if (m_pollTimerArmed)
        SetIntervalTimer();
}

void CAgentController::OnResume() {
    if (!m_settings || m_flags.disabled || m_flags.shuttingDown)
        return;
    if (m_flags.connecting) {
        m_wokeDuringPoll = true;
        return;
    }
    ArmWakePoll();
}

void CAgentController::ArmWakePoll() {
    // A failure from before the sleep says nothing about the network after it.
    m_failedPolls = 0;
    KillPollTimer();
    m_armAfterSound = false;
    ArmPollTimer(kWakeSettleDelayMs);
}

void CAgentController::UpdateTrayState() {
    if (const auto display = ChooseTrayDisplay(m_flags))
        m_host.ShowTray(*display);
}

bool AlertsMustWait(int systemState, bool fullScreenInFront) {
    switch (static_cast<UserNotificationState>(systemState)) {
    case UserNotificationState::NotPresent:
    case UserNotificationState::Busy:
    case UserNotificationState::FullScreenDirect3D:
    case UserNotificationState::PresentationMode:
    case UserNotificationState::QuietTime:
        return true;
    case UserNotificationState::AcceptsNotifications:
    case UserNotificationState::App:
        break;
    }
    return fullScreenInFront;
}
