#include "PollInterval.h"
#include "TrayState.h"

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

// The time to the next poll: the interval, or after failed polls 1, 2, 4 ... minutes up to it.
TEST(PollInterval, MinutesBecomeMillisecondsWithinTheTimersRange) {
    struct Row {
        int minutes;
        int failedPolls;
        unsigned milliseconds;
    };
    const Row rows[] = {
        {5, 0, 300000},
        {7, 0, 420000},
        {240, 0, 14400000},
        {1, 0, 60000},
        {0, 0, 300000},  // no pause between polls: 5 minutes instead
        {-1, 0, 300000}, // likewise
        {-2147483647 - 1, 0, 300000},
        {35791, 0, 2147460000}, // the largest that fits
        {35792, 0, 0x7FFFFFFF}, // beyond the timer's range: capped
        {2147483647, 0, 0x7FFFFFFF},
        {240, -1, 14400000},
        {240, 1, 60000},
        {240, 2, 120000},
        {240, 3, 240000},
        {240, 8, 7680000},
        {240, 9, 14400000}, // 256 minutes: the interval is sooner
        {240, 2147483647, 14400000},
        {5, 3, 240000},
        {5, 4, 300000},
        {1, 1, 60000},
        {0, 1, 60000},
        {2147483647, 16, 1966080000},
        {2147483647, 17, 0x7FFFFFFF}, // the retry outgrows the timer's range
        {2147483647, 2147483647, 0x7FFFFFFF},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(row.milliseconds, NextPollDelayMs(row.minutes, row.failedPolls))
            << row.minutes << " " << row.failedPolls;
        if (row.failedPolls == 0) {
            EXPECT_EQ(row.milliseconds, PollIntervalMs(row.minutes)) << row.minutes;
        }
    }
}

// The tooltip of each display, with and without a failed poll's brief reason.
TEST(TrayState, TooltipTexts) {
    struct TipRow {
        TrayDisplay display;
        const char* brief;
        const char* tip;
    };
    const TipRow tips[] = {
        {TrayDisplay::Normal, "", "Zavora news agent"},
        {TrayDisplay::Connecting, "", "Zavora news agent (connecting)"},
        {TrayDisplay::CouldNotConnect, "", "Zavora news agent (could not connect)"},
        {TrayDisplay::CouldNotConnect, "HTTP 404",
         "Zavora news agent (could not connect: HTTP 404)"},
        {TrayDisplay::CouldNotConnect, "proxy refused login",
         "Zavora news agent (could not connect: proxy refused login)"},
        // 63 characters exactly, then one too many: the plain suffix instead of a cut.
        {TrayDisplay::CouldNotConnect, "abcdefghijklmnopqrstuvwx",
         "Zavora news agent (could not connect: abcdefghijklmnopqrstuvwx)"},
        {TrayDisplay::CouldNotConnect, "abcdefghijklmnopqrstuvwxy",
         "Zavora news agent (could not connect)"},
        {TrayDisplay::Disabled, "HTTP 404", "Zavora news agent (disabled)"},
        {TrayDisplay::NewPostings, "HTTP 404", "Zavora news agent (new postings)"},
    };
    for (const TipRow& row : tips) {
        const CString tip = TrayTip(row.display, row.brief);
        EXPECT_EQ(CString(row.tip), tip);
        EXPECT_LE(tip.GetLength(), kLongestTrayTip);
    }
}
