#include "client/static_client.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/client/client_fixture.h"

namespace fw::client {
namespace {

using test::FakeProcessor;
using test::LoggingTest;
using test::LoopbackConfig;
using test::RecordingDispatcher;
using test::SetField;
using Bytes = std::vector<uint8_t>;

Bytes Text(const std::string& s) { return Bytes(s.begin(), s.end()); }
Bytes Cat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}
Bytes Spaces(size_t n) { return Bytes(n, ' '); }

Bytes Logon(const config::ConfigInfo& config) {
  Bytes out(kLogonBytes);
  BuildLogon(config, out.data());
  return out;
}

// sender "SENDER01", target "TARGET", heartbt 30, password "pw", ver "1.00"; the checksum 0x8A is
// the byte sum worked out by hand: 93 (header) + 930 + 903 + 30 + 679 + 1087 = 3722 = 14 * 256 +
// 138.
TEST(SessionMessages, LogonCarriesTheConfiguredFieldsBlankPadded) {
  config::ConfigInfo config;
  SetField(config.sender, "SENDER01");
  SetField(config.target, "TARGET");
  config.heartbt = 30;
  SetField(config.password, "pw");
  SetField(config.ver, "1.00");
  const Bytes expected = Cat({{0, 0, 0, 1, 0, 0, 0, 92},
                              Text("SENDER01"),
                              Spaces(12),
                              Text("TARGET"),
                              Spaces(14),
                              {0, 0, 0, 30},
                              Text("pw"),
                              Spaces(14),
                              Text("1.00"),
                              Spaces(28),
                              {0, 0, 0, 0x8A}});
  EXPECT_EQ(Logon(config), expected);
}

TEST(SessionMessages, LongValuesAreCutToTheirWidths) {
  config::ConfigInfo config;
  const std::string ver40 = "ABCDEFGHIJABCDEFGHIJABCDEFGHIJABCDEFGHIJ";
  SetField(config.ver, ver40);
  SetField(config.sender, std::string(31, 's'));
  SetField(config.target, std::string(25, 't'));
  SetField(config.password, std::string(17, 'p'));
  const Bytes logon = Logon(config);
  EXPECT_EQ(Bytes(logon.begin() + 8, logon.begin() + 28), Bytes(20, 's'));
  EXPECT_EQ(Bytes(logon.begin() + 28, logon.begin() + 48), Bytes(20, 't'));
  EXPECT_EQ(Bytes(logon.begin() + 52, logon.begin() + 68), Bytes(16, 'p'));
  EXPECT_EQ(Bytes(logon.begin() + 68, logon.begin() + 100), Text(ver40.substr(0, 32)));
}

TEST(SessionMessages, EmptyPasswordIsSixteenSpacesNeverNulBytes) {
  config::ConfigInfo config;
  SetField(config.sender, "S");
  const Bytes logon = Logon(config);
  EXPECT_EQ(Bytes(logon.begin() + 52, logon.begin() + 68), Spaces(16));
  EXPECT_EQ(Bytes(logon.begin() + 68, logon.begin() + 100), Spaces(32));
  EXPECT_EQ(Bytes(logon.begin() + 9, logon.begin() + 28), Spaces(19));
}

TEST(SessionMessages, FieldFilledToItsLastByteIsNotReadBeyond) {
  config::ConfigInfo config;
  std::memset(config.sender, 'x', sizeof config.sender);  // no terminator at all
  std::memset(config.target, 'y', sizeof config.target);
  const Bytes logon = Logon(config);
  EXPECT_EQ(Bytes(logon.begin() + 8, logon.begin() + 28), Bytes(20, 'x'));
  EXPECT_EQ(Bytes(logon.begin() + 28, logon.begin() + 48), Bytes(20, 'y'));
}

TEST(SessionMessages, HeartbeatIntervalIsBigEndian) {
  config::ConfigInfo config;
  config.heartbt = 0x01020304;
  const Bytes logon = Logon(config);
  EXPECT_EQ(Bytes(logon.begin() + 48, logon.begin() + 52), (Bytes{1, 2, 3, 4}));
}

TEST(SessionMessages, HeartbeatIsTwelveFixedBytes) {
  Bytes heartbeat(kHeartbeatBytes, 0xEE);
  BuildHeartbeat(heartbeat.data());
  EXPECT_EQ(heartbeat, (Bytes{0, 0, 0, 3, 0, 0, 0, 0, 0, 0, 0, 3}));
}

TEST(SessionMessages, LogoutBodyIsZeroAndItsChecksumIs206) {
  Bytes logout(kLogoutBytes, 0xEE);
  BuildLogout(logout.data());
  Bytes expected(kLogoutBytes, 0);
  expected[3] = 2;
  expected[7] = 204;
  expected[215] = 206;
  EXPECT_EQ(logout, expected);
}

const uint8_t kTwoFrames[] = {0, 0, 0, 3, 0, 0, 0, 0, 0, 0, 0, 3,       // heartbeat
                              0, 0, 0, 9, 0, 0, 0, 1, 7, 0, 0, 0, 17};  // type 9, body {7}

// The hooks, called directly on a client that was never started (no socket: every send fails).
class ExposedClient : public StaticClient {
 public:
  using StaticClient::OnConnected;
  using StaticClient::OnData;
  using StaticClient::OnTimer;
  using StaticClient::StaticClient;
};

class StaticClientHooks : public LoggingTest {
 protected:
  StaticClientHooks() : decoder_(&recorder_) {}
  void SetUp() override {
    LoggingTest::SetUp();
    ASSERT_EQ(decoder_.AllocateRing(), 1);
  }

  RecordingDispatcher recorder_;
  feed::MarketDataDecoder decoder_;
  CaptureFile capture_;
  FakeProcessor processor_;
};

TEST_F(StaticClientHooks, FailedLogonIsReportedAndTheConnectionKept) {
  ExposedClient client(LoopbackConfig(1), decoder_, capture_, processor_);
  client.OnConnected();
  EXPECT_TRUE(catcher_->HasLine("<StaticClient>与源服务器<>建立连接成功"));
  EXPECT_TRUE(Logged("<MClientIO>向源服务器<>发送数据失败["));
  EXPECT_TRUE(Logged("sendlogon:104 === -"));
  EXPECT_TRUE(catcher_->HasLine("<StaticClient>SendLoginCmd失败"));
  EXPECT_FALSE(Logged("SendLoginCmd成功"));
  EXPECT_EQ(LevelOf("SendLoginCmd失败"), '0');
  EXPECT_EQ(LevelOf("发送数据失败"), '1');
}

TEST_F(StaticClientHooks, HeartbeatIntervalZeroSendsOnEveryTimerCall) {
  config::ConfigInfo config = LoopbackConfig(1);
  config.heartbt = 0;
  ExposedClient client(config, decoder_, capture_, processor_);
  client.OnConnected();
  client.OnTimer();
  client.OnTimer();
  client.OnTimer();
  EXPECT_EQ(catcher_->CountLines("sendheartbeat:0"), 3u);
}

TEST_F(StaticClientHooks, NegativeHeartbeatIntervalStillKeepsTheSessionAlive) {
  config::ConfigInfo config = LoopbackConfig(1);
  config.heartbt = -5;
  ExposedClient client(config, decoder_, capture_, processor_);
  client.OnConnected();
  client.OnTimer();
  EXPECT_EQ(catcher_->CountLines("sendheartbeat:0"), 1u);
}

// The heartbeat clock in simulated time: it runs from the logon and from the last Heartbeat only.
TEST_F(StaticClientHooks, HeartbeatIsDueAtHeartbtSecondsSinceTheLogonOrTheLastHeartbeat) {
  uint32_t tick = 0;
  ClientTimings timings;
  timings.tickCount = [&] { return tick; };
  config::ConfigInfo config = LoopbackConfig(1);
  config.heartbt = 30;
  ExposedClient client(config, decoder_, capture_, processor_, timings);
  struct Step {
    uint32_t at;
    char call;  // 'c' connected, 't' timer, 'd' data received
    size_t heartbeats;
  };
  const Step steps[] = {
      {1000, 'c', 0},  {30999, 't', 0},  {31000, 't', 1},  // due at 30,000 ms, not before
      {45000, 'd', 1},                                     // received data does not put it off
      {60999, 't', 1}, {61000, 't', 2},                    // 30,000 ms after the last one
      {70000, 'c', 2},                                     // a new logon starts the clock again
      {99999, 't', 2}, {100000, 't', 3},
  };
  for (const Step& step : steps) {
    tick = step.at;
    if (step.call == 'c') client.OnConnected();
    if (step.call == 't') client.OnTimer();
    if (step.call == 'd') client.OnData(kTwoFrames, sizeof kTwoFrames);
    EXPECT_EQ(catcher_->CountLines("sendheartbeat:0"), step.heartbeats) << "at " << step.at;
  }
}

TEST_F(StaticClientHooks, LogoutIsLoggedBeforeItIsSent) {
  ExposedClient client(LoopbackConfig(1), decoder_, capture_, processor_);
  EXPECT_LT(client.SendLogoutCmd(), 0);
  EXPECT_TRUE(catcher_->HasLine("sendlogout:216 "));
}

TEST_F(StaticClientHooks, DataGoesToTheCaptureFileAndThenToTheDecoder) {
  fw::test::FakeClock clock(20260305, 93000);
  config::ConfigInfo config = LoopbackConfig(1);
  config.savefileflag = true;
  SetField(config.savefile, dir_.Prefix());
  ExposedClient client(config, decoder_, capture_, processor_);
  EXPECT_EQ(client.OnData(kTwoFrames, 5), 1);
  EXPECT_EQ(client.OnData(kTwoFrames + 5, sizeof kTwoFrames - 5), 1);
  EXPECT_EQ(recorder_.Count(3), 1u);
  EXPECT_EQ(recorder_.Count(9), 1u);
  EXPECT_TRUE(capture_.IsOpen());
  client.Stop();
  EXPECT_FALSE(capture_.IsOpen());
  EXPECT_EQ(fw::test::ReadFileBytes(dir_.File("binaryData_20260305.dat")),
            std::string(reinterpret_cast<const char*>(kTwoFrames), sizeof kTwoFrames));
}

TEST_F(StaticClientHooks, WithoutCaptureNoFileIsWritten) {
  fw::test::FakeClock clock(20260305, 93000);
  config::ConfigInfo config = LoopbackConfig(1);
  config.savefileflag = false;
  SetField(config.savefile, dir_.Prefix());
  ExposedClient client(config, decoder_, capture_, processor_);
  EXPECT_EQ(client.OnData(kTwoFrames, sizeof kTwoFrames), 1);
  EXPECT_EQ(recorder_.Total(), 2u);
  EXPECT_FALSE(platform::FileExists(dir_.File("binaryData_20260305.dat")));
}

TEST_F(StaticClientHooks, StartWithAConfigurationUsesItsCopy) {
  config::ConfigInfo config = LoopbackConfig(1);
  config.begintime = 2400;  // never inside the window: the thread only idles
  config.endtime = 2400;
  ExposedClient client(LoopbackConfig(1), decoder_, capture_, processor_);
  SetField(config.ip, "127.0.0.2");
  config.port = 4321;
  ASSERT_EQ(client.Start(config), 1);
  SetField(config.ip, "changed");
  EXPECT_EQ(client.ServerAddress(), "127.0.0.2");
  EXPECT_EQ(client.ServerPort(), 4321);
  client.Stop();
  EXPECT_EQ(processor_.instanceCalls.load(), 0u);
}

}  // namespace
}  // namespace fw::client
