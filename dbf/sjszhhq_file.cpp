// SJSZHHQ.DBF rows: record 0 and one record per negotiated order. Runs on the write thread, one
// writer per cycle.
#include "dbf/sjszhhq_file.h"

#include <cstddef>
#include <cstring>
#include <string_view>

#include "dbf/legacy_text.h"
#include "dbf/row_writer.h"
#include "foundation/local_clock.h"

namespace fw::dbf {

using namespace sjszhhq;
using market::NegotiatedQuoteRecord;

namespace {

constexpr double kPriceUnit = 0.001;  // thousandths of a yuan

// Character fields are copied from the order record by its layout: the fields' widths must be the
// record's, and HQBYWB takes the last constant byte and the reserved bytes that follow it.
constexpr size_t FieldWidth(Field field) { return kFields[field].length; }
static_assert(sizeof(NegotiatedQuoteRecord::code) >= FieldWidth(HQZQDM));
static_assert(sizeof(NegotiatedQuoteRecord::kindPrefix) == FieldWidth(HQYWLB));
static_assert(sizeof(NegotiatedQuoteRecord::contact) == FieldWidth(HQLXR));
static_assert(sizeof(NegotiatedQuoteRecord::contactInfo) == FieldWidth(HQLXFS));
static_assert(sizeof(NegotiatedQuoteRecord::flags) == FieldWidth(HQJSJG));
static_assert(sizeof(NegotiatedQuoteRecord::time) >= FieldWidth(HQSBSJ));
// trailer: HQBYBZ its bytes 0 and 1, HQQXLX byte 2, HQBYWB byte 5 and then reserved5.
static_assert(sizeof(NegotiatedQuoteRecord::trailer) == 6);
static_assert(offsetof(NegotiatedQuoteRecord, reserved5) ==
              offsetof(NegotiatedQuoteRecord, trailer) + sizeof(NegotiatedQuoteRecord::trailer));
static_assert(sizeof(NegotiatedQuoteRecord::reserved5) >= FieldWidth(HQBYWB) - 1);

bool HasCode(const NegotiatedQuoteRecord& order) {
  for (const char c : order.code) {
    if (c != '\0') return true;
  }
  return false;
}

void FillFirstRecord(RowWriter& w, const market::MarketClock& clock, int64_t hqsbsj) {
  char date[kLegacyTextSize];
  const size_t dateLength = DateText(clock.marketDate, date);
  w.Chars(HQJLH, "000000000", 9);
  w.Chars(HQZQDM, "000000", 6);
  w.Integer(HQSBSL, clock.NegotiatedClosed - '0');
  w.Zero(HQSBJG);
  for (const Field text : {HQYWLB, HQZLLB, HQHTXH, HQLXR, HQLXFS, HQJSJG}) w.Letter(text, ' ');
  w.Integer(HQSBSJ, hqsbsj);
  w.Chars(HQYDH, date, dateLength);
  w.Zeros(HQSYL, HQSYL2);
  w.Letter(HQJLZT, '0');
  w.Letter(HQBYBZ, ' ');
  w.Letter(HQQXLX, ' ');
  w.Zero(HQGHQX);
  w.Letter(HQBYWB, ' ');
}

}  // namespace

SZSjszhhqFile::SZSjszhhqFile() : RowFile(kFields, OnFailure::kAbort, NulBytes::kBlank) {}

int32_t SZSjszhhqFile::Open(const std::string& path) {
  SetLocalClock(LocalNow());
  return RowFile::Open(path);
}

void SZSjszhhqFile::SetLocalClock(const LocalDateTime& now) {
  localDate_ = now.Date();
  hqsbsj_ = int64_t{now.Time()} * 100;
  contractNumberLength_ = ZeroPaddedInteger(localDate_, 14, contractNumber_);
}

int32_t SZSjszhhqFile::WriteFirstRecord(const market::MarketClock& clock, uint32_t rowEstimate) {
  return WriteFirstRecordWith(rowEstimate,
                              [&](RowWriter& w) { FillFirstRecord(w, clock, hqsbsj_); });
}

bool SZSjszhhqFile::RewriteFirstRecord(const market::MarketClock& clock) {
  return RewriteFirstRecordWith([&](RowWriter& w) { FillFirstRecord(w, clock, hqsbsj_); });
}

void SZSjszhhqFile::MoveLocalClock() {
  const int64_t date = localDate_;
  SetLocalClock(LocalNow());
  if (localDate_ == date) return;
  PatchCarriedField(HQHTXH, std::string_view(contractNumber_, contractNumberLength_), 1);
}

int32_t SZSjszhhqFile::WriteNegotiatedRows(std::span<const NegotiatedQuoteRecord> orders) {
  recordOf_.clear();
  const int32_t result = WriteRows(
      orders,
      [&](const NegotiatedQuoteRecord& order) {
        recordOf_.push_back(rowCounter_);
        return HasCode(order);
      },
      [&](const NegotiatedQuoteRecord& order) { WriteNegotiatedRow(order); });
  const int32_t count = SetRecordCount(rowCounter_);
  return count < 0 ? count : result;
}

bool SZSjszhhqFile::RewriteNegotiatedRow(size_t position,
                                         std::span<const NegotiatedQuoteRecord> orders) {
  if (position >= orders.size() || position >= recordOf_.size() || !HasCode(orders[position])) {
    return false;
  }
  return RewriteRow(recordOf_[position], [&] { WriteNegotiatedRow(orders[position]); });
}

void SZSjszhhqFile::RewriteNegotiatedRowsFrom(size_t from,
                                              std::span<const NegotiatedQuoteRecord> orders) {
  if (from > recordOf_.size()) from = recordOf_.size();
  uint32_t record = from < recordOf_.size() ? recordOf_[from] : rowCounter_;
  recordOf_.resize(from);
  for (size_t position = from; position < orders.size(); ++position) {
    recordOf_.push_back(record);
    if (!HasCode(orders[position])) continue;
    // A record past the count is new to the file; FlushChanges writes it whatever it holds.
    if (record >= RecordCount() && SetRecordCount(record + 1) < 0) break;
    RewriteRow(record, [&] { WriteNegotiatedRow(orders[position]); });
    ++record;
  }
  rowCounter_ = record;
  SetRecordCount(rowCounter_);
}

void SZSjszhhqFile::WriteNegotiatedRow(const NegotiatedQuoteRecord& order) {
  char sequence[kLegacyTextSize];
  // "%09d" of the sequence number's low 32 bits.
  const auto low32 =
      static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(order.sequence)));
  const size_t sequenceLength = ZeroPaddedInteger(low32, 9, sequence);
  const char kindAndSide[2] = {order.quoteKind, order.side};
  char tail[FieldWidth(HQBYWB)] = {};
  tail[0] = order.trailer[5];
  std::memcpy(tail + 1, order.reserved5, sizeof tail - 1);

  RowWriter w(*this, RowWriter::Mode::kIgnoreFailures);
  w.Chars(HQJLH, sequence, sequenceLength);
  w.Chars(HQZQDM, order.code, 6);
  w.Integer(HQSBSL, order.volume);
  w.Scaled(HQSBJG, order.price, kPriceUnit);
  w.Chars(HQYWLB, order.kindPrefix, sizeof order.kindPrefix);
  w.Chars(HQZLLB, kindAndSide, sizeof kindAndSide);
  w.Chars(HQHTXH, contractNumber_, contractNumberLength_);
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
  w.Letter(HQJLZT, order.status);
  w.Chars(HQBYBZ, order.trailer, 2);
  w.Letter(HQQXLX, order.trailer[2]);
  w.Zero(HQGHQX);
  w.Chars(HQBYWB, tail, sizeof tail);
}

}  // namespace fw::dbf
