#include "BrowserWin.h"

#include "BrowserCommand.h"
#include "ResString.h"
#include "SystemLibraryWin.h"
#include "resource.h"

#include <exdisp.h>

namespace {

HRESULT ClassOfProgram(const wchar_t* program, CLSID* clsid) {
    const auto find = SystemFunctionOf<decltype(CLSIDFromProgID)>(kOle32, "CLSIDFromProgID");
    return find ? find(program, clsid) : E_NOTIMPL;
}

HRESULT CreateObject(REFCLSID clsid, IUnknown** object) {
    using CreateInstance = HRESULT WINAPI(REFCLSID, LPUNKNOWN, DWORD, REFIID, LPVOID*);
    const auto create = SystemFunctionOf<CreateInstance>(kOle32, "CoCreateInstance");
    if (!create)
        return E_NOTIMPL;
    return create(clsid, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER, IID_IUnknown,
                  reinterpret_cast<void**>(object));
}

// Registry texts are normally short; this only keeps a corrupt value from costing memory.
const LONG kMaxRegistryText = 65536;

BrowserMessageBoxHook g_messageBoxHook = nullptr;

void ShowBox(const char* text, const char* caption, UINT type) {
    if (g_messageBoxHook)
        g_messageBoxHook(text, caption, type);
    else
        MessageBoxA(nullptr, text, caption, type);
}

void ShowNoDefaultBrowser() {
    ShowBox("No Default Browser is set", LoadResString(IDS_APP_CAPTION), MB_OK);
}

void ShowSystemError(DWORD code) {
    char* message = nullptr;
    FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                       FORMAT_MESSAGE_IGNORE_INSERTS,
                   nullptr, code, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT),
                   reinterpret_cast<char*>(&message), 0, nullptr);
    // Not every code has a message (Wine lacks most COM ones); the code itself then tells
    // more than an empty box.
    char number[16];
    wsprintfA(number, "0x%08lX", code);
    ShowBox(message ? message : number, "System Error", MB_OK | MB_ICONEXCLAMATION);
    LocalFree(message);
}

// An address that is not opened is reported like any other failure to start a browser.
void ShowRefusal(BrowserCommandStatus status) {
    ShowSystemError(status == BrowserCommandStatus::TooLong ? ERROR_FILENAME_EXCED_RANGE
                                                            : ERROR_INVALID_PARAMETER);
}

// The default value of a key under HKEY_CLASSES_ROOT; empty when it cannot be read.
CString ReadClassesRootText(const char* subKey) {
    LONG size = 0;
    if (RegQueryValueA(HKEY_CLASSES_ROOT, subKey, nullptr, &size) != ERROR_SUCCESS || size <= 0 ||
        size > kMaxRegistryText)
        return CString();
    CString text;
    if (RegQueryValueA(HKEY_CLASSES_ROOT, subKey, text.GetBuffer(size), &size) != ERROR_SUCCESS)
        return CString();
    text.ReleaseBuffer(-1);
    return text;
}

CString HtmlClassName() {
    return ReadClassesRootText(".html");
}

CString CommandTemplate(const CString& className) {
    return ReadClassesRootText(className + "\\shell\\open\\command");
}

bool LookUpEnvironment(const char* name, CString& value) {
    const DWORD size = GetEnvironmentVariableA(name, nullptr, 0);
    if (size == 0)
        return false;
    const DWORD length =
        GetEnvironmentVariableA(name, value.GetBuffer(static_cast<int>(size)), size);
    value.ReleaseBuffer(length < size ? static_cast<int>(length) : 0);
    return length > 0 && length < size;
}

CString NarrowText(const wchar_t* text) {
    if (!text)
        return CString();
    const int size = WideCharToMultiByte(CP_ACP, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (size <= 0)
        return CString();
    CString narrow;
    WideCharToMultiByte(CP_ACP, 0, text, -1, narrow.GetBuffer(size), size, nullptr, nullptr);
    narrow.ReleaseBuffer(-1);
    return narrow;
}

// Frees url and returns the address to navigate to, or null (with the refusal shown) when
// url is not an address to open.
BSTR TakeWebAddress(BSTR url) {
    const CString text = NarrowText(url);
    FreeBstr(url);
    CString address;
    const BrowserCommandStatus status = PrepareWebAddress(text, address);
    if (status != BrowserCommandStatus::Ok) {
        ShowRefusal(status);
        return nullptr;
    }
    return AllocBstr(address);
}

} // namespace

BrowserMessageBoxHook SetBrowserMessageBoxHook(BrowserMessageBoxHook hook) {
    const BrowserMessageBoxHook previous = g_messageBoxHook;
    g_messageBoxHook = hook;
    return previous;
}

bool IsDefaultBrowserIE() {
    const CString className = HtmlClassName();
    return className.IsEmpty() || CommandTemplate(className).Find("iexplore") >= 0;
}

void LaunchDefaultBrowser(const CString& url) {
    const CString className = HtmlClassName();
    if (className.IsEmpty()) {
        ShowNoDefaultBrowser();
        return;
    }
    CString commandLine;
    const BrowserCommandStatus status =
        ComposeBrowserCommand(CommandTemplate(className), url, LookUpEnvironment, commandLine);
    if (status != BrowserCommandStatus::Ok) {
        ShowRefusal(status);
        return;
    }

    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_SHOW;
    PROCESS_INFORMATION process = {};
    // CreateProcessA may write into the command line, so it gets the string's own buffer.
    if (!CreateProcessA(nullptr, commandLine.GetBuffer(commandLine.GetLength()), nullptr, nullptr,
                        FALSE, CREATE_NEW_CONSOLE, nullptr, nullptr, &startup, &process)) {
        ShowSystemError(GetLastError());
        return;
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
}

void LaunchDefaultBrowser(const wchar_t* url) {
    LaunchDefaultBrowser(NarrowText(url));
}

CPageOpener::CPageOpener(DWORD pageWaitLimitMs)
    : m_clsid(CLSID_NULL), m_pageWaitLimitMs(pageWaitLimitMs) {
    V_VT(&m_navigateFlags) = VT_EMPTY;
}

CPageOpener::~CPageOpener() {
    ReleaseBrowser();
}

void CPageOpener::Open(BSTR url) {
    if (!url)
        return;
    if (!IsDefaultBrowserIE()) {
        LaunchDefaultBrowser(url);
        FreeBstr(url);
        return;
    }
    // A window the user has closed, or a browser that no longer answers, fails get_HWND.
    SHANDLE_PTR window = 0;
    if (!m_browser || m_browser->get_HWND(&window) != S_OK) {
        OpenInNewBrowser(url);
        return;
    }
    BSTR address = TakeWebAddress(url);
    if (address)
        NavigateAndWait(address);
    FreeBstr(address);
}

void CPageOpener::OpenInNewBrowser(BSTR url) {
    if (!url)
        return;
    BSTR address = TakeWebAddress(url);
    if (address && CreateBrowser()) {
        m_browser->put_Visible(VARIANT_TRUE);
        NavigateAndWait(address);
    }
    FreeBstr(address);
}

void CPageOpener::ReleaseBrowser() {
    if (m_browser)
        m_browser->Release();
    if (m_object)
        m_object->Release();
    m_browser = nullptr;
    m_object = nullptr;
}

bool CPageOpener::CreateBrowser() {
    ReleaseBrowser();
    // COM stays initialised for the rest of the run; a repeated call only counts up.
    StartOle();
    HRESULT result = ClassOfProgram(L"InternetExplorer.Application", &m_clsid);
    if (SUCCEEDED(result))
        result = CreateObject(m_clsid, &m_object);
    if (SUCCEEDED(result) && m_object)
        result = m_object->QueryInterface(IID_IWebBrowser2, reinterpret_cast<void**>(&m_browser));
    if (FAILED(result) || !m_browser) {
        ReleaseBrowser();
        ShowSystemError(FAILED(result) ? static_cast<DWORD>(result) : E_NOINTERFACE);
        return false;
    }
    return true;
}

void CPageOpener::NavigateAndWait(BSTR address) {
    V_VT(&m_navigateFlags) = VT_I4;
    V_I4(&m_navigateFlags) = 0;
    if (SUCCEEDED(m_browser->Navigate(address, &m_navigateFlags, &m_navigateFlags, &m_navigateFlags,
                                      &m_navigateFlags)))
        WaitForPage();
}

// Polls the busy state every 500 ms, as the page loads, without handling messages. A
// browser that fails the call or stays busy past the limit ends the wait.
void CPageOpener::WaitForPage() {
    const DWORD start = GetTickCount();
    for (;;) {
        Sleep(500);
        if (FAILED(m_browser->get_Busy(&m_busy)) || m_busy == VARIANT_FALSE)
            return;
        if (GetTickCount() - start >= m_pageWaitLimitMs)
            return;
    }
}
