// HolidayCalendar: the operator's list of this year's non-working days, read from holiday.ini, and
// the day-kind answers built on it (weekend, listed day, working day).
//
// The file holds one section per year, named by the year ("[2024]"), with the keys "01" … "12":
// each a comma-separated list of day-of-month numbers of that month. Only the section of the
// current local year is read; at most 120 dates are kept.
//
// A plain value (copyable with the configuration that owns it). Loaded on the thread that loads
// the configuration or starts the processor; readers on other threads read a copy or read while
// no load runs.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace fw::refdata {

class HolidayCalendar {
 public:
  static constexpr int32_t kMaxDates = 120;
  // Answers of DayKind.
  static constexpr int32_t kWeekend = 1;
  static constexpr int32_t kListedHoliday = 2;
  static constexpr int32_t kWorkingDay = -1;

  // Whether a section of the file is read: its name is the current local year in decimal
  // (letters compared without regard to case, at most 9 characters looked at).
  bool AcceptsSection(std::string_view name) const;

  // Empties the list and reads the file (a name without a separator lies beside the executable).
  // The number of dates stored, or -1 when the file cannot be read; the list is then empty.
  int32_t Load(const std::string& path);
  void Clear() { count_ = 0; }

  // 1 for a Saturday or Sunday, 2 for a listed day, -1 otherwise (a listed weekend day is 1).
  int32_t DayKind(uint32_t date) const;
  bool IsHoliday(uint32_t date) const { return DayKind(date) > 0; }
  // The same answers for the local date now.
  int32_t TodayDayKind() const;
  bool TodayIsHoliday() const;

  int32_t Count() const { return count_; }
  // The stored date at an index (0 out of range), in file order.
  uint32_t DateAt(int32_t index) const;

 private:
  std::array<uint32_t, kMaxDates> dates_{};
  int32_t count_ = 0;
};

}  // namespace fw::refdata
