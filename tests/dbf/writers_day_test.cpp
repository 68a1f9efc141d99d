// A generated day of 20,000 securities: its reference files go through the loaders, the four files
// are written and read back with python3-dbfread, and the record counts and a sample of rows must
// agree with the generator's own model of the day. Skipped where python3 or the modules are
// missing (the Windows build under Wine).
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "dbf/sjsphhq_file.h"
#include "dbf/sjsxx_file.h"
#include "dbf/sjszhhq_file.h"
#include "refdata/reference_loaders.h"
#include "tests/support/independent_dbf_reader.h"
#include "tests/support/test_support.h"
#include "tools/sample_day.h"

namespace fw::dbf {
namespace {

using ::fw::test::Reading;
using tools::SampleDay;
using tools::SampleSecurity;

// The field's position in the reader's field list.
size_t FieldIndex(const Reading& r, const std::string& name) {
  const size_t at = r.header.find("fields=");
  size_t index = 0;
  for (size_t start = at + 7; start < r.header.size(); ++index) {
    size_t end = r.header.find(',', start);
    if (end == std::string::npos) end = r.header.size();
    if (r.header.compare(start, name.size() + 1, name + ":") == 0) return index;
    start = end + 1;
  }
  ADD_FAILURE() << "no field " << name;
  return 0;
}

// Records by their code (first field); later duplicates are ignored.
std::map<std::string, const std::vector<std::string>*> ByCode(const Reading& r) {
  std::map<std::string, const std::vector<std::string>*> rows;
  for (const auto& record : r.records) {
    if (!record.empty() && !record[0].empty()) rows.emplace(record[0], &record);
  }
  return rows;
}

std::string IsoDate(uint32_t yyyymmdd) {
  char text[16];
  std::snprintf(text, sizeof text, "%04u-%02u-%02u", yyyymmdd / 10000, yyyymmdd / 100 % 100,
                yyyymmdd % 100);
  return text;
}

class WritersDayTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    day_ = new SampleDay(tools::BuildSampleDay({tools::kMaxSecurities, 20260305, 11}));
  }
  static void TearDownTestSuite() {
    delete day_;
    day_ = nullptr;
  }

  void SetUp() override {
    python_ = ::fw::test::FindReaderPython();
    if (python_.empty()) GTEST_SKIP() << "python3 with dbfread and dbf is not available";
    catcher_ = ::fw::test::WindowCatcher::Install();
    LoadDay();
  }
  void TearDown() override { ::fw::test::WindowCatcher::Uninstall(); }

  void LoadDay() {
    using namespace refdata;
    for (const tools::SampleFile& f : tools::RenderSampleDay(*day_)) {
      const std::string root = f.name.substr(0, f.name.find('_'));
      int32_t result = 0;
      if (root == "securities")
        result = SecuritiesLoader("", tables_.securities).LoadText(f.content);
      if (root == "cashauctionparams")
        result = CashAuctionParamsLoader("", tables_.cashAuctionParams).LoadText(f.content);
      if (root == "negotiationparams")
        result = NegotiationParamsLoader("", tables_.negotiationParams).LoadText(f.content);
      if (root == "afterhoursparams")
        result = AfterHoursParamsLoader("", tables_.afterHoursParams).LoadText(f.content);
      if (root == "securityswitch")
        result = SecuritySwitchLoader("", tables_.securitySwitch).LoadText(f.content);
      if (root == "issueparams")
        result = IssueParamsLoader("", tables_.issueParams, true).LoadText(f.content);
      if (root == "rightsissueparams")
        result = RightsIssueParamsLoader("", tables_.rightsIssueParams).LoadText(f.content);
      if (root == "bonddistributionparams") {
        result =
            BondDistributionParamsLoader("", tables_.bondDistributionParams).LoadText(f.content);
      }
      if (root == "indexinfo")
        result = IndexInfoLoader("", tables_.indexInfo, "").LoadText(f.content);
      if (root == "stat") result = StatLoader("", tables_.stat).LoadText(f.content);
      ASSERT_EQ(result, 0) << f.name;
    }
  }

  Reading Read(const std::string& path) {
    return ::fw::test::ReadWith(python_, "--lenient dbfread", path, dir_.File("read.out"));
  }

  // The security rows the model says the file holds, every 401st loadable security.
  std::vector<const SampleSecurity*> Sample() const {
    std::vector<const SampleSecurity*> sample;
    size_t n = 0;
    for (const SampleSecurity& s : day_->securities) {
      if (s.Loadable() && n++ % 401 == 0) sample.push_back(&s);
    }
    return sample;
  }

  static SampleDay* day_;
  std::string python_;
  ::fw::test::TempDir dir_;
  ::fw::test::FakeClock localClock_{20260305, 93005};
  std::shared_ptr<::fw::test::WindowCatcher> catcher_;
  market::MarketClock clock_{20260305, 93015, 250, '1', '0', '0', '0'};
  refdata::ReferenceTables tables_;
};

SampleDay* WritersDayTest::day_ = nullptr;

TEST_F(WritersDayTest, SecurityInformationFilesOfAWholeDay) {
  size_t loadable = 0;
  for (const SampleSecurity& s : day_->securities) loadable += s.Loadable() ? 1 : 0;
  ASSERT_EQ(tables_.securities.Size(), loadable);
  const size_t records = 1 + loadable + day_->issues.size() + day_->rightsIssues.size() +
                         day_->bondDistributions.size() + day_->indexes.size() + day_->stats.size();

  const auto overlay = refdata::FeedOverlay::From(tables_);
  for (const bool full : {true, false}) {
    SCOPED_TRACE(full ? "SJSXXN" : "SJSXX");
    const std::string path = dir_.File(full ? "SJSXXN.DBF" : "SJSXX.DBF");
    SZSjsxxnFile n;
    SZSjsxxFile x;
    SecurityInfoFile& file = full ? static_cast<SecurityInfoFile&>(n) : x;
    ASSERT_EQ(file.Open(path), 0);
    ASSERT_EQ(file.WriteFile(tables_, overlay, clock_), 0);
    file.Close();

    const Reading r = Read(path);
    EXPECT_NE(r.header.find(" records=" + std::to_string(records) + " "), std::string::npos)
        << r.header;
    ASSERT_EQ(r.records.size(), records);
    const auto rows = ByCode(r);
    const size_t name = FieldIndex(r, "XXZQJC");
    const size_t unit = FieldIndex(r, "XXJYDW");
    const size_t shares = FieldIndex(r, "XXZFXL");
    const size_t buyUnit = FieldIndex(r, "XXBLDW");
    for (const SampleSecurity* s : Sample()) {
      SCOPED_TRACE(s->code);
      const auto it = rows.find(s->code);
      ASSERT_TRUE(it != rows.end());
      const std::vector<std::string>& row = *it->second;
      EXPECT_EQ(row[unit], std::to_string(s->qtyUnit));
      EXPECT_EQ(row[shares], std::to_string(s->outstandingShare));
      int64_t expectedBuyUnit = 0;
      if (s->cashAuction) {
        expectedBuyUnit = s->cashAuction->buyQtyUnit;
      } else if (s->negotiation) {
        expectedBuyUnit = s->negotiation->buyQtyUnit;
      } else if (s->afterHours) {
        expectedBuyUnit = s->afterHours->buyQtyUnit;
      }
      EXPECT_EQ(row[buyUnit], std::to_string(expectedBuyUnit));
      // The name's first 8 bytes; a character cut in two reads as '?'.
      EXPECT_EQ(row[name].substr(0, 2), s->symbolGbk.substr(0, 2));
      if (full) {
        EXPECT_EQ(row[FieldIndex(r, "XXSSRQ")], s->listDate != 0 ? IsoDate(s->listDate) : "");
        const char kind = s->cashAuction   ? (s->negotiation ? 'N' : 'G')
                          : s->negotiation ? 'O'
                          : s->afterHours  ? ' '
                                           : '\0';
        EXPECT_EQ(row[FieldIndex(r, "XXJYLX")],
                  kind == 'N' || kind == 'G' || kind == 'O' ? std::string(1, kind) : "");
      }
    }
    for (const tools::SampleIndex& i : day_->indexes) EXPECT_EQ(rows.count(i.code), 1u) << i.code;
    // No row failed.
    EXPECT_TRUE(catcher_->LogLines().empty()) << catcher_->LogLines().front();
  }
}

TEST_F(WritersDayTest, AfterHoursAndNegotiatedFilesOfAWholeDay) {
  std::vector<market::AfterHoursQuoteRecord> afterHours;
  for (const auto& [code, entry] : tables_.securities) {
    if (entry.record.SecurityType == 29 || entry.record.SecurityType == 30) continue;
    market::AfterHoursQuoteRecord r{};
    std::memcpy(r.code, entry.record.SecurityID, 6);
    std::memcpy(r.name, entry.record.Symbol, 8);
    r.price[0] = code % 100000;
    r.volume[1] = code;
    afterHours.push_back(r);
  }
  std::vector<market::VolumeStatRecord> stats;
  for (const auto& [code, entry] : tables_.stat) {
    market::VolumeStatRecord r{};
    std::memcpy(r.code, entry.record.SecurityID, 6);
    stats.push_back(r);
  }
  std::vector<market::IndexQuoteRecord> indexes;
  for (const auto& [code, entry] : tables_.indexInfo) {
    market::IndexQuoteRecord r{};
    std::memcpy(r.code, entry.record.SecurityID, 6);
    indexes.push_back(r);
  }
  const uint32_t estimate = static_cast<uint32_t>(tables_.indexInfo.Size() + tables_.stat.Size() +
                                                  tables_.securities.Size());
  const std::string path = dir_.File("SJSPHHQ.DBF");
  SZSjsphhqFile phhq;
  ASSERT_EQ(phhq.Open(path), 1);
  ASSERT_EQ(phhq.WriteFirstRecord(clock_, estimate), 1);
  ASSERT_EQ(phhq.WriteAfterHoursRows(afterHours, tables_.securities), 1);
  ASSERT_EQ(phhq.WriteStatisticsRows(stats), 1);
  ASSERT_EQ(phhq.WriteIndexRows(indexes), 1);
  ASSERT_EQ(phhq.Flush(), 1);
  phhq.Abort();

  const Reading r = Read(path);
  ASSERT_EQ(r.records.size(), estimate + 1u);
  const size_t rows = afterHours.size() + stats.size() + indexes.size();
  // Types 29 and 30 have no after-hours row: their records stay blank at the end.
  for (size_t i = rows + 1; i < r.records.size(); ++i) EXPECT_EQ(r.records[i][2], "") << i;
  const size_t price = FieldIndex(r, "HQJG1");
  const size_t volume = FieldIndex(r, "HQCJSL2");
  for (size_t i = 0; i < afterHours.size(); i += 997) {
    const auto& record = r.records[i + 1];
    const std::string code(afterHours[i].code, 6);
    const int64_t number = std::stoll(code);
    EXPECT_EQ(record[0], std::to_string(number)) << code;  // "%09s" of the code, read as a number
    EXPECT_EQ(record[2], code);
    EXPECT_EQ(std::stod(record[price]), static_cast<double>(number % 100000) / 1000) << code;
    EXPECT_EQ(record[volume], std::to_string(number)) << code;
  }
  EXPECT_EQ(r.records[rows][2], std::string(indexes.back().code, 6));

  std::vector<market::NegotiatedQuoteRecord> orders;
  for (int i = 1; i <= 2000; ++i) {
    market::NegotiatedQuoteRecord o{};
    o.sequence = i;
    if (i % 3 != 0) std::memcpy(o.code, afterHours[static_cast<size_t>(i)].code, 6);
    o.volume = i * 100;
    o.quoteKind = i % 2 ? 'H' : 'O';
    o.side = 'B';
    o.status = '1';
    orders.push_back(o);
  }
  const std::string zhPath = dir_.File("SJSZHHQ.DBF");
  SZSjszhhqFile zhhq;
  ASSERT_EQ(zhhq.Open(zhPath), 1);
  ASSERT_EQ(zhhq.WriteFirstRecord(clock_, estimate), 1);
  ASSERT_EQ(zhhq.WriteNegotiatedRows(orders), 1);
  ASSERT_EQ(zhhq.Flush(), 1);
  zhhq.Abort();
  const Reading z = Read(zhPath);
  // Every third order carries no code and uses no record.
  ASSERT_EQ(z.records.size(), 1u + 1334u);
  EXPECT_EQ(z.records[1][0], "1");
  EXPECT_EQ(z.records[2][0], "2");
  EXPECT_EQ(z.records[3][0], "4");
  EXPECT_EQ(z.records[1334][0], "2000");
  EXPECT_EQ(z.records[1334][FieldIndex(z, "HQSBSL")], "200000");
  EXPECT_EQ(z.records[1334][FieldIndex(z, "HQZLLB")], "OB");
}

}  // namespace
}  // namespace fw::dbf
