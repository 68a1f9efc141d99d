// POSIX sockets (Linux). poll() rather than select(): select cannot watch a descriptor numbered
// FD_SETSIZE or above, and a long-running process with many files may well be handed one.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "foundation/error_code.h"
#include "foundation/platform/socket.h"

namespace fw::platform {
namespace {

int Fd(SocketHandle handle) { return static_cast<int>(handle); }

int32_t LastError() { return SystemErrorCode(static_cast<uint32_t>(errno)); }

sockaddr_in MakeAddress(uint32_t address, uint16_t port) {
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_port = htons(port);
  to.sin_addr.s_addr = htonl(address);
  return to;
}

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
  const sockaddr_in to = MakeAddress(address, port);
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

int32_t ResolveHostIPv4(const char* name, uint32_t* address) {
  // An empty name is no host: some resolvers would answer with this machine's own address.
  if (name == nullptr || *name == '\0') return SystemErrorCode(EHOSTUNREACH);
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  const int result = getaddrinfo(name, nullptr, &hints, &found);
  if (result != 0 || found == nullptr) {
    if (found != nullptr) freeaddrinfo(found);
    // The resolver's own codes are not errno values; a system failure keeps its errno, every
    // "no such name" answer becomes "host unreachable".
    if (result == EAI_SYSTEM && errno != 0) return LastError();
    return SystemErrorCode(EHOSTUNREACH);
  }
  const auto* in = reinterpret_cast<const sockaddr_in*>(found->ai_addr);
  *address = ntohl(in->sin_addr.s_addr);
  freeaddrinfo(found);
  return 1;
}

int32_t SocketWaitReadable(SocketHandle handle, uint32_t ms) {
  if (handle == kNoSocket) return -1;
  return PollReadable(Fd(handle), ms);
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

void SocketShutdown(SocketHandle handle) {
  if (handle != kNoSocket) shutdown(Fd(handle), SHUT_RDWR);
}

void SocketClose(SocketHandle handle) {
  if (handle != kNoSocket) close(Fd(handle));
}

void SocketAbort(SocketHandle handle) {
  if (handle == kNoSocket) return;
  linger now{};
  now.l_onoff = 1;
  now.l_linger = 0;
  setsockopt(Fd(handle), SOL_SOCKET, SO_LINGER, &now, sizeof now);
  close(Fd(handle));
}

void SocketSetNoDelay(SocketHandle handle) {
  const int on = 1;
  setsockopt(Fd(handle), IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
}

int32_t SocketListenLoopback(uint16_t port, int backlog, SocketHandle* handle,
                             uint16_t* boundPort) {
  // Non-blocking, so that an accept after a readable poll never waits for a client that has
  // meanwhile given up; accepted sockets are blocking all the same.
  const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, IPPROTO_TCP);
  if (fd < 0) return LastError();
  const int on = 1;
  setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  const sockaddr_in at = MakeAddress(INADDR_LOOPBACK, port);
  if (bind(fd, reinterpret_cast<const sockaddr*>(&at), sizeof at) != 0 ||
      listen(fd, backlog) != 0) {
    const int32_t code = LastError();
    close(fd);
    return code;
  }
  sockaddr_in bound{};
  socklen_t size = sizeof bound;
  if (getsockname(fd, reinterpret_cast<sockaddr*>(&bound), &size) != 0) {
    const int32_t code = LastError();
    close(fd);
    return code;
  }
  *handle = fd;
  *boundPort = ntohs(bound.sin_port);
  return 1;
}

int32_t SocketAccept(SocketHandle listener, uint32_t ms, SocketHandle* accepted) {
  const int32_t ready = PollReadable(Fd(listener), ms);
  if (ready <= 0) return ready;
  const int fd = accept4(Fd(listener), nullptr, nullptr, SOCK_CLOEXEC);
  if (fd < 0) {
    // The waiting client may have given up between the poll and the accept.
    if (errno == EAGAIN || errno == EWOULDBLOCK || errno == ECONNABORTED || errno == EINTR)
      return 0;
    return LastError();
  }
  *accepted = fd;
  return 1;
}

}  // namespace fw::platform
