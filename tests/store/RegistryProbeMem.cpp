#include "RegistryMem.h"
#include "RegistryProbe.h"

namespace Probe {

void Reset(const std::string&) {
    RegistryMem::Clear();
}

void Put(const std::string& path, const std::string& name, unsigned long type,
         const std::string& data) {
    RegistryMem::Put(path, name, type, data);
}

bool Get(const std::string& path, const std::string& name, unsigned long& type, std::string& data) {
    RegistryMem::Value value;
    if (!RegistryMem::Get(path, name, value))
        return false;
    type = value.type;
    data = value.data;
    return true;
}

bool KeyExists(const std::string& path) {
    return RegistryMem::KeyExists(path);
}

std::vector<std::string> ValueNames(const std::string& path) {
    return RegistryMem::ValueNames(path);
}

} // namespace Probe
