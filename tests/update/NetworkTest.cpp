// The socket and the whole poll against real servers on loopback: nginx as the news site,
// tinyproxy with credentials, and the fault server, which misbehaves by path and records
// each request's bytes. Started by tests/servers/with_servers.py.
#include "ServerEnv.h"
#include "PollStore.h"
#include "RegistryMem.h"
#include "UpdateChecker.h"

#include <gtest/gtest.h>

#include <cctype>
#include <chrono>
#include <cstring>
#include <sstream>
#include <string>

namespace {

// Short limits keep the stalling cases quick, with room for a fault server that a busy
// machine answers late; TimeLimitsTest proves the real ones.
SocketLimits ShortLimits() {
    SocketLimits limits;
    limits.connectMs = 2000;
    limits.idleMs = 2500;
    limits.totalMs = 4000;
    return limits;
}

double SecondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

class NetworkTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (EnvPort("ZV_FAULT_PORT") == 0 || EnvPort("ZV_NGINX_PORT") == 0) {
            GTEST_SKIP() << "run through tests/servers/with_servers.py --nginx --proxy --fault";
        }
        RegistryMem::Clear();
        ASSERT_EQ(1, StartWinsock());
    }

    void TearDown() override {
        if (!IsSkipped()) {
            StopWinsock();
        }
    }

    static PollSettings Fault(const std::string& path) {
        PollSettings settings;
        settings.urlHost = "127.0.0.1";
        settings.urlPort = std::to_string(EnvPort("ZV_FAULT_PORT")).c_str();
        settings.urlPath = path.c_str();
        settings.lastModified = "stored-lm";
        settings.epoch = "edition-0";
        return settings;
    }

    // The fault server's listener of that kind behind TLS ("silent" and "close": the
    // plain listeners that stall or close during the handshake), for localhost over HTTPS.
    static PollSettings FaultOverTls(const std::string& path, const std::string& kind) {
        PollSettings settings = Fault(path);
        settings.urlScheme = "https";
        settings.urlHost = "localhost";
        settings.urlPort = std::to_string(TlsPort(kind)).c_str();
        return settings;
    }

    static int TlsPort(const std::string& kind) {
        if (kind == "silent" || kind == "close") {
            return EnvPort(kind == "silent" ? "ZV_FAULT_SILENT_PORT" : "ZV_FAULT_CLOSE_PORT");
        }
        std::string name = "ZV_FAULT_TLS_" + kind + "_PORT";
        for (char& ch : name) {
            ch = ch == '-' || ch == '.' ? '_' : static_cast<char>(std::toupper(ch));
        }
        return EnvPort(name.c_str());
    }

    // The Windows build runs with the TLS servers; the host build has no TLS.
    static bool HaveTls() { return EnvPort("ZV_FAULT_TLS_GOOD_PORT") != 0; }

    static PollSettings Site() {
        PollSettings settings;
        settings.urlHost = "127.0.0.1";
        settings.urlPort = std::to_string(EnvPort("ZV_NGINX_PORT")).c_str();
        settings.urlPath = EnvText("ZV_NEWS_PATH").c_str();
        return settings;
    }

    static PollSettings ThroughTinyproxy(const char* user, const char* password) {
        PollSettings settings = Site();
        settings.useProxy = 1;
        settings.proxyHost = "127.0.0.1";
        settings.proxyPort = std::to_string(EnvPort("ZV_PROXY_PORT")).c_str();
        settings.useProxyAuth = user ? 1 : 0;
        settings.authUsername = user ? user : "";
        settings.authPassword = password ? password : "";
        return settings;
    }
};

TEST_F(NetworkTest, SocketBasics) {
    int port = EnvPort("ZV_FAULT_PORT");
    CClientSocket wrapped("127.0.0.1", 65536 + port); // lowest 16 bits
    ASSERT_EQ(0, wrapped.Connect());
    EXPECT_EQ(0, wrapped.SendAll(""));
    EXPECT_EQ(40, wrapped.SendAll("GET /fault/nul-body HTTP/1.0\nX-Pad: 12\n\n"));
    ASSERT_EQ(0, wrapped.Receive());
    CString received = wrapped.Received();
    EXPECT_GT(received.GetLength(), static_cast<int>(std::strlen(wrapped.GetReceivedText())));
    wrapped.Close();
    wrapped.Close();
    EXPECT_EQ(-1, wrapped.SendAll("x"));
    EXPECT_EQ(-1, wrapped.Receive());

    CClientSocket closing("127.0.0.1", EnvPort("ZV_FAULT_CLOSE_PORT"));
    ASSERT_EQ(0, closing.Connect());
    EXPECT_EQ(0, closing.Receive());
    EXPECT_EQ(nullptr, closing.GetReceivedText());

    for (const char* host : {"", "no-such-host.invalid"}) {
        CClientSocket unresolved(host, port);
        EXPECT_EQ(-1, unresolved.Connect()) << host;
        EXPECT_EQ(-1, unresolved.SendAll("x")) << host;
    }
    CClientSocket refused("127.0.0.1", ClosedPort());
    EXPECT_EQ(-1, refused.Connect());
}

TEST_F(NetworkTest, StallsAndFloodsFailWithinTheLimits) {
    struct Row {
        const char* name;
        int port;
        int connectResult;
        int sendResult; // -2: send a 32 MiB text, expected to fail
        int receiveResult;
        double atLeast, atMost;
    } rows[] = {
        {"blackhole", EnvPort("ZV_FAULT_BLACKHOLE_PORT"), -1, 0, 0, 1.9, 2.8},
        {"silent read", EnvPort("ZV_FAULT_SILENT_PORT"), 0, 1, -1, 2.4, 3.3},
        {"silent write", EnvPort("ZV_FAULT_SILENT_PORT"), 0, -2, 0, 2.4, 4.3},
    };
    std::string flood(32 << 20, 'a');
    for (const Row& row : rows) {
        auto start = std::chrono::steady_clock::now();
        CClientSocket socket("127.0.0.1", row.port, ShortLimits());
        ASSERT_EQ(row.connectResult, socket.Connect()) << row.name;
        if (row.sendResult == -2) {
            EXPECT_EQ(-1, socket.SendAll(flood.c_str())) << row.name;
        } else if (row.connectResult == 0) {
            EXPECT_EQ(row.receiveResult, socket.Receive()) << row.name;
        }
        double seconds = SecondsSince(start);
        EXPECT_GE(seconds, row.atLeast) << row.name;
        EXPECT_LE(seconds, row.atMost) << row.name;
    }
}

struct PollRow {
    const char* path;
    PollOutcome outcome;
    const char* message; // "*" for the whole response that the test cannot spell out
    bool changed;
    const char* lastModified;
    const char* epoch;
    int entries;
    std::string reason;        // what people read; the fault server is 127.0.0.1
    const char* tls = nullptr; // the TLS listener's kind; plain HTTP when null
};

TEST_F(NetworkTest, PollOutcomes) {
    const char* lm = "Mon, 07 Dec 2026 05:00:00 GMT";
    const PollOutcome New = PollOutcome::NewPostings, Nothing = PollOutcome::NothingNew,
                      Error = PollOutcome::Error;
    const char* readHead = "Failed to read respose from socket";
    const char* readGet = "Failed to read response from socket";
    const char* untrusted = "the certificate is not trusted";
    const char* otherName = "the certificate is for another name";
    const char* expired = "the certificate has expired";
    const char* handshake = "the TLS handshake failed";
    const std::string port = std::to_string(EnvPort("ZV_FAULT_PORT"));
    const std::string stalled = "the answer from 127.0.0.1 stopped for 2500 ms";
    const std::string large = "the answer from 127.0.0.1 was larger than 1 MiB";
    const std::string notHttp = "the answer from 127.0.0.1 was not HTTP";
    const std::string tlsStalled = "the answer from localhost stopped for 2500 ms";
    const std::string cut = "the site's answer was cut short";
    PollRow rows[] = {
        {"/.newsupdate", New, "", true, lm, "edition-7", 2, ""},
        {"/fault/never-answer", Error, readHead, false, "", "", 0,
         "no answer from 127.0.0.1 within 2500 ms"},
        {"/fault/stall-status", Error, readHead, false, "", "", 0, stalled},
        {"/fault/stall-headers", Error, readHead, false, "", "", 0, stalled},
        {"/fault/trickle", Error, readHead, false, "", "", 0,
         "the answer from 127.0.0.1 took longer than 4 s"},
        {"/fault/stall-body", Error, readGet, true, lm, "", 0, stalled},
        {"/fault/endless", Error, readGet, true, lm, "", 0, large},
        {"/fault/body-over-1mib", Error, readGet, true, lm, "", 0, large},
        {"/fault/body-1mib", New, "", true, lm, "edition-big", 0, ""},
        {"/fault/close-at-once", Error, "", false, "", "", 0,
         "127.0.0.1 closed the connection without an answer"},
        {"/fault/close-mid-headers", Nothing, "", true, "Mon, 07", "", 0, ""},
        {"/fault/no-blank-line", Nothing, "", true, lm, "", 0, ""},
        {"/fault/empty-first-line", Error, "*", true, lm, "", 0, notHttp},
        {"/fault/status-304", Error, "HTTP/1.0 304 Not Modified\nServer: fault\n\n", false, "", "",
         0, "the site answered 304 Not Modified"},
        {"/fault/status-500", Error, "*", false, "", "", 0,
         "the site answered 500 Internal Server Error"},
        {"/fault/httpr", Error, "HTTPr\n\n", false, "", "", 0, notHttp},
        {"/fault/status-204-10", Nothing, "", true, "LM-204", "", 0, ""},
        {"/fault/status-204-11", Nothing, "", true, "LM-204", "", 0, ""},
        {"/fault/status-100-digits", Nothing, "", true, "LM-100", "", 0, ""},
        {"/fault/big-header", New, "", true, lm, "edition-7", 2, ""},
        {"/fault/many-headers", New, "", true, lm, "edition-7", 2, ""},
        {"/fault/nul-header", Nothing, "", true, "", "", 0, ""},
        {"/fault/nul-body", New, "", true, lm, "edition-nul", 0, ""},
        {"/fault/lm-missing", New, "", true, "", "edition-7", 2, ""},
        {"/fault/lm-empty", New, "", true, "", "edition-7", 2, ""},
        {"/fault/lm-repeated", Nothing, "", true, "second", "", 0, ""},
        {"/fault/lm-odd", Nothing, "", true, "odd value", "", 0, ""},
        {"/fault/crlf", New, "", true, lm, "edition-crlf", 1, ""},
        {"/fault/tabs-only", Nothing, "", true, lm, "", 0, ""},
        {"/fault/with-length", New, "", true, lm, "edition-7", 2, ""},
        {"/fault/short-body", Error, readGet, true, lm, "", 0, cut},
        {"/fault/moved-301", Error, "*", false, "", "", 0,
         "the site moved to http://127.0.0.1:" + port + "/news/.newsupdate (301)"},
        {"/.newsupdate", New, "", true, lm, "edition-7", 2, "", "good"},
        {"/fault/stall-body", Error, readGet, true, lm, "", 0, tlsStalled, "good"},
        {"/fault/body-over-1mib", Error, readGet, true, lm, "", 0,
         "the answer from localhost was larger than 1 MiB", "good"},
        {"/fault/body-1mib", New, "", true, lm, "edition-big", 0, "", "good"},
        {"/fault/status-500", Error, "*", false, "", "", 0,
         "the site answered 500 Internal Server Error", "good"},
        {"/fault/short-body", Error, readGet, true, lm, "", 0, cut, "good"},
        // Whole records, then a close without close_notify: only a Content-Length that the
        // body reaches shows the list whole.
        {"/.newsupdate", Error, readGet, true, lm, "", 0, cut, "no-close-notify"},
        {"/fault/with-length", New, "", true, lm, "edition-7", 2, "", "no-close-notify"},
        {"/.newsupdate", Error, readHead, false, "", "", 0, "the connection to localhost broke off",
         "cut-record"},
        {"/.newsupdate", Error, untrusted, false, "", "", 0, untrusted, "self-signed"},
        {"/.newsupdate", Error, untrusted, false, "", "", 0, untrusted, "untrusted-ca"},
        {"/.newsupdate", Error, otherName, false, "", "", 0, otherName, "other-name"},
        {"/.newsupdate", Error, expired, false, "", "", 0, expired, "expired"},
        {"/.newsupdate", Error, handshake, false, "", "", 0, handshake, "tls1.0"},
        {"/.newsupdate", Error, handshake, false, "", "", 0, handshake, "silent"},
        {"/.newsupdate", Error, handshake, false, "", "", 0, handshake, "close"},
    };
    for (const PollRow& row : rows) {
        if (row.tls && !HaveTls()) {
            continue;
        }
        int requestsBefore = FaultRequestCount();
        auto start = std::chrono::steady_clock::now();
        PollResult result =
            RunPoll(row.tls ? FaultOverTls(row.path, row.tls) : Fault(row.path), ShortLimits());
        EXPECT_LE(SecondsSince(start), 5.5) << row.path;
        EXPECT_EQ(row.outcome, result.outcome) << row.path;
        if (std::string(row.message) == "*") {
            EXPECT_GE(result.message.Find("HTTP/1.0 "), 0) << row.path;
        } else {
            EXPECT_EQ(CString(row.message), result.message) << row.path;
        }
        EXPECT_EQ(row.changed, result.lastModifiedChanged) << row.path;
        if (row.changed) {
            EXPECT_EQ(CString(row.lastModified), result.lastModified) << row.path;
        }
        EXPECT_EQ(CString(row.epoch), result.epoch) << row.path;
        EXPECT_EQ(static_cast<size_t>(row.entries), result.entries.size()) << row.path;
        if (row.tls && std::string(row.message).find("the ") == 0) {
            EXPECT_EQ(requestsBefore, FaultRequestCount()) << row.tls << ": a request was sent";
        }
        EXPECT_EQ(row.reason, result.reason.text.str()) << row.path;
    }
}

// A site name longer than any host name reaches the TLS listener through the proxy's tunnel;
// no certificate can name it.
TEST_F(NetworkTest, OverlongSiteNameMatchesNoCertificate) {
    if (!HaveTls()) {
        GTEST_SKIP() << "no TLS in this build";
    }
    PollSettings settings = FaultOverTls("/.newsupdate", "good");
    settings.useProxy = 1;
    settings.proxyHost = "127.0.0.1";
    settings.proxyPort = std::to_string(EnvPort("ZV_FAULT_PORT")).c_str();
    std::string name;
    while (name.size() < 300) {
        name += std::string(60, 'a') + ".";
    }
    settings.urlHost = (name + "localhost").c_str();
    PollResult result = RunPoll(settings, ShortLimits());
    EXPECT_EQ(PollOutcome::Error, result.outcome);
    EXPECT_EQ("the certificate is for another name", result.reason.text.str());
}

// An urgent byte is left out of the stream; waiting for the rest of the answer after it must
// not keep the processor busy.
TEST_F(NetworkTest, UrgentByteNeitherSpinsNorChangesTheAnswer) {
    for (const char* path : {"/fault/urgent-before", "/fault/urgent-inside"}) {
        const double cpuBefore = ProcessCpuSeconds();
        PollResult result = RunPoll(Fault(path), ShortLimits());
        EXPECT_LE(ProcessCpuSeconds() - cpuBefore, 0.25) << path;
        EXPECT_EQ(PollOutcome::NewPostings, result.outcome) << path << result.message;
        EXPECT_EQ(CString("edition-7"), result.epoch) << path;
        ASSERT_EQ(2u, result.entries.size()) << path;
        EXPECT_EQ(CString("http://news.example/2"), result.entries[1].url) << path;
    }
}

TEST_F(NetworkTest, NoGetWithoutAChangedLastModified) {
    PollSettings settings = Fault("/fault/lm-missing");
    settings.lastModified = "";
    PollResult result = RunPoll(settings, ShortLimits());
    EXPECT_EQ(PollOutcome::NothingNew, result.outcome);
    EXPECT_EQ(0u, LastFaultRequest().find("HEAD /fault/lm-missing"));

    settings = Fault("/.newsupdate");
    settings.lastModified = "Mon, 07 Dec 2026 05:00:00 GMT";
    EXPECT_EQ(PollOutcome::NothingNew, RunPoll(settings, ShortLimits()).outcome);
    EXPECT_EQ(0u, LastFaultRequest().find("HEAD /.newsupdate"));
}

TEST_F(NetworkTest, ExactRequestBytes) {
    const std::string port = std::to_string(EnvPort("ZV_FAULT_PORT"));
    const std::string direct = " HTTP/1.0\r\nHost: 127.0.0.1:" + port +
                               "\r\nUser-Agent: Zavora News Agent\r\nAccept: */*\r\n"
                               "Accept: text/html\r\n\r\n";
    const std::string tlsPort = std::to_string(EnvPort("ZV_FAULT_TLS_GOOD_PORT"));
    const std::string overTls = " HTTP/1.0\r\nHost: localhost:" + tlsPort +
                                "\r\nUser-Agent: Zavora News Agent\r\nAccept: */*\r\n"
                                "Accept: text/html\r\n\r\n";
    const std::string mixed = "mixed-ends.localhost:" + tlsPort;
    auto directTo = [](const std::string& host) {
        return "HEAD /p/x HTTP/1.0\r\nHost: " + host +
               "\r\nUser-Agent: Zavora News Agent\r\nAccept: */*\r\nAccept: text/html\r\n\r\n";
    };
    const std::string proxied = "HEAD http://news.example:8080/p/x HTTP/1.0\r\n"
                                "Host: news.example\r\nCache-control: no-cache\r\n";
    const std::string basic = "Proxy-Authorization: Basic YWdlbnQ6czNjcmV0\r\n";
    const std::string v6 = std::to_string(EnvPort("ZV_FAULT_IPV6_PORT"));
    const std::string ip6Name = EnvText("ZV_IPV6_NAME"), dualName = EnvText("ZV_DUAL_NAME");
    auto dual = [](const char* kind) { return std::to_string(EnvPort(kind)); };
    const std::string v4Closed = dual("ZV_FAULT_DUAL_V4_CLOSED_PORT");
    const std::string v6Stalls = dual("ZV_FAULT_DUAL_V6_STALLS_PORT");
    const std::string v4Stalls = dual("ZV_FAULT_DUAL_V4_STALLS_PORT");
    const std::string refusing = "127.0.0.1:" + std::to_string(ClosedPort());
    struct Row {
        int useProxy, useProxyAuth;
        const char* urlHost; // empty: the test's host names are missing, the row is left out
        std::string urlPort;
        std::string head; // the GET differs only in its method
        const char* scheme = "http";
        std::string connect = "";      // what the proxy receives before the tunnelled request
        std::string windowsProxy = ""; // Windows' fixed proxy setting (Windows only)
        const char* bypass = "";
        bool followWindows = true; // proxySource other than "none"
        std::string script = "";   // Windows' proxy script (Windows only)
    } rows[] = {
        {0, 0, "  127.0.0.1 \t", port, "HEAD /p/x" + direct},
        {0, 1, "127.0.0.1", std::to_string(65536 + EnvPort("ZV_FAULT_PORT")), "HEAD /p/x" + direct},
        {1, 0, " news.example ", "",
         "HEAD http://news.example:/p/x HTTP/1.0\r\n"
         "Host: news.example\r\nCache-control: no-cache\r\n\r\n"},
        {1, 0, "news.example", "0",
         "HEAD http://news.example:0/p/x HTTP/1.0\r\n"
         "Host: news.example\r\nCache-control: no-cache\r\n\r\n"},
        {1, 1, "news.example", "abc",
         "HEAD http://news.example:abc/p/x HTTP/1.0\r\n"
         "Host: news.example\r\nCache-control: no-cache\r\n"
         "Proxy-Authorization: Basic YWdlbnQ6czNjcmV0\r\n\r\n"},
        {1, 1, "news.example", "70000",
         "HEAD http://news.example:70000/p/x HTTP/1.0\r\n"
         "Host: news.example\r\nCache-control: no-cache\r\n"
         "Proxy-Authorization: Basic YWdlbnQ6czNjcmV0\r\n\r\n"},
        {0, 1, " localhost ", tlsPort, "HEAD /p/x" + overTls, "https"},
        {1, 0, "localhost", tlsPort, "HEAD /p/x" + overTls, "HTTPS",
         "CONNECT localhost:" + tlsPort + " HTTP/1.0\r\nHost: localhost:" + tlsPort + "\r\n\r\n"},
        {1, 1, "localhost", tlsPort, "HEAD /p/x" + overTls, "https",
         "CONNECT localhost:" + tlsPort + " HTTP/1.0\r\nHost: localhost:" + tlsPort +
             "\r\nProxy-Authorization: Basic YWdlbnQ6czNjcmV0\r\n\r\n"},
        // The proxy ends its answer to CONNECT with a bare line feed, then CR LF.
        {1, 0, "mixed-ends.localhost", tlsPort,
         "HEAD /p/x HTTP/1.0\r\nHost: " + mixed +
             "\r\nUser-Agent: Zavora News Agent\r\nAccept: */*\r\nAccept: text/html\r\n\r\n",
         "https", "CONNECT " + mixed + " HTTP/1.0\r\nHost: " + mixed + "\r\n\r\n"},
        // IPv6: literals with and without brackets, a name with ::1 alone, and a name with
        // both addresses whose IPv4 port is closed or whose one family never answers.
        {0, 0, "::1", v6, directTo("[::1]:" + v6)},
        {0, 0, "[::1]", v6, directTo("[::1]:" + v6)},
        {0, 0, ip6Name.c_str(), v6, directTo(ip6Name + ":" + v6)},
        {0, 0, dualName.c_str(), v4Closed, directTo(dualName + ":" + v4Closed)},
        {0, 0, dualName.c_str(), v6Stalls, directTo(dualName + ":" + v6Stalls)},
        {0, 0, dualName.c_str(), v4Stalls, directTo(dualName + ":" + v4Stalls)},
        // Windows' proxy settings: the same bytes as through the agent's own proxy, the
        // proxies tried in order, the bypass list, proxySource "none", a proxy per scheme,
        // and the agent's own proxy first of all.
        {0, 0, "news.example", "8080", proxied + "\r\n", "http", "", "127.0.0.1:" + port},
        {0, 1, "news.example", "8080", proxied + basic + "\r\n", "http", "",
         refusing + " 127.0.0.1:" + port},
        {0, 0, "127.0.0.1", port, "HEAD /p/x" + direct, "http", "", refusing, "<local>;127.0.0.*"},
        {0, 0, "127.0.0.1", port, "HEAD /p/x" + direct, "http", "", refusing, "", false},
        {0, 0, "localhost", tlsPort, "HEAD /p/x" + overTls, "https",
         "CONNECT localhost:" + tlsPort + " HTTP/1.0\r\nHost: localhost:" + tlsPort + "\r\n\r\n",
         "http=" + refusing + ";https=127.0.0.1:" + port},
        {1, 0, "news.example", "8080", proxied + "\r\n", "http", "", refusing},
        {0, 0, "news.example", "8080", proxied + "\r\n", "http", "", "", "", true,
         "function FindProxyForURL(url, host) { return 'PROXY 127.0.0.1:" + port + "'; }"},
    };
    for (const Row& row : rows) {
        if ((std::string(row.scheme) != "http" && !HaveTls()) || !*row.urlHost ||
            !SetWindowsProxy(row.windowsProxy, row.bypass, row.script)) {
            continue;
        }
        PollSettings settings = Fault("/p/x");
        settings.urlScheme = row.scheme;
        settings.useProxy = row.useProxy;
        settings.useProxyAuth = row.useProxyAuth;
        settings.urlHost = row.urlHost;
        settings.urlPort = row.urlPort.c_str();
        settings.proxyHost = "\t127.0.0.1  ";
        settings.proxyPort = port.c_str();
        settings.authUsername = "agent";
        settings.authPassword = "s3cret";
        settings.windowsProxy = row.followWindows;
        CUpdateChecker checker(settings, ShortLimits());
        ASSERT_TRUE(checker.SendHeadRequest()) << row.head << checker.Message();
        EXPECT_EQ(row.head, LastFaultRequest());
        if (!row.connect.empty()) {
            EXPECT_EQ(row.connect, FaultRequest(FaultRequestCount() - 1));
        }
        ASSERT_TRUE(checker.SendGetRequest()) << row.head;
        EXPECT_EQ("GET" + row.head.substr(4), LastFaultRequest());
        CString trimmed = row.urlHost;
        EXPECT_EQ(row.useProxy ? CString("127.0.0.1") : trimmed.Trim(),
                  row.useProxy ? checker.Settings().proxyHost : checker.Settings().urlHost);
    }
    SetWindowsProxy("", "");
}

TEST_F(NetworkTest, ConnectionFailureMessages) {
    const std::string closed = std::to_string(ClosedPort());
    const std::string blackhole = std::to_string(EnvPort("ZV_FAULT_BLACKHOLE_PORT"));
    const std::string unknown = "could not find the address of no-such-host.invalid";
    const std::string ftp = "unknown scheme \"ftp\": the site's urlScheme must be http or https";
    const std::string noScheme = "unknown scheme \"\": the site's urlScheme must be http or https";
    const std::string dualName = EnvText("ZV_DUAL_NAME");
    struct Row {
        int useProxy;
        const char* host; // empty: the test's host names are missing, the row is left out
        std::string port;
        std::string message;
        std::string reason;
        const char* scheme = "http";
    } rows[] = {
        {0, " 127.0.0.1 ", closed, "Could not connect to 127.0.0.1:" + closed,
         "could not connect to 127.0.0.1:" + closed},
        {0, "::1", closed, "Could not connect to ::1:" + closed,
         "could not connect to [::1]:" + closed + " (IPv6 tried)"},
        {0, dualName.c_str(), closed, "Could not connect to " + dualName + ":" + closed,
         "could not connect to " + dualName + ":" + closed + " (IPv6 and IPv4 tried)"},
        {0, "no-such-host.invalid", "", "Could not connect to no-such-host.invalid:80", unknown},
        {0, "no-such-host.invalid", "-5", "Could not connect to no-such-host.invalid:80", unknown},
        {0, "no-such-host.invalid", "70000", "Could not connect to no-such-host.invalid:70000",
         unknown},
        {0, "no-such-host.invalid", " 99999999999x",
         "Could not connect to no-such-host.invalid:2147483647", unknown},
        {1, "127.0.0.1", closed, "Could not connect to proxy 127.0.0.1:" + closed,
         "could not connect to the proxy 127.0.0.1:" + closed},
        // The agent's own proxy without a name is still the way, which leads nowhere.
        {1, " ", "3128", "Could not connect to proxy :3128",
         "could not find the address of the proxy "},
        {1, " no-such-host.invalid", "junk", "Could not connect to proxy no-such-host.invalid:8001",
         "could not find the address of the proxy no-such-host.invalid"},
        {0, "127.0.0.1", blackhole, "Could not connect to 127.0.0.1:" + blackhole,
         "could not connect to 127.0.0.1:" + blackhole + " within 2 s"},
        // A proxy that closes at once gives an empty response, which has no text.
        {1, "127.0.0.1", std::to_string(EnvPort("ZV_FAULT_CLOSE_PORT")), "",
         "the proxy 127.0.0.1 closed the connection without an answer"},
        {1, "127.0.0.1", std::to_string(EnvPort("ZV_FAULT_SILENT_PORT")),
         "Failed to read respose from socket", "no answer from the proxy 127.0.0.1 within 2500 ms"},
        // Nothing is sent for a scheme the agent does not speak.
        {0, "127.0.0.1", std::to_string(EnvPort("ZV_FAULT_PORT")), ftp, ftp, "ftp"},
        {0, "127.0.0.1", std::to_string(EnvPort("ZV_FAULT_PORT")), noScheme, noScheme, ""},
        // A proxy that closes or stalls instead of answering CONNECT.
        {1, "127.0.0.1", std::to_string(EnvPort("ZV_FAULT_CLOSE_PORT")),
         "Failed to read respose from socket",
         "the proxy 127.0.0.1 closed the connection without an answer", "https"},
        {1, "127.0.0.1", std::to_string(EnvPort("ZV_FAULT_SILENT_PORT")),
         "Failed to read respose from socket", "no answer from the proxy 127.0.0.1 within 2500 ms",
         "https"},
    };
    for (const Row& row : rows) {
        if (!*row.host) {
            continue;
        }
        int requestsBefore = FaultRequestCount();
        PollSettings settings = Fault("/.newsupdate");
        settings.urlScheme = row.scheme;
        settings.useProxy = row.useProxy;
        (row.useProxy ? settings.proxyHost : settings.urlHost) = row.host;
        (row.useProxy ? settings.proxyPort : settings.urlPort) = row.port.c_str();
        PollResult result = RunPoll(settings, ShortLimits());
        EXPECT_EQ(PollOutcome::Error, result.outcome) << row.message;
        EXPECT_EQ(CString(row.message.c_str()), result.message);
        EXPECT_EQ(requestsBefore, FaultRequestCount()) << row.message;
        EXPECT_EQ(row.reason, result.reason.text.str()) << row.message;
    }
}

TEST_F(NetworkTest, PollSequenceAgainstTheSiteStoresWhatItFinds) {
    CAgentSettings settings;
    auto poll = [&](const PollSettings& snapshotOverride) {
        PollResult result = RunPoll(snapshotOverride, ShortLimits());
        ApplyPollResult(settings, result);
        return result;
    };
    auto snapshot = [&] {
        PollSettings copy = Site();
        copy.lastModified = settings.lastModified;
        copy.epoch = settings.epoch;
        return copy;
    };

    WriteNewsFile("ed-1\n2026-12-01 One\nhttp://x/1\n2026-12-02 Two words\nhttp://x/2\n",
                  1800000000);
    EXPECT_EQ(PollOutcome::NewPostings, poll(snapshot()).outcome);
    EXPECT_EQ(CString("ed-1"), settings.epoch);
    ASSERT_EQ(2, settings.numEntries);
    EXPECT_EQ(CString("Two words"), settings.titles[1]);
    CString firstLastModified = settings.lastModified;
    EXPECT_FALSE(firstLastModified.IsEmpty());

    EXPECT_EQ(PollOutcome::NothingNew, poll(snapshot()).outcome);

    // New content with the same epoch: nothing new, but the new Last-Modified is kept.
    WriteNewsFile("ed-1\n2026-12-03 Changed\nhttp://x/3\n", 1800000100);
    EXPECT_EQ(PollOutcome::NothingNew, poll(snapshot()).outcome);
    EXPECT_NE(firstLastModified, settings.lastModified);
    EXPECT_EQ(2, settings.numEntries);

    WriteNewsFile("ed-2\n2026-12-04 Three\thttp://x/4\n", 1800000200);
    EXPECT_EQ(PollOutcome::NewPostings, poll(snapshot()).outcome);
    EXPECT_EQ(CString("ed-2"), settings.epoch);
    EXPECT_EQ(1, settings.numEntries);
}

TEST_F(NetworkTest, FailedGetIsFetchedAgainNextPoll) {
    CAgentSettings settings;
    PollSettings stalled = Fault("/fault/stall-body");
    stalled.lastModified = settings.lastModified;
    PollResult failed = RunPoll(stalled, ShortLimits());
    ASSERT_EQ(PollOutcome::Error, failed.outcome);
    ApplyPollResult(settings, failed);
    EXPECT_EQ(CString(""), settings.lastModified);

    // The same Last-Modified on the server still counts as a change.
    PollSettings healthy = Fault("/.newsupdate");
    healthy.lastModified = settings.lastModified;
    healthy.epoch = settings.epoch;
    PollResult result = RunPoll(healthy, ShortLimits());
    EXPECT_EQ(PollOutcome::NewPostings, result.outcome);
    ApplyPollResult(settings, result);
    EXPECT_EQ(CString("Mon, 07 Dec 2026 05:00:00 GMT"), settings.lastModified);
    EXPECT_EQ(CString("edition-7"), settings.epoch);
}

TEST_F(NetworkTest, ThroughTheProxy) {
    WriteNewsFile("ed-proxy\n2026-12-05 Via proxy\nhttp://x/5\n", 1800000300);
    const std::string user = EnvText("ZV_PROXY_USER"), password = EnvText("ZV_PROXY_PASSWORD");
    const char* wantsLogin = "the proxy asked for a user name and password";
    const char* refusedLogin = "the proxy refused the user name or password";
    struct Row {
        const char* scheme;
        int useProxy;
        const char* user;
        const char* password;
        PollOutcome outcome;
        const char* message; // the whole text, or for plain HTTP the status found at 8
        const char* reason;
    } rows[] = {
        {"http", 1, user.c_str(), password.c_str(), PollOutcome::NewPostings, "", ""},
        {"http", 1, nullptr, nullptr, PollOutcome::Error, " 407 ", wantsLogin},
        {"http", 1, "agent", "wrong", PollOutcome::Error, " 401 ", refusedLogin},
        {"https", 0, nullptr, nullptr, PollOutcome::NewPostings, "", ""},
        {"https", 1, user.c_str(), password.c_str(), PollOutcome::NewPostings, "", ""},
        {"https", 1, nullptr, nullptr, PollOutcome::Error, wantsLogin, wantsLogin},
        {"https", 1, "agent", "wrong", PollOutcome::Error, refusedLogin, refusedLogin},
    };
    for (const Row& row : rows) {
        bool https = std::string(row.scheme) == "https";
        if (https && !HaveTls()) {
            continue;
        }
        PollSettings settings = ThroughTinyproxy(row.user, row.password);
        settings.useProxy = row.useProxy;
        if (https) {
            settings.urlScheme = "https";
            settings.urlHost = "localhost";
            settings.urlPort = std::to_string(EnvPort("ZV_NGINX_TLS_PORT")).c_str();
        }
        PollResult result = RunPoll(settings, ShortLimits());
        SCOPED_TRACE(std::string(row.scheme) + " " + (row.user ? row.user : "-"));
        EXPECT_EQ(row.outcome, result.outcome) << result.message;
        EXPECT_EQ(CString(row.reason), result.reason.text);
        if (row.outcome == PollOutcome::NewPostings) {
            EXPECT_EQ(CString("ed-proxy"), result.epoch);
            EXPECT_EQ(1u, result.entries.size());
        } else if (https) {
            EXPECT_EQ(CString(row.message), result.message);
        } else {
            EXPECT_EQ(8, result.message.Find(row.message)) << result.message;
        }
    }
}

// A security context that speaks NTLM's three messages in form (the signature and the
// type) for the fault server's sign-in proxy, which answers the first with a real challenge.
// What the agent handed it is kept for the test to read.
struct SignInRecord {
    SignInScheme scheme = SignInScheme::None;
    std::string host, user, challenge;
};
SignInRecord g_signIn;

class CScriptedSignIn : public CSignInContext {
public:
    int Next(const std::string& received, std::string& token) override {
        const bool first = m_legs++ == 0;
        if (!first) {
            g_signIn.challenge = received;
        }
        token = std::string("NTLMSSP\0", 8) + (first ? '\1' : '\3') + std::string(3, '\0');
        return first ? 1 : 0;
    }

private:
    int m_legs = 0;
};

std::unique_ptr<CSignInContext> ScriptedSignIn(SignInScheme scheme, const CString& host,
                                               const CString& user, const CString&) {
    g_signIn.scheme = scheme;
    g_signIn.host = host.str();
    g_signIn.user = user.str();
    return std::unique_ptr<CSignInContext>(new CScriptedSignIn);
}

std::unique_ptr<CSignInContext> NoCredentials(SignInScheme, const CString&, const CString&,
                                              const CString&) {
    return nullptr;
}

// The sign-in proxy's connections of the requests from number first on, one letter each
// from "A" on: "ABB" is a request on one connection, then two on another.
std::string SignInConnections(int first) {
    std::istringstream lines(ReadFileBytes(EnvText("ZV_FAULT_LOG") + "/connections.txt"));
    std::string letters;
    int number = 0, connection = 0, firstConnection = 0;
    while (lines >> number >> connection) {
        if (number >= first) {
            firstConnection = firstConnection ? firstConnection : connection;
            letters += static_cast<char>('A' + connection - firstConnection);
        }
    }
    return letters;
}

// A proxy that asks for Windows sign-in: the legs of one handshake share a connection, the
// first request still goes as always, and each way of failing has its reason.
TEST_F(NetworkTest, WindowsSignInThroughTheProxy) {
    const std::string port = std::to_string(EnvPort("ZV_FAULT_PORT"));
    const char* refused = "the proxy refused your Windows sign-in";
    struct Row {
        const char* path;
        SignInStarter starter;
        PollOutcome outcome;
        std::string reason;
        const char* connections; // of the sign-in proxy's requests, HEAD's and GET's
        const char* user = "";   // stored, with useProxyAuth 1
        const char* scheme = "http";
    } rows[] = {
        {"/signin/ntlm", ScriptedSignIn, PollOutcome::NewPostings, "", "ABBCC"},
        {"/signin/negotiate", ScriptedSignIn, PollOutcome::NewPostings, "", "ABBCC"},
        {"/signin/ntlm", ScriptedSignIn, PollOutcome::NewPostings, "", "ABBCC", "CORP\\agent"},
        // Closed after the challenge: once more on a new connection.
        {"/signin/ntlm-close", ScriptedSignIn, PollOutcome::NewPostings, "", "ABCCDD"},
        {"/signin/ntlm-again", ScriptedSignIn, PollOutcome::Error, refused, "ABB"},
        // Closed again on the new connection: no third one.
        {"/signin/ntlm-closing", ScriptedSignIn, PollOutcome::Error,
         "the proxy 127.0.0.1 closed the connection without an answer", "ABC"},
        // The same when the leg sent into the closed connection draws a reset.
        {"/signin/ntlm-resetting", ScriptedSignIn, PollOutcome::Error,
         "the proxy 127.0.0.1 closed the connection without an answer", "ABC"},
        {"/signin/digest", ScriptedSignIn, PollOutcome::Error,
         "the proxy asked for a sign-in method the agent does not know: Digest", "A"},
        {"/signin/negotiate", NoCredentials, PollOutcome::Error, "no Kerberos ticket for 127.0.0.1",
         "A"},
        {"/signin/ntlm", NoCredentials, PollOutcome::Error, refused, "A"},
        // The request's time limit holds across its connections: three slow answers overrun it.
        {"/signin/ntlm-slow", ScriptedSignIn, PollOutcome::Error,
         "the answer from the proxy 127.0.0.1 took longer than 4 s", "ABB"},
        {"/.newsupdate", ScriptedSignIn, PollOutcome::NewPostings, "", "ABBCC", "", "https"},
    };
    for (const Row& row : rows) {
        if (std::string(row.scheme) == "https" && !HaveTls()) {
            continue;
        }
        SCOPED_TRACE(std::string(row.path) + " " + row.user);
        PollSettings settings = Fault(row.path);
        settings.urlHost = "news.example";
        settings.urlPort = "80";
        settings.useProxy = 1;
        settings.proxyHost = "127.0.0.1";
        settings.proxyPort = std::to_string(EnvPort("ZV_FAULT_SIGNIN_PORT")).c_str();
        settings.useProxyAuth = *row.user ? 1 : 0;
        settings.authUsername = row.user;
        settings.authPassword = "s3cret";
        settings.urlScheme = row.scheme;
        if (std::string(row.scheme) == "https") {
            settings.urlHost = "localhost";
            settings.urlPort = std::to_string(TlsPort("good")).c_str();
        }
        g_signIn = SignInRecord();
        const int first = FaultRequestCount() + 1;
        const PollResult result = RunPoll(settings, ShortLimits(), row.starter);
        EXPECT_EQ(row.outcome, result.outcome) << result.message;
        EXPECT_EQ(row.reason, result.reason.text.str());
        EXPECT_EQ(row.connections, SignInConnections(first));
        if (row.outcome == PollOutcome::NewPostings) {
            EXPECT_EQ("127.0.0.1", g_signIn.host);
            EXPECT_EQ(row.user, g_signIn.user);
            EXPECT_EQ(0u, g_signIn.challenge.find(std::string("NTLMSSP\0\2", 9)));
        }
    }

    // The bytes of a handshake's legs: as the first request, with the token in place of
    // Basic credentials, and the wish to keep the connection while another leg follows.
    PollSettings settings = Fault("/signin/ntlm");
    settings.useProxy = 1;
    settings.useProxyAuth = 1;
    settings.authUsername = "agent";
    settings.authPassword = "s3cret";
    settings.proxyHost = "127.0.0.1";
    settings.proxyPort = std::to_string(EnvPort("ZV_FAULT_SIGNIN_PORT")).c_str();
    CUpdateChecker checker(settings, ShortLimits(), ScriptedSignIn);
    const int first = FaultRequestCount() + 1;
    ASSERT_TRUE(checker.SendHeadRequest()) << checker.Message();
    const std::string start = "HEAD http://127.0.0.1:" + port +
                              "/signin/ntlm HTTP/1.0\r\nHost: 127.0.0.1\r\n"
                              "Cache-control: no-cache\r\nProxy-Authorization: ";
    EXPECT_EQ(start + "Basic YWdlbnQ6czNjcmV0\r\n\r\n", FaultRequest(first));
    EXPECT_EQ(start + "NTLM TlRMTVNTUAABAAAA\r\nProxy-Connection: Keep-Alive\r\n\r\n",
              FaultRequest(first + 1));
    EXPECT_EQ(start + "NTLM TlRMTVNTUAADAAAA\r\n\r\n", FaultRequest(first + 2));
    EXPECT_EQ(g_signIn.scheme, SignInScheme::Ntlm);
}

} // namespace
