#include "foundation/run_log.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>
#include <thread>

#include "foundation/platform/platform.h"
#include "tests/support/run_log_fixture.h"
#include "tests/support/test_support.h"

namespace fw {
namespace {

using test::FakeClock;
using test::ReadFileBytes;
using test::TempDir;
using test::WindowCatcher;

const std::string kEnd = platform::kTextLineEnd;

using RunLogTest = test::RunLogFixture;

TEST_F(RunLogTest, FirstLineOfTheDayCreatesFolderAndFileWithSeparator) {
  FakeClock clock(20260305, 90503);
  WriteLog(258, "hello %d", 5);
  EXPECT_EQ(ReadFileBytes(DayFile(20260305)), kEnd + kEnd + "<Log_LV2> t=90503 hello 5" + kEnd);
  EXPECT_EQ(Stdout(), "create log file succeed! [path = " + DayFile(20260305) + "]\n\n\n" +
                          "<Log_LV2> t=90503 hello 5\n");
  ASSERT_EQ(window_->LogLines().size(), 1u);
  EXPECT_EQ(window_->LogLines()[0], "<Log_LV2> t=90503 hello 5");
}

TEST_F(RunLogTest, TimeIsPrintedWithoutLeadingZeros) {
  FakeClock clock(20260305, 5);
  WriteLog(0, "a");
  clock.Set(20260305, 235959);
  WriteLog(1, "b");
  EXPECT_EQ(window_->LogLines(),
            (std::vector<std::string>{"<Log_LV0> t=5 a", "<Log_LV1> t=235959 b"}));
}

TEST_F(RunLogTest, NewDateRollsOverToANewFile) {
  FakeClock clock(20260305, 235959);
  WriteLog(0, "last of the day");
  clock.Set(20260306, 5);
  WriteLog(0, "first of the next");
  EXPECT_EQ(ReadFileBytes(DayFile(20260305)),
            kEnd + kEnd + "<Log_LV0> t=235959 last of the day" + kEnd);
  EXPECT_EQ(ReadFileBytes(DayFile(20260306)),
            kEnd + kEnd + "<Log_LV0> t=5 first of the next" + kEnd);
}

// A line whose clock was read before midnight and a line read after it, from two threads: the
// earlier one is held inside its clock read until the later one has reached the window (or half
// a second has passed, when the log's lock keeps the later one waiting). Neither order may take
// the log back to the old day's file once the new one is open.
TEST_F(RunLogTest, LinesAcrossMidnightFromTwoThreadsNeverReopenTheOldDay) {
  FakeClock clock(20260305, 235958);
  WriteLog(0, "first");
  std::mutex mutex;
  std::condition_variable changed;
  bool holding = false;
  SetLocalClockForTesting([&] {
    std::unique_lock<std::mutex> lock(mutex);
    if (!holding) {
      holding = true;
      changed.notify_all();
      changed.wait_for(lock, std::chrono::milliseconds(500),
                       [&] { return window_->LogLines().size() >= 2; });
      return MakeLocalDateTime(20260305, 235959);
    }
    return MakeLocalDateTime(20260306, 0);
  });
  std::thread before([] { WriteLog(0, "before midnight"); });
  {
    std::unique_lock<std::mutex> lock(mutex);
    changed.wait(lock, [&] { return holding; });
  }
  WriteLog(0, "after midnight");
  changed.notify_all();
  before.join();
  WriteLog(0, "later");
  EXPECT_EQ(ReadFileBytes(DayFile(20260305)), kEnd + kEnd + "<Log_LV0> t=235958 first" + kEnd +
                                                  "<Log_LV0> t=235959 before midnight" + kEnd);
  EXPECT_EQ(ReadFileBytes(DayFile(20260306)),
            kEnd + kEnd + "<Log_LV0> t=0 after midnight" + kEnd + "<Log_LV0> t=0 later" + kEnd);
}

TEST_F(RunLogTest, RestartOnTheSameDayAppendsAfterABlankSeparator) {
  FakeClock clock(20260305, 100000);
  WriteLog(0, "run one");
  CloseRunLog();
  WriteLog(0, "run two");
  EXPECT_EQ(ReadFileBytes(DayFile(20260305)), kEnd + kEnd + "<Log_LV0> t=100000 run one" + kEnd +
                                                  kEnd + kEnd + "<Log_LV0> t=100000 run two" +
                                                  kEnd);
}

TEST_F(RunLogTest, FolderThatCannotBeCreatedStillShowsLinesAndRetries) {
  FakeClock clock(20260305, 100000);
  test::WriteFileBytes(dir_.File("blocker"), "a file where the folder should be");
  const std::string folder = dir_.File("blocker") + platform::kPathSeparator + "log";
  SetRunLogFolder(folder);
  WriteLog(0, "first");
  WriteLog(0, "second");
  const std::string path = folder + platform::kPathSeparator + "Tarvik_Log_20260305.log";
  const std::string failure = "create log file failed! [path = " + path + "]\n";
  EXPECT_EQ(Stdout(),
            failure + "<Log_LV0> t=100000 first\n" + failure + "<Log_LV0> t=100000 second\n");
  EXPECT_EQ(window_->LogLines().size(), 2u);
}

TEST_F(RunLogTest, MessageIsCutAt1023AndLongLinesAreWrittenWhole) {
  FakeClock clock(20260305, 100000);
  const std::string longText(1500, 'x');
  WriteLog(0, "%s", longText.c_str());
  const std::string expected = "<Log_LV0> t=100000 " + std::string(1023, 'x');
  ASSERT_EQ(window_->LogLines().size(), 1u);
  EXPECT_EQ(window_->LogLines()[0], expected);
  EXPECT_EQ(ReadFileBytes(DayFile(20260305)), kEnd + kEnd + expected + kEnd);
}

TEST_F(RunLogTest, LinesFromManyThreadsStayWhole) {
  FakeClock clock(20260305, 100000);
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([t] {
      for (int i = 0; i < 200; ++i) WriteLog(0, "thread %d line %d", t, i);
    });
  }
  for (std::thread& thread : threads) thread.join();
  const std::string content = ReadFileBytes(DayFile(20260305));
  size_t lines = 0;
  size_t start = 2 * kEnd.size();
  while (start < content.size()) {
    const size_t end = content.find(kEnd, start);
    ASSERT_NE(end, std::string::npos);
    const std::string line = content.substr(start, end - start);
    ASSERT_EQ(line.rfind("<Log_LV0> t=100000 thread ", 0), 0u) << line;
    ++lines;
    start = end + kEnd.size();
  }
  EXPECT_EQ(lines, 800u);
  EXPECT_EQ(window_->LogLines().size(), 800u);
}

TEST_F(RunLogTest, WithoutMainWindowNothingIsSent) {
  SetMainWindow(nullptr);
  EXPECT_EQ(SendToMainWindow(WM_MARKET_TIME, "93000", 0), 0);
  EXPECT_TRUE(window_->Messages().empty());
}

}  // namespace
}  // namespace fw
