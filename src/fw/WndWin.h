#pragma once
// Windows and dialogs of the framework layer. A window object finds itself from its handle
// through GWLP_USERDATA (stored at WM_NCCREATE) or DWLP_USER (stored at WM_INITDIALOG);
// messages reach it through OnWndMsg, which the message-map macros below write as plain
// code, so every handler's signature is checked by the compiler.
#include "CString.h"

#include <windows.h>

class CWnd {
public:
    CWnd() = default;
    virtual ~CWnd();
    CWnd(const CWnd&) = delete;
    CWnd& operator=(const CWnd&) = delete;

    // Registers (once) a window class whose procedure routes to CWnd objects.
    static bool RegisterWindowClass(const char* className, UINT classStyle, HCURSOR cursor,
                                    HBRUSH background);
    bool CreateEx(DWORD exStyle, const char* className, const char* title, DWORD style,
                  const RECT& rect, HWND parent, HMENU menu);
    bool DestroyWindow();

    void SetWindowText(const char* text) { ::SetWindowTextA(m_hWnd, text); }
    BOOL ShowWindow(int command) { return ::ShowWindow(m_hWnd, command); }
    UINT_PTR SetTimer(UINT_PTR id, UINT milliseconds) {
        return ::SetTimer(m_hWnd, id, milliseconds, nullptr);
    }
    BOOL KillTimer(UINT_PTR id) { return ::KillTimer(m_hWnd, id); }
    BOOL PostMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
        return ::PostMessageA(m_hWnd, message, wParam, lParam);
    }
    HWND GetDlgItem(int id) const { return ::GetDlgItem(m_hWnd, id); }
    // Centres the window over its owner, or over the work area when it has none.
    void CenterWindow();

    HWND m_hWnd = nullptr;

protected:
    // Returns true when the message was handled; result is then the message's result.
    // The map macros generate it; a class without a map falls through to the default.
    virtual bool OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);
    // Default processing of the message being handled: DefWindowProc for windows. For
    // dialogs the dialog manager's own processing, which runs when the handler returns.
    virtual LRESULT Default();
    // A handler calls SetMsgHandled(false) to let default processing follow it.
    void SetMsgHandled(bool handled) { m_msgHandled = handled; }
    bool IsMsgHandled() const { return m_msgHandled; }
    // Called after WM_NCDESTROY, when the handle is gone.
    virtual void PostNcDestroy() {}

    struct CurrentMessage {
        UINT message;
        WPARAM wParam;
        LPARAM lParam;
    };
    CurrentMessage m_current = {0, 0, 0};
    bool m_msgHandled = true;

    // Runs one message through OnWndMsg, keeping m_current and m_msgHandled for nested
    // messages. Returns true when a handler took it.
    bool Dispatch(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);
    void Detach();

private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
};

class CDialog : public CWnd {
public:
    explicit CDialog(UINT templateId, HWND parent = nullptr)
        : m_templateId(templateId), m_parent(parent) {}

    INT_PTR DoModal();
    void EndDialog(int result);

protected:
    virtual BOOL OnInitDialog() { return TRUE; }
    virtual void OnOK() { EndDialog(IDOK); }
    virtual void OnCancel() { EndDialog(IDCANCEL); }

    bool OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
    LRESULT Default() override;

    UINT m_templateId;
    HWND m_parent;

    // Routes a dialog's messages to the CDialog whose address WM_INITDIALOG carries in lParam.
    // Dialogs created by others (property pages) reach it through their own procedure.
    static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
};

// The application object: one static instance per program, whose InitInstance runs the
// program and whose ExitInstance gives the exit code.
class CWinApp {
public:
    CWinApp();
    virtual ~CWinApp();
    virtual BOOL InitInstance() { return FALSE; }
    virtual int ExitInstance() { return 0; }
    // Enters the message loop when InitInstance returned TRUE.
    virtual int Run();

    static CWinApp* Current() { return s_current; }

    HWND m_mainWnd = nullptr;

private:
    static CWinApp* s_current;
};

// Runs the program's CWinApp: InitInstance, Run when it returned TRUE, ExitInstance.
int RunWinApp();

// Message-map macros. Use inside the class declaration:
//   BEGIN_MSG_MAP(CMyWnd, CWnd)
//       MSG_WM_TIMER(OnTimer)
//       COMMAND_ID_HANDLER(ID_X, OnX)
//   END_MSG_MAP()
#define BEGIN_MSG_MAP(thisClass, baseClass)                                                        \
    using MsgMapBase = baseClass;                                                                  \
    bool OnWndMsg(UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lResult) override {            \
        (void)wParam;                                                                              \
        (void)lParam;

#define END_MSG_MAP()                                                                              \
    return MsgMapBase::OnWndMsg(uMsg, wParam, lParam, lResult);                                    \
    }

// LRESULT fn(WPARAM, LPARAM)
#define MESSAGE_HANDLER(msg, fn)                                                                   \
    if (uMsg == (msg)) {                                                                           \
        lResult = fn(wParam, lParam);                                                              \
        return IsMsgHandled();                                                                     \
    }

// void fn(): WM_COMMAND for one id, from a menu, accelerator or control.
#define COMMAND_ID_HANDLER(id, fn)                                                                 \
    if (uMsg == WM_COMMAND && LOWORD(wParam) == (id)) {                                            \
        fn();                                                                                      \
        lResult = 0;                                                                               \
        return IsMsgHandled();                                                                     \
    }

// void fn(UINT id): WM_COMMAND for ids first..last.
#define COMMAND_RANGE_HANDLER(first, last, fn)                                                     \
    if (uMsg == WM_COMMAND && LOWORD(wParam) >= (first) && LOWORD(wParam) <= (last)) {             \
        fn(LOWORD(wParam));                                                                        \
        lResult = 0;                                                                               \
        return IsMsgHandled();                                                                     \
    }

// void fn(): a button click (BN_CLICKED) of control id.
#define BN_CLICKED_HANDLER(id, fn)                                                                 \
    if (uMsg == WM_COMMAND && LOWORD(wParam) == (id) && HIWORD(wParam) == BN_CLICKED) {            \
        fn();                                                                                      \
        lResult = 0;                                                                               \
        return IsMsgHandled();                                                                     \
    }

// void fn(UINT_PTR id)
#define MSG_WM_TIMER(fn)                                                                           \
    if (uMsg == WM_TIMER) {                                                                        \
        fn(static_cast<UINT_PTR>(wParam));                                                         \
        lResult = 0;                                                                               \
        return IsMsgHandled();                                                                     \
    }

// void fn()
#define MSG_WM_PAINT(fn)                                                                           \
    if (uMsg == WM_PAINT) {                                                                        \
        fn();                                                                                      \
        lResult = 0;                                                                               \
        return IsMsgHandled();                                                                     \
    }

// void fn(UINT type, int cx, int cy)
#define MSG_WM_SIZE(fn)                                                                            \
    if (uMsg == WM_SIZE) {                                                                         \
        fn(static_cast<UINT>(wParam), LOWORD(lParam), HIWORD(lParam));                             \
        lResult = 0;                                                                               \
        return IsMsgHandled();                                                                     \
    }

// void fn()
#define MSG_WM_CLOSE(fn)                                                                           \
    if (uMsg == WM_CLOSE) {                                                                        \
        fn();                                                                                      \
        lResult = 0;                                                                               \
        return IsMsgHandled();                                                                     \
    }

// void fn()
#define MSG_WM_DESTROY(fn)                                                                         \
    if (uMsg == WM_DESTROY) {                                                                      \
        fn();                                                                                      \
        lResult = 0;                                                                               \
        return IsMsgHandled();                                                                     \
    }

// BOOL fn(HELPINFO*)
#define MSG_WM_HELP(fn)                                                                            \
    if (uMsg == WM_HELP) {                                                                         \
        lResult = fn(reinterpret_cast<HELPINFO*>(lParam));                                         \
        return IsMsgHandled();                                                                     \
    }

// void fn(BOOL show, UINT status)
#define MSG_WM_SHOWWINDOW(fn)                                                                      \
    if (uMsg == WM_SHOWWINDOW) {                                                                   \
        fn(static_cast<BOOL>(wParam), static_cast<UINT>(lParam));                                  \
        lResult = 0;                                                                               \
        return IsMsgHandled();                                                                     \
    }

// void fn(UINT keys, POINT point)
#define MSG_WM_MOUSEMOVE(fn)                                                                       \
    if (uMsg == WM_MOUSEMOVE) {                                                                    \
        fn(static_cast<UINT>(wParam),                                                              \
           POINT{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))});         \
        lResult = 0;                                                                               \
        return IsMsgHandled();                                                                     \
    }

// void fn(UINT keys, POINT point)
#define MSG_WM_LBUTTONUP(fn)                                                                       \
    if (uMsg == WM_LBUTTONUP) {                                                                    \
        fn(static_cast<UINT>(wParam),                                                              \
           POINT{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))});         \
        lResult = 0;                                                                               \
        return IsMsgHandled();                                                                     \
    }

// void fn(HWND gaining)
#define MSG_WM_CAPTURECHANGED(fn)                                                                  \
    if (uMsg == WM_CAPTURECHANGED) {                                                               \
        fn(reinterpret_cast<HWND>(lParam));                                                        \
        lResult = 0;                                                                               \
        return IsMsgHandled();                                                                     \
    }
