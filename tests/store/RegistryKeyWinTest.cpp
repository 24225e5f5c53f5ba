// What only the real registry can show: the class of created keys and a key that cannot
// be created.
#include "AgentSettings.h"
#include "RegistryKey.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

namespace {

const char kTestRoot[] = "SOFTWARE\\ZvTestWin";

class RegistryKeyWinTest : public ::testing::Test {
protected:
    void SetUp() override {
        RegDeleteTreeA(HKEY_CURRENT_USER, kTestRoot);
        registry.SetRootKey(RegistryRoot::CurrentUser);
    }
    void TearDown() override { RegDeleteTreeA(HKEY_CURRENT_USER, kTestRoot); }

    CRegistryKey registry{"ZvTestWin", "Registry"};
};

std::string KeyClass(const char* path) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, path, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return "<no key>";
    char keyClass[64] = "";
    DWORD length = sizeof keyClass;
    const LONG status = RegQueryInfoKeyA(key, keyClass, &length, nullptr, nullptr, nullptr, nullptr,
                                         nullptr, nullptr, nullptr, nullptr, nullptr);
    RegCloseKey(key);
    return status == ERROR_SUCCESS ? std::string(keyClass, length) : "<no info>";
}

TEST_F(RegistryKeyWinTest, KeysCreatedByReadsAndWritesCarryTheClassString) {
    int number = 0;
    EXPECT_FALSE(registry.GetInt("Agent", "Read", "n", number));
    EXPECT_TRUE(registry.SetInt("Agent", "Written", "n", 1));
    EXPECT_EQ("CString", KeyClass("SOFTWARE\\ZvTestWin\\Registry\\Agent\\Read"));
    EXPECT_EQ("CString", KeyClass("SOFTWARE\\ZvTestWin\\Registry\\Agent\\Written"));
}

TEST_F(RegistryKeyWinTest, ValuesLandUnderTheChosenRoot) {
    ASSERT_TRUE(registry.SetString("Agent", nullptr, "where", "user"));
    char buffer[16] = "";
    DWORD size = sizeof buffer;
    EXPECT_EQ(ERROR_SUCCESS, RegGetValueA(HKEY_CURRENT_USER, "SOFTWARE\\ZvTestWin\\Registry\\Agent",
                                          "where", RRF_RT_REG_SZ, nullptr, buffer, &size));
    EXPECT_STREQ("user", buffer);
}

// A non-volatile key cannot be created below a volatile one: a creation failure Wine
// reproduces faithfully (it does not enforce access control lists on its registry).
TEST_F(RegistryKeyWinTest, KeyThatCannotBeCreatedFailsEveryOperation) {
    HKEY volatileKey = nullptr;
    ASSERT_EQ(ERROR_SUCCESS,
              RegCreateKeyExA(HKEY_CURRENT_USER, "SOFTWARE\\ZvTestWin\\Registry", 0, nullptr,
                              REG_OPTION_VOLATILE, KEY_ALL_ACCESS, nullptr, &volatileKey, nullptr));
    RegCloseKey(volatileKey);

    char buffer[16];
    int number = 7;
    CString text("kept");
    EXPECT_FALSE(registry.SetString("Agent", "Settings", "s", "x"));
    EXPECT_FALSE(registry.SetInt("Agent", "Settings", "n", 1));
    EXPECT_FALSE(registry.GetString("Agent", "Settings", "s", buffer, sizeof buffer));
    EXPECT_FALSE(registry.GetInt("Agent", "Settings", "n", number));
    EXPECT_FALSE(registry.GetText("Agent", "Settings", "s", text));
    EXPECT_EQ(7, number);
    EXPECT_STREQ("kept", text);
    EXPECT_EQ("<no key>", KeyClass("SOFTWARE\\ZvTestWin\\Registry\\Agent"));
}

} // namespace
