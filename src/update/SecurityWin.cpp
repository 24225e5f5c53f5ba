#include "SecurityWin.h"

#include "SystemLibraryWin.h"

PSecurityFunctionTableA SecurityFunctions() {
    auto init =
        SystemFunctionOf<PSecurityFunctionTableA WINAPI()>("secur32.dll", "InitSecurityInterfaceA");
    return init ? init() : nullptr;
}
