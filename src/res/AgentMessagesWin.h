#pragma once
// The agent's private window messages, kept together so that no two of them collide.
#include "contract.h"

#include <windows.h>

// The tray icon reports mouse events to the hidden window with this message.
#define WM_TRAY_NOTIFY ZV_TRAY_MESSAGE
static_assert(WM_TRAY_NOTIFY >= WM_USER && WM_TRAY_NOTIFY < WM_APP, "a private window message");

// Posted to the hidden window when a poll ends. lParam is a PollResult* that the receiver
// owns and deletes; wParam is 0.
#define WM_POLL_DONE (WM_APP + 1)

// Posted by the sound player when the user's alert sound has played.
#define WM_SOUND_DONE (WM_APP + 2)

// Registered messages, each with the private value that stands in when registering fails.
// The shell broadcasts the first when the taskbar has been (re)created. Soak runs and the
// system tests send ZV_QUERY_MESSAGE (contract.h) to ask for the live counts of the objects the
// agent's wrappers own, since the system's own counters are stubs under Wine.
#define ZV_TASKBAR_CREATED_NAME "TaskbarCreated"
#define ZV_TASKBAR_CREATED_FALLBACK (WM_APP + 0x3FFF)
#define ZV_QUERY_FALLBACK (WM_APP + 0x3FFE)
