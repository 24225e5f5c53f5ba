#include "ProxyRoute.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// The plan's routes as "host:port" words, "DIRECT" for the direct one.
std::string Routes(const RoutePlan& plan) {
    std::string text;
    for (int i = 0; i < plan.count; ++i) {
        const Route& route = plan.routes[i];
        text += text.empty() ? "" : " ";
        text += route.viaProxy ? route.proxyHost.str() + ":" + std::to_string(route.proxyPort)
                               : "DIRECT";
    }
    return text;
}

TEST(ProxyRoute, ListsGiveTheirRoutesInOrder) {
    struct Row {
        const char* list;
        bool https;
        const char* routes;
    } rows[] = {
        {"", false, ""},
        {"proxy.corp.example:8080", false, "proxy.corp.example:8080"},
        {"proxy.corp.example", true, "proxy.corp.example:80"},
        {"http://proxy:3128/", false, "proxy:3128"},
        {"https://proxy:3128", false, ""},
        {"a:0 b:65536 c:x d:", false, "a:80 b:80 c:80 d:80"},
        // Per scheme; an entry without a scheme serves every one.
        {"http=a:1;https=b:2;ftp=c:3", false, "a:1"},
        {"http=a:1;https=b:2;ftp=c:3", true, "b:2"},
        {"http=a:1", true, ""},
        {"ftp=c:3;d:4", true, "d:4"},
        // A script's answer: proxies and DIRECT in their order, other kinds left out.
        {"PROXY a:1; PROXY b:2; DIRECT", false, "a:1 b:2 DIRECT"},
        {"a:1;b:2 c:3", false, "a:1 b:2 c:3"},
        {"direct; proxy a:1", false, "DIRECT a:1"},
        {"SOCKS s:1; SOCKS5 t:2; HTTPS u:3; HTTP h:4", false, "h:4"},
        {"a:1;b:2;c:3;d:4;e:5", false, "a:1 b:2 c:3 d:4"},
        // IPv6 literals: in brackets with a port, bare without one.
        {"[2001:db8::1]:3128", false, "2001:db8::1:3128"},
        {"2001:db8::1", false, "2001:db8::1:80"},
        {"[::1", false, ""},
        {"[]:80", false, ""},
    };
    for (const Row& row : rows) {
        RoutePlan plan;
        ParseProxyList(row.list, row.https, plan);
        EXPECT_EQ(row.routes, Routes(plan)) << row.list;
    }
}

TEST(ProxyRoute, BypassListNamesHosts) {
    struct Row {
        const char* bypass;
        const char* host;
        bool bypassed;
    } rows[] = {
        {"", "intranet", false},
        {"<local>", "intranet", true},
        {"<local>", "news.corp.example", false},
        {"<local>", "::1", false},
        {"*.corp.example", "news.corp.example", true},
        {"*.corp.example", "NEWS.Corp.Example", true},
        {"*.corp.example", "corp.example", false},
        {"10.*", "10.1.2.3", true},
        {"10.*", "110.1.2.3", false},
        {"a*b*c", "aXbYc", true},
        {"a*b*c", "aXbY", false},
        {"news.example other.example; <local>", "other.example", true},
        {"[::1]", "::1", true},
        {"::1", "[::1]", true},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(row.bypassed, BypassesProxy(row.bypass, row.host))
            << row.bypass << " / " << row.host;
    }
}

// Windows' settings and the script's answer decide the routes and what the last-poll line
// says about the route that was taken.
TEST(ProxyRoute, WindowsSettingsPlanTheRoutes) {
    const ScriptOutcome NotRun = ScriptOutcome::NotRun, Answered = ScriptOutcome::Answered,
                        Failed = ScriptOutcome::Failed;
    struct Row {
        const char* label;
        const char* proxy;
        const char* bypass;
        ScriptOutcome script;
        const char* answer;
        bool https;
        const char* routes;
        const char* description; // of the first route
    } rows[] = {
        {"nothing set", "", "", NotRun, "", false, "DIRECT", ""},
        {"fixed proxy", "proxy.corp.example:8080", "", NotRun, "", false, "proxy.corp.example:8080",
         "through proxy.corp.example:8080 (Windows settings)"},
        {"bypassed", "proxy:8080", "<local>;*.example", NotRun, "", false, "DIRECT",
         "direct (Windows settings)"},
        {"no proxy for the scheme", "http=proxy:8080", "", NotRun, "", true, "DIRECT",
         "direct (Windows settings)"},
        {"script names proxies", "static:1", "", Answered, "a:1;b:2", false, "a:1 b:2",
         "through a:1 (Windows settings)"},
        {"script says DIRECT, the bypass list does not count", "static:1", "*", Answered, "", false,
         "DIRECT", "direct (Windows settings)"},
        {"script failed, fixed proxy", "static:1", "", Failed, "", false, "static:1",
         "through static:1 (Windows settings; the proxy script failed)"},
        {"script failed, bypassed", "static:1", "news.example", Failed, "", false, "DIRECT",
         "direct (Windows settings; the proxy script failed)"},
        {"script failed, nothing else", "", "", Failed, "", false, "DIRECT",
         "direct (Windows settings; the proxy script failed)"},
        {"IPv6 proxy", "[::1]:3128", "", NotRun, "", true, "::1:3128",
         "through [::1]:3128 (Windows settings)"},
    };
    for (const Row& row : rows) {
        WindowsProxy windows;
        windows.proxy = row.proxy;
        windows.bypass = row.bypass;
        windows.script = row.script;
        windows.scriptAnswer = row.answer;
        RoutePlan plan;
        PlanWindowsRoutes(windows, row.https, "news.example", plan);
        EXPECT_EQ(row.routes, Routes(plan)) << row.label;
        EXPECT_EQ(CString(row.description), DescribeRoute(plan, plan.routes[0])) << row.label;
    }
    // The line names the route that connected, not the first one planned.
    WindowsProxy windows;
    windows.script = ScriptOutcome::Answered;
    windows.scriptAnswer = "a:1;b:2";
    RoutePlan plan;
    PlanWindowsRoutes(windows, false, "news.example", plan);
    EXPECT_EQ(CString("through b:2 (Windows settings)"), DescribeRoute(plan, plan.routes[1]));
}

} // namespace
