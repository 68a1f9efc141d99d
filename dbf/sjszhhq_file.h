// SZSjszhhqFile: SJSZHHQ.DBF, the negotiated-trading file. Record 0 carries the market date, the
// negotiated-trading-closed flag and the local time; then one record per negotiated order that a
// message has filled (sequence number, code, quantity, price, order kind and side, contact data,
// time, whether the order is still live). The record count is exact: no blank record follows the
// last order.
//
// Thread: the write thread. The writer reads only its arguments (the copy of the negotiated table
// taken for this cycle and the clock block). Lifetime: one write cycle: construct, Open,
// WriteFirstRecord, WriteNegotiatedRows, Flush, Abort, destroy.
#pragma once

#include <cstdint>
#include <iterator>
#include <span>
#include <string>
#include <vector>

#include "dbf/dbf_table.h"
#include "dbf/row_file.h"
#include "foundation/local_clock.h"
#include "market/market_records.h"

namespace fw::dbf {
namespace sjszhhq {

// The 21 fields of SJSZHHQ.DBF: record length 241, header length 705.
inline constexpr FieldSpec kFields[] = {
    {"HQJLH", 'N', 9, 0},                           // record number: the order's sequence number
    {"HQZQDM", 'C', 6, 0},                          // code
    {"HQSBSL", 'N', 9, 0},                          // quantity
    {"HQSBJG", 'N', 9, 3},                          // price
    {"HQYWLB", 'C', 2, 0},  {"HQZLLB", 'C', 2, 0},  // order kind and side: HB, HS, OB, OS
    {"HQHTXH", 'C', 22, 0}, {"HQLXR", 'C', 12, 0},  // contact
    {"HQLXFS", 'C', 30, 0},                         // contact information
    {"HQJSJG", 'C', 2, 0},  {"HQSBSJ", 'C', 8, 0},  // time HHMMSSss
    {"HQYDH", 'N', 8, 0},   {"HQSYL", 'N', 10, 6}, {"HQSBSL2", 'N', 9, 0}, {"HQSBJG2", 'N', 9, 3},
    {"HQSYL2", 'N', 10, 6}, {"HQJLZT", 'C', 1, 0},  // "1" live, "0" filled or cancelled
    {"HQBYBZ", 'C', 2, 0},  {"HQQXLX", 'C', 1, 0}, {"HQGHQX", 'N', 4, 0},  {"HQBYWB", 'C', 75, 0},
};
static_assert(std::size(kFields) == 21);
static_assert(RecordLengthOf(kFields) == 241);

enum Field : uint16_t {
  HQJLH,
  HQZQDM,
  HQSBSL,
  HQSBJG,
  HQYWLB,
  HQZLLB,
  HQHTXH,
  HQLXR,
  HQLXFS,
  HQJSJG,
  HQSBSJ,
  HQYDH,
  HQSYL,
  HQSBSL2,
  HQSBJG2,
  HQSYL2,
  HQJLZT,
  HQBYBZ,
  HQQXLX,
  HQGHQX,
  HQBYWB,
};
static_assert(FieldIndexOf(kFields, "HQYDH") == HQYDH);
static_assert(FieldIndexOf(kFields, "HQBYWB") == HQBYWB);

// HQSYL and HQSYL2 of every order: no yield.
constexpr double kNoYield = -99.0;

}  // namespace sjszhhq

// Open and Flush (RowFile) abort the table when they fail.
class SZSjszhhqFile : public RowFile {
 public:
  SZSjszhhqFile();

  // RowFile::Open, after taking the local date and time this cycle's records show.
  int32_t Open(const std::string& path);

  // Record count = rowEstimate + 1 and record 0: "000000000", "000000", the closed flag (1 or 0)
  // in HQSBSL, the local time HHMMSS * 100 in HQSBSJ, the market date in HQYDH, "0" in HQJLZT,
  // zeros. The next row goes to record 1. 1 or a negative code.
  int32_t WriteFirstRecord(const market::MarketClock& clock, uint32_t rowEstimate);

  // One record per order that carries a code, in the given (sequence) order; orders whose code is
  // all zero are passed over without using a record. The record count then becomes 1 + the
  // number of orders written. 1, or a negative code when a record could not be had.
  int32_t WriteNegotiatedRows(std::span<const market::NegotiatedQuoteRecord> orders);

  // For a writer that keeps its image between cycles (see DbfTable::RewriteRecord).
  // Takes the local date and time again; when the date moved, writes it into HQHTXH of every row.
  void MoveLocalClock();
  // Record 0. Whether its bytes changed.
  bool RewriteFirstRecord(const market::MarketClock& clock);
  // The row of orders[position], which holds the order the last write placed there.
  bool RewriteNegotiatedRow(size_t position, std::span<const market::NegotiatedQuoteRecord> orders);
  // The rows of orders[from] to the end, after orders were added or removed before them, and the
  // record count 1 + the number of rows.
  void RewriteNegotiatedRowsFrom(size_t from,
                                 std::span<const market::NegotiatedQuoteRecord> orders);

 private:
  void WriteNegotiatedRow(const market::NegotiatedQuoteRecord& order);
  void SetLocalClock(const LocalDateTime& now);

  int64_t localDate_ = 0;  // YYYYMMDD of this cycle's records
  int64_t hqsbsj_ = 0;     // the local time HHMMSS * 100 of this cycle's record 0
  // HQHTXH of every row: "%014ld" of the local date.
  char contractNumber_[32] = {};  // ZeroPaddedInteger: at most 21 bytes for width 14
  size_t contractNumberLength_ = 0;
  // Per order of the last write: the record it takes when it carries a code (the row counter
  // before it).
  std::vector<uint32_t> recordOf_;
};

}  // namespace fw::dbf
