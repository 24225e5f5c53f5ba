#pragma once
// The boundary between the main thread and a poll's worker thread. The worker never
// touches the stored settings: it gets a copy of what it needs when the poll starts and
// hands back one PollResult, which the main thread applies to the store before it reports.
#include "CString.h"
#include "PollFailure.h"
#include "ResponseParser.h"

#include <vector>

struct PollSettings {
    CString urlHost;
    CString urlPort;
    CString urlPath;
    int useProxy = 0;
    CString proxyHost;
    CString proxyPort;
    int useProxyAuth = 0;
    CString authUsername;
    CString authPassword;
    CString urlScheme = "http";
    // With useProxy off, follow Windows' proxy settings (proxySource is not "none").
    bool windowsProxy = true;
    CString lastModified; // stored marker to compare the HEAD reply with
    CString epoch;        // stored marker to compare the list's epoch with
    CString knownEntries; // the stored entries' FeedEntryKey, to tell a feed's new entries
};

enum class PollOutcome { NewPostings, NothingNew, Error };

struct PollResult {
    PollOutcome outcome = PollOutcome::Error;
    CString message;                  // error text when outcome is Error
    FailureReason reason;             // why, in words for people, when outcome is Error
    CString route;                    // the route taken when Windows' settings chose it
    bool lastModifiedChanged = false; // the HEAD reply's Last-Modified differed
    CString lastModified;             // that reply's Last-Modified text
    CString epoch;                    // the new list, when outcome is NewPostings
    std::vector<NewsEntry> entries;
};
