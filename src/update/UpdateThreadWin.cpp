#include "UpdateThreadWin.h"

#include "UpdateChecker.h"

namespace {

// What the worker owns: the window to report to and its copy of the settings.
struct PollJob {
    HWND window;
    PollSettings settings;
};

DWORD WINAPI UpdateThreadProc(LPVOID parameter) {
    PollJob* job = static_cast<PollJob*>(parameter);
    PollResult* result = new PollResult(RunPoll(job->settings));
    // The receiver owns the result once it is posted; a window that is gone never will.
    if (!PostMessageA(job->window, WM_POLL_DONE, 0, reinterpret_cast<LPARAM>(result))) {
        delete result;
    }
    delete job;
    return 0;
}

} // namespace

bool StartPollThread(HWND window, const PollSettings& settings) {
    PollJob* job = new PollJob{window, settings};
    DWORD threadId = 0;
    HANDLE thread = CreateThread(nullptr, 0, UpdateThreadProc, job, 0, &threadId);
    if (!thread) {
        delete job;
        return false;
    }
    // The worker is never joined; its handle is not needed.
    CloseHandle(thread);
    return true;
}
