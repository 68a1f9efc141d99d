#include "refdata/holiday_calendar.h"

#include <cstdio>

#include "foundation/ini_file.h"
#include "foundation/local_clock.h"
#include "foundation/number_text.h"

namespace fw::refdata {
namespace {

int DaysInMonth(int32_t year, int month) {
  static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  return month == 2 && leap ? 29 : kDays[month - 1];
}

}  // namespace

bool HolidayCalendar::AcceptsSection(std::string_view name) const {
  const std::string year = std::to_string(LocalNow().year);
  return IniNameEquals(name.substr(0, 9), std::string_view(year).substr(0, 9));
}

int32_t HolidayCalendar::Load(const std::string& path) {
  Clear();
  MIniFile ini;
  if (ini.Open(path, MIniFile::kModeComments) < 0) return -1;

  for (int32_t s = 0; s < ini.SectionCount() && count_ < kMaxDates; ++s) {
    const std::string name = ini.SectionName(s);
    if (!AcceptsSection(name)) continue;
    int32_t year = ParseInt32(name);
    if (year <= 0) year = ParseInt32(std::string_view(name).substr(0, 4));
    if (year <= 0 || year > 9999) continue;

    for (int month = 1; month <= 12 && count_ < kMaxDates; ++month) {
      char key[4];
      std::snprintf(key, sizeof key, "%02d", month);
      // Each year section's own keys: a second section of the same year adds its days instead of
      // repeating the first one's.
      const std::string days = ini.GetSectionString(s, key, "");
      size_t begin = 0;
      while (begin <= days.size() && count_ < kMaxDates) {
        size_t end = days.find(',', begin);
        if (end == std::string::npos) end = days.size();
        const int32_t day = ParseInt32(std::string_view(days).substr(begin, end - begin));
        // A day the month does not have would name another date (Jan 32 is no Feb 1) or none.
        if (day >= 1 && day <= DaysInMonth(year, month)) {
          dates_[static_cast<size_t>(count_++)] =
              static_cast<uint32_t>(year * 10000 + month * 100 + day);
        }
        begin = end + 1;
      }
    }
  }
  return count_;
}

int32_t HolidayCalendar::DayKind(uint32_t date) const {
  const int weekday = WeekdayOf(date);
  if (weekday == 0 || weekday == 6) return kWeekend;
  for (int32_t i = 0; i < count_; ++i) {
    if (dates_[static_cast<size_t>(i)] == date) return kListedHoliday;
  }
  return kWorkingDay;
}

int32_t HolidayCalendar::TodayDayKind() const { return DayKind(LocalNow().Date()); }

bool HolidayCalendar::TodayIsHoliday() const { return IsHoliday(LocalNow().Date()); }

uint32_t HolidayCalendar::DateAt(int32_t index) const {
  return index >= 0 && index < count_ ? dates_[static_cast<size_t>(index)] : 0;
}

}  // namespace fw::refdata
