// A live day and its replay: the service runs against the gateway simulator with the raw capture
// on (the first connection dropped in the middle of a frame, garbage between frames), then
// fenwright-replay rebuilds the six files from that capture with the same ini. The cells a live run
// takes from its clock aside, the replayed files are the live ones; so they are once the closing
// file was applied.
#include <gtest/gtest.h>

#include <memory>
#include <mutex>
#include <sstream>
#include <string>

#include "config/config_info.h"
#include "feed/feed_counters.h"
#include "foundation/platform/platform.h"
#include "processor/process_io.h"
#include "shell/service.h"
#include "tests/support/service_day.h"
#include "tests/support/test_support.h"
#include "tools/dbf_diff.h"
#include "tools/feed_source.h"
#include "tools/gateway_simulator.h"
#include "tools/replay.h"
#include "tools/sample_day.h"

namespace fw::shell {
namespace {

using fw::test::TempDir;
using fw::test::WindowCatcher;

constexpr uint32_t kThursday = 20260305;
constexpr uint64_t kLogonAnswerBytes = 104;
constexpr uint64_t kHeartbeatBytes = 12;

class LiveAndReplay : public ::testing::TestWithParam<bool> {
 protected:
  void SetUp() override {
    window_ = WindowCatcher::Install();
    SetRunLogFolder(dir_.File("log"));
    tools::SampleDayOptions options;
    options.securityCount = 200;
    options.date = kThursday;
    options.seed = 13;
    auto day = std::make_shared<const tools::SampleDay>(tools::BuildSampleDay(options));
    const char separator = platform::kPathSeparator;
    xml_ = dir_.File("xml") + separator;
    ASSERT_GE(tools::WriteSampleDay(*day, xml_), 0);
    platform::MakeDirectory(dir_.File("live"));
    platform::MakeDirectory(dir_.File("capture"));

    tools::GatewayOptions gateway;
    gateway.source = [day] { return std::make_unique<tools::SyntheticDayFeed>(day, 4); };
    gateway.dropAfterBytes = 60001;
    gateway.faultySessions = 1;
    gateway.garbageEvery = 53;
    ASSERT_EQ(gateway_.Start(gateway), 1);

    const std::string live = dir_.File("live") + separator;
    ini_ = dir_.File("day.ini");
    test::WriteFileBytes(
        ini_, "[binary]\r\nip = 127.0.0.1\r\nport = " + std::to_string(gateway_.Port()) +
                  "\r\nbegintime = 845\r\nendtime = 1630\r\nsavefile = " + dir_.File("capture") +
                  separator + "\r\nsavefileflag = true\r\n[logon]\r\nsender = LIVE\r\n" +
                  "target = GATEWAY\r\nheartbt = 600\r\n[xmlfile]\r\nloadFolder = " + xml_ +
                  "\r\n[dbffile]\r\nhqdbf = " + live + "SJSHQ.DBF\r\nszl1 = " + live +
                  "SJSXXN.DBF\r\nSjsxxdbf = " + live + "SJSXX.DBF\r\nSjszsdbf = " + live +
                  "SJSZS.DBF\r\nSjsphhqdbf = " + live + "SJSPHHQ.DBF\r\nSjszhhqdbf = " + live +
                  "SJSZHHQ.DBF\r\nwriteInterval = 20\r\nwrIntervalSleep = 5\r\n[other]\r\n" +
                  "holiday = " + xml_ + "holiday.ini\r\nIndexNameFile = " + xml_ +
                  "indexname.ini\r\nuseholiday = true\r\n");
    config::ConfigInfo config;
    ASSERT_EQ(config.Load(ini_), 1);
    std::lock_guard<std::mutex> lock(config::TheConfigMutex());
    config::TheConfig() = config;
  }
  void TearDown() override {
    gateway_.Stop();
    test::RestoreServiceGlobals();
  }

  // Waits for `cycles` more write cycles than have run so far.
  bool WaitForCycles(int32_t cycles) {
    const int32_t target = processor_.CyclesWritten() + cycles;
    return WindowCatcher::WaitFor([&] { return processor_.CyclesWritten() >= target; },
                                  std::chrono::seconds(60));
  }

  TempDir dir_;
  test::FakeClock clock_{kThursday, 100000};
  std::shared_ptr<WindowCatcher> window_;
  std::string xml_;
  std::string ini_;
  tools::GatewaySimulator gateway_;
  refdata::ReferenceTables tables_;
  processor::MProcessIO processor_{tables_};
};

TEST_P(LiveAndReplay, ReplayOfTheCaptureWritesTheLiveFiles) {
  const bool closing = GetParam();
  Service service(processor_, test::ShortServiceTimings());
  ASSERT_EQ(service.ProgramInit(), 1);
  // Every byte the gateway sent has reached the decoder: the feed of both connections, a Logon
  // answer per connection and a Heartbeat answer per heartbeat.
  const feed::FeedCounters& counters = service.Decoder().Counters();
  const bool received = WindowCatcher::WaitFor(
      [&] {
        return gateway_.SourcesFinished() >= 1 &&
               counters.Bytes() == gateway_.FeedBytesSent() +
                                       kLogonAnswerBytes * gateway_.Logons().size() +
                                       kHeartbeatBytes * gateway_.Heartbeats();
      },
      std::chrono::seconds(120));
  ASSERT_TRUE(received) << counters.Bytes() << " bytes decoded, " << gateway_.FeedBytesSent()
                        << " feed bytes sent";
  ASSERT_EQ(gateway_.Connections(), 2u);
  ASSERT_TRUE(WaitForCycles(2));
  if (closing) {
    clock_.Set(kThursday, 150200);
    ASSERT_TRUE(WindowCatcher::WaitFor([&] { return processor_.State().ClosingDataLoaded(); },
                                       std::chrono::seconds(60)));
    ASSERT_TRUE(WaitForCycles(2));
  }
  service.ProgramExit();
  EXPECT_GT(counters.GarbageBytes(), 0u);

  std::vector<std::string> args = {
      dir_.File("capture") + platform::kPathSeparator + "binaryData_20260305.dat", "--ini", ini_,
      "--out", dir_.File("replay")};
  if (closing) args.push_back("--closing");
  std::ostringstream out;
  std::ostringstream err;
  ASSERT_EQ(tools::RunReplayProgram(args, out, err), 0) << err.str();
  EXPECT_NE(out.str().find("(1 cut by a reconnect)"), std::string::npos) << out.str();

  tools::DbfDiffOptions options;
  options.ignoreClock = true;
  const tools::DbfDiffResult diff =
      tools::DiffDbfPaths(dir_.File("live"), dir_.File("replay"), options);
  std::string differences;
  for (const std::string& error : diff.errors) differences += error + "\n";
  for (const auto& d : diff.differences) differences += tools::FormatDifference(d) + "\n";
  EXPECT_EQ(diff.status, 0) << differences;
  EXPECT_EQ(diff.filesCompared.size(), 6u);
}

INSTANTIATE_TEST_SUITE_P(EndOfDay, LiveAndReplay, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& param) {
                           return param.param ? "WithClosingFile" : "AtTheEndOfTheFeed";
                         });

}  // namespace
}  // namespace fw::shell
