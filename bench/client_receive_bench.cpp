// The feed client's receive path over loopback: a whole synthetic day (2,000 securities, five
// rounds of snapshots) sent by the gateway simulator in 81,920-byte bursts, received by
// StaticClient and cut into frames by the decoder (connect and logon included); beside it the
// floor, the same bytes sent over a plain loopback connection and received into one 81,920-byte
// buffer.
#include <benchmark/benchmark.h>

#include <atomic>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>

#include "client/static_client.h"
#include "foundation/platform/socket.h"
#include "foundation/run_log.h"
#include "tools/feed_source.h"
#include "tools/gateway_simulator.h"

namespace {

using fw::platform::SocketHandle;

struct Day {
  std::shared_ptr<const std::string> bytes;
  uint64_t frames = 0;
};

const Day& TheDay() {
  static const Day day = [] {
    fw::tools::SampleDayOptions options;
    options.securityCount = 2000;
    options.date = 20260305;
    auto model = std::make_shared<const fw::tools::SampleDay>(fw::tools::BuildSampleDay(options));
    fw::tools::SyntheticDayFeed feed(model, 5);
    auto bytes = std::make_shared<std::string>();
    Day d;
    for (fw::tools::Frame f; feed.Next(&f); ++d.frames) bytes->append(f.begin(), f.end());
    d.bytes = bytes;
    return d;
  }();
  return day;
}

class CountingDispatcher : public fw::feed::FrameDispatcher {
 public:
  void Dispatch(uint32_t, const uint8_t*, uint32_t) override {
    frames.fetch_add(1, std::memory_order_relaxed);
  }
  std::atomic<uint64_t> frames{0};
};

class AlwaysReady : public fw::client::ProcessorGate {
 public:
  int32_t IsInitialized() override { return 1; }
  int32_t Instance() override { return 0; }
};

void QuietLog() {
  static const bool done = [] {
    fw::SetRunLogConsolePrinter([](std::string_view) {});
    fw::SetRunLogFolder((std::filesystem::temp_directory_path() / "fenwright-bench-log").string());
    return true;
  }();
  (void)done;
}

void BM_ClientReceivesDay(benchmark::State& state) {
  QuietLog();
  const Day& day = TheDay();
  fw::tools::GatewayOptions options;
  options.bursts = true;
  options.source = [bytes = day.bytes] {
    return std::make_unique<fw::tools::CaptureReplayFeed>(bytes);
  };
  fw::tools::GatewaySimulator gateway;
  if (gateway.Start(options) != 1) {
    state.SkipWithError("no loopback listener");
    return;
  }
  fw::config::ConfigInfo config;
  std::snprintf(config.ip, sizeof config.ip, "127.0.0.1");
  config.port = gateway.Port();
  config.begintime = 0;
  config.endtime = 2359;
  config.heartbt = 30;
  fw::client::ClientTimings timings;
  timings.reconnectPauseMs = 10;
  AlwaysReady processor;
  fw::client::CaptureFile capture;
  for (auto _ : state) {
    CountingDispatcher dispatcher;
    fw::feed::MarketDataDecoder decoder(&dispatcher);
    decoder.AllocateRing();
    fw::client::StaticClient client(config, decoder, capture, processor, timings);
    // From the start of the client to the last frame decoded; the Stop that follows (up to one
    // slice of the readable-wait) is not part of receiving.
    const auto begin = std::chrono::steady_clock::now();
    client.Start(config);
    // The day's frames and the gateway's Logon answer.
    while (dispatcher.frames.load(std::memory_order_relaxed) < day.frames + 1) {
      if (std::chrono::steady_clock::now() - begin > std::chrono::seconds(60)) {
        state.SkipWithError("the day did not arrive");
        break;
      }
      std::this_thread::yield();
    }
    state.SetIterationTime(
        std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count());
    client.Stop();
  }
  gateway.Stop();
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * day.bytes->size()));
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * day.frames));
}
BENCHMARK(BM_ClientReceivesDay)->Unit(benchmark::kMillisecond)->UseManualTime();

void BM_LoopbackFloor(benchmark::State& state) {
  const Day& day = TheDay();
  fw::platform::SocketLibraryStart();
  SocketHandle listener = fw::platform::kNoSocket;
  uint16_t port = 0;
  if (fw::platform::SocketListenLoopback(0, 4, &listener, &port) != 1) {
    state.SkipWithError("no loopback listener");
    return;
  }
  std::vector<uint8_t> buffer(81920);
  for (auto _ : state) {
    SocketHandle client = fw::platform::kNoSocket;
    fw::platform::SocketCreateTcp(&client);
    fw::platform::SocketConnect(client, 0x7F000001u, port);
    SocketHandle server = fw::platform::kNoSocket;
    fw::platform::SocketAccept(listener, 10000, &server);
    std::thread sender([&] {
      const std::string& bytes = *day.bytes;
      for (size_t done = 0; done < bytes.size();) {
        const size_t n = std::min<size_t>(81920, bytes.size() - done);
        const int32_t sent =
            fw::platform::SocketSend(server, bytes.data() + done, static_cast<uint32_t>(n));
        if (sent <= 0) break;
        done += static_cast<size_t>(sent);
      }
    });
    for (size_t got = 0; got < day.bytes->size();) {
      const int32_t n =
          fw::platform::SocketReceive(client, buffer.data(), static_cast<uint32_t>(buffer.size()));
      if (n <= 0) break;
      got += static_cast<size_t>(n);
      benchmark::DoNotOptimize(buffer.data());
    }
    sender.join();
    fw::platform::SocketClose(server);
    fw::platform::SocketClose(client);
  }
  fw::platform::SocketClose(listener);
  fw::platform::SocketLibraryStop();
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * day.bytes->size()));
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * day.frames));
}
BENCHMARK(BM_LoopbackFloor)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
