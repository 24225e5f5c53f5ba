#pragma once
// WideText at the wide-character calls of Windows.
#include "WideText.h"

#include <windows.h>

static_assert(sizeof(wchar_t) == sizeof(char16_t), "Windows' wide characters are UTF-16 units");

// Bytes in the system's ANSI code page.
WideText DecodeAnsi(const CString& text);
// A wide text in the system's ANSI code page; empty for null.
CString NarrowText(const wchar_t* text);

inline const wchar_t* WideChars(const WideText& text) {
    return reinterpret_cast<const wchar_t*>(text.c_str());
}
