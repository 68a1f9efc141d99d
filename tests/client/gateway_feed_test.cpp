// The simulator's encoders and feed sources, read back by the system's own frame cutter (written
// apart from the encoders) and by hand.
#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "feed/market_data_decoder.h"
#include "tests/client/client_fixture.h"
#include "tools/feed_source.h"
#include "tools/market_data_encoder.h"

namespace fw::tools {
namespace {

using Bytes = std::vector<uint8_t>;

int64_t BigEndian(const uint8_t* p, int bytes) {
  uint64_t v = 0;
  for (int i = 0; i < bytes; ++i) v = v << 8 | p[i];
  return static_cast<int64_t>(v);
}

TEST(MarketDataEncoder, HeartbeatAndLogoutBytes) {
  EXPECT_EQ(EncodeHeartbeat(), (Bytes{0, 0, 0, 3, 0, 0, 0, 0, 0, 0, 0, 3}));
  const Frame logout = EncodeLogout(0, "");
  ASSERT_EQ(logout.size(), 216u);
  EXPECT_EQ(logout[7], 204);
  EXPECT_EQ(logout[215], 206);
}

// Type 390090 = 00 05 F3 CA; body 29 bytes; checksum worked out by hand: header 5 + 243 + 202 + 29
// = 479, body 1 + 5 + 1 + 150 ("060") + 180 (1200) + 117 ("E0") + 192 (six blanks) = 646;
// 1125 mod 256 = 0x65.
TEST(MarketDataEncoder, StreamPhaseFieldByField) {
  const Frame frame = EncodeStreamPhase(1, 5, {{"060", 1200, "E0"}});
  const Bytes expected = {
      0,   0x05, 0xF3, 0xCA, 0, 0,    0,    29,  0,   0,   0,   0,   0,   0,   0,   1,  // OrigTime
      0,   5,                                                                           // ChannelNo
      0,   0,    0,    1,  // NoMDStreamID
      '0', '6',  '0',  0,    0, 0x04, 0xB0, 'E', '0', ' ', ' ', ' ', ' ', ' ', ' ', 0, 0, 0, 0x65};
  EXPECT_EQ(frame, expected);
}

TEST(MarketDataEncoder, TextsAreCutAndPadded) {
  const Frame frame = FrameEncoder(7).Text("abcdefg", 5).Text("ab", 4).Finish();
  EXPECT_EQ(Bytes(frame.begin() + 8, frame.end() - 4),
            (Bytes{'a', 'b', 'c', 'd', 'e', 'a', 'b', ' ', ' '}));
}

TEST(MarketDataEncoder, FixedChecksumMatchesTheChangedBytes) {
  Frame frame = EncodeHeartbeat();
  frame[3] = 9;
  FixFrameChecksum(&frame);
  EXPECT_EQ(frame[11], 9);
}

std::shared_ptr<const SampleDay> Day(uint32_t securities) {
  SampleDayOptions options;
  options.securityCount = securities;
  options.date = 20260305;
  options.seed = 3;
  return std::make_shared<const SampleDay>(BuildSampleDay(options));
}

std::vector<Frame> Play(FeedSource& source) {
  std::vector<Frame> frames;
  for (Frame f; source.Next(&f);) frames.push_back(f);
  return frames;
}

class SyntheticDay : public ::testing::Test {
 protected:
  void SetUp() override {
    day_ = Day(120);
    SyntheticDayFeed feed(day_, kRounds);
    frames_ = Play(feed);
    counts_ = feed.Counts();
  }
  static constexpr uint32_t kRounds = 5;
  std::shared_ptr<const SampleDay> day_;
  std::vector<Frame> frames_;
  SyntheticDayCounts counts_;
};

TEST_F(SyntheticDay, EveryFramePassesTheSystemsFrameCutter) {
  client::test::RecordingDispatcher recorder;
  feed::MarketDataDecoder decoder(&recorder);
  ASSERT_EQ(decoder.AllocateRing(), 1);
  for (const Frame& f : frames_) decoder.Process(f.data(), static_cast<uint32_t>(f.size()));
  EXPECT_EQ(recorder.Total(), frames_.size());
  EXPECT_EQ(frames_.size(), counts_.Total());
  EXPECT_EQ(recorder.Count(300111), counts_.cashAuction);
  EXPECT_EQ(recorder.Count(309011), day_->indexes.size() * kRounds);
  EXPECT_EQ(recorder.Count(309111), day_->stats.size() * kRounds);
  EXPECT_EQ(recorder.Count(300611), counts_.afterHours);
  EXPECT_EQ(recorder.Count(300592), counts_.negotiatedOrder);
  EXPECT_EQ(recorder.Count(300591), counts_.negotiatedOutcome);
  EXPECT_EQ(recorder.Count(390013), counts_.switches);
  EXPECT_EQ(recorder.Count(390090), 4u);
  EXPECT_GT(counts_.cashAuction, 0u);
  EXPECT_GT(counts_.afterHours, 0u);
  EXPECT_GT(counts_.negotiatedOrder, 0u);
}

TEST_F(SyntheticDay, TimestampsOnlyMoveForwardWithinTheDay) {
  int64_t previous = 0;
  for (const Frame& f : frames_) {
    const uint32_t type = static_cast<uint32_t>(BigEndian(f.data(), 4));
    if (type == 300592 || type == 300591) continue;  // no OrigTime in front
    const int64_t time = BigEndian(f.data() + 8, 8);
    EXPECT_GE(time, previous) << "type " << type;
    EXPECT_GE(time, 20260305091500000);
    EXPECT_LE(time, 20260305153000000);
    previous = time;
  }
}

// The last price of every security ("2 " entry) moves between rounds and ends at the model's
// close, within the day's limits.
TEST_F(SyntheticDay, PricesMoveAndEndAtTheClose) {
  std::map<std::string, std::vector<int64_t>> lastPrices;
  for (const Frame& f : frames_) {
    if (BigEndian(f.data(), 4) != 300111) continue;
    const uint8_t* body = f.data() + 8;
    const std::string code(reinterpret_cast<const char*>(body + 13), 6);
    size_t at = 8 + 2 + 3 + 8 + 4 + 8 + 8 + 8 + 8 + 8;
    const int64_t entries = BigEndian(body + at, 4);
    at += 4;
    for (int64_t e = 0; e < entries; ++e) {
      const std::string type(reinterpret_cast<const char*>(body + at), 2);
      const int64_t px = BigEndian(body + at + 2, 8);
      const int64_t orders = BigEndian(body + at + 2 + 8 + 8 + 2 + 8, 4);
      at += 2 + 8 + 8 + 2 + 8 + 4 + 8 * static_cast<size_t>(orders);
      if (type == "2 ") lastPrices[code].push_back(px);
    }
    EXPECT_EQ(at, f.size() - 12) << code;
  }
  size_t moving = 0;
  for (const SampleSecurity& s : day_->securities) {
    const auto it = lastPrices.find(s.code);
    if (it == lastPrices.end()) continue;
    ASSERT_EQ(it->second.size(), kRounds) << s.code;
    EXPECT_EQ(it->second.back(), s.closePx * 1000) << s.code;
    for (const int64_t px : it->second) {
      if (s.hasPriceLimit) {
        EXPECT_GE(px, s.limitDownPx * 1000) << s.code;
        EXPECT_LE(px, s.limitUpPx * 1000) << s.code;
      }
    }
    if (it->second.front() != it->second.back()) ++moving;
  }
  EXPECT_GT(moving, lastPrices.size() / 2);
}

TEST_F(SyntheticDay, TheDayEndsWithTheStreamCloses) {
  ASSERT_GE(frames_.size(), 2u);
  const Frame& last = frames_.back();
  EXPECT_EQ(BigEndian(last.data(), 4), 390090);
  const uint8_t* body = last.data() + 8;
  const int64_t entries = BigEndian(body + 10, 4);
  ASSERT_EQ(entries, 4);
  for (int64_t e = 0; e < entries; ++e) EXPECT_EQ(body[14 + e * 15 + 7], 'E');
}

TEST_F(SyntheticDay, SameModelGivesTheSameDay) {
  SyntheticDayFeed again(Day(120), kRounds);
  EXPECT_TRUE(Play(again) == frames_);
}

TEST(CaptureReplay, FramesAndForeignBytesAreCutApart) {
  const Frame a = EncodeHeartbeat();
  const Frame b = EncodeStreamPhase(1, 5, {{"060", 1200, "E0"}});
  std::string file = "\xFF\xFF\xFF";
  file.append(a.begin(), a.end());
  file.append(b.begin(), b.end());
  file += std::string("\0\0\0\x09\0\0\0\x40", 8);  // announces a body the file does not hold
  CaptureReplayFeed replay(std::make_shared<const std::string>(file));
  const std::vector<Frame> parts = Play(replay);
  ASSERT_EQ(parts.size(), 4u);
  EXPECT_EQ(parts[0], (Bytes{0xFF, 0xFF, 0xFF}));
  EXPECT_EQ(parts[1], a);
  EXPECT_EQ(parts[2], b);
  EXPECT_EQ(parts[3].size(), 8u);
}

TEST(CaptureReplay, EmptyFilePlaysNothing) {
  CaptureReplayFeed replay(std::make_shared<const std::string>());
  Frame f;
  EXPECT_FALSE(replay.Next(&f));
}

}  // namespace
}  // namespace fw::tools
