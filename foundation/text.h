// Small helpers for the system's GBK byte texts: blanks and trimming as the ini and XML readers see
// them, and walking a text by characters so that no cut or search ever falls inside a double-byte
// character. Thread-safe; no state.
#pragma once

#include <cstddef>
#include <string_view>

namespace fw {

// The blanks of the ini and XML files: space, tab, carriage return and line feed.
constexpr bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

constexpr std::string_view TrimLeft(std::string_view s) {
  size_t b = 0;
  while (b < s.size() && IsBlank(s[b])) ++b;
  return s.substr(b);
}
constexpr std::string_view TrimRight(std::string_view s) {
  size_t e = s.size();
  while (e > 0 && IsBlank(s[e - 1])) --e;
  return s.substr(0, e);
}
constexpr std::string_view Trim(std::string_view s) { return TrimRight(TrimLeft(s)); }

// Whether a GBK double-byte character starts at s[i]: a lead byte (0x81-0xFE) followed by a valid
// second byte (0x40-0xFE except 0x7F). A stray lead byte counts as a character of its own, so that
// it never swallows the ";" or "=" after it.
constexpr bool IsGbkPairAt(std::string_view s, size_t i) {
  if (i + 1 >= s.size()) return false;
  const auto lead = static_cast<unsigned char>(s[i]);
  const auto trail = static_cast<unsigned char>(s[i + 1]);
  return lead >= 0x81 && lead <= 0xFE && trail >= 0x40 && trail <= 0xFE && trail != 0x7F;
}

// Position of `needle` starting on a character boundary, or npos.
constexpr size_t FindOnCharBoundary(std::string_view s, std::string_view needle) {
  size_t i = 0;
  while (i < s.size()) {
    if (s.compare(i, needle.size(), needle) == 0) return i;
    i += IsGbkPairAt(s, i) ? 2 : 1;
  }
  return std::string_view::npos;
}

// How many bytes of `text` are kept when it is cut to at most maxLength bytes: the text ends at a
// NUL byte, and a double-byte character is never split (the cut falls before it).
constexpr size_t GbkCutLength(std::string_view text, size_t maxLength) {
  const size_t nul = text.find('\0');
  if (nul != std::string_view::npos) text = text.substr(0, nul);
  size_t i = 0;
  while (i < text.size()) {
    const size_t width = IsGbkPairAt(text, i) ? 2 : 1;
    if (i + width > maxLength) break;
    i += width;
  }
  return i;
}

}  // namespace fw
