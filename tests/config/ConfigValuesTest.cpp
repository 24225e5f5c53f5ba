#include "ConfigValues.h"
#include "AgentSettings.h"
#include "DecimalNumber.h"

#include "RegistryMem.h"
#include "contract.h"
#include "resource.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <string>
#include <vector>

namespace {

TEST(PollText, ShowsTheShortestIntervalThatIsNotShorter) {
    const struct {
        int minutes;
        const char* text;
    } rows[] = {
        {INT_MIN, "5 minutes"}, {-1, "5 minutes"}, {0, "5 minutes"},   {5, "5 minutes"},
        {6, "10 minutes"},      {7, "10 minutes"}, {10, "10 minutes"}, {11, "30 minutes"},
        {30, "30 minutes"},     {31, "1 hour"},    {60, "1 hour"},     {61, "2 hours"},
        {120, "2 hours"},       {121, "4 hours"},  {240, "4 hours"},   {241, ""},
        {INT_MAX, ""},
    };
    for (const auto& row : rows)
        EXPECT_EQ(CString(row.text), PollTextForDelay(row.minutes)) << row.minutes;
}

TEST(PollText, OnlyAnExactTextGivesADelay) {
    const struct {
        const char* text;
        bool known;
        int minutes;
    } rows[] = {
        {"5 minutes", true, 5},   {"10 minutes", true, 10}, {"30 minutes", true, 30},
        {"1 hour", true, 60},     {"2 hours", true, 120},   {"4 hours", true, 240},
        {"", false, 0},           {"5 Minutes", false, 0},  {" 5 minutes", false, 0},
        {"5 minutes ", false, 0}, {"1 hours", false, 0},    {"5", false, 0},
    };
    for (const auto& row : rows) {
        int minutes = -7;
        EXPECT_EQ(row.known, PollDelayForText(row.text, minutes)) << row.text;
        EXPECT_EQ(row.known ? row.minutes : -7, minutes) << row.text;
    }
}

TEST(NumberText, LeadingNumberOfAPortText) {
    const struct {
        const char* text;
        int number;
    } rows[] = {
        {"8001", 8001},
        {"  42abc", 42},
        {"abc", 0},
        {"", 0},
        {"-3", -3},
        {"+7", 7},
        {"\t80 ", 80},
        {"2147483647", INT_MAX},
        {"-2147483648", INT_MIN},
        {"2147483648", 0},
        {"99999999999999999999", 0},
        {"- 5", 0},
    };
    for (const auto& row : rows)
        EXPECT_EQ(row.number, LeadingNumber(row.text)) << row.text;
}

TEST(NumberText, WholeNumberAllowsOnlyBlanksAroundIt) {
    const struct {
        const char* text;
        bool whole;
        int number;
    } rows[] = {
        {"42", true, 42},
        {"  42  ", true, 42},
        {"\t-17\r\n", true, -17},
        {"+0", true, 0},
        {"-2147483648", true, INT_MIN},
        {"2147483647", true, INT_MAX},
        {nullptr, false, 0},
        {"", false, 0},
        {"   ", false, 0},
        {"abc", false, 0},
        {"42x", false, 0},
        {"4 2", false, 0},
        {"-", false, 0},
        {"+", false, 0},
        {"0x10", false, 0},
        {"2147483648", false, 0},
        {"-2147483649", false, 0},
        {"1.5", false, 0},
    };
    for (const auto& row : rows) {
        int number = 99;
        EXPECT_EQ(row.whole, ParseWholeNumber(row.text, number)) << (row.text ? row.text : "null");
        EXPECT_EQ(row.whole ? row.number : 99, number) << (row.text ? row.text : "null");
    }
}

class PageValues : public ::testing::Test {
protected:
    void SetUp() override { RegistryMem::Clear(); }
};

TEST_F(PageValues, DefaultSettingsGiveTheFreshPages) {
    CAgentSettings settings;
    const ConnectionValues connection = ReadConnectionValues(settings);
    EXPECT_EQ(CString("5 minutes"), connection.pollText);
    EXPECT_EQ(0, connection.proxyOn);
    EXPECT_EQ(CString("proxy"), connection.proxyHost);
    EXPECT_EQ(8001, connection.proxyPort);
    EXPECT_EQ(0, connection.proxyAuthOn);
    EXPECT_TRUE(connection.userName.IsEmpty());
    EXPECT_TRUE(connection.password.IsEmpty());

    const NotificationValues notification = ReadNotificationValues(settings);
    EXPECT_EQ(1, notification.popupOn);
    EXPECT_EQ(1, notification.systemSoundOn);
    EXPECT_EQ(0, notification.userSoundOn);
    EXPECT_EQ(CString(" "), notification.soundPath);
}

TEST_F(PageValues, ReadingTrimsTheProxyHostsLeadingBlanksInTheSettings) {
    CAgentSettings settings;
    settings.proxyHost = " \t proxy.local  ";
    settings.proxyPort = "abc";
    settings.useProxy = 2;
    settings.useProxyAuth = -1;
    const ConnectionValues values = ReadConnectionValues(settings);
    EXPECT_EQ(CString("proxy.local  "), settings.proxyHost);
    EXPECT_EQ(CString("proxy.local  "), values.proxyHost);
    EXPECT_EQ(0, values.proxyPort);
    EXPECT_EQ(1, values.proxyOn);
    EXPECT_EQ(0, values.proxyAuthOn);
}

TEST_F(PageValues, WritingTrimsHostAndCredentialsAndFormatsThePort) {
    CAgentSettings settings;
    ConnectionValues values;
    values.pollText = "2 hours";
    values.proxyOn = 2;
    values.proxyPort = -12;
    values.proxyHost = "  cache.example \t";
    values.proxyAuthOn = 1;
    values.userName = "  alice  ";
    values.password = " s3 cret ";
    WriteConnectionValues(values, settings);
    EXPECT_EQ(120, settings.pollingDelay);
    EXPECT_EQ(1, settings.useProxy);
    EXPECT_EQ(CString("-12"), settings.proxyPort);
    EXPECT_EQ(CString("cache.example"), settings.proxyHost);
    EXPECT_EQ(1, settings.useProxyAuth);
    EXPECT_EQ(CString("alice"), settings.authUsername);
    EXPECT_EQ(CString("s3 cret"), settings.authPassword);
}

// A delay the list cannot show (set in the registry by hand) shows no entry and survives
// an OK that does not choose one; one below the list's range becomes 5.
TEST_F(PageValues, ADelayTheListCannotShowIsKeptUnlessAnEntryIsChosen) {
    const struct {
        int stored;
        int afterOk;
    } rows[] = {{480, 480}, {241, 241}, {INT_MAX, INT_MAX}, {7, 10}, {0, 5}, {-3, 5}};
    for (const auto& row : rows) {
        CAgentSettings settings;
        settings.pollingDelay = row.stored;
        WriteConnectionValues(ReadConnectionValues(settings), settings);
        EXPECT_EQ(row.afterOk, settings.pollingDelay) << row.stored;
    }
}

TEST_F(PageValues, NotificationValuesKeepTheSoundPathExactly) {
    CAgentSettings settings;
    NotificationValues values;
    values.popupOn = 0;
    values.systemSoundOn = 3;
    values.userSoundOn = 1;
    values.soundPath = " C:\\sounds\\new mail.wav ";
    WriteNotificationValues(values, settings);
    EXPECT_EQ(0, settings.alertByMessage);
    EXPECT_EQ(1, settings.alertBySystemSound);
    EXPECT_EQ(1, settings.alertByUserSound);
    EXPECT_EQ(CString(" C:\\sounds\\new mail.wav "), settings.soundPath);
}

// Each row: the settings the machine's policy sets, and the controls locked on each page.
TEST_F(PageValues, TheControlsOfSettingsSetByPolicyAreLocked) {
    const struct {
        std::vector<const char*> policy;
        std::vector<int> connection;
        std::vector<int> notification;
    } rows[] = {
        {{}, {}, {}},
        {{"urlHost", "urlScheme"}, {}, {}},
        {{"pollingDelay", "proxyPort"}, {IDC_POLL_INTERVAL, IDC_PROXY_PORT}, {}},
        {{"useProxy", "proxyHost", "useProxyAuth", "authUsername", "authPassword"},
         {IDC_USE_PROXY, IDC_PROXY_HOST, IDC_USE_PROXY_AUTH, IDC_USERNAME, IDC_PASSWORD},
         {}},
        {{"alertByMessage", "alertBySystemSound"}, {}, {IDC_ALERT_MESSAGE, IDC_ALERT_SYSTEM_SOUND}},
        {{"soundPath", "alertByUserSound"},
         {},
         {IDC_SOUND_PATH, IDC_SOUND_BROWSE, IDC_ALERT_USER_SOUND}},
    };
    const auto ids = [](const ControlSet& set) {
        std::vector<int> found;
        for (int id = ControlSet::kFirstControl - 1; id <= ControlSet::kLastControl + 1; ++id) {
            if (set.Contains(id))
                found.push_back(id);
        }
        return found;
    };
    const auto sorted = [](std::vector<int> list) {
        std::sort(list.begin(), list.end());
        return list;
    };
    for (const auto& row : rows) {
        RegistryMem::Clear();
        for (const char* name : row.policy)
            RegistryMem::PutText(ZV_REG_POLICY_KEY, name, "1", RegistryRoot::LocalMachine);
        CAgentSettings settings;
        SCOPED_TRACE(row.policy.empty() ? "no policy" : row.policy.front());
        EXPECT_EQ(sorted(row.connection), ids(LockedConnectionControls(settings)));
        EXPECT_EQ(sorted(row.notification), ids(LockedNotificationControls(settings)));
        EXPECT_EQ(row.connection.empty(), LockedConnectionControls(settings).IsEmpty());
    }
}

} // namespace
