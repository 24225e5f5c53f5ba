#include "ResponseParser.h"

#include <gtest/gtest.h>

#include <string>

namespace {

CString Bytes(const std::string& text) {
    return CString(text.data(), static_cast<int>(text.size()));
}

TEST(HeadResponse, StatusAndLastModified) {
    struct Row {
        const char* response;
        ResponseCheck check;
        const char* lastModified;
    } rows[] = {
        {"", ResponseCheck::Empty, ""},
        {"\n\n\n", ResponseCheck::BadStatus, ""},
        {"HTTP/1.0 200 OK", ResponseCheck::Ok, ""},
        {"HTTP/1.0 200 OK\nLast-Modified: A\n\n", ResponseCheck::Ok, "A"},
        {"\n\nHTTP/1.0 200 OK\n\nLast-Modified: A\n", ResponseCheck::Ok, "A"},
        {"HTTP/1.1 204 No Content\nLast-Modified: B\n\n", ResponseCheck::Ok, "B"},
        {"HTTP/1.0 304 Not Modified\nLast-Modified: A\n\n", ResponseCheck::BadStatus, ""},
        {"HTTP/1.0 500 Oops\n\n", ResponseCheck::BadStatus, ""},
        {"HTTPr\n\n", ResponseCheck::BadStatus, ""},
        {"HTTP/1.0 \n", ResponseCheck::BadStatus, ""},
        {"HTTP/1.0 2\n", ResponseCheck::Ok, ""},
        {"HTTP/1.0 200 OK\r\n  lAsT-mOdIfIeD \t:   odd value \r\n\r\n", ResponseCheck::Ok,
         "odd value"},
        {"HTTP/1.0 200 OK\nLast-Modified: first\nLast-Modified: second\n", ResponseCheck::Ok,
         "second"},
        {"HTTP/1.0 200 OK\nLast-Modified: kept\nLast-Modified:  \r\n", ResponseCheck::Ok, "kept"},
        {"HTTP/1.0 200 OK\nLast-Modified Mon\n: x\n", ResponseCheck::Ok, ""},
        {"HTTP/1.0 200 OK\nLast-Modified: a: b\n", ResponseCheck::Ok, "a: b"},
    };
    for (const auto& row : rows) {
        CString lastModified;
        EXPECT_EQ(row.check, ParseHeadResponseText(row.response, lastModified)) << row.response;
        EXPECT_EQ(CString(row.lastModified), lastModified) << row.response;
    }
}

TEST(TunnelReply, BlankLineEndsItAndTheStatusDecides) {
    struct Row {
        const char* head;
        TunnelReply reply;
        const char* statusLine;
    } rows[] = {
        {"", TunnelReply::Incomplete, ""},
        {"HTTP/1.0 200 Connection established\r\n", TunnelReply::Incomplete, ""},
        {"HTTP/1.0 200 Connection established\r\n\r", TunnelReply::Incomplete, ""},
        {"HTTP/1.0 200 Connection established\r\n\r\n", TunnelReply::Open,
         "HTTP/1.0 200 Connection established"},
        {"HTTP/1.1 200 OK\nProxy-Agent: x\n\n", TunnelReply::Open, "HTTP/1.1 200 OK"},
        {"HTTP/1.0 200 OK\r\nProxy-Agent: x\n\r\n", TunnelReply::Open, "HTTP/1.0 200 OK"},
        {"HTTP/1.0 200 OK\r\n\n", TunnelReply::Open, "HTTP/1.0 200 OK"},
        {"HTTP/1.0 200 OK\r\nProxy-Agent: x\r\n\r\r\n", TunnelReply::Incomplete, ""},
        {"HTTP/1.0 407 Proxy Authentication Required\r\nProxy-Authenticate: Basic\r\n\r\n",
         TunnelReply::Refused, "HTTP/1.0 407 Proxy Authentication Required"},
        {"HTTP/1.0 407\n\n", TunnelReply::Refused, "HTTP/1.0 407"},
        {"HTTP/1.0 4070 Odd\n\n", TunnelReply::Refused, "HTTP/1.0 4070 Odd"},
        {"HTTP/1.0 403 Forbidden\r\n\r\n", TunnelReply::Refused, "HTTP/1.0 403 Forbidden"},
        {"HTTP/1.0 502 Bad Gateway\r\n\r\n", TunnelReply::Refused, "HTTP/1.0 502 Bad Gateway"},
        {"\r\n\r\n", TunnelReply::Refused, ""},
    };
    for (const auto& row : rows) {
        CString statusLine;
        EXPECT_EQ(row.reply, ParseTunnelReply(row.head, statusLine)) << row.head;
        if (row.reply != TunnelReply::Incomplete) {
            EXPECT_EQ(CString(row.statusLine), statusLine) << row.head;
        }
    }
}

TEST(WholeAnswer, ContentLengthAndAnnouncedEnd) {
    struct Row {
        std::string response;
        AnswerTo request;
        bool endAnnounced;
        bool whole;
    } rows[] = {
        {"HTTP/1.0 200 OK\nContent-Length: 3\n\nabc", AnswerTo::Get, false, true},
        {"HTTP/1.0 200 OK\r\ncontent-length :  4 \r\n\r\nabc", AnswerTo::Get, true, false},
        {"HTTP/1.0 200 OK\nContent-Length: 2\n\nabc", AnswerTo::Get, false, true},
        {"HTTP/1.0 200 OK\nContent-Length: 9\nContent-Length: 3\n\nabc", AnswerTo::Get, false,
         true},
        {"HTTP/1.0 200 OK\nContent-Length: 0\n\n", AnswerTo::Get, false, true},
        // Without a length only an announced end shows the answer whole.
        {"HTTP/1.0 200 OK\n\nabc", AnswerTo::Get, true, true},
        {"HTTP/1.0 200 OK\n\nabc", AnswerTo::Get, false, false},
        {"HTTP/1.0 200 OK\nContent-Length: 3x\n\nabc", AnswerTo::Get, false, false},
        {"HTTP/1.0 200 OK\nContent-Length: 9999999999\n\nabc", AnswerTo::Get, true, true},
        {"HTTP/1.0 200 OK\nContent-Length: 3\nX: y", AnswerTo::Get, true, true},
        {"HTTP/1.0 200 OK\nContent-Length: 3\nX: y", AnswerTo::Get, false, false},
        {"\nContent-Length: 3\n\nabc", AnswerTo::Get, false, false},
        // A HEAD answer's length is the GET's: only its blank line counts.
        {"HTTP/1.0 200 OK\nContent-Length: 99\n\n", AnswerTo::Head, false, true},
        {"HTTP/1.0 200 OK\nLast-Modified: Mon, 07", AnswerTo::Head, true, true},
        {"HTTP/1.0 200 OK\nLast-Modified: Mon, 07", AnswerTo::Head, false, false},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(row.whole, IsAnswerWhole(Bytes(row.response), row.request, row.endAnnounced))
            << row.response;
    }
}

struct NewsRow {
    std::string response;
    ResponseCheck check;
    bool hasEpoch;
    const char* epoch;
    std::string entries; // date|title|url per entry, entries joined by ";"
};

std::string Describe(const NewsList& list) {
    std::string text;
    for (const NewsEntry& entry : list.entries) {
        text += (text.empty() ? "" : ";") + entry.date.str() + "|" + entry.title.str() + "|" +
                entry.url.str();
    }
    return text;
}

TEST(NewsList, ParsesDocuments) {
    const std::string ok = "HTTP/1.0 200 OK\nLast-Modified: A\n\n";
    NewsRow rows[] = {
        {"", ResponseCheck::Empty, false, "", ""},
        {"\nHTTP/1.0 200 OK\n\nE\n", ResponseCheck::BadStatus, false, "", ""},
        {"HTTP/1.0 404 Not Found\n\nE\n", ResponseCheck::BadStatus, false, "", ""},
        {ok, ResponseCheck::Ok, false, "", ""},
        {ok + "\t\n\n\t\t\n", ResponseCheck::Ok, false, "", ""},
        {"HTTP/1.0 200 OK\nServer: x\nE\nd t\nu\n", ResponseCheck::Ok, false, "", ""},
        {ok + "E7\n", ResponseCheck::Ok, true, "E7", ""},
        {ok + "  E7 \r\n", ResponseCheck::Ok, true, "E7", ""},
        {ok + " \tE7\n", ResponseCheck::Ok, true, "", ""}, // the tab ends a blank epoch
        {ok + "   \n", ResponseCheck::Ok, true, "", ""},
        {ok + "E\nd1 title one\nhttp://a/1\nd2 t2\nhttp://a/2\n", ResponseCheck::Ok, true, "E",
         "d1|title one|http://a/1;d2|t2|http://a/2"},
        {ok + "E\td1 title\thttp://a/1", ResponseCheck::Ok, true, "E", "d1|title|http://a/1"},
        {ok + "E\nd1 t1\nhttp://a/1\nd2 orphan\n", ResponseCheck::Ok, true, "E",
         "d1|t1|http://a/1"},
        {ok + "E\n d1 t\nu\n", ResponseCheck::Ok, true, "E", "|d1 t|u"},
        {ok + "E\nnospace\nu\n", ResponseCheck::Ok, true, "E", "|nospace|u"},
        // A CR before a line feed or a tab belongs to the line end; a CR line is an empty one.
        {"HTTP/1.0 200 OK\r\nA: b\r\n\r\n E \r\nd1 t1\r\nu1\r\n", ResponseCheck::Ok, true, "E",
         "d1|t1|u1"},
        {ok + "E\r\n\r\nd1 t\r\tu1\r\r\nd2 a\rb\nu2\r", ResponseCheck::Ok, true, "E",
         "d1|t|u1\r;d2|a\rb|u2\r"},
        {"HTTP/1.0 200 OK\n \t\r\nE\n", ResponseCheck::Ok, true, "E", ""},
        {ok + "E\n\n\nd1 t1\n\t\nu1", ResponseCheck::Ok, true, "E", "d1|t1|u1"},
    };
    for (const NewsRow& row : rows) {
        NewsList list;
        EXPECT_EQ(row.check, ParseNewsListText(Bytes(row.response), list)) << row.response;
        EXPECT_EQ(row.hasEpoch, list.hasEpoch) << row.response;
        EXPECT_EQ(CString(row.epoch), list.epoch) << row.response;
        EXPECT_EQ(row.entries, Describe(list)) << row.response;
    }
}

} // namespace
