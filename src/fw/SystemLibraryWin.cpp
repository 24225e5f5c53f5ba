#include "SystemLibraryWin.h"

FARPROC SystemFunction(const char* dll, const char* name) {
    HMODULE module = GetModuleHandleA(dll);
    if (!module)
        module = LoadLibraryA(dll);
    return module ? GetProcAddress(module, name) : nullptr;
}

const char kOle32[] = "ole32.dll";

namespace {

const char kOleAutomation[] = "oleaut32.dll";

} // namespace

HRESULT StartOle() {
    const auto initialize = SystemFunctionOf<decltype(OleInitialize)>(kOle32, "OleInitialize");
    return initialize ? initialize(nullptr) : E_NOTIMPL;
}

BSTR AllocBstr(const char* text, int length) {
    const auto allocate =
        SystemFunctionOf<decltype(SysAllocStringLen)>(kOleAutomation, "SysAllocStringLen");
    if (!allocate)
        return nullptr;
    const int wideLength = MultiByteToWideChar(CP_ACP, 0, text, length, nullptr, 0);
    BSTR wide = allocate(nullptr, static_cast<UINT>(wideLength));
    if (wide)
        MultiByteToWideChar(CP_ACP, 0, text, length, wide, wideLength);
    return wide;
}

void FreeBstr(BSTR text) {
    const auto free = SystemFunctionOf<decltype(SysFreeString)>(kOleAutomation, "SysFreeString");
    if (free && text)
        free(text);
}
