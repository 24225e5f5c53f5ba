#pragma once
// The texts of the entries menu: the latest news entries as "date title", each part shortened
// and with its ampersands escaped for the menu, in UTF-16 for the menu's wide-character calls.
#include "CString.h"
#include "WideText.h"

#include <vector>

class CAgentSettings;

// Reads the bytes of a text that is not UTF-8: the system's ANSI code page on Windows.
using LegacyDecoder = WideText (*)(const CString& text);

// A text as the site sent it: UTF-8 where it is valid UTF-8 (sites write their lists in it,
// and ASCII is valid UTF-8), otherwise the older single- or double-byte encoding of the
// system, which is what the site meant when it is not UTF-8.
WideText DecodeSiteText(const CString& text, LegacyDecoder legacy);

// Each run of "&" between other text becomes "&&" (the menu shows one "&"); a run at the
// start or the end is dropped.
void EscapeAmpersands(WideText& text);

// A text longer than most characters becomes its first most - 3 characters and "...". A
// surrogate pair is one character and never split.
WideText ShortenText(const WideText& text, int most);

struct EntryItem {
    WideText text; // what the menu shows
    CString url;   // what its command opens, as the site sent it
};

// The first maxItems entries of the cached list, in the cache's order. The date and the title
// are each shortened to maxTitle characters, so no item grows without bound.
std::vector<EntryItem> BuildEntryItems(const CAgentSettings& settings, LegacyDecoder legacy,
                                       int maxItems, int maxTitle);
// The same with the limits of the string table.
std::vector<EntryItem> BuildEntryItems(const CAgentSettings& settings, LegacyDecoder legacy);
