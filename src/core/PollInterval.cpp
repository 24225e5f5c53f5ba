#include "PollInterval.h"

#include <algorithm>

unsigned PollIntervalMs(int pollingDelayMinutes) {
    const long long minutes =
        pollingDelayMinutes > 0 ? pollingDelayMinutes : kFallbackPollingDelayMinutes;
    const long long milliseconds = minutes * 60000LL;
    return milliseconds > kLongestTimerMs ? kLongestTimerMs : static_cast<unsigned>(milliseconds);
}

unsigned NextPollDelayMs(int pollingDelayMinutes, int failedPolls) {
    const unsigned interval = PollIntervalMs(pollingDelayMinutes);
    if (failedPolls <= 0)
        return interval;
    // 2^16 minutes is longer than any interval the timer accepts.
    const int doublings = std::min(failedPolls - 1, 16);
    const unsigned long long retry = static_cast<unsigned long long>(kFirstRetryDelayMs)
                                     << doublings;
    return static_cast<unsigned>(std::min<unsigned long long>(retry, interval));
}
