// Numbers read from text like atoi and strtod, without the locale and without reading past the
// text; overflow saturates at the target type's limits.
#include "foundation/number_text.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string_view>

#include "refdata/code_number.h"

namespace fw {
namespace {

TEST(ParseIntegerTest, TakesTheLeadingDecimalPartLikeAtoiAndSaturatesAtTheTypesLimits) {
  constexpr int32_t kMax32 = std::numeric_limits<int32_t>::max();
  constexpr int32_t kMin32 = std::numeric_limits<int32_t>::min();
  constexpr int64_t kMax64 = std::numeric_limits<int64_t>::max();
  constexpr int64_t kMin64 = std::numeric_limits<int64_t>::min();
  struct Case {
    std::string_view text;
    int32_t as32;
    int64_t as64;
  };
  const Case cases[] = {
      {"102", 102, 102},
      {"  \t\n\v\f\r42abc", 42, 42},
      {"+7", 7, 7},
      {"-15", -15, -15},
      {"0012", 12, 12},
      {"20240305", 20240305, 20240305},
      {"", 0, 0},
      {"abc", 0, 0},
      {"-", 0, 0},
      {" - 5", 0, 0},
      {"1.9", 1, 1},
      {"2147483647", kMax32, 2147483647},
      {"2147483648", kMax32, 2147483648},
      {"3000000000", kMax32, 3000000000},
      {"-2147483648", kMin32, -2147483648LL},
      {"-2147483649", kMin32, -2147483649LL},
      {"9223372036854775807", kMax32, kMax64},
      {"9223372036854775808", kMax32, kMax64},
      {"99999999999999999999999", kMax32, kMax64},
      {"-9223372036854775808", kMin32, kMin64},
      {"-99999999999999999999", kMin32, kMin64},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ParseInt32(c.text), c.as32) << "text \"" << c.text << "\"";
    EXPECT_EQ(ParseInt64(c.text), c.as64) << "text \"" << c.text << "\"";
  }
}

TEST(ParseIntegerTest, NeverReadsPastTheText) {
  const char bytes[] = "12345";
  EXPECT_EQ(ParseInt32(std::string_view(bytes, 2)), 12);
  EXPECT_EQ(ParseInt64(std::string_view(bytes, 0)), 0);
}

// A code has at most 8 characters, so its value never comes near a limit of the parse.
TEST(CodeNumberTest, LeadingDigitsOfAtMostTheGivenLength) {
  struct Case {
    std::string_view bytes;
    size_t maxLength;
    uint32_t expected;
  };
  const Case cases[] = {
      {"000001  ", 8, 1},
      {"399001", 8, 399001},
      {"99999999", 8, 99999999},
      {"1234567890", 8, 12345678},
      {"123", 2, 12},
      {"  0042", 8, 42},
      {"-1", 8, 0xFFFFFFFFu},
      {"00000000", 8, 0},
      {std::string_view("12\0"
                        "45678",
                        8),
       8, 12},
      {"ABC", 8, 0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(CodeNumber(c.bytes.data(), c.maxLength), c.expected) << c.bytes;
  }
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

}  // namespace
}  // namespace fw
