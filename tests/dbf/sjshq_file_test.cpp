// SJSHQ.DBF: golden records of every row kind, written out by hand field by field, and the value
// rules (volume clamp, untraded low, yields by SecurityType, index change, failing setters).
#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "dbf/sjshq_file.h"
#include "foundation/error_code.h"
#include "tests/dbf/record_builders.h"
#include "tests/support/test_support.h"

namespace fw::dbf {
namespace {

using market::IndexQuoteRecord;
using market::StockQuoteRecord;
using market::VolumeStatRecord;
using test::IndexQuote;
using test::Stat;
using test::StockQuote;

constexpr size_t kHeaderLength = 1153;
constexpr size_t kRecordLength = 352;
// Field widths of SJSHQ in file order, to check that each golden piece has its field's width.
constexpr size_t kWidths[35] = {6,  8, 9,  9, 9,  12, 17, 9, 9,  9, 7,  7, 9,  9, 12, 9, 12, 9,
                                12, 9, 12, 9, 12, 9,  12, 9, 12, 9, 12, 9, 12, 9, 12, 9, 12};
// Field offsets within the record (the deletion flag is byte 0).
constexpr size_t kHQCJSL = 42, kHQCJBS = 71, kHQZDCJ = 89, kHQSYL1 = 98, kHQSYL2 = 105;

const std::string Z7 = "   0.00";
const std::string Z9 = "        0";
const std::string Z93 = "    0.000";
const std::string Z12 = "           0";
const std::string Z17 = "            0.000";

// A record: the blank deletion flag and the 35 field texts.
std::string Golden(const std::vector<std::string>& fields) {
  EXPECT_EQ(fields.size(), 35u);
  std::string record = " ";
  for (size_t i = 0; i < fields.size() && i < 35; ++i) {
    EXPECT_EQ(fields[i].size(), kWidths[i]) << "golden field " << i << " '" << fields[i] << "'";
    record += fields[i];
  }
  return record;
}

// Fields 14 to 34 all zero: HQHYCC and the ten level pairs.
std::vector<std::string> WithZeroLevels(std::vector<std::string> first14) {
  first14.push_back(Z12);
  for (int i = 0; i < 10; ++i) {
    first14.push_back(Z93);
    first14.push_back(Z12);
  }
  return first14;
}

class SjshqTest : public ::testing::Test {
 protected:
  // One write cycle in the order the processor drives it; returns the file.
  std::string Cycle(const std::vector<StockQuoteRecord>& quotes,
                    const std::vector<VolumeStatRecord>& stats,
                    const std::vector<IndexQuoteRecord>& indexes, uint32_t estimate,
                    bool lostHighVol = false) {
    SZSjshqFile file(lostHighVol);
    EXPECT_EQ(file.Open(path_), 1);
    EXPECT_EQ(file.WriteFirstRecord(clock_, estimate), 1);
    EXPECT_EQ(file.WriteStockRows(quotes, tables_), 1);
    EXPECT_EQ(file.WriteStatisticsRows(stats), 1);
    EXPECT_EQ(file.WriteIndexRows(indexes), 1);
    EXPECT_EQ(file.Flush(), 1);
    file.Abort();
    return ::fw::test::ReadFileBytes(path_);
  }
  std::string Record(const std::string& file, size_t i) const {
    return test::RecordBytes(file, kHeaderLength, kRecordLength, i);
  }
  // The record of one stock quote row (record 1 of a cycle with only that row).
  std::string StockRow(const StockQuoteRecord& quote, bool lostHighVol = false) {
    return Record(Cycle({quote}, {}, {}, 1, lostHighVol), 1);
  }
  refdata::SecurityRecord* Security(const char* code, int16_t type) {
    refdata::SecurityRecord* s = test::AddReference(tables_.securities, code);
    s->SecurityType = type;
    return s;
  }

  ::fw::test::TempDir dir_;
  std::string path_ = dir_.File("SJSHQ.DBF");
  ::fw::test::FakeClock localClock_{20260305, 143005};
  market::MarketClock clock_{20260305, 93015, 250, '1', '1', '1', '0'};
  refdata::ReferenceTables tables_;
};

TEST_F(SjshqTest, FirstRecordCarriesTheMarketDateTimeAndAuctionFlag) {
  const std::string file = Cycle({}, {}, {}, 3);
  ASSERT_EQ(file.size(), kHeaderLength + 4 * kRecordLength);
  EXPECT_EQ(file[4], 4);  // row estimate + 1
  EXPECT_EQ(file[kHeaderLength - 1], 0x0D);
  std::vector<std::string> fields = {"000000", "20260305",  "    1.000", Z93, Z93, "           1",
                                     Z17,      "    93015", Z93,         Z93, Z7,  Z7,
                                     Z93,      Z93,         Z12};
  for (int i = 0; i < 9; ++i) {
    fields.push_back(Z93);
    fields.push_back(Z12);
  }
  fields.push_back(Z93);
  fields.push_back("    14300500");  // the machine's time 14:30:05, times 100
  EXPECT_EQ(Record(file, 0), Golden(fields));
  EXPECT_EQ(Record(file, 1), std::string(kRecordLength, ' '));
  EXPECT_EQ(Record(file, 3), std::string(kRecordLength, ' '));
}

TEST_F(SjshqTest, FirstRecordShowsAnOpenAuctionAsZero) {
  clock_.AuctionClosed = '0';
  clock_.marketDate = 20261231;
  const std::string record = Record(Cycle({}, {}, {}, 0), 0);
  EXPECT_EQ(record.substr(7, 8), "20261231");
  EXPECT_EQ(record.substr(kHQCJSL, 12), Z12);
}

TEST_F(SjshqTest, SecurityRowGolden) {
  Security("000001", 1);
  StockQuoteRecord q = StockQuote("000001", "平安银行");
  q.prevClose = 12340;
  q.open = 12350;
  q.last = 12400;
  q.volume = 123456789;
  q.turnover = 1525000123456;
  q.trades = 4567;
  q.high = 12500;
  q.low = 12300;
  q.indicator1 = 1234;   // 12.34
  q.indicator2 = 56789;  // 5.6789
  q.change1 = 60;
  q.change2 = -25;
  for (int i = 0; i < 5; ++i) {
    q.askPrice[i] = 12410 + 10 * i;
    q.askVolume[i] = 100 * (i + 1);
    q.bidPrice[i] = 12390 - 10 * i;
    q.bidVolume[i] = 1000 * (i + 1);
  }
  EXPECT_EQ(
      StockRow(q),
      Golden(
          {"000001",       "平安银行",          "   12.340",    "   12.350",    "   12.400",
           "   123456789", "   1525000123.456", "     4567",    "   12.500",    "   12.300",
           "  12.34",      "   5.68",           "    0.060",    "   -0.025",    Z12,
           "   12.450",    "         500",      "   12.440",    "         400", "   12.430",
           "         300", "   12.420",         "         200", "   12.410",    "         100",
           "   12.390",    "        1000",      "   12.380",    "        2000", "   12.370",
           "        3000", "   12.360",         "        4000", "   12.350",    "        5000"}));
}

TEST_F(SjshqTest, IssueRowGolden) {
  test::AddReference(tables_.issueParams, "070001");
  StockQuoteRecord q = StockQuote("070001", "ISSUE01");
  q.prevClose = 10000;
  q.high = 11000;
  q.last = 10500;  // not shown in an issue row
  q.volume = 77;
  EXPECT_EQ(StockRow(q),
            Golden(WithZeroLevels({"070001", "ISSUE01 ", "   10.000", Z93, Z93, Z12, Z17, Z9,
                                   "   11.000", "99999.999", Z7, Z7, Z93, Z93})));
  q.low = 9000;
  EXPECT_EQ(StockRow(q).substr(kHQZDCJ, 9), "    9.000");
}

TEST_F(SjshqTest, RightsIssueAndBondDistributionRowsGolden) {
  test::AddReference(tables_.rightsIssueParams, "080001");
  test::AddReference(tables_.bondDistributionParams, "120001");
  StockQuoteRecord rights = StockQuote("080001", "RIGHTS");
  rights.prevClose = 5500;
  rights.high = 6000;  // not shown
  rights.low = 5000;   // not shown: always 99999.999
  StockQuoteRecord bond = StockQuote("120001", "BOND");
  bond.prevClose = 1000;
  const std::string file = Cycle({rights, bond}, {}, {}, 2);
  EXPECT_EQ(Record(file, 1),
            Golden(WithZeroLevels({"080001", "RIGHTS  ", "    5.500", Z93, Z93, Z12, Z17, Z9, Z93,
                                   "99999.999", Z7, Z7, Z93, Z93})));
  EXPECT_EQ(Record(file, 2),
            Golden(WithZeroLevels({"120001", "BOND    ", "    1.000", Z93, Z93, Z12, Z17, Z9, Z93,
                                   "99999.999", Z7, Z7, Z93, Z93})));
}

TEST_F(SjshqTest, StatisticsRowGolden) {
  VolumeStatRecord s = Stat("000010", "STATS01");
  s.stockNum = 1500;
  s.volume = 1234567890123;
  s.turnover = 987654321000;
  s.trades = 321;
  const std::string file = Cycle({}, {s}, {}, 1);
  EXPECT_EQ(Record(file, 1),
            Golden(WithZeroLevels({"000010", "STATS01 ", " 1500.000", Z93, Z93, "999999999999",
                                   "    987654321.000", "      321", Z93, Z93, Z7, Z7, Z93, Z93})));
}

// HQCJJE, 17.3: the largest turnovers that fit and the nines of those that do not. From 10^15
// thousandths on, the value goes through a double: 9999999999999998 is one exactly, times 0.001
// it is 9999999999999.998046875; 9999999999999999 becomes 10^16, which needs 18 characters.
TEST_F(SjshqTest, TurnoverFillsItsSeventeenCharactersOrShowsNines) {
  const struct {
    int64_t turnover;
    const char* shown;
  } cases[] = {
      {999999999999999, " 999999999999.999"},   {-999999999999999, "-999999999999.999"},
      {9999999999999998, "9999999999999.998"},  {9999999999999999, "9999999999999.999"},
      {10000000000000000, "9999999999999.999"}, {-1000000000000000, "9999999999999.999"},
      {INT64_MAX, "9999999999999.999"},
  };
  std::vector<VolumeStatRecord> stats;
  for (const auto& c : cases) {
    stats.push_back(Stat("000010", "S"));
    stats.back().turnover = c.turnover;
  }
  const std::string file = Cycle({}, stats, {}, static_cast<uint32_t>(stats.size()));
  for (size_t i = 0; i < stats.size(); ++i) {
    EXPECT_EQ(Record(file, i + 1).substr(54, 17), cases[i].shown) << cases[i].turnover;
  }
}

TEST_F(SjshqTest, IndexRowGolden) {
  IndexQuoteRecord x = IndexQuote("399001", "深证成指");
  x.prevClose = 3010000;
  x.open = 3005000;
  x.current = 3000000;
  x.volume = 5000000000;
  x.turnover = 60000000000000;
  x.high = 3020000;
  x.low = 2990000;
  const std::string file = Cycle({}, {}, {x}, 1);
  EXPECT_EQ(Record(file, 1),
            Golden(WithZeroLevels({"399001", "深证成指", " 3010.000", " 3005.000", " 3000.000",
                                   "  5000000000", "  60000000000.000", Z9, " 3020.000",
                                   " 2990.000", Z7, Z7, "  -10.000", Z93})));
}

TEST_F(SjshqTest, NamesCutInsideACharacterLoseTheirLeadByte) {
  // "*ST", two characters and the lead byte of a third: the name's 8 bytes.
  const char* name = "*ST\xC6\xBD\xB0\xB2\xD2";
  Security("000001", 1);
  const std::string file =
      Cycle({StockQuote("000001", name)}, {Stat("000010", name)}, {IndexQuote("399001", name)}, 3);
  for (size_t i = 1; i <= 3; ++i) EXPECT_EQ(Record(file, i).substr(7, 8), "*ST\xC6\xBD\xB0\xB2 ");
}

TEST_F(SjshqTest, IndexLowOfZeroIsNotReplaced) {
  IndexQuoteRecord x = IndexQuote("399001", "INDEX");
  const std::string record = Record(Cycle({}, {}, {x}, 1), 1);
  EXPECT_EQ(record.substr(kHQZDCJ, 9), Z93);
}

TEST_F(SjshqTest, IndexChangeSurvivesExtremeValues) {
  IndexQuoteRecord x = IndexQuote("399001", "INDEX");
  x.current = std::numeric_limits<int64_t>::max();
  x.prevClose = -1;
  const std::string record = Record(Cycle({}, {}, {x}, 1), 1);
  EXPECT_EQ(record.substr(112, 9), "99999.999");
}

TEST_F(SjshqTest, UntradedSecurityShowsNinesLow) {
  Security("000002", 1);
  StockQuoteRecord q = StockQuote("000002", "WANKE");
  q.prevClose = 20000;
  EXPECT_EQ(StockRow(q).substr(kHQZDCJ, 9), "99999.999");
}

TEST_F(SjshqTest, VolumeAboveTwelveDigitsIsClampedOrCut) {
  Security("000001", 1);
  const struct {
    int64_t volume;
    bool lostHighVol;
    const char* shown;
  } cases[] = {
      {1234567890123, false, "999999999999"}, {1234567890123, true, "234567890123"},
      {999999999999, false, "999999999999"},  {999999999999, true, "999999999999"},
      {1000000000000, true, "           0"},  {-5, false, "          -5"},
  };
  for (const auto& c : cases) {
    StockQuoteRecord q = StockQuote("000001", "X");
    q.volume = c.volume;
    const std::string record = StockRow(q, c.lostHighVol);
    EXPECT_EQ(record.substr(kHQCJSL, 12), c.shown) << c.volume << " " << c.lostHighVol;
  }
}

struct YieldCase {
  int16_t type;
  double nav;
  float interest;
  double parValue;
  int64_t indicator1;
  int64_t indicator2;
  const char* hqsyl1;
  const char* hqsyl2;
};

TEST_F(SjshqTest, YieldColumnsFollowTheSecurityType) {
  const double inf = std::numeric_limits<double>::infinity();
  const YieldCase cases[] = {
      // Funds of type 25: NAV * 100 rounded by trunc((x + 0.00501) * 100) / 100.
      {25, 1.23456, 0, 0, 0, 999, " 123.46", Z7.c_str()},  // 12346.101 -> 123.46
      {25, 1.234449, 0, 0, 0, 0, " 123.44", Z7.c_str()},   // 12344.9909 -> 123.44
      // Bonds: the single-precision Interest; 1.234f is 1.2339999675..., 1.235f is 1.2350000143...
      {5, 0, 1.234f, 0, 0, 0, "   1.23", Z7.c_str()},
      {5, 0, 1.235f, 0, 0, 0, "   1.24", Z7.c_str()},
      {9, 0, 2.5f, 0, 0, 777, "   2.50", Z7.c_str()},
      // Other funds: par value 100 (99.9999 to 100.001) takes NAV * 10 and indicator2 * 0.001.
      {14, 1.2345, 0, 100.0, 0, 1500, "  12.35", "   1.50"},
      {26, 1.2345, 0, 99.9999, 0, 1500, "  12.35", "   1.50"},
      {20, 1.2345, 0, 100.001, 0, 1500, "  12.35", "   1.50"},
      {23, 1.2345, 0, 99.9998, 0, 1500, " 123.45", "  15.00"},
      {24, 1.2345, 0, 1.0, 0, 1500, " 123.45", "  15.00"},
      // Everything else: indicator1 * 0.01 and indicator2 * 0.0001; 12345.67 does not fit 7.2.
      {1, 0, 0, 0, 1234567, 56789, "   0.00", "   5.68"},
      {1, 0, 0, 0, -1234, -56789, " -12.34", "  -5.68"},
      {10, 0, 0, 0, 4321, 12345678, "  43.21", "1234.57"},
      // A NAV that is no number, or too large for any integer, shows as the overflow text.
      {25, inf, 0, 0, 0, 0, "   0.00", Z7.c_str()},
      {25, std::numeric_limits<double>::quiet_NaN(), 0, 0, 0, 0, "   0.00", Z7.c_str()},
      {25, 1e300, 0, 0, 0, 0, "   0.00", Z7.c_str()},
  };
  for (const YieldCase& c : cases) {
    refdata::SecurityRecord* s = Security("159001", c.type);
    s->NAV = c.nav;
    s->Interest = c.interest;
    s->ParValue = c.parValue;
    StockQuoteRecord q = StockQuote("159001", "FUND");
    q.indicator1 = c.indicator1;
    q.indicator2 = c.indicator2;
    const std::string record = StockRow(q);
    EXPECT_EQ(record.substr(kHQSYL1, 7), c.hqsyl1) << "type " << c.type << " nav " << c.nav;
    EXPECT_EQ(record.substr(kHQSYL2, 7), c.hqsyl2) << "type " << c.type << " nav " << c.nav;
  }
}

TEST_F(SjshqTest, FailingSetterInASecurityRowEndsTheRow) {
  Security("000001", 1);
  StockQuoteRecord q = StockQuote("000001", "BIGTRADE");
  q.prevClose = 1000;
  q.trades = 1234567890;  // ten digits in the 9.0 field HQCJBS (field 7)
  q.high = 2000;
  testing::internal::CaptureStdout();
  const std::string record = StockRow(q);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "error in[7]\n");
  EXPECT_EQ(record.substr(0, kHQCJBS),
            std::string(" 000001BIGTRADE    1.000") + Z93 + Z93 + Z12 + Z17);
  EXPECT_EQ(record.substr(kHQCJBS), std::string(kRecordLength - kHQCJBS, ' '));
}

TEST_F(SjshqTest, FailingLevelVolumeIsReportedWithItsFieldNumber) {
  Security("000001", 1);
  StockQuoteRecord q = StockQuote("000001", "X");
  q.askVolume[4] = 10000000000000;  // HQSSL5, field 16
  testing::internal::CaptureStdout();
  const std::string record = StockRow(q);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "error in[16]\n");
  EXPECT_EQ(record.substr(142, 9), Z93);  // HQSJW5 was written
  EXPECT_EQ(record.substr(151), std::string(kRecordLength - 151, ' '));
}

TEST_F(SjshqTest, OtherRowKindsIgnoreFailingSetters) {
  VolumeStatRecord s = Stat("000010", "S");
  s.trades = 1234567890;  // does not fit HQCJBS
  s.volume = 5;
  testing::internal::CaptureStdout();
  const std::string record = Record(Cycle({}, {s}, {}, 1), 1);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
  EXPECT_EQ(record.substr(kHQCJBS, 9), std::string(9, ' '));
  EXPECT_EQ(record.substr(kHQCJSL, 12), "           5");
  EXPECT_EQ(record.substr(kHQZDCJ, 9), Z93);  // fields after it were still written
}

TEST_F(SjshqTest, TheFirstReferenceTableThatHoldsTheCodeDecidesTheRow) {
  Security("000001", 1);
  test::AddReference(tables_.issueParams, "000001");
  StockQuoteRecord q = StockQuote("000001", "BOTH");
  q.last = 5000;
  EXPECT_EQ(StockRow(q).substr(33, 9), "    5.000");  // HQZJCJ: a security row
  test::AddReference(tables_.issueParams, "070002");
  test::AddReference(tables_.rightsIssueParams, "070002");
  StockQuoteRecord issue = StockQuote("070002", "ISSUE");
  issue.high = 3000;
  EXPECT_EQ(StockRow(issue).substr(80, 9), "    3.000");  // HQZGCJ: an issue row
}

TEST_F(SjshqTest, SecuritiesAreFoundWhateverTheRowOrder) {
  // Securities 000002, 000004, ... 000060; rows ask ascending, with gaps, far ahead, backwards,
  // repeated, and for codes that no table holds.
  const auto code = [](int n) {
    std::string text = std::to_string(n);
    return std::string(6 - text.size(), '0') + text;
  };
  for (int n = 2; n <= 60; n += 2) Security(code(n).c_str(), 1);
  const int order[] = {2, 4, 5, 6, 40, 38, 60, 61, 2, 30, 30, 59, 1, 58};
  std::vector<StockQuoteRecord> quotes;
  for (int n : order) {
    StockQuoteRecord q = StockQuote(code(n).c_str(), "Q");
    q.last = n * 1000;
    quotes.push_back(q);
  }
  const std::string file = Cycle(quotes, {}, {}, static_cast<uint32_t>(quotes.size()));
  for (size_t i = 0; i < quotes.size(); ++i) {
    const int n = order[i];
    const std::string hqzjcj = Record(file, i + 1).substr(33, 9);
    if (n % 2 == 0) {
      const std::string text = std::to_string(n) + ".000";
      EXPECT_EQ(hqzjcj, std::string(9 - text.size(), ' ') + text) << n;
    } else {
      EXPECT_EQ(Record(file, i + 1), std::string(kRecordLength, ' ')) << n;
    }
  }
}

TEST_F(SjshqTest, RowsAdvanceTheCounterEvenWhenLeftBlank) {
  Security("000001", 1);
  StockQuoteRecord unknown = StockQuote("999999", "NOBODY");
  StockQuoteRecord noCode = StockQuote("", "");
  StockQuoteRecord known = StockQuote("000001", "KNOWN");
  VolumeStatRecord s = Stat("000010", "STAT");
  const std::string file = Cycle({unknown, noCode, known}, {s}, {}, 8);
  ASSERT_EQ(file.size(), kHeaderLength + 9 * kRecordLength);
  EXPECT_EQ(Record(file, 1), std::string(kRecordLength, ' '));
  EXPECT_EQ(Record(file, 2), std::string(kRecordLength, ' '));
  EXPECT_EQ(Record(file, 3).substr(0, 15), " 000001KNOWN   ");
  EXPECT_EQ(Record(file, 4).substr(0, 15), " 000010STAT    ");
  for (size_t i = 5; i < 9; ++i) EXPECT_EQ(Record(file, i), std::string(kRecordLength, ' ')) << i;
}

TEST_F(SjshqTest, RowsBeyondTheEstimateExtendTheFile) {
  IndexQuoteRecord a = IndexQuote("399001", "A");
  IndexQuoteRecord b = IndexQuote("399006", "B");
  VolumeStatRecord s = Stat("000010", "S");
  const std::string file = Cycle({}, {s}, {a, b}, 1);
  ASSERT_EQ(file.size(), kHeaderLength + 4 * kRecordLength);
  EXPECT_EQ(file[4], 4);
  EXPECT_EQ(Record(file, 3).substr(0, 8), " 399006B");
}

TEST_F(SjshqTest, EstimateAboveTheUsualRoomIsHonoured) {
  std::vector<VolumeStatRecord> stats(25000, Stat("000010", "S"));
  stats.back() = Stat("000011", "LAST");
  const std::string file = Cycle({}, stats, {}, 25000);
  ASSERT_EQ(file.size(), kHeaderLength + 25001 * kRecordLength);
  EXPECT_EQ(Record(file, 25000).substr(0, 11), " 000011LAST");
}

TEST_F(SjshqTest, FieldsAreFoundByTheirNamesInAnyCase) {
  SZSjshqFile file(false);
  ASSERT_EQ(file.Open(path_), 1);
  EXPECT_EQ(file.FindField("hqzqdm"), 0);
  EXPECT_EQ(file.FindField("HqSyL2"), 11);
  EXPECT_EQ(file.FindField("hqbsl5"), 34);
  EXPECT_EQ(file.HeaderLength(), kHeaderLength);
  EXPECT_EQ(file.RecordLength(), kRecordLength);
}

TEST_F(SjshqTest, OpenFailureAbortsTheTable) {
  SZSjshqFile file(false);
  EXPECT_LT(file.Open(dir_.File("missing/SJSHQ.DBF")), 0);
  EXPECT_FALSE(file.IsOpen());
  EXPECT_FALSE(file.HasImage());
}

TEST_F(SjshqTest, FlushFailureAbortsAndKeepsTheOldFile) {
  ::fw::test::WriteFileBytes(path_, "previous cycle");
  SZSjshqFile file(false);
  ASSERT_EQ(file.Open(path_), 1);
  ASSERT_EQ(file.WriteFirstRecord(clock_, 0), 1);
  platform::SetFileFaultHook([](platform::FileOp op, const std::string&, uint32_t) {
    return op == platform::FileOp::kWrite ? SystemErrorCode(28) : 0;
  });
  EXPECT_EQ(file.Flush(), -3);
  platform::SetFileFaultHook(nullptr);
  EXPECT_FALSE(file.IsOpen());
  EXPECT_FALSE(file.HasImage());
  EXPECT_EQ(::fw::test::ReadFileBytes(path_), "previous cycle");
}

TEST_F(SjshqTest, RowOperationsOnAClosedTableReportFailure) {
  SZSjshqFile file(false);
  const std::vector<IndexQuoteRecord> indexes = {IndexQuote("399001", "A")};
  EXPECT_LT(file.WriteFirstRecord(clock_, 1), 0);
  EXPECT_LT(file.WriteIndexRows(indexes), 0);
  EXPECT_EQ(file.Flush(), -1);
}

}  // namespace
}  // namespace fw::dbf
