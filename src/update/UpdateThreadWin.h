#pragma once
// Runs one poll on a worker thread and posts its one PollResult to the main window.
#include "AgentMessagesWin.h"
#include "PollResult.h"

// Starts the worker. False when the thread cannot be started; the caller then ends the
// poll as an error itself.
bool StartPollThread(HWND window, const PollSettings& settings);
