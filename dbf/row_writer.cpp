// RowWriter's setters and the "error in" report; used on the thread that owns the table.
#include "dbf/row_writer.h"

#include <cstdio>

namespace fw::dbf {

void RowWriter::Chars(uint16_t field, const char* bytes, size_t length) {
  if (!Skipping()) Note(field, table_.SetCharField(field, bytes, length));
}

void RowWriter::Text(uint16_t field, const char* bytes, size_t length) {
  if (!Skipping()) Note(field, table_.SetTextField(field, bytes, length));
}

void RowWriter::Integer(uint16_t field, int64_t value) {
  if (!Skipping()) Note(field, table_.SetInt64Field(field, value));
}

void RowWriter::Number(uint16_t field, double value, bool zeroOnOverflow) {
  if (!Skipping()) Note(field, table_.SetDoubleField(field, value, zeroOnOverflow));
}

void RowWriter::Zero(uint16_t field) {
  if (Skipping()) return;
  const auto fields = table_.Fields();
  if (field < fields.size() && fields[field].decimals != 0) {
    Note(field, table_.SetDoubleField(field, 0.0));
  } else {
    Note(field, table_.SetInt64Field(field, 0));
  }
}

void RowWriter::Zeros(uint16_t first, uint16_t last) {
  for (uint32_t field = first; field <= last; ++field) Zero(static_cast<uint16_t>(field));
}

void PrintRowError(int field) {
  std::printf("error in[%d]\n", field);
  // Standard output may be a pipe to a log collector: the line should not wait for the buffer.
  std::fflush(stdout);
}

}  // namespace fw::dbf
