// Winsock 2.2 primitives for the Windows build.
#include "ClientSocket.h"

#include <winsock2.h>
#include <ws2tcpip.h>

#include <cstddef>
#include <cstring>

static_assert(sizeof(sockaddr_in6) <= sizeof(SocketAddress::bytes), "room for an IPv6 address");
static_assert(offsetof(sockaddr_in, sin_port) == offsetof(sockaddr_in6, sin6_port),
              "the port sits at the same place in both families");

int StartWinsock() {
    WSADATA data;
    return WSAStartup(MAKEWORD(2, 2), &data) == 0 ? 1 : -1;
}

int StopWinsock() {
    return WSACleanup() == 0 ? 1 : -1;
}

namespace {

SOCKET Handle(NativeSocket socket) {
    return static_cast<SOCKET>(socket);
}

bool IsWouldBlock(int error) {
    return error == WSAEWOULDBLOCK || error == WSAEINPROGRESS || error == WSAEINTR;
}

} // namespace

long long MonotonicMs() {
    return static_cast<long long>(GetTickCount64());
}

NativeSocket OpenStreamSocket(bool ipv6) {
    SOCKET handle = ::socket(ipv6 ? AF_INET6 : AF_INET, SOCK_STREAM, 0);
    if (handle == INVALID_SOCKET) {
        return kNoSocket;
    }
    int size = 8192;
    setsockopt(handle, SOL_SOCKET, SO_SNDBUF, reinterpret_cast<const char*>(&size), sizeof size);
    setsockopt(handle, SOL_SOCKET, SO_RCVBUF, reinterpret_cast<const char*>(&size), sizeof size);
    u_long nonBlocking = 1;
    ioctlsocket(handle, FIONBIO, &nonBlocking);
    return static_cast<NativeSocket>(handle);
}

void CloseSocket(NativeSocket socket) {
    closesocket(Handle(socket));
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
    if (::connect(Handle(socket), reinterpret_cast<const sockaddr*>(address.bytes),
                  address.length) == 0) {
        return IoResult::Done;
    }
    return IsWouldBlock(WSAGetLastError()) ? IoResult::WouldBlock : IoResult::Failed;
}

int WaitConnecting(const NativeSocket* sockets, int count, int timeoutMs) {
    fd_set connected;
    connected.fd_count = 0;
    for (int i = 0; i < count; ++i) {
        connected.fd_array[connected.fd_count++] = Handle(sockets[i]);
    }
    // Winsock reports a failed non-blocking connect in the exception set only. Only this wait
    // asks for that set: it also reports a queued urgent byte, which a plain recv never
    // takes, so a wait of a connected socket would return at once for ever.
    fd_set failed = connected;
    timeval limit;
    limit.tv_sec = timeoutMs / 1000;
    limit.tv_usec = (timeoutMs % 1000) * 1000;
    const int ready = select(0, nullptr, &connected, &failed, &limit);
    if (ready == SOCKET_ERROR) {
        return -2;
    }
    // select leaves only the sockets that are ready in each set.
    const SOCKET done = connected.fd_count ? connected.fd_array[0] : failed.fd_array[0];
    for (int i = 0; ready > 0 && i < count; ++i) {
        if (Handle(sockets[i]) == done) {
            return i;
        }
    }
    return -1;
}

bool ConnectSucceeded(NativeSocket socket) {
    int error = 0;
    int size = sizeof error;
    return getsockopt(Handle(socket), SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error),
                      &size) == 0 &&
           error == 0;
}

WaitResult WaitSocket(NativeSocket socket, WaitFor what, int timeoutMs) {
    fd_set wanted;
    FD_ZERO(&wanted);
    FD_SET(Handle(socket), &wanted);
    // No exception set once connected (see WaitConnecting).
    timeval limit;
    limit.tv_sec = timeoutMs / 1000;
    limit.tv_usec = (timeoutMs % 1000) * 1000;
    int ready = what == WaitFor::Read ? select(0, &wanted, nullptr, nullptr, &limit)
                                      : select(0, nullptr, &wanted, nullptr, &limit);
    if (ready == SOCKET_ERROR) {
        return WaitResult::Failed;
    }
    return ready == 0 ? WaitResult::TimedOut : WaitResult::Ready;
}

IoResult SendSome(NativeSocket socket, const char* data, int length, int& count) {
    int sent = ::send(Handle(socket), data, length, 0);
    if (sent == SOCKET_ERROR) {
        return IsWouldBlock(WSAGetLastError()) ? IoResult::WouldBlock : IoResult::Failed;
    }
    count = sent;
    return IoResult::Done;
}

IoResult RecvSome(NativeSocket socket, char* buffer, int size, int& count) {
    int received = ::recv(Handle(socket), buffer, size, 0);
    if (received == SOCKET_ERROR) {
        return IsWouldBlock(WSAGetLastError()) ? IoResult::WouldBlock : IoResult::Failed;
    }
    count = received;
    return IoResult::Done;
}
