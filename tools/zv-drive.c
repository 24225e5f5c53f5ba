// Drives a running agent from outside, as a user would, for the system tests:
//   zv-drive <command> [arguments]
// Every result is printed on stdout as lines of "word key=value ..." (a title or text comes
// last, so it may hold blanks); the exit code is 0 on success, 1 when the awaited thing did
// not happen, 2 for a usage error.
//
// Commands:
//   find                      the hidden window: "window hwnd=.. pid=.. tid=.."
//   wait-window <ms>          waits for the hidden window to appear
//   wait-gone <ms>            waits for the hidden window to disappear
//   alive                     "alive 1" when the window answers WM_NULL within one second
//   poll-delay                "delay ms=.." the poll timer was armed with (0: not armed)
//   watch-poll <ms>           waits for a poll to run and then for its report, asking the
//                             window again and again whether a poll runs, each answer awaited
//                             for at most a second: "watching" once the poll is seen, then
//                             "watched asks=N slowest=MS unanswered=N"; exit code 0 only when
//                             every ask was answered in time and the poll reported within ms
//   wait-report <ms>          waits until no poll runs and the poll timer is armed with any
//                             delay but the first poll's, so the poll that ran or was due
//                             has reported; each ask is awaited for at most 2 s:
//                             "delay ms=MS", then "reported asks=N slowest=MS
//                             unanswered=N"; exit code 0 only when every ask was answered
//                             in time and the report came within ms
//   escape                    posts the Escape key to the hidden window, as a stray key press
//                             reaches it after a tray menu
//   command <command>         posts WM_COMMAND of <command> to the hidden window: a menu
//                             command's name (about, configure, exit, disable, home,
//                             refresh, reset-markers) or any id
//   post <message> <wparam>   posts any message to the hidden window (lParam 0)
//   tray <left|right|n>       posts the tray callback (the mouse message: WM_LBUTTONUP, ...)
//   windows                   lists every top-level window
//   menu <ms>                 waits for an open popup menu and lists its items
//   choose <command> <ms>     waits for an open popup menu and chooses the item of <command>
//                             (a name or an id, as above) by keys
//   look-menu <left|right> <ms> opens a tray menu by the tray callback, waits for it, lists its
//                             items and closes it; exit code 3 when it stays open
//   close-menu <ms>           waits for an open popup menu and closes it with Escape
//   wait-menu-gone <ms>       waits until no popup menu is open
//   wait-title <text> <ms>    waits for a visible top-level window whose title holds <text>
//   wait-no-title <text> <ms> waits until no visible top-level window's title holds <text>
//   children <text> <ms>      waits for such a window, then lists its child windows:
//                             "child id=.. visible=0|1 enabled=0|1 class=.. text=.."
//   press <text> <id> <ms>    waits for such a window, then clicks its button <id> (1 = OK)
//   close <text> <ms>         waits for such a window, then asks it to close
//   fullscreen                shows a window titled "zv-drive full screen" over the whole
//                             screen in front of all others and runs until it is closed
//   accessible <class> <ms>   waits for a visible top-level window of <class>, then asks it
//                             for the accessible object of its client area, as a screen
//                             reader does: "accessible role=N text=<its name in UTF-8>"
//
// Menus belong to the process that shows them, so Wine refuses to read them from here. The
// items are therefore read inside the agent's process by zv-drive-hook.dll, a window-procedure
// hook that answers one registered message by writing the menu to a file.
#include "agent-window.h"
#include "resource.h"

#include <oleacc.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#ifndef MN_GETHMENU
#define MN_GETHMENU 0x01E1
#endif
#define POLL_MS 50
#define FULL_SCREEN_TITLE "zv-drive full screen"

typedef BOOL (*Probe)(void* context);

static const struct {
    const char* name;
    long id;
} kCommands[] = {{"about", ID_TASKBAR_ABOUT},
                 {"configure", ID_TASKBAR_CONFIGURE},
                 {"exit", ID_TASKBAR_EXIT},
                 {"disable", ID_TASKBAR_DISABLE},
                 {"home", ID_SITE_HOME},
                 {"refresh", ID_TASKBAR_REFRESH},
                 {"reset-markers", ID_RESET_MARKERS}};

// The id of a menu command given by its name or as a number; FALSE for anything else.
static BOOL CommandId(const char* text, long* id) {
    for (size_t i = 0; i < sizeof kCommands / sizeof kCommands[0]; i++) {
        if (strcmp(text, kCommands[i].name) == 0) {
            *id = kCommands[i].id;
            return TRUE;
        }
    }
    char* end = NULL;
    *id = strtol(text, &end, 10);
    return *text != '\0' && *end == '\0';
}

static BOOL WaitFor(Probe probe, void* context, DWORD timeoutMs) {
    DWORD start = GetTickCount();
    for (;;) {
        if (probe(context))
            return TRUE;
        if (GetTickCount() - start >= timeoutMs)
            return FALSE;
        Sleep(POLL_MS);
    }
}

// Waits for probe to hold: then prints word and gives 0, else prints "timeout" and gives 1.
static int Await(Probe probe, void* context, DWORD timeoutMs, const char* word) {
    if (!WaitFor(probe, context, timeoutMs)) {
        puts("timeout");
        return 1;
    }
    puts(word);
    return 0;
}

static void PrintWindowLine(const char* word, HWND window) {
    DWORD pid = 0;
    DWORD tid = GetWindowThreadProcessId(window, &pid);
    printf("%s hwnd=0x%lx pid=%lu tid=%lu\n", word, (unsigned long)(UINT_PTR)window,
           (unsigned long)pid, (unsigned long)tid);
}

static BOOL HiddenWindowExists(void* context) {
    (void)context;
    return HiddenWindow() != NULL;
}

static BOOL HiddenWindowGone(void* context) {
    (void)context;
    return HiddenWindow() == NULL;
}

static int Find(void) {
    HWND window = HiddenWindow();
    if (!window) {
        puts("nowindow");
        return 1;
    }
    PrintWindowLine("window", window);
    return 0;
}

static int WaitWindow(DWORD timeoutMs) {
    if (!WaitFor(HiddenWindowExists, NULL, timeoutMs)) {
        puts("timeout");
        return 1;
    }
    return Find();
}

static int WaitGone(DWORD timeoutMs) {
    return Await(HiddenWindowGone, NULL, timeoutMs, "gone");
}

static int Alive(void) {
    HWND window = HiddenWindow();
    DWORD_PTR ignored = 0;
    BOOL answered =
        window && SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 1000, &ignored) != 0;
    printf("alive %d\n", answered ? 1 : 0);
    return answered ? 0 : 1;
}

// Asks of the agent's query made while waiting, each awaited for at most limitMs.
struct Asks {
    HWND window;
    UINT query;
    DWORD limitMs;
    unsigned long count;
    unsigned long unanswered;
    DWORD slowest;
};

static BOOL StartAsking(struct Asks* asks, DWORD limitMs) {
    asks->window = HiddenWindow();
    asks->limitMs = limitMs;
    asks->query = RegisterWindowMessageA(ZV_QUERY_MESSAGE);
    asks->count = asks->unanswered = asks->slowest = 0;
    if (!asks->window || !asks->query) {
        puts("nowindow");
        return FALSE;
    }
    return TRUE;
}

// Asks one question (a ZV_QUERY_ wParam); FALSE when the answer took too long.
static BOOL Ask(struct Asks* asks, WPARAM what, DWORD_PTR* answer) {
    DWORD asked = GetTickCount();
    BOOL answered = SendMessageTimeoutA(asks->window, asks->query, what, 0, SMTO_NORMAL,
                                        asks->limitMs, answer) != 0;
    DWORD took = GetTickCount() - asked;
    ++asks->count;
    if (took > asks->slowest)
        asks->slowest = took;
    if (!answered)
        ++asks->unanswered;
    return answered;
}

// Prints "<word> asks=N slowest=MS unanswered=N" and gives the exit code: 0 only when the
// awaited thing happened and every ask was answered in time.
static int EndAsking(const struct Asks* asks, const char* word, BOOL happened) {
    printf("%s asks=%lu slowest=%lu unanswered=%lu\n", word, asks->count,
           (unsigned long)asks->slowest, asks->unanswered);
    return happened && asks->unanswered == 0 ? 0 : 1;
}

static int PollDelay(void) {
    struct Asks asks;
    DWORD_PTR delay = 0;
    if (!StartAsking(&asks, 2000))
        return 1;
    if (!Ask(&asks, ZV_QUERY_POLL_DELAY, &delay)) {
        puts("nowindow");
        return 1;
    }
    printf("delay ms=%lu\n", (unsigned long)delay);
    return 0;
}

static int WatchPoll(DWORD timeoutMs) {
    struct Asks asks;
    if (!StartAsking(&asks, 1000))
        return 1;
    DWORD start = GetTickCount();
    BOOL seen = FALSE;
    while (GetTickCount() - start < timeoutMs && IsWindow(asks.window)) {
        DWORD_PTR running = 0;
        if (Ask(&asks, ZV_QUERY_POLL_RUNNING, &running)) {
            if (running == 1 && !seen) {
                seen = TRUE;
                puts("watching");
            } else if (running == 0 && seen) {
                return EndAsking(&asks, "watched", TRUE);
            }
        }
        Sleep(POLL_MS / 5);
    }
    return EndAsking(&asks, "timeout", FALSE);
}

static int WaitReport(DWORD timeoutMs) {
    struct Asks asks;
    if (!StartAsking(&asks, 2000))
        return 1;
    DWORD start = GetTickCount();
    while (GetTickCount() - start < timeoutMs && IsWindow(asks.window)) {
        DWORD_PTR running = 1;
        DWORD_PTR delay = 0;
        if (Ask(&asks, ZV_QUERY_POLL_RUNNING, &running) && running == 0 &&
            Ask(&asks, ZV_QUERY_POLL_DELAY, &delay) && delay != 0 &&
            delay != ZV_FIRST_POLL_DELAY_MS) {
            printf("delay ms=%lu\n", (unsigned long)delay);
            return EndAsking(&asks, "reported", TRUE);
        }
        Sleep(POLL_MS / 5);
    }
    return EndAsking(&asks, "timeout", FALSE);
}

static int EscapeToHidden(void) {
    HWND window = HiddenWindow();
    if (!window) {
        puts("nowindow");
        return 1;
    }
    PressKey(window, VK_ESCAPE);
    puts("pressed escape");
    return 0;
}

static int PostToHidden(UINT message, WPARAM wParam, LPARAM lParam) {
    HWND window = HiddenWindow();
    if (!window || !PostMessageA(window, message, wParam, lParam)) {
        puts("nowindow");
        return 1;
    }
    printf("posted message=%u wparam=%lu lparam=%ld\n", message, (unsigned long)wParam,
           (long)lParam);
    return 0;
}

static int Tray(const char* button) {
    LPARAM mouse;
    if (strcmp(button, "left") == 0)
        mouse = WM_LBUTTONUP;
    else if (strcmp(button, "right") == 0)
        mouse = WM_RBUTTONUP;
    else
        mouse = atoi(button);
    return PostToHidden(ZV_TRAY_MESSAGE, ZV_TRAY_ICON_ID, mouse);
}

static BOOL CALLBACK PrintTopLevel(HWND window, LPARAM context) {
    (void)context;
    char title[256] = "";
    char className[256] = "";
    RECT rect = {0, 0, 0, 0};
    DWORD pid = 0;
    GetWindowTextA(window, title, sizeof title);
    GetClassNameA(window, className, sizeof className);
    GetWindowRect(window, &rect);
    GetWindowThreadProcessId(window, &pid);
    printf("window hwnd=0x%lx pid=%lu visible=%d front=%d rect=%ld,%ld,%ld,%ld class=%s "
           "title=%s\n",
           (unsigned long)(UINT_PTR)window, (unsigned long)pid, IsWindowVisible(window) ? 1 : 0,
           GetForegroundWindow() == window ? 1 : 0, rect.left, rect.top, rect.right, rect.bottom,
           className, title);
    return TRUE;
}

static int Windows(void) {
    EnumWindows(PrintTopLevel, 0);
    return 0;
}

static BOOL MenuOpen(void* context) {
    *(HWND*)context = OpenMenuWindow();
    return *(HWND*)context != NULL;
}

static BOOL MenuClosed(void* context) {
    (void)context;
    return OpenMenuWindow() == NULL;
}

static HWND WaitMenu(DWORD timeoutMs) {
    HWND menu = NULL;
    if (!WaitFor(MenuOpen, &menu, timeoutMs)) {
        puts("nomenu");
        return NULL;
    }
    return menu;
}

static void MenuDumpPath(char* path, DWORD size) {
    DWORD length = GetTempPathA(size, path);
    lstrcpynA(path + length, "zv-drive-menu.txt", (int)(size - length));
}

// Has the hook write the menu's items into the dump file; the hook runs on the menu's own
// thread when the registered message arrives there.
static BOOL DumpMenu(HWND menuWindow, char* path, DWORD size) {
    HMODULE hookModule = LoadLibraryA("zv-drive-hook.dll");
    HOOKPROC hookProc = hookModule ? (HOOKPROC)GetProcAddress(hookModule, "ZvDriveHook") : NULL;
    if (!hookProc) {
        puts("error nohook");
        return FALSE;
    }
    MenuDumpPath(path, size);
    DeleteFileA(path);
    DWORD thread = GetWindowThreadProcessId(menuWindow, NULL);
    HHOOK hook = SetWindowsHookExA(WH_CALLWNDPROC, hookProc, hookModule, thread);
    HMENU menu = (HMENU)SendMessageA(menuWindow, MN_GETHMENU, 0, 0);
    DWORD_PTR ignored = 0;
    BOOL answered = hook && menu &&
                    SendMessageTimeoutA(menuWindow, RegisterWindowMessageA("ZvDriveDumpMenu"),
                                        (WPARAM)menu, 0, SMTO_ABORTIFHUNG, 2000, &ignored);
    if (hook)
        UnhookWindowsHookEx(hook);
    if (!answered || GetFileAttributesA(path) == INVALID_FILE_ATTRIBUTES) {
        puts("error nodump");
        return FALSE;
    }
    return TRUE;
}

// Prints the dump file and returns the number of keyboard steps (Down presses) that select
// the item with the wanted id, or 0 when it is not there. Separators take no step.
static int PrintDump(const char* path, long wantedId) {
    FILE* dump = fopen(path, "r");
    char line[1700];
    int steps = 0;
    int found = 0;
    if (!dump)
        return 0;
    while (fgets(line, sizeof line, dump)) {
        fputs(line, stdout);
        long id = 0;
        int separator = 0;
        const char* idField = strstr(line, " id=");
        const char* separatorField = strstr(line, " separator=");
        if (idField)
            id = strtol(idField + 4, NULL, 10);
        if (separatorField)
            separator = atoi(separatorField + 11);
        if (found || separator)
            continue;
        steps++;
        if (id == wantedId)
            found = steps;
    }
    fclose(dump);
    return found;
}

// Waits for an open menu, names it and has its items dumped to path; NULL when that fails.
static HWND WaitDumpedMenu(DWORD timeoutMs, char* path, DWORD size) {
    HWND menuWindow = WaitMenu(timeoutMs);
    if (!menuWindow)
        return NULL;
    PrintWindowLine("menu", menuWindow);
    return DumpMenu(menuWindow, path, size) ? menuWindow : NULL;
}

static int Menu(DWORD timeoutMs) {
    char path[MAX_PATH];
    if (!WaitDumpedMenu(timeoutMs, path, sizeof path))
        return 1;
    PrintDump(path, -1);
    return 0;
}

static int Choose(long id, DWORD timeoutMs) {
    char path[MAX_PATH];
    HWND menuWindow = WaitDumpedMenu(timeoutMs, path, sizeof path);
    if (!menuWindow)
        return 1;
    int steps = PrintDump(path, id);
    if (steps == 0) {
        printf("noitem id=%ld\n", id);
        return 1;
    }
    for (int step = 0; step < steps; step++)
        PressKey(menuWindow, VK_DOWN);
    PressKey(menuWindow, VK_RETURN);
    printf("chose id=%ld steps=%d\n", id, steps);
    return 0;
}

static int CloseMenu(DWORD timeoutMs) {
    HWND menuWindow = WaitMenu(timeoutMs);
    if (!menuWindow)
        return 1;
    PressKey(menuWindow, VK_ESCAPE);
    puts("closed");
    return 0;
}

static int WaitMenuGone(DWORD timeoutMs) {
    return Await(MenuClosed, NULL, timeoutMs, "nomenu");
}

// Opens a tray menu as a click does, lists its items and closes it again with Escape.
static int LookAtMenu(const char* button, DWORD timeoutMs) {
    char path[MAX_PATH];
    HWND menuWindow = Tray(button) == 0 ? WaitDumpedMenu(timeoutMs, path, sizeof path) : NULL;
    if (!menuWindow)
        return 1;
    PrintDump(path, -1);
    PressKey(menuWindow, VK_ESCAPE);
    if (!WaitFor(MenuClosed, NULL, 3000)) {
        puts("notclosed");
        return 3;
    }
    return 0;
}

struct TitleSearch {
    const char* text;
    HWND found;
};

static BOOL CALLBACK MatchTitle(HWND window, LPARAM context) {
    struct TitleSearch* search = (struct TitleSearch*)context;
    char title[256] = "";
    GetWindowTextA(window, title, sizeof title);
    if (IsWindowVisible(window) && strstr(title, search->text)) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

static BOOL TitleShown(void* context) {
    struct TitleSearch* search = context;
    search->found = NULL;
    EnumWindows(MatchTitle, (LPARAM)search);
    return search->found != NULL;
}

static HWND WaitTitledWindow(const char* text, DWORD timeoutMs) {
    struct TitleSearch search = {text, NULL};
    if (!WaitFor(TitleShown, &search, timeoutMs)) {
        puts("timeout");
        return NULL;
    }
    PrintTopLevel(search.found, 0);
    return search.found;
}

static int WaitTitle(const char* text, DWORD timeoutMs) {
    return WaitTitledWindow(text, timeoutMs) ? 0 : 1;
}

static BOOL TitleGone(void* context) {
    return !TitleShown(context);
}

static int WaitNoTitle(const char* text, DWORD timeoutMs) {
    struct TitleSearch search = {text, NULL};
    return Await(TitleGone, &search, timeoutMs, "notitle");
}

static BOOL CALLBACK PrintChild(HWND child, LPARAM context) {
    (void)context;
    char text[512] = "";
    char className[256] = "";
    DWORD_PTR ignored = 0;
    // GetWindowText reads only the caption of another process's window, never the text of
    // an edit control; WM_GETTEXT asks the control itself.
    SendMessageTimeoutA(child, WM_GETTEXT, sizeof text, (LPARAM)text, SMTO_ABORTIFHUNG, 1000,
                        &ignored);
    GetClassNameA(child, className, sizeof className);
    for (char* c = text; *c; c++) {
        if (*c == '\n' || *c == '\r')
            *c = ' ';
    }
    printf("child id=%d visible=%d enabled=%d class=%s text=%s\n", GetDlgCtrlID(child),
           IsWindowVisible(child) ? 1 : 0, IsWindowEnabled(child) ? 1 : 0, className, text);
    return TRUE;
}

static int Children(const char* text, DWORD timeoutMs) {
    HWND window = WaitTitledWindow(text, timeoutMs);
    if (!window)
        return 1;
    EnumChildWindows(window, PrintChild, 0);
    return 0;
}

static int Press(const char* text, int buttonId, DWORD timeoutMs) {
    HWND window = WaitTitledWindow(text, timeoutMs);
    HWND button = window ? GetDlgItem(window, buttonId) : NULL;
    if (!button) {
        printf("nobutton id=%d\n", buttonId);
        return 1;
    }
    PostMessageA(window, WM_COMMAND, MAKEWPARAM(buttonId, BN_CLICKED), (LPARAM)button);
    printf("pressed id=%d\n", buttonId);
    return 0;
}

static int Close(const char* text, DWORD timeoutMs) {
    HWND window = WaitTitledWindow(text, timeoutMs);
    if (!window || !PostMessageA(window, WM_CLOSE, 0, 0))
        return 1;
    puts("closing");
    return 0;
}

static LRESULT CALLBACK FullScreenProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_DESTROY)
        PostQuitMessage(0);
    return DefWindowProcA(window, message, wParam, lParam);
}

// A window of ours in front of all others over the whole screen, as a presentation or a
// game shows; the agent must hold its alerts while it is there.
static int FullScreen(void) {
    WNDCLASSA windowClass = {0};
    windowClass.lpfnWndProc = FullScreenProc;
    windowClass.hInstance = GetModuleHandleA(NULL);
    windowClass.hbrBackground = (HBRUSH)GetStockObject(BLACK_BRUSH);
    windowClass.lpszClassName = "ZvDriveFullScreen";
    RegisterClassA(&windowClass);
    HWND window =
        CreateWindowExA(0, windowClass.lpszClassName, FULL_SCREEN_TITLE, WS_POPUP | WS_VISIBLE, 0,
                        0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN), NULL, NULL,
                        windowClass.hInstance, NULL);
    if (!window)
        return 1;
    SetForegroundWindow(window);
    MSG message;
    while (GetMessageA(&message, NULL, 0, 0) > 0)
        DispatchMessageA(&message);
    return 0;
}

struct ClassSearch {
    const char* className;
    HWND found;
};

static BOOL VisibleOfClass(void* context) {
    struct ClassSearch* search = context;
    search->found = NULL;
    while ((search->found = FindWindowExA(NULL, search->found, search->className, NULL)) != NULL) {
        if (IsWindowVisible(search->found))
            return TRUE;
    }
    return FALSE;
}

// IAccessible's IID as the system has it: the toolchain's own was seen not to match.
static const IID kAccessibleIid = {
    0x618736e0, 0x3c3d, 0x11cf, {0x81, 0x0c, 0x00, 0xaa, 0x00, 0x38, 0x9b, 0x71}};

static int Accessible(const char* className, DWORD timeoutMs) {
    struct ClassSearch search = {className, NULL};
    if (!WaitFor(VisibleOfClass, &search, timeoutMs)) {
        puts("timeout");
        return 1;
    }
    IAccessible* object = NULL;
    CoInitialize(NULL);
    HRESULT result =
        AccessibleObjectFromWindow(search.found, OBJID_CLIENT, &kAccessibleIid, (void**)&object);
    if (FAILED(result) || !object) {
        printf("error hresult=0x%lx\n", (unsigned long)result);
        return 1;
    }
    VARIANT self;
    VariantInit(&self);
    self.vt = VT_I4;
    self.lVal = CHILDID_SELF;
    VARIANT role;
    VariantInit(&role);
    BSTR name = NULL;
    object->lpVtbl->get_accRole(object, self, &role);
    object->lpVtbl->get_accName(object, self, &name);
    char text[1024] = "";
    if (name)
        WideCharToMultiByte(CP_UTF8, 0, name, -1, text, sizeof text, NULL, NULL);
    printf("accessible role=%ld text=%s\n", role.vt == VT_I4 ? (long)role.lVal : -1L, text);
    SysFreeString(name);
    object->lpVtbl->Release(object);
    CoUninitialize();
    return 0;
}

static DWORD Milliseconds(const char* text) {
    return (DWORD)strtoul(text, NULL, 10);
}

int main(int argc, char** argv) {
    setvbuf(stdout, NULL, _IONBF, 0);
    // Window rectangles in real pixels: at a DPI above 96 the system would otherwise scale
    // them down for a program that has not said it knows about DPI.
    SetProcessDPIAware();
    const char* command = argc > 1 ? argv[1] : "";
    long id = 0;
    if (strcmp(command, "find") == 0)
        return Find();
    if (strcmp(command, "alive") == 0)
        return Alive();
    if (strcmp(command, "poll-delay") == 0)
        return PollDelay();
    if (strcmp(command, "windows") == 0)
        return Windows();
    if (strcmp(command, "escape") == 0)
        return EscapeToHidden();
    if (strcmp(command, "fullscreen") == 0)
        return FullScreen();
    if (argc > 2) {
        if (strcmp(command, "watch-poll") == 0)
            return WatchPoll(Milliseconds(argv[2]));
        if (strcmp(command, "wait-window") == 0)
            return WaitWindow(Milliseconds(argv[2]));
        if (strcmp(command, "wait-gone") == 0)
            return WaitGone(Milliseconds(argv[2]));
        if (strcmp(command, "wait-report") == 0)
            return WaitReport(Milliseconds(argv[2]));
        if (strcmp(command, "command") == 0 && CommandId(argv[2], &id))
            return PostToHidden(WM_COMMAND, (WPARAM)id, 0);
        if (strcmp(command, "tray") == 0)
            return Tray(argv[2]);
        if (strcmp(command, "menu") == 0)
            return Menu(Milliseconds(argv[2]));
        if (strcmp(command, "close-menu") == 0)
            return CloseMenu(Milliseconds(argv[2]));
        if (strcmp(command, "wait-menu-gone") == 0)
            return WaitMenuGone(Milliseconds(argv[2]));
    }
    if (argc > 3) {
        if (strcmp(command, "choose") == 0 && CommandId(argv[2], &id))
            return Choose(id, Milliseconds(argv[3]));
        if (strcmp(command, "look-menu") == 0)
            return LookAtMenu(argv[2], Milliseconds(argv[3]));
        if (strcmp(command, "post") == 0)
            return PostToHidden((UINT)strtoul(argv[2], NULL, 10),
                                (WPARAM)strtoul(argv[3], NULL, 10), 0);
        if (strcmp(command, "wait-title") == 0)
            return WaitTitle(argv[2], Milliseconds(argv[3]));
        if (strcmp(command, "wait-no-title") == 0)
            return WaitNoTitle(argv[2], Milliseconds(argv[3]));
        if (strcmp(command, "children") == 0)
            return Children(argv[2], Milliseconds(argv[3]));
        if (strcmp(command, "close") == 0)
            return Close(argv[2], Milliseconds(argv[3]));
        if (strcmp(command, "accessible") == 0)
            return Accessible(argv[2], Milliseconds(argv[3]));
    }
    if (argc > 4 && strcmp(command, "press") == 0)
        return Press(argv[2], atoi(argv[3]), Milliseconds(argv[4]));
    fputs("usage: zv-drive find|alive|poll-delay|windows|escape|watch-poll ms|"
          "wait-report ms|wait-window ms|wait-gone ms|command name-or-id|"
          "post message wparam|tray left|right|n|menu ms|look-menu left|right ms|"
          "choose name-or-id ms|close-menu ms|wait-menu-gone ms|"
          "wait-title text ms|wait-no-title text ms|children text ms|press text id ms|"
          "close text ms|fullscreen|accessible class ms\n",
          stderr);
    return 2;
}
