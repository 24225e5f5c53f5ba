#include "SystemLibraryWin.h"

FARPROC SystemFunction(const char* dll, const char* name) {
    HMODULE module = GetModuleHandleA(dll);
    if (!module)
        module = LoadLibraryA(dll);
    return module ? GetProcAddress(module, name) : nullptr;
}
