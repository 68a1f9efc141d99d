// The security information files (SJSXXN, SJSXX) for a generated 20,000-security day, and
// SJSPHHQ and SJSZHHQ for the same day, each written as one write cycle does it (open, fill,
// flush, close), beside the floor: a plain rewrite of a file of SJSXXN's size with the same file
// steps. The fill alone shows what the formatting costs. Real time: the flush to disk is much of
// it.
#include <benchmark/benchmark.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "dbf/sjsphhq_file.h"
#include "dbf/sjsxx_file.h"
#include "dbf/sjszhhq_file.h"
#include "foundation/platform/platform.h"
#include "refdata/reference_loaders.h"
#include "tools/sample_day.h"

namespace {

using namespace fw;

struct Day {
  refdata::ReferenceTables tables;
  refdata::FeedOverlay overlay;
  std::vector<market::AfterHoursQuoteRecord> afterHours;
  std::vector<market::VolumeStatRecord> stats;
  std::vector<market::IndexQuoteRecord> indexes;
  std::vector<market::NegotiatedQuoteRecord> orders;
  market::MarketClock clock{20260305, 143005, 250, '1', '0', '0', '0'};
  uint32_t estimate = 0;

  Day() {
    using namespace refdata;
    const tools::SampleDay day = tools::BuildSampleDay({tools::kMaxSecurities, 20260305, 5});
    for (const tools::SampleFile& f : tools::RenderSampleDay(day)) {
      const std::string root = f.name.substr(0, f.name.find('_'));
      if (root == "securities") SecuritiesLoader("", tables.securities).LoadText(f.content);
      if (root == "cashauctionparams")
        CashAuctionParamsLoader("", tables.cashAuctionParams).LoadText(f.content);
      if (root == "negotiationparams")
        NegotiationParamsLoader("", tables.negotiationParams).LoadText(f.content);
      if (root == "afterhoursparams")
        AfterHoursParamsLoader("", tables.afterHoursParams).LoadText(f.content);
      if (root == "securityswitch")
        SecuritySwitchLoader("", tables.securitySwitch).LoadText(f.content);
      if (root == "issueparams")
        IssueParamsLoader("", tables.issueParams, true).LoadText(f.content);
      if (root == "rightsissueparams")
        RightsIssueParamsLoader("", tables.rightsIssueParams).LoadText(f.content);
      if (root == "bonddistributionparams") {
        BondDistributionParamsLoader("", tables.bondDistributionParams).LoadText(f.content);
      }
      if (root == "indexinfo") IndexInfoLoader("", tables.indexInfo, "").LoadText(f.content);
      if (root == "stat") StatLoader("", tables.stat).LoadText(f.content);
    }
    overlay = FeedOverlay::From(tables);
    for (const auto& [code, entry] : tables.securities) {
      if (entry.record.SecurityType == 29 || entry.record.SecurityType == 30) continue;
      market::AfterHoursQuoteRecord r{};
      std::memcpy(r.code, entry.record.SecurityID, 6);
      for (int column = 0; column < 2; ++column) {
        r.price[column] = 10000 + code % 5000;
        r.volume[column] = code * 100;
        r.turnover[column] = r.price[column] * r.volume[column];
        r.trades[column] = code % 977;
      }
      afterHours.push_back(r);
    }
    for (const auto& [code, entry] : tables.stat) {
      market::VolumeStatRecord r{};
      std::memcpy(r.code, entry.record.SecurityID, 6);
      stats.push_back(r);
    }
    for (const auto& [code, entry] : tables.indexInfo) {
      market::IndexQuoteRecord r{};
      std::memcpy(r.code, entry.record.SecurityID, 6);
      indexes.push_back(r);
    }
    for (size_t i = 0; i < 2000; ++i) {
      market::NegotiatedQuoteRecord o{};
      o.sequence = static_cast<int64_t>(i + 1);
      std::memcpy(o.code, afterHours[i].code, 6);
      o.volume = 100000;
      o.price = 10500;
      o.quoteKind = 'H';
      o.side = 'B';
      o.status = '1';
      orders.push_back(o);
    }
    estimate = static_cast<uint32_t>(tables.indexInfo.Size() + tables.stat.Size() +
                                     tables.securities.Size());
  }
};

const Day& TheDay() {
  static const Day* day = new Day;
  return *day;
}

std::string BenchPath(const char* name) {
  const auto folder = std::filesystem::temp_directory_path() / "fenwright-bench-writers";
  std::filesystem::create_directories(folder);
  return (folder / name).string();
}

template <typename File>
void WriteSecurityInfo(benchmark::State& state, const char* name, bool flush) {
  const Day& day = TheDay();
  const std::string path = BenchPath(name);
  for (auto _ : state) {
    File file;
    file.Open(path);
    if (flush) {
      if (file.WriteFile(day.tables, day.overlay, day.clock) != 0)
        state.SkipWithError("write failed");
    } else {
      file.SetData(day.tables, day.overlay, day.clock);
    }
    file.Close();
  }
}

void BM_SjsxxnWrite(benchmark::State& state) {
  WriteSecurityInfo<dbf::SZSjsxxnFile>(state, "SJSXXN.DBF", true);
}
BENCHMARK(BM_SjsxxnWrite)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_SjsxxnFillOnly(benchmark::State& state) {
  WriteSecurityInfo<dbf::SZSjsxxnFile>(state, "SJSXXN-fill.DBF", false);
}
BENCHMARK(BM_SjsxxnFillOnly)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_SjsxxWrite(benchmark::State& state) {
  WriteSecurityInfo<dbf::SZSjsxxFile>(state, "SJSXX.DBF", true);
}
BENCHMARK(BM_SjsxxWrite)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_SjsphhqWrite(benchmark::State& state) {
  const Day& day = TheDay();
  const std::string path = BenchPath("SJSPHHQ.DBF");
  for (auto _ : state) {
    dbf::SZSjsphhqFile file;
    file.Open(path);
    file.WriteFirstRecord(day.clock, day.estimate);
    file.WriteAfterHoursRows(day.afterHours, day.tables.securities);
    file.WriteStatisticsRows(day.stats);
    file.WriteIndexRows(day.indexes);
    if (file.Flush() != 1) state.SkipWithError("flush failed");
    file.Abort();
  }
}
BENCHMARK(BM_SjsphhqWrite)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_SjszhhqWrite2000Orders(benchmark::State& state) {
  const Day& day = TheDay();
  const std::string path = BenchPath("SJSZHHQ.DBF");
  for (auto _ : state) {
    dbf::SZSjszhhqFile file;
    file.Open(path);
    file.WriteFirstRecord(day.clock, day.estimate);
    file.WriteNegotiatedRows(day.orders);
    if (file.Flush() != 1) state.SkipWithError("flush failed");
    file.Abort();
  }
}
BENCHMARK(BM_SjszhhqWrite2000Orders)->Unit(benchmark::kMillisecond)->UseRealTime();

// The floor: SJSXXN's bytes through the same file steps.
void BM_PlainWriteOfSjsxxnSize(benchmark::State& state) {
  const Day& day = TheDay();
  const size_t records = 1 + day.tables.securities.Size() + day.tables.issueParams.Size() +
                         day.tables.rightsIssueParams.Size() +
                         day.tables.bondDistributionParams.Size() + day.tables.indexInfo.Size() +
                         day.tables.stat.Size();
  const std::string path = BenchPath("PLAIN.DBF");
  const std::string bytes(1729 + 302 * records, ' ');
  for (auto _ : state) {
    platform::SharedFile file;
    if (file.OpenExisting(path) < 0) file.Create(path, false);
    file.SeekTo(0);
    if (file.Write(bytes.data(), static_cast<uint32_t>(bytes.size())) < 0)
      state.SkipWithError("write failed");
    file.SetEnd();
    file.FlushToDisk();
    file.Close();
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(bytes.size()));
}
BENCHMARK(BM_PlainWriteOfSjsxxnSize)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
