#include "ProxyRoute.h"

#include <cctype>
#include <cstdlib>
#include <cstring>

namespace {

// Reads the next word, from at on, of a list that semicolons and blanks separate, as
// Windows writes proxy and bypass lists: false when none is left.
bool NextWord(const CString& list, int& at, CString& word) {
    word.Empty();
    for (; at < list.GetLength(); ++at) {
        const char ch = list[at];
        if (ch != ';' && !IsBlankChar(ch))
            word += ch;
        else if (!word.IsEmpty())
            return true;
    }
    return !word.IsEmpty();
}

bool SameLetter(char a, char b) {
    return std::tolower(static_cast<unsigned char>(a)) ==
           std::tolower(static_cast<unsigned char>(b));
}

// Whether the text matches the pattern, whose "*" stands for any run of characters.
bool Matches(const char* pattern, const char* text) {
    const char* star = nullptr;
    const char* resume = text;
    while (*text) {
        if (*pattern == '*') {
            star = pattern++;
            resume = text;
        } else if (*pattern && SameLetter(*pattern, *text)) {
            ++pattern;
            ++text;
        } else if (star) {
            pattern = star + 1;
            text = ++resume;
        } else {
            return false;
        }
    }
    while (*pattern == '*')
        ++pattern;
    return !*pattern;
}

// An IPv6 literal has two colons at least; "host:port" has one.
bool IsIPv6Literal(const char* host) {
    const char* colon = std::strchr(host, ':');
    return colon && std::strchr(colon + 1, ':');
}

bool StartsWithNoCase(const char* text, const char* prefix) {
    while (*prefix && SameLetter(*text, *prefix)) {
        ++text;
        ++prefix;
    }
    return !*prefix;
}

// Adds a route to the plan: DIRECT, or one of [http://]host[:port].
void AddRoute(const char* word, bool direct, RoutePlan& plan) {
    if (plan.count == kMostRoutes)
        return;
    Route& route = plan.routes[plan.count];
    if (!direct) {
        const char* scheme = std::strchr(word, ':');
        if (scheme && scheme[1] == '/' && scheme[2] == '/') {
            if (scheme - word != 4 || !StartsWithNoCase(word, "http"))
                return;
            word = scheme + 3;
        }
        const char* hostEnd = word + std::strlen(word);
        if (*word == '[') {
            hostEnd = std::strchr(++word, ']');
            if (!hostEnd)
                return;
        } else if (!IsIPv6Literal(word) && std::strchr(word, ':')) {
            hostEnd = std::strchr(word, ':');
        }
        const char* portText = *hostEnd == ']' ? hostEnd + 1 : hostEnd;
        const long port = *portText == ':' ? std::strtol(portText + 1, nullptr, 10) : 0;
        if (hostEnd == word)
            return;
        route.viaProxy = true;
        route.proxyHost.Empty();
        route.proxyHost.Append(word, static_cast<int>(hostEnd - word));
        route.proxyPort = port > 0 && port < 65536 ? static_cast<int>(port) : 80;
    }
    ++plan.count;
}

// The words of a proxy list that are no proxy: PROXY and HTTP stand before a proxy, as a
// script writes it; the other kinds are proxies the agent cannot speak through.
// One after the other, each ended by a zero.
const char kKeywords[] = "PROXY\0HTTP\0DIRECT\0HTTPS\0SOCKS\0SOCKS4\0SOCKS5";
constexpr int kDirect = 2;
constexpr int kNoKeyword = 7;

// The word's place among the keywords, in any case; kNoKeyword when it is none.
int KeywordOf(const CString& word) {
    const char* keyword = kKeywords;
    int index = 0;
    while (index < kNoKeyword && word.CompareNoCase(keyword) != 0) {
        keyword += std::strlen(keyword) + 1;
        ++index;
    }
    return index;
}

} // namespace

CString UrlHostForm(const CString& host) {
    CString form = host;
    if (IsIPv6Literal(host) && host[0] != '[')
        form.Format("[%s]", host.c_str());
    return form;
}

CString BareHost(const CString& host) {
    const int length = host.GetLength();
    return length > 1 && host[0] == '[' && host[length - 1] == ']' ? host.Mid(1, length - 2) : host;
}

void ParseProxyList(const CString& list, bool https, RoutePlan& plan) {
    const char* wanted = https ? "https=" : "http=";
    bool skipNext = false;
    CString word;
    for (int at = 0; NextWord(list, at, word);) {
        const int keyword = KeywordOf(word);
        const int equals = word.Find('=');
        if (skipNext || keyword < kDirect) {
            skipNext = false;
        } else if (keyword > kDirect && keyword < kNoKeyword) {
            skipNext = true;
        } else if (equals < 0) {
            AddRoute(word, keyword == kDirect, plan);
        } else if (StartsWithNoCase(word, wanted)) {
            AddRoute(word.c_str() + equals + 1, false, plan);
        }
    }
}

bool BypassesProxy(const CString& bypass, const CString& host) {
    // IPv6 literals are compared without their brackets.
    const CString bare = BareHost(host);
    CString entry;
    for (int at = 0; NextWord(bypass, at, entry);) {
        if (entry.CompareNoCase("<local>") == 0 ? bare.Find('.') < 0 && bare.Find(':') < 0
                                                : Matches(BareHost(entry), bare))
            return true;
    }
    return false;
}

void PlanWindowsRoutes(const WindowsProxy& windows, bool https, const CString& host,
                       RoutePlan& plan) {
    plan.fromWindows = windows.script != ScriptOutcome::NotRun || !windows.proxy.IsEmpty();
    plan.scriptFailed = windows.script == ScriptOutcome::Failed;
    if (windows.script == ScriptOutcome::Answered)
        ParseProxyList(windows.scriptAnswer, https, plan);
    else if (!BypassesProxy(windows.bypass, host))
        ParseProxyList(windows.proxy, https, plan);
    // An empty plan goes straight to the site: the first route is the direct one then.
    if (plan.count == 0)
        plan.count = 1;
}

CString DescribeRoute(const RoutePlan& plan, const Route& used) {
    CString route;
    const char* failed = plan.scriptFailed ? "; the proxy script failed" : "";
    if (!plan.fromWindows)
        return route;
    if (used.viaProxy)
        route.Format("through %s:%d (Windows settings%s)", UrlHostForm(used.proxyHost).c_str(),
                     used.proxyPort, failed);
    else
        route.Format("direct (Windows settings%s)", failed);
    return route;
}
