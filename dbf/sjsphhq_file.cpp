// SJSPHHQ.DBF rows: record 0, the after-hours rows and the identity rows of statistics and
// indexes. Runs on the write thread, one writer per cycle.
#include "dbf/sjsphhq_file.h"

#include <cstring>
#include <string_view>

#include "dbf/dbf_format.h"
#include "dbf/legacy_text.h"
#include "dbf/row_writer.h"
#include "foundation/local_clock.h"
#include "refdata/code_number.h"

namespace fw::dbf {

using namespace sjsphhq;
using market::AfterHoursQuoteRecord;

namespace {

constexpr double kPriceUnit = 0.001;  // price and turnover units: thousandths of a yuan

// Rows copy the code's and the name's field widths straight from the records; the record number
// reads the whole 8-byte code up to its first zero byte.
static_assert(sizeof(AfterHoursQuoteRecord::code) == 8);
static_assert(sizeof(market::VolumeStatRecord::code) == 8 &&
              sizeof(market::VolumeStatRecord::name) >= 8);
static_assert(sizeof(market::IndexQuoteRecord::code) == 8 &&
              sizeof(market::IndexQuoteRecord::name) >= 8);
static_assert(sizeof(refdata::SecurityRecord::Symbol) >= 8);

bool AllZero(const char* bytes, size_t length) {
  for (size_t i = 0; i < length; ++i) {
    if (bytes[i] != '\0') return false;
  }
  return true;
}

// HQJLH: "%09s" of the code, which the C library pads with '0' on the left.
void RecordNumber(RowWriter& w, const char (&code)[8]) {
  char number[kLegacyTextSize];
  w.Chars(HQJLH, number, ZeroPaddedText(code, sizeof code, 9, number));
}

// Blank group types and zero numbers for groups first..5.
void ZeroGroups(RowWriter& w, int first) {
  for (int group = first; group <= 5; ++group) {
    w.Zeros(GroupField(group, kPrice), GroupField(group, kSellVolume));
  }
}

void FillFirstRecord(RowWriter& w, const market::MarketClock& clock, int64_t hqtime) {
  char date[kLegacyTextSize];
  const size_t dateLength = DateText(clock.marketDate, date);
  // "%02c": the C library pads the flag character with '0' on the left.
  const char closed[2] = {'0', clock.AfterHoursClosed};
  w.Chars(HQJLH, "000000000", 9);
  w.Letter(HQHQLB, ' ');
  w.Chars(HQZQDM, "000000", 6);
  w.Chars(HQZQJC, date, dateLength);
  w.Letter(GroupField(1, kType), ' ');
  w.Zero(GroupField(1, kPrice));
  w.Chars(GroupField(1, kVolume), closed, sizeof closed);
  w.Zeros(GroupField(1, kTurnover), GroupField(1, kSellVolume));
  ZeroGroups(w, 2);
  w.Integer(HQTIME, hqtime);
  w.Letter(HQBYWB, ' ');
}

}  // namespace

SZSjsphhqFile::SZSjsphhqFile() : RowFile(kFields, OnFailure::kAbort, NulBytes::kBlank) {}

int32_t SZSjsphhqFile::Open(const std::string& path) {
  hqtime_ = int64_t{LocalNow().Time()} * 100;
  return RowFile::Open(path);
}

int32_t SZSjsphhqFile::WriteFirstRecord(const market::MarketClock& clock, uint32_t rowEstimate) {
  return WriteFirstRecordWith(rowEstimate,
                              [&](RowWriter& w) { FillFirstRecord(w, clock, hqtime_); });
}

bool SZSjsphhqFile::RewriteFirstRecord(const market::MarketClock& clock) {
  return RewriteFirstRecordWith([&](RowWriter& w) { FillFirstRecord(w, clock, hqtime_); });
}

void SZSjsphhqFile::MoveLocalTime() {
  const int64_t now = int64_t{LocalNow().Time()} * 100;
  if (now == hqtime_) return;
  hqtime_ = now;
  char text[kFields[HQTIME].length];
  if (WriteIntegerField(hqtime_, sizeof text, text)) {
    PatchCarriedField(HQTIME, std::string_view(text, sizeof text), 1);
  }
}

int32_t SZSjsphhqFile::WriteAfterHoursRows(std::span<const AfterHoursQuoteRecord> rows,
                                           const refdata::SecurityTable& securities) {
  afterHoursFirst_ = rowCounter_;
  return WriteRows(rows,
                   [&](const AfterHoursQuoteRecord& r) { WriteAfterHoursRow(r, securities); });
}

bool SZSjsphhqFile::RewriteAfterHoursRow(size_t row, const AfterHoursQuoteRecord& record,
                                         const refdata::SecurityTable& securities) {
  return RewriteRow(afterHoursFirst_ + static_cast<uint32_t>(row),
                    [&] { WriteAfterHoursRow(record, securities); });
}

void SZSjsphhqFile::WriteAfterHoursRow(const AfterHoursQuoteRecord& r,
                                       const refdata::SecurityTable& securities) {
  const refdata::SecurityRecord* security = securities.Get(CodeNumber(r.code, sizeof r.code));
  if (security == nullptr) return;
  RowWriter w(*this, RowWriter::Mode::kIgnoreFailures);
  RecordNumber(w, r.code);
  w.Chars(HQHQLB, kMarketType, 3);
  w.Chars(HQZQDM, r.code, 6);
  w.Text(HQZQJC, security->Symbol, 8);
  for (int column = 0; column < 2; ++column) {
    const int group = column + 1;
    w.Letter(GroupField(group, kType), static_cast<char>('0' + group));
    w.Scaled(GroupField(group, kPrice), r.price[column], kPriceUnit);
    w.Integer(GroupField(group, kVolume), r.volume[column]);
    w.Scaled(GroupField(group, kTurnover), r.turnover[column], kPriceUnit);
    w.Integer(GroupField(group, kTrades), r.trades[column]);
    w.Integer(GroupField(group, kBuyVolume), r.bidVolume[column]);
    w.Integer(GroupField(group, kSellVolume), r.askVolume[column]);
  }
  ZeroGroups(w, 3);
  w.Integer(HQTIME, hqtime_);
  w.Letter(HQBYWB, ' ');
}

template <typename Record>
void SZSjsphhqFile::WriteIdentityRow(const Record& r) {
  if (AllZero(r.code, sizeof r.code)) return;
  RowWriter w(*this, RowWriter::Mode::kIgnoreFailures);
  RecordNumber(w, r.code);
  w.Chars(HQHQLB, kMarketType, 3);
  w.Chars(HQZQDM, r.code, 6);
  w.Text(HQZQJC, r.name, 8);
  w.Letter(GroupField(1, kType), '1');
  w.Zeros(GroupField(1, kPrice), GroupField(1, kSellVolume));
  w.Letter(GroupField(2, kType), '2');
  w.Zeros(GroupField(2, kPrice), GroupField(2, kSellVolume));
  ZeroGroups(w, 3);
  w.Integer(HQTIME, hqtime_);
  w.Letter(HQBYWB, ' ');
}

int32_t SZSjsphhqFile::WriteStatisticsRows(std::span<const market::VolumeStatRecord> stats) {
  statFirst_ = rowCounter_;
  return WriteRows(stats, [&](const market::VolumeStatRecord& r) { WriteIdentityRow(r); });
}

int32_t SZSjsphhqFile::WriteIndexRows(std::span<const market::IndexQuoteRecord> indexes) {
  indexFirst_ = rowCounter_;
  return WriteRows(indexes, [&](const market::IndexQuoteRecord& r) { WriteIdentityRow(r); });
}

bool SZSjsphhqFile::RewriteStatisticsRow(size_t row, const market::VolumeStatRecord& stat) {
  return RewriteRow(statFirst_ + static_cast<uint32_t>(row), [&] { WriteIdentityRow(stat); });
}

bool SZSjsphhqFile::RewriteIndexRow(size_t row, const market::IndexQuoteRecord& index) {
  return RewriteRow(indexFirst_ + static_cast<uint32_t>(row), [&] { WriteIdentityRow(index); });
}

}  // namespace fw::dbf
