// POSIX implementation of the platform layer (Linux).
#include <fcntl.h>
#include <langinfo.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "foundation/error_code.h"
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

std::string NativePath(std::string_view configuredPath) {
  std::string path(configuredPath);
  for (char& c : path) {
    if (c == '\\') c = '/';
  }
  return path;
}

bool IsPathSeparator(char c) { return c == '/' || c == '\\'; }

bool MakeDirectory(const std::string& path) {
  const std::string native = NativePath(path);
  if (mkdir(native.c_str(), 0777) == 0) return true;
  struct stat info {};
  return stat(native.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool ReplaceFile(const std::string& from, const std::string& to) {
  if (AskFileFaultHook(FileOp::kRename, from, 0) < 0) return false;
  return std::rename(NativePath(from).c_str(), NativePath(to).c_str()) == 0;
}

bool RemoveFile(const std::string& path) { return unlink(NativePath(path).c_str()) == 0; }

bool FileExists(const std::string& path) {
  struct stat info {};
  return stat(NativePath(path).c_str(), &info) == 0;
}

bool StdoutIsUtf8Terminal() {
  if (!isatty(STDOUT_FILENO)) return false;
  const char* vars[] = {"LC_ALL", "LC_CTYPE", "LANG"};
  for (const char* name : vars) {
    const char* value = std::getenv(name);
    if (value != nullptr && *value != '\0') {
      return std::strstr(value, "UTF-8") != nullptr || std::strstr(value, "utf8") != nullptr ||
             std::strstr(value, "utf-8") != nullptr || std::strstr(value, "UTF8") != nullptr;
    }
  }
  return false;
}

bool StdinIsTerminal() { return isatty(STDIN_FILENO) != 0; }

void SetStdoutBinary() {}

int32_t ReadWholeFile(const std::string& path, std::string* content) {
  content->clear();
  if (int32_t fault = AskFileFaultHook(FileOp::kOpen, path, 0); fault < 0) return fault;
  const int fd = open(NativePath(path).c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return SystemErrorCode(LastSystemError());
  struct stat info {};
  if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    const int32_t code =
        SystemErrorCode(errno != 0 ? LastSystemError() : static_cast<uint32_t>(EISDIR));
    close(fd);
    return code;
  }
  content->resize(static_cast<size_t>(info.st_size));
  size_t done = 0;
  while (done < content->size()) {
    const ssize_t n = read(fd, content->data() + done, content->size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += static_cast<size_t>(n);
  }
  close(fd);
  if (int32_t fault = AskFileFaultHook(FileOp::kRead, path, static_cast<uint32_t>(done));
      fault < 0) {
    content->clear();
    return fault;
  }
  if (done != content->size()) {
    content->clear();
    return kErrFileShortRead;
  }
  return 1;
}

SharedFile::~SharedFile() { Close(); }

int32_t SharedFile::OpenExisting(const std::string& path) {
  Close();
  if (int32_t fault = AskFileFaultHook(FileOp::kOpen, path, 0); fault < 0) return fault;
  const int fd = open(NativePath(path).c_str(), O_RDWR | O_CLOEXEC);
  if (fd < 0) return SystemErrorCode(LastSystemError());
  handle_ = fd;
  path_ = path;
  return 1;
}

int32_t SharedFile::Create(const std::string& path, bool mustNotExist) {
  Close();
  if (int32_t fault = AskFileFaultHook(FileOp::kCreate, path, 0); fault < 0) return fault;
  const int flags = O_RDWR | O_CREAT | O_CLOEXEC | (mustNotExist ? O_EXCL : 0);
  const int fd = open(NativePath(path).c_str(), flags, 0666);
  if (fd < 0) return SystemErrorCode(LastSystemError());
  handle_ = fd;
  path_ = path;
  return 1;
}

int32_t SharedFile::SeekTo(int64_t offset) {
  if (!IsOpen()) return kErrFileShortWrite;
  if (int32_t fault = AskFileFaultHook(FileOp::kSeek, path_, 0); fault < 0) return fault;
  if (lseek(static_cast<int>(handle_), static_cast<off_t>(offset), SEEK_SET) < 0) {
    return SystemErrorCode(LastSystemError());
  }
  return 1;
}

int32_t SharedFile::SeekToEnd() {
  if (!IsOpen()) return kErrFileShortWrite;
  if (int32_t fault = AskFileFaultHook(FileOp::kSeek, path_, 0); fault < 0) return fault;
  if (lseek(static_cast<int>(handle_), 0, SEEK_END) < 0) return SystemErrorCode(LastSystemError());
  return 1;
}

int32_t SharedFile::Write(const void* data, uint32_t n) {
  if (!IsOpen()) return kErrFileShortWrite;
  uint32_t allowed = n;
  if (int32_t fault = AskFileFaultHook(FileOp::kWrite, path_, n); fault < 0) {
    return fault;
  } else if (fault > 0 && static_cast<uint32_t>(fault) < n) {
    allowed = static_cast<uint32_t>(fault);
  }
  const char* bytes = static_cast<const char*>(data);
  uint32_t done = 0;
  while (done < allowed) {
    const ssize_t written = write(static_cast<int>(handle_), bytes + done, allowed - done);
    if (written < 0 && errno == EINTR) continue;
    if (written < 0) return SystemErrorCode(LastSystemError());
    if (written == 0) break;
    done += static_cast<uint32_t>(written);
  }
  if (done != n) return kErrFileShortWrite;
  return static_cast<int32_t>(n);
}

int32_t SharedFile::Read(void* data, uint32_t n) {
  if (!IsOpen()) return kErrFileShortRead;
  if (int32_t fault = AskFileFaultHook(FileOp::kRead, path_, n); fault < 0) return fault;
  for (;;) {
    const ssize_t got = read(static_cast<int>(handle_), data, n);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return SystemErrorCode(LastSystemError());
    return static_cast<int32_t>(got);
  }
}

int32_t SharedFile::FlushToDisk() {
  if (!IsOpen()) return kErrFileShortWrite;
  if (int32_t fault = AskFileFaultHook(FileOp::kFlush, path_, 0); fault < 0) return fault;
  if (fdatasync(static_cast<int>(handle_)) != 0) return SystemErrorCode(LastSystemError());
  return 1;
}

int32_t SharedFile::SetEnd() {
  if (!IsOpen()) return kErrFileShortWrite;
  if (int32_t fault = AskFileFaultHook(FileOp::kSetEnd, path_, 0); fault < 0) return fault;
  const off_t position = lseek(static_cast<int>(handle_), 0, SEEK_CUR);
  if (position < 0 || ftruncate(static_cast<int>(handle_), position) != 0) {
    return SystemErrorCode(LastSystemError());
  }
  return 1;
}

int64_t SharedFile::Size() const {
  if (!IsOpen()) return -1;
  struct stat info {};
  if (fstat(static_cast<int>(handle_), &info) != 0) return -1;
  return static_cast<int64_t>(info.st_size);
}

void SharedFile::Close() {
  if (IsOpen()) close(static_cast<int>(handle_));
  handle_ = kInvalid;
  path_.clear();
}

}  // namespace fw::platform
