// Settings set by policy, on the in-memory registry, which has both roots and logs every call.
#include "RegistryMem.h"
#include "AgentSettings.h"
#include "contract.h"
#include "site.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

namespace {

const std::string kSettings = ZV_REG_SETTINGS_KEY;
const std::string kPolicy = ZV_REG_POLICY_KEY;
const RegistryRoot kMachine = RegistryRoot::LocalMachine;
const RegistryRoot kUser = RegistryRoot::CurrentUser;

std::vector<std::string> ContractNames() {
    std::istringstream list(ZV_POLICY_VALUES);
    std::vector<std::string> names;
    for (std::string name; list >> name;)
        names.push_back(name);
    return names;
}

class AgentPolicyTest : public ::testing::Test {
protected:
    void SetUp() override { RegistryMem::Clear(); }
};

// Each row: a setting, the machine's policy text, and what the member then holds.
struct PolicyRow {
    const char* name;
    const char* policy;
    std::function<std::string(const CAgentSettings&)> member;
    std::string held;
};

TEST_F(AgentPolicyTest, EverySettingTakesTheMachinesPolicyAndSavingKeepsTheUsersOwn) {
    const auto number = [](int value) { return std::to_string(value); };
    const PolicyRow rows[] = {
        {"urlScheme", "https", [](auto& s) { return s.urlScheme.str(); }, "https"},
        {"urlHost", "news.corp", [](auto& s) { return s.urlHost.str(); }, "news.corp"},
        {"urlPort", "8443", [](auto& s) { return s.urlPort.str(); }, "8443"},
        {"urlPath", "/corp", [](auto& s) { return s.urlPath.str(); }, "/corp"},
        {"pollingDelay", "30", [=](auto& s) { return number(s.pollingDelay); }, "30"},
        {"useProxy", "1", [=](auto& s) { return number(s.useProxy); }, "1"},
        {"proxySource", "none", [](auto& s) { return s.proxySource.str(); }, "none"},
        {"proxyHost", "gate", [](auto& s) { return s.proxyHost.str(); }, "gate"},
        {"proxyPort", "3128", [](auto& s) { return s.proxyPort.str(); }, "3128"},
        {"useProxyAuth", "1", [=](auto& s) { return number(s.useProxyAuth); }, "1"},
        {"authUsername", "svc", [](auto& s) { return s.authUsername.str(); }, "svc"},
        {"authPassword", "pw", [](auto& s) { return s.authPassword.str(); }, "pw"},
        {"alertByMessage", "0", [=](auto& s) { return number(s.alertByMessage); }, "0"},
        {"alertBySystemSound", "0", [=](auto& s) { return number(s.alertBySystemSound); }, "0"},
        {"alertByUserSound", "1", [=](auto& s) { return number(s.alertByUserSound); }, "1"},
        {"soundPath", "C:\\a.wav", [](auto& s) { return s.soundPath.str(); }, "C:\\a.wav"},
    };
    const std::vector<std::string> contract = ContractNames();
    for (const PolicyRow& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_NE(contract.end(), std::find(contract.begin(), contract.end(), row.name));
        RegistryMem::Clear();
        RegistryMem::PutText(kSettings, row.name, "9");
        RegistryMem::PutText(kPolicy, row.name, row.policy, kMachine);
        {
            CAgentSettings settings;
            EXPECT_EQ(row.held, row.member(settings));
            EXPECT_TRUE(settings.IsSetByPolicy(row.name));
            EXPECT_FALSE(settings.IsSetByPolicy("newEntriesFlag"));
            settings.SaveAll();
            settings.LoadSettings();
            EXPECT_EQ(row.held, row.member(settings)) << "loaded again";
        }
        std::string stored;
        EXPECT_TRUE(RegistryMem::GetText(kSettings, row.name, stored));
        EXPECT_EQ("9", stored) << "the user's own value was overwritten";
    }
}

TEST_F(AgentPolicyTest, TheMachinesReadableValueWinsOverTheUsersPolicy) {
    const struct {
        const char* label;
        const char* machine; // null: no value; "#": a DWORD, which is not read
        const char* user;
        std::string host;
        int delay;
        bool set;
    } rows[] = {
        {"no policy", nullptr, nullptr, "home.example", 60, false},
        {"user policy", nullptr, "5", "5", 5, true},
        {"machine over user", "10", "5", "10", 10, true},
        {"unreadable machine value", "#", "5", "5", 5, true},
        {"empty policy keeps the default", "", nullptr, ZV_SITE_HOST, 5, true},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.label);
        RegistryMem::Clear();
        RegistryMem::PutText(kSettings, "urlHost", "home.example");
        RegistryMem::PutText(kSettings, "pollingDelay", "60");
        for (const char* name : {"urlHost", "pollingDelay"}) {
            if (row.machine && *row.machine == '#')
                RegistryMem::PutDword(kPolicy, name, 10, kMachine);
            else if (row.machine)
                RegistryMem::PutText(kPolicy, name, row.machine, kMachine);
            if (row.user)
                RegistryMem::PutText(kPolicy, name, row.user, kUser);
        }
        CAgentSettings settings;
        EXPECT_EQ(row.host, settings.urlHost.str());
        EXPECT_EQ(row.delay, settings.pollingDelay);
        EXPECT_EQ(row.set, settings.IsSetByPolicy("urlHost"));
        EXPECT_EQ(row.set, settings.IsSetByPolicy("pollingDelay"));
    }
}

} // namespace
