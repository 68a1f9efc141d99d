// The write cycle over a generated 20,000-security day with a full book for every security and
// 20,000 negotiated orders: the incremental cycle with 0, 20 and 100 percent of the securities
// changed since the last cycle (the local clock moving or standing still), the whole rewrite of
// the same day, and two floors: a plain write of the same six file sizes, and the least a cycle
// can do (each file's header and first record written and flushed). Beside each, the bytes a
// cycle wrote and how long a receive thread storing snapshots meanwhile waited.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "feed/market_data_decoder.h"
#include "feed/market_data_handlers.h"
#include "foundation/local_clock.h"
#include "foundation/platform/platform.h"
#include "foundation/run_log.h"
#include "processor/process_io.h"
#include "tools/market_data_encoder.h"
#include "tools/sample_day.h"

namespace {

using namespace fw;

template <size_t N>
void SetText(char (&field)[N], const std::string& text) {
  std::snprintf(field, N, "%s", text.c_str());
}

const char* const kFiles[] = {"SJSXXN.DBF", "SJSXX.DBF",   "SJSHQ.DBF",
                              "SJSZS.DBF",  "SJSPHHQ.DBF", "SJSZHHQ.DBF"};

// A loaded 20,000-security day with every book full and every negotiated slot taken.
struct Day {
  std::filesystem::path folder;
  tools::SampleDay day;
  refdata::ReferenceTables tables;
  std::unique_ptr<processor::MProcessIO> processor;
  std::unique_ptr<feed::MarketDataHandlers> handlers;
  std::unique_ptr<feed::MarketDataDecoder> decoder;
  std::vector<tools::Frame> snapshots;
  config::ConfigInfo config;
  config::ConfigInfo wholeConfig;   // the whole rewrite's six files, beside the cycle's
  std::vector<size_t> loadable;     // positions of the securities the state has rows for
  std::atomic<uint32_t> second{0};  // of the local clock, from 10:00:00

  // The local clock at `s` seconds after 10:00:00.
  void SetSecond(uint32_t s) { second = s; }
  // A snapshot store of the loadable security at `position` of `loadable`, with a book as the
  // day left it, in the trading phase every store uses.
  market::CashAuctionUpdate Update(size_t position) const {
    market::CashAuctionUpdate update{};
    update.set = market::CashAuctionUpdate::kLast;
    update.origTime = tools::OrigTime(20260305, 100000, 0);
    update.tradingPhase[0] = 'T';
    update.tradingPhase[1] = '0';
    std::snprintf(update.quote.code, sizeof update.quote.code, "%s",
                  day.securities[loadable[position % loadable.size()]].code.c_str());
    return update;
  }

  Day() {
    SetRunLogConsolePrinter([](std::string_view) {});
    SetLocalClockForTesting([this] {
      const uint32_t s = second.load();
      return MakeLocalDateTime(20260305, 100000 + s / 3600 * 10000 + s / 60 % 60 * 100 + s % 60);
    });
    folder = std::filesystem::temp_directory_path() / "fenwright-write-cycle-bench";
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder / "xml");
    SetRunLogFolder((folder / "log").string());
    tools::SampleDayOptions options;
    options.securityCount = 20000;
    options.date = 20260305;
    day = tools::BuildSampleDay(options);
    const std::string xml = (folder / "xml").string() + "/";
    tools::WriteSampleDay(day, xml);

    SetText(config.loadFolder, xml);
    SetText(config.szl1, (folder / kFiles[0]).string());
    SetText(config.Sjsxxdbf, (folder / kFiles[1]).string());
    SetText(config.hqdbf, (folder / kFiles[2]).string());
    SetText(config.Sjszsdbf, (folder / kFiles[3]).string());
    SetText(config.Sjsphhqdbf, (folder / kFiles[4]).string());
    SetText(config.Sjszhhqdbf, (folder / kFiles[5]).string());
    SetText(config.holiday, xml + "holiday.ini");
    SetText(config.IndexNameFile, xml + "indexname.ini");
    config.begintime = 0;
    config.endtime = 2359;
    config.useholiday = true;
    wholeConfig = config;
    SetText(wholeConfig.szl1, (folder / "whole-SJSXXN.DBF").string());
    SetText(wholeConfig.Sjsxxdbf, (folder / "whole-SJSXX.DBF").string());
    SetText(wholeConfig.hqdbf, (folder / "whole-SJSHQ.DBF").string());
    SetText(wholeConfig.Sjszsdbf, (folder / "whole-SJSZS.DBF").string());
    SetText(wholeConfig.Sjsphhqdbf, (folder / "whole-SJSPHHQ.DBF").string());
    SetText(wholeConfig.Sjszhhqdbf, (folder / "whole-SJSZHHQ.DBF").string());
    processor = std::make_unique<processor::MProcessIO>(tables);
    processor->SetConfig(config);
    handlers = std::make_unique<feed::MarketDataHandlers>(processor->State());
    decoder = std::make_unique<feed::MarketDataDecoder>(handlers.get());
    decoder->AllocateRing();
    processor->SetFeedRing(&decoder->Ring());
    processor->Instance();

    int64_t sequence = 1;
    for (const tools::SampleSecurity& s : day.securities) {
      if (!s.Loadable()) continue;
      tools::SnapshotHeader header;
      header.origTime = tools::OrigTime(20260305, 100000, 0);
      header.stream = "010";
      header.securityId = s.code;
      header.numTrades = 1234;
      header.totalVolumeTrade = 123456700;
      header.totalValueTrade = 12345678900;
      std::vector<tools::BookEntry> entries{{"2 ", 10230000, 0, 0, 0, {}},
                                            {"4 ", 10100000, 0, 0, 0, {}},
                                            {"7 ", 10500000, 0, 0, 0, {}},
                                            {"8 ", 10000000, 0, 0, 0, {}}};
      for (uint16_t level = 1; level <= 5; ++level) {
        entries.push_back({"0 ", 10230000 - level * 10000, 100000 + level, level, 3, {}});
        entries.push_back({"1 ", 10230000 + level * 10000, 200000 + level, level, 3, {}});
      }
      snapshots.push_back(tools::EncodeCashAuctionSnapshot(header, entries));
      Feed(snapshots.back());
      if (sequence <= 20000) {
        tools::NegotiatedOrder order;
        order.applSeqNum = sequence++;
        order.securityId = s.code;
        order.price = 102300;
        order.orderQty = 10000000;
        order.transactTime = 20260305100000123;
        order.confirmId = "        ";
        order.contactor = "\xE5\xBC\xA0\xE4\xB8\x89";  // UTF-8 on the wire
        order.contactInfo = "13800000000";
        Feed(tools::EncodeNegotiatedOrder(order));
      }
    }
    while (sequence <= 20000) {  // every slot taken, codes repeating
      tools::NegotiatedOrder order;
      order.applSeqNum = sequence;
      order.securityId = day.securities[static_cast<size_t>(sequence) % day.securities.size()].code;
      order.price = 102300;
      order.orderQty = 10000000;
      order.confirmId = "ABCDEFGH";
      Feed(tools::EncodeNegotiatedOrder(order));
      ++sequence;
    }
    for (size_t i = 0; i < day.securities.size(); ++i) {
      if (day.securities[i].Loadable()) loadable.push_back(i);
    }
    processor->WriteAll();
    // The phase every later store carries, so that the stores change the quotes only.
    for (size_t i = 0; i < loadable.size(); ++i) {
      processor->State().StoreCashAuctionSnapshot(Update(i));
    }
    processor->WriteAll();
  }
  // One more cycle, then the whole rewrite of the same state beside it: whether the six files
  // are equal byte for byte.
  bool CycleEqualsWholeRewrite() {
    processor->WriteAll();
    market::MarketSnapshot snapshot;
    processor->State().TakeSnapshot(&snapshot);
    processor::WriteSixFiles(wholeConfig, tables, snapshot, processor->State().Counts());
    const auto bytes = [](const std::filesystem::path& path) {
      std::ifstream in(path, std::ios::binary);
      return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    };
    for (const char* name : kFiles) {
      if (bytes(folder / name) != bytes(folder / (std::string("whole-") + name))) return false;
    }
    return true;
  }
  void Feed(const tools::Frame& frame) {
    decoder->Process(frame.data(), static_cast<uint32_t>(frame.size()));
  }
};

Day& TheDay() {
  static Day* day = new Day;
  return *day;
}

// The receive thread's stores while a benchmark runs: as fast as it can, each timed, with the
// longest and the 99.9th percentile of their durations.
class Receiver {
 public:
  // Stores quotes of the securities at `changing` positions of the day, each with a new last price;
  // with none, the first security's quote as it stands, over and over (marked, never different).
  Receiver(Day& day, std::vector<size_t> changing) : day_(day), changing_(std::move(changing)) {
    day_.processor->State().TakeLongestHandlerWaitUs();
    thread_ = std::thread([this] { Run(); });
  }
  ~Receiver() { Stop(); }
  void Stop() {
    if (!thread_.joinable()) return;
    stop_ = true;
    thread_.join();
  }
  void Report(benchmark::State& state) {
    Stop();
    int64_t seen = 0;
    double p999 = 0;
    const int64_t rank = stores_ - stores_ / 1000;
    for (size_t us = 0; us < histogram_.size(); ++us) {
      seen += histogram_[us];
      if (seen >= rank) {
        p999 = static_cast<double>(us);
        break;
      }
    }
    state.counters["store_p999_us"] = p999;
    state.counters["longest_store_us"] = static_cast<double>(longestNs_) / 1000.0;
    state.counters["stores"] = static_cast<double>(stores_);
    // The part of the longest store spent waiting for the lock itself, as the state measures it;
    // the rest of a long store is the receive thread waiting for a core.
    state.counters["longest_lock_wait_us"] =
        static_cast<double>(day_.processor->State().TakeLongestHandlerWaitUs());
  }

 private:
  void Run() {
    market::CashAuctionUpdate update = day_.Update(0);
    size_t i = 0;
    while (!stop_.load(std::memory_order_relaxed)) {
      if (!changing_.empty()) {
        update = day_.Update(changing_[i % changing_.size()]);
        update.quote.last = static_cast<int64_t>(1000 + i % 100000);
      }
      ++i;
      const auto start = std::chrono::steady_clock::now();
      day_.processor->State().StoreCashAuctionSnapshot(update);
      const int64_t ns = std::chrono::duration_cast<std::chrono::nanoseconds>(
                             std::chrono::steady_clock::now() - start)
                             .count();
      longestNs_ = std::max(longestNs_, ns);
      ++histogram_[std::min<size_t>(static_cast<size_t>(ns / 1000), histogram_.size() - 1)];
      ++stores_;
    }
  }

  Day& day_;
  std::vector<size_t> changing_;
  std::atomic<bool> stop_{false};
  int64_t longestNs_ = 0;
  int64_t stores_ = 0;
  std::vector<int64_t> histogram_ = std::vector<int64_t>(100000);  // per microsecond
  std::thread thread_;
};

// Bytes of the six files the last cycle wrote.
double CycleBytes(const Day& day) {
  double bytes = 0;
  for (const processor::FileWrite& file : day.processor->LastCycleFiles()) {
    bytes += static_cast<double>(file.bytes);
  }
  return bytes;
}

// One cycle after changed_percent of the securities got a new quote since the last, while the
// receive thread keeps storing into those; the local clock moves a second per cycle or stands
// still. With a moving clock, SJSXXN, SJSPHHQ and SJSZHHQ change in every record each second.
void BM_WriteCycle(benchmark::State& state) {
  Day& day = TheDay();
  const auto percent = static_cast<size_t>(state.range(0));
  const bool clockMoves = state.range(1) != 0;
  std::vector<size_t> changing;
  for (size_t i = 0; i < day.loadable.size() * percent / 100; ++i) changing.push_back(i);
  day.SetSecond(0);
  day.processor->WriteAll();
  Receiver receiver(day, changing);
  double bytes = 0;
  int64_t price = 2000;
  for (auto _ : state) {
    state.PauseTiming();
    ++price;
    for (const size_t i : changing) {
      market::CashAuctionUpdate update = day.Update(i);
      update.quote.last = price;
      day.processor->State().StoreCashAuctionSnapshot(update);
    }
    if (clockMoves) day.SetSecond(day.second + 1);
    state.ResumeTiming();
    day.processor->WriteAll();
    bytes += CycleBytes(day);
  }
  receiver.Report(state);
  state.counters["bytes_written"] =
      benchmark::Counter(bytes / static_cast<double>(state.iterations()));
  if (!day.CycleEqualsWholeRewrite())
    state.SkipWithError("the files differ from the whole rewrite");
}
BENCHMARK(BM_WriteCycle)
    ->ArgNames({"changed_percent", "clock_moves"})
    ->ArgsProduct({{0, 20, 100}, {0, 1}})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->MinTime(2.0);

// The whole rewrite of every cycle (WriteSixFiles), from a snapshot taken afresh.
void BM_WholeRewriteCycle(benchmark::State& state) {
  Day& day = TheDay();
  Receiver receiver(day, {});
  market::MarketSnapshot snapshot;
  double bytes = 0;
  for (auto _ : state) {
    day.processor->State().TakeSnapshot(&snapshot);
    const processor::CycleFiles files = processor::WriteSixFiles(
        day.wholeConfig, day.tables, snapshot, day.processor->State().Counts());
    for (const processor::FileWrite& file : files) bytes += static_cast<double>(file.bytes);
  }
  receiver.Report(state);
  state.counters["bytes_written"] =
      benchmark::Counter(bytes / static_cast<double>(state.iterations()));
}
BENCHMARK(BM_WholeRewriteCycle)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);

// The floor: the same six file sizes written with the same steps (open, seek, one write, flush to
// disk, cut), from ready-made images.
void BM_PlainWriteOfTheSameSixFiles(benchmark::State& state) {
  Day& day = TheDay();
  std::vector<std::string> images;
  for (const char* name : kFiles)
    images.push_back(std::string(std::filesystem::file_size(day.folder / name), ' '));
  for (auto _ : state) {
    for (size_t i = 0; i < images.size(); ++i) {
      platform::SharedFile file;
      const std::string path = (day.folder / (std::string("plain-") + kFiles[i])).string();
      if (file.OpenExisting(path) < 0) file.Create(path, false);
      file.SeekTo(0);
      file.Write(images[i].data(), static_cast<uint32_t>(images[i].size()));
      file.FlushToDisk();
      file.SetEnd();
    }
  }
  int64_t bytes = 0;
  for (const std::string& image : images) bytes += static_cast<int64_t>(image.size());
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * bytes);
  state.counters["bytes_written"] = static_cast<double>(bytes);
}
BENCHMARK(BM_PlainWriteOfTheSameSixFiles)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->MinTime(2.0);

// The second floor: each of the six files opened, its first record and its header written and
// flushed to disk, as a cycle in which nothing changed must at least do.
void BM_FlushOnlyOfTheSixFiles(benchmark::State& state) {
  Day& day = TheDay();
  struct Head {
    std::string path;
    std::string header;  // the first 32 bytes
    std::string first;   // record 0
    size_t at = 0;       // its offset
  };
  std::vector<Head> heads;
  for (const char* name : kFiles) {
    Head head;
    std::ifstream in(day.folder / name, std::ios::binary);
    head.header.resize(32);
    in.read(head.header.data(), 32);
    const auto u16 = [&](size_t i) {
      return static_cast<size_t>(static_cast<unsigned char>(head.header[i])) |
             static_cast<size_t>(static_cast<unsigned char>(head.header[i + 1])) << 8;
    };
    head.at = u16(8);
    head.first.assign(u16(10), ' ');
    head.path = (day.folder / (std::string("flush-") + name)).string();
    std::filesystem::copy_file(day.folder / name, head.path,
                               std::filesystem::copy_options::overwrite_existing);
    heads.push_back(std::move(head));
  }
  for (auto _ : state) {
    for (const Head& head : heads) {
      platform::SharedFile file;
      file.OpenExisting(head.path);
      file.SeekTo(static_cast<int64_t>(head.at));
      file.Write(head.first.data(), static_cast<uint32_t>(head.first.size()));
      file.SeekTo(0);
      file.Write(head.header.data(), static_cast<uint32_t>(head.header.size()));
      file.FlushToDisk();
    }
  }
  double bytes = 0;
  for (const Head& head : heads) bytes += static_cast<double>(head.first.size() + 32);
  state.counters["bytes_written"] = bytes;
}
BENCHMARK(BM_FlushOnlyOfTheSixFiles)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);

}  // namespace

BENCHMARK_MAIN();
