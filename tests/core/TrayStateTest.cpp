#include "core/PollInterval.h"
#include "core/TrayState.h"

#include <gtest/gtest.h>

namespace {

AgentFlags MakeFlags(bool shuttingDown, bool connecting, bool disabled, bool newPostings,
                     bool couldNotConnect) {
    AgentFlags flags;
    flags.shuttingDown = shuttingDown;
    flags.connecting = connecting;
    flags.disabled = disabled;
    flags.newPostings = newPostings;
    flags.couldNotConnect = couldNotConnect;
    return flags;
}

} // namespace

TEST(TrayState, EveryCombinationOfFlagsFollowsThePrecedence) {
    // All 32 combinations: the highest flag that is set decides.
    for (int bits = 0; bits < 32; ++bits) {
        const AgentFlags flags = MakeFlags(bits & 16, bits & 8, bits & 4, bits & 2, bits & 1);
        const auto display = ChooseTrayDisplay(flags);
        SCOPED_TRACE(bits);
        if (flags.shuttingDown)
            EXPECT_EQ(TrayDisplay::ShuttingDown, display);
        else if (flags.connecting)
            EXPECT_FALSE(display.has_value());
        else if (flags.disabled)
            EXPECT_EQ(TrayDisplay::Disabled, display);
        else if (flags.newPostings)
            EXPECT_EQ(TrayDisplay::NewPostings, display);
        else if (flags.couldNotConnect)
            EXPECT_EQ(TrayDisplay::CouldNotConnect, display);
        else
            EXPECT_EQ(TrayDisplay::Normal, display);
    }
}

TEST(PollInterval, MinutesBecomeMillisecondsWithinTheTimersRange) {
    struct Row {
        int minutes;
        unsigned milliseconds;
    };
    const Row rows[] = {
        {5, 300000},
        {7, 420000},
        {240, 14400000},
        {1, 60000},
        {0, 300000},  // no pause between polls: 5 minutes instead
        {-1, 300000}, // likewise
        {-2147483647 - 1, 300000},
        {35791, 2147460000}, // the largest that fits
        {35792, 0x7FFFFFFF}, // beyond the timer's range: capped
        {2147483647, 0x7FFFFFFF},
    };
    for (const Row& row : rows)
        EXPECT_EQ(row.milliseconds, PollIntervalMs(row.minutes)) << row.minutes;
}
