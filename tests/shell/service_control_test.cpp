// Service control driven through the main window's rules with a fake window: autostart, the
// retried start, the refusals, a client that cannot start, and the close.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "config/config_info.h"
#include "foundation/error_code.h"
#include "foundation/platform/platform.h"
#include "processor/process_io.h"
#include "shell/health_status.h"
#include "shell/service.h"
#include "shell/ui_control.h"
#include "tests/support/service_day.h"
#include "tests/support/test_support.h"
#include "tools/sample_day.h"
#include "ui/main_window_model.h"

namespace fw::ui {
namespace {

using test::FakeClock;
using test::TempDir;
using test::WindowCatcher;

constexpr uint32_t kThursday = 20260305;

class FakeWindow : public WindowPort {
 public:
  void EnableButton(Button button, bool enabled) override {
    enabled_[static_cast<int>(button)] = enabled;
  }
  void ShowExclamation(const std::string& text) override { exclamations.push_back(text); }
  void ShowMarketTime(const std::string& text) override { marketTime = text; }
  void InsertLogLine(const std::string& line) override { list.insert(list.begin(), line); }
  void DeleteLogLine(size_t index) override { list.erase(list.begin() + static_cast<long>(index)); }
  void Pause(uint32_t) override {}
  bool Enabled(Button button) const { return enabled_[static_cast<int>(button)]; }

  std::vector<std::string> exclamations;
  std::vector<std::string> list;
  std::string marketTime = "80000";

 private:
  bool enabled_[3] = {true, true, true};
};

class ServiceControlTest : public ::testing::Test {
 protected:
  void SetUp() override {
    window_ = WindowCatcher::Install();
    SetRunLogFolder(dir_.File("log"));
    tools::SampleDayOptions options;
    options.securityCount = 30;
    options.date = kThursday;
    day_ = tools::BuildSampleDay(options);
    platform::MakeDirectory(dir_.File("xml"));
    xml_ = dir_.File("xml") + platform::kPathSeparator;
    ASSERT_GE(tools::WriteSampleDay(day_, xml_), 0);
    WriteIni(false);
    std::lock_guard<std::mutex> lock(config::TheConfigMutex());
    config::TheConfig().SetIniPath(dir_.File("fenwright.ini"));
  }
  void TearDown() override {
    MThread::SetStartFaultForTesting(nullptr);
    platform::SetFileFaultHook(nullptr);
    model_.Close();
    test::RestoreServiceGlobals();
  }

  void WriteIni(bool autostart) {
    test::WriteFileBytes(dir_.File("fenwright.ini"),
                         test::DayIniText(xml_, dir_, 1, "", autostart));
  }
  bool WaitForLine(const std::string& text, size_t count = 1) {
    return WindowCatcher::WaitFor([&] { return window_->CountLines(text) >= count; });
  }

  TempDir dir_;
  FakeClock clock_{kThursday, 100000};
  std::shared_ptr<WindowCatcher> window_;
  tools::SampleDay day_;
  std::string xml_;
  refdata::ReferenceTables tables_;
  processor::MProcessIO processor_{tables_};
  shell::Service service_{processor_, test::ShortServiceTimings()};
  shell::UiControl control_{service_};
  FakeWindow fake_;
  MainWindowModel model_{control_, fake_};
};

TEST_F(ServiceControlTest, InitialisationEmptiesTheTimeAndEnablesStartOnly) {
  EXPECT_EQ(model_.Initialize(), 1);
  EXPECT_EQ(fake_.marketTime, "");
  EXPECT_FALSE(fake_.Enabled(Button::kStop));
  EXPECT_FALSE(control_.StartRequested());
  EXPECT_TRUE(model_.StartEnabled());
}

TEST_F(ServiceControlTest, AutostartStartsTheServiceWithoutAButton) {
  WriteIni(true);
  const std::string statusFile = dir_.File("fenwright.status.json");
  service_.Status().Enable(statusFile, "1.0.0");
  EXPECT_EQ(model_.Initialize(), 1);
  EXPECT_FALSE(fake_.Enabled(Button::kStart));
  EXPECT_TRUE(fake_.Enabled(Button::kStop));
  EXPECT_FALSE(fake_.Enabled(Button::kConfig));
  ASSERT_TRUE(WaitForLine("----------- program has initialized! ---------------"));
  EXPECT_TRUE(WindowCatcher::WaitFor([&] { return processor_.CyclesWritten() > 0; }));
  EXPECT_TRUE(platform::FileExists(dir_.File("SJSHQ.DBF")));
  // The status file follows: the service runs and its cycles write the six files.
  shell::HealthStatus status;
  EXPECT_TRUE(WindowCatcher::WaitFor([&] {
    std::string text, reason;
    return platform::ReadWholeFile(statusFile, &text) == 1 &&
           shell::StatusFromJson(text, &status, &reason) &&
           status.service == shell::ServiceState::kRunning && status.lastCycle.has_value();
  }));
  EXPECT_EQ(status.files[2].path, dir_.File("SJSHQ.DBF"));
  EXPECT_EQ(status.files[2].lastWrittenAt, SecondsSinceEpoch(MakeLocalDateTime(kThursday, 100000)));
  EXPECT_EQ(status.connection.port, 1);
}

TEST_F(ServiceControlTest, StartBeforeTheFilesExistIsRetriedUntilStop) {
  const std::string cash = xml_ + "cashauctionparams_" + std::to_string(kThursday) + ".xml";
  ASSERT_TRUE(platform::RemoveFile(cash));
  ASSERT_EQ(model_.Initialize(), 1);
  model_.Start();
  ASSERT_TRUE(WaitForLine("----------- program is initializing! ---------------", 3));
  // Stop is accepted only during the retry pause; before that it is refused.
  ASSERT_TRUE(WindowCatcher::WaitFor([&] {
    model_.Stop();
    return control_.StopRequested();
  }));
  EXPECT_FALSE(control_.StartRequested());
  ASSERT_TRUE(WaitForLine("----------- program has ended! ---------------"));
  ASSERT_TRUE(WindowCatcher::WaitFor([&] { return !control_.StopRequested(); }));
  const size_t attempts =
      window_->CountLines("----------- program is initializing! ---------------");
  std::this_thread::sleep_for(std::chrono::milliseconds(400));  // more than two retry pauses
  EXPECT_EQ(window_->CountLines("----------- program is initializing! ---------------"), attempts);
  EXPECT_TRUE(fake_.Enabled(Button::kStart));
  EXPECT_TRUE(fake_.Enabled(Button::kConfig));
}

TEST_F(ServiceControlTest, StopIsRefusedWhileTheStartAttemptRuns) {
  // A settling wait far longer than the test: the attempt is still running when Stop is pressed,
  // however slowly this thread runs; the close ends the wait at once.
  shell::ServiceTimings timings = test::ShortServiceTimings();
  timings.startSettleMs = 600000;
  refdata::ReferenceTables tables;
  processor::MProcessIO processor(tables);
  shell::Service service(processor, timings);
  shell::UiControl control(service);
  FakeWindow fake;
  MainWindowModel model(control, fake);
  ASSERT_EQ(model.Initialize(), 1);
  model.Start();
  ASSERT_TRUE(WaitForLine("----------- program has initialized! ---------------"));
  model.Stop();
  ASSERT_EQ(fake.exclamations, std::vector<std::string>{"正在启动，请等待..."});
  EXPECT_TRUE(control.StartRequested());
  EXPECT_FALSE(control.StopRequested());
  EXPECT_TRUE(fake.Enabled(Button::kStop));
  model.Close();
}

TEST_F(ServiceControlTest, StartIsRefusedWhileTheServiceStops) {
  // The stop sequence's settling wait outlasts the test; the close ends it.
  shell::ServiceTimings timings = test::ShortServiceTimings();
  timings.stopSettleMs = 600000;
  refdata::ReferenceTables tables;
  processor::MProcessIO processor(tables);
  shell::Service service(processor, timings);
  shell::UiControl control(service);
  FakeWindow fake;
  MainWindowModel model(control, fake);
  ASSERT_EQ(model.Initialize(), 1);
  model.Start();
  ASSERT_TRUE(WaitForLine("----------- program has initialized! ---------------"));
  ASSERT_TRUE(WindowCatcher::WaitFor([&] { return !control.StartRequested(); }));
  model.Stop();
  ASSERT_TRUE(WaitForLine("----------- program has ended! ---------------"));
  model.Start();
  EXPECT_EQ(fake.exclamations, std::vector<std::string>{"正在停止，请等待..."});
  EXPECT_FALSE(control.StartRequested());
  EXPECT_TRUE(fake.Enabled(Button::kStart));
  model.Close();
}

TEST_F(ServiceControlTest, StopSequenceEmptiesTheMarketTimeAndAllowsANewStart) {
  ASSERT_EQ(model_.Initialize(), 1);
  model_.Start();
  ASSERT_TRUE(WaitForLine("----------- program has initialized! ---------------"));
  ASSERT_TRUE(WindowCatcher::WaitFor([&] { return !control_.StartRequested(); }));
  model_.Stop();
  ASSERT_TRUE(WaitForLine("----------- program has ended! ---------------"));
  ASSERT_TRUE(WindowCatcher::WaitFor([&] { return !control_.StopRequested(); }));
  const auto times = window_->MarketTimes();
  ASSERT_FALSE(times.empty());
  EXPECT_EQ(times.back(), "");
  model_.Start();
  EXPECT_TRUE(fake_.exclamations.empty());
  EXPECT_TRUE(WaitForLine("----------- program has initialized! ---------------", 2));
}

TEST_F(ServiceControlTest, ClientThatCannotStartLeavesTheWriterRunningUntilStop) {
  MThread::SetStartFaultForTesting([](const std::string& name) {
    return name == "ClientThreadFunc线程" ? SystemErrorCode(11) : int32_t{0};
  });
  ASSERT_EQ(model_.Initialize(), 1);
  model_.Start();
  ASSERT_TRUE(WaitForLine("----------- program is initializing! ---------------"));
  ASSERT_TRUE(WindowCatcher::WaitFor([&] { return processor_.CyclesWritten() >= 2; }));
  EXPECT_EQ(window_->CountLines("----------- program has initialized! ---------------"), 0u);
  ASSERT_TRUE(WindowCatcher::WaitFor([&] { return !control_.StartRequested(); }));
  model_.Stop();
  ASSERT_TRUE(WaitForLine("----------- program has ended! ---------------"));
  const int32_t cycles = processor_.CyclesWritten();
  std::this_thread::sleep_for(std::chrono::milliseconds(150));
  EXPECT_EQ(processor_.CyclesWritten(), cycles);
}

TEST_F(ServiceControlTest, ControlThreadThatCannotBeCreatedIsReported) {
  MThread::SetStartFaultForTesting([](const std::string& name) {
    return name == "RunControlThead线程" ? SystemErrorCode(11) : int32_t{0};
  });
  EXPECT_EQ(model_.Initialize(), SystemErrorCode(11));
  bool found = false;
  for (const std::string& line : window_->LogLines()) {
    found = found ||
            line.find("<Log_LV1> t=100000 <UiControl>创建RunControlThead线程失败[<Windows>") == 0;
  }
  EXPECT_TRUE(found);
}

TEST_F(ServiceControlTest, UnreadableConfigurationIsReported) {
  const std::string ini = dir_.File("fenwright.ini");
  platform::SetFileFaultHook([ini](platform::FileOp op, const std::string& path, uint32_t) {
    return op == platform::FileOp::kOpen && path == ini ? SystemErrorCode(5) : int32_t{0};
  });
  EXPECT_EQ(model_.Initialize(), -1);
  EXPECT_TRUE(window_->HasLine("<UiControl>初始化配置信息失败！"));
}

TEST_F(ServiceControlTest, CloseWhileRunningStopsEverythingOnce) {
  WriteIni(true);
  ASSERT_EQ(model_.Initialize(), 1);
  ASSERT_TRUE(WaitForLine("----------- program has initialized! ---------------"));
  model_.Close();
  EXPECT_EQ(window_->CountLines("----------- program has ended! ---------------"), 1u);
  EXPECT_EQ(processor_.IsInitialized(), 0);
  const int32_t cycles = processor_.CyclesWritten();
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_EQ(processor_.CyclesWritten(), cycles);
}

TEST(MainWindowModel, LogListKeepsTheNewest500LinesNewestFirst) {
  refdata::ReferenceTables tables;
  processor::MProcessIO processor(tables);
  shell::Service service(processor);
  shell::UiControl control(service);
  FakeWindow fake;
  MainWindowModel model(control, fake);
  for (int i = 1; i <= 501; ++i) model.AddLogLine("line " + std::to_string(i));
  ASSERT_EQ(model.LogLines().size(), 500u);
  EXPECT_EQ(model.LogLines().front(), "line 501");
  EXPECT_EQ(model.LogLines().back(), "line 2");
  EXPECT_EQ(fake.list.size(), 500u);
  EXPECT_EQ(fake.list.front(), "line 501");
  EXPECT_EQ(fake.list.back(), "line 2");
  model.SetMarketTime("93015");
  EXPECT_EQ(fake.marketTime, "93015");
}

TEST(MainWindowModel, VersionTextComesFromTheTwoStoredWords) {
  EXPECT_EQ(VersionText(), "V1.04 B010 Build B0021");
  EXPECT_EQ(VersionText((105u << 16) | 0x1FFu, 0x105u), "V1.05 B255 Build B0005");
}

}  // namespace
}  // namespace fw::ui
