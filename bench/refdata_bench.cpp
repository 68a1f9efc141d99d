// Loading a whole trading day of reference data: the ten daily files of a generated 20,000-security
// day read by the loaders in the processor's order, beside its floors measured in the same run:
// reading the same files' bytes, and reading plus indexing them with the XML reader.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "foundation/local_clock.h"
#include "foundation/platform/platform.h"
#include "foundation/run_log.h"
#include "foundation/xml_document.h"
#include "refdata/reference_loaders.h"
#include "tools/sample_day.h"

namespace {

// The generated day, written once for today's date into a scratch folder.
class Day {
 public:
  Day() {
    fw::SetRunLogConsolePrinter([](std::string_view) {});
    std::random_device seed;
    folder_ = std::filesystem::temp_directory_path() /
              ("fenwright-refdata-bench-" + std::to_string(seed()));
    std::filesystem::create_directories(folder_);
    fw::SetRunLogFolder((folder_ / "log").string());
    const fw::tools::SampleDay day =
        fw::tools::BuildSampleDay({fw::tools::kMaxSecurities, fw::LocalNow().Date(), 2024});
    prefix_ = folder_.string() + static_cast<char>(std::filesystem::path::preferred_separator);
    fw::tools::WriteSampleDay(day, prefix_);
    for (const fw::tools::SampleFile& f : fw::tools::RenderSampleDay(day)) {
      if (f.name.find(".xml") != std::string::npos && f.name.rfind("cashsecurityclosemd", 0) != 0) {
        files_.push_back(prefix_ + f.name);
        bytes_ += f.content.size();
      }
    }
  }
  ~Day() {
    fw::CloseRunLog();
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
  }
  const std::string& Prefix() const { return prefix_; }
  const std::vector<std::string>& Files() const { return files_; }
  size_t Bytes() const { return bytes_; }

 private:
  std::filesystem::path folder_;
  std::string prefix_;
  std::vector<std::string> files_;
  size_t bytes_ = 0;
};

const Day& TheDay() {
  static const Day day;
  return day;
}

void BM_ReadTheTenFiles(benchmark::State& state) {
  const Day& day = TheDay();
  std::string content;
  for (auto _ : state) {
    for (const std::string& path : day.Files()) {
      fw::platform::ReadWholeFile(path, &content);
      benchmark::DoNotOptimize(content.data());
    }
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                          static_cast<int64_t>(day.Bytes()));
}
BENCHMARK(BM_ReadTheTenFiles)->Unit(benchmark::kMillisecond);

void BM_ReadAndIndexTheTenFiles(benchmark::State& state) {
  const Day& day = TheDay();
  for (auto _ : state) {
    for (const std::string& path : day.Files()) {
      fw::XmlDocument document;
      benchmark::DoNotOptimize(document.OpenFile(path));
    }
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                          static_cast<int64_t>(day.Bytes()));
}
BENCHMARK(BM_ReadAndIndexTheTenFiles)->Unit(benchmark::kMillisecond);

void ClearAll(fw::refdata::ReferenceTables& t) {
  t.ResetForNewDay();
  t.securitySwitch.Clear();
  t.negotiationParams.Clear();
  t.afterHoursParams.Clear();
}

// The processor's order: stat, index info, securities, issue, rights issue, bond distribution,
// cash auction, negotiation, after hours, security switch.
void BM_LoadWholeDay(benchmark::State& state) {
  using namespace fw::refdata;
  const Day& day = TheDay();
  const std::string folder = day.Prefix();
  const std::string names = folder + "indexname.ini";
  ReferenceTables tables;
  for (auto _ : state) {
    state.PauseTiming();
    ClearAll(tables);
    state.ResumeTiming();
    int32_t failed = 0;
    failed |= StatLoader(folder, tables.stat).Load();
    failed |= IndexInfoLoader(folder, tables.indexInfo, names).Load();
    failed |= SecuritiesLoader(folder, tables.securities).Load();
    failed |= IssueParamsLoader(folder, tables.issueParams, true).Load();
    failed |= RightsIssueParamsLoader(folder, tables.rightsIssueParams).Load();
    failed |= BondDistributionParamsLoader(folder, tables.bondDistributionParams).Load();
    failed |= CashAuctionParamsLoader(folder, tables.cashAuctionParams).Load();
    failed |= NegotiationParamsLoader(folder, tables.negotiationParams).Load();
    failed |= AfterHoursParamsLoader(folder, tables.afterHoursParams).Load();
    failed |= SecuritySwitchLoader(folder, tables.securitySwitch).Load();
    if (failed != 0) {
      state.SkipWithError("a reference file failed to load");
      break;
    }
  }
  state.counters["securities"] = static_cast<double>(tables.securities.Size());
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                          static_cast<int64_t>(day.Bytes()));
}
BENCHMARK(BM_LoadWholeDay)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
