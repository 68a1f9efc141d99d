// HealthStatus: what the running service tells the people who watch it, as the file
// fenwright.status.json holds it (UTF-8 JSON, times as local "2026-12-09T10:31:05"): the program
// and its service, the connection, what the feed brought, the last write cycle and each of the six
// files. StatusKeeper fills and writes it; `fenwright --status` reads it back and judges it.
//
// Plain values; no state shared between threads.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "client/connection_observer.h"
#include "foundation/local_clock.h"

namespace fw::shell {

enum class ServiceState { kStopped, kStarting, kRunning, kRetrying, kStopping };

// "stopped", "starting", "running", "retrying", "stopping".
const char* ServiceStateName(ServiceState state);

// Local times to the second travel as SecondsSinceEpoch readings; nullopt is the file's null.
using StatusTime = std::optional<int64_t>;

// "2026-12-09T10:31:05" for a reading; the reverse, false for any other text (or an impossible
// date or time).
std::string IsoLocalTime(int64_t secondsSinceEpoch);
bool ParseIsoLocalTime(std::string_view text, int64_t* secondsSinceEpoch);

// The hours in which the service is expected to be connected and writing.
struct TradingWindow {
  int32_t begin = 845;     // HHMM
  int32_t end = 1630;      // HHMM, included
  bool workingDay = true;  // false on a holiday (and weekends) of the holiday list
};

struct FileStatus {
  struct Error {
    int32_t code = 0;   // the writer's result, a negative code (written unsigned, as the run log)
    std::string text;   // the code's text, UTF-8
    int64_t at = 0;     // the latest failed write
    int64_t since = 0;  // the first failed write of this run of failures
  };
  std::string name;  // "SJSHQ"
  std::string path;  // as configured, UTF-8
  StatusTime lastWrittenAt;
  std::optional<Error> lastError;  // null while the last write succeeded
};

struct CycleStatus {
  int64_t start = 0;
  uint32_t durationMs = 0;
  uint64_t bytes = 0;  // written to the six files together
};

struct ConnectionStatus {
  std::string address;  // the gateway in use or to be tried next
  uint16_t port = 0;
  client::ConnectionState state = client::ConnectionState::kDisconnected;
  client::GatewayRole gateway = client::GatewayRole::kPrimary;
  StatusTime loggedOnSince;      // set while connected
  StatusTime disconnectedSince;  // set while not connected
};

struct HealthStatus {
  std::string version;
  uint32_t pid = 0;
  int64_t updatedAt = 0;
  StatusTime endedAt;  // the program has ended
  uint32_t writeIntervalMs = 3000;
  TradingWindow tradingWindow;
  ServiceState service = ServiceState::kStopped;
  ConnectionStatus connection;
  uint32_t reconnects = 0;  // connections made today after the first one of the day
  StatusTime lastMessageAt;
  StatusTime marketTime;  // the market date and time of the feed
  // Frames handed to the handlers, by message type ("300111" …, "other"), since the program
  // started; and those dropped, by reason; and the bytes taken in and skipped.
  std::vector<std::pair<std::string, uint64_t>> messagesApplied;
  uint64_t badChecksum = 0;
  uint64_t shortBody = 0;
  uint64_t longBody = 0;
  uint64_t bytesReceived = 0;
  uint64_t bytesSkipped = 0;
  std::optional<CycleStatus> lastCycle;
  std::array<FileStatus, 6> files;  // in the order a cycle writes them
};

// The file's text, ending with a line end.
std::string StatusToJson(const HealthStatus& status);

// Reads the file's text: true and *status, or false and *reason (one line) for anything that is
// not such a file, a field missing or of the wrong kind included.
bool StatusFromJson(std::string_view text, HealthStatus* status, std::string* reason);

}  // namespace fw::shell
