#pragma once
// The running agent as the drivers outside it see it: its hidden window, the tray callback
// that window takes, and the popup menus it opens. Shared by zv-drive and the soak driver.
#include <windows.h>

#define HIDDEN_TITLE "Zavora Agent Hidden Dialog"
#define TRAY_CALLBACK (WM_USER + 2)
#define TRAY_ICON_ID 102
#define MENU_CLASS "#32768"
// The registered message the agent answers with the live count of one kind of its wrapped
// GDI and USER objects (wParam 0 .. HANDLE_KINDS - 1) or, for wParam POLL_RUNNING, with 1
// while a poll runs and 0 otherwise.
#define COUNTS_QUERY "ZavoraAgentHandleCounts"
#define HANDLE_KINDS 7
#define POLL_RUNNING HANDLE_KINDS

// The visible popup menu window, or NULL when no menu is open.
static inline HWND OpenMenuWindow(void) {
    HWND menu = NULL;
    while ((menu = FindWindowExA(NULL, menu, MENU_CLASS, NULL)) != NULL) {
        if (IsWindowVisible(menu))
            return menu;
    }
    return NULL;
}

// A key pressed in a window of the agent (an open menu, the hidden window); posted, since
// the loop that reads it runs in the agent.
static inline void PressKey(HWND window, WPARAM key) {
    PostMessageA(window, WM_KEYDOWN, key, 1);
    PostMessageA(window, WM_KEYUP, key, (LPARAM)0xC0000001);
}
