// RowWriter: what every file writer does for one record, written as a list of "field <- value"
// lines. Values arrive in the units of the market state (scaled 64-bit integers) and become doubles
// only in the last step, value * unit, exactly as the files have always been computed, so that the
// rounding of the text is the same.
//
// Rows either stop at the first setter that fails (the rest of the record stays blank and the
// writer reports the field) or try every field regardless, as each file's rules say.
//
// Used on the thread that owns the table; lives for one row.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "dbf/dbf_table.h"

namespace fw::dbf {

class RowWriter {
 public:
  enum class Mode {
    kStopAtFirstFailure,  // later calls do nothing once a setter failed
    kIgnoreFailures,      // every field is attempted
  };

  // Setters name the table's fields.
  RowWriter(DbfTable& table, Mode mode) : table_(table), mode_(mode) {}
  // Setters name columns of a list wider than the file's fields (the two security information
  // files share one): fieldOf[c] is column c's field in this file, or -1 where the file has no
  // such field, and calls for it do nothing. Failures are then reported by column.
  RowWriter(DbfTable& table, Mode mode, std::span<const int8_t> fieldOf)
      : table_(table), mode_(mode), fieldOf_(fieldOf) {}

  // Up to `length` bytes at the start of a character field, as they are: codes, constants, texts
  // passed on as received.
  void Chars(uint16_t field, const char* bytes, size_t length);
  // One byte of a character field.
  void Letter(uint16_t field, char letter) { Chars(field, &letter, 1); }
  // Chars for GBK text (names): a character cut by the width is left out.
  void Text(uint16_t field, const char* bytes, size_t length);
  // A decimal integer that must fit the field exactly.
  void Integer(uint16_t field, int64_t value);
  // A fixed-point value with the table's overflow rules (nines, or "   0.00" with zeroOnOverflow).
  void Number(uint16_t field, double value, bool zeroOnOverflow = false);
  // value * unit: prices and turnover (unit 0.001), index points at four decimals (0.0001).
  void Scaled(uint16_t field, int64_t value, double unit) {
    if (const int target = Target(field); target >= 0) {
      Note(field, table_.SetScaledField(static_cast<uint16_t>(target), value, unit));
    }
  }
  // 0 in the field's own shape: 0 without decimals, 0.0 with them ("    0.000"), and ".000000"
  // where the decimals leave no room for a leading zero (7.6).
  void Zero(uint16_t field);
  // Zero for the numeric fields first..last inclusive.
  void Zeros(uint16_t first, uint16_t last);

  bool Failed() const { return failedField_ >= 0; }
  // The first field (or column) that failed, or -1.
  int FailedField() const { return failedField_; }
  // 1, or -(field + 1) of the first failure: -1 for field 0, -2 for field 1, ...
  int32_t Result() const { return failedField_ < 0 ? 1 : -(failedField_ + 1); }

 private:
  // The table's field for `field`, or -1 when the call is to do nothing (skipping after a failure,
  // or a column the file lacks).
  int Target(uint16_t field) const {
    if (mode_ == Mode::kStopAtFirstFailure && failedField_ >= 0) return -1;
    if (fieldOf_.empty()) return field;
    return field < fieldOf_.size() ? fieldOf_[field] : -1;
  }
  void Note(uint16_t field, int32_t result) {
    if (result < 0 && failedField_ < 0) failedField_ = field;
  }

  DbfTable& table_;
  Mode mode_;
  std::span<const int8_t> fieldOf_;
  int failedField_ = -1;
};

// The largest volume a 12-digit field shows.
constexpr int64_t kMaxFieldVolume = 999999999999;

// Volumes above 999,999,999,999 show as that value, or, with the operator's lostHighVol setting,
// lose their high digits (the value modulo 10^12). Other values are unchanged.
constexpr int64_t ClampVolume(int64_t volume, bool lostHighVol) {
  if (volume <= kMaxFieldVolume) return volume;
  return lostHighVol ? volume % (kMaxFieldVolume + 1) : kMaxFieldVolume;
}

// "error in[<field>]\n" on standard output: the files' report of a row cut short.
void PrintRowError(int field);

}  // namespace fw::dbf
