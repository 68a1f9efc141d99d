// The thin layer between the system and its operating system: tick counter, local time, sleep,
// the executable's path, system error texts, directories and files opened with shared read and
// write access. The system calls are implemented once per OS (platform_posix.cpp,
// platform_win32.cpp), the rules around them once for all (shared_file.cpp); nothing outside this
// folder includes an OS header. All functions are thread-safe.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace fw::platform {

// Milliseconds since an arbitrary start, 32 bits; it wraps after about 49.7 days.
uint32_t TickCount();

struct LocalDateTime {
  int year = 1970;
  int month = 1;  // 1..12
  int day = 1;    // 1..31
  int hour = 0;
  int minute = 0;
  int second = 0;
  int millisecond = 0;
  int weekday = 4;  // 0 = Sunday … 6 = Saturday

  // YYYYMMDD, HHMMSS and HHMM as unsigned numbers without leading zeros.
  uint32_t Date() const { return static_cast<uint32_t>(year * 10000 + month * 100 + day); }
  uint32_t Time() const { return static_cast<uint32_t>(hour * 10000 + minute * 100 + second); }
  uint32_t HourMinute() const { return static_cast<uint32_t>(hour * 100 + minute); }
};

LocalDateTime SystemLocalTime();

void SleepMs(uint32_t milliseconds);

// Full path of the running executable ("" when it cannot be found).
std::string ExecutablePath();
// The identifier of this process.
uint32_t ProcessId();

// errno on POSIX, GetLastError() on Windows.
uint32_t LastSystemError();
// The system's message for an error number; false when the system has none.
bool SystemErrorText(uint32_t systemError, std::string* text);

// Configured paths may be written Windows-style (".\SJSHQ.dbf"); on POSIX a backslash is a path
// separator. Returns the path in the form the OS expects.
std::string NativePath(std::string_view configuredPath);
bool IsPathSeparator(char c);
constexpr char kPathSeparator =
#ifdef _WIN32
    '\\';
#else
    '/';
#endif
// The line end of a text file on this OS.
constexpr const char* kTextLineEnd =
#ifdef _WIN32
    "\r\n";
#else
    "\n";
#endif

// Creates one directory level; true when the directory exists afterwards.
bool MakeDirectory(const std::string& path);
// Renames `from` over `to`, replacing an existing `to` in one step.
bool ReplaceFile(const std::string& from, const std::string& to);
bool RemoveFile(const std::string& path);
bool FileExists(const std::string& path);

// What identifies one state of a file on disk: its size, its last modification and which file the
// path names. Two stamps of the same path are equal only when nobody wrote to, cut, replaced or
// recreated the file in between (as far as the file system's time resolution shows).
struct FileStamp {
  int64_t size = -1;
  int64_t modified = 0;   // in the system's own units
  uint64_t identity = 0;  // the file's number on its volume
  bool operator==(const FileStamp&) const = default;
};
// The stamp of the file at `path`; false when it cannot be found or read.
bool ReadFileStamp(const std::string& path, FileStamp* stamp);

// The character set that standard output's reader expects. POSIX: the codeset of the locale that
// the environment names (LC_ALL, LC_CTYPE, LANG, as setlocale(LC_CTYPE, "") resolves them), e.g.
// "UTF-8", "GBK" or "ANSI_X3.4-1968" for C; the process's own locale is not changed. Windows:
// "UTF-8" when the console's output code page is 65001, else "GBK" (the texts' own code page).
std::string LocaleCharset();
// Whether standard input is an interactive terminal (the console front end then reads commands).
bool StdinIsTerminal();
// Whether standard error is an interactive terminal (a long run then shows its progress there).
bool StderrIsTerminal();
// Makes standard output take bytes as they are, without turning "\n" into "\r\n" (Windows): for
// programs whose output is a file format with line ends of its own, such as CSV.
void SetStdoutBinary();

// Reads a whole file byte for byte. 1, or a negative code (system error or kErrFileShortRead).
int32_t ReadWholeFile(const std::string& path, std::string* content);
// Writes `content` as the whole file at `path` through `path` + ".new" in the same folder, flushed
// to disk and renamed over the old file: a reader finds the old file or the new one, never a part,
// and a failure leaves the old file as it was (and no ".new"). 1, or the failed step's code.
int32_t WriteWholeFile(const std::string& path, std::string_view content);

// A file opened for reading and writing while other processes may read and write it too (legacy
// readers keep the DBF files open while they are rewritten). Not copyable; one owner thread.
// Results: 1 (or a byte count) for success, a negative code of error_code.h for failure.
class SharedFile {
 public:
  SharedFile() = default;
  ~SharedFile();
  SharedFile(const SharedFile&) = delete;
  SharedFile& operator=(const SharedFile&) = delete;

  // Opens an existing file; fails when it does not exist.
  int32_t OpenExisting(const std::string& path);
  // Creates the file; with mustNotExist an existing file is an error, else it is opened as is.
  int32_t Create(const std::string& path, bool mustNotExist);
  bool IsOpen() const { return handle_ != kInvalid; }
  const std::string& Path() const { return path_; }

  int32_t SeekTo(int64_t offset);
  int32_t SeekToEnd();
  // Writes all n bytes at the current position: n, or a negative code (kErrFileShortWrite when
  // the system wrote fewer bytes).
  int32_t Write(const void* data, uint32_t n);
  // Reads up to n bytes: the count read (0 at the end) or a negative code.
  int32_t Read(void* data, uint32_t n);
  int32_t FlushToDisk();
  // Cuts (or extends) the file at the current position.
  int32_t SetEnd();
  int64_t Size() const;
  void Close();

  // Writes all n bytes at the end of the file. When that fails, whatever part of them reached the
  // file is cut off again, so that the file only ever grows by whole appends and a retry cannot
  // leave a torn copy in front of the whole one. n, or the failed step's negative code.
  int32_t AppendWhole(const void* data, uint32_t n) {
    const int64_t start = Size();
    int32_t result = SeekToEnd();
    if (result >= 0) result = Write(data, n);
    if (result < 0 && start >= 0 && SeekTo(start) >= 0) SetEnd();
    return result;
  }

 private:
  static constexpr intptr_t kInvalid = -1;
  intptr_t handle_ = kInvalid;
  std::string path_;
};

// Fault injection for tests: when a hook is installed, every SharedFile and ReadWholeFile
// operation asks it first. The hook answers 0 to let the operation run, a negative code to make
// it fail with that code, or (for writes only) a positive count to write only that many bytes.
// kRename is asked by ReplaceFile with the `from` path; a negative answer makes it return false.
enum class FileOp { kOpen, kCreate, kSeek, kWrite, kRead, kFlush, kSetEnd, kRename };
using FileFaultHook = std::function<int32_t(FileOp op, const std::string& path, uint32_t bytes)>;
void SetFileFaultHook(FileFaultHook hook);
// Internal: asks the installed hook, 0 when none is installed.
int32_t AskFileFaultHook(FileOp op, const std::string& path, uint32_t bytes);

}  // namespace fw::platform
