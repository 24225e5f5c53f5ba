// Orders of reads and writes, and forced registry failures: these need the in-memory
// registry, which records every call and can refuse a key.
#include "RegistryMem.h"
#include "AgentSettings.h"
#include "contract.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Names = std::vector<std::string>;
using RegistryMem::Op;

const std::string kSettings = ZV_REG_SETTINGS_KEY;
const std::string kData = ZV_REG_DATA_KEY;

const Names kSettingsReads = {
    "soundPath",          "urlHost",        "urlPort",   "urlPath",      "authUsername",
    "authPassword",       "proxyHost",      "proxyPort", "pollingDelay", "alertByUserSound",
    "alertBySystemSound", "alertByMessage", "useProxy",  "useProxyAuth", "urlScheme"};
const Names kSettingsWrites = {"soundPath",        "urlHost",       "urlPort",
                               "urlPath",          "proxyHost",     "proxyPort",
                               "authUsername",     "authPassword",  "pollingDelay",
                               "useProxy",         "useProxyAuth",  "alertBySystemSound",
                               "alertByUserSound", "alertByMessage"};

Names Concat(Names a, const Names& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

class AgentSettingsOrderTest : public ::testing::Test {
protected:
    void SetUp() override { RegistryMem::Clear(); }
};

TEST_F(AgentSettingsOrderTest, ConstructionReadsSettingsThenTheList) {
    RegistryMem::PutText(kData, "numentries", "2");
    CAgentSettings settings;
    const Names news = {"epoch", "lastModified", "numentries", "Date_0", "Title_0",
                        "URL_0", "Date_1",       "Title_1",    "URL_1"};
    EXPECT_EQ(Concat(kSettingsReads, news), RegistryMem::LoggedNames(Op::Query));
    EXPECT_TRUE(RegistryMem::LoggedNames(Op::Set).empty());
    // Only the policy keys, which AgentPolicyTest covers, are looked up on the machine.
    for (const Op& op : RegistryMem::Log()) {
        if (op.path != ZV_REG_POLICY_KEY) {
            EXPECT_EQ(RegistryRoot::CurrentUser, op.root) << op.path;
        }
    }
}

TEST_F(AgentSettingsOrderTest, NoEntryIsReadForAnEmptyCount) {
    for (const char* count :
         {static_cast<const char*>("0"), "-1", static_cast<const char*>(nullptr)}) {
        SCOPED_TRACE(count ? count : "missing");
        RegistryMem::Clear();
        if (count)
            RegistryMem::PutText(kData, "numentries", count);
        RegistryMem::PutText(kData, "Date_0", "d");
        CAgentSettings settings;
        const Names queries = RegistryMem::LoggedNames(Op::Query);
        EXPECT_EQ("numentries", queries.back());
    }
}

TEST_F(AgentSettingsOrderTest, SaveAllWritesSettingsThenTheList) {
    RegistryMem::PutText(kData, "numentries", "2");
    CAgentSettings settings;
    RegistryMem::ClearLog();
    settings.SaveAll();
    const Names news = {"lastModified", "epoch",  "numentries", "Date_0", "Title_0",
                        "URL_0",        "Date_1", "Title_1",    "URL_1"};
    EXPECT_EQ(Concat(kSettingsWrites, news), RegistryMem::LoggedNames(Op::Set));
    EXPECT_TRUE(RegistryMem::LoggedNames(Op::Query).empty());
}

TEST_F(AgentSettingsOrderTest, AnUnwritableKeyNeitherStopsOtherWritesNorLosesSettings) {
    RegistryMem::PutText(kSettings, "pollingDelay", "30");
    RegistryMem::DenyKey(kSettings);
    {
        CAgentSettings settings;
        EXPECT_EQ(5, settings.pollingDelay);
        settings.StoreEntry(0, "d", "t", "u");
        settings.StoreEntryCount(1);
        settings.SaveNewEntriesFlag(true);
    }
    EXPECT_EQ(Names{"pollingDelay"}, RegistryMem::ValueNames(kSettings));
    EXPECT_EQ((Names{"Date_0", "Title_0", "URL_0", "epoch", "lastModified", "numentries"}),
              RegistryMem::ValueNames(kData));
}

TEST_F(AgentSettingsOrderTest, AnUnreadableDataKeyGivesAnEmptyList) {
    RegistryMem::PutText(kData, "numentries", "1");
    RegistryMem::PutText(kData, "Title_0", "t");
    RegistryMem::DenyKey(kData);
    CAgentSettings settings;
    EXPECT_EQ(0, settings.numEntries);
    EXPECT_STREQ("", settings.epoch);
}

} // namespace
