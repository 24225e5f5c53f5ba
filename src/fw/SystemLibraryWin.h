#pragma once
// System DLLs that the agent needs only now and then (automation for Internet Explorer, the
// user's sound, the settings sheet and its file dialog, the answers to a screen reader) are
// loaded on first use instead of with the program: every DLL loaded at start costs the idle
// agent memory for its whole run.
#include "CString.h"

#include <windows.h>
#include <ole2.h>

// The address of an export of a system DLL, loading the DLL on first use; it then stays
// loaded for the rest of the run. Null when the DLL or the export cannot be found.
FARPROC SystemFunction(const char* dll, const char* name);

template <typename Function> Function* SystemFunctionOf(const char* dll, const char* name) {
    // Through the generic function pointer type, which converts to any other without a
    // signature warning.
    return reinterpret_cast<Function*>(reinterpret_cast<void (*)()>(SystemFunction(dll, name)));
}

// COM and OLE, for a page opened through Internet Explorer's automation and for the popup's
// answers to screen readers.
extern const char kOle32[];

// OLE on the calling thread, for the rest of the run.
HRESULT StartOle();

// Text in the system code page as a BSTR (null when it cannot be made), and its release.
BSTR AllocBstr(const char* text, int length);
inline BSTR AllocBstr(const CString& text) {
    return AllocBstr(text, text.GetLength());
}
void FreeBstr(BSTR text);
