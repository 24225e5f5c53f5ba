// Owns one hidden window so that Wine's virtual desktop, with its taskbar and notification
// area, stays up for the whole test run.
#include <windows.h>

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int show) {
    (void)previous;
    (void)commandLine;
    (void)show;
    CreateWindowA("STATIC", "zv-desktop-keeper", WS_POPUP, 0, 0, 1, 1, NULL, NULL, instance, NULL);
    MSG message;
    while (GetMessageA(&message, NULL, 0, 0) > 0)
        DispatchMessageA(&message);
    return 0;
}
