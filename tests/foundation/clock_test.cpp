#include <gtest/gtest.h>

#include "foundation/local_clock.h"
#include "foundation/ms_clock.h"

namespace fw {
namespace {

TEST(MsClock, ElapsedSurvivesTheCounterWrap) {
  MsClock clock;
  clock.SetAt(0xFFFFFF00u);
  EXPECT_EQ(clock.ElapsedAt(0x00000100u), 0x200u);
  EXPECT_EQ(clock.ElapsedAt(0xFFFFFF00u), 0u);
}

TEST(LocalClock, WeekdaysOfKnownDates) {
  EXPECT_EQ(WeekdayOf(20260305), 4);  // Thursday
  EXPECT_EQ(WeekdayOf(20261208), 2);  // Tuesday
  EXPECT_EQ(WeekdayOf(20240302), 6);  // Saturday
  EXPECT_EQ(WeekdayOf(20000229), 2);  // leap day, Tuesday
  EXPECT_EQ(WeekdayOf(21000301), 1);  // 2100 is no leap year: Monday
  EXPECT_EQ(WeekdayOf(19691231), 3);  // before the day count's start: Wednesday
  EXPECT_EQ(WeekdayOf(20241301), -1);
}

TEST(LocalClock, DayCountAndSecondsRunOnAcrossMonthsAndYears) {
  EXPECT_EQ(DaysSinceEpoch(1970, 1, 1), 0);
  EXPECT_EQ(DaysSinceEpoch(1969, 12, 31), -1);
  EXPECT_EQ(DaysSinceEpoch(2000, 3, 1), 11017);  // 30 years with 7 leap days, then 31 + 29
  EXPECT_EQ(SecondsSinceEpoch(MakeLocalDateTime(20240301, 0)) -
                SecondsSinceEpoch(MakeLocalDateTime(20240228, 235959)),
            86401);
  EXPECT_EQ(SecondsSinceEpoch(MakeLocalDateTime(20250101, 1)) -
                SecondsSinceEpoch(MakeLocalDateTime(20241231, 235959)),
            2);
}

TEST(LocalClock, SecondsTurnBackIntoTheDateAndTime) {
  const LocalDateTime march = LocalDateTimeAt(11017 * 86400 + 3661);
  EXPECT_EQ(march.Date(), 20000301u);
  EXPECT_EQ(march.Time(), 10101u);
  EXPECT_EQ(march.weekday, 3);  // Wednesday
  const LocalDateTime before = LocalDateTimeAt(-1);
  EXPECT_EQ(before.Date(), 19691231u);
  EXPECT_EQ(before.Time(), 235959u);
  EXPECT_EQ(before.weekday, 3);
  // Every day of two and a half centuries against a calendar counted here, at a second before
  // and after midnight.
  int year = 1899, month = 12, day = 31;
  for (int64_t n = DaysSinceEpoch(1899, 12, 31); n <= DaysSinceEpoch(2150, 1, 1); ++n) {
    const LocalDateTime late = LocalDateTimeAt(n * 86400 + 86399);
    ASSERT_EQ(late.Date(), static_cast<uint32_t>(year * 10000 + month * 100 + day));
    ASSERT_EQ(late.Time(), 235959u);
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    const int days[] = {31, leap ? 29 : 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (++day > days[month - 1]) day = 1, ++month;
    if (month > 12) month = 1, ++year;
    const LocalDateTime early = LocalDateTimeAt(n * 86400 + 86400);
    ASSERT_EQ(early.Date(), static_cast<uint32_t>(year * 10000 + month * 100 + day));
    ASSERT_EQ(early.Time(), 0u);
    ASSERT_EQ(early.weekday, (late.weekday + 1) % 7);
  }
}

TEST(LocalClock, TestClockReplacesTheMachineClock) {
  SetLocalClockForTesting([] { return MakeLocalDateTime(20261231, 84459); });
  const LocalDateTime now = LocalNow();
  EXPECT_EQ(now.Date(), 20261231u);
  EXPECT_EQ(now.Time(), 84459u);
  EXPECT_EQ(now.HourMinute(), 844u);
  EXPECT_EQ(now.weekday, 4);
  SetLocalClockForTesting(nullptr);
  EXPECT_NE(LocalNow().year, 0);
}

}  // namespace
}  // namespace fw
