#include "refdata/holiday_calendar.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/test_support.h"

namespace fw::refdata {
namespace {

using test::FakeClock;
using test::TempDir;
using test::WriteFileBytes;

class HolidayCalendarTest : public ::testing::Test {
 protected:
  // Loads `content` as the holiday file; the clock stands in 2024 unless a test moves it.
  int32_t LoadText(const std::string& content) {
    const std::string path = dir_.File("holiday.ini");
    WriteFileBytes(path, content);
    return calendar_.Load(path);
  }
  std::vector<uint32_t> Dates() const {
    std::vector<uint32_t> dates;
    for (int32_t i = 0; i < calendar_.Count(); ++i) dates.push_back(calendar_.DateAt(i));
    return dates;
  }

  TempDir dir_;
  FakeClock clock_{20240305, 100000};
  HolidayCalendar calendar_;
};

TEST_F(HolidayCalendarTest, ThisYearsDaysAreStoredInFileOrder) {
  EXPECT_EQ(LoadText("[2024]\r\n01=1\r\n02=9,12,13\r\n"), 4);
  EXPECT_EQ(Dates(), (std::vector<uint32_t>{20240101, 20240209, 20240212, 20240213}));
}

TEST_F(HolidayCalendarTest, OtherYearsAreIgnored) {
  EXPECT_EQ(LoadText("[2023]\r\n01=2\r\n[2025]\r\n01=2\r\n[2024]\r\n05=1\r\n[20240]\r\n05=2\r\n"),
            1);
  EXPECT_EQ(Dates(), std::vector<uint32_t>{20240501});
}

TEST_F(HolidayCalendarTest, FileWithoutThisYearLeavesOnlyWeekends) {
  EXPECT_EQ(LoadText("[2023]\r\n01=2,3\r\n"), 0);
  EXPECT_EQ(calendar_.DayKind(20240101), HolidayCalendar::kWorkingDay);  // a Monday
  EXPECT_EQ(calendar_.DayKind(20240106), HolidayCalendar::kWeekend);     // a Saturday
  EXPECT_EQ(calendar_.DayKind(20240107), HolidayCalendar::kWeekend);     // a Sunday
}

TEST_F(HolidayCalendarTest, DayKindsOfListedDays) {
  ASSERT_EQ(LoadText("[2024]\r\n01=6\r\n02=9\r\n"), 2);
  EXPECT_EQ(calendar_.DayKind(20240106), 1);  // listed, but a Saturday first
  EXPECT_EQ(calendar_.DayKind(20240209), 2);  // a listed Friday
  EXPECT_EQ(calendar_.DayKind(20240208), -1);
  EXPECT_TRUE(calendar_.IsHoliday(20240106));
  EXPECT_TRUE(calendar_.IsHoliday(20240209));
  EXPECT_FALSE(calendar_.IsHoliday(20240208));
}

TEST_F(HolidayCalendarTest, At120DatesFurtherDaysAreIgnored) {
  std::string days;
  for (int d = 1; d <= 30; ++d) days.append(d > 1 ? "," : "").append(std::to_string(d));
  // 4 months of 30 days, then one day more in June.
  EXPECT_EQ(LoadText("[2024]\r\n01=" + days + "\r\n03=" + days + "\r\n04=" + days +
                     "\r\n05=" + days + "\r\n06=3\r\n"),
            120);
  EXPECT_EQ(calendar_.DateAt(119), 20240530u);
  EXPECT_EQ(calendar_.DayKind(20240530), 2);   // a Thursday, the 120th
  EXPECT_EQ(calendar_.DayKind(20240603), -1);  // a Monday, the 121st
}

TEST_F(HolidayCalendarTest, DaysTheMonthDoesNotHaveAreSkipped) {
  // 2024 is a leap year; "201" in January must not turn into 1 March.
  EXPECT_EQ(LoadText("[2024]\r\n01=0,32,201,-1,abc,,5\r\n02=29,30\r\n04=31\r\n"), 2);
  EXPECT_EQ(Dates(), (std::vector<uint32_t>{20240105, 20240229}));
  EXPECT_EQ(calendar_.DayKind(20240301), -1);
}

TEST_F(HolidayCalendarTest, ItemsAreReadLikeNumbersWithBlanksAndComments) {
  EXPECT_EQ(LoadText("[2024]\r\n02 = 9, 12 ,13 ; spring festival\r\n"), 3);
  EXPECT_EQ(Dates(), (std::vector<uint32_t>{20240209, 20240212, 20240213}));
}

TEST_F(HolidayCalendarTest, SecondSectionOfTheYearAddsItsOwnDays) {
  EXPECT_EQ(LoadText("[2024]\r\n01=1\r\n[2024]\r\n02=9\r\n"), 2);
  EXPECT_EQ(Dates(), (std::vector<uint32_t>{20240101, 20240209}));
}

TEST_F(HolidayCalendarTest, MissingFileFailsAndForgetsTheEarlierLoad) {
  ASSERT_EQ(LoadText("[2024]\r\n02=9\r\n"), 1);
  EXPECT_EQ(calendar_.Load(dir_.File("missing.ini")), -1);
  EXPECT_EQ(calendar_.Count(), 0);
  EXPECT_EQ(calendar_.DayKind(20240209), -1);
}

TEST_F(HolidayCalendarTest, TodayFollowsTheClock) {
  ASSERT_EQ(LoadText("[2024]\r\n02=9\r\n"), 1);
  clock_.Set(20240209, 90000);
  EXPECT_TRUE(calendar_.TodayIsHoliday());
  EXPECT_EQ(calendar_.TodayDayKind(), 2);
  clock_.Set(20240210, 90000);
  EXPECT_EQ(calendar_.TodayDayKind(), 1);
  clock_.Set(20240208, 90000);
  EXPECT_FALSE(calendar_.TodayIsHoliday());
  EXPECT_EQ(calendar_.TodayDayKind(), -1);
}

TEST_F(HolidayCalendarTest, TheYearComesFromTheClock) {
  clock_.Set(20250102, 90000);
  EXPECT_EQ(LoadText("[2024]\r\n01=2\r\n[2025]\r\n01=3\r\n"), 1);
  EXPECT_EQ(Dates(), std::vector<uint32_t>{20250103});
  EXPECT_TRUE(calendar_.AcceptsSection("2025"));
  EXPECT_FALSE(calendar_.AcceptsSection("2024"));
  EXPECT_FALSE(calendar_.AcceptsSection("202"));
}

}  // namespace
}  // namespace fw::refdata
