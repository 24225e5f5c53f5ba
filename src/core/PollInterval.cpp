#include "core/PollInterval.h"

unsigned PollIntervalMs(int pollingDelayMinutes) {
    const long long minutes =
        pollingDelayMinutes > 0 ? pollingDelayMinutes : kFallbackPollingDelayMinutes;
    const long long milliseconds = minutes * 60000LL;
    return milliseconds > kLongestTimerMs ? kLongestTimerMs : static_cast<unsigned>(milliseconds);
}
