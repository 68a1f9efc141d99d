// The local date and time as the whole system sees it. Production code reads the machine's clock;
// tests install their own "now" (08:44:59, a Saturday, 31 December) without touching the machine,
// and an offline replay of a captured day installs the day's date and its market time, so that the
// cells a live run takes from the clock come out the same on every replay. Thread-safe.
#pragma once

#include <cstdint>
#include <functional>

#include "foundation/platform/platform.h"

namespace fw {

using platform::LocalDateTime;

LocalDateTime LocalNow();

// Makes `clock` the local clock of every thread (an empty function: the machine's) and returns the
// clock it replaces, so that a caller can put that one back when it is done.
std::function<LocalDateTime()> InstallLocalClock(std::function<LocalDateTime()> clock);

// Installs a replacement clock for every thread; an empty function restores the machine's clock.
void SetLocalClockForTesting(std::function<LocalDateTime()> clock);

// 0 = Sunday … 6 = Saturday, for a YYYYMMDD date of the Gregorian calendar; -1 for a month
// outside 1..12.
int WeekdayOf(uint32_t date);

// Days from 1970-01-01 to a date of the proleptic Gregorian calendar (negative before it).
int64_t DaysSinceEpoch(int year, int month, int day);

// A local date and time as seconds on one continuous scale (from 1970-01-01 00:00:00 of the same
// clock), so that the difference of two readings spans midnight and month ends.
int64_t SecondsSinceEpoch(const LocalDateTime& t);

// The local date and time at a reading of SecondsSinceEpoch (its inverse), with its weekday.
LocalDateTime LocalDateTimeAt(int64_t secondsSinceEpoch);

// A local date and time from YYYYMMDD and HHMMSS, with its weekday.
LocalDateTime MakeLocalDateTime(uint32_t date, uint32_t time, int millisecond = 0);

}  // namespace fw
