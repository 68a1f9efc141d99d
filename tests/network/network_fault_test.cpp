// The feed client with the real processor, decoder and handlers against the loopback gateway
// simulator breaking the connection on purpose. For every fault the test knows what the simulator
// sent completely (the day's frames are played again and cut where the simulator stopped), records
// what the decoder handed to the handlers, and requires the two to match frame for frame: nothing
// received is lost, nothing is applied twice, and the client reconnects with the lines the session
// rules give. The market state the handlers built is then checked against the day's model.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "client/static_client.h"
#include "feed/market_data_decoder.h"
#include "feed/market_data_handlers.h"
#include "foundation/platform/platform.h"
#include "foundation/platform/socket.h"
#include "processor/process_io.h"
#include "shell/market_processor_gate.h"
#include "tests/client/client_fixture.h"
#include "tests/support/day_config.h"
#include "tests/support/market_rows.h"
#include "tools/feed_source.h"
#include "tools/gateway_simulator.h"
#include "tools/market_data_encoder.h"
#include "tools/sample_day.h"

namespace fw::client {
namespace {

using fw::test::SetText;
using tools::Frame;
using tools::GatewayOptions;
using tools::GatewaySimulator;
using Frames = std::vector<Frame>;

constexpr uint32_t kThursday = 20260305;
constexpr int32_t kHeartbeatSeconds = 3600;  // no Heartbeat answer may slip into a recording

constexpr const char kPassiveClose[] = "<MClientIO>与源服务器<127.0.0.1>断开连接(被动关闭连接)";
constexpr const char kNormalClose[] = "<MClientIO>与源服务器<127.0.0.1>断开连接(正常关闭连接)";
constexpr const char kUnusable[] = "<MClientIO>与源服务器<127.0.0.1>断开连接(套接字不可用)";
constexpr const char kOvertime[] =
    "<MClientIO>recv data overtime(for 2 minutes), connecting server";
constexpr const char kConnected[] = "<StaticClient>与源服务器<127.0.0.1>建立连接成功";

uint32_t TypeOf(const Frame& f) {
  return static_cast<uint32_t>(f[0]) << 24 | static_cast<uint32_t>(f[1]) << 16 |
         static_cast<uint32_t>(f[2]) << 8 | f[3];
}

// Everything the decoder delivers, in order, handed on to the real handlers.
class RecordingHandlers : public feed::FrameDispatcher {
 public:
  explicit RecordingHandlers(feed::FrameDispatcher& next) : next_(next) {}
  void Dispatch(uint32_t msgType, const uint8_t* body, uint32_t bodyLength) override {
    Frame f(bodyLength + 12u, 0);
    for (int i = 0; i < 4; ++i) {
      f[static_cast<size_t>(i)] = static_cast<uint8_t>(msgType >> (24 - 8 * i));
      f[static_cast<size_t>(4 + i)] = static_cast<uint8_t>(bodyLength >> (24 - 8 * i));
    }
    std::copy(body, body + bodyLength, f.begin() + 8);
    {
      std::lock_guard<std::mutex> lock(mutex_);
      frames_.push_back(std::move(f));
    }
    next_.Dispatch(msgType, body, bodyLength);
  }
  Frames Taken() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return frames_;
  }
  void Clear() {
    std::lock_guard<std::mutex> lock(mutex_);
    frames_.clear();
  }

 private:
  feed::FrameDispatcher& next_;
  mutable std::mutex mutex_;
  Frames frames_;  // header and body as delivered; the checksum bytes are left zero
};

// Header and body only: the recording cannot know the checksum the gateway sent.
std::vector<uint8_t> WithoutChecksum(const Frame& f) {
  return std::vector<uint8_t>(f.begin(), f.end() - 4);
}

std::map<uint32_t, size_t> CountByType(const Frames& frames) {
  std::map<uint32_t, size_t> counts;
  for (const Frame& f : frames) ++counts[TypeOf(f)];
  return counts;
}

// Whether `got` is `first` (cut after some whole frame when firstMayBeCut) followed by `second`.
::testing::AssertionResult DeliveredInOrder(const Frames& got, const Frames& first,
                                            const Frames& second, bool firstMayBeCut) {
  size_t kept = first.size();
  if (firstMayBeCut && got.size() >= second.size() && got.size() - second.size() <= first.size()) {
    kept = got.size() - second.size();
  }
  Frames expected(first.begin(), first.begin() + static_cast<std::ptrdiff_t>(kept));
  expected.insert(expected.end(), second.begin(), second.end());
  for (size_t i = 0; i < expected.size() && i < got.size(); ++i) {
    if (WithoutChecksum(expected[i]) != WithoutChecksum(got[i])) {
      return ::testing::AssertionFailure() << "frame " << i << " is of type " << TypeOf(got[i])
                                           << " where type " << TypeOf(expected[i]) << " was sent";
    }
  }
  if (got.size() != expected.size()) {
    return ::testing::AssertionFailure()
           << got.size() << " frames delivered where " << expected.size() << " were sent";
  }
  return ::testing::AssertionSuccess();
}

class NetworkFaults : public test::LoggingTest {
 protected:
  void SetUp() override {
    LoggingTest::SetUp();
    tools::SampleDayOptions options;
    options.securityCount = 40;
    options.date = kThursday;
    options.seed = 5;
    day_ = std::make_shared<const tools::SampleDay>(tools::BuildSampleDay(options));
    const std::string xml = dir_.File("xml") + platform::kPathSeparator;
    ASSERT_GE(tools::WriteSampleDay(*day_, xml), 0);
    UseRounds(2);

    config_ = test::LoopbackConfig(0);
    config_.heartbt = kHeartbeatSeconds;
    fw::test::PointAtDay(&config_, xml, dir_.Prefix());
    config_.useholiday = true;
    processor_.SetConfig(config_);
    processor_.SetFeedRing(&decoder_.Ring());
    ASSERT_EQ(decoder_.AllocateRing(), 1);
  }
  void TearDown() override {
    StopAll();
    LoggingTest::TearDown();
  }

  void StopAll() {
    if (client_) client_->Stop();
    client_.reset();
    gateway_.Stop();
  }

  // The day the gateway plays: every security, index and statistic `rounds` times (at least 2).
  void UseRounds(uint32_t rounds) {
    rounds_ = rounds;
    tools::SyntheticDayFeed feed(day_, rounds);
    day_frames_.clear();
    for (Frame f; feed.Next(&f);) day_frames_.push_back(f);
    counts_ = feed.Counts();
  }
  std::function<std::unique_ptr<tools::FeedSource>()> Source() const {
    auto day = day_;
    const uint32_t rounds = rounds_;
    return [day, rounds] { return std::make_unique<tools::SyntheticDayFeed>(day, rounds); };
  }

  // The gateway's answer to the client's Logon.
  Frame LogonAnswer() const {
    return tools::EncodeLogon("SZSEGW", "FENWRIGHT", kHeartbeatSeconds, "", "1.00");
  }
  // A session that sends its answer and the whole day.
  Frames WholeSession() const {
    Frames frames{LogonAnswer()};
    frames.insert(frames.end(), day_frames_.begin(), day_frames_.end());
    return frames;
  }
  // The answer and the frames of the day that lie wholly in its first feedBytes bytes.
  Frames SessionCutAfter(int64_t feedBytes) const {
    Frames frames{LogonAnswer()};
    int64_t end = 0;
    for (const Frame& f : day_frames_) {
      end += static_cast<int64_t>(f.size());
      if (end > feedBytes) break;
      frames.push_back(f);
    }
    return frames;
  }
  // Offset of the first byte of day frame i in the feed.
  int64_t FrameStart(size_t i) const {
    int64_t start = 0;
    for (size_t k = 0; k < i; ++k) start += static_cast<int64_t>(day_frames_[k].size());
    return start;
  }

  // Plays the day through `options` (serving at most `sessions` sessions) to a client with
  // `timings`, until the day's last frame was delivered (or, when `frames` is given, until that
  // many frames were and the sessions ended); then stops both. A reconnect after that finds no
  // session to play.
  void Play(GatewayOptions options, uint32_t sessions, ClientTimings timings, size_t frames = 0) {
    // The client's first pass starts the day afresh, so that each play is checked on its own.
    processor_.Reset();
    recorder_.Clear();
    catcher_->Clear();
    options.source = Source();
    options.maxSessions = sessions;
    ASSERT_EQ(gateway_.Start(options), 1);
    config::ConfigInfo config = config_;
    config.port = gateway_.Port();
    StartClient(config, timings);
    const std::vector<uint8_t> last = WithoutChecksum(day_frames_.back());
    ASSERT_TRUE(Eventually([&] {
      const Frames got = recorder_.Taken();
      if (frames > 0) return got.size() >= frames && gateway_.SessionsEnded() == sessions;
      return !got.empty() && WithoutChecksum(got.back()) == last;
    })) << recorder_.Taken().size()
        << " frames delivered";
    StopAll();
  }
  void StartClient(const config::ConfigInfo& config, const ClientTimings& timings) {
    client_ = std::make_unique<StaticClient>(config, decoder_, capture_, gate_, timings);
    ASSERT_EQ(client_->Start(config), 1);
  }

  // The client delivered what the gateway's sessions sent completely.
  void ExpectDelivered(const Frames& first, const Frames& second, bool firstMayBeCut = false) {
    const Frames got = recorder_.Taken();
    if (!firstMayBeCut) {
      Frames sent = first;
      sent.insert(sent.end(), second.begin(), second.end());
      EXPECT_EQ(CountByType(got), CountByType(sent));
    }
    EXPECT_TRUE(DeliveredInOrder(got, first, second, firstMayBeCut));
  }

  // The line of the first disconnect comes before the second session's connection line.
  void ExpectReconnectAfter(const std::string& disconnectLine) {
    const std::vector<std::string> lines = catcher_->LogLines();
    size_t disconnect = lines.size();
    size_t connected = 0;
    for (size_t i = 0; i < lines.size(); ++i) {
      if (disconnect == lines.size() && lines[i].find(disconnectLine) != std::string::npos) {
        disconnect = i;
      }
      if (lines[i].find(kConnected) != std::string::npos) ++connected;
      if (connected == 2) {
        EXPECT_LT(disconnect, i) << disconnectLine;
        return;
      }
    }
    ADD_FAILURE() << "no second connection after " << disconnectLine;
  }

  // The state the handlers built equals the day's model at the close of the last round.
  void ExpectEndOfDayState() {
    market::MarketState& state = processor_.State();
    size_t quoted = 0;
    for (const tools::SampleSecurity& s : day_->securities) {
      if (!s.Loadable() || !s.cashAuction) continue;
      market::StockQuoteRecord q{};
      if (!fw::test::FindStockRow(state, s.code, &q)) continue;  // types without a quote row
      ++quoted;
      EXPECT_EQ(q.prevClose, s.prevClosePx) << s.code;
      if (s.Halted()) {  // its snapshots carry a halt phase and no entries
        EXPECT_EQ(q.trades, 0) << s.code;
        EXPECT_EQ(q.bidPrice[0], 0) << s.code;
        continue;
      }
      EXPECT_EQ(q.last, s.closePx) << s.code;
      EXPECT_EQ(q.trades, s.numTrades) << s.code;
      EXPECT_EQ(q.volume, s.totalVolume) << s.code;
      EXPECT_EQ(q.turnover, s.totalValue) << s.code;
      EXPECT_EQ(q.change1, s.closePx - s.prevClosePx) << s.code;
      // The best levels lie one tick from the close, where the day's limits allow them.
      const int64_t tick = s.cashAuction->priceTick > 0 ? s.cashAuction->priceTick : 10;
      const int64_t bid = s.closePx - tick;
      const int64_t ask = s.closePx + tick;
      const bool bidShown = bid > 0 && (!s.hasPriceLimit || bid >= s.limitDownPx);
      const bool askShown = !s.hasPriceLimit || ask <= s.limitUpPx;
      EXPECT_EQ(q.bidPrice[0], bidShown ? bid : 0) << s.code;
      EXPECT_EQ(q.askPrice[0], askShown ? ask : 0) << s.code;
    }
    EXPECT_GT(quoted, 10u);

    for (const tools::SampleIndex& idx : day_->indexes) {
      market::IndexQuoteRecord three{};
      market::IndexQuoteRecord four{};
      ASSERT_TRUE(
          state.FetchIndexQuote(market::IndexTable::kThreeDecimals, idx.code.c_str(), &three));
      ASSERT_TRUE(
          state.FetchIndexQuote(market::IndexTable::kFourDecimals, idx.code.c_str(), &four));
      // Ten-thousandths on the wire times 100, then rounded to thousandths or cut to
      // ten-thousandths.
      EXPECT_EQ(three.current, (idx.close * 100 + 500) / 1000) << idx.code;
      EXPECT_EQ(four.current, idx.close) << idx.code;
      EXPECT_EQ(four.prevClose, idx.prevClose) << idx.code;
      EXPECT_EQ(three.volume, idx.totalVolume) << idx.code;
      EXPECT_EQ(four.turnover, idx.totalValue) << idx.code;
      EXPECT_EQ(four.trades, idx.numTrades) << idx.code;
    }
    for (const tools::SampleStat& st : day_->stats) {
      market::VolumeStatRecord stat{};
      ASSERT_TRUE(state.FetchVolumeStat(st.code.c_str(), &stat));
      EXPECT_EQ(stat.volume, st.totalVolume) << st.code;
      EXPECT_EQ(stat.turnover, st.totalValue) << st.code;
      EXPECT_EQ(stat.trades, st.numTrades) << st.code;
      EXPECT_EQ(stat.stockNum, st.stockNum) << st.code;
    }

    std::vector<market::AfterHoursQuoteRecord> afterHours;
    state.SnapshotAfterHours(&afterHours);
    size_t traded = 0;
    for (const market::AfterHoursQuoteRecord& row : afterHours) {
      if (row.has060 != '1') continue;
      ++traded;
      const std::string code(row.code, 6);
      for (const tools::SampleSecurity& s : day_->securities) {
        if (s.code != code) continue;
        EXPECT_EQ(row.has061, '2') << code;
        EXPECT_EQ(row.price[0], s.closePx) << code;
        EXPECT_EQ(row.price[1], s.closePx) << code;
      }
    }
    EXPECT_EQ(traded * 2, counts_.afterHours);

    // Orders of the first round got their outcome (filled or cancelled, status '0') in the second;
    // those of the second are still live.
    std::vector<market::NegotiatedQuoteRecord> orders;
    state.SnapshotNegotiated(&orders);
    ASSERT_EQ(orders.size(), counts_.negotiatedOrder);
    for (const market::NegotiatedQuoteRecord& o : orders) {
      const bool filled = o.sequence <= static_cast<int64_t>(counts_.negotiatedOutcome);
      EXPECT_EQ(o.status, filled ? '0' : '1') << o.sequence;
    }

    const market::MarketClock clock = state.Clock();
    EXPECT_EQ(clock.AuctionClosed, '1');
    EXPECT_EQ(clock.AfterHoursClosed, '1');
    EXPECT_EQ(clock.NegotiatedClosed, '1');
    // The last of two or more rounds lies between 13:00 and 15:00; its last timed snapshots come
    // just before the close.
    EXPECT_GE(clock.marketTime, 130000);
    EXPECT_LT(clock.marketTime, 150000);
  }

  fw::test::FakeClock clock_{kThursday, 100000};
  std::shared_ptr<const tools::SampleDay> day_;
  uint32_t rounds_ = 0;
  Frames day_frames_;
  tools::SyntheticDayCounts counts_;
  config::ConfigInfo config_;
  refdata::ReferenceTables tables_;
  processor::MProcessIO processor_{tables_};
  feed::MarketDataHandlers handlers_{processor_.State()};
  RecordingHandlers recorder_{handlers_};
  feed::MarketDataDecoder decoder_{&recorder_};
  CaptureFile capture_;
  shell::MarketProcessorGate gate_{processor_};
  GatewaySimulator gateway_;
  std::unique_ptr<StaticClient> client_;
};

// Every test shortens the pauses; the product runs on these.
TEST(ProductTimings, ClientAndWriteThreadDefaults) {
  const ClientTimings client;
  EXPECT_EQ(client.idlePauseMs, 1000u);
  EXPECT_EQ(client.reconnectPauseMs, 5000u);
  EXPECT_EQ(client.readWaitMs, 1000u);
  EXPECT_EQ(client.timerPeriodMs, 1000u);
  EXPECT_EQ(client.silenceLimitMs, 120000u);
  EXPECT_EQ(client.holidayRepeatSeconds, 21600u);
  EXPECT_EQ(client.stopTimeoutMs, 5000u);
  EXPECT_FALSE(client.tickCount);
  const processor::WriterTimings writer;
  EXPECT_EQ(writer.outsideWindowSleepMs, 1000u);
  EXPECT_EQ(writer.stopTimeoutMs, 5000u);
  EXPECT_EQ(writer.closingAfterTime, 150100u);
  EXPECT_EQ(writer.failurePauseMs, 1000u);
  EXPECT_FALSE(writer.reportCycles);
  EXPECT_FALSE(writer.tickCount);
  EXPECT_FALSE(writer.pause);
}

// A close mid-frame leaves the start of a frame in the client's buffer; the next connection begins
// on a frame boundary. Cuts in a header, in a body and in a checksum, across several frame kinds:
// every whole frame of the broken session arrives, and the next session arrives complete.
TEST_F(NetworkFaults, DropMidFrameLosesNoWholeFrame) {
  ASSERT_GT(day_frames_.size(), 60u);
  const size_t frames[] = {0, 1, 2, day_frames_.size() / 3, day_frames_.size() / 2};
  for (const size_t i : frames) {
    const int64_t start = FrameStart(i);
    const int64_t size = static_cast<int64_t>(day_frames_[i].size());
    for (const int64_t cut : {start + 5, start + 9, start + size / 2, start + size - 2}) {
      SCOPED_TRACE("cut after " + std::to_string(cut) + " feed bytes, in frame " +
                   std::to_string(i) + " of type " + std::to_string(TypeOf(day_frames_[i])));
      GatewayOptions options;
      options.dropAfterBytes = cut;
      options.faultySessions = 1;
      Play(options, 2, test::FastTimings());
      ExpectDelivered(SessionCutAfter(cut), WholeSession());
      EXPECT_TRUE(catcher_->HasLine(kPassiveClose));
      ExpectReconnectAfter(kPassiveClose);
      if (HasFatalFailure() || HasFailure()) return;
    }
  }
  ExpectEndOfDayState();
}

// A reset may cost the bytes still in flight, so the broken session delivers some whole frames
// (a prefix of what was sent), never a damaged or repeated one.
TEST_F(NetworkFaults, ResetMidFrameDeliversAPrefixAndThenTheWholeSession) {
  const int64_t cut = FrameStart(day_frames_.size() / 2) + 17;
  GatewayOptions options;
  options.dropAfterBytes = cut;
  options.resetOnDrop = true;
  options.faultySessions = 1;
  Play(options, 2, test::FastTimings());
  ExpectDelivered(SessionCutAfter(cut), WholeSession(), true);
  // Linux and Windows report the reset as a receive failure; Wine as an orderly close.
  ExpectReconnectAfter(test::ResetIsReported() ? kUnusable : kPassiveClose);
  ExpectEndOfDayState();
}

// A gateway that goes quiet in the middle of a frame, connection kept open, is left after the
// silence limit; what it sent before is delivered, its half frame is not.
TEST_F(NetworkFaults, SilenceMidFrameEndsInAReconnectWithoutLoss) {
  const int64_t cut = FrameStart(day_frames_.size() / 4) + 30;
  GatewayOptions options;
  options.silentAfterBytes = cut;
  options.faultySessions = 1;
  ClientTimings timings = test::FastTimings();
  timings.silenceLimitMs = 400;
  Play(options, 2, timings);
  ExpectDelivered(SessionCutAfter(cut), WholeSession());
  EXPECT_EQ(LevelOf(kOvertime), '1');
  ExpectReconnectAfter(kNormalClose);
  ExpectEndOfDayState();
}

TEST_F(NetworkFaults, GatewayThatAcceptsAndNeverSpeaksIsLeftAndTheNextOnePlays) {
  GatewayOptions options;
  options.mute = true;
  options.faultySessions = 1;
  ClientTimings timings = test::FastTimings();
  timings.silenceLimitMs = 400;
  Play(options, 2, timings);
  ExpectDelivered({}, WholeSession());
  EXPECT_TRUE(catcher_->HasLine(kOvertime));
  ExpectReconnectAfter(kNormalClose);
  ExpectEndOfDayState();
}

// The refusal is a Logout followed by a close: the Logout reaches the decoder (and no handler),
// the client logs on again after its pause.
TEST_F(NetworkFaults, RefusedLogonIsFollowedByAFreshLogon) {
  GatewayOptions options;
  options.refuseLogon = true;
  options.faultySessions = 1;
  Play(options, 2, test::FastTimings());
  ExpectDelivered({tools::EncodeLogout(5, "logon refused")}, WholeSession());
  ExpectReconnectAfter(kPassiveClose);
  EXPECT_EQ(gateway_.Logons().size(), 2u);
  ExpectEndOfDayState();
}

// Bytes sent one at a time (the first kilobytes of the day: a send per byte is slow) are put
// together again into exactly the frames that were sent whole.
TEST_F(NetworkFaults, BytesDrippedOneAtATimeAreReassembled) {
  const int64_t cut = FrameStart(45) + 7;
  GatewayOptions options;
  options.drip = true;
  options.dropAfterBytes = cut;
  const Frames sent = SessionCutAfter(cut);
  ASSERT_EQ(sent.size(), 46u);  // the answer and 45 frames
  Play(options, 1, test::FastTimings(), sent.size());
  ExpectDelivered(sent, {});
}

// Delivery shapes of one unbroken session: full 81,920-byte blocks at full speed, and garbage and
// corrupt frames between the good ones. The good frames arrive exactly once, in order.
TEST_F(NetworkFaults, DeliveryShapesOfOneSessionLoseNothing) {
  struct Shape {
    const char* name;
    uint32_t rounds;  // the bursts need a day of several blocks
    void (*apply)(GatewayOptions&);
  };
  const Shape shapes[] = {
      {"bursts", 8, [](GatewayOptions& o) { o.bursts = true; }},
      {"garbage and bad checksums", 2,
       [](GatewayOptions& o) {
         o.garbageEvery = 3;
         o.badChecksumEvery = 4;
       }},
  };
  for (const Shape& shape : shapes) {
    SCOPED_TRACE(shape.name);
    UseRounds(shape.rounds);
    if (shape.apply == shapes[0].apply) {
      size_t bytes = 0;
      for (const Frame& f : day_frames_) bytes += f.size();
      ASSERT_GT(bytes, 2 * static_cast<size_t>(kReceiveBufferBytes));
    }
    GatewayOptions options;
    shape.apply(options);
    Play(options, 1, test::FastTimings());
    ExpectDelivered({}, WholeSession());
    EXPECT_EQ(catcher_->CountLines(kConnected), 1u);
    ExpectEndOfDayState();
  }
}

// Nothing listens at first: the client keeps trying, and connects once a gateway appears there.
TEST_F(NetworkFaults, ClosedPortIsRetriedUntilTheGatewayListens) {
  uint16_t port = 0;
  {
    platform::SocketHandle probe = platform::kNoSocket;
    ASSERT_EQ(platform::SocketListenLoopback(0, 1, &probe, &port), 1);
    platform::SocketClose(probe);
  }
  config::ConfigInfo config = config_;
  config.port = port;
  StartClient(config, test::FastTimings());
  ASSERT_TRUE(Eventually(
      [&] { return CountLogged("<MClientIO>failed 2 connect server[127.0.0.1], [<") >= 3; }));
  EXPECT_TRUE(recorder_.Taken().empty());

  GatewayOptions options;
  options.port = port;
  options.source = Source();
  options.maxSessions = 1;
  ASSERT_EQ(gateway_.Start(options), 1);
  const std::vector<uint8_t> last = WithoutChecksum(day_frames_.back());
  ASSERT_TRUE(Eventually([&] {
    const Frames got = recorder_.Taken();
    return !got.empty() && WithoutChecksum(got.back()) == last;
  }));
  StopAll();
  ExpectDelivered({}, WholeSession());
  ExpectEndOfDayState();
}

// A name that does not resolve never becomes a connection: the attempts repeat, nothing reaches
// the handlers, and the day's state stays as start-up built it.
TEST_F(NetworkFaults, UnresolvableHostNameIsRetriedAndDeliversNothing) {
  config::ConfigInfo config = config_;
  SetText(config.ip, "no-such-host.invalid");
  config.port = 1;
  StartClient(config, test::FastTimings());
  ASSERT_TRUE(Eventually([&] {
    return CountLogged("<MClientIO>failed 2 connect server[no-such-host.invalid], [<") >= 2;
  }));
  StopAll();
  EXPECT_TRUE(recorder_.Taken().empty());
  EXPECT_FALSE(Logged("建立连接成功"));
  const market::MarketClock clock = processor_.State().Clock();
  EXPECT_EQ(clock.marketTime, 0);
}

}  // namespace
}  // namespace fw::client
