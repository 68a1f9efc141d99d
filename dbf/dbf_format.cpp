// Fixed-point texts are produced from the exact binary value of the double: value = m * 2^e, so
// value * 10^d = m * 10^d / 2^-e, and the remainder of that division decides the rounding exactly
// (above half: up, half: to even, below: down). For the values the writers format (|value| below
// 2^52, at most 9 decimals) m * 10^d fits in 83 bits and the whole job is one multiply and one
// shift on two 64-bit words. Larger values and more decimals go to std::to_chars, which the
// standard defines as printf's text and libstdc++ computes exactly on both targets.
#include "dbf/dbf_format.h"

#include <bit>
#include <charconv>
#include <cstring>

namespace fw::dbf {
namespace {

constexpr unsigned kMaxFastDecimals = 9;
constexpr uint32_t kPow10[kMaxFastDecimals + 1] = {
    1, 10, 100, 1000, 10000, 100000, 1000000, 10000000, 100000000, 1000000000};

struct Wide {
  uint64_t hi;
  uint64_t lo;
};

Wide Multiply(uint64_t a, uint32_t b) {
  const uint64_t low = (a & 0xFFFFFFFFu) * b;
  const uint64_t high = (a >> 32) * b;
  const uint64_t lo = low + (high << 32);
  return {(high >> 32) + (lo < low ? 1u : 0u), lo};
}

// n / 2^shift rounded to nearest, ties to even; false when the quotient does not fit 64 bits.
bool ShiftRoundingToEven(Wide n, unsigned shift, uint64_t* quotient) {
  if (shift >= 128) {
    // n < 2^96, so it is below half of 2^shift: rounds to 0.
    *quotient = 0;
    return true;
  }
  uint64_t q;
  int compared;  // remainder against half: -1 below, 0 equal, 1 above
  if (shift < 64) {
    if ((n.hi >> shift) != 0) return false;
    q = (n.lo >> shift) | (shift == 0 ? 0 : n.hi << (64 - shift));
    if (shift == 0) {
      *quotient = q;
      return true;
    }
    const uint64_t remainder = n.lo & ((uint64_t{1} << shift) - 1);
    const uint64_t half = uint64_t{1} << (shift - 1);
    compared = remainder < half ? -1 : (remainder == half ? 0 : 1);
  } else if (shift == 64) {
    q = n.hi;
    const uint64_t half = uint64_t{1} << 63;
    compared = n.lo < half ? -1 : (n.lo == half ? 0 : 1);
  } else {
    q = n.hi >> (shift - 64);
    const uint64_t remainderHi = n.hi & ((uint64_t{1} << (shift - 64)) - 1);
    const uint64_t halfHi = uint64_t{1} << (shift - 65);
    if (remainderHi != halfHi) {
      compared = remainderHi < halfHi ? -1 : 1;
    } else {
      compared = n.lo == 0 ? 0 : 1;
    }
  }
  if (compared > 0 || (compared == 0 && (q & 1u) != 0)) {
    if (q == UINT64_MAX) return false;
    ++q;
  }
  *quotient = q;
  return true;
}

// |value| * 10^decimals rounded as printf rounds, with the sign apart. False when the value is
// outside the fast range (or not finite): the caller then takes the general path.
struct Scaled {
  uint64_t digits;
  bool negative;
};

bool ScaleExactly(double value, unsigned decimals, Scaled* scaled) {
  const uint64_t bits = std::bit_cast<uint64_t>(value);
  const unsigned biasedExponent = static_cast<unsigned>((bits >> 52) & 0x7FFu);
  if (biasedExponent == 0x7FFu || decimals > kMaxFastDecimals) return false;
  uint64_t mantissa = bits & ((uint64_t{1} << 52) - 1);
  int exponent = -1074;
  if (biasedExponent != 0) {
    mantissa |= uint64_t{1} << 52;
    exponent = static_cast<int>(biasedExponent) - 1075;
  }
  if (exponent > 0) return false;
  scaled->negative = (bits >> 63) != 0;
  if (mantissa == 0) {
    scaled->digits = 0;
    return true;
  }
  return ShiftRoundingToEven(Multiply(mantissa, kPow10[decimals]), static_cast<unsigned>(-exponent),
                             &scaled->digits);
}

unsigned CountDigits(uint64_t n) {
  unsigned count = 1;
  while (n >= 10000) {
    n /= 10000;
    count += 4;
  }
  if (n >= 10) ++count;
  if (n >= 100) ++count;
  if (n >= 1000) ++count;
  return count;
}

// Length of the text of a scaled value.
size_t ScaledLength(const Scaled& s, unsigned decimals) {
  const unsigned digits = CountDigits(s.digits);
  size_t length = decimals == 0 ? digits : (digits > decimals ? digits : decimals + 1) + 1;
  return length + (s.negative ? 1 : 0);
}

// Writes the text of a scaled value so that it ends at `end`; returns its first byte.
char* WriteScaledBackwards(const Scaled& s, unsigned decimals, char* end) {
  uint64_t n = s.digits;
  char* p = end;
  for (unsigned i = 0; i < decimals; ++i) {
    *--p = static_cast<char>('0' + n % 10);
    n /= 10;
  }
  if (decimals != 0) *--p = '.';
  do {
    *--p = static_cast<char>('0' + n % 10);
    n /= 10;
  } while (n != 0);
  if (s.negative) *--p = '-';
  return p;
}

char* WriteIntegerBackwards(int64_t value, char* end) {
  const bool negative = value < 0;
  uint64_t n = negative ? uint64_t{0} - static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
  char* p = end;
  do {
    *--p = static_cast<char>('0' + n % 10);
    n /= 10;
  } while (n != 0);
  if (negative) *--p = '-';
  return p;
}

size_t IntegerLength(int64_t value) {
  const bool negative = value < 0;
  const uint64_t n =
      negative ? uint64_t{0} - static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
  return CountDigits(n) + (negative ? 1 : 0);
}

// Moves text[0, length) to the right end of out[0, width) and fills the left with blanks; the
// text may already sit inside out.
size_t PadLeft(char* out, size_t length, unsigned width) {
  if (length >= width) return length;
  const size_t pad = width - length;
  std::memmove(out + pad, out, length);
  std::memset(out, ' ', pad);
  return width;
}

}  // namespace

size_t FormatFixed(double value, unsigned decimals, char* out, size_t cap) {
  Scaled scaled;
  if (ScaleExactly(value, decimals, &scaled)) {
    const size_t length = ScaledLength(scaled, decimals);
    if (length > cap) return 0;
    WriteScaledBackwards(scaled, decimals, out + length);
    return length;
  }
  const uint64_t bits = std::bit_cast<uint64_t>(value);
  if (((bits >> 52) & 0x7FFu) == 0x7FFu) return 0;
  const std::to_chars_result result =
      std::to_chars(out, out + cap, value, std::chars_format::fixed, static_cast<int>(decimals));
  if (result.ec != std::errc()) return 0;
  return static_cast<size_t>(result.ptr - out);
}

size_t FormatFixedWidth(double value, unsigned width, unsigned decimals, char* out, size_t cap) {
  const size_t length = FormatFixed(value, decimals, out, cap);
  if (length == 0) return 0;
  if (length < width && width > cap) return 0;
  return PadLeft(out, length, width);
}

size_t FormatIntegerWidth(int64_t value, unsigned width, char* out, size_t cap) {
  const size_t length = IntegerLength(value);
  const size_t total = length > width ? length : width;
  if (total > cap) return 0;
  WriteIntegerBackwards(value, out + length);
  return PadLeft(out, length, width);
}

bool WriteFixedField(double value, unsigned width, unsigned decimals, char* field) {
  Scaled scaled;
  if (ScaleExactly(value, decimals, &scaled)) {
    const size_t length = ScaledLength(scaled, decimals);
    if (length > width) return false;
    char* first = WriteScaledBackwards(scaled, decimals, field + width);
    std::memset(field, ' ', static_cast<size_t>(first - field));
    return true;
  }
  char text[kFormatBufferSize];
  const size_t length = FormatFixed(value, decimals, text, sizeof text);
  if (length == 0 || length > width) return false;
  std::memset(field, ' ', width - length);
  std::memcpy(field + (width - length), text, length);
  return true;
}

bool WriteIntegerField(int64_t value, unsigned width, char* field) {
  const size_t length = IntegerLength(value);
  if (length > width) return false;
  char* first = WriteIntegerBackwards(value, field + width);
  std::memset(field, ' ', static_cast<size_t>(first - field));
  return true;
}

}  // namespace fw::dbf
