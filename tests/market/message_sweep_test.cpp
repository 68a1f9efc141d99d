// Sweeps over a realistic body of every market data message type: cut at every length, lengthened,
// and corrupted at every byte (the frame's checksum fixed up, so that the handler's own checks are
// what stands between the bytes and the state). A body the handler rejects must change nothing;
// the only changes a bad body may leave are the ones a message makes while it is read (security
// switches of 390013, stream flags of 390090).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/market/market_fixture.h"

namespace fw::market {
namespace {

using test::Bytes;
using test::FrameAround;
using test::Message;
using test::SnapshotHeader;
using test::StateImage;

// Byte range of a top-level repeat count in the body: any corruption of it changes how many bytes
// the handler reads, so the body can no longer end where the reading does.
struct ByteRange {
  size_t begin = 0;
  size_t end = 0;
  bool Contains(size_t i) const { return i >= begin && i < end; }
};

struct SweepCase {
  const char* name;
  Message message;
  size_t finishLines;  // Finish lines per rejected message: 2 for 309011 (one per index table)
  ByteRange count;
};

constexpr size_t kSnapshotHeaderBytes = 65;  // the ten header fields of the snapshots

std::vector<SweepCase> Cases() {
  std::vector<SweepCase> cases;
  {
    SnapshotHeader h;
    h.origTime = 20260305100000000;
    h.code = "000001";
    h.phase = "H0";
    h.prevClosePx = 105000;
    h.numTrades = 1234;
    h.totalVolume = 123456700;
    h.totalValue = 12345678900;
    std::vector<test::AuctionEntry> entries;
    for (uint16_t level = 1; level <= 5; ++level) {
      entries.push_back({"0 ", 10490000 - level * 10000, 100000 + level, level, {}});
      entries.push_back({"1 ", 10510000 + level * 10000, 200000 + level, level, {}});
    }
    entries[0].orderQty = {5000, 6000};
    for (const char* type : {"2 ", "4 ", "7 ", "8 ", "x1", "x2", "x5", "x6"}) {
      entries.push_back({type, 10500000, 0, 0, {}});
    }
    cases.push_back({"300111",
                     test::CashAuctionSnapshot(h, entries),
                     1,
                     {kSnapshotHeaderBytes, kSnapshotHeaderBytes + 4}});
  }
  {
    SnapshotHeader h;
    h.origTime = 20260305100100000;
    h.stream = "900";
    h.code = "399001";
    h.numTrades = 55;
    h.totalVolume = 99900;
    h.totalValue = 88800;
    cases.push_back({"309011",
                     test::IndexSnapshot(h, {{"3 ", 10300000000},
                                             {"xa", 10200000000},
                                             {"xb", 10210000000},
                                             {"xc", 10400000000},
                                             {"xd", 10100000000}}),
                     2,
                     {kSnapshotHeaderBytes, kSnapshotHeaderBytes + 4}});
  }
  {
    SnapshotHeader h;
    h.stream = "910";
    h.code = "395001";
    h.numTrades = 5;
    h.totalVolume = 500;
    h.totalValue = 600;
    cases.push_back({"309111", test::VolumeStatSnapshot(h, 1500), 1, {}});
  }
  {
    SnapshotHeader h;
    h.stream = "060";
    h.code = "000002";
    h.numTrades = 3;
    h.totalVolume = 30000;
    h.totalValue = 600000;
    cases.push_back(
        {"300611",
         test::AfterHoursSnapshot(h, {{"0 ", 20000000, 20000}, {"1 ", 20000000, 10000}}),
         1,
         {kSnapshotHeaderBytes, kSnapshotHeaderBytes + 4}});
  }
  {
    test::NegotiatedOrder o;
    o.sequence = 2;
    o.confirmId = "CONF0001";
    cases.push_back({"300592", test::NegotiatedOrderMessage(o), 1, {}});
  }
  cases.push_back({"300591", test::NegotiatedOutcomeMessage(1, "000001", 'F'), 1, {}});
  cases.push_back(
      {"390013",
       test::SecuritySwitchMessage(20260305100200000, "000002", {{1, 1}, {3, 0}, {12, 1}}),
       1,
       {30, 34}});
  return cases;
}

class MessageSweepTest : public test::MarketFixture {
 protected:
  // Feeds one body after a fresh build; returns the number of Finish lines it caused.
  size_t FeedBody(uint32_t type, const Bytes& body) {
    Rebuild();
    before_ = StateImage(state_);
    beforeNoSwitches_ = StateImage(state_, true, false);
    beforeNoClock_ = StateImage(state_, false);
    const uint64_t shortBefore = decoder_.Counters().ShortBodies();
    const uint64_t longBefore = decoder_.Counters().LongBodies();
    Feed(FrameAround(type, body));
    shortCounted_ = decoder_.Counters().ShortBodies() - shortBefore;
    longCounted_ = decoder_.Counters().LongBodies() - longBefore;
    const std::string id = "[" + std::to_string(type) + "]";
    shortLines_ = window_->CountLines("some error in " + id);
    longLines_ = window_->CountLines("some len error in " + id);
    return shortLines_ + longLines_;
  }
  // What the message may leave behind even when it is rejected.
  bool UnchangedApartFromSwitches(uint32_t type) {
    if (type == feed::kMsgSecuritySwitch)
      return StateImage(state_, true, false) == beforeNoSwitches_;
    return StateImage(state_) == before_;
  }

  std::string before_;
  std::string beforeNoSwitches_;
  std::string beforeNoClock_;
  size_t shortLines_ = 0;
  size_t longLines_ = 0;
  uint64_t shortCounted_ = 0;  // rejected bodies counted: once per message, however many lines
  uint64_t longCounted_ = 0;
};

TEST_F(MessageSweepTest, IntactBodiesApplyWithoutAnyLine) {
  for (const SweepCase& c : Cases()) {
    const Bytes body = c.message.Body();
    EXPECT_EQ(FeedBody(c.message.Type(), body), 0u) << c.name;
    EXPECT_NE(StateImage(state_), before_)
        << c.name << " must change the state for the sweeps to mean anything";
  }
}

TEST_F(MessageSweepTest, EveryTruncatedBodyIsRejectedAndChangesNothing) {
  for (const SweepCase& c : Cases()) {
    const Bytes body = c.message.Body();
    for (size_t length = 0; length < body.size(); ++length) {
      const Bytes cut(body.begin(), body.begin() + static_cast<std::ptrdiff_t>(length));
      FeedBody(c.message.Type(), cut);
      EXPECT_EQ(shortLines_, c.finishLines) << c.name << " cut to " << length;
      EXPECT_EQ(longLines_, 0u) << c.name << " cut to " << length;
      EXPECT_EQ(shortCounted_ + longCounted_, c.finishLines > 0 ? 1u : 0u) << c.name;
      EXPECT_TRUE(UnchangedApartFromSwitches(c.message.Type())) << c.name << " cut to " << length;
    }
  }
}

TEST_F(MessageSweepTest, EveryLengthenedBodyIsRejectedAndChangesNothing) {
  for (const SweepCase& c : Cases()) {
    for (const size_t extra : {1u, 2u, 7u, 8u, 33u}) {
      Bytes body = c.message.Body();
      body.insert(body.end(), extra, static_cast<uint8_t>(extra));
      FeedBody(c.message.Type(), body);
      EXPECT_EQ(longLines_, c.finishLines) << c.name << " + " << extra;
      EXPECT_EQ(shortLines_, 0u) << c.name << " + " << extra;
      EXPECT_EQ(longCounted_ + shortCounted_, c.finishLines > 0 ? 1u : 0u) << c.name;
      EXPECT_TRUE(UnchangedApartFromSwitches(c.message.Type())) << c.name << " + " << extra;
    }
  }
}

TEST_F(MessageSweepTest, CorruptedBodiesAreEitherRejectedWholeOrRead) {
  for (const SweepCase& c : Cases()) {
    const Bytes body = c.message.Body();
    for (size_t i = 0; i < body.size(); ++i) {
      for (const uint8_t flip : {uint8_t{0x01}, uint8_t{0x80}, uint8_t{0xFF}}) {
        Bytes bad = body;
        bad[i] = static_cast<uint8_t>(bad[i] ^ flip);
        const size_t lines = FeedBody(c.message.Type(), bad);
        if (c.count.Contains(i)) {
          EXPECT_EQ(lines, c.finishLines) << c.name << " byte " << i << " ^ " << int{flip};
        }
        if (lines > 0) {
          EXPECT_EQ(lines, c.finishLines) << c.name << " byte " << i << " ^ " << int{flip};
          EXPECT_TRUE(UnchangedApartFromSwitches(c.message.Type()))
              << c.name << " byte " << i << " ^ " << int{flip};
        }
      }
    }
  }
}

// 390013 sets switch characters while it reads: a cut body keeps those of its complete entries,
// and the entry for the code exists as soon as the code was read.
TEST_F(MessageSweepTest, CutSwitchMessageKeepsTheSwitchesOfItsCompleteEntries) {
  const Message m =
      test::SecuritySwitchMessage(20260305100200000, "000002", {{1, 1}, {3, 0}, {12, 1}});
  const Bytes body = m.Body();
  ASSERT_EQ(body.size(), 46u);  // 34 bytes before the entries, 4 per entry
  for (size_t length = 0; length <= body.size(); ++length) {
    FeedBody(m.Type(), Bytes(body.begin(), body.begin() + static_cast<std::ptrdiff_t>(length)));
    refdata::FeedOverlay overlay;
    state_.SnapshotOverlay(&overlay);
    const refdata::SecuritySwitchRecord* entry = overlay.FindSwitch(2);
    if (length < 18) {  // OrigTime, ChannelNo and SecurityID not all there
      EXPECT_EQ(entry, nullptr) << length;
      continue;
    }
    ASSERT_NE(entry, nullptr) << length;
    const size_t complete = length < 34 ? 0 : (length - 34) / 4;
    EXPECT_EQ(entry->Switch(1), complete >= 1 ? 'T' : '\0') << length;
    EXPECT_EQ(entry->Switch(3), complete >= 2 ? 'F' : '\0') << length;
    EXPECT_EQ(entry->Switch(12), complete >= 3 ? 'T' : '\0') << length;
    // The market time moves only for the whole message.
    EXPECT_EQ(state_.Clock().marketTime, length == body.size() ? 100200 : 0) << length;
  }
}

// 390090 has no end-of-body check: a cut body keeps the flags of its complete entries and logs
// nothing; a lengthened one applies all of them.
TEST_F(MessageSweepTest, CutStreamPhaseMessageKeepsTheFlagsOfItsCompleteEntries) {
  const Message m = test::StreamPhaseMessage({{"010", "T0"}, {"051", "E0"}, {"061", "T1"}});
  Bytes body = m.Body();
  ASSERT_EQ(body.size(), 59u);  // 14 bytes before the entries, 15 per entry
  for (size_t length = 0; length <= body.size() + 9; ++length) {
    Bytes cut = body;
    cut.resize(length, 0x45);
    EXPECT_EQ(FeedBody(m.Type(), cut), 0u) << length;
    const size_t complete = length < 14 ? 0 : (length - 14) / 15;
    const MarketClock clock = state_.Clock();
    EXPECT_EQ(clock.AuctionClosed, complete >= 1 ? '0' : '1') << length;
    EXPECT_EQ(clock.NegotiatedClosed, complete >= 2 ? '1' : '0') << length;
    EXPECT_EQ(clock.AfterHoursClosed, complete >= 3 ? '0' : '1') << length;
    EXPECT_EQ(StateImage(state_, false), beforeNoClock_) << length;
  }
}

}  // namespace
}  // namespace fw::market
