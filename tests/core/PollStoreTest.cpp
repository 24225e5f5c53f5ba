#include "PollStore.h"

#include "RegistryMem.h"
#include "contract.h"

#include <gtest/gtest.h>

#include <string>

namespace {

const char kData[] = ZV_REG_DATA_KEY;

std::string Stored(const char* name) {
    std::string text;
    return RegistryMem::GetText(kData, name, text) ? text : "<missing>";
}

class ApplyPollResultTest : public ::testing::Test {
protected:
    void SetUp() override {
        RegistryMem::Clear();
        RegistryMem::PutText(kData, "epoch", "old-epoch");
        RegistryMem::PutText(kData, "lastModified", "old-lm");
        RegistryMem::PutText(kData, "numentries", "3");
        for (int i = 0; i < 3; ++i) {
            std::string index = std::to_string(i);
            RegistryMem::PutText(kData, "Date_" + index, "old-date" + index);
            RegistryMem::PutText(kData, "Title_" + index, "old-title" + index);
            RegistryMem::PutText(kData, "URL_" + index, "old-url" + index);
        }
    }

    static PollResult NewList() {
        PollResult result;
        result.outcome = PollOutcome::NewPostings;
        result.lastModifiedChanged = true;
        result.lastModified = "new-lm";
        result.epoch = "new-epoch";
        result.entries = {{"d0", "t0", "u0"}, {"", "whole token", "u1"}};
        return result;
    }
};

TEST_F(ApplyPollResultTest, NewListIsStoredThenReloaded) {
    CAgentSettings settings;
    RegistryMem::ClearLog();
    ApplyPollResult(settings, NewList());

    EXPECT_EQ((std::vector<std::string>{"lastModified", "epoch", "Date_0", "Title_0", "URL_0",
                                        "Date_1", "Title_1", "URL_1", "numentries"}),
              RegistryMem::LoggedNames(RegistryMem::Op::Set));
    EXPECT_EQ(CString("new-epoch"), settings.epoch);
    EXPECT_EQ(CString("new-lm"), settings.lastModified);
    ASSERT_EQ(2, settings.numEntries);
    EXPECT_EQ(CString("whole token"), settings.titles[1]);
    EXPECT_EQ(CString(""), settings.dates[1]);
    // Entries of the earlier, longer list stay in the registry, unread.
    EXPECT_EQ("old-title2", Stored("Title_2"));
}

TEST_F(ApplyPollResultTest, WhatIsStoredForEachOutcome) {
    struct Row {
        const char* name;
        PollOutcome outcome;
        bool changed;
        const char* lastModified; // stored afterwards
    } rows[] = {
        // A failed GET after a changed Last-Modified stores nothing, so the next poll
        // fetches again.
        {"failed GET", PollOutcome::Error, true, "old-lm"},
        {"unchanged", PollOutcome::NothingNew, false, "old-lm"},
        {"same epoch", PollOutcome::NothingNew, true, "new-lm"},
    };
    for (const Row& row : rows) {
        SetUp();
        CAgentSettings settings;
        PollResult result;
        result.outcome = row.outcome;
        result.lastModifiedChanged = row.changed;
        result.lastModified = "new-lm";
        result.message = "Failed to read response from socket";
        ApplyPollResult(settings, result);
        EXPECT_EQ(row.lastModified, Stored("lastModified")) << row.name;
        EXPECT_EQ(CString(row.lastModified), settings.lastModified) << row.name;
        EXPECT_EQ("old-epoch", Stored("epoch")) << row.name;
        EXPECT_EQ(3, settings.numEntries) << row.name;
    }
}

TEST_F(ApplyPollResultTest, StoredCountIsWhatARestartLoads) {
    const struct {
        const char* name;
        int entries; // in the new list
        int stored;
    } rows[] = {
        {"empty list", 0, 0},
        {"exactly the most stored", kMostStoredEntries, kMostStoredEntries},
        {"one more than the most stored", kMostStoredEntries + 1, kMostStoredEntries},
        {"a huge list", 3 * kMostStoredEntries, kMostStoredEntries},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        SetUp();
        PollResult result = NewList();
        result.entries.assign(static_cast<size_t>(row.entries), NewsEntry{"d", "t", "u"});
        {
            CAgentSettings settings;
            ApplyPollResult(settings, result);
            EXPECT_EQ(row.stored, settings.numEntries);
            EXPECT_EQ(CString("new-epoch"), settings.epoch);
        }
        EXPECT_EQ(std::to_string(row.stored), Stored("numentries"));
        EXPECT_EQ("<missing>", Stored(("Title_" + std::to_string(kMostStoredEntries)).c_str()))
            << "never more values than a load reads";
        const CAgentSettings restarted;
        EXPECT_EQ(row.stored, restarted.numEntries);
    }
}

TEST_F(ApplyPollResultTest, SnapshotTrimsHostsInPlace) {
    CAgentSettings settings;
    settings.urlHost = " \tnews.example \r\n";
    settings.proxyHost = "  proxy  ";
    settings.useProxy = 0;
    PollSettings snapshot = SnapshotPollSettings(settings);
    EXPECT_EQ(CString("news.example"), settings.urlHost);
    EXPECT_EQ(CString("news.example"), snapshot.urlHost);
    EXPECT_EQ(CString("  proxy  "), snapshot.proxyHost); // not used, so left alone

    settings.useProxy = 1;
    snapshot = SnapshotPollSettings(settings);
    EXPECT_EQ(CString("proxy"), settings.proxyHost);
    EXPECT_EQ(CString("old-epoch"), snapshot.epoch);
    EXPECT_EQ(CString("old-lm"), snapshot.lastModified);
    // What tells a feed's entries from the stored ones: the addresses, or the titles.
    settings.urls[1].Empty();
    EXPECT_EQ(std::string("\0uold-url0\0\0told-title1\0\0uold-url2\0", 35),
              SnapshotPollSettings(settings).knownEntries.str());
}

// proxySource switches Windows' proxy settings off only when it says "none".
TEST_F(ApplyPollResultTest, SnapshotFollowsWindowsProxyUnlessSourceIsNone) {
    CAgentSettings settings;
    EXPECT_TRUE(SnapshotPollSettings(settings).windowsProxy) << "the default";
    const struct {
        const char* source;
        bool follows;
    } rows[] = {{"system", true}, {"none", false}, {"NONE", false}, {" none", true}};
    for (const auto& row : rows) {
        settings.proxySource = row.source;
        EXPECT_EQ(row.follows, SnapshotPollSettings(settings).windowsProxy) << row.source;
    }
}

} // namespace

// What people read about an answer that refused the poll: the whole reason and the
// tooltip's few words. The other failures' reasons are rows of the network tests.
TEST(FailureReason, Table) {
    const FailureKind Http = FailureKind::HttpStatus, Tunnel = FailureKind::TunnelRefused;
    struct Row {
        FailureKind kind;
        bool viaProxy, sentCredentials;
        const char* statusLine;
        const char* answer;
        const char* text;
        const char* brief;
    };
    const Row rows[] = {
        {Http, false, false, "HTTP/1.1 404 Not Found", "", "the site answered 404 Not Found",
         "HTTP 404"},
        {Http, false, false, "HTTP/1.0 500", "", "the site answered 500", "HTTP 500"},
        {Http, false, false, "HTTP/1.0 304 Not Modified\r", "",
         "the site answered 304 Not Modified", "HTTP 304"},
        {Http, true, false, "HTTP/1.0 502 Bad Gateway", "",
         "the site or the proxy answered 502 Bad Gateway", "HTTP 502"},
        {Http, false, false, "HTTP/1.0 404 \x1b[2Jgone\t", "", "the site answered 404 ?[2Jgone",
         "HTTP 404"},
        {Http, false, false, "HTTP/1.0 503 A phrase much longer than any dialog line should hold",
         "", "the site answered 503 A phrase much longer than any dialog lin...", "HTTP 503"},
        // Not a status line.
        {Http, false, false, "", "", "the answer from news.example was not HTTP", "not HTTP"},
        {Http, false, false, "HTTPr", "", "the answer from news.example was not HTTP", "not HTTP"},
        {Http, false, false, "HTTP/1.0 40", "", "the answer from news.example was not HTTP",
         "not HTTP"},
        {Http, false, false, "HTTP/1.0 4040 Odd", "", "the answer from news.example was not HTTP",
         "not HTTP"},
        {Http, true, false, "<html>", "", "the answer from the proxy proxy.lan was not HTTP",
         "not HTTP"},
        // The proxy's credentials; 401 counts as a refusal only through a proxy that got some.
        {Http, true, false, "HTTP/1.0 407 Proxy Authentication Required", "",
         "the proxy asked for a user name and password", "proxy wants a login"},
        {Http, true, true, "HTTP/1.0 407 Proxy Authentication Required", "",
         "the proxy refused the user name or password", "proxy refused login"},
        {Http, true, true, "HTTP/1.0 401 Unauthorized", "",
         "the proxy refused the user name or password", "proxy refused login"},
        {Http, true, false, "HTTP/1.0 401 Unauthorized", "",
         "the site or the proxy answered 401 Unauthorized", "HTTP 401"},
        {Http, false, false, "HTTP/1.0 407 Proxy Authentication Required", "",
         "the site answered 407 Proxy Authentication Required", "HTTP 407"},
        // A proxy that offers only ways to sign in that the agent does not know names the first.
        {Http, true, true, "HTTP/1.0 407 x",
         "HTTP/1.0 407 x\r\nProxy-Authenticate: Digest realm=\"a, b\", qop=\"auth\"\r\n"
         "Proxy-Authenticate: Bearer\r\n\r\n",
         "the proxy asked for a sign-in method the agent does not know: Digest",
         "proxy wants a login"},
        {Http, true, false, "HTTP/1.0 407 x",
         "HTTP/1.0 407 x\nProxy-Authenticate: Digest realm=\"a\", Basic realm=\"b\"\n\n",
         "the proxy asked for a user name and password", "proxy wants a login"},
        {Http, false, false, "HTTP/1.0 407 x", "HTTP/1.0 407 x\nProxy-Authenticate: Digest\n\n",
         "the site answered 407 x", "HTTP 407"},
        // Redirects name their target, made absolute against http://news.example:8080/a/b.
        {Http, false, false, "HTTP/1.1 301 Moved Permanently",
         "HTTP/1.1 301 Moved Permanently\r\nServer: x\r\n"
         "location:  https://news.example.org/.newsupdate \r\n\r\n",
         "the site moved to https://news.example.org/.newsupdate (301)", "moved (301)"},
        {Http, false, false, "HTTP/1.0 302 Found", "HTTP/1.0 302 Found\nLocation: /c/d\n\n",
         "the site moved to http://news.example:8080/c/d (302)", "moved (302)"},
        {Http, false, false, "HTTP/1.0 307 x", "HTTP/1.0 307 x\nLocation: c?d=/e\n\n",
         "the site moved to http://news.example:8080/a/c?d=/e (307)", "moved (307)"},
        {Http, false, false, "HTTP/1.0 308 x", "HTTP/1.0 308 x\nLocation: //cdn.example/x\n\n",
         "the site moved to http://cdn.example/x (308)", "moved (308)"},
        {Http, false, false, "HTTP/1.0 301 x", "HTTP/1.0 301 x\nLocation:\n\n",
         "the site moved (301) without saying where", "moved (301)"},
        {Http, false, false, "HTTP/1.0 301 x", "HTTP/1.0 301 x\n\nLocation: /body\n",
         "the site moved (301) without saying where", "moved (301)"},
        {Http, false, false, "HTTP/1.0 303 x",
         "\n\nHTTP/1.0 303 x\nLocation: /first\nLocation: /second\n\n",
         "the site moved to http://news.example:8080/first (303)", "moved (303)"},
        // The proxy's answer to CONNECT: its credentials as above, anything else a refusal.
        {Tunnel, true, false, "HTTP/1.0 407 Proxy Authentication Required", "",
         "the proxy asked for a user name and password", "proxy wants a login"},
        {Tunnel, true, false, "HTTP/1.0 407 x", "HTTP/1.0 407 x\nProxy-Authenticate: Digest\n\n",
         "the proxy asked for a sign-in method the agent does not know: Digest",
         "proxy wants a login"},
        {Tunnel, true, true, "HTTP/1.0 401 Unauthorized", "",
         "the proxy refused the user name or password", "proxy refused login"},
        {Tunnel, true, false, "HTTP/1.0 403 Forbidden", "",
         "the proxy refused the connection to the site: 403 Forbidden", "proxy refused the site"},
        {Tunnel, true, false, "HTTP/1.0 302 Found", "HTTP/1.0 302 Found\nLocation: /x\n\n",
         "the proxy refused the connection to the site: 302 Found", "proxy refused the site"},
        {Tunnel, true, false, "SSH-2.0", "", "the answer from the proxy proxy.lan was not HTTP",
         "not HTTP"},
        // A feed that cannot be read names the line where reading stopped (12 in every row).
        {FailureKind::FeedNotWellFormed, false, false, "", "",
         "the feed is not well-formed XML (line 12)", "feed not well-formed"},
        {FailureKind::FeedHasDtd, false, false, "", "",
         "the feed has a document type declaration, which is not read (line 12)", "feed has a DTD"},
        {FailureKind::FeedEncoding, false, false, "", "",
         "the feed's character encoding cannot be read (line 12)", "feed encoding unknown"},
        {FailureKind::FeedTooDeep, false, false, "", "",
         "the feed nests its elements too deeply (line 12)", "feed nested too deeply"},
        {FailureKind::FeedUnknownFormat, false, false, "", "",
         "the document is neither an RSS nor an Atom feed (line 12)", "not RSS or Atom"},
        {FailureKind::FeedReaderMissing, false, false, "", "",
         "Windows' XML reader (xmllite.dll) could not be loaded", "no XML reader"},
    };
    for (const Row& row : rows) {
        PollFailure failure;
        failure.kind = row.kind;
        failure.viaProxy = row.viaProxy;
        failure.sentCredentials = row.sentCredentials;
        failure.host = row.viaProxy ? "proxy.lan" : "news.example";
        failure.port = row.viaProxy ? 8001 : 8080;
        failure.statusLine = row.statusLine;
        failure.answer = row.answer;
        failure.siteUrl = "http://news.example:8080/a/b";
        failure.line = 12;
        const FailureReason reason = DescribeFailure(failure);
        EXPECT_EQ(CString(row.text), reason.text) << row.statusLine;
        EXPECT_EQ(CString(row.brief), reason.brief) << row.statusLine;
    }
}
