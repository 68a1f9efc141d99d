#include "config/config_info.h"

#include <cstring>
#include <string_view>

#include "config/profile_file.h"
#include "foundation/ini_file.h"
#include "foundation/local_clock.h"
#include "foundation/platform/platform.h"
#include "foundation/run_log.h"
#include "foundation/text.h"

namespace fw::config {
namespace {

constexpr const char kIntervalMessage[] =
    "落库文件的时间间隔，不能小于其休眠间隔，即配置项writeInterval不能小于wrIntervalSleep";
constexpr const char kHolidayMessage[] =
    "加载节假日文件出错，请检查配置和文件是否存在(将在节假日也进行工作)";

// Longest values accepted from the ini file.
constexpr size_t kPathLength = 253;
constexpr size_t kLogonLength = 31;
constexpr size_t kVersionLength = 63;
constexpr size_t kAddressLength = 127;
// loadFolderExpanded keeps this many bytes.
constexpr size_t kExpandedLength = 254;

constexpr std::string_view kDatePlaceholder = "<YYYYMMDD>";
constexpr std::string_view kTimePlaceholder = "<HHMMSS>";

// A field's text: the dialog may have filled every byte of the array, so the NUL is not relied on.
template <size_t N>
std::string_view Text(const char (&field)[N]) {
  return std::string_view(field, strnlen(field, N));
}

template <size_t N>
void SetText(char (&field)[N], std::string_view value) {
  const size_t n = GbkCutLength(value, N - 1);
  if (n > 0) std::memcpy(field, value.data(), n);
  std::memset(field + n, 0, N - n);
}

template <size_t N>
void ClearText(char (&field)[N]) {
  std::memset(field, 0, N);
}

// Replaces the first occurrence as "%s%u%s" does, taking a fresh number for each occurrence.
template <typename Number>
void ReplaceAll(std::string* text, std::string_view placeholder, Number number) {
  for (size_t at = text->find(placeholder); at != std::string::npos; at = text->find(placeholder)) {
    text->replace(at, placeholder.size(), std::to_string(number()));
  }
}

}  // namespace

std::string ConfigInfo::IniPathFor(const std::string& executablePath) {
  if (executablePath.empty()) return "fenwright.ini";
  size_t nameStart = executablePath.size();
  while (nameStart > 0 && !platform::IsPathSeparator(executablePath[nameStart - 1])) --nameStart;
  // Only a dot of the file name starts an extension: a folder such as /opt/fen.wright/ stays.
  const size_t dot = executablePath.rfind('.');
  const size_t cut = dot != std::string::npos && dot >= nameStart ? dot : executablePath.size();
  return executablePath.substr(0, cut) + ".ini";
}

std::string ConfigInfo::DefaultIniPath() { return IniPathFor(platform::ExecutablePath()); }

int32_t ConfigInfo::Load() {
  if (iniPath.empty()) iniPath = DefaultIniPath();
  const std::string path = MIniFile::ResolvePath(iniPath);
  ProfileFile profile;
  int32_t status = profile.Load(path);
  // A missing file means defaults; an existing one that cannot be read is a failure.
  if (status < 0 && !platform::FileExists(path)) status = 1;

  SetText(loadFolder, profile.GetText("xmlfile", "loadFolder", "", kPathLength));
  ExpandLoadFolder();

  SetText(szl1, profile.GetText("dbffile", "szl1", ".\\SJSXXN.dbf", kPathLength));
  SetText(hqdbf, profile.GetText("dbffile", "hqdbf", ".\\SJSHQ.dbf", kPathLength));
  SetText(Sjsxxdbf, profile.GetText("dbffile", "Sjsxxdbf", ".\\SJSXX.dbf", kPathLength));
  SetText(Sjszsdbf, profile.GetText("dbffile", "Sjszsdbf", ".\\SJSZS.dbf", kPathLength));
  SetText(Sjsphhqdbf, profile.GetText("dbffile", "Sjsphhqdbf", ".\\SJSPHHQ.dbf", kPathLength));
  SetText(Sjszhhqdbf, profile.GetText("dbffile", "Sjszhhqdbf", ".\\SJSZHHQ.dbf", kPathLength));
  // The intervals are written as signed numbers ("%d"), like every integer: their bits come back.
  writeInterval = static_cast<uint32_t>(profile.GetNumber("dbffile", "writeInterval", 3000));
  wrIntervalSleep = static_cast<uint32_t>(profile.GetNumber("dbffile", "wrIntervalSleep", 1000));
  if (writeInterval <= wrIntervalSleep) WriteLog(0, "%s", kIntervalMessage);

  SetText(ip, profile.GetText("binary", "ip", "127.0.0.1", kAddressLength));
  port = static_cast<uint16_t>(profile.GetNumber("binary", "port", 0) & 0xFFFF);
  SetText(backupip, profile.GetText("binary", "backupip", "", kAddressLength));
  backupport = static_cast<uint16_t>(profile.GetNumber("binary", "backupport", 0) & 0xFFFF);
  SetText(savefile, profile.GetText("binary", "savefile", "", kPathLength));
  savefileflag = profile.GetFlag("binary", "savefileflag", "false");

  lostHighVol = profile.GetFlag("dbffile", "lostHighVol", "false");

  begintime = profile.GetNumber("binary", "begintime", 845);
  endtime = profile.GetNumber("binary", "endtime", 1630);

  SetText(sender, profile.GetText("logon", "sender", "", kLogonLength));
  SetText(target, profile.GetText("logon", "target", "", kLogonLength));
  heartbt = profile.GetNumber("logon", "heartbt", 30);
  SetText(password, profile.GetText("logon", "password", "", kLogonLength));
  SetText(ver, profile.GetText("logon", "ver", "", kVersionLength));

  SetText(holiday, profile.GetText("other", "holiday", "./holiday.ini", kPathLength));
  useholiday = profile.GetFlag("other", "useholiday", "False");
  ReloadHolidays();
  SetText(IndexNameFile, profile.GetText("other", "IndexNameFile", "./indexname.ini", kPathLength));

  PriceUpLimit = profile.GetFlag("ADJUST", "PriceUpLimit", "true");
  autostart = profile.GetFlag("other", "autostart", "false");
  return status;
}

void ConfigInfo::Clear() {
  ClearText(loadFolder);
  ClearText(loadFolderExpanded);
  ClearText(szl1);
  ClearText(hqdbf);
  ClearText(Sjsxxdbf);
  ClearText(Sjszsdbf);
  ClearText(Sjsphhqdbf);
  ClearText(Sjszhhqdbf);
  ClearText(savefile);
  ClearText(holiday);
  ClearText(sender);
  ClearText(target);
  ClearText(password);
  ClearText(ver);
  ClearText(ip);
  ClearText(IndexNameFile);
}

int32_t ConfigInfo::Save() const {
  const std::string path = MIniFile::ResolvePath(iniPath.empty() ? DefaultIniPath() : iniPath);
  MIniFile ini;
  if (ini.Open(path, MIniFile::kModeComments) < 0) {
    // Only a missing file is created; one that exists but cannot be read is left alone.
    platform::SharedFile created;
    if (created.Create(path, true) < 0) return -1;
    created.Close();
    if (ini.Open(path, MIniFile::kModeComments) < 0) return -1;
  }

  int32_t status = 1;
  auto keep = [&status](int32_t rc) {
    if (rc < 0 && status >= 0) status = rc;
  };

  keep(ini.WriteString("binary", "ip", Text(ip)));
  keep(ini.WriteInt("binary", "port", port));
  keep(ini.WriteString("binary", "savefile", Text(savefile)));
  keep(ini.WriteInt("binary", "begintime", begintime));
  keep(ini.WriteInt("binary", "endtime", endtime));
  keep(ini.WriteBool("binary", "savefileflag", savefileflag ? 1 : 0));

  keep(ini.WriteString("logon", "sender", Text(sender)));
  keep(ini.WriteString("logon", "target", Text(target)));
  keep(ini.WriteInt("logon", "heartbt", heartbt));
  keep(ini.WriteString("logon", "password", Text(password)));
  keep(ini.WriteString("logon", "ver", Text(ver)));

  keep(ini.WriteString("xmlfile", "loadFolder", Text(loadFolder)));

  keep(ini.WriteString("dbffile", "hqdbf", Text(hqdbf)));
  keep(ini.WriteString("dbffile", "szl1", Text(szl1)));
  keep(ini.WriteString("dbffile", "Sjsxxdbf", Text(Sjsxxdbf)));
  keep(ini.WriteString("dbffile", "Sjszsdbf", Text(Sjszsdbf)));
  keep(ini.WriteString("dbffile", "Sjsphhqdbf", Text(Sjsphhqdbf)));
  keep(ini.WriteString("dbffile", "Sjszhhqdbf", Text(Sjszhhqdbf)));
  keep(ini.WriteInt("dbffile", "writeInterval", static_cast<int32_t>(writeInterval)));
  keep(ini.WriteInt("dbffile", "wrIntervalSleep", static_cast<int32_t>(wrIntervalSleep)));
  keep(ini.WriteBool("dbffile", "lostHighVol", lostHighVol ? 1 : 0));

  keep(ini.WriteString("other", "holiday", Text(holiday)));
  keep(ini.WriteBool("other", "useholiday", useholiday ? 1 : 0));
  keep(ini.WriteBool("other", "autostart", autostart ? 1 : 0));
  keep(ini.WriteString("other", "IndexNameFile", Text(IndexNameFile)));

  keep(ini.Close());
  return status;
}

const char* ConfigInfo::ExpandLoadFolder() {
  std::string text(Text(loadFolder));
  ReplaceAll(&text, kDatePlaceholder, [] { return LocalNow().Date(); });
  ReplaceAll(&text, kTimePlaceholder, [] { return LocalNow().Time(); });
  text.resize(GbkCutLength(text, kExpandedLength));
  SetText(loadFolderExpanded, text);
  return loadFolderExpanded;
}

bool ConfigInfo::IsTradingTime() const {
  const auto now = static_cast<int32_t>(LocalNow().HourMinute());
  return begintime <= now && now <= endtime;
}

bool ConfigInfo::IsHoliday() const { return !useholiday && holidayCalendar.TodayIsHoliday(); }

bool ConfigInfo::ReloadHolidays() {
  if (holidayCalendar.Load(std::string(Text(holiday))) < 0) {
    WriteLog(0, "%s", kHolidayMessage);
    return false;
  }
  return true;
}

std::string ConfigInfo::GetCaptureFileName() const {
  return std::string(Text(savefile)) + "binaryData_" + std::to_string(LocalNow().Date()) + ".dat";
}

ConfigInfo& TheConfig() {
  static ConfigInfo config;
  return config;
}

std::mutex& TheConfigMutex() {
  static std::mutex mutex;
  return mutex;
}

}  // namespace fw::config
