#include "ServerEnv.h"

#include "ClientSocket.h"

#include <cstdio>
#include <cstdlib>
#include <ctime>
#ifdef _WIN32
#include <sys/utime.h>
#include <windows.h>
#else
#include <utime.h>
#endif

int EnvPort(const char* name) {
    return std::atoi(EnvText(name).c_str());
}

std::string EnvText(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

std::string LocalPath(const std::string& hostPath) {
#ifdef _WIN32
    return "Z:" + hostPath;
#else
    return hostPath;
#endif
}

std::string ReadFileBytes(const std::string& hostPath) {
    std::string bytes;
    FILE* file = std::fopen(LocalPath(hostPath).c_str(), "rb");
    if (!file) {
        return "<unreadable " + hostPath + ">";
    }
    char buffer[4096];
    size_t count;
    while ((count = std::fread(buffer, 1, sizeof buffer, file)) > 0) {
        bytes.append(buffer, count);
    }
    std::fclose(file);
    return bytes;
}

void WriteNewsFile(const std::string& text, long modifiedTime) {
    std::string path = LocalPath(EnvText("ZV_NEWS_FILE"));
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) {
        return;
    }
    std::fwrite(text.data(), 1, text.size(), file);
    std::fclose(file);
#ifdef _WIN32
    _utimbuf times = {modifiedTime, modifiedTime};
    _utime(path.c_str(), &times);
#else
    utimbuf times = {modifiedTime, modifiedTime};
    utime(path.c_str(), &times);
#endif
}

std::string LastFaultRequest() {
    return ReadFileBytes(EnvText("ZV_FAULT_LOG") + "/last-request.bin");
}

std::string FaultRequest(int number) {
    return ReadFileBytes(EnvText("ZV_FAULT_LOG") + "/request-" + std::to_string(number) + ".bin");
}

int FaultRequestCount() {
    int count = 0;
    for (;;) {
        std::string path =
            LocalPath(EnvText("ZV_FAULT_LOG") + "/request-" + std::to_string(count + 1) + ".bin");
        FILE* file = std::fopen(path.c_str(), "rb");
        if (!file) {
            return count;
        }
        std::fclose(file);
        ++count;
    }
}

int ClosedPort() {
    // The test servers listen on ephemeral ports; a low port that refuses is closed.
    for (int port = 1; port < 1024; ++port) {
        CClientSocket probe("127.0.0.1", port);
        if (probe.Connect() != 0) {
            return port;
        }
    }
    return 0;
}

double ProcessCpuSeconds() {
#ifdef _WIN32
    // The C runtime's clock() counts wall time on Windows.
    FILETIME created, exited, kernel, user;
    GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
    auto seconds = [](const FILETIME& time) {
        return (static_cast<double>(time.dwHighDateTime) * 4294967296.0 + time.dwLowDateTime) / 1e7;
    };
    return seconds(kernel) + seconds(user);
#else
    return static_cast<double>(std::clock()) / CLOCKS_PER_SEC;
#endif
}
