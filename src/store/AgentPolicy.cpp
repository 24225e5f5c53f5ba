#include "AgentPolicy.h"

#include "contract.h"

namespace {

// CRegistryKey puts SOFTWARE\ in front: the company part of the path holds Policies\.
const char kCompany[] = "Policies\\" ZV_COMPANY;
const char kKey[] = ZV_REG_SECTION;

CRegistryKey PolicyKey(RegistryRoot root) {
    CRegistryKey key(kCompany, ZV_REG_PRODUCT);
    key.SetRootKey(root);
    key.SetAccess(RegistryAccess::PolicyKeys);
    return key;
}

} // namespace

CAgentPolicy::CAgentPolicy()
    : m_machine(PolicyKey(RegistryRoot::LocalMachine)),
      m_user(PolicyKey(RegistryRoot::CurrentUser)) {}

bool CAgentPolicy::GetText(const char* name, CString& text) {
    return m_machine.GetText(kKey, nullptr, name, text) ||
           m_user.GetText(kKey, nullptr, name, text);
}

bool CAgentPolicy::GetInt(const char* name, int& value) {
    return m_machine.GetInt(kKey, nullptr, name, value) ||
           m_user.GetInt(kKey, nullptr, name, value);
}
