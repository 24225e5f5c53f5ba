#pragma once
// Test API of zv_registry_mem, the in-memory registry that host tests link instead of
// zv_registry_win. CRegistryKey (store/RegistryKey.h) works on it unchanged; tests use the
// functions below to seed values of any type, read back what was written with its type,
// list keys, make a key impossible to create, and see the order of operations.
// Paths are full key paths below the root, e.g. ZV_REG_DATA_KEY;
// keys and value names compare case-insensitively, as in the real registry.
// One process-wide registry: call Clear() at the start of each test.
#include "RegistryKey.h"

#include <cstdint>
#include <string>
#include <vector>

namespace RegistryMem {

// The registry's own type numbers.
enum Type : unsigned long { Sz = 1, ExpandSz = 2, Binary = 3, Dword = 4 };

struct Value {
    unsigned long type = 0;
    std::string data; // raw bytes; a REG_SZ written by CRegistryKey includes its NUL
};

// One call that reached the registry: a key creation (Open), a RegSetValueEx (Set) or a
// RegQueryValueEx (Query).
struct Op {
    enum Kind { Open, Set, Query } kind;
    RegistryRoot root;
    std::string path;
    std::string name; // value name for Set and Query
};

// Forgets every key, value, denial and logged operation.
void Clear();

// Stores raw bytes with any type, creating the key and its parents.
void Put(const std::string& path, const std::string& name, unsigned long type,
         const std::string& data, RegistryRoot root = RegistryRoot::CurrentUser);
// REG_SZ text stored with its terminating NUL, as the agent stores it.
void PutText(const std::string& path, const std::string& name, const std::string& text,
             RegistryRoot root = RegistryRoot::CurrentUser);
void PutDword(const std::string& path, const std::string& name, std::uint32_t number,
              RegistryRoot root = RegistryRoot::CurrentUser);
void CreateKey(const std::string& path, RegistryRoot root = RegistryRoot::CurrentUser);

// The stored value; false when it does not exist.
bool Get(const std::string& path, const std::string& name, Value& value,
         RegistryRoot root = RegistryRoot::CurrentUser);
// The text of a REG_SZ value up to its NUL; false when missing or of another type.
bool GetText(const std::string& path, const std::string& name, std::string& text,
             RegistryRoot root = RegistryRoot::CurrentUser);

bool KeyExists(const std::string& path, RegistryRoot root = RegistryRoot::CurrentUser);
// Every existing key under the root, parents included, sorted.
std::vector<std::string> Keys(RegistryRoot root = RegistryRoot::CurrentUser);
// Value names of one key, sorted.
std::vector<std::string> ValueNames(const std::string& path,
                                    RegistryRoot root = RegistryRoot::CurrentUser);

// Creating or opening this key, or any key below it, fails from now on (access denied).
void DenyKey(const std::string& path, RegistryRoot root = RegistryRoot::CurrentUser);

const std::vector<Op>& Log();
void ClearLog();
// Value names of the logged operations of one kind, in order.
std::vector<std::string> LoggedNames(Op::Kind kind);

} // namespace RegistryMem
