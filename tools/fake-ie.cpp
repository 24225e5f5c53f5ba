// A stand-in for "InternetExplorer.Application" in test prefixes: an in-process COM server
// whose browser object logs the calls the agent makes, one line each, to the file named by
// ZV_FAKE_IE_LOG (or zv-fake-ie.log next to the DLL):
//   create | release | get_HWND ok | get_HWND closed | put_Visible <value>
//   Navigate <url> | get_Busy <value> | get_Busy fail
// Each object owns a top-level window (class "ZvFakeIEFrame") that put_Visible shows;
// once that window is gone, get_HWND fails as a browser that the user has closed does.
// ZV_FAKE_IE_BUSY sets what get_Busy answers after a Navigate: a number n (default 1) of
// busy readings before it reads idle, "stay" to stay busy, or "fail" to fail the call.
#include <windows.h>
#include <ole2.h>
#include <exdisp.h>

#include <cstdlib>
#include <cstring>
#include <string>

namespace {

// {5A0C7E21-6B3D-4F1E-9C2A-7D8E4B1F0A36}
const CLSID kFakeBrowserClsid = {
    0x5a0c7e21, 0x6b3d, 0x4f1e, {0x9c, 0x2a, 0x7d, 0x8e, 0x4b, 0x1f, 0x0a, 0x36}};
const char kWindowClass[] = "ZvFakeIEFrame";

HINSTANCE g_module = nullptr;

std::string Environment(const char* name) {
    char value[MAX_PATH];
    const DWORD length = GetEnvironmentVariableA(name, value, sizeof(value));
    return length > 0 && length < sizeof(value) ? std::string(value, length) : std::string();
}

std::string LogPath() {
    std::string path = Environment("ZV_FAKE_IE_LOG");
    if (!path.empty())
        return path;
    char module[MAX_PATH];
    const DWORD length = GetModuleFileNameA(g_module, module, sizeof(module));
    path.assign(module, length);
    return path.substr(0, path.rfind('.')) + ".log";
}

void Log(const std::string& text) {
    HANDLE file =
        CreateFileA(LogPath().c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return;
    const std::string line = text + "\n";
    DWORD written = 0;
    WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    CloseHandle(file);
}

std::string Narrow(BSTR text) {
    if (!text)
        return "(null)";
    const int size = WideCharToMultiByte(CP_ACP, 0, text, -1, nullptr, 0, nullptr, nullptr);
    std::string narrow(size > 0 ? size : 1, '\0');
    WideCharToMultiByte(CP_ACP, 0, text, -1, &narrow[0], size, nullptr, nullptr);
    narrow.resize(std::strlen(narrow.c_str()));
    return narrow;
}

HWND CreateFrame() {
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = DefWindowProcA;
    windowClass.hInstance = g_module;
    windowClass.lpszClassName = kWindowClass;
    RegisterClassA(&windowClass); // fails harmlessly when already registered
    return CreateWindowExA(0, kWindowClass, "zv-fake-ie", WS_OVERLAPPEDWINDOW, 100, 100, 400, 300,
                           nullptr, nullptr, g_module, nullptr);
}

#define ZV_NOT_IMPLEMENTED(name, params)                                                           \
    HRESULT STDMETHODCALLTYPE name params override {                                               \
        return E_NOTIMPL;                                                                          \
    }

class FakeBrowser final : public IWebBrowser2 {
public:
    FakeBrowser() : m_window(CreateFrame()) { Log("create"); }
    ~FakeBrowser() {
        if (IsWindow(m_window))
            DestroyWindow(m_window);
        Log("release");
    }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        if (!object)
            return E_POINTER;
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch) ||
            IsEqualIID(iid, IID_IWebBrowser) || IsEqualIID(iid, IID_IWebBrowserApp) ||
            IsEqualIID(iid, IID_IWebBrowser2)) {
            *object = static_cast<IWebBrowser2*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++m_references; }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG left = --m_references;
        if (left == 0)
            delete this;
        return left;
    }

    HRESULT STDMETHODCALLTYPE get_HWND(SHANDLE_PTR* window) override {
        if (!IsWindow(m_window)) {
            Log("get_HWND closed");
            return HRESULT_FROM_WIN32(RPC_S_SERVER_UNAVAILABLE);
        }
        Log("get_HWND ok");
        *window = reinterpret_cast<SHANDLE_PTR>(m_window);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE put_Visible(VARIANT_BOOL value) override {
        Log("put_Visible " + std::to_string(value));
        ShowWindow(m_window, value ? SW_SHOWNOACTIVATE : SW_HIDE);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Navigate(BSTR url, VARIANT*, VARIANT*, VARIANT*, VARIANT*) override {
        Log("Navigate " + Narrow(url));
        const std::string busy = Environment("ZV_FAKE_IE_BUSY");
        m_busyReadings = busy.empty() ? 1 : std::atoi(busy.c_str());
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_Busy(VARIANT_BOOL* busy) override {
        const std::string mode = Environment("ZV_FAKE_IE_BUSY");
        if (mode == "fail") {
            Log("get_Busy fail");
            return E_FAIL;
        }
        const bool stillBusy = mode == "stay" || m_busyReadings > 0;
        if (m_busyReadings > 0)
            --m_busyReadings;
        *busy = stillBusy ? VARIANT_TRUE : VARIANT_FALSE;
        Log("get_Busy " + std::to_string(*busy));
        return S_OK;
    }

    ZV_NOT_IMPLEMENTED(GetTypeInfoCount, (UINT*))
    ZV_NOT_IMPLEMENTED(GetTypeInfo, (UINT, LCID, ITypeInfo**))
    ZV_NOT_IMPLEMENTED(GetIDsOfNames, (REFIID, LPOLESTR*, UINT, LCID, DISPID*))
    ZV_NOT_IMPLEMENTED(Invoke,
                       (DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*))
    ZV_NOT_IMPLEMENTED(GoBack, ())
    ZV_NOT_IMPLEMENTED(GoForward, ())
    ZV_NOT_IMPLEMENTED(GoHome, ())
    ZV_NOT_IMPLEMENTED(GoSearch, ())
    ZV_NOT_IMPLEMENTED(Refresh, ())
    ZV_NOT_IMPLEMENTED(Refresh2, (VARIANT*))
    ZV_NOT_IMPLEMENTED(Stop, ())
    ZV_NOT_IMPLEMENTED(get_Application, (IDispatch**))
    ZV_NOT_IMPLEMENTED(get_Parent, (IDispatch**))
    ZV_NOT_IMPLEMENTED(get_Container, (IDispatch**))
    ZV_NOT_IMPLEMENTED(get_Document, (IDispatch**))
    ZV_NOT_IMPLEMENTED(get_TopLevelContainer, (VARIANT_BOOL*))
    ZV_NOT_IMPLEMENTED(get_Type, (BSTR*))
    ZV_NOT_IMPLEMENTED(get_Left, (LONG*))
    ZV_NOT_IMPLEMENTED(put_Left, (LONG))
    ZV_NOT_IMPLEMENTED(get_Top, (LONG*))
    ZV_NOT_IMPLEMENTED(put_Top, (LONG))
    ZV_NOT_IMPLEMENTED(get_Width, (LONG*))
    ZV_NOT_IMPLEMENTED(put_Width, (LONG))
    ZV_NOT_IMPLEMENTED(get_Height, (LONG*))
    ZV_NOT_IMPLEMENTED(put_Height, (LONG))
    ZV_NOT_IMPLEMENTED(get_LocationName, (BSTR*))
    ZV_NOT_IMPLEMENTED(get_LocationURL, (BSTR*))
    ZV_NOT_IMPLEMENTED(Quit, ())
    ZV_NOT_IMPLEMENTED(ClientToWindow, (int*, int*))
    ZV_NOT_IMPLEMENTED(PutProperty, (BSTR, VARIANT))
    ZV_NOT_IMPLEMENTED(GetProperty, (BSTR, VARIANT*))
    ZV_NOT_IMPLEMENTED(get_Name, (BSTR*))
    ZV_NOT_IMPLEMENTED(get_FullName, (BSTR*))
    ZV_NOT_IMPLEMENTED(get_Path, (BSTR*))
    ZV_NOT_IMPLEMENTED(get_Visible, (VARIANT_BOOL*))
    ZV_NOT_IMPLEMENTED(get_StatusBar, (VARIANT_BOOL*))
    ZV_NOT_IMPLEMENTED(put_StatusBar, (VARIANT_BOOL))
    ZV_NOT_IMPLEMENTED(get_StatusText, (BSTR*))
    ZV_NOT_IMPLEMENTED(put_StatusText, (BSTR))
    ZV_NOT_IMPLEMENTED(get_ToolBar, (int*))
    ZV_NOT_IMPLEMENTED(put_ToolBar, (int))
    ZV_NOT_IMPLEMENTED(get_MenuBar, (VARIANT_BOOL*))
    ZV_NOT_IMPLEMENTED(put_MenuBar, (VARIANT_BOOL))
    ZV_NOT_IMPLEMENTED(get_FullScreen, (VARIANT_BOOL*))
    ZV_NOT_IMPLEMENTED(put_FullScreen, (VARIANT_BOOL))
    ZV_NOT_IMPLEMENTED(Navigate2, (VARIANT*, VARIANT*, VARIANT*, VARIANT*, VARIANT*))
    ZV_NOT_IMPLEMENTED(QueryStatusWB, (OLECMDID, OLECMDF*))
    ZV_NOT_IMPLEMENTED(ExecWB, (OLECMDID, OLECMDEXECOPT, VARIANT*, VARIANT*))
    ZV_NOT_IMPLEMENTED(ShowBrowserBar, (VARIANT*, VARIANT*, VARIANT*))
    ZV_NOT_IMPLEMENTED(get_ReadyState, (READYSTATE*))
    ZV_NOT_IMPLEMENTED(get_Offline, (VARIANT_BOOL*))
    ZV_NOT_IMPLEMENTED(put_Offline, (VARIANT_BOOL))
    ZV_NOT_IMPLEMENTED(get_Silent, (VARIANT_BOOL*))
    ZV_NOT_IMPLEMENTED(put_Silent, (VARIANT_BOOL))
    ZV_NOT_IMPLEMENTED(get_RegisterAsBrowser, (VARIANT_BOOL*))
    ZV_NOT_IMPLEMENTED(put_RegisterAsBrowser, (VARIANT_BOOL))
    ZV_NOT_IMPLEMENTED(get_RegisterAsDropTarget, (VARIANT_BOOL*))
    ZV_NOT_IMPLEMENTED(put_RegisterAsDropTarget, (VARIANT_BOOL))
    ZV_NOT_IMPLEMENTED(get_TheaterMode, (VARIANT_BOOL*))
    ZV_NOT_IMPLEMENTED(put_TheaterMode, (VARIANT_BOOL))
    ZV_NOT_IMPLEMENTED(get_AddressBar, (VARIANT_BOOL*))
    ZV_NOT_IMPLEMENTED(put_AddressBar, (VARIANT_BOOL))
    ZV_NOT_IMPLEMENTED(get_Resizable, (VARIANT_BOOL*))
    ZV_NOT_IMPLEMENTED(put_Resizable, (VARIANT_BOOL))

private:
    ULONG m_references = 1;
    HWND m_window;
    int m_busyReadings = 0;
};

class Factory : public IClassFactory {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        if (!object)
            return E_POINTER;
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IClassFactory)) {
            *object = static_cast<IClassFactory*>(this);
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    // The factory is a static object that lives as long as the DLL.
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** object) override {
        if (!object)
            return E_POINTER;
        *object = nullptr;
        if (outer)
            return CLASS_E_NOAGGREGATION;
        FakeBrowser* browser = new FakeBrowser();
        const HRESULT result = browser->QueryInterface(iid, object);
        browser->Release();
        return result;
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }
};

Factory g_factory;

} // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, void*) {
    if (reason == DLL_PROCESS_ATTACH)
        g_module = instance;
    return TRUE;
}

extern "C" HRESULT WINAPI DllGetClassObject(REFCLSID clsid, REFIID iid, void** object) {
    if (!IsEqualCLSID(clsid, kFakeBrowserClsid)) {
        if (object)
            *object = nullptr;
        return CLASS_E_CLASSNOTAVAILABLE;
    }
    return g_factory.QueryInterface(iid, object);
}

// Objects hold windows of this module, so it is never unloaded while the process runs.
extern "C" HRESULT WINAPI DllCanUnloadNow() {
    return S_FALSE;
}
