#include "ResponseParser.h"

#include <cctype>
#include <cstring>

namespace {

bool IsLineSpace(char ch) {
    return ch == ' ' || ch == '\t' || ch == '\r' || ch == '\n';
}

bool IsLineEnd(char ch) {
    return ch == '\n' || ch == '\t';
}

// A line feed or a tab ends a token, and so does a carriage return right before one: a list
// saved on Windows must not leave a CR at the end of every title and address.
bool IsTokenSeparator(const CString& text, int position) {
    const char ch = text[position];
    if (ch == '\r')
        return position + 1 < text.GetLength() && IsLineEnd(text[position + 1]);
    return IsLineEnd(ch);
}

bool IsBlankLine(const CString& line) {
    return SkipWhitespace(line, 0) == line.GetLength();
}

// Finds the next run of characters other than line feed and tab from position on.
bool NextToken(const CString& text, int& position, CString& token) {
    int length = text.GetLength();
    while (position < length && IsTokenSeparator(text, position)) {
        ++position;
    }
    if (position >= length) {
        return false;
    }
    int start = position;
    while (position < length && !IsTokenSeparator(text, position)) {
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
    ReadHeaderValue(line, "Last-Modified", lastModified);
}

// The head's last line, ended by a line feed, is empty once a final CR is removed.
bool EndsWithEmptyLine(const CString& head) {
    int end = head.GetLength() - 1;
    if (end < 0 || head[end] != '\n') {
        return false;
    }
    if (end > 0 && head[end - 1] == '\r') {
        --end;
    }
    return end == 0 || head[end - 1] == '\n';
}

} // namespace

bool ReadHeaderValue(const CString& line, const char* wanted, CString& value) {
    int colon = line.Find(':');
    if (colon < 0) {
        return false;
    }
    CString name = line.Left(colon);
    CString text = line.Mid(colon + 1);
    name.Trim();
    text.Trim();
    if (text.IsEmpty() || name.CompareNoCase(wanted) != 0) {
        return false;
    }
    value = text;
    return true;
}

int ContentLength(const CString& response, int bodyStart) {
    int length = -1;
    CString line;
    CString value;
    int lineFeed = -1;
    for (int start = 0; start < bodyStart && ReadLine(response, start, line, lineFeed);
         start = lineFeed < 0 ? -1 : lineFeed + 1) {
        if (!ReadHeaderValue(line, "Content-Length", value)) {
            continue;
        }
        length = value.GetLength() <= 9 ? 0 : -1;
        for (int i = 0; length >= 0 && i < value.GetLength(); ++i) {
            length = value[i] >= '0' && value[i] <= '9' ? length * 10 + (value[i] - '0') : -1;
        }
    }
    return length;
}

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
    if (!EndsWithEmptyLine(head)) {
        return TunnelReply::Incomplete;
    }
    int lineFeed = -1;
    ReadLine(head, 0, statusLine, lineFeed);
    statusLine.TrimRight();
    return IsSuccessStatus(statusLine) ? TunnelReply::Open : TunnelReply::Refused;
}

bool IsAnswerWhole(const CString& response, AnswerTo request, bool endAnnounced) {
    const int bodyStart = FindBodyStart(response);
    if (request == AnswerTo::Head) {
        return endAnnounced || bodyStart >= 0;
    }
    const int announcedLength = bodyStart < 0 ? -1 : ContentLength(response, bodyStart);
    if (announcedLength < 0) {
        return endAnnounced;
    }
    return response.GetLength() - bodyStart >= announcedLength;
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

namespace {

bool IsBase64Char(char ch) {
    // Upper and lower case letters alike, by the bit that tells them apart in ASCII.
    const unsigned letter = static_cast<unsigned char>(ch | 0x20) - 'a';
    const unsigned digit = static_cast<unsigned char>(ch) - '0';
    return letter < 26 || digit < 10 || ch == '+' || ch == '/';
}

// Base64 characters, then nothing but padding: a token that does not decode cleanly is no
// token at all.
bool IsBase64Token(const char* at, const char* end) {
    const char* start = at;
    while (at < end && IsBase64Char(*at))
        ++at;
    const bool characters = at > start;
    while (at < end && *at == '=')
        ++at;
    return characters && at == end;
}

// Whether the word of that length is the name, a word of letters and hyphens, in any case:
// the bit that tells the cases of an ASCII letter apart is left out.
bool SameWord(const char* word, int length, const char* name) {
    for (int i = 0; i < length; ++i) {
        if ((word[i] | 0x20) != (name[i] | 0x20))
            return false;
    }
    return !name[length];
}

// One comma-separated item of a Proxy-Authenticate value, from at to end: an offer "scheme
// [token or parameter]", or a further parameter "name=value" of the offer before it, which
// tells the agent nothing.
void ReadOffer(const char* at, const char* end, ProxyChallenge& challenge) {
    while (at < end && IsBlankChar(*at))
        ++at;
    while (end > at && IsBlankChar(end[-1]))
        --end;
    const char* word = at;
    while (at < end && !IsBlankChar(*at)) {
        if (*at++ == '=')
            return;
    }
    const int length = static_cast<int>(at - word);
    int scheme = 3;
    while (scheme > 0 && !SameWord(word, length, SchemeName(static_cast<SignInScheme>(scheme))))
        --scheme;
    if (scheme == 0 && challenge.unknown.IsEmpty())
        challenge.unknown.Append(word, length);
    if (scheme <= static_cast<int>(challenge.scheme))
        return;
    challenge.scheme = static_cast<SignInScheme>(scheme);
    while (at < end && IsBlankChar(*at))
        ++at;
    challenge.token.Empty();
    if (scheme > 1 && IsBase64Token(at, end))
        challenge.token.Append(at, static_cast<int>(end - at));
}

// The items of a value, from at to end, split at commas outside quoted strings.
void ReadOffers(const char* at, const char* end, ProxyChallenge& challenge) {
    bool quoted = false;
    for (const char* item = at;; ++at) {
        if (at == end || (*at == ',' && !quoted)) {
            ReadOffer(item, at, challenge);
            if (at == end)
                return;
            item = at + 1;
        } else if (*at == '"') {
            quoted = !quoted;
        } else if (*at == '\\' && quoted && at + 1 < end) {
            ++at;
        }
    }
}

} // namespace

bool AsksForProxySignIn(const CString& answer) {
    // "HTTP/1.0 407 Proxy Authentication Required": the code right after the first blank.
    const int space = answer.Find(' ');
    return space > 0 && answer.Find(" 407") == space && !std::isdigit(answer[space + 4]);
}

ProxyChallenge ReadProxyChallenge(const CString& answer) {
    static const char kHeader[] = "Proxy-Authenticate";
    const int headerLength = static_cast<int>(sizeof kHeader) - 1;
    ProxyChallenge challenge;
    // The lines after the status line, up to the blank line that ends the head.
    for (const char* line = std::strchr(answer, '\n'); line;) {
        const char* end = std::strchr(++line, '\n');
        const char* stop = end ? end : line + std::strlen(line);
        const char* at = line;
        while (at < stop && IsBlankChar(*at))
            ++at;
        if (at == stop)
            break;
        if (SameWord(at, headerLength, kHeader)) {
            at += headerLength;
            while (at < stop && IsBlankChar(*at))
                ++at;
            if (at < stop && *at == ':')
                ReadOffers(at + 1, stop, challenge);
        }
        line = end;
    }
    return challenge;
}

const char* SchemeName(SignInScheme scheme) {
    return scheme == SignInScheme::Negotiate ? "Negotiate"
           : scheme == SignInScheme::Ntlm    ? "NTLM"
                                             : "Basic";
}
