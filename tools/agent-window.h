#pragma once
// The running agent as the drivers outside it see it: its hidden window, the tray callback
// and the query that window takes (res/contract.h), and the popup menus it opens. Shared by
// zv-drive and the soak driver.
#include "contract.h"

#include <windows.h>

#define MENU_CLASS "#32768"

static inline HWND HiddenWindow(void) {
    return FindWindowA(NULL, ZV_HIDDEN_TITLE);
}

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
