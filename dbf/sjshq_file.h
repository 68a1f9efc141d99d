// SZSjshqFile: SJSHQ.DBF, the real-time quote file most legacy consumers read. Record 0 carries
// the market date, the market time and the auction-closed flag; then one record per row of the
// stock quote table (securities, issues, rights issues, bond distributions), one per statistic and
// one per index. Records after the last row stay blank.
//
// Thread: the write thread. The writer reads only its arguments (copies of the market state taken
// for this cycle, the reference tables through look-ups that never create, the clock block), never
// live market state. Lifetime: one write cycle: construct, Open, WriteFirstRecord,
// WriteStockRows, WriteStatisticsRows, WriteIndexRows, Flush, Abort, destroy.
#pragma once

#include <cstdint>
#include <iterator>
#include <span>
#include <string>

#include "dbf/dbf_table.h"
#include "dbf/row_file.h"
#include "market/market_records.h"
#include "refdata/reference_tables.h"

namespace fw::dbf {
namespace sjshq {

// The 35 fields of SJSHQ.DBF: record length 352, header length 1153. The offer side runs from
// level 5 down to level 1, the bid side from level 1 up to level 5, each price before its volume.
inline constexpr FieldSpec kFields[] = {
    {"HQZQDM", 'C', 6, 0},  {"HQZQJC", 'C', 8, 0},  {"HQZRSP", 'N', 9, 3},  {"HQJRKP", 'N', 9, 3},
    {"HQZJCJ", 'N', 9, 3},  {"HQCJSL", 'N', 12, 0}, {"HQCJJE", 'N', 17, 3}, {"HQCJBS", 'N', 9, 0},
    {"HQZGCJ", 'N', 9, 3},  {"HQZDCJ", 'N', 9, 3},  {"HQSYL1", 'N', 7, 2},  {"HQSYL2", 'N', 7, 2},
    {"HQJSD1", 'N', 9, 3},  {"HQJSD2", 'N', 9, 3},  {"HQHYCC", 'N', 12, 0}, {"HQSJW5", 'N', 9, 3},
    {"HQSSL5", 'N', 12, 0}, {"HQSJW4", 'N', 9, 3},  {"HQSSL4", 'N', 12, 0}, {"HQSJW3", 'N', 9, 3},
    {"HQSSL3", 'N', 12, 0}, {"HQSJW2", 'N', 9, 3},  {"HQSSL2", 'N', 12, 0}, {"HQSJW1", 'N', 9, 3},
    {"HQSSL1", 'N', 12, 0}, {"HQBJW1", 'N', 9, 3},  {"HQBSL1", 'N', 12, 0}, {"HQBJW2", 'N', 9, 3},
    {"HQBSL2", 'N', 12, 0}, {"HQBJW3", 'N', 9, 3},  {"HQBSL3", 'N', 12, 0}, {"HQBJW4", 'N', 9, 3},
    {"HQBSL4", 'N', 12, 0}, {"HQBJW5", 'N', 9, 3},  {"HQBSL5", 'N', 12, 0},
};
static_assert(std::size(kFields) == 35);
static_assert(RecordLengthOf(kFields) == 352);

// Field numbers, in file order.
// clang-format off
enum Field : uint16_t {
  HQZQDM, HQZQJC, HQZRSP, HQJRKP, HQZJCJ, HQCJSL, HQCJJE, HQCJBS, HQZGCJ, HQZDCJ, HQSYL1, HQSYL2,
  HQJSD1, HQJSD2, HQHYCC, HQSJW5, HQSSL5, HQSJW4, HQSSL4, HQSJW3, HQSSL3, HQSJW2, HQSSL2, HQSJW1,
  HQSSL1, HQBJW1, HQBSL1, HQBJW2, HQBSL2, HQBJW3, HQBSL3, HQBJW4, HQBSL4, HQBJW5, HQBSL5,
};
// clang-format on
static_assert(FieldIndexOf(kFields, "HQSYL1") == HQSYL1);
static_assert(FieldIndexOf(kFields, "HQSJW1") == HQSJW1);
static_assert(FieldIndexOf(kFields, "HQBSL5") == HQBSL5);

// Offer level n (1..5): its price field; the volume field follows it.
constexpr uint16_t AskPriceField(int level) {
  return static_cast<uint16_t>(HQSJW5 + 2 * (5 - level));
}
// Bid level n (1..5): its price field; the volume field follows it.
constexpr uint16_t BidPriceField(int level) {
  return static_cast<uint16_t>(HQBJW1 + 2 * (level - 1));
}
static_assert(AskPriceField(1) == HQSJW1 && AskPriceField(5) == HQSJW5);
static_assert(BidPriceField(1) == HQBJW1 && BidPriceField(5) == HQBJW5);

// HQZDCJ of a security or issue that has not traded (low 0), and of every rights-issue and
// bond-distribution row.
constexpr double kNoLowPrice = 99999.999;

}  // namespace sjshq

// Open and Flush (RowFile) abort the table when they fail.
class SZSjshqFile : public RowFile {
 public:
  // lostHighVol: the operator's setting for volumes above 999,999,999,999 (see ClampVolume).
  explicit SZSjshqFile(bool lostHighVol);

  // Record count = rowEstimate + 1 and record 0: "000000", the market date as YYYYMMDD, 1.000,
  // the auction-closed flag in HQCJSL, the market time in HQCJBS, the local time HHMMSS * 100 in
  // HQBSL5, zero elsewhere. The next row goes to record 1. 1, or the negative code of the step that
  // failed (record 0 is written whenever the table is open).
  int32_t WriteFirstRecord(const market::MarketClock& clock, uint32_t rowEstimate);

  // One record per stock quote row, in row order. The code decides the kind of row by the first
  // reference table that holds it: securities, issue, rights-issue, bond-distribution parameters;
  // a code in none of them leaves its record blank. A setter that fails in a security row prints
  // "error in[<field>]" and leaves the rest of that record blank. 1, or a negative code when a
  // record could not be had (no table, no memory to extend the count).
  int32_t WriteStockRows(std::span<const market::StockQuoteRecord> quotes,
                         const refdata::ReferenceTables& tables);

  // One record per statistic, in the given (ascending code) order. 1 or a negative code.
  int32_t WriteStatisticsRows(std::span<const market::VolumeStatRecord> stats);

  // One record per index of the index table at three decimals, in the given (ascending code)
  // order. 1 or a negative code.
  int32_t WriteIndexRows(std::span<const market::IndexQuoteRecord> indexes);

  // For a writer that keeps its image between cycles (see DbfTable::RewriteRecord): record 0, and
  // the record of row `row` of each table where the last whole write placed it. Whether its bytes
  // changed.
  bool RewriteFirstRecord(const market::MarketClock& clock);
  bool RewriteStockRow(size_t row, const market::StockQuoteRecord& quote,
                       const refdata::ReferenceTables& tables);
  bool RewriteStatisticsRow(size_t row, const market::VolumeStatRecord& stat);
  bool RewriteIndexRow(size_t row, const market::IndexQuoteRecord& index);

 private:
  // A stock quote row whose code number is `code` (not 0); `security` its securities record.
  void WriteStockRow(const market::StockQuoteRecord& quote, uint32_t code,
                     const refdata::SecurityRecord* security,
                     const refdata::ReferenceTables& tables);
  void WriteSecurityRow(const market::StockQuoteRecord& quote,
                        const refdata::SecurityRecord& security);
  void WriteIssueRow(const market::StockQuoteRecord& quote);
  void WriteParameterRow(const market::StockQuoteRecord& quote);
  void WriteStatisticsRow(const market::VolumeStatRecord& stat);
  void WriteIndexRow(const market::IndexQuoteRecord& index);

  bool lostHighVol_;
  // The records of the first stock, statistic and index rows.
  uint32_t stockFirst_ = 0;
  uint32_t statFirst_ = 0;
  uint32_t indexFirst_ = 0;
};

}  // namespace fw::dbf
