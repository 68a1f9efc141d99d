#include "config/config_info.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "foundation/error_code.h"
#include "foundation/ini_file.h"
#include "foundation/platform/platform.h"
#include "tests/support/test_support.h"

namespace fw::config {
namespace {

using test::FakeClock;
using test::ReadFileBytes;
using test::TempDir;
using test::WindowCatcher;
using test::WriteFileBytes;

const std::string kIntervalLine =
    "落库文件的时间间隔，不能小于其休眠间隔，即配置项writeInterval不能小于wrIntervalSleep";
const std::string kHolidayLine =
    "加载节假日文件出错，请检查配置和文件是否存在(将在节假日也进行工作)";

// A key line of the ini class's layout: padded with blanks to column 50, at least one.
std::string Line(const std::string& text) {
  return text + std::string(text.size() < 50 ? 50 - text.size() : 1, ' ') + "\r\n";
}
std::string Header(const std::string& name) {
  const std::string text = "\r\n[" + name + "]";
  return text + std::string(text.size() < 50 ? 50 - text.size() : 1, ' ') + "\r\n";
}

class ConfigInfoTest : public ::testing::Test {
 protected:
  void SetUp() override {
    window_ = WindowCatcher::Install();
    SetRunLogFolder(dir_.File("log"));
  }
  void TearDown() override {
    platform::SetFileFaultHook(nullptr);
    CloseRunLog();
    SetRunLogFolder(".\\log");
    WindowCatcher::Uninstall();
  }

  // Loads `content` as the ini file into config_.
  int32_t LoadText(const std::string& content) {
    WriteFileBytes(iniPath_, content);
    return config_.Load(iniPath_);
  }
  // An existing, empty holiday file, so that loads do not log its absence.
  std::string HolidayFile(const std::string& content = "") {
    const std::string path = dir_.File("holiday.ini");
    WriteFileBytes(path, content);
    return "[other]\r\nholiday=" + path + "\r\n";
  }

  // Settings as an operator would have them, bound to the test's ini file, with an existing
  // (empty) holiday file.
  void Realistic(ConfigInfo* c) {
    std::strcpy(c->loadFolder, "D:\\sz\\<YYYYMMDD>\\");
    std::strcpy(c->szl1, "D:\\dbf\\SJSXXN.DBF");
    std::strcpy(c->hqdbf, "D:\\dbf\\SJSHQ.DBF");
    std::strcpy(c->Sjsxxdbf, "D:\\dbf\\SJSXX.DBF");
    std::strcpy(c->Sjszsdbf, "D:\\dbf\\SJSZS.DBF");
    std::strcpy(c->Sjsphhqdbf, "D:\\dbf\\SJSPHHQ.DBF");
    std::strcpy(c->Sjszhhqdbf, "D:\\dbf\\SJSZHHQ.DBF");
    c->begintime = 900;
    c->endtime = 1530;
    c->writeInterval = 2000;
    c->wrIntervalSleep = 500;
    std::strcpy(c->savefile, "D:\\capture\\");
    std::strcpy(c->holiday, dir_.File("holiday.ini").c_str());
    std::strcpy(c->sender, "FENWRIGHT01");
    std::strcpy(c->target, "MDGW");
    std::strcpy(c->password, "s3cr;t");
    std::strcpy(c->ver, "1.00");
    std::strcpy(c->ip, "192.168.10.20");
    c->port = 65535;
    std::strcpy(c->backupip, "192.168.10.21");  // kept in the ini only, never saved
    c->backupport = 9130;
    c->heartbt = 15;
    c->useholiday = true;
    std::strcpy(c->IndexNameFile, "D:\\cfg\\indexname.ini");
    c->savefileflag = true;
    c->lostHighVol = true;
    c->PriceUpLimit = true;
    c->autostart = true;
    c->SetIniPath(iniPath_);
    WriteFileBytes(dir_.File("holiday.ini"), "");
  }

  TempDir dir_;
  std::string iniPath_ = dir_.File("fenwright.ini");
  std::shared_ptr<WindowCatcher> window_;
  FakeClock clock_{20240305, 100000};
  ConfigInfo config_;
};

TEST_F(ConfigInfoTest, NoIniFileGivesEveryDefault) {
  EXPECT_EQ(config_.Load(dir_.File("none.ini")), 1);
  EXPECT_EQ(config_.iniPath, dir_.File("none.ini"));
  EXPECT_STREQ(config_.loadFolder, "");
  EXPECT_STREQ(config_.loadFolderExpanded, "");
  EXPECT_STREQ(config_.szl1, ".\\SJSXXN.dbf");
  EXPECT_STREQ(config_.hqdbf, ".\\SJSHQ.dbf");
  EXPECT_STREQ(config_.Sjsxxdbf, ".\\SJSXX.dbf");
  EXPECT_STREQ(config_.Sjszsdbf, ".\\SJSZS.dbf");
  EXPECT_STREQ(config_.Sjsphhqdbf, ".\\SJSPHHQ.dbf");
  EXPECT_STREQ(config_.Sjszhhqdbf, ".\\SJSZHHQ.dbf");
  EXPECT_EQ(config_.writeInterval, 3000u);
  EXPECT_EQ(config_.wrIntervalSleep, 1000u);
  EXPECT_STREQ(config_.ip, "127.0.0.1");
  EXPECT_EQ(config_.port, 0);
  EXPECT_STREQ(config_.backupip, "");
  EXPECT_EQ(config_.backupport, 0);
  EXPECT_STREQ(config_.savefile, "");
  EXPECT_EQ(config_.begintime, 845);
  EXPECT_EQ(config_.endtime, 1630);
  EXPECT_STREQ(config_.sender, "");
  EXPECT_STREQ(config_.target, "");
  EXPECT_EQ(config_.heartbt, 30);
  EXPECT_STREQ(config_.password, "");
  EXPECT_STREQ(config_.ver, "");
  EXPECT_STREQ(config_.holiday, "./holiday.ini");
  EXPECT_STREQ(config_.IndexNameFile, "./indexname.ini");
  EXPECT_FALSE(config_.autostart);
  EXPECT_FALSE(config_.savefileflag);
  EXPECT_FALSE(config_.lostHighVol);
  EXPECT_FALSE(config_.useholiday);
  EXPECT_TRUE(config_.PriceUpLimit);
  EXPECT_FALSE(window_->HasLine(kIntervalLine));
}

TEST_F(ConfigInfoTest, IniFileThatCannotBeReadIsAFailure) {
  WriteFileBytes(iniPath_, "[binary]\r\nport=9129\r\n");
  const int32_t denied = SystemErrorCode(13);
  platform::SetFileFaultHook([&](platform::FileOp op, const std::string& path, uint32_t) {
    return op == platform::FileOp::kOpen && path == iniPath_ ? denied : 0;
  });
  EXPECT_EQ(config_.Load(iniPath_), denied);
  EXPECT_EQ(config_.port, 0);
  EXPECT_STREQ(config_.hqdbf, ".\\SJSHQ.dbf");
}

TEST_F(ConfigInfoTest, PortKeepsItsLow16Bits) {
  struct Case {
    const char* value;
    uint16_t port;
  };
  const Case cases[] = {{"9129", 9129},     {"70000", 4464}, {"65536", 0},
                        {"  8080  ", 8080}, {"abc", 0},      {"", 0},
                        {"-5", 65531},      {"12ab", 12},    {"4294967297", 65535}};
  for (const Case& c : cases) {
    ASSERT_GE(LoadText(HolidayFile() + "[binary]\r\nport=" + c.value + "\r\n"), 0);
    EXPECT_EQ(config_.port, c.port) << c.value;
  }
}

TEST_F(ConfigInfoTest, FlagsAreTrueOnlyWhenTheyBeginWithLowerCaseTrue) {
  struct Case {
    const char* value;
    bool flag;
  };
  const Case cases[] = {{"true", true},   {"trueX", true}, {"True", false}, {"TRUE", false},
                        {"1", false},     {"yes", false},  {"tru", false},  {"", false},
                        {" true ", true}, {"false", false}};
  for (const Case& c : cases) {
    ASSERT_GE(
        LoadText(HolidayFile() + "[binary]\r\nsavefileflag=" + c.value +
                 "\r\n[dbffile]\r\nlostHighVol=" + c.value + "\r\n[other]\r\nautostart=" + c.value +
                 "\r\nuseholiday=" + c.value + "\r\n[ADJUST]\r\nPriceUpLimit=" + c.value + "\r\n"),
        0);
    EXPECT_EQ(config_.savefileflag, c.flag) << c.value;
    EXPECT_EQ(config_.SaveFileFlag(), c.flag) << c.value;
    EXPECT_EQ(config_.lostHighVol, c.flag) << c.value;
    EXPECT_EQ(config_.LostHighVol(), c.flag) << c.value;
    EXPECT_EQ(config_.autostart, c.flag) << c.value;
    EXPECT_EQ(config_.useholiday, c.flag) << c.value;
    EXPECT_EQ(config_.PriceUpLimit, c.flag) << c.value;
  }
}

TEST_F(ConfigInfoTest, IntegersAreTheirLeadingDigits) {
  ASSERT_EQ(LoadText(HolidayFile() +
                     "[dbffile]\r\nwriteInterval=2500ms\r\nwrIntervalSleep=\r\n"
                     "[binary]\r\nbegintime=0930\r\nendtime=x1500\r\n[logon]\r\nheartbt=+15\r\n"),
            1);
  EXPECT_EQ(config_.writeInterval, 2500u);
  EXPECT_EQ(config_.wrIntervalSleep, 0u);
  EXPECT_EQ(config_.begintime, 930);
  EXPECT_EQ(config_.endtime, 0);
  EXPECT_EQ(config_.heartbt, 15);
}

TEST_F(ConfigInfoTest, TextsAreCutToTheirLongestValue) {
  const std::string longText(300, 'x');
  ASSERT_EQ(LoadText(HolidayFile() + "[xmlfile]\r\nloadFolder=" + longText +
                     "\r\n[binary]\r\nip=" + longText + "\r\n[logon]\r\nsender=" + longText +
                     "\r\nver=" + longText + "\r\npassword=" + longText + "\r\n"),
            1);
  EXPECT_EQ(std::string(config_.loadFolder), longText.substr(0, 253));
  EXPECT_EQ(std::string(config_.loadFolderExpanded), longText.substr(0, 253));
  EXPECT_EQ(std::string(config_.ip), longText.substr(0, 127));
  EXPECT_EQ(std::string(config_.sender), longText.substr(0, 31));
  EXPECT_EQ(std::string(config_.password), longText.substr(0, 31));
  EXPECT_EQ(std::string(config_.ver), longText.substr(0, 63));
}

TEST_F(ConfigInfoTest, LookUpRulesOfTheProfileFile) {
  ASSERT_EQ(LoadText(HolidayFile() + "[BINARY]\r\n"
                                     "  IP  =  \"10.0.0.1\"  \r\n"
                                     "PORT = 9129\r\n"
                                     "port = 1\r\n"
                                     "[logon]\r\n"
                                     "password = ab;cd\r\n"
                                     "sender = 'S1' ; our id\r\n"
                                     "target = T1\t;\r\n"
                                     "ver = '1.00\r\n"
                                     "[binary]\r\n"
                                     "savefile = D:\\cap\\\r\n"),
            1);
  EXPECT_STREQ(config_.ip, "10.0.0.1");
  EXPECT_EQ(config_.port, 9129);
  EXPECT_STREQ(config_.password, "ab;cd");
  EXPECT_STREQ(config_.sender, "S1");
  EXPECT_STREQ(config_.target, "T1");
  EXPECT_STREQ(config_.ver, "'1.00");
  EXPECT_STREQ(config_.savefile, "D:\\cap\\");
}

TEST_F(ConfigInfoTest, EqualIntervalsAreReportedAndKept) {
  ASSERT_EQ(LoadText(HolidayFile() + "[dbffile]\r\nwriteInterval=1000\r\nwrIntervalSleep=1000\r\n"),
            1);
  ASSERT_EQ(window_->LogLines().size(), 1u);
  EXPECT_EQ(window_->LogLines()[0], "<Log_LV0> t=100000 " + kIntervalLine);
  EXPECT_EQ(config_.writeInterval, 1000u);
  EXPECT_EQ(config_.wrIntervalSleep, 1000u);
  window_->Clear();
  ASSERT_EQ(LoadText(HolidayFile() + "[dbffile]\r\nwriteInterval=1001\r\nwrIntervalSleep=1000\r\n"),
            1);
  EXPECT_FALSE(window_->HasLine(kIntervalLine));
}

TEST_F(ConfigInfoTest, HolidayFileIsLoadedAndItsAbsenceLogged) {
  ASSERT_EQ(LoadText(HolidayFile("[2024]\r\n03=5\r\n")), 1);
  EXPECT_EQ(config_.holidayCalendar.Count(), 1);
  EXPECT_FALSE(window_->HasLine(kHolidayLine));

  ASSERT_EQ(LoadText("[other]\r\nholiday=" + dir_.File("nothing.ini") + "\r\n"), 1);
  EXPECT_EQ(config_.holidayCalendar.Count(), 0);
  ASSERT_EQ(window_->LogLines().size(), 1u);
  EXPECT_EQ(window_->LogLines()[0], "<Log_LV0> t=100000 " + kHolidayLine);

  window_->Clear();
  EXPECT_FALSE(config_.ReloadHolidays());
  EXPECT_TRUE(window_->HasLine(kHolidayLine));
  WriteFileBytes(dir_.File("nothing.ini"), "[2024]\r\n03=5,6\r\n");
  EXPECT_TRUE(config_.ReloadHolidays());
  EXPECT_EQ(config_.holidayCalendar.Count(), 2);
}

TEST_F(ConfigInfoTest, HolidayTestFollowsUseholiday) {
  clock_.Set(20240309, 100000);  // a Saturday
  ASSERT_EQ(LoadText(HolidayFile() + "useholiday=True\r\n"), 1);
  EXPECT_TRUE(config_.IsHoliday());
  ASSERT_EQ(LoadText(HolidayFile() + "useholiday=true\r\n"), 1);
  EXPECT_FALSE(config_.IsHoliday());

  ASSERT_EQ(LoadText(HolidayFile("[2024]\r\n03=5\r\n")), 1);
  clock_.Set(20240305, 100000);  // a listed Tuesday
  EXPECT_TRUE(config_.IsHoliday());
  clock_.Set(20240306, 100000);
  EXPECT_FALSE(config_.IsHoliday());
}

TEST_F(ConfigInfoTest, TradingWindowIncludesBothEndMinutes) {
  struct Case {
    int32_t begin;
    int32_t end;
    uint32_t time;
    bool trading;
  };
  const Case cases[] = {
      {845, 1630, 84459, false},  {845, 1630, 84500, true},   {845, 1630, 163059, true},
      {845, 1630, 163100, false}, {845, 1630, 120000, true},  {845, 1630, 0, false},
      {930, 930, 92959, false},   {930, 930, 93000, true},    {930, 930, 93059, true},
      {930, 930, 93100, false},   {1630, 845, 120000, false},
  };
  for (const Case& c : cases) {
    config_.begintime = c.begin;
    config_.endtime = c.end;
    clock_.Set(20240305, c.time);
    EXPECT_EQ(config_.IsTradingTime(), c.trading) << c.begin << "-" << c.end << " at " << c.time;
  }
}

TEST_F(ConfigInfoTest, FolderPlaceholdersAreExpanded) {
  struct Case {
    const char* folder;
    uint32_t time;
    const char* expanded;
  };
  const Case cases[] = {
      {"D:\\xml\\<YYYYMMDD>\\", 90503, "D:\\xml\\20240305\\"},
      {"<YYYYMMDD>\\xml", 90503, "20240305\\xml"},
      {"<HHMMSS>", 90503, "90503"},
      {"<HHMMSS>", 7, "7"},
      {"a<YYYYMMDD>b<YYYYMMDD>c", 90503, "a20240305b20240305c"},
      {"x<YYYYMMDD>_<HHMMSS>", 235959, "x20240305_235959"},
      {"<yyyymmdd><HHMMSS", 90503, "<yyyymmdd><HHMMSS"},
      {"<YYYY<YYYYMMDD>MMDD>", 90503, "<YYYY20240305MMDD>"},
      {"", 90503, ""},
  };
  for (const Case& c : cases) {
    std::strcpy(config_.loadFolder, c.folder);
    clock_.Set(20240305, c.time);
    EXPECT_STREQ(config_.ExpandLoadFolder(), c.expanded) << c.folder;
    EXPECT_STREQ(config_.loadFolderExpanded, c.expanded) << c.folder;
  }
}

TEST_F(ConfigInfoTest, ExpandedFolderIsCutTo254Bytes) {
  std::memset(config_.loadFolder, 'f', sizeof config_.loadFolder);  // no NUL at all
  EXPECT_EQ(std::string(config_.ExpandLoadFolder()), std::string(254, 'f'));
}

TEST_F(ConfigInfoTest, LoadExpandsTheFolder) {
  clock_.Set(20240305, 90503);
  ASSERT_EQ(LoadText(HolidayFile() + "[xmlfile]\r\nloadFolder=D:\\xml\\<YYYYMMDD>\\\r\n"), 1);
  EXPECT_STREQ(config_.loadFolder, "D:\\xml\\<YYYYMMDD>\\");
  EXPECT_STREQ(config_.loadFolderExpanded, "D:\\xml\\20240305\\");
}

TEST_F(ConfigInfoTest, CaptureFileNameCarriesTodaysDate) {
  std::strcpy(config_.savefile, "D:\\cap\\");
  EXPECT_EQ(config_.GetCaptureFileName(), "D:\\cap\\binaryData_20240305.dat");
  clock_.Set(20241231, 235959);
  config_.savefile[0] = '\0';
  EXPECT_EQ(config_.GetCaptureFileName(), "binaryData_20241231.dat");
}

TEST_F(ConfigInfoTest, ClearEmptiesTextsOnly) {
  ASSERT_EQ(LoadText(HolidayFile() + "[binary]\r\nport=9129\r\nip=1.2.3.4\r\nbackupip=1.2.3.5\r\n"),
            1);
  config_.Clear();
  EXPECT_STREQ(config_.backupip, "1.2.3.5");  // no dialog field: a dialog save keeps it in force
  EXPECT_STREQ(config_.ip, "");
  EXPECT_STREQ(config_.hqdbf, "");
  EXPECT_STREQ(config_.holiday, "");
  EXPECT_STREQ(config_.IndexNameFile, "");
  EXPECT_EQ(config_.port, 9129);
  EXPECT_TRUE(config_.PriceUpLimit);
  EXPECT_EQ(config_.iniPath, iniPath_);
}

TEST(ConfigInfoPathTest, IniLiesBesideTheExecutableWithItsName) {
  EXPECT_EQ(ConfigInfo::IniPathFor("/opt/fenwright/fenwright"), "/opt/fenwright/fenwright.ini");
  EXPECT_EQ(ConfigInfo::IniPathFor("C:\\Fen\\fenwright.exe"), "C:\\Fen\\fenwright.ini");
  EXPECT_EQ(ConfigInfo::IniPathFor("/opt/fen.wright/fenwright"), "/opt/fen.wright/fenwright.ini");
  EXPECT_EQ(ConfigInfo::IniPathFor("C:\\a.b\\Fenwright.exe"), "C:\\a.b\\Fenwright.ini");
  EXPECT_EQ(ConfigInfo::IniPathFor("fenwright.tar.exe"), "fenwright.tar.ini");

  const std::string exe = platform::ExecutablePath();
  const std::string folder = exe.substr(0, exe.find_last_of("/\\") + 1);
  EXPECT_EQ(ConfigInfo::DefaultIniPath(), folder + "config_test.ini");
}

TEST_F(ConfigInfoTest, SaveOfAMissingFileCreatesItInOrder) {
  Realistic(&config_);
  std::strcpy(config_.loadFolderExpanded, "never saved");
  config_.PriceUpLimit = false;  // never saved either
  EXPECT_EQ(config_.Save(), 1);
  EXPECT_EQ(ReadFileBytes(iniPath_),
            Header("binary") + Line("ip = 192.168.10.20") + Line("port = 65535") +
                Line("savefile = D:\\capture\\") + Line("begintime = 900") +
                Line("endtime = 1530") + Line("savefileflag = true") +  //
                Header("logon") + Line("sender = FENWRIGHT01") + Line("target = MDGW") +
                Line("heartbt = 15") + Line("password = \"s3cr;t\"") + Line("ver = 1.00") +  //
                Header("xmlfile") + Line("loadFolder = D:\\sz\\<YYYYMMDD>\\") +              //
                Header("dbffile") + Line("hqdbf = D:\\dbf\\SJSHQ.DBF") +
                Line("szl1 = D:\\dbf\\SJSXXN.DBF") + Line("Sjsxxdbf = D:\\dbf\\SJSXX.DBF") +
                Line("Sjszsdbf = D:\\dbf\\SJSZS.DBF") + Line("Sjsphhqdbf = D:\\dbf\\SJSPHHQ.DBF") +
                Line("Sjszhhqdbf = D:\\dbf\\SJSZHHQ.DBF") + Line("writeInterval = 2000") +
                Line("wrIntervalSleep = 500") + Line("lostHighVol = true") +  //
                Header("other") + Line("holiday = " + dir_.File("holiday.ini")) +
                Line("useholiday = true") + Line("autostart = true") +
                Line("IndexNameFile = D:\\cfg\\indexname.ini"));
}

TEST_F(ConfigInfoTest, SaveKeepsKeysItDoesNotKnow) {
  ASSERT_EQ(LoadText("[ADJUST]\r\nPriceUpLimit = false ; issue price\r\n[binary]\r\nport = 1\r\n"
                     "extra = kept\r\nbackupip = 10.0.0.2\r\nbackupport = 9130\r\n" +
                     HolidayFile()),
            1);
  EXPECT_FALSE(config_.PriceUpLimit);
  EXPECT_STREQ(config_.backupip, "10.0.0.2");
  EXPECT_EQ(config_.backupport, 9130);
  config_.port = 2;
  config_.PriceUpLimit = true;  // never written by Save
  std::strcpy(config_.backupip, "10.0.0.3");
  config_.backupport = 1;
  EXPECT_EQ(config_.Save(), 1);

  MIniFile ini;
  ASSERT_EQ(ini.Open(iniPath_, MIniFile::kModeComments), 1);
  EXPECT_EQ(ini.GetString("ADJUST", "PriceUpLimit", "?"), "false");
  EXPECT_EQ(ini.GetString("binary", "extra", "?"), "kept");
  EXPECT_EQ(ini.GetString("binary", "backupip", "?"), "10.0.0.2");
  EXPECT_EQ(ini.GetString("binary", "backupport", "?"), "9130");
  EXPECT_EQ(ini.GetString("binary", "port", "?"), "2");
  EXPECT_EQ(ini.SectionName(1), "ADJUST");
  EXPECT_EQ(ini.Close(), 1);

  ConfigInfo again;
  ASSERT_EQ(again.Load(iniPath_), 1);
  EXPECT_FALSE(again.PriceUpLimit);
  EXPECT_EQ(again.port, 2);
}

TEST_F(ConfigInfoTest, CommentMovedBehindAValueBySaveIsNotPartOfIt) {
  ASSERT_EQ(LoadText(HolidayFile() + "[binary]\r\nip = 10.0.0.1\r\n; main gateway\r\n"), 1);
  ASSERT_EQ(config_.Save(), 1);
  EXPECT_NE(
      ReadFileBytes(iniPath_).find(Line("ip = 10.0.0.1").substr(0, 50) + "; main gateway\r\n"),
      std::string::npos);
  ConfigInfo again;
  ASSERT_EQ(again.Load(iniPath_), 1);
  EXPECT_STREQ(again.ip, "10.0.0.1");
}

TEST_F(ConfigInfoTest, LongPathIsSavedAsItsFirst99Bytes) {
  ASSERT_EQ(LoadText(HolidayFile()), 1);
  const std::string path150 = "D:\\" + std::string(147, 'p');
  std::strcpy(config_.hqdbf, path150.c_str());
  ASSERT_EQ(config_.Save(), 1);
  EXPECT_EQ(std::string(config_.hqdbf), path150);
  ConfigInfo again;
  ASSERT_EQ(again.Load(iniPath_), 1);
  EXPECT_EQ(std::string(again.hqdbf), path150.substr(0, 99));
}

TEST_F(ConfigInfoTest, SaveThatCanNeitherOpenNorCreateFails) {
  config_.SetIniPath(dir_.File("no-such-folder") + platform::kPathSeparator + "fenwright.ini");
  EXPECT_EQ(config_.Save(), -1);
  EXPECT_FALSE(platform::FileExists(config_.iniPath));
}

TEST_F(ConfigInfoTest, SaveLeavesAFileItCannotReadUntouched) {
  const std::string content = "[binary]\r\nport=1\r\n";
  WriteFileBytes(iniPath_, content);
  config_.SetIniPath(iniPath_);
  platform::SetFileFaultHook([&](platform::FileOp op, const std::string& path, uint32_t) {
    return op == platform::FileOp::kOpen && path == iniPath_ ? SystemErrorCode(13) : 0;
  });
  EXPECT_EQ(config_.Save(), -1);
  platform::SetFileFaultHook(nullptr);
  EXPECT_EQ(ReadFileBytes(iniPath_), content);
}

TEST_F(ConfigInfoTest, FailedWriteBackIsReportedAndTheOldFileKept) {
  const std::string content = "[binary]\r\nport=1\r\n";
  WriteFileBytes(iniPath_, content);
  config_.SetIniPath(iniPath_);
  const int32_t full = SystemErrorCode(28);
  platform::SetFileFaultHook([&](platform::FileOp op, const std::string&, uint32_t) {
    return op == platform::FileOp::kWrite ? full : 0;
  });
  EXPECT_EQ(config_.Save(), full);
  platform::SetFileFaultHook(nullptr);
  EXPECT_EQ(ReadFileBytes(iniPath_), content);
}

TEST_F(ConfigInfoTest, SavedSettingsReadBackTheSame) {
  ConfigInfo saved;
  Realistic(&saved);
  ASSERT_EQ(saved.Save(), 1);
  // Saved twice: the second save reads what the first wrote.
  ASSERT_EQ(saved.Save(), 1);

  ConfigInfo read;
  ASSERT_EQ(read.Load(iniPath_), 1);
  EXPECT_STREQ(read.loadFolder, saved.loadFolder);
  EXPECT_STREQ(read.loadFolderExpanded, "D:\\sz\\20240305\\");
  EXPECT_STREQ(read.szl1, saved.szl1);
  EXPECT_STREQ(read.hqdbf, saved.hqdbf);
  EXPECT_STREQ(read.Sjsxxdbf, saved.Sjsxxdbf);
  EXPECT_STREQ(read.Sjszsdbf, saved.Sjszsdbf);
  EXPECT_STREQ(read.Sjsphhqdbf, saved.Sjsphhqdbf);
  EXPECT_STREQ(read.Sjszhhqdbf, saved.Sjszhhqdbf);
  EXPECT_EQ(read.begintime, 900);
  EXPECT_EQ(read.endtime, 1530);
  EXPECT_EQ(read.writeInterval, 2000u);
  EXPECT_EQ(read.wrIntervalSleep, 500u);
  EXPECT_STREQ(read.savefile, saved.savefile);
  EXPECT_STREQ(read.holiday, saved.holiday);
  EXPECT_STREQ(read.sender, "FENWRIGHT01");
  EXPECT_STREQ(read.target, "MDGW");
  EXPECT_STREQ(read.password, "s3cr;t");
  EXPECT_STREQ(read.ver, "1.00");
  EXPECT_STREQ(read.ip, "192.168.10.20");
  EXPECT_EQ(read.port, 65535);
  EXPECT_EQ(read.heartbt, 15);
  EXPECT_TRUE(read.useholiday);
  EXPECT_STREQ(read.IndexNameFile, saved.IndexNameFile);
  EXPECT_TRUE(read.savefileflag);
  EXPECT_TRUE(read.lostHighVol);
  EXPECT_TRUE(read.PriceUpLimit);
  EXPECT_TRUE(read.autostart);
  EXPECT_TRUE(window_->LogLines().empty());
}

// Values that the ini file's own syntax could take apart: each must come back as saved (cut only
// to the 99 bytes a value holds in the file), save after save, and a save that changes nothing
// must leave the file as it was.
TEST_F(ConfigInfoTest, AwkwardValuesReadBackAsSavedAndTheFileStopsChanging) {
  using Field = char* (*)(ConfigInfo&);
  struct Row {
    Field field;
    std::string saved;
    std::string read;
  };
  const std::string longest = std::string(97, 'p') + ";q";  // 99 bytes, written in quotes
  const Row rows[] = {
      {[](ConfigInfo& x) { return x.password; }, ";abc", ";abc"},
      {[](ConfigInfo& x) { return x.sender; }, "a ;b", "a ;b"},
      {[](ConfigInfo& x) { return x.target; }, "\"x\"", "\"x\""},
      {[](ConfigInfo& x) { return x.ver; }, "  blanks at both ends\t ", "  blanks at both ends\t "},
      {[](ConfigInfo& x) { return x.loadFolder; }, "D:\\a；b\\", "D:\\a；b\\"},
      {[](ConfigInfo& x) { return x.savefile; }, "k=v;w= ", "k=v;w= "},
      {[](ConfigInfo& x) { return x.IndexNameFile; }, "'it' ;s\"", "'it' ;s\""},
      {[](ConfigInfo& x) { return x.hqdbf; }, "D:\\行情\\SJSHQ.DBF ;旧", "D:\\行情\\SJSHQ.DBF ;旧"},
      {[](ConfigInfo& x) { return x.szl1; }, longest + "cut", longest},
      {[](ConfigInfo& x) { return x.Sjsxxdbf; }, std::string(98, 'x') + "行", std::string(98, 'x')},
      {[](ConfigInfo& x) { return x.Sjszsdbf; }, "\"", "\""},
      {[](ConfigInfo& x) { return x.Sjsphhqdbf; }, "=", "="},
  };
  ConfigInfo c;
  Realistic(&c);
  c.begintime = -845;
  for (const Row& row : rows) std::strcpy(row.field(c), row.saved.c_str());

  std::string settled;
  for (int round = 1; round <= 1000; ++round) {
    ASSERT_EQ(c.Save(), 1) << "round " << round;
    if (round == 2) {
      settled = ReadFileBytes(iniPath_);
    } else if (round > 2) {
      ASSERT_EQ(ReadFileBytes(iniPath_), settled) << "round " << round;
    }
    ConfigInfo read;
    ASSERT_EQ(read.Load(iniPath_), 1);
    for (const Row& row : rows) {
      ASSERT_EQ(std::string(row.field(read)), row.read) << "round " << round << ": " << row.saved;
    }
    ASSERT_EQ(read.begintime, -845);
    c = read;
  }
}

TEST_F(ConfigInfoTest, LargeIntervalsReadBackAsWritten) {
  Realistic(&config_);
  config_.writeInterval = 3000000000u;
  ASSERT_EQ(config_.Save(), 1);
  ConfigInfo read;
  ASSERT_EQ(read.Load(iniPath_), 1);
  EXPECT_EQ(read.writeInterval, 3000000000u);
}

}  // namespace
}  // namespace fw::config
