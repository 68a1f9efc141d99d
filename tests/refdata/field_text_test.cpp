// Field conversions of the reference loaders: amounts truncated to integers, fixed-width texts.
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
