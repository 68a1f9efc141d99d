// The run log under file-system faults. A day file that cannot be opened gives the failure line on
// standard output, the lines still reach standard output and the window, and the next line opens
// the file. A line whose write fails is written again once the file is reopened, whole and once;
// a file that opens but takes no bytes is reported as not created, never as created.
#include <gtest/gtest.h>

#include <mutex>
#include <string>

#include "tests/faults/fault_plan.h"
#include "tests/support/run_log_fixture.h"

namespace fw::test {
namespace {

const std::string kEnd = platform::kTextLineEnd;

class RunLogFaultsTest : public RunLogFixture {
 protected:
  std::string Created() const { return "create log file succeed! [path = " + path_ + "]\n\n\n"; }
  std::string NotCreated() const { return "create log file failed! [path = " + path_ + "]\n"; }

  FakeClock clock_{kDay, 100000};
  const std::string path_ = DayFile(kDay);
};

TEST_F(RunLogFaultsTest, FileThatCannotBeOpenedIsReportedAndOpenedByTheNextLine) {
  {
    FaultPlan plan;
    plan.Fail(FileOp::kOpen, path_, kAccessDenied).Fail(FileOp::kCreate, path_, kAccessDenied);
    WriteLog(0, "first");
  }
  WriteLog(1, "second");
  EXPECT_EQ(Stdout(), NotCreated() + "<Log_LV0> t=100000 first\n" + Created() +
                          "<Log_LV1> t=100000 second\n");
  EXPECT_EQ(window_->LogLines(),
            (std::vector<std::string>{"<Log_LV0> t=100000 first", "<Log_LV1> t=100000 second"}));
  EXPECT_EQ(ReadFileBytes(path_), kEnd + kEnd + "<Log_LV1> t=100000 second" + kEnd);
}

TEST_F(RunLogFaultsTest, LineWhoseWriteFailsIsWrittenOnceTheFileIsReopened) {
  struct Case {
    const char* name;
    int32_t answer;
  };
  const Case cases[] = {{"write fails", kIoError}, {"short write", 7}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    CloseRunLog();
    platform::RemoveFile(path_);
    ClearStdout();
    WriteLog(0, "before");
    {
      FaultPlan plan;
      plan.Fail(FileOp::kWrite, path_, c.answer, 1);
      WriteLog(0, "during");
      EXPECT_EQ(plan.Hits(), 1);
    }
    WriteLog(0, "after");
    // The reopening shows as a created file and a blank separator; no part of a line is left.
    EXPECT_EQ(ReadFileBytes(path_), kEnd + kEnd + "<Log_LV0> t=100000 before" + kEnd + kEnd + kEnd +
                                        "<Log_LV0> t=100000 during" + kEnd +
                                        "<Log_LV0> t=100000 after" + kEnd);
    EXPECT_EQ(Stdout(), Created() + "<Log_LV0> t=100000 before\n<Log_LV0> t=100000 during\n" +
                            Created() + "<Log_LV0> t=100000 after\n");
  }
}

TEST_F(RunLogFaultsTest, FullDiskIsReportedAsNotCreatedUntilItTakesBytesAgain) {
  {
    FaultPlan plan;
    plan.Fail(FileOp::kWrite, path_, kDiskFull);
    WriteLog(0, "one");
    WriteLog(0, "two");
  }
  WriteLog(0, "three");
  EXPECT_EQ(Stdout(), NotCreated() + "<Log_LV0> t=100000 one\n" + NotCreated() +
                          "<Log_LV0> t=100000 two\n" + Created() + "<Log_LV0> t=100000 three\n");
  EXPECT_EQ(window_->LogLines().size(), 3u);
  EXPECT_EQ(ReadFileBytes(path_), kEnd + kEnd + "<Log_LV0> t=100000 three" + kEnd);
}

TEST_F(RunLogFaultsTest, WriteThatKeepsFailingLosesOnlyTheFileCopyOfTheLine) {
  WriteLog(0, "stored");
  {
    FaultPlan plan;
    plan.Fail(FileOp::kWrite, path_, kIoError);
    WriteLog(0, "not stored");
  }
  WriteLog(0, "stored again");
  EXPECT_EQ(window_->LogLines().size(), 3u);
  EXPECT_NE(Stdout().find("<Log_LV0> t=100000 not stored\n" + NotCreated()), std::string::npos);
  EXPECT_EQ(ReadFileBytes(path_), kEnd + kEnd + "<Log_LV0> t=100000 stored" + kEnd + kEnd + kEnd +
                                      "<Log_LV0> t=100000 stored again" + kEnd);
}

}  // namespace
}  // namespace fw::test
