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
