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

WideText ShortenText(const WideText& text, int most) {
    if (CountCharacters(text) <= most)
        return text;
    const int kept = most > 3 ? most - 3 : 0;
    return LeadingCharacters(text, kept) + u"...";
}

namespace {

WideText MenuText(const CString& text, LegacyDecoder legacy, int most) {
    WideText shown = ShortenText(DecodeSiteText(text, legacy), most);
    EscapeAmpersands(shown);
    return shown;
}

} // namespace

std::vector<EntryItem> BuildEntryItems(const CAgentSettings& settings, LegacyDecoder legacy,
                                       int maxItems, int maxTitle) {
    std::vector<EntryItem> items;
    for (int i = 0; i < maxItems && i < settings.numEntries; ++i) {
        const NewsEntry entry = settings.Entry(i);
        items.push_back({MenuText(entry.date, legacy, maxTitle) + u" " +
                             MenuText(entry.title, legacy, maxTitle),
                         entry.url});
    }
    return items;
}

std::vector<EntryItem> BuildEntryItems(const CAgentSettings& settings, LegacyDecoder legacy) {
    return BuildEntryItems(settings, legacy, std::atoi(LoadResString(IDS_MENU_ENTRIES_MAX)),
                           std::atoi(LoadResString(IDS_MENU_TITLE_MAX)));
}
