#include "PopupAccessibleWin.h"

#include "SystemLibraryWin.h"

#include <oleacc.h>

namespace {

// Defined here: the toolchain's IID_IAccessible was seen not to match the system's.
constexpr IID kAccessibleIid = {
    0x618736e0, 0x3c3d, 0x11cf, {0x81, 0x0c, 0x00, 0xaa, 0x00, 0x38, 0x9b, 0x71}};

// The object has no children: every question is about itself.
bool IsSelf(VARTYPE type, LONG child) {
    return type == VT_I4 && child == CHILDID_SELF;
}

HRESULT Nothing(BSTR* text) {
    *text = nullptr;
    return S_FALSE;
}

HRESULT Empty(VARIANT* result) {
    result->vt = VT_EMPTY;
    return S_FALSE;
}

// One copy for the role and the state.
__attribute__((noinline)) HRESULT Number(const VARIANT& child, VARIANT* result, long value) {
    result->vt = VT_EMPTY;
    if (!IsSelf(child.vt, child.lVal))
        return E_INVALIDARG;
    result->vt = VT_I4;
    result->lVal = value;
    return S_OK;
}

// The popup's client area. What it does not answer, a screen reader does without.
class CAlertAccessible final : public IAccessible {
public:
    explicit CAlertAccessible(HWND window) : m_window(window) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        *object =
            iid == IID_IUnknown || iid == IID_IDispatch || iid == kAccessibleIid ? this : nullptr;
        if (!*object)
            return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++m_references; }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG left = --m_references;
        if (left == 0)
            delete this;
        return left;
    }

    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*,
                                     UINT*) override {
        return E_NOTIMPL;
    }

    HRESULT STDMETHODCALLTYPE get_accParent(IDispatch** parent) override {
        *parent = nullptr;
        return S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE get_accChildCount(long* count) override {
        *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_accChild(VARIANT, IDispatch** child) override {
        *child = nullptr;
        return E_INVALIDARG;
    }
    // The window's text, which the popup sets to what it shows.
    HRESULT STDMETHODCALLTYPE get_accName(VARIANT child, BSTR* name) override {
        *name = nullptr;
        if (!IsSelf(child.vt, child.lVal))
            return E_INVALIDARG;
        char text[256];
        *name = AllocBstr(text, GetWindowTextA(m_window, text, sizeof(text)));
        return *name ? S_OK : E_OUTOFMEMORY;
    }
    HRESULT STDMETHODCALLTYPE get_accValue(VARIANT, BSTR* value) override { return Nothing(value); }
    HRESULT STDMETHODCALLTYPE get_accDescription(VARIANT, BSTR* text) override {
        return Nothing(text);
    }
    HRESULT STDMETHODCALLTYPE get_accRole(VARIANT child, VARIANT* role) override {
        return Number(child, role, ROLE_SYSTEM_ALERT);
    }
    HRESULT STDMETHODCALLTYPE get_accState(VARIANT child, VARIANT* state) override {
        return Number(child, state, STATE_SYSTEM_READONLY);
    }
    HRESULT STDMETHODCALLTYPE get_accHelp(VARIANT, BSTR* text) override { return Nothing(text); }
    HRESULT STDMETHODCALLTYPE get_accHelpTopic(BSTR* file, VARIANT, long*) override {
        return Nothing(file);
    }
    HRESULT STDMETHODCALLTYPE get_accKeyboardShortcut(VARIANT, BSTR* text) override {
        return Nothing(text);
    }
    HRESULT STDMETHODCALLTYPE get_accFocus(VARIANT* focus) override { return Empty(focus); }
    HRESULT STDMETHODCALLTYPE get_accSelection(VARIANT* selection) override {
        return Empty(selection);
    }
    HRESULT STDMETHODCALLTYPE get_accDefaultAction(VARIANT, BSTR* text) override {
        return Nothing(text);
    }
    HRESULT STDMETHODCALLTYPE accSelect(long, VARIANT) override { return DISP_E_MEMBERNOTFOUND; }
    HRESULT STDMETHODCALLTYPE accLocation(long* left, long* top, long* width, long* height,
                                          VARIANT child) override {
        RECT rect;
        if (!IsSelf(child.vt, child.lVal) || !GetWindowRect(m_window, &rect))
            return E_INVALIDARG;
        *left = rect.left;
        *top = rect.top;
        *width = rect.right - rect.left;
        *height = rect.bottom - rect.top;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE accNavigate(long, VARIANT, VARIANT* end) override {
        return Empty(end);
    }
    HRESULT STDMETHODCALLTYPE accHitTest(long, long, VARIANT* child) override {
        child->vt = VT_I4;
        child->lVal = CHILDID_SELF;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE accDoDefaultAction(VARIANT) override { return DISP_E_MEMBERNOTFOUND; }
    HRESULT STDMETHODCALLTYPE put_accName(VARIANT, BSTR) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_accValue(VARIANT, BSTR) override { return E_NOTIMPL; }

private:
    HWND m_window;
    ULONG m_references = 1;
};

} // namespace

LRESULT AnswerAccessibleObject(HWND window, WPARAM flags, LPARAM objectId) {
    if (static_cast<LONG>(objectId) != OBJID_CLIENT)
        return 0;
    // Handing the object to another process takes COM on this thread.
    const auto hand =
        SystemFunctionOf<decltype(LresultFromObject)>("oleacc.dll", "LresultFromObject");
    if (!hand || FAILED(StartOle()))
        return 0;
    CAlertAccessible* object = new CAlertAccessible(window);
    const LRESULT result = hand(kAccessibleIid, flags, object);
    object->Release();
    return result > 0 ? result : 0;
}
