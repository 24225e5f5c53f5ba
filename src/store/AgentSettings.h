#pragma once
// The settings record and the cached news list, persisted as registry text values in the
// keys ZV_REG_SETTINGS_KEY and ZV_REG_DATA_KEY (res/contract.h) below HKEY_CURRENT_USER.
// A setting the administrator sets by policy (AgentPolicy.h) takes the policy's value
// whenever the settings are loaded, and is never saved, so the user's own value stays.
// Used on the main thread only: the poll worker gets a copy of what it needs.
#include "AgentPolicy.h"
#include "CString.h"
#include "contract.h"
#include "ResponseParser.h"

#include <memory>
#include <vector>

class CRegistryKey;

class CAgentSettings {
public:
    CAgentSettings();  // defaults, then LoadAll
    ~CAgentSettings(); // SaveAll
    CAgentSettings(const CAgentSettings&) = delete;
    CAgentSettings& operator=(const CAgentSettings&) = delete;

    void SetDefaults();
    void LoadSettings();
    void SaveSettings();
    void LoadAll();
    void SaveAll();

    void LoadNews();
    void SaveNews();
    void StoreEntry(int index, const CString& date, const CString& title, const CString& url);
    void StoreEntryCount(int count);
    void StoreEpoch(const CString& text);
    void StoreLastModified(const CString& text);
    bool LoadNewEntriesFlag();
    void SaveNewEntriesFlag(bool flag);

    // Entry i of the cached list; an empty entry when i is outside 0 .. numEntries - 1.
    NewsEntry Entry(int index) const;

    // Whether the setting of this registry name came from policy when last loaded.
    bool IsSetByPolicy(const char* name) const;

    // The fourteen settings; each bears the name of its registry value.
    int alertBySystemSound;
    int alertByUserSound;
    int alertByMessage;
    int useProxy;
    int useProxyAuth;
    int pollingDelay;
    CString authUsername;
    CString authPassword;
    CString soundPath;
    CString urlHost;
    CString urlPort;
    CString urlPath;
    CString proxyHost;
    CString proxyPort;
    // The site's scheme, "http" or "https" in any case: set by the site's configuration
    // like urlHost, so it is read but never written.
    CString urlScheme;

    // The news cache: three parallel arrays of numEntries elements each.
    CString epoch;
    int numEntries;
    std::vector<CString> dates;
    std::vector<CString> titles;
    std::vector<CString> urls;
    CString lastModified;

private:
    std::unique_ptr<CRegistryKey> m_registry;
    CAgentPolicy m_policy;
    CString m_setByPolicy; // names, each followed by a blank
};
