#include "WndWin.h"

CWnd::~CWnd() {
    if (m_hWnd)
        DestroyWindow();
}

bool CWnd::RegisterWindowClass(const char* className, UINT classStyle, HCURSOR cursor,
                               HBRUSH background) {
    WNDCLASSEXA existing = {};
    existing.cbSize = sizeof(existing);
    const HINSTANCE instance = GetModuleHandleA(nullptr);
    if (GetClassInfoExA(instance, className, &existing))
        return true;
    WNDCLASSEXA windowClass = {};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.style = classStyle;
    windowClass.lpfnWndProc = WindowProc;
    windowClass.hInstance = instance;
    windowClass.hCursor = cursor;
    windowClass.hbrBackground = background;
    windowClass.lpszClassName = className;
    return RegisterClassExA(&windowClass) != 0;
}

bool CWnd::CreateEx(DWORD exStyle, const char* className, const char* title, DWORD style,
                    const RECT& rect, HWND parent, HMENU menu) {
    if (m_hWnd)
        return false;
    const HWND window = CreateWindowExA(exStyle, className, title, style, rect.left, rect.top,
                                        rect.right - rect.left, rect.bottom - rect.top, parent,
                                        menu, GetModuleHandleA(nullptr), this);
    return window != nullptr;
}

bool CWnd::DestroyWindow() {
    if (!m_hWnd)
        return false;
    const HWND window = m_hWnd;
    const BOOL destroyed = ::DestroyWindow(window);
    // A window of another thread cannot be destroyed from here; forget it all the same so
    // that no later call reaches a dead object.
    if (m_hWnd == window)
        Detach();
    return destroyed != FALSE;
}

void CWnd::CenterWindow() {
    RECT window;
    if (!GetWindowRect(m_hWnd, &window))
        return;
    RECT area;
    const HWND owner = GetWindow(m_hWnd, GW_OWNER);
    if (!owner || !IsWindowVisible(owner) || !GetWindowRect(owner, &area))
        SystemParametersInfoA(SPI_GETWORKAREA, 0, &area, 0);
    const int width = window.right - window.left;
    const int height = window.bottom - window.top;
    const int x = area.left + (area.right - area.left - width) / 2;
    const int y = area.top + (area.bottom - area.top - height) / 2;
    SetWindowPos(m_hWnd, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

bool CWnd::OnWndMsg(UINT, WPARAM, LPARAM, LRESULT&) {
    return false;
}

LRESULT CWnd::Default() {
    return DefWindowProcA(m_hWnd, m_current.message, m_current.wParam, m_current.lParam);
}

bool CWnd::Dispatch(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    const CurrentMessage saved = m_current;
    const bool savedHandled = m_msgHandled;
    m_current = {message, wParam, lParam};
    m_msgHandled = true;
    const bool handled = OnWndMsg(message, wParam, lParam, result);
    m_current = saved;
    m_msgHandled = savedHandled;
    return handled;
}

void CWnd::Detach() {
    m_hWnd = nullptr;
}

LRESULT CALLBACK CWnd::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    CWnd* self;
    if (message == WM_NCCREATE) {
        self = static_cast<CWnd*>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams);
        self->m_hWnd = window;
        SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    } else {
        self = reinterpret_cast<CWnd*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    }
    if (!self)
        return DefWindowProcA(window, message, wParam, lParam);

    LRESULT result = 0;
    if (!self->Dispatch(message, wParam, lParam, result))
        result = DefWindowProcA(window, message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrA(window, GWLP_USERDATA, 0);
        self->Detach();
        self->PostNcDestroy();
    }
    return result;
}

INT_PTR CDialog::DoModal() {
    return DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(m_templateId), m_parent,
                           DialogProc, reinterpret_cast<LPARAM>(this));
}

void CDialog::EndDialog(int result) {
    ::EndDialog(m_hWnd, result);
}

bool CDialog::OnWndMsg(UINT message, WPARAM wParam, LPARAM, LRESULT& result) {
    if (message == WM_INITDIALOG) {
        result = OnInitDialog();
        return IsMsgHandled();
    }
    if (message == WM_COMMAND && LOWORD(wParam) == IDOK) {
        OnOK();
        return IsMsgHandled();
    }
    if (message == WM_COMMAND && LOWORD(wParam) == IDCANCEL) {
        OnCancel();
        return IsMsgHandled();
    }
    return false;
}

LRESULT CDialog::Default() {
    // Calling DefDlgProc from inside the dialog procedure would re-enter it; the dialog
    // manager does its own processing when the procedure reports "not handled".
    SetMsgHandled(false);
    return 0;
}

INT_PTR CALLBACK CDialog::DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    CDialog* self;
    if (message == WM_INITDIALOG) {
        self = reinterpret_cast<CDialog*>(lParam);
        self->m_hWnd = window;
        SetWindowLongPtrA(window, DWLP_USER, reinterpret_cast<LONG_PTR>(self));
    } else {
        self = reinterpret_cast<CDialog*>(GetWindowLongPtrA(window, DWLP_USER));
    }
    if (!self)
        return FALSE;

    LRESULT result = 0;
    const bool handled = self->Dispatch(message, wParam, lParam, result);
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrA(window, DWLP_USER, 0);
        self->Detach();
        self->PostNcDestroy();
    }
    if (!handled)
        return FALSE;
    switch (message) {
    // These messages return their result directly instead of through DWLP_MSGRESULT.
    case WM_INITDIALOG:
    case WM_CTLCOLORMSGBOX:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC:
    case WM_COMPAREITEM:
    case WM_VKEYTOITEM:
    case WM_CHARTOITEM:
    case WM_QUERYDRAGICON:
        return static_cast<INT_PTR>(result);
    default:
        SetWindowLongPtrA(window, DWLP_MSGRESULT, result);
        return TRUE;
    }
}

CWinApp* CWinApp::s_current = nullptr;

CWinApp::CWinApp() {
    s_current = this;
}

CWinApp::~CWinApp() {
    if (s_current == this)
        s_current = nullptr;
}

int CWinApp::Run() {
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return static_cast<int>(message.wParam);
}

int RunWinApp() {
    CWinApp* app = CWinApp::Current();
    if (!app)
        return 1;
    if (app->InitInstance())
        app->Run();
    return app->ExitInstance();
}
