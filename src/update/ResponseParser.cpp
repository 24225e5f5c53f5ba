#include "ResponseParser.h"

namespace {

bool IsLineSpace(char ch) {
    return ch == ' ' || ch == '\t' || ch == '\r' || ch == '\n';
}

bool IsTokenSeparator(char ch) {
    return ch == '\n' || ch == '\t';
}

bool IsBlankLine(const CString& line) {
    return SkipWhitespace(line, 0) == line.GetLength();
}

// Finds the next run of characters other than line feed and tab from position on.
bool NextToken(const CString& text, int& position, CString& token) {
    int length = text.GetLength();
    while (position < length && IsTokenSeparator(text[position])) {
        ++position;
    }
    if (position >= length) {
        return false;
    }
    int start = position;
    while (position < length && !IsTokenSeparator(text[position])) {
        ++position;
    }
    token = text.Mid(start, position - start);
    return true;
}

// The date is the text before the first space and the title the rest. A token without a
// space is all title, so that no entry is lost and the date stays one word.
NewsEntry MakeEntry(const CString& dateAndTitle, const CString& url) {
    NewsEntry entry;
    int space = dateAndTitle.Find(' ');
    if (space < 0) {
        entry.title = dateAndTitle;
    } else {
        entry.date = dateAndTitle.Left(space);
        entry.title = dateAndTitle.Mid(space + 1);
    }
    entry.url = url;
    return entry;
}

void ReadHeaderLine(const CString& line, CString& lastModified) {
    int colon = line.Find(':');
    if (colon < 0) {
        return;
    }
    CString name = line.Left(colon);
    CString value = line.Mid(colon + 1);
    name.Trim().MakeUpper();
    value.Trim();
    if (!name.IsEmpty() && !value.IsEmpty() && name == "LAST-MODIFIED") {
        lastModified = value;
    }
}

} // namespace

bool ReadLine(const CString& text, int start, CString& line, int& lineFeed) {
    if (start < 0) {
        return false;
    }
    lineFeed = text.Find('\n', start);
    int end = lineFeed < 0 ? text.GetLength() : lineFeed;
    line = text.Mid(start, end - start);
    return true;
}

int SkipWhitespace(const CString& text, int start) {
    int position = start;
    while (position < text.GetLength() && IsLineSpace(text[position])) {
        ++position;
    }
    return position;
}

int FindBodyStart(const CString& response) {
    CString line;
    int lineFeed = -1;
    for (int start = 0; ReadLine(response, start, line, lineFeed);
         start = lineFeed < 0 ? -1 : lineFeed + 1) {
        if (IsBlankLine(line)) {
            return lineFeed < 0 ? -1 : lineFeed + 1;
        }
    }
    return -1;
}

bool IsSuccessStatus(const CString& statusLine) {
    int space = statusLine.Find(' ');
    return space >= 0 && space + 1 < statusLine.GetLength() && statusLine[space + 1] == '2';
}

TunnelReply ParseTunnelReply(const CString& head, CString& statusLine) {
    int length = head.GetLength();
    bool ended =
        (length >= 2 && head.Right(2) == "\n\n") || (length >= 4 && head.Right(4) == "\r\n\r\n");
    if (!ended) {
        return TunnelReply::Incomplete;
    }
    int lineFeed = -1;
    ReadLine(head, 0, statusLine, lineFeed);
    statusLine.TrimRight();
    return IsSuccessStatus(statusLine) ? TunnelReply::Open : TunnelReply::Refused;
}

ResponseCheck ParseHeadResponseText(const CString& response, CString& lastModified) {
    if (response.IsEmpty()) {
        return ResponseCheck::Empty;
    }
    bool haveStatus = false;
    CString line;
    int lineFeed = -1;
    for (int start = 0; ReadLine(response, start, line, lineFeed);
         start = lineFeed < 0 ? -1 : lineFeed + 1) {
        if (line.IsEmpty()) {
            continue;
        }
        if (!haveStatus) {
            if (!IsSuccessStatus(line)) {
                return ResponseCheck::BadStatus;
            }
            haveStatus = true;
        } else {
            ReadHeaderLine(line, lastModified);
        }
    }
    return haveStatus ? ResponseCheck::Ok : ResponseCheck::BadStatus;
}

ResponseCheck ParseNewsListText(const CString& response, NewsList& list) {
    list = NewsList();
    if (response.IsEmpty()) {
        return ResponseCheck::Empty;
    }
    CString statusLine;
    int lineFeed = -1;
    ReadLine(response, 0, statusLine, lineFeed);
    if (!IsSuccessStatus(statusLine)) {
        return ResponseCheck::BadStatus;
    }
    int position = FindBodyStart(response);
    if (position < 0) {
        return ResponseCheck::Ok;
    }
    CString token;
    if (!NextToken(response, position, token)) {
        return ResponseCheck::Ok;
    }
    list.hasEpoch = true;
    list.epoch = token.Trim();
    CString dateAndTitle;
    CString url;
    // Entries beyond what the cache keeps are not even read.
    while (list.entries.size() < static_cast<size_t>(kMostStoredEntries) &&
           NextToken(response, position, dateAndTitle) && NextToken(response, position, url)) {
        list.entries.push_back(MakeEntry(dateAndTitle, url));
    }
    return ResponseCheck::Ok;
}
