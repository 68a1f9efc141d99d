// Field conversions of the reference loaders: integers like atoi, floating point like strtod, both
// without the locale and without reading past the text; fixed-width texts.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <string_view>

#include "refdata/field_text.h"
#include "tests/refdata/refdata_fixture.h"

namespace fw::refdata {
namespace {

TEST(ParseInt32Test, TakesTheLeadingDecimalPartLikeAtoi) {
  struct Case {
    std::string_view text;
    int32_t expected;
  };
  const Case cases[] = {
      {"102", 102},
      {"  \t\n42abc", 42},
      {"+7", 7},
      {"-15", -15},
      {"0012", 12},
      {"20240305", 20240305},
      {"", 0},
      {"abc", 0},
      {"-", 0},
      {" - 5", 0},
      {"1.9", 1},
      {"2147483647", 2147483647},
      {"2147483648", std::numeric_limits<int32_t>::max()},
      {"99999999999999999999999", std::numeric_limits<int32_t>::max()},
      {"-2147483648", std::numeric_limits<int32_t>::min()},
      {"-99999999999999999999", std::numeric_limits<int32_t>::min()},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ParseInt32(c.text), c.expected) << "text \"" << c.text << "\"";
  }
}

TEST(ParseInt32Test, NeverReadsPastTheText) {
  const char bytes[] = "12345";
  EXPECT_EQ(ParseInt32(std::string_view(bytes, 2)), 12);
  EXPECT_EQ(ParseInt32(std::string_view(bytes, 0)), 0);
}

TEST(ParseDoubleTest, TakesTheLeadingDecimalNumberLikeStrtod) {
  struct Case {
    std::string_view text;
    double expected;
  };
  const Case cases[] = {
      {"10.2345", 10.2345},
      {"  12.5xyz", 12.5},
      {"-0.75", -0.75},
      {"+3", 3.0},
      {".5", 0.5},
      {"5.", 5.0},
      {"1e3", 1000.0},
      {"2.5E-2", 0.025},
      {"1e", 1.0},
      {"1e+", 1.0},
      {"7e-x", 7.0},
      {"1.2.3", 1.2},
      {"", 0.0},
      {".", 0.0},
      {"-", 0.0},
      {"abc", 0.0},
      {"e5", 0.0},
      {"0x1A", 0.0},
      {"inf", 0.0},
      {"nan", 0.0},
      {"00000000000000000000000000000000000001.5", 1.5},
      {"1,5", 1.0},
  };
  for (const Case& c : cases) {
    EXPECT_DOUBLE_EQ(ParseDouble(c.text), c.expected) << "text \"" << c.text << "\"";
  }
}

TEST(ParseDoubleTest, OverflowGivesInfinityAndUnderflowGivesZero) {
  EXPECT_EQ(ParseDouble("1e400"), std::numeric_limits<double>::infinity());
  EXPECT_EQ(ParseDouble("-1e400"), -std::numeric_limits<double>::infinity());
  EXPECT_EQ(ParseDouble("123456789e99999999999"), std::numeric_limits<double>::infinity());
  EXPECT_EQ(ParseDouble("1e-400"), 0.0);
  EXPECT_EQ(ParseDouble("0.000000000000000000001e-400"), 0.0);
  EXPECT_EQ(ParseDouble("0e999999"), 0.0);
}

TEST(ParseDoubleTest, NeverReadsPastTheText) {
  const char bytes[] = "1.25e2";
  EXPECT_DOUBLE_EQ(ParseDouble(std::string_view(bytes, 4)), 1.25);
  EXPECT_DOUBLE_EQ(ParseDouble(std::string_view(bytes, 5)), 1.25);
  EXPECT_DOUBLE_EQ(ParseDouble(std::string_view(bytes, 6)), 125.0);
}

TEST(ParseFloatTest, NarrowsAndSaturatesToInfinity) {
  EXPECT_EQ(ParseFloat("0.1"), 0.1f);
  EXPECT_EQ(ParseFloat("1e39"), std::numeric_limits<float>::infinity());
  EXPECT_EQ(ParseFloat("-1e39"), -std::numeric_limits<float>::infinity());
  EXPECT_EQ(ParseFloat("x"), 0.0f);
}

TEST(TruncateToInt64Test, TruncatesTowardZeroAndRefusesWhatDoesNotFit) {
  EXPECT_EQ(TruncateToInt64(12.9), 12);
  EXPECT_EQ(TruncateToInt64(-12.9), -12);
  EXPECT_EQ(TruncateToInt64(9.0e18), 9000000000000000000LL);
  EXPECT_EQ(TruncateToInt64(1e19), 0);
  EXPECT_EQ(TruncateToInt64(-1e19), 0);
  EXPECT_EQ(TruncateToInt64(std::numeric_limits<double>::infinity()), 0);
  EXPECT_EQ(TruncateToInt64(std::nan("")), 0);
}

TEST(StoreTextTest, CutsToTheFieldAndZeroFillsTheRest) {
  char field[4];
  std::memset(field, 'x', sizeof field);
  StoreText(field, "ab");
  EXPECT_EQ(test::FieldBytes(field), std::string("ab\0\0", 4));
  StoreText(field, "abcdef");
  EXPECT_EQ(test::FieldBytes(field), "abcd");
  StoreText(field, std::string_view("a\0c", 3));
  EXPECT_EQ(test::FieldBytes(field), std::string("a\0\0\0", 4));
  StoreText(field, "");
  EXPECT_EQ(test::FieldBytes(field), std::string(4, '\0'));
}

TEST(FirstCharTest, EmptyTextGivesNul) {
  EXPECT_EQ(FirstChar("Yes"), 'Y');
  EXPECT_EQ(FirstChar(""), '\0');
}

}  // namespace
}  // namespace fw::refdata
