// SJSXXN.DBF and SJSXX.DBF from a small reference day whose every field is known: golden records
// of every row kind written out by hand, the merge of the issue, rights-issue and
// bond-distribution codes into the securities, the per-SecurityType tables, the status letters,
// the price limits, the failure log lines, and that a second write gives the same bytes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "dbf/sjsxx_file.h"
#include "tests/dbf/dbf_file_view.h"
#include "tests/dbf/record_builders.h"
#include "tests/support/test_support.h"

namespace fw::dbf {
namespace {

using refdata::SecurityRecord;
using test::AddReference;
using test::Blanks;
using test::Concat;
using test::DbfFileView;
using test::ExpectRecord;

template <size_t N>
void Put(char (&field)[N], const char* text) {
  std::memset(field, 0, N);
  std::memcpy(field, text, std::min(N, std::strlen(text)));
}

class SjsxxFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    catcher_ = ::fw::test::WindowCatcher::Install();
    tables_.cashAuctionParams.BeginLoad();
    tables_.negotiationParams.BeginLoad();
    tables_.afterHoursParams.BeginLoad();
  }
  void TearDown() override { ::fw::test::WindowCatcher::Uninstall(); }

  // A security as the loader leaves it: the four flag letters blank.
  SecurityRecord& Security(const char* code, int16_t type, const char* symbol) {
    SecurityRecord& s = *AddReference(tables_.securities, code);
    s.SecurityType = type;
    Put(s.Symbol, symbol);
    s.haltFlag = s.marginFlag = s.statusLetter = s.spareFlag = ' ';
    return s;
  }
  refdata::CashAuctionParamsRecord& Cash(const char* code) {
    auto* r = AddReference(tables_.cashAuctionParams, code);
    tables_.cashAuctionParams.MarkLoaded(r);
    return *r;
  }
  refdata::NegotiationParamsRecord& Negotiation(const char* code) {
    auto* r = AddReference(tables_.negotiationParams, code);
    tables_.negotiationParams.MarkLoaded(r);
    return *r;
  }
  refdata::AfterHoursParamsRecord& AfterHours(const char* code) {
    auto* r = AddReference(tables_.afterHoursParams, code);
    tables_.afterHoursParams.MarkLoaded(r);
    return *r;
  }
  void Switch(const char* code, int type, char value) {
    AddReference(tables_.securitySwitch, code)->switches[type - 1] = value;
  }
  static void Phase(SecurityRecord& s, const char* phase, char letter) {
    s.tradingPhase[0] = phase[0];
    s.tradingPhase[1] = phase[1];
    s.haltFlag = letter;
  }

  DbfFileView Write(SecurityInfoFile& file, const std::string& name) {
    const std::string path = dir_.File(name);
    EXPECT_EQ(file.Open(path), 0);
    EXPECT_EQ(file.WriteFile(tables_, refdata::FeedOverlay::From(tables_), clock_), 0);
    file.Close();
    return DbfFileView(::fw::test::ReadFileBytes(path));
  }
  DbfFileView WriteN() {
    SZSjsxxnFile file;
    return Write(file, "SJSXXN.DBF");
  }
  DbfFileView WriteX() {
    SZSjsxxFile file;
    return Write(file, "SJSXX.DBF");
  }

  // The day of the golden records (records in file order):
  //   1 issue 000050, 2 security 000100, 3 security 000200, 4 rights issue 000250, 5 security
  //   000300 (also an issue code), 6 security 000400, 7 security 000500, 8 security 000600,
  //   9 bond distribution 000900, 10 statistic 000010, 11 index 399001, 12 blank.
  void BuildDay() {
    SecurityRecord& a = Security("000100", 1, "平安银行");
    Put(a.EnglishName, "ALPHA CO");
    Put(a.ISIN, "CNE000000001");
    Put(a.Currency, "CNY");
    Put(a.IndustryClassification, "C39");
    a.ParValue = 1.0;
    a.PrevClosePx = 10.0;
    a.QtyUnit = 100;
    a.OutstandingShare = 1000000;
    a.PublicFloatShareQuantity = 800000;
    a.PreviousYearProfitPerShare = 0.5;
    a.ListDate = 20100101;
    a.DayTrading = 'N';
    a.stockOfferingFlag = 'N';
    a.CrdBuyUnderlying = 'Y';
    a.CrdSellUnderlying = 'N';
    a.marginFlag = 'C';
    a.GageFlag = 'Y';
    a.GageRatio = 0.7f;
    a.ContractMultiplier = 1.0f;
    a.PriceCheckMode = '1';
    a.QualificationFlag = 'F';
    Phase(a, "T0", '.');
    auto& ca = Cash("000100");
    ca.BuyQtyUpperLimit = 1000000;
    ca.BuyQtyUnit = 100;
    ca.SellQtyUnit = 1;
    ca.PriceTick = 0.01;
    ca.settingCount = 1;
    ca.settings[0] = {'T', 'Y', '1', '1', 0.1, 0.1, 0, 0, 'N', '1', 0, 0};
    ca.MarketMakerFlag = 'N';
    Switch("000100", 1, 'T');
    Switch("000100", 2, 'F');

    SecurityRecord& b = Security("000200", 2, "BETA B");
    Put(b.Currency, "USD");
    b.ParValue = 0;
    b.PrevClosePx = 5.0;
    b.QtyUnit = 100;
    b.DayTrading = 'Y';
    Phase(b, "T1", 'Y');
    auto& cb = Cash("000200");
    cb.BuyQtyUpperLimit = 500000;
    cb.BuyQtyUnit = 100;
    cb.SellQtyUnit = 100;
    cb.PriceTick = 0.001;
    auto& nb = Negotiation("000200");
    nb.BuyQtyUnit = 10000;
    nb.SellQtyUnit = 1;
    nb.PriceTick = 0.05f;
    nb.PriceUpperLimit = 6.5f;
    nb.PriceLowerLimit = 3.5f;

    SecurityRecord& c = Security("000300", 1, "*ST GAMMA");
    c.statusCodes[0] = 2;
    c.statusCodes[1] = 3;
    c.statusCodes[2] = 6;
    c.statusLetter = 'N';
    Phase(c, "H0", 'H');
    Cash("000300").BuyQtyUnit = 100;

    SecurityRecord& d = Security("000400", 5, "BOND5");
    d.CouponRate = 0;
    d.IssuePrice = 100.0;
    d.Interest = 1.5f;
    d.ListDate = 20200101;
    d.InterestAccrualDate = 20200115;
    d.MaturityDate = 20250115;
    d.bondOfferingFlag = 'Y';
    d.statusCodes[0] = 4;
    auto& nd = Negotiation("000400");
    nd.BuyQtyUnit = 1000;
    nd.SellQtyUnit = 10;
    nd.PriceTick = 0.001f;
    nd.PriceUpperLimit = 120.0f;
    nd.PriceLowerLimit = 80.0f;

    SecurityRecord& e = Security("000500", 14, "FUND E");
    e.NAV = 1.2345;
    e.DayTrading = 'Y';
    auto& he = AfterHours("000500");
    he.BuyQtyUnit = 200;
    he.SellQtyUnit = 100;
    Switch("000500", 3, 'T');
    Switch("000500", 13, 'F');

    SecurityRecord& f = Security("000600", 29, "OPTION F");
    f.optionExerciseBeginDate = 20260101;
    f.ExerciseEndDate = 20261231;

    auto* issue = AddReference(tables_.issueParams, "000050");
    issue->SecurityType = 25;
    Put(issue->Symbol, "NEWISSUE");
    issue->PriceUpperLimit = 12.5;
    issue->PriceLowerLimit = 10.0;
    issue->OutStandingShare = 5000000;
    issue->StartDate = 20260310;
    issue->QtyUpperLimit = 1e10;
    issue->Unit = 500;
    Put(AddReference(tables_.issueParams, "000300")->Symbol, "DUPLICAT");

    auto* rights = AddReference(tables_.rightsIssueParams, "000250");
    Put(rights->Symbol, "RIGHTS1");
    Put(rights->UnderlyingSecurityID, "000200");

    auto* bond = AddReference(tables_.bondDistributionParams, "000900");
    Put(bond->Symbol, "BONDDIST");
    Put(bond->UnderlyingSecurityID, "000400");
    bond->SecurityType = 25;
    bond->SelfListQty = 300000;
    bond->QtyUpperLimit = 50000;

    auto* stat = AddReference(tables_.stat, "000010");
    Put(stat->Symbol, "STATA");
    Put(stat->EnglishName, "STAT A");
    auto* index = AddReference(tables_.indexInfo, "399001");
    Put(index->Symbol, "深证成指");
    Put(index->EnglishName, "SZSE COMPONENT");
  }

  ::fw::test::TempDir dir_;
  ::fw::test::FakeClock localClock_{20260305, 93005};
  std::shared_ptr<::fw::test::WindowCatcher> catcher_;
  market::MarketClock clock_{20260305, 93015, 250, '1', '0', '1', '0'};
  refdata::ReferenceTables tables_;
};

// Pieces that recur in the hand-written records.
const std::string kZero72 = "   0.00";       // 7.2
const std::string kZero12 = "           0";  // 12.0
const std::string kZero94 = "   0.0000";     // 9.4
const std::string kZero76 = ".000000";       // 7.6
const std::string kNoDate = "       0";      // D 8
const std::string kZero93 = "    0.000";     // 9.3
const std::string kZero73 = "  0.000";       // 7.3
const std::string kZero52 = " 0.00";         // 5.2

TEST_F(SjsxxFileTest, RecordCountCountsEveryReferenceRecord) {
  BuildDay();
  const DbfFileView n = WriteN();
  const DbfFileView x = WriteX();
  EXPECT_EQ(n.Records(), 13u);
  EXPECT_EQ(n.HeaderLength(), 1729u);
  EXPECT_EQ(n.RecordLength(), 302u);
  EXPECT_EQ(n.Size(), 1729u + 13u * 302u);
  EXPECT_EQ(x.Records(), 13u);
  EXPECT_EQ(x.HeaderLength(), 1025u);
  EXPECT_EQ(x.RecordLength(), 199u);
  EXPECT_EQ(x.Size(), 1025u + 13u * 199u);
}

TEST_F(SjsxxFileTest, RowsFollowCodeOrderWithParameterCodesMergedIn) {
  BuildDay();
  const DbfFileView n = WriteN();
  const std::vector<std::string> codes = {"000000", "000050", "000100", "000200", "000250",
                                          "000300", "000400", "000500", "000600", "000900",
                                          "000010", "399001", "      "};
  for (uint32_t i = 0; i < codes.size(); ++i) EXPECT_EQ(n.Get(i, "XXZQDM"), codes[i]) << i;
  // The security stands for the issue code it shares.
  EXPECT_EQ(n.Get(5, "XXZQJC"), "*ST GAMM");
  EXPECT_EQ(n.Record(12), Blanks(302));
}

TEST_F(SjsxxFileTest, FirstRecordOfSjsxxn) {
  BuildDay();
  ExpectRecord(WriteN(), 0,
               Concat({" ",       "000000",   "20260305", Blanks(4), "Special Record      ",
                       Blanks(6), Blanks(12), Blanks(3),  Blanks(2), kZero72,
                       kZero12,   kZero12,    kZero94,    kZero94,   kZero94,
                       kZero76,   kZero76,    kZero76,    kNoDate,   kNoDate,
                       kNoDate,   "   0",     " 93015",   "   250",  "        0",
                       "0.000",   kZero73,    kZero73,    "0",       kZero93,
                       kZero93,   kZero93,    kZero93,    kZero52,   kZero52,
                       Blanks(46)}));
}

TEST_F(SjsxxFileTest, FirstRecordOfSjsxx) {
  BuildDay();
  ExpectRecord(WriteX(), 0, Concat({" ",     "000000",    "20260305", "Special Record      ",
                                    "   0",  Blanks(3),   Blanks(2),  kZero72,
                                    kZero12, kZero12,     kZero94,    kZero94,
                                    kZero76, kZero76,     kZero76,    kNoDate,
                                    kNoDate, "        0", " 93015",   "   250",
                                    "0.000", kZero73,     kZero73,    "0",
                                    kZero93, kZero93,     kZero52,    " ",
                                    " ",     " ",         " ",        " "}));
}

TEST_F(SjsxxFileTest, SecurityRowOfSjsxxn) {
  BuildDay();
  ExpectRecord(WriteN(), 2,
               Concat({" ",
                       "000100",
                       "平安银行",
                       ".C..",
                       "ALPHA CO            ",
                       Blanks(6),
                       "CNE000000001",
                       "C39",
                       "00",
                       "   1.00",
                       "     1000000",
                       "      800000",
                       "   0.5000",
                       kZero94,
                       kZero94,
                       kZero76,
                       kZero76,
                       kZero76,
                       "20100101",
                       kNoDate,
                       kNoDate,
                       " 100",
                       "   100",
                       "     1",
                       "  1000000",
                       "0.010",
                       kZero73,
                       kZero73,
                       "1",
                       "   11.000",
                       "    9.000",
                       kZero93,
                       kZero93,
                       " 1.00",
                       " 0.70",
                       "T",
                       "F",
                       " ",
                       "F",
                       Blanks(2),
                       Blanks(4),
                       "N",
                       "N",
                       "G",
                       "2",
                       " ",
                       "T",
                       "F",
                       "1",
                       "F",
                       "F   FF  ",
                       " 93005",
                       Blanks(12),
                       " "}));
}

TEST_F(SjsxxFileTest, SecurityRowOfSjsxx) {
  BuildDay();
  ExpectRecord(WriteX(), 2,
               Concat({" ",
                       "000100",
                       "平安银行",
                       "ALPHA CO            ",
                       " 100",
                       "C39",
                       "00",
                       "   1.00",
                       "     1000000",
                       "      800000",
                       "   0.5000",
                       kZero94,
                       kZero76,
                       kZero76,
                       kZero76,
                       "20100101",
                       kNoDate,
                       "  1000000",
                       "   100",
                       "     1",
                       "0.010",
                       kZero73,
                       kZero73,
                       "1",
                       "   11.000",
                       "    9.000",
                       " 1.00",
                       "N",
                       "N",
                       "F",
                       "N",
                       " "}));
}

TEST_F(SjsxxFileTest, IssueRowOfSjsxxn) {
  BuildDay();
  ExpectRecord(WriteN(), 1,
               Concat({" ",
                       "000050",
                       "NEWISSUE",
                       "..IC",
                       Blanks(20),
                       "000050",
                       Blanks(12),
                       Blanks(3),
                       Blanks(2),
                       kZero72,
                       "     5000000",
                       kZero12,
                       kZero94,
                       kZero94,
                       kZero94,
                       kZero76,
                       kZero76,
                       kZero76,
                       "20260310",
                       kNoDate,
                       kNoDate,
                       "   0",
                       "   500",
                       "     0",
                       "999999999",
                       "0.000",
                       kZero73,
                       kZero73,
                       "1",
                       "   12.500",
                       "   10.000",
                       kZero93,
                       kZero93,
                       kZero52,
                       kZero52,
                       "F",
                       "F",
                       " ",
                       "F",
                       Blanks(2),
                       Blanks(4),
                       "C",
                       "F",
                       " ",
                       "0",
                       " ",
                       "F",
                       "F",
                       "0",
                       "F",
                       "TTTT F  ",
                       " 93005",
                       Blanks(12),
                       " "}));
}

TEST_F(SjsxxFileTest, IssueRowOfSjsxx) {
  BuildDay();
  ExpectRecord(WriteX(), 1,
               Concat({" ",         "000050",    "NEWISSUE",     Blanks(20), "   0",  Blanks(3),
                       "00",        kZero72,     "     5000000", kZero12,    kZero94, kZero94,
                       kZero76,     kZero76,     kZero76,        "20260310", kNoDate, "999999999",
                       "   500",    "     0",    "0.000",        kZero73,    kZero73, "1",
                       "   12.500", "   10.000", kZero52,        "F",        "C",     "F",
                       "N",         " "}));
}

// Rights-issue and bond-distribution rows of SJSXXN differ in the kind letter source, the
// quantities and the status code.
TEST_F(SjsxxFileTest, RightsAndBondRowsOfSjsxxn) {
  BuildDay();
  const DbfFileView n = WriteN();
  const auto row = [](const char* code, const char* name, const char* underlying,
                      const std::string& shares, const std::string& maximum, const char* status) {
    return Concat({" ",       code,        name,     "....",     Blanks(20), underlying, Blanks(12),
                   Blanks(3), Blanks(2),   kZero72,  shares,     kZero12,    kZero94,    kZero94,
                   kZero94,   kZero76,     kZero76,  kZero76,    kNoDate,    kNoDate,    kNoDate,
                   "   0",    "     0",    "     0", maximum,    "0.000",    kZero73,    kZero73,
                   "1",       "99999.999", kZero93,  kZero93,    kZero93,    kZero52,    kZero52,
                   "F",       "F",         " ",      "F",        Blanks(2),  Blanks(4),  "N",
                   status,    " ",         "0",      " ",        "F",        "F",        "0",
                   "F",       "TTTTTF  ",  " 93005", Blanks(12), " "});
  };
  ExpectRecord(n, 4, row("000250", "RIGHTS1 ", "000200", kZero12, "        0", "N"));
  // Bond SecurityType 25: no 'C' for bond rows.
  ExpectRecord(n, 9, row("000900", "BONDDIST", "000400", "      300000", "    50000", "P"));
}

TEST_F(SjsxxFileTest, RightsAndBondRowsOfSjsxx) {
  BuildDay();
  const DbfFileView x = WriteX();
  const auto row = [](const char* code, const char* name, const std::string& shares,
                      const std::string& maximum, const char* status) {
    return Concat({" ",         code,    name,     Blanks(20), "   0",  Blanks(3), "00",    kZero72,
                   shares,      kZero12, kZero94,  kZero94,    kZero76, kZero76,   kZero76, kNoDate,
                   kNoDate,     maximum, "     0", "     0",   "0.000", kZero73,   kZero73, "1",
                   "99999.999", kZero93, kZero52,  status,     "N",     "F",       "N",     " "});
  };
  ExpectRecord(x, 4, row("000250", "RIGHTS1 ", kZero12, "        0", "N"));
  ExpectRecord(x, 9, row("000900", "BONDDIST", "      300000", "    50000", "P"));
}

TEST_F(SjsxxFileTest, StatisticAndIndexRowsOfSjsxxn) {
  BuildDay();
  const DbfFileView n = WriteN();
  const auto row = [](const char* code, const char* name, const char* english,
                      const std::string& currency) {
    return Concat({" ",       code,        name,     "....",      english,   code,      Blanks(12),
                   Blanks(3), currency,    kZero72,  kZero12,     kZero12,   kZero94,   kZero94,
                   kZero94,   kZero76,     kZero76,  kZero76,     kNoDate,   kNoDate,   kNoDate,
                   "   0",    "     0",    "     0", "        0", "0.000",   kZero73,   kZero73,
                   "1",       "99999.999", kZero93,  kZero93,     kZero93,   kZero52,   kZero52,
                   "F",       "F",         "Z",      "F",         Blanks(2), Blanks(4), "N",
                   "N",       " ",         "0",      " ",         "F",       "F",       "0",
                   "F",       "TTTTTF  ",  " 93005", Blanks(12),  " "});
  };
  ExpectRecord(n, 10, row("000010", "STATA   ", "STAT A              ", Blanks(2)));
  ExpectRecord(n, 11, row("399001", "深证成指", "SZSE COMPONENT      ", "00"));
}

TEST_F(SjsxxFileTest, StatisticAndIndexRowsOfSjsxx) {
  BuildDay();
  const DbfFileView x = WriteX();
  const auto row = [](const char* code, const char* name, const char* english) {
    return Concat({" ",     code,    name,    english,     "   0",   Blanks(3), "00",
                   kZero72, kZero12, kZero12, kZero94,     kZero94,  kZero76,   kZero76,
                   kZero76, kNoDate, kNoDate, "        0", "     0", "     0",  "0.000",
                   kZero73, kZero73, "1",     "99999.999", kZero93,  kZero52,   "N",
                   "N",     "F",     "N",     "Z"});
  };
  ExpectRecord(x, 10, row("000010", "STATA   ", "STAT A              "));
  ExpectRecord(x, 11, row("399001", "深证成指", "SZSE COMPONENT      "));
}

TEST_F(SjsxxFileTest, ForeignCurrencyParValueZeroAndNoLimitSetting) {
  BuildDay();
  const DbfFileView n = WriteN();
  const DbfFileView x = WriteX();
  for (const DbfFileView* file : {&n, &x}) {
    EXPECT_EQ(file->Get(3, "XXHBZL"), "  ");  // USD
    EXPECT_EQ(file->Get(3, "XXMGMZ"), "   1.00");
    EXPECT_EQ(file->Get(3, "XXZTJG"), "99999.999");
    EXPECT_EQ(file->Get(3, "XXDTJG"), "    0.000");
    EXPECT_EQ(file->Get(3, "XXJGDW"), "0.050");   // 'N': the negotiation price tick
    EXPECT_EQ(file->Get(3, "XXBLDW"), "   100");  // but the cash auction units
    EXPECT_EQ(file->Get(3, "XXMBXL"), "   500000");
  }
  EXPECT_EQ(n.Get(3, "XXJYLX"), "N");
  EXPECT_EQ(n.Get(3, "XXJYJD"), "0");  // T1
  EXPECT_EQ(n.Get(3, "XXTPBZ"), "Y");
  EXPECT_EQ(x.Get(3, "XXTPBZ"), "T");
  EXPECT_EQ(n.Get(3, "XXYWZT"), "    TF  ");  // SecurityType 2: the stock row, no offering flag
}

TEST_F(SjsxxFileTest, NameCutInsideACharacterLosesItsLeadByteAndTheEnglishNameKeepsItsBytes) {
  // "*ST", two characters and the lead byte of a third in the name's 8 bytes.
  SecurityRecord& s = Security("000001", 1, "*ST\xC6\xBD\xB0\xB2\xD2\xF8");
  // The English name as read from the file, UTF-8 cut inside "\xC3\xA9" by the 20 bytes.
  Put(s.EnglishName, "PING AN BANK CAFE X\xC3\xA9");
  for (const DbfFileView& file : {WriteN(), WriteX()}) {
    EXPECT_EQ(file.Get(1, "XXZQJC"), "*ST\xC6\xBD\xB0\xB2 ");
    EXPECT_EQ(file.Get(1, "XXYWJC"), "PING AN BANK CAFE X\xC3");
  }
}

TEST_F(SjsxxFileTest, StarStSymbolAndStatusCodes) {
  BuildDay();
  const DbfFileView n = WriteN();
  const DbfFileView x = WriteX();
  EXPECT_EQ(n.Get(5, "XXZQJB"), "*");
  EXPECT_EQ(x.Get(5, "XXZQJB"), "*");
  EXPECT_EQ(n.Get(5, "XXJCQZ"), "H.N.");
  EXPECT_EQ(n.Get(5, "XXZQZT"), "Y");  // 2, 3: 'A'; then 6: 'Y'
  EXPECT_EQ(x.Get(5, "XXCQCX"), "A");
  EXPECT_EQ(x.Get(5, "XXJYZT"), "Y");
  EXPECT_EQ(n.Get(5, "XXJYJD"), "3");
  EXPECT_EQ(n.Get(5, "XXTPBZ"), "H");
  EXPECT_EQ(x.Get(5, "XXTPBZ"), "F");
  EXPECT_EQ(n.Get(5, "XXJYLX"), "G");
}

TEST_F(SjsxxFileTest, NegotiationOnlyBond) {
  BuildDay();
  const DbfFileView n = WriteN();
  const DbfFileView x = WriteX();
  EXPECT_EQ(n.Get(6, "XXJYLX"), "O");
  EXPECT_EQ(n.Get(6, "XXZQJB"), "B");  // status 4 gives 'S', then 'O' gives 'B'
  EXPECT_EQ(x.Get(6, "XXZQJB"), "B");
  EXPECT_EQ(n.Get(6, "XXJCQZ"), "..W.");
  EXPECT_EQ(n.Get(6, "XXSNLR"), " 100.0000");  // type 5 without coupon: the issue price
  EXPECT_EQ(n.Get(6, "XXBNLR"), "   1.5000");
  EXPECT_EQ(n.Get(6, "XXSSRQ"), "20200101");
  EXPECT_EQ(x.Get(6, "XXSSRQ"), "20200115");  // SJSXX: the interest accrual date
  EXPECT_EQ(n.Get(6, "XXQXRQ"), "20200115");
  EXPECT_EQ(n.Get(6, "XXDJRQ"), "20250115");
  EXPECT_EQ(x.Get(6, "XXDJRQ"), "20250115");
  EXPECT_EQ(n.Get(6, "XXBLDW"), "  1000");
  EXPECT_EQ(n.Get(6, "XXSLDW"), "    10");
  EXPECT_EQ(n.Get(6, "XXMBXL"), "        0");
  EXPECT_EQ(n.Get(6, "XXJGDW"), "0.001");
  EXPECT_EQ(n.Get(6, "XXZTJG"), "  120.000");
  EXPECT_EQ(n.Get(6, "XXDTJG"), "   80.000");
  EXPECT_EQ(x.Get(6, "XXZTJG"), "  120.000");
  EXPECT_EQ(n.Get(6, "XXYWZT"), "TTTT F  ");  // no DayTrading letter
}

TEST_F(SjsxxFileTest, AfterHoursOnlyFundAndSecurityWithoutParameters) {
  BuildDay();
  const DbfFileView n = WriteN();
  EXPECT_EQ(n.Get(7, "XXJYLX"), " ");
  EXPECT_EQ(n.Get(7, "XXBLDW"), "   200");
  EXPECT_EQ(n.Get(7, "XXSLDW"), "   100");
  EXPECT_EQ(n.Get(7, "XXZQJB"), "E");
  EXPECT_EQ(n.Get(7, "XXJCQZ"), "...E");
  EXPECT_EQ(n.Get(7, "XXSNLR"), "   1.2345");
  EXPECT_EQ(n.Get(7, "XXYWZT"), " TF TF  ");
  // No parameters at all: the defaults chosen for a security without cash auction parameters.
  EXPECT_EQ(n.Get(8, "XXJYLX"), " ");
  EXPECT_EQ(n.Get(8, "XXBLDW"), "     0");
  EXPECT_EQ(n.Get(8, "XXSLDW"), "     0");
  EXPECT_EQ(n.Get(8, "XXMBXL"), "        0");
  EXPECT_EQ(n.Get(8, "XXJGDW"), "0.000");
  EXPECT_EQ(n.Get(8, "XXJHCS"), kZero73);
  EXPECT_EQ(n.Get(8, "XXLXCS"), kZero73);
  EXPECT_EQ(n.Get(8, "XXXJXZ"), "1");
  EXPECT_EQ(n.Get(8, "XXZTJG"), "99999.999");
  EXPECT_EQ(n.Get(8, "XXDTJG"), kZero93);
  EXPECT_EQ(n.Get(8, "XXZSBZ"), "F");
  EXPECT_EQ(n.Get(8, "XXQXRQ"), "20260101");  // option exercise dates
  EXPECT_EQ(n.Get(8, "XXDJRQ"), "20261231");
}

TEST_F(SjsxxFileTest, SecondWriteOverTheSameTablesGivesTheSameBytes) {
  BuildDay();
  // A record a creating look-up left in the negotiation table (not read from today's file) must
  // not turn 000100 into a negotiated security.
  AddReference(tables_.negotiationParams, "000100")->PriceTick = 9.0f;
  const size_t cash = tables_.cashAuctionParams.Size();
  const size_t negotiation = tables_.negotiationParams.Size();
  const size_t afterHours = tables_.afterHoursParams.Size();
  const size_t indexInfo = tables_.indexInfo.Size();
  const size_t switches = tables_.securitySwitch.Size();

  SZSjsxxnFile file;
  const std::string path = dir_.File("SJSXXN.DBF");
  ASSERT_EQ(file.Open(path), 0);
  const auto overlay = refdata::FeedOverlay::From(tables_);
  ASSERT_EQ(file.WriteFile(tables_, overlay, clock_), 0);
  const std::string first = ::fw::test::ReadFileBytes(path);
  ASSERT_EQ(file.Open(path), 0);
  ASSERT_EQ(file.WriteFile(tables_, overlay, clock_), 0);
  EXPECT_EQ(::fw::test::ReadFileBytes(path), first);
  EXPECT_EQ(DbfFileView(first).Get(2, "XXJYLX"), "G");
  EXPECT_EQ(DbfFileView(first).Get(2, "XXJGDW"), "0.010");

  EXPECT_EQ(tables_.cashAuctionParams.Size(), cash);
  EXPECT_EQ(tables_.negotiationParams.Size(), negotiation);
  EXPECT_EQ(tables_.afterHoursParams.Size(), afterHours);
  EXPECT_EQ(tables_.indexInfo.Size(), indexInfo);
  EXPECT_EQ(tables_.securitySwitch.Size(), switches);
}

TEST_F(SjsxxFileTest, PhaseLetterAndSwitchesComeFromTheOverlay) {
  BuildDay();
  auto overlay = refdata::FeedOverlay::From(tables_);
  // The receive thread moves on after the copy: the live record must not be read.
  tables_.securities.GetMutable(100)->tradingPhase[0] = 'E';
  tables_.securities.GetMutable(100)->haltFlag = 'H';
  Switch("000100", 1, 'F');
  SZSjsxxnFile file;
  const std::string path = dir_.File("SJSXXN.DBF");
  ASSERT_EQ(file.Open(path), 0);
  ASSERT_EQ(file.WriteFile(tables_, overlay, clock_), 0);
  const DbfFileView n(::fw::test::ReadFileBytes(path));
  EXPECT_EQ(n.Get(2, "XXJYJD"), "2");
  EXPECT_EQ(n.Get(2, "XXTPBZ"), " ");
  EXPECT_EQ(n.Get(2, "XXJCQZ"), ".C..");
  EXPECT_EQ(n.Get(2, "XXRZZT"), "T");
}

// One security whose trading phase runs through every case of XXJYJD and XXTPBZ.
TEST_F(SjsxxFileTest, TradingPhaseDigitAndSuspensionLetters) {
  struct Case {
    const char* phase;
    char letter;
    const char* jyjd;
    const char* tpbzN;
    const char* tpbzX;
  };
  const Case cases[] = {
      {"A0", ' ', "5", " ", "F"}, {"C0", '.', "4", " ", "F"}, {"E0", '.', "6", " ", "F"},
      {"H0", ' ', "3", "H", "F"}, {"O0", '.', "1", " ", "F"}, {"B0", '.', "0", " ", "F"},
      {"S0", '.', "0", " ", "F"}, {"T0", '.', "2", " ", "F"}, {"T1", ' ', "0", "Y", "T"},
      {"T2", ' ', " ", " ", "F"}, {"V0", ' ', " ", " ", "F"}, {"H1", ' ', "3", "H", "T"},
      {"T0", 'Y', "2", "Y", "T"}, {"T1", 'H', "0", "H", "F"}, {"\0\0", ' ', " ", " ", "F"},
  };
  SecurityRecord& s = Security("000001", 1, "ONE");
  Cash("000001");
  for (const Case& c : cases) {
    Phase(s, c.phase, c.letter);
    const DbfFileView n = WriteN();
    const DbfFileView x = WriteX();
    EXPECT_EQ(n.Get(1, "XXJYJD"), c.jyjd) << c.phase << c.letter;
    EXPECT_EQ(n.Get(1, "XXTPBZ"), c.tpbzN) << c.phase << c.letter;
    EXPECT_EQ(x.Get(1, "XXTPBZ"), c.tpbzX) << c.phase << c.letter;
  }
}

TEST_F(SjsxxFileTest, BusinessStatusBySecurityType) {
  SecurityRecord& s = Security("000001", 1, "ONE");
  s.stockOfferingFlag = 'Y';
  s.bondOfferingFlag = 'N';
  s.DayTrading = 'Y';
  s.QualificationFlag = 'T';
  Switch("000001", 6, 'T');
  Switch("000001", 3, 'F');
  Switch("000001", 12, 'T');
  Switch("000001", 4, 'F');
  Switch("000001", 13, 'F');
  Switch("000001", 8, 'F');
  Switch("000001", 22, 'T');
  struct Case {
    int16_t type;
    const char* expected;
  };
  const Case cases[] = {
      {1, "T   TF  "},  {2, "T   TF  "},  {3, "T   TF  "},  {4, "T   TF  "},  {6, "TTTTTR  "},
      {7, "TTTTTR  "},  {8, "FTF TF  "},  {10, "FTF TF  "}, {34, "FTF TF  "}, {14, " TF TF  "},
      {17, " TF TF  "}, {20, " TF TF  "}, {23, " TF TF  "}, {24, " TF TF  "}, {26, " TF TF  "},
      {28, "F   TF  "}, {33, "F  TT   "}, {5, "TTTTTF  "},  {9, "TTTTTF  "},  {11, "TTTTTF  "},
      {21, "TTTTTF  "}, {25, "TTTTTF  "}, {29, "TTTTTF  "}, {35, "TTTTTF  "}, {0, "TTTTTF  "},
  };
  for (const Case& c : cases) {
    s.SecurityType = c.type;
    EXPECT_EQ(WriteN().Get(1, "XXYWZT"), c.expected) << "SecurityType " << c.type;
  }
}

TEST_F(SjsxxFileTest, UnsetSwitchesGiveFOrBlank) {
  SecurityRecord& s = Security("000001", 8, "ONE");
  s.bondOfferingFlag = 'Y';
  s.DayTrading = 'N';
  EXPECT_EQ(WriteN().Get(1, "XXYWZT"), "TFF FF  ");
  s.SecurityType = 28;
  EXPECT_EQ(WriteN().Get(1, "XXYWZT"), "    FF  ");
  s.SecurityType = 33;
  EXPECT_EQ(WriteN().Get(1, "XXYWZT"), "T   F   ");
}

TEST_F(SjsxxFileTest, KindLetterAndStatusCodes) {
  struct Case {
    int16_t type;
    std::vector<int32_t> statuses;
    const char* symbol;
    const char* kind;
    const char* zqztN;
    const char* cqcxX;
    const char* jyztX;
  };
  const Case cases[] = {
      {14, {}, "E", "E", "N", "N", "N"},         {20, {}, "E", "E", "N", "N", "N"},
      {23, {}, "L", "L", "N", "N", "N"},         {24, {}, "L", "L", "N", "N", "N"},
      {25, {}, "C", "N", "N", "N", "N"},         {26, {}, "F", "F", "N", "N", "N"},
      {14, {4}, "S", "S", "N", "N", "N"},        {1, {5}, "P", "*", "N", "N", "N"},
      {1, {10}, "Z", "Z", "N", "N", "N"},        {1, {5, 4}, "Q", "S", "N", "N", "N"},
      {1, {4, 10}, "*ST X", "*", "N", "N", "N"}, {1, {2}, "A", "N", "E", "E", "N"},
      {1, {3}, "A", "N", "D", "D", "N"},         {1, {3, 2}, "A", "N", "A", "A", "N"},
      {1, {2, 2}, "A", "N", "E", "E", "N"},      {1, {6}, "A", "N", "Y", "N", "Y"},
      {1, {12}, "A", "N", "Z", "N", "Z"},        {1, {12, 6}, "A", "N", "Y", "N", "Y"},
      {1, {6, 2}, "A", "N", "Y", "E", "Y"},      {1, {2, 12, 3}, "A", "N", "Z", "A", "Z"},
  };
  SecurityRecord& s = Security("000001", 1, "ONE");
  Cash("000001");
  for (const Case& c : cases) {
    s.SecurityType = c.type;
    std::memset(s.statusCodes, 0, sizeof s.statusCodes);
    for (size_t i = 0; i < c.statuses.size(); ++i) s.statusCodes[i] = c.statuses[i];
    Put(s.Symbol, c.symbol);
    const DbfFileView n = WriteN();
    const DbfFileView x = WriteX();
    EXPECT_EQ(n.Get(1, "XXZQJB"), c.kind) << c.type << " " << c.symbol;
    EXPECT_EQ(x.Get(1, "XXZQJB"), c.kind) << c.type << " " << c.symbol;
    EXPECT_EQ(n.Get(1, "XXZQZT"), c.zqztN) << c.type << " " << c.symbol;
    EXPECT_EQ(x.Get(1, "XXCQCX"), c.cqcxX) << c.type << " " << c.symbol;
    EXPECT_EQ(x.Get(1, "XXJYZT"), c.jyztX) << c.type << " " << c.symbol;
  }
}

TEST_F(SjsxxFileTest, StatusLettersMarginAndFlags) {
  SecurityRecord& s = Security("000001", 25, "ONE");
  s.marginFlag = 'A';
  s.statusLetter = 'M';
  s.statusCodes[0] = 9;
  s.CrdBuyUnderlying = 'Y';
  s.CrdSellUnderlying = 'Y';
  s.PriceCheckMode = '2';
  Phase(s, "T0", 'Y');
  Cash("000001").MarketMakerFlag = 'Y';
  Switch("000001", 2, 'T');
  const DbfFileView n = WriteN();
  EXPECT_EQ(n.Get(1, "XXJCQZ"), "YAMC");
  EXPECT_EQ(n.Get(1, "XXWLTP"), "T");
  EXPECT_EQ(n.Get(1, "XXRZBD"), "T");
  EXPECT_EQ(n.Get(1, "XXRQBD"), "T");
  EXPECT_EQ(n.Get(1, "XXZSBZ"), "T");
  EXPECT_EQ(n.Get(1, "XXRZZT"), "F");
  EXPECT_EQ(n.Get(1, "XXRQZT"), "T");
  EXPECT_EQ(n.Get(1, "XXRQJX"), "2");
  EXPECT_EQ(n.Get(1, "XXDBZSL"), kZero52);  // GageFlag not 'Y'
  s.PriceCheckMode = '3';
  s.GageFlag = 'Y';
  s.GageRatio = 0.65f;
  EXPECT_EQ(WriteN().Get(1, "XXRQJX"), "0");
  EXPECT_EQ(WriteN().Get(1, "XXDBZSL"), " 0.65");
}

TEST_F(SjsxxFileTest, YieldColumnsBySecurityType) {
  SecurityRecord& s = Security("000001", 1, "ONE");
  s.PreviousYearProfitPerShare = -1.25;
  s.NAV = 2.5;
  s.CouponRate = 0.035f;
  s.IssuePrice = 99.5;
  s.Interest = 0.25f;
  struct Case {
    int16_t type;
    const char* first;
    const char* second;
  };
  const Case cases[] = {
      {1, "  -1.2500", kZero94.c_str()},  {15, "   2.5000", kZero94.c_str()},
      {25, "   2.5000", kZero94.c_str()}, {5, "   0.0350", "   0.2500"},
      {8, "   0.0350", "   0.2500"},      {35, "   0.0350", "   0.2500"},
      {33, "   0.2500", kZero94.c_str()}, {12, "  -1.2500", kZero94.c_str()},
  };
  for (const Case& c : cases) {
    s.SecurityType = c.type;
    const DbfFileView n = WriteN();
    EXPECT_EQ(n.Get(1, "XXSNLR"), c.first) << c.type;
    EXPECT_EQ(n.Get(1, "XXBNLR"), c.second) << c.type;
    EXPECT_EQ(n.Get(1, "XXLJJZ"), kZero94) << c.type;
  }
}

// trunc(x + 0.50001): 100.49999 tells it from + 0.5 (which gives 100), 100.49998 from + 0.501
// (which gives 101); truncation goes toward zero.
TEST_F(SjsxxFileTest, ShareCountsAddAFractionAboveAHalfAndTruncate) {
  const struct {
    double value;
    int64_t shown;
  } cases[] = {{100.49999, 101}, {100.49998, 100}, {1234.5, 1235}, {99.4999, 99}, {-1.6, -1}};
  SecurityRecord& s = Security("000001", 1, "ONE");
  auto& cash = Cash("000001");
  for (const auto& c : cases) {
    s.OutstandingShare = s.PublicFloatShareQuantity = s.QtyUnit = c.value;
    cash.BuyQtyUnit = cash.SellQtyUnit = cash.BuyQtyUpperLimit = c.value;
    const DbfFileView n = WriteN();
    const DbfFileView x = WriteX();
    for (const char* field : {"XXZFXL", "XXLTGS", "XXJYDW", "XXBLDW", "XXSLDW", "XXMBXL"}) {
      for (const DbfFileView* file : {&n, &x}) {
        const std::string text = file->Get(1, field);
        EXPECT_EQ(text, std::string(text.size() - std::to_string(c.shown).size(), ' ') +
                            std::to_string(c.shown))
            << field << " " << c.value;
      }
    }
  }
}

TEST_F(SjsxxFileTest, ListingDateOfSjsxxIsTheAccrualDateForMostBondTypes) {
  SecurityRecord& s = Security("000001", 0, "ONE");
  s.ListDate = 20100101;
  s.InterestAccrualDate = 20200115;
  const std::vector<int16_t> accrual = {5, 6, 7, 9, 10, 11, 34, 35};  // not 8
  for (int16_t type = 0; type <= 40; ++type) {
    s.SecurityType = type;
    const bool bond = std::find(accrual.begin(), accrual.end(), type) != accrual.end();
    EXPECT_EQ(WriteX().Get(1, "XXSSRQ"), bond ? "20200115" : "20100101") << type;
    EXPECT_EQ(WriteN().Get(1, "XXSSRQ"), "20100101") << type;
  }
}

TEST_F(SjsxxFileTest, CurrencyCodes) {
  SecurityRecord& s = Security("000001", 1, "ONE");
  const struct {
    const char* currency;
    const char* shown;
  } cases[] = {{"CNY", "00"},  {"HKD", "01"}, {"USD", "  "},
               {"CNYX", "  "}, {"HK", "  "},  {"", "  "}};
  for (const auto& c : cases) {
    Put(s.Currency, c.currency);
    EXPECT_EQ(WriteN().Get(1, "XXHBZL"), c.shown) << c.currency;
    EXPECT_EQ(WriteX().Get(1, "XXHBZL"), c.shown) << c.currency;
  }
}

TEST_F(SjsxxFileTest, PriceLimitsRoundToCentsForStocksAndMilsOtherwise) {
  SecurityRecord& s = Security("000001", 1, "ONE");
  s.PrevClosePx = 10.05;
  auto& cash = Cash("000001");
  cash.settingCount = 1;
  cash.settings[0] = {'T', 'Y', '1', '1', 0.1, 0.1, 0, 0, 'N', '1', 0, 0};
  // 1.1 * 10.05 = 11.055: a stock shows 11.06 (trunc of 1106.001), others 11.055.
  EXPECT_EQ(WriteN().Get(1, "XXZTJG"), "   11.060");
  EXPECT_EQ(WriteN().Get(1, "XXDTJG"), "    9.050");  // 0.9 * 10.05 = 9.045 + 0.00501
  s.SecurityType = 14;
  EXPECT_EQ(WriteN().Get(1, "XXZTJG"), "   11.055");
  EXPECT_EQ(WriteN().Get(1, "XXDTJG"), "    9.045");
}

TEST_F(SjsxxFileTest, AbsolutePriceLimitsDifferByFile) {
  Security("000001", 1, "ONE");
  auto& cash = Cash("000001");
  cash.settingCount = 1;
  // 12.3449995 * 1000 = 12344.9995: SJSXXN truncates it, SJSXX adds 0.00051 first.
  cash.settings[0] = {'T', 'Y', '1', '2', 0, 0, 12.3449995, 8.0, 'N', '1', 0, 0};
  EXPECT_EQ(WriteN().Get(1, "XXZTJG"), "   12.344");
  EXPECT_EQ(WriteX().Get(1, "XXZTJG"), "   12.345");
  EXPECT_EQ(WriteN().Get(1, "XXDTJG"), "    8.000");
  EXPECT_EQ(WriteX().Get(1, "XXDTJG"), "    8.000");
}

TEST_F(SjsxxFileTest, AuctionLimitsAndTheEndOfTheVisit) {
  SecurityRecord& s = Security("000001", 1, "ONE");
  s.PrevClosePx = 20.0;
  auto& cash = Cash("000001");
  cash.settingCount = 5;
  cash.settings[0] = {'O', 'N', '1', '1', 0, 0, 0, 0, 'Y', '1', 0.1, 0};  // XXJHCS 0.100, XXXJXZ 1
  cash.settings[1] = {'O', 'N', '1', '1', 0, 0, 0, 0, 'N', '1', 0.9, 0};  // passed over
  cash.settings[2] = {'T', 'Y', '1', '1', 0.2, 0.2,
                      0,   0,   'Y', '2', 0,   0.5};  // XXLXCS 0.500, XXXJXZ 0; limits
  cash.settings[3] = {'T', 'Y', '1', '1', 0.5, 0.5,
                      0,   0,   'Y', '1', 0.3, 0};  // after the end: not read
  const DbfFileView n = WriteN();
  EXPECT_EQ(n.Get(1, "XXJHCS"), "  0.100");
  EXPECT_EQ(n.Get(1, "XXLXCS"), "  0.500");
  EXPECT_EQ(n.Get(1, "XXXJXZ"), "0");
  EXPECT_EQ(n.Get(1, "XXZTJG"), "   24.000");
  EXPECT_EQ(n.Get(1, "XXDTJG"), "   16.000");

  // An unknown LimitType ends the visit without limits.
  cash.settings[2].LimitType = '3';
  const DbfFileView m = WriteN();
  EXPECT_EQ(m.Get(1, "XXLXCS"), "  0.500");
  EXPECT_EQ(m.Get(1, "XXZTJG"), "99999.999");
  EXPECT_EQ(m.Get(1, "XXDTJG"), kZero93);

  // Only the first four settings are visited.
  for (int i = 0; i < 4; ++i) cash.settings[i] = {'O', 'N', '1', '1', 0, 0, 0, 0, 'N', '1', 0, 0};
  cash.settings[4] = {'T', 'Y', '1', '1', 0.5, 0.5, 0, 0, 'Y', '1', 0.3, 0};
  const DbfFileView k = WriteN();
  EXPECT_EQ(k.Get(1, "XXJHCS"), kZero73);
  EXPECT_EQ(k.Get(1, "XXLXCS"), kZero73);
  EXPECT_EQ(k.Get(1, "XXXJXZ"), "1");
  EXPECT_EQ(k.Get(1, "XXZTJG"), "99999.999");
}

TEST_F(SjsxxFileTest, NegotiationLimitsForANegotiatedSecurityWithoutPriceLimit) {
  Security("000001", 1, "ONE");
  auto& cash = Cash("000001");
  cash.settingCount = 1;
  cash.settings[0] = {'T', 'N', '1', '1', 0.1, 0.1, 0, 0, 'N', '1', 0, 0};
  auto& negotiation = Negotiation("000001");
  negotiation.PriceUpperLimit = 15.5f;
  negotiation.PriceLowerLimit = 7.25f;
  const DbfFileView n = WriteN();
  EXPECT_EQ(n.Get(1, "XXJGSX"), "   15.500");
  EXPECT_EQ(n.Get(1, "XXJGXX"), "    7.250");
  EXPECT_EQ(n.Get(1, "XXZTJG"), "99999.999");
  EXPECT_FALSE(WriteX().HasField("XXJGSX"));
}

// Each parameter record is a listed code, so a code in two files is written twice, from the first
// file that has it, and the record count has room for both.
TEST_F(SjsxxFileTest, ACodeInTwoParameterFilesIsWrittenOnceForEachFile) {
  auto* issue = AddReference(tables_.issueParams, "000050");
  Put(issue->Symbol, "ISSUE");
  issue->PriceUpperLimit = 12.5;
  Put(AddReference(tables_.rightsIssueParams, "000050")->Symbol, "RIGHTS A");
  Put(AddReference(tables_.rightsIssueParams, "000060")->Symbol, "RIGHTS B");
  Put(AddReference(tables_.bondDistributionParams, "000060")->Symbol, "BOND");
  for (const DbfFileView& file : {WriteN(), WriteX()}) {
    ASSERT_EQ(file.Records(), 5u);
    EXPECT_EQ(file.Record(1), file.Record(2));
    EXPECT_EQ(file.Get(1, "XXZQJC"), "ISSUE   ");
    EXPECT_EQ(file.Get(1, "XXZTJG"), "   12.500");
    EXPECT_EQ(file.Record(3), file.Record(4));
    EXPECT_EQ(file.Get(3, "XXZQJC"), "RIGHTS B");
    EXPECT_EQ(file.Get(3, "XXZFXL"), kZero12);
  }
}

// Kind letters and status letters of issue, rights-issue and bond-distribution rows by the
// record's SecurityType and Symbol.
TEST_F(SjsxxFileTest, ParameterRowLettersFollowTypeAndStarSt) {
  auto* issue = AddReference(tables_.issueParams, "000050");
  auto* rights = AddReference(tables_.rightsIssueParams, "000060");
  auto* bond = AddReference(tables_.bondDistributionParams, "000070");
  const struct {
    int16_t type;
    const char* symbol;
    const char* issueKind;
    const char* issueLetters;  // SJSXXN XXJCQZ
    const char* bondKind;
  } cases[] = {
      {14, "X", "E", "..IE", "E"},     {20, "X", "E", "..IE", "E"},
      {23, "X", "L", "..IL", "L"},     {24, "X", "L", "..IL", "L"},
      {25, "X", "C", "..IC", "N"},     {26, "X", "F", "..IF", "F"},
      {1, "X", "N", "..I.", "N"},      {21, "X", "N", "..I.", "N"},
      {14, "*ST X", "*", "..I.", "*"}, {25, "*ST X", "*", "..I.", "*"},
      {25, "*SX X", "C", "..IC", "N"}, {1, "ST X", "N", "..I.", "N"},
  };
  for (const auto& c : cases) {
    issue->SecurityType = bond->SecurityType = c.type;
    Put(issue->Symbol, c.symbol);
    Put(bond->Symbol, c.symbol);
    Put(rights->Symbol, c.symbol);
    const DbfFileView n = WriteN();
    const DbfFileView x = WriteX();
    SCOPED_TRACE(std::to_string(c.type) + " " + c.symbol);
    EXPECT_EQ(n.Get(1, "XXJCQZ"), c.issueLetters);
    EXPECT_EQ(n.Get(2, "XXJCQZ"), "....");
    EXPECT_EQ(n.Get(3, "XXJCQZ"), "....");
    for (const DbfFileView* file : {&n, &x}) {
      EXPECT_EQ(file->Get(1, "XXZQJB"), c.issueKind);
      EXPECT_EQ(file->Get(2, "XXZQJB"), "N");  // rights issues: always 'N'
      EXPECT_EQ(file->Get(3, "XXZQJB"), c.bondKind);
    }
    EXPECT_EQ(n.Get(1, "XXZQZT") + n.Get(2, "XXZQZT") + n.Get(3, "XXZQZT"), "FNP");
    EXPECT_EQ(x.Get(1, "XXJYZT") + x.Get(2, "XXJYZT") + x.Get(3, "XXJYZT"), "FNP");
    EXPECT_EQ(x.Get(1, "XXCQCX") + x.Get(2, "XXCQCX") + x.Get(3, "XXCQCX"), "NNN");
  }
}

TEST_F(SjsxxFileTest, MoreThan128ParameterCodesAllGetRows) {
  Security("000200", 1, "MIDDLE");
  for (int code = 1; code <= 130; ++code) {
    char text[8];
    std::snprintf(text, sizeof text, "%06d", code < 100 ? code : code + 200);
    Put(AddReference(tables_.rightsIssueParams, text)->Symbol, "R");
  }
  const DbfFileView n = WriteN();
  ASSERT_EQ(n.Records(), 132u);
  EXPECT_EQ(n.Get(1, "XXZQDM"), "000001");
  EXPECT_EQ(n.Get(99, "XXZQDM"), "000099");
  EXPECT_EQ(n.Get(100, "XXZQDM"), "000200");
  EXPECT_EQ(n.Get(101, "XXZQDM"), "000300");
  EXPECT_EQ(n.Get(131, "XXZQDM"), "000330");
}

TEST_F(SjsxxFileTest, FailingRowsAreLoggedAndLeftBlankAfterTheField) {
  SecurityRecord& s = Security("000100", 1, "ONE");
  s.QtyUnit = 12345;  // XXJYDW holds 4 digits: column 20 fails
  auto* issue = AddReference(tables_.issueParams, "000050");
  issue->OutStandingShare = 1e13;  // XXZFXL holds 12 digits: column 9
  auto* bond = AddReference(tables_.bondDistributionParams, "000900");
  bond->SelfListQty = 1e13;
  {
    const DbfFileView n = WriteN();
    EXPECT_TRUE(
        catcher_->HasLine("write record1 failed, SZSjsxxnFile::SetData(), errorcode = -21"));
    EXPECT_TRUE(
        catcher_->HasLine("write record4 failed, SZSjsxxnFile::SetData(), errorcode = -10"));
    EXPECT_TRUE(catcher_->HasLine("write record4 failed, SZSjsxxFile::SetData(), errorcode = -10"));
    EXPECT_EQ(catcher_->LogLines().size(), 3u);
    // Everything before the failing field is there, everything after it blank.
    EXPECT_EQ(n.Get(2, "XXDJRQ"), kNoDate);
    EXPECT_EQ(n.Get(2, "XXJYDW"), "    ");
    EXPECT_EQ(n.Get(2, "XXZTJG"), Blanks(9));
    EXPECT_EQ(n.Get(1, "XXMGMZ"), kZero72);
    EXPECT_EQ(n.Get(1, "XXZFXL"), Blanks(12));
  }
  catcher_->Clear();
  WriteX();
  EXPECT_TRUE(catcher_->HasLine("write record1 failed, SZSjsxxFile::SetData(), errorcode = -21"));
  EXPECT_TRUE(catcher_->HasLine("write record4 failed, SZSjsxxFile::SetData(), errorcode = -10"));
  EXPECT_EQ(catcher_->CountLines("write record4 failed, SZSjsxxFile::SetData(), errorcode = -10"),
            2u);
  for (const std::string& line : catcher_->LogLines())
    EXPECT_EQ(line.rfind("<Log_LV1>", 0), 0u) << line;
}

TEST_F(SjsxxFileTest, OpenWriteAndTheirFailures) {
  SZSjsxxnFile file;
  EXPECT_EQ(file.Open(""), sjsxx::kNoPath);
  EXPECT_FALSE(file.IsOpen());
  EXPECT_LT(file.Open(dir_.File("missing/SJSXXN.DBF")), 0);
  EXPECT_FALSE(file.IsOpen());
  // Not open: nothing written, and no line per row in the run log.
  Security("000001", 1, "ONE");
  EXPECT_EQ(file.SetData(tables_, refdata::FeedOverlay::From(tables_), clock_), sjsxx::kNotOpen);
  EXPECT_LT(file.WriteFile(tables_, refdata::FeedOverlay::From(tables_), clock_), 0);
  EXPECT_TRUE(catcher_->LogLines().empty());

  // An old, longer file is cut to the new length.
  const std::string path = dir_.File("SJSXXN.DBF");
  ::fw::test::WriteFileBytes(path, std::string(10000, 'x'));
  ASSERT_EQ(file.Open(path), 0);
  ASSERT_EQ(file.WriteFile(tables_, refdata::FeedOverlay::From(tables_), clock_), 0);
  EXPECT_EQ(::fw::test::ReadFileBytes(path).size(), 1729u + 2u * 302u);
}

}  // namespace
}  // namespace fw::dbf
