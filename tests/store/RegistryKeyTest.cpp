// CRegistryKey's behaviour, checked against whichever registry the test links.
#include "RegistryProbe.h"
#include "RegistryKey.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>

namespace {

const char kCompany[] = "ZvTest";
const char kProduct[] = "Registry";
const std::string kBase = "SOFTWARE\\ZvTest\\Registry";
const std::string kAgent = kBase + "\\Agent";
const std::string kSettings = kAgent + "\\Settings";

class RegistryKeyTest : public ::testing::Test {
protected:
    void SetUp() override {
        Probe::Reset("SOFTWARE\\ZvTest");
        registry.SetRootKey(RegistryRoot::CurrentUser);
    }
    void TearDown() override { Probe::Reset("SOFTWARE\\ZvTest"); }

    CRegistryKey registry{kCompany, kProduct};
};

struct RefusedCall {
    const char* label;
    const char* company;
    const char* product;
    const char* key;
    const char* name;
};

TEST_F(RegistryKeyTest, RefusesMissingArgumentsWithoutTouchingTheRegistry) {
    const RefusedCall rows[] = {
        {"empty company", "", kProduct, "Agent", "v"},
        {"empty product", kCompany, "", "Agent", "v"},
        {"null key", kCompany, kProduct, nullptr, "v"},
        {"null name", kCompany, kProduct, "Agent", nullptr},
    };
    for (const RefusedCall& row : rows) {
        SCOPED_TRACE(row.label);
        CRegistryKey key(row.company, row.product);
        key.SetRootKey(RegistryRoot::CurrentUser);
        char buffer[64] = "untouched";
        int number = 42;
        CString text("untouched");
        EXPECT_FALSE(key.SetString(row.key, "Settings", row.name, "x"));
        EXPECT_FALSE(key.SetInt(row.key, "Settings", row.name, 1));
        EXPECT_FALSE(key.GetString(row.key, "Settings", row.name, buffer, sizeof buffer));
        EXPECT_FALSE(key.GetInt(row.key, "Settings", row.name, number));
        EXPECT_FALSE(key.GetText(row.key, "Settings", row.name, text));
        EXPECT_STREQ("untouched", buffer);
        EXPECT_EQ(42, number);
        EXPECT_STREQ("untouched", text);
        EXPECT_FALSE(Probe::KeyExists("SOFTWARE\\ZvTest"));
        EXPECT_FALSE(Probe::KeyExists("SOFTWARE\\Registry"));
    }
    EXPECT_FALSE(registry.SetString("Agent", "Settings", "v", nullptr));
    EXPECT_FALSE(Probe::KeyExists(kSettings));
}

TEST_F(RegistryKeyTest, WritesNulTerminatedTextUnderKeyAndOptionalSubKey) {
    EXPECT_TRUE(registry.SetString("Agent", "Settings", "withSub", "abc"));
    EXPECT_TRUE(registry.SetString("Agent", nullptr, "nullSub", "def"));
    EXPECT_TRUE(registry.SetString("Agent", "", "emptySub", ""));

    unsigned long type = 0;
    std::string data;
    ASSERT_TRUE(Probe::Get(kSettings, "withSub", type, data));
    EXPECT_EQ(Probe::Sz, type);
    EXPECT_EQ(std::string("abc", 4), data);
    ASSERT_TRUE(Probe::Get(kAgent, "nullSub", type, data));
    EXPECT_EQ(std::string("def", 4), data);
    ASSERT_TRUE(Probe::Get(kAgent, "emptySub", type, data));
    EXPECT_EQ(std::string(1, '\0'), data);
}

TEST_F(RegistryKeyTest, WritesIntegersAsDecimalText) {
    const struct {
        int value;
        const char* text;
    } rows[] = {{-5, "-5"}, {0, "0"}, {7, "7"}, {INT_MAX, "2147483647"}, {INT_MIN, "-2147483648"}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.text);
        EXPECT_TRUE(registry.SetInt("Agent", "Settings", "n", row.value));
        EXPECT_EQ(row.text, Probe::Text(kSettings, "n"));
        int back = 99;
        EXPECT_TRUE(registry.GetInt("Agent", "Settings", "n", back));
        EXPECT_EQ(row.value, back);
    }
}

TEST_F(RegistryKeyTest, GetStringNeedsRoomForTheTextAndItsNul) {
    const struct {
        int length;
        unsigned long size;
        bool fits;
    } rows[] = {{0, 1, true},      {1, 1, false},     {254, 255, true},
                {255, 255, false}, {300, 255, false}, {300, 301, true}};
    for (const auto& row : rows) {
        SCOPED_TRACE(std::to_string(row.length) + " chars into " + std::to_string(row.size));
        const std::string text(static_cast<size_t>(row.length), 'x');
        ASSERT_TRUE(registry.SetString("Agent", "Settings", "s", text.c_str()));
        std::string buffer(row.size, '#');
        EXPECT_EQ(row.fits, registry.GetString("Agent", "Settings", "s", &buffer[0], row.size));
        if (row.fits) {
            EXPECT_EQ(text, buffer.c_str());
        }
    }
}

TEST_F(RegistryKeyTest, GetIntScansLikePercentD) {
    const struct {
        std::string stored;
        bool ok;
        int value; // 99 means unchanged
    } rows[] = {
        {"-5", true, -5},
        {"12ab", true, 12},
        {"  7", true, 7},
        {"\t+8", true, 8},
        {"abc", true, 99},
        {"", true, 99},
        {"-", true, 99},
        {"2147483647", true, INT_MAX},
        {"-2147483648", true, INT_MIN},
        {"2147483648", false, 99},
        {"99999999999999999999", false, 99},
        {std::string(38, '0') + "1", true, 1}, // 39 characters fit the 40-byte buffer
        {std::string(39, '0') + "1", false, 99},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE("\"" + row.stored + "\"");
        Probe::PutText(kSettings, "n", row.stored);
        int value = 99;
        EXPECT_EQ(row.ok, registry.GetInt("Agent", "Settings", "n", value));
        EXPECT_EQ(row.value, value);
    }
}

TEST_F(RegistryKeyTest, OnlyTextValuesCanBeRead) {
    Probe::PutDword(kSettings, "dword", 1);
    Probe::Put(kSettings, "expand", Probe::ExpandSz, std::string("%TEMP%", 7));
    Probe::Put(kSettings, "binary", Probe::Binary, std::string("12", 3));
    for (const char* name : {"dword", "expand", "binary", "missing"}) {
        SCOPED_TRACE(name);
        char buffer[64];
        int number = 99;
        CString text("kept");
        EXPECT_FALSE(registry.GetString("Agent", "Settings", name, buffer, sizeof buffer));
        EXPECT_FALSE(registry.GetInt("Agent", "Settings", name, number));
        EXPECT_FALSE(registry.GetText("Agent", "Settings", name, text));
        EXPECT_EQ(99, number);
        EXPECT_STREQ("kept", text);
    }
}

TEST_F(RegistryKeyTest, ReadOfAMissingKeyCreatesItEmpty) {
    char buffer[16];
    CString text;
    int number = 0;
    EXPECT_FALSE(registry.GetString("Agent", "Data", "epoch", buffer, sizeof buffer));
    EXPECT_TRUE(Probe::KeyExists(kAgent + "\\Data"));
    EXPECT_TRUE(Probe::ValueNames(kAgent + "\\Data").empty());
    EXPECT_FALSE(registry.GetText("Agent", "Other", "epoch", text));
    EXPECT_TRUE(Probe::KeyExists(kAgent + "\\Other"));
    EXPECT_FALSE(registry.GetInt("Agent", nullptr, "n", number));
    EXPECT_TRUE(Probe::ValueNames(kAgent).empty());
}

TEST_F(RegistryKeyTest, PolicyAccessReadsExistingKeysOnlyAndNeverWrites) {
    registry.SetAccess(RegistryAccess::PolicyKeys);
    CString text("kept");
    int number = 99;
    EXPECT_FALSE(registry.GetText("Agent", "Settings", "urlHost", text));
    EXPECT_FALSE(registry.GetInt("Agent", nullptr, "n", number));
    EXPECT_FALSE(registry.SetString("Agent", "Settings", "urlHost", "x"));
    EXPECT_FALSE(registry.SetInt("Agent", "Settings", "n", 1));
    EXPECT_FALSE(Probe::KeyExists(kBase));

    Probe::PutText(kSettings, "urlHost", "news.corp");
    Probe::PutText(kSettings, "n", "30");
    EXPECT_TRUE(registry.GetText("Agent", "Settings", "urlHost", text));
    EXPECT_TRUE(registry.GetInt("Agent", "Settings", "n", number));
    EXPECT_STREQ("news.corp", text);
    EXPECT_EQ(30, number);
    EXPECT_FALSE(registry.SetString("Agent", "Settings", "urlHost", "x"));
    EXPECT_EQ("news.corp", Probe::Text(kSettings, "urlHost"));
}

TEST_F(RegistryKeyTest, GetTextReadsAnyLength) {
    for (int length : {0, 1, 254, 255, 300, 1000, 70000}) {
        SCOPED_TRACE(length);
        std::string text(static_cast<size_t>(length), 'a');
        for (size_t i = 0; i < text.size(); ++i)
            text[i] = static_cast<char>('a' + i % 26);
        ASSERT_TRUE(registry.SetString("Agent", "Data", "t", text.c_str()));
        CString back("stale");
        EXPECT_TRUE(registry.GetText("Agent", "Data", "t", back));
        EXPECT_EQ(text, back.str());
    }
}

TEST_F(RegistryKeyTest, TextStoredWithoutItsNulIsTerminatedWhenThereIsRoom) {
    Probe::Put(kSettings, "bare", Probe::Sz, "abc");
    CString text;
    EXPECT_TRUE(registry.GetText("Agent", "Settings", "bare", text));
    EXPECT_STREQ("abc", text);
    char roomy[8];
    EXPECT_TRUE(registry.GetString("Agent", "Settings", "bare", roomy, sizeof roomy));
    EXPECT_STREQ("abc", roomy);
    char tight[3];
    EXPECT_FALSE(registry.GetString("Agent", "Settings", "bare", tight, sizeof tight));
}

TEST_F(RegistryKeyTest, NamesAreCaseInsensitive) {
    ASSERT_TRUE(registry.SetString("Agent", "Settings", "urlHost", "a"));
    ASSERT_TRUE(registry.SetString("AGENT", "settings", "URLHOST", "b"));
    CString text;
    EXPECT_TRUE(registry.GetText("agent", "SETTINGS", "urlhost", text));
    EXPECT_STREQ("b", text);
    EXPECT_EQ(1u, Probe::ValueNames(kSettings).size());
}

} // namespace
