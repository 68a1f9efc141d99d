// The sockets of the platform layer without their system calls: address parsing, the guards for a
// missing handle, the order of the steps of a listener, an accept and an abort, and the clean-up
// after a failed step, the same on every OS. The system calls are those of os_calls.h; the calls
// that are one system call each are in socket_posix.cpp and socket_win32.cpp.
#include "foundation/platform/socket.h"
#include "foundation/platform/os_calls.h"

namespace fw::platform {

bool ParseDottedIPv4(const char* text, uint32_t* address) {
  if (text == nullptr) return false;
  uint32_t value = 0;
  const char* p = text;
  for (int part = 0; part < 4; ++part) {
    if (part > 0) {
      if (*p != '.') return false;
      ++p;
    }
    // One to three digits, so that "0000001" cannot pass as 1 and no part can overflow.
    uint32_t number = 0;
    int digits = 0;
    while (*p >= '0' && *p <= '9') {
      if (++digits > 3) return false;
      number = number * 10 + static_cast<uint32_t>(*p - '0');
      ++p;
    }
    if (digits == 0 || number > 255) return false;
    value = (value << 8) | number;
  }
  if (*p != '\0') return false;
  *address = value;
  return true;
}

int32_t ResolveHostIPv4(const char* name, uint32_t* address) {
  // An empty name is no host: some resolvers would answer with this machine's own address.
  if (name == nullptr || *name == '\0') return os::HostNotFoundCode();
  return os::LookupIPv4(name, address);
}

int32_t SocketWaitReadable(SocketHandle handle, uint32_t ms) {
  if (handle == kNoSocket) return -1;
  return os::WaitReadable(handle, ms);
}

void SocketShutdown(SocketHandle handle) {
  if (handle != kNoSocket) os::ShutdownSocket(handle);
}

void SocketClose(SocketHandle handle) {
  if (handle != kNoSocket) os::CloseSocket(handle);
}

void SocketAbort(SocketHandle handle) {
  if (handle == kNoSocket) return;
  os::SetLingerZero(handle);
  os::CloseSocket(handle);
}

int32_t SocketListenLoopback(uint16_t port, int backlog, SocketHandle* handle,
                             uint16_t* boundPort) {
  SocketHandle listener = kNoSocket;
  if (int32_t rc = os::OpenLoopbackListener(port, backlog, &listener); rc < 0) return rc;
  uint16_t bound = 0;
  if (int32_t rc = os::BoundPort(listener, &bound); rc < 0) {
    os::CloseSocket(listener);
    return rc;
  }
  *handle = listener;
  *boundPort = bound;
  return 1;
}

int32_t SocketAccept(SocketHandle listener, uint32_t ms, SocketHandle* accepted) {
  // The listener does not block: the client that made it readable may be gone by the accept.
  const int32_t ready = os::WaitReadable(listener, ms);
  if (ready <= 0) return ready;
  return os::AcceptWaiting(listener, accepted);
}

}  // namespace fw::platform
