#pragma once
// Text for the wide-character calls of Windows, as UTF-16 code units. Portable, so that
// decoding and counting are tested natively; the Windows side hands the units on as they
// are (wchar_t is 16 bits there).
#include "CString.h"

#include <string>

using WideText = std::u16string;

// Decodes well-formed UTF-8 into decoded and returns true. Returns false, leaving decoded
// undefined, for anything else: a stray continuation byte, a sequence cut short, an overlong
// form, an encoded surrogate or a value above U+10FFFF.
bool DecodeUtf8(const CString& text, WideText& decoded);

// Appends a code point in UTF-8; a surrogate or a value above U+10FFFF becomes U+FFFD.
void AppendUtf8(char32_t codePoint, CString& text);

// The number of characters: a surrogate pair counts once.
int CountCharacters(const WideText& text);
// The first count characters; a surrogate pair is never split.
WideText LeadingCharacters(const WideText& text, int count);
