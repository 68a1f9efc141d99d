// Layer ui/, the highest: the window rules, the console front end and the Windows dialogs.
//
// The rules of the main window that do not depend on a window system: the states of the Start,
// Stop and Config buttons and the refusals, the run-log list (newest first, at most 500 lines),
// the market time, the version text and the close sequence. The Windows dialog and the console
// front end both drive the service through it; tests drive it with a fake window.
//
// User-interface thread only.
#pragma once

#include <cstdint>
#include <deque>
#include <string>

#include "shell/ui_control.h"

namespace fw::ui {

constexpr size_t kMaxLogLines = 500;
constexpr uint32_t kButtonPauseMs = 500;  // after a request, before the buttons change
constexpr const char* kStoppingMessage = "正在停止，请等待...";
constexpr const char* kStartingMessage = "正在启动，请等待...";

// The two stored version words and their text "V%.2f B%03d Build B%04d": V1.04 B010 Build B0021.
constexpr uint32_t kVersionWord = (104u << 16) | 10u;
constexpr uint32_t kBuildWord = 21u;
std::string VersionText(uint32_t versionWord = kVersionWord, uint32_t buildWord = kBuildWord);

enum class Button { kStart, kStop, kConfig };

// What the model needs of a window.
class WindowPort {
 public:
  virtual ~WindowPort() = default;
  virtual void EnableButton(Button button, bool enabled) = 0;
  // A message box with an exclamation icon (the console prints it).
  virtual void ShowExclamation(const std::string& text) = 0;
  virtual void ShowMarketTime(const std::string& text) = 0;
  // The list: insert at the top, delete at an index.
  virtual void InsertLogLine(const std::string& line) = 0;
  virtual void DeleteLogLine(size_t index) = 0;
  // The pause after a request (blocks the user-interface thread, as the buttons always did).
  virtual void Pause(uint32_t ms) = 0;
};

class MainWindowModel {
 public:
  MainWindowModel(shell::UiControl& control, WindowPort& window);

  // Market time emptied, Stop disabled, UiControl::Init, and with autostart Start and Config
  // disabled and Stop enabled. Returns Init's result.
  int32_t Initialize();
  // The buttons. A refused request shows its message and changes nothing.
  void Start();
  void Stop();
  bool ConfigAllowed() const { return configEnabled_; }

  // A log line from WM_LOG_LINE: newest first, the oldest dropped beyond 500.
  void AddLogLine(const std::string& line);
  // WM_MARKET_TIME: HHMMSS, or empty after a stop.
  void SetMarketTime(const std::string& text);

  // The program's close: stop requested, every thread asked to stop, the control thread stopped,
  // then the shut-down sequence on this thread.
  void Close();

  const std::deque<std::string>& LogLines() const { return lines_; }
  bool StartEnabled() const { return startEnabled_; }
  bool StopEnabled() const { return stopEnabled_; }

 private:
  void SetButtons(bool start, bool stop, bool config);

  shell::UiControl& control_;
  WindowPort& window_;
  std::deque<std::string> lines_;
  bool startEnabled_ = true;
  bool stopEnabled_ = false;
  bool configEnabled_ = true;
};

}  // namespace fw::ui
