#include "UpdateChecker.h"

#include <gtest/gtest.h>

namespace {

PollSettings Direct() {
    PollSettings settings;
    settings.urlHost = "news.example";
    settings.urlPort = "80";
    settings.urlPath = "/.newsupdate";
    settings.proxyHost = "proxy";
    settings.proxyPort = "8001";
    settings.authUsername = "agent";
    settings.authPassword = "s3cret";
    return settings;
}

PollSettings Proxied(int useProxyAuth) {
    PollSettings settings = Direct();
    settings.useProxy = 1;
    settings.useProxyAuth = useProxyAuth;
    return settings;
}

const char kDirectTail[] = "\r\nUser-Agent: Zavora News Agent\r\nAccept: */*\r\n"
                           "Accept: text/html\r\n\r\n";

TEST(Requests, DirectRequestsNameTheHostAndPortUnlessDefault) {
    struct Row {
        const char* urlPort;
        const char* host;
        const char* scheme = "http";
        const char* urlHost = "news.example";
    } rows[] = {
        {"80", "news.example"},
        {"", "news.example"},
        {"abc", "news.example"},
        {"0", "news.example"},
        {"8080", "news.example:8080"},
        {" 81x", "news.example:81"},
        {"443", "news.example:443"},
        {"65616", "news.example"},
        {"70000", "news.example:4464"},
        {"443", "news.example", "https"},
        {"", "news.example", "HTTPS"},
        {"80", "news.example:80", "https"},
        {"65979", "news.example", "hTTpS"},
        // IPv6 literals, written with or without brackets, carry them in the Host line.
        {"8080", "[::1]:8080", "http", "::1"},
        {"443", "[2001:db8::1]", "https", "[2001:db8::1]"},
    };
    for (const auto& row : rows) {
        PollSettings settings = Direct();
        settings.urlHost = row.urlHost;
        settings.urlPort = row.urlPort;
        settings.urlScheme = row.scheme;
        settings.urlPath = "/a b/%41?x";
        CUpdateChecker checker(settings);
        CString tail = CString(" HTTP/1.0\r\nHost: ") + row.host + kDirectTail;
        EXPECT_EQ(CString("HEAD /a b/%41?x") + tail, checker.BuildHeadRequest()) << row.urlPort;
        EXPECT_EQ(CString("GET /a b/%41?x") + tail, checker.BuildGetRequest()) << row.urlPort;
    }
}

TEST(Requests, ProxyRequestsCarryTheStoredPortText) {
    struct Row {
        const char* urlPort;
        int useProxyAuth;
        const char* head;
        const char* urlHost = "news.example";
    } rows[] = {
        {"80", 0,
         "HEAD http://news.example:80/.newsupdate HTTP/1.0\r\nHost: news.example\r\n"
         "Cache-control: no-cache\r\n\r\n"},
        {"80", 0,
         "HEAD http://[::1]:80/.newsupdate HTTP/1.0\r\nHost: [::1]\r\n"
         "Cache-control: no-cache\r\n\r\n",
         "::1"},
        {"", 0,
         "HEAD http://news.example:/.newsupdate HTTP/1.0\r\nHost: news.example\r\n"
         "Cache-control: no-cache\r\n\r\n"},
        {"abc", 0,
         "HEAD http://news.example:abc/.newsupdate HTTP/1.0\r\nHost: news.example\r\n"
         "Cache-control: no-cache\r\n\r\n"},
        {"70000", 1,
         "HEAD http://news.example:70000/.newsupdate HTTP/1.0\r\nHost: news.example\r\n"
         "Cache-control: no-cache\r\n"
         "Proxy-Authorization: Basic YWdlbnQ6czNjcmV0\r\n\r\n"},
    };
    for (const auto& row : rows) {
        PollSettings settings = Proxied(row.useProxyAuth);
        settings.urlHost = row.urlHost;
        settings.urlPort = row.urlPort;
        CUpdateChecker checker(settings);
        CString head = checker.BuildProxyHeadRequest();
        EXPECT_EQ(CString(row.head), head);
        CString get = checker.BuildProxyGetRequest();
        EXPECT_EQ(CString("GET") + head.Mid(4), get);
    }
}

TEST(Requests, AuthorizationLineFollowsTheFlag) {
    // HEAD sends the line for any non-zero flag, GET only for a positive one.
    CUpdateChecker negative(Proxied(-1));
    EXPECT_GE(negative.BuildProxyHeadRequest().Find("Proxy-Authorization"), 0);
    EXPECT_LT(negative.BuildProxyGetRequest().Find("Proxy-Authorization"), 0);

    PollSettings empty = Proxied(1);
    empty.authUsername = "";
    empty.authPassword = "";
    EXPECT_EQ(CString("Proxy-Authorization: Basic Og==\r\n"),
              CUpdateChecker(empty).BuildProxyAuthorization());
}

TEST(Requests, ConnectAsksForTheSitesPort) {
    struct Row {
        const char* urlPort;
        int useProxyAuth;
        const char* request;
        const char* urlHost = "news.example";
    } rows[] = {
        {"", 0, "CONNECT news.example:443 HTTP/1.0\r\nHost: news.example:443\r\n\r\n"},
        {"8443", 0, "CONNECT news.example:8443 HTTP/1.0\r\nHost: news.example:8443\r\n\r\n"},
        {"70000", -1, "CONNECT news.example:4464 HTTP/1.0\r\nHost: news.example:4464\r\n\r\n"},
        {"443", 1,
         "CONNECT news.example:443 HTTP/1.0\r\nHost: news.example:443\r\n"
         "Proxy-Authorization: Basic YWdlbnQ6czNjcmV0\r\n\r\n"},
        {"", 0, "CONNECT [2001:db8::1]:443 HTTP/1.0\r\nHost: [2001:db8::1]:443\r\n\r\n",
         "2001:db8::1"},
    };
    for (const auto& row : rows) {
        PollSettings settings = Proxied(row.useProxyAuth);
        settings.urlHost = row.urlHost;
        settings.urlScheme = "https";
        settings.urlPort = row.urlPort;
        EXPECT_EQ(CString(row.request), CUpdateChecker(settings).BuildConnectRequest());
    }
}

TEST(Requests, OnlyHttpAndHttpsAreSchemes) {
    struct Row {
        const char* text;
        bool known;
        Scheme scheme;
    } rows[] = {
        {"http", true, Scheme::Http},    {"HTTP", true, Scheme::Http},
        {"https", true, Scheme::Https},  {"HttpS", true, Scheme::Https},
        {"", false, Scheme::Http},       {" https", false, Scheme::Http},
        {"https:", false, Scheme::Http}, {"ftp", false, Scheme::Http},
    };
    for (const auto& row : rows) {
        Scheme scheme = Scheme::Http;
        EXPECT_EQ(row.known, ParseScheme(row.text, scheme)) << row.text;
        EXPECT_EQ(row.scheme, scheme) << row.text;
    }
}

} // namespace
