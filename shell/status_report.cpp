#include "shell/status_report.h"

#include <algorithm>
#include <cstdio>

#include "foundation/platform/platform.h"

namespace fw::shell {
namespace {

using client::ConnectionState;

constexpr int64_t kFailingLimitS = 60;       // a file failing this long is critical
constexpr int64_t kNoConnectionLimitS = 60;  // so is no connection in trading hours
constexpr int64_t kSilenceLimitS = 30;       // no message this long in trading hours: a warning
constexpr int64_t kStaleSlackMs = 10000;     // beyond three write intervals
constexpr size_t kLargestStatusFile = 1 << 20;

std::string Seconds(int64_t s) { return std::to_string(s) + " s"; }

std::string HourMinute(int32_t hhmm) {
  char text[32];
  std::snprintf(text, sizeof text, "%02d:%02d", hhmm / 100, hhmm % 100);
  return text;
}

// The opening of today's window, as a reading.
int64_t WindowStart(int64_t now, const TradingWindow& window) {
  LocalDateTime t = LocalDateTimeAt(now);
  t.hour = window.begin / 100;
  t.minute = window.begin % 100;
  t.second = 0;
  return SecondsSinceEpoch(t);
}

bool InTradingHours(int64_t now, const TradingWindow& window) {
  const auto hhmm = static_cast<int32_t>(LocalDateTimeAt(now).HourMinute());
  return window.workingDay && window.begin <= hhmm && hhmm <= window.end;
}

StatusReport Unknown(const std::string& reason) {
  return {static_cast<int>(HealthLevel::kUnknown), "FENWRIGHT UNKNOWN - " + reason + "\n"};
}

std::string Join(const std::vector<std::string>& parts, const char* separator) {
  std::string text;
  for (const std::string& part : parts) {
    if (!text.empty()) text += separator;
    text += part;
  }
  return text;
}

std::string TimeOrNever(const StatusTime& t) { return t ? IsoLocalTime(*t) : "never"; }

}  // namespace

const char* HealthLevelName(HealthLevel level) {
  static const char* const kNames[] = {"OK", "WARNING", "CRITICAL", "UNKNOWN"};
  return kNames[static_cast<int>(level)];
}

HealthVerdict JudgeStatus(const HealthStatus& s, int64_t now, const TradingWindow& window) {
  HealthVerdict v;
  const int64_t intervalMs = s.writeIntervalMs;
  if (s.endedAt) {
    v.critical.push_back("the program ended at " + IsoLocalTime(*s.endedAt));
  } else if ((now - s.updatedAt) * 1000 > 3 * intervalMs + kStaleSlackMs) {
    // What an old status says about the files and the feed is as old as the status.
    v.critical.push_back("the status is " + Seconds(now - s.updatedAt) +
                         " old: the program is not running or hangs");
  } else {
    for (const FileStatus& f : s.files) {
      if (f.lastError && now - f.lastError->since >= kFailingLimitS) {
        v.critical.push_back(f.name + " failing for " + Seconds(now - f.lastError->since));
      }
    }
    if (InTradingHours(now, window)) {
      const int64_t opened = WindowStart(now, window);
      const ConnectionStatus& c = s.connection;
      if (c.state != ConnectionState::kConnected) {
        const int64_t down = now - std::max(c.disconnectedSince.value_or(opened), opened);
        if (down >= kNoConnectionLimitS) v.critical.push_back("no connection for " + Seconds(down));
      }
      // Without any message yet, the silence runs from the logon (or from the loss of the
      // connection).
      const StatusTime heard = s.lastMessageAt
                                   ? s.lastMessageAt
                                   : (c.loggedOnSince ? c.loggedOnSince : c.disconnectedSince);
      const int64_t silent = now - std::max(heard.value_or(opened), opened);
      if (silent >= kSilenceLimitS) v.warnings.push_back("no message for " + Seconds(silent));
      for (const FileStatus& f : s.files) {
        const int64_t stale = now - std::max(f.lastWrittenAt.value_or(opened), opened);
        if (stale * 1000 > 3 * intervalMs) {
          v.warnings.push_back(f.name + " not written for " + Seconds(stale));
        }
      }
    }
  }
  v.level = !v.critical.empty()   ? HealthLevel::kCritical
            : !v.warnings.empty() ? HealthLevel::kWarning
                                  : HealthLevel::kOk;
  return v;
}

StatusReport ReportStatus(const HealthStatus& s, int64_t now) {
  const HealthVerdict v = JudgeStatus(s, now, s.tradingWindow);
  const bool inHours = InTradingHours(now, s.tradingWindow);
  StatusReport report;
  report.exitCode = static_cast<int>(v.level);

  std::string first = std::string("FENWRIGHT ") + HealthLevelName(v.level) + " - ";
  if (v.level == HealthLevel::kCritical) {
    first += Join(v.critical, "; ");
  } else if (v.level == HealthLevel::kWarning) {
    first += Join(v.warnings, "; ");
  } else {
    first += ServiceStateName(s.service);
    first += s.lastMessageAt ? ", last message " + Seconds(now - *s.lastMessageAt) + " ago"
                             : std::string(", no message yet");
    first += s.lastCycle ? ", cycle " + std::to_string(s.lastCycle->durationMs) + " ms"
                         : std::string(", no cycle yet");
    if (!inHours) first += ", outside trading hours";
  }

  std::vector<std::string> lines{first};
  lines.push_back("service: " + std::string(ServiceStateName(s.service)) + ", pid " +
                  std::to_string(s.pid) + ", version " + s.version + "; status of " +
                  IsoLocalTime(s.updatedAt) + " (" + Seconds(now - s.updatedAt) + " ago)" +
                  (s.endedAt ? ", program ended " + IsoLocalTime(*s.endedAt) : std::string()));
  lines.push_back("trading window: " + HourMinute(s.tradingWindow.begin) + "-" +
                  HourMinute(s.tradingWindow.end) +
                  (s.tradingWindow.workingDay ? ", working day" : ", holiday") +
                  (inHours ? ", trading hours now" : ", outside trading hours now"));
  const ConnectionStatus& c = s.connection;
  static const char* const kStates[] = {"disconnected", "connecting", "connected"};
  std::string connection =
      "connection: " + std::string(kStates[static_cast<int>(c.state)]) + ", " + c.address + ":" +
      std::to_string(c.port) +
      (c.gateway == client::GatewayRole::kPrimary ? " (primary)" : " (backup)");
  if (c.loggedOnSince) connection += ", logged on since " + IsoLocalTime(*c.loggedOnSince);
  if (c.disconnectedSince) connection += ", down since " + IsoLocalTime(*c.disconnectedSince);
  lines.push_back(connection + ", " + std::to_string(s.reconnects) + " reconnects today");
  lines.push_back("feed: last message " + TimeOrNever(s.lastMessageAt) + ", market time " +
                  (s.marketTime ? IsoLocalTime(*s.marketTime) : std::string("none")));
  std::vector<std::string> applied;
  for (const auto& [type, count] : s.messagesApplied) {
    if (count > 0) applied.push_back(type + " " + std::to_string(count));
  }
  lines.push_back("messages applied: " + (applied.empty() ? "none" : Join(applied, ", ")));
  lines.push_back("frames rejected: bad checksum " + std::to_string(s.badChecksum) +
                  ", short body " + std::to_string(s.shortBody) + ", long body " +
                  std::to_string(s.longBody) + "; bytes received " +
                  std::to_string(s.bytesReceived) + ", skipped " + std::to_string(s.bytesSkipped));
  lines.push_back(s.lastCycle ? "last cycle: " + IsoLocalTime(s.lastCycle->start) + ", " +
                                    std::to_string(s.lastCycle->durationMs) + " ms, " +
                                    std::to_string(s.lastCycle->bytes) + " bytes"
                              : std::string("last cycle: none"));
  for (const FileStatus& f : s.files) {
    std::string line = f.name + ": " + f.path + ", written " + TimeOrNever(f.lastWrittenAt);
    if (f.lastError) {
      line += ", failing since " + IsoLocalTime(f.lastError->since) + ": code " +
              std::to_string(static_cast<uint32_t>(f.lastError->code)) + " " + f.lastError->text;
    }
    lines.push_back(line);
  }
  for (const std::string& reason : v.critical) lines.push_back("CRITICAL: " + reason);
  for (const std::string& reason : v.warnings) lines.push_back("WARNING: " + reason);

  for (const std::string& line : lines) report.text += line + "\n";
  return report;
}

StatusReport ReportStatusFile(const std::string& path, int64_t now) {
  if (!platform::FileExists(path)) return Unknown("no status file " + path);
  std::string text;
  if (platform::ReadWholeFile(path, &text) < 0) return Unknown(path + " cannot be read");
  if (text.size() > kLargestStatusFile) return Unknown(path + " is too large for a status");
  HealthStatus status;
  std::string reason;
  if (!StatusFromJson(text, &status, &reason)) {
    return Unknown(path + " is not a status: " + reason);
  }
  return ReportStatus(status, now);
}

}  // namespace fw::shell
