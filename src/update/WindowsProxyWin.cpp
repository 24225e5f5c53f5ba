// Windows' proxy settings of the current user through WinHTTP, as other Windows programs
// read them. winhttp.dll is loaded by the first poll that asks.
#include "ProxyRoute.h"

#include "SystemLibraryWin.h"
#include "WideTextWin.h"

#include <windows.h>

#include <winhttp.h>

namespace {

template <typename Function> Function* WinHttp(const char* name) {
    return SystemFunctionOf<Function>("winhttp.dll", name);
}

// Appends the text of a string that WinHTTP handed over to the empty into, and frees it.
// GlobalFree takes null as well.
void TakeText(LPWSTR text, CString& into) {
    into += NarrowText(text);
    GlobalFree(text);
}

// Asks WinHTTP what the proxy script says for the site: the script found by automatic
// detection first, then the one at the script address, as Windows goes. Detection that
// finds no script is the usual case on a network without one, so only a script address
// that cannot be fetched or run counts as a failure.
void RunProxyScript(const CString& siteUrl, const WINHTTP_CURRENT_USER_IE_PROXY_CONFIG& config,
                    WindowsProxy& windows) {
    const auto open = WinHttp<decltype(WinHttpOpen)>("WinHttpOpen");
    const auto getProxy = WinHttp<decltype(WinHttpGetProxyForUrl)>("WinHttpGetProxyForUrl");
    const auto close = WinHttp<decltype(WinHttpCloseHandle)>("WinHttpCloseHandle");
    const HINTERNET session = open && getProxy && close
                                  ? open(nullptr, WINHTTP_ACCESS_TYPE_NO_PROXY,
                                         WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0)
                                  : nullptr;
    const WideText url = DecodeAnsi(siteUrl);
    WINHTTP_AUTOPROXY_OPTIONS options = {};
    options.fAutoLogonIfChallenged = TRUE;
    WINHTTP_PROXY_INFO info = {};
    bool answered = false;
    if (session && config.fAutoDetect) {
        options.dwFlags = WINHTTP_AUTOPROXY_AUTO_DETECT;
        options.dwAutoDetectFlags = WINHTTP_AUTO_DETECT_TYPE_DHCP | WINHTTP_AUTO_DETECT_TYPE_DNS_A;
        answered = getProxy(session, WideChars(url), &options, &info);
    }
    if (!answered && config.lpszAutoConfigUrl) {
        windows.script = ScriptOutcome::Failed;
        options.dwFlags = WINHTTP_AUTOPROXY_CONFIG_URL;
        options.dwAutoDetectFlags = 0;
        options.lpszAutoConfigUrl = config.lpszAutoConfigUrl;
        answered = session && getProxy(session, WideChars(url), &options, &info);
    }
    if (answered) {
        windows.script = ScriptOutcome::Answered;
        // A script's DIRECT comes back as no proxy, whose texts are empty.
        TakeText(info.lpszProxy, windows.scriptAnswer);
        GlobalFree(info.lpszProxyBypass);
    }
    if (session)
        close(session);
}

} // namespace

bool PlanRoutesFromWindows(const CString& siteUrl, bool https, const CString& host,
                           RoutePlan& plan) {
    const auto read = WinHttp<decltype(WinHttpGetIEProxyConfigForCurrentUser)>(
        "WinHttpGetIEProxyConfigForCurrentUser");
    WINHTTP_CURRENT_USER_IE_PROXY_CONFIG config = {};
    if (!read || !read(&config))
        return false;
    WindowsProxy windows;
    TakeText(config.lpszProxy, windows.proxy);
    TakeText(config.lpszProxyBypass, windows.bypass);
    if (config.fAutoDetect || config.lpszAutoConfigUrl)
        RunProxyScript(siteUrl, config, windows);
    GlobalFree(config.lpszAutoConfigUrl);
    PlanWindowsRoutes(windows, https, host, plan);
    return true;
}
