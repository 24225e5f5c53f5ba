#pragma once
// Why a poll failed, in words for the person at the machine: a whole sentence for the About
// box and a few words for the tooltip. The error texts of the poll's steps stay as they are;
// these reasons come beside them. A new way to fail is one more kind here and one more case
// in DescribeFailure.
#include "CString.h"

enum class FailureKind {
    None,
    NetworkUnavailable,   // the socket library did not start
    NotStarted,           // the poll's worker could not be started
    HostNotFound,         // the name has no address
    ConnectFailed,        // refused or unreachable
    ConnectTimedOut,      // no connection within the connect limit
    SendFailed,           // the request could not be sent
    NoAnswer,             // nothing arrived within the inactivity limit
    AnswerStalled,        // part of an answer arrived, then nothing within the inactivity limit
    AnswerTooSlow,        // the whole request took longer than its deadline
    AnswerTooLarge,       // the answer grew beyond the size cap
    ConnectionBroken,     // the connection failed while the answer was read
    EmptyAnswer,          // the connection closed without a byte
    HttpStatus,           // an answer whose status is not a success
    UnknownScheme,        // urlScheme is neither http nor https; nothing was sent
    TlsHandshake,         // no common protocol, a broken or stalled handshake
    CertificateUntrusted, // no chain to a trusted root, a self-signed or revoked one
    CertificateOtherName, // valid, but not for the site's host name
    CertificateExpired,   // outside its validity period
    TunnelRefused,        // the proxy answered CONNECT with a status that is not a success
    AnswerCut,            // the answer ended before its Content-Length, or unannounced over TLS
    FeedNotWellFormed,    // an XML answer that is not well-formed, or is cut off
    FeedHasDtd,           // an XML answer with a document type declaration (never read)
    FeedEncoding,         // an XML answer in a character encoding that cannot be read
    FeedTooDeep,          // an XML answer whose elements nest beyond the reader's limit
    FeedUnknownFormat,    // well-formed XML that is neither RSS nor Atom
    FeedReaderMissing,    // the system's XML reader could not be loaded
    SignInRefused,        // a Windows sign-in that the proxy answered with 407 to the end
    NoKerberosTicket,     // Negotiate: Windows has no ticket for the proxy, nor another way in
};

struct PollFailure {
    FailureKind kind = FailureKind::None;
    bool viaProxy = false;        // the failing step talked to the proxy
    bool sentCredentials = false; // the request carried proxy credentials
    CString host;                 // the host connected to: the site's or the proxy's
    int port = 0;
    int limit = 0;      // the limit that ran out: milliseconds, or bytes for AnswerTooLarge
    CString statusLine; // HttpStatus, TunnelRefused: the line read as the status line
    CString answer;     // HttpStatus, TunnelRefused: the whole answer, for its header lines
    CString scheme;     // UnknownScheme: the stored scheme
    CString siteUrl;    // the address asked for, http://host[:port]/path, to resolve a Location
    int line = 0;       // Feed*: the line of the document where reading stopped
    const char* families = ""; // ConnectFailed, ConnectTimedOut: "IPv6 and IPv4" when IPv6 was
                               // tried, empty for IPv4 alone
};

struct FailureReason {
    CString text;  // the whole reason, one sentence without a full stop
    CString brief; // at most a few words, for the tooltip
};

FailureReason DescribeFailure(const PollFailure& failure);
