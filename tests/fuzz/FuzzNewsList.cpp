// The news list parser on arbitrary bytes: no crash, and every token it returns is a piece
// of the body without line feeds or tabs. Each title the site sent also goes through the
// entries menu's UTF-8 decoding and its cut by characters, which must never leave half a
// surrogate pair.
#include "WideText.h"
#include "ResponseParser.h"

#include <cstdint>
#include <cstdlib>

namespace {

void Require(bool condition) {
    if (!condition) {
        std::abort();
    }
}

bool HasSeparator(const CString& text) {
    return text.Find('\n') >= 0 || text.Find('\t') >= 0;
}

bool HasLoneSurrogate(const WideText& text) {
    for (size_t i = 0; i < text.size(); ++i) {
        const bool high = text[i] >= 0xD800 && text[i] <= 0xDBFF;
        const bool low = text[i] >= 0xDC00 && text[i] <= 0xDFFF;
        const bool nextLow = i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF;
        if (low || (high && !nextLow))
            return true;
        i += high ? 1 : 0;
    }
    return false;
}

void CheckMenuTitle(const CString& title) {
    WideText decoded;
    if (!DecodeUtf8(title, decoded))
        return;
    Require(!HasLoneSurrogate(decoded));
    const WideText kept = LeadingCharacters(decoded, 32);
    Require(!HasLoneSurrogate(kept) && CountCharacters(kept) <= 32);
    Require(decoded.compare(0, kept.size(), kept) == 0);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    CString response(reinterpret_cast<const char*>(data), static_cast<int>(size));
    NewsList list;
    ResponseCheck check = ParseNewsListText(response, list);
    if (check != ResponseCheck::Ok) {
        Require(!list.hasEpoch && list.entries.empty());
        return 0;
    }
    Require(list.hasEpoch || list.entries.empty());
    CString epoch = list.epoch;
    Require(epoch.Trim() == list.epoch && !HasSeparator(list.epoch));
    for (const NewsEntry& entry : list.entries) {
        Require(entry.date.Find(' ') < 0 && !HasSeparator(entry.date));
        Require(!HasSeparator(entry.title) && !HasSeparator(entry.url) && !entry.url.IsEmpty());
        Require(response.Find(entry.url) >= 0);
        CheckMenuTitle(entry.title);
    }
    return 0;
}
