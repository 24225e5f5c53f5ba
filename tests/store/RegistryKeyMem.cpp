// An in-memory registry behind CRegistryKey, for host tests. It behaves as the Win32 calls
// the real backend makes: a read creates its key (a policy read only opens an existing one),
// a value that does not fit the caller's buffer fails, and only REG_SZ values can be read.
#include "RegistryMem.h"

#include <algorithm>
#include <cctype>
#include <map>

namespace {

struct StoredValue {
    std::string name;
    RegistryMem::Value value;
};

struct Key {
    std::string path;
    std::map<std::string, StoredValue> values; // by upper-cased name
};

struct Registry {
    std::map<std::string, Key> keys; // by root and upper-cased path
    std::vector<std::string> denied;
    std::vector<RegistryMem::Op> log;
};

Registry& State() {
    static Registry registry;
    return registry;
}

std::string Upper(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char ch) { return static_cast<char>(std::toupper(ch)); });
    return text;
}

std::string RootPrefix(RegistryRoot root) {
    return root == RegistryRoot::CurrentUser ? "HKCU\\" : "HKLM\\";
}

std::string Id(RegistryRoot root, const std::string& path) {
    return RootPrefix(root) + Upper(path);
}

bool IsDenied(RegistryRoot root, const std::string& path) {
    const std::string id = Id(root, path);
    for (const std::string& denied : State().denied) {
        if (id == denied || id.rfind(denied + "\\", 0) == 0)
            return true;
    }
    return false;
}

// Creates the key and every parent, as RegCreateKeyEx does.
Key& Create(RegistryRoot root, const std::string& path) {
    Registry& state = State();
    for (size_t end = path.find('\\'); end != std::string::npos; end = path.find('\\', end + 1)) {
        const std::string parent = path.substr(0, end);
        if (!parent.empty())
            state.keys.emplace(Id(root, parent), Key{parent, {}});
    }
    return state.keys.emplace(Id(root, path), Key{path, {}}).first->second;
}

Key* Find(RegistryRoot root, const std::string& path) {
    auto it = State().keys.find(Id(root, path));
    return it == State().keys.end() ? nullptr : &it->second;
}

// The key opened by a CRegistryKey operation, or null when it cannot be created (or, when
// create is false, does not exist).
Key* Open(RegistryRoot root, const std::string& path, bool create = true) {
    State().log.push_back({RegistryMem::Op::Open, root, path, ""});
    if (IsDenied(root, path))
        return nullptr;
    return create ? &Create(root, path) : Find(root, path);
}

const RegistryMem::Value* Query(RegistryRoot root, const std::string& path, const char* name,
                                RegistryAccess access) {
    Key* key = Open(root, path, access == RegistryAccess::OwnKeys);
    if (!key)
        return nullptr;
    State().log.push_back({RegistryMem::Op::Query, root, path, name});
    auto it = key->values.find(Upper(name));
    return it == key->values.end() ? nullptr : &it->second.value;
}

} // namespace

bool CRegistryKey::WriteValue(const CString& path, const char* name, const char* text) const {
    Key* key = Open(m_root, path.str());
    if (!key)
        return false;
    State().log.push_back({RegistryMem::Op::Set, m_root, path.str(), name});
    const std::string data(text, std::char_traits<char>::length(text) + 1);
    key->values[Upper(name)] = {name, {RegistryMem::Sz, data}};
    return true;
}

bool CRegistryKey::ReadValue(const CString& path, const char* name, char* buffer,
                             unsigned long size) const {
    const RegistryMem::Value* value = Query(m_root, path.str(), name, m_access);
    if (!value || value->type != RegistryMem::Sz || value->data.size() > size)
        return false;
    std::copy(value->data.begin(), value->data.end(), buffer);
    // Text stored without its NUL gets one when there is room for it.
    if (value->data.empty() || value->data.back() != '\0') {
        if (value->data.size() == size)
            return false;
        buffer[value->data.size()] = '\0';
    }
    return true;
}

bool CRegistryKey::ReadValue(const CString& path, const char* name, CString& text) const {
    const RegistryMem::Value* value = Query(m_root, path.str(), name, m_access);
    if (!value || value->type != RegistryMem::Sz)
        return false;
    text = CString(value->data.substr(0, value->data.find('\0')));
    return true;
}

namespace RegistryMem {

void Clear() {
    State() = Registry();
}

void Put(const std::string& path, const std::string& name, unsigned long type,
         const std::string& data, RegistryRoot root) {
    Create(root, path).values[Upper(name)] = {name, {type, data}};
}

void PutText(const std::string& path, const std::string& name, const std::string& text,
             RegistryRoot root) {
    Put(path, name, Sz, text + '\0', root);
}

void PutDword(const std::string& path, const std::string& name, std::uint32_t number,
              RegistryRoot root) {
    std::string data(4, '\0');
    for (int i = 0; i < 4; ++i)
        data[static_cast<size_t>(i)] = static_cast<char>((number >> (8 * i)) & 0xff);
    Put(path, name, Dword, data, root);
}

void CreateKey(const std::string& path, RegistryRoot root) {
    Create(root, path);
}

bool Get(const std::string& path, const std::string& name, Value& value, RegistryRoot root) {
    const Key* key = Find(root, path);
    if (!key)
        return false;
    auto it = key->values.find(Upper(name));
    if (it == key->values.end())
        return false;
    value = it->second.value;
    return true;
}

bool GetText(const std::string& path, const std::string& name, std::string& text,
             RegistryRoot root) {
    Value value;
    if (!Get(path, name, value, root) || value.type != Sz)
        return false;
    text = value.data.substr(0, value.data.find('\0'));
    return true;
}

bool KeyExists(const std::string& path, RegistryRoot root) {
    return Find(root, path) != nullptr;
}

std::vector<std::string> Keys(RegistryRoot root) {
    std::vector<std::string> keys;
    const std::string prefix = RootPrefix(root);
    for (const auto& [id, key] : State().keys) {
        if (id.rfind(prefix, 0) == 0)
            keys.push_back(key.path);
    }
    std::sort(keys.begin(), keys.end());
    return keys;
}

std::vector<std::string> ValueNames(const std::string& path, RegistryRoot root) {
    std::vector<std::string> names;
    if (const Key* key = Find(root, path)) {
        for (const auto& entry : key->values)
            names.push_back(entry.second.name);
    }
    std::sort(names.begin(), names.end());
    return names;
}

void DenyKey(const std::string& path, RegistryRoot root) {
    State().denied.push_back(Id(root, path));
}

const std::vector<Op>& Log() {
    return State().log;
}

void ClearLog() {
    State().log.clear();
}

std::vector<std::string> LoggedNames(Op::Kind kind) {
    std::vector<std::string> names;
    for (const Op& op : State().log) {
        if (op.kind == kind)
            names.push_back(op.name);
    }
    return names;
}

} // namespace RegistryMem
