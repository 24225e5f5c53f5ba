#pragma once
// The texts of the entries menu: the latest news entries as "date title", shortened and
// with their ampersands escaped for the menu.
#include "fw/CString.h"

#include <vector>

class CAgentSettings;

// Each run of "&" between other text becomes "&&" (the menu shows one "&"); a run at the
// start or the end is dropped.
void EscapeAmpersands(CString& text);

// A title longer than maxTitle becomes its first maxTitle - 3 characters and "...".
CString ShortenTitle(const CString& title, int maxTitle);

struct EntryItem {
    CString text; // what the menu shows
    CString url;  // what its command opens
};

// The first maxItems entries of the cached list, in the cache's order.
std::vector<EntryItem> BuildEntryItems(const CAgentSettings& settings, int maxItems, int maxTitle);
// The same with the limits of the string table.
std::vector<EntryItem> BuildEntryItems(const CAgentSettings& settings);
