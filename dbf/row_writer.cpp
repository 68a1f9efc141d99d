// RowWriter's setters and the "error in" report; used on the thread that owns the table.
#include "dbf/row_writer.h"

#include <cstdio>

namespace fw::dbf {

void RowWriter::Chars(uint16_t field, const char* bytes, size_t length) {
  if (const int target = Target(field); target >= 0) {
    Note(field, table_.SetCharField(static_cast<uint16_t>(target), bytes, length));
  }
}

void RowWriter::Text(uint16_t field, const char* bytes, size_t length) {
  if (const int target = Target(field); target >= 0) {
    Note(field, table_.SetTextField(static_cast<uint16_t>(target), bytes, length));
  }
}

void RowWriter::Integer(uint16_t field, int64_t value) {
  if (const int target = Target(field); target >= 0) {
    Note(field, table_.SetInt64Field(static_cast<uint16_t>(target), value));
  }
}

void RowWriter::Number(uint16_t field, double value, bool zeroOnOverflow) {
  if (const int target = Target(field); target >= 0) {
    Note(field, table_.SetDoubleField(static_cast<uint16_t>(target), value, zeroOnOverflow));
  }
}

void RowWriter::Zero(uint16_t field) {
  const int target = Target(field);
  if (target < 0) return;
  const auto index = static_cast<uint16_t>(target);
  const auto fields = table_.Fields();
  if (index >= fields.size() || fields[index].decimals == 0) {
    Note(field, table_.SetInt64Field(index, 0));
  } else if (fields[index].decimals + 2 > fields[index].length) {
    Note(field, table_.SetTrimmedDoubleField(index, 0.0));
  } else {
    Note(field, table_.SetDoubleField(index, 0.0));
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
