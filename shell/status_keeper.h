// StatusKeeper: keeps the health status of the service (HealthStatus) and its file,
// fenwright.status.json in the working folder, replaced as a whole through a rename so that a
// reader never sees half a file.
//
// Threads. The client reports its connection and every received block (receive thread), the
// processor every write cycle (write thread): those only change the status in memory, under the
// keeper's lock, and mark it changed. The file is written by the control thread (WriteIfDue, at
// every step of its waits: within a step of each change, and at least once per write interval while
// nothing changes, so that a fresh file means a live program) and at each change of the service's
// state, by the thread that makes it. The feed counters are read when the file is written.
//
// Lifetime: one per service, created disabled; the front ends enable it. While it is disabled
// nothing is written (tests that run the service need no file).
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>

#include "client/connection_observer.h"
#include "config/config_info.h"
#include "feed/feed_counters.h"
#include "market/market_state.h"
#include "processor/process_io.h"
#include "shell/health_status.h"

namespace fw::shell {

// The default file, in the working folder.
constexpr char kStatusFileName[] = "fenwright.status.json";

class StatusKeeper : public client::ConnectionObserver {
 public:
  // `state` and `counters` are read when the file is written; both must outlive the keeper.
  StatusKeeper(const market::MarketState& state, const feed::FeedCounters& counters);

  // From now on the status is kept in `path`, naming the program's `version`.
  void Enable(std::string path, std::string version);
  bool Enabled() const;

  // The configuration in use: the six files' paths, the trading window, the write interval, the
  // primary gateway. A file whose path changes starts afresh.
  void SetConfig(const config::ConfigInfo& config);

  // A change of the service's state; written at once.
  void SetServiceState(ServiceState state);
  // A write cycle (write thread).
  void OnCycle(const processor::CycleReport& report);
  // client::ConnectionObserver (receive thread).
  void OnConnectionChange(const client::ConnectionChange& change) override;
  void OnDataReceived() override;

  // Writes the file when the status changed since the last write, or when the last write is a
  // write interval old (at least a second): a write that failed is tried again then.
  void WriteIfDue();
  // The program ends: the last status says so. Written at once.
  void ProgramEnded();

  // The status as it would be written now.
  HealthStatus Current() const;

  // The millisecond tick counter that times the refresh; empty: the system's.
  void SetTickCountForTesting(std::function<uint32_t()> tickCount);

 private:
  void Write();
  uint32_t Tick() const;  // with mutex_ held

  const market::MarketState& state_;
  const feed::FeedCounters& counters_;

  mutable std::mutex mutex_;
  HealthStatus status_;                  // guarded by mutex_ (the fields the events keep)
  config::ConfigInfo config_;            // guarded by mutex_: the holiday list and the window
  std::string path_;                     // guarded by mutex_; empty while disabled
  uint32_t connectionsToday_ = 0;        // guarded by mutex_
  uint32_t connectionsDate_ = 0;         // guarded by mutex_: YYYYMMDD they were counted on
  bool changed_ = true;                  // guarded by mutex_
  uint32_t lastWriteTick_ = 0;           // guarded by mutex_
  bool written_ = false;                 // guarded by mutex_
  std::function<uint32_t()> tickCount_;  // guarded by mutex_

  std::atomic<int64_t> lastMessageAt_{-1};  // SecondsSinceEpoch of the last block; -1 none

  std::mutex fileMutex_;  // one writer of the file at a time
};

}  // namespace fw::shell
