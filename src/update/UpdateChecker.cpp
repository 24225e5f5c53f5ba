#include "UpdateChecker.h"

#include "Base64Encoder.h"
#include "Feed.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <utility>

namespace {

// The number at the start of a port text, read as atoi reads it (blanks, a sign, digits);
// the fallback when there is none or it is not positive. Out-of-range numbers are clamped
// instead of overflowing.
int PortNumber(const CString& text, int fallback) {
    long number = std::strtol(text, nullptr, 10);
    if (number > INT_MAX) {
        number = INT_MAX;
    }
    return number > 0 ? static_cast<int>(number) : fallback;
}

// A proxy's own answer (to CONNECT, or a 407 during a sign-in) is a status line and a few
// headers.
const int kMaxTunnelReply = 16384;

// The line a parser reads as the status line: the HEAD parser skips empty lines before it,
// the list parser takes the very first line.
CString StatusLineOf(const CString& response, bool skipEmptyLines) {
    CString line;
    int lineFeed = -1;
    for (int start = 0; ReadLine(response, start, line, lineFeed);
         start = lineFeed < 0 ? -1 : lineFeed + 1) {
        if (!skipEmptyLines || !line.IsEmpty()) {
            return line;
        }
    }
    return CString();
}

// "Proxy-Authorization: <scheme> <the bytes in Base64>" and CR LF.
CString AuthorizationLine(const char* scheme, const std::string& bytes) {
    CBase64Encoder encoder;
    encoder.Encode(reinterpret_cast<const unsigned char*>(bytes.data()),
                   static_cast<uint32_t>(bytes.size()));
    return CString("Proxy-Authorization: ") + scheme + " " + encoder.GetEncodedText() + "\r\n";
}

} // namespace

bool ParseScheme(const CString& text, Scheme& scheme) {
    if (text.CompareNoCase("http") == 0) {
        scheme = Scheme::Http;
        return true;
    }
    if (text.CompareNoCase("https") == 0) {
        scheme = Scheme::Https;
        return true;
    }
    return false;
}

CUpdateChecker::CUpdateChecker(const PollSettings& settings, const SocketLimits& limits,
                               SignInStarter startSignIn)
    : m_settings(settings), m_limits(limits), m_startSignIn(startSignIn) {
    m_schemeKnown = ParseScheme(settings.urlScheme, m_scheme);
}

CUpdateChecker::~CUpdateChecker() {
    // The socket goes before the library that it belongs to. Each poll's start-up of the
    // library is matched here, so the library's count of users does not grow with every poll.
    m_connection.reset();
    if (m_winsockStarted) {
        StopWinsock();
    }
}

const Route& CUpdateChecker::CurrentRoute() const {
    return m_plan.routes[m_routeIndex];
}

CString CUpdateChecker::EndpointHost() const {
    return CurrentRoute().viaProxy ? CurrentRoute().proxyHost : m_settings.urlHost;
}

int CUpdateChecker::EndpointPort() const {
    return CurrentRoute().viaProxy ? CurrentRoute().proxyPort : SitePort();
}

CString CUpdateChecker::SiteUrl() const {
    CString url;
    url.Format("%s://%s%s", m_scheme == Scheme::Https ? "https" : "http", HostHeaderValue().c_str(),
               m_settings.urlPath.c_str());
    return url;
}

void CUpdateChecker::PlanRoutes() {
    if (m_settings.useProxy > 0) {
        m_plan.routes[0].viaProxy = true;
        m_plan.routes[0].proxyHost = m_settings.proxyHost;
        m_plan.routes[0].proxyPort = PortNumber(m_settings.proxyPort, 8001);
    } else if (m_settings.windowsProxy) {
        PlanRoutesFromWindows(SiteUrl(), m_scheme == Scheme::Https, m_settings.urlHost, m_plan);
    }
    m_plan.count = std::max(m_plan.count, 1);
}

bool CUpdateChecker::OpenConnection() {
    m_connection.reset();
    m_settings.urlHost.Trim();
    if (m_settings.useProxy > 0) {
        m_settings.proxyHost.Trim();
    }
    if (m_plan.count == 0) {
        PlanRoutes();
    }
    // A route that cannot be connected to gives way to the next; the GET starts on the
    // route that served the HEAD.
    for (;; ++m_routeIndex) {
        if (ConnectEndpoint(nullptr)) {
            m_message.Empty();
            return true;
        }
        m_connection.reset();
        if (m_routeIndex + 1 == m_plan.count) {
            return false;
        }
    }
}

bool CUpdateChecker::Reconnect() {
    const CClientSocket::Moment deadline = m_connection->Deadline();
    return ConnectEndpoint(&deadline);
}

bool CUpdateChecker::ConnectEndpoint(const CClientSocket::Moment* deadline) {
    const CString host = EndpointHost();
    const int port = EndpointPort();
    m_connection.reset(new CClientSocket(BareHost(host), port, m_limits));
    if ((deadline ? m_connection->ConnectBy(*deadline) : m_connection->Connect()) == 0) {
        return true;
    }
    m_message.Format("%s%s:%d",
                     CurrentRoute().viaProxy ? "Could not connect to proxy "
                                             : "Could not connect to ",
                     host.c_str(), port);
    NoteSocketFailure(true);
    m_failure.families = m_connection->TriedFamilies();
    return false;
}

void CUpdateChecker::NoteFailure(FailureKind kind, int limit) {
    m_failure = PollFailure();
    m_failure.kind = kind;
    m_failure.scheme = m_settings.urlScheme;
    m_failure.siteUrl = SiteUrl();
    m_failure.limit = limit;
    m_failure.viaProxy = CurrentRoute().viaProxy;
    m_failure.sentCredentials = m_failure.viaProxy && m_settings.useProxyAuth > 0;
    m_failure.host = UrlHostForm(EndpointHost());
    m_failure.port = EndpointPort();
}

void CUpdateChecker::NoteSocketFailure(bool connecting, bool answerBegun) {
    const SocketLimits& limits = m_connection->Limits();
    switch (m_connection->Failure()) {
    case SocketFailure::NotResolved:
        NoteFailure(FailureKind::HostNotFound);
        return;
    case SocketFailure::TimedOut:
        if (connecting)
            NoteFailure(FailureKind::ConnectTimedOut, limits.connectMs);
        else if (!answerBegun)
            NoteFailure(FailureKind::NoAnswer, limits.idleMs);
        else
            NoteFailure(FailureKind::AnswerStalled, limits.idleMs);
        return;
    case SocketFailure::DeadlinePassed:
        NoteFailure(connecting ? FailureKind::ConnectTimedOut : FailureKind::AnswerTooSlow,
                    limits.totalMs);
        return;
    case SocketFailure::TooLarge:
        NoteFailure(FailureKind::AnswerTooLarge, limits.maxResponseBytes);
        return;
    case SocketFailure::None:
    case SocketFailure::Refused:
    case SocketFailure::Broken:
        break;
    }
    NoteFailure(connecting ? FailureKind::ConnectFailed : FailureKind::ConnectionBroken);
}

void CUpdateChecker::NoteBadAnswer(FailureKind kind, const CString& answer,
                                   const CString& statusLine) {
    NoteFailure(kind);
    m_failure.statusLine = statusLine;
    m_failure.answer = answer;
}

void CUpdateChecker::FailWithReason(FailureKind kind, int line) {
    NoteFailure(kind);
    m_failure.line = line;
    m_message = DescribeFailure(m_failure).text;
}

bool CUpdateChecker::Exchange(AnswerTo request, RequestBuilder direct, RequestBuilder proxied,
                              const char* writeError, const char* readError, CString& response,
                              CString* whole) {
    m_answerTo = request;
    m_writeError = writeError;
    m_readError = readError;
    m_whole = whole;
    if (!OpenConnection()) {
        return false;
    }
    // Built after connecting: the request carries the host as OpenConnection stripped it,
    // in the form of the route that connected.
    m_build = UsesProxyRequests() ? proxied : direct;
    const bool done = m_scheme == Scheme::Https
                          ? StartSecureChannel() && RequestLeg(false, response)
                          : ToProxy(&CUpdateChecker::RequestLeg, response);
    m_connection.reset();
    return done;
}

bool CUpdateChecker::Send(const CString& request) {
    if (m_connection->SendAll(request) < 0) {
        m_message = m_writeError;
        NoteFailure(FailureKind::SendFailed);
        return false;
    }
    return true;
}

bool CUpdateChecker::RequestLeg(bool keepAlive, CString& response) {
    if (!Send((this->*m_build)())) {
        return false;
    }
    bool endAnnounced = true;
    if (keepAlive) {
        if (!ReadHead(response) || !ReadBody(m_answerTo == AnswerTo::Head, response)) {
            return false;
        }
    } else {
        if (m_connection->Receive() < 0) {
            m_message = m_readError;
            NoteSocketFailure(false, !m_connection->Received().IsEmpty());
            return false;
        }
        response = m_connection->Received();
        endAnnounced = m_connection->EndAnnounced();
    }
    if (!IsAnswerWhole(response, m_answerTo, endAnnounced)) {
        m_message = m_readError;
        NoteFailure(FailureKind::AnswerCut);
        return false;
    }
    if (m_whole) {
        *m_whole = response;
    }
    // The response ends at its first zero byte.
    response = CString(response.c_str());
    return true;
}

bool CUpdateChecker::TunnelLeg(bool keepAlive, CString& head) {
    // What follows the head belongs to the TLS session, or, after a 407 on a connection that
    // stays open, is that answer's body.
    return Send(BuildConnectRequest()) && ReadHead(head) &&
           (!keepAlive || !AsksForProxySignIn(head) || ReadBody(false, head));
}

bool CUpdateChecker::ReadHead(CString& head) {
    head.Empty();
    CString statusLine;
    while (ParseTunnelReply(head, statusLine) == TunnelReply::Incomplete) {
        char byte = 0;
        if (head.GetLength() >= kMaxTunnelReply) {
            m_message = m_readError;
            NoteFailure(FailureKind::AnswerTooLarge, kMaxTunnelReply);
            return false;
        }
        const int count = m_connection->ReceiveSome(&byte, 1);
        if (count != 1) {
            m_message = m_readError;
            if (count == 0 && head.IsEmpty())
                NoteFailure(FailureKind::EmptyAnswer);
            else
                NoteSocketFailure(false, !head.IsEmpty());
            return false;
        }
        head.Append(&byte, 1);
    }
    return true;
}

bool CUpdateChecker::ReadBody(bool bodyless, CString& answer) {
    int left = bodyless ? 0 : ContentLength(answer, answer.GetLength());
    if (left < 0) {
        if (m_connection->Receive() < 0) {
            m_message = m_readError;
            NoteSocketFailure(false, true);
            return false;
        }
        answer += m_connection->Received();
        return true;
    }
    if (left > m_limits.maxResponseBytes) {
        m_message = m_readError;
        NoteFailure(FailureKind::AnswerTooLarge, m_limits.maxResponseBytes);
        return false;
    }
    char buffer[4096];
    while (left > 0) {
        const int count =
            m_connection->ReceiveSome(buffer, std::min(left, static_cast<int>(sizeof buffer)));
        if (count < 0) {
            m_message = m_readError;
            NoteSocketFailure(false, true);
            return false;
        }
        // A body that ends early leaves the answer cut short, which its reader sees.
        if (count == 0) {
            break;
        }
        answer.Append(buffer, count);
        left -= count;
    }
    return true;
}

bool CUpdateChecker::ToProxy(Leg leg, CString& answer) {
    m_signInLines.Empty();
    // Once a request of the poll has signed in, the next one starts with the handshake.
    if (m_signIn == SignInScheme::None) {
        if (!(this->*leg)(false, answer)) {
            return false;
        }
        if (!CurrentRoute().viaProxy || !AsksForProxySignIn(answer)) {
            return true;
        }
        const SignInScheme offered = ReadProxyChallenge(answer).scheme;
        if (offered < SignInScheme::Ntlm) {
            return true;
        }
        m_signIn = offered;
        // The 407 ended the connection: the request carried no wish to keep it.
        if (!Reconnect()) {
            return false;
        }
    }
    for (int attempt = 0;; ++attempt) {
        const int ended = SignInLegs(leg, answer);
        if (ended == 0 && attempt == 1) {
            // Closed between legs again. Whether the end came as a close or as the reset
            // that the next leg drew from the closed connection, the proxy ended it.
            NoteFailure(FailureKind::EmptyAnswer);
            return false;
        }
        if (ended != 0 || !Reconnect()) {
            return ended > 0;
        }
    }
}

int CUpdateChecker::SignInLegs(Leg leg, CString& answer) {
    // With no user name stored, the logged-on user's own credentials.
    const std::unique_ptr<CSignInContext> context = m_startSignIn(
        m_signIn, BareHost(CurrentRoute().proxyHost),
        m_settings.useProxyAuth > 0 ? m_settings.authUsername : CString(), m_settings.authPassword);
    std::string received;
    for (int legs = 0;; ++legs) {
        std::string token;
        const int more = context ? context->Next(received, token) : -1;
        if (more < 0 || token.empty()) {
            // Without a first token Windows has no credentials for Negotiate to offer; NTLM
            // always has the logged-on user's.
            FailWithReason(legs == 0 && m_signIn == SignInScheme::Negotiate
                               ? FailureKind::NoKerberosTicket
                               : FailureKind::SignInRefused);
            return -1;
        }
        m_signInLines = AuthorizationLine(SchemeName(m_signIn), token);
        // HTTP/1.0 ends the connection after each answer unless asked to keep it, and the legs
        // of one handshake belong to one connection.
        if (more > 0) {
            m_signInLines += "Proxy-Connection: Keep-Alive\r\n";
        }
        bool answered = (this->*leg)(more > 0, answer);
        if (answered && answer.IsEmpty()) {
            NoteFailure(FailureKind::EmptyAnswer);
            answered = false;
        }
        // After the first leg, a connection that ends, rather than stalls, is one that the
        // proxy closed between legs.
        const SocketFailure failed = m_connection->Failure();
        if (!answered && legs > 0 &&
            (failed == SocketFailure::None || failed == SocketFailure::Broken)) {
            return 0;
        }
        if (!answered || !AsksForProxySignIn(answer)) {
            return answered ? 1 : -1;
        }
        const ProxyChallenge challenge = ReadProxyChallenge(answer);
        if (more == 0 || challenge.scheme != m_signIn || challenge.token.IsEmpty()) {
            FailWithReason(FailureKind::SignInRefused);
            return -1;
        }
        CBase64Encoder decoder;
        decoder.DecodeString(challenge.token);
        received.assign(reinterpret_cast<const char*>(decoder.GetDecodedData()),
                        decoder.DecodedLength());
    }
}

bool CUpdateChecker::StartSecureChannel() {
    if (CurrentRoute().viaProxy && !OpenTunnel()) {
        return false;
    }
    const FailureKind failure = m_connection->StartTls(BareHost(m_settings.urlHost));
    if (failure != FailureKind::None) {
        FailWithReason(failure);
        return false;
    }
    return true;
}

bool CUpdateChecker::OpenTunnel() {
    CString head;
    if (!ToProxy(&CUpdateChecker::TunnelLeg, head)) {
        return false;
    }
    CString statusLine;
    if (ParseTunnelReply(head, statusLine) == TunnelReply::Open) {
        return true;
    }
    NoteBadAnswer(FailureKind::TunnelRefused, head, statusLine);
    m_message = DescribeFailure(m_failure).text;
    return false;
}

bool CUpdateChecker::SendHeadRequest() {
    m_headResponse.Empty();
    // An unknown scheme fails the poll before anything is sent.
    if (!m_schemeKnown) {
        FailWithReason(FailureKind::UnknownScheme);
        return false;
    }
    if (!m_winsockStarted) {
        if (StartWinsock() < 0) {
            NoteFailure(FailureKind::NetworkUnavailable);
            return false;
        }
        m_winsockStarted = true;
    }
    return Exchange(AnswerTo::Head, &CUpdateChecker::BuildHeadRequest,
                    &CUpdateChecker::BuildProxyHeadRequest,
                    "Failed to write HEAD request to socket", "Failed to read respose from socket",
                    m_headResponse);
}

bool CUpdateChecker::SendGetRequest() {
    m_message.Empty();
    return Exchange(AnswerTo::Get, &CUpdateChecker::BuildGetRequest,
                    &CUpdateChecker::BuildProxyGetRequest, "Failed to write GET request to socket",
                    "Failed to read response from socket", m_getResponse, &m_getBytes);
}

bool CUpdateChecker::ParseHeadResponse() {
    switch (ParseHeadResponseText(m_headResponse, m_lastModified)) {
    case ResponseCheck::Ok:
        return true;
    case ResponseCheck::BadStatus:
        m_message = m_headResponse;
        NoteBadAnswer(FailureKind::HttpStatus, m_headResponse, StatusLineOf(m_headResponse, true));
        return false;
    case ResponseCheck::Empty:
        NoteFailure(FailureKind::EmptyAnswer);
        break;
    }
    return false;
}

bool CUpdateChecker::CheckLastModified() {
    if (!SendHeadRequest() || !ParseHeadResponse()) {
        return false;
    }
    m_changed = m_lastModified != m_settings.lastModified;
    return true;
}

bool CUpdateChecker::ParseNewsList() {
    m_newPostings = false;
    // A feed is read from all the bytes received: in UTF-16 most of them are zero.
    const int body = FindBodyStart(m_getBytes);
    XmlDocument document;
    if (body >= 0 && IsSuccessStatus(StatusLineOf(m_getResponse, false)) &&
        PrepareXmlDocument(m_getBytes.c_str() + body, m_getBytes.GetLength() - body, document)) {
        return ParseFeed(document);
    }
    switch (ParseNewsListText(m_getResponse, m_list)) {
    case ResponseCheck::Ok:
        m_newPostings = m_list.hasEpoch && m_list.epoch != m_settings.epoch;
        return true;
    case ResponseCheck::BadStatus:
        m_message = m_getResponse;
        NoteBadAnswer(FailureKind::HttpStatus, m_getResponse, StatusLineOf(m_getResponse, false));
        return false;
    case ResponseCheck::Empty:
        NoteFailure(FailureKind::EmptyAnswer);
        break;
    }
    return false;
}

bool CUpdateChecker::ParseFeed(const XmlDocument& document) {
    FeedList feed;
    ReadFeed(document, SiteUrl(), feed);
    if (feed.failure != FailureKind::None) {
        FailWithReason(feed.failure, feed.line);
        return false;
    }
    m_newPostings = FeedHasNews(feed, m_settings.epoch, m_settings.knownEntries);
    m_list = std::move(feed.list);
    return true;
}

// Every request line ends with CR LF: Apache and lighttpd refuse a request whose lines end
// with a bare line feed.
CString CUpdateChecker::BuildHeadRequest() const {
    return BuildDirectRequest("HEAD");
}

CString CUpdateChecker::BuildGetRequest() const {
    return BuildDirectRequest("GET");
}

CString CUpdateChecker::BuildDirectRequest(const char* method) const {
    // Without a Host line a server with name-based virtual hosts answers for its first site.
    return CString(method) + " " + m_settings.urlPath + " HTTP/1.0\r\nHost: " + HostHeaderValue() +
           "\r\n"
           "User-Agent: Zavora News Agent\r\n"
           "Accept: */*\r\n"
           "Accept: text/html\r\n\r\n";
}

int CUpdateChecker::DefaultPort() const {
    return m_scheme == Scheme::Https ? 443 : 80;
}

int CUpdateChecker::SitePort() const {
    return PortNumber(m_settings.urlPort, DefaultPort());
}

bool CUpdateChecker::UsesProxyRequests() const {
    return m_scheme == Scheme::Http && CurrentRoute().viaProxy;
}

CString CUpdateChecker::RouteDescription() const {
    return DescribeRoute(m_plan, CurrentRoute());
}

CString CUpdateChecker::HostHeaderValue() const {
    // The port the connection really uses: the low 16 bits of the number.
    int port = SitePort() & 0xFFFF;
    if (port == DefaultPort()) {
        return UrlHostForm(m_settings.urlHost);
    }
    CString value;
    value.Format("%s:%d", UrlHostForm(m_settings.urlHost).c_str(), port);
    return value;
}

// The HEAD request sends the credentials for any non-zero flag, the GET request only for a
// positive one; with the 0 and 1 that the settings store, both agree.
CString CUpdateChecker::BuildProxyHeadRequest() const {
    return BuildProxyRequest("HEAD", m_settings.useProxyAuth != 0);
}

CString CUpdateChecker::BuildProxyGetRequest() const {
    return BuildProxyRequest("GET", m_settings.useProxyAuth > 0);
}

CString CUpdateChecker::BuildProxyRequest(const char* method, bool withCredentials) const {
    // The URI carries urlPort as stored, even when the connection fell back to port 80.
    const CString host = UrlHostForm(m_settings.urlHost);
    CString request = CString(method) + " http://" + host + ":" + m_settings.urlPort +
                      m_settings.urlPath + " HTTP/1.0\r\nHost: " + host +
                      "\r\nCache-control: no-cache\r\n";
    if (!m_signInLines.IsEmpty()) {
        request += m_signInLines;
    } else if (withCredentials) {
        request += BuildProxyAuthorization();
    }
    return request + "\r\n";
}

CString CUpdateChecker::BuildProxyAuthorization() const {
    return AuthorizationLine(SchemeName(SignInScheme::Basic),
                             (m_settings.authUsername + ":" + m_settings.authPassword).str());
}

CString CUpdateChecker::BuildConnectRequest() const {
    CString target;
    target.Format("%s:%d", UrlHostForm(m_settings.urlHost).c_str(), SitePort() & 0xFFFF);
    CString request = "CONNECT " + target + " HTTP/1.0\r\nHost: " + target + "\r\n";
    if (!m_signInLines.IsEmpty()) {
        request += m_signInLines;
    } else if (m_settings.useProxyAuth > 0) {
        request += BuildProxyAuthorization();
    }
    return request + "\r\n";
}

namespace {

// The poll's steps on the checker: HEAD, and only after a changed Last-Modified the GET and
// the parse.
PollResult PollSteps(CUpdateChecker& checker) {
    PollResult result;
    if (!checker.CheckLastModified()) {
        result.message = checker.Message();
        result.reason = DescribeFailure(checker.Failure());
        return result;
    }
    result.lastModifiedChanged = checker.HasChanged();
    result.lastModified = checker.LastModified();
    if (!checker.HasChanged()) {
        result.outcome = PollOutcome::NothingNew;
        return result;
    }
    if (!checker.SendGetRequest() || !checker.ParseNewsList()) {
        result.message = checker.Message();
        result.reason = DescribeFailure(checker.Failure());
        return result;
    }
    if (!checker.NewPostings()) {
        result.outcome = PollOutcome::NothingNew;
        return result;
    }
    result.outcome = PollOutcome::NewPostings;
    result.epoch = checker.List().epoch;
    result.entries = checker.List().entries;
    return result;
}

} // namespace

PollResult RunPoll(const PollSettings& settings, const SocketLimits& limits,
                   SignInStarter startSignIn) {
    CUpdateChecker checker(settings, limits, startSignIn);
    PollResult result = PollSteps(checker);
    result.route = checker.RouteDescription();
    return result;
}
