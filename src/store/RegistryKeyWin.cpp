// CRegistryKey's primitives over ADVAPI32.
#include "RegistryKey.h"

#include <windows.h>

#include <cstring>
#include <string>

namespace {

HKEY RootHandle(RegistryRoot root) {
    return root == RegistryRoot::CurrentUser ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE;
}

// One key created (or opened) for one operation; closed when it goes out of scope. A policy
// key is never created; KEY_WOW64_64KEY is ignored by 32-bit Windows.
class OpenedKey {
public:
    OpenedKey(RegistryRoot root, const CString& path, REGSAM access, RegistryAccess keys) {
        if (keys == RegistryAccess::PolicyKeys) {
            if (RegOpenKeyExA(RootHandle(root), path, 0, access | KEY_WOW64_64KEY, &m_key) !=
                ERROR_SUCCESS)
                m_key = nullptr;
            return;
        }
        SECURITY_ATTRIBUTES security = {sizeof security, nullptr, FALSE};
        // The class parameter is declared writable although the call never writes it.
        char keyClass[] = "CString";
        DWORD disposition = 0;
        if (RegCreateKeyExA(RootHandle(root), path, 0, keyClass, REG_OPTION_NON_VOLATILE, access,
                            &security, &m_key, &disposition) != ERROR_SUCCESS)
            m_key = nullptr;
    }
    ~OpenedKey() {
        if (m_key)
            RegCloseKey(m_key);
    }
    OpenedKey(const OpenedKey&) = delete;
    OpenedKey& operator=(const OpenedKey&) = delete;

    explicit operator bool() const { return m_key != nullptr; }
    HKEY Handle() const { return m_key; }

private:
    HKEY m_key = nullptr;
};

// A value changed between asking its size and reading it is asked again, a few times.
const int kReadAttempts = 4;

} // namespace

bool CRegistryKey::WriteValue(const CString& path, const char* name, const char* text) const {
    OpenedKey key(m_root, path, KEY_READ | KEY_WRITE, m_access);
    if (!key)
        return false;
    const DWORD bytes = static_cast<DWORD>(std::strlen(text) + 1);
    return RegSetValueExA(key.Handle(), name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                          bytes) == ERROR_SUCCESS;
}

bool CRegistryKey::ReadValue(const CString& path, const char* name, char* buffer,
                             unsigned long size) const {
    OpenedKey key(m_root, path, KEY_READ, m_access);
    if (!key)
        return false;
    DWORD type = 0;
    DWORD bytes = size;
    if (RegQueryValueExA(key.Handle(), name, nullptr, &type, reinterpret_cast<BYTE*>(buffer),
                         &bytes) != ERROR_SUCCESS ||
        type != REG_SZ)
        return false;
    // Text stored by another program may lack its NUL; add one when there is room.
    if (bytes == 0 || buffer[bytes - 1] != '\0') {
        if (bytes >= size)
            return false;
        buffer[bytes] = '\0';
    }
    return true;
}

bool CRegistryKey::ReadValue(const CString& path, const char* name, CString& text) const {
    OpenedKey key(m_root, path, KEY_READ, m_access);
    if (!key)
        return false;
    for (int attempt = 0; attempt < kReadAttempts; ++attempt) {
        DWORD type = 0;
        DWORD bytes = 0;
        if (RegQueryValueExA(key.Handle(), name, nullptr, &type, nullptr, &bytes) !=
                ERROR_SUCCESS ||
            type != REG_SZ)
            return false;
        // One spare byte so that text stored without its NUL is still terminated.
        std::string data(static_cast<size_t>(bytes) + 1, '\0');
        const LONG status = RegQueryValueExA(key.Handle(), name, nullptr, &type,
                                             reinterpret_cast<BYTE*>(&data[0]), &bytes);
        if (status == ERROR_MORE_DATA)
            continue;
        if (status != ERROR_SUCCESS || type != REG_SZ)
            return false;
        text = CString(data.c_str());
        return true;
    }
    return false;
}
