#pragma once
// The time from one poll's report to the next poll.
#include "contract.h"

// The first poll comes this soon after start-up.
constexpr unsigned kFirstPollDelayMs = ZV_FIRST_POLL_DELAY_MS;
// What a pollingDelay of 0 or less stands for: a hand-edited registry must not make the
// agent poll without pause.
constexpr int kFallbackPollingDelayMinutes = 5;
// The largest interval a window timer accepts.
constexpr unsigned kLongestTimerMs = 0x7FFFFFFF;
// After a failed poll the agent tries again soon rather than showing the failure for a whole
// interval: one minute after the first failure, twice as long after each further one.
constexpr unsigned kFirstRetryDelayMs = 60000;
// After the computer wakes from sleep the network needs a moment before a poll can succeed.
constexpr unsigned kWakeSettleDelayMs = 15000;

// pollingDelay minutes in milliseconds, kept within what the timer accepts. The stored
// setting itself is never changed here.
unsigned PollIntervalMs(int pollingDelayMinutes);

// The time until the next poll after failedPolls polls in a row have failed: the interval
// when none has, else the retry delay, never longer than the interval.
unsigned NextPollDelayMs(int pollingDelayMinutes, int failedPolls);
