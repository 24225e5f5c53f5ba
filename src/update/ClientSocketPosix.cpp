// BSD socket primitives for the host build, and its stand-ins for what only Windows has.
#include "ClientSocket.h"
#include "ProxyRoute.h"

#include <arpa/inet.h>
#include <cerrno>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstddef>
#include <cstring>
#include <ctime>

static_assert(sizeof(sockaddr_in6) <= sizeof(SocketAddress::bytes), "room for an IPv6 address");
static_assert(offsetof(sockaddr_in, sin_port) == offsetof(sockaddr_in6, sin6_port),
              "the port sits at the same place in both families");

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

long long MonotonicMs() {
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<long long>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

NativeSocket OpenStreamSocket(bool ipv6) {
    int fd = ::socket(ipv6 ? AF_INET6 : AF_INET, SOCK_STREAM, 0);
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

int ResolveHost(const char* hostName, unsigned short port, SocketAddress* found, int most) {
    addrinfo hints;
    std::memset(&hints, 0, sizeof hints);
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* list = nullptr;
    if (getaddrinfo(hostName, nullptr, &hints, &list) != 0) {
        return 0;
    }
    int count = 0;
    for (const addrinfo* at = list; at && count < most; at = at->ai_next) {
        SocketAddress& address = found[count];
        address.ipv6 = at->ai_family == AF_INET6;
        address.length = static_cast<int>(at->ai_addrlen);
        if ((address.ipv6 || at->ai_family == AF_INET) && at->ai_addrlen <= sizeof address.bytes) {
            std::memcpy(address.bytes, at->ai_addr, at->ai_addrlen);
            reinterpret_cast<sockaddr_in*>(address.bytes)->sin_port = htons(port);
            ++count;
        }
    }
    freeaddrinfo(list);
    return count;
}

IoResult StartConnect(NativeSocket socket, const SocketAddress& address) {
    if (::connect(Fd(socket), reinterpret_cast<const sockaddr*>(address.bytes),
                  static_cast<socklen_t>(address.length)) == 0) {
        return IoResult::Done;
    }
    return IsWouldBlock(errno) ? IoResult::WouldBlock : IoResult::Failed;
}

int WaitConnecting(const NativeSocket* sockets, int count, int timeoutMs) {
    pollfd entries[kMostAddresses];
    for (int i = 0; i < count; ++i) {
        entries[i] = {Fd(sockets[i]), POLLOUT, 0};
    }
    int ready = ::poll(entries, static_cast<nfds_t>(count), timeoutMs);
    if (ready < 0) {
        return errno == EINTR ? -1 : -2;
    }
    for (int i = 0; i < count; ++i) {
        // Errors and hang-ups count too: ConnectSucceeded tells them apart.
        if (entries[i].revents) {
            return i;
        }
    }
    return -1;
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

// The host has no Windows proxy settings: its polls go straight to the site or through
// the agent's own proxy.
bool PlanRoutesFromWindows(const CString&, bool, const CString&, RoutePlan&) {
    return false;
}

// The host build carries no TLS: its tests cover the portable logic, and HTTPS runs
// through the system's TLS in the Windows build only.
FailureKind CClientSocket::StartTls(const char*) {
    return FailureKind::TlsHandshake;
}
