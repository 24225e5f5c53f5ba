#pragma once
// The running agent as the drivers outside it see it: its hidden window, the tray callback
// that window takes, and the popup menus it opens. Shared by zv-drive and the soak driver.
#include <windows.h>

#define HIDDEN_TITLE "Zavora Agent Hidden Dialog"
#define TRAY_CALLBACK (WM_USER + 2)
#define TRAY_ICON_ID 102
#define MENU_CLASS "#32768"
// The agent answers this registered message: wParam below 7 asks for the live count of one
// kind of the objects it owns, 7 whether a poll is running, 8 the delay in milliseconds the
// poll timer was last armed with (0 while it is off).
#define AGENT_QUERY "ZavoraAgentHandleCounts"
#define AGENT_QUERY_POLL_DELAY 8

// The visible popup menu window, or NULL when no menu is open.
static inline HWND OpenMenuWindow(void) {
    HWND menu = NULL;
    while ((menu = FindWindowExA(NULL, menu, MENU_CLASS, NULL)) != NULL) {
        if (IsWindowVisible(menu))
            return menu;
    }
    return NULL;
}

// A key pressed in an open menu; posted, since the menu's loop runs in the agent.
static inline void PressKey(HWND menuWindow, WPARAM key) {
    PostMessageA(menuWindow, WM_KEYDOWN, key, 1);
    PostMessageA(menuWindow, WM_KEYUP, key, (LPARAM)0xC0000001);
}
