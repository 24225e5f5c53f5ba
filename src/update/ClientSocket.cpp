#include "ClientSocket.h"

#include <algorithm>
#include <cstring>

CClientSocket::CClientSocket(const char* hostName, int port, const SocketLimits& limits)
    : m_socket(kNoSocket), m_limits(limits), m_deadline(Clock::now()) {
    std::memset(m_buffer, 0, sizeof m_buffer);
    Create();
    SetPort(port);
    Resolve(hostName);
}

CClientSocket::~CClientSocket() {
    Close();
}

void CClientSocket::Create() {
    m_socket = OpenStreamSocket();
}

void CClientSocket::SetPort(int port) {
    m_port = static_cast<unsigned short>(port & 0xFFFF);
}

bool CClientSocket::Resolve(const char* hostName) {
    if (!hostName || !*hostName) {
        return false;
    }
    uint32_t address = 0;
    if (!ResolveIPv4(hostName, address)) {
        return false;
    }
    m_address = address;
    m_resolved = true;
    return true;
}

int CClientSocket::Fail(SocketFailure failure) {
    m_failure = failure;
    return -1;
}

bool CClientSocket::WaitForProgress(WaitFor what, int limitMs) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(m_deadline - Clock::now());
    if (left.count() <= 0) {
        Fail(SocketFailure::DeadlinePassed);
        return false;
    }
    const bool deadlineFirst = left.count() < limitMs;
    int waitMs = static_cast<int>(std::min<long long>(limitMs, left.count()));
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
    m_deadline = Clock::now() + std::chrono::milliseconds(m_limits.totalMs);
    m_failure = SocketFailure::None;
    // An unresolved name must not become a connection to 0.0.0.0, which some socket
    // layers take for the local host.
    if (m_socket == kNoSocket || !m_resolved) {
        Fail(m_socket == kNoSocket ? SocketFailure::Refused : SocketFailure::NotResolved);
        Close();
        return -1;
    }
    IoResult started = StartConnect(m_socket, m_address, m_port);
    bool connected = started == IoResult::Done;
    if (started == IoResult::WouldBlock) {
        connected = WaitForProgress(WaitFor::Connect, m_limits.connectMs);
        if (connected && !ConnectSucceeded(m_socket)) {
            connected = false;
            Fail(SocketFailure::Refused);
        }
    } else if (!connected) {
        Fail(SocketFailure::Refused);
    }
    if (!connected) {
        Close();
        return -1;
    }
    return 0;
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
