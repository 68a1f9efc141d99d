// The securities loader, the richest member of the reference file family: the SecurityID rule, the
// forward-only field search, the status, margin and qualification rules, the parameter groups and
// the Symbol conversion.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "refdata/reference_loaders.h"
#include "tests/refdata/refdata_fixture.h"

namespace fw::refdata {
namespace {

using test::El;
using test::FieldBytes;
using test::FieldText;
using test::Security;
using test::U8;

class SecuritiesLoaderTest : public test::RefdataTest {
 protected:
  int32_t LoadSecurities(const std::string& body) {
    WriteXml("securities", body);
    return SecuritiesLoader(Folder(), tables_.securities).Load();
  }
  const SecurityRecord* Get(uint32_t code) const { return tables_.securities.Get(code); }

  ReferenceTables tables_;
};

TEST_F(SecuritiesLoaderTest, EveryFieldLandsInItsPlace) {
  const std::string body = Security(
      "000001  ",
      El("Symbol", U8(u8"平安银行")) + El("EnglishName", "PINGAN BANK") +
          El("ISIN", "CNE000000040") + El("SecurityIDSource", "102") +
          El("UnderlyingSecurityID", "000002  ") + El("ListDate", "19910403") +
          El("SecurityType", "1") + El("Currency", "CNY") + El("QtyUnit", "100") +
          El("DayTrading", "N") + El("PrevClosePx", "10.5300") +
          "<SecurityStatus><Status>2</Status></SecurityStatus>" +
          El("OutstandingShare", "19405918198") + El("PublicFloatShareQuantity", "19405534450") +
          El("ParValue", "1.00") + El("GageFlag", "Y") + El("GageRatio", "0.70") +
          El("CrdBuyUnderlying", "Y") + El("CrdSellUnderlying", "N") + El("PledgeFlag", "P") +
          El("ContractMultiplier", "1.25") + El("RegularShare", "200001  ") +
          El("QualificationFlag", "N") + "<StockParams>" + El("IndustryClassification", "J66") +
          El("PreviousYearProfitPerShare", "2.2500") + El("CurrentYearProfitPerShare", "0.5000") +
          El("OfferingFlag", "Y") + "</StockParams>" + "<FundParams>" + El("NAV", "1.2345") +
          "</FundParams>" + "<BondParams>" + El("CouponRate", "0.035") +
          El("IssuePrice", "100.00") + El("Interest", "1.25") +
          El("InterestAccrualDate", "20230101") + El("MaturityDate", "20280101") +
          El("ExpirationRate", "0.5") + El("OfferingFlag", "N") + "</BondParams>" +
          "<WarrantParams>" + El("ExpirationRate", "0.75") + El("ExercisePrice", "5.5") +
          El("ExerciseRatio", "2.9") + El("ExerciseBeginDate", "20240601") + El("CallOrPut", "C") +
          El("WarrantClearingType", "S") + El("ClearingPrice", "5.25") + El("ExcerciseType", "E") +
          "</WarrantParams>" + "<RepoParams>" + El("ExpirationDays", "7") + "</RepoParams>" +
          "<OptionParams>" + El("CallOrPut", "P") + El("DeliveryMonth", "2406") +
          El("ExerciseBeginDate", "20240620") + El("ExerciseEndDate", "20240621") +
          El("ExercisePrice", "3.5") + El("LastTradeDay", "20240619") + El("Adjusted", "N") +
          El("AdjustTimes", "0") + El("ContractUnit", "10000") + El("PrevClearingPrice", "0.1234") +
          El("ContractPosition", "500") + "</OptionParams>" + "<PreferredStockParams>" +
          El("Interest", "2.5") + El("OfferingFlag", "Y") + "</PreferredStockParams>" +
          El("PriceCheckMode", "1"));
  ASSERT_EQ(LoadSecurities(body), 0);
  const SecurityRecord* r = Get(1);
  ASSERT_NE(r, nullptr);
  EXPECT_EQ(FieldBytes(r->SecurityID), "000001  ");
  EXPECT_EQ(FieldBytes(r->Symbol), std::string("平安银行") + std::string(32, '\0'));
  EXPECT_EQ(FieldText(r->EnglishName), "PINGAN BANK");
  EXPECT_EQ(FieldBytes(r->ISIN), "CNE000000040");
  EXPECT_EQ(FieldText(r->SecurityIDSource), "102");
  EXPECT_EQ(FieldBytes(r->UnderlyingSecurityID), "000002  ");
  EXPECT_EQ(r->haltFlag, ' ');
  EXPECT_EQ(r->marginFlag, 'C');
  EXPECT_EQ(r->statusLetter, 'X');
  EXPECT_EQ(r->spareFlag, ' ');
  EXPECT_EQ(FieldBytes(r->tradingPhase), std::string(2, '\0'));
  EXPECT_EQ(r->ListDate, 19910403);
  EXPECT_EQ(r->SecurityType, 1);
  EXPECT_EQ(FieldText(r->Currency), "CNY");
  EXPECT_EQ(r->QtyUnit, 100.0);
  EXPECT_EQ(r->DayTrading, 'N');
  EXPECT_EQ(r->PrevClosePx, 10.53);
  EXPECT_EQ(r->statusCodes[0], 2);
  EXPECT_EQ(r->statusCodes[1], 0);
  EXPECT_EQ(r->OutstandingShare, 19405918198.0);
  EXPECT_EQ(r->PublicFloatShareQuantity, 19405534450.0);
  EXPECT_EQ(r->ParValue, 1.0);
  EXPECT_EQ(r->GageFlag, 'Y');
  EXPECT_EQ(r->GageRatio, 0.7f);
  EXPECT_EQ(r->CrdBuyUnderlying, 'Y');
  EXPECT_EQ(r->CrdSellUnderlying, 'N');
  EXPECT_EQ(r->PledgeFlag, 'P');
  EXPECT_EQ(r->ContractMultiplier, 1.25f);
  EXPECT_EQ(FieldBytes(r->RegularShare), "200001  ");
  EXPECT_EQ(r->QualificationFlag, 'F');
  EXPECT_EQ(FieldBytes(r->IndustryClassification), std::string("J66\0", 4));
  EXPECT_EQ(r->PreviousYearProfitPerShare, 2.25);
  EXPECT_EQ(r->CurrentYearProfitPerShare, 0.5);
  EXPECT_EQ(r->stockOfferingFlag, 'Y');
  EXPECT_EQ(r->NAV, 1.2345);
  EXPECT_EQ(r->CouponRate, 0.035f);
  EXPECT_EQ(r->IssuePrice, 100.0);
  EXPECT_EQ(r->Interest, 2.5f);  // PreferredStockParams comes later and wins
  EXPECT_EQ(r->InterestAccrualDate, 20230101);
  EXPECT_EQ(r->MaturityDate, 20280101);
  EXPECT_EQ(r->ExpirationRate, 0.75f);  // WarrantParams comes later and wins
  EXPECT_EQ(r->bondOfferingFlag, 'Y');  // PreferredStockParams' flag wins over BondParams' 'N'
  EXPECT_EQ(r->warrantExercisePrice, 5.5);
  EXPECT_EQ(r->ExerciseRatio, 2.0);  // read as an integer
  EXPECT_EQ(r->warrantExerciseBeginDate, 20240601);
  EXPECT_EQ(r->warrantCallOrPut, 'C');
  EXPECT_EQ(r->WarrantClearingType, 'S');
  EXPECT_EQ(r->ClearingPrice, 5.25);
  EXPECT_EQ(r->ExcerciseType, 'E');
  EXPECT_EQ(r->ExpirationDays, 7);
  EXPECT_EQ(r->optionCallOrPut, 'P');
  EXPECT_EQ(r->DeliveryMonth, 2406);
  EXPECT_EQ(r->optionExerciseBeginDate, 20240620);
  EXPECT_EQ(r->ExerciseEndDate, 20240621);
  EXPECT_EQ(r->optionExercisePrice, 3.5);
  EXPECT_EQ(r->LastTradeDay, 20240619);
  EXPECT_EQ(r->Adjusted, 'N');
  EXPECT_EQ(r->AdjustTimes, '0');
  EXPECT_EQ(r->ContractUnit, 10000.0);
  EXPECT_EQ(r->PrevClearingPrice, 0.1234);
  EXPECT_EQ(r->ContractPosition, 500.0);
  EXPECT_EQ(r->PriceCheckMode, '1');
  EXPECT_TRUE(tables_.securities.LoadedInCurrentFile(1));
}

TEST_F(SecuritiesLoaderTest, OpeningLineCarriesTheFullPath) {
  ASSERT_EQ(LoadSecurities(""), 0);
  EXPECT_TRUE(Logged(0, "opening securityes.xml file: " + TodaysFile("securities") + " "));
}

TEST_F(SecuritiesLoaderTest, OnlySixCharacterCodesPaddedWithBlanksAreLoaded) {
  const std::string body = Security("000001  ", El("EnglishName", "TWO BLANKS")) +
                           Security("000002", El("EnglishName", "BARE SIX")) +
                           Security("12345678", El("EnglishName", "EIGHT CHARS")) +
                           Security("0000031 ", El("EnglishName", "SEVENTH IS A DIGIT")) +
                           Security("000004 ", El("EnglishName", "SEVEN CHARACTERS")) +
                           Security("000000  ", El("EnglishName", "CODE ZERO")) +
                           Security("ABCDEF  ", El("EnglishName", "NOT A NUMBER")) + "<Security>" +
                           El("EnglishName", "NO SECURITYID") + "</Security>" + "<Security/>" +
                           Security("000005  extra", El("EnglishName", "LONG TEXT"));
  ASSERT_EQ(LoadSecurities(body), 0);
  ASSERT_NE(Get(1), nullptr);
  EXPECT_EQ(FieldText(Get(1)->EnglishName), "TWO BLANKS");
  EXPECT_EQ(Get(2), nullptr);
  EXPECT_EQ(Get(12345678), nullptr);
  EXPECT_EQ(Get(31), nullptr);
  ASSERT_NE(Get(4), nullptr);  // "000004 " has its blank in the 7th place
  EXPECT_EQ(FieldBytes(Get(4)->SecurityID), std::string("000004 \0", 8));
  ASSERT_NE(Get(5), nullptr);  // the first 8 characters are the SecurityID
  EXPECT_EQ(FieldBytes(Get(5)->SecurityID), "000005  ");
  EXPECT_EQ(tables_.securities.Size(), 3u);
}

TEST_F(SecuritiesLoaderTest, FieldStandingBeforeOneAlreadyReadIsNotFound) {
  // Symbol is looked for first; once it has been found after EnglishName, the search for
  // EnglishName starts after Symbol and never looks back.
  const std::string body =
      Security("000001  ", El("EnglishName", "PINGAN BANK") + El("Symbol", U8(u8"平安银行")) +
                               El("ISIN", "CNE000000040"));
  ASSERT_EQ(LoadSecurities(body), 0);
  ASSERT_NE(Get(1), nullptr);
  EXPECT_EQ(FieldBytes(Get(1)->Symbol), std::string("平安银行") + std::string(32, '\0'));
  EXPECT_EQ(FieldBytes(Get(1)->EnglishName), std::string(40, '\0'));
  EXPECT_EQ(FieldText(Get(1)->ISIN), "CNE000000040");
}

TEST_F(SecuritiesLoaderTest, SymbolStandingBeforeTheSecurityIdIsLost) {
  const std::string body = "<Security>" + El("Symbol", U8(u8"平安银行")) +
                           El("SecurityID", "000001  ") + El("EnglishName", "PINGAN BANK") +
                           "</Security>";
  ASSERT_EQ(LoadSecurities(body), 0);
  ASSERT_NE(Get(1), nullptr);
  EXPECT_EQ(FieldBytes(Get(1)->Symbol), std::string(40, '\0'));
  EXPECT_EQ(FieldText(Get(1)->EnglishName), "PINGAN BANK");
}

TEST_F(SecuritiesLoaderTest, GroupStandingBeforeAnEarlierGroupIsNotFound) {
  const std::string body = Security(
      "000001  ", "<BondParams>" + El("CouponRate", "0.05") + "</BondParams>" + "<StockParams>" +
                      El("OfferingFlag", "Y") + "</StockParams>" + El("PriceCheckMode", "2"));
  ASSERT_EQ(LoadSecurities(body), 0);
  EXPECT_EQ(Get(1)->stockOfferingFlag, 'Y');
  EXPECT_EQ(Get(1)->CouponRate, 0.0f);
  EXPECT_EQ(Get(1)->PriceCheckMode, '2');
}

TEST_F(SecuritiesLoaderTest, FieldOfAGroupIsNotTakenFromOutsideIt) {
  // OfferingFlag directly under Security belongs to no group.
  const std::string body =
      Security("000001  ", El("OfferingFlag", "Y") + "<StockParams>" +
                               El("IndustryClassification", "C39") + "</StockParams>");
  ASSERT_EQ(LoadSecurities(body), 0);
  EXPECT_EQ(Get(1)->stockOfferingFlag, '\0');
  EXPECT_EQ(FieldText(Get(1)->IndustryClassification), "C39");
}

TEST_F(SecuritiesLoaderTest, StatusValuesSetHaltFlagAndStatusLetter) {
  struct Case {
    std::vector<std::string> statuses;
    char halt;
    char letter;
  };
  const Case cases[] = {
      {{"1", "8"}, 'Y', 'M'}, {{"8", "1"}, 'Y', 'M'},
      {{"2"}, ' ', 'X'},      {{"3"}, ' ', 'X'},
      {{"6"}, ' ', 'N'},      {{"7"}, ' ', 'J'},
      {{"9"}, ' ', 'V'},      {{"4", "5", "10", "12"}, ' ', ' '},
      {{}, ' ', ' '},         {{"9", "2"}, ' ', 'X'},  // the last applicable value wins
      {{"2", "4"}, ' ', 'X'},                          // a value without a letter changes nothing
      {{" 1"}, 'Y', ' '},     {{"01"}, 'Y', ' '},
      {{"x"}, ' ', ' '},
  };
  for (const Case& c : cases) {
    std::string statuses;
    std::string shown;
    for (const std::string& value : c.statuses) {
      statuses += El("Status", value);
      shown += "[" + value + "]";
    }
    ReferenceTables fresh;
    WriteXml("securities",
             Security("000001  ", "<SecurityStatus>" + statuses + "</SecurityStatus>"));
    ASSERT_EQ(SecuritiesLoader(Folder(), fresh.securities).Load(), 0);
    const SecurityRecord* r = fresh.securities.Get(1);
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(r->haltFlag, c.halt) << "statuses " << shown;
    EXPECT_EQ(r->statusLetter, c.letter) << "statuses " << shown;
    EXPECT_EQ(r->marginFlag, ' ');
    EXPECT_EQ(r->spareFlag, ' ');
  }
}

TEST_F(SecuritiesLoaderTest, TenStatusValuesKeepTheFirstNine) {
  std::string statuses;
  for (const char* v : {"2", "3", "4", "5", "6", "7", "8", "9", "10", "1"})
    statuses += El("Status", v);
  ASSERT_EQ(LoadSecurities(Security("000001  ", "<SecurityStatus>" + statuses +
                                                    "</SecurityStatus>" + El("ParValue", "1.5"))),
            0);
  const SecurityRecord* r = Get(1);
  const int32_t expected[9] = {2, 3, 4, 5, 6, 7, 8, 9, 10};
  for (int i = 0; i < 9; ++i) EXPECT_EQ(r->statusCodes[i], expected[i]) << "slot " << i;
  EXPECT_EQ(r->haltFlag, ' ');  // the tenth value (1) is never read
  EXPECT_EQ(r->statusLetter, 'V');
  EXPECT_EQ(r->ParValue, 1.5);  // the search goes on after SecurityStatus
}

TEST_F(SecuritiesLoaderTest, StatusIsReadFromAtMostTenCharacters) {
  ASSERT_EQ(LoadSecurities(Security("000001  ", "<SecurityStatus>" + El("Status", "12345678901") +
                                                    "</SecurityStatus>")),
            0);
  EXPECT_EQ(Get(1)->statusCodes[0], 1234567890);
}

TEST_F(SecuritiesLoaderTest, MarginFlagFollowsBothUnderlyingFlags) {
  struct Case {
    const char* children;
    char margin;
  };
  const Case cases[] = {
      {"<CrdBuyUnderlying>Y</CrdBuyUnderlying><CrdSellUnderlying>Y</CrdSellUnderlying>", 'A'},
      {"<CrdBuyUnderlying>Y</CrdBuyUnderlying><CrdSellUnderlying>N</CrdSellUnderlying>", 'C'},
      {"<CrdBuyUnderlying>N</CrdBuyUnderlying><CrdSellUnderlying>Y</CrdSellUnderlying>", 'S'},
      {"<CrdBuyUnderlying>N</CrdBuyUnderlying><CrdSellUnderlying>N</CrdSellUnderlying>", ' '},
      {"<CrdSellUnderlying>Yes</CrdSellUnderlying>", 'S'},
      {"<CrdBuyUnderlying>y</CrdBuyUnderlying>", ' '},
      {"", ' '},
  };
  for (const Case& c : cases) {
    ReferenceTables fresh;
    WriteXml("securities", Security("000001  ", c.children));
    ASSERT_EQ(SecuritiesLoader(Folder(), fresh.securities).Load(), 0);
    EXPECT_EQ(fresh.securities.Get(1)->marginFlag, c.margin) << c.children;
  }
}

TEST_F(SecuritiesLoaderTest, QualificationFlagIsStoredAsTrueOrFalse) {
  struct Case {
    const char* children;
    char stored;
  };
  const Case cases[] = {
      {"<QualificationFlag>Y</QualificationFlag>", 'T'},
      {"<QualificationFlag>Yes</QualificationFlag>", 'T'},
      {"<QualificationFlag>N</QualificationFlag>", 'F'},
      {"<QualificationFlag>y</QualificationFlag>", 'F'},
      {"<QualificationFlag>T</QualificationFlag>", 'F'},
      {"<QualificationFlag></QualificationFlag>", 'F'},
      {"", 'F'},
  };
  for (const Case& c : cases) {
    ReferenceTables fresh;
    WriteXml("securities", Security("000001  ", c.children));
    ASSERT_EQ(SecuritiesLoader(Folder(), fresh.securities).Load(), 0);
    EXPECT_EQ(fresh.securities.Get(1)->QualificationFlag, c.stored) << c.children;
  }
}

TEST_F(SecuritiesLoaderTest, ReadingTheSameSecurityTwiceKeepsItsQualificationAndStatusList) {
  const std::string first = Security(
      "000001  ",
      "<SecurityStatus><Status>1</Status><Status>8</Status><Status>9</Status></SecurityStatus>" +
          El("QualificationFlag", "Y"));
  const std::string second =
      Security("000001  ", "<SecurityStatus><Status>2</Status></SecurityStatus>");
  ASSERT_EQ(LoadSecurities(first + second), 0);
  const SecurityRecord* r = Get(1);
  EXPECT_EQ(r->QualificationFlag, 'T');
  EXPECT_EQ(r->statusCodes[0], 2);
  EXPECT_EQ(r->statusCodes[1], 0);
  EXPECT_EQ(r->statusCodes[2], 0);
  EXPECT_EQ(r->haltFlag, ' ');
  EXPECT_EQ(r->statusLetter, 'X');
}

TEST_F(SecuritiesLoaderTest, SymbolIsConvertedToGbk) {
  ASSERT_EQ(LoadSecurities(Security("000001  ", El("Symbol", U8(u8"*ST平安")))), 0);
  EXPECT_EQ(FieldBytes(Get(1)->Symbol), std::string("*ST平安") + std::string(33, '\0'));
}

TEST_F(SecuritiesLoaderTest, ConvertedSymbolLongerThanFortyBytesIsCutWithoutTerminator) {
  std::u8string longSymbol;
  for (int i = 0; i < 25; ++i) longSymbol += u8"中";  // 50 bytes in GBK
  std::string expected;
  for (int i = 0; i < 20; ++i) expected += "中";  // GBK D6 D0, twenty times
  ASSERT_EQ(LoadSecurities(Security("000001  ", El("Symbol", U8(longSymbol.c_str())))), 0);
  EXPECT_EQ(FieldBytes(Get(1)->Symbol), expected);
}

TEST_F(SecuritiesLoaderTest, SymbolThatCannotBeConvertedKeepsTheTextAsRead) {
  // Not UTF-8 at all.
  const std::string invalid =
      "AB\xFF\xFE"
      "CD";
  ASSERT_EQ(LoadSecurities(Security("000001  ", El("Symbol", invalid))), 0);
  EXPECT_EQ(FieldBytes(Get(1)->Symbol), invalid + std::string(34, '\0'));

  // Needs more than 128 bytes once converted: the UTF-8 text as read, cut to 40 bytes.
  std::string utf8;
  for (int i = 0; i < 70; ++i) utf8 += U8(u8"中");
  ASSERT_EQ(LoadSecurities(Security("000002  ", El("Symbol", utf8))), 0);
  EXPECT_EQ(FieldBytes(Get(2)->Symbol), utf8.substr(0, 40));
}

TEST_F(SecuritiesLoaderTest, OverlongTextsAreCutToTheirFields) {
  const std::string english(60, 'E');
  ASSERT_EQ(LoadSecurities(Security("000001  ",
                                    El("EnglishName", english) + El("ISIN", "CNE0000000401234567") +
                                        El("SecurityIDSource", "10234") + El("Currency", "CNYUSD") +
                                        El("DayTrading", "YES"))),
            0);
  const SecurityRecord* r = Get(1);
  EXPECT_EQ(FieldBytes(r->EnglishName), std::string(40, 'E'));
  EXPECT_EQ(FieldBytes(r->ISIN), "CNE000000040");
  EXPECT_EQ(FieldBytes(r->SecurityIDSource), "1023");
  EXPECT_EQ(FieldBytes(r->Currency), "CNYU");
  EXPECT_EQ(r->DayTrading, 'Y');
}

TEST_F(SecuritiesLoaderTest, FieldsThatAreNotNumbersTakeTheirLeadingNumericPart) {
  ASSERT_EQ(LoadSecurities(Security(
                "000001  ", El("ListDate", "abc") + El("SecurityType", "3x") + El("QtyUnit", "") +
                                El("PrevClosePx", " 12.5 yuan") + El("OutstandingShare", "1e3") +
                                El("GageRatio", "-0.25%"))),
            0);
  const SecurityRecord* r = Get(1);
  EXPECT_EQ(r->ListDate, 0);
  EXPECT_EQ(r->SecurityType, 3);
  EXPECT_EQ(r->QtyUnit, 0.0);
  EXPECT_EQ(r->PrevClosePx, 12.5);
  EXPECT_EQ(r->OutstandingShare, 1000.0);
  EXPECT_EQ(r->GageRatio, -0.25f);
}

TEST_F(SecuritiesLoaderTest, EntitiesAndCdataAreDecodedBeforeStoring) {
  ASSERT_EQ(LoadSecurities(Security("000001  ", El("EnglishName", "S&amp;P &lt;A&gt;") +
                                                    El("ISIN", "<![CDATA[CN<1>]]>"))),
            0);
  EXPECT_EQ(FieldText(Get(1)->EnglishName), "S&P <A>");
  EXPECT_EQ(FieldText(Get(1)->ISIN), "CN<1>");
}

TEST_F(SecuritiesLoaderTest, SecondDaysLoadKeepsYesterdaysAbsentRecordsAndTellsThemApart) {
  ASSERT_EQ(
      LoadSecurities(Security("000001  ", El("EnglishName", "FIRST") + El("PrevClosePx", "1.5")) +
                     Security("000002  ", El("EnglishName", "SECOND"))),
      0);
  EXPECT_TRUE(tables_.securities.LoadedInCurrentFile(1));
  EXPECT_TRUE(tables_.securities.LoadedInCurrentFile(2));

  clock_.Set(20240306, test::kNow);
  fw::test::WriteFileBytes(
      dir_.File("securities_20240306.xml"),
      "<Securities>" + Security("000002  ", El("EnglishName", "SECOND TODAY")) + "</Securities>");
  ASSERT_EQ(SecuritiesLoader(Folder(), tables_.securities).Load(), 0);
  ASSERT_EQ(tables_.securities.Size(), 2u);
  EXPECT_EQ(FieldText(Get(1)->EnglishName), "FIRST");
  EXPECT_EQ(Get(1)->PrevClosePx, 1.5);
  EXPECT_EQ(FieldText(Get(2)->EnglishName), "SECOND TODAY");
  EXPECT_FALSE(tables_.securities.LoadedInCurrentFile(1));
  EXPECT_TRUE(tables_.securities.LoadedInCurrentFile(2));
  EXPECT_EQ(tables_.securities.GetLoaded(1), nullptr);
}

TEST_F(SecuritiesLoaderTest, FieldsMissingFromALaterFileKeepTheirValues) {
  ASSERT_EQ(LoadSecurities(Security("000001  ", El("EnglishName", "FIRST") + El("QtyUnit", "100"))),
            0);
  ASSERT_EQ(LoadSecurities(Security("000001  ", El("QtyUnit", "200"))), 0);
  EXPECT_EQ(FieldText(Get(1)->EnglishName), "FIRST");
  EXPECT_EQ(Get(1)->QtyUnit, 200.0);
}

TEST_F(SecuritiesLoaderTest,
       FailedOpeningReturnsItsCodeTimesHundredAndKeepsTheRecordsButNotAsTodays) {
  ASSERT_EQ(LoadSecurities(Security("000001  ", El("EnglishName", "KEPT"))), 0);
  const std::string path = TodaysFile("securities");

  struct Case {
    const char* what;
    const char* bytes;  // nullptr: no file at all
    int32_t expected;
  };
  const Case cases[] = {
      {"missing file", nullptr, -200},
      {"empty file", "", -200},
      {"not XML", "just some text, no element", -200},
      {"truncated", "<Securities><Security><SecurityID>000009  </SecurityID>", -200},
      {"mismatched end tag", "<Securities></Security>", -200},
      {"no root element", "<?xml version=\"1.0\"?>\n</Securities>", -300},
  };
  for (const Case& c : cases) {
    if (c.bytes == nullptr) {
      std::filesystem::remove(path);
    } else {
      fw::test::WriteFileBytes(path, c.bytes);
    }
    EXPECT_EQ(SecuritiesLoader(Folder(), tables_.securities).Load(), c.expected) << c.what;
    EXPECT_EQ(tables_.securities.Size(), 1u) << c.what;
    EXPECT_EQ(FieldText(Get(1)->EnglishName), "KEPT") << c.what;
    // Kept, but not as a record of today's file.
    EXPECT_FALSE(tables_.securities.LoadedInCurrentFile(1)) << c.what;
  }
  EXPECT_EQ(SecuritiesLoader("", tables_.securities).Load(), -100);
  EXPECT_EQ(tables_.securities.Size(), 1u);
  EXPECT_FALSE(tables_.securities.LoadedInCurrentFile(1));
}

TEST_F(SecuritiesLoaderTest, FolderWithWindowsSeparatorsIsUnderstood) {
  WriteXml("securities", Security("000001  ", ""));
  std::string folder = Folder();
  std::replace(folder.begin(), folder.end(), '/', '\\');
  EXPECT_EQ(SecuritiesLoader(folder, tables_.securities).Load(), 0);
  EXPECT_EQ(tables_.securities.Size(), 1u);
}

}  // namespace
}  // namespace fw::refdata
