// The run log: every report of the system is one WriteLog call that becomes one line
// "<Log_LV%u> t=%u %s\n" in the daily file .\log\Tarvik_Log_<YYYYMMDD>.log, on standard output and
// in the main window's list.
//
// Called from every thread. One lock guards the day check, the reopen and the write; the line is
// handed to the main window only after that lock is released, and the window sink never makes the
// caller wait for the user-interface thread.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#if defined(__MINGW32__)
#define FW_PRINTF_FORMAT(f, a) __attribute__((format(gnu_printf, f, a)))
#else
#define FW_PRINTF_FORMAT(f, a) __attribute__((format(printf, f, a)))
#endif

namespace fw {

// Window messages carried by SendToMainWindow (first user message number + 1 and + 2).
constexpr uint32_t WM_LOG_LINE = 1025;     // one complete log line
constexpr uint32_t WM_MARKET_TIME = 1026;  // market time as decimal HHMMSS, or empty

// Formats the message (at most 1023 characters; longer ones are cut) and writes the line. The
// level's low 8 bits are printed. Never fails towards its caller.
void WriteLog(unsigned level, const char* format, ...) FW_PRINTF_FORMAT(2, 3);

// The receiver of window messages. Deliver gets its own copy of the text and must not block.
class MainWindowSink {
 public:
  virtual ~MainWindowSink() = default;
  virtual void Deliver(uint32_t message, std::string text, intptr_t param) = 0;
};

// Makes `window` the main window (nullptr: the application has none).
void SetMainWindow(std::shared_ptr<MainWindowSink> window);

// Hands the message to the main window, if there is one; without a window it does nothing.
// Returns 0.
intptr_t SendToMainWindow(uint32_t message, const char* text, intptr_t param);

// Where the lines go on standard output. The default prints them in standard output's encoding
// (stdout_encoding.h); tests install their own printer. An empty function restores the default.
void SetRunLogConsolePrinter(std::function<void(std::string_view text)> printer);

// The folder of the daily files, ".\log" unless a test chooses another one.
void SetRunLogFolder(std::string folder);

// Closes the open day file (process exit, tests).
void CloseRunLog();

// While one is alive, every line goes to the file `path` alone, appended (an empty path: to no file
// at all), and nothing to standard output, so that an offline tool keeps its standard output for
// its own report and never makes the log folder. The main window, if there is one, still gets the
// lines. The daily files return when it ends. One at a time, on the thread that owns the tool's
// run.
class RunLogRedirect {
 public:
  explicit RunLogRedirect(std::string path);
  ~RunLogRedirect();
  RunLogRedirect(const RunLogRedirect&) = delete;
  RunLogRedirect& operator=(const RunLogRedirect&) = delete;

  // Whether the file could be opened (always true without a file); lines are dropped otherwise.
  bool Ok() const { return ok_; }

 private:
  bool ok_ = true;
};

}  // namespace fw
