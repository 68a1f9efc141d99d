// SJSZS.DBF rows: one record per index at four decimals. Runs on the write thread, one writer per
// cycle.
#include "dbf/sjszs_file.h"

#include "dbf/row_writer.h"
#include "refdata/code_number.h"

namespace fw::dbf {

using namespace sjszs;

namespace {

constexpr double kIndexPoints = 0.0001;  // index values at four decimals: points * 10,000
constexpr double kTurnover = 0.001;      // thousandths of a yuan

}  // namespace

SZSjszsFile::SZSjszsFile(bool lostHighVol) : DbfTable(kFields), lostHighVol_(lostHighVol) {}

int32_t SZSjszsFile::Open(const std::string& path) {
  rowCounter_ = 0;
  if (path.empty()) return kNoPath;
  const int32_t result = DbfTable::Open(path);
  if (result < 0) {
    Close();
    return result;
  }
  return 1;
}

int32_t SZSjszsFile::BeginRows(const market::MarketClock&, uint32_t rowEstimate) {
  rowCounter_ = 0;
  return SetRecordCount(rowEstimate);
}

int32_t SZSjszsFile::WriteIndexRows(std::span<const market::IndexQuoteRecord> indexes4,
                                    const refdata::IndexInfoTable& indexInfo) {
  int32_t result = 1;
  for (const market::IndexQuoteRecord& x : indexes4) {
    const uint32_t code = CodeNumber(x.code, sizeof x.code);
    if (code == 0) continue;
    const int32_t row = GoToRecordExtending(rowCounter_++);
    if (row < 0) {
      result = row;
      continue;
    }

    RowWriter w(*this, RowWriter::Mode::kStopAtFirstFailure);
    w.Chars(ZSZSDM, x.code, 6);
    w.Text(ZSZSQC, x.name, 12);
    if (w.Failed()) {
      PrintRowError(w.FailedField());
      continue;
    }
    RowWriter rest(*this, RowWriter::Mode::kIgnoreFailures);
    if (const refdata::IndexInfoRecord* info = indexInfo.Get(code)) {
      rest.Chars(ZSYWMC, info->EnglishName, 20);
    }
    rest.Scaled(ZSSSZS, x.prevClose, kIndexPoints);
    rest.Scaled(ZSKSZS, x.open, kIndexPoints);
    rest.Scaled(ZSZGZS, x.high, kIndexPoints);
    rest.Scaled(ZSZDZS, x.low, kIndexPoints);
    rest.Scaled(ZSZJZS, x.current, kIndexPoints);
    rest.Integer(ZSCJSL, ClampVolume(x.volume, lostHighVol_));
    rest.Scaled(ZSCJJE, x.turnover, kTurnover);
  }
  return result;
}

int32_t SZSjszsFile::Flush() {
  const int32_t result = DbfTable::Flush(NulBytes::kKeep);
  if (result < 0) Close();
  return result;
}

}  // namespace fw::dbf
