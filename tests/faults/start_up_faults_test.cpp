// The day's start-up under file-system faults: the security information files written once (-4
// when one cannot be opened, -5 when one cannot be written, each with its line), every reference
// file that cannot be read (its loader's code, its table untouched, start-up ended or continued as
// the file's rank says), the index name file, the holiday file and the closing file (tried again
// at the next pass). After each fault is gone the next attempt completes by itself.
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "processor/process_io.h"
#include "refdata/closing_data.h"
#include "refdata/reference_loaders.h"
#include "tests/faults/day_processor_fixture.h"
#include "tests/faults/fault_plan.h"
#include "tests/support/market_rows.h"

namespace fw::test {
namespace {

const char kStarted[] = "MProcessIO::Instance() : 初始化成功完成!";

class StartUpFaultsTest : public DayProcessorFixture {
 protected:
  void SetUp() override {
    DayProcessorFixture::SetUp();
    if (HasFatalFailure()) return;
    // The security information files of a start-up that met no fault.
    processor_.SetConfig(ref_);
    ASSERT_EQ(processor_.Instance(), 0);
    xxn_ = ReadFileBytes(ref_.szl1);
    xx_ = ReadFileBytes(ref_.Sjsxxdbf);
    processor_.Reset();
    processor_.SetConfig(out_);
    window_->Clear();
  }

  std::string Xml(const std::string& root) const {
    return dir_.File("xml") + platform::kPathSeparator + root + "_" + std::to_string(kDay) + ".xml";
  }
  // Whether a line with exactly this level and text was logged.
  bool Logged(unsigned level, const std::string& text) const {
    const std::string prefix = "<Log_LV" + std::to_string(level) + "> ";
    for (const std::string& line : window_->LogLines()) {
      if (line.rfind(prefix, 0) == 0 && line.size() >= text.size() &&
          line.compare(line.size() - text.size(), text.size(), text) == 0) {
        return true;
      }
    }
    return false;
  }

  std::string xxn_;
  std::string xx_;
};

// The codes of the failed step as the start-up lines print them (%u of a negative number).
std::string Unsigned(int32_t code) { return std::to_string(static_cast<uint32_t>(code)); }

TEST_F(StartUpFaultsTest, SecurityInformationFileFaultsEndStartUpWithTheirCodeAndLine) {
  struct Case {
    size_t fault;  // row of WriteFaults()
    bool sjsxxn;   // the fault is on SJSXXN (else SJSXX)
    int32_t result;
    unsigned level;
    std::string line;
  };
  const std::vector<Case> cases = {
      {0, true, -4, 2,
       "create szl1 file failed, errorcode=" + Unsigned(kAccessDenied) + ", path=" + out_.szl1},
      {0, false, -4, 2,
       "create szl1 file failed, errorcode=" + Unsigned(kAccessDenied) + ", path=" + out_.Sjsxxdbf},
      {1, false, -5, 2, " flush  data file(sjsxx.dbf) failed, errorcode=" + Unsigned(-2)},
      {2, false, -5, 2, " flush  data file(sjsxx.dbf) failed, errorcode=" + Unsigned(-3)},
      {3, false, -5, 2, " flush  data file(sjsxx.dbf) failed, errorcode=" + Unsigned(-3)},
      {4, false, -5, 2, " flush  data file(sjsxx.dbf) failed, errorcode=" + Unsigned(-4)},
      {5, false, -5, 2, " flush  data file(sjsxx.dbf) failed, errorcode=" + Unsigned(-5)},
      {1, true, -5, 2, "flush data file(sjsxxn.dbf) failed, errorcode=" + Unsigned(-2)},
      {2, true, -5, 2, "flush data file(sjsxxn.dbf) failed, errorcode=" + Unsigned(-3)},
      {3, true, -5, 2, "flush data file(sjsxxn.dbf) failed, errorcode=" + Unsigned(-3)},
      {4, true, -5, 2, "flush data file(sjsxxn.dbf) failed, errorcode=" + Unsigned(-4)},
      {5, true, -5, 2, "flush data file(sjsxxn.dbf) failed, errorcode=" + Unsigned(-5)},
  };
  for (const Case& c : cases) {
    const Fault& fault = WriteFaults()[c.fault];
    SCOPED_TRACE(std::string(c.sjsxxn ? "SJSXXN: " : "SJSXX: ") + fault.name);
    platform::RemoveFile(out_.szl1);
    platform::RemoveFile(out_.Sjsxxdbf);
    window_->Clear();
    {
      FaultPlan plan;
      Apply(plan, fault, c.sjsxxn ? out_.szl1 : out_.Sjsxxdbf);
      EXPECT_EQ(processor_.Instance(), c.result);
    }
    EXPECT_TRUE(Logged(c.level, c.line));
    EXPECT_FALSE(window_->HasLine(kStarted));
    EXPECT_EQ(processor_.IsInitialized(), 0);

    // The receive thread's next attempt, with the fault gone.
    window_->Clear();
    EXPECT_EQ(processor_.Instance(), 0);
    EXPECT_TRUE(window_->HasLine(kStarted));
    EXPECT_EQ(ReadFileBytes(out_.szl1), xxn_);
    EXPECT_EQ(ReadFileBytes(out_.Sjsxxdbf), xx_);
    processor_.Reset();
  }
}

TEST_F(StartUpFaultsTest, UnreadableReferenceFileEndsOrContinuesStartUpByItsRank) {
  struct Case {
    const char* root;
    int32_t result;  // 0: start-up completes without the file
    unsigned level;
    const char* line;
  };
  const Case cases[] = {
      {"stat", -1, 1, "load stat.xml failed, errorcode=4294967096"},
      {"indexinfo", -1, 1, "load indexInfo.xml failed, errorcode=4294967096"},
      {"securities", -2, 2, "load security.xml failed, errorcode=4294967096"},
      {"issueparams", 0, 2, "load issueparams.xml failed, errorcode=4294967096"},
      {"rightsissueparams", 0, 2, "load rightsissueparams.xml failed, errorcode=4294967096"},
      {"bonddistributionparams", 0, 2,
       "load bonddistributionparams.xml failed, errorcode=4294967096"},
      {"cashauctionparams", -3, 2, "load CashActionParams.xml failed, errorcode=4294967096"},
      {"negotiationparams", 0, 2, "load NegotiationParams.xml failed, errorcode=4294967096"},
      {"afterhoursparams", 0, 2, "load AfterHoursParams.xml failed, errorcode=4294967096"},
      {"securityswitch", 0, 2, "load SecuritySwitch.xml failed, errorcode=4294967096"},
  };
  for (const Case& c : cases) {
    for (FileOp op : {FileOp::kOpen, FileOp::kRead}) {
      SCOPED_TRACE(std::string(c.root) +
                   (op == FileOp::kOpen ? " cannot be opened" : " read fails"));
      platform::RemoveFile(out_.szl1);
      platform::RemoveFile(out_.Sjsxxdbf);
      window_->Clear();
      {
        FaultPlan plan;
        plan.Fail(op, Xml(c.root), kIoError);
        EXPECT_EQ(processor_.Instance(), c.result);
        EXPECT_EQ(plan.Hits(), 1);
      }
      EXPECT_TRUE(Logged(c.level, c.line));
      EXPECT_EQ(processor_.IsInitialized(), c.result == 0 ? 1 : 0);
      // A start-up that stopped wrote no security information file.
      EXPECT_EQ(platform::FileExists(out_.Sjsxxdbf), c.result == 0);
      processor_.Reset();

      window_->Clear();
      EXPECT_EQ(processor_.Instance(), 0);
      EXPECT_FALSE(window_->HasLine(c.line));
      EXPECT_EQ(ReadFileBytes(out_.szl1), xxn_);
      EXPECT_EQ(ReadFileBytes(out_.Sjsxxdbf), xx_);
      processor_.Reset();
    }
  }
}

// A record's bytes, so that "untouched" means every byte, padding included.
template <typename Table>
std::map<uint32_t, std::string> Contents(const Table& table) {
  std::map<uint32_t, std::string> contents;
  for (const auto& [code, entry] : table) {
    contents[code] = std::string(reinterpret_cast<const char*>(&entry.record), sizeof entry.record);
    contents[code] += table.LoadedInCurrentFile(code) ? 'L' : '-';
  }
  return contents;
}

// Loads the day's file, then loads it again while reading fails: the second load answers -200 and
// leaves every record as the first load made it, none of them counted as today's any more.
template <typename Loader, typename Table, typename... Extra>
void CheckUntouched(const std::string& folder, const std::string& path, Table& table,
                    Extra... extra) {
  ASSERT_EQ(Loader(folder, table, extra...).Load(), 0);
  ASSERT_GT(table.Size(), 0u);
  auto before = Contents(table);
  for (auto& [code, bytes] : before) bytes.back() = '-';
  for (FileOp op : {FileOp::kOpen, FileOp::kRead}) {
    FaultPlan plan;
    plan.Fail(op, path, kIoError);
    EXPECT_EQ(Loader(folder, table, extra...).Load(), -200);
    EXPECT_EQ(Contents(table), before);
  }
}

TEST_F(StartUpFaultsTest, LoaderThatCannotReadItsFileLeavesItsTableUntouched) {
  using namespace refdata;
  const std::string folder = out_.loadFolderExpanded;
  ReferenceTables t;
  {
    SCOPED_TRACE("securities");
    CheckUntouched<SecuritiesLoader>(folder, Xml("securities"), t.securities);
  }
  {
    SCOPED_TRACE("afterhoursparams");
    CheckUntouched<AfterHoursParamsLoader>(folder, Xml("afterhoursparams"), t.afterHoursParams);
  }
  {
    SCOPED_TRACE("bonddistributionparams");
    CheckUntouched<BondDistributionParamsLoader>(folder, Xml("bonddistributionparams"),
                                                 t.bondDistributionParams);
  }
  {
    SCOPED_TRACE("cashauctionparams");
    CheckUntouched<CashAuctionParamsLoader>(folder, Xml("cashauctionparams"), t.cashAuctionParams);
  }
  {
    SCOPED_TRACE("issueparams");
    CheckUntouched<IssueParamsLoader>(folder, Xml("issueparams"), t.issueParams, true);
  }
  {
    SCOPED_TRACE("rightsissueparams");
    CheckUntouched<RightsIssueParamsLoader>(folder, Xml("rightsissueparams"), t.rightsIssueParams);
  }
  {
    SCOPED_TRACE("negotiationparams");
    CheckUntouched<NegotiationParamsLoader>(folder, Xml("negotiationparams"), t.negotiationParams);
  }
  {
    SCOPED_TRACE("indexinfo");
    CheckUntouched<IndexInfoLoader>(folder, Xml("indexinfo"), t.indexInfo,
                                    std::string(out_.IndexNameFile));
  }
  {
    SCOPED_TRACE("stat");
    CheckUntouched<StatLoader>(folder, Xml("stat"), t.stat);
  }
  {
    SCOPED_TRACE("securityswitch");
    CheckUntouched<SecuritySwitchLoader>(folder, Xml("securityswitch"), t.securitySwitch);
  }
}

TEST_F(StartUpFaultsTest, UnreadableIndexNameFileLeavesTheIndexFilesOwnNames) {
  // An index whose operator's name differs from the exchange's symbol shows which one was used.
  const tools::SampleIndex* renamed = nullptr;
  for (const tools::SampleIndex& index : day_.indexes) {
    if (!index.shortNameGbk.empty() && index.symbolGbk.compare(0, 8, index.shortNameGbk) != 0) {
      renamed = &index;
      break;
    }
  }
  ASSERT_NE(renamed, nullptr);
  FaultPlan plan;
  plan.Fail(FileOp::kRead, out_.IndexNameFile, kIoError);
  ASSERT_EQ(processor_.Instance(), 0);
  EXPECT_TRUE(Logged(0, "加载指数名称映射文件出错"));
  const refdata::IndexInfoRecord* record =
      tables_.indexInfo.Get(static_cast<uint32_t>(std::stoul(renamed->code)));
  ASSERT_NE(record, nullptr);
  const size_t n = std::min<size_t>(renamed->symbolGbk.size(), sizeof record->Symbol);
  EXPECT_EQ(std::string(record->Symbol, n), renamed->symbolGbk.substr(0, n));

  // The next day's start-up reads the file again.
  plan.Lift();
  processor_.Reset();
  window_->Clear();
  ASSERT_EQ(processor_.Instance(), 0);
  EXPECT_FALSE(window_->HasLine("加载指数名称映射文件出错"));
  record = tables_.indexInfo.Get(static_cast<uint32_t>(std::stoul(renamed->code)));
  ASSERT_NE(record, nullptr);
  EXPECT_EQ(std::string(record->Symbol, renamed->shortNameGbk.size()), renamed->shortNameGbk);
}

TEST_F(StartUpFaultsTest, UnreadableHolidayFileWorksTheDayAndIsReadAgainAtTheNextStart) {
  ASSERT_FALSE(day_.holidays.empty());
  const uint32_t holiday = day_.holidays.front();
  ASSERT_EQ(WeekdayOf(holiday) % 6 != 0, true) << "the sample's first holiday is a weekday";
  clock_.Set(holiday, 100000);
  const char line[] = "加载节假日文件出错，请检查配置和文件是否存在(将在节假日也进行工作)";
  {
    FaultPlan plan;
    plan.Fail(FileOp::kRead, out_.holiday, kIoError);
    // Not taken for a holiday: the start-up goes on and looks for the day's files (there are none).
    EXPECT_EQ(processor_.Instance(), -1);
    EXPECT_TRUE(Logged(0, line));
  }
  window_->Clear();
  EXPECT_EQ(processor_.Instance(), processor::kStartUpHoliday);
  EXPECT_FALSE(window_->HasLine(line));
}

TEST_F(StartUpFaultsTest, UnreadableClosingFileIsTriedAgainAtTheNextPass) {
  ASSERT_EQ(processor_.Instance(), 0);
  clock_.Set(kDay, 150101);
  const std::string closing = Xml("cashsecurityclosemd");
  const char loaded[] = "加载收盘文件成功";
  {
    FaultPlan plan;
    plan.Fail(FileOp::kRead, closing, kIoError, 2);
    EXPECT_FALSE(processor_.LoadClosingData());
    EXPECT_FALSE(processor_.LoadClosingData());
    EXPECT_FALSE(processor_.State().ClosingDataLoaded());
    EXPECT_EQ(window_->CountLines(loaded), 0u);
    // Third pass: the file reads.
    EXPECT_TRUE(processor_.LoadClosingData());
    EXPECT_EQ(plan.Hits(), 2);
  }
  EXPECT_TRUE(processor_.State().ClosingDataLoaded());
  EXPECT_FALSE(processor_.LoadClosingData());
  EXPECT_EQ(window_->CountLines(loaded), 1u);

  const tools::SampleSecurity* stock = nullptr;
  for (const tools::SampleSecurity& s : day_.securities) {
    if (s.Loadable() && s.cashAuction && s.closePx > 0) {
      stock = &s;
      break;
    }
  }
  ASSERT_NE(stock, nullptr);
  market::StockQuoteRecord quote{};
  ASSERT_TRUE(FindStockRow(processor_.State(), stock->code, &quote));
  EXPECT_EQ(quote.last, stock->closePx);
}

}  // namespace
}  // namespace fw::test
