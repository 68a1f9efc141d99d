#include "shell/status_keeper.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "foundation/error_code.h"
#include "foundation/gbk.h"
#include "foundation/platform/platform.h"
#include "processor/write_cycle.h"

namespace fw::shell {
namespace {

using client::ConnectionState;

// The names of the six files in DbfFile order.
constexpr const char* kFileNames[processor::kDbfFiles] = {"SJSXXN", "SJSXX",   "SJSHQ",
                                                          "SJSZS",  "SJSPHHQ", "SJSZHHQ"};

// A refresh more often than this would only wear the disk: the file's age is judged in write
// intervals plus ten seconds.
constexpr uint32_t kShortestRefreshMs = 1000;

int64_t Now() { return SecondsSinceEpoch(LocalNow()); }

template <size_t N>
std::string TextOf(const char (&field)[N]) {
  return GbkToUtf8(std::string_view(field, strnlen(field, N)));
}

// The feed's market date and time, when they make a time.
StatusTime MarketTimeOf(const market::MarketClock& clock) {
  if (clock.marketTime <= 0 || clock.marketDate <= 0) return std::nullopt;
  char text[64];
  std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d", clock.marketDate / 10000,
                clock.marketDate / 100 % 100, clock.marketDate % 100, clock.marketTime / 10000,
                clock.marketTime / 100 % 100, clock.marketTime % 100);
  int64_t t = 0;
  if (!ParseIsoLocalTime(text, &t)) return std::nullopt;
  return t;
}

}  // namespace

StatusKeeper::StatusKeeper(const market::MarketState& state, const feed::FeedCounters& counters)
    : state_(state), counters_(counters) {
  status_.pid = platform::ProcessId();
  status_.connection.disconnectedSince = Now();
  for (size_t i = 0; i < processor::kDbfFiles; ++i) status_.files[i].name = kFileNames[i];
}

void StatusKeeper::Enable(std::string path, std::string version) {
  std::lock_guard<std::mutex> lock(mutex_);
  path_ = std::move(path);
  status_.version = std::move(version);
  changed_ = true;
}

bool StatusKeeper::Enabled() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return !path_.empty();
}

void StatusKeeper::SetConfig(const config::ConfigInfo& config) {
  const std::array<const char*, processor::kDbfFiles> paths = processor::DbfPaths(config);
  std::lock_guard<std::mutex> lock(mutex_);
  config_ = config;
  for (size_t i = 0; i < processor::kDbfFiles; ++i) {
    FileStatus& file = status_.files[i];
    const std::string path = GbkToUtf8(paths[i]);
    if (file.path == path) continue;
    file = FileStatus();
    file.name = kFileNames[i];
    file.path = path;
  }
  status_.writeIntervalMs = config.writeInterval;
  status_.tradingWindow.begin = config.begintime;
  status_.tradingWindow.end = config.endtime;
  ConnectionStatus& c = status_.connection;
  if (c.state == ConnectionState::kDisconnected) {
    c.address = TextOf(config.ip);
    c.port = config.port;
    c.gateway = client::GatewayRole::kPrimary;
  }
  changed_ = true;
}

void StatusKeeper::SetServiceState(ServiceState state) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    status_.service = state;
    changed_ = true;
  }
  Write();
}

void StatusKeeper::OnCycle(const processor::CycleReport& report) {
  const int64_t start = SecondsSinceEpoch(report.start);
  std::string texts[processor::kDbfFiles];
  for (size_t i = 0; i < processor::kDbfFiles; ++i) {
    if (report.files[i].result < 0) texts[i] = GbkToUtf8(MErrorCode::Text(report.files[i].result));
  }
  std::lock_guard<std::mutex> lock(mutex_);
  CycleStatus cycle;
  cycle.start = start;
  cycle.durationMs = report.durationMs;
  for (size_t i = 0; i < processor::kDbfFiles; ++i) {
    const processor::FileWrite& write = report.files[i];
    FileStatus& file = status_.files[i];
    cycle.bytes += write.bytes;
    if (write.result >= 0) {
      file.lastWrittenAt = start;
      file.lastError.reset();
      continue;
    }
    FileStatus::Error error;
    error.code = write.result;
    error.text = std::move(texts[i]);
    error.at = start;
    error.since = file.lastError ? file.lastError->since : start;
    file.lastError = std::move(error);
  }
  status_.lastCycle = cycle;
  changed_ = true;
}

void StatusKeeper::OnConnectionChange(const client::ConnectionChange& change) {
  const LocalDateTime now = LocalNow();
  const int64_t seconds = SecondsSinceEpoch(now);
  std::lock_guard<std::mutex> lock(mutex_);
  ConnectionStatus& c = status_.connection;
  c.address = GbkToUtf8(change.address);
  c.port = change.port;
  c.gateway = change.gateway;
  c.state = change.state;
  if (change.state == ConnectionState::kConnected) {
    c.loggedOnSince = seconds;
    c.disconnectedSince.reset();
    if (connectionsDate_ != now.Date()) {
      connectionsDate_ = now.Date();
      connectionsToday_ = 0;
    }
    ++connectionsToday_;
  } else {
    c.loggedOnSince.reset();
    if (!c.disconnectedSince) c.disconnectedSince = seconds;
  }
  changed_ = true;
}

void StatusKeeper::OnDataReceived() { lastMessageAt_.store(Now(), std::memory_order_relaxed); }

HealthStatus StatusKeeper::Current() const {
  const LocalDateTime now = LocalNow();
  HealthStatus s;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    s = status_;
    s.tradingWindow.workingDay = !config_.IsHoliday();
    s.reconnects =
        connectionsDate_ == now.Date() && connectionsToday_ > 0 ? connectionsToday_ - 1 : 0;
  }
  s.updatedAt = SecondsSinceEpoch(now);
  if (const int64_t last = lastMessageAt_.load(std::memory_order_relaxed); last >= 0) {
    s.lastMessageAt = last;
  }
  s.marketTime = MarketTimeOf(state_.Clock());

  using feed::FeedCounters;
  s.messagesApplied.clear();
  for (size_t slot = 0; slot < FeedCounters::kTypes.size(); ++slot) {
    s.messagesApplied.emplace_back(std::to_string(FeedCounters::kTypes[slot]),
                                   counters_.FramesInSlot(slot));
  }
  s.messagesApplied.emplace_back("other", counters_.FramesInSlot(FeedCounters::kOther));
  s.badChecksum = counters_.BadChecksums();
  s.shortBody = counters_.ShortBodies();
  s.longBody = counters_.LongBodies();
  s.bytesReceived = counters_.Bytes();
  s.bytesSkipped = counters_.GarbageBytes();
  return s;
}

void StatusKeeper::WriteIfDue() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (path_.empty()) return;
    const uint32_t period = std::max(status_.writeIntervalMs, kShortestRefreshMs);
    if (written_ && !changed_ && Tick() - lastWriteTick_ < period) return;
  }
  Write();
}

void StatusKeeper::ProgramEnded() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    status_.endedAt = Now();
    changed_ = true;
  }
  Write();
}

void StatusKeeper::Write() {
  std::lock_guard<std::mutex> file(fileMutex_);
  std::string path;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (path_.empty()) return;
    path = path_;
    // Cleared before the status is read: a change made meanwhile is written by the next call.
    changed_ = false;
  }
  const std::string text = StatusToJson(Current());
  // A failed write is tried again at the next refresh; the file's age tells the reader.
  platform::WriteWholeFile(path, text);
  std::lock_guard<std::mutex> lock(mutex_);
  lastWriteTick_ = Tick();
  written_ = true;
}

void StatusKeeper::SetTickCountForTesting(std::function<uint32_t()> tickCount) {
  std::lock_guard<std::mutex> lock(mutex_);
  tickCount_ = std::move(tickCount);
}

uint32_t StatusKeeper::Tick() const { return tickCount_ ? tickCount_() : platform::TickCount(); }

}  // namespace fw::shell
