// The replay of a generated 20,000-security capture (cash auction snapshots with full books, index,
// statistics, after-hours and negotiated messages, round after round), measured three ways in the
// same run: a plain sequential read of the capture file (the floor of any replay), the replay
// feeding the file's bytes through its cutter and the service's handlers, and the same feeding of
// the same bytes already in memory (the ceiling); also one whole run of the program, start-up and
// the writing of the six files included. The capture's size in MB comes from FW_REPLAY_BENCH_MB
// (default 32, for the test command's short run; give 1100 or more to measure a day of a gigabyte).
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "foundation/run_log.h"
#include "tools/feed_source.h"
#include "tools/market_data_encoder.h"
#include "tools/replay.h"
#include "tools/sample_day.h"

namespace {

using namespace fw;
namespace fs = std::filesystem;

constexpr uint32_t kDay = 20260305;

struct Capture {
  fs::path folder;
  std::string file;
  std::string ini;
  std::string out;
  uint64_t bytes = 0;

  Capture() {
    SetRunLogConsolePrinter([](std::string_view) {});
    const char* mb = std::getenv("FW_REPLAY_BENCH_MB");
    const uint64_t target = (mb != nullptr && std::atoll(mb) > 0 ? std::atoll(mb) : 32) << 20;
    folder = fs::temp_directory_path() / "fenwright-replay-bench";
    fs::remove_all(folder);
    fs::create_directories(folder / "xml");
    tools::SampleDayOptions options;
    options.securityCount = 20000;
    options.date = kDay;
    auto day = std::make_shared<const tools::SampleDay>(tools::BuildSampleDay(options));
    const std::string xml = (folder / "xml").string() + "/";
    tools::WriteSampleDay(*day, xml);
    ini = (folder / "replay.ini").string();
    std::FILE* f = std::fopen(ini.c_str(), "wb");
    std::fprintf(f, "[xmlfile]\nloadFolder = %s\n[other]\nIndexNameFile = %sindexname.ini\n",
                 xml.c_str(), xml.c_str());
    std::fclose(f);
    out = (folder / "out").string();

    // Rounds enough for the size wanted; the capture stops at the first frame past it.
    file = (folder / "binaryData_20260305.dat").string();
    f = std::fopen(file.c_str(), "wb");
    const tools::Frame logon = tools::EncodeLogon("GATEWAY", "BENCH", 30, "", "1.10");
    std::fwrite(logon.data(), 1, logon.size(), f);
    bytes = logon.size();
    tools::SyntheticDayFeed feed(day, 100000);
    for (tools::Frame frame; bytes < target && feed.Next(&frame);) {
      std::fwrite(frame.data(), 1, frame.size(), f);
      bytes += frame.size();
    }
    std::fclose(f);
  }
  ~Capture() { fs::remove_all(folder); }

  tools::ReplayOptions Options() const {
    tools::ReplayOptions options;
    options.capture = file;
    options.ini = ini;
    options.out = out;
    return options;
  }
};

const Capture& TheCapture() {
  static const Capture capture;
  return capture;
}

void BM_SequentialRead(benchmark::State& state) {
  const Capture& capture = TheCapture();
  std::vector<uint8_t> buffer(size_t{1} << 20);
  for (auto _ : state) {
    std::FILE* f = std::fopen(capture.file.c_str(), "rb");
    uint64_t total = 0;
    for (size_t n; (n = std::fread(buffer.data(), 1, buffer.size(), f)) > 0;) total += n;
    std::fclose(f);
    benchmark::DoNotOptimize(total);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * capture.bytes));
}

void BM_ReplayFeedFromFile(benchmark::State& state) {
  const Capture& capture = TheCapture();
  std::ostringstream err;
  tools::Replayer replayer(capture.Options(), err);
  if (replayer.Prepare() != 0) {
    state.SkipWithError(err.str().c_str());
    return;
  }
  for (auto _ : state) {
    if (replayer.FeedCapture() != 0) state.SkipWithError(err.str().c_str());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * capture.bytes));
}

void BM_ReplayFeedFromMemory(benchmark::State& state) {
  const Capture& capture = TheCapture();
  std::vector<uint8_t> bytes(capture.bytes);
  std::FILE* f = std::fopen(capture.file.c_str(), "rb");
  const size_t read = std::fread(bytes.data(), 1, bytes.size(), f);
  std::fclose(f);
  std::ostringstream err;
  tools::Replayer replayer(capture.Options(), err);
  if (read != bytes.size() || replayer.Prepare() != 0) {
    state.SkipWithError(err.str().c_str());
    return;
  }
  for (auto _ : state) {
    benchmark::DoNotOptimize(replayer.Feed(bytes.data(), bytes.size(), true));
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * capture.bytes));
}

// The program's whole run: the start-up of a 20,000-security day, the feeding, the six files.
void BM_ReplayWholeRun(benchmark::State& state) {
  const Capture& capture = TheCapture();
  for (auto _ : state) {
    std::ostringstream err;
    if (tools::RunReplay(capture.Options(), err, nullptr) != 0) {
      state.SkipWithError(err.str().c_str());
    }
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * capture.bytes));
}

BENCHMARK(BM_SequentialRead)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ReplayFeedFromFile)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ReplayFeedFromMemory)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ReplayWholeRun)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

}  // namespace

BENCHMARK_MAIN();
