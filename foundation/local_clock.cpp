#include "foundation/local_clock.h"

#include <atomic>
#include <mutex>

namespace fw {
namespace {

std::atomic<bool> gFakeInstalled{false};
std::mutex gFakeMutex;
std::function<LocalDateTime()> gFake;

}  // namespace

LocalDateTime LocalNow() {
  if (gFakeInstalled.load(std::memory_order_acquire)) {
    std::function<LocalDateTime()> fake;
    {
      std::lock_guard<std::mutex> lock(gFakeMutex);
      fake = gFake;
    }
    if (fake) return fake();
  }
  return platform::SystemLocalTime();
}

std::function<LocalDateTime()> InstallLocalClock(std::function<LocalDateTime()> clock) {
  std::lock_guard<std::mutex> lock(gFakeMutex);
  std::function<LocalDateTime()> previous = std::move(gFake);
  gFake = std::move(clock);
  gFakeInstalled.store(static_cast<bool>(gFake), std::memory_order_release);
  return previous;
}

void SetLocalClockForTesting(std::function<LocalDateTime()> clock) {
  InstallLocalClock(std::move(clock));
}

int WeekdayOf(uint32_t date) {
  const int month = static_cast<int>(date / 100 % 100);
  if (month < 1 || month > 12) return -1;
  const int64_t days =
      DaysSinceEpoch(static_cast<int>(date / 10000), month, static_cast<int>(date % 100));
  // 1970-01-01 was a Thursday.
  return static_cast<int>(((days + 4) % 7 + 7) % 7);
}

int64_t DaysSinceEpoch(int year, int month, int day) {
  // Counted in 400-year eras of a calendar that starts on 1 March, so that the leap day ends the
  // year.
  const int64_t y = month <= 2 ? int64_t{year} - 1 : year;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const int64_t yearOfEra = y - era * 400;
  const int64_t monthIndex = month > 2 ? month - 3 : month + 9;
  const int64_t dayOfYear = (153 * monthIndex + 2) / 5 + day - 1;
  const int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
  return era * 146097 + dayOfEra - 719468;
}

int64_t SecondsSinceEpoch(const LocalDateTime& t) {
  return DaysSinceEpoch(t.year, t.month, t.day) * 86400 + t.hour * 3600 + t.minute * 60 + t.second;
}

LocalDateTime LocalDateTimeAt(int64_t secondsSinceEpoch) {
  const int64_t days =
      (secondsSinceEpoch >= 0 ? secondsSinceEpoch : secondsSinceEpoch - 86399) / 86400;
  const int64_t secondOfDay = secondsSinceEpoch - days * 86400;
  // DaysSinceEpoch backwards, in the same eras of years that start on 1 March.
  const int64_t z = days + 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const int64_t dayOfEra = z - era * 146097;
  const int64_t yearOfEra =
      (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
  const int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
  const int64_t monthIndex = (5 * dayOfYear + 2) / 153;
  LocalDateTime t;
  t.day = static_cast<int>(dayOfYear - (153 * monthIndex + 2) / 5 + 1);
  t.month = static_cast<int>(monthIndex < 10 ? monthIndex + 3 : monthIndex - 9);
  t.year = static_cast<int>(yearOfEra + era * 400 + (t.month <= 2 ? 1 : 0));
  t.hour = static_cast<int>(secondOfDay / 3600);
  t.minute = static_cast<int>(secondOfDay / 60 % 60);
  t.second = static_cast<int>(secondOfDay % 60);
  t.weekday = static_cast<int>(((days + 4) % 7 + 7) % 7);
  return t;
}

LocalDateTime MakeLocalDateTime(uint32_t date, uint32_t time, int millisecond) {
  LocalDateTime t;
  t.year = static_cast<int>(date / 10000);
  t.month = static_cast<int>(date / 100 % 100);
  t.day = static_cast<int>(date % 100);
  t.hour = static_cast<int>(time / 10000);
  t.minute = static_cast<int>(time / 100 % 100);
  t.second = static_cast<int>(time % 100);
  t.millisecond = millisecond;
  t.weekday = WeekdayOf(date);
  return t;
}

}  // namespace fw
