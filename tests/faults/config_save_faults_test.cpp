// The configuration's save under file-system faults: every step of the ini write-back (reading the
// old file, creating the new one beside it, writing, cutting, flushing, renaming it over the old
// one) fails in turn. Each time the failure is returned, the old file is left byte for byte as it
// was and nothing is left beside it; the next save, once the fault is gone, writes the settings,
// and a load reads them back.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "foundation/ini_file.h"
#include "tests/faults/fault_plan.h"

namespace fw::test {
namespace {

class ConfigSaveFaultsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    window_ = WindowCatcher::Install();
    SetRunLogFolder(dir_.File("log"));
    WriteFileBytes(holiday_, "[2026]\r\n01=1\r\n");
    WriteFileBytes(ini_, old_);
    SetText(settings_.ip, "10.1.2.3");
    settings_.port = 9129;
    SetText(settings_.hqdbf, "D:\\dbf\\SJSHQ.DBF");
    SetText(settings_.holiday, holiday_);
    settings_.writeInterval = 2000;
    settings_.wrIntervalSleep = 500;
    settings_.savefileflag = true;
    settings_.SetIniPath(ini_);
  }
  void TearDown() override {
    CloseRunLog();
    SetRunLogFolder(".\\log");
    WindowCatcher::Uninstall();
  }

  // The settings read back from the file by a fresh load.
  void ExpectSavedSettings() {
    config::ConfigInfo read;
    ASSERT_EQ(read.Load(ini_), 1);
    EXPECT_STREQ(read.ip, "10.1.2.3");
    EXPECT_EQ(read.port, 9129);
    EXPECT_STREQ(read.hqdbf, "D:\\dbf\\SJSHQ.DBF");
    EXPECT_EQ(read.writeInterval, 2000u);
    EXPECT_EQ(read.wrIntervalSleep, 500u);
    EXPECT_TRUE(read.savefileflag);
    // Kept from the old file: the save does not write it.
    EXPECT_FALSE(read.PriceUpLimit);
  }

  TempDir dir_;
  FakeClock clock_{kDay, 100000};
  std::shared_ptr<WindowCatcher> window_;
  const std::string ini_ = dir_.File("fenwright.ini");
  const std::string fresh_ = ini_ + ".new";
  const std::string holiday_ = dir_.File("holiday.ini");
  const std::string old_ =
      "[binary]\r\nip = 127.0.0.1 ; the gateway\r\nport = 1\r\n[ADJUST]\r\nPriceUpLimit = "
      "false\r\n";
  config::ConfigInfo settings_;
};

TEST_F(ConfigSaveFaultsTest, EveryFailedStepIsReturnedAndKeepsTheOldFile) {
  struct Case {
    const char* name;
    FileOp op;
    bool onNewFile;  // the fault is on "<ini>.new" (else on the ini file itself)
    int32_t answer;
    int32_t result;  // 0: any negative code
  };
  const Case cases[] = {
      {"old file cannot be read", FileOp::kRead, false, kIoError, -1},
      {"old file cannot be opened", FileOp::kOpen, false, kAccessDenied, -1},
      {"new file cannot be created", FileOp::kCreate, true, kAccessDenied, kAccessDenied},
      {"write fails (disk full)", FileOp::kWrite, true, kDiskFull, kDiskFull},
      {"short write", FileOp::kWrite, true, 10, kErrFileShortWrite},
      {"set-end fails", FileOp::kSetEnd, true, kIoError, kIoError},
      {"flush fails", FileOp::kFlush, true, kIoError, kIoError},
      {"rename fails", FileOp::kRename, true, kAccessDenied, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    WriteFileBytes(ini_, old_);
    {
      FaultPlan plan;
      plan.Fail(c.op, c.onNewFile ? fresh_ : ini_, c.answer);
      const int32_t result = settings_.Save();
      if (c.result != 0) {
        EXPECT_EQ(result, c.result);
      } else {
        EXPECT_LT(result, 0);
      }
      EXPECT_GT(plan.Hits(), 0);
    }
    EXPECT_EQ(ReadFileBytes(ini_), old_);
    EXPECT_FALSE(platform::FileExists(fresh_));

    EXPECT_EQ(settings_.Save(), 1);
    EXPECT_FALSE(platform::FileExists(fresh_));
    ExpectSavedSettings();
  }
}

TEST_F(ConfigSaveFaultsTest, MissingFileThatCannotBeCreatedIsReportedAndCreatedByTheNextSave) {
  ASSERT_TRUE(platform::RemoveFile(ini_));
  {
    FaultPlan plan;
    plan.Fail(FileOp::kCreate, ini_, kAccessDenied);
    EXPECT_EQ(settings_.Save(), -1);
  }
  EXPECT_FALSE(platform::FileExists(ini_));
  EXPECT_EQ(settings_.Save(), 1);
  config::ConfigInfo read;
  ASSERT_EQ(read.Load(ini_), 1);
  EXPECT_STREQ(read.ip, "10.1.2.3");
  EXPECT_EQ(read.port, 9129);
}

// A save that failed half-way earlier left "<ini>.new" behind (power cut): the next save writes
// over it and the leftover never becomes the settings.
TEST_F(ConfigSaveFaultsTest, LeftoverOfAnInterruptedSaveIsReplaced) {
  WriteFileBytes(fresh_, std::string(5000, 'Z'));
  EXPECT_EQ(settings_.Save(), 1);
  EXPECT_FALSE(platform::FileExists(fresh_));
  ExpectSavedSettings();
}

TEST_F(ConfigSaveFaultsTest, UnreadableIniFileAtStartFailsTheLoadInsteadOfRunningOnDefaults) {
  const std::string configured = "[binary]\r\nport = 9129\r\n";
  WriteFileBytes(ini_, configured);
  config::ConfigInfo loaded;
  {
    FaultPlan plan;
    plan.Fail(FileOp::kRead, ini_, kIoError);
    EXPECT_EQ(loaded.Load(ini_), kIoError);
  }
  EXPECT_EQ(loaded.port, 0);
  EXPECT_EQ(loaded.Load(ini_), 1);
  EXPECT_EQ(loaded.port, 9129);
}

// The ini class on its own: a write-back that fails keeps the file and reports the code, and the
// model is emptied all the same (a later Open starts afresh).
TEST_F(ConfigSaveFaultsTest, IniWriteBackThatFailsKeepsTheFile) {
  MIniFile ini;
  ASSERT_EQ(ini.Open(ini_, MIniFile::kModeComments), 1);
  ASSERT_EQ(ini.WriteString("binary", "port", "2"), 1);
  {
    FaultPlan plan;
    plan.Fail(FileOp::kWrite, fresh_, kDiskFull);
    EXPECT_EQ(ini.Close(), kDiskFull);
  }
  EXPECT_EQ(ReadFileBytes(ini_), old_);
  EXPECT_EQ(ini.SectionCount(), 1);
  ASSERT_EQ(ini.Open(ini_, MIniFile::kModeComments), 1);
  EXPECT_EQ(ini.GetString("binary", "port", ""), "1");
  EXPECT_EQ(ini.GetString("binary", "ip", ""), "127.0.0.1");
}

}  // namespace
}  // namespace fw::test
