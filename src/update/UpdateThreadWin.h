#pragma once
// Runs one poll on a worker thread and posts its one PollResult to the main window.
#include "update/PollResult.h"

#include <windows.h>

// Posted to the main window when a poll ends. lParam is a PollResult* that the receiver
// owns and deletes; wParam is 0.
#define WM_POLL_DONE (WM_APP + 1)

// Starts the worker. False when the thread cannot be started; the caller then ends the
// poll as an error itself.
bool StartPollThread(HWND window, const PollSettings& settings);
