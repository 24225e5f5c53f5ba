#include "core/EntryMenu.h"

#include "RegistryMem.h"
#include "store/AgentSettings.h"

#include <gtest/gtest.h>

TEST(EntryMenu, EscapeAmpersands) {
    struct Row {
        const char* in;
        const char* out;
    };
    const Row rows[] = {
        {"", ""},
        {"plain title", "plain title"},
        {"Tom & Jerry", "Tom && Jerry"},
        {"Tom && Jerry", "Tom && Jerry"},
        {"Tom &&& Jerry", "Tom && Jerry"},
        {"A&B&C", "A&&B&&C"},
        {"&Leading", "Leading"},
        {"Trailing&", "Trailing"},
        {"&&both&&", "both"},
        {"&", ""},
        {"&&&", ""},
    };
    for (const Row& row : rows) {
        CString text = row.in;
        EscapeAmpersands(text);
        EXPECT_EQ(CString(row.out), text) << row.in;
    }
}

TEST(EntryMenu, ShortenTitleKeepsTitlesUpToTheLimit) {
    const CString exact(std::string(35, 'x'));
    const CString longer(std::string(36, 'y'));
    EXPECT_EQ(exact, ShortenTitle(exact, 35));
    EXPECT_EQ(CString(std::string(32, 'y') + "..."), ShortenTitle(longer, 35));
    EXPECT_EQ(35, ShortenTitle(CString(std::string(500, 'z')), 35).GetLength());
    EXPECT_EQ(CString(""), ShortenTitle("", 35));
    EXPECT_EQ(CString("..."), ShortenTitle("abcd", 3));
}

namespace {

class EntryItems : public ::testing::Test {
protected:
    void SetUp() override { RegistryMem::Clear(); }

    // Stores a cached list of count entries the way a poll does.
    static void StoreList(CAgentSettings& settings, int count, const CString& title) {
        for (int i = 0; i < count; ++i) {
            CString date;
            date.Format("2026-12-%02d", i + 1);
            CString url;
            url.Format("http://news.example/%d", i);
            settings.StoreEntry(i, date, title, url);
        }
        settings.StoreEntryCount(count);
        settings.LoadNews();
    }
};

} // namespace

TEST_F(EntryItems, EmptyCacheGivesNoItems) {
    CAgentSettings settings;
    EXPECT_TRUE(BuildEntryItems(settings).empty());
}

TEST_F(EntryItems, OnlyTheFirstTenOfFifteenShowInOrder) {
    CAgentSettings settings;
    StoreList(settings, 15, "Title");
    const std::vector<EntryItem> items = BuildEntryItems(settings);
    ASSERT_EQ(10u, items.size());
    EXPECT_EQ(CString("2026-12-01 Title"), items[0].text);
    EXPECT_EQ(CString("http://news.example/0"), items[0].url);
    EXPECT_EQ(CString("2026-12-10 Title"), items[9].text);
    EXPECT_EQ(CString("http://news.example/9"), items[9].url);
}

TEST_F(EntryItems, TitlesAreShortenedThenEscaped) {
    CAgentSettings settings;
    // 36 characters with an ampersand inside the part that stays.
    StoreList(settings, 1, "Cats & dogs: a long story of friends");
    const std::vector<EntryItem> items = BuildEntryItems(settings);
    ASSERT_EQ(1u, items.size());
    EXPECT_EQ(CString("2026-12-01 Cats && dogs: a long story of fri..."), items[0].text);
}
