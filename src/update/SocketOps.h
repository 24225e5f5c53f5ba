#pragma once
// The few socket primitives that differ between Winsock and BSD sockets. CClientSocket
// holds all the logic on top of them. Sockets are non-blocking so that every wait is a
// select with a limit.
#include <cstdint>

using NativeSocket = std::uintptr_t;
const NativeSocket kNoSocket = ~NativeSocket(0);

enum class WaitFor { Read, Write };
enum class WaitResult { Ready, TimedOut, Failed };
enum class IoResult { Done, WouldBlock, Failed };

// Milliseconds on a clock that only goes forward, from an arbitrary start.
long long MonotonicMs();

// The most addresses of one name that are tried, and so the most sockets connecting at once.
constexpr int kMostAddresses = 8;

// A resolved address with its port, as the socket calls take it: the bytes of an IPv4 or
// an IPv6 socket address.
struct SocketAddress {
    bool ipv6;
    int length;
    alignas(8) unsigned char bytes[28];
};

// The addresses of a name or of an IPv4 or IPv6 literal (without brackets), at most most
// of them, in the resolver's order, with the port set: their count, 0 when the name has
// no address.
int ResolveHost(const char* hostName, unsigned short port, SocketAddress* found, int most);
NativeSocket OpenStreamSocket(bool ipv6);
void CloseSocket(NativeSocket socket);
// Starts connecting; Done when already connected, WouldBlock while in progress.
IoResult StartConnect(NativeSocket socket, const SocketAddress& address);
// Waits up to timeoutMs for any of at most kMostAddresses connecting sockets to get
// anywhere, connected or refused: its index; -1 when none did in time, -2 when the wait
// failed.
int WaitConnecting(const NativeSocket* sockets, int count, int timeoutMs);
// After WaitConnecting: whether that socket's connect succeeded.
bool ConnectSucceeded(NativeSocket socket);
WaitResult WaitSocket(NativeSocket socket, WaitFor what, int timeoutMs);
// count receives the bytes moved (0 from RecvSome: the peer closed the connection).
IoResult SendSome(NativeSocket socket, const char* data, int length, int& count);
IoResult RecvSome(NativeSocket socket, char* buffer, int size, int& count);
