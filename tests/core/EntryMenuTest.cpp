#include "EntryMenu.h"

#include "AgentSettings.h"
#include "RegistryMem.h"

#include <gtest/gtest.h>

namespace {

// Reads bytes as Latin-1, standing in for a Western system's ANSI code page.
WideText DecodeLatin1(const CString& text) {
    WideText wide;
    for (int i = 0; i < text.GetLength(); ++i)
        wide += static_cast<char16_t>(static_cast<unsigned char>(text[i]));
    return wide;
}

} // namespace

TEST(EntryMenu, EscapeAmpersands) {
    struct Row {
        const char16_t* in;
        const char16_t* out;
    };
    const Row rows[] = {
        {u"", u""},
        {u"plain title", u"plain title"},
        {u"Tom & Jerry", u"Tom && Jerry"},
        {u"Tom && Jerry", u"Tom && Jerry"},
        {u"Tom &&& Jerry", u"Tom && Jerry"},
        {u"A&B&C", u"A&&B&&C"},
        {u"&Leading", u"Leading"},
        {u"Trailing&", u"Trailing"},
        {u"&&both&&", u"both"},
        {u"&", u""},
        {u"&&&", u""},
        {u"\u00C4rzte & \u00C9coles", u"\u00C4rzte && \u00C9coles"},
    };
    for (const Row& row : rows) {
        WideText text = row.in;
        EscapeAmpersands(text);
        EXPECT_TRUE(WideText(row.out) == text) << static_cast<int>(text.size());
    }
}

// Each row: the bytes the site sent, and what the menu shows. UTF-8 where the bytes are
// valid UTF-8, the legacy code page for the rest.
TEST(EntryMenu, DecodeSiteText) {
    struct Row {
        const char* bytes;
        const char16_t* shown;
    };
    const Row rows[] = {
        {"", u""},
        {"plain ASCII", u"plain ASCII"},
        {"Caf\xC3\xA9 M\xC3\xBCller", u"Caf\u00E9 M\u00FCller"},
        {"\xCE\x95\xCE\xBB\xCE\xBB\xCE\xAC\xCE\xB4\xCE\xB1",
         u"\u0395\u03BB\u03BB\u03AC\u03B4\u03B1"},
        {"\xE6\x9D\xB1\xE4\xBA\xAC", u"\u6771\u4EAC"},
        {"News \xF0\x9F\x93\xB0", u"News \U0001F4F0"},
        // Not UTF-8: a Latin-1 "Caf\xE9", a stray continuation byte, a sequence cut short,
        // an overlong "/", an encoded surrogate, a value above U+10FFFF.
        {"Caf\xE9", u"Caf\u00E9"},
        {"a\x80"
         "b",
         u"a\u0080b"},
        {"end \xE6\x9D", u"end \u00E6\u009D"},
        {"\xC0\xAF", u"\u00C0\u00AF"},
        {"\xED\xA0\x80", u"\u00ED\u00A0\u0080"},
        {"\xF4\x90\x80\x80", u"\u00F4\u0090\u0080\u0080"},
    };
    for (const Row& row : rows)
        EXPECT_TRUE(WideText(row.shown) == DecodeSiteText(row.bytes, DecodeLatin1)) << row.bytes;
}

// Each row: the title as decoded, the limit, what the menu shows. Characters are counted,
// not bytes or UTF-16 units.
TEST(EntryMenu, ShortenText) {
    const WideText exact(35, u'x');
    const WideText greek35(35, u'\u03A9');
    const WideText greek36(36, u'\u03A9');
    WideText emoji35;
    for (int i = 0; i < 35; ++i)
        emoji35 += u"\U0001F4F0";
    struct Row {
        WideText title;
        int limit;
        WideText shown;
    };
    const Row rows[] = {
        {exact, 35, exact},
        {WideText(36, u'y'), 35, WideText(32, u'y') + u"..."},
        {WideText(500, u'z'), 35, WideText(32, u'z') + u"..."},
        {u"", 35, u""},
        {u"abcd", 3, u"..."},
        {greek35, 35, greek35},
        {greek36, 35, WideText(32, u'\u03A9') + u"..."},
        // 35 emoji are 70 units but 35 characters: whole.
        {emoji35, 35, emoji35},
        // The cut falls after the 32nd character, never between the halves of a pair.
        {emoji35 + u"!", 35, emoji35.substr(0, 64) + u"..."},
        {WideText(31, u'a') + u"\U0001F4F0\U0001F4F0bcd", 35,
         WideText(31, u'a') + u"\U0001F4F0..."},
    };
    for (const Row& row : rows)
        EXPECT_TRUE(row.shown == ShortenText(row.title, row.limit))
            << row.title.size() << " units, limit " << row.limit;
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
    EXPECT_TRUE(BuildEntryItems(settings, DecodeLatin1).empty());
}

TEST_F(EntryItems, OnlyTheFirstTenOfFifteenShowInOrder) {
    CAgentSettings settings;
    StoreList(settings, 15, "Title");
    const std::vector<EntryItem> items = BuildEntryItems(settings, DecodeLatin1);
    ASSERT_EQ(10u, items.size());
    EXPECT_TRUE(u"2026-12-01 Title" == items[0].text);
    EXPECT_EQ(CString("http://news.example/0"), items[0].url);
    EXPECT_TRUE(u"2026-12-10 Title" == items[9].text);
    EXPECT_EQ(CString("http://news.example/9"), items[9].url);
}

TEST_F(EntryItems, TitlesAreShortenedThenEscaped) {
    CAgentSettings settings;
    // 36 characters with an ampersand inside the part that stays.
    StoreList(settings, 1, "Cats & dogs: a long story of friends");
    const std::vector<EntryItem> items = BuildEntryItems(settings, DecodeLatin1);
    ASSERT_EQ(1u, items.size());
    EXPECT_TRUE(u"2026-12-01 Cats && dogs: a long story of fri..." == items[0].text);
}

TEST_F(EntryItems, DatesAreShortenedAndEscapedLikeTitles) {
    CAgentSettings settings;
    settings.StoreEntry(0, "R&D-news-from-the-laboratory-of-the-future", "T", "http://n/1");
    settings.StoreEntryCount(1);
    settings.LoadNews();
    const std::vector<EntryItem> items = BuildEntryItems(settings, DecodeLatin1);
    ASSERT_EQ(1u, items.size());
    EXPECT_TRUE(u"R&&D-news-from-the-laboratory-of-... T" == items[0].text);
}

TEST_F(EntryItems, EachTitleIsDecodedOnItsOwnAndAddressesStayAsSent) {
    CAgentSettings settings;
    settings.StoreEntry(0, "07.12.", "Caf\xC3\xA9 & Bar", "http://news.example/caf%C3%A9");
    settings.StoreEntry(1, "07.12.", "Caf\xE9", "http://news.example/\xE9");
    settings.StoreEntryCount(2);
    settings.LoadNews();
    const std::vector<EntryItem> items = BuildEntryItems(settings, DecodeLatin1);
    ASSERT_EQ(2u, items.size());
    EXPECT_TRUE(u"07.12. Caf\u00E9 && Bar" == items[0].text);
    EXPECT_TRUE(u"07.12. Caf\u00E9" == items[1].text);
    EXPECT_EQ(CString("http://news.example/caf%C3%A9"), items[0].url);
    EXPECT_EQ(CString("http://news.example/\xE9"), items[1].url);
}
