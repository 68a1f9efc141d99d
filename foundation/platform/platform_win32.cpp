// Win32 implementation of the platform layer.
#include <fcntl.h>
#include <io.h>
#include <windows.h>
// <windows.h> maps ReplaceFile to ReplaceFileA; the platform function of that name must keep it.
#undef ReplaceFile

#include <cstdio>
#include <cstring>

#include "foundation/error_code.h"
#include "foundation/platform/os_calls.h"
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

uint32_t ProcessId() { return static_cast<uint32_t>(GetCurrentProcessId()); }

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

bool MakeDirectory(const std::string& path) {
  if (CreateDirectoryA(path.c_str(), nullptr)) return true;
  const DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool RemoveFile(const std::string& path) { return DeleteFileA(path.c_str()) != 0; }

bool FileExists(const std::string& path) {
  return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool ReadFileStamp(const std::string& path, FileStamp* stamp) {
  // A handle without access rights, sharing everything, disturbs neither the legacy readers nor a
  // writer; only a handle gives the file's index, which tells a replaced file from the old one.
  HANDLE h = CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                         nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  BY_HANDLE_FILE_INFORMATION info{};
  const bool ok = GetFileInformationByHandle(h, &info) != 0;
  CloseHandle(h);
  if (!ok) return false;
  stamp->size =
      static_cast<int64_t>((static_cast<uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow);
  stamp->modified =
      static_cast<int64_t>((static_cast<uint64_t>(info.ftLastWriteTime.dwHighDateTime) << 32) |
                           info.ftLastWriteTime.dwLowDateTime);
  stamp->identity = ((static_cast<uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow) ^
                    (static_cast<uint64_t>(info.dwVolumeSerialNumber) << 48);
  return true;
}

// The texts are GBK bytes; only a console switched to UTF-8 wants anything else. Without a console
// (the window program) the answer is 0, and the bytes go out as they are.
std::string LocaleCharset() { return GetConsoleOutputCP() == CP_UTF8 ? "UTF-8" : "GBK"; }

bool StdinIsTerminal() {
  DWORD mode = 0;
  return GetConsoleMode(GetStdHandle(STD_INPUT_HANDLE), &mode) != 0;
}

bool StderrIsTerminal() {
  DWORD mode = 0;
  return GetConsoleMode(GetStdHandle(STD_ERROR_HANDLE), &mode) != 0;
}

void SetStdoutBinary() {
  std::fflush(stdout);
  _setmode(_fileno(stdout), _O_BINARY);
}

namespace os {

int32_t OpenFile(const std::string& path, OpenMode mode, intptr_t* handle) {
  DWORD access = GENERIC_READ | GENERIC_WRITE;
  DWORD disposition = OPEN_EXISTING;
  DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE;
  switch (mode) {
    case OpenMode::kRead:
      // A file replaced by a rename (the status file) may be renamed over while it is read.
      access = GENERIC_READ;
      share |= FILE_SHARE_DELETE;
      break;
    case OpenMode::kExisting:
      break;
    case OpenMode::kCreate:
      disposition = OPEN_ALWAYS;
      break;
    case OpenMode::kCreateNew:
      disposition = CREATE_NEW;
      break;
  }
  HANDLE h = CreateFileA(path.c_str(), access, share, nullptr, disposition, FILE_ATTRIBUTE_NORMAL,
                         nullptr);
  if (h == INVALID_HANDLE_VALUE) return LastSystemErrorCode();
  *handle = reinterpret_cast<intptr_t>(h);
  return 1;
}

void CloseFile(intptr_t handle) { CloseHandle(ToHandle(handle)); }

int64_t FileSize(intptr_t handle) {
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(ToHandle(handle), &size)) return -1;
  return size.QuadPart;
}

int32_t SeekFile(intptr_t handle, int64_t offset, bool toEnd) {
  LARGE_INTEGER distance{};
  distance.QuadPart = offset;
  if (!SetFilePointerEx(ToHandle(handle), distance, nullptr, toEnd ? FILE_END : FILE_BEGIN)) {
    return LastSystemErrorCode();
  }
  return 1;
}

int32_t ReadSome(intptr_t handle, void* data, uint32_t n) {
  DWORD got = 0;
  if (!::ReadFile(ToHandle(handle), data, n, &got, nullptr)) return LastSystemErrorCode();
  return static_cast<int32_t>(got);
}

int32_t WriteSome(intptr_t handle, const void* data, uint32_t n) {
  DWORD written = 0;
  if (!::WriteFile(ToHandle(handle), data, n, &written, nullptr)) return LastSystemErrorCode();
  return static_cast<int32_t>(written);
}

int32_t FlushFile(intptr_t handle) {
  if (!FlushFileBuffers(ToHandle(handle))) return LastSystemErrorCode();
  return 1;
}

int32_t CutFile(intptr_t handle) {
  if (!SetEndOfFile(ToHandle(handle))) return LastSystemErrorCode();
  return 1;
}

bool RenameOver(const std::string& from, const std::string& to) {
  return MoveFileExA(from.c_str(), to.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

}  // namespace os

}  // namespace fw::platform
