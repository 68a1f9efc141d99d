// The health status: the file the keeper writes after a start, a cycle, a drop and a failing file
// (read back with the JSON reader, field by field), and the judgement of a status at a given time.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>

#include "feed/feed_counters.h"
#include "foundation/json_value.h"
#include "foundation/platform/platform.h"
#include "market/market_state.h"
#include "shell/status_keeper.h"
#include "shell/status_report.h"
#include "tests/support/test_support.h"

namespace fw::shell {
namespace {

using client::ConnectionState;
using client::GatewayRole;

constexpr uint32_t kThursday = 20260305;

class StatusKeeperTest : public ::testing::Test {
 protected:
  JsonValue ReadFile() {
    std::string text;
    EXPECT_EQ(platform::ReadWholeFile(path_, &text), 1);
    JsonValue value;
    std::string reason;
    EXPECT_TRUE(ParseJson(text, &value, &reason)) << reason;
    return value;
  }
  static std::string Text(const JsonValue& v) { return v.GetString() ? *v.GetString() : "?"; }
  static int64_t Int(const JsonValue& v) {
    int64_t n = -1;
    EXPECT_TRUE(v.GetInt(&n));
    return n;
  }
  static processor::CycleReport Cycle(uint32_t time, int32_t hqResult) {
    processor::CycleReport report;
    report.start = MakeLocalDateTime(kThursday, time);
    report.durationMs = 41;
    for (size_t i = 0; i < report.files.size(); ++i) report.files[i] = {1, 100 * (i + 1)};
    if (hqResult < 0) report.files[2] = {hqResult, 0};  // SJSHQ
    return report;
  }

  test::TempDir dir_;
  test::FakeClock clock_{kThursday, 100000};
  std::string path_ = dir_.File("fenwright.status.json");
  market::MarketState state_;
  feed::FeedCounters counters_;
  StatusKeeper keeper_{state_, counters_};
};

TEST_F(StatusKeeperTest, FileFollowsAStartACycleADropAndAFailingFile) {
  config::ConfigInfo config;
  std::strcpy(config.ip, "10.1.1.1");
  config.port = 9129;
  std::strcpy(config.hqdbf, "D:\\hq\\SJSHQ.DBF");
  config.writeInterval = 3000;
  keeper_.WriteIfDue();
  EXPECT_FALSE(platform::FileExists(path_));  // not enabled: no file
  keeper_.Enable(path_, "1.2.3 (build abc)");
  keeper_.SetConfig(config);
  keeper_.SetServiceState(ServiceState::kRunning);

  JsonValue s = ReadFile();
  EXPECT_EQ(Text(s["version"]), "1.2.3 (build abc)");
  EXPECT_EQ(Int(s["pid"]), static_cast<int64_t>(platform::ProcessId()));
  EXPECT_EQ(Text(s["updatedAt"]), "2026-03-05T10:00:00");
  EXPECT_EQ(Int(s["writeIntervalMs"]), 3000);
  EXPECT_EQ(Text(s["service"]), "running");
  EXPECT_EQ(Text(s["connection"]["address"]), "10.1.1.1");
  EXPECT_EQ(Int(s["connection"]["port"]), 9129);
  EXPECT_EQ(Text(s["connection"]["state"]), "disconnected");
  EXPECT_EQ(Text(s["connection"]["gateway"]), "primary");
  EXPECT_TRUE(s["connection"]["loggedOnSince"].IsNull());
  EXPECT_TRUE(s["lastMessageAt"].IsNull());
  EXPECT_TRUE(s["lastCycle"].IsNull());
  EXPECT_EQ(s["files"].Size(), 6u);
  EXPECT_EQ(Text(s["files"]["SJSHQ"]["path"]), "D:\\hq\\SJSHQ.DBF");
  EXPECT_TRUE(s["files"]["SJSHQ"]["lastWrittenAt"].IsNull());

  clock_.Set(kThursday, 100005);
  keeper_.OnConnectionChange(
      {ConnectionState::kConnected, "10.1.1.1", 9129, GatewayRole::kPrimary});
  counters_.AddFrame(300111);
  counters_.AddFrame(300111);
  counters_.AddBadChecksum();
  keeper_.OnDataReceived();
  keeper_.OnCycle(Cycle(100006, 1));
  clock_.Set(kThursday, 100007);
  keeper_.WriteIfDue();
  s = ReadFile();
  EXPECT_EQ(Text(s["connection"]["state"]), "connected");
  EXPECT_EQ(Text(s["connection"]["loggedOnSince"]), "2026-03-05T10:00:05");
  EXPECT_EQ(Text(s["lastMessageAt"]), "2026-03-05T10:00:05");
  EXPECT_EQ(Int(s["messagesApplied"]["300111"]), 2);
  EXPECT_EQ(Int(s["framesRejected"]["badChecksum"]), 1);
  EXPECT_EQ(Int(s["reconnects"]), 0);
  EXPECT_EQ(Text(s["lastCycle"]["start"]), "2026-03-05T10:00:06");
  EXPECT_EQ(Int(s["lastCycle"]["durationMs"]), 41);
  EXPECT_EQ(Int(s["lastCycle"]["bytes"]), 2100);
  EXPECT_EQ(Text(s["files"]["SJSHQ"]["lastWrittenAt"]), "2026-03-05T10:00:06");
  EXPECT_TRUE(s["files"]["SJSHQ"]["lastError"].IsNull());

  // The primary drops, the backup takes over; SJSHQ fails in two cycles.
  clock_.Set(kThursday, 100010);
  keeper_.OnConnectionChange(
      {ConnectionState::kDisconnected, "10.1.1.1", 9129, GatewayRole::kPrimary});
  keeper_.WriteIfDue();
  s = ReadFile();
  EXPECT_EQ(Text(s["connection"]["state"]), "disconnected");
  EXPECT_TRUE(s["connection"]["loggedOnSince"].IsNull());
  keeper_.OnConnectionChange({ConnectionState::kConnected, "10.1.1.2", 9130, GatewayRole::kBackup});
  const auto kFailed = static_cast<int32_t>(0xA0000014u);
  keeper_.OnCycle(Cycle(100011, kFailed));
  keeper_.OnCycle(Cycle(100020, kFailed));
  clock_.Set(kThursday, 100021);
  keeper_.WriteIfDue();
  s = ReadFile();
  EXPECT_EQ(Text(s["connection"]["address"]), "10.1.1.2");
  EXPECT_EQ(Int(s["connection"]["port"]), 9130);
  EXPECT_EQ(Text(s["connection"]["gateway"]), "backup");
  EXPECT_EQ(Int(s["reconnects"]), 1);
  const JsonValue& hq = s["files"]["SJSHQ"];
  EXPECT_EQ(Text(hq["lastWrittenAt"]), "2026-03-05T10:00:06");
  EXPECT_EQ(Int(hq["lastError"]["code"]), 0xA0000014ll);
  EXPECT_EQ(Text(hq["lastError"]["at"]), "2026-03-05T10:00:20");
  EXPECT_EQ(Text(hq["lastError"]["since"]), "2026-03-05T10:00:11");
  EXPECT_EQ(Text(s["files"]["SJSZS"]["lastWrittenAt"]), "2026-03-05T10:00:20");
  EXPECT_EQ(Int(s["lastCycle"]["bytes"]), 2100 - 300);

  keeper_.ProgramEnded();
  EXPECT_EQ(Text(ReadFile()["endedAt"]), "2026-03-05T10:00:21");
  EXPECT_FALSE(platform::FileExists(path_ + ".new"));
}

// Written while nothing changes once per write interval, so that the file's age shows that the
// program lives.
TEST_F(StatusKeeperTest, UnchangedStatusIsRewrittenOncePerWriteInterval) {
  uint32_t tick = 0;
  keeper_.SetTickCountForTesting([&tick] { return tick; });
  keeper_.Enable(path_, "v");
  keeper_.WriteIfDue();
  ASSERT_TRUE(platform::RemoveFile(path_));
  tick = 2999;
  keeper_.WriteIfDue();
  EXPECT_FALSE(platform::FileExists(path_));
  tick = 3000;
  keeper_.WriteIfDue();
  EXPECT_TRUE(platform::FileExists(path_));
}

// A status written at `now` by a program that is connected, hears the feed and writes every file.
HealthStatus Healthy(int64_t now) {
  HealthStatus s;
  s.version = "1.0.0";
  s.updatedAt = now;
  s.writeIntervalMs = 3000;
  s.service = ServiceState::kRunning;
  s.connection = {"10.1.1.1", 9129,        ConnectionState::kConnected, GatewayRole::kPrimary,
                  now - 600,  std::nullopt};
  s.lastMessageAt = now - 2;
  s.lastCycle = CycleStatus{now - 1, 41, 1000};
  const char* names[] = {"SJSXXN", "SJSXX", "SJSHQ", "SJSZS", "SJSPHHQ", "SJSZHHQ"};
  for (size_t i = 0; i < 6; ++i) s.files[i] = {names[i], names[i], now - 1, std::nullopt};
  return s;
}

TEST(StatusReport, LevelsFollowTheLimits) {
  const int64_t ten = SecondsSinceEpoch(MakeLocalDateTime(kThursday, 100000));
  const int64_t opening = SecondsSinceEpoch(MakeLocalDateTime(kThursday, 84500));
  const int64_t evening = SecondsSinceEpoch(MakeLocalDateTime(kThursday, 170000));
  const auto down = [](int64_t since) {
    return [since](HealthStatus& s) {
      s.connection.state = ConnectionState::kConnecting;
      s.connection.loggedOnSince.reset();
      s.connection.disconnectedSince = since;
    };
  };
  const auto failing = [](int64_t since) {
    return [since](HealthStatus& s) { s.files[2].lastError = {-5, "x", since + 1, since}; };
  };
  struct Case {
    const char* what;
    int64_t statusAt;  // the healthy status's time
    int64_t now;
    std::function<void(HealthStatus&)> change;
    int exitCode;
    const char* firstLine;
  };
  const Case cases[] = {
      {"healthy", ten, ten, nullptr, 0,
       "FENWRIGHT OK - running, last message 2 s ago, cycle 41 ms"},
      {"ended", ten, ten, [](HealthStatus& s) { s.endedAt = s.updatedAt; }, 2,
       "FENWRIGHT CRITICAL - the program ended at 2026-03-05T10:00:00"},
      {"19 s old", evening, evening + 19, nullptr, 0, nullptr},
      {"20 s old", evening, evening + 20, nullptr, 2,
       "FENWRIGHT CRITICAL - the status is 20 s old: the program is not running or hangs"},
      {"failing 59 s", ten, ten, failing(ten - 59), 0, nullptr},
      {"failing 60 s", ten, ten, failing(ten - 60), 2,
       "FENWRIGHT CRITICAL - SJSHQ failing for 60 s"},
      {"down 59 s", ten, ten, down(ten - 59), 0, nullptr},
      {"down 60 s", ten, ten, down(ten - 60), 2, "FENWRIGHT CRITICAL - no connection for 60 s"},
      {"silent 29 s", ten, ten, [&](HealthStatus& s) { s.lastMessageAt = ten - 29; }, 0, nullptr},
      {"silent 30 s", ten, ten, [&](HealthStatus& s) { s.lastMessageAt = ten - 30; }, 1,
       "FENWRIGHT WARNING - no message for 30 s"},
      {"SJSZS 9 s", ten, ten, [&](HealthStatus& s) { s.files[3].lastWrittenAt = ten - 9; }, 0,
       nullptr},
      {"SJSZS 10 s", ten, ten, [&](HealthStatus& s) { s.files[3].lastWrittenAt = ten - 10; }, 1,
       "FENWRIGHT WARNING - SJSZS not written for 10 s"},
      // Waits that began before the window opened count from its opening.
      {"down since 8:00, 59 s open", opening + 59, opening + 59, down(opening - 2700), 0, nullptr},
      {"down since 8:00, 60 s open", opening + 60, opening + 60, down(opening - 2700), 2,
       "FENWRIGHT CRITICAL - no connection for 60 s"},
      {"evening", evening, evening,
       [&](HealthStatus& s) {
         down(evening - 3600)(s);
         s.service = ServiceState::kStopped;
         s.lastMessageAt.reset();
         for (FileStatus& f : s.files) f.lastWrittenAt = evening - 3600;
       },
       0, "FENWRIGHT OK - stopped, no message yet, cycle 41 ms, outside trading hours"},
      {"holiday", ten, ten,
       [&](HealthStatus& s) {
         down(ten - 3600)(s);
         s.tradingWindow.workingDay = false;
       },
       0, nullptr},
  };
  for (const Case& c : cases) {
    HealthStatus s = Healthy(c.statusAt);
    if (c.change) c.change(s);
    const StatusReport report = ReportStatus(s, c.now);
    EXPECT_EQ(report.exitCode, c.exitCode) << c.what << "\n" << report.text;
    if (c.firstLine != nullptr) {
      EXPECT_EQ(report.text.substr(0, report.text.find('\n')), c.firstLine) << c.what;
    }
  }
}

}  // namespace
}  // namespace fw::shell
