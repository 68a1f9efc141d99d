// Layer config/, above refdata/: the settings and the ini file behind them. It includes refdata/
// (the holiday calendar it owns) and foundation/.
//
// ConfigInfo: every setting of the system, read from the ini file beside the executable and
// written back by the configuration dialog, with the small services built on the settings: the
// date and time placeholders of the reference-data folder, the trading-window test, the holiday
// test and the raw capture file name.
//
// Fields bear the names of their ini keys; texts are NUL-terminated GBK bytes in fixed arrays of
// the widths below (the dialog copies into them). The program has one process-wide record,
// TheConfig(), loaded and changed on the user-interface thread only; the service copies it when it
// starts and its threads read that copy, so a save never changes what a running worker reads.
// Every operation also works on a local record.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>

#include "refdata/holiday_calendar.h"

namespace fw::config {

struct ConfigInfo {
  char loadFolder[255] = {};          // reference-data folder, may hold <YYYYMMDD> and <HHMMSS>
  char loadFolderExpanded[255] = {};  // loadFolder with its placeholders replaced
  char szl1[256] = {};                // SJSXXN.DBF
  char hqdbf[255] = {};               // SJSHQ.DBF
  char Sjsxxdbf[255] = {};            // SJSXX.DBF
  char Sjszsdbf[255] = {};            // SJSZS.DBF
  char Sjsphhqdbf[255] = {};          // SJSPHHQ.DBF
  char Sjszhhqdbf[255] = {};          // SJSZHHQ.DBF
  int32_t begintime = 0;              // trading window start, HHMM
  int32_t endtime = 0;                // trading window end, HHMM (included)
  uint32_t writeInterval = 0;         // ms between two DBF write cycles
  uint32_t wrIntervalSleep = 0;       // ms the write thread sleeps between looks at the clock
  char savefile[256] = {};            // folder prefix of the raw capture file
  char holiday[256] = {};             // holiday file
  char sender[32] = {};               // logon sender
  char target[32] = {};               // logon target
  char password[32] = {};             // logon password
  char ver[64] = {};                  // logon protocol version text
  char ip[128] = {};                  // gateway, dotted IPv4
  uint16_t port = 0;                  // gateway TCP port
  int32_t heartbt = 0;                // heartbeat interval, seconds
  refdata::HolidayCalendar holidayCalendar;
  bool useholiday = false;  // true: work every day, holidays included
  char IndexNameFile[256] = {};
  bool savefileflag = false;  // raw capture on
  bool lostHighVol = false;   // volume truncation of the quote writers
  bool PriceUpLimit = false;  // reference loaders take the upper price limit as issue price
  bool autostart = false;
  std::string iniPath;  // the ini file read by Load and written by Save

  // The ini file beside the executable: its path with the extension of its file name replaced by
  // ".ini" (fenwright -> fenwright.ini, fenwright.exe -> fenwright.ini).
  static std::string DefaultIniPath();
  static std::string IniPathFor(const std::string& executablePath);

  // Chooses the ini file of Load and Save (tests, other front ends).
  void SetIniPath(std::string path) { iniPath = std::move(path); }

  // Reads every key, in the fixed order, from iniPath (DefaultIniPath() when iniPath is empty);
  // missing file or keys give the defaults. Expands the folder, logs the interval check and
  // loads the holiday file (logging when that fails). 1; when the ini file exists but cannot be
  // read, every field holds its default and the read's negative code is returned, so the program
  // never runs on defaults that hide a configured setting.
  int32_t Load();
  int32_t Load(const std::string& path) {
    SetIniPath(path);
    return Load();
  }

  // Empties the text fields (numbers, flags, the calendar and iniPath stay).
  void Clear();

  // Writes the settings to iniPath through MIniFile, keeping everything else the file holds, and
  // creating the file when it is missing. 1; -1 when the file can be neither opened nor created;
  // the negative code of a failed write-back (the old file is then left as it was).
  int32_t Save() const;

  // loadFolder with every <YYYYMMDD> and <HHMMSS> replaced by the local date and time, stored in
  // loadFolderExpanded (at most 254 bytes) and returned.
  const char* ExpandLoadFolder();

  // begintime <= local HHMM <= endtime.
  bool IsTradingTime() const;
  // Whether today is not worked: never with useholiday, else the calendar's answer for today.
  bool IsHoliday() const;
  // Reloads the holiday file into the calendar; false (with the run-log line) when it fails.
  bool ReloadHolidays();
  // "<savefile>binaryData_<YYYYMMDD>.dat" for the local date now.
  std::string GetCaptureFileName() const;

  bool SaveFileFlag() const { return savefileflag; }
  bool LostHighVol() const { return lostHighVol; }
};

// The record of the running program.
ConfigInfo& TheConfig();
// Held while TheConfig() is changed (load, dialog save, clear) and while the service copies it, so
// that a copy never sees a half-saved record.
std::mutex& TheConfigMutex();

}  // namespace fw::config
