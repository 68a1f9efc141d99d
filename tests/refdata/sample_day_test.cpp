// The sample trading day: determinism and shape of the model, and a whole generated day of 20,000
// securities read back by the loaders and checked against the model.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>
#include <string>

#include "refdata/closing_data.h"
#include "refdata/index_name_map.h"
#include "refdata/reference_loaders.h"
#include "tests/refdata/refdata_fixture.h"
#include "tools/sample_day.h"

namespace fw::refdata {
namespace {

using test::FieldBytes;
using test::FieldText;
using tools::SampleDay;
using tools::SampleSecurity;

std::string Padded(const std::string& text, size_t width) {
  std::string s = text.substr(0, width);
  s.resize(width, '\0');
  return s;
}

TEST(SampleDayModelTest, SameSeedGivesTheSameFilesAndAnotherSeedOthers) {
  const SampleDay a = tools::BuildSampleDay({500, 20240305, 42});
  const SampleDay b = tools::BuildSampleDay({500, 20240305, 42});
  const SampleDay c = tools::BuildSampleDay({500, 20240305, 43});
  const auto filesA = tools::RenderSampleDay(a);
  const auto filesB = tools::RenderSampleDay(b);
  const auto filesC = tools::RenderSampleDay(c);
  ASSERT_EQ(filesA.size(), 13u);
  for (size_t i = 0; i < filesA.size(); ++i) {
    EXPECT_EQ(filesA[i].name, filesB[i].name);
    EXPECT_EQ(filesA[i].content, filesB[i].content) << filesA[i].name;
  }
  EXPECT_NE(filesA[0].content, filesC[0].content);
}

TEST(SampleDayModelTest, FilesAreNamedAsTheLoadersExpect) {
  const SampleDay day = tools::BuildSampleDay({50, 20240305, 1});
  std::set<std::string> names;
  for (const tools::SampleFile& f : tools::RenderSampleDay(day)) names.insert(f.name);
  const std::set<std::string> expected = {"securities_20240305.xml",
                                          "cashauctionparams_20240305.xml",
                                          "negotiationparams_20240305.xml",
                                          "afterhoursparams_20240305.xml",
                                          "securityswitch_20240305.xml",
                                          "issueparams_20240305.xml",
                                          "rightsissueparams_20240305.xml",
                                          "bonddistributionparams_20240305.xml",
                                          "indexinfo_20240305.xml",
                                          "stat_20240305.xml",
                                          "cashsecurityclosemd_20240305.xml",
                                          "indexname.ini",
                                          "holiday.ini"};
  EXPECT_EQ(names, expected);
}

TEST(SampleDayModelTest, CodesAreUniqueAscendingAndEveryTypeIsThere) {
  const SampleDay day = tools::BuildSampleDay({tools::kMaxSecurities, 20240305, 9});
  ASSERT_EQ(day.securities.size(), tools::kMaxSecurities);
  std::set<int> types;
  uint64_t previous = 0;
  size_t longCodes = 0;
  for (const SampleSecurity& s : day.securities) {
    ASSERT_TRUE(s.code.size() == 6 || s.code.size() == 8) << s.code;
    ASSERT_TRUE(
        std::all_of(s.code.begin(), s.code.end(), [](char c) { return c >= '0' && c <= '9'; }));
    const uint64_t number = std::stoull(s.code);
    ASSERT_GT(number, previous) << s.code;  // ascending, hence unique
    previous = number;
    types.insert(s.securityType);
    longCodes += s.Loadable() ? 0 : 1;
    EXPECT_FALSE(s.symbol.empty());
    EXPECT_LE(s.symbolGbk.size(), 40u);
    if (s.hasPriceLimit) {
      EXPECT_LE(s.limitDownPx, s.prevClosePx) << s.code;
      EXPECT_GE(s.limitUpPx, s.prevClosePx) << s.code;
      EXPECT_LE(s.closePx, s.limitUpPx) << s.code;
      EXPECT_GE(s.closePx, s.limitDownPx) << s.code;
    }
  }
  for (int type : {1,  2,  3,  4,  5,  6,  7,  8,  9,  10, 11, 12, 13, 14, 15,
                   16, 17, 18, 19, 20, 23, 24, 25, 26, 28, 29, 30, 33, 34, 35}) {
    EXPECT_TRUE(types.count(type)) << "SecurityType " << type;
  }
  EXPECT_GT(longCodes, 0u);
  EXPECT_EQ(day.securities.front().code, "000001");
}

TEST(SampleDayModelTest, SmallDaysAndCountsBeyondTheLimitAreClamped) {
  EXPECT_EQ(tools::BuildSampleDay({0, 20240305, 1}).securities.size(), 1u);
  EXPECT_EQ(tools::BuildSampleDay({1, 20240305, 1}).securities.size(), 1u);
  EXPECT_EQ(tools::BuildSampleDay({37, 20240305, 1}).securities.size(), 37u);
  EXPECT_EQ(tools::BuildSampleDay({99999, 20240305, 1}).securities.size(), tools::kMaxSecurities);
}

TEST(SampleDayModelTest, TheModelsDateIsNeverAHoliday) {
  // 1 October is a listed day off every year; a day generated for it must still be worked.
  const SampleDay day = tools::BuildSampleDay({10, 20241001, 1});
  EXPECT_EQ(std::count(day.holidays.begin(), day.holidays.end(), 20241001u), 0);
  EXPECT_EQ(std::count(day.holidays.begin(), day.holidays.end(), 20241002u), 1);
  std::string holiday;
  for (const tools::SampleFile& f : tools::RenderSampleDay(day)) {
    if (f.name == "holiday.ini") holiday = f.content;
  }
  EXPECT_NE(
      holiday.find(
          "[2024]\n01=1\n02=11,12,13,14,15\n04=4,5\n05=1,2,3\n06=10\n09=17\n10=2,3,4,5,6,7\n"),
      std::string::npos)
      << holiday;
  EXPECT_NE(holiday.find("[2023]\n"), std::string::npos);
}

class SampleDayFilesTest : public test::RefdataTest {};

TEST_F(SampleDayFilesTest, MissingFoldersAreMadeAndEveryFileIsWritten) {
  const SampleDay day = tools::BuildSampleDay({20, test::kToday, 5});
  const std::string folder = dir_.File("a") + "/b/c";
  ASSERT_EQ(tools::WriteSampleDay(day, folder), 0);
  for (const tools::SampleFile& f : tools::RenderSampleDay(day)) {
    EXPECT_EQ(fw::test::ReadFileBytes(folder + "/" + f.name), f.content) << f.name;
  }
  // A folder that cannot exist gives the failure's code.
  fw::test::WriteFileBytes(dir_.File("plain"), "x");
  EXPECT_LT(tools::WriteSampleDay(day, dir_.File("plain") + "/below"), 0);
}

// ---- a whole day read back
// ----------------------------------------------------------------------------

class RecordingSink : public ClosingDataSink {
 public:
  struct Close {
    int64_t close, trades, volume, turnover;
  };
  bool ClosingDataLoaded() const override { return loaded; }
  void SetClosingDataLoaded() override { loaded = true; }
  void ApplyClose(uint32_t code, int64_t close, int64_t trades, int64_t volume,
                  int64_t turnover) override {
    closes[code] = {close, trades, volume, turnover};
  }
  bool loaded = false;
  std::map<uint32_t, Close> closes;
};

class GeneratedDayTest : public test::RefdataTest {
 protected:
  void SetUp() override {
    RefdataTest::SetUp();
    day_ = tools::BuildSampleDay({tools::kMaxSecurities, test::kToday, 2024});
    ASSERT_EQ(tools::WriteSampleDay(day_, Folder()), 0);
  }
  SampleDay day_;
  ReferenceTables tables_;
};

TEST_F(GeneratedDayTest, AllTenFilesLoadAndAgreeWithTheModel) {
  const std::string folder = Folder();
  ASSERT_EQ(StatLoader(folder, tables_.stat).Load(), 0);
  IndexInfoLoader indexLoader(folder, tables_.indexInfo, dir_.File("indexname.ini"));
  ASSERT_EQ(indexLoader.Load(), 0);
  ASSERT_EQ(SecuritiesLoader(folder, tables_.securities).Load(), 0);
  ASSERT_EQ(IssueParamsLoader(folder, tables_.issueParams, true).Load(), 0);
  ASSERT_EQ(RightsIssueParamsLoader(folder, tables_.rightsIssueParams).Load(), 0);
  ASSERT_EQ(BondDistributionParamsLoader(folder, tables_.bondDistributionParams).Load(), 0);
  ASSERT_EQ(CashAuctionParamsLoader(folder, tables_.cashAuctionParams).Load(), 0);
  ASSERT_EQ(NegotiationParamsLoader(folder, tables_.negotiationParams).Load(), 0);
  ASSERT_EQ(AfterHoursParamsLoader(folder, tables_.afterHoursParams).Load(), 0);
  ASSERT_EQ(SecuritySwitchLoader(folder, tables_.securitySwitch).Load(), 0);

  // Counts.
  size_t loadable = 0, cash = 0, negotiation = 0, afterHours = 0, switches = 0;
  for (const SampleSecurity& s : day_.securities) {
    if (!s.Loadable()) continue;
    ++loadable;
    cash += s.cashAuction ? 1 : 0;
    negotiation += s.negotiation ? 1 : 0;
    afterHours += s.afterHours ? 1 : 0;
    switches += s.switches.empty() ? 0 : 1;
  }
  EXPECT_LT(loadable, day_.securities.size());  // the long option codes are skipped
  EXPECT_EQ(tables_.securities.Size(), loadable);
  EXPECT_EQ(tables_.cashAuctionParams.Size(), cash);
  EXPECT_EQ(tables_.negotiationParams.Size(), negotiation);
  EXPECT_EQ(tables_.afterHoursParams.Size(), afterHours);
  EXPECT_EQ(tables_.securitySwitch.Size(), switches);
  EXPECT_EQ(tables_.issueParams.Size(), day_.issues.size());
  EXPECT_EQ(tables_.rightsIssueParams.Size(), day_.rightsIssues.size());
  EXPECT_EQ(tables_.bondDistributionParams.Size(), day_.bondDistributions.size());
  EXPECT_EQ(tables_.indexInfo.Size(), day_.indexes.size());
  EXPECT_EQ(tables_.stat.Size(), day_.stats.size());
  EXPECT_GT(tables_.issueParams.Size(), 128u);  // more than the writers' old fixed list held

  // A sample of securities, field by field.
  size_t checked = 0;
  for (size_t i = 0; i < day_.securities.size(); i += 97) {
    const SampleSecurity& s = day_.securities[i];
    if (!s.Loadable()) continue;
    SCOPED_TRACE(s.code);
    const uint32_t code = static_cast<uint32_t>(std::stoul(s.code));
    const SecurityRecord* r = tables_.securities.GetLoaded(code);
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(FieldBytes(r->SecurityID), s.code + "  ");
    EXPECT_EQ(FieldBytes(r->Symbol), Padded(s.symbolGbk, 40));
    EXPECT_EQ(FieldText(r->EnglishName), s.englishName.substr(0, 40));
    EXPECT_EQ(FieldBytes(r->ISIN), s.isin);
    EXPECT_EQ(r->SecurityType, s.securityType);
    EXPECT_EQ(r->ListDate, static_cast<int32_t>(s.listDate));
    EXPECT_EQ(r->PrevClosePx, static_cast<double>(s.prevClosePx) / 1000);
    EXPECT_EQ(r->QtyUnit, static_cast<double>(s.qtyUnit));
    EXPECT_EQ(r->DayTrading, s.dayTrading);
    EXPECT_EQ(r->OutstandingShare, static_cast<double>(s.outstandingShare));
    EXPECT_EQ(r->GageRatio, static_cast<float>(static_cast<double>(s.gageRatio) / 100));
    EXPECT_EQ(r->haltFlag, s.Halted() ? 'Y' : ' ');
    EXPECT_EQ(r->QualificationFlag, s.qualificationFlag == 'Y' ? 'T' : 'F');
    for (size_t k = 0; k < 9; ++k) {
      EXPECT_EQ(r->statusCodes[k], k < s.statuses.size() ? s.statuses[k] : 0) << "slot " << k;
    }
    const CashAuctionParamsRecord* c = tables_.cashAuctionParams.GetLoaded(code);
    ASSERT_EQ(c != nullptr, s.cashAuction.has_value());
    if (c != nullptr) {
      EXPECT_EQ(c->PriceTick, static_cast<double>(s.cashAuction->priceTick) / 1000);
      EXPECT_EQ(c->BuyQtyUnit, static_cast<double>(s.cashAuction->buyQtyUnit));
      ASSERT_EQ(c->settingCount, static_cast<int32_t>(s.cashAuction->settings.size()));
      for (size_t k = 0; k < s.cashAuction->settings.size(); ++k) {
        const tools::SampleLimitSetting& want = s.cashAuction->settings[k];
        EXPECT_EQ(c->settings[k].Type, want.type);
        EXPECT_EQ(c->settings[k].HasPriceLimit, want.hasPriceLimit);
        EXPECT_EQ(c->settings[k].LimitType, want.limitType);
        EXPECT_EQ(c->settings[k].LimitUpRate, want.limitUpRate);
        EXPECT_EQ(c->settings[k].LimitUpAbsolute, static_cast<double>(want.limitUpAbsolute) / 1000);
        EXPECT_EQ(c->settings[k].HasAuctionLimit, want.hasAuctionLimit);
      }
    }
    const NegotiationParamsRecord* n = tables_.negotiationParams.GetLoaded(code);
    ASSERT_EQ(n != nullptr, s.negotiation.has_value());
    if (n != nullptr) {
      EXPECT_EQ(n->PriceUpperLimit,
                static_cast<float>(static_cast<double>(s.negotiation->priceUpperLimit) / 1000));
    }
    const SecuritySwitchRecord* w = tables_.securitySwitch.GetLoaded(code);
    ASSERT_EQ(w != nullptr, !s.switches.empty());
    for (const tools::SampleSwitch& sw : s.switches) {
      EXPECT_EQ(w->Switch(sw.type), sw.enabled ? 'T' : 'F') << "switch " << sw.type;
    }
    ++checked;
  }
  EXPECT_GT(checked, 150u);

  for (const tools::SampleIssue& issue : day_.issues) {
    const IssueParamsRecord* r =
        tables_.issueParams.GetLoaded(static_cast<uint32_t>(std::stoul(issue.code)));
    ASSERT_NE(r, nullptr) << issue.code;
    EXPECT_EQ(FieldBytes(r->Symbol), Padded(issue.symbolGbk, 40));
    EXPECT_EQ(r->issuePrice, static_cast<double>(issue.priceUpperLimit) / 1000);
    EXPECT_EQ(r->QtyUpperLimit, static_cast<double>(issue.qtyUpperLimit));
  }

  // Indexes: names from the operator's file where it has one, from the index file otherwise.
  size_t mapped = 0;
  for (const tools::SampleIndex& index : day_.indexes) {
    const IndexInfoRecord* r =
        tables_.indexInfo.GetLoaded(static_cast<uint32_t>(std::stoul(index.code)));
    ASSERT_NE(r, nullptr) << index.code;
    if (index.shortNameGbk.empty()) {
      EXPECT_EQ(FieldBytes(r->Symbol), Padded(index.symbolGbk, 40)) << index.code;
    } else {
      ++mapped;
      EXPECT_EQ(FieldBytes(r->Symbol).substr(0, 8), Padded(index.shortNameGbk, 8)) << index.code;
      EXPECT_EQ(FieldBytes(r->Symbol).substr(8), Padded(std::string(), 32)) << index.code;
    }
    EXPECT_EQ(r->PrevCloseIdx, static_cast<double>(index.prevClose) / 10000) << index.code;
  }
  EXPECT_GT(mapped, 0u);
  // One comment line, one line per short name and one line for a code outside the index file.
  EXPECT_EQ(indexLoader.Names().LineCount(), mapped + 2);
  EXPECT_EQ(indexLoader.Names().IndexCount(), mapped + 1);
}

TEST_F(GeneratedDayTest, ClosingFileAgreesWithTheModel) {
  RecordingSink sink;
  ASSERT_EQ(ClosingDataLoader(Folder(), sink).Load(), 0);
  size_t expected = 0;
  for (const SampleSecurity& s : day_.securities) {
    if (!s.cashAuction) continue;
    ++expected;
    const auto it = sink.closes.find(static_cast<uint32_t>(std::stoul(s.code)));
    ASSERT_NE(it, sink.closes.end()) << s.code;
    EXPECT_EQ(it->second.close, s.closePx) << s.code;
    EXPECT_EQ(it->second.trades, s.numTrades) << s.code;
    EXPECT_EQ(it->second.volume, s.totalVolume) << s.code;
    EXPECT_EQ(it->second.turnover, s.totalValue) << s.code;
  }
  EXPECT_EQ(sink.closes.size(), expected);
}

}  // namespace
}  // namespace fw::refdata
