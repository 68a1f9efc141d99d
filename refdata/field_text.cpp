#include "refdata/field_text.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <string>

namespace fw::refdata {
namespace {

bool IsWhiteSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Position after leading white space and a sign; negative tells which sign was seen.
size_t SkipBlanksAndSign(std::string_view text, bool* negative) {
  size_t i = 0;
  while (i < text.size() && IsWhiteSpace(text[i])) ++i;
  *negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    *negative = text[i] == '-';
    ++i;
  }
  return i;
}

}  // namespace

int32_t ParseInt32(std::string_view text) {
  bool negative = false;
  size_t i = SkipBlanksAndSign(text, &negative);
  // Saturating at one past the int32 range keeps the arithmetic small whatever the digit count.
  constexpr int64_t kCap = int64_t{std::numeric_limits<int32_t>::max()} + 1;
  int64_t value = 0;
  for (; i < text.size() && IsDigit(text[i]); ++i) {
    if (value < kCap) value = value * 10 + (text[i] - '0');
  }
  if (value > kCap) value = kCap;
  if (negative) return static_cast<int32_t>(-value);  // -kCap is exactly INT32_MIN
  return value >= kCap ? std::numeric_limits<int32_t>::max() : static_cast<int32_t>(value);
}

double ParseDouble(std::string_view text) {
  bool negative = false;
  const size_t start = SkipBlanksAndSign(text, &negative);
  size_t i = start;
  // Measure the decimal number first, so that the conversion below sees exactly its characters.
  size_t integerDigits = 0;         // digits before the point, leading zeros excluded
  size_t leadingFractionZeros = 0;  // zeros right after the point when the integer part is zero
  bool anyDigit = false;
  bool anyNonZero = false;
  while (i < text.size() && IsDigit(text[i])) {
    anyDigit = true;
    if (text[i] != '0' || anyNonZero) {
      anyNonZero = true;
      ++integerDigits;
    }
    ++i;
  }
  if (i < text.size() && text[i] == '.') {
    ++i;
    while (i < text.size() && IsDigit(text[i])) {
      anyDigit = true;
      if (text[i] != '0') {
        anyNonZero = true;
      } else if (!anyNonZero) {
        ++leadingFractionZeros;
      }
      ++i;
    }
  }
  if (!anyDigit) return 0.0;
  int64_t exponent = 0;
  if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
    size_t j = i + 1;
    bool exponentNegative = false;
    if (j < text.size() && (text[j] == '+' || text[j] == '-')) {
      exponentNegative = text[j] == '-';
      ++j;
    }
    if (j < text.size() && IsDigit(text[j])) {
      for (; j < text.size() && IsDigit(text[j]); ++j) {
        if (exponent < 100000) exponent = exponent * 10 + (text[j] - '0');
      }
      if (exponentNegative) exponent = -exponent;
      i = j;
    }
  }
  if (!anyNonZero) return negative ? -0.0 : 0.0;
  const std::string_view number = text.substr(start, i - start);
  double value = 0.0;
  const auto result = std::from_chars(number.data(), number.data() + number.size(), value,
                                      std::chars_format::general);
  if (result.ec == std::errc::result_out_of_range) {
    // The decimal exponent of the first significant digit tells overflow from underflow.
    const int64_t magnitude = integerDigits > 0
                                  ? static_cast<int64_t>(integerDigits) - 1 + exponent
                                  : exponent - static_cast<int64_t>(leadingFractionZeros) - 1;
    value = magnitude > 0 ? std::numeric_limits<double>::infinity() : 0.0;
  } else if (result.ec != std::errc()) {
    value = 0.0;
  }
  return negative ? -value : value;
}

float ParseFloat(std::string_view text) {
  const double value = ParseDouble(text);
  constexpr double kMax = std::numeric_limits<float>::max();
  if (value > kMax) return std::numeric_limits<float>::infinity();
  if (value < -kMax) return -std::numeric_limits<float>::infinity();
  return static_cast<float>(value);
}

int64_t TruncateToInt64(double value) {
  // 2^63 is exact in a double; the int64 range is [-2^63, 2^63).
  constexpr double kLimit = 9223372036854775808.0;
  if (!(value > -kLimit && value < kLimit)) return 0;
  return static_cast<int64_t>(value);
}

}  // namespace fw::refdata
