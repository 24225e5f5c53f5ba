#pragma once
// Reading the two responses of a poll: the HEAD reply's status and Last-Modified value, and
// the GET reply's news list; and what a proxy's 407 offers for signing in. Pure functions, so
// the parsers can be fuzzed on their own.
#include "CString.h"
#include "contract.h"

#include <vector>

enum class ResponseCheck { Empty, BadStatus, Ok };

// Copies the line that starts at start (without its line feed) into line and gives the
// position of that line feed in lineFeed, or -1 when the line is the text's last one.
// False when start is -1: there is no line.
bool ReadLine(const CString& text, int start, CString& line, int& lineFeed);

// The position of the first character from start on that is not a space, tab, carriage
// return or line feed (the text's length when there is none).
int SkipWhitespace(const CString& text, int start);

// A header line "name: value", the name matched in any case: false for another line or an
// empty value.
bool ReadHeaderValue(const CString& line, const char* wanted, CString& value);

// The last Content-Length of the head that ends at bodyStart: a number of at most nine digits,
// or -1 when there is none that reads as one.
int ContentLength(const CString& response, int bodyStart);

// The position where the body of a response starts: right after the line feed of its first
// blank line; -1 when the header block never ends.
int FindBodyStart(const CString& response);

// A status line succeeds when the character after its first space is "2".
bool IsSuccessStatus(const CString& statusLine);

// Empty lines are skipped before the status line; the last non-empty Last-Modified header
// line, matched in any case, sets lastModified (which is left alone when there is none).
ResponseCheck ParseHeadResponseText(const CString& response, CString& lastModified);

enum class AnswerTo { Head, Get };

// Whether a whole answer arrived. HTTP/1.0 ends an answer by closing the connection, so a
// close that the server did not announce (over TLS, one without close_notify) may have been
// cut short by anyone on the path. A GET answer is whole when its body reaches its
// Content-Length; without one, only when its end was announced. A HEAD answer has no body:
// after an unannounced end it needs the blank line that ends its head.
bool IsAnswerWhole(const CString& response, AnswerTo request, bool endAnnounced);

enum class TunnelReply { Incomplete, Open, Refused };

// A proxy's answer to CONNECT as far as it has arrived: Incomplete until a line that is empty
// once a final CR is removed has ended its head; then a 2xx status opens the tunnel.
// statusLine receives the first line without its line end.
TunnelReply ParseTunnelReply(const CString& head, CString& statusLine);

// In the order of preference, the most wanted last.
enum class SignInScheme { None, Basic, Ntlm, Negotiate };

// What a proxy's 407 offers for signing in (ProxySignIn.h).
struct ProxyChallenge {
    SignInScheme scheme = SignInScheme::None; // the most wanted offer that the agent knows
    CString token;   // NTLM, Negotiate: the Base64 token of that offer; empty when it has none
    CString unknown; // the first scheme offered that the agent does not know
};

// Whether the answer's status is 407 Proxy Authentication Required.
bool AsksForProxySignIn(const CString& answer);

// Reads every Proxy-Authenticate line of the answer's head, each with one offer or several
// separated by commas ("NTLM", "Negotiate <token>", "Basic realm=\"a, b\"").
ProxyChallenge ReadProxyChallenge(const CString& answer);

// The name of a known scheme, as headers and SSPI write it: "Basic", "NTLM", "Negotiate".
const char* SchemeName(SignInScheme scheme);

// The most entries a news list is read with, and so the most the store keeps and loads
// back. Only the first ten are ever shown, while every stored entry costs three registry
// writes on the main thread when a new list arrives, three reads when it is reloaded, and
// as many again at exit and start-up: with this bound a new list of any length is stored
// and reloaded in a fraction of a second even where one registry value takes half a
// millisecond.
constexpr int kMostStoredEntries = ZV_MOST_STORED_ENTRIES;

struct NewsEntry {
    CString date;
    CString title;
    CString url;
};

struct NewsList {
    bool hasEpoch = false;
    CString epoch; // stripped of white space
    std::vector<NewsEntry> entries;
};

// The status line is the very first line; the body starts after the first blank line. At
// most kMostStoredEntries entries are read.
ResponseCheck ParseNewsListText(const CString& response, NewsList& list);
