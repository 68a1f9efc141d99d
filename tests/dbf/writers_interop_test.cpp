// SJSXXN, SJSXX, SJSPHHQ and SJSZHHQ as readers we did not write see them (python3-dbfread and
// python3-dbf through tools/dbf_read.py, read as the legacy consumers read): every value the
// writers were given comes back, and the file sizes agree with the headers. Skipped where python3
// or the modules are missing (the Windows build under Wine).
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "dbf/sjsphhq_file.h"
#include "dbf/sjsxx_file.h"
#include "dbf/sjszhhq_file.h"
#include "tests/dbf/dbf_file_view.h"
#include "tests/dbf/record_builders.h"
#include "tests/support/independent_dbf_reader.h"
#include "tests/support/test_support.h"

namespace fw::dbf {
namespace {

using ::fw::test::Reading;
using test::AddReference;

template <size_t N>
void Put(char (&field)[N], const char* text) {
  std::memcpy(field, text, std::min(N, std::strlen(text)));
}

// The value of field `name` in record i, by the field list the reader printed.
std::string Value(const Reading& r, size_t i, const std::string& name) {
  const size_t at = r.header.find("fields=");
  if (at == std::string::npos || i >= r.records.size()) return "<no record>";
  std::vector<std::string> names;
  size_t start = at + 7;
  while (start < r.header.size()) {
    size_t end = r.header.find(',', start);
    if (end == std::string::npos) end = r.header.size();
    const std::string field = r.header.substr(start, end - start);
    names.push_back(field.substr(0, field.find(':')));
    start = end + 1;
  }
  for (size_t f = 0; f < names.size(); ++f) {
    if (names[f] == name) return f < r.records[i].size() ? r.records[i][f] : "<short record>";
  }
  return "<no field " + name + ">";
}

class WritersInteropTest : public ::testing::Test {
 protected:
  void SetUp() override {
    python_ = ::fw::test::FindReaderPython();
    if (python_.empty()) GTEST_SKIP() << "python3 with dbfread and dbf is not available";
    catcher_ = ::fw::test::WindowCatcher::Install();
  }
  void TearDown() override { ::fw::test::WindowCatcher::Uninstall(); }

  Reading Read(const std::string& reader, const std::string& path) {
    return ::fw::test::ReadWith(python_, "--lenient " + reader, path, dir_.File(reader + ".out"));
  }

  // Each reader returns `records` records, and the file is exactly as long as its header says.
  void ExpectRecords(const std::string& path, const Reading& r, size_t records) {
    EXPECT_NE(r.header.find(" records=" + std::to_string(records) + " "), std::string::npos)
        << r.header;
    EXPECT_EQ(r.records.size(), records);
    const test::DbfFileView file(::fw::test::ReadFileBytes(path));
    EXPECT_EQ(file.Records(), records);
    EXPECT_EQ(file.Size(),
              file.HeaderLength() + static_cast<size_t>(records) * file.RecordLength());
  }

  std::string python_;
  ::fw::test::TempDir dir_;
  ::fw::test::FakeClock localClock_{20260306, 93005};
  std::shared_ptr<::fw::test::WindowCatcher> catcher_;
  market::MarketClock clock_{20260305, 93015, 250, '1', '0', '1', '1'};
  refdata::ReferenceTables tables_;
};

TEST_F(WritersInteropTest, SecurityInformationFilesReadBack) {
  tables_.cashAuctionParams.BeginLoad();
  auto* s = AddReference(tables_.securities, "000100");
  s->SecurityType = 1;
  Put(s->Symbol, "平安银行");
  Put(s->EnglishName, "ALPHA CO");
  s->haltFlag = '.';
  s->marginFlag = 'C';
  s->statusLetter = s->spareFlag = ' ';
  s->ParValue = 1.0;
  s->PrevClosePx = 10.0;
  s->QtyUnit = 100;
  s->OutstandingShare = 1000000;
  s->PreviousYearProfitPerShare = 0.5;
  s->ListDate = 20100101;
  s->GageFlag = 'Y';
  s->GageRatio = 0.7f;
  auto* cash = AddReference(tables_.cashAuctionParams, "000100");
  tables_.cashAuctionParams.MarkLoaded(cash);
  cash->BuyQtyUpperLimit = 1000000;
  cash->BuyQtyUnit = 100;
  cash->PriceTick = 0.01;
  cash->settingCount = 1;
  cash->settings[0] = {'T', 'Y', '1', '1', 0.1, 0.1, 0, 0, 'N', '1', 0, 0};
  auto* issue = AddReference(tables_.issueParams, "000050");
  issue->SecurityType = 25;
  Put(issue->Symbol, "NEWISSUE");
  issue->PriceUpperLimit = 12.5;
  issue->PriceLowerLimit = 10.0;
  issue->OutStandingShare = 5000000;
  issue->StartDate = 20260310;
  issue->QtyUpperLimit = 1e10;
  issue->Unit = 500;
  auto* stat = AddReference(tables_.stat, "000010");
  Put(stat->Symbol, "STATA");
  auto* index = AddReference(tables_.indexInfo, "399001");
  Put(index->Symbol, "深证成指");
  Put(index->EnglishName, "SZSE COMPONENT");

  const auto overlay = refdata::FeedOverlay::From(tables_);
  SZSjsxxnFile n;
  SZSjsxxFile x;
  const std::string nPath = dir_.File("SJSXXN.DBF");
  const std::string xPath = dir_.File("SJSXX.DBF");
  ASSERT_EQ(n.Open(nPath), 0);
  ASSERT_EQ(n.WriteFile(tables_, overlay, clock_), 0);
  ASSERT_EQ(x.Open(xPath), 0);
  ASSERT_EQ(x.WriteFile(tables_, overlay, clock_), 0);

  for (const std::string reader : {"dbfread", "dbf"}) {
    SCOPED_TRACE(reader);
    for (const std::string& path : {nPath, xPath}) {
      SCOPED_TRACE(path);
      const Reading r = Read(reader, path);
      ExpectRecords(path, r, 5);
      EXPECT_EQ(Value(r, 0, "XXZQDM"), "000000");
      EXPECT_EQ(Value(r, 0, "XXZQJC"), "20260306");  // the local date
      EXPECT_EQ(Value(r, 0, "XXYWJC"), "Special Record");
      EXPECT_EQ(Value(r, 0, "XXBLDW"), "93015");
      EXPECT_EQ(Value(r, 0, "XXSLDW"), "250");
      EXPECT_EQ(Value(r, 0, "XXSSRQ"), "");

      EXPECT_EQ(Value(r, 1, "XXZQDM"), "000050");
      EXPECT_EQ(Value(r, 1, "XXZQJC"), "NEWISSUE");
      EXPECT_EQ(Value(r, 1, "XXZFXL"), "5000000");
      EXPECT_EQ(Value(r, 1, "XXSSRQ"), "2026-03-10");
      EXPECT_EQ(Value(r, 1, "XXMBXL"), "999999999");
      EXPECT_EQ(Value(r, 1, "XXZTJG"), "12.5");
      EXPECT_EQ(Value(r, 1, "XXDTJG"), "10.0");
      EXPECT_EQ(Value(r, 1, "XXBLDW"), "500");
      EXPECT_EQ(Value(r, 1, "XXZQJB"), "C");

      EXPECT_EQ(Value(r, 2, "XXZQDM"), "000100");
      EXPECT_EQ(Value(r, 2, "XXZQJC"), "平安银行");
      EXPECT_EQ(Value(r, 2, "XXYWJC"), "ALPHA CO");
      EXPECT_EQ(Value(r, 2, "XXMGMZ"), "1.0");
      EXPECT_EQ(Value(r, 2, "XXZFXL"), "1000000");
      EXPECT_EQ(Value(r, 2, "XXSNLR"), "0.5");
      EXPECT_EQ(Value(r, 2, "XXJSFL"), "0.0");
      EXPECT_EQ(Value(r, 2, "XXSSRQ"), "2010-01-01");
      EXPECT_EQ(Value(r, 2, "XXDJRQ"), "");
      EXPECT_EQ(Value(r, 2, "XXJYDW"), "100");
      EXPECT_EQ(Value(r, 2, "XXMBXL"), "1000000");
      EXPECT_EQ(Value(r, 2, "XXJGDW"), "0.01");
      EXPECT_EQ(Value(r, 2, "XXXJXZ"), "1");
      EXPECT_EQ(Value(r, 2, "XXZTJG"), "11.0");
      EXPECT_EQ(Value(r, 2, "XXDTJG"), "9.0");

      EXPECT_EQ(Value(r, 3, "XXZQDM"), "000010");
      EXPECT_EQ(Value(r, 3, "XXCFBZ"), "Z");
      EXPECT_EQ(Value(r, 3, "XXZTJG"), "99999.999");
      EXPECT_EQ(Value(r, 4, "XXZQJC"), "深证成指");
      EXPECT_EQ(Value(r, 4, "XXYWJC"), "SZSE COMPONENT");
      EXPECT_EQ(Value(r, 4, "XXHBZL"), "00");
    }
    const Reading rn = Read(reader, nPath);
    EXPECT_EQ(Value(rn, 2, "XXJCQZ"), ".C..");
    EXPECT_EQ(Value(rn, 2, "XXDBZSL"), "0.7");
    EXPECT_EQ(Value(rn, 2, "XXJYLX"), "G");
    EXPECT_EQ(Value(rn, 2, "XXYWZT"), "     F");
    EXPECT_EQ(Value(rn, 2, "XXGXSJ"), " 93005");
    EXPECT_EQ(Value(rn, 4, "XXJCZQ"), "399001");
    const Reading rx = Read(reader, xPath);
    EXPECT_EQ(Value(rx, 2, "XXJYZT"), "N");
    EXPECT_EQ(Value(rx, 2, "XXTPBZ"), "F");
    EXPECT_EQ(Value(rx, 1, "XXHBZL"), "00");
  }
}

TEST_F(WritersInteropTest, AfterHoursFileReadsBack) {
  Put(AddReference(tables_.securities, "000100")->Symbol, "平安银行");
  market::AfterHoursQuoteRecord r{};
  std::memcpy(r.code, "000100", 6);
  r.price[0] = 10500;
  r.volume[0] = 1000;
  r.turnover[0] = 10500000;
  r.trades[0] = 3;
  r.price[1] = 10600;
  r.askVolume[1] = 700;
  const std::string path = dir_.File("SJSPHHQ.DBF");
  SZSjsphhqFile file;
  ASSERT_EQ(file.Open(path), 1);
  ASSERT_EQ(file.WriteFirstRecord(clock_, 3), 1);
  ASSERT_EQ(
      file.WriteAfterHoursRows(std::vector<market::AfterHoursQuoteRecord>{r}, tables_.securities),
      1);
  ASSERT_EQ(file.WriteStatisticsRows(
                std::vector<market::VolumeStatRecord>{test::Stat("000010", "STATA")}),
            1);
  ASSERT_EQ(file.WriteIndexRows(
                std::vector<market::IndexQuoteRecord>{test::IndexQuote("399001", "深证成指")}),
            1);
  ASSERT_EQ(file.Flush(), 1);
  file.Abort();

  for (const std::string reader : {"dbfread", "dbf"}) {
    SCOPED_TRACE(reader);
    const Reading rd = Read(reader, path);
    ExpectRecords(path, rd, 4);
    EXPECT_NE(
        rd.header.find("fields=HQJLH:N:9:0,HQHQLB:C:3:0,HQZQDM:C:6:0,HQZQJC:C:8:0,HQBJLX1:C:1:0,"),
        std::string::npos)
        << rd.header;
    EXPECT_NE(rd.header.find(",HQSSL5:N:12:0,HQTIME:C:8:0,HQBYWB:C:100:0"), std::string::npos);
    EXPECT_EQ(Value(rd, 0, "HQJLH"), "0");
    EXPECT_EQ(Value(rd, 0, "HQZQJC"), "20260305");
    EXPECT_EQ(Value(rd, 0, "HQCJSL1"), "1");  // "01": closed
    EXPECT_EQ(Value(rd, 0, "HQTIME"), " 9300500");
    EXPECT_EQ(Value(rd, 1, "HQJLH"), "100");
    EXPECT_EQ(Value(rd, 1, "HQHQLB"), "03S");
    EXPECT_EQ(Value(rd, 1, "HQZQJC"), "平安银行");
    EXPECT_EQ(Value(rd, 1, "HQBJLX1"), "1");
    EXPECT_EQ(Value(rd, 1, "HQJG1"), "10.5");
    EXPECT_EQ(Value(rd, 1, "HQCJSL1"), "1000");
    EXPECT_EQ(Value(rd, 1, "HQCJJE1"), "10500.0");
    EXPECT_EQ(Value(rd, 1, "HQCJBS1"), "3");
    EXPECT_EQ(Value(rd, 1, "HQBJLX2"), "2");
    EXPECT_EQ(Value(rd, 1, "HQJG2"), "10.6");
    EXPECT_EQ(Value(rd, 1, "HQSSL2"), "700");
    EXPECT_EQ(Value(rd, 1, "HQBJLX3"), "");
    EXPECT_EQ(Value(rd, 1, "HQJG5"), "0.0");
    EXPECT_EQ(Value(rd, 2, "HQJLH"), "10");
    EXPECT_EQ(Value(rd, 2, "HQZQJC"), "STATA");
    EXPECT_EQ(Value(rd, 3, "HQJLH"), "399001");
    EXPECT_EQ(Value(rd, 3, "HQZQJC"), "深证成指");
    EXPECT_EQ(Value(rd, 3, "HQBJLX2"), "2");
  }
}

TEST_F(WritersInteropTest, NegotiatedTradingFileReadsBack) {
  market::NegotiatedQuoteRecord order{};
  order.sequence = 42;
  std::memcpy(order.code, "000001", 6);
  order.volume = 100000;
  order.price = 10500;
  order.kindPrefix[0] = order.kindPrefix[1] = ' ';
  order.quoteKind = 'H';
  order.side = 'B';
  std::memcpy(order.contact, "张三", std::strlen("张三"));
  std::memcpy(order.contactInfo, "13800000000", 11);
  std::memcpy(order.flags, "01", 2);
  std::memcpy(order.time, "14300512", 8);
  order.status = '1';
  const char trailer[6] = {' ', 0, ' ', 0, 0, ' '};
  std::memcpy(order.trailer, trailer, sizeof trailer);
  const std::string path = dir_.File("SJSZHHQ.DBF");
  SZSjszhhqFile file;
  ASSERT_EQ(file.Open(path), 1);
  ASSERT_EQ(file.WriteFirstRecord(clock_, 10), 1);
  ASSERT_EQ(file.WriteNegotiatedRows(std::vector<market::NegotiatedQuoteRecord>{order}), 1);
  ASSERT_EQ(file.Flush(), 1);
  file.Abort();

  for (const std::string reader : {"dbfread", "dbf"}) {
    SCOPED_TRACE(reader);
    const Reading rd = Read(reader, path);
    ExpectRecords(path, rd, 2);
    EXPECT_EQ(Value(rd, 0, "HQSBSL"), "1");
    EXPECT_EQ(Value(rd, 0, "HQYDH"), "20260305");
    EXPECT_EQ(Value(rd, 0, "HQSBSJ"), " 9300500");
    EXPECT_EQ(Value(rd, 0, "HQJLZT"), "0");
    EXPECT_EQ(Value(rd, 1, "HQJLH"), "42");
    EXPECT_EQ(Value(rd, 1, "HQZQDM"), "000001");
    EXPECT_EQ(Value(rd, 1, "HQSBSL"), "100000");
    EXPECT_EQ(Value(rd, 1, "HQSBJG"), "10.5");
    EXPECT_EQ(Value(rd, 1, "HQZLLB"), "HB");
    EXPECT_EQ(Value(rd, 1, "HQHTXH"), "00000020260306");
    EXPECT_EQ(Value(rd, 1, "HQLXR"), "张三");
    EXPECT_EQ(Value(rd, 1, "HQLXFS"), "13800000000");
    EXPECT_EQ(Value(rd, 1, "HQJSJG"), "01");
    EXPECT_EQ(Value(rd, 1, "HQSBSJ"), "14300512");
    EXPECT_EQ(Value(rd, 1, "HQYDH"), "0");
    EXPECT_EQ(Value(rd, 1, "HQSYL"), "-99.0");
    EXPECT_EQ(Value(rd, 1, "HQSBSL2"), "0");
    EXPECT_EQ(Value(rd, 1, "HQSYL2"), "-99.0");
    EXPECT_EQ(Value(rd, 1, "HQJLZT"), "1");
    EXPECT_EQ(Value(rd, 1, "HQBYWB"), "");
  }
}

}  // namespace
}  // namespace fw::dbf
