// The portable feed code: dates, the preparation of a document for the XML reader, the
// mapping of reader events to entries (played from scripts, see FeedScript.h), and the
// decision whether a feed brings news.
#include "Feed.h"
#include "FeedScript.h"

#include <gtest/gtest.h>

#include <ctime>
#include <string>

namespace {

// A date's time in UTC, which orders the entries.
std::string UtcTime(const FeedTime& time) {
    const std::time_t seconds = static_cast<std::time_t>(time.seconds);
    char text[32] = "?";
    if (const std::tm* utc = std::gmtime(&seconds))
        std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", utc);
    return text;
}

// A date's day as the feed wrote it, which is shown: as the tests write days.
CString WrittenDay(const FeedTime& time) {
    CString day;
    day.Format("%04d-%02d-%02d", time.year, time.month, time.day);
    return day;
}

TEST(FeedDate, ReadsRfc822AndRfc3339) {
    const struct {
        const char* text;
        const char* utc; // "" when the date cannot be read
        const char* day; // as written
    } rows[] = {
        {"Mon, 07 Dec 2026 08:30:00 +0100", "2026-12-07 07:30:00", "2026-12-07"},
        {"  Mon, 7 Dec 2026 08:30 GMT \r\n", "2026-12-07 08:30:00", "2026-12-07"},
        {"07 Dec 2026 23:30:00 -0500", "2026-12-08 04:30:00", "2026-12-07"},
        {"Tue, 08 Dec 2026 01:00:00 EST", "2026-12-08 06:00:00", "2026-12-08"},
        {"Tue, 08 Dec 2026 01:00:00 PDT", "2026-12-08 08:00:00", "2026-12-08"},
        {"Tue, 08 Dec 2026 01:00:00 Z", "2026-12-08 01:00:00", "2026-12-08"},
        {"Tue, 08 Dec 2026 01:00:00 +0000 (UTC)", "2026-12-08 01:00:00", "2026-12-08"},
        {"Tuesday, 08 December 2026 01:00:00", "2026-12-08 01:00:00", "2026-12-08"},
        {"08 Dec 26 01:00:00 GMT", "2026-12-08 01:00:00", "2026-12-08"},
        {"08 Dec 99 01:00:00 GMT", "1999-12-08 01:00:00", "1999-12-08"},
        {"29 Feb 2024 12:00:00 GMT", "2024-02-29 12:00:00", "2024-02-29"},
        {"2026-12-07T08:30:00+01:00", "2026-12-07 07:30:00", "2026-12-07"},
        {"2026-12-07t08:30:00.123456z", "2026-12-07 08:30:00", "2026-12-07"},
        {"2026-12-07 23:59:60Z", "2026-12-07 23:59:59", "2026-12-07"},
        {"2026-12-07T08:30-0130", "2026-12-07 10:00:00", "2026-12-07"},
        {"2026-12-07", "2026-12-07 00:00:00", "2026-12-07"},
        // Unreadable: another zone name, no zone in RFC 3339, impossible days and times,
        // other forms, and years before 1601 or after 9999.
        {"Mon, 07 Dec 2026 08:30:00 CET", "", ""},
        {"Mon, 07 Dec 2026 08:30:00 ESTX", "", ""},
        {"2026-12-07T08:30:00", "", ""},
        {"29 Feb 2026 12:00:00 GMT", "", ""},
        {"31 Apr 2026 12:00:00 GMT", "", ""},
        {"07 Dec 2026 24:00:00 GMT", "", ""},
        {"07 Dec 2026 08:30:00 +2400", "", ""},
        {"2026-13-01", "", ""},
        {"2026-12", "", ""},
        {"12/07/2026", "", ""},
        {"07 Dez 2026 08:30:00 GMT", "", ""},
        {"2026-12-07T08:30:00Z trailing", "", ""},
        {"1600-12-31T23:59:59Z", "", ""},
        {"10000-01-01", "", ""},
        {"", "", ""},
    };
    for (const auto& row : rows) {
        FeedTime time;
        const bool read = ParseFeedDate(row.text, time);
        EXPECT_EQ(std::string(row.utc), read ? UtcTime(time) : "") << row.text;
        if (read) {
            EXPECT_EQ(CString(row.day), WrittenDay(time)) << row.text;
        }
    }
    FeedTime time;
    ASSERT_TRUE(ParseFeedDate("1601-01-01T00:00:00Z", time));
    EXPECT_EQ(-11644473600LL, time.seconds);
    ASSERT_TRUE(ParseFeedDate("31 Dec 9999 23:59:59 GMT", time));
    EXPECT_EQ(253402300799LL, time.seconds);
}

std::string Bytes(const char* text, size_t length) {
    return std::string(text, length);
}

TEST(FeedDocument, TellsXmlFromNewsListsAndConvertsLatinEncodings) {
    const struct {
        std::string body;
        bool xml;
        std::string document;
        int firstLine;
        int lastLine;
    } rows[] = {
        {"edition-1\n2026-12-07 Title\nhttp://a/1\n", false, "", 0, 0},
        {" \t\r\n", false, "", 0, 0},
        {"", false, "", 0, 0},
        {"\n\n <rss>\n</rss>\n\n", true, "<rss>\n</rss>\n\n", 3, 4},
        {"\xEF\xBB\xBF<?xml version=\"1.0\"?><rss/>", true, "<?xml version=\"1.0\"?><rss/>", 1, 1},
        // Latin encodings become UTF-8, and the declaration says so.
        {"<?xml version=\"1.0\" encoding=\"windows-1252\"?><t>caf\xE9 \x93q\x94 \x80</t>", true,
         "<?xml version=\"1.0\" encoding=\"UTF-8\"?><t>caf\xC3\xA9 \xE2\x80\x9Cq\xE2\x80\x9D "
         "\xE2\x82\xAC</t>",
         1, 1},
        {"<?xml version='1.0' encoding = 'ISO-8859-1' ?><t>\xE9\x81</t>", true,
         "<?xml version='1.0' encoding = 'UTF-8' ?><t>\xC3\xA9\xC2\x81</t>", 1, 1},
        {"<?xml version=\"1.0\" encoding=\"koi8-r\"?><t>\xE9</t>", true,
         "<?xml version=\"1.0\" encoding=\"koi8-r\"?><t>\xE9</t>", 1, 1},
        {"<rss encoding=\"latin1\"><t>\xE9</t></rss>", true,
         "<rss encoding=\"latin1\"><t>\xE9</t></rss>", 1, 1},
        // UTF-16 goes on as it is, little-endian.
        {Bytes("\xFF\xFE<\0r\0/\0>\0", 10), true, Bytes("\xFF\xFE<\0r\0/\0>\0", 10), 1, 1},
        {Bytes("\xFE\xFF\0<\0r\0/\0>", 10), true, Bytes("\xFF\xFE<\0r\0/\0>\0", 10), 1, 1},
        {Bytes("\0<\0\n\0/\0>", 8), true, Bytes("<\0\n\0/\0>\0", 8), 1, 2},
        {Bytes("e\0d\0i\0t\0", 8), false, "", 0, 0},
    };
    for (const auto& row : rows) {
        XmlDocument document;
        EXPECT_EQ(row.xml,
                  PrepareXmlDocument(row.body.data(), static_cast<int>(row.body.size()), document))
            << row.body;
        if (row.xml) {
            EXPECT_EQ(row.document, document.bytes.str()) << row.body;
            EXPECT_EQ(row.firstLine, document.firstLine) << row.body;
            EXPECT_EQ(row.lastLine, document.lastLine) << row.body;
        }
    }
}

// The feed a script gives, its entries as "date|title|url" joined by ";", and its epoch.
struct Built {
    FeedList feed;
    std::string entries;
};

Built Build(const std::string& script, FailureKind failure = FailureKind::None) {
    Built built;
    CFeedBuilder builder("http://news.example/feeds/all.xml", WrittenDay, built.feed);
    PlayScript(script, builder);
    builder.Finish({failure, 7});
    for (const NewsEntry& entry : built.feed.list.entries) {
        built.entries += (built.entries.empty() ? "" : ";") + entry.date.str() + "|" +
                         entry.title.str() + "|" + entry.url.str();
    }
    return built;
}

TEST(FeedBuilder, ReadsEachFormatsEntries) {
    const struct {
        const char* script;
        const char* epoch;
        const char* entries;
    } rows[] = {
        // RSS 2.0: link, else a guid that is a permanent address; the guid is the marker.
        {"<rss><channel><title>Site</title><link>http://news.example/</link>"
         "<item><title>  Bridge \n reopens\t</title><link> /news/1 </link><guid>g1</guid>"
         "<pubDate>Mon, 07 Dec 2026 08:30:00 GMT</pubDate></item>"
         "<item><title>Budget</title><guid>http://news.example/2</guid></item>"
         "<item><title>Note</title><guid isPermaLink=false>http://news.example/3</guid></item>"
         "</channel></rss>",
         "g1",
         "2026-12-07|Bridge reopens|http://news.example/news/1;"
         "|Budget|http://news.example/2;|Note|"},
        // Elements of other namespaces, and items outside the channel, are not read.
        {"<rss><item><title>Stray</title></item><channel><item><A:link href=http://x/a />"
         "<D:date>2026-12-07</D:date><S:title>Other</S:title><title>Kept</title></item>"
         "</channel></rss>",
         "Kept", "|Kept|"},
        // RSS 1.0: rdf:RDF/item with dc:date.
        {"<R:RDF><S:channel><S:title>Site</S:title></S:channel><S:item>"
         "<S:title>One</S:title><S:link>http://news.example/1</S:link>"
         "<D:date>2026-12-07T08:30:00+01:00</D:date></S:item></R:RDF>",
         "http://news.example/1", "2026-12-07|One|http://news.example/1"},
        // Atom: the alternate link, the published date before the updated one, HTML and
        // XHTML titles.
        {"<A:feed><A:updated>2026-12-09T00:00:00Z</A:updated><A:entry>"
         "<A:title type=html>\\lb>Bold\\l/b> &amp; caf&#xE9; &nbsp; &unknown; &#0; a\\lb"
         "</A:title><A:link rel=edit href=http://news.example/edit/1 />"
         "<A:link href=/a/1/ /><A:link href=/a/other/ /><A:id>tag:news.example,2026:1</A:id>"
         "<A:updated>2026-12-08T00:00:00Z</A:updated>"
         "<A:published>2026-12-07T00:00:00Z</A:published></A:entry>"
         "<A:entry><A:title type=xhtml><div>Say <b>hello</b>\n world</div></A:title>"
         "<A:link rel=alternate href=https://news.example/a/2/ />"
         "<A:updated>2026-12-08T12:00:00Z</A:updated></A:entry></A:feed>",
         "https://news.example/a/2/",
         "2026-12-07|Bold & caf\xC3\xA9 &unknown; \xEF\xBF\xBD a|"
         "http://news.example/a/1/;2026-12-08|Say hello world|https://news.example/a/2/"},
        // Relative links resolve against xml:base in scope and the feed's own address.
        {"<A:feed X:base=http://other.example/blog/><A:entry X:base=2026/ >"
         "<A:link href=post.html /></A:entry><A:entry><A:link X:base=/x/ href=y /></A:entry>"
         "<A:entry><A:link href=//cdn.example/z /></A:entry></A:feed>",
         "http://other.example/blog/2026/post.html",
         "||http://other.example/blog/2026/post.html;||http://other.example/x/y;"
         "||http://cdn.example/z"},
        {"<rss><channel><item><link>p?q=1</link></item></channel></rss>",
         "http://news.example/feeds/p?q=1", "||http://news.example/feeds/p?q=1"},
        // Only web addresses are kept; the marker is the title without one.
        {"<rss><channel><item><title>T</title><link>javascript:alert(1)</link></item>"
         "</channel></rss>",
         "T", "|T|"},
        // The newest entry by date makes the epoch when every entry has one, else the first.
        {"<A:feed><A:entry><A:id>old</A:id><A:updated>2026-01-01T00:00:00Z</A:updated>"
         "</A:entry><A:entry><A:id>new</A:id><A:updated>2026-12-01T00:00:00Z</A:updated>"
         "</A:entry><A:entry><A:id>same</A:id><A:updated>2026-12-01T00:00:00Z</A:updated>"
         "</A:entry></A:feed>",
         "new", "2026-01-01||;2026-12-01||;2026-12-01||"},
        {"<A:feed><A:entry><A:id>first</A:id></A:entry><A:entry><A:id>dated</A:id>"
         "<A:updated>2026-12-01T00:00:00Z</A:updated></A:entry></A:feed>",
         "first", "||;2026-12-01||"},
        {"<A:feed/>", "", ""},
    };
    for (const auto& row : rows) {
        const Built built = Build(row.script);
        EXPECT_EQ(FailureKind::None, built.feed.failure) << row.script;
        EXPECT_EQ(row.entries, built.entries) << row.script;
        EXPECT_EQ(CString(row.epoch), built.feed.list.epoch) << row.script;
        EXPECT_EQ(!built.entries.empty(), built.feed.list.hasEpoch) << row.script;
    }
}

TEST(FeedBuilder, FailsForOtherDocumentsAndKeepsTheReadersFailure) {
    for (const char* script :
         {"<html><body>x</body></html>", "<A:rss/>", "<feed/>", "<S:RDF/>", "<R:RDF/>x"}) {
        const Built built = Build(script);
        EXPECT_EQ(script == std::string("<R:RDF/>x") ? FailureKind::None
                                                     : FailureKind::FeedUnknownFormat,
                  built.feed.failure)
            << script;
    }
    const Built cutOff = Build("<rss><channel><item><title>x", FailureKind::FeedNotWellFormed);
    EXPECT_EQ(FailureKind::FeedNotWellFormed, cutOff.feed.failure);
    EXPECT_EQ(7, cutOff.feed.line);
    EXPECT_FALSE(cutOff.feed.list.hasEpoch);
}

TEST(FeedBuilder, ReadsAtMostTheStoredEntriesAndBoundsTheMarker) {
    std::string script = "<rss><channel>";
    for (int i = 0; i < kMostStoredEntries + 5; ++i)
        script += "<item><title>t" + std::to_string(i) + "</title></item>";
    const Built many = Build(script + "</channel></rss>");
    EXPECT_EQ(static_cast<size_t>(kMostStoredEntries), many.feed.list.entries.size());
    EXPECT_EQ(CString("t0"), many.feed.list.epoch);

    // The marker is cut before a character that would not fit whole.
    const std::string id = std::string(kLongestFeedMarker - 1, 'i') + "\xC3\xA9";
    const Built longId = Build("<A:feed><A:entry><A:id>" + id + "</A:id></A:entry></A:feed>");
    EXPECT_EQ(CString(id.substr(0, kLongestFeedMarker - 1)), longId.feed.list.epoch);
}

// The stored list is the same script's entries, stored as the store keeps them.
bool HasNews(const std::string& now, const std::string& stored, const char* storedEpoch) {
    const Built before = Build(stored);
    CString known;
    for (const NewsEntry& entry : before.feed.list.entries)
        known += FeedEntryKey(entry);
    return FeedHasNews(Build(now).feed, storedEpoch ? CString(storedEpoch) : before.feed.list.epoch,
                       known);
}

TEST(FeedNews, AnUnchangedFeedIsNeverNewsAndANewEntryAlwaysIs) {
    const std::string a = "<item><guid>a</guid><title>A</title><link>/a</link></item>";
    const std::string b = "<item><guid>b</guid><title>B</title><link>/b</link></item>";
    const std::string c = "<item><guid>c</guid><title>C</title><link>/c</link></item>";
    const std::string dated = "<item><guid>d</guid><title>D</title><link>/d</link>"
                              "<pubDate>07 Dec 2026 08:00:00 GMT</pubDate></item>";
    const std::string edited = "<item><guid>b</guid><title>B, corrected</title><link>/b</link>"
                               "</item>";
    const std::string noLink = "<item><title>Only a title</title></item>";
    auto feed = [](const std::string& items, const std::string& channel = "") {
        return "<rss><channel>" + channel + items + "</channel></rss>";
    };
    const struct {
        std::string now;
        std::string stored;
        const char* storedEpoch; // null: the stored list's own
        bool news;
    } rows[] = {
        {feed(a + b), feed(a + b), nullptr, false},
        {feed(b + a), feed(a + b), nullptr, false},
        {feed(a + b, "<lastBuildDate>Tue, 08 Dec 2026 00:00:00 GMT</lastBuildDate>"), feed(a + b),
         nullptr, false},
        {feed(a + edited), feed(a + b), nullptr, false},
        {feed(noLink + a), feed(a + noLink), nullptr, false},
        {feed(c + a + b), feed(a + b), nullptr, true},
        {feed(a + b + c), feed(a + b), nullptr, true},
        {feed(a + b + dated), feed(a + b), nullptr, true},
        {feed(a + a), feed(a + b), nullptr, true},
        {feed(a), feed(a + b), nullptr, false},
        // The stored epoch belongs to no entry of the feed: another document's list, or an
        // edition forgotten on purpose.
        {feed(a + b), feed(a + b), "~", true},
        {feed(a + b), feed(a + b), "", true},
        {feed(""), feed(a + b), "", false},
    };
    for (const auto& row : rows)
        EXPECT_EQ(row.news, HasNews(row.now, row.stored, row.storedEpoch)) << row.now;
}

} // namespace
