#include "ServerEnv.h"

#include "ClientSocket.h"

#include <cstdint>
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

bool SetWindowsProxy(const std::string& proxy, const std::string& bypass,
                     const std::string& script) {
#ifdef _WIN32
    // WinHTTP keeps a downloaded script for a minute: each script gets an address of its own.
    static int scripts = 0;
    std::string scriptUrl;
    if (!script.empty()) {
        const std::string name = "/route-" + std::to_string(++scripts) + ".pac";
        const std::string news = EnvText("ZV_NEWS_FILE");
        FILE* file = std::fopen(LocalPath(news.substr(0, news.rfind('/')) + name).c_str(), "wb");
        if (!file) {
            return false;
        }
        std::fwrite(script.data(), 1, script.size(), file);
        std::fclose(file);
        scriptUrl = "http://127.0.0.1:" + EnvText("ZV_NGINX_PORT") + name;
    }
    // Version 0x46, a counter, the flags (1 direct, 2 fixed proxy, 4 script, 8 detection),
    // then the proxy, the bypass list and the script's address, each after its length.
    std::string value;
    auto put = [&value](uint32_t number) { value.append(reinterpret_cast<char*>(&number), 4); };
    put(0x46);
    put(0);
    put(1 | (proxy.empty() ? 0 : 2) | (script.empty() ? 0 : 4));
    for (const std::string& text : {proxy, bypass, scriptUrl}) {
        put(static_cast<uint32_t>(text.size()));
        value += text;
    }
    HKEY key = nullptr;
    const bool written =
        RegCreateKeyExA(
            HKEY_CURRENT_USER,
            "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\Connections", 0,
            nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr) == ERROR_SUCCESS &&
        RegSetValueExA(key, "DefaultConnectionSettings", 0, REG_BINARY,
                       reinterpret_cast<const BYTE*>(value.data()),
                       static_cast<DWORD>(value.size())) == ERROR_SUCCESS;
    RegCloseKey(key);
    return written;
#else
    return proxy.empty() && bypass.empty() && script.empty();
#endif
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
