#pragma once
// The settings an administrator sets by policy: text values named and written as in the
// Settings key, in ZV_REG_POLICY_KEY (res/contract.h) below HKEY_LOCAL_MACHINE and below
// HKEY_CURRENT_USER. The machine's value wins over the user's. The agent only reads them.
#include "CString.h"
#include "RegistryKey.h"

class CAgentPolicy {
public:
    CAgentPolicy();

    // The policy's value of a setting, read as CRegistryKey::GetText and GetInt read it from
    // the machine's key, or else from the user's; false when neither holds a readable value.
    bool GetText(const char* name, CString& text);
    bool GetInt(const char* name, int& value);

private:
    CRegistryKey m_machine;
    CRegistryKey m_user;
};
