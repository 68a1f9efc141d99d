// The main window's mailbox: workers never wait, the window is woken once per batch, the queue
// keeps what the window would show, and nothing reaches a window that is gone.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "foundation/run_log.h"
#include "tests/support/test_support.h"
#include "ui/window_mailbox.h"

namespace fw::ui {
namespace {

class WindowMailboxTest : public ::testing::Test {
 protected:
  void AttachCounting(bool answer = true) {
    mailbox_.Attach([this, answer] {
      ++wakeUps_;
      return answer;
    });
  }
  void Line(const std::string& text) { mailbox_.Deliver(WM_LOG_LINE, text, 0); }

  WindowMailbox mailbox_{500};
  int wakeUps_ = 0;
};

TEST_F(WindowMailboxTest, DeliveriesBeforeAttachAreDropped) {
  Line("early");
  mailbox_.Deliver(WM_MARKET_TIME, "93000", 0);
  const WindowMailbox::Mail mail = mailbox_.Take();
  EXPECT_TRUE(mail.lines.empty());
  EXPECT_FALSE(mail.marketTime.has_value());
}

TEST_F(WindowMailboxTest, OneWakeUpPerBatchInArrivalOrder) {
  AttachCounting();
  Line("a");
  Line("b");
  Line("c");
  EXPECT_EQ(wakeUps_, 1);
  WindowMailbox::Mail mail = mailbox_.Take();
  EXPECT_EQ(std::vector<std::string>(mail.lines.begin(), mail.lines.end()),
            (std::vector<std::string>{"a", "b", "c"}));
  Line("d");
  EXPECT_EQ(wakeUps_, 2);
  mail = mailbox_.Take();
  ASSERT_EQ(mail.lines.size(), 1u);
  EXPECT_EQ(mail.lines.front(), "d");
}

TEST_F(WindowMailboxTest, WakeUpThatCouldNotBePostedIsAskedAgain) {
  AttachCounting(false);
  Line("a");
  Line("b");
  EXPECT_EQ(wakeUps_, 2);
  EXPECT_EQ(mailbox_.Take().lines.size(), 2u);
}

TEST_F(WindowMailboxTest, FullQueueKeepsTheNewestLines) {
  WindowMailbox small(3);
  small.Attach([] { return true; });
  for (const char* text : {"1", "2", "3", "4", "5"}) small.Deliver(WM_LOG_LINE, text, 0);
  const WindowMailbox::Mail mail = small.Take();
  EXPECT_EQ(std::vector<std::string>(mail.lines.begin(), mail.lines.end()),
            (std::vector<std::string>{"3", "4", "5"}));
  EXPECT_EQ(small.LinesDropped(), 2u);
}

TEST_F(WindowMailboxTest, OnlyTheLatestMarketTimeIsKeptEvenWhenEmpty) {
  AttachCounting();
  mailbox_.Deliver(WM_MARKET_TIME, "93000", 0);
  mailbox_.Deliver(WM_MARKET_TIME, "93001", 0);
  EXPECT_EQ(mailbox_.Take().marketTime, std::optional<std::string>("93001"));
  mailbox_.Deliver(WM_MARKET_TIME, "93002", 0);
  mailbox_.Deliver(WM_MARKET_TIME, "", 0);
  EXPECT_EQ(mailbox_.Take().marketTime, std::optional<std::string>(""));
  EXPECT_FALSE(mailbox_.Take().marketTime.has_value());
}

TEST_F(WindowMailboxTest, OtherMessagesAreIgnored) {
  AttachCounting();
  mailbox_.Deliver(WM_MARKET_TIME + 1, "x", 0);
  mailbox_.Deliver(0, "x", 0);
  EXPECT_EQ(wakeUps_, 0);
  EXPECT_TRUE(mailbox_.Take().lines.empty());
}

TEST_F(WindowMailboxTest, DetachDropsTheQueueAndEndsWakeUps) {
  AttachCounting();
  Line("queued");
  mailbox_.Detach();
  EXPECT_TRUE(mailbox_.Take().lines.empty());
  Line("late");
  mailbox_.Deliver(WM_MARKET_TIME, "93000", 0);
  EXPECT_EQ(wakeUps_, 1);
  const WindowMailbox::Mail mail = mailbox_.Take();
  EXPECT_TRUE(mail.lines.empty());
  EXPECT_FALSE(mail.marketTime.has_value());
}

TEST_F(WindowMailboxTest, RunLogLinesArriveWithoutTheirLineEnd) {
  auto mailbox = std::make_shared<WindowMailbox>(500);
  mailbox->Attach([] { return true; });
  test::TempDir dir;
  SetRunLogFolder(dir.File("log"));
  SetRunLogConsolePrinter([](std::string_view) {});
  SetMainWindow(mailbox);
  test::FakeClock clock(20260305, 93005);
  WriteLog(258, "<Test>line %d", 7);
  SetMainWindow(nullptr);
  CloseRunLog();
  SetRunLogFolder(".\\log");
  SetRunLogConsolePrinter(nullptr);
  const WindowMailbox::Mail mail = mailbox->Take();
  ASSERT_EQ(mail.lines.size(), 1u);
  EXPECT_EQ(mail.lines.front(), "<Log_LV2> t=93005 <Test>line 7");
}

// Workers deliver while the window takes and finally goes away: every line taken arrives in its
// worker's order, and deliveries after the end are dropped (run under ASan and TSan too).
TEST(WindowMailboxThreads, WorkersNeverLoseOrderAndStopAtDetach) {
  constexpr int kWorkers = 4;
  constexpr int kLines = 2000;
  WindowMailbox mailbox(kWorkers * kLines);
  std::atomic<int> wakeUps{0};
  mailbox.Attach([&] {
    ++wakeUps;
    return true;
  });
  std::atomic<bool> go{false};
  std::vector<std::thread> workers;
  for (int w = 0; w < kWorkers; ++w) {
    workers.emplace_back([&, w] {
      while (!go) std::this_thread::yield();
      for (int i = 0; i < kLines; ++i) {
        mailbox.Deliver(WM_LOG_LINE, std::to_string(w) + ":" + std::to_string(i), 0);
      }
    });
  }
  go = true;
  std::vector<int> next(kWorkers, 0);
  int taken = 0;
  bool ordered = true;
  auto drain = [&] {
    for (const std::string& line : mailbox.Take().lines) {
      const int w = line[0] - '0';
      ordered = ordered && std::stoi(line.substr(2)) == next[static_cast<size_t>(w)];
      ++next[static_cast<size_t>(w)];
      ++taken;
    }
  };
  while (taken < kWorkers * kLines) drain();
  for (std::thread& t : workers) t.join();
  EXPECT_TRUE(ordered);
  EXPECT_EQ(taken, kWorkers * kLines);
  EXPECT_LE(wakeUps.load(), kWorkers * kLines);

  std::thread late([&] {
    for (int i = 0; i < kLines; ++i) mailbox.Deliver(WM_LOG_LINE, "late", 0);
  });
  mailbox.Detach();
  const int wakeUpsAtDetach = wakeUps.load();
  late.join();
  EXPECT_EQ(wakeUps.load(), wakeUpsAtDetach);
  EXPECT_TRUE(mailbox.Take().lines.empty());
}

}  // namespace
}  // namespace fw::ui
