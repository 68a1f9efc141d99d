// The other members of the reference file family: parameter files, index info (with the operator's
// index names), statistics and security switches.
#include <gtest/gtest.h>

#include <string>

#include "refdata/reference_loaders.h"
#include "tests/refdata/refdata_fixture.h"

namespace fw::refdata {
namespace {

using test::El;
using test::FieldBytes;
using test::FieldText;
using test::Security;
using test::U8;

class ParameterLoadersTest : public test::RefdataTest {
 protected:
  ReferenceTables tables_;
};

// ---- the opening lines of the family ------------------------------------------------------------

TEST_F(ParameterLoadersTest, EveryMemberLogsItsOpeningLineWithTheFullPath) {
  struct Member {
    const char* root;
    const char* line;
    int32_t (*load)(const std::string& folder, ReferenceTables& tables);
  };
  const Member members[] = {
      {"securities", "opening securityes.xml file: ",
       [](const std::string& f, ReferenceTables& t) {
         return SecuritiesLoader(f, t.securities).Load();
       }},
      {"afterhoursparams", "opening afterhoursparams.xml file: ",
       [](const std::string& f, ReferenceTables& t) {
         return AfterHoursParamsLoader(f, t.afterHoursParams).Load();
       }},
      {"bonddistributionparams", "opening bonddistributionparams.xml file: ",
       [](const std::string& f, ReferenceTables& t) {
         return BondDistributionParamsLoader(f, t.bondDistributionParams).Load();
       }},
      {"cashauctionparams", "opening cashauctionparams.xml file: ",
       [](const std::string& f, ReferenceTables& t) {
         return CashAuctionParamsLoader(f, t.cashAuctionParams).Load();
       }},
      {"issueparams", "opening issueparams.xml file: ",
       [](const std::string& f, ReferenceTables& t) {
         return IssueParamsLoader(f, t.issueParams, true).Load();
       }},
      {"rightsissueparams", "opening rightsissueparams.xml file: ",
       [](const std::string& f, ReferenceTables& t) {
         return RightsIssueParamsLoader(f, t.rightsIssueParams).Load();
       }},
      {"negotiationparams", "opening negotiationparams.xml file: ",
       [](const std::string& f, ReferenceTables& t) {
         return NegotiationParamsLoader(f, t.negotiationParams).Load();
       }},
      {"indexinfo", "opening indexinfo.xml file: ",
       [](const std::string& f, ReferenceTables& t) {
         return IndexInfoLoader(f, t.indexInfo, "").Load();
       }},
      {"stat", "opening stat.xml file: ",
       [](const std::string& f, ReferenceTables& t) { return StatLoader(f, t.stat).Load(); }},
      {"securityswitch", "opening securityswitch.xml file: ",
       [](const std::string& f, ReferenceTables& t) {
         return SecuritySwitchLoader(f, t.securitySwitch).Load();
       }},
  };
  for (const Member& m : members) {
    EXPECT_EQ(m.load(Folder(), tables_), -200) << m.root;  // not written yet
    EXPECT_TRUE(Logged(0, std::string(m.line) + TodaysFile(m.root) + " ")) << m.root;
    WriteXml(m.root, Security("000001  ", ""));
    EXPECT_EQ(m.load(Folder(), tables_), 0) << m.root;
  }
  EXPECT_EQ(tables_.securities.Size(), 1u);
  EXPECT_EQ(tables_.afterHoursParams.Size(), 1u);
  EXPECT_EQ(tables_.bondDistributionParams.Size(), 1u);
  EXPECT_EQ(tables_.cashAuctionParams.Size(), 1u);
  EXPECT_EQ(tables_.issueParams.Size(), 1u);
  EXPECT_EQ(tables_.rightsIssueParams.Size(), 1u);
  EXPECT_EQ(tables_.negotiationParams.Size(), 1u);
  EXPECT_EQ(tables_.indexInfo.Size(), 1u);
  EXPECT_EQ(tables_.stat.Size(), 1u);
  EXPECT_EQ(tables_.securitySwitch.Size(), 1u);
}

// ---- cash auction parameters
// ----------------------------------------------------------------------

std::string Setting(const std::string& type, const std::string& rest = "") {
  return "<Setting>" + (type.empty() ? std::string() : El("Type", type)) + rest + "</Setting>";
}

TEST_F(ParameterLoadersTest, CashAuctionFieldsAndOneFullSetting) {
  const std::string setting =
      Setting("T", El("HasPriceLimit", "Y") + El("ReferPriceType", "1") + El("LimitType", "2") +
                       El("LimitUpRate", "0.1") + El("LimitDownRate", "0.05") +
                       El("LimitUpAbsolute", "11.5") + El("LimitDownAbsolute", "9.5") +
                       El("HasAuctionLimit", "Y") + El("AuctionLimitType", "1") +
                       El("AuctionUpDownRate", "0.02") + El("AuctionUpDownAbsolute", "0.25"));
  WriteXml("cashauctionparams",
           Security("000001  ", El("SecurityIDSource", "102") + El("BuyQtyUpperLimit", "1000000") +
                                    El("SellQtyUpperLimit", "900000") + El("BuyQtyUnit", "100") +
                                    El("SellQtyUnit", "1") + El("PriceTick", "0.01") +
                                    "<PriceLimitSetting>" + setting + "</PriceLimitSetting>" +
                                    El("MarketMakerFlag", "Y")));
  ASSERT_EQ(CashAuctionParamsLoader(Folder(), tables_.cashAuctionParams).Load(), 0);
  const CashAuctionParamsRecord* r = tables_.cashAuctionParams.Get(1);
  ASSERT_NE(r, nullptr);
  EXPECT_EQ(FieldBytes(r->SecurityID), "000001  ");
  EXPECT_EQ(r->BuyQtyUpperLimit, 1000000.0);
  EXPECT_EQ(r->SellQtyUpperLimit, 900000.0);
  EXPECT_EQ(r->BuyQtyUnit, 100.0);
  EXPECT_EQ(r->SellQtyUnit, 1.0);
  EXPECT_EQ(r->PriceTick, 0.01);
  EXPECT_EQ(r->settingCount, 1);
  const PriceLimitSetting& s = r->settings[0];
  EXPECT_EQ(s.Type, 'T');
  EXPECT_EQ(s.HasPriceLimit, 'Y');
  EXPECT_EQ(s.ReferPriceType, '1');
  EXPECT_EQ(s.LimitType, '2');
  EXPECT_EQ(s.LimitUpRate, 0.1);
  EXPECT_EQ(s.LimitDownRate, 0.05);
  EXPECT_EQ(s.LimitUpAbsolute, 11.5);
  EXPECT_EQ(s.LimitDownAbsolute, 9.5);
  EXPECT_EQ(s.HasAuctionLimit, 'Y');
  EXPECT_EQ(s.AuctionLimitType, '1');
  EXPECT_EQ(s.AuctionUpDownRate, 0.02);
  EXPECT_EQ(s.AuctionUpDownAbsolute, 0.25);
  EXPECT_EQ(r->MarketMakerFlag, 'Y');
}

TEST_F(ParameterLoadersTest, SixSettingsKeepFive) {
  std::string settings;
  for (const char* type : {"O", "T", "C", "1", "2", "3"}) settings += Setting(type);
  WriteXml("cashauctionparams",
           Security("000001  ", "<PriceLimitSetting>" + settings + "</PriceLimitSetting>" +
                                    El("MarketMakerFlag", "N")));
  ASSERT_EQ(CashAuctionParamsLoader(Folder(), tables_.cashAuctionParams).Load(), 0);
  const CashAuctionParamsRecord* r = tables_.cashAuctionParams.Get(1);
  EXPECT_EQ(r->settingCount, 5);
  const char expected[5] = {'O', 'T', 'C', '1', '2'};
  for (int i = 0; i < 5; ++i) EXPECT_EQ(r->settings[i].Type, expected[i]) << "slot " << i;
  EXPECT_EQ(r->MarketMakerFlag, 'N');
}

TEST_F(ParameterLoadersTest, SettingWithoutTypeEndsTheListButLaterSecuritiesStillLoad) {
  const std::string first =
      Security("000001  ", "<PriceLimitSetting>" + Setting("O", El("LimitType", "1")) +
                               Setting("", El("LimitType", "2")) + Setting("C") +
                               "</PriceLimitSetting>" + El("MarketMakerFlag", "Y"));
  const std::string second = Security("000002  ", El("PriceTick", "0.001") + "<PriceLimitSetting>" +
                                                      Setting("T") + "</PriceLimitSetting>");
  WriteXml("cashauctionparams", first + second);
  ASSERT_EQ(CashAuctionParamsLoader(Folder(), tables_.cashAuctionParams).Load(), 0);
  const CashAuctionParamsRecord* r1 = tables_.cashAuctionParams.Get(1);
  EXPECT_EQ(r1->settingCount, 1);
  EXPECT_EQ(r1->settings[0].Type, 'O');
  EXPECT_EQ(r1->settings[0].LimitType, '1');
  EXPECT_EQ(r1->settings[1].Type, '\0');
  EXPECT_EQ(r1->MarketMakerFlag, 'Y');  // read after the settings
  const CashAuctionParamsRecord* r2 = tables_.cashAuctionParams.Get(2);
  ASSERT_NE(r2, nullptr);
  EXPECT_EQ(r2->PriceTick, 0.001);
  EXPECT_EQ(r2->settingCount, 1);
  EXPECT_EQ(r2->settings[0].Type, 'T');
}

TEST_F(ParameterLoadersTest, SettingFieldsAreSearchedForwardAndMissingOnesStayZero) {
  WriteXml("cashauctionparams",
           Security("000001  ", "<PriceLimitSetting>" +
                                    Setting("T", El("LimitType", "1") + El("HasPriceLimit", "Y") +
                                                     El("LimitUpRate", "0.2")) +
                                    "</PriceLimitSetting>"));
  ASSERT_EQ(CashAuctionParamsLoader(Folder(), tables_.cashAuctionParams).Load(), 0);
  // HasPriceLimit is looked for first and found after LimitType, so LimitType is not found.
  const PriceLimitSetting& s = tables_.cashAuctionParams.Get(1)->settings[0];
  EXPECT_EQ(s.Type, 'T');
  EXPECT_EQ(s.HasPriceLimit, 'Y');
  EXPECT_EQ(s.LimitType, '\0');
  EXPECT_EQ(s.LimitUpRate, 0.2);
  EXPECT_EQ(s.LimitDownRate, 0.0);
}

TEST_F(ParameterLoadersTest, CountIsResetOnlyWhenPriceLimitSettingIsPresent) {
  const std::string two =
      "<PriceLimitSetting>" + Setting("O") + Setting("T") + "</PriceLimitSetting>";
  WriteXml("cashauctionparams",
           Security("000001  ", two) + Security("000001  ", El("PriceTick", "0.01")) +
               Security("000002  ", two) +
               Security("000002  ", "<PriceLimitSetting>" + Setting("C") + "</PriceLimitSetting>") +
               Security("000003  ", two) + Security("000003  ", "<PriceLimitSetting/>"));
  ASSERT_EQ(CashAuctionParamsLoader(Folder(), tables_.cashAuctionParams).Load(), 0);
  EXPECT_EQ(tables_.cashAuctionParams.Get(1)->settingCount, 2);
  EXPECT_EQ(tables_.cashAuctionParams.Get(1)->PriceTick, 0.01);
  EXPECT_EQ(tables_.cashAuctionParams.Get(2)->settingCount, 1);
  EXPECT_EQ(tables_.cashAuctionParams.Get(2)->settings[0].Type, 'C');
  EXPECT_EQ(tables_.cashAuctionParams.Get(3)->settingCount, 0);
}

TEST_F(ParameterLoadersTest, SlotHoldsNothingOfAnEarlierReadingOfTheCode) {
  WriteXml(
      "cashauctionparams",
      Security("000001  ", "<PriceLimitSetting>" +
                               Setting("T", El("LimitType", "1") + El("LimitUpRate", "0.1")) +
                               "</PriceLimitSetting>") +
          Security("000001  ", "<PriceLimitSetting>" + Setting("O", El("LimitDownRate", "0.2")) +
                                   "</PriceLimitSetting>"));
  ASSERT_EQ(CashAuctionParamsLoader(Folder(), tables_.cashAuctionParams).Load(), 0);
  const PriceLimitSetting& s = tables_.cashAuctionParams.Get(1)->settings[0];
  EXPECT_EQ(s.Type, 'O');
  EXPECT_EQ(s.LimitType, '\0');
  EXPECT_EQ(s.LimitUpRate, 0.0);
  EXPECT_EQ(s.LimitDownRate, 0.2);
}

// ---- after-hours parameters
// -----------------------------------------------------------------------

TEST_F(ParameterLoadersTest, AfterHoursUnitsAreReadOnlyForTheExchangesOwnSource) {
  WriteXml("afterhoursparams",
           Security("000001  ", El("SecurityIDSource", "102") + El("BuyQtyUnit", "100") +
                                    El("SellQtyUnit", "1")) +
               Security("000002  ", El("SecurityIDSource", "103") + El("BuyQtyUnit", "200") +
                                        El("SellQtyUnit", "2")) +
               Security("000003  ", El("BuyQtyUnit", "300") + El("SellQtyUnit", "3")));
  ASSERT_EQ(AfterHoursParamsLoader(Folder(), tables_.afterHoursParams).Load(), 0);
  const AfterHoursParamsRecord* own = tables_.afterHoursParams.Get(1);
  EXPECT_EQ(own->SecurityIDSource, 102);
  EXPECT_EQ(own->BuyQtyUnit, 100.0f);
  EXPECT_EQ(own->SellQtyUnit, 1.0f);
  const AfterHoursParamsRecord* other = tables_.afterHoursParams.Get(2);
  ASSERT_NE(other, nullptr);  // made, keeping its source
  EXPECT_EQ(other->SecurityIDSource, 103);
  EXPECT_EQ(other->BuyQtyUnit, 0.0f);
  EXPECT_EQ(other->SellQtyUnit, 0.0f);
  EXPECT_TRUE(tables_.afterHoursParams.LoadedInCurrentFile(2));
  const AfterHoursParamsRecord* none = tables_.afterHoursParams.Get(3);
  EXPECT_EQ(none->SecurityIDSource, 0);
  EXPECT_EQ(none->BuyQtyUnit, 300.0f);
  EXPECT_EQ(none->SellQtyUnit, 3.0f);
}

// ---- issue, rights-issue and bond-distribution parameters ---------------------------------------

std::string IssueBody() {
  return Security("070001  ", El("Symbol", U8(u8"平安申购")) + El("OutStandingShare", "50000000") +
                                  El("SecurityType", "3") + El("PriceUpperLimit", "25.5") +
                                  El("PriceLowerLimit", "20.4") + El("Unit", "500") +
                                  El("QtyUpperLimit", "1500000000") +
                                  El("StartDate", "20240305.9"));
}

TEST_F(ParameterLoadersTest, IssueFieldsAndIssuePriceWithPriceUpLimitOn) {
  WriteXml("issueparams", IssueBody());
  ASSERT_EQ(IssueParamsLoader(Folder(), tables_.issueParams, true).Load(), 0);
  const IssueParamsRecord* r = tables_.issueParams.Get(70001);
  ASSERT_NE(r, nullptr);
  EXPECT_EQ(FieldBytes(r->SecurityID), "070001  ");
  EXPECT_EQ(FieldBytes(r->Symbol), std::string("平安申购") + std::string(32, '\0'));
  EXPECT_EQ(r->OutStandingShare, 50000000.0);
  EXPECT_EQ(r->SecurityType, 3);
  EXPECT_EQ(r->PriceUpperLimit, 25.5);
  EXPECT_EQ(r->PriceLowerLimit, 20.4);
  EXPECT_EQ(r->Unit, 500.0f);
  EXPECT_EQ(r->QtyUpperLimit, 1500000000.0);
  EXPECT_EQ(r->StartDate, 20240305.0);  // read as an integer
  EXPECT_EQ(r->issuePrice, 25.5);
}

TEST_F(ParameterLoadersTest, IssuePriceIsTheLowerLimitWithPriceUpLimitOff) {
  WriteXml("issueparams", IssueBody());
  ASSERT_EQ(IssueParamsLoader(Folder(), tables_.issueParams, false).Load(), 0);
  EXPECT_EQ(tables_.issueParams.Get(70001)->issuePrice, 20.4);
  // The next load with the other setting chooses again.
  ASSERT_EQ(IssueParamsLoader(Folder(), tables_.issueParams, true).Load(), 0);
  EXPECT_EQ(tables_.issueParams.Get(70001)->issuePrice, 25.5);
}

TEST_F(ParameterLoadersTest, RightsIssueFields) {
  WriteXml("rightsissueparams",
           Security("080001  ", El("Symbol", U8(u8"万科配股")) +
                                    El("UnderlyingSecurityID", "000002  ") + El("Price", "8.88")));
  ASSERT_EQ(RightsIssueParamsLoader(Folder(), tables_.rightsIssueParams).Load(), 0);
  const RightsIssueParamsRecord* r = tables_.rightsIssueParams.Get(80001);
  ASSERT_NE(r, nullptr);
  EXPECT_EQ(FieldBytes(r->Symbol), std::string("万科配股") + std::string(32, '\0'));
  EXPECT_EQ(FieldBytes(r->UnderlyingSecurityID), "000002  ");
  EXPECT_EQ(r->Price, 8.88);
}

TEST_F(ParameterLoadersTest, BondDistributionFieldsAndPriceOfOne) {
  WriteXml(
      "bonddistributionparams",
      Security("380001  ", El("Symbol", U8(u8"宁德配债")) + El("UnderlyingSecurityID", "300750  ") +
                               El("SecurityType", "8") + El("QtyUpperLimit", "2000000000") +
                               El("SelfListQty", "10000")) +
          Security("380002  ", ""));
  ASSERT_EQ(BondDistributionParamsLoader(Folder(), tables_.bondDistributionParams).Load(), 0);
  const BondDistributionParamsRecord* r = tables_.bondDistributionParams.Get(380001);
  ASSERT_NE(r, nullptr);
  EXPECT_EQ(FieldBytes(r->Symbol), std::string("宁德配债") + std::string(32, '\0'));
  EXPECT_EQ(FieldBytes(r->UnderlyingSecurityID), "300750  ");
  EXPECT_EQ(r->SecurityType, 8);
  EXPECT_EQ(r->QtyUpperLimit, 2000000000.0);
  EXPECT_EQ(r->SelfListQty, 10000.0);
  EXPECT_EQ(r->price, 1.0);
  EXPECT_EQ(tables_.bondDistributionParams.Get(380002)->price, 1.0);
}

// ---- negotiation parameters
// -----------------------------------------------------------------------

TEST_F(ParameterLoadersTest, NegotiationFieldsInFileOrder) {
  WriteXml("negotiationparams",
           Security("100001  ", El("SecurityIDSource", "102") + El("BuyQtyUnit", "1") +
                                    El("SellQtyUnit", "2") + El("PriceUpperLimit", "130.5") +
                                    El("PriceLowerLimit", "70.25") + El("PriceTick", "0.001")));
  ASSERT_EQ(NegotiationParamsLoader(Folder(), tables_.negotiationParams).Load(), 0);
  const NegotiationParamsRecord* r = tables_.negotiationParams.Get(100001);
  ASSERT_NE(r, nullptr);
  EXPECT_EQ(r->BuyQtyUnit, 1.0f);
  EXPECT_EQ(r->SellQtyUnit, 2.0f);
  EXPECT_EQ(r->PriceUpperLimit, 130.5f);
  EXPECT_EQ(r->PriceLowerLimit, 70.25f);
  EXPECT_EQ(r->PriceTick, 0.001f);
}

// The negotiation and after-hours tables keep their records from day to day: a day whose file
// cannot be read keeps them, but none counts as read from today's file.
TEST_F(ParameterLoadersTest, FailedLoadOfAKeptTableCountsNoRecordAsTodays) {
  WriteXml("negotiationparams", Security("100001  ", El("BuyQtyUnit", "1")));
  WriteXml("afterhoursparams", Security("000001  ", El("BuyQtyUnit", "100")));
  ASSERT_EQ(NegotiationParamsLoader(Folder(), tables_.negotiationParams).Load(), 0);
  ASSERT_EQ(AfterHoursParamsLoader(Folder(), tables_.afterHoursParams).Load(), 0);
  ASSERT_NE(tables_.negotiationParams.GetLoaded(100001), nullptr);
  ASSERT_NE(tables_.afterHoursParams.GetLoaded(1), nullptr);

  const std::string noFiles = Folder() + "none" + Folder().back();
  EXPECT_EQ(NegotiationParamsLoader(noFiles, tables_.negotiationParams).Load(), -200);
  EXPECT_EQ(AfterHoursParamsLoader(noFiles, tables_.afterHoursParams).Load(), -200);
  EXPECT_EQ(tables_.negotiationParams.Get(100001)->BuyQtyUnit, 1.0f);
  EXPECT_EQ(tables_.afterHoursParams.Get(1)->BuyQtyUnit, 100.0f);
  EXPECT_EQ(tables_.negotiationParams.GetLoaded(100001), nullptr);
  EXPECT_EQ(tables_.afterHoursParams.GetLoaded(1), nullptr);
}

// ---- statistics
// ----------------------------------------------------------------------------------------

TEST_F(ParameterLoadersTest, StatSymbolIsConvertedAndEnglishNameCut) {
  WriteXml("stat", Security("395001  ", El("Symbol", U8(u8"主板A股")) +
                                            El("EnglishName", std::string(45, 'M'))));
  ASSERT_EQ(StatLoader(Folder(), tables_.stat).Load(), 0);
  const StatRecord* r = tables_.stat.Get(395001);
  ASSERT_NE(r, nullptr);
  EXPECT_EQ(FieldBytes(r->Symbol), std::string("主板A股") + std::string(33, '\0'));
  EXPECT_EQ(FieldBytes(r->EnglishName), std::string(40, 'M'));
}

// ---- index info and the operator's index names --------------------------------------------------

class IndexInfoLoaderTest : public ParameterLoadersTest {
 protected:
  void SetUp() override {
    ParameterLoadersTest::SetUp();
    WriteXml("indexinfo",
             Security("399001  ", El("Symbol", U8(u8"深证成份指数")) +
                                      El("EnglishName", "SZSE COMPONENT INDEX") +
                                      El("PrevCloseIdx", "10234.5678")) +
                 Security("399006  ", El("Symbol", U8(u8"创业板指数")) +
                                          El("EnglishName", "CHINEXT PRICE INDEX") +
                                          El("PrevCloseIdx", "2000.1")) +
                 Security("399300  ", El("Symbol", "BAD\xFF") + El("EnglishName", "CSI 300")));
  }
  std::string NameFile() const { return dir_.File("indexname.ini"); }
};

TEST_F(IndexInfoLoaderTest, NameFromTheMapReplacesTheFirstEightBytesAndTheSymbolIsNotRead) {
  fw::test::WriteFileBytes(NameFile(), "399001,深证成指\n000300,ABCD\n");
  IndexInfoLoader loader(Folder(), tables_.indexInfo, NameFile());
  ASSERT_EQ(loader.Load(), 0);
  EXPECT_TRUE(Logged(0, "opening indexname.ini file: " + NameFile() + " "));
  EXPECT_TRUE(Logged(0, "加载成功, 文件行数 = 2, 指数个数 = 2"));
  const IndexInfoRecord* mapped = tables_.indexInfo.Get(399001);
  ASSERT_NE(mapped, nullptr);
  EXPECT_EQ(FieldBytes(mapped->Symbol), std::string("深证成指") + std::string(32, '\0'));
  EXPECT_EQ(FieldText(mapped->EnglishName), "SZSE COMPONENT INDEX");
  EXPECT_EQ(mapped->PrevCloseIdx, 10234.5678);
  const IndexInfoRecord* unmapped = tables_.indexInfo.Get(399006);
  EXPECT_EQ(FieldBytes(unmapped->Symbol), std::string("创业板指数") + std::string(30, '\0'));
  EXPECT_EQ(unmapped->PrevCloseIdx, 2000.1);
  EXPECT_EQ(loader.Names().Size(), 2u);
}

TEST_F(IndexInfoLoaderTest, MappedNameKeepsTheRestOfAnEarlierSymbol) {
  fw::test::WriteFileBytes(NameFile(), "399001,AB\n");
  ASSERT_EQ(IndexInfoLoader(Folder(), tables_.indexInfo, dir_.File("none.ini")).Load(), 0);
  ASSERT_EQ(IndexInfoLoader(Folder(), tables_.indexInfo, NameFile()).Load(), 0);
  // "深证成份指数" in GBK, its first 8 bytes replaced by "AB" and six zero bytes.
  const std::string full = "深证成份指数";
  EXPECT_EQ(
      FieldBytes(tables_.indexInfo.Get(399001)->Symbol),
      std::string("AB\0\0\0\0\0\0", 8) + full.substr(8) + std::string(40 - full.size(), '\0'));
}

TEST_F(IndexInfoLoaderTest, SymbolThatDoesNotConvertIsNotStored) {
  ASSERT_EQ(IndexInfoLoader(Folder(), tables_.indexInfo, "").Load(), 0);
  const IndexInfoRecord* r = tables_.indexInfo.Get(399300);
  ASSERT_NE(r, nullptr);
  EXPECT_EQ(FieldBytes(r->Symbol), std::string(40, '\0'));
  EXPECT_EQ(FieldText(r->EnglishName), "CSI 300");
}

TEST_F(IndexInfoLoaderTest, MissingNameFileIsLoggedAndTheIndexFileStillLoads) {
  ASSERT_EQ(IndexInfoLoader(Folder(), tables_.indexInfo, NameFile()).Load(), 0);
  EXPECT_TRUE(Logged(0, "加载指数名称映射文件出错"));
  EXPECT_EQ(tables_.indexInfo.Size(), 3u);
  EXPECT_EQ(FieldBytes(tables_.indexInfo.Get(399001)->Symbol),
            std::string("深证成份指数") + std::string(28, '\0'));
}

TEST_F(IndexInfoLoaderTest, NameMapIsReadEvenWhenTheIndexFileIsMissing) {
  fw::test::WriteFileBytes(NameFile(), "399001,ABC\n");
  clock_.Set(20240306, test::kNow);
  IndexInfoLoader loader(Folder(), tables_.indexInfo, NameFile());
  EXPECT_EQ(loader.Load(), -200);
  EXPECT_EQ(loader.Names().Size(), 1u);
  EXPECT_EQ(tables_.indexInfo.Size(), 0u);
}

// ---- security switches
// ---------------------------------------------------------------------------------

std::string SwitchSetting(const std::string& type, const std::string& status) {
  return "<Setting>" + El("Switch", type) + (status.empty() ? "" : El("Status", status)) +
         "</Setting>";
}

TEST_F(ParameterLoadersTest, SwitchStatusesBecomeTrueOrFalseByNumber) {
  WriteXml("securityswitch",
           Security("000001  ",
                    El("SecurityIDSource", "102") + "<SecuritySwitch>" + SwitchSetting("1", "Y") +
                        SwitchSetting("2", "N") + SwitchSetting("31", "Yes") +
                        SwitchSetting("3", "y") + SwitchSetting("0", "Y") +
                        SwitchSetting("32", "Y") + SwitchSetting("x", "Y") + "</SecuritySwitch>" +
                        "<SecuritySwitch>" + SwitchSetting("22", "Y") + "</SecuritySwitch>"));
  ASSERT_EQ(SecuritySwitchLoader(Folder(), tables_.securitySwitch).Load(), 0);
  const SecuritySwitchRecord* r = tables_.securitySwitch.Get(1);
  ASSERT_NE(r, nullptr);
  std::string expected(31, '\0');
  expected[0] = 'T';
  expected[1] = 'F';
  expected[2] = 'F';
  expected[21] = 'T';
  expected[30] = 'T';
  EXPECT_EQ(FieldBytes(r->switches), expected);
}

TEST_F(ParameterLoadersTest, SwitchOfAnotherSourceMakesNoRecord) {
  WriteXml(
      "securityswitch",
      Security("000001  ", El("SecurityIDSource", "103") + "<SecuritySwitch>" +
                               SwitchSetting("1", "Y") + "</SecuritySwitch>") +
          Security("000002  ", "<SecuritySwitch>" + SwitchSetting("1", "Y") + "</SecuritySwitch>"));
  ASSERT_EQ(SecuritySwitchLoader(Folder(), tables_.securitySwitch).Load(), 0);
  EXPECT_EQ(tables_.securitySwitch.Get(1), nullptr);
  ASSERT_NE(tables_.securitySwitch.Get(2), nullptr);
  EXPECT_EQ(tables_.securitySwitch.Get(2)->Switch(1), 'T');
}

TEST_F(ParameterLoadersTest, SwitchWithoutStatusKeepsItsEarlierValue) {
  WriteXml("securityswitch",
           Security("000001  ", "<SecuritySwitch>" + SwitchSetting("5", "Y") +
                                    SwitchSetting("6", "Y") + "</SecuritySwitch>"));
  ASSERT_EQ(SecuritySwitchLoader(Folder(), tables_.securitySwitch).Load(), 0);
  clock_.Set(20240306, test::kNow);
  fw::test::WriteFileBytes(
      dir_.File("securityswitch_20240306.xml"),
      "<S>" +
          Security("000001  ", "<SecuritySwitch>" + SwitchSetting("5", "") +
                                   SwitchSetting("6", "N") + "</SecuritySwitch>") +
          "</S>");
  ASSERT_EQ(SecuritySwitchLoader(Folder(), tables_.securitySwitch).Load(), 0);
  EXPECT_EQ(tables_.securitySwitch.Get(1)->Switch(5), 'T');
  EXPECT_EQ(tables_.securitySwitch.Get(1)->Switch(6), 'F');
}

}  // namespace
}  // namespace fw::refdata
