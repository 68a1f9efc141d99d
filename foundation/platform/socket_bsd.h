// The Berkeley socket interface as POSIX and Winsock both offer it, for the socket files of this
// folder: this OS's headers, the native handle, the IPv4 address record, and the calls that the two
// systems share word for word (socket_bsd.cpp). What differs between them (handle types, error
// numbers, blocking modes, inheritance) stays in socket_posix.cpp and socket_win32.cpp.
#pragma once

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#endif

#include <cstdint>

#include "foundation/platform/socket.h"

namespace fw::platform::os {

#ifdef _WIN32
using NativeSocket = SOCKET;
#else
using NativeSocket = int;
#endif

inline NativeSocket Native(SocketHandle handle) { return static_cast<NativeSocket>(handle); }

// An IPv4 address (host byte order) and port as the socket calls take them.
inline sockaddr_in IPv4Address(uint32_t address, uint16_t port) {
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_port = htons(port);
  to.sin_addr.s_addr = htonl(address);
  return to;
}

// The code of the last failed socket call (errno, WSAGetLastError()).
int32_t LastSocketError();
// The code of a failed getaddrinfo, from its result.
int32_t ResolverErrorCode(int result);

}  // namespace fw::platform::os
