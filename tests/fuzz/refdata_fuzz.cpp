// Arbitrary bytes as each of the daily reference files in turn and as the closing file: every load
// either fails with its code and leaves its table empty, or fills it with records whose keys and
// flags keep the loaders' rules. The first byte also chooses the issue price setting.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "foundation/local_clock.h"
#include "foundation/run_log.h"
#include "refdata/closing_data.h"
#include "refdata/code_number.h"
#include "refdata/reference_loaders.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

using namespace fw::refdata;

using fw::fuzz::Check;

// Every record sits under the code number of its own SecurityID, never 0.
template <typename Table>
void CheckKeys(const Table& table, int32_t result) {
  Check(result == 0 || result == -200 || result == -300);
  if (result != 0) Check(table.Size() == 0);
  for (const auto& [code, entry] : table) {
    Check(code != 0);
    Check(fw::CodeNumber(entry.record.SecurityID, 8) == code);
    Check(table.LoadedInCurrentFile(code));
  }
}

class Sink : public ClosingDataSink {
 public:
  bool ClosingDataLoaded() const override { return loaded; }
  void SetClosingDataLoaded() override { loaded = true; }
  void ApplyClose(uint32_t code, int64_t close, int64_t trades, int64_t volume,
                  int64_t turnover) override {
    Check(loaded);  // the flag comes before any record
    sum += code + static_cast<uint64_t>(close + trades + volume + turnover);
  }
  bool loaded = false;
  uint64_t sum = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool ready = [] {
    fw::SetRunLogConsolePrinter([](std::string_view) {});
    fw::SetLocalClockForTesting([] { return fw::MakeLocalDateTime(20240305, 93000); });
    return true;
  }();
  (void)ready;
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const bool priceUpLimit = size > 0 && (data[0] & 1) != 0;
  ReferenceTables t;

  const int32_t securities = SecuritiesLoader("", t.securities).LoadText(text);
  CheckKeys(t.securities, securities);
  for (const auto& [code, entry] : t.securities) {
    const SecurityRecord& r = entry.record;
    Check(r.haltFlag == ' ' || r.haltFlag == 'Y');
    Check(r.marginFlag == ' ' || r.marginFlag == 'A' || r.marginFlag == 'C' || r.marginFlag == 'S');
    Check(r.spareFlag == ' ');
    Check(r.QualificationFlag == 'T' || r.QualificationFlag == 'F');
  }

  CheckKeys(t.afterHoursParams, AfterHoursParamsLoader("", t.afterHoursParams).LoadText(text));
  const int32_t bonds = BondDistributionParamsLoader("", t.bondDistributionParams).LoadText(text);
  CheckKeys(t.bondDistributionParams, bonds);
  for (const auto& [code, entry] : t.bondDistributionParams) Check(entry.record.price == 1.0);

  CheckKeys(t.cashAuctionParams, CashAuctionParamsLoader("", t.cashAuctionParams).LoadText(text));
  for (const auto& [code, entry] : t.cashAuctionParams) {
    Check(entry.record.settingCount >= 0 && entry.record.settingCount <= 5);
  }

  CheckKeys(t.issueParams, IssueParamsLoader("", t.issueParams, priceUpLimit).LoadText(text));
  for (const auto& [code, entry] : t.issueParams) {
    const IssueParamsRecord& r = entry.record;
    Check(r.issuePrice == (priceUpLimit ? r.PriceUpperLimit : r.PriceLowerLimit));
  }

  CheckKeys(t.rightsIssueParams, RightsIssueParamsLoader("", t.rightsIssueParams).LoadText(text));
  CheckKeys(t.negotiationParams, NegotiationParamsLoader("", t.negotiationParams).LoadText(text));
  CheckKeys(t.indexInfo, IndexInfoLoader("", t.indexInfo, "").LoadText(text));
  CheckKeys(t.stat, StatLoader("", t.stat).LoadText(text));

  CheckKeys(t.securitySwitch, SecuritySwitchLoader("", t.securitySwitch).LoadText(text));
  for (const auto& [code, entry] : t.securitySwitch) {
    for (char c : entry.record.switches) Check(c == '\0' || c == 'T' || c == 'F');
  }

  Sink sink;
  const int32_t closing = ClosingDataLoader("", sink).LoadText(text);
  Check(closing == 0 || closing == -200 || closing == -300);
  Check(sink.loaded == (closing == 0));
  return 0;
}
