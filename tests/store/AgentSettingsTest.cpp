// The settings record and news cache, checked against whichever registry the test links.
#include "RegistryProbe.h"
#include "AgentSettings.h"
#include "site.h"
#include "AgentSettings.h"
#include "contract.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <string>

namespace {

const std::string kRoot = ZV_REG_COMPANY_KEY;
const std::string kSettings = ZV_REG_SETTINGS_KEY;
const std::string kData = ZV_REG_DATA_KEY;

std::string Letters(size_t length) {
    std::string text(length, 'a');
    for (size_t i = 0; i < length; ++i)
        text[i] = static_cast<char>('a' + i % 26);
    return text;
}

class AgentSettingsTest : public ::testing::Test {
protected:
    void SetUp() override { Probe::Reset(kRoot); }
    void TearDown() override { Probe::Reset(kRoot); }

    void PutEntry(int index, const std::string& date, const std::string& title,
                  const std::string& url) {
        const std::string suffix = std::to_string(index);
        Probe::PutText(kData, "Date_" + suffix, date);
        Probe::PutText(kData, "Title_" + suffix, title);
        Probe::PutText(kData, "URL_" + suffix, url);
    }
};

TEST_F(AgentSettingsTest, FirstStartUsesDefaultsAndExitWritesEverything) {
    auto settings = std::make_unique<CAgentSettings>();
    EXPECT_EQ(1, settings->alertBySystemSound);
    EXPECT_EQ(0, settings->alertByUserSound);
    EXPECT_EQ(1, settings->alertByMessage);
    EXPECT_EQ(0, settings->useProxy);
    EXPECT_EQ(0, settings->useProxyAuth);
    EXPECT_EQ(5, settings->pollingDelay);
    EXPECT_STREQ("", settings->authUsername);
    EXPECT_STREQ("", settings->authPassword);
    EXPECT_STREQ(" ", settings->soundPath);
    EXPECT_STREQ(ZV_SITE_HOST, settings->urlHost);
    EXPECT_STREQ("80", settings->urlPort);
    EXPECT_STREQ("/.newsupdate", settings->urlPath);
    EXPECT_STREQ("proxy", settings->proxyHost);
    EXPECT_STREQ("8001", settings->proxyPort);
    EXPECT_STREQ("http", settings->urlScheme);
    EXPECT_STREQ("system", settings->proxySource);
    EXPECT_EQ(0, settings->numEntries);
    EXPECT_STREQ("", settings->epoch);
    EXPECT_STREQ("", settings->lastModified);

    // Reading created both keys, still empty.
    EXPECT_TRUE(Probe::KeyExists(kSettings));
    EXPECT_TRUE(Probe::ValueNames(kSettings).empty());
    EXPECT_TRUE(Probe::KeyExists(kData));
    EXPECT_TRUE(Probe::ValueNames(kData).empty());

    settings->SaveAll();
    settings->SaveNewEntriesFlag(false);
    settings.reset();

    const struct {
        const char* name;
        std::string text;
    } expected[] = {
        {"alertBySystemSound", "1"}, {"alertByUserSound", "0"}, {"alertByMessage", "1"},
        {"useProxy", "0"},           {"useProxyAuth", "0"},     {"pollingDelay", "5"},
        {"authUsername", ""},        {"authPassword", ""},      {"soundPath", " "},
        {"urlHost", ZV_SITE_HOST},   {"urlPort", "80"},         {"urlPath", "/.newsupdate"},
        {"proxyHost", "proxy"},      {"proxyPort", "8001"},     {"newEntriesFlag", "0"},
    };
    for (const auto& row : expected)
        EXPECT_EQ(row.text, Probe::Text(kSettings, row.name)) << row.name;
    EXPECT_EQ(15u, Probe::ValueNames(kSettings).size());
    EXPECT_EQ("", Probe::Text(kData, "epoch"));
    EXPECT_EQ("", Probe::Text(kData, "lastModified"));
    EXPECT_EQ("0", Probe::Text(kData, "numentries"));
    EXPECT_EQ(3u, Probe::ValueNames(kData).size());
}

// One stored setting: what the member becomes and what the exit writes back.
struct StoredSetting {
    const char* label;
    const char* name;
    unsigned long type;
    std::string data;
    std::function<std::string(const CAgentSettings&)> member;
    std::string loaded;
    std::string savedBack;
};

std::string Number(int value) {
    return std::to_string(value);
}

TEST_F(AgentSettingsTest, LoadsStoredSettingsAndWritesThemBack) {
    const std::string longPath = "C:\\" + Letters(400) + ".wav";
    const std::string longHost = Letters(1000);
    const auto text = [](const std::string& t) { return t + '\0'; };
    const StoredSetting rows[] = {
        {"delay 7", "pollingDelay", Probe::Sz, text("7"),
         [](auto& s) { return Number(s.pollingDelay); }, "7", "7"},
        {"useProxy 2 stays 2", "useProxy", Probe::Sz, text("2"),
         [](auto& s) { return Number(s.useProxy); }, "2", "2"},
        {"useProxy as DWORD ignored", "useProxy", Probe::Dword, std::string("\1\0\0\0", 4),
         [](auto& s) { return Number(s.useProxy); }, "0", "0"},
        {"negative flag", "alertByMessage", Probe::Sz, text("-1"),
         [](auto& s) { return Number(s.alertByMessage); }, "-1", "-1"},
        {"delay not a number", "pollingDelay", Probe::Sz, text("abc"),
         [](auto& s) { return Number(s.pollingDelay); }, "5", "5"},
        {"delay of 40 characters", "pollingDelay", Probe::Sz, text(std::string(39, '0') + "7"),
         [](auto& s) { return Number(s.pollingDelay); }, "5", "5"},
        {"proxyPort abc kept", "proxyPort", Probe::Sz, text("abc"),
         [](auto& s) { return s.proxyPort.str(); }, "abc", "abc"},
        {"empty password", "authPassword", Probe::Sz, text(""),
         [](auto& s) { return s.authPassword.str(); }, "", ""},
        {"empty soundPath keeps blank", "soundPath", Probe::Sz, text(""),
         [](auto& s) { return s.soundPath.str(); }, " ", " "},
        {"empty urlPort keeps 80", "urlPort", Probe::Sz, text(""),
         [](auto& s) { return s.urlPort.str(); }, "80", "80"},
        {"soundPath as EXPAND_SZ ignored", "soundPath", Probe::ExpandSz, text("%WINDIR%"),
         [](auto& s) { return s.soundPath.str(); }, " ", " "},
        {"long soundPath", "soundPath", Probe::Sz, text(longPath),
         [](auto& s) { return s.soundPath.str(); }, longPath, longPath},
        {"long urlHost", "urlHost", Probe::Sz, text(longHost),
         [](auto& s) { return s.urlHost.str(); }, longHost, longHost},
        {"blanks kept", "proxyHost", Probe::Sz, text("  my.proxy "),
         [](auto& s) { return s.proxyHost.str(); }, "  my.proxy ", "  my.proxy "},
        // The scheme is the site's configuration: read as stored, never written back.
        {"scheme in any case", "urlScheme", Probe::Sz, text("HTTPS"),
         [](auto& s) { return s.urlScheme.str(); }, "HTTPS", "HTTPS"},
        {"empty scheme is http and stays empty", "urlScheme", Probe::Sz, text(""),
         [](auto& s) { return s.urlScheme.str(); }, "http", ""},
        {"empty proxy source is system and stays empty", "proxySource", Probe::Sz, text(""),
         [](auto& s) { return s.proxySource.str(); }, "system", ""},
    };
    for (const StoredSetting& row : rows) {
        SCOPED_TRACE(row.label);
        Probe::Reset(kRoot);
        Probe::Put(kSettings, row.name, row.type, row.data);
        {
            CAgentSettings settings;
            EXPECT_EQ(row.loaded, row.member(settings));
        }
        EXPECT_EQ(row.savedBack, Probe::Text(kSettings, row.name));
    }
}

TEST_F(AgentSettingsTest, LoadsTheStoredList) {
    Probe::PutText(kData, "epoch", "e42");
    Probe::PutText(kData, "lastModified", "Mon, 07 Dec 2026 05:00:00 GMT");
    Probe::PutText(kData, "numentries", "3");
    PutEntry(0, "07.12.", "First", "http://a/1");
    PutEntry(1, "06.12.", "Second", "http://a/2");
    PutEntry(2, "05.12.", "Third", "http://a/3");

    CAgentSettings settings;
    EXPECT_STREQ("e42", settings.epoch);
    EXPECT_STREQ("Mon, 07 Dec 2026 05:00:00 GMT", settings.lastModified);
    ASSERT_EQ(3, settings.numEntries);
    EXPECT_EQ(3u, settings.dates.size());
    EXPECT_EQ(3u, settings.titles.size());
    EXPECT_EQ(3u, settings.urls.size());
    const NewsEntry second = settings.Entry(1);
    EXPECT_STREQ("06.12.", second.date);
    EXPECT_STREQ("Second", second.title);
    EXPECT_STREQ("http://a/2", second.url);
    for (int outside : {-1, 3, 1000}) {
        const NewsEntry none = settings.Entry(outside);
        EXPECT_TRUE(none.date.IsEmpty() && none.title.IsEmpty() && none.url.IsEmpty());
    }
}

TEST_F(AgentSettingsTest, EntryCountDecidesHowManyEntriesAreRead) {
    const struct {
        const char* label;
        unsigned long type;
        std::string data; // empty: no numentries value
        int count;
    } rows[] = {
        {"three", Probe::Sz, std::string("3", 2), 3},
        {"zero", Probe::Sz, std::string("0", 2), 0},
        {"minus one", Probe::Sz, std::string("-1", 3), 0},
        {"missing", Probe::Sz, "", 0},
        {"not a number", Probe::Sz, std::string("abc", 4), 0},
        {"beyond int", Probe::Sz, std::string("99999999999", 12), 0},
        {"as DWORD", Probe::Dword, std::string("\3\0\0\0", 4), 0},
        {"huge, capped", Probe::Sz, std::string("2000000000", 11), kMostStoredEntries},
        {"one past the cap", Probe::Sz, std::to_string(kMostStoredEntries + 1) + '\0',
         kMostStoredEntries},
        {"exactly the cap", Probe::Sz, std::to_string(kMostStoredEntries) + '\0',
         kMostStoredEntries},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.label);
        Probe::Reset(kRoot);
        if (!row.data.empty())
            Probe::Put(kData, "numentries", row.type, row.data);
        for (int i = 0; i < 5; ++i)
            PutEntry(i, "d" + std::to_string(i), "t" + std::to_string(i), "u");
        const auto start = std::chrono::steady_clock::now();
        CAgentSettings settings;
        const auto took = std::chrono::steady_clock::now() - start;
        EXPECT_EQ(row.count, settings.numEntries);
        EXPECT_EQ(static_cast<size_t>(row.count), settings.titles.size());
        if (row.count >= 3) {
            EXPECT_STREQ("t2", settings.Entry(2).title);
        }
        if (row.count == kMostStoredEntries) {
            EXPECT_STREQ("", settings.Entry(kMostStoredEntries - 1).title);
        }
        EXPECT_LT(took, std::chrono::seconds(20));
    }
}

TEST_F(AgentSettingsTest, MissingEntryValueLeavesItsFieldEmpty) {
    Probe::PutText(kData, "numentries", "3");
    PutEntry(0, "d0", "t0", "u0");
    Probe::PutText(kData, "Date_1", "d1");
    Probe::PutDword(kData, "URL_1", 5);
    PutEntry(2, "d2", "t2", "u2");

    CAgentSettings settings;
    ASSERT_EQ(3, settings.numEntries);
    EXPECT_STREQ("d1", settings.Entry(1).date);
    EXPECT_STREQ("", settings.Entry(1).title);
    EXPECT_STREQ("", settings.Entry(1).url);
    EXPECT_STREQ("t2", settings.Entry(2).title);
}

TEST_F(AgentSettingsTest, LeftoverEntriesOfALongerListStayUntouched) {
    Probe::PutText(kData, "numentries", "2");
    for (int i = 0; i < 5; ++i)
        PutEntry(i, "d", "t" + std::to_string(i), "u");
    {
        CAgentSettings settings;
        EXPECT_EQ(2, settings.numEntries);
    }
    EXPECT_EQ("2", Probe::Text(kData, "numentries"));
    for (int i = 2; i < 5; ++i)
        EXPECT_EQ("t" + std::to_string(i), Probe::Text(kData, "Title_" + std::to_string(i)));
}

TEST_F(AgentSettingsTest, StoreOperationsWriteTheRegistryOnly) {
    CAgentSettings settings;
    settings.StoreEpoch("e1");
    settings.StoreLastModified("lm1");
    settings.StoreEntry(0, "d0", "t0", "u0");
    settings.StoreEntry(10, "d10", "t10", "u10");
    settings.StoreEntryCount(1);
    EXPECT_STREQ("", settings.epoch);
    EXPECT_STREQ("", settings.lastModified);
    EXPECT_EQ(0, settings.numEntries);
    EXPECT_EQ("d10", Probe::Text(kData, "Date_10"));
    EXPECT_EQ("u10", Probe::Text(kData, "URL_10"));

    settings.LoadNews();
    EXPECT_STREQ("e1", settings.epoch);
    EXPECT_STREQ("lm1", settings.lastModified);
    ASSERT_EQ(1, settings.numEntries);
    EXPECT_STREQ("t0", settings.Entry(0).title);
}

TEST_F(AgentSettingsTest, EmptyOrUnreadableMarkersKeepTheCurrentOnes) {
    CAgentSettings settings;
    settings.epoch = "~";
    settings.lastModified = "@";
    settings.StoreEpoch("");
    Probe::PutDword(kData, "lastModified", 1);
    settings.LoadNews();
    EXPECT_STREQ("~", settings.epoch);
    EXPECT_STREQ("@", settings.lastModified);
}

TEST_F(AgentSettingsTest, LongListValuesSurviveSaveAndLoad) {
    const std::string title = Letters(300);
    const std::string url = "http://www.zavora.example/" + Letters(1000);
    const std::string marker = Letters(500);
    {
        CAgentSettings settings;
        settings.StoreEpoch(marker.c_str());
        settings.StoreEntry(0, "07.12.2026", title.c_str(), url.c_str());
        settings.StoreEntry(1, "", "short", "http://x/");
        settings.StoreEntryCount(2);
        settings.LoadNews();
        settings.lastModified = marker.c_str();
    }
    CAgentSettings reloaded;
    EXPECT_EQ(marker, reloaded.epoch.str());
    EXPECT_EQ(marker, reloaded.lastModified.str());
    ASSERT_EQ(2, reloaded.numEntries);
    EXPECT_EQ(title, reloaded.Entry(0).title.str());
    EXPECT_EQ(url, reloaded.Entry(0).url.str());
    EXPECT_STREQ("short", reloaded.Entry(1).title);
}

TEST_F(AgentSettingsTest, NewEntriesFlag) {
    const struct {
        const char* label;
        unsigned long type;
        std::string data; // empty: no value
        bool set;
    } rows[] = {
        {"1", Probe::Sz, std::string("1", 2), true},
        {"2", Probe::Sz, std::string("2", 2), true},
        {"0", Probe::Sz, std::string("0", 2), false},
        {"-1", Probe::Sz, std::string("-1", 3), false},
        {"abc", Probe::Sz, std::string("abc", 4), false},
        {"missing", Probe::Sz, "", false},
        {"DWORD 1", Probe::Dword, std::string("\1\0\0\0", 4), false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.label);
        Probe::Reset(kRoot);
        if (!row.data.empty())
            Probe::Put(kSettings, "newEntriesFlag", row.type, row.data);
        CAgentSettings settings;
        EXPECT_EQ(row.set, settings.LoadNewEntriesFlag());
    }
    CAgentSettings settings;
    settings.SaveNewEntriesFlag(true);
    EXPECT_EQ("1", Probe::Text(kSettings, "newEntriesFlag"));
    settings.SaveNewEntriesFlag(false);
    EXPECT_EQ("0", Probe::Text(kSettings, "newEntriesFlag"));
}

TEST_F(AgentSettingsTest, SetDefaultsEmptiesTheList) {
    Probe::PutText(kSettings, "pollingDelay", "30");
    Probe::PutText(kData, "epoch", "e");
    Probe::PutText(kData, "numentries", "1");
    PutEntry(0, "d", "t", "u");
    CAgentSettings settings;
    ASSERT_EQ(1, settings.numEntries);
    settings.SetDefaults();
    EXPECT_EQ(5, settings.pollingDelay);
    EXPECT_EQ(0, settings.numEntries);
    EXPECT_TRUE(settings.titles.empty());
    EXPECT_STREQ("", settings.epoch);
}

} // namespace
