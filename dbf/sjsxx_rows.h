// The rows of the two security information files, between SecurityInfoFile::SetData (which walks
// the tables, places the rows and reports failures) and the rules of each row kind. Every row is a
// list of "column <- value" lines in column order over the columns of sjsxx_file.h, written
// through a RowWriter that maps the columns to the file's fields and stops at the first that
// fails: the record's remaining fields stay blank and RowWriter::Result names the column.
//
// Internal to dbf/. Thread: the one running SetData.
#pragma once

#include <cstdint>

#include "dbf/row_writer.h"
#include "dbf/sjsxx_file.h"
#include "refdata/reference_tables.h"

namespace fw::dbf::sjsxx {

// XXZTJG of every row without a price limit.
constexpr double kNoUpperLimit = 99999.999;

// What every row of one SetData shares.
struct RowContext {
  const refdata::ReferenceTables& tables;
  const refdata::FeedOverlay& overlay;
  const FileRules& rules;
  char localTime[6];  // XXGXSJ: the local time HHMMSS right-justified
};

// The row of security `code` (sjsxx_security_row.cpp).
void WriteSecurityRow(RowWriter& w, uint32_t code, const refdata::SecurityRecord& s,
                      const RowContext& cx);

// XXZQJB of issue rows (withC) and bond-distribution rows: the type letter of SecurityType ('C'
// only for issues), 'N' without one, '*' for a Symbol beginning with *ST.
char ParameterKindLetter(int16_t securityType, const char* symbol, bool withC);

// XXYWZT by SecurityType. Without a security record (issue rows) the positions that come from the
// offering flags, DayTrading and QualificationFlag stay blank.
void BusinessStatus(int16_t securityType, const refdata::SecurityRecord* security,
                    const refdata::SecuritySwitchRecord* switches, char out[8]);

}  // namespace fw::dbf::sjsxx
