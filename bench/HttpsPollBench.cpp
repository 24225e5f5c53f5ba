// The agent's HTTPS poll (a TLS handshake and the HEAD, another and the GET, then the parse)
// against the local nginx over TLS, in process. HTTPS runs through the system's TLS, so this
// is a Windows program; tools/bench-poll.sh runs it under Wine next to curl's same requests.
//   zv-bench-https-poll [runs]   with ZV_NGINX_TLS_PORT and ZV_NEWS_PATH set
// Prints the median poll time in milliseconds.
#include "UpdateChecker.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

int main(int argc, char** argv) {
    int runs = argc > 1 ? std::atoi(argv[1]) : 100;
    const char* port = std::getenv("ZV_NGINX_TLS_PORT");
    const char* path = std::getenv("ZV_NEWS_PATH");
    if (!port || !path || runs <= 0) {
        std::fprintf(stderr, "usage: with ZV_NGINX_TLS_PORT and ZV_NEWS_PATH set: %s [runs]\n",
                     argv[0]);
        return 2;
    }
    PollSettings settings;
    settings.urlScheme = "https";
    settings.urlHost = "localhost";
    settings.urlPort = port;
    settings.urlPath = path;
    // Empty stored markers: every poll sends the GET and parses a new list.
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        auto start = std::chrono::steady_clock::now();
        PollResult result = RunPoll(settings);
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
