#include "ClientSocket.h"

#include <algorithm>
#include <cstring>

namespace {

// How long an address may try alone before the next one starts beside it.
constexpr int kHeadStartMs = 250;

} // namespace

CClientSocket::CClientSocket(const char* hostName, int port, const SocketLimits& limits)
    : m_socket(kNoSocket), m_limits(limits), m_deadline(MonotonicMs()) {
    std::memset(m_buffer, 0, sizeof m_buffer);
    if (hostName && *hostName) {
        m_addressCount = ResolveHost(hostName, static_cast<unsigned short>(port & 0xFFFF),
                                     m_addresses, kMostAddresses);
    }
}

CClientSocket::~CClientSocket() {
    Close();
}

int CClientSocket::Fail(SocketFailure failure) {
    m_failure = failure;
    return -1;
}

bool CClientSocket::WaitForProgress(WaitFor what, int limitMs) {
    const long long left = m_deadline - MonotonicMs();
    if (left <= 0) {
        Fail(SocketFailure::DeadlinePassed);
        return false;
    }
    const bool deadlineFirst = left < limitMs;
    int waitMs = static_cast<int>(std::min<long long>(limitMs, left));
    switch (WaitSocket(m_socket, what, waitMs)) {
    case WaitResult::Ready:
        return true;
    case WaitResult::TimedOut:
        Fail(deadlineFirst ? SocketFailure::DeadlinePassed : SocketFailure::TimedOut);
        return false;
    case WaitResult::Failed:
        break;
    }
    Fail(SocketFailure::Broken);
    return false;
}

int CClientSocket::Connect() {
    return ConnectBy(MonotonicMs() + m_limits.totalMs);
}

int CClientSocket::ConnectBy(Moment deadline) {
    Close();
    const Moment start = MonotonicMs();
    m_deadline = deadline;
    m_failure = SocketFailure::None;
    m_triedIPv4 = m_triedIPv6 = false;
    // Times in milliseconds since the start.
    const long long left = deadline - start;
    const int connectEnd = static_cast<int>(std::min<long long>(m_limits.connectMs, left));
    int nextStart = 0;
    // An unresolved name must not become a connection to 0.0.0.0, which some socket
    // layers take for the local host.
    SocketFailure failure = m_addressCount == 0 ? SocketFailure::NotResolved : SocketFailure::None;
    NativeSocket pending[kMostAddresses];
    int pendingCount = 0;
    int next = 0;
    while (m_socket == kNoSocket && failure == SocketFailure::None) {
        const int now = static_cast<int>(MonotonicMs() - start);
        const bool more = next < m_addressCount;
        if (more && (pendingCount == 0 || now >= nextStart)) {
            const bool started = StartAttempt(m_addresses[next++], pending, pendingCount);
            nextStart = started ? now + kHeadStartMs : now;
        } else if (pendingCount == 0) {
            failure = SocketFailure::Refused;
        } else if (now >= connectEnd) {
            failure =
                left < m_limits.connectMs ? SocketFailure::DeadlinePassed : SocketFailure::TimedOut;
        } else {
            const int until = more ? std::min(nextStart, connectEnd) : connectEnd;
            const int ready = WaitConnecting(pending, pendingCount, until - now + 1);
            if (ready == -2) {
                failure = SocketFailure::Broken;
            } else if (ready >= 0) {
                const NativeSocket socket = pending[ready];
                pending[ready] = pending[--pendingCount];
                if (ConnectSucceeded(socket)) {
                    m_socket = socket;
                } else {
                    CloseSocket(socket);
                    nextStart = now;
                }
            }
        }
    }
    while (pendingCount > 0) {
        CloseSocket(pending[--pendingCount]);
    }
    return m_socket == kNoSocket ? Fail(failure) : 0;
}

bool CClientSocket::StartAttempt(const SocketAddress& address, NativeSocket* pending,
                                 int& pendingCount) {
    (address.ipv6 ? m_triedIPv6 : m_triedIPv4) = true;
    const NativeSocket socket = OpenStreamSocket(address.ipv6);
    if (socket == kNoSocket) {
        return false;
    }
    switch (StartConnect(socket, address)) {
    case IoResult::Done:
        m_socket = socket;
        return false;
    case IoResult::WouldBlock:
        pending[pendingCount++] = socket;
        return true;
    case IoResult::Failed:
        break;
    }
    CloseSocket(socket);
    return false;
}

const char* CClientSocket::TriedFamilies() const {
    if (!m_triedIPv6)
        return "";
    return m_triedIPv4 ? "IPv6 and IPv4" : "IPv6";
}

int CClientSocket::SendAll(const char* text) {
    int length = static_cast<int>(std::strlen(text));
    if (m_socket == kNoSocket) {
        return Fail(SocketFailure::Broken);
    }
    return m_secure ? m_secure->Send(text, length) : SendBytes(text, length);
}

int CClientSocket::SendBytes(const char* data, int length) {
    if (m_socket == kNoSocket) {
        return -1;
    }
    int sent = 0;
    while (sent < length) {
        int count = 0;
        IoResult result = SendSome(m_socket, data + sent, length - sent, count);
        if (result == IoResult::Failed) {
            return Fail(SocketFailure::Broken);
        }
        if (result == IoResult::WouldBlock) {
            if (!WaitForProgress(WaitFor::Write, m_limits.idleMs)) {
                return -1;
            }
            continue;
        }
        sent += count;
    }
    return sent;
}

int CClientSocket::ReceiveSome(char* buffer, int size) {
    if (m_socket == kNoSocket) {
        return Fail(SocketFailure::Broken);
    }
    for (;;) {
        if (!WaitForProgress(WaitFor::Read, m_limits.idleMs)) {
            return -1;
        }
        int count = 0;
        IoResult result = RecvSome(m_socket, buffer, size, count);
        if (result == IoResult::Failed) {
            return Fail(SocketFailure::Broken);
        }
        if (result == IoResult::Done) {
            return count;
        }
    }
}

int CClientSocket::Receive() {
    if (m_socket == kNoSocket) {
        return -1;
    }
    m_received.Empty();
    m_endAnnounced = false;
    if (m_secure) {
        const int ended = m_secure->Receive(m_received);
        m_endAnnounced = ended == 0;
        return ended < 0 ? -1 : 0;
    }
    for (;;) {
        int count = ReceiveSome(m_buffer, static_cast<int>(sizeof m_buffer) - 1);
        if (count <= 0) {
            m_endAnnounced = count == 0;
            return count;
        }
        if (m_received.GetLength() + count > m_limits.maxResponseBytes) {
            return Fail(SocketFailure::TooLarge);
        }
        m_received.Append(m_buffer, count);
    }
}

const char* CClientSocket::GetReceivedText() const {
    return m_received.IsEmpty() ? nullptr : m_received.c_str();
}

void CClientSocket::Close() {
    // The session goes before the connection it runs over.
    m_secure.reset();
    if (m_socket != kNoSocket) {
        CloseSocket(m_socket);
        m_socket = kNoSocket;
    }
}
