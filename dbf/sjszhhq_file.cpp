// SJSZHHQ.DBF rows: record 0 and one record per negotiated order. Runs on the write thread, one
// writer per cycle.
#include "dbf/sjszhhq_file.h"

#include <cstddef>
#include <cstring>

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

}  // namespace

SZSjszhhqFile::SZSjszhhqFile() : RowFile(kFields, OnFailure::kAbort, NulBytes::kBlank) {}

int32_t SZSjszhhqFile::Open(const std::string& path) {
  const LocalDateTime now = LocalNow();
  localDate_ = now.Date();
  hqsbsj_ = int64_t{now.Time()} * 100;
  return RowFile::Open(path);
}

int32_t SZSjszhhqFile::WriteFirstRecord(const market::MarketClock& clock, uint32_t rowEstimate) {
  return WriteFirstRecordWith(rowEstimate, [&](RowWriter& w) {
    char date[kLegacyTextSize];
    const size_t dateLength = DateText(clock.marketDate, date);
    w.Chars(HQJLH, "000000000", 9);
    w.Chars(HQZQDM, "000000", 6);
    w.Integer(HQSBSL, clock.NegotiatedClosed - '0');
    w.Zero(HQSBJG);
    for (const Field text : {HQYWLB, HQZLLB, HQHTXH, HQLXR, HQLXFS, HQJSJG}) w.Letter(text, ' ');
    w.Integer(HQSBSJ, hqsbsj_);
    w.Chars(HQYDH, date, dateLength);
    w.Zeros(HQSYL, HQSYL2);
    w.Letter(HQJLZT, '0');
    w.Letter(HQBYBZ, ' ');
    w.Letter(HQQXLX, ' ');
    w.Zero(HQGHQX);
    w.Letter(HQBYWB, ' ');
  });
}

int32_t SZSjszhhqFile::WriteNegotiatedRows(std::span<const NegotiatedQuoteRecord> orders) {
  char contractNumber[kLegacyTextSize];
  const size_t contractNumberLength = ZeroPaddedInteger(localDate_, 14, contractNumber);
  const int32_t result = WriteRows(orders, HasCode, [&](const NegotiatedQuoteRecord& order) {
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
    w.Letter(HQJLZT, order.status);
    w.Chars(HQBYBZ, order.trailer, 2);
    w.Letter(HQQXLX, order.trailer[2]);
    w.Zero(HQGHQX);
    w.Chars(HQBYWB, tail, sizeof tail);
  });
  const int32_t count = SetRecordCount(rowCounter_);
  return count < 0 ? count : result;
}

}  // namespace fw::dbf
