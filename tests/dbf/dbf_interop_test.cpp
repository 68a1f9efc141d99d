// The written files as readers we did not write see them: tools/dbf_read.py reads SJSHQ with
// python3-dbfread and python3-dbf and SJSZS with python3-dbf, and the values must be those the
// writers were given. Skipped where python3 or the modules are missing (the Windows build).
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "dbf/sjshq_file.h"
#include "dbf/sjszs_file.h"
#include "tests/dbf/record_builders.h"
#include "tests/support/independent_dbf_reader.h"
#include "tests/support/test_support.h"

namespace fw::dbf {
namespace {

using test::IndexQuote;
using test::Stat;
using test::StockQuote;

class DbfInteropTest : public ::testing::Test {
 protected:
  void SetUp() override {
    python_ = ::fw::test::FindReaderPython();
    if (python_.empty()) GTEST_SKIP() << "python3 with dbfread and dbf is not available";
  }

  ::fw::test::Reading Read(const std::string& reader, const std::string& path) {
    return ::fw::test::ReadWith(python_, reader, path, dir_.File(reader + ".out"));
  }

  // The record count and lengths from the file's own header, and its size.
  static void ExpectSizeFromHeader(const std::string& file, size_t expectedRecords) {
    ASSERT_GE(file.size(), 32u);
    const auto byte = [&](size_t i) {
      return static_cast<uint32_t>(static_cast<uint8_t>(file[i]));
    };
    const uint32_t records = byte(4) | byte(5) << 8 | byte(6) << 16 | byte(7) << 24;
    const uint32_t headerLength = byte(8) | byte(9) << 8;
    const uint32_t recordLength = byte(10) | byte(11) << 8;
    EXPECT_EQ(records, expectedRecords);
    EXPECT_EQ(file.size(), headerLength + static_cast<size_t>(records) * recordLength);
  }

  std::string python_;
  ::fw::test::TempDir dir_;
  ::fw::test::FakeClock localClock_{20260305, 101500};
  market::MarketClock clock_{20260305, 93015, 0, '1', '0', '1', '0'};
  refdata::ReferenceTables tables_;
};

TEST_F(DbfInteropTest, QuoteFileReadsBackWithBothReaders) {
  test::AddReference(tables_.securities, "000001")->SecurityType = 1;
  test::AddReference(tables_.issueParams, "070001");
  market::StockQuoteRecord stock = StockQuote("000001", "平安银行");
  stock.prevClose = 12340;
  stock.last = 12400;
  stock.volume = 1234567890123;
  stock.turnover = 1525000123456;
  stock.trades = 4567;
  stock.indicator1 = 1234;
  stock.change2 = -25;
  stock.askPrice[0] = 12410;
  stock.askVolume[0] = 100;
  stock.bidPrice[4] = 12350;
  stock.bidVolume[4] = 5000;
  market::StockQuoteRecord issue = StockQuote("070001", "ISSUE01");
  issue.prevClose = 10000;
  issue.high = 11000;
  market::VolumeStatRecord stat = Stat("000010", "STATS");
  stat.stockNum = 1500;
  stat.volume = 42;
  market::IndexQuoteRecord index = IndexQuote("399001", "深证成指");
  index.prevClose = 3010000;
  index.current = 3000000;

  const std::string path = dir_.File("SJSHQ.DBF");
  SZSjshqFile file(true);
  ASSERT_EQ(file.Open(path), 1);
  ASSERT_EQ(file.WriteFirstRecord(clock_, 5), 1);
  ASSERT_EQ(file.WriteStockRows(std::vector<market::StockQuoteRecord>{stock, issue}, tables_), 1);
  ASSERT_EQ(file.WriteStatisticsRows(std::vector<market::VolumeStatRecord>{stat}), 1);
  ASSERT_EQ(file.WriteIndexRows(std::vector<market::IndexQuoteRecord>{index}), 1);
  ASSERT_EQ(file.Flush(), 1);
  file.Abort();
  ExpectSizeFromHeader(::fw::test::ReadFileBytes(path), 6);

  for (const std::string reader : {"dbfread", "dbf"}) {
    SCOPED_TRACE(reader);
    const ::fw::test::Reading r = Read(reader, path);
    EXPECT_NE(r.header.find("records=6 fields=HQZQDM:C:6:0,HQZQJC:C:8:0,HQZRSP:N:9:3,"),
              std::string::npos)
        << r.header;
    EXPECT_NE(r.header.find(",HQBJW5:N:9:3,HQBSL5:N:12:0"), std::string::npos) << r.header;
    ASSERT_EQ(r.records.size(), 6u);
    for (const auto& record : r.records) ASSERT_EQ(record.size(), 35u);

    const auto& first = r.records[0];
    EXPECT_EQ(first[0], "000000");
    EXPECT_EQ(first[1], "20260305");
    EXPECT_EQ(first[2], "1.0");
    EXPECT_EQ(first[5], "0");  // the auction is still open
    EXPECT_EQ(first[7], "93015");
    EXPECT_EQ(first[34], "10150000");

    const auto& s = r.records[1];
    EXPECT_EQ(s[0], "000001");
    EXPECT_EQ(s[1], "平安银行");
    EXPECT_EQ(s[2], "12.34");
    EXPECT_EQ(s[4], "12.4");
    EXPECT_EQ(s[5], "234567890123");  // lostHighVol drops the high digits
    EXPECT_EQ(s[6], "1525000123.456");
    EXPECT_EQ(s[7], "4567");
    EXPECT_EQ(s[9], "99999.999");  // never traded
    EXPECT_EQ(s[10], "12.34");
    EXPECT_EQ(s[13], "-0.025");
    EXPECT_EQ(s[23], "12.41");  // HQSJW1
    EXPECT_EQ(s[24], "100");
    EXPECT_EQ(s[33], "12.35");  // HQBJW5
    EXPECT_EQ(s[34], "5000");

    const auto& i = r.records[2];
    EXPECT_EQ(i[1], "ISSUE01");
    EXPECT_EQ(i[2], "10.0");
    EXPECT_EQ(i[8], "11.0");
    EXPECT_EQ(i[9], "99999.999");

    EXPECT_EQ(r.records[3][0], "000010");
    EXPECT_EQ(r.records[3][2], "1500.0");
    EXPECT_EQ(r.records[3][5], "42");

    EXPECT_EQ(r.records[4][1], "深证成指");
    EXPECT_EQ(r.records[4][2], "3010.0");
    EXPECT_EQ(r.records[4][12], "-10.0");

    // The record after the last row: blank texts and empty numbers.
    EXPECT_EQ(r.records[5], std::vector<std::string>(35, ""));
  }
}

TEST_F(DbfInteropTest, IndexFileReadsBackWithItsZeroFlags) {
  refdata::IndexInfoRecord* info = test::AddReference(tables_.indexInfo, "399001");
  std::memcpy(info->EnglishName, "SZSE COMPONENT INDEX", 20);
  market::IndexQuoteRecord a = IndexQuote("399001", "深证成指");
  a.prevClose = 32105678;
  a.current = 32150000;
  a.volume = 1234567890123;
  a.turnover = 98765432101234;
  market::IndexQuoteRecord b = IndexQuote("399006", "CYB");
  b.low = 19876543;

  const std::string path = dir_.File("SJSZS.DBF");
  SZSjszsFile file(false);
  ASSERT_EQ(file.Open(path), 1);
  ASSERT_EQ(file.BeginRows(clock_, 3), 1);
  ASSERT_EQ(file.WriteIndexRows(std::vector<market::IndexQuoteRecord>{a, b}, tables_.indexInfo), 1);
  ASSERT_EQ(file.Flush(), 1);
  file.Close();
  ExpectSizeFromHeader(::fw::test::ReadFileBytes(path), 3);

  const ::fw::test::Reading r = Read("dbf", path);
  EXPECT_NE(
      r.header.find("records=3 fields=ZSZSDM:C:6:0,ZSZSQC:C:12:0,ZSYWMC:C:20:0,ZSSSZS:N:11:4,"),
      std::string::npos)
      << r.header;
  ASSERT_EQ(r.records.size(), 3u);
  EXPECT_EQ(r.records[0], (std::vector<std::string>{"399001", "深证成指", "SZSE COMPONENT INDEX",
                                                    "3210.5678", "0.0", "0.0", "0.0", "3215.0",
                                                    "999999999999", "98765432101.234"}));
  EXPECT_EQ(r.records[1], (std::vector<std::string>{"399006", "CYB", "", "0.0", "0.0", "0.0",
                                                    "1987.6543", "0.0", "0", "0.0"}));
  EXPECT_EQ(r.records[2], std::vector<std::string>(10, ""));

  // dbfread takes a 0x00 flag for neither a live nor a deleted record and returns none.
  const ::fw::test::Reading plain = Read("dbfread", path);
  EXPECT_NE(plain.header.find("records=0 "), std::string::npos) << plain.header;
  EXPECT_TRUE(plain.records.empty());
}

}  // namespace
}  // namespace fw::dbf
