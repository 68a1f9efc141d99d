// SJSZS.DBF rows: one record per index at four decimals. Runs on the write thread, one writer per
// cycle.
#include "dbf/sjszs_file.h"

#include "dbf/row_writer.h"
#include "refdata/code_number.h"

namespace fw::dbf {

using namespace sjszs;
using market::IndexQuoteRecord;

namespace {

constexpr double kIndexPoints = 0.0001;  // index values at four decimals: points * 10,000
constexpr double kTurnover = 0.001;      // thousandths of a yuan

// ZSZSQC is the 8 name bytes and the 4 zero bytes that follow them in the record's name.
constexpr size_t kNameWithZeros = 12;
static_assert(sizeof(IndexQuoteRecord::name) >= kNameWithZeros);
static_assert(kFields[ZSZSQC].length == kNameWithZeros);
static_assert(sizeof(IndexQuoteRecord::code) >= 6);
static_assert(sizeof(refdata::IndexInfoRecord::EnglishName) >= 20);

}  // namespace

SZSjszsFile::SZSjszsFile(bool lostHighVol)
    : RowFile(kFields, OnFailure::kClose, NulBytes::kKeep), lostHighVol_(lostHighVol) {}

int32_t SZSjszsFile::Open(const std::string& path) {
  if (path.empty()) return kNoPath;
  return RowFile::Open(path);
}

int32_t SZSjszsFile::BeginRows(const market::MarketClock&, uint32_t rowEstimate) {
  rowCounter_ = 0;
  return SetRecordCount(rowEstimate);
}

int32_t SZSjszsFile::WriteIndexRows(std::span<const IndexQuoteRecord> indexes4,
                                    const refdata::IndexInfoTable& indexInfo) {
  const auto hasCode = [](const IndexQuoteRecord& x) {
    return CodeNumber(x.code, sizeof x.code) != 0;
  };
  recordOfRow_.assign(indexes4.size(), kNoRecord);
  return WriteRows(indexes4, hasCode, [&](const IndexQuoteRecord& x) {
    recordOfRow_[static_cast<size_t>(&x - indexes4.data())] = rowCounter_ - 1;
    WriteIndexRow(x, indexInfo);
  });
}

bool SZSjszsFile::RewriteIndexRow(size_t row, const IndexQuoteRecord& index,
                                  const refdata::IndexInfoTable& indexInfo) {
  if (row >= recordOfRow_.size() || recordOfRow_[row] == kNoRecord) return false;
  return RewriteRow(recordOfRow_[row], [&] { WriteIndexRow(index, indexInfo); });
}

void SZSjszsFile::WriteIndexRow(const IndexQuoteRecord& x,
                                const refdata::IndexInfoTable& indexInfo) {
  RowWriter w(*this, RowWriter::Mode::kStopAtFirstFailure);
  w.Chars(ZSZSDM, x.code, 6);
  w.Text(ZSZSQC, x.name, kNameWithZeros);
  if (w.Failed()) {
    PrintRowError(w.FailedField());
    return;
  }
  RowWriter rest(*this, RowWriter::Mode::kIgnoreFailures);
  if (const refdata::IndexInfoRecord* info = indexInfo.Get(CodeNumber(x.code, sizeof x.code))) {
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

}  // namespace fw::dbf
