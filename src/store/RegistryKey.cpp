// The parts of CRegistryKey that do not depend on where values live: argument checks,
// key paths and the number format. Compiled into each backend library.
#include "RegistryKey.h"

#include "DecimalNumber.h"

namespace {

// GetInt reads through a buffer of this many bytes, the terminating NUL included.
const unsigned long kIntBufferSize = 40;

} // namespace

CRegistryKey::CRegistryKey(const char* company, const char* product)
    : m_root(RegistryRoot::LocalMachine), m_company(company), m_product(product) {
    m_basePath = "SOFTWARE\\" + m_company + "\\" + m_product + "\\";
}

void CRegistryKey::SetRootKey(RegistryRoot root) {
    m_root = root;
}

void CRegistryKey::SetAccess(RegistryAccess access) {
    m_access = access;
}

bool CRegistryKey::CanOperate(const char* key, const char* name) const {
    return key && name && !m_company.IsEmpty() && !m_product.IsEmpty();
}

bool CRegistryKey::CanWrite(const char* key, const char* name) const {
    return CanOperate(key, name) && m_access == RegistryAccess::OwnKeys;
}

CString CRegistryKey::FullPath(const char* key, const char* subKey) const {
    CString path = m_basePath + key;
    if (subKey && *subKey)
        path += CString("\\") + subKey;
    return path;
}

bool CRegistryKey::SetString(const char* key, const char* subKey, const char* name,
                             const char* text) {
    if (!CanWrite(key, name) || !text)
        return false;
    return WriteValue(FullPath(key, subKey), name, text);
}

bool CRegistryKey::SetInt(const char* key, const char* subKey, const char* name, int value) {
    if (!CanWrite(key, name))
        return false;
    CString text;
    text.Format("%d", value);
    return WriteValue(FullPath(key, subKey), name, text);
}

bool CRegistryKey::GetString(const char* key, const char* subKey, const char* name, char* buffer,
                             unsigned long size) {
    if (!CanOperate(key, name) || !buffer || size == 0)
        return false;
    return ReadValue(FullPath(key, subKey), name, buffer, size);
}

bool CRegistryKey::GetInt(const char* key, const char* subKey, const char* name, int& value) {
    char buffer[kIntBufferSize];
    if (!GetString(key, subKey, name, buffer, sizeof buffer))
        return false;
    return ScanDecimalNumber(buffer, value) != NumberScan::OutOfRange;
}

bool CRegistryKey::GetText(const char* key, const char* subKey, const char* name, CString& text) {
    if (!CanOperate(key, name))
        return false;
    return ReadValue(FullPath(key, subKey), name, text);
}
