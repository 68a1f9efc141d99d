#include "foundation/number_text.h"

#include <charconv>
#include <limits>
#include <type_traits>

namespace fw {
namespace {

// The C library's white space, wider than the ini files' blanks.
bool IsSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Position after leading white space and a sign; negative tells which sign was seen.
size_t SkipSpaceAndSign(std::string_view text, bool* negative) {
  size_t i = 0;
  while (i < text.size() && IsSpace(text[i])) ++i;
  *negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    *negative = text[i] == '-';
    ++i;
  }
  return i;
}

template <typename T>
T ParseInteger(std::string_view text) {
  using Magnitude = std::make_unsigned_t<T>;
  bool negative = false;
  size_t i = SkipSpaceAndSign(text, &negative);
  // The magnitude of the type's smallest value is one more than that of its largest.
  const Magnitude limit =
      static_cast<Magnitude>(std::numeric_limits<T>::max()) + (negative ? 1 : 0);
  Magnitude value = 0;
  for (; i < text.size() && IsDigit(text[i]); ++i) {
    const auto digit = static_cast<Magnitude>(text[i] - '0');
    value = value > (limit - digit) / 10 ? limit : static_cast<Magnitude>(value * 10 + digit);
  }
  return static_cast<T>(negative ? static_cast<Magnitude>(0 - value) : value);
}

}  // namespace

int32_t ParseInt32(std::string_view text) { return ParseInteger<int32_t>(text); }

int64_t ParseInt64(std::string_view text) { return ParseInteger<int64_t>(text); }

double ParseDouble(std::string_view text) {
  bool negative = false;
  const size_t start = SkipSpaceAndSign(text, &negative);
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

}  // namespace fw
