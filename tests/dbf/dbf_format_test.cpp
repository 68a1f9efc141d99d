// The number texts of the DBF files against hand-worked values (every platform) and, where the C
// library is glibc, against glibc's own "%*.*f" and "%*lld" over many values of every field shape
// the writers use.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "dbf/dbf_format.h"

namespace fw::dbf {
namespace {

struct Shape {
  unsigned width;
  unsigned decimals;
};
// Every numeric field shape of the six files.
const Shape kShapes[] = {{9, 3}, {17, 3}, {7, 2}, {12, 0}, {9, 0}, {7, 6}, {11, 4}, {10, 6},
                         {5, 2}, {5, 3},  {7, 3}, {9, 4},  {4, 0}, {6, 0}, {1, 0},  {8, 0}};

std::string Fixed(double value, unsigned width, unsigned decimals) {
  char text[kFormatBufferSize];
  const size_t length = FormatFixedWidth(value, width, decimals, text, sizeof text);
  return std::string(text, length);
}

std::string Integer(int64_t value, unsigned width) {
  char text[kFormatBufferSize];
  const size_t length = FormatIntegerWidth(value, width, text, sizeof text);
  return std::string(text, length);
}

struct FixedCase {
  double value;
  unsigned width;
  unsigned decimals;
  const char* text;
};

// Worked out from the exact binary value of each double (its decimal expansion in the comment).
const FixedCase kFixedCases[] = {
    {123.4567, 9, 3, "  123.457"},     // 123.45669999999999788...
    {1234567.0, 9, 3, "1234567.000"},  // too long for 9.3: the caller sees 11 characters
    {0.125, 5, 2, " 0.12"},            // exact tie: to even
    {0.375, 5, 2, " 0.38"},            // exact tie: to even
    {2.675, 4, 2, "2.67"},             // 2.67499999999999982...
    {1.005, 4, 2, "1.00"},             // 1.00499999999999989...
    {0.045, 4, 2, "0.04"},             // 0.04499999999999999833...
    {1.115, 4, 2, "1.11"},             // 1.11499999999999999...
    {0.5, 1, 0, "0"},                  // ties at no decimals
    {1.5, 1, 0, "2"},
    {2.5, 1, 0, "2"},
    {3.5, 1, 0, "4"},
    {-2.5, 4, 0, "  -2"},
    {-0.0, 9, 3, "   -0.000"},     // the sign of zero is printed
    {-0.0004, 9, 3, "   -0.000"},  // a negative value rounding to zero keeps its sign
    {1.0005, 9, 3, "    1.000"},   // 1.00049999999999994...
    {0.0015, 7, 6, "0.001500"},    // 0.00150000000000000003...
    {0.001, 7, 6, "0.001000"},
    {5e-7, 8, 6, "0.000000"},          // 4.99999999999999977e-7
    {1.5e-6, 8, 6, "0.000002"},        // 1.50000000000000004e-6
    {5e-324, 8, 6, "0.000000"},        // smallest subnormal
    {99999.9995, 9, 3, "100000.000"},  // 99999.99950000000535...: rounds up past the width
    {12345.678, 7, 2, "12345.68"},     // 12345.67799999999988...
    {1e15 + 0.25, 17, 3, "1000000000000000.250"},
    {9007199254740992.0, 9, 3, "9007199254740992.000"},  // 2^53: the general path
    {1e22, 1, 0, "10000000000000000000000"},
    {3210.5678, 11, 4, "  3210.5678"},                // 3210.56779999999980...
    {123456789012.3456, 17, 4, "123456789012.3456"},  // 123456789012.34559631...
    {-10.0, 9, 3, "  -10.000"},
    {0.30000000000000004, 19, 17, "0.30000000000000004"},  // more decimals than the fast path
};

TEST(DbfFormat, FixedTextsMatchHandWorkedValues) {
  for (const FixedCase& c : kFixedCases) {
    EXPECT_EQ(Fixed(c.value, c.width, c.decimals), c.text)
        << c.value << " " << c.width << "." << c.decimals;
  }
}

TEST(DbfFormat, IntegerTextsMatchHandWorkedValues) {
  EXPECT_EQ(Integer(0, 12), "           0");
  EXPECT_EQ(Integer(93015, 9), "    93015");
  EXPECT_EQ(Integer(-48, 12), "         -48");
  EXPECT_EQ(Integer(999999999999, 12), "999999999999");
  EXPECT_EQ(Integer(1234567890123, 12), "1234567890123");
  EXPECT_EQ(Integer(std::numeric_limits<int64_t>::min(), 1), "-9223372036854775808");
  EXPECT_EQ(Integer(std::numeric_limits<int64_t>::max(), 1), "9223372036854775807");
  EXPECT_EQ(Integer(7, 1), "7");
}

TEST(DbfFormat, NonFiniteValuesHaveNoText) {
  char text[kFormatBufferSize];
  EXPECT_EQ(FormatFixed(std::numeric_limits<double>::quiet_NaN(), 3, text, sizeof text), 0u);
  EXPECT_EQ(FormatFixed(std::numeric_limits<double>::infinity(), 3, text, sizeof text), 0u);
  EXPECT_EQ(FormatFixed(-std::numeric_limits<double>::infinity(), 0, text, sizeof text), 0u);
  char field[9];
  std::memset(field, 'x', sizeof field);
  EXPECT_FALSE(WriteFixedField(std::numeric_limits<double>::quiet_NaN(), 9, 3, field));
  EXPECT_EQ(std::string(field, 9), "xxxxxxxxx");
}

TEST(DbfFormat, TextsLongerThanTheBufferAreRefused) {
  char text[8];
  EXPECT_EQ(FormatFixed(123.456, 3, text, 7), 7u);
  EXPECT_EQ(FormatFixed(1234.567, 3, text, 7), 0u);
  EXPECT_EQ(FormatFixed(1e300, 2, text, sizeof text), 0u);  // the general path
  EXPECT_EQ(FormatFixedWidth(1.0, 9, 3, text, sizeof text), 0u);
  EXPECT_EQ(FormatIntegerWidth(123456789, 1, text, sizeof text), 0u);
  EXPECT_EQ(FormatIntegerWidth(12, 9, text, sizeof text), 0u);
}

TEST(DbfFormat, FieldWritersWriteOnlyExactFits) {
  char field[10];
  std::memset(field, 'x', sizeof field);
  EXPECT_TRUE(WriteFixedField(-1.5, 9, 3, field));
  EXPECT_EQ(std::string(field, 10), "   -1.500x");
  EXPECT_FALSE(WriteFixedField(-99999.5, 9, 3, field));  // "-99999.500" is 10 characters
  EXPECT_EQ(std::string(field, 10), "   -1.500x");
  EXPECT_TRUE(WriteIntegerField(-12345678, 9, field));
  EXPECT_EQ(std::string(field, 10), "-12345678x");
  EXPECT_FALSE(WriteIntegerField(1000000000, 9, field));
  EXPECT_EQ(std::string(field, 10), "-12345678x");
  char wide[25];
  wide[24] = 'x';
  EXPECT_TRUE(WriteFixedField(1e20, 24, 2, wide));  // the general path
  EXPECT_EQ(std::string(wide, 25), "100000000000000000000.00x");
}

TEST(DbfFormat, DecimalFieldsPutThePointIntoTheInteger) {
  const struct {
    int64_t scaled;
    unsigned width;
    unsigned decimals;
    const char* text;  // nullptr: does not fit
  } cases[] = {
      {12340, 9, 3, "   12.340"},
      {-5, 9, 3, "   -0.005"},
      {0, 9, 3, "    0.000"},
      {99999999, 9, 3, "99999.999"},
      {100000000, 9, 3, nullptr},
      {-9999999, 9, 3, "-9999.999"},
      {-10000000, 9, 3, nullptr},
      {32105678, 11, 4, "  3210.5678"},
      {1, 8, 6, "0.000001"},
      {1, 7, 6, nullptr},
      {7, 1, 0, "7"},
      {-1, 2, 0, "-1"},
      {-1, 1, 0, nullptr},
      {1234567, 7, 2, nullptr},
      {123456, 7, 2, "1234.56"},
      {5, 12, 9, " 0.000000005"},
      {999999999999999, 17, 3, " 999999999999.999"},
      {std::numeric_limits<int64_t>::min(), 21, 0, " -9223372036854775808"},
  };
  for (const auto& c : cases) {
    char field[32];
    std::memset(field, 'x', sizeof field);
    const bool written = WriteDecimalField(c.scaled, c.width, c.decimals, field);
    EXPECT_EQ(written, c.text != nullptr) << c.scaled;
    EXPECT_EQ(std::string(field, c.width), c.text != nullptr ? c.text : std::string(c.width, 'x'))
        << c.scaled;
    EXPECT_EQ(field[c.width], 'x');
  }
  char field[32];
  EXPECT_FALSE(WriteDecimalField(1, 20, 10, field));  // more decimals than the exact path takes
}

#ifdef __GLIBC__

// glibc's printf is correctly rounded: the reference for every platform's bytes.
std::string Glibc(double value, unsigned width, unsigned decimals) {
  char text[1024];
  const int n = std::snprintf(text, sizeof text, "%*.*f", static_cast<int>(width),
                              static_cast<int>(decimals), value);
  return std::string(text, static_cast<size_t>(n));
}

std::string GlibcInteger(int64_t value, unsigned width) {
  char text[64];
  const int n = std::snprintf(text, sizeof text, "%*lld", static_cast<int>(width),
                              static_cast<long long>(value));
  return std::string(text, static_cast<size_t>(n));
}

// Compares both the text and the exact-fit field writer for one value in every shape.
void ExpectSameAsGlibc(double value) {
  for (const Shape& s : kShapes) {
    std::string expected = Glibc(value, s.width, s.decimals);
    if (expected.size() > kFormatBufferSize) expected.clear();  // refused: no field is that long
    ASSERT_EQ(Fixed(value, s.width, s.decimals), expected)
        << std::hexfloat << value << " in " << s.width << "." << s.decimals;
    char field[32];
    std::memset(field, 'x', sizeof field);
    const bool written = WriteFixedField(value, s.width, s.decimals, field);
    ASSERT_EQ(written, expected.size() == s.width) << std::hexfloat << value;
    if (written) {
      ASSERT_EQ(std::string(field, s.width), expected);
    }
    ASSERT_EQ(field[s.width], 'x');
  }
}

TEST(DbfFormatAgainstGlibc, RandomValuesOfManyMagnitudes) {
  std::mt19937_64 random(20260305);
  std::uniform_real_distribution<double> mantissa(1.0, 10.0);
  std::uniform_int_distribution<int> exponent(-12, 17);
  for (int i = 0; i < 60000; ++i) {
    const double value = mantissa(random) * std::pow(10.0, exponent(random));
    ExpectSameAsGlibc(value);
    ExpectSameAsGlibc(-value);
  }
}

TEST(DbfFormatAgainstGlibc, RandomBitPatterns) {
  std::mt19937_64 random(7);
  for (int i = 0; i < 20000; ++i) {
    double value;
    const uint64_t bits = random();
    std::memcpy(&value, &bits, sizeof value);
    if (!std::isfinite(value)) continue;
    ExpectSameAsGlibc(value);
  }
}

TEST(DbfFormatAgainstGlibc, ScaledIntegersAsTheWritersMakeThem) {
  std::mt19937_64 random(42);
  std::uniform_int_distribution<int64_t> small(-2000000, 20000000);
  std::uniform_int_distribution<int64_t> large(-99999999999999, 99999999999999999);
  for (int i = 0; i < 40000; ++i) {
    for (int64_t v : {small(random), large(random)}) {
      const double x = static_cast<double>(v);
      ExpectSameAsGlibc(x * 0.001);
      ExpectSameAsGlibc(x * 0.0001);
      ExpectSameAsGlibc(x * 0.01);
      ExpectSameAsGlibc(x * 0.000001);
    }
  }
}

TEST(DbfFormatAgainstGlibc, ExactTiesAndTheirNeighbours) {
  // k / 2^n is exact in binary; with n up to 10 many of them are ties at 0 to 9 decimals.
  for (int n = 1; n <= 10; ++n) {
    for (int k = -3000; k <= 3000; ++k) {
      const double tie = std::ldexp(static_cast<double>(k), -n);
      ExpectSameAsGlibc(tie);
      ExpectSameAsGlibc(std::nextafter(tie, 1e300));
      ExpectSameAsGlibc(std::nextafter(tie, -1e300));
    }
  }
  for (double v : {0.125, 2.675, 1.005, 0.0015, 0.045, 1.115, 2.5, -0.5, -0.0, 0.0, 5e-324,
                   2.2250738585072014e-308}) {
    ExpectSameAsGlibc(v);
  }
}

TEST(DbfFormatAgainstGlibc, ValuesAroundEveryNinesThreshold) {
  // Where a field of d decimals and k integer digits stops fitting: 10^k - 0.5 * 10^-d.
  for (int k = 0; k <= 16; ++k) {
    for (int d = 0; d <= 6; ++d) {
      const double threshold = std::pow(10.0, k) - 0.5 * std::pow(10.0, -d);
      double up = threshold;
      double down = threshold;
      for (int step = 0; step < 40; ++step) {
        ExpectSameAsGlibc(up);
        ExpectSameAsGlibc(down);
        ExpectSameAsGlibc(-up);
        up = std::nextafter(up, 1e300);
        down = std::nextafter(down, -1e300);
      }
    }
  }
}

TEST(DbfFormatAgainstGlibc, DecimalTextsEqualThePrintedProducts) {
  // What the writers rely on: below 10^15, value * 10^-d printed at d decimals is the integer with
  // a point put in.
  const struct {
    unsigned decimals;
    double unit;
  } units[] = {{0, 1.0}, {2, 0.01}, {3, 0.001}, {4, 0.0001}, {6, 0.000001}};
  std::mt19937_64 random(11);
  std::vector<int64_t> values = {0,   1,    -1,  5, -5, 999999999999999, -999999999999999,
                                 500, 1005, 2675};
  for (int i = 0; i < 40000; ++i) {
    const int64_t v = static_cast<int64_t>(random() % 1000000000000000ull);
    const int64_t shifted = v >> (random() % 50);
    values.push_back(shifted);
    values.push_back(-shifted);
  }
  for (const auto& u : units) {
    for (int64_t v : values) {
      const std::string expected = Glibc(static_cast<double>(v) * u.unit, 24, u.decimals);
      char field[24];
      ASSERT_TRUE(WriteDecimalField(v, 24, u.decimals, field)) << v;
      ASSERT_EQ(std::string(field, 24), expected) << v << " at " << u.decimals;
    }
  }
}

TEST(DbfFormatAgainstGlibc, IntegersInEveryWidth) {
  std::mt19937_64 random(99);
  const unsigned widths[] = {1, 4, 6, 8, 9, 12, 17, 20};
  std::vector<int64_t> values = {0,
                                 1,
                                 -1,
                                 9,
                                 10,
                                 -9,
                                 -10,
                                 999999999999,
                                 1000000000000,
                                 -99999999999,
                                 std::numeric_limits<int64_t>::min(),
                                 std::numeric_limits<int64_t>::max()};
  for (int i = 0; i < 20000; ++i) {
    const int64_t v = static_cast<int64_t>(random());
    values.push_back(v);
    values.push_back(v >> (random() % 63));
  }
  for (int64_t v : values) {
    for (unsigned w : widths) {
      const std::string expected = GlibcInteger(v, w);
      ASSERT_EQ(Integer(v, w), expected) << v;
      char field[32];
      std::memset(field, 'x', sizeof field);
      const bool written = WriteIntegerField(v, w, field);
      ASSERT_EQ(written, expected.size() == w) << v;
      if (written) {
        ASSERT_EQ(std::string(field, w), expected);
      }
      ASSERT_EQ(field[w], 'x');
    }
  }
}

#endif  // __GLIBC__

}  // namespace
}  // namespace fw::dbf
