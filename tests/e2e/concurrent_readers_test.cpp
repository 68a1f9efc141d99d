// The whole service under load with another process reading its files: the gateway simulator plays
// a day at full speed, the service decodes it and rewrites the six DBF files on a short interval,
// and fenwright-dbfwatch, a separate program, opens and reads the six files all the while. Meant
// for the ThreadSanitizer build as much as for the plain one: no race, no crash, and every read
// the other process made is either sound or explained by a rewrite in progress.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>

#include "config/config_info.h"
#include "foundation/platform/platform.h"
#include "processor/process_io.h"
#include "shell/service.h"
#include "tests/support/day_config.h"
#include "tests/support/service_day.h"
#include "tests/support/test_support.h"
#include "tools/dbf_watch.h"
#include "tools/feed_source.h"
#include "tools/gateway_simulator.h"
#include "tools/sample_day.h"

namespace fw::shell {
namespace {

using fw::test::FakeClock;
using fw::test::SetText;
using fw::test::TempDir;
using fw::test::WindowCatcher;

constexpr uint32_t kThursday = 20260305;
// The reader reports a malformed read that does not turn sound within this time; each file stays
// unchanged for a whole write interval, so a file malformed at rest cannot escape it.
constexpr uint32_t kSettleMs = 100;
constexpr uint32_t kWriteIntervalMs = 250;
constexpr int32_t kCycles = 10;

const char* const kFiles[] = {"SJSXXN.DBF", "SJSXX.DBF",   "SJSHQ.DBF",
                              "SJSZS.DBF",  "SJSPHHQ.DBF", "SJSZHHQ.DBF"};

// The counts of one "label: reads=… sound=…" line of the reader's output.
struct WatchLine {
  bool found = false;
  unsigned long long reads = 0, sound = 0, tail = 0, torn = 0, changed = 0, malformed = 0,
                     unopened = 0;
};

WatchLine FindWatchLine(const std::string& output, const std::string& label) {
  WatchLine w;
  std::istringstream lines(output);
  for (std::string line; std::getline(lines, line);) {
    if (line.rfind(label + ": reads=", 0) != 0) continue;
    w.found = std::sscanf(line.c_str() + label.size(),
                          ": reads=%llu sound=%llu tail=%llu torn=%llu changed=%llu malformed=%llu "
                          "unopened=%llu",
                          &w.reads, &w.sound, &w.tail, &w.torn, &w.changed, &w.malformed,
                          &w.unopened) == 7;
  }
  return w;
}

class ConcurrentReaders : public ::testing::Test {
 protected:
  void SetUp() override {
    window_ = WindowCatcher::Install();
    SetRunLogFolder(dir_.File("log"));
    tools::SampleDayOptions options;
    options.securityCount = 800;
    options.date = kThursday;
    options.seed = 9;
    day_ = std::make_shared<const tools::SampleDay>(tools::BuildSampleDay(options));
    const std::string xml = dir_.File("xml") + platform::kPathSeparator;
    ASSERT_GE(tools::WriteSampleDay(*day_, xml), 0);

    tools::GatewayOptions gateway;
    auto day = day_;
    // More rounds than the test can play: the feed never runs dry while it lasts.
    gateway.source = [day] { return std::make_unique<tools::SyntheticDayFeed>(day, 100000); };
    ASSERT_EQ(gateway_.Start(gateway), 1);

    config::ConfigInfo config;
    SetText(config.ip, "127.0.0.1");
    config.port = gateway_.Port();
    config.begintime = 0;
    config.endtime = 2359;
    config.heartbt = 1;
    SetText(config.sender, "FENWRIGHT");
    SetText(config.target, "SZSEGW");
    SetText(config.ver, "1.00");
    test::PointAtDay(&config, xml, dir_.Prefix());
    config.useholiday = true;
    config.writeInterval = kWriteIntervalMs;
    config.wrIntervalSleep = 10;
    std::lock_guard<std::mutex> lock(config::TheConfigMutex());
    config::TheConfig() = config;
  }
  void TearDown() override {
    gateway_.Stop();
    test::RestoreServiceGlobals();
  }

  static ServiceTimings Timings() {
    ServiceTimings t;
    t.client.idlePauseMs = 20;
    t.client.reconnectPauseMs = 50;
    t.client.readWaitMs = 20;
    t.writer.outsideWindowSleepMs = 10;
    t.writer.reportCycles = true;
    return t;
  }

  // The reader program over the six files until the stop file appears; its output in out.
  std::string WatchCommand(const std::string& stopFile, const std::string& out) const {
    std::string command;
    const auto quoted = [&command](const std::string& text) {
      command.append(" \"").append(text).append("\"");
    };
    quoted(FW_DBFWATCH);
    command.append(" --settle-ms ").append(std::to_string(kSettleMs)).append(" --stop-file");
    quoted(stopFile);
    for (const char* name : kFiles) quoted(dir_.File(name));
    command.append(" >");
    quoted(out);
    command.append(" 2>&1");
    // cmd /c drops the first and the last quote of a command line that starts with one.
    return FW_CMD_SHELL ? "\"" + command + "\"" : command;
  }

  TempDir dir_;
  FakeClock clock_{kThursday, 100000};
  std::shared_ptr<WindowCatcher> window_;
  std::shared_ptr<const tools::SampleDay> day_;
  tools::GatewaySimulator gateway_;
  refdata::ReferenceTables tables_;
  processor::MProcessIO processor_{tables_};
};

TEST_F(ConcurrentReaders, AnotherProcessReadsOnlySoundOrMidRewriteFiles) {
  Service service(processor_, Timings());
  ASSERT_EQ(service.ProgramInit(), 1);

  const std::string stop = dir_.File("stop");
  const std::string out = dir_.File("watch.out");
  int status = -1;
  std::thread reader([&] { status = std::system(WatchCommand(stop, out).c_str()); });

  const bool cycled = WindowCatcher::WaitFor([&] { return processor_.CyclesWritten() >= kCycles; },
                                             std::chrono::seconds(120));
  const uint64_t applied = processor_.State().UpdatesApplied();
  test::WriteFileBytes(stop, "");
  reader.join();
  service.ProgramExit();

  ASSERT_TRUE(cycled) << processor_.CyclesWritten() << " write cycles";
  // The feed was flowing at full speed while the files were rewritten.
  EXPECT_GT(applied, 2000u);
  EXPECT_GE(window_->CountLines("updates applied"), 1u);
  const std::vector<std::string> lines = window_->LogLines();
  EXPECT_TRUE(std::any_of(lines.begin(), lines.end(), [](const std::string& line) {
    return line.find("> t=100000 write cycle wrote ") != std::string::npos &&
           line.find(", SJSZHHQ ") != std::string::npos;
  }));

  const std::string output = test::ReadFileBytes(out);
  std::printf("%s", output.c_str());
  EXPECT_EQ(status, 0) << output;
  const WatchLine total = FindWatchLine(output, "total");
  ASSERT_TRUE(total.found) << output;
  EXPECT_EQ(total.malformed, 0u) << output;
  for (const char* name : kFiles) {
    const WatchLine file = FindWatchLine(output, dir_.File(name));
    ASSERT_TRUE(file.found) << name;
    EXPECT_GE(file.sound, 1u) << name;
  }
  // At rest, after the service stopped, every file is complete and well formed.
  for (const char* name : kFiles) {
    std::string image;
    ASSERT_TRUE(tools::ReadWholeDbf(dir_.File(name), &image)) << name;
    const tools::DbfImageCheck check = tools::CheckDbfImage(image);
    EXPECT_EQ(check.verdict, tools::DbfVerdict::kSound) << name << ": " << check.reason;
  }
}

}  // namespace
}  // namespace fw::shell
