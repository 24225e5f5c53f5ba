#include "AgentSettings.h"

#include "ResString.h"
#include "contract.h"
#include "resource.h"
#include "RegistryKey.h"

#include <algorithm>

namespace {

const char kCompany[] = ZV_COMPANY;
const char kProduct[] = ZV_REG_PRODUCT;
const char kKey[] = ZV_REG_SECTION;
const char kSettings[] = ZV_REG_SETTINGS;
const char kData[] = ZV_REG_DATA;

// names holds the names of the settings set by policy, each followed by a blank.
bool Contains(const CString& names, const char* name) {
    return (" " + names).Find(" " + CString(name) + " ") >= 0;
}

// The Settings key under the administrator's policy: a value the policy holds is read from
// there and its name kept in setByPolicy, and it is never written, so the user's own value
// in the Settings key stays as it was.
class SettingsRegistry {
public:
    SettingsRegistry(CRegistryKey& user, CAgentPolicy& policy, CString& setByPolicy)
        : m_user(user), m_policy(policy), m_setByPolicy(setByPolicy) {}

    bool GetText(const char* key, const char* subKey, const char* name, CString& text) {
        if (!m_policy.GetText(name, text))
            return m_user.GetText(key, subKey, name, text);
        SetByPolicy(name);
        return true;
    }
    bool GetInt(const char* key, const char* subKey, const char* name, int& value) {
        if (!m_policy.GetInt(name, value))
            return m_user.GetInt(key, subKey, name, value);
        SetByPolicy(name);
        return true;
    }
    void SetString(const char* key, const char* subKey, const char* name, const char* text) {
        if (!Contains(m_setByPolicy, name))
            m_user.SetString(key, subKey, name, text);
    }
    void SetInt(const char* key, const char* subKey, const char* name, int value) {
        if (!Contains(m_setByPolicy, name))
            m_user.SetInt(key, subKey, name, value);
    }

private:
    void SetByPolicy(const char* name) {
        m_setByPolicy += name;
        m_setByPolicy += ' ';
    }

    CRegistryKey& m_user;
    CAgentPolicy& m_policy;
    CString& m_setByPolicy;
};

// A text setting takes the stored value only when it can be read and is not empty, so an
// empty or unreadable value keeps the default. Any length is read.
template <class Registry>
void LoadText(Registry& registry, const char* subKey, const char* name, CString& member) {
    CString text;
    if (registry.GetText(kKey, subKey, name, text) && !text.IsEmpty())
        member = text;
}

void LoadNumber(SettingsRegistry& registry, const char* name, int& member) {
    registry.GetInt(kKey, kSettings, name, member);
}

CString IndexedName(const char* prefix, int index) {
    CString name;
    name.Format("%s%d", prefix, index);
    return name;
}

} // namespace

CAgentSettings::CAgentSettings()
    : numEntries(0), m_registry(std::make_unique<CRegistryKey>(kCompany, kProduct)) {
    m_registry->SetRootKey(RegistryRoot::CurrentUser);
    SetDefaults();
    LoadAll();
}

CAgentSettings::~CAgentSettings() {
    SaveAll();
}

void CAgentSettings::SetDefaults() {
    alertBySystemSound = 1;
    alertByUserSound = 0;
    alertByMessage = 1;
    useProxy = 0;
    useProxyAuth = 0;
    pollingDelay = 5;
    authUsername.Empty();
    authPassword.Empty();
    soundPath = LoadResString(IDS_DEFAULT_SOUND_PATH);
    urlHost = LoadResString(IDS_DEFAULT_URL_HOST);
    urlPort = LoadResString(IDS_DEFAULT_URL_PORT);
    urlPath = LoadResString(IDS_DEFAULT_URL_PATH);
    proxyHost = LoadResString(IDS_DEFAULT_PROXY_HOST);
    proxyPort = LoadResString(IDS_DEFAULT_PROXY_PORT);
    urlScheme = "http";

    dates.clear();
    titles.clear();
    urls.clear();
    numEntries = 0;
    epoch.Empty();
    lastModified.Empty();
}

void CAgentSettings::LoadSettings() {
    m_setByPolicy.Empty();
    SettingsRegistry registry(*m_registry, m_policy, m_setByPolicy);
    LoadText(registry, kSettings, "soundPath", soundPath);
    LoadText(registry, kSettings, "urlHost", urlHost);
    LoadText(registry, kSettings, "urlPort", urlPort);
    LoadText(registry, kSettings, "urlPath", urlPath);
    LoadText(registry, kSettings, "authUsername", authUsername);
    LoadText(registry, kSettings, "authPassword", authPassword);
    LoadText(registry, kSettings, "proxyHost", proxyHost);
    LoadText(registry, kSettings, "proxyPort", proxyPort);
    LoadNumber(registry, "pollingDelay", pollingDelay);
    LoadNumber(registry, "alertByUserSound", alertByUserSound);
    LoadNumber(registry, "alertBySystemSound", alertBySystemSound);
    LoadNumber(registry, "alertByMessage", alertByMessage);
    LoadNumber(registry, "useProxy", useProxy);
    LoadNumber(registry, "useProxyAuth", useProxyAuth);
    LoadText(registry, kSettings, "urlScheme", urlScheme);
}

// Failed writes are skipped: the agent keeps running on its in-memory settings.
void CAgentSettings::SaveSettings() {
    SettingsRegistry registry(*m_registry, m_policy, m_setByPolicy);
    registry.SetString(kKey, kSettings, "soundPath", soundPath);
    registry.SetString(kKey, kSettings, "urlHost", urlHost);
    registry.SetString(kKey, kSettings, "urlPort", urlPort);
    registry.SetString(kKey, kSettings, "urlPath", urlPath);
    registry.SetString(kKey, kSettings, "proxyHost", proxyHost);
    registry.SetString(kKey, kSettings, "proxyPort", proxyPort);
    registry.SetString(kKey, kSettings, "authUsername", authUsername);
    registry.SetString(kKey, kSettings, "authPassword", authPassword);
    registry.SetInt(kKey, kSettings, "pollingDelay", pollingDelay);
    registry.SetInt(kKey, kSettings, "useProxy", useProxy);
    registry.SetInt(kKey, kSettings, "useProxyAuth", useProxyAuth);
    registry.SetInt(kKey, kSettings, "alertBySystemSound", alertBySystemSound);
    registry.SetInt(kKey, kSettings, "alertByUserSound", alertByUserSound);
    registry.SetInt(kKey, kSettings, "alertByMessage", alertByMessage);
}

void CAgentSettings::LoadAll() {
    LoadSettings();
    LoadNews();
}

void CAgentSettings::SaveAll() {
    SaveSettings();
    SaveNews();
}

void CAgentSettings::LoadNews() {
    CRegistryKey& registry = *m_registry;
    LoadText(registry, kData, "epoch", epoch);
    LoadText(registry, kData, "lastModified", lastModified);

    int count = 0; // stays 0 when the value cannot be read
    registry.GetInt(kKey, kData, "numentries", count);
    // A hand-edited count must not make start-up allocate or read without end.
    count = std::clamp(count, 0, kMostStoredEntries);

    // Built aside and installed whole, so the three arrays always match the count.
    std::vector<CString> newDates(static_cast<size_t>(count));
    std::vector<CString> newTitles(static_cast<size_t>(count));
    std::vector<CString> newUrls(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) {
        const size_t at = static_cast<size_t>(i);
        registry.GetText(kKey, kData, IndexedName("Date_", i), newDates[at]);
        registry.GetText(kKey, kData, IndexedName("Title_", i), newTitles[at]);
        registry.GetText(kKey, kData, IndexedName("URL_", i), newUrls[at]);
    }
    dates.swap(newDates);
    titles.swap(newTitles);
    urls.swap(newUrls);
    numEntries = count;
}

void CAgentSettings::SaveNews() {
    StoreLastModified(lastModified);
    StoreEpoch(epoch);
    StoreEntryCount(numEntries);
    for (int i = 0; i < numEntries; ++i) {
        const NewsEntry entry = Entry(i);
        StoreEntry(i, entry.date, entry.title, entry.url);
    }
}

void CAgentSettings::StoreEntry(int index, const CString& date, const CString& title,
                                const CString& url) {
    m_registry->SetString(kKey, kData, IndexedName("Date_", index), date);
    m_registry->SetString(kKey, kData, IndexedName("Title_", index), title);
    m_registry->SetString(kKey, kData, IndexedName("URL_", index), url);
}

void CAgentSettings::StoreEntryCount(int count) {
    m_registry->SetInt(kKey, kData, "numentries", count);
}

void CAgentSettings::StoreEpoch(const CString& text) {
    m_registry->SetString(kKey, kData, "epoch", text);
}

void CAgentSettings::StoreLastModified(const CString& text) {
    m_registry->SetString(kKey, kData, "lastModified", text);
}

bool CAgentSettings::LoadNewEntriesFlag() {
    int flag = 0;
    return m_registry->GetInt(kKey, kSettings, "newEntriesFlag", flag) && flag > 0;
}

void CAgentSettings::SaveNewEntriesFlag(bool flag) {
    m_registry->SetInt(kKey, kSettings, "newEntriesFlag", flag ? 1 : 0);
}

bool CAgentSettings::IsSetByPolicy(const char* name) const {
    return Contains(m_setByPolicy, name);
}

NewsEntry CAgentSettings::Entry(int index) const {
    if (index < 0 || index >= numEntries)
        return NewsEntry();
    const size_t at = static_cast<size_t>(index);
    return NewsEntry{dates[at], titles[at], urls[at]};
}
