// Decode-and-apply throughput of the receive path: full-book cash auction snapshots (~650 bytes,
// the gateway's most frequent message) for a 20,000-security day, handed to Process in
// receive-sized blocks, cut, decoded and stored into the market state. Beside it, on the same
// bytes: the handlers alone (frames handed straight to Dispatch), the frame cutting alone, and a
// plain copy in the same blocks (the floor).
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <vector>

#include "feed/feed_format.h"
#include "feed/feed_message_writer.h"
#include "feed/market_data_decoder.h"
#include "feed/market_data_handlers.h"
#include "foundation/run_log.h"
#include "market/market_state.h"
#include "refdata/reference_tables.h"

namespace {

constexpr int kSecurities = 20000;
constexpr size_t kBlockBytes = fw::feed::kReceiveBlockBytes;

char* CodeText(int code, char (&text)[16]) {
  std::snprintf(text, sizeof text, "%06d  ", code);
  return text;
}

// Five bid and five offer levels, last, open, high, low, the two changes and the two indicators.
std::vector<uint8_t> SnapshotFrame(int code, int second) {
  constexpr int kEntries = 18;
  constexpr int kBodyLength = 65 + 4 + kEntries * 32;
  std::vector<uint8_t> frame(kBodyLength + fw::feed::kFrameOverhead, 0);
  fw::feed::FeedMessageWriter w(frame.data(), static_cast<int32_t>(frame.size()));
  w.PutHeader(fw::feed::kMsgCashAuctionSnapshot);
  w.PutInt64(20260305093000000 + second * 1000);
  w.PutUInt16(1);
  w.PutText("010", 3);
  char id[16];
  w.PutText(CodeText(code, id), 8);
  w.PutText("102", 4);
  w.PutText("T0", 8);
  const int64_t price = 10000000 + code * 1000;  // × 1,000,000
  w.PutInt64(price / 100);
  w.PutInt64(1234 + code);
  w.PutInt64(123456700);
  w.PutInt64(12345678900);
  w.PutUInt32(kEntries);
  auto entry = [&w](const char* type, int64_t px, int64_t size, uint16_t level) {
    w.PutText(type, 2);
    w.PutInt64(px);
    w.PutInt64(size);
    w.PutUInt16(level);
    w.PutInt64(7);
    w.PutUInt32(0);
  };
  for (uint16_t level = 1; level <= 5; ++level) {
    entry("0 ", price - level * 10000, 100000 + level * 100, level);
    entry("1 ", price + level * 10000, 200000 + level * 100, level);
  }
  entry("2 ", price, 0, 0);
  entry("4 ", price - 50000, 0, 0);
  entry("7 ", price + 80000, 0, 0);
  entry("8 ", price - 90000, 0, 0);
  entry("x1", 120000, 0, 0);
  entry("x2", -30000, 0, 0);
  entry("x5", 15004999, 0, 0);
  entry("x6", 1234550, 0, 0);
  w.PutChecksum();
  return frame;
}

struct Day {
  Day() {
    char id[16];
    for (int code = 1; code <= kSecurities; ++code) {
      fw::refdata::SecurityRecord* s = tables.securities.Find(CodeText(code, id), true);
      if (s == nullptr) continue;  // never: the codes are 1 … 20,000
      std::memcpy(s->Symbol, "SECURITY", 8);
      s->SecurityType = 1;
      s->PrevClosePx = 10.0 + code * 0.001;
    }
    for (int second = 0; second < 2; ++second) {
      for (int code = 1; code <= kSecurities; ++code) {
        const std::vector<uint8_t> frame = SnapshotFrame(code, second);
        stream.insert(stream.end(), frame.begin(), frame.end());
        ++snapshots;
      }
    }
  }
  fw::refdata::ReferenceTables tables;
  std::vector<uint8_t> stream;
  int64_t snapshots = 0;
};

const Day& TheDay() {
  static const Day* day = [] {
    fw::SetRunLogConsolePrinter([](std::string_view) {});
    return new Day;
  }();
  return *day;
}

void Feed(fw::feed::MarketDataDecoder& decoder, const std::vector<uint8_t>& stream) {
  for (size_t offset = 0; offset < stream.size(); offset += kBlockBytes) {
    const size_t n = std::min(kBlockBytes, stream.size() - offset);
    decoder.Process(stream.data() + offset, static_cast<uint32_t>(n));
  }
}

void Report(benchmark::State& state, const Day& day) {
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(day.stream.size()));
  state.counters["snapshots/s"] = benchmark::Counter(
      static_cast<double>(state.iterations() * day.snapshots), benchmark::Counter::kIsRate);
}

void BM_DecodeAndApplySnapshots(benchmark::State& state) {
  const Day& day = TheDay();
  fw::refdata::ReferenceTables tables = day.tables;
  fw::market::MarketState market;
  market.StartDay(20260305);
  market.Build(tables);
  fw::feed::MarketDataHandlers handlers(market);
  fw::feed::MarketDataDecoder decoder(&handlers);
  decoder.AllocateRing();
  Feed(decoder, day.stream);
  // Every snapshot must have been stored, or the figure would measure rejections.
  std::vector<fw::market::StockQuoteRecord> rows;
  market.SnapshotStockQuotes(&rows);
  if (rows.size() != static_cast<size_t>(kSecurities) || rows.back().last != 30000 ||
      rows.back().indicator1 != 1500) {
    state.SkipWithError("snapshots were not applied");
    return;
  }
  for (auto _ : state) Feed(decoder, day.stream);
  Report(state, day);
}

class NullDispatcher : public fw::feed::FrameDispatcher {
 public:
  void Dispatch(uint32_t, const uint8_t* body, uint32_t bodyLength) override {
    benchmark::DoNotOptimize(body);
    bytes += bodyLength;
  }
  uint64_t bytes = 0;
};

void BM_CutFramesOnly(benchmark::State& state) {
  const Day& day = TheDay();
  NullDispatcher dispatcher;
  fw::feed::MarketDataDecoder decoder(&dispatcher);
  decoder.AllocateRing();
  for (auto _ : state) Feed(decoder, day.stream);
  benchmark::DoNotOptimize(dispatcher.bytes);
  Report(state, day);
}

void BM_CopyFloor(benchmark::State& state) {
  const Day& day = TheDay();
  std::vector<uint8_t> block(kBlockBytes);
  for (auto _ : state) {
    for (size_t offset = 0; offset < day.stream.size(); offset += kBlockBytes) {
      const size_t n = std::min(kBlockBytes, day.stream.size() - offset);
      std::memcpy(block.data(), day.stream.data() + offset, n);
      benchmark::ClobberMemory();
    }
  }
  Report(state, day);
}

void BM_DispatchOnly(benchmark::State& state) {
  const Day& day = TheDay();
  fw::refdata::ReferenceTables tables = day.tables;
  fw::market::MarketState market;
  market.StartDay(20260305);
  market.Build(tables);
  fw::feed::MarketDataHandlers handlers(market);
  const size_t frameBytes = day.stream.size() / static_cast<size_t>(day.snapshots);
  for (auto _ : state) {
    for (size_t offset = 0; offset < day.stream.size(); offset += frameBytes) {
      handlers.Dispatch(300111, day.stream.data() + offset + 8,
                        static_cast<uint32_t>(frameBytes - 12));
    }
  }
  Report(state, day);
}
BENCHMARK(BM_DispatchOnly)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DecodeAndApplySnapshots)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CutFramesOnly)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CopyFloor)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
