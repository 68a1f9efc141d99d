#include "foundation/thread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <thread>

#include "tests/support/run_log_fixture.h"

namespace fw {
namespace {

// Waits (polling) up to ten seconds for a condition that another thread will make true.
template <typename Predicate>
bool Eventually(Predicate predicate) {
  for (int i = 0; i < 2000 && !predicate(); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  return predicate();
}

TEST(MThread, BodyThatPollsEndsWellWithinStop) {
  MThread thread;
  std::atomic<int> passes{0};
  ASSERT_EQ(thread.Start("poller",
                         [&] {
                           while (!MThread::CurrentStopRequested()) {
                             ++passes;
                             MThread::CurrentWaitForStop(200);
                           }
                           return 0;
                         }),
            1);
  EXPECT_EQ(thread.Name(), "poller");
  ASSERT_TRUE(Eventually([&] { return passes.load() > 0; }));
  EXPECT_FALSE(thread.IsStopRequested());
  thread.Stop(5000);
  EXPECT_TRUE(thread.IsStopRequested());
  EXPECT_FALSE(thread.IsRunning());
}

TEST(MThread, WaitEndsAtOnceOnAStopRequest) {
  MThread thread;
  std::atomic<bool> woke{false};
  thread.Start("sleeper", [&] {
    // A wait far longer than any test: only the stop request can end it.
    MThread::CurrentWaitForStop(600000);
    woke = true;
    return 0;
  });
  thread.Stop(60000);
  EXPECT_TRUE(woke.load());
  EXPECT_FALSE(thread.IsRunning());
}

TEST(MThread, ThreadIgnoringItsStopIsAbandonedAndStopReturns) {
  auto release = std::make_shared<std::atomic<bool>>(false);
  auto finished = std::make_shared<std::atomic<bool>>(false);
  {
    MThread thread;
    thread.Start("stubborn", [release, finished] {
      while (!release->load()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
      *finished = true;
      return 0;
    });
    thread.Stop(50);
    EXPECT_FALSE(thread.IsRunning());  // given up
    EXPECT_FALSE(finished->load());
  }  // the object goes while the abandoned thread still runs
  *release = true;
  EXPECT_TRUE(Eventually([&] { return finished->load(); }));
}

TEST(MThread, StartStopsTheRunningThreadFirst) {
  MThread thread;
  std::atomic<int> firstEnded{0};
  thread.Start("first", [&] {
    while (!MThread::CurrentStopRequested()) MThread::CurrentWaitForStop(1000);
    ++firstEnded;
    return 0;
  });
  std::atomic<bool> secondRan{false};
  ASSERT_EQ(thread.Start("second",
                         [&] {
                           secondRan = true;
                           while (!MThread::CurrentStopRequested())
                             MThread::CurrentWaitForStop(1000);
                           return 0;
                         }),
            1);
  EXPECT_EQ(firstEnded.load(), 1);
  EXPECT_TRUE(Eventually([&] { return secondRan.load(); }));
  EXPECT_FALSE(thread.IsStopRequested());
  thread.Stop(5000);
}

TEST(MThread, StopAllReachesEveryThreadAndStartClearsIt) {
  MThread a, b, idle;
  std::atomic<int> ended{0};
  auto body = [&] {
    while (!MThread::CurrentStopRequested()) MThread::CurrentWaitForStop(600000);
    ++ended;
    return 0;
  };
  a.Start("a", body);
  b.Start("b", body);
  MThread::StopAll();
  EXPECT_TRUE(MThread::CurrentStopRequested());
  EXPECT_TRUE(Eventually([&] { return ended.load() == 2; }));
  EXPECT_TRUE(idle.IsStopRequested());
  a.Stop(5000);
  b.Stop(5000);
  // A later start clears the process-wide flag again.
  a.Start("again", [] { return 0; });
  EXPECT_FALSE(MThread::CurrentStopRequested());
  a.Stop(5000);
}

TEST(MThread, PlainEntryFunctionGetsItsArgument) {
  MThread thread;
  std::atomic<int> value{0};
  auto entry = [](void* argument) {
    static_cast<std::atomic<int>*>(argument)->store(42);
    return 0;
  };
  thread.Start("entry", entry, &value);
  EXPECT_TRUE(Eventually([&] { return value.load() == 42; }));
  EXPECT_TRUE(Eventually([&] { return thread.HasEnded(); }));
  thread.Stop(5000);
}

using MThreadLog = test::RunLogFixture;

TEST_F(MThreadLog, BodyThatThrowsEndsWithALineNamingTheThread) {
  struct Case {
    std::function<int()> body;
    const char* line;
  };
  const Case cases[] = {
      {[]() -> int { throw std::runtime_error("disk gone"); },
       "<Log_LV2> t=100000 <MThread>线程[writer]异常退出: disk gone"},
      {[]() -> int { throw 7; }, "<Log_LV2> t=100000 <MThread>线程[writer]异常退出: 未知异常"},
  };
  test::FakeClock clock(20260305, 100000);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    window_->Clear();
    MThread thread;
    ASSERT_EQ(thread.Start("writer", c.body), 1);
    ASSERT_TRUE(Eventually([&] { return thread.HasEnded(); }));
    thread.Stop(5000);
    EXPECT_EQ(window_->LogLines(), std::vector<std::string>{c.line});
  }
}

TEST(MThread, StopWithoutThreadOnlySetsTheFlag) {
  MThread thread;
  EXPECT_TRUE(thread.IsStopRequested());  // set at construction
  thread.Stop(5000);
  EXPECT_TRUE(thread.IsStopRequested());
  EXPECT_FALSE(thread.IsRunning());
}

}  // namespace
}  // namespace fw
