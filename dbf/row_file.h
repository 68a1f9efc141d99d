// RowFile: what the quote, index, after-hours and negotiated-trading writers share: a table whose
// records are filled row by row from a counter, opened and flushed with one rule for a failure
// (the table is aborted or closed, as each file's readers need), and rows beyond the estimate that
// extend the record count instead of being lost.
//
// Thread: the write thread. Lifetime: one write cycle, as DbfTable.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "dbf/dbf_table.h"
#include "dbf/row_writer.h"
#include "foundation/error_code.h"

namespace fw::dbf {

class RowFile : public DbfTable {
 public:
  // What Open and Flush do to the table when they fail.
  enum class OnFailure {
    kAbort,  // flush the system buffers, then close
    kClose,
  };

  // Opens (or creates) the file and builds an empty table; the row counter starts at 0. 1; on
  // failure the table is aborted or closed and the negative code of the failing step returned
  // (the cycle then skips this file).
  int32_t Open(const std::string& path);

  // Rewrites the file (DbfTable::Flush with this file's NUL rule); on failure the table is aborted
  // or closed.
  int32_t Flush();
  // DbfTable::FlushChanges, with the same rule on failure.
  int32_t FlushChanges();

  // The record the next row goes to. It advances for every row that has its record, also for one
  // left blank.
  uint32_t RowCounter() const { return rowCounter_; }

  // Whether every row since Open got its record: only then does each row stay where the rewrite
  // of single rows expects it.
  bool EveryRowPlaced() const { return !rowMissed_; }

 protected:
  RowFile(std::span<const FieldSpec> fields, OnFailure onFailure, NulBytes nulBytes)
      : DbfTable(fields, nulBytes), onFailure_(onFailure) {}

  // Makes the counter's record current, extending the record count when the estimate fell short,
  // and advances the counter. 1, or the negative code when the record cannot be had (no image, no
  // memory): the counter then stays, so that no later row leaves a gap.
  int32_t NextRow() {
    const int32_t result = GoToRecordExtending(rowCounter_);
    if (result >= 0) {
      ++rowCounter_;
    } else {
      rowMissed_ = true;
    }
    return result;
  }

  // Writes record `record` again with write() (into the current record), for a writer that keeps
  // its image between cycles: see DbfTable::RewriteRecord. Whether its bytes changed.
  template <typename Write>
  bool RewriteRow(uint32_t record, Write write) {
    return RewriteRecord(record, [&] {
      if (GoToRecord(record) >= 0) write();
    });
  }
  // Record 0 written again by fill(RowWriter&) with every field tried; the record count stays.
  template <typename Fill>
  bool RewriteFirstRecordWith(Fill fill) {
    return RewriteRow(0, [&] {
      RowWriter w(*this, RowWriter::Mode::kIgnoreFailures);
      fill(w);
    });
  }

  // Record count = rowEstimate + 1, record 0 filled by `fill(RowWriter&)` with every field tried,
  // the next row at record 1. 1; the negative code of the count or of the move (nothing written);
  // -1 when a field did not fit.
  template <typename Fill>
  int32_t WriteFirstRecordWith(uint32_t rowEstimate, Fill fill) {
    const int32_t count =
        rowEstimate == UINT32_MAX ? kErrBadArgument : SetRecordCount(rowEstimate + 1);
    rowCounter_ = 0;
    const int32_t row = NextRow();
    if (row < 0) return row;
    RowWriter w(*this, RowWriter::Mode::kIgnoreFailures);
    fill(w);
    if (count < 0) return count;
    return w.Failed() ? -1 : 1;
  }

  // One row per record for which `takesRecord(record)` holds (the others use no record), each in
  // the counter's record, filled by `write(record)`; a row `write` leaves alone stays blank. 1, or
  // the negative code of the last record that could not be had.
  template <typename Record, typename TakesRecord, typename Write>
  int32_t WriteRows(std::span<const Record> records, TakesRecord takesRecord, Write write) {
    int32_t result = 1;
    for (const Record& record : records) {
      if (!takesRecord(record)) continue;
      const int32_t row = NextRow();
      if (row < 0) {
        result = row;
        continue;
      }
      write(record);
    }
    return result;
  }
  template <typename Record, typename Write>
  int32_t WriteRows(std::span<const Record> records, Write write) {
    return WriteRows(
        records, [](const Record&) { return true; }, write);
  }

  uint32_t rowCounter_ = 0;
  bool rowMissed_ = false;

 private:
  void Fail() {
    if (onFailure_ == OnFailure::kAbort) {
      Abort();
    } else {
      Close();
    }
  }

  OnFailure onFailure_;
};

}  // namespace fw::dbf
