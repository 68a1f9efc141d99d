// Conversions between UTF-8 (the exchange's XML files and a few feed fields) and GBK, the code page
// 936 text of the running system, with the system's own built-in table: the same bytes on Linux and
// Windows, whatever the machine's locale. Thread-safe; no state.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace fw {

// Converts text[0 .. textLength) from UTF-8 to GBK into output (outputSize bytes, at most 65535)
// and terminates it; returns the number of bytes before the terminator.
size_t Utf8ToGbk(const char* text, size_t textLength, char* output, size_t outputSize);

// Decodes one well-formed UTF-8 sequence at text[0 .. available): its length, or 0 when the bytes
// there are not one (truncated, overlong, a surrogate, beyond U+10FFFF, a stray continuation).
size_t DecodeStrictUtf8(const uint8_t* text, size_t available, uint32_t* codePoint);

// Appends the UTF-8 encoding of a code point (at most U+10FFFF; the caller checks).
void AppendUtf8(uint32_t codePoint, std::string* out);

// The reverse direction, for showing GBK texts on a UTF-8 terminal.
std::string GbkToUtf8(std::string_view gbk);

// UTF-8 text of any length (the program's own UTF-8 files) as GBK for the system's output paths:
// a character that GBK lacks, and a byte that is not UTF-8, become '?'.
std::string Utf8ToGbkText(std::string_view utf8);

// UTF-8 text (NUL-terminated) to the local code page through UTF-16 (at most 1024 units): the
// length written including the NUL, or 0 when the text is missing, cannot be converted, or the
// result with its NUL does not fit into size bytes.
int ToLocalText(const char* text, char* buffer, size_t size);

}  // namespace fw
