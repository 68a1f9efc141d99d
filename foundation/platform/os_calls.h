// The calls of one operating system under the portable parts of the platform layer
// (shared_file.cpp, socket.cpp): each is one system call, or the short fixed sequence one OS needs
// for it, with the system's error turned into a code of error_code.h. The rules around them (fault
// hooks, loops over partial reads and writes, guards for a missing handle, clean-up after a failed
// step) are written once, in the portable files. Implemented in platform_posix.cpp and
// socket_posix.cpp, platform_win32.cpp and socket_win32.cpp, and the socket calls both systems
// share in socket_bsd.cpp; included only inside this folder. Thread-safe as the system calls are.
#pragma once

#include <cstdint>
#include <string>

#include "foundation/platform/socket.h"

namespace fw::platform::os {

// --- files (native paths: NativePath has been applied) ---

enum class OpenMode {
  kRead,       // read only, an existing regular file
  kExisting,   // read and write, an existing file
  kCreate,     // read and write, created when missing
  kCreateNew,  // read and write, created; an existing file is an error
};
// Opens with read and write shared with other processes. 1 and *handle, or a negative code.
int32_t OpenFile(const std::string& path, OpenMode mode, intptr_t* handle);
void CloseFile(intptr_t handle);
// The size in bytes, or -1.
int64_t FileSize(intptr_t handle);
// Moves the position to offset bytes from the start, or to the end. 1, or a negative code.
int32_t SeekFile(intptr_t handle, int64_t offset, bool toEnd);
// One read or write call: the count (0 at the end of the file, or when nothing could be written)
// or a negative code. An interrupted call is repeated.
int32_t ReadSome(intptr_t handle, void* data, uint32_t n);
int32_t WriteSome(intptr_t handle, const void* data, uint32_t n);
int32_t FlushFile(intptr_t handle);
// Cuts (or extends) the file at the current position. 1, or a negative code.
int32_t CutFile(intptr_t handle);
// Renames from over to in one step. True on success.
bool RenameOver(const std::string& from, const std::string& to);

// --- sockets ---

// The code of a host name that does not resolve.
int32_t HostNotFoundCode();
// The first IPv4 address of a (non-empty) host name, host byte order: 1, or a negative code.
int32_t LookupIPv4(const char* name, uint32_t* address);
int32_t WaitReadable(SocketHandle handle, uint32_t ms);
void ShutdownSocket(SocketHandle handle);
void CloseSocket(SocketHandle handle);
// Makes the next close reset the connection instead of closing it in order.
void SetLingerZero(SocketHandle handle);
// A non-blocking IPv4 stream socket bound to 127.0.0.1:port (kept to this process) and
// listening: 1 and *handle, or a negative code (nothing left open).
int32_t OpenLoopbackListener(uint16_t port, int backlog, SocketHandle* handle);
// The local port a socket is bound to: 1 and *port, or a negative code.
int32_t BoundPort(SocketHandle handle, uint16_t* port);
// Takes one waiting connection from a non-blocking listener as a blocking socket: 1 and
// *accepted, 0 when the client gave up before it was taken, or a negative code.
int32_t AcceptWaiting(SocketHandle listener, SocketHandle* accepted);

}  // namespace fw::platform::os
