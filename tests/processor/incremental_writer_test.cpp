// The write thread's incremental cycle over a generated day played through the decoder: after
// every cycle each of the six files holds exactly what the whole rewrite (WriteSixFiles) writes for
// the same state and clock, also after someone else changed a file and after a failed write.
#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "feed/market_data_decoder.h"
#include "feed/market_data_handlers.h"
#include "foundation/platform/platform.h"
#include "processor/process_io.h"
#include "processor/write_cycle.h"
#include "tests/support/day_config.h"
#include "tests/support/test_support.h"
#include "tools/capture_cutter.h"
#include "tools/feed_source.h"
#include "tools/market_data_encoder.h"
#include "tools/sample_day.h"

namespace fw::processor {
namespace {

using test::TempDir;
using tools::CaptureStep;
using tools::NextCaptureStep;

constexpr uint32_t kThursday = 20260305;
const char* const kNames[kDbfFiles] = {"SJSXXN.DBF", "SJSXX.DBF",   "SJSHQ.DBF",
                                       "SJSZS.DBF",  "SJSPHHQ.DBF", "SJSZHHQ.DBF"};

std::string Bytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class IncrementalWriterTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetRunLogFolder(dir_.File("log"));
    SetRunLogConsolePrinter([](std::string_view) {});
    tools::SampleDayOptions options;
    options.securityCount = 300;
    options.date = kThursday;
    options.seed = 7;
    day_ = std::make_shared<tools::SampleDay>(tools::BuildSampleDay(options));
    const std::string xml = dir_.File("xml") + platform::kPathSeparator;
    platform::MakeDirectory(dir_.File("xml"));
    platform::MakeDirectory(dir_.File("inc"));
    platform::MakeDirectory(dir_.File("ref"));
    ASSERT_GE(tools::WriteSampleDay(*day_, xml), 0);
    test::PointAtDay(&config_, xml, dir_.File("inc") + platform::kPathSeparator);
    test::PointAtDay(&reference_, xml, dir_.File("ref") + platform::kPathSeparator);
    config_.begintime = 845;
    config_.endtime = 1630;
    processor_.SetConfig(config_);
    WriterTimings timings;
    timings.tickCount = [this] { return tick_; };
    processor_.SetWriterTimings(timings);
    decoder_.AllocateRing();
    processor_.SetFeedRing(&decoder_.Ring());
    ASSERT_EQ(processor_.Instance(), 0);
    feed_ = std::make_unique<tools::SyntheticDayFeed>(day_, 8);
  }
  void TearDown() override {
    platform::SetFileFaultHook(nullptr);
    CloseRunLog();
    SetRunLogFolder(".\\log");
    SetRunLogConsolePrinter(nullptr);
  }

  void Feed(const tools::Frame& frame) {
    decoder_.Process(frame.data(), static_cast<uint32_t>(frame.size()));
  }
  // Plays up to `frames` frames of the synthetic day; false once it is over.
  bool Play(size_t frames) {
    tools::Frame frame;
    for (size_t i = 0; i < frames; ++i) {
      if (!feed_->Next(&frame)) return false;
      Feed(frame);
    }
    return true;
  }
  std::string Inc(size_t file) const { return In("inc", file); }
  std::string In(const std::string& folder, size_t file) const {
    return dir_.File(folder) + platform::kPathSeparator + kNames[file];
  }

  // One cycle a second after the last; then the whole rewrite of the same state beside it. The
  // names of the files that differ from it.
  std::string CycleAndCompare() {
    clock_.Set(date_, ++seconds_);
    tick_ += 1000;
    processor_.WriteAll();
    market::MarketSnapshot snapshot;
    processor_.State().TakeSnapshot(&snapshot);
    WriteSixFiles(reference_, tables_, snapshot, processor_.State().Counts());
    std::string differing;
    for (size_t file = 0; file < kDbfFiles; ++file) {
      const std::string written = Bytes(Inc(file));
      if (written.empty() || written != Bytes(In("ref", file))) {
        differing += std::string(" ") + kNames[file];
      }
    }
    return differing;
  }
  uint64_t BytesOfLastCycle(size_t file) const { return processor_.LastCycleFiles()[file].bytes; }
  bool WholeInLastCycle(size_t file) const { return processor_.LastCycleFiles()[file].whole; }

  TempDir dir_;
  uint32_t date_ = kThursday;
  uint32_t seconds_ = 100000;
  test::FakeClock clock_{kThursday, seconds_};
  uint32_t tick_ = 0;
  std::shared_ptr<tools::SampleDay> day_;
  config::ConfigInfo config_;
  config::ConfigInfo reference_;
  refdata::ReferenceTables tables_;
  MProcessIO processor_{tables_};
  feed::MarketDataHandlers handlers_{processor_.State()};
  feed::MarketDataDecoder decoder_{&handlers_};
  std::unique_ptr<tools::SyntheticDayFeed> feed_;
};

TEST_F(IncrementalWriterTest, EveryCycleOfAPlayedDayEqualsTheWholeRewrite) {
  ASSERT_EQ(CycleAndCompare(), "");
  for (size_t file = 0; file < kDbfFiles; ++file) EXPECT_TRUE(WholeInLastCycle(file)) << file;

  int cycles = 0;
  int partial = 0;
  for (bool more = true; more; ++cycles) {
    more = Play(120);
    if (cycles % 7 == 3) --seconds_;  // the local clock stands still in some cycles
    ASSERT_EQ(CycleAndCompare(), "") << "cycle " << cycles;
    if (!WholeInLastCycle(kSjshq) && BytesOfLastCycle(kSjshq) > 0) ++partial;
    for (size_t file = 0; file < kDbfFiles; ++file) {
      if (WholeInLastCycle(file)) continue;
      EXPECT_LT(BytesOfLastCycle(file), Bytes(Inc(file)).size()) << kNames[file];
    }
  }
  EXPECT_GT(cycles, 15);
  EXPECT_GT(partial, cycles / 2);

  // Nothing stored: each file gets at most record 0 and the records of the moving local clock.
  ASSERT_EQ(CycleAndCompare(), "");
  EXPECT_EQ(BytesOfLastCycle(kSjszs), 0u);
  --seconds_;
  ASSERT_EQ(CycleAndCompare(), "");
  EXPECT_EQ(BytesOfLastCycle(kSjsxxn), 0u);  // a clock that stood still: record 0 as before

  // The closing file replaces the last prices of the day's stocks.
  ASSERT_TRUE(processor_.LoadClosingData());
  ASSERT_EQ(CycleAndCompare(), "");
  EXPECT_FALSE(WholeInLastCycle(kSjshq));
  EXPECT_GT(BytesOfLastCycle(kSjshq), 0u);

  // Past midnight every negotiated row carries the new date.
  date_ = kThursday + 1;
  seconds_ = 0;
  ASSERT_EQ(CycleAndCompare(), "");
  EXPECT_FALSE(WholeInLastCycle(kSjszhhq));
  EXPECT_GT(BytesOfLastCycle(kSjszhhq), 0u);
}

// The golden day's capture, every message type of a real session with a reconnect and garbage,
// cut as a replay cuts it and decoded frame after frame, a cycle every hundred frames.
TEST_F(IncrementalWriterTest, EveryCycleOfTheGoldenDayEqualsTheWholeRewrite) {
  const std::string golden = std::string(FW_SOURCE_DIR) + "/tests/golden/";
  const char separator = platform::kPathSeparator;
  test::PointAtDay(&config_, golden + "xml/", dir_.File("inc") + separator);
  test::PointAtDay(&reference_, golden + "xml/", dir_.File("ref") + separator);
  processor_.SetConfig(config_);
  ASSERT_EQ(processor_.Instance(), 0);

  const std::string capture = Bytes(golden + "binaryData_20260305.dat");
  ASSERT_FALSE(capture.empty());
  const auto* bytes = reinterpret_cast<const uint8_t*>(capture.data());
  feed::FeedCounters counters;
  size_t at = 0;
  int frames = 0;
  int cycles = 0;
  for (;;) {
    const CaptureStep step = NextCaptureStep(bytes + at, capture.size() - at, true, &counters);
    if (step.kind == CaptureStep::kNeedMore) break;
    at += step.consumed;
    if (step.kind != CaptureStep::kFrame) continue;
    decoder_.Process(bytes + at - step.length, step.length);
    if (++frames % 100 == 0) {
      ASSERT_EQ(CycleAndCompare(), "") << "after frame " << frames;
      ++cycles;
    }
  }
  EXPECT_GT(cycles, 20);
  ASSERT_TRUE(processor_.LoadClosingData());
  ASSERT_EQ(CycleAndCompare(), "");
}

TEST_F(IncrementalWriterTest, OrdersArrivingBelowTheHighestKeyShiftTheRowsAfterThem) {
  ASSERT_EQ(CycleAndCompare(), "");
  const auto order = [&](int64_t sequence, size_t security) {
    tools::NegotiatedOrder o;
    o.applSeqNum = sequence;
    o.securityId = day_->securities[security].code;
    o.price = 102300 + sequence;
    o.orderQty = 10000;
    o.transactTime = 20260305100000123;
    o.confirmId = "        ";
    o.contactInfo = "13800000000";
    Feed(tools::EncodeNegotiatedOrder(o));
  };
  for (const int64_t sequence : {40, 90, 60}) order(sequence, 3);
  ASSERT_EQ(CycleAndCompare(), "");
  for (const int64_t sequence : {10, 70, 95}) order(sequence, 5);
  ASSERT_EQ(CycleAndCompare(), "");
  EXPECT_FALSE(WholeInLastCycle(kSjszhhq));
  order(70, 9);  // a new order under a key already used
  ASSERT_EQ(CycleAndCompare(), "");
}

TEST_F(IncrementalWriterTest, FileChangedByAnotherIsWrittenWholeAtTheNextCycle) {
  ASSERT_TRUE(Play(600));
  ASSERT_EQ(CycleAndCompare(), "");
  ASSERT_TRUE(Play(300));
  ASSERT_EQ(CycleAndCompare(), "");
  ASSERT_FALSE(WholeInLastCycle(kSjshq));

  namespace fs = std::filesystem;
  // A file system may keep the time of the last write in steps coarser than two writes apart: the
  // other writer's time is set where the cycle cannot have left it.
  const auto later = [](const std::string& path) {
    fs::last_write_time(path, fs::last_write_time(path) + std::chrono::seconds(5));
  };
  const std::vector<std::pair<const char*, std::function<void(const std::string&)>>> changes = {
      {"scribbled",
       [&](const std::string& path) {
         std::fstream f(path, std::ios::in | std::ios::out | std::ios::binary);
         f.seekp(600);
         f.write("SCRIBBLE", 8);
         f.close();
         later(path);
       }},
      {"truncated", [](const std::string& path) { fs::resize_file(path, 1000); }},
      {"deleted", [](const std::string& path) { fs::remove(path); }},
      {"replaced",
       [&](const std::string& path) {
         fs::copy_file(path, path + ".new");
         fs::rename(path + ".new", path);
       }},
  };
  for (const auto& [what, change] : changes) {
    for (size_t file = 0; file < kDbfFiles; ++file) change(Inc(file));
    ASSERT_TRUE(Play(100));
    ASSERT_EQ(CycleAndCompare(), "") << what;
    for (size_t file = 0; file < kDbfFiles; ++file) EXPECT_TRUE(WholeInLastCycle(file)) << what;
    ASSERT_TRUE(Play(100));
    ASSERT_EQ(CycleAndCompare(), "") << what;
    EXPECT_FALSE(WholeInLastCycle(kSjshq)) << what;
  }
}

TEST_F(IncrementalWriterTest, FailedWriteIsFollowedByAWholeRewrite) {
  ASSERT_TRUE(Play(600));
  ASSERT_EQ(CycleAndCompare(), "");
  const std::string hq = Inc(kSjshq);
  const std::string zhhq = Inc(kSjszhhq);
  // The first write of the cycle's changes fails halfway: the file holds part of the new records.
  platform::SetFileFaultHook([&](platform::FileOp op, const std::string& path, uint32_t bytes) {
    if (op == platform::FileOp::kWrite && (path == hq || path == zhhq)) {
      return static_cast<int32_t>(bytes / 2);
    }
    return int32_t{0};
  });
  ASSERT_TRUE(Play(300));
  clock_.Set(kThursday, ++seconds_);
  processor_.WriteAll();
  EXPECT_LT(processor_.LastCycleFiles()[kSjshq].result, 0);
  EXPECT_LT(processor_.LastCycleFiles()[kSjszhhq].result, 0);
  platform::SetFileFaultHook(nullptr);

  ASSERT_EQ(CycleAndCompare(), "");
  EXPECT_TRUE(WholeInLastCycle(kSjshq));
  EXPECT_TRUE(WholeInLastCycle(kSjszhhq));
  EXPECT_FALSE(WholeInLastCycle(kSjszs));

  // A driver that throws in the middle of a cycle: the files after it missed what it took.
  platform::SetFileFaultHook([&](platform::FileOp op, const std::string& path, uint32_t) {
    if (op == platform::FileOp::kWrite && path == hq) throw std::runtime_error("driver fault");
    return int32_t{0};
  });
  ASSERT_TRUE(Play(300));
  EXPECT_THROW(processor_.WriteAll(), std::runtime_error);
  platform::SetFileFaultHook(nullptr);
  ASSERT_EQ(CycleAndCompare(), "");
}

TEST_F(IncrementalWriterTest, EveryFileIsWrittenWholeOnceAMinuteEachInAnotherCycle) {
  ASSERT_EQ(CycleAndCompare(), "");
  // Cycles 10 s apart over the next minute: each file once, each in a cycle of its own.
  std::array<int, kDbfFiles> wholeAt{};
  for (int cycle = 1; cycle <= 6; ++cycle) {
    tick_ += 9000;
    ASSERT_EQ(CycleAndCompare(), "");
    for (size_t file = 0; file < kDbfFiles; ++file) {
      if (!WholeInLastCycle(file)) continue;
      EXPECT_EQ(wholeAt[file], 0) << kNames[file];
      wholeAt[file] = cycle;
    }
  }
  EXPECT_EQ(wholeAt, (std::array<int, kDbfFiles>{6, 5, 4, 3, 2, 1}));
}

}  // namespace
}  // namespace fw::processor
