// Stands in for a web browser in test prefixes, where it is registered for ".html": it
// appends the command line it was started with, exactly as received, as one line to the
// file named by ZV_RECORDER_LOG, or to zv-url-recorder.log next to itself.
#include <windows.h>

#include <string.h>

static void GetLogPath(char* path, DWORD size) {
    DWORD length = GetEnvironmentVariableA("ZV_RECORDER_LOG", path, size);
    if (length > 0 && length < size)
        return;
    length = GetModuleFileNameA(NULL, path, size - 8);
    char* dot = strrchr(path, '.');
    strcpy(dot ? dot : path + length, ".log");
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int show) {
    (void)instance;
    (void)previous;
    (void)commandLine;
    (void)show;
    char path[MAX_PATH + 8];
    GetLogPath(path, sizeof(path));
    HANDLE file = CreateFileA(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return 1;
    // One write per line, so that a reader never sees half a command line with its end.
    const char* received = GetCommandLineA();
    const size_t length = strlen(received);
    char* line = (char*)HeapAlloc(GetProcessHeap(), 0, length + 1);
    DWORD written = 0;
    BOOL ok = FALSE;
    if (line) {
        memcpy(line, received, length);
        line[length] = '\n';
        ok = WriteFile(file, line, (DWORD)(length + 1), &written, NULL);
        HeapFree(GetProcessHeap(), 0, line);
    }
    CloseHandle(file);
    return ok ? 0 : 1;
}
