#pragma once
// The stored settings' side of a poll, on the main thread: what the worker gets when a poll
// starts, and what the store keeps when it has ended.
#include "AgentSettings.h"
#include "PollResult.h"

// Trims urlHost, and proxyHost when the proxy is used, in place in the settings (so the
// trimmed values are what is saved) and copies what a poll needs. Main thread.
PollSettings SnapshotPollSettings(CAgentSettings& settings);

// Stores what a finished poll found: a new list (epoch, at most kMostStoredEntries entries,
// their count, then reload) and, only after a successful GET and parse, the new
// Last-Modified value. Main thread.
void ApplyPollResult(CAgentSettings& settings, const PollResult& result);
