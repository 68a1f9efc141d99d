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

void SetLocalClockForTesting(std::function<LocalDateTime()> clock) {
  std::lock_guard<std::mutex> lock(gFakeMutex);
  gFake = std::move(clock);
  gFakeInstalled.store(static_cast<bool>(gFake), std::memory_order_release);
}

int WeekdayOf(uint32_t date) {
  // Sakamoto's method.
  static const int kOffsets[] = {0, 3, 2, 5, 0, 3, 5, 1, 4, 6, 2, 4};
  int year = static_cast<int>(date / 10000);
  const int month = static_cast<int>(date / 100 % 100);
  const int day = static_cast<int>(date % 100);
  if (month < 1 || month > 12) return -1;
  if (month < 3) year -= 1;
  return (year + year / 4 - year / 100 + year / 400 + kOffsets[month - 1] + day) % 7;
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
