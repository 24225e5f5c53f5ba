// Drives a running agent through a soak from inside Wine, in one process so that thousands
// of steps cost milliseconds rather than a Wine start each:
//   zv-soak-drive <news-file> <polls> <agent-linux-pid> [checkpoint]
// <news-file> is the file nginx serves as the news list (a Z:\ path). Each poll is a Refresh
// that, in turn, finds a new edition (the file rewritten with a new epoch and a new time),
// an unchanged list, or a failure (the file gone, so the server answers 404). Each poll is
// followed by a Disable and an Enable and by opening a tray menu (right and left click in
// turn) and closing it with Escape.
//
// The agent answers its registered query message (res/contract.h) with the live count of
// one kind of its wrapped GDI and USER objects or whether a poll runs. Private memory is read on
// the Linux side from /proc/<pid>/smaps_rollup, which Wine shows under Z:\. Output lines: "counts
// <label> k=v..", "memory <label> k=v.." and a final "soak .." summary; exit code 0 when every
// check held.
#include "agent-window.h"
#include "resource.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#define POPUP_CLASS "ZavoraNewsPopup"
#define KINDS ZV_QUERY_HANDLE_KINDS
#define POLL_TIMEOUT_MS 90000
#define MENU_TIMEOUT_MS 5000
#define SETTLE_TIMEOUT_MS 30000
#define GROWTH_LIMIT_KIB 1024

static const char* const kKindNames[KINDS] = {"icon",   "menu",    "font", "brush",
                                              "bitmap", "palette", "dc"};

typedef struct {
    HWND agent;
    UINT query;
    const char* newsFile;
    unsigned long linuxPid;
    int failures;
    int popupsSeen;
} Soak;

static void Fail(Soak* soak, const char* what, int poll) {
    printf("problem poll=%d %s\n", poll, what);
    fflush(stdout);
    ++soak->failures;
}

static LRESULT Ask(const Soak* soak, WPARAM what) {
    DWORD_PTR answer = (DWORD_PTR)-1;
    if (!SendMessageTimeoutA(soak->agent, soak->query, what, 0, SMTO_NORMAL, 5000, &answer))
        return -1;
    return (LRESULT)answer;
}

static void ReadCounts(const Soak* soak, long counts[KINDS]) {
    for (int kind = 0; kind < KINDS; ++kind)
        counts[kind] = (long)Ask(soak, (WPARAM)kind);
}

static void PrintCounts(const char* label, const long counts[KINDS]) {
    printf("counts %s", label);
    for (int kind = 0; kind < KINDS; ++kind)
        printf(" %s=%ld", kKindNames[kind], counts[kind]);
    printf("\n");
    fflush(stdout);
}

static BOOL SameCounts(const long a[KINDS], const long b[KINDS]) {
    for (int kind = 0; kind < KINDS; ++kind) {
        if (a[kind] != b[kind])
            return FALSE;
    }
    return TRUE;
}

// A popup that is still sliding holds its bitmap and device contexts; the counts are
// compared once it has gone, so they are read until they match or time runs out.
static BOOL SettleCounts(const Soak* soak, const long baseline[KINDS], long counts[KINDS]) {
    DWORD start = GetTickCount();
    for (;;) {
        ReadCounts(soak, counts);
        if (SameCounts(counts, baseline) || GetTickCount() - start > SETTLE_TIMEOUT_MS)
            return SameCounts(counts, baseline);
        Sleep(200);
    }
}

// Anonymous and Private_Dirty of the agent's Linux process, in KiB.
static BOOL ReadMemory(const Soak* soak, long* anonymous, long* privateDirty, long* rss) {
    char path[64];
    char text[4096];
    snprintf(path, sizeof path, "Z:\\proc\\%lu\\smaps_rollup", soak->linuxPid);
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                              OPEN_EXISTING, 0, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return FALSE;
    DWORD length = 0;
    BOOL read = ReadFile(file, text, sizeof text - 1, &length, NULL);
    CloseHandle(file);
    if (!read || length == 0)
        return FALSE;
    text[length] = '\0';
    const char* anon = strstr(text, "\nAnonymous:");
    const char* dirty = strstr(text, "\nPrivate_Dirty:");
    const char* resident = strstr(text, "\nRss:");
    if (!anon || !dirty || !resident)
        return FALSE;
    *anonymous = strtol(anon + strlen("\nAnonymous:"), NULL, 10);
    *privateDirty = strtol(dirty + strlen("\nPrivate_Dirty:"), NULL, 10);
    *rss = strtol(resident + strlen("\nRss:"), NULL, 10);
    return TRUE;
}

static long PrintMemory(Soak* soak, const char* label, int poll) {
    long anonymous = 0, privateDirty = 0, rss = 0;
    if (!ReadMemory(soak, &anonymous, &privateDirty, &rss)) {
        Fail(soak, "memory-unreadable", poll);
        return -1;
    }
    printf("memory %s anonymous_kib=%ld private_dirty_kib=%ld rss_kib=%ld\n", label, anonymous,
           privateDirty, rss);
    fflush(stdout);
    return anonymous;
}

static BOOL WriteNews(const char* path, int edition) {
    char text[256];
    int length = snprintf(text, sizeof text,
                          "edition-%d\n2026-12-07 Soak edition %d\n"
                          "http://www.zavora.example/news/%d\n",
                          edition, edition, edition);
    HANDLE file = CreateFileA(path, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return FALSE;
    DWORD written = 0;
    BOOL ok = WriteFile(file, text, (DWORD)length, &written, NULL) && written == (DWORD)length;
    // A new edition must also be a new Last-Modified: one minute later per edition.
    SYSTEMTIME base = {2026, 12, 1, 7, 0, 0, 0, 0};
    FILETIME when;
    SystemTimeToFileTime(&base, &when);
    ULARGE_INTEGER ticks;
    ticks.LowPart = when.dwLowDateTime;
    ticks.HighPart = when.dwHighDateTime;
    ticks.QuadPart += (ULONGLONG)edition * 60 * 10000000ULL;
    when.dwLowDateTime = ticks.LowPart;
    when.dwHighDateTime = ticks.HighPart;
    ok = SetFileTime(file, NULL, NULL, &when) && ok;
    CloseHandle(file);
    return ok;
}

static BOOL StoredEpochIs(int edition) {
    char expected[32];
    char value[64] = "";
    DWORD size = sizeof value - 1;
    HKEY key;
    snprintf(expected, sizeof expected, "edition-%d", edition);
    if (RegOpenKeyExA(HKEY_CURRENT_USER, ZV_REG_DATA_KEY, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return FALSE;
    LONG status = RegQueryValueExA(key, "epoch", NULL, NULL, (BYTE*)value, &size);
    RegCloseKey(key);
    return status == ERROR_SUCCESS && strcmp(value, expected) == 0;
}

static BOOL WaitPollDone(const Soak* soak) {
    DWORD start = GetTickCount();
    for (;;) {
        LRESULT running = Ask(soak, ZV_QUERY_POLL_RUNNING);
        if (running == 0)
            return TRUE;
        if (running < 0 || GetTickCount() - start > POLL_TIMEOUT_MS)
            return FALSE;
        Sleep(2);
    }
}

static HWND WaitMenu(BOOL open) {
    DWORD start = GetTickCount();
    for (;;) {
        HWND menu = OpenMenuWindow();
        if ((menu != NULL) == open)
            return open ? menu : (HWND)1;
        if (GetTickCount() - start > MENU_TIMEOUT_MS)
            return NULL;
        Sleep(2);
    }
}

static void OpenAndCloseMenu(Soak* soak, int poll) {
    const LPARAM click = (poll % 2) ? WM_LBUTTONUP : WM_RBUTTONUP;
    // The menu runs inside the agent's handler, so the callback is posted, not sent.
    PostMessageA(soak->agent, ZV_TRAY_MESSAGE, ZV_TRAY_ICON_ID, click);
    HWND menu = WaitMenu(TRUE);
    if (!menu) {
        Fail(soak, "menu-did-not-open", poll);
        return;
    }
    PressKey(menu, VK_ESCAPE);
    if (!WaitMenu(FALSE))
        Fail(soak, "menu-did-not-close", poll);
}

static BOOL PopupVisible(void) {
    HWND popup = FindWindowA(POPUP_CLASS, NULL);
    return popup && IsWindowVisible(popup);
}

static void RunPoll(Soak* soak, int poll, int* edition) {
    const int kind = poll % 3;
    if (kind == 0) {
        ++*edition;
        if (!WriteNews(soak->newsFile, *edition))
            Fail(soak, "news-not-written", poll);
    } else if (kind == 2) {
        DeleteFileA(soak->newsFile);
    }
    SendMessageA(soak->agent, WM_COMMAND, ID_TASKBAR_REFRESH, 0);
    if (!WaitPollDone(soak)) {
        Fail(soak, "poll-did-not-report", poll);
        return;
    }
    if (kind == 0 && !StoredEpochIs(*edition))
        Fail(soak, "new-edition-not-stored", poll);
    if (kind == 0 && PopupVisible())
        ++soak->popupsSeen;
    // A failed poll leaves no file; the next unchanged poll must find the last edition.
    if (kind == 2 && !WriteNews(soak->newsFile, *edition))
        Fail(soak, "news-not-restored", poll);
}

int main(int argc, char** argv) {
    if (argc < 4) {
        fputs("usage: zv-soak-drive <news-file> <polls> <agent-linux-pid> [checkpoint]\n", stderr);
        return 2;
    }
    Soak soak = {0};
    soak.newsFile = argv[1];
    const int polls = atoi(argv[2]);
    soak.linuxPid = strtoul(argv[3], NULL, 10);
    const int checkpoint = argc > 4 ? atoi(argv[4]) : 200;
    soak.agent = HiddenWindow();
    soak.query = RegisterWindowMessageA(ZV_QUERY_MESSAGE);
    if (!soak.agent || !soak.query) {
        puts("problem poll=0 no-agent-window");
        return 1;
    }
    if (Ask(&soak, ZV_QUERY_POLL_RUNNING) < 0) {
        puts("problem poll=0 agent-does-not-answer-counts");
        return 1;
    }
    if (!WaitPollDone(&soak)) {
        puts("problem poll=0 first-poll-did-not-report");
        return 1;
    }
    // Edition 0 with its Last-Modified becomes what the agent knows, so that poll 1, the
    // first unchanged one, finds nothing new.
    int edition = 0;
    if (!WriteNews(soak.newsFile, edition)) {
        puts("problem poll=0 news-not-written");
        return 1;
    }
    SendMessageA(soak.agent, WM_COMMAND, ID_TASKBAR_REFRESH, 0);
    if (!WaitPollDone(&soak) || !StoredEpochIs(edition)) {
        puts("problem poll=0 edition-0-not-taken");
        return 1;
    }

    long start[KINDS], baseline[KINDS], counts[KINDS], peak[KINDS];
    ReadCounts(&soak, start);
    ReadCounts(&soak, peak);
    PrintCounts("start", start);
    long anonymousAtCheckpoint = -1, anonymousAtEnd = -1;
    const int warmUp = 6; // two of each poll kind, menus of both kinds shown
    DWORD began = GetTickCount();
    for (int poll = 1; poll <= polls; ++poll) {
        RunPoll(&soak, poll, &edition);
        SendMessageA(soak.agent, WM_COMMAND, ID_TASKBAR_DISABLE, 0);
        SendMessageA(soak.agent, WM_COMMAND, ID_TASKBAR_DISABLE, 0);
        OpenAndCloseMenu(&soak, poll);
        // What the popup and the menus hold while they are up, to show they were exercised.
        ReadCounts(&soak, counts);
        for (int kind = 0; kind < KINDS; ++kind) {
            if (counts[kind] > peak[kind])
                peak[kind] = counts[kind];
        }
        if (poll == warmUp || (polls < warmUp && poll == polls)) {
            SettleCounts(&soak, start, baseline);
            PrintCounts("baseline", baseline);
        }
        if (poll == checkpoint) {
            anonymousAtCheckpoint = PrintMemory(&soak, "checkpoint", poll);
            if (!SettleCounts(&soak, baseline, counts))
                Fail(&soak, "counts-off-baseline", poll);
            PrintCounts("checkpoint", counts);
        }
        if (poll % 100 == 0) {
            printf("progress poll=%d seconds=%lu\n", poll, (GetTickCount() - began) / 1000);
            fflush(stdout);
        }
    }
    anonymousAtEnd = PrintMemory(&soak, "end", polls);
    if (!SettleCounts(&soak, baseline, counts))
        Fail(&soak, "counts-off-baseline", polls);
    PrintCounts("end", counts);
    PrintCounts("peak", peak);
    long growth = anonymousAtCheckpoint >= 0 && anonymousAtEnd >= 0
                      ? anonymousAtEnd - anonymousAtCheckpoint
                      : -1;
    if (growth >= GROWTH_LIMIT_KIB)
        Fail(&soak, "memory-grew", polls);
    printf("soak polls=%d editions=%d popups_seen=%d seconds=%lu growth_kib=%ld problems=%d\n",
           polls, edition, soak.popupsSeen, (GetTickCount() - began) / 1000, growth, soak.failures);
    return soak.failures == 0 ? 0 : 1;
}
