// SZSjsphhqFile: SJSPHHQ.DBF, the after-hours fixed-price trading file. Record 0 carries the
// market date, the after-hours-closed flag and the local time; then one record per row of the
// after-hours table with its two quote columns (stream "060" in group 1, "061" in group 2), then
// identity-only records for every statistic and every index. Groups 3 to 5 are always blank and
// zero. Records after the last row stay blank.
//
// Thread: the write thread. The writer reads only its arguments (copies of the market state taken
// for this cycle, the securities reference table through a look-up that never creates, the clock
// block). Lifetime: one write cycle: construct, Open, WriteFirstRecord, WriteAfterHoursRows,
// WriteStatisticsRows, WriteIndexRows, Flush, Abort, destroy.
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
namespace sjsphhq {

// The 41 fields of SJSPHHQ.DBF: record length 495, header length 1345. Fields 4 to 38 are five
// groups of seven (type, price, volume, turnover, trades, buy volume, sell volume).
inline constexpr FieldSpec kFields[] = {
    {"HQJLH", 'N', 9, 0},    {"HQHQLB", 'C', 3, 0},   {"HQZQDM", 'C', 6, 0},
    {"HQZQJC", 'C', 8, 0},   {"HQBJLX1", 'C', 1, 0},  {"HQJG1", 'N', 9, 3},
    {"HQCJSL1", 'N', 12, 0}, {"HQCJJE1", 'N', 17, 3}, {"HQCJBS1", 'N', 9, 0},
    {"HQBSL1", 'N', 12, 0},  {"HQSSL1", 'N', 12, 0},  {"HQBJLX2", 'C', 1, 0},
    {"HQJG2", 'N', 9, 3},    {"HQCJSL2", 'N', 12, 0}, {"HQCJJE2", 'N', 17, 3},
    {"HQCJBS2", 'N', 9, 0},  {"HQBSL2", 'N', 12, 0},  {"HQSSL2", 'N', 12, 0},
    {"HQBJLX3", 'C', 1, 0},  {"HQJG3", 'N', 9, 3},    {"HQCJSL3", 'N', 12, 0},
    {"HQCJJE3", 'N', 17, 3}, {"HQCJBS3", 'N', 9, 0},  {"HQBSL3", 'N', 12, 0},
    {"HQSSL3", 'N', 12, 0},  {"HQBJLX4", 'C', 1, 0},  {"HQJG4", 'N', 9, 3},
    {"HQCJSL4", 'N', 12, 0}, {"HQCJJE4", 'N', 17, 3}, {"HQCJBS4", 'N', 9, 0},
    {"HQBSL4", 'N', 12, 0},  {"HQSSL4", 'N', 12, 0},  {"HQBJLX5", 'C', 1, 0},
    {"HQJG5", 'N', 9, 3},    {"HQCJSL5", 'N', 12, 0}, {"HQCJJE5", 'N', 17, 3},
    {"HQCJBS5", 'N', 9, 0},  {"HQBSL5", 'N', 12, 0},  {"HQSSL5", 'N', 12, 0},
    {"HQTIME", 'C', 8, 0},   {"HQBYWB", 'C', 100, 0},
};
static_assert(std::size(kFields) == 41);
static_assert(RecordLengthOf(kFields) == 495);

enum Field : uint16_t { HQJLH, HQHQLB, HQZQDM, HQZQJC, kFirstGroup, HQTIME = 39, HQBYWB = 40 };

// The fields of group n (1..5), each the group's first field plus one of these.
enum GroupPart : uint16_t {
  kType,
  kPrice,
  kVolume,
  kTurnover,
  kTrades,
  kBuyVolume,
  kSellVolume,
  kGroupSize
};
constexpr uint16_t GroupField(int group, GroupPart part) {
  return static_cast<uint16_t>(kFirstGroup + kGroupSize * (group - 1) + part);
}
static_assert(FieldIndexOf(kFields, "HQCJSL1") == GroupField(1, kVolume));
static_assert(FieldIndexOf(kFields, "HQBJLX2") == GroupField(2, kType));
static_assert(FieldIndexOf(kFields, "HQSSL5") == GroupField(5, kSellVolume));
static_assert(FieldIndexOf(kFields, "HQTIME") == HQTIME);
static_assert(FieldIndexOf(kFields, "HQBYWB") == HQBYWB);

// The market type of every row.
inline constexpr char kMarketType[] = "03S";

}  // namespace sjsphhq

// Open and Flush (RowFile) abort the table when they fail.
class SZSjsphhqFile : public RowFile {
 public:
  SZSjsphhqFile();

  // RowFile::Open, after taking the local time that every record of this cycle shows.
  int32_t Open(const std::string& path);

  // Record count = rowEstimate + 1 and record 0: "000000000", "000000", the market date as
  // YYYYMMDD, '0' and the after-hours-closed flag in the first two bytes of HQCJSL1, zeros, the
  // local time HHMMSS * 100 in HQTIME. The next row goes to record 1. 1 or a negative code.
  int32_t WriteFirstRecord(const market::MarketClock& clock, uint32_t rowEstimate);

  // One record per after-hours row, in row order: "%09s" of the code, "03S", code, the security's
  // Symbol (first 8 bytes), group 1 from column 0 ("060"), group 2 from column 1 ("061"). A code
  // the securities table does not hold leaves its record blank. 1, or a negative code when a
  // record could not be had.
  int32_t WriteAfterHoursRows(std::span<const market::AfterHoursQuoteRecord> rows,
                              const refdata::SecurityTable& securities);

  // Identity records for the statistics and for the indexes (three decimals), in the given
  // (ascending code) order: code, name, group types "1" and "2", zeros. An entry whose code is all
  // zero leaves its record blank. 1 or a negative code.
  int32_t WriteStatisticsRows(std::span<const market::VolumeStatRecord> stats);
  int32_t WriteIndexRows(std::span<const market::IndexQuoteRecord> indexes);

  // For a writer that keeps its image between cycles (see DbfTable::RewriteRecord).
  // Takes the local time again and, when HHMMSS * 100 moved, writes it into HQTIME of every row.
  void MoveLocalTime();
  // Record 0, and the record of row `row` of each table where the last whole write placed it.
  // Whether its bytes changed.
  bool RewriteFirstRecord(const market::MarketClock& clock);
  bool RewriteAfterHoursRow(size_t row, const market::AfterHoursQuoteRecord& record,
                            const refdata::SecurityTable& securities);
  bool RewriteStatisticsRow(size_t row, const market::VolumeStatRecord& stat);
  bool RewriteIndexRow(size_t row, const market::IndexQuoteRecord& index);

 private:
  void WriteAfterHoursRow(const market::AfterHoursQuoteRecord& record,
                          const refdata::SecurityTable& securities);
  template <typename Record>
  void WriteIdentityRow(const Record& record);

  int64_t hqtime_ = 0;  // the local time HHMMSS * 100 of this cycle's records
  // The records of the first after-hours, statistic and index rows.
  uint32_t afterHoursFirst_ = 0;
  uint32_t statFirst_ = 0;
  uint32_t indexFirst_ = 0;
};

}  // namespace fw::dbf
