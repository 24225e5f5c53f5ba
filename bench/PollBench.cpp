// The agent's poll (HEAD, then GET and parse of a small list) against the local nginx, in
// process, next to curl doing the same two requests. Prints medians and their ratios.
//   zv-bench-poll [runs]     with ZV_NGINX_PORT and ZV_NEWS_PATH set (tools/bench-poll.sh)
#include "UpdateChecker.h"

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

double Milliseconds(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

// Runs curl once for the HEAD and the GET (HTTP/1.0, so each closes its connection, as the
// agent's do). Gives the wall time and the sum of curl's own transfer times.
bool RunCurl(const std::string& url, double& wallMs, double& transferMs) {
    std::vector<std::string> args = {"curl",
                                     "-s",
                                     "-0",
                                     "-I",
                                     url,
                                     "-o",
                                     "/dev/null",
                                     "-w",
                                     "%{time_total}\n",
                                     "--next",
                                     "-s",
                                     "-0",
                                     url,
                                     "-o",
                                     "/dev/null",
                                     "-w",
                                     "%{time_total}\n"};
    std::vector<char*> argv;
    for (std::string& arg : args) {
        argv.push_back(&arg[0]);
    }
    argv.push_back(nullptr);
    int output[2];
    if (pipe(output) != 0) {
        return false;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, output[1], 1);
    posix_spawn_file_actions_addclose(&actions, output[0]);
    auto start = Clock::now();
    pid_t child = 0;
    int spawned = posix_spawnp(&child, "curl", &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(output[1]);
    std::string text;
    char buffer[256];
    ssize_t count;
    while ((count = read(output[0], buffer, sizeof buffer)) > 0) {
        text.append(buffer, static_cast<size_t>(count));
    }
    close(output[0]);
    int status = 0;
    if (spawned != 0 || waitpid(child, &status, 0) != child || status != 0) {
        return false;
    }
    wallMs = Milliseconds(start);
    double head = 0, get = 0;
    if (std::sscanf(text.c_str(), "%lf %lf", &head, &get) != 2) {
        return false;
    }
    transferMs = (head + get) * 1000;
    return true;
}

} // namespace

int main(int argc, char** argv) {
    int runs = argc > 1 ? std::atoi(argv[1]) : 300;
    const char* port = std::getenv("ZV_NGINX_PORT");
    const char* path = std::getenv("ZV_NEWS_PATH");
    if (!port || !path || runs <= 0) {
        std::fprintf(stderr, "usage: with ZV_NGINX_PORT and ZV_NEWS_PATH set: %s [runs]\n",
                     argv[0]);
        return 2;
    }
    PollSettings settings;
    settings.urlHost = "127.0.0.1";
    settings.urlPort = port;
    settings.urlPath = path;
    // Empty stored markers: every poll sends the GET and parses a new list.
    std::vector<double> agent, curlWall, curlTransfer;
    for (int i = 0; i < runs; ++i) {
        auto start = Clock::now();
        PollResult result = RunPoll(settings);
        agent.push_back(Milliseconds(start));
        if (result.outcome != PollOutcome::NewPostings) {
            std::fprintf(stderr, "poll failed: %s\n", result.message.c_str());
            return 1;
        }
    }
    std::string url = std::string("http://127.0.0.1:") + port + path;
    for (int i = 0; i < runs; ++i) {
        double wall = 0, transfer = 0;
        if (!RunCurl(url, wall, transfer)) {
            std::fprintf(stderr, "curl failed\n");
            return 1;
        }
        curlWall.push_back(wall);
        curlTransfer.push_back(transfer);
    }
    double agentMs = Median(agent);
    std::printf("runs                                   %d\n", runs);
    std::printf("agent poll, in process (median)        %.3f ms\n", agentMs);
    std::printf("curl HEAD+GET, its transfer times      %.3f ms\n", Median(curlTransfer));
    std::printf("curl HEAD+GET, process wall time       %.3f ms\n", Median(curlWall));
    std::printf("ratio agent / curl transfers           %.2f (goal: at most 3)\n",
                agentMs / Median(curlTransfer));
    std::printf("ratio agent / curl process             %.2f\n", agentMs / Median(curlWall));
    return 0;
}
