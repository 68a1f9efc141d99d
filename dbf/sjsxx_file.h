// SZSjsxxnFile and SZSjsxxFile: SJSXXN.DBF (53 fields) and SJSXX.DBF (31 fields), the security
// information files. One record per security, per issue, rights-issue and bond-distribution code,
// per statistic and per index, after a first record with the local date and the market time. Both
// are built almost entirely from the day's reference tables; the feed contributes the trading
// phase, the phase letter and the security switches, which the writers take from a FeedOverlay
// copied under the processor's lock, never from the live tables.
//
// The two files share one SecurityInfoFile::SetData: every rule is written once over the union of
// their columns (SJSXXN's 53 fields followed by SJSXX's XXJYZT and XXCQCX), and each file writes
// the columns it has. Where the files' rules differ, a FileRules value says how.
//
// Thread: the write thread, or the start-up sequence while the write cycle is idle. The writers
// read only their arguments and never create a reference record: whether a security has cash
// auction, negotiation or after-hours parameters is whether the day's file held a record for it,
// so every cycle writes the same rows from the same tables. Lifetime: one start-up or one write
// cycle: construct, Open, WriteFile, Close, destroy.
#pragma once

#include <array>
#include <cstdint>
#include <iterator>
#include <span>
#include <string>
#include <vector>

#include "dbf/dbf_table.h"
#include "foundation/local_clock.h"
#include "market/market_records.h"
#include "refdata/reference_tables.h"

namespace fw::dbf {
namespace sjsxx {

// Every column of the two files: SJSXXN's fields in its order, then the two that only SJSXX has.
// A row's failure code is -(column + 1): -1 the code, -2 the name, -3 XXJCQZ, -4 XXYWJC, …
enum Column : uint8_t {
  XXZQDM,
  XXZQJC,
  XXJCQZ,
  XXYWJC,
  XXJCZQ,
  XXISIN,
  XXHYZL,
  XXHBZL,
  XXMGMZ,
  XXZFXL,
  XXLTGS,
  XXSNLR,
  XXBNLR,
  XXLJJZ,
  XXJSFL,
  XXYHSL,
  XXGHFL,
  XXSSRQ,
  XXQXRQ,
  XXDJRQ,
  XXJYDW,
  XXBLDW,
  XXSLDW,
  XXMBXL,
  XXJGDW,
  XXJHCS,
  XXLXCS,
  XXXJXZ,
  XXZTJG,
  XXDTJG,
  XXJGSX,
  XXJGXX,
  XXZHBL,
  XXDBZSL,
  XXRZBD,
  XXRQBD,
  XXCFBZ,
  XXZSBZ,
  XXSCDM,
  XXZQLB,
  XXZQJB,
  XXZQZT,
  XXJYLX,
  XXJYJD,
  XXTPBZ,
  XXRZZT,
  XXRQZT,
  XXRQJX,
  XXWLTP,
  XXYWZT,
  XXGXSJ,
  XXMARK,
  XXBYBZ,
  XXJYZT,
  XXCQCX,
  kColumnCount
};

// The columns' shapes, in column order. The first 53 are SJSXXN.DBF's field list.
inline constexpr FieldSpec kColumns[] = {
    {"XXZQDM", 'C', 6, 0}, {"XXZQJC", 'C', 8, 0},  {"XXJCQZ", 'C', 4, 0},  {"XXYWJC", 'C', 20, 0},
    {"XXJCZQ", 'C', 6, 0}, {"XXISIN", 'C', 12, 0}, {"XXHYZL", 'C', 3, 0},  {"XXHBZL", 'C', 2, 0},
    {"XXMGMZ", 'N', 7, 2}, {"XXZFXL", 'N', 12, 0}, {"XXLTGS", 'N', 12, 0}, {"XXSNLR", 'N', 9, 4},
    {"XXBNLR", 'N', 9, 4}, {"XXLJJZ", 'N', 9, 4},  {"XXJSFL", 'N', 7, 6},  {"XXYHSL", 'N', 7, 6},
    {"XXGHFL", 'N', 7, 6}, {"XXSSRQ", 'D', 8, 0},  {"XXQXRQ", 'D', 8, 0},  {"XXDJRQ", 'D', 8, 0},
    {"XXJYDW", 'N', 4, 0}, {"XXBLDW", 'N', 6, 0},  {"XXSLDW", 'N', 6, 0},  {"XXMBXL", 'N', 9, 0},
    {"XXJGDW", 'N', 5, 3}, {"XXJHCS", 'N', 7, 3},  {"XXLXCS", 'N', 7, 3},  {"XXXJXZ", 'N', 1, 0},
    {"XXZTJG", 'N', 9, 3}, {"XXDTJG", 'N', 9, 3},  {"XXJGSX", 'N', 9, 3},  {"XXJGXX", 'N', 9, 3},
    {"XXZHBL", 'N', 5, 2}, {"XXDBZSL", 'N', 5, 2}, {"XXRZBD", 'C', 1, 0},  {"XXRQBD", 'C', 1, 0},
    {"XXCFBZ", 'C', 1, 0}, {"XXZSBZ", 'C', 1, 0},  {"XXSCDM", 'C', 2, 0},  {"XXZQLB", 'C', 4, 0},
    {"XXZQJB", 'C', 1, 0}, {"XXZQZT", 'C', 1, 0},  {"XXJYLX", 'C', 1, 0},  {"XXJYJD", 'C', 1, 0},
    {"XXTPBZ", 'C', 1, 0}, {"XXRZZT", 'C', 1, 0},  {"XXRQZT", 'C', 1, 0},  {"XXRQJX", 'C', 1, 0},
    {"XXWLTP", 'C', 1, 0}, {"XXYWZT", 'C', 8, 0},  {"XXGXSJ", 'C', 6, 0},  {"XXMARK", 'C', 12, 0},
    {"XXBYBZ", 'C', 1, 0}, {"XXJYZT", 'C', 1, 0},  {"XXCQCX", 'C', 1, 0},
};
static_assert(std::size(kColumns) == kColumnCount);
static_assert(FieldIndexOf(kColumns, "XXDBZSL") == XXDBZSL);
static_assert(FieldIndexOf(kColumns, "XXBYBZ") == XXBYBZ);
static_assert(FieldIndexOf(kColumns, "XXCQCX") == XXCQCX);

// SJSXXN.DBF: 53 fields, record length 302, header length 1729.
inline constexpr std::span<const FieldSpec> kSjsxxnFields{kColumns, 53};
static_assert(RecordLengthOf(kSjsxxnFields) == 302);

// SJSXX.DBF: 31 fields, record length 199, header length 1025.
inline constexpr FieldSpec kSjsxxFields[] = {
    {"XXZQDM", 'C', 6, 0},  {"XXZQJC", 'C', 8, 0}, {"XXYWJC", 'C', 20, 0}, {"XXJYDW", 'N', 4, 0},
    {"XXHYZL", 'C', 3, 0},  {"XXHBZL", 'C', 2, 0}, {"XXMGMZ", 'N', 7, 2},  {"XXZFXL", 'N', 12, 0},
    {"XXLTGS", 'N', 12, 0}, {"XXSNLR", 'N', 9, 4}, {"XXBNLR", 'N', 9, 4},  {"XXJSFL", 'N', 7, 6},
    {"XXYHSL", 'N', 7, 6},  {"XXGHFL", 'N', 7, 6}, {"XXSSRQ", 'D', 8, 0},  {"XXDJRQ", 'D', 8, 0},
    {"XXMBXL", 'N', 9, 0},  {"XXBLDW", 'N', 6, 0}, {"XXSLDW", 'N', 6, 0},  {"XXJGDW", 'N', 5, 3},
    {"XXJHCS", 'N', 7, 3},  {"XXLXCS", 'N', 7, 3}, {"XXXJXZ", 'N', 1, 0},  {"XXZTJG", 'N', 9, 3},
    {"XXDTJG", 'N', 9, 3},  {"XXZHBL", 'N', 5, 2}, {"XXJYZT", 'C', 1, 0},  {"XXZQJB", 'C', 1, 0},
    {"XXTPBZ", 'C', 1, 0},  {"XXCQCX", 'C', 1, 0}, {"XXCFBZ", 'C', 1, 0},
};
static_assert(std::size(kSjsxxFields) == 31);
static_assert(RecordLengthOf(kSjsxxFields) == 199);

// The field of each column in a file's list, or -1 when the file does not have that column.
using ColumnMap = std::array<int8_t, kColumnCount>;

constexpr bool SameShape(const FieldSpec& a, const FieldSpec& b) {
  return a.type == b.type && a.length == b.length && a.decimals == b.decimals;
}

// Built from the names; a name the file shares with the column list must have the column's shape.
constexpr ColumnMap MapColumns(std::span<const FieldSpec> fields) {
  ColumnMap map{};
  for (size_t c = 0; c < kColumnCount; ++c) {
    const int field = FieldIndexOf(fields, kColumns[c].name);
    if (field >= 0 && !SameShape(fields[static_cast<size_t>(field)], kColumns[c])) throw "shape";
    map[c] = static_cast<int8_t>(field);
  }
  return map;
}

inline constexpr ColumnMap kSjsxxnColumns = MapColumns(kSjsxxnFields);
inline constexpr ColumnMap kSjsxxColumns = MapColumns(kSjsxxFields);
static_assert(kSjsxxnColumns[XXBYBZ] == 52 && kSjsxxnColumns[XXJYZT] == -1);
static_assert(kSjsxxColumns[XXJYZT] == 26 && kSjsxxColumns[XXCFBZ] == 30 &&
              kSjsxxColumns[XXJCQZ] == -1);

// XXTPBZ of a security row from the trading phase and the phase letter, in steps: the initial
// letter; the letter for a phase whose first character is 'H' (0: no such step); the letter for a
// phase whose second character is '1'; then the letters the phase letters 'Y' and 'H' give.
struct SuspensionRule {
  char initial;
  char phaseH;
  char phaseSecondOne;
  char letterY;
  char letterH;
};

// How the two files differ.
struct FileRules {
  // In the run-log lines: "SZSjsxxnFile" or "SZSjsxxFile"; the lines of parameter rows say
  // "SZSjsxxFile" in both files, as the system always has (sjsxx_file.cpp).
  const char* className;
  std::span<const FieldSpec> fields;
  const ColumnMap* columns;
  // XXSSRQ: SJSXX shows the interest accrual date of bonds instead of the listing date.
  bool accrualDateAsListing;
  // XXZQZT: SJSXXN also turns codes 6 and 12 into 'Y' and 'Z' (SJSXX has XXJYZT for them).
  bool suspensionInStatus;
  SuspensionRule suspension;
  // Added to an absolute price limit times 1000 before truncation: SJSXX only.
  double absoluteLimitOffset;
  // XXTPBZ of issue, rights-issue, bond-distribution, statistic and index rows.
  char otherRowsSuspension;
  // XXHBZL "00" on issue, rights-issue, bond-distribution and statistic rows (index rows always).
  bool currencyOnOtherRows;
};

inline constexpr FileRules kSjsxxnRules{
    .className = "SZSjsxxnFile",
    .fields = kSjsxxnFields,
    .columns = &kSjsxxnColumns,
    .accrualDateAsListing = false,
    .suspensionInStatus = true,
    .suspension =
        {.initial = ' ', .phaseH = 'H', .phaseSecondOne = 'Y', .letterY = 'Y', .letterH = 'H'},
    .absoluteLimitOffset = 0.0,
    .otherRowsSuspension = ' ',
    .currencyOnOtherRows = false,
};
inline constexpr FileRules kSjsxxRules{
    .className = "SZSjsxxFile",
    .fields = kSjsxxFields,
    .columns = &kSjsxxColumns,
    .accrualDateAsListing = true,
    .suspensionInStatus = false,
    .suspension =
        {.initial = 'F', .phaseH = 0, .phaseSecondOne = 'T', .letterY = 'T', .letterH = 'F'},
    .absoluteLimitOffset = 0.00051,
    .otherRowsSuspension = 'F',
    .currencyOnOtherRows = true,
};

// Open's result when no path is configured.
constexpr int32_t kNoPath = -1000;
// SetData's result when the table holds no image (Open failed or was not called).
constexpr int32_t kNotOpen = -1;

}  // namespace sjsxx

// The algorithm both security information files share.
class SecurityInfoFile : public DbfTable {
 public:
  // -1000 for an empty path; else opens (or creates) the file and builds an empty table: 0, or on
  // failure the table is closed and the negative code of the failing step returned.
  int32_t Open(const std::string& path);

  // Writes the whole image: record count 1 + the records of the rights-issue, issue,
  // bond-distribution, indexinfo, securities and stat tables; record 0; the securities in ascending
  // code with the issue, rights-issue and bond-distribution codes merged in before the first
  // security above them (a code that is also a security's is written once, as the security); the
  // statistics; the indexes. A record that cannot be reached or a row that fails is reported in
  // the run log and the next row goes on; a failing row leaves the rest of its record blank. A
  // security without cash auction parameters shows units and price tick 0, XXMBXL 0, XXZSBZ 'F',
  // no auction limits (XXJHCS and XXLXCS 0, XXXJXZ 1) and no price limits (99999.999 and 0).
  // `overlay` gives the trading phases, phase letters and security switches; `clock` the market
  // time and milliseconds of record 0. 0; kNotOpen (nothing written, nothing logged) when the
  // table has no image.
  int32_t SetData(const refdata::ReferenceTables& tables, const refdata::FeedOverlay& overlay,
                  const market::MarketClock& clock);

  // SetData, then Flush. 0; else the table is closed and the negative code returned.
  int32_t WriteFile(const refdata::ReferenceTables& tables, const refdata::FeedOverlay& overlay,
                    const market::MarketClock& clock);

  const sjsxx::FileRules& Rules() const { return rules_; }

  // For a writer that keeps its image between cycles (see DbfTable::RewriteRecord), over the
  // tables of its last SetData.
  // Takes the local time again; when HHMMSS moved, writes it into XXGXSJ of every row (SJSXXN).
  void MoveLocalTime();
  // Record 0 with the local date of the last MoveLocalTime (or SetData). Whether it changed.
  bool RewriteFirstRecord(const market::MarketClock& clock);
  // The row of `code` that shows what the feed changes (trading phase, phase letter, switches): a
  // security's row, or an issue row. Written again from `overlay`, with the run-log lines of
  // SetData when it fails. Whether its bytes changed; false for a code without such a row.
  bool RewriteFeedRow(uint32_t code, const refdata::ReferenceTables& tables,
                      const refdata::FeedOverlay& overlay);

 protected:
  explicit SecurityInfoFile(const sjsxx::FileRules& rules);

 private:
  // Where SetData placed a row that reads the feed's fields.
  struct FeedRow {
    uint32_t code;
    uint32_t record;
    bool security;  // else an issue row
  };

  const sjsxx::FileRules& rules_;
  LocalDateTime now_;              // the local time of this cycle's cells
  std::vector<FeedRow> feedRows_;  // ascending code
};

// SJSXXN.DBF (configuration key szl1).
class SZSjsxxnFile : public SecurityInfoFile {
 public:
  SZSjsxxnFile() : SecurityInfoFile(sjsxx::kSjsxxnRules) {}
};

// SJSXX.DBF (configuration key Sjsxxdbf).
class SZSjsxxFile : public SecurityInfoFile {
 public:
  SZSjsxxFile() : SecurityInfoFile(sjsxx::kSjsxxRules) {}
};

}  // namespace fw::dbf
