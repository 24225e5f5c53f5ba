// Feeds through Windows' own XML reader: documents as sites send them, hostile ones among
// them, from the body of an answer to the entries, or to the reason the poll fails.
#include "Feed.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

namespace {

FeedList Read(const std::string& body) {
    XmlDocument document;
    FeedList feed;
    if (!PrepareXmlDocument(body.data(), static_cast<int>(body.size()), document)) {
        ADD_FAILURE() << "not read as XML: " << body.substr(0, 60);
        return feed;
    }
    ReadFeed(document, "http://news.example/feeds/all.xml", feed);
    return feed;
}

std::string Titles(const FeedList& feed) {
    std::string titles;
    for (const NewsEntry& entry : feed.list.entries)
        titles += (titles.empty() ? "" : "|") + entry.title.str();
    return titles;
}

std::string Utf16(const std::string& ascii, bool bigEndian) {
    std::string units = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
    for (char ch : ascii) {
        units += bigEndian ? std::string(1, '\0') + ch : std::string(1, ch) + '\0';
    }
    return units;
}

const char kRss[] =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<rss version=\"2.0\">\n<channel>\n";

TEST(FeedReader, ReadsFeedsInTheirEncodings) {
    const std::string item = "<item><title>Caf&#233; <![CDATA[& <bar>]]></title>"
                             "<link>/news/1</link></item>";
    const struct {
        std::string body;
        const char* titles;
    } rows[] = {
        {std::string(kRss) + item + "</channel></rss>", "Caf\xC3\xA9 & <bar>"},
        {"\xEF\xBB\xBF\n\n" + std::string(kRss) + item + "</channel></rss>\n<!-- cached -->",
         "Caf\xC3\xA9 & <bar>"},
        {Utf16("<?xml version=\"1.0\" encoding=\"UTF-16\"?><rss><channel>" + item +
                   "</channel></rss>",
               false),
         "Caf\xC3\xA9 & <bar>"},
        {Utf16("<?xml version=\"1.0\" encoding=\"UTF-16\"?><rss><channel>" + item +
                   "</channel></rss>",
               true),
         "Caf\xC3\xA9 & <bar>"},
        {"<?xml version=\"1.0\" encoding=\"windows-1252\"?><rss><channel><item><title>"
         "Caf\xE9 \x93quoted\x94 \x80 5</title></item></channel></rss>",
         "Caf\xC3\xA9 \xE2\x80\x9Cquoted\xE2\x80\x9D \xE2\x82\xAC 5"},
        {"<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><rss><channel><item><title>"
         "Gr\xFC\xDF"
         "e</title></item></channel></rss>",
         "Gr\xC3\xBC\xC3\x9F"
         "e"},
    };
    for (const auto& row : rows) {
        const FeedList feed = Read(row.body);
        EXPECT_EQ(FailureKind::None, feed.failure) << row.body;
        EXPECT_EQ(row.titles, Titles(feed)) << row.body;
    }
}

TEST(FeedReader, ResolvesLinksAndReadsAtomTitles) {
    const FeedList feed =
        Read("<feed xmlns=\"http://www.w3.org/2005/Atom\" xmlns:a=\"http://www.w3.org/2005/Atom\"\n"
             "      xml:base=\"https://other.example/blog/\">\n"
             "<entry xml:base=\"2026/\"><title type=\"xhtml\"><div "
             "xmlns=\"http://www.w3.org/1999/xhtml\">Say <b>hello</b>\n<i>world</i></div></title>\n"
             "<link href=\"first.html\"/><id>urn:1</id></entry>\n"
             "<a:entry><a:title type=\"html\">&lt;em&gt;Caf&amp;eacute;&lt;/em&gt; &amp;amp; "
             "tea</a:title><a:link rel=\"alternate\" href=\"/second.html\"/></a:entry>\n</feed>");
    ASSERT_EQ(FailureKind::None, feed.failure);
    ASSERT_EQ(2u, feed.list.entries.size());
    EXPECT_EQ("Say hello world|Caf&eacute; & tea", Titles(feed));
    EXPECT_EQ(CString("https://other.example/blog/2026/first.html"), feed.list.entries[0].url);
    EXPECT_EQ(CString("https://other.example/second.html"), feed.list.entries[1].url);
    EXPECT_EQ(CString("urn:1"), feed.list.epoch);
}

// The day in the user's short date format, as Windows writes it.
CString ShortDate(WORD year, WORD month, WORD day) {
    const SYSTEMTIME date = {year, month, 0, day, 0, 0, 0, 0};
    wchar_t text[80];
    char utf8[160] = "";
    if (GetDateFormatW(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &date, nullptr, text, 80) > 1)
        WideCharToMultiByte(CP_UTF8, 0, text, -1, utf8, sizeof utf8, nullptr, nullptr);
    return utf8;
}

TEST(FeedReader, ShowsTheFeedsDaysInTheUsersShortFormatAndReadsZoneNames) {
    const FeedList feed =
        Read(std::string(kRss) + "<item><title>a</title><pubDate>Tue, 08 Dec 2026 01:00:00 EST"
                                 "</pubDate></item>\n<item><title>b</title><pubDate>Tue, 08 Dec "
                                 "2026 05:00:00 GMT</pubDate></item>\n<item><title>c</title>"
                                 "<pubDate>Mon, 07 Dec 2026 23:30:00 PDT</pubDate></item>\n"
                                 "<item><title>d</title><pubDate>sometime</pubDate></item>\n"
                                 "</channel></rss>");
    ASSERT_EQ(4u, feed.list.entries.size());
    // 06:00, 05:00 and 06:30 UTC on the 8th; the third is the newest, but one date cannot be
    // read, so the first entry makes the epoch.
    EXPECT_EQ(CString("a"), feed.list.epoch);
    EXPECT_EQ(ShortDate(2026, 12, 8), feed.list.entries[0].date);
    EXPECT_EQ(ShortDate(2026, 12, 7), feed.list.entries[2].date);
    EXPECT_TRUE(feed.list.entries[3].date.IsEmpty());

    const FeedList rdf =
        Read("<rdf:RDF xmlns:rdf=\"http://www.w3.org/1999/02/22-rdf-syntax-ns#\" "
             "xmlns=\"http://purl.org/rss/1.0/\" xmlns:dc=\"http://purl.org/dc/elements/1.1/\">"
             "<item><title>x</title><dc:date>2026-12-07</dc:date></item>"
             "<item><title>y</title><dc:date>2026-12-07T00:30:00+01:00</dc:date></item></rdf:RDF>");
    ASSERT_EQ(2u, rdf.list.entries.size());
    EXPECT_EQ(CString("x"), rdf.list.epoch);
    EXPECT_EQ(ShortDate(2026, 12, 7), rdf.list.entries[1].date);
}

// Hostile and broken documents fail the poll with the line where reading stopped.
TEST(FeedReader, RefusesHostileAndBrokenDocuments) {
    std::string deep = "<rss>";
    while (deep.size() < (1u << 20) - 16)
        deep += "<a>";
    std::string item;
    for (int i = 0; i < 20; ++i)
        item += "<item><title>t</title></item>\n";
    const std::string complete = std::string(kRss) + item + "</channel>\n</rss>\n";
    const struct {
        std::string body;
        FailureKind failure;
        int line;
    } rows[] = {
        {"<?xml version=\"1.0\"?>\n<!DOCTYPE lolz [\n<!ENTITY lol \"lol\">\n"
         "<!ENTITY lol2 \"&lol;&lol;&lol;&lol;&lol;&lol;&lol;&lol;&lol;&lol;\">\n]>\n"
         "<rss><channel><item><title>&lol2;</title></item></channel></rss>",
         FailureKind::FeedHasDtd, 2},
        {"<?xml version=\"1.0\"?>\n<!DOCTYPE rss [<!ENTITY xxe SYSTEM \"file:///c:/windows/"
         "win.ini\">]>\n<rss><channel><item><title>&xxe;</title></item></channel></rss>",
         FailureKind::FeedHasDtd, 2},
        {deep, FailureKind::FeedTooDeep, 1},
        // Cut off: the line is the last one that holds anything.
        {complete.substr(0, complete.find("<title>t", 300) + 8), FailureKind::FeedNotWellFormed,
         12},
        {complete.substr(0, complete.find("</channel>")), FailureKind::FeedNotWellFormed, 23},
        {complete.substr(0, complete.find("</rss>") + 3), FailureKind::FeedNotWellFormed, 25},
        {complete.substr(0, complete.find("</rss>")), FailureKind::FeedNotWellFormed, 24},
        {std::string(kRss) + item.substr(0, 200) + "<item><title>x</titel></item>\n",
         FailureKind::FeedNotWellFormed, 10},
        {"\n\n<rss><channel>\n<item><title>a < b</title></item></channel></rss>",
         FailureKind::FeedNotWellFormed, 4},
        {"<?xml version=\"1.0\"?>\n<html><body><p>Not a feed</p></body></html>",
         FailureKind::FeedUnknownFormat, 2},
        {"<?xml version=\"1.0\" encoding=\"koi8-u\"?>\n<rss/>", FailureKind::FeedEncoding, 1},
    };
    for (const auto& row : rows) {
        const FeedList feed = Read(row.body);
        EXPECT_EQ(row.failure, feed.failure) << row.body.substr(0, 300);
        EXPECT_EQ(row.line, feed.line) << row.body.substr(0, 300);
    }
}

} // namespace
