#pragma once
// One TCP connection for one HTTP request: resolve, connect, send a whole request, collect
// everything until the server closes the connection. Winsock 1.1 in the Windows build, BSD
// sockets on the host, with the same behaviour.
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

#include <chrono>
#include <cstdint>
#include <memory>

struct SocketLimits {
    int connectMs = 30000;          // connecting
    int idleMs = 30000;             // each wait for a send or a read to make progress
    int totalMs = 60000;            // the whole request, from the start of Connect
    int maxResponseBytes = 1 << 20; // a longer response fails the read
};

// Start and clean up the socket library for the process (WSAStartup for version 1.1).
// 1 on success, -1 on failure; the host build has nothing to start.
int StartWinsock();
int StopWinsock();

// Why the last failed step of a connection failed.
enum class SocketFailure {
    None,
    NotResolved,    // the host name has no address
    Refused,        // the connection could not be made (refused, unreachable, no socket)
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
    // Creates the socket and resolves the host name; failures show in Connect.
    CClientSocket(const char* hostName, int port, const SocketLimits& limits = SocketLimits());
    virtual ~CClientSocket();
    CClientSocket(const CClientSocket&) = delete;
    CClientSocket& operator=(const CClientSocket&) = delete;

    // 0 on success, -1 on failure (the socket is then closed).
    int Connect();
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
    using Clock = std::chrono::steady_clock;

    void Create();
    void SetPort(int port);
    bool Resolve(const char* hostName);
    // Waits up to limitMs, or less when the request's deadline is nearer, for the socket to
    // be ready. False on timeout, on failure and once the deadline has passed, with the
    // cause recorded.
    bool WaitForProgress(WaitFor what, int limitMs);

    CString m_received;
    unsigned short m_port = 0;
    uint32_t m_address = 0; // IPv4, network byte order
    bool m_resolved = false;
    bool m_endAnnounced = false;
    SocketFailure m_failure = SocketFailure::None;
    std::uintptr_t m_socket;
    SocketLimits m_limits;
    Clock::time_point m_deadline;
    std::unique_ptr<CSecureLayer> m_secure;
    char m_buffer[8192];
};
