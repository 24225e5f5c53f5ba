// BSD socket primitives for the host build.
#include "ClientSocket.h"

#include <arpa/inet.h>
#include <cerrno>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>

int StartWinsock() {
    return 1;
}
int StopWinsock() {
    return 1;
}

namespace {

int Fd(NativeSocket socket) {
    return static_cast<int>(socket);
}

bool IsWouldBlock(int error) {
    return error == EAGAIN || error == EWOULDBLOCK || error == EINPROGRESS || error == EINTR;
}

} // namespace

NativeSocket OpenStreamSocket() {
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0) {
        return kNoSocket;
    }
    int size = 8192;
    setsockopt(fd, SOL_SOCKET, SO_SNDBUF, &size, sizeof size);
    setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &size, sizeof size);
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL, 0) | O_NONBLOCK);
    return static_cast<NativeSocket>(fd);
}

void CloseSocket(NativeSocket socket) {
    ::close(Fd(socket));
}

bool ResolveIPv4(const char* hostName, uint32_t& address) {
    addrinfo hints;
    std::memset(&hints, 0, sizeof hints);
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (getaddrinfo(hostName, nullptr, &hints, &found) != 0 || !found) {
        return false;
    }
    address = reinterpret_cast<const sockaddr_in*>(found->ai_addr)->sin_addr.s_addr;
    freeaddrinfo(found);
    return true;
}

IoResult StartConnect(NativeSocket socket, uint32_t address, unsigned short port) {
    sockaddr_in target;
    std::memset(&target, 0, sizeof target);
    target.sin_family = AF_INET;
    target.sin_port = htons(port);
    target.sin_addr.s_addr = address;
    if (::connect(Fd(socket), reinterpret_cast<const sockaddr*>(&target), sizeof target) == 0) {
        return IoResult::Done;
    }
    return IsWouldBlock(errno) ? IoResult::WouldBlock : IoResult::Failed;
}

bool ConnectSucceeded(NativeSocket socket) {
    int error = 0;
    socklen_t size = sizeof error;
    return getsockopt(Fd(socket), SOL_SOCKET, SO_ERROR, &error, &size) == 0 && error == 0;
}

WaitResult WaitSocket(NativeSocket socket, WaitFor what, int timeoutMs) {
    pollfd entry;
    entry.fd = Fd(socket);
    entry.events = what == WaitFor::Read ? POLLIN : POLLOUT;
    entry.revents = 0;
    int ready = ::poll(&entry, 1, timeoutMs);
    if (ready < 0) {
        // An interrupted wait counts as ready: the next call finds nothing and waits again.
        return errno == EINTR ? WaitResult::Ready : WaitResult::Failed;
    }
    // Errors and hang-ups count as ready: the following call reports them.
    return ready == 0 ? WaitResult::TimedOut : WaitResult::Ready;
}

IoResult SendSome(NativeSocket socket, const char* data, int length, int& count) {
    // MSG_NOSIGNAL: a peer that has closed must fail the send, not kill the process.
    ssize_t sent = ::send(Fd(socket), data, static_cast<size_t>(length), MSG_NOSIGNAL);
    if (sent < 0) {
        return IsWouldBlock(errno) ? IoResult::WouldBlock : IoResult::Failed;
    }
    count = static_cast<int>(sent);
    return IoResult::Done;
}

IoResult RecvSome(NativeSocket socket, char* buffer, int size, int& count) {
    ssize_t received = ::recv(Fd(socket), buffer, static_cast<size_t>(size), 0);
    if (received < 0) {
        return IsWouldBlock(errno) ? IoResult::WouldBlock : IoResult::Failed;
    }
    count = static_cast<int>(received);
    return IoResult::Done;
}

// The host build carries no TLS: its tests cover the portable logic, and HTTPS runs
// through the system's TLS in the Windows build only.
FailureKind CClientSocket::StartTls(const char*) {
    return FailureKind::TlsHandshake;
}
