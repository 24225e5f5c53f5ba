// What follows the XML reader, on arbitrary input: the input is played as a script of reader
// events (tests/update/FeedScript.h) into the feed builder, and read as a date, as a
// relative link against an address, and as a body that may be XML. Nothing may crash, and
// the feed must keep its promises: no more entries than the store keeps, a bounded marker for
// each, only web addresses, titles on one line, an epoch that is one of the markers, and a
// feed that is never news against itself as stored, in either order.
#include "Feed.h"
#include "FeedScript.h"
#include "WebAddress.h"

#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

void Require(bool condition) {
    if (!condition)
        std::abort();
}

CString DateText(const FeedTime& time) {
    Require(time.seconds >= -11644473600LL && time.seconds < 253402387200LL);
    return "d";
}

void CheckFeed(const std::string& script) {
    FeedList feed;
    CFeedBuilder builder("http://news.example/feed.xml", DateText, feed);
    PlayScript(script, builder);
    builder.Finish(XmlReadResult());
    if (feed.failure != FailureKind::None) {
        Require(feed.failure == FailureKind::FeedUnknownFormat);
        return;
    }
    const std::vector<NewsEntry>& entries = feed.list.entries;
    Require(entries.size() <= static_cast<size_t>(kMostStoredEntries));
    Require(entries.size() == feed.markers.size() && feed.list.hasEpoch == !entries.empty());
    bool epochFound = !feed.list.hasEpoch;
    CString known;
    CString reversed;
    for (size_t i = 0; i < entries.size(); ++i) {
        const NewsEntry& entry = entries[i];
        Require(feed.markers[i].GetLength() <= kLongestFeedMarker);
        Require(entry.url.IsEmpty() || IsWebAddress(entry.url));
        Require(entry.title.Find('\n') < 0 && entry.title.Find('\t') < 0);
        Require(entry.title.IsEmpty() || (entry.title[0] != ' ' && entry.title.Right(1) != " "));
        epochFound = epochFound || feed.markers[i] == feed.list.epoch;
        known += FeedEntryKey(entry);
        reversed = FeedEntryKey(entry) + reversed;
    }
    Require(epochFound);
    Require(!FeedHasNews(feed, feed.list.epoch, known));
    Require(!FeedHasNews(feed, feed.list.epoch, reversed));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    CheckFeed(input);

    FeedTime time;
    if (ParseFeedDate(CString(input), time))
        DateText(time);

    // The first line is the base address, the rest the reference.
    const size_t lineFeed = input.find('\n');
    const CString base(input.substr(0, lineFeed));
    const CString reference(lineFeed == std::string::npos ? "" : input.substr(lineFeed + 1));
    const CString resolved = ResolveReference(base, reference);
    Require(reference.IsEmpty() || !resolved.IsEmpty());
    if (IsWebAddress(base) && base == StripSurroundingControls(base) && reference.Left(2) != "//" &&
        reference.Find(':') < 0)
        Require(resolved.Left(base.Find(':')) == base.Left(base.Find(':')));

    XmlDocument document;
    if (PrepareXmlDocument(input.data(), static_cast<int>(size), document)) {
        Require(!document.bytes.IsEmpty() && document.firstLine >= 1);
        Require(document.lastLine >= document.firstLine);
    }
    return 0;
}
