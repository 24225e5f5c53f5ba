#pragma once
// The few socket primitives that differ between Winsock and BSD sockets. CClientSocket
// holds all the logic on top of them. Sockets are non-blocking so that every wait is a
// select with a limit.
#include <cstdint>

using NativeSocket = std::uintptr_t;
const NativeSocket kNoSocket = ~NativeSocket(0);

// Connect waits for writing too, and also for the failure of the connection attempt.
enum class WaitFor { Read, Write, Connect };
enum class WaitResult { Ready, TimedOut, Failed };
enum class IoResult { Done, WouldBlock, Failed };

NativeSocket OpenStreamSocket();
void CloseSocket(NativeSocket socket);
// Resolves a name or a dotted address to an IPv4 address in network byte order.
bool ResolveIPv4(const char* hostName, uint32_t& address);
// Starts connecting; Done when already connected, WouldBlock while in progress.
IoResult StartConnect(NativeSocket socket, uint32_t address, unsigned short port);
// After a wait for writing: whether the pending connect succeeded.
bool ConnectSucceeded(NativeSocket socket);
WaitResult WaitSocket(NativeSocket socket, WaitFor what, int timeoutMs);
// count receives the bytes moved (0 from RecvSome: the peer closed the connection).
IoResult SendSome(NativeSocket socket, const char* data, int length, int& count);
IoResult RecvSome(NativeSocket socket, char* buffer, int size, int& count);
