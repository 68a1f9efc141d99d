// The code number that keys every table: the decimal value of the leading digits of a code text,
// as the C library's text-to-integer conversion reads it (leading blanks skipped, an optional
// sign, digits up to the first other character; no digits give 0). The text need not be
// terminated: at most maxLength bytes are looked at, and a NUL ends it early.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "foundation/number_text.h"

namespace fw {

inline int64_t CodeValue(const char* text, size_t maxLength) {
  size_t length = 0;
  while (length < maxLength && text[length] != '\0') ++length;
  return ParseInt64(std::string_view(text, length));
}

// The key of the reference tables (unsigned 32-bit, as the tables hold it; 0 is never stored).
inline uint32_t CodeNumber(const char* text, size_t maxLength) {
  return static_cast<uint32_t>(CodeValue(text, maxLength));
}

}  // namespace fw
