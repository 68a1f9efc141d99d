// The configuration dialog's rules: what the controls show for a record, and what Save makes of
// what the controls hold.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "tests/support/test_support.h"
#include "ui/config_form.h"

namespace fw::ui {
namespace {

template <size_t N>
void Put(char (&field)[N], const char* text) {
  std::snprintf(field, N, "%s", text);
}

config::ConfigInfo SampleRecord() {
  config::ConfigInfo c;
  Put(c.ip, "10.1.2.3");
  c.port = 8016;
  Put(c.sender, "SENDER1");
  Put(c.target, "TARGET1");
  Put(c.password, "secret");
  c.heartbt = 30;
  Put(c.ver, "1.02");
  c.begintime = 845;
  c.endtime = 1630;
  c.writeInterval = 3000;
  c.wrIntervalSleep = 1000;
  c.lostHighVol = true;
  Put(c.loadFolder, "D:\\xml\\");
  Put(c.IndexNameFile, "./indexname.ini");
  Put(c.savefile, "D:\\raw\\");
  c.savefileflag = false;
  Put(c.hqdbf, ".\\SJSHQ.dbf");
  Put(c.szl1, ".\\SJSXXN.dbf");
  Put(c.Sjsxxdbf, ".\\SJSXX.dbf");
  Put(c.Sjszsdbf, ".\\SJSZS.dbf");
  Put(c.Sjsphhqdbf, ".\\SJSPHHQ.dbf");
  Put(c.Sjszhhqdbf, ".\\SJSZHHQ.dbf");
  Put(c.holiday, "./holiday.ini");
  c.useholiday = true;
  c.autostart = false;
  return c;
}

TEST(ConfigForm, FillShowsEveryFieldOfTheRecord) {
  const ConfigForm form = FormFromConfig(SampleRecord());
  EXPECT_EQ(form.address, 0x0A010203u);
  const std::map<int, std::string> texts = {
      {IDC_CFG_PORT, "8016"},
      {IDC_CFG_SENDER, "SENDER1"},
      {IDC_CFG_TARGET, "TARGET1"},
      {IDC_CFG_PASSWORD, "secret"},
      {IDC_CFG_HEARTBT, "30"},
      {IDC_CFG_VER, "1.02"},
      {IDC_CFG_BEGINTIME, "845"},
      {IDC_CFG_ENDTIME, "1630"},
      {IDC_CFG_WRITEINTERVAL, "3000"},
      {IDC_CFG_WRINTERVALSLEEP, "1000"},
      {IDC_CFG_LOADFOLDER, "D:\\xml\\"},
      {IDC_CFG_INDEXNAMEFILE, "./indexname.ini"},
      {IDC_CFG_SAVEFILE, "D:\\raw\\"},
      {IDC_CFG_HQDBF, ".\\SJSHQ.dbf"},
      {IDC_CFG_SZL1, ".\\SJSXXN.dbf"},
      {IDC_CFG_SJSXXDBF, ".\\SJSXX.dbf"},
      {IDC_CFG_SJSZSDBF, ".\\SJSZS.dbf"},
      {IDC_CFG_SJSPHHQDBF, ".\\SJSPHHQ.dbf"},
      {IDC_CFG_SJSZHHQDBF, ".\\SJSZHHQ.dbf"},
      {IDC_CFG_HOLIDAY, "./holiday.ini"},
  };
  EXPECT_EQ(form.texts, texts);
  const std::map<int, bool> ticks = {{IDC_CFG_LOSTHIGHVOL, true},
                                     {IDC_CFG_SAVEFILEFLAG, false},
                                     {IDC_CFG_USEHOLIDAY, true},
                                     {IDC_CFG_AUTOSTART, false}};
  EXPECT_EQ(form.ticks, ticks);
}

TEST(ConfigForm, AddressThatIsNotDottedShowsAllOnes) {
  for (const char* ip : {"", "localhost", "127.1", "1.2.3.256", "1.2.3.4.5", "0x7f.0.0.1"}) {
    config::ConfigInfo c;
    Put(c.ip, ip);
    EXPECT_EQ(FormFromConfig(c).address, kNoAddress) << ip;
  }
  config::ConfigInfo c;
  Put(c.ip, "192.168.0.1");
  EXPECT_EQ(FormFromConfig(c).address, 0xC0A80001u);
}

TEST(ConfigForm, SaveWritesTheAddressAsDottedText) {
  struct Case {
    uint32_t address;
    const char* text;
  };
  for (const Case& k : {Case{0, "0.0.0.0"}, Case{0xC0A80001u, "192.168.0.1"},
                        Case{kNoAddress, "255.255.255.255"}, Case{0x7F000001u, "127.0.0.1"}}) {
    ConfigForm form;
    form.address = k.address;
    config::ConfigInfo c;
    ApplyForm(form, &c);
    EXPECT_STREQ(c.ip, k.text);
  }
}

TEST(ConfigForm, NumbersAreReadAsTheirLeadingDecimal) {
  struct Case {
    const char* text;
    uint32_t value;
  };
  // An unsigned field takes the bits of the signed number; beyond what an edit box of four
  // characters can hold, the number saturates.
  for (const Case& k : {Case{"", 0}, Case{"abc", 0}, Case{"12ab", 12}, Case{" 7", 7}, Case{"+9", 9},
                        Case{"-5", 0xFFFFFFFBu}, Case{"- 5", 0}, Case{"0030", 30},
                        Case{"4294967296", 0x7FFFFFFFu}}) {
    ConfigForm form;
    form.texts[IDC_CFG_WRITEINTERVAL] = k.text;
    config::ConfigInfo c;
    ApplyForm(form, &c);
    EXPECT_EQ(c.writeInterval, k.value) << k.text;
  }
}

TEST(ConfigForm, HeartbeatWithLettersSavesZeroAndPortKeepsLow16Bits) {
  ConfigForm form;
  form.texts[IDC_CFG_HEARTBT] = "ab";
  form.texts[IDC_CFG_PORT] = "70000";
  form.texts[IDC_CFG_BEGINTIME] = "0915";
  form.texts[IDC_CFG_ENDTIME] = "-1";
  config::ConfigInfo c;
  c.heartbt = 30;
  ApplyForm(form, &c);
  EXPECT_EQ(c.heartbt, 0);
  EXPECT_EQ(c.port, 4464);
  EXPECT_EQ(c.begintime, 915);
  EXPECT_EQ(c.endtime, -1);
}

TEST(ConfigForm, FillThenSaveGivesBackTheSameRecord) {
  config::ConfigInfo original = SampleRecord();
  original.writeInterval = 3000000000u;  // beyond INT32_MAX: shown as "%d", its bits read back
  original.endtime = -7;
  config::ConfigInfo saved;
  ApplyForm(FormFromConfig(original), &saved);
  EXPECT_STREQ(saved.ip, "10.1.2.3");
  EXPECT_EQ(saved.port, 8016);
  EXPECT_EQ(saved.writeInterval, 3000000000u);
  EXPECT_EQ(saved.wrIntervalSleep, 1000u);
  EXPECT_EQ(saved.heartbt, 30);
  EXPECT_EQ(saved.begintime, 845);
  EXPECT_EQ(saved.endtime, -7);
  EXPECT_STREQ(saved.sender, "SENDER1");
  EXPECT_STREQ(saved.target, "TARGET1");
  EXPECT_STREQ(saved.password, "secret");
  EXPECT_STREQ(saved.ver, "1.02");
  EXPECT_STREQ(saved.loadFolder, "D:\\xml\\");
  EXPECT_STREQ(saved.loadFolderExpanded, "D:\\xml\\");
  EXPECT_STREQ(saved.IndexNameFile, "./indexname.ini");
  EXPECT_STREQ(saved.savefile, "D:\\raw\\");
  EXPECT_STREQ(saved.hqdbf, ".\\SJSHQ.dbf");
  EXPECT_STREQ(saved.szl1, ".\\SJSXXN.dbf");
  EXPECT_STREQ(saved.Sjsxxdbf, ".\\SJSXX.dbf");
  EXPECT_STREQ(saved.Sjszsdbf, ".\\SJSZS.dbf");
  EXPECT_STREQ(saved.Sjsphhqdbf, ".\\SJSPHHQ.dbf");
  EXPECT_STREQ(saved.Sjszhhqdbf, ".\\SJSZHHQ.dbf");
  EXPECT_STREQ(saved.holiday, "./holiday.ini");
  EXPECT_TRUE(saved.lostHighVol);
  EXPECT_FALSE(saved.savefileflag);
  EXPECT_TRUE(saved.useholiday);
  EXPECT_FALSE(saved.autostart);
}

TEST(ConfigForm, SaveEmptiesTextsMissingFromTheFormAndUnticksMissingFlags) {
  config::ConfigInfo c = SampleRecord();
  c.PriceUpLimit = true;
  ApplyForm(ConfigForm(), &c);
  EXPECT_STREQ(c.password, "");
  EXPECT_STREQ(c.hqdbf, "");
  EXPECT_STREQ(c.loadFolderExpanded, "");
  EXPECT_EQ(c.heartbt, 0);
  EXPECT_FALSE(c.lostHighVol);
  EXPECT_FALSE(c.useholiday);
  EXPECT_TRUE(c.PriceUpLimit);  // no control edits it
}

TEST(ConfigForm, SaveExpandsTheFolderAtOnce) {
  test::FakeClock clock(20240305, 90503);
  ConfigForm form;
  form.texts[IDC_CFG_LOADFOLDER] = "D:\\xml\\<YYYYMMDD>\\<HHMMSS>";
  config::ConfigInfo c;
  ApplyForm(form, &c);
  EXPECT_STREQ(c.loadFolder, "D:\\xml\\<YYYYMMDD>\\<HHMMSS>");
  EXPECT_STREQ(c.loadFolderExpanded, "D:\\xml\\20240305\\90503");
}

TEST(ConfigForm, TextsLongerThanTheirFieldAreCutWithoutSplittingACharacter) {
  ConfigForm form;
  form.texts[IDC_CFG_SENDER] = std::string(32, 'a');  // the edit box takes 32, the field 31
  form.texts[IDC_CFG_TARGET] = std::string(30, 'b') + "\xD6\xD0";  // a two-byte character at 31, 32
  form.texts[IDC_CFG_PASSWORD] = std::string(29, 'c') + "\xD6\xD0";  // ends exactly at 31
  form.texts[IDC_CFG_HQDBF] = std::string(256, 'p');                 // field of 255 bytes
  form.texts[IDC_CFG_SZL1] = std::string(256, 'q');                  // field of 256 bytes
  config::ConfigInfo c;
  ApplyForm(form, &c);
  EXPECT_EQ(std::string(c.sender), std::string(31, 'a'));
  EXPECT_EQ(std::string(c.target), std::string(30, 'b'));
  EXPECT_EQ(std::string(c.password), std::string(29, 'c') + "\xD6\xD0");
  EXPECT_EQ(std::string(c.hqdbf), std::string(254, 'p'));
  EXPECT_EQ(std::string(c.szl1), std::string(255, 'q'));
}

}  // namespace
}  // namespace fw::ui
