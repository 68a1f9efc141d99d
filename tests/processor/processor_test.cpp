// The processor's start-up of a trading day and its write thread, over a generated sample day.
#include "processor/process_io.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <vector>

#include "feed/market_data_decoder.h"
#include "feed/market_data_handlers.h"
#include "foundation/error_code.h"
#include "foundation/platform/platform.h"
#include "tests/support/day_config.h"
#include "tests/support/independent_dbf_reader.h"
#include "tests/support/market_rows.h"
#include "tests/support/test_support.h"
#include "tools/market_data_encoder.h"
#include "tools/sample_day.h"

namespace fw::processor {
namespace {

using market::IndexTable;
using market::MarketClock;
using market::StockQuoteRecord;
using test::FakeClock;
using test::SetText;
using test::TempDir;
using test::WindowCatcher;

constexpr uint32_t kThursday = 20260305;
constexpr uint32_t kSaturday = 20260307;

class ProcessorTest : public ::testing::Test {
 protected:
  void SetUp() override {
    window_ = WindowCatcher::Install();
    SetRunLogFolder(dir_.File("log"));
    tools::SampleDayOptions options;
    options.securityCount = 60;
    options.date = kThursday;
    options.seed = 11;
    day_ = tools::BuildSampleDay(options);
    xml_ = dir_.File("xml") + platform::kPathSeparator;
    platform::MakeDirectory(dir_.File("xml"));
    ASSERT_GE(tools::WriteSampleDay(day_, xml_), 0);

    test::PointAtDay(&config_, xml_, dir_.Prefix());
    config_.begintime = 845;
    config_.endtime = 1630;
    config_.writeInterval = 30;
    config_.wrIntervalSleep = 5;
    config_.PriceUpLimit = true;
    processor_.SetConfig(config_);
    processor_.SetFeedRing(&decoder_.Ring());
    timings_.outsideWindowSleepMs = 5;
    timings_.failurePauseMs = 5;
    processor_.SetWriterTimings(timings_);
    decoder_.AllocateRing();
  }
  void TearDown() override {
    processor_.StopWriter();
    platform::SetFileFaultHook(nullptr);
    CloseRunLog();
    SetRunLogFolder(".\\log");
    WindowCatcher::Uninstall();
  }

  bool Exists(const std::string& name) const { return platform::FileExists(dir_.File(name)); }
  void RemoveXml(const std::string& root) {
    ASSERT_TRUE(platform::RemoveFile(xml_ + root + "_" + std::to_string(kThursday) + ".xml"));
  }
  void Feed(const tools::Frame& frame) {
    decoder_.Process(frame.data(), static_cast<uint32_t>(frame.size()));
  }
  // Runs the write thread in simulated time until its `pauses`-th pause, stops it, and returns
  // what it did, in order: "pause <ms>" (each pause moves the tick counter on by its length),
  // "cycle at <tick>" (a write cycle, which takes 400 ms, as it opens SJSXXN), "closing file" (a
  // try of the closing file) and "capture closed".
  std::vector<std::string> RunWriterSimulated(uint32_t pauses) {
    struct Run {
      std::mutex mutex;
      uint32_t tick = 0;
      uint32_t pauses = 0;
      std::vector<std::string> events;
      std::atomic<bool> held{false};
      void Note(const std::string& event) {
        std::lock_guard<std::mutex> lock(mutex);
        events.push_back(event);
      }
    };
    auto run = std::make_shared<Run>();
    const std::string xxn = config_.szl1;
    const std::string closing = xml_ + "cashsecurityclosemd_" + std::to_string(kThursday) + ".xml";
    platform::SetFileFaultHook(
        [run, xxn, closing](platform::FileOp op, const std::string& path, uint32_t) {
          if (op != platform::FileOp::kOpen) return int32_t{0};
          std::lock_guard<std::mutex> lock(run->mutex);
          if (path == xxn) {
            run->events.push_back("cycle at " + std::to_string(run->tick));
            run->tick += 400;
          } else if (path == closing) {
            run->events.push_back("closing file");
          }
          return int32_t{0};
        });
    WriterTimings timings;
    timings.tickCount = [run] {
      std::lock_guard<std::mutex> lock(run->mutex);
      return run->tick;
    };
    timings.pause = [run, pauses](uint32_t ms) {
      {
        std::lock_guard<std::mutex> lock(run->mutex);
        run->events.push_back("pause " + std::to_string(ms));
        run->tick += ms;
        if (++run->pauses < pauses) return;
      }
      run->held = true;
      MThread::CurrentWaitForStop(600000);
    };
    processor_.SetWriterTimings(timings);
    processor_.SetCaptureCloser([run] { run->Note("capture closed"); });
    EXPECT_EQ(processor_.StartWriter(), 1);
    EXPECT_TRUE(WindowCatcher::WaitFor([&] { return run->held.load(); }));
    processor_.StopWriter();
    platform::SetFileFaultHook(nullptr);
    processor_.SetCaptureCloser(nullptr);
    processor_.SetWriterTimings(timings_);
    std::lock_guard<std::mutex> lock(run->mutex);
    return run->events;
  }

  bool WaitForCycles(int32_t cycles) {
    return WindowCatcher::WaitFor([&] { return processor_.CyclesWritten() >= cycles; });
  }
  // The first loadable security of the day with a price: its code and previous close.
  const tools::SampleSecurity& FirstStock() const {
    for (const tools::SampleSecurity& s : day_.securities) {
      if (s.Loadable() && s.securityType == 1) return s;
    }
    return day_.securities.front();
  }

  TempDir dir_;
  FakeClock clock_{kThursday, 100000};
  std::shared_ptr<WindowCatcher> window_;
  tools::SampleDay day_;
  std::string xml_;
  config::ConfigInfo config_;
  WriterTimings timings_;
  refdata::ReferenceTables tables_;
  MProcessIO processor_{tables_};
  feed::MarketDataHandlers handlers_{processor_.State()};
  feed::MarketDataDecoder decoder_{&handlers_};
};

TEST_F(ProcessorTest, StartUpLoadsTheDayAndWritesTheSecurityInformationFiles) {
  const uint8_t stale[] = {0, 0, 0, 3, 0, 0};
  decoder_.Ring().Write(stale, sizeof stale);
  EXPECT_EQ(processor_.Instance(), 0);
  EXPECT_EQ(processor_.IsInitialized(), 1);
  EXPECT_TRUE(window_->HasLine(
      "MProcessIO::Instance() : 开始初始化... [ V1.04 B010 Build B0021 ]--------"));
  EXPECT_TRUE(window_->HasLine(
      "create xxnfile = " + dir_.File("SJSXXN.DBF") + " xxfile=" + dir_.File("SJSXX.DBF") +
      " zsfile=" + dir_.File("SJSZS.DBF") + " (hqfile = " + dir_.File("SJSHQ.DBF") + ")"));
  EXPECT_TRUE(window_->HasLine("MProcessIO::Instance() : 初始化成功完成!"));
  EXPECT_EQ(decoder_.Ring().DataLength(), 0u);
  EXPECT_TRUE(Exists("SJSXX.DBF"));
  EXPECT_TRUE(Exists("SJSXXN.DBF"));
  EXPECT_FALSE(Exists("SJSHQ.DBF"));  // the quote files wait for the write thread
  const MarketClock clock = processor_.State().Clock();
  EXPECT_EQ(clock.marketDate, static_cast<int32_t>(kThursday));
  EXPECT_EQ(clock.marketTime, 0);
  EXPECT_EQ(clock.status, '1');
  EXPECT_EQ(processor_.State().Counts().indexInfo, day_.indexes.size());
}

TEST_F(ProcessorTest, SecondStartUpReturnsAtOnceWithoutReloading) {
  ASSERT_EQ(processor_.Instance(), 0);
  RemoveXml("securities");  // a reload would now fail
  EXPECT_EQ(processor_.Instance(), 0);
  EXPECT_EQ(window_->CountLines("MProcessIO::Instance() : 初始化成功完成!"), 1u);
}

TEST_F(ProcessorTest, MissingOptionalFilesAreReportedAndStartUpCompletes) {
  RemoveXml("issueparams");
  RemoveXml("negotiationparams");
  RemoveXml("securityswitch");
  EXPECT_EQ(processor_.Instance(), 0);
  // -200 printed as an unsigned number.
  EXPECT_TRUE(window_->HasLine("load issueparams.xml failed, errorcode=4294967096"));
  EXPECT_TRUE(window_->HasLine("load NegotiationParams.xml failed, errorcode=4294967096"));
  EXPECT_TRUE(window_->HasLine("load SecuritySwitch.xml failed, errorcode=4294967096"));
  EXPECT_EQ(processor_.IsInitialized(), 1);
}

TEST_F(ProcessorTest, MissingRequiredFileEndsStartUpBeforeAnyFileIsWritten) {
  struct Case {
    const char* root;
    int32_t result;
    const char* line;
  };
  const Case cases[] = {
      {"stat", -1, "<Log_LV1> t=100000 load stat.xml failed, errorcode=4294967096"},
      {"indexinfo", -1, "<Log_LV1> t=100000 load indexInfo.xml failed, errorcode=4294967096"},
      {"securities", -2, "<Log_LV2> t=100000 load security.xml failed, errorcode=4294967096"},
      {"cashauctionparams", -3,
       "<Log_LV2> t=100000 load CashActionParams.xml failed, errorcode=4294967096"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.root);
    const std::string path = xml_ + c.root + "_" + std::to_string(kThursday) + ".xml";
    const std::string kept = test::ReadFileBytes(path);
    ASSERT_TRUE(platform::RemoveFile(path));
    window_->Clear();
    EXPECT_EQ(processor_.Instance(), c.result);
    EXPECT_TRUE(window_->HasLine(c.line));
    EXPECT_EQ(processor_.IsInitialized(), 0);
    EXPECT_FALSE(Exists("SJSXX.DBF"));
    EXPECT_FALSE(Exists("SJSXXN.DBF"));
    test::WriteFileBytes(path, kept);
  }
  EXPECT_EQ(processor_.Instance(), 0);
}

TEST_F(ProcessorTest, HolidayAnswersMinus1000AndLoadsNothing) {
  clock_.Set(kSaturday, 100000);
  EXPECT_EQ(processor_.Instance(), kStartUpHoliday);
  EXPECT_FALSE(window_->HasLine("MProcessIO::Instance() : 初始化成功完成!"));
  config_.useholiday = true;
  processor_.SetConfig(config_);
  // Working on holidays, the Saturday loads the files dated that day: there are none.
  EXPECT_EQ(processor_.Instance(), -1);
}

TEST_F(ProcessorTest, SecurityInformationFileThatCannotBeCreatedGivesMinus4) {
  const std::string unreachable = dir_.File("missing") + platform::kPathSeparator + "SJSXX.DBF";
  SetText(config_.Sjsxxdbf, unreachable);
  processor_.SetConfig(config_);
  EXPECT_EQ(processor_.Instance(), -4);
  bool found = false;
  for (const std::string& line : window_->LogLines()) {
    found = found || (line.find("<Log_LV2> t=100000 create szl1 file failed, errorcode=") == 0 &&
                      line.find(", path=" + unreachable) != std::string::npos);
  }
  EXPECT_TRUE(found);
  EXPECT_EQ(processor_.IsInitialized(), 0);
}

TEST_F(ProcessorTest, OutsideTheWindowTheProcessorFallsBackToUninitialised) {
  ASSERT_EQ(processor_.Instance(), 0);
  clock_.Set(kThursday, 163059);
  EXPECT_EQ(processor_.IsInitialized(), 1);
  clock_.Set(kThursday, 163100);
  EXPECT_EQ(processor_.IsInitialized(), 0);
  clock_.Set(kThursday, 163200);
  processor_.WriteAll();  // an uninitialised cycle writes nothing
  EXPECT_FALSE(Exists("SJSHQ.DBF"));
}

TEST_F(ProcessorTest, FileThatCannotBeOpenedIsSkippedAndTheNextOnesWritten) {
  SetText(config_.Sjszsdbf, dir_.File("missing") + platform::kPathSeparator + "SJSZS.DBF");
  processor_.SetConfig(config_);
  ASSERT_EQ(processor_.Instance(), 0);
  processor_.WriteAll();
  EXPECT_TRUE(Exists("SJSHQ.DBF"));
  EXPECT_FALSE(Exists("missing"));
  EXPECT_TRUE(Exists("SJSPHHQ.DBF"));
  EXPECT_TRUE(Exists("SJSZHHQ.DBF"));
  EXPECT_EQ(processor_.CyclesWritten(), 1);
  // Reported once while it lasts, and once more when the file is written again.
  const std::string zs = config_.Sjszsdbf;
  processor_.WriteAll();
  size_t failures = 0;
  for (const std::string& line : window_->LogLines()) {
    if (line.find("<Log_LV1> t=100000 write " + zs + " failed, errorcode=") == 0) ++failures;
  }
  EXPECT_EQ(failures, 1u);
  platform::MakeDirectory(dir_.File("missing"));
  processor_.WriteAll();
  EXPECT_EQ(window_->CountLines("write " + zs + " succeeded again"), 1u);
  EXPECT_TRUE(Exists("missing"));
}

TEST_F(ProcessorTest, WriteIntervalIsStrictAndCountsFromTheEndOfTheLastCycle) {
  config_.writeInterval = 3000;
  config_.wrIntervalSleep = 1000;
  processor_.SetConfig(config_);
  ASSERT_EQ(processor_.Instance(), 0);
  // 3000 ms after the start is not more than 3000: the first cycle comes at 4000. It takes 400 ms,
  // and the next interval counts from its end, 4400 (from its start the next cycle would come at
  // 7400).
  const std::vector<std::string> expected = {
      "pause 1000", "pause 1000", "pause 1000", "pause 1000",    "cycle at 4000", "pause 1000",
      "pause 1000", "pause 1000", "pause 1000", "cycle at 8400", "pause 1000"};
  EXPECT_EQ(RunWriterSimulated(9), expected);
}

TEST_F(ProcessorTest, ClosingFileAfter150100AndCaptureCloseOutsideTheWindow) {
  config_.writeInterval = 3600000;  // the thread only pauses
  config_.wrIntervalSleep = 250;
  processor_.SetConfig(config_);
  ASSERT_EQ(processor_.Instance(), 0);
  struct Case {
    uint32_t time;
    std::vector<std::string> events;
  };
  const Case cases[] = {
      {150100, {"pause 250", "pause 250", "pause 250"}},
      // Loaded at the first try; the later passes find the flag set and read nothing.
      {150101, {"pause 250", "closing file", "pause 250", "pause 250"}},
      // After the window: the outside pause of 1000 ms, then the capture file closed.
      {163100,
       {"pause 1000", "capture closed", "pause 1000", "capture closed", "pause 1000",
        "capture closed"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.time);
    clock_.Set(kThursday, c.time);
    EXPECT_EQ(RunWriterSimulated(3), c.events);
  }
  EXPECT_EQ(window_->CountLines("加载收盘文件成功"), 1u);
}

TEST_F(ProcessorTest, CycleWritesTheSixFilesInTheirOrder) {
  ASSERT_EQ(processor_.Instance(), 0);
  std::vector<std::string> opened;
  platform::SetFileFaultHook([&](platform::FileOp op, const std::string& path, uint32_t) {
    if (op == platform::FileOp::kOpen) opened.push_back(path);
    return int32_t{0};
  });
  processor_.WriteAll();
  EXPECT_EQ(opened,
            (std::vector<std::string>{config_.szl1, config_.Sjsxxdbf, config_.hqdbf,
                                      config_.Sjszsdbf, config_.Sjsphhqdbf, config_.Sjszhhqdbf}));
}

TEST_F(ProcessorTest, WriterThatCannotBeStartedGivesMinus3) {
  std::vector<std::string> asked;
  MThread::SetStartFaultForTesting([&](const std::string& name) {
    asked.push_back(name);
    return SystemErrorCode(11);
  });
  EXPECT_EQ(processor_.StartWriter(), -3);
  MThread::SetStartFaultForTesting(nullptr);
  EXPECT_EQ(asked, std::vector<std::string>{"FileIn"});
  ASSERT_EQ(processor_.Instance(), 0);
  ASSERT_EQ(processor_.StartWriter(), 1);
  EXPECT_TRUE(WaitForCycles(1));
}

TEST_F(ProcessorTest, ClosingDataLoadedByTheWriteThreadFreezesTheQuotes) {
  config_.writeInterval = 3600000;  // the thread only sleeps, so each pass may try the closing file
  processor_.SetConfig(config_);
  ASSERT_EQ(processor_.Instance(), 0);
  clock_.Set(kThursday, 150101);
  ASSERT_EQ(processor_.StartWriter(), 1);
  ASSERT_TRUE(WindowCatcher::WaitFor([&] { return window_->CountLines("加载收盘文件成功") == 1; }));

  const tools::SampleSecurity& stock = FirstStock();
  StockQuoteRecord quote{};
  ASSERT_TRUE(fw::test::FindStockRow(processor_.State(), stock.code, &quote));
  ASSERT_GT(stock.closePx, 0);
  EXPECT_EQ(quote.last, stock.closePx);
  const int64_t closed = quote.last;

  tools::SnapshotHeader header;
  header.origTime = tools::OrigTime(kThursday, 150200, 0);
  header.stream = "010";
  header.securityId = stock.code;
  Feed(tools::EncodeCashAuctionSnapshot(header, {{"2 ", 99990000, 0, 0, 0, {}}}));
  ASSERT_TRUE(fw::test::FindStockRow(processor_.State(), stock.code, &quote));
  EXPECT_EQ(quote.last, closed);
}

// A start-up after the close (a program left running overnight whose day's files came late): the
// clock passes 15:01 while the start-up is between its loads and its table build, held there by
// the opening of SJSXXN until the write thread has loaded the closing file or a second has passed.
// The closing prices must end up in the built quote table.
TEST_F(ProcessorTest, ClosingPollDuringAStartUpWaitsForTheBuiltDay) {
  config_.writeInterval = 3600000;  // the write thread only sleeps and polls
  processor_.SetConfig(config_);
  clock_.Set(kThursday, 150000);
  const std::string xxn = config_.szl1;
  std::atomic<bool> held{false};
  platform::SetFileFaultHook([&](platform::FileOp op, const std::string& path, uint32_t) {
    if (op == platform::FileOp::kOpen && path == xxn && !held.exchange(true)) {
      clock_.Set(kThursday, 150200);
      WindowCatcher::WaitFor([&] { return window_->HasLine("加载收盘文件成功"); },
                             std::chrono::seconds(1));
    }
    return int32_t{0};
  });
  ASSERT_EQ(processor_.StartWriter(), 1);
  EXPECT_EQ(processor_.Instance(), 0);
  ASSERT_TRUE(held.load());
  ASSERT_TRUE(WindowCatcher::WaitFor([&] { return window_->HasLine("加载收盘文件成功"); }));
  processor_.StopWriter();

  const tools::SampleSecurity& stock = FirstStock();
  StockQuoteRecord quote{};
  ASSERT_TRUE(fw::test::FindStockRow(processor_.State(), stock.code, &quote));
  ASSERT_GT(stock.closePx, 0);
  EXPECT_EQ(quote.last, stock.closePx);
}

TEST_F(ProcessorTest, CycleThatThrowsIsReportedAndTheNextCycleWritesTheFiles) {
  ASSERT_EQ(processor_.Instance(), 0);
  const std::string hq = config_.hqdbf;
  std::atomic<bool> thrown{false};
  platform::SetFileFaultHook([&](platform::FileOp, const std::string& path, uint32_t) {
    if (path == hq && !thrown.exchange(true)) throw std::runtime_error("driver fault");
    return int32_t{0};
  });
  ASSERT_EQ(processor_.StartWriter(), 1);
  ASSERT_TRUE(WaitForCycles(1));
  processor_.StopWriter();
  EXPECT_TRUE(thrown.load());
  EXPECT_EQ(window_->CountLines("<Log_LV2> t=100000 <MProcessIO>线程[FileIn]异常: driver fault"),
            1u);
  EXPECT_TRUE(Exists("SJSHQ.DBF"));
  EXPECT_TRUE(Exists("SJSZHHQ.DBF"));
}

TEST_F(ProcessorTest, FramesReachTheFilesAtTheNextCycle) {
  ASSERT_EQ(processor_.Instance(), 0);
  ASSERT_EQ(processor_.StartWriter(), 1);
  ASSERT_TRUE(WaitForCycles(1));

  const tools::SampleSecurity& stock = FirstStock();
  tools::SnapshotHeader header;
  header.origTime = tools::OrigTime(kThursday, 93015, 250);
  header.stream = "010";
  header.securityId = stock.code;
  header.numTrades = 12;
  header.totalVolumeTrade = 345600;  // 3456 shares
  Feed(tools::EncodeCashAuctionSnapshot(
      header, {{"2 ", 12345000, 0, 0, 0, {}}, {"0 ", 12340000, 70000, 1, 0, {}}}));
  const int32_t after = processor_.CyclesWritten();
  ASSERT_TRUE(WaitForCycles(after + 2));
  processor_.StopWriter();

  const std::string python = test::FindReaderPython();
  if (python.empty()) GTEST_SKIP() << "python3 with dbfread and dbf is not available";
  const auto reading =
      test::ReadWith(python, "dbfread", dir_.File("SJSHQ.DBF"), dir_.File("read.out"));
  ASSERT_FALSE(reading.records.empty()) << reading.header;
  EXPECT_EQ(reading.records[0][7], "93015");  // HQCJBS of record 0: the market time
  bool seen = false;
  for (const auto& record : reading.records) {
    if (record[0] != stock.code) continue;
    seen = true;
    EXPECT_EQ(record[4], "12.345");  // HQZJCJ
    EXPECT_EQ(record[5], "3456");    // HQCJSL
    EXPECT_EQ(record[7], "12");      // HQCJBS
    EXPECT_EQ(record[25], "12.34");  // HQBJW1
    EXPECT_EQ(record[26], "700");    // HQBSL1
  }
  EXPECT_TRUE(seen);
}

}  // namespace
}  // namespace fw::processor
