#include "ui/main_window_model.h"

#include <cstdio>

namespace fw::ui {

std::string VersionText(uint32_t versionWord, uint32_t buildWord) {
  char text[64];
  std::snprintf(text, sizeof text, "V%.2f B%03u Build B%04u", (versionWord >> 16) * 0.01,
                versionWord & 0xFFu, buildWord & 0xFFu);
  return text;
}

MainWindowModel::MainWindowModel(shell::UiControl& control, WindowPort& window)
    : control_(control), window_(window) {}

int32_t MainWindowModel::Initialize() {
  window_.ShowMarketTime("");
  window_.EnableButton(Button::kStop, false);
  stopEnabled_ = false;
  const int32_t rc = control_.Init();
  if (control_.StartRequested()) SetButtons(false, true, false);
  return rc;
}

void MainWindowModel::Start() {
  if (control_.StopRequested()) {
    window_.ShowExclamation(kStoppingMessage);
    return;
  }
  control_.SetStartRequested(true);
  window_.Pause(kButtonPauseMs);
  SetButtons(false, true, false);
}

void MainWindowModel::Stop() {
  if (control_.StartRequested() && control_.StartAttemptActive()) {
    window_.ShowExclamation(kStartingMessage);
    return;
  }
  control_.SetStartRequested(false);
  control_.SetStopRequested(true);
  window_.Pause(kButtonPauseMs);
  SetButtons(true, false, true);
}

void MainWindowModel::AddLogLine(const std::string& line) {
  if (lines_.size() >= kMaxLogLines) {
    window_.DeleteLogLine(lines_.size() - 1);
    lines_.pop_back();
  }
  lines_.push_front(line);
  window_.InsertLogLine(line);
}

void MainWindowModel::SetMarketTime(const std::string& text) { window_.ShowMarketTime(text); }

void MainWindowModel::Close() {
  control_.SetStopRequested(true);
  MThread::StopAll();
  control_.Reset();
  control_.TheService().ProgramExit();
}

void MainWindowModel::SetButtons(bool start, bool stop, bool config) {
  startEnabled_ = start;
  stopEnabled_ = stop;
  configEnabled_ = config;
  window_.EnableButton(Button::kStart, start);
  window_.EnableButton(Button::kStop, stop);
  window_.EnableButton(Button::kConfig, config);
}

}  // namespace fw::ui
