#include "dbf/legacy_text.h"

#include <cstring>

namespace fw::dbf {

size_t ZeroPaddedInteger(int64_t value, unsigned width, char* out) {
  const bool negative = value < 0;
  // Unsigned negation, so that INT64_MIN has a magnitude too.
  uint64_t n = negative ? uint64_t{0} - static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
  char digits[20];
  size_t count = 0;
  do {
    digits[count++] = static_cast<char>('0' + n % 10);
    n /= 10;
  } while (n != 0);
  size_t length = 0;
  if (negative) out[length++] = '-';
  for (size_t i = count + (negative ? 1 : 0); i < width; ++i) out[length++] = '0';
  while (count != 0) out[length++] = digits[--count];
  return length;
}

size_t ZeroPaddedText(const char* text, size_t maxLength, unsigned width, char* out) {
  size_t textLength = 0;
  while (textLength < maxLength && text[textLength] != '\0') ++textLength;
  size_t length = 0;
  for (size_t i = textLength; i < width; ++i) out[length++] = '0';
  std::memcpy(out + length, text, textLength);
  return length + textLength;
}

size_t DateText(int64_t yyyymmdd, char* out) {
  size_t length = ZeroPaddedInteger(yyyymmdd / 10000, 4, out);
  length += ZeroPaddedInteger(yyyymmdd / 100 % 100, 2, out + length);
  length += ZeroPaddedInteger(yyyymmdd % 100, 2, out + length);
  return length;
}

}  // namespace fw::dbf
