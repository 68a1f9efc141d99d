// A test whose run log goes to a scratch folder: the day files, the lines printed on standard
// output and the lines the window receives are all caught for the test to look at.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <mutex>
#include <string>
#include <string_view>

#include "foundation/platform/platform.h"
#include "foundation/run_log.h"
#include "tests/support/test_support.h"

namespace fw::test {

class RunLogFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    window_ = std::make_shared<WindowCatcher>();
    SetMainWindow(window_);
    SetRunLogConsolePrinter([this](std::string_view text) {
      std::lock_guard<std::mutex> lock(stdoutMutex_);
      stdout_.append(text);
    });
    SetRunLogFolder(dir_.File("log"));
  }
  void TearDown() override {
    CloseRunLog();
    SetRunLogFolder(".\\log");
    WindowCatcher::Uninstall();
  }

  // The run log's file of that day.
  std::string DayFile(uint32_t date) const {
    return dir_.File("log") + platform::kPathSeparator + "Tarvik_Log_" + std::to_string(date) +
           ".log";
  }
  // Everything printed on standard output so far.
  std::string Stdout() {
    std::lock_guard<std::mutex> lock(stdoutMutex_);
    return stdout_;
  }
  void ClearStdout() {
    std::lock_guard<std::mutex> lock(stdoutMutex_);
    stdout_.clear();
  }

  TempDir dir_;
  std::shared_ptr<WindowCatcher> window_;

 private:
  std::mutex stdoutMutex_;
  std::string stdout_;
};

}  // namespace fw::test
