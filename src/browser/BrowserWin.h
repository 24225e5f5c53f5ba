#pragma once
// Opening web pages: through the command line of the program registered for ".html", or by
// driving Internet Explorer through COM automation. Main thread only.
#include "CString.h"
#include "SystemLibraryWin.h"

#include <windows.h>

struct IWebBrowser2;

// Starts the program registered for ".html" files with url in its command line. Only
// http:// and https:// addresses are opened. Failures are shown in message boxes.
void LaunchDefaultBrowser(const CString& url);
// The same for a wide string, converted to the system code page. url stays the caller's.
void LaunchDefaultBrowser(const wchar_t* url);

// True when the program registered for ".html" names "iexplore" (case-sensitive), or when
// no program is registered.
bool IsDefaultBrowserIE();

// The two failure boxes ("No Default Browser is set", "System Error") go through this hook
// so that tests can watch them instead of blocking on a modal box. Returns the previous
// hook; null restores the real message box.
using BrowserMessageBoxHook = void (*)(const char* text, const char* caption, UINT type);
BrowserMessageBoxHook SetBrowserMessageBoxHook(BrowserMessageBoxHook hook);

// Opens pages in an Internet Explorer window that it keeps and reuses while the window
// answers, or through LaunchDefaultBrowser when another browser is registered.
class CPageOpener {
public:
    // How long Open waits at most for the browser to finish loading a page.
    static constexpr DWORD kPageWaitLimitMs = 30000;

    explicit CPageOpener(DWORD pageWaitLimitMs = kPageWaitLimitMs);
    ~CPageOpener();
    CPageOpener(const CPageOpener&) = delete;
    CPageOpener& operator=(const CPageOpener&) = delete;

    // Takes ownership of url (a BSTR) and frees it on every path. Returns once the page is
    // handed over and, with Internet Explorer, loaded (or the wait has given up).
    void Open(BSTR url);
    // Creates a new browser window for url; same ownership as Open. Used by Open.
    void OpenInNewBrowser(BSTR url);

private:
    void ReleaseBrowser();
    bool CreateBrowser();
    void NavigateAndWait(BSTR url);
    void WaitForPage();

    CLSID m_clsid;
    IUnknown* m_object = nullptr;
    IWebBrowser2* m_browser = nullptr;
    VARIANT_BOOL m_busy = VARIANT_FALSE;
    VARIANT m_navigateFlags;
    DWORD m_pageWaitLimitMs;
};
