#pragma once
// Direct access to the registry a test runs against, beside CRegistryKey: seeds values of
// any type and inspects what was written. Paths are below HKEY_CURRENT_USER.
// RegistryProbeMem.cpp works on the in-memory registry, RegistryProbeWin.cpp on the real
// one, so the same tests hold both to one behaviour.
#include <string>
#include <vector>

namespace Probe {

// The registry's own type numbers.
enum Type : unsigned long { Sz = 1, ExpandSz = 2, Binary = 3, Dword = 4 };

// Removes the key and everything below it (the whole in-memory registry for the fake).
void Reset(const std::string& path);
void Put(const std::string& path, const std::string& name, unsigned long type,
         const std::string& data);
// REG_SZ text with its terminating NUL.
void PutText(const std::string& path, const std::string& name, const std::string& text);
void PutDword(const std::string& path, const std::string& name, unsigned long number);
bool Get(const std::string& path, const std::string& name, unsigned long& type, std::string& data);
// The stored REG_SZ bytes as text up to the NUL; "<missing>" or "<type N>" otherwise.
std::string Text(const std::string& path, const std::string& name);
bool KeyExists(const std::string& path);
std::vector<std::string> ValueNames(const std::string& path);

} // namespace Probe
