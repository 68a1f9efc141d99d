// Vocabulary of the feed client tests: a fake processor, a dispatcher that records the frames the
// decoder delivers, a configuration and client timings for loopback tests, and a scratch run log.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <cstring>
#include <map>
#include <mutex>
#include <stdexcept>
#include <string>
#include <vector>

#include "client/client_io.h"
#include "client/processor_gate.h"
#include "config/config_info.h"
#include "feed/market_data_decoder.h"
#include "foundation/platform/socket.h"
#include "foundation/run_log.h"
#include "tests/support/test_support.h"

namespace fw::client::test {

// Answers like the processor and counts how often it is asked.
class FakeProcessor : public ProcessorGate {
 public:
  int32_t IsInitialized() override {
    ++isInitializedCalls;
    if (throwInIsInitialized.load()) throw std::runtime_error("broken processor");
    return 1;
  }
  int32_t Instance() override {
    ++instanceCalls;
    return instanceAnswer.load();
  }

  std::atomic<int32_t> instanceAnswer{0};
  std::atomic<bool> throwInIsInitialized{false};
  std::atomic<uint32_t> isInitializedCalls{0};
  std::atomic<uint32_t> instanceCalls{0};
};

// Counts the frames the decoder hands over, by message type, and keeps their bytes in order.
class RecordingDispatcher : public feed::FrameDispatcher {
 public:
  void Dispatch(uint32_t msgType, const uint8_t* body, uint32_t bodyLength) override {
    std::lock_guard<std::mutex> lock(mutex_);
    ++counts_[msgType];
    bodies_.emplace_back(body, body + bodyLength);
  }
  uint64_t Count(uint32_t msgType) const {
    std::lock_guard<std::mutex> lock(mutex_);
    const auto it = counts_.find(msgType);
    return it == counts_.end() ? 0 : it->second;
  }
  uint64_t Total() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return bodies_.size();
  }
  std::vector<std::vector<uint8_t>> Bodies() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return bodies_;
  }

 private:
  mutable std::mutex mutex_;
  std::map<uint32_t, uint64_t> counts_;
  std::vector<std::vector<uint8_t>> bodies_;
};

// Whether a reset from the peer reaches a receiver as a failure, as on Linux and Windows; Wine
// sends the reset but reports it to its own programs as an orderly close.
inline bool ResetIsReported() {
  platform::SocketHandle listener = platform::kNoSocket;
  uint16_t port = 0;
  if (platform::SocketListenLoopback(0, 1, &listener, &port) != 1) return false;
  platform::SocketHandle client = platform::kNoSocket;
  platform::SocketHandle server = platform::kNoSocket;
  int32_t n = 0;
  if (platform::SocketCreateTcp(&client) == 1 &&
      platform::SocketConnect(client, 0x7F000001u, port) == 1 &&
      platform::SocketAccept(listener, 10000, &server) == 1) {
    platform::SocketAbort(server);
    char byte;
    if (platform::SocketWaitReadable(client, 10000) == 1)
      n = platform::SocketReceive(client, &byte, 1);
  }
  platform::SocketClose(client);
  platform::SocketClose(listener);
  return n < 0;
}

template <size_t N>
void SetField(char (&field)[N], const std::string& text) {
  std::memset(field, 0, N);
  std::memcpy(field, text.data(), text.size() < N - 1 ? text.size() : N - 1);
}

// A configuration whose window spans the whole day, aimed at 127.0.0.1:port.
inline config::ConfigInfo LoopbackConfig(uint16_t port) {
  config::ConfigInfo config;
  SetField(config.ip, "127.0.0.1");
  config.port = port;
  config.begintime = 0;
  config.endtime = 2359;
  config.heartbt = 30;
  SetField(config.sender, "FENWRIGHT");
  SetField(config.target, "SZSEGW");
  SetField(config.password, "secret");
  SetField(config.ver, "1.00");
  return config;
}

// Short pauses for loopback tests; the silence limit stays long unless a test shortens it, so a
// loaded machine never reconnects where a test does not expect it.
inline ClientTimings FastTimings() {
  ClientTimings t;
  t.idlePauseMs = 10;
  t.reconnectPauseMs = 50;
  t.readWaitMs = 20;
  t.timerPeriodMs = 1000;
  t.silenceLimitMs = 600000;
  t.stopTimeoutMs = 10000;
  return t;
}

// Catches the run log in a scratch folder and the window sink for the test's duration.
class LoggingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::SocketLibraryStart();
    SetRunLogFolder(dir_.File("log"));
    catcher_ = fw::test::WindowCatcher::Install();
  }
  void TearDown() override {
    fw::test::WindowCatcher::Uninstall();
    CloseRunLog();
    SetRunLogFolder(".\\log");
    platform::SocketLibraryStop();
  }

  // Whether some log line contains `text`.
  bool Logged(const std::string& text) const { return CountLogged(text) > 0; }
  size_t CountLogged(const std::string& text) const {
    size_t n = 0;
    for (const std::string& line : catcher_->LogLines()) {
      if (line.find(text) != std::string::npos) ++n;
    }
    return n;
  }
  // The level of the first line that contains `text` ('?' when there is none).
  char LevelOf(const std::string& text) const {
    for (const std::string& line : catcher_->LogLines()) {
      if (line.find(text) != std::string::npos && line.rfind("<Log_LV", 0) == 0) return line[7];
    }
    return '?';
  }
  template <typename Predicate>
  static bool Eventually(Predicate predicate) {
    return fw::test::WindowCatcher::WaitFor(predicate, std::chrono::seconds(30));
  }

  fw::test::TempDir dir_;
  std::shared_ptr<fw::test::WindowCatcher> catcher_;
};

}  // namespace fw::client::test
