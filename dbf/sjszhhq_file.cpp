#include "dbf/sjszhhq_file.h"

#include <algorithm>
#include <cstring>

#include "dbf/legacy_text.h"
#include "dbf/row_writer.h"
#include "foundation/error_code.h"
#include "foundation/local_clock.h"

namespace fw::dbf {

using namespace sjszhhq;
using market::NegotiatedQuoteRecord;

namespace {

constexpr double kPriceUnit = 0.001;  // thousandths of a yuan

bool HasCode(const NegotiatedQuoteRecord& order) {
  for (const char c : order.code) {
    if (c != '\0') return true;
  }
  return false;
}

}  // namespace

SZSjszhhqFile::SZSjszhhqFile() : DbfTable(kFields) {}

int32_t SZSjszhhqFile::Open(const std::string& path) {
  rowCounter_ = 0;
  const LocalDateTime now = LocalNow();
  localDate_ = now.Date();
  hqsbsj_ = int64_t{now.Time()} * 100;
  const int32_t result = DbfTable::Open(path);
  if (result < 0) {
    Abort();
    return result;
  }
  return 1;
}

int32_t SZSjszhhqFile::WriteFirstRecord(const market::MarketClock& clock, uint32_t rowEstimate) {
  const int32_t count =
      rowEstimate == UINT32_MAX ? kErrBadArgument : SetRecordCount(rowEstimate + 1);
  rowCounter_ = 0;
  const int32_t row = GoToRecordExtending(rowCounter_++);
  if (row < 0) return row;

  char date[64];
  const size_t dateLength = DateText(clock.marketDate, date);
  RowWriter w(*this, RowWriter::Mode::kIgnoreFailures);
  w.Chars(HQJLH, "000000000", 9);
  w.Chars(HQZQDM, "000000", 6);
  w.Integer(HQSBSL, clock.NegotiatedClosed - '0');
  w.Zero(HQSBJG);
  for (const Field text : {HQYWLB, HQZLLB, HQHTXH, HQLXR, HQLXFS, HQJSJG}) w.Chars(text, " ", 1);
  w.Integer(HQSBSJ, hqsbsj_);
  w.Chars(HQYDH, date, dateLength);
  w.Zeros(HQSYL, HQSYL2);
  w.Chars(HQJLZT, "0", 1);
  w.Chars(HQBYBZ, " ", 1);
  w.Chars(HQQXLX, " ", 1);
  w.Zero(HQGHQX);
  w.Chars(HQBYWB, " ", 1);
  if (count < 0) return count;
  return w.Failed() ? -1 : 1;
}

int32_t SZSjszhhqFile::WriteNegotiatedRows(std::span<const NegotiatedQuoteRecord> orders) {
  int32_t result = 1;
  char contractNumber[kLegacyTextSize];
  const size_t contractNumberLength = ZeroPaddedInteger(localDate_, 14, contractNumber);
  for (const NegotiatedQuoteRecord& order : orders) {
    if (!HasCode(order)) continue;
    const int32_t row = GoToRecordExtending(rowCounter_);
    if (row < 0) {
      result = row;
      continue;
    }
    ++rowCounter_;

    char sequence[kLegacyTextSize];
    // "%09d" of the sequence number's low 32 bits.
    const auto low32 =
        static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(order.sequence)));
    const size_t sequenceLength = ZeroPaddedInteger(low32, 9, sequence);
    const char kindAndSide[2] = {order.quoteKind, order.side};
    // The 75 bytes from the record's last constant blank on: that blank and the zero bytes after
    // it.
    char tail[75] = {};
    tail[0] = order.trailer[5];
    std::memcpy(tail + 1, order.reserved5, std::min(sizeof tail - 1, sizeof order.reserved5));

    RowWriter w(*this, RowWriter::Mode::kIgnoreFailures);
    w.Chars(HQJLH, sequence, sequenceLength);
    w.Chars(HQZQDM, order.code, 6);
    w.Integer(HQSBSL, order.volume);
    w.Scaled(HQSBJG, order.price, kPriceUnit);
    w.Chars(HQYWLB, order.kindPrefix, sizeof order.kindPrefix);
    w.Chars(HQZLLB, kindAndSide, sizeof kindAndSide);
    w.Chars(HQHTXH, contractNumber, contractNumberLength);
    w.Text(HQLXR, order.contact, sizeof order.contact);
    w.Chars(HQLXFS, order.contactInfo, sizeof order.contactInfo);
    w.Chars(HQJSJG, order.flags, sizeof order.flags);
    w.Chars(HQSBSJ, order.time, 8);
    if (order.fixedVolume != 0) {
      w.Integer(HQYDH, order.fixedVolume);
    } else {
      w.Chars(HQYDH, "00000000", 8);
    }
    w.Number(HQSYL, kNoYield);
    w.Chars(HQSBSL2, "000000000", 9);
    w.Zero(HQSBJG2);
    w.Number(HQSYL2, kNoYield);
    w.Chars(HQJLZT, &order.status, 1);
    w.Chars(HQBYBZ, order.trailer, 2);
    w.Chars(HQQXLX, order.trailer + 2, 1);
    w.Zero(HQGHQX);
    w.Chars(HQBYWB, tail, sizeof tail);
  }
  const int32_t count = SetRecordCount(rowCounter_);
  return count < 0 ? count : result;
}

int32_t SZSjszhhqFile::Flush() {
  const int32_t result = DbfTable::Flush(NulBytes::kBlank);
  if (result < 0) Abort();
  return result;
}

}  // namespace fw::dbf
