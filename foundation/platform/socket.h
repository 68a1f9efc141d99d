// TCP sockets of the platform layer: what the feed client needs (IPv4 stream socket, blocking
// connect, readable-wait with a time-out, receive, send, shutdown, close, address parsing and host
// lookup) and, for the gateway simulator and the tests, a listener on 127.0.0.1 with a timed
// accept. The system calls are implemented once per OS (socket_posix.cpp, socket_win32.cpp, and
// socket_bsd.cpp for those both share), the rules around them once for all (socket.cpp).
//
// Results follow error_code.h: a byte count or 1 for success, SystemErrorCode(errno /
// WSAGetLastError()) for a failure. A handle is owned by whoever created it and is closed exactly
// once; any thread may shut a handle down while another blocks on it (that is how a blocked call
// is cut short, where the system allows it), but no thread may close a handle that another thread
// may still use. All functions are thread-safe in that sense; SocketLibraryStart must have been
// called.
#pragma once

#include <cstdint>
#include <string>

namespace fw::platform {

using SocketHandle = intptr_t;
constexpr SocketHandle kNoSocket = -1;

// Starts the socket library (Winsock 1.1 on Windows; on POSIX it makes a broken connection a send
// error instead of the SIGPIPE that would end the process). 1, or a negative code. Counted: every
// successful start is matched by one SocketLibraryStop.
int32_t SocketLibraryStart();
void SocketLibraryStop();

// A new IPv4 stream (TCP) socket in blocking mode: 1 and *handle, or a negative code.
int32_t SocketCreateTcp(SocketHandle* handle);

// Connects, blocking for as long as the system's own connect time-out, to an IPv4 address (host
// byte order) and port. 1, or a negative code.
int32_t SocketConnect(SocketHandle handle, uint32_t address, uint16_t port);

// Strict dotted-decimal IPv4 ("a.b.c.d", each 0 … 255, decimal digits only): true and *address in
// host byte order. Anything else (host names, "127.1", "0x7f.0.0.1", blanks) is false.
bool ParseDottedIPv4(const char* text, uint32_t* address);

// The first IPv4 address of a host name (host byte order): 1, or a negative code when the name
// cannot be resolved (an empty name never is).
int32_t ResolveHostIPv4(const char* name, uint32_t* address);

// Waits until the socket is readable (data, the peer's close, or an error to collect) for at most
// ms milliseconds. 1 readable, 0 time-out, a negative value on failure; kNoSocket answers -1 at
// once.
int32_t SocketWaitReadable(SocketHandle handle, uint32_t ms);

// One receive call: the byte count, 0 when the peer closed the connection, or a negative code.
int32_t SocketReceive(SocketHandle handle, void* buffer, uint32_t size);

// One send call (it may send fewer bytes than asked): the count sent or a negative code. Never
// raises a signal.
int32_t SocketSend(SocketHandle handle, const void* bytes, uint32_t length);

// Whether a failure code is the system's time-out error (10060 on Windows; ETIMEDOUT, EAGAIN or
// EWOULDBLOCK on POSIX).
bool IsSocketTimeoutCode(int32_t code);

// Shuts both directions down. On POSIX a thread blocked on the handle (even in a connect) returns;
// Windows may let a blocked connect run to its own time-out. Errors are ignored.
void SocketShutdown(SocketHandle handle);
// Closes the handle (kNoSocket is ignored).
void SocketClose(SocketHandle handle);
// Closes so that the peer sees a reset instead of an orderly close.
void SocketAbort(SocketHandle handle);
// Sends small writes at once instead of gathering them (the simulator's byte-at-a-time mode).
void SocketSetNoDelay(SocketHandle handle);

// A listener on 127.0.0.1:port (0 = any free port) with the given backlog: 1, *handle and
// *boundPort, or a negative code.
int32_t SocketListenLoopback(uint16_t port, int backlog, SocketHandle* handle, uint16_t* boundPort);

// Accepts one connection, waiting at most ms: 1 and *accepted, 0 on time-out, or a negative code.
int32_t SocketAccept(SocketHandle listener, uint32_t ms, SocketHandle* accepted);

}  // namespace fw::platform
