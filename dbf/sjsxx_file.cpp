// SecurityInfoFile::SetData: the day's tables walked in the files' order (record 0; the securities
// with the issue, rights-issue and bond-distribution codes merged in by code; the statistics; the
// indexes), each row placed at its record, and what failed reported in the run log. The rows other
// than the security row are written here; the security row's rules are in
// sjsxx_security_row.cpp.
//
// Thread: the write thread, or the start-up sequence while the write cycle is idle.
#include "dbf/sjsxx_file.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string_view>
#include <vector>

#include "dbf/dbf_format.h"
#include "dbf/row_writer.h"
#include "dbf/sjsxx_rows.h"
#include "foundation/local_clock.h"
#include "foundation/run_log.h"
#include "refdata/code_number.h"

namespace fw::dbf {

using namespace sjsxx;
using refdata::BondDistributionParamsRecord;
using refdata::IssueParamsRecord;
using refdata::ReferenceTables;
using refdata::RightsIssueParamsRecord;

namespace {

// The run-log lines of SetData, level 1; the number after "curcor" and "record" is the row kind:
// 1 security, 2 index, 3 statistic, 4 parameter (issue, rights issue, bond distribution). They
// name the writer's class, except that the lines of moving to a parameter row and of writing a
// rights-issue or bond-distribution row say SZSjsxxFile in SJSXXN's log as well. That is how the
// system has always logged them and what the log's readers look for: not a slip to correct.
constexpr char kMoveRecord0[] = "move record0 curcor failed, %s::SetData(), errorcode = %d";
constexpr char kMoveRecord[] = "move record curcor%d failed, %s::SetData(), errorcode = %d";
constexpr char kWriteRecord[] = "write record%d failed, %s::SetData(), errorcode = %d";
constexpr char kParameterRowsClass[] = "SZSjsxxFile";
enum RowKind { kSecurityRow = 1, kIndexRow = 2, kStatRow = 3, kParameterRow = 4 };

// The rows copy their fields' widths straight from the reference records.
static_assert(sizeof(IssueParamsRecord::SecurityID) >= 6 && sizeof(IssueParamsRecord::Symbol) >= 8);
static_assert(sizeof(RightsIssueParamsRecord::Symbol) >= 8 &&
              sizeof(RightsIssueParamsRecord::UnderlyingSecurityID) >= 6);
static_assert(sizeof(BondDistributionParamsRecord::Symbol) >= 8 &&
              sizeof(BondDistributionParamsRecord::UnderlyingSecurityID) >= 6);
static_assert(sizeof(refdata::StatRecord::EnglishName) >= 20 &&
              sizeof(refdata::IndexInfoRecord::EnglishName) >= 20);

// The largest count a 9-digit field holds: issue and bond-distribution quantities above it show it.
constexpr double kMaxQuantity = 999999999;

// A row of the issue, rights-issue, bond-distribution, statistics or index files: an instrument
// that a reference file names, with a few values of its own; every other number is 0.
struct ReferenceRow {
  const char* code;                        // XXZQDM, 6 bytes
  const char* symbol;                      // XXZQJC, 8 bytes of GBK
  char letters[4] = {'.', '.', '.', '.'};  // XXJCQZ
  const char* englishName = nullptr;       // XXYWJC, 20 bytes, or nullptr
  const char* underlying;                  // XXJCZQ, 6 bytes
  bool currency;                           // XXHBZL "00"
  double shares = 0;                       // XXZFXL
  double startDate = 0;                    // XXSSRQ
  double buyUnit = 0;                      // XXBLDW
  double maximum = 0;                      // XXMBXL
  double upper = kNoUpperLimit;            // XXZTJG
  double lower = 0;                        // XXDTJG
  char cfbz = ' ';                         // XXCFBZ
  char kind = 'N';                         // XXZQJB
  char status = 'N';                       // XXZQZT (SJSXXN), XXJYZT (SJSXX)
  char business[8] = {'T', 'T', 'T', 'T',  // XXYWZT
                      'T', 'F', ' ', ' '};
};

void WriteReferenceRow(RowWriter& w, const ReferenceRow& r, const RowContext& cx) {
  w.Chars(XXZQDM, r.code, 6);
  w.Text(XXZQJC, r.symbol, 8);
  w.Chars(XXJCQZ, r.letters, 4);
  if (r.englishName != nullptr) w.Chars(XXYWJC, r.englishName, 20);
  w.Chars(XXJCZQ, r.underlying, 6);
  if (r.currency) w.Chars(XXHBZL, "00", 2);
  w.Zero(XXMGMZ);
  w.Number(XXZFXL, r.shares);
  w.Zeros(XXLTGS, XXGHFL);
  w.Number(XXSSRQ, r.startDate);
  w.Zeros(XXQXRQ, XXJYDW);
  w.Number(XXBLDW, r.buyUnit);
  w.Zero(XXSLDW);
  w.Number(XXMBXL, std::min(r.maximum, kMaxQuantity));
  w.Zeros(XXJGDW, XXLXCS);
  w.Integer(XXXJXZ, 1);
  w.Number(XXZTJG, r.upper);
  w.Number(XXDTJG, r.lower);
  w.Zeros(XXJGSX, XXDBZSL);
  w.Letter(XXRZBD, 'F');
  w.Letter(XXRQBD, 'F');
  w.Letter(XXCFBZ, r.cfbz);
  w.Letter(XXZSBZ, 'F');
  w.Letter(XXZQJB, r.kind);
  w.Letter(XXZQZT, r.status);
  w.Letter(XXJYJD, '0');
  w.Letter(XXTPBZ, cx.rules.otherRowsSuspension);
  w.Letter(XXRZZT, 'F');
  w.Letter(XXRQZT, 'F');
  w.Letter(XXRQJX, '0');
  w.Letter(XXWLTP, 'F');
  w.Chars(XXYWZT, r.business, 8);
  w.Chars(XXGXSJ, cx.localTime, 6);
  w.Letter(XXJYZT, r.status);
  w.Letter(XXCQCX, 'N');
}

void WriteIssueRow(RowWriter& w, const IssueParamsRecord& issue, const RowContext& cx) {
  const char kind = ParameterKindLetter(issue.SecurityType, issue.Symbol, true);
  const bool typeLetter = kind == 'E' || kind == 'L' || kind == 'C' || kind == 'F';
  ReferenceRow row{.code = issue.SecurityID,
                   .symbol = issue.Symbol,
                   .letters = {'.', '.', 'I', typeLetter ? kind : '.'},
                   .underlying = issue.SecurityID,
                   .currency = cx.rules.currencyOnOtherRows,
                   .shares = issue.OutStandingShare,
                   .startDate = issue.StartDate,
                   .buyUnit = static_cast<double>(issue.Unit),
                   .maximum = issue.QtyUpperLimit,
                   .upper = issue.PriceUpperLimit,
                   .lower = issue.PriceLowerLimit,
                   .kind = kind,
                   .status = 'F'};
  BusinessStatus(issue.SecurityType, nullptr,
                 cx.overlay.FindSwitch(CodeNumber(issue.SecurityID, 8)), row.business);
  WriteReferenceRow(w, row, cx);
}

// A rights-issue or bond-distribution row names its code, its symbol and its underlying security.
template <typename Record>
ReferenceRow UnderlyingRow(const Record& r, const RowContext& cx) {
  return {.code = r.SecurityID,
          .symbol = r.Symbol,
          .underlying = r.UnderlyingSecurityID,
          .currency = cx.rules.currencyOnOtherRows};
}

void WriteRightsRow(RowWriter& w, const RightsIssueParamsRecord& rights, const RowContext& cx) {
  WriteReferenceRow(w, UnderlyingRow(rights, cx), cx);
}

void WriteBondRow(RowWriter& w, const BondDistributionParamsRecord& bond, const RowContext& cx) {
  ReferenceRow row = UnderlyingRow(bond, cx);
  row.shares = bond.SelfListQty;
  row.maximum = bond.QtyUpperLimit;
  row.kind = ParameterKindLetter(bond.SecurityType, bond.Symbol, false);
  row.status = 'P';
  WriteReferenceRow(w, row, cx);
}

// Statistic and index rows differ only in XXHBZL.
template <typename Record>
void WriteListRow(RowWriter& w, const Record& r, bool isIndex, const RowContext& cx) {
  WriteReferenceRow(w,
                    {.code = r.SecurityID,
                     .symbol = r.Symbol,
                     .englishName = r.EnglishName,
                     .underlying = r.SecurityID,
                     .currency = isIndex || cx.rules.currencyOnOtherRows,
                     .cfbz = 'Z'},
                    cx);
}

// Record 0: the local date, "Special Record", the market time and milliseconds. Only the market
// time can fail; it ends the record there with "error1" on standard output.
void WriteFirstRecord(RowWriter& w, const LocalDateTime& now, const market::MarketClock& clock) {
  char date[kFormatBufferSize];
  w.Chars(XXZQDM, "000000", 6);
  w.Chars(XXZQJC, date, FormatIntegerWidth(now.Date(), 8, date, sizeof date));
  w.Letter(XXJCQZ, ' ');
  w.Chars(XXYWJC, "Special Record      ", 20);
  for (const Column c : {XXJCZQ, XXISIN, XXHYZL, XXHBZL}) w.Letter(c, ' ');
  w.Zeros(XXMGMZ, XXJYDW);
  w.Integer(XXBLDW, clock.marketTime);
  if (w.Failed()) {
    std::printf("error1\n");
    std::fflush(stdout);
    return;
  }
  w.Integer(XXSLDW, clock.milliseconds);
  w.Zeros(XXMBXL, XXDBZSL);
  for (int c = XXRZBD; c <= XXCQCX; ++c) w.Letter(static_cast<Column>(c), ' ');
}

// XXGXSJ: the local time HHMMSS right-justified in 6 characters.
void LocalTimeText(const LocalDateTime& now, char (&out)[6]) {
  char text[kFormatBufferSize];
  FormatIntegerWidth(now.Time(), 6, text, sizeof text);
  std::memcpy(out, text, sizeof out);
}

// One row in `record`, with the run-log line of a record that cannot be had (nothing is written
// then: that would overwrite the record still current) or of a row that failed.
template <typename Write>
void PlaceRow(DbfTable& table, const FileRules& rules, uint32_t record, RowKind kind,
              const char* moveClass, const char* writeClass, const Write& write) {
  if (const int32_t moved = table.GoToRecord(record); moved < 0) {
    WriteLog(1, kMoveRecord, kind, moveClass, moved);
    return;
  }
  RowWriter w(table, RowWriter::Mode::kStopAtFirstFailure, *rules.columns);
  write(w);
  if (w.Failed()) WriteLog(1, kWriteRecord, kind, writeClass, w.Result());
}

}  // namespace

SecurityInfoFile::SecurityInfoFile(const FileRules& rules)
    : DbfTable(rules.fields), rules_(rules) {}

int32_t SecurityInfoFile::Open(const std::string& path) {
  if (path.empty()) {
    Close();
    return kNoPath;
  }
  const int32_t result = DbfTable::Open(path);
  if (result < 0) {
    Close();
    return result;
  }
  return 0;
}

int32_t SecurityInfoFile::SetData(const ReferenceTables& tables,
                                  const refdata::FeedOverlay& overlay,
                                  const market::MarketClock& clock) {
  // Without an image every row would fail to move and be logged, every few seconds.
  if (!HasImage()) return kNotOpen;
  const char* const name = rules_.className;
  const std::span<const int8_t> columns(*rules_.columns);

  const uint64_t records = uint64_t{1} + tables.rightsIssueParams.Size() +
                           tables.issueParams.Size() + tables.bondDistributionParams.Size() +
                           tables.indexInfo.Size() + tables.securities.Size() + tables.stat.Size();
  SetRecordCount(static_cast<uint32_t>(std::min<uint64_t>(records, UINT32_MAX)));

  now_ = LocalNow();
  RowContext cx{tables, overlay, rules_, {}};
  LocalTimeText(now_, cx.localTime);
  feedRows_.clear();

  if (const int32_t moved = GoToRecord(0); moved < 0) {
    WriteLog(1, kMoveRecord0, name, moved);
  } else {
    RowWriter w(*this, RowWriter::Mode::kIgnoreFailures, columns);
    WriteFirstRecord(w, now_, clock);
  }

  uint32_t record = 1;
  // One row at the next record, which advances whatever happens.
  const auto place = [&](RowKind kind, const char* moveClass, const char* writeClass,
                         const auto& write) {
    PlaceRow(*this, rules_, record, kind, moveClass, writeClass, write);
    ++record;
  };
  // A listed code takes its row from the first parameter file that has it; a code in none of them
  // uses no record.
  const auto placeParameterRow = [&](uint32_t code) {
    if (const IssueParamsRecord* issue = tables.issueParams.Get(code)) {
      feedRows_.push_back({code, record, false});
      place(kParameterRow, kParameterRowsClass, name,
            [&](RowWriter& w) { WriteIssueRow(w, *issue, cx); });
    } else if (const RightsIssueParamsRecord* rights = tables.rightsIssueParams.Get(code)) {
      place(kParameterRow, kParameterRowsClass, kParameterRowsClass,
            [&](RowWriter& w) { WriteRightsRow(w, *rights, cx); });
    } else if (const BondDistributionParamsRecord* bond = tables.bondDistributionParams.Get(code)) {
      place(kParameterRow, kParameterRowsClass, kParameterRowsClass,
            [&](RowWriter& w) { WriteBondRow(w, *bond, cx); });
    }
  };

  // The issue, rights-issue and bond-distribution codes, merged into the securities in code order;
  // a code that is also a security's is written as the security.
  const std::vector<uint32_t> listed = refdata::ParameterCodes(tables);
  size_t next = 0;
  for (const auto& entry : tables.securities) {
    const uint32_t code = entry.first;
    for (; next < listed.size() && listed[next] <= code; ++next) {
      if (listed[next] < code) placeParameterRow(listed[next]);
    }
    feedRows_.push_back({code, record, true});
    place(kSecurityRow, name, name,
          [&](RowWriter& w) { WriteSecurityRow(w, code, entry.second.record, cx); });
  }
  for (; next < listed.size(); ++next) placeParameterRow(listed[next]);

  for (const auto& entry : tables.stat) {
    place(kStatRow, name, name,
          [&](RowWriter& w) { WriteListRow(w, entry.second.record, false, cx); });
  }
  for (const auto& entry : tables.indexInfo) {
    place(kIndexRow, name, name,
          [&](RowWriter& w) { WriteListRow(w, entry.second.record, true, cx); });
  }
  return 0;
}

void SecurityInfoFile::MoveLocalTime() {
  const uint32_t before = now_.Time();
  now_ = LocalNow();
  const int field = (*rules_.columns)[XXGXSJ];
  if (now_.Time() == before || field < 0) return;
  char text[6];
  LocalTimeText(now_, text);
  PatchCarriedField(static_cast<uint16_t>(field), std::string_view(text, sizeof text), 1);
}

bool SecurityInfoFile::RewriteFirstRecord(const market::MarketClock& clock) {
  return RewriteRecord(0, [&] {
    if (GoToRecord(0) < 0) return;
    RowWriter w(*this, RowWriter::Mode::kIgnoreFailures, *rules_.columns);
    WriteFirstRecord(w, now_, clock);
  });
}

bool SecurityInfoFile::RewriteFeedRow(uint32_t code, const ReferenceTables& tables,
                                      const refdata::FeedOverlay& overlay) {
  const auto at = std::lower_bound(feedRows_.begin(), feedRows_.end(), code,
                                   [](const FeedRow& row, uint32_t c) { return row.code < c; });
  if (at == feedRows_.end() || at->code != code) return false;
  RowContext cx{tables, overlay, rules_, {}};
  LocalTimeText(now_, cx.localTime);
  const char* const name = rules_.className;
  return RewriteRecord(at->record, [&] {
    if (at->security) {
      const refdata::SecurityRecord* security = tables.securities.Get(code);
      if (security == nullptr) return;
      PlaceRow(*this, rules_, at->record, kSecurityRow, name, name,
               [&](RowWriter& w) { WriteSecurityRow(w, code, *security, cx); });
    } else if (const IssueParamsRecord* issue = tables.issueParams.Get(code)) {
      PlaceRow(*this, rules_, at->record, kParameterRow, kParameterRowsClass, name,
               [&](RowWriter& w) { WriteIssueRow(w, *issue, cx); });
    }
  });
}

int32_t SecurityInfoFile::WriteFile(const ReferenceTables& tables,
                                    const refdata::FeedOverlay& overlay,
                                    const market::MarketClock& clock) {
  int32_t result = SetData(tables, overlay, clock);
  if (result >= 0) result = Flush();
  if (result < 0) {
    Close();
    return result;
  }
  return 0;
}

}  // namespace fw::dbf
