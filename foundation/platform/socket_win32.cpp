// Windows sockets (Winsock, version 1.1 requested). select() is used as Winsock offers it: its
// set is a list of handles, so no handle value is too large for it.
#include "foundation/error_code.h"
#include "foundation/platform/os_calls.h"
#include "foundation/platform/socket_bsd.h"

namespace fw::platform {
namespace {

SOCKET Sock(SocketHandle handle) { return os::Native(handle); }

int32_t LastError() { return os::LastSocketError(); }

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
  const sockaddr_in to = os::IPv4Address(address, port);
  if (connect(Sock(handle), reinterpret_cast<const sockaddr*>(&to), sizeof to) == 0) return 1;
  return LastError();
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

void SocketSetNoDelay(SocketHandle handle) {
  const BOOL on = TRUE;
  setsockopt(Sock(handle), IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&on), sizeof on);
}

namespace os {

int32_t HostNotFoundCode() { return SystemErrorCode(WSAHOST_NOT_FOUND); }

int32_t LastSocketError() { return SystemErrorCode(static_cast<uint32_t>(WSAGetLastError())); }

// getaddrinfo answers with a Winsock error number.
int32_t ResolverErrorCode(int result) {
  return result != 0 ? SystemErrorCode(static_cast<uint32_t>(result)) : HostNotFoundCode();
}

int32_t WaitReadable(SocketHandle handle, uint32_t ms) { return SelectReadable(Sock(handle), ms); }

void ShutdownSocket(SocketHandle handle) { shutdown(Sock(handle), SD_BOTH); }

void CloseSocket(SocketHandle handle) { closesocket(Sock(handle)); }

int32_t OpenLoopbackListener(uint16_t port, int backlog, SocketHandle* handle) {
  const SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  if (s == INVALID_SOCKET) return LastError();
  // Without exclusive use another process could bind the same port and take our clients.
  const BOOL on = TRUE;
  setsockopt(s, SOL_SOCKET, SO_EXCLUSIVEADDRUSE, reinterpret_cast<const char*>(&on), sizeof on);
  u_long nonBlocking = 1;
  const sockaddr_in at = os::IPv4Address(INADDR_LOOPBACK, port);
  if (ioctlsocket(s, FIONBIO, &nonBlocking) == SOCKET_ERROR ||
      bind(s, reinterpret_cast<const sockaddr*>(&at), sizeof at) == SOCKET_ERROR ||
      listen(s, backlog) == SOCKET_ERROR) {
    const int32_t code = LastError();
    closesocket(s);
    return code;
  }
  *handle = static_cast<SocketHandle>(s);
  return 1;
}

int32_t AcceptWaiting(SocketHandle listener, SocketHandle* accepted) {
  const SOCKET s = accept(Sock(listener), nullptr, nullptr);
  if (s == INVALID_SOCKET) {
    const int error = WSAGetLastError();
    if (error == WSAEWOULDBLOCK || error == WSAECONNRESET || error == WSAEINTR) return 0;
    return SystemErrorCode(static_cast<uint32_t>(error));
  }
  // An accepted socket inherits the listener's mode; the feed's reads block.
  u_long blocking = 0;
  ioctlsocket(s, FIONBIO, &blocking);
  *accepted = static_cast<SocketHandle>(s);
  return 1;
}

}  // namespace os

}  // namespace fw::platform
