#include "PollStore.h"

#include "Feed.h"

#include <algorithm>

PollSettings SnapshotPollSettings(CAgentSettings& settings) {
    settings.urlHost.Trim();
    if (settings.useProxy > 0) {
        settings.proxyHost.Trim();
    }
    PollSettings snapshot;
    snapshot.urlHost = settings.urlHost;
    snapshot.urlPort = settings.urlPort;
    snapshot.urlPath = settings.urlPath;
    snapshot.useProxy = settings.useProxy;
    snapshot.proxyHost = settings.proxyHost;
    snapshot.proxyPort = settings.proxyPort;
    snapshot.useProxyAuth = settings.useProxyAuth;
    snapshot.authUsername = settings.authUsername;
    snapshot.authPassword = settings.authPassword;
    snapshot.urlScheme = settings.urlScheme;
    // Any proxySource but "none", in any case, follows Windows' proxy settings, as the default
    // "system" does.
    snapshot.windowsProxy = settings.proxySource.CompareNoCase("none") != 0;
    snapshot.lastModified = settings.lastModified;
    snapshot.epoch = settings.epoch;
    for (int index = 0; index < settings.numEntries; ++index)
        snapshot.knownEntries += FeedEntryKey(settings.Entry(index));
    return snapshot;
}

void ApplyPollResult(CAgentSettings& settings, const PollResult& result) {
    // A failed poll stores nothing, not even a changed Last-Modified value: otherwise one
    // failed GET would hide the new list until the server's document changed again.
    if (result.outcome == PollOutcome::Error) {
        return;
    }
    if (result.lastModifiedChanged) {
        settings.lastModified = result.lastModified;
        settings.StoreLastModified(result.lastModified);
    }
    if (result.outcome != PollOutcome::NewPostings) {
        return;
    }
    settings.StoreEpoch(result.epoch);
    // Never more than a load reads back, so the stored count is what a restart shows.
    const int count = std::min(static_cast<int>(result.entries.size()), kMostStoredEntries);
    for (int index = 0; index < count; ++index) {
        const NewsEntry& entry = result.entries[static_cast<size_t>(index)];
        settings.StoreEntry(index, entry.date, entry.title, entry.url);
    }
    settings.StoreEntryCount(count);
    settings.LoadNews();
}
