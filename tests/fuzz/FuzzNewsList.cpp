// The news list parser on arbitrary bytes: no crash, and every token it returns is a piece
// of the body without line feeds or tabs.
#include "update/ResponseParser.h"

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
    }
    return 0;
}
