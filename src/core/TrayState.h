#pragma once
// What the tray icon shows for the controller's state: one of six displays, each a still
// picture or an animation plus a tooltip suffix. Pure decisions; the window applies them.
#include "CString.h"

#include <optional>
#include <vector>

struct AgentFlags {
    bool shuttingDown = false;
    bool connecting = false;
    bool disabled = false;
    bool newPostings = false;
    bool couldNotConnect = false;
};

enum class TrayDisplay { Normal, Connecting, NewPostings, CouldNotConnect, Disabled, ShuttingDown };

struct TrayLook {
    std::vector<unsigned> icons; // one still picture, or the frames of an animation
    const char* tipSuffix;
};

// The display the flags call for, by precedence: shutting down, connecting, disabled, new
// postings, could not connect, normal. Connecting gives no display: the polling animation
// that the poll's start began keeps running.
std::optional<TrayDisplay> ChooseTrayDisplay(const AgentFlags& flags);

TrayLook LookOf(TrayDisplay display);

// The longest tooltip the notification area shows.
constexpr int kLongestTrayTip = 63;

// The tooltip base text followed directly by the display's suffix. A failed poll's brief
// reason goes inside its suffix, "(could not connect: HTTP 404)", when the whole tooltip
// stays within kLongestTrayTip.
CString TrayTip(TrayDisplay display, const CString& failureBrief = CString());

// Every icon id that some display uses, each once.
std::vector<unsigned> AllTrayIcons();
