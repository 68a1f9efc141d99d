// (Never include <chrono> here: libstdc++'s <chrono> holds a µ that the GBK execution charset
// cannot encode; <thread> brings std::chrono's clocks and durations.)
//
// Small vocabulary shared by the test binaries: a scratch folder, a fixed local clock and a
// catcher of run-log lines.
#pragma once

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <mutex>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "foundation/local_clock.h"
#include "foundation/run_log.h"

namespace fw::test {

// A fresh folder under the system's temporary folder, removed with everything in it at the end.
class TempDir {
 public:
  TempDir() {
    std::random_device seed;
    const auto base = std::filesystem::temp_directory_path();
    for (int attempt = 0; attempt < 100; ++attempt) {
      path_ = base / ("fenwright-test-" + std::to_string(seed()) + std::to_string(attempt));
      if (std::filesystem::create_directory(path_)) return;
    }
  }
  ~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path& Path() const { return path_; }
  // The path of a file in the folder, as a plain string.
  std::string File(const std::string& name) const { return (path_ / name).string(); }
  // The folder as a prefix ending with a separator.
  std::string Prefix() const {
    std::string p = path_.string();
    p += static_cast<char>(std::filesystem::path::preferred_separator);
    return p;
  }

 private:
  std::filesystem::path path_;
};

// A fixed-size text field of a record set to `text`, cut to fit and always terminated.
template <size_t N>
void SetText(char (&field)[N], const std::string& text) {
  std::snprintf(field, N, "%s", text.c_str());
}

inline std::string ReadFileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

inline void WriteFileBytes(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// Sets the local clock of the whole process while alive; the time can be moved.
class FakeClock {
 public:
  FakeClock(uint32_t date, uint32_t time) {
    Set(date, time);
    SetLocalClockForTesting([state = state_] {
      std::lock_guard<std::mutex> lock(state->mutex);
      return state->now;
    });
  }
  ~FakeClock() { SetLocalClockForTesting(nullptr); }
  FakeClock(const FakeClock&) = delete;
  FakeClock& operator=(const FakeClock&) = delete;

  void Set(uint32_t date, uint32_t time) {
    std::lock_guard<std::mutex> lock(state_->mutex);
    state_->now = MakeLocalDateTime(date, time);
  }

 private:
  struct State {
    std::mutex mutex;
    LocalDateTime now;
  };
  std::shared_ptr<State> state_ = std::make_shared<State>();
};

// Collects what reaches the main window; installs itself as the main window while alive and
// keeps standard output quiet.
class WindowCatcher : public MainWindowSink {
 public:
  struct Message {
    uint32_t id;
    std::string text;
  };

  static std::shared_ptr<WindowCatcher> Install(bool quiet = true) {
    auto catcher = std::make_shared<WindowCatcher>();
    SetMainWindow(catcher);
    if (quiet) SetRunLogConsolePrinter([](std::string_view) {});
    return catcher;
  }
  static void Uninstall() {
    SetMainWindow(nullptr);
    SetRunLogConsolePrinter(nullptr);
  }

  void Deliver(uint32_t message, std::string text, intptr_t) override {
    std::lock_guard<std::mutex> lock(mutex_);
    messages_.push_back({message, std::move(text)});
  }

  std::vector<Message> Messages() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return messages_;
  }
  // The texts of the log lines received so far (each "<Log_LVn> t=… text").
  std::vector<std::string> LogLines() const {
    std::vector<std::string> lines;
    for (const Message& m : Messages()) {
      if (m.id == WM_LOG_LINE) lines.push_back(m.text);
    }
    return lines;
  }
  // Whether some log line ends with `text` (the message part).
  bool HasLine(const std::string& text) const {
    for (const std::string& line : LogLines()) {
      if (line.size() >= text.size() &&
          line.compare(line.size() - text.size(), text.size(), text) == 0) {
        return true;
      }
    }
    return false;
  }
  size_t CountLines(const std::string& text) const {
    size_t n = 0;
    for (const std::string& line : LogLines()) {
      if (line.size() >= text.size() &&
          line.compare(line.size() - text.size(), text.size(), text) == 0)
        ++n;
    }
    return n;
  }
  std::vector<std::string> MarketTimes() const {
    std::vector<std::string> times;
    for (const Message& m : Messages()) {
      if (m.id == WM_MARKET_TIME) times.push_back(m.text);
    }
    return times;
  }
  void Clear() {
    std::lock_guard<std::mutex> lock(mutex_);
    messages_.clear();
  }
  // Waits (polling, up to `timeout`) until `predicate` holds; true when it did.
  template <typename Predicate>
  static bool WaitFor(Predicate predicate,
                      std::chrono::milliseconds timeout = std::chrono::seconds(20)) {
    const auto end = std::chrono::steady_clock::now() + timeout;
    while (std::chrono::steady_clock::now() < end) {
      if (predicate()) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return predicate();
  }

 private:
  mutable std::mutex mutex_;
  std::vector<Message> messages_;
};

}  // namespace fw::test
