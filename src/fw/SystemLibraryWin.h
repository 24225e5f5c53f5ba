#pragma once
// System DLLs that the agent needs only now and then (automation for Internet Explorer, the
// user's sound, the settings sheet and its file dialog) are loaded on first use instead of
// with the program: every DLL loaded at start costs the idle agent memory for its whole run.
#include <windows.h>

// The address of an export of a system DLL, loading the DLL on first use; it then stays
// loaded for the rest of the run. Null when the DLL or the export cannot be found.
FARPROC SystemFunction(const char* dll, const char* name);

template <typename Function> Function* SystemFunctionOf(const char* dll, const char* name) {
    // Through the generic function pointer type, which converts to any other without a
    // signature warning.
    return reinterpret_cast<Function*>(reinterpret_cast<void (*)()>(SystemFunction(dll, name)));
}
