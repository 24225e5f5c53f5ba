#pragma once
// RSS 2.0, RSS 1.0 and Atom 1.0 feeds: which elements of a document make news entries, and
// whether a feed brings news against the stored list. The system's XML reader (ReadFeed)
// hands the document to CFeedBuilder as events.
#include "CString.h"
#include "FeedDate.h"
#include "PollFailure.h"
#include "ResponseParser.h"
#include "XmlDocument.h"

#include <vector>

// The longest marker kept, in bytes; a longer one is cut at the start of a character.
constexpr int kLongestFeedMarker = 256;

struct FeedList {
    FailureKind failure = FailureKind::None;
    int line = 0;                 // where reading stopped, after a failure
    NewsList list;                // its epoch is the marker of the newest entry
    std::vector<CString> markers; // the marker of every entry, in the list's order
};

// An entry's date as the user writes dates.
using DateFormatter = CString (*)(const FeedTime& time);

// Reads a document from PrepareXmlDocument with the system's XML reader, DTDs prohibited,
// into feed; relative links are made absolute against address, the feed's own. Without that
// reader (host builds) it fails with FeedReaderMissing.
void ReadFeed(const XmlDocument& document, const CString& address, FeedList& feed);

// What tells a stored entry from the others, for FeedHasNews: its address, or its title
// when it has none, between zero bytes, which no stored text holds.
CString FeedEntryKey(const NewsEntry& entry);

// Whether a feed brings news. The store keeps the epoch (the marker of the newest entry when
// the list was stored) and each entry's date, title and address; knownEntries holds the
// FeedEntryKey of each stored entry, one after the other. While the feed still holds the entry
// whose marker is the stored epoch, it is news only when it holds an entry whose key is not known
// (each stored entry is known once): so an unchanged feed is never news, whatever its order or its
// own dates, and neither is an entry edited in place, while any new entry is. A feed
// without the stored epoch's entry is news: the stored list is another document's, or the
// edition was forgotten on purpose. A feed without entries is never news.
bool FeedHasNews(const FeedList& feed, const CString& storedEpoch, const CString& knownEntries);

// Makes entries of the events of an RSS 2.0 (rss/channel/item), RSS 1.0 (rdf:RDF/item) or
// Atom 1.0 (feed/entry) document, in document order and at most kMostStoredEntries of
// them (it stops the reader at the next one). Elements are matched by namespace URI and
// local name; an entry's fields are its direct children, the first of each kind counting.
class CFeedBuilder : public CXmlEventSink {
public:
    // The entries go to feed.
    CFeedBuilder(const CString& address, DateFormatter formatDate, FeedList& feed);
    ~CFeedBuilder() override;

    void Attribute(const CString& namespaceUri, const CString& localName,
                   const CString& value) override;
    bool StartElement(const CString& namespaceUri, const CString& localName) override;
    void Text(const CString& text) override;
    void EndElement() override;

    // Completes the feed once the reader has stopped as read says: its epoch, or why it
    // failed (a document of another kind fails with FeedUnknownFormat; the entries read
    // before a failure mean nothing).
    void Finish(const XmlReadResult& read);

private:
    void StartField(int role);
    void EndField();
    void EndEntry();

    DateFormatter m_formatDate;
    FeedList& m_feed;
    int m_format = 0; // the kind of feed, once the root element has told it
    // The attributes of the element that starts next.
    CString m_xmlBase;
    CString m_href;
    bool m_htmlType = false; // type="html"
    bool m_alternate = true; // rel="alternate", or no rel
    bool m_permaLink = true; // isPermaLink is not "false"
    // The base address of each open element, after the feed's own address.
    std::vector<CString> m_bases;
    bool m_inChannel = false; // RSS 2.0: inside rss/channel
    int m_entryDepth = -1;    // the open entry's depth; -1 outside entries
    int m_field;              // the role of the field whose text is read, if any
    int m_fieldDepth = 0;
    bool m_htmlTitle = false; // the field is an Atom title in HTML
    CString m_text;
    CString m_fields[5];      // the open entry's fields, by their role
    bool m_idIsLink = false;  // RSS 2.0: the entry's guid is its address
    size_t m_newest = 0;      // the entry with the latest date
    int64_t m_newestTime = 0; // its date
    bool m_allDated = true;
};
