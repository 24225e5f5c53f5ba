// The agent's poll (HEAD, then GET and parse of a small list; over HTTPS each request with a
// TLS handshake of its own) against the local nginx, in process. Prints the median poll time
// in milliseconds; tools/bench-poll.sh sets it next to curl making the same two requests.
//   zv-bench-poll http|https [runs]   with ZV_NEWS_PATH, and ZV_NGINX_PORT (http) or
//                                     ZV_NGINX_TLS_PORT (https) set
// HTTPS goes through the system's TLS, so it is measured with the Windows build.
#include "UpdateChecker.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

// The settings of a poll of the list over scheme, or false when the environment lacks them.
bool SettingsFor(const char* scheme, PollSettings& settings) {
    const bool https = std::strcmp(scheme, "https") == 0;
    if (!https && std::strcmp(scheme, "http") != 0)
        return false;
    const char* port = std::getenv(https ? "ZV_NGINX_TLS_PORT" : "ZV_NGINX_PORT");
    const char* path = std::getenv("ZV_NEWS_PATH");
    if (!port || !path)
        return false;
    settings.urlScheme = scheme;
    // The test certificate names localhost.
    settings.urlHost = https ? "localhost" : "127.0.0.1";
    settings.urlPort = port;
    settings.urlPath = path;
    return true;
}

} // namespace

int main(int argc, char** argv) {
    PollSettings settings;
    const int runs = argc > 2 ? std::atoi(argv[2]) : 100;
    if (argc < 2 || !SettingsFor(argv[1], settings) || runs <= 0) {
        std::fprintf(stderr,
                     "usage: with ZV_NEWS_PATH and ZV_NGINX_PORT or ZV_NGINX_TLS_PORT set: "
                     "%s http|https [runs]\n",
                     argv[0]);
        return 2;
    }
    // Empty stored markers: every poll sends the GET and parses a new list.
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        const auto start = std::chrono::steady_clock::now();
        const PollResult result = RunPoll(settings);
        times.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                .count());
        if (result.outcome != PollOutcome::NewPostings) {
            std::fprintf(stderr, "poll failed: %s\n", result.message.c_str());
            return 1;
        }
    }
    std::sort(times.begin(), times.end());
    std::printf("%.3f\n", times[times.size() / 2]);
    return 0;
}
