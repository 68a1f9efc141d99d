// The number texts of the DBF files: exactly the bytes that a correctly rounded C library's
// "%*.*f" and "%*lld" print, produced without printf.
//
// The legacy readers compare files written on different machines, so the Linux and Windows builds
// must write the same bytes; the Windows C runtime rounds fixed-point output differently from
// glibc, and printf is also too slow for twenty thousand rows per write cycle. Fixed-point values
// are rounded to nearest on the exact binary value of the double, ties to even (0.125 at two
// decimals gives 0.12), and a negative value keeps its sign even when it rounds to zero ("-0.000").
//
// Pure functions without state: any thread.
#pragma once

#include <cstddef>
#include <cstdint>

namespace fw::dbf {

// Texts that need more bytes than this are never written into a field (a field holds at most 255).
constexpr size_t kFormatBufferSize = 256;

// The text of "%.*f" with `decimals` digits after the point (no point for 0 decimals) into
// out[0, cap). Returns its length; 0 when the value is not finite (a DBF numeric field has no text
// for NaN or infinity) or the text needs more than cap bytes.
size_t FormatFixed(double value, unsigned decimals, char* out, size_t cap);

// The text of "%*.*f": as FormatFixed, right-justified with blanks to at least `width` characters.
// Returns the length written (width, or more when the value needs more); 0 as for FormatFixed.
size_t FormatFixedWidth(double value, unsigned width, unsigned decimals, char* out, size_t cap);

// The text of "%*lld": the decimal integer right-justified with blanks to at least `width`
// characters. Returns the length written; 0 when it needs more than cap bytes.
size_t FormatIntegerWidth(int64_t value, unsigned width, char* out, size_t cap);

// Writes `value` at `decimals` into field[0, width) right-justified with blanks, as "%*.*f" would,
// but only when the text is exactly `width` characters long. Returns true when written; on false
// the field is untouched.
bool WriteFixedField(double value, unsigned width, unsigned decimals, char* field);

// The same for "%*lld".
bool WriteIntegerField(int64_t value, unsigned width, char* field);

// The same for the exact decimal scaled / 10^decimals: the integer's digits with a point before
// the last `decimals` of them (at least one digit before the point) and a minus sign for a negative
// value ("-0.005" for -5 at 3 decimals). At most 9 decimals: more give false.
bool WriteDecimalField(int64_t scaled, unsigned width, unsigned decimals, char* field);

}  // namespace fw::dbf
