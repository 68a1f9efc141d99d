#include "foundation/run_log.h"

#include <cstdarg>
#include <cstdio>
#include <mutex>

#include "foundation/local_clock.h"
#include "foundation/platform/platform.h"
#include "foundation/stdout_encoding.h"

namespace fw {
namespace {

// The day file, guarded by its own lock (see the header comment).
struct LogSink {
  std::mutex mutex;
  platform::SharedFile file;
  uint32_t fileDate = 0;
  std::string folder = ".\\log";
  std::function<void(std::string_view)> printer;
  // A RunLogRedirect is alive: lines go to redirectFile (when open) and nowhere else.
  bool redirected = false;
  platform::SharedFile redirectFile;
};

LogSink& Sink() {
  static LogSink* sink = new LogSink;  // never destroyed: threads may log during process exit
  return *sink;
}

std::mutex gWindowMutex;
std::shared_ptr<MainWindowSink> gWindow;

void Print(LogSink& sink, std::string_view text) {
  if (sink.printer) {
    sink.printer(text);
  } else {
    PrintToStdout(text);
  }
}

// Makes sure today's file is open; called with the sink's lock held. The file counts as open only
// once the separator reached it: a file that opens but takes no bytes (a full disk) is reported
// as not created, never as created, and the next call tries again.
void EnsureDayFile(LogSink& sink, uint32_t today) {
  if (sink.file.IsOpen() && sink.fileDate == today) return;
  sink.file.Close();
  const std::string folder = platform::NativePath(sink.folder);
  platform::MakeDirectory(folder);
  sink.fileDate = today;
  char name[64];
  std::snprintf(name, sizeof name, "Tarvik_Log_%u.log", today);
  std::string path = folder;
  if (!path.empty() && !platform::IsPathSeparator(path.back())) path += platform::kPathSeparator;
  path += name;

  char message[4200];
  int32_t rc = sink.file.OpenExisting(path);
  if (rc < 0) rc = sink.file.Create(path, false);
  if (rc >= 0) rc = sink.file.SeekToEnd();
  if (rc >= 0) {
    const std::string separator = std::string(platform::kTextLineEnd) + platform::kTextLineEnd;
    rc = sink.file.Write(separator.data(), static_cast<uint32_t>(separator.size()));
  }
  if (rc < 0) {
    sink.file.Close();
    std::snprintf(message, sizeof message, "create log file failed! [path = %s]\n", path.c_str());
    Print(sink, message);
    return;
  }
  std::snprintf(message, sizeof message, "create log file succeed! [path = %s]\n\n\n",
                path.c_str());
  Print(sink, message);
}

// Appends one line with one write. On failure the file is closed; a part of the line that did
// reach it has been cut off again, so that a retry leaves the line once and whole.
bool AppendLine(LogSink& sink, const std::string& fileLine) {
  if (sink.file.AppendWhole(fileLine.data(), static_cast<uint32_t>(fileLine.size())) >= 0) {
    return true;
  }
  sink.file.Close();
  return false;
}

}  // namespace

void WriteLog(unsigned level, const char* format, ...) {
  char message[1024];
  va_list args;
  va_start(args, format);
  const int n = std::vsnprintf(message, sizeof message, format, args);
  va_end(args);
  if (n < 0) message[0] = '\0';

  std::string line;
  line.reserve(32 + sizeof message);
  LogSink& sink = Sink();
  {
    std::lock_guard<std::mutex> lock(sink.mutex);
    // Read under the lock: a clock read before another thread's line of a later day would take
    // the log back to the old day's file.
    const LocalDateTime now = LocalNow();
    char prefix[48];
    std::snprintf(prefix, sizeof prefix, "<Log_LV%u> t=%u ", level & 0xFFu, now.Time());
    line += prefix;
    line += message;
    if (sink.redirected) {
      if (sink.redirectFile.IsOpen()) {
        const std::string fileLine = line + platform::kTextLineEnd;
        sink.redirectFile.AppendWhole(fileLine.data(), static_cast<uint32_t>(fileLine.size()));
      }
    } else {
      EnsureDayFile(sink, now.Date());
      Print(sink, line + "\n");
      if (sink.file.IsOpen()) {
        const std::string fileLine = line + platform::kTextLineEnd;
        // A handle gone bad (a file removed or a share lost) writes again once reopened: the line
        // is written then, after the reopening's separator, instead of being lost.
        if (!AppendLine(sink, fileLine)) {
          EnsureDayFile(sink, now.Date());
          if (sink.file.IsOpen()) AppendLine(sink, fileLine);
        }
      }
    }
  }
  // The window shows the line without its line end.
  SendToMainWindow(WM_LOG_LINE, line.c_str(), 0);
}

void SetMainWindow(std::shared_ptr<MainWindowSink> window) {
  std::lock_guard<std::mutex> lock(gWindowMutex);
  gWindow = std::move(window);
}

intptr_t SendToMainWindow(uint32_t message, const char* text, intptr_t param) {
  std::shared_ptr<MainWindowSink> window;
  {
    std::lock_guard<std::mutex> lock(gWindowMutex);
    window = gWindow;
  }
  if (window) window->Deliver(message, text != nullptr ? std::string(text) : std::string(), param);
  return 0;
}

void SetRunLogConsolePrinter(std::function<void(std::string_view text)> printer) {
  LogSink& sink = Sink();
  std::lock_guard<std::mutex> lock(sink.mutex);
  sink.printer = std::move(printer);
}

void SetRunLogFolder(std::string folder) {
  LogSink& sink = Sink();
  std::lock_guard<std::mutex> lock(sink.mutex);
  sink.folder = std::move(folder);
  sink.file.Close();
}

void CloseRunLog() {
  LogSink& sink = Sink();
  std::lock_guard<std::mutex> lock(sink.mutex);
  sink.file.Close();
}

RunLogRedirect::RunLogRedirect(std::string path) {
  LogSink& sink = Sink();
  std::lock_guard<std::mutex> lock(sink.mutex);
  sink.redirected = true;
  if (path.empty()) return;
  const std::string native = platform::NativePath(path);
  int32_t rc = sink.redirectFile.OpenExisting(native);
  if (rc < 0) rc = sink.redirectFile.Create(native, false);
  if (rc >= 0) rc = sink.redirectFile.SeekToEnd();
  if (rc < 0) {
    sink.redirectFile.Close();
    ok_ = false;
  }
}

RunLogRedirect::~RunLogRedirect() {
  LogSink& sink = Sink();
  std::lock_guard<std::mutex> lock(sink.mutex);
  sink.redirectFile.Close();
  sink.redirected = false;
}

}  // namespace fw
