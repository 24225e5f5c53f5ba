#pragma once
// Which way a poll takes to the site: straight to it, through the agent's own proxy, or as
// Windows' proxy settings say (a fixed proxy with its bypass list, or the answer of a proxy
// script). Pure logic but for PlanRoutesFromWindows, which only reads the settings and runs
// the script; the update checker connects along the routes in their order.
#include "CString.h"

// One way to the site.
struct Route {
    bool viaProxy = false; // false: straight to the site
    CString proxyHost;     // may be empty for the agent's own proxy, which then cannot be found
    int proxyPort = 0;
};

// Routes beyond these of a long proxy list are not tried: each one that fails to connect
// may hold the poll for the whole connect limit.
constexpr int kMostRoutes = 4;

enum class ScriptOutcome { NotRun, Answered, Failed };

// Windows' fixed proxy settings of the current user, and what the proxy script (at the
// script address, or the one automatic detection found) answered for the site's address.
struct WindowsProxy {
    CString proxy;  // "host:port", per scheme "http=host:port;https=host:port", or a list
    CString bypass; // "<local>;*.corp.example;10.*"
    ScriptOutcome script = ScriptOutcome::NotRun;
    CString scriptAnswer; // the proxies the script named; empty: straight to the site
};

struct RoutePlan {
    Route routes[kMostRoutes]; // tried in this order until one connects; the first is direct
    int count = 0;             // until a plan names a route; at least one once planned
    bool fromWindows = false;  // Windows' settings named a proxy or a script
    bool scriptFailed = false; // the script could not be fetched or run: the fixed settings hold
};

// Windows' routes for a site, into an empty plan, as Windows itself goes: the script's answer when
// it gave one; otherwise the fixed proxy for the site's scheme, unless the bypass list names the
// host; otherwise straight to the site.
void PlanWindowsRoutes(const WindowsProxy& windows, bool https, const CString& host,
                       RoutePlan& plan);

// Reads the current user's proxy settings through WinHTTP and, when they ask for automatic
// detection or a proxy script, runs the script for the site's address (detection first, as
// Windows does); then plans as PlanWindowsRoutes. False, with the plan left alone, when
// there are no settings to read: WinHTTP is missing, or the host build, which has none.
bool PlanRoutesFromWindows(const CString& siteUrl, bool https, const CString& host,
                           RoutePlan& plan);

// An IPv6 literal in brackets, as addresses and Host lines write it ("[::1]", given "::1"
// or "[::1]"); any other host as it is.
CString UrlHostForm(const CString& host);
// The host without the brackets of an IPv6 literal, as the resolver takes it.
CString BareHost(const CString& host);

// Adds the routes of a proxy list to the plan in their order: entries separated by ";" or
// blanks, each "host[:port]" (port 80 when missing, IPv6 literals in brackets),
// "scheme=host:port" for the named scheme only, "PROXY host:port" or "DIRECT" as a proxy
// script writes them. Proxies of other kinds (SOCKS, HTTPS) are left out.
void ParseProxyList(const CString& list, bool https, RoutePlan& plan);

// Whether the bypass list names the host: "<local>" for a name without a dot, or an entry
// with "*" standing for any run of characters, in any case.
bool BypassesProxy(const CString& bypass, const CString& host);

// The route for the last-poll line, such as "through proxy.corp.example:8080 (Windows
// settings)"; empty when Windows' settings did not choose it.
CString DescribeRoute(const RoutePlan& plan, const Route& used);
