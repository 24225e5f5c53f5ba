#include "update/PollResult.h"

#include "RegistryMem.h"

#include <gtest/gtest.h>

#include <string>

namespace {

const char kData[] = "SOFTWARE\\Brellin\\Zavora\\Agent\\Data";

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
}

} // namespace
