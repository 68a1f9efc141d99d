#include "refdata/closing_data.h"

#include <utility>

#include "foundation/run_log.h"
#include "refdata/code_number.h"
#include "refdata/field_text.h"

namespace fw::refdata {
namespace {

constexpr const char* kClosingRootName = "cashsecurityclosemd";

// A price or amount in thousandths, rounded half up.
int64_t Thousandths(double value) { return TruncateToInt64((value + 0.0005) * 1000); }

}  // namespace

ClosingDataLoader::ClosingDataLoader(std::string folder, ClosingDataSink& sink)
    : ReferenceFileReader(std::move(folder), kClosingRootName), sink_(sink) {}

int32_t ClosingDataLoader::Load() {
  if (sink_.ClosingDataLoaded()) return 0;
  const std::string path = TodaysPath();
  if (const int32_t opened = OpenPath(path); opened != 0) return opened;
  WriteLog(0, "open securityclosemd.xml file: %s ", path.c_str());
  ApplySecurities();
  return 0;
}

int32_t ClosingDataLoader::LoadText(std::string_view text) {
  if (sink_.ClosingDataLoaded()) return 0;
  if (const int32_t opened = OpenText(text); opened != 0) return opened;
  ApplySecurities();
  return 0;
}

void ClosingDataLoader::ApplySecurities() {
  // Set before any record, so that live snapshots stop changing the quotes from now on.
  sink_.SetClosingDataLoaded();
  while (EnterNextSecurity()) {
    char code[9];
    if (ReadSecurityID(code)) {
      int64_t close = 0;
      int64_t trades = 0;
      int64_t volume = 0;
      int64_t turnover = 0;
      if (ReadChild("ClosePx")) close = Thousandths(ParseDouble(Text()));
      if (ReadChild("NumTrades")) trades = TruncateToInt64(ParseDouble(Text()));
      if (ReadChild("TotalVolumeTrade")) volume = TruncateToInt64(ParseDouble(Text()));
      if (ReadChild("TotalValueTrade")) turnover = Thousandths(ParseDouble(Text()));
      sink_.ApplyClose(CodeNumber(code, 8), close, trades, volume, turnover);
    }
    LeaveToParent();
  }
}

}  // namespace fw::refdata
