#include "PollFailure.h"

#include "ResponseParser.h"
#include "WebAddress.h"

namespace {

// Texts from a server are shown as they came, but without control characters and within a
// length that a dialog line can hold.
constexpr int kLongestPhrase = 40;
constexpr int kLongestLocation = 200;

CString Printable(const CString& text, int longest) {
    CString shown;
    for (int i = 0; i < text.GetLength() && shown.GetLength() < longest; ++i) {
        const unsigned char ch = static_cast<unsigned char>(text[i]);
        shown += ch < 0x20 || ch == 0x7F ? '?' : static_cast<char>(ch);
    }
    if (text.GetLength() > longest)
        shown += "...";
    return shown;
}

CString Number(int value) {
    CString text;
    text.Format("%d", value);
    return text;
}

CString Duration(int milliseconds) {
    CString text;
    if (milliseconds % 1000 == 0)
        text.Format("%d s", milliseconds / 1000);
    else
        text.Format("%d ms", milliseconds);
    return text;
}

CString Size(int bytes) {
    CString text;
    if (bytes % (1 << 20) == 0)
        text.Format("%d MiB", bytes >> 20);
    else if (bytes % 1024 == 0)
        text.Format("%d KiB", bytes >> 10);
    else
        text.Format("%d bytes", bytes);
    return text;
}

// The host spoken to, as a person names it: "www.example.org", or "the proxy proxy.lan".
CString Peer(const PollFailure& failure) {
    return failure.viaProxy ? "the proxy " + failure.host : failure.host;
}

// What a connection went to: the host spoken to and the port, and the address families
// tried when they tell more than IPv4 alone.
CString PeerWithPort(const PollFailure& failure) {
    CString families;
    if (*failure.families)
        families.Format(" (%s tried)", failure.families);
    return Peer(failure) + ":" + Number(failure.port) + families;
}

struct Status {
    int code = 0; // 0: the line is no HTTP status line
    CString phrase;
};

// "HTTP/1.1 404 Not Found": three digits after the first blank, then the phrase.
Status ReadStatus(const CString& line) {
    Status status;
    const int first = line.Find(' ') + 1;
    if (first == 0 || line.GetLength() < first + 3)
        return status;
    int code = 0;
    for (int i = first; i < first + 3; ++i) {
        if (line[i] < '0' || line[i] > '9')
            return status;
        code = code * 10 + (line[i] - '0');
    }
    if (first + 3 < line.GetLength() && !IsBlankChar(line[first + 3]))
        return status;
    status.code = code;
    status.phrase = line.Mid(first + 3);
    status.phrase.Trim();
    return status;
}

// The first Location header of the answer's head.
CString FindLocation(const CString& answer) {
    CString line;
    int lineFeed = -1;
    bool inHead = false;
    for (int start = 0; ReadLine(answer, start, line, lineFeed);
         start = lineFeed < 0 ? -1 : lineFeed + 1) {
        const bool blank = SkipWhitespace(line, 0) == line.GetLength();
        if (blank && inHead)
            break;
        inHead = inHead || !blank;
        const int colon = line.Find(':');
        if (colon < 0)
            continue;
        CString name = line.Left(colon);
        if (name.Trim().CompareNoCase("Location") == 0)
            return line.Mid(colon + 1).Trim();
    }
    return CString();
}

bool IsRedirect(int code) {
    return code == 301 || code == 302 || code == 303 || code == 307 || code == 308;
}

FailureReason DescribeStatus(const PollFailure& failure) {
    const Status status = ReadStatus(failure.statusLine);
    if (status.code == 0)
        return {"the answer from " + Peer(failure) + " was not HTTP", "not HTTP"};
    const CString code = Number(status.code);
    const ProxyChallenge challenge = ReadProxyChallenge(failure.answer);
    if (failure.viaProxy && status.code == 407 && challenge.scheme == SignInScheme::None &&
        !challenge.unknown.IsEmpty())
        return {"the proxy asked for a sign-in method the agent does not know: " +
                    Printable(challenge.unknown, kLongestPhrase),
                "proxy wants a login"};
    // Some proxies answer wrong credentials with 401 instead of 407.
    if (failure.viaProxy && failure.sentCredentials && (status.code == 407 || status.code == 401))
        return {"the proxy refused the user name or password", "proxy refused login"};
    if (failure.viaProxy && status.code == 407)
        return {"the proxy asked for a user name and password", "proxy wants a login"};
    CString answered = code;
    if (!status.phrase.IsEmpty())
        answered += " " + Printable(status.phrase, kLongestPhrase);
    if (failure.kind == FailureKind::TunnelRefused)
        return {"the proxy refused the connection to the site: " + answered,
                "proxy refused the site"};
    if (IsRedirect(status.code)) {
        const CString location = FindLocation(failure.answer);
        if (location.IsEmpty())
            return {"the site moved (" + code + ") without saying where", "moved (" + code + ")"};
        return {"the site moved to " +
                    Printable(ResolveReference(failure.siteUrl, location), kLongestLocation) +
                    " (" + code + ")",
                "moved (" + code + ")"};
    }
    const char* who = failure.viaProxy ? "the site or the proxy answered " : "the site answered ";
    return {who + answered, "HTTP " + code};
}

// " (line 12)": where in the feed reading stopped.
CString AtLine(const PollFailure& failure) {
    CString text;
    text.Format(" (line %d)", failure.line);
    return text;
}

} // namespace

FailureReason DescribeFailure(const PollFailure& failure) {
    const bool proxy = failure.viaProxy;
    switch (failure.kind) {
    case FailureKind::None:
        break;
    case FailureKind::NetworkUnavailable:
        return {"the computer's network support did not start", "no network"};
    case FailureKind::NotStarted:
        return {"the poll could not be started", "poll not started"};
    case FailureKind::HostNotFound:
        return {"could not find the address of " + Peer(failure),
                proxy ? "unknown proxy" : "unknown host"};
    case FailureKind::ConnectFailed:
        return {"could not connect to " + PeerWithPort(failure),
                proxy ? "proxy unreachable" : "site unreachable"};
    case FailureKind::ConnectTimedOut:
        return {"could not connect to " + PeerWithPort(failure) + " within " +
                    Duration(failure.limit),
                "connect timed out"};
    case FailureKind::SendFailed:
        return {"could not send the request to " + Peer(failure), "send failed"};
    case FailureKind::NoAnswer:
        return {"no answer from " + Peer(failure) + " within " + Duration(failure.limit),
                "no answer"};
    case FailureKind::AnswerStalled:
        return {"the answer from " + Peer(failure) + " stopped for " + Duration(failure.limit),
                "answer stalled"};
    case FailureKind::AnswerTooSlow:
        return {"the answer from " + Peer(failure) + " took longer than " + Duration(failure.limit),
                "answer too slow"};
    case FailureKind::AnswerTooLarge:
        return {"the answer from " + Peer(failure) + " was larger than " + Size(failure.limit),
                "answer too large"};
    case FailureKind::ConnectionBroken:
        return {"the connection to " + Peer(failure) + " broke off", "connection broken"};
    case FailureKind::EmptyAnswer:
        return {Peer(failure) + " closed the connection without an answer", "empty answer"};
    case FailureKind::HttpStatus:
    case FailureKind::TunnelRefused:
        return DescribeStatus(failure);
    case FailureKind::UnknownScheme:
        return {"unknown scheme \"" + Printable(failure.scheme, kLongestPhrase) +
                    "\": the site's urlScheme must be http or https",
                "unknown scheme"};
    case FailureKind::TlsHandshake:
        return {"the TLS handshake failed", "TLS handshake failed"};
    case FailureKind::CertificateUntrusted:
        return {"the certificate is not trusted", "certificate not trusted"};
    case FailureKind::CertificateOtherName:
        return {"the certificate is for another name", "certificate name wrong"};
    case FailureKind::CertificateExpired:
        return {"the certificate has expired", "certificate expired"};
    case FailureKind::AnswerCut:
        return {"the site's answer was cut short", "answer cut short"};
    case FailureKind::FeedNotWellFormed:
        return {"the feed is not well-formed XML" + AtLine(failure), "feed not well-formed"};
    case FailureKind::FeedHasDtd:
        return {"the feed has a document type declaration, which is not read" + AtLine(failure),
                "feed has a DTD"};
    case FailureKind::FeedEncoding:
        return {"the feed's character encoding cannot be read" + AtLine(failure),
                "feed encoding unknown"};
    case FailureKind::FeedTooDeep:
        return {"the feed nests its elements too deeply" + AtLine(failure),
                "feed nested too deeply"};
    case FailureKind::FeedUnknownFormat:
        return {"the document is neither an RSS nor an Atom feed" + AtLine(failure),
                "not RSS or Atom"};
    case FailureKind::FeedReaderMissing:
        return {"Windows' XML reader (xmllite.dll) could not be loaded", "no XML reader"};
    case FailureKind::SignInRefused:
        return {"the proxy refused your Windows sign-in", "proxy refused login"};
    case FailureKind::NoKerberosTicket:
        return {"no Kerberos ticket for " + failure.host, "no Kerberos ticket"};
    }
    return {};
}
