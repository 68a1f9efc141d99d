// Frame cutting: a stream of realistic ~500-byte snapshot frames fed to Process in receive-sized
// blocks, beside a plain memcpy of the same bytes as the floor.
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "feed/feed_message_writer.h"
#include "feed/market_data_decoder.h"

namespace {

using fw::feed::FeedMessageWriter;

// A cash auction snapshot with a full book, the shape the gateway sends most.
std::vector<uint8_t> SnapshotFrame(int code) {
  const int entries = 14;
  const int bodyLength =
      8 + 2 + 3 + 8 + 4 + 8 + 8 + 8 + 8 + 8 + 4 + entries * (2 + 8 + 8 + 2 + 8 + 4 + 8);
  std::vector<uint8_t> frame(static_cast<size_t>(bodyLength) + 12, 0);
  FeedMessageWriter w(frame.data(), static_cast<int32_t>(frame.size()));
  w.PutHeader(300111);
  w.PutInt64(20260305093015000);
  w.PutUInt16(1);
  w.PutText("010", 3);
  char id[16];
  std::snprintf(id, sizeof id, "%06d", code);
  w.PutText(id, 8);
  w.PutText("102", 4);
  w.PutText("T0", 8);
  w.PutInt64(102300);
  w.PutInt64(1234);
  w.PutInt64(123456700);
  w.PutInt64(12345678900);
  w.PutUInt32(static_cast<uint32_t>(entries));
  for (int i = 0; i < entries; ++i) {
    w.PutText(i < 5 ? "0 " : i < 10 ? "1 " : "2 ", 2);
    w.PutInt64(10230000 + i * 10000);
    w.PutInt64(100000 + i);
    w.PutUInt16(static_cast<uint16_t>(i % 5 + 1));
    w.PutInt64(3);
    w.PutUInt32(1);
    w.PutInt64(5000);
  }
  w.PutChecksum();
  return frame;
}

class CountingDispatcher : public fw::feed::FrameDispatcher {
 public:
  void Dispatch(uint32_t, const uint8_t*, uint32_t bodyLength) override { bytes += bodyLength; }
  uint64_t bytes = 0;
};

std::vector<uint8_t> Stream() {
  std::vector<uint8_t> stream;
  for (int i = 0; stream.size() < 8u * 1024 * 1024; ++i) {
    const std::vector<uint8_t> frame = SnapshotFrame(i % 20000 + 1);
    stream.insert(stream.end(), frame.begin(), frame.end());
  }
  return stream;
}

void BM_CutFrames(benchmark::State& state) {
  static const std::vector<uint8_t> stream = Stream();
  const size_t block = static_cast<size_t>(state.range(0));
  const size_t frameBytes = SnapshotFrame(1).size();
  CountingDispatcher dispatcher;
  fw::feed::MarketDataDecoder decoder(&dispatcher);
  decoder.AllocateRing();
  for (auto _ : state) {
    for (size_t offset = 0; offset < stream.size(); offset += block) {
      const size_t n = std::min(block, stream.size() - offset);
      decoder.Process(stream.data() + offset, static_cast<uint32_t>(n));
    }
  }
  benchmark::DoNotOptimize(dispatcher.bytes);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * stream.size()));
  state.counters["frames/s"] = benchmark::Counter(
      static_cast<double>(state.iterations()) * static_cast<double>(stream.size() / frameBytes),
      benchmark::Counter::kIsRate);
  state.counters["frame_bytes"] = static_cast<double>(frameBytes);
}
BENCHMARK(BM_CutFrames)->Arg(4096)->Arg(81920);

// The floor: copying the same bytes in the same block sizes into a destination as large as the
// decoder's ring, walked round like the ring.
void BM_MemcpyFloor(benchmark::State& state) {
  static const std::vector<uint8_t> stream = Stream();
  const size_t block = static_cast<size_t>(state.range(0));
  std::vector<uint8_t> target(fw::feed::kRingBytes);
  size_t at = 0;
  for (auto _ : state) {
    for (size_t offset = 0; offset < stream.size(); offset += block) {
      const size_t n = std::min(block, stream.size() - offset);
      if (at + n > target.size()) at = 0;
      std::memcpy(target.data() + at, stream.data() + offset, n);
      at += n;
      benchmark::ClobberMemory();
    }
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * stream.size()));
}
BENCHMARK(BM_MemcpyFloor)->Arg(4096)->Arg(81920);

}  // namespace

BENCHMARK_MAIN();
