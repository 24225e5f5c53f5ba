#pragma once
// One poll of the news server: a HEAD request whose Last-Modified value is compared with
// the stored one and, only when it differs, a GET request for the news list, which is
// parsed and compared by its epoch. Runs on the poll's worker thread over a copy of the
// settings; what it finds goes back to the main thread as a PollResult.
#include "CString.h"
#include "ClientSocket.h"
#include "PollFailure.h"
#include "PollResult.h"
#include "ProxyRoute.h"
#include "ProxySignIn.h"
#include "ResponseParser.h"
#include "XmlDocument.h"

#include <memory>

enum class Scheme { Http, Https };

// "http" or "https" in any case; false for anything else.
bool ParseScheme(const CString& text, Scheme& scheme);

class CUpdateChecker {
public:
    // A proxy that asks for Windows sign-in gets its tokens from contexts of startSignIn.
    explicit CUpdateChecker(const PollSettings& settings,
                            const SocketLimits& limits = SocketLimits(),
                            SignInStarter startSignIn = StartWindowsSignIn);
    ~CUpdateChecker();
    CUpdateChecker(const CUpdateChecker&) = delete;
    CUpdateChecker& operator=(const CUpdateChecker&) = delete;

    // The HEAD step: send, parse, compare the Last-Modified value with the stored one.
    bool CheckLastModified();
    bool HasChanged() const { return m_changed; }
    bool SendHeadRequest();
    bool SendGetRequest();
    bool ParseHeadResponse();
    // Parses the GET response; a list whose epoch differs from the stored one is kept and
    // counts as new postings. A body that starts with "<" is read as a feed instead, and
    // counts as new postings as FeedHasNews decides.
    bool ParseNewsList();

    CString BuildHeadRequest() const;
    CString BuildGetRequest() const;
    CString BuildProxyHeadRequest() const;
    CString BuildProxyGetRequest() const;
    // The Proxy-Authorization header line, CR LF included.
    CString BuildProxyAuthorization() const;
    // The lines that a proxy request carries in place of Basic credentials during a Windows
    // sign-in: Proxy-Authorization with the leg's token, and Proxy-Connection while the
    // proxy is to answer with another token.
    const CString& SignInLines() const { return m_signInLines; }
    // Asks the proxy for a tunnel to the site, for HTTPS.
    CString BuildConnectRequest() const;

    const CString& Message() const { return m_message; }
    // What failed, for the reason shown to people; kind None after success.
    const PollFailure& Failure() const { return m_failure; }
    bool NewPostings() const { return m_newPostings; }
    const CString& LastModified() const { return m_lastModified; }
    const NewsList& List() const { return m_list; }
    const PollSettings& Settings() const { return m_settings; }
    // The route of the last connection, as the last-poll line names it; empty when the
    // agent's own settings chose it.
    CString RouteDescription() const;

private:
    using RequestBuilder = CString (CUpdateChecker::*)() const;
    // Sends the request (or CONNECT) once and reads the answer: up to the close, or, on a
    // connection that is to stay open (keepAlive), as far as the answer's length says.
    using Leg = bool (CUpdateChecker::*)(bool keepAlive, CString& answer);

    CString BuildDirectRequest(const char* method) const;
    CString BuildProxyRequest(const char* method, bool withCredentials) const;
    // urlHost, with ":port" when the port is not the scheme's default one.
    CString HostHeaderValue() const;
    // 443 for HTTPS, 80 for HTTP.
    int DefaultPort() const;
    // The number in urlPort, or the scheme's default port.
    int SitePort() const;
    // Whether requests go to the proxy as absolute URIs: plain HTTP through a proxy. HTTPS
    // sends the direct requests, through the proxy's tunnel when there is one.
    bool UsesProxyRequests() const;
    // The way to the site, once chosen: the agent's own proxy when it is on; otherwise what
    // Windows' proxy settings say, when they are followed; otherwise direct.
    void PlanRoutes();
    const Route& CurrentRoute() const;
    // The host and port connected to: the site's, or the proxy's on a route through one.
    CString EndpointHost() const;
    int EndpointPort() const;
    // The address asked for: scheme://host[:port]/path.
    CString SiteUrl() const;
    // Connects along the routes from the current one on, until one connects.
    bool OpenConnection();
    // A further connection for the request along the route that it took, within the
    // request's time.
    bool Reconnect();
    // Connects to the current route's host and port, by the deadline when one is given,
    // else within the limits from now on; on failure the message and reason say where to.
    bool ConnectEndpoint(const CClientSocket::Moment* deadline);
    // Through the proxy's tunnel when the proxy is used, then the TLS session.
    bool StartSecureChannel();
    bool OpenTunnel();
    // Sends the whole request; false, with the failure noted, when that fails.
    bool Send(const CString& request);
    bool RequestLeg(bool keepAlive, CString& response);
    bool TunnelLeg(bool keepAlive, CString& head);
    // Reads a byte at a time up to the blank line that ends the head, so that nothing of what
    // follows is taken.
    bool ReadHead(CString& head);
    // The body on a connection that stays open: as long as its Content-Length says (nothing
    // when bodyless), or up to the close when it has none.
    bool ReadBody(bool bodyless, CString& answer);
    // One leg; on a route through a proxy that answers 407 offering NTLM or Negotiate, then
    // the Windows sign-in: once per request, started once more on a new connection when the
    // proxy closes the first between two legs.
    bool ToProxy(Leg leg, CString& answer);
    // The legs of one handshake on the connection: 1 with the proxy's answer to the last one,
    // 0 when the proxy closed the connection between two legs, -1 on failure.
    int SignInLegs(Leg leg, CString& answer);
    void NoteFailure(FailureKind kind, int limit = 0);
    // answerBegun: part of the answer had arrived when the read failed.
    void NoteSocketFailure(bool connecting, bool answerBegun = false);
    void NoteBadAnswer(FailureKind kind, const CString& answer, const CString& statusLine);
    // For the failures that HTTPS, feeds and the sign-in brought, the message is the reason
    // itself; line is where reading a feed stopped.
    void FailWithReason(FailureKind kind, int line = 0);
    // The GET response's body read as a feed; a feed that cannot be read fails the poll.
    bool ParseFeed(const XmlDocument& document);
    // Sends one request over a fresh connection (more during a Windows sign-in), built by
    // direct or, on a route through a proxy, by proxied, and reads the whole response, up to
    // its first zero byte, and all its bytes into whole when given. A response that was partly
    // received when a step failed, or that was cut short, is dropped.
    bool Exchange(AnswerTo request, RequestBuilder direct, RequestBuilder proxied,
                  const char* writeError, const char* readError, CString& response,
                  CString* whole = nullptr);

    PollSettings m_settings;
    SocketLimits m_limits;
    CString m_message;
    PollFailure m_failure;
    CString m_headResponse;
    CString m_getResponse;
    CString m_getBytes; // the GET response with any zero bytes
    CString m_lastModified;
    std::unique_ptr<CClientSocket> m_connection;
    // The request being exchanged.
    AnswerTo m_answerTo = AnswerTo::Head;
    RequestBuilder m_build = nullptr;
    const char* m_writeError = "";
    const char* m_readError = "";
    CString* m_whole = nullptr; // receives all the bytes of the answer, when the request asks
    SignInStarter m_startSignIn;
    // The scheme of the poll's sign-in: the next request starts its handshake at once.
    SignInScheme m_signIn = SignInScheme::None;
    CString m_signInLines;
    RoutePlan m_plan;
    int m_routeIndex = 0;
    bool m_changed = false;
    bool m_newPostings = false;
    bool m_winsockStarted = false;
    Scheme m_scheme = Scheme::Http;
    bool m_schemeKnown = false;
    NewsList m_list;
};

// The whole poll in its order of steps: HEAD, and only after a changed Last-Modified the
// GET and the parse.
PollResult RunPoll(const PollSettings& settings, const SocketLimits& limits = SocketLimits(),
                   SignInStarter startSignIn = StartWindowsSignIn);
