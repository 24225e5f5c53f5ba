// The probe helpers that only build on the backend's primitives.
#include "RegistryProbe.h"

namespace Probe {

void PutText(const std::string& path, const std::string& name, const std::string& text) {
    Put(path, name, Sz, text + '\0');
}

void PutDword(const std::string& path, const std::string& name, unsigned long number) {
    std::string data(4, '\0');
    for (size_t i = 0; i < 4; ++i)
        data[i] = static_cast<char>((number >> (8 * i)) & 0xff);
    Put(path, name, Dword, data);
}

std::string Text(const std::string& path, const std::string& name) {
    unsigned long type = 0;
    std::string data;
    if (!Get(path, name, type, data))
        return "<missing>";
    if (type != Sz)
        return "<type " + std::to_string(type) + ">";
    return data.substr(0, data.find('\0'));
}

} // namespace Probe
