#include "dbf/sjsphhq_file.h"

#include <cstring>

#include "dbf/legacy_text.h"
#include "dbf/row_writer.h"
#include "foundation/error_code.h"
#include "foundation/local_clock.h"
#include "refdata/code_number.h"

namespace fw::dbf {

using namespace sjsphhq;
using market::AfterHoursQuoteRecord;

namespace {

constexpr double kPriceUnit = 0.001;  // price and turnover units: thousandths of a yuan

bool AllZero(const char* bytes, size_t length) {
  for (size_t i = 0; i < length; ++i) {
    if (bytes[i] != '\0') return false;
  }
  return true;
}

// Blank group types and zero numbers for groups first..5.
void ZeroGroups(RowWriter& w, int first) {
  for (int group = first; group <= 5; ++group) {
    w.Zeros(GroupField(group, kPrice), GroupField(group, kSellVolume));
  }
}

}  // namespace

SZSjsphhqFile::SZSjsphhqFile() : DbfTable(kFields) {}

int32_t SZSjsphhqFile::Open(const std::string& path) {
  rowCounter_ = 0;
  hqtime_ = int64_t{LocalNow().Time()} * 100;
  const int32_t result = DbfTable::Open(path);
  if (result < 0) {
    Abort();
    return result;
  }
  return 1;
}

int32_t SZSjsphhqFile::NextRow() { return GoToRecordExtending(rowCounter_++); }

int32_t SZSjsphhqFile::WriteFirstRecord(const market::MarketClock& clock, uint32_t rowEstimate) {
  const int32_t count =
      rowEstimate == UINT32_MAX ? kErrBadArgument : SetRecordCount(rowEstimate + 1);
  rowCounter_ = 0;
  const int32_t row = NextRow();
  if (row < 0) return row;

  char date[64];
  const size_t dateLength = DateText(clock.marketDate, date);
  // "%02c": the C library pads the flag character with '0' on the left.
  const char closed[2] = {'0', clock.AfterHoursClosed};

  RowWriter w(*this, RowWriter::Mode::kIgnoreFailures);
  w.Chars(HQJLH, "000000000", 9);
  w.Chars(HQHQLB, " ", 1);
  w.Chars(HQZQDM, "000000", 6);
  w.Chars(HQZQJC, date, dateLength);
  w.Chars(GroupField(1, kType), " ", 1);
  w.Zero(GroupField(1, kPrice));
  w.Chars(GroupField(1, kVolume), closed, sizeof closed);
  w.Zeros(GroupField(1, kTurnover), GroupField(1, kSellVolume));
  ZeroGroups(w, 2);
  w.Integer(HQTIME, hqtime_);
  w.Chars(HQBYWB, " ", 1);
  if (count < 0) return count;
  return w.Failed() ? -1 : 1;
}

int32_t SZSjsphhqFile::WriteAfterHoursRows(std::span<const AfterHoursQuoteRecord> rows,
                                           const refdata::SecurityTable& securities) {
  int32_t result = 1;
  for (const AfterHoursQuoteRecord& r : rows) {
    const int32_t row = NextRow();
    if (row < 0) {
      result = row;
      continue;
    }
    const refdata::SecurityRecord* security = securities.Get(CodeNumber(r.code, sizeof r.code));
    if (security == nullptr) continue;

    char number[kLegacyTextSize];
    const size_t numberLength = r.number != 0 ? ZeroPaddedInteger(r.number, 9, number)
                                              : ZeroPaddedText(r.code, sizeof r.code, 9, number);
    RowWriter w(*this, RowWriter::Mode::kIgnoreFailures);
    w.Chars(HQJLH, number, numberLength);
    w.Chars(HQHQLB, kMarketType, 3);
    w.Chars(HQZQDM, r.code, 6);
    w.Text(HQZQJC, security->Symbol, 8);
    for (int column = 0; column < 2; ++column) {
      const int group = column + 1;
      const char type = static_cast<char>('0' + group);
      w.Chars(GroupField(group, kType), &type, 1);
      w.Scaled(GroupField(group, kPrice), r.price[column], kPriceUnit);
      w.Integer(GroupField(group, kVolume), r.volume[column]);
      w.Scaled(GroupField(group, kTurnover), r.turnover[column], kPriceUnit);
      w.Integer(GroupField(group, kTrades), r.trades[column]);
      w.Integer(GroupField(group, kBuyVolume), r.bidVolume[column]);
      w.Integer(GroupField(group, kSellVolume), r.askVolume[column]);
    }
    ZeroGroups(w, 3);
    w.Integer(HQTIME, hqtime_);
    w.Chars(HQBYWB, " ", 1);
  }
  return result;
}

void SZSjsphhqFile::WriteIdentityRow(const char* code, const char* name) {
  char number[kLegacyTextSize];
  const size_t numberLength = ZeroPaddedText(code, 8, 9, number);
  RowWriter w(*this, RowWriter::Mode::kIgnoreFailures);
  w.Chars(HQJLH, number, numberLength);
  w.Chars(HQHQLB, kMarketType, 3);
  w.Chars(HQZQDM, code, 6);
  w.Text(HQZQJC, name, 8);
  w.Chars(GroupField(1, kType), "1", 1);
  w.Zeros(GroupField(1, kPrice), GroupField(1, kSellVolume));
  w.Chars(GroupField(2, kType), "2", 1);
  w.Zeros(GroupField(2, kPrice), GroupField(2, kSellVolume));
  ZeroGroups(w, 3);
  w.Integer(HQTIME, hqtime_);
  w.Chars(HQBYWB, " ", 1);
}

int32_t SZSjsphhqFile::WriteStatisticsRows(std::span<const market::VolumeStatRecord> stats) {
  int32_t result = 1;
  for (const market::VolumeStatRecord& s : stats) {
    const int32_t row = NextRow();
    if (row < 0) {
      result = row;
    } else if (!AllZero(s.code, sizeof s.code)) {
      WriteIdentityRow(s.code, s.name);
    }
  }
  return result;
}

int32_t SZSjsphhqFile::WriteIndexRows(std::span<const market::IndexQuoteRecord> indexes) {
  int32_t result = 1;
  for (const market::IndexQuoteRecord& x : indexes) {
    const int32_t row = NextRow();
    if (row < 0) {
      result = row;
    } else if (!AllZero(x.code, sizeof x.code)) {
      WriteIdentityRow(x.code, x.name);
    }
  }
  return result;
}

int32_t SZSjsphhqFile::Flush() {
  const int32_t result = DbfTable::Flush(NulBytes::kBlank);
  if (result < 0) Abort();
  return result;
}

}  // namespace fw::dbf
