// Turning the text of one XML element into a record field, the way every reference loader does it:
// integers and floating-point numbers from their leading numeric part (foundation/number_text.h),
// texts cut to their fixed-width fields, single characters from the first byte. Thread-safe; no
// state.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "foundation/number_text.h"

namespace fw::refdata {

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
