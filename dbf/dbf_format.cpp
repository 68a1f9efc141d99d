// Fixed-point texts are produced from the exact binary value of the double: value = m * 2^e, so
// value * 10^d = m * 10^d / 2^-e, and the remainder of that division decides the rounding exactly
// (above half: up, half: to even, below: down). For the values the writers format (|value| below
// 2^52, at most 9 decimals) m * 10^d fits in 83 bits and the rounding is one multiply and one
// shift on two 64-bit words. Larger values and more decimals go to std::to_chars, which the
// standard defines as printf's text and libstdc++ computes exactly on both targets.
//
// Every row of a write cycle passes through here some thirty times, so the digits are written
// backwards straight into the field, two at a time, with constant divisors, and without reading
// back bytes just written.
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

constexpr uint64_t kPowersOf10[20] = {1ull,
                                      10ull,
                                      100ull,
                                      1000ull,
                                      10000ull,
                                      100000ull,
                                      1000000ull,
                                      10000000ull,
                                      100000000ull,
                                      1000000000ull,
                                      10000000000ull,
                                      100000000000ull,
                                      1000000000000ull,
                                      10000000000000ull,
                                      100000000000000ull,
                                      1000000000000000ull,
                                      10000000000000000ull,
                                      100000000000000000ull,
                                      1000000000000000000ull,
                                      10000000000000000000ull};

[[gnu::always_inline]] inline unsigned CountDigits(uint64_t n) {
  // bit_width * log10(2) is floor(log10(n)) or one more; n | 1 has as many digits as n and is
  // never 0.
  n |= 1;
  const unsigned guess = (static_cast<unsigned>(std::bit_width(n)) * 1233u) >> 12;
  return guess + (n >= kPowersOf10[guess] ? 1u : 0u);
}

constexpr char kDigitPairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

// Four digits of v < 10000 ending at `end`: the two pairs do not wait for each other.
[[gnu::always_inline]] inline void WriteFourDigits(uint32_t v, char* end) {
  std::memcpy(end - 2, kDigitPairs + 2 * (v % 100), 2);
  std::memcpy(end - 4, kDigitPairs + 2 * (v / 100), 2);
}

// Writes the decimal digits of n so that they end at `end`; returns the first digit. Each division
// splits off as many digits as possible, so the chain of dependent divisions stays short (a
// division by a constant is a multiplication, but each waits for the one before).
[[gnu::always_inline]] inline char* WriteDigitsBackwards(uint64_t n, char* end) {
  while (n >= 100000000) {
    const uint32_t low8 = static_cast<uint32_t>(n % 100000000);
    n /= 100000000;
    WriteFourDigits(low8 % 10000, end);
    WriteFourDigits(low8 / 10000, end - 4);
    end -= 8;
  }
  uint32_t m = static_cast<uint32_t>(n);
  if (m >= 10000) {
    WriteFourDigits(m % 10000, end);
    m /= 10000;
    end -= 4;
  }
  if (m >= 100) {
    std::memcpy(end - 2, kDigitPairs + 2 * (m % 100), 2);
    m /= 100;
    end -= 2;
  }
  if (m >= 10) {
    end -= 2;
    std::memcpy(end, kDigitPairs + 2 * m, 2);
  } else {
    *--end = static_cast<char>('0' + m);
  }
  return end;
}

// Writes n with D digits after the point (at least one digit before it) so that it ends at `end`;
// returns its first byte. D is a constant so that every division is a multiplication.
template <unsigned D>
[[gnu::always_inline]] inline char* WithPointBackwards(uint64_t n, char* end) {
  if constexpr (D == 0) {
    return WriteDigitsBackwards(n, end);
  } else {
    constexpr uint64_t kScale = kPowersOf10[D];
    uint32_t fraction = static_cast<uint32_t>(n % kScale);
    for (unsigned i = 0; i + 2 <= D; i += 2) {
      end -= 2;
      std::memcpy(end, kDigitPairs + 2 * (fraction % 100), 2);
      fraction /= 100;
    }
    if constexpr (D % 2 != 0) *--end = static_cast<char>('0' + fraction);
    *--end = '.';
    return WriteDigitsBackwards(n / kScale, end);
  }
}

char* WriteWithPointBackwards(uint64_t n, unsigned decimals, char* end) {
  // One instance per decimal count, so that every division is one by a constant.
  using Writer = char* (*)(uint64_t, char*);
  static constexpr Writer kWriters[] = {&WithPointBackwards<0>, &WithPointBackwards<1>,
                                        &WithPointBackwards<2>, &WithPointBackwards<3>,
                                        &WithPointBackwards<4>, &WithPointBackwards<5>,
                                        &WithPointBackwards<6>, &WithPointBackwards<7>,
                                        &WithPointBackwards<8>, &WithPointBackwards<9>};
  return kWriters[decimals < 9 ? decimals : 9](n, end);
}

void FillBlanks(char* from, char* to) {
  while (from < to) *from++ = ' ';
}

constexpr size_t kSmallField = 32;
constexpr char kBlanks[kSmallField + 1] = "                                ";

// Copies n <= 32 bytes with fixed-size moves (two overlapping ones per size class), which the
// compiler keeps inline: a field costs no library call.
[[gnu::always_inline]] inline void CopySmall(char* to, const char* from, size_t n) {
  if (n >= 16) {
    std::memcpy(to, from, 16);
    std::memcpy(to + n - 16, from + n - 16, 16);
  } else if (n >= 8) {
    std::memcpy(to, from, 8);
    std::memcpy(to + n - 8, from + n - 8, 8);
  } else if (n >= 4) {
    std::memcpy(to, from, 4);
    std::memcpy(to + n - 4, from + n - 4, 4);
  } else {
    if (n >= 1) to[0] = from[0];
    if (n >= 2) to[1] = from[1];
    if (n >= 3) to[2] = from[2];
  }
}

// Puts a text right-justified with blanks into field[0, width). `write(end)` writes the text so
// that it ends at `end` and returns its first byte; the caller has checked that it fits. The
// blanks go first, copied from a constant: the digits are then stored over them, and nothing is
// read back from bytes just stored (a wide load over fresh narrow stores stalls the processor).
template <typename Write>
[[gnu::always_inline]] inline void EmitField(char* field, unsigned width, Write write) {
  if (width <= kSmallField) {
    CopySmall(field, kBlanks, width);
    write(field + width);
  } else {
    FillBlanks(field, write(field + width));
  }
}

// Length of the text of a scaled value.
size_t ScaledLength(const Scaled& s, unsigned decimals) {
  const unsigned digits = CountDigits(s.digits);
  size_t length = decimals == 0 ? digits : (digits > decimals ? digits : decimals + 1) + 1;
  return length + (s.negative ? 1 : 0);
}

// Writes the text of a scaled value so that it ends at `end`; returns its first byte.
char* WriteScaledBackwards(const Scaled& s, unsigned decimals, char* end) {
  char* p = WriteWithPointBackwards(s.digits, decimals, end);
  if (s.negative) *--p = '-';
  return p;
}

[[gnu::always_inline]] inline uint64_t Magnitude(int64_t value) {
  return value < 0 ? uint64_t{0} - static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
}

[[gnu::always_inline]] inline char* WriteIntegerBackwards(int64_t value, char* end) {
  char* p = WriteDigitsBackwards(Magnitude(value), end);
  if (value < 0) *--p = '-';
  return p;
}

size_t IntegerLength(int64_t value) { return CountDigits(Magnitude(value)) + (value < 0 ? 1 : 0); }

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
    EmitField(field, width, [&](char* end) { return WriteScaledBackwards(scaled, decimals, end); });
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
  EmitField(field, width, [&](char* end) { return WriteIntegerBackwards(value, end); });
  return true;
}

bool WriteDecimalField(int64_t scaled, unsigned width, unsigned decimals, char* field) {
  if (decimals > kMaxFastDecimals) return false;
  const uint64_t magnitude = Magnitude(scaled);
  const unsigned digits = CountDigits(magnitude);
  size_t length = decimals == 0 ? digits : (digits > decimals ? digits : decimals + 1) + 1;
  if (scaled < 0) ++length;
  if (length > width) return false;
  EmitField(field, width, [&](char* end) {
    char* p = WriteWithPointBackwards(magnitude, decimals, end);
    if (scaled < 0) *--p = '-';
    return p;
  });
  return true;
}

}  // namespace fw::dbf
