// RowWriter: what every file writer does for one record, written as a list of "field <- value"
// lines. Values arrive in the units of the market state (scaled 64-bit integers) and become doubles
// only in the last step, value * unit, exactly as the files have always been computed, so that the
// rounding of the text is the same.
//
// Rows either stop at the first setter that fails (the rest of the record stays blank and the
// writer prints "error in[<field>]") or try every field regardless, as each file's rules say.
//
// Used on the thread that owns the table; lives for one row.
#pragma once

#include <cstddef>
#include <cstdint>

#include "dbf/dbf_table.h"

namespace fw::dbf {

class RowWriter {
 public:
  enum class Mode {
    kStopAtFirstFailure,  // later calls do nothing once a setter failed
    kIgnoreFailures,      // every field is attempted
  };

  RowWriter(DbfTable& table, Mode mode) : table_(table), mode_(mode) {}

  // Up to `length` bytes at the start of a character field, as they are: codes, constants, texts
  // passed on as received.
  void Chars(uint16_t field, const char* bytes, size_t length);
  // The same for GBK text (names): a character cut by the width is left out.
  void Text(uint16_t field, const char* bytes, size_t length);
  // A decimal integer that must fit the field exactly.
  void Integer(uint16_t field, int64_t value);
  // A fixed-point value with the table's overflow rules (nines, or "   0.00" with zeroOnOverflow).
  void Number(uint16_t field, double value, bool zeroOnOverflow = false);
  // value * unit: prices and turnover (unit 0.001), index points at four decimals (0.0001).
  void Scaled(uint16_t field, int64_t value, double unit) {
    if (!Skipping()) Note(field, table_.SetScaledField(field, value, unit));
  }
  // 0 in the field's own shape: 0.0 where it has decimals ("    0.000"), else 0.
  void Zero(uint16_t field);
  // Zero for fields first..last inclusive.
  void Zeros(uint16_t first, uint16_t last);

  bool Failed() const { return failedField_ >= 0; }
  // The number of the first field that failed, or -1.
  int FailedField() const { return failedField_; }

 private:
  bool Skipping() const { return mode_ == Mode::kStopAtFirstFailure && failedField_ >= 0; }
  void Note(uint16_t field, int32_t result) {
    if (result < 0 && failedField_ < 0) failedField_ = field;
  }

  DbfTable& table_;
  Mode mode_;
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
