// Winsock 1.1 primitives for the Windows build.
#include "ClientSocket.h"

#include <winsock.h>

#include <cstring>

int StartWinsock() {
    WSADATA data;
    return WSAStartup(MAKEWORD(1, 1), &data) == 0 ? 1 : -1;
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

NativeSocket OpenStreamSocket() {
    SOCKET handle = ::socket(AF_INET, SOCK_STREAM, 0);
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

bool ResolveIPv4(const char* hostName, uint32_t& address) {
    // gethostbyname keeps its result per thread, so concurrent polls do not clash.
    const hostent* host = gethostbyname(hostName);
    if (!host || host->h_addrtype != AF_INET || !host->h_addr_list[0]) {
        return false;
    }
    std::memcpy(&address, host->h_addr_list[0], sizeof address);
    return true;
}

IoResult StartConnect(NativeSocket socket, uint32_t address, unsigned short port) {
    sockaddr_in target;
    std::memset(&target, 0, sizeof target);
    target.sin_family = AF_INET;
    target.sin_port = htons(port);
    target.sin_addr.s_addr = address;
    if (::connect(Handle(socket), reinterpret_cast<const sockaddr*>(&target), sizeof target) == 0) {
        return IoResult::Done;
    }
    return IsWouldBlock(WSAGetLastError()) ? IoResult::WouldBlock : IoResult::Failed;
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
    fd_set failed;
    FD_ZERO(&wanted);
    FD_ZERO(&failed);
    FD_SET(Handle(socket), &wanted);
    // Winsock reports a failed non-blocking connect in the exception set only. Later waits
    // leave that set out: it also reports a queued urgent byte, which a plain recv never
    // takes, so select would return at once for ever.
    if (what == WaitFor::Connect) {
        FD_SET(Handle(socket), &failed);
    }
    timeval limit;
    limit.tv_sec = timeoutMs / 1000;
    limit.tv_usec = (timeoutMs % 1000) * 1000;
    int ready = what == WaitFor::Read ? select(0, &wanted, nullptr, &failed, &limit)
                                      : select(0, nullptr, &wanted, &failed, &limit);
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
