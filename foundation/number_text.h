// Numbers written as decimal text, read the way the C library's atoi and strtod read them: leading
// white space (space, tab, line feed, vertical tab, form feed, carriage return) skipped, an
// optional sign, then the longest run that forms a number; what follows is ignored, and a text
// without digits gives 0. Every reader of numbers in the system (reference files, code numbers,
// the configuration, the dialog, the holiday file) goes through these.
//
// Overflow saturates: an integer beyond the target type's range gives its largest or smallest
// value, a floating-point number beyond the range an infinity of its sign. The functions read only
// the given text (never past its end, whatever follows in memory) and do not depend on the
// process's locale. Thread-safe; no state.
#pragma once

#include <cstdint>
#include <string_view>

namespace fw {

// The leading decimal integer: digits up to the first other character.
int32_t ParseInt32(std::string_view text);
int64_t ParseInt64(std::string_view text);

// The leading decimal number: digits with an optional decimal point and an optional exponent ("e"
// or "E", an optional sign, digits). A magnitude below the smallest subnormal gives 0 of the
// number's sign. Hexadecimal forms, "inf" and "nan" are not numbers here (0).
double ParseDouble(std::string_view text);
// ParseDouble narrowed to float; finite values beyond the float range become infinities.
float ParseFloat(std::string_view text);

}  // namespace fw
