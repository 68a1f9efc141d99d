// The service's settings for tests that run it whole over a generated day: short pauses for its
// threads, and the ini file text that points it at the day.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>

#include "config/config_info.h"
#include "foundation/run_log.h"
#include "shell/service.h"
#include "tests/support/test_support.h"

namespace fw::test {

// The pauses of the control thread, the client and the write thread, cut to loopback speed.
inline shell::ServiceTimings ShortServiceTimings() {
  shell::ServiceTimings t;
  t.retryPauseMs = 150;
  t.startSettleMs = 30;
  t.stopSettleMs = 30;
  t.idleMs = 20;
  t.idleStepMs = 5;
  t.failurePauseMs = 20;
  t.client.idlePauseMs = 20;
  t.client.reconnectPauseMs = 50;
  t.client.readWaitMs = 20;
  t.writer.outsideWindowSleepMs = 10;
  return t;
}

// An ini file: the gateway at 127.0.0.1:port, the trading window 08:45 to 16:30, `logon` as it
// stands (a [logon] section, or nothing for the defaults), the reference files in `xml` (ending
// with a separator), the six DBF files in `dir`, a write cycle every 20 ms.
inline std::string DayIniText(const std::string& xml, const TempDir& dir, uint16_t port,
                              const std::string& logon, bool autostart) {
  return "[binary]\r\nip = 127.0.0.1\r\nport = " + std::to_string(port) +
         "\r\nbegintime = 845\r\nendtime = 1630\r\n" + logon + "[xmlfile]\r\nloadFolder = " + xml +
         "\r\n[dbffile]\r\nhqdbf = " + dir.File("SJSHQ.DBF") +
         "\r\nszl1 = " + dir.File("SJSXXN.DBF") + "\r\nSjsxxdbf = " + dir.File("SJSXX.DBF") +
         "\r\nSjszsdbf = " + dir.File("SJSZS.DBF") + "\r\nSjsphhqdbf = " + dir.File("SJSPHHQ.DBF") +
         "\r\nSjszhhqdbf = " + dir.File("SJSZHHQ.DBF") +
         "\r\nwriteInterval = 20\r\nwrIntervalSleep = 5\r\n[other]\r\nholiday = " + xml +
         "holiday.ini\r\nIndexNameFile = " + xml +
         "indexname.ini\r\nautostart = " + (autostart ? "true" : "false") + "\r\n";
}

// Puts back what a test of the whole service changed in the process: the run log's folder, the
// main window's sink and the settings.
inline void RestoreServiceGlobals() {
  CloseRunLog();
  SetRunLogFolder(".\\log");
  WindowCatcher::Uninstall();
  std::lock_guard<std::mutex> lock(config::TheConfigMutex());
  config::TheConfig() = config::ConfigInfo();
}

}  // namespace fw::test
