#pragma once
// The time from one poll's report to the next poll.

// The first poll comes this soon after start-up.
constexpr unsigned kFirstPollDelayMs = 1000;
// What a pollingDelay of 0 or less stands for: a hand-edited registry must not make the
// agent poll without pause.
constexpr int kFallbackPollingDelayMinutes = 5;
// The largest interval a window timer accepts.
constexpr unsigned kLongestTimerMs = 0x7FFFFFFF;

// pollingDelay minutes in milliseconds, kept within what the timer accepts. The stored
// setting itself is never changed here.
unsigned PollIntervalMs(int pollingDelayMinutes);
