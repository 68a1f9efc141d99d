// Vocabulary of the reference data tests: a scratch folder that serves as the reference folder, a
// fixed local day (5 March 2024, 09:30:00), a catcher of run-log lines, and writers of the day's
// files from small XML fragments.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

#include "foundation/run_log.h"
#include "tests/support/test_support.h"

namespace fw::refdata::test {

constexpr uint32_t kToday = 20240305;
constexpr uint32_t kNow = 93000;

// UTF-8 bytes of a u8 literal (the test sources compile plain literals to GBK).
inline std::string U8(const char8_t* text) { return reinterpret_cast<const char*>(text); }

// A Security element with the SecurityID text as given and the other children.
inline std::string Security(std::string_view id, std::string_view children) {
  std::string s = "<Security><SecurityID>";
  s += id;
  s += "</SecurityID>";
  s += children;
  s += "</Security>";
  return s;
}

// One element with text.
inline std::string El(std::string_view name, std::string_view text) {
  std::string s = "<";
  s += name;
  s += ">";
  s += text;
  s += "</";
  s += name;
  s += ">";
  return s;
}

// A field text of fixed width as a string (up to its first NUL).
template <size_t N>
std::string FieldText(const char (&field)[N]) {
  return std::string(field, strnlen(field, N));
}
template <size_t N>
std::string FieldBytes(const char (&field)[N]) {
  return std::string(field, N);
}

class RefdataTest : public ::testing::Test {
 protected:
  void SetUp() override {
    window_ = fw::test::WindowCatcher::Install();
    SetRunLogFolder(logDir_.Path().string());
  }
  void TearDown() override {
    CloseRunLog();
    fw::test::WindowCatcher::Uninstall();
  }

  // The reference folder as the configuration hands it over (ending with a separator).
  std::string Folder() const { return dir_.Prefix(); }
  // Today's path of a file of the family.
  std::string TodaysFile(const std::string& root) const {
    return dir_.File(root + "_" + std::to_string(kToday) + ".xml");
  }
  // Writes today's file of the family: declaration, root element and the body.
  void WriteXml(const std::string& root, const std::string& body) const {
    fw::test::WriteFileBytes(TodaysFile(root), "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<" +
                                                   root + "Root>" + body + "</" + root + "Root>\n");
  }
  // Removed first: truncating a file that still has unwritten data makes some file systems write
  // it out at once, which a sweep of thousands of rewrites would wait for.
  void WriteRaw(const std::string& root, const std::string& bytes) const {
    std::filesystem::remove(TodaysFile(root));
    fw::test::WriteFileBytes(TodaysFile(root), bytes);
  }
  // Whether a level-n line with exactly this message was logged.
  bool Logged(unsigned level, const std::string& message) const {
    return window_->HasLine("<Log_LV" + std::to_string(level) + "> t=" + std::to_string(kNow) +
                            " " + message);
  }

  fw::test::TempDir dir_;
  fw::test::TempDir logDir_;
  fw::test::FakeClock clock_{kToday, kNow};
  std::shared_ptr<fw::test::WindowCatcher> window_;
};

}  // namespace fw::refdata::test
