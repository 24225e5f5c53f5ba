#include "EntryMenu.h"

#include "AgentSettings.h"
#include "ResString.h"
#include "resource.h"

#include <cstdlib>

WideText DecodeSiteText(const CString& text, LegacyDecoder legacy) {
    WideText decoded;
    if (DecodeUtf8(text, decoded))
        return decoded;
    return legacy(text);
}

void EscapeAmpersands(WideText& text) {
    if (text.find(u'&') == WideText::npos)
        return;
    WideText escaped;
    WideText piece;
    for (size_t i = 0; i <= text.size(); ++i) {
        if (i < text.size() && text[i] != u'&') {
            piece += text[i];
            continue;
        }
        if (piece.empty())
            continue;
        if (!escaped.empty())
            escaped += u"&&";
        escaped += piece;
        piece.clear();
    }
    text = escaped;
}

WideText ShortenTitle(const WideText& title, int maxTitle) {
    if (CountCharacters(title) <= maxTitle)
        return title;
    const int kept = maxTitle > 3 ? maxTitle - 3 : 0;
    return LeadingCharacters(title, kept) + u"...";
}

std::vector<EntryItem> BuildEntryItems(const CAgentSettings& settings, LegacyDecoder legacy,
                                       int maxItems, int maxTitle) {
    std::vector<EntryItem> items;
    for (int i = 0; i < maxItems && i < settings.numEntries; ++i) {
        const NewsEntry entry = settings.Entry(i);
        WideText title = ShortenTitle(DecodeSiteText(entry.title, legacy), maxTitle);
        EscapeAmpersands(title);
        items.push_back({DecodeSiteText(entry.date, legacy) + u" " + title, entry.url});
    }
    return items;
}

std::vector<EntryItem> BuildEntryItems(const CAgentSettings& settings, LegacyDecoder legacy) {
    return BuildEntryItems(settings, legacy, std::atoi(LoadResString(IDS_MENU_ENTRIES_MAX)),
                           std::atoi(LoadResString(IDS_MENU_TITLE_MAX)));
}
