// The feed client against the loopback gateway simulator: logon, heartbeats, the ways a connection
// ends and is made again, the trading window, holidays, and the delivery of every good frame.
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "client/static_client.h"
#include "foundation/error_code.h"
#include "tests/client/client_fixture.h"
#include "tools/feed_source.h"
#include "tools/gateway_simulator.h"

namespace fw::client {
namespace {

using test::FakeProcessor;
using test::FastTimings;
using test::LoggingTest;
using test::LoopbackConfig;
using test::RecordingDispatcher;
using test::SetField;
using tools::GatewayOptions;
using tools::GatewaySimulator;

constexpr const char kPassiveClose[] = "<MClientIO>与源服务器<127.0.0.1>断开连接(被动关闭连接)";
constexpr const char kNormalClose[] = "<MClientIO>与源服务器<127.0.0.1>断开连接(正常关闭连接)";
constexpr const char kUnusable[] = "<MClientIO>与源服务器<127.0.0.1>断开连接(套接字不可用)";
constexpr const char kOvertime[] =
    "<MClientIO>recv data overtime(for 2 minutes), connecting server";

std::shared_ptr<const tools::SampleDay> Day(uint32_t securities) {
  tools::SampleDayOptions options;
  options.securityCount = securities;
  options.date = 20260305;
  options.seed = 7;
  return std::make_shared<const tools::SampleDay>(tools::BuildSampleDay(options));
}

class ClientSession : public LoggingTest {
 protected:
  ClientSession() : decoder_(&recorder_) {}
  void SetUp() override {
    LoggingTest::SetUp();
    ASSERT_EQ(decoder_.AllocateRing(), 1);
  }
  void TearDown() override {
    MClientIO::SetSendForTesting(nullptr);
    if (client_) client_->Stop();
    client_.reset();
    gateway_.Stop();
    LoggingTest::TearDown();
  }

  uint16_t StartGateway(GatewayOptions options) {
    EXPECT_EQ(gateway_.Start(options), 1);
    return gateway_.Port();
  }
  static GatewayOptions Playing(std::shared_ptr<const tools::SampleDay> day, uint32_t rounds) {
    GatewayOptions options;
    options.source = [day, rounds] {
      return std::make_unique<tools::SyntheticDayFeed>(day, rounds);
    };
    return options;
  }
  StaticClient& StartClient(const config::ConfigInfo& config,
                            const ClientTimings& timings = FastTimings()) {
    client_ = std::make_unique<StaticClient>(config, decoder_, capture_, processor_, timings);
    EXPECT_EQ(client_->Start(config), 1);
    return *client_;
  }
  // Lets the receive thread run `passes` more passes (counted by the processor's calls).
  void LetPassesRun(uint32_t passes) {
    const uint32_t target = processor_.isInitializedCalls.load() + passes;
    ASSERT_TRUE(Eventually([&] { return processor_.isInitializedCalls.load() >= target; }));
  }

  RecordingDispatcher recorder_;
  feed::MarketDataDecoder decoder_;
  CaptureFile capture_;
  FakeProcessor processor_;
  GatewaySimulator gateway_;
  std::unique_ptr<StaticClient> client_;
};

TEST_F(ClientSession, LogonMatchesTheConfiguration) {
  StartClient(LoopbackConfig(StartGateway(GatewayOptions())));
  ASSERT_TRUE(Eventually([&] { return !gateway_.Logons().empty(); }));
  const tools::ReceivedLogon logon = gateway_.Logons().front();
  EXPECT_EQ(logon.bytes, tools::EncodeLogon("FENWRIGHT", "SZSEGW", 30, "secret", "1.00"));
  EXPECT_EQ(logon.sender, "FENWRIGHT");
  EXPECT_EQ(logon.heartBtInt, 30);
  ASSERT_TRUE(Eventually([&] { return Logged("SendLoginCmd"); }));
  EXPECT_TRUE(catcher_->HasLine("<StaticClient>与源服务器<127.0.0.1>建立连接成功"));
  EXPECT_TRUE(catcher_->HasLine("sendlogon:104 === 104 "));
  EXPECT_TRUE(catcher_->HasLine("<StaticClient>SendLoginCmd成功"));
  // The gateway's Logon answer reached the decoder and was cut like any frame.
  ASSERT_TRUE(Eventually([&] { return recorder_.Count(1) == 1; }));
}

TEST_F(ClientSession, HeartbeatsFollowTheConfiguredInterval) {
  config::ConfigInfo config = LoopbackConfig(StartGateway(GatewayOptions()));
  config.heartbt = 1;
  StartClient(config);
  ASSERT_TRUE(Eventually([&] { return gateway_.Heartbeats() >= 3; }));
  EXPECT_GE(catcher_->CountLines("sendheartbeat:0"), 3u);
  EXPECT_EQ(gateway_.Connections(), 1u);
  // The gateway's answers arrive as frames of type 3.
  ASSERT_TRUE(Eventually([&] { return recorder_.Count(3) >= 2; }));
  for (const tools::ReceivedLogon& logon : gateway_.Logons()) EXPECT_EQ(logon.heartBtInt, 1);
}

// Received data does not put the heartbeat off: a gateway that streams all the time still gets
// its Heartbeats.
TEST_F(ClientSession, HeartbeatsGoOutWhateverTheTraffic) {
  GatewayOptions options = Playing(Day(200), 50);
  options.messagesPerSecond = 200;
  config::ConfigInfo config = LoopbackConfig(StartGateway(options));
  config.heartbt = 1;
  StartClient(config);
  ASSERT_TRUE(Eventually([&] { return gateway_.Heartbeats() >= 3; }));
  EXPECT_GT(recorder_.Count(300111), 0u);
  EXPECT_EQ(gateway_.SourcesFinished(), 0u);  // the data was still flowing
}

TEST_F(ClientSession, GatewayCloseIsAPassiveCloseFollowedByAReconnect) {
  GatewayOptions options = Playing(Day(10), 1);
  options.dropAfterBytes = 0;
  options.faultySessions = 1;
  StartClient(LoopbackConfig(StartGateway(options)));
  ASSERT_TRUE(Eventually([&] { return gateway_.Logons().size() >= 2; }));
  EXPECT_TRUE(catcher_->HasLine(kPassiveClose));
  EXPECT_EQ(LevelOf("(被动关闭连接)"), '1');
  EXPECT_TRUE(
      Eventually([&] { return catcher_->CountLines("<StaticClient>SendLoginCmd成功") >= 2; }));
}

TEST_F(ClientSession, StreamAfterAMidFrameDropStillArrives) {
  auto day = Day(20);
  GatewayOptions options = Playing(day, 2);
  options.dropAfterBytes = 30;  // inside the first frame
  options.faultySessions = 1;
  StartClient(LoopbackConfig(StartGateway(options)));
  tools::SyntheticDayFeed whole(day, 2);
  tools::Frame last;
  for (tools::Frame f; whole.Next(&f);) last = f;
  const std::vector<uint8_t> lastBody(last.begin() + 8, last.end() - 4);
  // The partial frame the first connection left is dropped when the second one starts: every
  // snapshot of the second session arrives, up to the day's last frame.
  ASSERT_TRUE(Eventually([&] {
    const auto bodies = recorder_.Bodies();
    return !bodies.empty() && bodies.back() == lastBody;
  }));
  EXPECT_EQ(recorder_.Count(300111), whole.Counts().cashAuction);
  EXPECT_EQ(recorder_.Count(300611), whole.Counts().afterHours);
  EXPECT_GE(recorder_.Count(390090), 3u);
  EXPECT_TRUE(catcher_->HasLine(kPassiveClose));
  EXPECT_EQ(gateway_.Connections(), 2u);
}

// Remembers every connection change the client reports.
class ChangeRecorder : public ConnectionObserver {
 public:
  void OnConnectionChange(const ConnectionChange& change) override {
    std::lock_guard<std::mutex> lock(mutex_);
    changes_.push_back(change);
  }
  void OnDataReceived() override {}
  std::vector<ConnectionChange> Changes() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return changes_;
  }

 private:
  mutable std::mutex mutex_;
  std::vector<ConnectionChange> changes_;
};

// The primary gateway serves a logon and dies; the client turns to the backup, which plays the
// whole day, and every frame of it arrives. A failed connect to the dead primary is never tried
// between the two.
TEST_F(ClientSession, BackupGatewayServesWhenThePrimaryDies) {
  auto day = Day(20);
  GatewaySimulator backup;
  ASSERT_EQ(backup.Start(Playing(day, 2)), 1);
  config::ConfigInfo config = LoopbackConfig(StartGateway(GatewayOptions()));
  SetField(config.backupip, "127.0.0.1");
  config.backupport = backup.Port();
  ChangeRecorder recorder;
  client_ = std::make_unique<StaticClient>(config, decoder_, capture_, processor_, FastTimings());
  client_->SetConnectionObserver(&recorder);
  ASSERT_EQ(client_->Start(config), 1);
  ASSERT_TRUE(Eventually([&] { return Logged("SendLoginCmd"); }));
  EXPECT_EQ(client_->ServerRole(), GatewayRole::kPrimary);
  const uint16_t primaryPort = gateway_.Port();
  gateway_.Stop();

  tools::SyntheticDayFeed whole(day, 2);
  for (tools::Frame f; whole.Next(&f);) {
  }
  ASSERT_TRUE(Eventually([&] { return backup.SourcesFinished() == 1; }));
  ASSERT_TRUE(Eventually([&] { return recorder_.Count(300111) == whole.Counts().cashAuction; }));
  EXPECT_EQ(recorder_.Count(300611), whole.Counts().afterHours);
  EXPECT_EQ(backup.Connections(), 1u);
  EXPECT_EQ(client_->ServerRole(), GatewayRole::kBackup);
  EXPECT_EQ(client_->ServerPort(), backup.Port());
  EXPECT_EQ(catcher_->CountLines("<StaticClient>与源服务器<127.0.0.1>建立连接成功"), 2u);
  EXPECT_TRUE(catcher_->HasLine(kPassiveClose) || Logged(kUnusable));
  client_->Stop();
  backup.Stop();

  // connecting and connected to the primary, its loss, then the backup.
  const std::vector<ConnectionChange> changes = recorder.Changes();
  ASSERT_GE(changes.size(), 5u);
  const std::pair<ConnectionState, GatewayRole> expected[] = {
      {ConnectionState::kConnecting, GatewayRole::kPrimary},
      {ConnectionState::kConnected, GatewayRole::kPrimary},
      {ConnectionState::kDisconnected, GatewayRole::kPrimary},
      {ConnectionState::kConnecting, GatewayRole::kBackup},
      {ConnectionState::kConnected, GatewayRole::kBackup}};
  for (size_t i = 0; i < 5; ++i) {
    EXPECT_EQ(changes[i].state, expected[i].first) << i;
    EXPECT_EQ(changes[i].gateway, expected[i].second) << i;
    EXPECT_EQ(changes[i].port, i < 3 ? primaryPort : backup.Port()) << i;
  }
}

TEST_F(ClientSession, ResetIsAReceiveFailure) {
  if (!test::ResetIsReported())
    GTEST_SKIP() << "this socket layer reports a reset as an orderly close";
  GatewayOptions options = Playing(Day(10), 1);
  options.dropAfterBytes = 0;
  options.resetOnDrop = true;
  options.faultySessions = 1;
  StartClient(LoopbackConfig(StartGateway(options)));
  ASSERT_TRUE(Eventually([&] { return Logged(kUnusable) && gateway_.Logons().size() >= 2; }));
  EXPECT_TRUE(Logged("<MClientIO>从源服务器<127.0.0.1>接收数据失败[<"));
  EXPECT_EQ(LevelOf("接收数据失败"), '1');
}

TEST_F(ClientSession, SilenceEndsInTheOvertimeLineAndAReconnect) {
  GatewayOptions options;
  options.silentAfterBytes = 0;
  options.faultySessions = 1;
  ClientTimings timings = FastTimings();
  timings.silenceLimitMs = 300;
  StartClient(LoopbackConfig(StartGateway(options)), timings);
  ASSERT_TRUE(Eventually([&] { return gateway_.Connections() >= 2; }));
  EXPECT_TRUE(catcher_->HasLine(kOvertime));
  EXPECT_EQ(LevelOf(kOvertime), '1');
  EXPECT_TRUE(catcher_->HasLine(kNormalClose));
  EXPECT_EQ(gateway_.LogoutsReceived(), 0u);  // the silent gateway still reads
}

// One frame every 40 ms: most readable-waits of 10 ms end without data, so the silence check runs
// on most passes, and only the receive clock's restart at every block keeps it from tripping over
// the four silence limits that the 60 frames span.
TEST_F(ClientSession, TrafficWithGapsLongerThanTheWaitIsNeverTakenForSilence) {
  GatewayOptions options = Playing(Day(100), 50);
  options.messagesPerSecond = 25;
  ClientTimings timings = FastTimings();
  timings.readWaitMs = 10;
  timings.silenceLimitMs = 600;
  StartClient(LoopbackConfig(StartGateway(options)), timings);
  ASSERT_TRUE(Eventually([&] { return recorder_.Total() >= 60; }));
  EXPECT_FALSE(Logged(kOvertime));
  EXPECT_EQ(gateway_.Connections(), 1u);
}

TEST_F(ClientSession, GatewayThatNeverSpeaksIsLeftAfterTheSilenceLimit) {
  GatewayOptions options;
  options.mute = true;
  ClientTimings timings = FastTimings();
  timings.silenceLimitMs = 300;
  StartClient(LoopbackConfig(StartGateway(options)), timings);
  ASSERT_TRUE(Eventually([&] { return gateway_.Connections() >= 2; }));
  EXPECT_GE(catcher_->CountLines(kOvertime), 1u);
  EXPECT_EQ(recorder_.Total(), 0u);
}

TEST_F(ClientSession, GarbageAndBadChecksumsLoseNoGoodFrame) {
  auto day = Day(30);
  GatewayOptions options = Playing(day, 4);
  options.garbageEvery = 2;
  options.badChecksumEvery = 3;
  StartClient(LoopbackConfig(StartGateway(options)));
  const tools::SyntheticDayCounts counts = tools::SyntheticDayFeed(day, 4).Counts();
  ASSERT_TRUE(Eventually([&] {
    return gateway_.SourcesFinished() == 1 && recorder_.Count(390090) == counts.streamPhase;
  }));
  EXPECT_EQ(recorder_.Count(1), 1u);  // the Logon answer
  EXPECT_EQ(recorder_.Count(300111), counts.cashAuction);
  EXPECT_EQ(recorder_.Count(309011), counts.index);
  EXPECT_EQ(recorder_.Count(309111), counts.stat);
  EXPECT_EQ(recorder_.Count(300611), counts.afterHours);
  EXPECT_EQ(recorder_.Count(300592), counts.negotiatedOrder);
  EXPECT_EQ(recorder_.Count(300591), counts.negotiatedOutcome);
  EXPECT_EQ(recorder_.Count(390013), counts.switches);
  EXPECT_EQ(recorder_.Total(), counts.Total() + 1);
}

TEST_F(ClientSession, BytesDrippedOneByOneAreReassembled) {
  auto day = Day(4);
  GatewayOptions options = Playing(day, 1);
  options.drip = true;
  StartClient(LoopbackConfig(StartGateway(options)));
  const tools::SyntheticDayCounts counts = tools::SyntheticDayFeed(day, 1).Counts();
  ASSERT_TRUE(Eventually([&] { return recorder_.Total() == counts.Total() + 1; }));
  EXPECT_EQ(recorder_.Count(300111), counts.cashAuction);
}

// Full 81,920-byte blocks, captured: the capture file holds exactly what the gateway sent (its
// Logon answer and the whole day), and the decoder saw every frame of it.
TEST_F(ClientSession, FullBlocksAreCapturedAndDecodedWhole) {
  fw::test::FakeClock clock(20260305, 100000);
  auto day = Day(300);
  GatewayOptions options = Playing(day, 3);
  options.bursts = true;
  config::ConfigInfo config = LoopbackConfig(StartGateway(options));
  config.savefileflag = true;
  config.heartbt = 3600;  // no Heartbeat answer may slip into the capture
  SetField(config.savefile, dir_.Prefix());
  StartClient(config);
  tools::SyntheticDayFeed replay(day, 3);
  std::string expected;
  const tools::Frame answer = tools::EncodeLogon("SZSEGW", "FENWRIGHT", 3600, "", "1.00");
  expected.append(answer.begin(), answer.end());
  for (tools::Frame f; replay.Next(&f);) expected.append(f.begin(), f.end());
  ASSERT_GT(expected.size(), 3u * kReceiveBufferBytes);
  ASSERT_TRUE(Eventually([&] { return recorder_.Total() == replay.Counts().Total() + 1; }));
  client_->Stop();
  EXPECT_FALSE(capture_.IsOpen());
  const std::string captured = fw::test::ReadFileBytes(dir_.File("binaryData_20260305.dat"));
  EXPECT_EQ(captured.size(), expected.size());
  EXPECT_TRUE(captured == expected);
}

TEST_F(ClientSession, RefusedLogonIsRetried) {
  GatewayOptions options;
  options.refuseLogon = true;
  StartClient(LoopbackConfig(StartGateway(options)));
  ASSERT_TRUE(Eventually([&] { return gateway_.Logons().size() >= 3; }));
  EXPECT_GE(catcher_->CountLines(kPassiveClose), 2u);
  EXPECT_GE(recorder_.Count(2), 1u);  // the gateway's Logout went to the decoder and no further
}

TEST_F(ClientSession, ConnectsOnlyInsideTheTradingWindow) {
  fw::test::FakeClock clock(20260305, 84459);
  config::ConfigInfo config = LoopbackConfig(StartGateway(GatewayOptions()));
  config.begintime = 845;
  config.endtime = 1630;
  StartClient(config);
  LetPassesRun(20);
  EXPECT_EQ(gateway_.Connections(), 0u);
  EXPECT_EQ(processor_.instanceCalls.load(), 0u);

  clock.Set(20260305, 84500);
  ASSERT_TRUE(Eventually([&] { return !gateway_.Logons().empty(); }));

  clock.Set(20260305, 163059);
  LetPassesRun(20);
  EXPECT_FALSE(Logged(kNormalClose));

  clock.Set(20260305, 163100);
  ASSERT_TRUE(Eventually([&] { return Logged(kNormalClose); }));
  LetPassesRun(20);
  EXPECT_EQ(gateway_.Connections(), 1u);
  EXPECT_FALSE(client_->IsConnected());
  ASSERT_TRUE(Eventually([&] { return gateway_.SessionsEnded() == 1; }));
  EXPECT_EQ(gateway_.LogoutsReceived(), 0u);
}

TEST_F(ClientSession, WindowOfOneMinuteIncludesBothEnds) {
  fw::test::FakeClock clock(20260305, 93059);
  config::ConfigInfo config = LoopbackConfig(StartGateway(GatewayOptions()));
  config.begintime = 930;
  config.endtime = 930;
  StartClient(config);
  ASSERT_TRUE(Eventually([&] { return gateway_.Connections() == 1; }));
}

TEST_F(ClientSession, HolidayIsNoticedOnceAndAgainAfterSixHours) {
  fw::test::FakeClock clock(20260305, 90000);
  processor_.instanceAnswer = kHolidayAnswer;
  StartClient(LoopbackConfig(StartGateway(GatewayOptions())));
  LetPassesRun(20);
  EXPECT_EQ(catcher_->CountLines("今天是节假日"), 1u);
  EXPECT_EQ(LevelOf("今天是节假日"), '0');

  clock.Set(20260305, 150000);  // exactly 21,600 s later: not yet more than that
  LetPassesRun(20);
  EXPECT_EQ(catcher_->CountLines("今天是节假日"), 1u);

  clock.Set(20260305, 150001);
  ASSERT_TRUE(Eventually([&] { return catcher_->CountLines("今天是节假日") == 2; }));
  LetPassesRun(20);
  EXPECT_EQ(catcher_->CountLines("今天是节假日"), 2u);
  EXPECT_EQ(gateway_.Connections(), 0u);
}

TEST_F(ClientSession, HolidayRepeatSpansMidnight) {
  fw::test::FakeClock clock(20260305, 230000);
  processor_.instanceAnswer = kHolidayAnswer;
  StartClient(LoopbackConfig(StartGateway(GatewayOptions())));
  LetPassesRun(10);
  clock.Set(20260306, 50001);  // 23:00:00 + 6 h 0 min 1 s
  ASSERT_TRUE(Eventually([&] { return catcher_->CountLines("今天是节假日") == 2; }));
}

TEST_F(ClientSession, ProcessorNotReadyDelaysTheConnection) {
  processor_.instanceAnswer = -3;
  StartClient(LoopbackConfig(StartGateway(GatewayOptions())));
  ASSERT_TRUE(Eventually([&] { return processor_.instanceCalls.load() >= 5; }));
  EXPECT_EQ(gateway_.Connections(), 0u);
  processor_.instanceAnswer = 0;
  ASSERT_TRUE(Eventually([&] { return gateway_.Connections() == 1; }));
}

TEST_F(ClientSession, ClosedPortGivesTheFailedConnectLineAndRetries) {
  uint16_t port = 0;
  {
    platform::SocketHandle probe = platform::kNoSocket;
    ASSERT_EQ(platform::SocketListenLoopback(0, 1, &probe, &port), 1);
    platform::SocketClose(probe);
  }
  StartClient(LoopbackConfig(port));
  ASSERT_TRUE(Eventually(
      [&] { return CountLogged("<MClientIO>failed 2 connect server[127.0.0.1], [<") >= 2; }));
  EXPECT_EQ(LevelOf("failed 2 connect"), '1');
  EXPECT_FALSE(client_->IsConnected());
}

TEST_F(ClientSession, UnresolvableHostNameFailsToConnect) {
  config::ConfigInfo config = LoopbackConfig(1);
  SetField(config.ip, "no-such-host.invalid");
  StartClient(config);
  ASSERT_TRUE(Eventually(
      [&] { return Logged("<MClientIO>failed 2 connect server[no-such-host.invalid], [<"); }));
  EXPECT_FALSE(client_->IsConnected());
}

TEST_F(ClientSession, HostNameIsResolvedToItsAddress) {
  config::ConfigInfo config = LoopbackConfig(StartGateway(GatewayOptions()));
  SetField(config.ip, "localhost");
  uint32_t resolved = 0;
  if (platform::ResolveHostIPv4("localhost", &resolved) < 0 || resolved != 0x7F000001u) {
    GTEST_SKIP() << "localhost does not resolve to 127.0.0.1 here";
  }
  StartClient(config);
  ASSERT_TRUE(Eventually([&] { return !gateway_.Logons().empty(); }));
}

TEST_F(ClientSession, ExceptionInAPassIsLoggedAndTheLoopGoesOn) {
  processor_.throwInIsInitialized = true;
  StartClient(LoopbackConfig(StartGateway(GatewayOptions())));
  ASSERT_TRUE(Eventually(
      [&] { return CountLogged("<MClientIO>unknow error occur while receiving data") >= 3; }));
  EXPECT_EQ(LevelOf("unknow error"), '1');
  processor_.throwInIsInitialized = false;
  ASSERT_TRUE(Eventually([&] { return gateway_.Connections() == 1; }));
}

TEST_F(ClientSession, SecondStartRestartsCleanly) {
  const uint16_t port = StartGateway(GatewayOptions());
  StaticClient& client = StartClient(LoopbackConfig(port));
  ASSERT_TRUE(Eventually([&] { return gateway_.Logons().size() == 1; }));
  ASSERT_EQ(client.Start(LoopbackConfig(port)), 1);
  ASSERT_TRUE(Eventually([&] { return gateway_.Logons().size() == 2; }));
  EXPECT_EQ(catcher_->CountLines(kNormalClose), 1u);
  EXPECT_TRUE(Eventually([&] { return gateway_.SessionsEnded() == 1; }));
  EXPECT_EQ(gateway_.LogoutsReceived(), 0u);
}

TEST_F(ClientSession, StopClosesTheConnectionAndTheCaptureFile) {
  fw::test::FakeClock clock(20260305, 100000);
  GatewayOptions options = Playing(Day(5), 1);
  config::ConfigInfo config = LoopbackConfig(StartGateway(options));
  config.savefileflag = true;
  SetField(config.savefile, dir_.Prefix());
  StaticClient& client = StartClient(config);
  ASSERT_TRUE(Eventually([&] { return capture_.IsOpen(); }));
  client.Stop();
  EXPECT_FALSE(capture_.IsOpen());
  EXPECT_FALSE(client.IsConnected());
  EXPECT_TRUE(catcher_->HasLine(kNormalClose));
  EXPECT_TRUE(Eventually([&] { return gateway_.SessionsEnded() == 1; }));
  EXPECT_EQ(gateway_.LogoutsReceived(), 0u);
  client.Stop();  // a second Stop finds nothing to do
  EXPECT_EQ(catcher_->CountLines(kNormalClose), 1u);
}

// The gateway counts the Logouts it receives, so its counts of none above mean something; a
// client sends one only when asked to.
TEST_F(ClientSession, LogoutAskedForReachesTheGateway) {
  class LoggingOutClient : public StaticClient {
   public:
    using StaticClient::StaticClient;
    ~LoggingOutClient() override { Stop(); }

   protected:
    void OnConnected() override {
      StaticClient::OnConnected();
      SendLogoutCmd();
    }
  };
  const uint16_t port = StartGateway(GatewayOptions());
  LoggingOutClient client(LoopbackConfig(port), decoder_, capture_, processor_, FastTimings());
  ASSERT_EQ(client.Start("127.0.0.1", port), 1);
  ASSERT_TRUE(Eventually([&] { return gateway_.LogoutsReceived() >= 1; }));
  EXPECT_TRUE(catcher_->HasLine("sendlogout:216 "));
  client.Stop();
}

// A listener whose one-place queue is taken by another client never answers the next connect, so
// the client's connect blocks until Stop gives up on the thread and shuts the socket down.
TEST_F(ClientSession, StopDuringABlockedConnectReturns) {
  platform::SocketHandle listener = platform::kNoSocket;
  uint16_t port = 0;
  ASSERT_EQ(platform::SocketListenLoopback(0, 0, &listener, &port), 1);
  platform::SocketHandle filler = platform::kNoSocket;
  ASSERT_EQ(platform::SocketCreateTcp(&filler), 1);
  ASSERT_EQ(platform::SocketConnect(filler, 0x7F000001u, port), 1);

  ClientTimings timings = FastTimings();
  timings.stopTimeoutMs = 200;
  StaticClient& client = StartClient(LoopbackConfig(port), timings);
  ASSERT_TRUE(Eventually([&] { return processor_.instanceCalls.load() >= 1; }));
  std::this_thread::sleep_for(std::chrono::milliseconds(300));  // into the connect
  ASSERT_FALSE(Logged("failed 2 connect")) << "the connect was not held back";
  ASSERT_FALSE(client.IsConnected());

  client.Stop();
  EXPECT_FALSE(client.IsConnected());
  EXPECT_EQ(catcher_->CountLines(kNormalClose), 1u);
  client_.reset();  // the abandoned thread must not reach the destroyed client
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  EXPECT_FALSE(Logged("failed 2 connect"));  // nothing is logged after Stop returned
  platform::SocketClose(filler);
  platform::SocketClose(listener);
}

TEST_F(ClientSession, DisconnectWithoutASocketReturnsMinusOne) {
  StaticClient client(LoopbackConfig(1), decoder_, capture_, processor_, FastTimings());
  EXPECT_EQ(client.Disconnect(NormalClose), -1);
  EXPECT_EQ(client.Disconnect(PassiveClose), -1);
  EXPECT_TRUE(catcher_->LogLines().empty());
}

TEST_F(ClientSession, SendWithNoTriesSendsNothingAndTimesOut) {
  StaticClient client(LoopbackConfig(1), decoder_, capture_, processor_, FastTimings());
  const uint8_t bytes[] = {0, 0, 0, 3, 0, 0, 0, 0, 0, 0, 0, 3};
  EXPECT_EQ(client.SendData(bytes, sizeof bytes, 0), kErrSocketTimeout);
  EXPECT_EQ(static_cast<uint32_t>(client.SendData(bytes, sizeof bytes, -1)), 0xA000000Du);
  EXPECT_TRUE(
      catcher_->HasLine("<MClientIO>向源服务器<>发送数据失败[<MSocket>接收数据或发送数据超时]"));
  EXPECT_EQ(client.SendData(bytes, 0, 0), 0);
}

// Each send call answers from a script: a count (of which at most what is asked goes out), 0, or
// a code. Time-outs are counted over all tries, a short send goes on where it stopped, and any
// other failure ends the send at once.
TEST_F(ClientSession, SendCountsTimeOutsOverAllTriesAndResumesShortSends) {
  const int32_t timeout = platform::IsSocketTimeoutCode(SystemErrorCode(10060))
                              ? SystemErrorCode(10060)
                              : SystemErrorCode(ETIMEDOUT);
  ASSERT_TRUE(platform::IsSocketTimeoutCode(timeout));
  const int32_t reset = SystemErrorCode(10054);  // no time-out on either system
  const int32_t exhausted = SystemErrorCode(10009);
  struct Case {
    const char* name;
    int32_t tries;
    std::vector<int32_t> script;
    int32_t result;
    size_t calls;
    size_t bytesOut;
  };
  const Case cases[] = {
      {"short sends and two time-outs", 3, {5, timeout, 3, timeout, 100}, 12, 5, 12},
      {"three time-outs", 3, {timeout, timeout, timeout, 100}, kErrSocketTimeout, 3, 0},
      {"time-outs apart", 3, {2, timeout, 2, timeout, 2, timeout, 100}, kErrSocketTimeout, 6, 6},
      {"nothing sent counts as a time-out", 3, {0, 0, 0, 100}, kErrSocketTimeout, 3, 0},
      {"one try", 1, {timeout, 100}, kErrSocketTimeout, 1, 0},
      {"reset", 3, {4, reset, 100}, reset, 2, 4},
  };
  const std::vector<uint8_t> message = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
  StaticClient client(LoopbackConfig(1), decoder_, capture_, processor_, FastTimings());
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    catcher_->Clear();
    size_t calls = 0;
    std::vector<uint8_t> out;
    MClientIO::SetSendForTesting([&](intptr_t, const uint8_t* bytes, uint32_t length) {
      const int32_t answer = calls < c.script.size() ? c.script[calls] : exhausted;
      ++calls;
      if (answer <= 0) return answer;
      const uint32_t n = std::min(static_cast<uint32_t>(answer), length);
      out.insert(out.end(), bytes, bytes + n);
      return static_cast<int32_t>(n);
    });
    EXPECT_EQ(client.SendData(message.data(), 12, c.tries), c.result);
    MClientIO::SetSendForTesting(nullptr);
    EXPECT_EQ(calls, c.calls);
    EXPECT_EQ(out, std::vector<uint8_t>(message.begin(), message.begin() + c.bytesOut));
    EXPECT_EQ(CountLogged("<MClientIO>向源服务器<>发送数据失败["), c.result < 0 ? 1u : 0u);
  }
}

TEST_F(ClientSession, ReasonTextsOfTheDisconnectLine) {
  EXPECT_STREQ(DisconnectReasonText(NormalClose), "(正常关闭连接)");
  EXPECT_STREQ(DisconnectReasonText(PassiveClose), "(被动关闭连接)");
  EXPECT_STREQ(DisconnectReasonText(RecvError), "(接收数据出错)");
  EXPECT_STREQ(DisconnectReasonText(SocketUnusable), "(套接字不可用)");
  EXPECT_STREQ(DisconnectReasonText(3), "(未知原因)");
  EXPECT_STREQ(DisconnectReasonText(0), "(未知原因)");
}

// The base client: its own connect line, and a block it fails to process keeps the connection.
class RefusingClient : public MClientIO {
 public:
  using MClientIO::MClientIO;
  ~RefusingClient() override { Stop(); }
  std::atomic<uint32_t> blocks{0};

 protected:
  void OnConnected() override {
    MClientIO::OnConnected();
    uint8_t logon[kLogonBytes];
    BuildLogon(LoopbackConfig(1), logon);
    SendData(logon, kLogonBytes, kSendTries);
  }
  int32_t OnData(const uint8_t*, int32_t) override {
    ++blocks;
    return -1;
  }
};

TEST_F(ClientSession, BaseClientReportsItsConnectionAndBlocksItCannotProcess) {
  GatewayOptions options = Playing(Day(50), 3);
  options.messagesPerSecond = 100;
  const uint16_t port = StartGateway(options);
  RefusingClient client(LoopbackConfig(port), processor_, FastTimings());
  ASSERT_EQ(client.Start("127.0.0.1", port), 1);
  ASSERT_TRUE(Eventually([&] { return client.blocks.load() >= 3; }));
  EXPECT_TRUE(catcher_->HasLine("<MClientIO>connected 2 server[127.0.0.1]"));
  EXPECT_EQ(LevelOf("connected 2 server"), '1');
  EXPECT_TRUE(
      Eventually([&] { return catcher_->CountLines("<MClientIO>process data failed") >= 3; }));
  EXPECT_EQ(LevelOf("process data failed"), '1');
  EXPECT_EQ(gateway_.Connections(), 1u);
  EXPECT_TRUE(client.IsConnected());
  client.Stop();
}

}  // namespace
}  // namespace fw::client
