// The local date and time as the whole system sees it. Production code reads the machine's clock;
// tests install their own "now" (08:44:59, a Saturday, 31 December) without touching the machine.
// Thread-safe.
#pragma once

#include <cstdint>
#include <functional>

#include "foundation/platform/platform.h"

namespace fw {

using platform::LocalDateTime;

LocalDateTime LocalNow();

// Installs a replacement clock for every thread; an empty function restores the machine's clock.
void SetLocalClockForTesting(std::function<LocalDateTime()> clock);

// 0 = Sunday … 6 = Saturday, for a YYYYMMDD date of the Gregorian calendar.
int WeekdayOf(uint32_t date);

// A local date and time from YYYYMMDD and HHMMSS, with its weekday.
LocalDateTime MakeLocalDateTime(uint32_t date, uint32_t time, int millisecond = 0);

}  // namespace fw
