// POSIX sockets (Linux). poll() rather than select(): select cannot watch a descriptor numbered
// FD_SETSIZE or above, and a long-running process with many files may well be handed one.
#include <fcntl.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "foundation/error_code.h"
#include "foundation/platform/os_calls.h"
#include "foundation/platform/socket_bsd.h"

namespace fw::platform {
namespace {

int Fd(SocketHandle handle) { return os::Native(handle); }

int32_t LastError() { return os::LastSocketError(); }

// An interrupted wait reports a time-out: every caller waits again in its next pass.
int32_t PollReadable(int fd, uint32_t ms) {
  pollfd entry{};
  entry.fd = fd;
  entry.events = POLLIN;
  const int timeout = ms > 0x7FFFFFFFu ? 0x7FFFFFFF : static_cast<int>(ms);
  const int n = poll(&entry, 1, timeout);
  if (n < 0) return errno == EINTR ? 0 : LastError();
  return n > 0 ? 1 : 0;
}

}  // namespace

int32_t SocketLibraryStart() {
  signal(SIGPIPE, SIG_IGN);
  return 1;
}

void SocketLibraryStop() {}

int32_t SocketCreateTcp(SocketHandle* handle) {
  const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, IPPROTO_TCP);
  if (fd < 0) return LastError();
  *handle = fd;
  return 1;
}

int32_t SocketConnect(SocketHandle handle, uint32_t address, uint16_t port) {
  const sockaddr_in to = os::IPv4Address(address, port);
  if (connect(Fd(handle), reinterpret_cast<const sockaddr*>(&to), sizeof to) == 0) return 1;
  if (errno != EINTR) return LastError();
  // An interrupted connect goes on in the background; wait for its outcome.
  pollfd entry{};
  entry.fd = Fd(handle);
  entry.events = POLLOUT;
  while (poll(&entry, 1, -1) < 0) {
    if (errno != EINTR) return LastError();
  }
  int error = 0;
  socklen_t size = sizeof error;
  if (getsockopt(Fd(handle), SOL_SOCKET, SO_ERROR, &error, &size) != 0) return LastError();
  return error == 0 ? 1 : SystemErrorCode(static_cast<uint32_t>(error));
}

int32_t SocketReceive(SocketHandle handle, void* buffer, uint32_t size) {
  for (;;) {
    const ssize_t n = recv(Fd(handle), buffer, size, 0);
    if (n >= 0) return static_cast<int32_t>(n);
    if (errno != EINTR) return LastError();
  }
}

int32_t SocketSend(SocketHandle handle, const void* bytes, uint32_t length) {
  for (;;) {
    const ssize_t n = send(Fd(handle), bytes, length, MSG_NOSIGNAL);
    if (n >= 0) return static_cast<int32_t>(n);
    if (errno != EINTR) return LastError();
  }
}

bool IsSocketTimeoutCode(int32_t code) {
  return code == SystemErrorCode(ETIMEDOUT) || code == SystemErrorCode(EAGAIN) ||
         code == SystemErrorCode(EWOULDBLOCK);
}

void SocketSetNoDelay(SocketHandle handle) {
  const int on = 1;
  setsockopt(Fd(handle), IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
}

namespace os {

int32_t HostNotFoundCode() { return SystemErrorCode(EHOSTUNREACH); }

int32_t LastSocketError() { return SystemErrorCode(static_cast<uint32_t>(errno)); }

int32_t ResolverErrorCode(int result) {
  // The resolver's own codes are not errno values; a system failure keeps its errno, every "no
  // such name" answer becomes "host unreachable".
  if (result == EAI_SYSTEM && errno != 0) return LastSocketError();
  return HostNotFoundCode();
}

int32_t WaitReadable(SocketHandle handle, uint32_t ms) { return PollReadable(Fd(handle), ms); }

void ShutdownSocket(SocketHandle handle) { shutdown(Fd(handle), SHUT_RDWR); }

void CloseSocket(SocketHandle handle) { close(Fd(handle)); }

int32_t OpenLoopbackListener(uint16_t port, int backlog, SocketHandle* handle) {
  const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, IPPROTO_TCP);
  if (fd < 0) return LastError();
  const int on = 1;
  setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  const sockaddr_in at = os::IPv4Address(INADDR_LOOPBACK, port);
  if (bind(fd, reinterpret_cast<const sockaddr*>(&at), sizeof at) != 0 ||
      listen(fd, backlog) != 0) {
    const int32_t code = LastError();
    close(fd);
    return code;
  }
  *handle = fd;
  return 1;
}

int32_t AcceptWaiting(SocketHandle listener, SocketHandle* accepted) {
  const int fd = accept4(Fd(listener), nullptr, nullptr, SOCK_CLOEXEC);
  if (fd < 0) {
    if (errno == EAGAIN || errno == EWOULDBLOCK || errno == ECONNABORTED || errno == EINTR) {
      return 0;
    }
    return LastError();
  }
  *accepted = fd;
  return 1;
}

}  // namespace os

}  // namespace fw::platform
