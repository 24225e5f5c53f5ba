// The baseline of the footprint benchmark: the least a tray program can be. One hidden
// window, one notification-area icon and one five-minute timer, nothing else. It runs until
// it is sent WM_CLOSE.
#include <windows.h>
#include <shellapi.h>

#define TRAY_CALLBACK (WM_USER + 2)
#define TRAY_ICON_ID 1
#define TIMER_ID 1
#define TIMER_MS (5 * 60 * 1000)

static NOTIFYICONDATAA g_icon;

static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_TIMER:
        return 0;
    case WM_DESTROY:
        Shell_NotifyIconA(NIM_DELETE, &g_icon);
        KillTimer(window, TIMER_ID);
        PostQuitMessage(0);
        return 0;
    default:
        return DefWindowProcA(window, message, wParam, lParam);
    }
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int show) {
    (void)previous;
    (void)commandLine;
    (void)show;
    WNDCLASSA windowClass = {0};
    windowClass.lpfnWndProc = WindowProc;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = "ZvBareTray";
    if (!RegisterClassA(&windowClass))
        return 1;
    HWND window = CreateWindowA("ZvBareTray", "Zavora Bare Tray", WS_OVERLAPPED, 0, 0, 1, 1, NULL,
                                NULL, instance, NULL);
    if (!window)
        return 1;
    // The 88-byte structure of the oldest shell, as the agent uses.
    g_icon.cbSize = NOTIFYICONDATAA_V1_SIZE;
    g_icon.hWnd = window;
    g_icon.uID = TRAY_ICON_ID;
    g_icon.uFlags = NIF_ICON | NIF_MESSAGE | NIF_TIP;
    g_icon.uCallbackMessage = TRAY_CALLBACK;
    g_icon.hIcon = LoadIconA(NULL, (LPCSTR)IDI_APPLICATION);
    lstrcpynA(g_icon.szTip, "Bare tray", sizeof g_icon.szTip);
    Shell_NotifyIconA(NIM_ADD, &g_icon);
    SetTimer(window, TIMER_ID, TIMER_MS, NULL);
    MSG message;
    while (GetMessageA(&message, NULL, 0, 0) > 0)
        DispatchMessageA(&message);
    return 0;
}
