// POSIX implementation of the platform layer (Linux).
#include <fcntl.h>
#include <langinfo.h>
#include <locale.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "foundation/error_code.h"
#include "foundation/platform/os_calls.h"
#include "foundation/platform/platform.h"

namespace fw::platform {

uint32_t TickCount() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  const uint64_t ms =
      static_cast<uint64_t>(ts.tv_sec) * 1000u + static_cast<uint64_t>(ts.tv_nsec) / 1000000u;
  return static_cast<uint32_t>(ms);
}

LocalDateTime SystemLocalTime() {
  timespec ts{};
  clock_gettime(CLOCK_REALTIME, &ts);
  tm parts{};
  localtime_r(&ts.tv_sec, &parts);
  LocalDateTime now;
  now.year = parts.tm_year + 1900;
  now.month = parts.tm_mon + 1;
  now.day = parts.tm_mday;
  now.hour = parts.tm_hour;
  now.minute = parts.tm_min;
  now.second = parts.tm_sec;
  now.millisecond = static_cast<int>(ts.tv_nsec / 1000000);
  now.weekday = parts.tm_wday;
  return now;
}

void SleepMs(uint32_t milliseconds) {
  timespec ts{static_cast<time_t>(milliseconds / 1000u),
              static_cast<long>(milliseconds % 1000u) * 1000000L};
  while (nanosleep(&ts, &ts) != 0 && errno == EINTR) {
  }
}

std::string ExecutablePath() {
  char path[4096];
  const ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
  if (n <= 0) return std::string();
  return std::string(path, static_cast<size_t>(n));
}

uint32_t ProcessId() { return static_cast<uint32_t>(getpid()); }

uint32_t LastSystemError() { return static_cast<uint32_t>(errno); }

bool SystemErrorText(uint32_t systemError, std::string* text) {
  char buffer[512];
  buffer[0] = '\0';
  // GNU strerror_r may return a static string instead of filling the buffer.
  const char* message = strerror_r(static_cast<int>(systemError), buffer, sizeof buffer);
  if (message == nullptr || *message == '\0' || std::strncmp(message, "Unknown error", 13) == 0) {
    return false;
  }
  *text = message;
  return true;
}

bool MakeDirectory(const std::string& path) {
  const std::string native = NativePath(path);
  if (mkdir(native.c_str(), 0777) == 0) return true;
  struct stat info {};
  return stat(native.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool RemoveFile(const std::string& path) { return unlink(NativePath(path).c_str()) == 0; }

bool FileExists(const std::string& path) {
  struct stat info {};
  return stat(NativePath(path).c_str(), &info) == 0;
}

bool ReadFileStamp(const std::string& path, FileStamp* stamp) {
  struct stat info {};
  if (stat(NativePath(path).c_str(), &info) != 0) return false;
  stamp->size = static_cast<int64_t>(info.st_size);
  stamp->modified = static_cast<int64_t>(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec;
  // A file renamed over the path with the old size and time is another inode.
  stamp->identity = static_cast<uint64_t>(info.st_ino) ^ (static_cast<uint64_t>(info.st_dev) << 40);
  return true;
}

std::string LocaleCharset() {
  // A locale object of its own: the process's locale, and with it every ctype and printf call on
  // the GBK texts, stays "C". A locale that is not installed leaves "C", as setlocale would.
  const locale_t locale = newlocale(LC_CTYPE_MASK, "", static_cast<locale_t>(0));
  if (locale == static_cast<locale_t>(0)) return "ANSI_X3.4-1968";
  std::string charset = nl_langinfo_l(CODESET, locale);
  freelocale(locale);
  return charset;
}

bool StdinIsTerminal() { return isatty(STDIN_FILENO) != 0; }

bool StderrIsTerminal() { return isatty(STDERR_FILENO) != 0; }

void SetStdoutBinary() {}

namespace os {

int32_t OpenFile(const std::string& path, OpenMode mode, intptr_t* handle) {
  int flags = O_CLOEXEC;
  switch (mode) {
    case OpenMode::kRead:
      flags |= O_RDONLY;
      break;
    case OpenMode::kExisting:
      flags |= O_RDWR;
      break;
    case OpenMode::kCreate:
      flags |= O_RDWR | O_CREAT;
      break;
    case OpenMode::kCreateNew:
      flags |= O_RDWR | O_CREAT | O_EXCL;
      break;
  }
  const int fd = open(path.c_str(), flags, 0666);
  if (fd < 0) return LastSystemErrorCode();
  // A folder opens for reading on POSIX; reading it whole must fail as it does on Windows.
  if (mode == OpenMode::kRead) {
    struct stat info {};
    int32_t code = 0;
    if (fstat(fd, &info) != 0) {
      code = LastSystemErrorCode();
    } else if (!S_ISREG(info.st_mode)) {
      code = SystemErrorCode(EISDIR);
    }
    if (code < 0) {
      close(fd);
      return code;
    }
  }
  *handle = fd;
  return 1;
}

void CloseFile(intptr_t handle) { close(static_cast<int>(handle)); }

int64_t FileSize(intptr_t handle) {
  struct stat info {};
  if (fstat(static_cast<int>(handle), &info) != 0) return -1;
  return static_cast<int64_t>(info.st_size);
}

int32_t SeekFile(intptr_t handle, int64_t offset, bool toEnd) {
  if (lseek(static_cast<int>(handle), static_cast<off_t>(offset), toEnd ? SEEK_END : SEEK_SET) <
      0) {
    return LastSystemErrorCode();
  }
  return 1;
}

int32_t ReadSome(intptr_t handle, void* data, uint32_t n) {
  for (;;) {
    const ssize_t got = read(static_cast<int>(handle), data, n);
    if (got >= 0) return static_cast<int32_t>(got);
    if (errno != EINTR) return LastSystemErrorCode();
  }
}

int32_t WriteSome(intptr_t handle, const void* data, uint32_t n) {
  for (;;) {
    const ssize_t written = write(static_cast<int>(handle), data, n);
    if (written >= 0) return static_cast<int32_t>(written);
    if (errno != EINTR) return LastSystemErrorCode();
  }
}

int32_t FlushFile(intptr_t handle) {
  if (fdatasync(static_cast<int>(handle)) != 0) return LastSystemErrorCode();
  return 1;
}

int32_t CutFile(intptr_t handle) {
  const off_t position = lseek(static_cast<int>(handle), 0, SEEK_CUR);
  if (position < 0 || ftruncate(static_cast<int>(handle), position) != 0) {
    return LastSystemErrorCode();
  }
  return 1;
}

bool RenameOver(const std::string& from, const std::string& to) {
  return std::rename(from.c_str(), to.c_str()) == 0;
}

}  // namespace os

}  // namespace fw::platform
