// One whole write cycle (all six files) for a generated 20,000-security day with a full book for
// every security and 20,000 negotiated orders, beside a plain write of the same six file sizes, and
// the longest time a receive thread storing snapshots waits for the state's lock meanwhile.
#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdio>
#include <filesystem>
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

  Day() {
    SetRunLogConsolePrinter([](std::string_view) {});
    SetLocalClockForTesting([] { return MakeLocalDateTime(20260305, 100000); });
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

    config::ConfigInfo config;
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
    processor->WriteAll();
  }
  void Feed(const tools::Frame& frame) {
    decoder->Process(frame.data(), static_cast<uint32_t>(frame.size()));
  }
};

Day& TheDay() {
  static Day* day = new Day;
  return *day;
}

void BM_WriteCycle(benchmark::State& state) {
  Day& day = TheDay();
  // The receive thread: stores snapshots as fast as it can and notes its longest single store.
  std::atomic<bool> stop{false};
  std::atomic<int64_t> longestNs{0};
  std::atomic<int64_t> stores{0};
  day.processor->State().TakeLongestHandlerWaitUs();
  std::thread receiver([&] {
    // The copy-in of the snapshot handler, at the market time the day's snapshots left.
    market::CashAuctionUpdate update{};
    update.set = market::CashAuctionUpdate::kLast;
    update.origTime = tools::OrigTime(20260305, 100000, 0);
    size_t i = 0;
    while (!stop.load(std::memory_order_relaxed)) {
      const tools::SampleSecurity& s = day.day.securities[i++ % day.day.securities.size()];
      if (!s.Loadable()) continue;
      std::snprintf(update.quote.code, sizeof update.quote.code, "%s", s.code.c_str());
      update.quote.last = static_cast<int64_t>(i);
      const auto start = std::chrono::steady_clock::now();
      day.processor->State().StoreCashAuctionSnapshot(update);
      const int64_t ns = std::chrono::duration_cast<std::chrono::nanoseconds>(
                             std::chrono::steady_clock::now() - start)
                             .count();
      int64_t seen = longestNs.load(std::memory_order_relaxed);
      while (ns > seen && !longestNs.compare_exchange_weak(seen, ns)) {
      }
      stores.fetch_add(1, std::memory_order_relaxed);
    }
  });
  for (auto _ : state) day.processor->WriteAll();
  stop = true;
  receiver.join();
  int64_t bytes = 0;
  for (const char* name : kFiles)
    bytes += static_cast<int64_t>(std::filesystem::file_size(day.folder / name));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * bytes);
  state.counters["longest_store_wait_us"] = static_cast<double>(longestNs.load()) / 1000.0;
  state.counters["stores"] = static_cast<double>(stores.load());
  // The part of the longest store spent waiting for the lock itself, as the state measures it;
  // the rest of a long store is the receive thread waiting for a core.
  state.counters["longest_lock_wait_us"] =
      static_cast<double>(day.processor->State().TakeLongestHandlerWaitUs());
}
BENCHMARK(BM_WriteCycle)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);

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
}
BENCHMARK(BM_PlainWriteOfTheSameSixFiles)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->MinTime(2.0);

}  // namespace

BENCHMARK_MAIN();
