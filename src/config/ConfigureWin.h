#pragma once
// The Configure command: the configuration sheet with its Connection and Notification
// pages. Link zv_config_win (and zv_resources for the templates and strings).
#include "PageOpener.h"

#include <windows.h>

class CAgentSettings;

// Shows the sheet modally over owner (the owner is disabled meanwhile). When the user
// confirms with OK, copies both pages' values into settings, calls SaveSettings, loads the
// settings again (so that those set by policy hold the policy's values) and returns true;
// the caller then re-arms its poll timer if it was armed. Any other end returns false and
// leaves settings as they were, except the markers reset with Ctrl+R, which are stored at
// once. While the sheet is open, a second call brings it forward and returns false at once.
// Help pages open through openPage.
bool RunConfiguration(HWND owner, CAgentSettings& settings, PageOpener openPage);
