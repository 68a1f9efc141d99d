// SJSPHHQ.DBF: record 0, after-hours rows with both columns, statistic and index identity rows,
// blank records for codes without a security, and the record count N + S + I + 1; expected bytes
// written out by hand.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "dbf/sjsphhq_file.h"
#include "tests/dbf/dbf_file_view.h"
#include "tests/dbf/record_builders.h"
#include "tests/support/test_support.h"

namespace fw::dbf {
namespace {

using market::AfterHoursQuoteRecord;
using test::AddReference;
using test::Blanks;
using test::Concat;
using test::DbfFileView;
using test::ExpectRecord;

// A group with a blank type and zero numbers: type, 9.3, 12.0, 17.3, 9.0, 12.0, 12.0.
const std::string kZeroNumbers = Concat({"    0.000", "           0", "            0.000",
                                         "        0", "           0", "           0"});
const std::string kZeroGroup = " " + kZeroNumbers;
const std::string kTime = " 9300500";  // local 09:30:05, HHMMSS * 100

AfterHoursQuoteRecord AfterHours(const char* code) {
  AfterHoursQuoteRecord r{};
  std::memcpy(r.code, code, std::strlen(code));
  return r;
}

class SjsphhqFileTest : public ::testing::Test {
 protected:
  void AddSecurity(const char* code, const char* symbol) {
    auto* s = AddReference(tables_.securities, code);
    std::memcpy(s->Symbol, symbol, std::strlen(symbol));
  }

  // One write cycle with the given tables; the row estimate is the number of rows given.
  DbfFileView Write(const std::vector<AfterHoursQuoteRecord>& rows,
                    const std::vector<market::VolumeStatRecord>& stats,
                    const std::vector<market::IndexQuoteRecord>& indexes, uint32_t estimate) {
    SZSjsphhqFile file;
    const std::string path = dir_.File("SJSPHHQ.DBF");
    EXPECT_EQ(file.Open(path), 1);
    EXPECT_EQ(file.WriteFirstRecord(clock_, estimate), 1);
    EXPECT_EQ(file.WriteAfterHoursRows(rows, tables_.securities), 1);
    EXPECT_EQ(file.WriteStatisticsRows(stats), 1);
    EXPECT_EQ(file.WriteIndexRows(indexes), 1);
    EXPECT_EQ(file.Flush(), 1);
    file.Abort();
    return DbfFileView(::fw::test::ReadFileBytes(path));
  }

  ::fw::test::TempDir dir_;
  ::fw::test::FakeClock localClock_{20260306, 93005};
  market::MarketClock clock_{20260305, 150000, 0, '1', '0', '1', '0'};
  refdata::ReferenceTables tables_;
};

TEST_F(SjsphhqFileTest, FirstRecordCarriesDateClosedFlagAndTime) {
  const DbfFileView file = Write({}, {}, {}, 0);
  EXPECT_EQ(file.Records(), 1u);
  EXPECT_EQ(file.HeaderLength(), 1345u);
  EXPECT_EQ(file.RecordLength(), 495u);
  ExpectRecord(
      file, 0,
      Concat({" ", "000000000", Blanks(3), "000000", "20260305", " ", "    0.000", "01          ",
              "            0.000", "        0", "           0", "           0", kZeroGroup,
              kZeroGroup, kZeroGroup, kZeroGroup, kTime, Blanks(100)}));
  clock_.AfterHoursClosed = '0';
  EXPECT_EQ(Write({}, {}, {}, 0).Get(0, "HQCJSL1"), "00          ");
}

TEST_F(SjsphhqFileTest, AfterHoursRowCarriesBothColumns) {
  AddSecurity("000100", "平安银行");
  AfterHoursQuoteRecord r = AfterHours("000100");
  r.has060 = '1';
  r.has061 = '2';
  r.price[0] = 10500;
  r.volume[0] = 1000;
  r.turnover[0] = 10500000;
  r.trades[0] = 3;
  r.bidVolume[0] = 2000;
  r.askVolume[0] = 1500;
  r.price[1] = 10600;
  r.volume[1] = 500;
  r.turnover[1] = 5300000;
  r.trades[1] = 1;
  r.askVolume[1] = 700;
  const DbfFileView file = Write({r}, {}, {}, 1);
  ExpectRecord(file, 1,
               Concat({" ",
                       "000000100",
                       "03S",
                       "000100",
                       "平安银行",  //
                       "1",
                       "   10.500",
                       "        1000",
                       "        10500.000",
                       "        3",
                       "        2000",
                       "        1500",  //
                       "2",
                       "   10.600",
                       "         500",
                       "         5300.000",
                       "        1",
                       "           0",
                       "         700",  //
                       kZeroGroup,
                       kZeroGroup,
                       kZeroGroup,
                       kTime,
                       Blanks(100)}));
}

TEST_F(SjsphhqFileTest, DataOnlyInTheSecondStreamShowsZerosInGroupOne) {
  AddSecurity("000200", "BETA");
  AfterHoursQuoteRecord r = AfterHours("000200");
  r.has061 = '2';
  r.price[1] = 5000;
  r.volume[1] = 100;
  r.turnover[1] = 500000;
  r.trades[1] = 1;
  r.bidVolume[1] = 100;
  const DbfFileView file = Write({r}, {}, {}, 1);
  ExpectRecord(
      file, 1,
      Concat({" ", "000000200", "03S", "000200", "BETA    ", "1", kZeroNumbers,  //
              "2", "    5.000", "         100", "          500.000", "        1", "         100",
              "           0",  //
              kZeroGroup, kZeroGroup, kZeroGroup, kTime, Blanks(100)}));
}

TEST_F(SjsphhqFileTest, NamesCutInsideACharacterLoseTheirLeadByte) {
  // "*ST", two characters and the lead byte of a third: the name's 8 bytes.
  const char* name = "*ST\xC6\xBD\xB0\xB2\xD2";
  AddSecurity("000100", "*ST\xC6\xBD\xB0\xB2\xD2\xF8");
  const DbfFileView file = Write({AfterHours("000100")}, {test::Stat("000010", name)},
                                 {test::IndexQuote("399001", name)}, 3);
  for (uint32_t i = 1; i <= 3; ++i) EXPECT_EQ(file.Get(i, "HQZQJC"), "*ST\xC6\xBD\xB0\xB2 ") << i;
}

TEST_F(SjsphhqFileTest, StatisticAndIndexRowsCarryIdentityOnly) {
  const DbfFileView file =
      Write({}, {test::Stat("000010", "STATA")}, {test::IndexQuote("399001", "深证成指")}, 2);
  const auto row = [](const char* number, const char* code, const char* name) {
    return Concat({" ", number, "03S", code, name, "1", kZeroNumbers, "2", kZeroNumbers, kZeroGroup,
                   kZeroGroup, kZeroGroup, kTime, Blanks(100)});
  };
  ExpectRecord(file, 1, row("000000010", "000010", "STATA   "));
  ExpectRecord(file, 2, row("000399001", "399001", "深证成指"));
}

TEST_F(SjsphhqFileTest, RecordsForSecuritiesStatisticsAndIndexesInOrder) {
  AddSecurity("000100", "A");
  AddSecurity("000200", "B");
  AddSecurity("000300", "C");
  const std::vector<AfterHoursQuoteRecord> rows = {AfterHours("000100"), AfterHours("000200"),
                                                   AfterHours("000300")};
  const DbfFileView file =
      Write(rows, {test::Stat("000010", "S1"), test::Stat("000011", "S2")},
            {test::IndexQuote("399001", "I1"), test::IndexQuote("399006", "I2")}, 7);
  ASSERT_EQ(file.Records(), 8u);
  EXPECT_EQ(file.Size(), 1345u + 8u * 495u);
  const char* codes[] = {"000000", "000100", "000200", "000300",
                         "000010", "000011", "399001", "399006"};
  for (uint32_t i = 0; i < 8; ++i) EXPECT_EQ(file.Get(i, "HQZQDM"), codes[i]) << i;
  EXPECT_EQ(file.Get(7, "HQJLH"), "000399006");
}

TEST_F(SjsphhqFileTest, CodesWithoutASecurityLeaveTheirRecordBlank) {
  AddSecurity("000300", "C");
  // 000100 is no security (an issue code, say), the next row is all zero; both records stay blank
  // and the counter still moves on.
  const std::vector<AfterHoursQuoteRecord> rows = {AfterHours("000100"), AfterHoursQuoteRecord{},
                                                   AfterHours("000300")};
  market::VolumeStatRecord noCode{};
  const DbfFileView file = Write(rows, {noCode, test::Stat("000010", "S1")}, {}, 5);
  ASSERT_EQ(file.Records(), 6u);
  EXPECT_EQ(file.Record(1), Blanks(495));
  EXPECT_EQ(file.Record(2), Blanks(495));
  EXPECT_EQ(file.Get(3, "HQZQDM"), "000300");
  EXPECT_EQ(file.Record(4), Blanks(495));
  EXPECT_EQ(file.Get(5, "HQZQDM"), "000010");
  EXPECT_TRUE(tables_.securities.Get(100) == nullptr);
}

TEST_F(SjsphhqFileTest, RowsBeyondTheEstimateExtendTheFile) {
  AddSecurity("000100", "A");
  const DbfFileView file = Write({AfterHours("000100")}, {test::Stat("000010", "S1")}, {}, 0);
  ASSERT_EQ(file.Records(), 3u);
  EXPECT_EQ(file.Get(2, "HQZQDM"), "000010");
}

TEST_F(SjsphhqFileTest, ValuesThatDoNotFitShowNinesOrStayBlank) {
  AddSecurity("000100", "A");
  AfterHoursQuoteRecord r = AfterHours("000100");
  r.price[0] = 123456789;       // 123456.789 in a 9.3 field
  r.volume[0] = 1234567890123;  // 13 digits in 12
  r.turnover[0] = INT64_MAX;    // beyond a 17.3 field
  const DbfFileView file = Write({r}, {}, {}, 1);
  EXPECT_EQ(file.Get(1, "HQJG1"), "99999.999");
  EXPECT_EQ(file.Get(1, "HQCJSL1"), Blanks(12));
  EXPECT_EQ(file.Get(1, "HQCJJE1"), "9999999999999.999");
  EXPECT_EQ(file.Get(1, "HQCJBS1"), "        0");
}

TEST_F(SjsphhqFileTest, OpenFailureAbortsTheTable) {
  SZSjsphhqFile file;
  EXPECT_LT(file.Open(dir_.File("missing/SJSPHHQ.DBF")), 0);
  EXPECT_FALSE(file.IsOpen());
  EXPECT_FALSE(file.HasImage());
  EXPECT_LT(file.Flush(), 0);
}

}  // namespace
}  // namespace fw::dbf
