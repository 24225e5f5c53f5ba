// The real limits are in force: a connection that never completes, a server that never
// answers and one that trickles a byte every half second all end a poll in bounded time.
// Slow by nature (a minute), so the three run side by side.
#include "ServerEnv.h"
#include "UpdateChecker.h"

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <string>

namespace {

struct Timed {
    PollResult result;
    double seconds;
};

Timed PollWithDefaults(int port, const char* path) {
    PollSettings settings;
    settings.urlHost = "127.0.0.1";
    settings.urlPort = std::to_string(port).c_str();
    settings.urlPath = path;
    auto start = std::chrono::steady_clock::now();
    PollResult result = RunPoll(settings);
    return {result,
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count()};
}

TEST(TimeLimits, DefaultsEndStalledPolls) {
    if (EnvPort("ZV_FAULT_PORT") == 0) {
        GTEST_SKIP() << "run through tests/servers/with_servers.py --fault";
    }
    auto connect =
        std::async(std::launch::async, PollWithDefaults, EnvPort("ZV_FAULT_BLACKHOLE_PORT"), "/");
    auto idle = std::async(std::launch::async, PollWithDefaults, EnvPort("ZV_FAULT_PORT"),
                           "/fault/never-answer");
    auto total = std::async(std::launch::async, PollWithDefaults, EnvPort("ZV_FAULT_PORT"),
                            "/fault/trickle");
    struct Row {
        const char* name;
        Timed timed;
        double expected;
        const char* message;
    } rows[] = {
        {"connect", connect.get(), 30, "Could not connect to 127.0.0.1:"},
        {"idle", idle.get(), 30, "Failed to read respose from socket"},
        {"total", total.get(), 60, "Failed to read respose from socket"},
    };
    for (const Row& row : rows) {
        EXPECT_NEAR(row.expected, row.timed.seconds, 2.0) << row.name;
        EXPECT_EQ(PollOutcome::Error, row.timed.result.outcome) << row.name;
        EXPECT_EQ(0, row.timed.result.message.Find(row.message))
            << row.name << ": " << row.timed.result.message.c_str();
    }
}

} // namespace
