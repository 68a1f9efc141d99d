// Arbitrary bytes as the holiday file, read in a fixed year (2024): whatever the file holds, at
// most 120 real dates of that year are kept and each of them answers as a day off.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "foundation/local_clock.h"
#include "foundation/platform/platform.h"
#include "refdata/holiday_calendar.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

// The file each input is written to; in memory when the machine has /dev/shm, because every
// write-back is flushed to disk. Removed at exit.
struct Scratch {
  Scratch() { path = fw::fuzz::ScratchPath("fw_holiday_fuzz_").string() + ".ini"; }
  ~Scratch() { fw::platform::RemoveFile(path); }
  std::string path;
} scratch;

const std::string& ScratchPath() { return scratch.path; }

bool IsRealDateOf2024(uint32_t date) {
  static const int kDays[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const uint32_t month = date / 100 % 100;
  const uint32_t day = date % 100;
  return date / 10000 == 2024 && month >= 1 && month <= 12 && day >= 1 &&
         day <= static_cast<uint32_t>(kDays[month - 1]);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool clockSet = [] {
    fw::SetLocalClockForTesting([] { return fw::MakeLocalDateTime(20240305, 100000); });
    return true;
  }();
  (void)clockSet;
  {
    std::ofstream out(ScratchPath(), std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  }
  fw::refdata::HolidayCalendar calendar;
  const int32_t count = calendar.Load(ScratchPath());
  if (count != (count == -1 ? -1 : calendar.Count()) || calendar.Count() < 0 ||
      calendar.Count() > fw::refdata::HolidayCalendar::kMaxDates ||
      (count == -1 && calendar.Count() != 0)) {
    std::abort();
  }
  for (int32_t i = 0; i < calendar.Count(); ++i) {
    const uint32_t date = calendar.DateAt(i);
    if (!IsRealDateOf2024(date) || !calendar.IsHoliday(date)) std::abort();
  }
  if (size >= 4) {
    uint32_t probe = 0;
    for (int i = 0; i < 4; ++i) probe = probe << 8 | data[i];
    (void)calendar.DayKind(probe);
  }
  (void)calendar.TodayIsHoliday();
  return 0;
}
