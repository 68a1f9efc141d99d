// SZSjszsFile: SJSZS.DBF, the index file: one record per index with its name, English name, five
// index values at four decimals, volume and turnover. It has no first record, and its readers
// expect NUL bytes where nothing was written: deletion flags and the unused tail of every
// character field are written as 0x00.
//
// Thread: the write thread. The writer reads only its arguments (the copy of the index table at
// four decimals taken for this cycle and the index info reference table, looked up without ever
// creating a record, since the receive thread may be using the reference tables). Lifetime: one
// write cycle: construct, Open, BeginRows, WriteIndexRows, Flush, Close, destroy.
#pragma once

#include <cstdint>
#include <iterator>
#include <span>
#include <string>
#include <vector>

#include "dbf/dbf_table.h"
#include "dbf/row_file.h"
#include "market/market_records.h"
#include "refdata/reference_tables.h"

namespace fw::dbf {
namespace sjszs {

// The 10 fields of SJSZS.DBF: record length 123, header length 353.
inline constexpr FieldSpec kFields[] = {
    {"ZSZSDM", 'C', 6, 0},   // index code
    {"ZSZSQC", 'C', 12, 0},  // name: the 8 name bytes and the 4 zero bytes after them
    {"ZSYWMC", 'C', 20, 0},  // English name
    {"ZSSSZS", 'N', 11, 4},  // previous close
    {"ZSKSZS", 'N', 11, 4},  // open
    {"ZSZGZS", 'N', 11, 4},  // high
    {"ZSZDZS", 'N', 11, 4},  // low
    {"ZSZJZS", 'N', 11, 4},  // current
    {"ZSCJSL", 'N', 12, 0},  // volume
    {"ZSCJJE", 'N', 17, 3},  // turnover
};
static_assert(std::size(kFields) == 10);
static_assert(RecordLengthOf(kFields) == 123);

// clang-format off
enum Field : uint16_t {
  ZSZSDM, ZSZSQC, ZSYWMC, ZSSSZS, ZSKSZS, ZSZGZS, ZSZDZS, ZSZJZS, ZSCJSL, ZSCJJE,
};
// clang-format on
static_assert(FieldIndexOf(kFields, "ZSZJZS") == ZSZJZS);
static_assert(FieldIndexOf(kFields, "ZSCJJE") == ZSCJJE);

// Open's result when no path is configured.
constexpr int32_t kNoPath = -1000;

}  // namespace sjszs

// Flush (RowFile) keeps the NUL bytes and closes the table when it fails.
class SZSjszsFile : public RowFile {
 public:
  // lostHighVol: the operator's setting for volumes above 999,999,999,999 (see ClampVolume).
  explicit SZSjszsFile(bool lostHighVol);

  // -1000 for an empty path; else RowFile::Open: 1, or on failure the table is closed and the
  // negative code of the failing step returned.
  int32_t Open(const std::string& path);

  // Record count = rowEstimate (the number of indexinfo records); the first row goes to record 0.
  // The clock block is not read. 1 or a negative code from SetRecordCount.
  int32_t BeginRows(const market::MarketClock& clock, uint32_t rowEstimate);

  // One record per index (ascending code order as given), with its name and, when indexinfo holds
  // the code, its English name; a code missing from indexinfo gets an empty English name. An entry
  // whose code number is 0 is skipped without using a record. Index values are points * 10,000.
  // 1, or a negative code when a record could not be had.
  int32_t WriteIndexRows(std::span<const market::IndexQuoteRecord> indexes4,
                         const refdata::IndexInfoTable& indexInfo);

  // For a writer that keeps its image between cycles (see DbfTable::RewriteRecord): the record of
  // row `row` of the index table at four decimals, where the last whole write placed it. Whether
  // its bytes changed (false for a row that has no record).
  bool RewriteIndexRow(size_t row, const market::IndexQuoteRecord& index,
                       const refdata::IndexInfoTable& indexInfo);

 private:
  static constexpr uint32_t kNoRecord = UINT32_MAX;
  void WriteIndexRow(const market::IndexQuoteRecord& index,
                     const refdata::IndexInfoTable& indexInfo);

  bool lostHighVol_;
  std::vector<uint32_t> recordOfRow_;  // per row of the last WriteIndexRows, or kNoRecord
};

}  // namespace fw::dbf
