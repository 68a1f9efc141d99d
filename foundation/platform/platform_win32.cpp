// Win32 implementation of the platform layer.
#include <fcntl.h>
#include <io.h>
#include <windows.h>
// <windows.h> maps ReplaceFile to ReplaceFileA; the platform function of that name must keep it.
#undef ReplaceFile

#include <cstdio>
#include <cstring>

#include "foundation/error_code.h"
#include "foundation/platform/platform.h"

namespace fw::platform {
namespace {

HANDLE ToHandle(intptr_t h) { return reinterpret_cast<HANDLE>(h); }

}  // namespace

uint32_t TickCount() { return static_cast<uint32_t>(GetTickCount()); }

LocalDateTime SystemLocalTime() {
  SYSTEMTIME st{};
  GetLocalTime(&st);
  LocalDateTime now;
  now.year = st.wYear;
  now.month = st.wMonth;
  now.day = st.wDay;
  now.hour = st.wHour;
  now.minute = st.wMinute;
  now.second = st.wSecond;
  now.millisecond = st.wMilliseconds;
  now.weekday = st.wDayOfWeek;
  return now;
}

void SleepMs(uint32_t milliseconds) { Sleep(milliseconds); }

std::string ExecutablePath() {
  char path[MAX_PATH * 4];
  const DWORD n = GetModuleFileNameA(nullptr, path, static_cast<DWORD>(sizeof path));
  if (n == 0 || n >= sizeof path) return std::string();
  return std::string(path, n);
}

uint32_t LastSystemError() { return static_cast<uint32_t>(GetLastError()); }

bool SystemErrorText(uint32_t systemError, std::string* text) {
  char buffer[1024];
  const DWORD n =
      FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                     systemError, 0, buffer, static_cast<DWORD>(sizeof buffer), nullptr);
  if (n == 0) return false;
  text->assign(buffer, n);
  return true;
}

std::string NativePath(std::string_view configuredPath) { return std::string(configuredPath); }

bool IsPathSeparator(char c) { return c == '/' || c == '\\'; }

bool MakeDirectory(const std::string& path) {
  if (CreateDirectoryA(path.c_str(), nullptr)) return true;
  const DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool ReplaceFile(const std::string& from, const std::string& to) {
  if (AskFileFaultHook(FileOp::kRename, from, 0) < 0) return false;
  return MoveFileExA(from.c_str(), to.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

bool RemoveFile(const std::string& path) { return DeleteFileA(path.c_str()) != 0; }

bool FileExists(const std::string& path) {
  return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool StdoutIsUtf8Terminal() { return false; }

bool StdinIsTerminal() {
  DWORD mode = 0;
  return GetConsoleMode(GetStdHandle(STD_INPUT_HANDLE), &mode) != 0;
}

void SetStdoutBinary() {
  std::fflush(stdout);
  _setmode(_fileno(stdout), _O_BINARY);
}

int32_t ReadWholeFile(const std::string& path, std::string* content) {
  content->clear();
  if (int32_t fault = AskFileFaultHook(FileOp::kOpen, path, 0); fault < 0) return fault;
  HANDLE h = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                         OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return SystemErrorCode(LastSystemError());
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(h, &size) || size.QuadPart > 0x7FFFFFFF) {
    const int32_t code = SystemErrorCode(LastSystemError());
    CloseHandle(h);
    return code;
  }
  content->resize(static_cast<size_t>(size.QuadPart));
  size_t done = 0;
  while (done < content->size()) {
    DWORD got = 0;
    if (!ReadFile(h, content->data() + done, static_cast<DWORD>(content->size() - done), &got,
                  nullptr) ||
        got == 0) {
      break;
    }
    done += got;
  }
  CloseHandle(h);
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
  HANDLE h =
      CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return SystemErrorCode(LastSystemError());
  handle_ = reinterpret_cast<intptr_t>(h);
  path_ = path;
  return 1;
}

int32_t SharedFile::Create(const std::string& path, bool mustNotExist) {
  Close();
  if (int32_t fault = AskFileFaultHook(FileOp::kCreate, path, 0); fault < 0) return fault;
  HANDLE h =
      CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                  nullptr, mustNotExist ? CREATE_NEW : OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return SystemErrorCode(LastSystemError());
  handle_ = reinterpret_cast<intptr_t>(h);
  path_ = path;
  return 1;
}

int32_t SharedFile::SeekTo(int64_t offset) {
  if (!IsOpen()) return kErrFileShortWrite;
  if (int32_t fault = AskFileFaultHook(FileOp::kSeek, path_, 0); fault < 0) return fault;
  LARGE_INTEGER distance{};
  distance.QuadPart = offset;
  if (!SetFilePointerEx(ToHandle(handle_), distance, nullptr, FILE_BEGIN)) {
    return SystemErrorCode(LastSystemError());
  }
  return 1;
}

int32_t SharedFile::SeekToEnd() {
  if (!IsOpen()) return kErrFileShortWrite;
  if (int32_t fault = AskFileFaultHook(FileOp::kSeek, path_, 0); fault < 0) return fault;
  LARGE_INTEGER distance{};
  if (!SetFilePointerEx(ToHandle(handle_), distance, nullptr, FILE_END)) {
    return SystemErrorCode(LastSystemError());
  }
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
    DWORD written = 0;
    if (!WriteFile(ToHandle(handle_), bytes + done, allowed - done, &written, nullptr)) {
      return SystemErrorCode(LastSystemError());
    }
    if (written == 0) break;
    done += written;
  }
  if (done != n) return kErrFileShortWrite;
  return static_cast<int32_t>(n);
}

int32_t SharedFile::Read(void* data, uint32_t n) {
  if (!IsOpen()) return kErrFileShortRead;
  if (int32_t fault = AskFileFaultHook(FileOp::kRead, path_, n); fault < 0) return fault;
  DWORD got = 0;
  if (!ReadFile(ToHandle(handle_), data, n, &got, nullptr))
    return SystemErrorCode(LastSystemError());
  return static_cast<int32_t>(got);
}

int32_t SharedFile::FlushToDisk() {
  if (!IsOpen()) return kErrFileShortWrite;
  if (int32_t fault = AskFileFaultHook(FileOp::kFlush, path_, 0); fault < 0) return fault;
  if (!FlushFileBuffers(ToHandle(handle_))) return SystemErrorCode(LastSystemError());
  return 1;
}

int32_t SharedFile::SetEnd() {
  if (!IsOpen()) return kErrFileShortWrite;
  if (int32_t fault = AskFileFaultHook(FileOp::kSetEnd, path_, 0); fault < 0) return fault;
  if (!SetEndOfFile(ToHandle(handle_))) return SystemErrorCode(LastSystemError());
  return 1;
}

int64_t SharedFile::Size() const {
  if (!IsOpen()) return -1;
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(ToHandle(handle_), &size)) return -1;
  return size.QuadPart;
}

void SharedFile::Close() {
  if (IsOpen()) CloseHandle(ToHandle(handle_));
  handle_ = kInvalid;
  path_.clear();
}

}  // namespace fw::platform
