#include "Feed.h"

#include "WebAddress.h"
#include "WideText.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace {

enum Format { Rss2 = 1, Rss1, Atom };
// What an element is, by its name: the fields of an entry come first.
enum Role { Title, Link, Id, Published, Updated, Other, Root, Channel, Entry };
enum Namespace { None, AtomNs, RdfNs, Rss1Ns, DublinCoreNs, XmlNs };

const char* const kNamespaces[] = {"",
                                   "http://www.w3.org/2005/Atom",
                                   "http://www.w3.org/1999/02/22-rdf-syntax-ns#",
                                   "http://purl.org/rss/1.0/",
                                   "http://purl.org/dc/elements/1.1/",
                                   "http://www.w3.org/XML/1998/namespace"};

struct Name {
    unsigned char format;
    unsigned char space;
    unsigned char role;
    char local[10];
};

const Name kNames[] = {
    {Rss2, None, Root, "rss"},
    {Rss1, RdfNs, Root, "RDF"},
    {Atom, AtomNs, Root, "feed"},
    {Rss2, None, Channel, "channel"},
    {Rss2, None, Entry, "item"},
    {Rss2, None, Title, "title"},
    {Rss2, None, Link, "link"},
    {Rss2, None, Id, "guid"},
    {Rss2, None, Published, "pubDate"},
    {Rss1, Rss1Ns, Entry, "item"},
    {Rss1, Rss1Ns, Title, "title"},
    {Rss1, Rss1Ns, Link, "link"},
    {Rss1, DublinCoreNs, Published, "date"},
    {Atom, AtomNs, Entry, "entry"},
    {Atom, AtomNs, Title, "title"},
    {Atom, AtomNs, Link, "link"},
    {Atom, AtomNs, Id, "id"},
    {Atom, AtomNs, Published, "published"},
    {Atom, AtomNs, Updated, "updated"},
};

bool IsNamed(const Name& name, const CString& namespaceUri, const CString& localName) {
    return namespaceUri == kNamespaces[name.space] && localName == name.local;
}

// The element of that name in a feed of that kind; until the root element has told the kind
// of feed (format 0), only root elements are known.
const Name* FindName(int format, const CString& namespaceUri, const CString& localName) {
    for (const Name& name : kNames) {
        if ((format ? name.format == format : name.role == Root) &&
            IsNamed(name, namespaceUri, localName)) {
            return &name;
        }
    }
    return nullptr;
}

bool IsXmlBlank(char ch) {
    return ch == ' ' || ch == '\t' || ch == '\r' || ch == '\n';
}

// Every run of blanks becomes one space; none is left at either end.
CString Collapse(const CString& text) {
    CString collapsed;
    bool blank = false;
    for (int i = 0; i < text.GetLength(); ++i) {
        if (IsXmlBlank(text[i])) {
            blank = !collapsed.IsEmpty();
        } else {
            if (blank)
                collapsed += ' ';
            blank = false;
            collapsed += text[i];
        }
    }
    return collapsed;
}

// Appends the character of a reference ("amp", "#38" or "#x26" between "&" and ";").
bool AppendReference(const char* name, int length, CString& text) {
    // Each name is followed by its character.
    static const char kNamed[][6] = {"amp&", "lt<", "gt>", "quot\"", "apos'", "nbsp "};
    for (const char* entity : kNamed) {
        if (static_cast<int>(std::strlen(entity)) == length + 1 &&
            std::strncmp(entity, name, static_cast<size_t>(length)) == 0) {
            text += entity[length];
            return true;
        }
    }
    // A number: decimal, or hexadecimal after "#x"; zero is no character.
    const bool hex = length > 2 && name[0] == '#' && (name[1] | 0x20) == 'x';
    const char* digits = name + (hex ? 2 : 1);
    char* end = nullptr;
    // strtol would also take blanks and a sign.
    const long value = name[0] == '#' && *digits && std::strchr("0123456789abcdefABCDEF", *digits)
                           ? std::strtol(digits, &end, hex ? 16 : 10)
                           : -1;
    if (end != name + length || value < 0)
        return false;
    AppendUtf8(value == 0 || value > 0x10FFFF ? 0xFFFD : static_cast<char32_t>(value), text);
    return true;
}

// The text of an HTML fragment: tags dropped, character references decoded.
CString HtmlText(const CString& html) {
    const char* const text = html.c_str();
    const int length = html.GetLength();
    CString plain;
    for (int i = 0; i < length; ++i) {
        if (text[i] == '<') {
            const char* close = static_cast<const char*>(std::memchr(text + i, '>', length - i));
            if (!close)
                break;
            i = static_cast<int>(close - text);
            continue;
        }
        // A reference is short: an "&" without a ";" soon after is not one.
        const char* end =
            text[i] == '&'
                ? static_cast<const char*>(std::memchr(text + i, ';', std::min(length - i, 12)))
                : nullptr;
        if (end && AppendReference(text + i + 1, static_cast<int>(end - text) - i - 1, plain))
            i = static_cast<int>(end - text);
        else
            plain += text[i];
    }
    return plain;
}

} // namespace

CFeedBuilder::CFeedBuilder(const CString& address, DateFormatter formatDate, FeedList& feed)
    : m_formatDate(formatDate), m_feed(feed), m_field(Other) {
    static_assert(sizeof m_fields / sizeof m_fields[0] == Other, "a field for every field role");
    m_bases.push_back(address);
}

CFeedBuilder::~CFeedBuilder() = default;

// Texts are taken up to a zero byte, as the registry keeps them (an XML reader hands on none).
void CFeedBuilder::Attribute(const CString& namespaceUri, const CString& localName,
                             const CString& value) {
    if (namespaceUri == kNamespaces[XmlNs] && localName == "base")
        m_xmlBase = value.c_str();
    else if (!namespaceUri.IsEmpty())
        return;
    else if (localName == "href")
        m_href = value.c_str();
    else if (localName == "type")
        m_htmlType = value == "html";
    else if (localName == "rel")
        m_alternate = value == "alternate";
    else if (localName == "isPermaLink")
        m_permaLink = value != "false";
}

bool CFeedBuilder::StartElement(const CString& namespaceUri, const CString& localName) {
    const int depth = static_cast<int>(m_bases.size()) - 1;
    m_bases.push_back(m_bases.back());
    if (!m_xmlBase.IsEmpty())
        m_bases.back() = ResolveReference(m_bases.back(), Collapse(m_xmlBase));
    const Name* name = FindName(m_format, namespaceUri, localName);
    const int found = name ? name->role : static_cast<int>(Other);
    bool more = true;
    if (depth == 0) {
        m_format = name ? name->format : 0;
        more = name != nullptr;
    } else if (m_field != Other) {
        // Markup inside a field's text: an Atom XHTML title.
    } else if (m_entryDepth >= 0) {
        if (depth == m_entryDepth + 1)
            StartField(found);
    } else if (found == Entry && depth == (m_format == Rss2 ? 2 : 1) &&
               (m_format != Rss2 || m_inChannel)) {
        more = m_feed.markers.size() < static_cast<size_t>(kMostStoredEntries);
        m_entryDepth = depth;
        for (CString& field : m_fields)
            field.Empty();
    } else {
        m_inChannel = m_inChannel || (found == Channel && depth == 1);
    }
    m_xmlBase.Empty();
    m_href.Empty();
    m_htmlType = false;
    m_alternate = true;
    m_permaLink = true;
    return more;
}

void CFeedBuilder::StartField(int role) {
    if (role == Link && m_format == Atom) {
        if (m_fields[Link].IsEmpty() && m_alternate)
            m_fields[Link] = ResolveReference(m_bases.back(), Collapse(m_href));
    } else if (role < Other) {
        m_field = role;
        m_fieldDepth = static_cast<int>(m_bases.size()) - 2;
        m_text.Empty();
        m_htmlTitle = m_htmlType;
        // A guid is the entry's permanent address unless it says otherwise.
        if (role == Id && m_fields[Id].IsEmpty())
            m_idIsLink = m_format == Rss2 && m_permaLink;
    }
}

void CFeedBuilder::Text(const CString& text) {
    if (m_field != Other)
        m_text += text.c_str();
}

void CFeedBuilder::EndElement() {
    const int depth = static_cast<int>(m_bases.size()) - 2;
    if (depth < 0)
        return;
    if (m_field != Other && depth == m_fieldDepth)
        EndField();
    if (depth == m_entryDepth)
        EndEntry();
    m_inChannel = m_inChannel && depth != 1;
    m_bases.pop_back();
}

void CFeedBuilder::EndField() {
    CString& kept = m_fields[m_field];
    if (kept.IsEmpty()) {
        kept = Collapse(m_field == Title && m_htmlTitle ? HtmlText(m_text) : m_text);
        if (m_field == Link)
            kept = ResolveReference(m_bases.back(), kept);
    }
    m_field = Other;
}

void CFeedBuilder::EndEntry() {
    m_feed.list.entries.push_back(NewsEntry());
    NewsEntry& entry = m_feed.list.entries.back();
    entry.title = m_fields[Title];
    // An RSS guid stands for the address when there is no link.
    const CString link = !m_fields[Link].IsEmpty() ? m_fields[Link]
                         : m_idIsLink              ? ResolveReference(m_bases.back(), m_fields[Id])
                                                   : CString();
    if (IsWebAddress(link))
        entry.url = link;
    // Atom: the entry's first appearance; its update time changes with every edit.
    FeedTime time;
    const bool dated = ParseFeedDate(
        m_fields[Published].IsEmpty() ? m_fields[Updated] : m_fields[Published], time);
    if (dated)
        entry.date = m_formatDate(time);
    const size_t index = m_feed.markers.size();
    if (dated && (index == 0 || time.seconds > m_newestTime)) {
        m_newest = index;
        m_newestTime = time.seconds;
    }
    m_allDated = m_allDated && dated;
    const CString& id = m_fields[Id];
    const CString& marker = !id.IsEmpty() ? id : !entry.url.IsEmpty() ? entry.url : entry.title;
    // Cut at the start of a character.
    int cut = std::min(marker.GetLength(), kLongestFeedMarker);
    while (cut < marker.GetLength() && (marker[cut] & 0xC0) == 0x80)
        --cut;
    const CString kept = marker.Left(cut);
    m_feed.markers.push_back(kept);
    m_entryDepth = -1;
    m_idIsLink = false;
}

void CFeedBuilder::Finish(const XmlReadResult& read) {
    m_feed.failure = read.failure != FailureKind::None || m_format != 0
                         ? read.failure
                         : FailureKind::FeedUnknownFormat;
    m_feed.line = read.line;
    // The newest entry: the latest when every entry has a date, else the first.
    m_feed.list.hasEpoch = !m_feed.markers.empty();
    if (m_feed.list.hasEpoch)
        m_feed.list.epoch = m_feed.markers[m_allDated ? m_newest : 0];
}

CString FeedEntryKey(const NewsEntry& entry) {
    const bool titled = entry.url.IsEmpty();
    CString key(titled ? "\0t" : "\0u", 2);
    key += titled ? entry.title : entry.url;
    key += '\0';
    return key;
}

bool FeedHasNews(const FeedList& feed, const CString& storedEpoch, const CString& knownEntries) {
    bool holdsEpoch = false;
    for (const CString& marker : feed.markers)
        holdsEpoch = holdsEpoch || marker == storedEpoch;
    if (!holdsEpoch)
        return !feed.markers.empty();
    // Each stored entry is known once.
    std::string known = knownEntries.str();
    for (const NewsEntry& entry : feed.list.entries) {
        const CString key = FeedEntryKey(entry);
        const size_t at = known.find(key.str());
        if (at == std::string::npos)
            return true;
        known.erase(at, key.str().size());
    }
    return false;
}
