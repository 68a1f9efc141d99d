// The judgement of a health status, as `fenwright --status` and the console's `status` command
// give it: the monitoring plugins' levels (0 OK, 1 WARNING, 2 CRITICAL, 3 UNKNOWN) and a report
// for a person whose first line fits an alert ("FENWRIGHT OK - running, last message 2 s ago,
// cycle 41 ms").
//
// CRITICAL: the program has ended (its last status says so); the status is older than three write
// intervals plus ten seconds (the program is not running, or hung); a file has been failing for a
// minute; no connection for a minute in trading hours. WARNING, in trading hours: no message for
// 30 seconds; a file not written for three write intervals. UNKNOWN: no status file, or one that
// cannot be read. Trading hours are the status's trading window on a working day; a wait that began
// before the window opened is counted from its opening.
//
// Pure functions of their arguments (the time is given), except ReportStatusFile, which reads the
// file. Any thread.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "shell/health_status.h"

namespace fw::shell {

enum class HealthLevel { kOk = 0, kWarning = 1, kCritical = 2, kUnknown = 3 };

// "OK", "WARNING", "CRITICAL", "UNKNOWN".
const char* HealthLevelName(HealthLevel level);

struct HealthVerdict {
  HealthLevel level = HealthLevel::kOk;
  std::vector<std::string> critical;  // one short reason each ("SJSHQ failing for 75 s")
  std::vector<std::string> warnings;
};

// The checks above for `status` read at `now` (a SecondsSinceEpoch reading) in `window`.
HealthVerdict JudgeStatus(const HealthStatus& status, int64_t now, const TradingWindow& window);

struct StatusReport {
  int exitCode = 3;  // the level's number
  std::string text;  // UTF-8 lines, each ending with a line end
};

// The report of a status read at `now`, judged in its own trading window.
StatusReport ReportStatus(const HealthStatus& status, int64_t now);
// The same for the file at `path`: UNKNOWN when it is missing or cannot be read.
StatusReport ReportStatusFile(const std::string& path, int64_t now);

}  // namespace fw::shell
