#include "ResString.h"

#include <windows.h>

#include <vector>

CString LoadResString(unsigned id) {
    // LoadStringA truncates silently; a result that fills the buffer may have been cut,
    // so try again with a larger one.
    for (int size = 256; size <= 65536; size *= 4) {
        std::vector<char> buffer(static_cast<size_t>(size));
        const int length = LoadStringA(GetModuleHandleA(nullptr), id, buffer.data(), size);
        if (length < size - 1)
            return CString(buffer.data(), length > 0 ? length : 0);
    }
    return CString();
}
