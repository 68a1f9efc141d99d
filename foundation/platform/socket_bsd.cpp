// The socket calls that POSIX and Winsock share word for word (see socket_bsd.h).
#include "foundation/platform/socket_bsd.h"

#include "foundation/platform/os_calls.h"

namespace fw::platform::os {

int32_t LookupIPv4(const char* name, uint32_t* address) {
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  const int result = getaddrinfo(name, nullptr, &hints, &found);
  const bool resolved = result == 0 && found != nullptr;
  if (resolved) {
    *address = ntohl(reinterpret_cast<const sockaddr_in*>(found->ai_addr)->sin_addr.s_addr);
  }
  if (found != nullptr) freeaddrinfo(found);
  return resolved ? 1 : ResolverErrorCode(result);
}

void SetLingerZero(SocketHandle handle) {
  linger now{};
  now.l_onoff = 1;
  setsockopt(Native(handle), SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&now),
             sizeof now);
}

int32_t BoundPort(SocketHandle handle, uint16_t* port) {
  sockaddr_in bound{};
  socklen_t size = sizeof bound;
  if (getsockname(Native(handle), reinterpret_cast<sockaddr*>(&bound), &size) != 0) {
    return LastSocketError();
  }
  *port = ntohs(bound.sin_port);
  return 1;
}

}  // namespace fw::platform::os
