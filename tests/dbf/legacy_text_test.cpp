// The printf shapes of the legacy files: "%0*lld", the zero flag on a text, "%04d%02d%02d".
#include <gtest/gtest.h>

#include <string>

#include "dbf/legacy_text.h"

namespace fw::dbf {
namespace {

std::string Padded(int64_t value, unsigned width) {
  char out[kLegacyTextSize];
  return std::string(out, ZeroPaddedInteger(value, width, out));
}

std::string PaddedText(const char* text, size_t maxLength, unsigned width) {
  char out[kLegacyTextSize];
  return std::string(out, ZeroPaddedText(text, maxLength, width, out));
}

std::string Date(int64_t value) {
  char out[64];
  return std::string(out, DateText(value, out));
}

TEST(LegacyTextTest, ZeroPaddedIntegers) {
  EXPECT_EQ(Padded(42, 9), "000000042");
  EXPECT_EQ(Padded(0, 9), "000000000");
  EXPECT_EQ(Padded(-5, 8), "-0000005");
  EXPECT_EQ(Padded(20260305, 14), "00000020260305");
  EXPECT_EQ(Padded(1234567890, 9), "1234567890");
  EXPECT_EQ(Padded(INT64_MIN, 1), "-9223372036854775808");
}

TEST(LegacyTextTest, ZeroFlagOnText) {
  EXPECT_EQ(PaddedText("300750\0\0", 8, 9), "000300750");
  EXPECT_EQ(PaddedText("399001", 6, 9), "000399001");
  EXPECT_EQ(PaddedText("12345678", 8, 9), "012345678");
  EXPECT_EQ(PaddedText("", 8, 3), "000");
  EXPECT_EQ(PaddedText("1234567890", 8, 9), "012345678");  // at most maxLength bytes are read
}

TEST(LegacyTextTest, DatesAsYearMonthDay) {
  EXPECT_EQ(Date(20260305), "20260305");
  EXPECT_EQ(Date(990101), "00990101");
  EXPECT_EQ(Date(0), "00000000");
}

}  // namespace
}  // namespace fw::dbf
