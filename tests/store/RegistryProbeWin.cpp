#include "RegistryProbe.h"

#include <windows.h>

#include <algorithm>

namespace Probe {

void Reset(const std::string& path) {
    RegDeleteTreeA(HKEY_CURRENT_USER, path.c_str());
}

void Put(const std::string& path, const std::string& name, unsigned long type,
         const std::string& data) {
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key,
                        nullptr) != ERROR_SUCCESS)
        return;
    RegSetValueExA(key, name.c_str(), 0, type, reinterpret_cast<const BYTE*>(data.data()),
                   static_cast<DWORD>(data.size()));
    RegCloseKey(key);
}

bool Get(const std::string& path, const std::string& name, unsigned long& type, std::string& data) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    DWORD valueType = 0;
    DWORD bytes = 0;
    bool found =
        RegQueryValueExA(key, name.c_str(), nullptr, &valueType, nullptr, &bytes) == ERROR_SUCCESS;
    if (found) {
        data.assign(bytes, '\0');
        found = RegQueryValueExA(key, name.c_str(), nullptr, &valueType,
                                 reinterpret_cast<BYTE*>(&data[0]), &bytes) == ERROR_SUCCESS;
        data.resize(bytes);
        type = valueType;
    }
    RegCloseKey(key);
    return found;
}

bool KeyExists(const std::string& path) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

std::vector<std::string> ValueNames(const std::string& path) {
    std::vector<std::string> names;
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return names;
    char name[16384];
    for (DWORD index = 0;; ++index) {
        DWORD length = sizeof name;
        if (RegEnumValueA(key, index, name, &length, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS)
            break;
        names.emplace_back(name, length);
    }
    RegCloseKey(key);
    std::sort(names.begin(), names.end());
    return names;
}

} // namespace Probe
