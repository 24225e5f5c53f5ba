#pragma once
// One TCP connection for one HTTP request: resolve, connect, send a whole request, collect
// everything until the server closes the connection. Winsock 2.2 in the Windows build, BSD
// sockets on the host, with the same behaviour.
//
// A name may have IPv6 and IPv4 addresses. They are tried in the resolver's order: an
// address that is refused or unreachable gives way to the next at once, and one that is
// still connecting after a short head start gets the next beside it, so an address that
// stalls costs a quarter of a second, not the connect limit. The first connection made wins.
// The connect limit holds for all the addresses together.
//
// A server or proxy that accepts and then stalls or trickles must not hold a poll (and the
// agent's Exit, which waits for the poll) for ever, so every step runs under time limits;
// running out of time is an ordinary failure of that step. A response larger than the cap
// fails the read as well.
//
// Once StartTls has succeeded, SendAll and Receive carry the request and the response
// through TLS over the same connection and under the same limits.
#include "CString.h"
#include "PollFailure.h"
#include "SocketOps.h"

#include <cstdint>
#include <memory>

struct SocketLimits {
    int connectMs = 30000;          // connecting
    int idleMs = 30000;             // each wait for a send or a read to make progress
    int totalMs = 60000;            // the whole request, from the start of Connect
    int maxResponseBytes = 1 << 20; // a longer response fails the read
};

// Start and clean up the socket library for the process (WSAStartup for version 2.2).
// 1 on success, -1 on failure; the host build has nothing to start.
int StartWinsock();
int StopWinsock();

// Why the last failed step of a connection failed.
enum class SocketFailure {
    None,
    NotResolved,    // the host name has no address
    Refused,        // no address could be connected to (refused, unreachable, no socket)
    TimedOut,       // a connect, send or read made no progress within its limit
    DeadlinePassed, // the whole request took longer than its limit
    TooLarge,       // the response grew beyond its cap
    Broken,         // the connection failed while sending or reading
};

// What runs over the connection once TLS is up: sends encrypt, receives decrypt.
class CSecureLayer {
public:
    virtual ~CSecureLayer() = default;
    // The number of bytes sent, or -1.
    virtual int Send(const char* data, int length) = 0;
    // Appends the response until the server ends the session: 0 when it announced the end
    // (close_notify), 1 when the connection just closed between two records (the response may
    // have been cut short), -1 on failure, timeout, a cut-off record or a response beyond the cap.
    virtual int Receive(CString& received) = 0;
};

class CClientSocket {
public:
    // Resolves the host name, or an IPv4 or IPv6 literal without brackets; failures show in
    // Connect.
    CClientSocket(const char* hostName, int port, const SocketLimits& limits = SocketLimits());
    virtual ~CClientSocket();
    CClientSocket(const CClientSocket&) = delete;
    CClientSocket& operator=(const CClientSocket&) = delete;

    // A moment: milliseconds on the system's monotonic clock (MonotonicMs).
    using Moment = long long;

    // 0 on success, -1 on failure (the socket is then closed).
    int Connect();
    // The same, for a request that goes on over a further connection: its time runs out at
    // the deadline of the connection that the request started on.
    int ConnectBy(Moment deadline);
    Moment Deadline() const { return m_deadline; }
    // The address families Connect tried when IPv6 was among them: "IPv6" or "IPv6 and
    // IPv4"; empty for IPv4 alone.
    const char* TriedFamilies() const;
    // The number of bytes sent, or -1.
    int SendAll(const char* text);
    // Reads until the server closes the connection: 0, or -1 on failure or timeout.
    int Receive();
    // Whether the server meant the end that the last Receive met: a plain close always, over
    // TLS only a close announced by close_notify.
    bool EndAnnounced() const { return m_endAnnounced; }
    // Handshake over the connected socket, naming serverName, and validation of the
    // server's certificate for that name. FailureKind::None once the session is up.
    FailureKind StartTls(const char* serverName);

    // The bytes on the wire, for the layers on top: all of them or -1; and one read of at
    // most size bytes: the count, 0 when the peer has closed, -1 on failure or timeout.
    int SendBytes(const char* data, int length);
    int ReceiveSome(char* buffer, int size);
    // The received text, or null when nothing was received.
    const char* GetReceivedText() const;
    // Everything received, zero bytes included.
    const CString& Received() const { return m_received; }
    void Close();

    const SocketLimits& Limits() const { return m_limits; }
    SocketFailure Failure() const { return m_failure; }
    // Records why a step failed and gives the step's failure result; the TLS layer
    // records its own failures here too.
    int Fail(SocketFailure failure);

private:
    // Starts connecting to one address: true while that goes on in the background, with
    // the socket added to pending; a socket connected at once becomes the connection.
    bool StartAttempt(const SocketAddress& address, NativeSocket* pending, int& pendingCount);
    // Waits up to limitMs, or less when the request's deadline is nearer, for the socket to
    // be ready. False on timeout, on failure and once the deadline has passed, with the
    // cause recorded.
    bool WaitForProgress(WaitFor what, int limitMs);

    CString m_received;
    SocketAddress m_addresses[kMostAddresses];
    int m_addressCount = 0;
    bool m_triedIPv4 = false;
    bool m_triedIPv6 = false;
    bool m_endAnnounced = false;
    SocketFailure m_failure = SocketFailure::None;
    std::uintptr_t m_socket;
    SocketLimits m_limits;
    Moment m_deadline;
    std::unique_ptr<CSecureLayer> m_secure;
    char m_buffer[8192];
};
