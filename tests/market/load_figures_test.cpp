// The figures of the write thread's optional cycle report, which the soak run reads: the records
// the handlers stored, and the handlers' longest wait for the state's lock.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "tests/market/market_fixture.h"

namespace fw::market {
namespace {

using test::AuctionEntry;
using test::MarketFixture;
using test::SnapshotHeader;

class LoadFigures : public MarketFixture {};

SnapshotHeader Header(const std::string& stream, const std::string& code) {
  SnapshotHeader h;
  h.stream = stream;
  h.code = code;
  return h;
}

// Stored: the snapshot of 000001 (1), the index snapshot (one record in each index table: 2), the
// statistic (1), the auction and negotiated stream groups of the phase message (2), the order and
// its outcome (2). Not stored: a code without a row, a foreign stream, a short body, an unknown
// stream in the phase message.
TEST_F(LoadFigures, EveryStoredRecordIsCountedAndNothingElse) {
  EXPECT_EQ(state_.UpdatesApplied(), 0u);
  Feed(test::CashAuctionSnapshot(Header("010", "000001"), {{"2 ", 10500000}}));
  EXPECT_EQ(state_.UpdatesApplied(), 1u);
  Feed(test::CashAuctionSnapshot(Header("010", "000629"), {{"2 ", 10500000}}));
  Feed(test::CashAuctionSnapshot(Header("040", "000001"), {{"2 ", 10500000}}));
  test::Bytes shortBody = test::CashAuctionSnapshot(Header("010", "000002"), {}).Body();
  shortBody.pop_back();
  Feed(test::FrameAround(feed::kMsgCashAuctionSnapshot, shortBody));
  EXPECT_EQ(state_.UpdatesApplied(), 1u);

  Feed(test::IndexSnapshot(Header("900", "399001"), {{"3 ", 10234567890}}));
  EXPECT_EQ(state_.UpdatesApplied(), 3u);
  Feed(test::VolumeStatSnapshot(Header("910", "395001"), 1500));
  Feed(test::StreamPhaseMessage({{"010", "E0"}, {"051", "T0"}, {"999", "E0"}}));
  EXPECT_EQ(state_.UpdatesApplied(), 6u);
  Feed(test::NegotiatedOrderMessage(test::NegotiatedOrder{}));
  Feed(test::NegotiatedOutcomeMessage(1, "000001", 'F'));
  EXPECT_EQ(state_.UpdatesApplied(), 8u);
}

TEST_F(LoadFigures, LockThatWasAlwaysFreeShowsNoWait) {
  for (int i = 0; i < 100; ++i) {
    Feed(test::CashAuctionSnapshot(Header("010", "000001"), {{"2 ", 10500000 + i * 1000}}));
  }
  EXPECT_EQ(state_.TakeLongestHandlerWaitUs(), 0u);
}

// A store made while another thread holds the lock waits for it, and that wait is kept until it is
// taken. Whether the handler reached the lock while it was held cannot be observed from outside,
// so the hold is repeated until one store did.
TEST_F(LoadFigures, WaitBehindAHeldLockIsKeptUntilTaken) {
  uint64_t waited = 0;
  for (int attempt = 0; attempt < 50 && waited == 0; ++attempt) {
    std::atomic<bool> started{false};
    std::thread handler;
    state_.WithLock([&] {
      handler = std::thread([&] {
        started = true;
        Feed(test::CashAuctionSnapshot(Header("010", "000001"), {{"2 ", 10600000}}));
      });
      while (!started) std::this_thread::yield();
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
      return 0;
    });
    handler.join();
    waited = state_.TakeLongestHandlerWaitUs();
  }
  EXPECT_GT(waited, 0u);
  EXPECT_EQ(state_.TakeLongestHandlerWaitUs(), 0u);
}

}  // namespace
}  // namespace fw::market
