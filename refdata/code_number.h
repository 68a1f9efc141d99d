// The code number that keys every table: the decimal value of the leading digits of a code text,
// as the C library's text-to-integer conversion reads it (leading blanks skipped, an optional
// sign, digits up to the first other character; no digits give 0). The text need not be
// terminated: at most maxLength bytes are looked at, and a NUL ends it early.
#pragma once

#include <cstddef>
#include <cstdint>

namespace fw {

inline int64_t CodeValue(const char* text, size_t maxLength) {
  size_t i = 0;
  while (i < maxLength && (text[i] == ' ' || text[i] == '\t' || text[i] == '\n' ||
                           text[i] == '\r' || text[i] == '\v' || text[i] == '\f')) {
    ++i;
  }
  bool negative = false;
  if (i < maxLength && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  int64_t value = 0;
  for (; i < maxLength && text[i] >= '0' && text[i] <= '9'; ++i) {
    if (value < 100000000000LL) value = value * 10 + (text[i] - '0');
  }
  return negative ? -value : value;
}

// The key of the reference tables (unsigned 32-bit, as the tables hold it; 0 is never stored).
inline uint32_t CodeNumber(const char* text, size_t maxLength) {
  return static_cast<uint32_t>(CodeValue(text, maxLength));
}

}  // namespace fw
