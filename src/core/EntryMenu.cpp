#include "core/EntryMenu.h"

#include "fw/ResString.h"
#include "res/resource.h"
#include "store/AgentSettings.h"

#include <cstdlib>

void EscapeAmpersands(CString& text) {
    if (text.Find('&') < 0)
        return;
    CString escaped;
    CString piece;
    for (int i = 0; i <= text.GetLength(); ++i) {
        if (i < text.GetLength() && text[i] != '&') {
            piece += text[i];
            continue;
        }
        if (piece.IsEmpty())
            continue;
        if (!escaped.IsEmpty())
            escaped += "&&";
        escaped += piece;
        piece.Empty();
    }
    text = escaped;
}

CString ShortenTitle(const CString& title, int maxTitle) {
    if (title.GetLength() <= maxTitle)
        return title;
    const int kept = maxTitle > 3 ? maxTitle - 3 : 0;
    return title.Left(kept) + "...";
}

std::vector<EntryItem> BuildEntryItems(const CAgentSettings& settings, int maxItems, int maxTitle) {
    std::vector<EntryItem> items;
    for (int i = 0; i < maxItems && i < settings.numEntries; ++i) {
        const NewsEntry entry = settings.Entry(i);
        CString title = ShortenTitle(entry.title, maxTitle);
        EscapeAmpersands(title);
        items.push_back({entry.date + " " + title, entry.url});
    }
    return items;
}

std::vector<EntryItem> BuildEntryItems(const CAgentSettings& settings) {
    return BuildEntryItems(settings, std::atoi(LoadResString(IDS_MENU_ENTRIES_MAX)),
                           std::atoi(LoadResString(IDS_MENU_TITLE_MAX)));
}
