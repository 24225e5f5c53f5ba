#include "update/UpdateChecker.h"

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
    } rows[] = {
        {"80", "news.example"},      {"", "news.example"},          {"abc", "news.example"},
        {"0", "news.example"},       {"8080", "news.example:8080"}, {" 81x", "news.example:81"},
        {"443", "news.example:443"}, {"65616", "news.example"},     {"70000", "news.example:4464"},
    };
    for (const auto& row : rows) {
        PollSettings settings = Direct();
        settings.urlPort = row.urlPort;
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
    } rows[] = {
        {"80", 0,
         "HEAD http://news.example:80/.newsupdate HTTP/1.0\r\nHost: news.example\r\n"
         "Cache-control: no-cache\r\n\r\n"},
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

} // namespace
