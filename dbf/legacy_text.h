// The few printf shapes the legacy files carry in character fields and record numbers, written
// without printf so that every platform gives the same bytes: zero-padded integers ("%09d"), the
// zero flag applied to a text ("%09s", which pads a code with '0' on the left as the Windows C
// library does), and dates as "%04d%02d%02d".
//
// Pure functions without state: any thread.
#pragma once

#include <cstddef>
#include <cstdint>

namespace fw::dbf {

// Enough for every text below (a 64-bit value with its sign and any width a field allows).
constexpr size_t kLegacyTextSize = 256;

// "%0*lld": the decimal value padded with '0' to at least `width` characters, the sign counting
// towards the width ("-0000005" for -5 at 8). out must hold max(width, 20) bytes; returns the
// length (no terminator).
size_t ZeroPaddedInteger(int64_t value, unsigned width, char* out);

// "%0*s": the text (up to its first NUL, at most maxLength bytes) padded on the left with '0' to
// at least `width` characters ("000300750" for "300750" at 9). out must hold
// max(width, maxLength) bytes; returns the length.
size_t ZeroPaddedText(const char* text, size_t maxLength, unsigned width, char* out);

// "%04d%02d%02d" of the year, month and day of a YYYYMMDD number ("20260305"). out must hold 64
// bytes; returns the length (8 for any date of years 1000 to 9999).
size_t DateText(int64_t yyyymmdd, char* out);

}  // namespace fw::dbf
