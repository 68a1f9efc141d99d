// `fenwright --status` run as another process (on Windows the zip's fenwright-console.exe, under
// Wine) over status files made for each exit status: its exit code and its first line.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "foundation/local_clock.h"
#include "shell/health_status.h"
#include "tests/support/test_support.h"

namespace fw {
namespace {

using shell::HealthStatus;

// A status written now by a program that is connected, hears the feed and writes every file; the
// long write interval leaves a slow start of the program minutes of slack.
HealthStatus Healthy(int64_t now) {
  HealthStatus s;
  s.version = "1.0.0";
  s.updatedAt = now;
  s.writeIntervalMs = 60000;
  s.tradingWindow = {0, 2359, true};
  s.service = shell::ServiceState::kRunning;
  s.connection.state = client::ConnectionState::kConnected;
  s.connection.loggedOnSince = now - 600;
  s.connection.disconnectedSince.reset();
  s.lastMessageAt = now - 2;
  s.lastCycle = shell::CycleStatus{now - 1, 41, 1000};
  const char* names[] = {"SJSXXN", "SJSXX", "SJSHQ", "SJSZS", "SJSPHHQ", "SJSZHHQ"};
  for (size_t i = 0; i < 6; ++i) s.files[i] = {names[i], names[i], now - 1, std::nullopt};
  return s;
}

TEST(StatusCommand, ExitStatusAndFirstLineFollowTheStatusFile) {
  test::TempDir dir;
  const int64_t now = SecondsSinceEpoch(LocalNow());
  HealthStatus stale = Healthy(now - 1000);
  HealthStatus silent = Healthy(now);
  silent.lastMessageAt = now - 100;
  HealthStatus failing = Healthy(now);
  failing.files[2].lastError = shell::FileStatus::Error{-5, "x", now - 1, now - 120};
  struct Case {
    const char* file;
    std::string content;  // empty: no file
    int exitCode;
    const char* firstLineStart;
  };
  const Case cases[] = {
      {"ok.json", shell::StatusToJson(Healthy(now)), 0, "FENWRIGHT OK - running, last message "},
      {"silent.json", shell::StatusToJson(silent), 1, "FENWRIGHT WARNING - no message for "},
      {"stale.json", shell::StatusToJson(stale), 2, "FENWRIGHT CRITICAL - the status is "},
      {"failing.json", shell::StatusToJson(failing), 2, "FENWRIGHT CRITICAL - SJSHQ failing for "},
      {"missing.json", "", 3, "FENWRIGHT UNKNOWN - no status file "},
      {"garbage.json", "{\"version\": \"1.0.0\", \xFF", 3, "FENWRIGHT UNKNOWN - "},
  };
  // In the first minutes of a day the silence counts from the window's opening at midnight.
  const bool justAfterMidnight = LocalDateTimeAt(now).HourMinute() < 2;
  for (const Case& c : cases) {
    if (justAfterMidnight && c.exitCode == 1) continue;
    const std::string status = dir.File(c.file);
    const std::string out = dir.File("out.txt");
    if (!c.content.empty()) test::WriteFileBytes(status, c.content);
    std::string command = std::string("\"") + FW_CONSOLE + "\" --status --status-file \"" + status +
                          "\" >\"" + out + "\"";
    // cmd /c drops the first and the last quote of a command line that starts with one.
    if (FW_CMD_SHELL) command = "\"" + command + "\"";
    const int rc = std::system(command.c_str());
    // std::system gives the exit code itself under cmd, a wait status (code times 256) under sh.
    EXPECT_EQ(FW_CMD_SHELL ? rc : rc / 256, c.exitCode) << c.file;
    const std::string text = test::ReadFileBytes(out);
    EXPECT_EQ(text.substr(0, std::string(c.firstLineStart).size()), c.firstLineStart)
        << c.file << "\n"
        << text;
  }
}

}  // namespace
}  // namespace fw
