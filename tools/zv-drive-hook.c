// Loaded into the agent's process by zv-drive's window-procedure hook. When the registered
// message "ZvDriveDumpMenu" reaches a window of the hooked thread, it writes the items of the
// menu whose handle is the message's wParam into %TEMP%\zv-drive-menu.txt, one line each:
//   item pos=<n> id=<id> state=0x<flags> separator=<0|1> default=<0|1> text=<text>
// The text is read with the wide-character call and written in UTF-8, so titles in any
// language come out as the menu shows them.
// Menus are private to their process under Wine, so they can only be read from inside.
#include <windows.h>

#include <stdio.h>

static void WriteMenu(HMENU menu) {
    char path[MAX_PATH];
    DWORD length = GetTempPathA(sizeof path, path);
    lstrcpynA(path + length, "zv-drive-menu.txt", (int)(sizeof path - length));
    FILE* dump = fopen(path, "w");
    if (!dump)
        return;
    int count = GetMenuItemCount(menu);
    UINT defaultId = GetMenuDefaultItem(menu, FALSE, 0);
    for (int position = 0; position < count; position++) {
        WCHAR wide[512] = L"";
        char text[1536] = "";
        UINT id = GetMenuItemID(menu, position);
        UINT state = GetMenuState(menu, position, MF_BYPOSITION);
        GetMenuStringW(menu, position, wide, sizeof wide / sizeof wide[0], MF_BYPOSITION);
        WideCharToMultiByte(CP_UTF8, 0, wide, -1, text, sizeof text, NULL, NULL);
        for (char* c = text; *c; c++) {
            if (*c == '\n' || *c == '\r')
                *c = ' ';
        }
        fprintf(dump, "item pos=%d id=%u state=0x%x separator=%d default=%d text=%s\n", position,
                id, state, (state & MF_SEPARATOR) ? 1 : 0,
                (defaultId != (UINT)-1 && id == defaultId) ? 1 : 0, text);
    }
    fclose(dump);
}

__declspec(dllexport) LRESULT CALLBACK ZvDriveHook(int code, WPARAM wParam, LPARAM lParam) {
    const CWPSTRUCT* call = (const CWPSTRUCT*)lParam;
    if (code == HC_ACTION && call->message == RegisterWindowMessageA("ZvDriveDumpMenu"))
        WriteMenu((HMENU)call->wParam);
    return CallNextHookEx(NULL, code, wParam, lParam);
}
