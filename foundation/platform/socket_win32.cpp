// Windows sockets (Winsock, version 1.1 requested). select() is used as Winsock offers it: its
// set is a list of handles, so no handle value is too large for it.
#include <winsock2.h>
#include <ws2tcpip.h>

#include "foundation/error_code.h"
#include "foundation/platform/socket.h"

namespace fw::platform {
namespace {

SOCKET Sock(SocketHandle handle) { return static_cast<SOCKET>(handle); }

int32_t LastError() { return SystemErrorCode(static_cast<uint32_t>(WSAGetLastError())); }

sockaddr_in MakeAddress(uint32_t address, uint16_t port) {
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_port = htons(port);
  to.sin_addr.s_addr = htonl(address);
  return to;
}

int32_t SelectReadable(SOCKET s, uint32_t ms) {
  fd_set readable;
  FD_ZERO(&readable);
  FD_SET(s, &readable);
  timeval wait{};
  wait.tv_sec = static_cast<long>(ms / 1000u);
  wait.tv_usec = static_cast<long>((ms % 1000u) * 1000u);
  const int n = select(0, &readable, nullptr, nullptr, &wait);
  if (n == SOCKET_ERROR) return LastError();
  return n > 0 ? 1 : 0;
}

}  // namespace

int32_t SocketLibraryStart() {
  WSADATA data{};
  const int result = WSAStartup(MAKEWORD(1, 1), &data);
  if (result != 0) return SystemErrorCode(static_cast<uint32_t>(result));
  return 1;
}

void SocketLibraryStop() { WSACleanup(); }

int32_t SocketCreateTcp(SocketHandle* handle) {
  const SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  if (s == INVALID_SOCKET) return LastError();
  // Not inherited by child processes, like the POSIX close-on-exec.
  SetHandleInformation(reinterpret_cast<HANDLE>(s), HANDLE_FLAG_INHERIT, 0);
  *handle = static_cast<SocketHandle>(s);
  return 1;
}

int32_t SocketConnect(SocketHandle handle, uint32_t address, uint16_t port) {
  const sockaddr_in to = MakeAddress(address, port);
  if (connect(Sock(handle), reinterpret_cast<const sockaddr*>(&to), sizeof to) == 0) return 1;
  return LastError();
}

int32_t ResolveHostIPv4(const char* name, uint32_t* address) {
  // An empty name is no host: some resolvers would answer with this machine's own address.
  if (name == nullptr || *name == '\0') return SystemErrorCode(WSAHOST_NOT_FOUND);
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  const int result = getaddrinfo(name, nullptr, &hints, &found);
  if (result != 0 || found == nullptr) {
    if (found != nullptr) freeaddrinfo(found);
    return SystemErrorCode(static_cast<uint32_t>(result != 0 ? result : WSAHOST_NOT_FOUND));
  }
  const auto* in = reinterpret_cast<const sockaddr_in*>(found->ai_addr);
  *address = ntohl(in->sin_addr.s_addr);
  freeaddrinfo(found);
  return 1;
}

int32_t SocketWaitReadable(SocketHandle handle, uint32_t ms) {
  if (handle == kNoSocket) return -1;
  return SelectReadable(Sock(handle), ms);
}

int32_t SocketReceive(SocketHandle handle, void* buffer, uint32_t size) {
  const int chunk = size > 0x7FFFFFFFu ? 0x7FFFFFFF : static_cast<int>(size);
  const int n = recv(Sock(handle), static_cast<char*>(buffer), chunk, 0);
  if (n == SOCKET_ERROR) return LastError();
  return n;
}

int32_t SocketSend(SocketHandle handle, const void* bytes, uint32_t length) {
  const int chunk = length > 0x7FFFFFFFu ? 0x7FFFFFFF : static_cast<int>(length);
  const int n = send(Sock(handle), static_cast<const char*>(bytes), chunk, 0);
  if (n == SOCKET_ERROR) return LastError();
  return n;
}

bool IsSocketTimeoutCode(int32_t code) { return code == SystemErrorCode(WSAETIMEDOUT); }

void SocketShutdown(SocketHandle handle) {
  if (handle != kNoSocket) shutdown(Sock(handle), SD_BOTH);
}

void SocketClose(SocketHandle handle) {
  if (handle != kNoSocket) closesocket(Sock(handle));
}

void SocketAbort(SocketHandle handle) {
  if (handle == kNoSocket) return;
  linger now{};
  now.l_onoff = 1;
  now.l_linger = 0;
  setsockopt(Sock(handle), SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&now), sizeof now);
  closesocket(Sock(handle));
}

void SocketSetNoDelay(SocketHandle handle) {
  const BOOL on = TRUE;
  setsockopt(Sock(handle), IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&on), sizeof on);
}

int32_t SocketListenLoopback(uint16_t port, int backlog, SocketHandle* handle,
                             uint16_t* boundPort) {
  const SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  if (s == INVALID_SOCKET) return LastError();
  // Without exclusive use another process could bind the same port and take our clients.
  const BOOL on = TRUE;
  setsockopt(s, SOL_SOCKET, SO_EXCLUSIVEADDRUSE, reinterpret_cast<const char*>(&on), sizeof on);
  const sockaddr_in at = MakeAddress(INADDR_LOOPBACK, port);
  if (bind(s, reinterpret_cast<const sockaddr*>(&at), sizeof at) == SOCKET_ERROR ||
      listen(s, backlog) == SOCKET_ERROR) {
    const int32_t code = LastError();
    closesocket(s);
    return code;
  }
  sockaddr_in bound{};
  int size = sizeof bound;
  if (getsockname(s, reinterpret_cast<sockaddr*>(&bound), &size) == SOCKET_ERROR) {
    const int32_t code = LastError();
    closesocket(s);
    return code;
  }
  // Non-blocking, so that an accept after a readable select never waits for a client that has
  // meanwhile given up; an accepted socket is switched back to blocking below.
  u_long nonBlocking = 1;
  ioctlsocket(s, FIONBIO, &nonBlocking);
  *handle = static_cast<SocketHandle>(s);
  *boundPort = ntohs(bound.sin_port);
  return 1;
}

int32_t SocketAccept(SocketHandle listener, uint32_t ms, SocketHandle* accepted) {
  const int32_t ready = SelectReadable(Sock(listener), ms);
  if (ready <= 0) return ready;
  const SOCKET s = accept(Sock(listener), nullptr, nullptr);
  if (s == INVALID_SOCKET) {
    const int error = WSAGetLastError();
    if (error == WSAEWOULDBLOCK || error == WSAECONNRESET || error == WSAEINTR) return 0;
    return SystemErrorCode(static_cast<uint32_t>(error));
  }
  u_long blocking = 0;
  ioctlsocket(s, FIONBIO, &blocking);
  *accepted = static_cast<SocketHandle>(s);
  return 1;
}

}  // namespace fw::platform
