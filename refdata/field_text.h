// Turning the text of one XML element into a record field, the way every reference loader does it:
// integers and floating-point numbers from their leading numeric part (0 when there is none), texts
// cut to their fixed-width fields, single characters from the first byte.
//
// The conversions read only the given text (never past its end, whatever follows in memory) and do
// not depend on the process's locale, so a file reads the same on every machine. Thread-safe; no
// state.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

namespace fw::refdata {

// The leading decimal integer of text: leading white space skipped, an optional sign, then digits
// up to the first other character; no digits give 0. Values beyond the int32 range give INT32_MAX
// or INT32_MIN.
int32_t ParseInt32(std::string_view text);

// The leading decimal number of text: leading white space skipped, an optional sign, digits with an
// optional decimal point and an optional exponent ("e" or "E", an optional sign, digits). No digits
// give 0; a magnitude beyond the double range gives an infinity of the number's sign, one below the
// smallest subnormal gives 0. Hexadecimal forms, "inf" and "nan" are not numbers here (0).
double ParseDouble(std::string_view text);

// ParseDouble narrowed to float; finite values beyond the float range become infinities.
float ParseFloat(std::string_view text);

// A number truncated toward zero to a 64-bit integer; NaN and values outside the int64 range give
// 0, which every consumer of these amounts treats as "no value".
int64_t TruncateToInt64(double value);

// The first byte of text, or the NUL of an empty text.
inline char FirstChar(std::string_view text) { return text.empty() ? '\0' : text[0]; }

// Copies text into a fixed-width field: at most N bytes, stopping at a NUL in the text; the rest of
// the field is zero-filled, and a text of N bytes or more leaves the field without a terminator.
template <size_t N>
void StoreText(char (&field)[N], std::string_view text) {
  size_t n = 0;
  while (n < N && n < text.size() && text[n] != '\0') ++n;
  if (n != 0) std::memcpy(field, text.data(), n);
  std::memset(field + n, 0, N - n);
}

}  // namespace fw::refdata
