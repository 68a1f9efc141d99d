// UTF-8 <-> GBK over the built-in code page 936 table (gbk_table.cpp), so that every machine turns
// the exchange's texts into the same bytes. Thread-safe; no state.
#include "foundation/gbk.h"

#include <algorithm>
#include <cstring>

#include "foundation/gbk_table.h"
#include "foundation/text.h"

namespace fw {
namespace {

// ToLocalText goes through UTF-16 in a buffer of this many units, its NUL included.
constexpr size_t kMaxUtf16Units = 1024;

}  // namespace

size_t DecodeStrictUtf8(const uint8_t* text, size_t available, uint32_t* codePoint) {
  const uint8_t lead = text[0];
  if (lead < 0x80) {
    *codePoint = lead;
    return 1;
  }
  size_t length;
  uint32_t value;
  uint32_t minimum;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2, value = lead & 0x1Fu, minimum = 0x80;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3, value = lead & 0x0Fu, minimum = 0x800;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4, value = lead & 0x07u, minimum = 0x10000;
  } else {
    return 0;
  }
  if (available < length) return 0;
  for (size_t i = 1; i < length; ++i) {
    if ((text[i] & 0xC0) != 0x80) return 0;
    value = (value << 6) | (text[i] & 0x3Fu);
  }
  if (value < minimum || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) return 0;
  *codePoint = value;
  return length;
}

bool GbkCodeOf(uint32_t codePoint, uint16_t* code) {
  if (codePoint < 0x80) {
    *code = static_cast<uint16_t>(codePoint);
    return true;
  }
  if (codePoint > 0xFFFF) return false;
  const uint16_t* const begin = kGbkByCodePoint;
  const uint16_t* const end = kGbkByCodePoint + kGbkPairCount;
  const uint16_t* const at = std::lower_bound(
      begin, end, codePoint,
      [](uint16_t index, uint32_t wanted) { return kGbkPairs[index].codePoint < wanted; });
  if (at == end || kGbkPairs[*at].codePoint != codePoint) return false;
  *code = kGbkPairs[*at].code;
  return true;
}

bool CodePointOfGbk(uint16_t code, uint32_t* codePoint) {
  const GbkPair* const begin = kGbkPairs;
  const GbkPair* const end = kGbkPairs + kGbkPairCount;
  const GbkPair* const at = std::lower_bound(
      begin, end, code, [](const GbkPair& pair, uint16_t wanted) { return pair.code < wanted; });
  if (at == end || at->code != code) return false;
  *codePoint = at->codePoint;
  return true;
}

void AppendUtf8(uint32_t codePoint, std::string* out) {
  if (codePoint < 0x80) {
    out->push_back(static_cast<char>(codePoint));
  } else if (codePoint < 0x800) {
    out->push_back(static_cast<char>(0xC0 | (codePoint >> 6)));
    out->push_back(static_cast<char>(0x80 | (codePoint & 0x3F)));
  } else if (codePoint < 0x10000) {
    out->push_back(static_cast<char>(0xE0 | (codePoint >> 12)));
    out->push_back(static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (codePoint & 0x3F)));
  } else {
    out->push_back(static_cast<char>(0xF0 | (codePoint >> 18)));
    out->push_back(static_cast<char>(0x80 | ((codePoint >> 12) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (codePoint & 0x3F)));
  }
}

size_t Utf8ToGbk(const char* text, size_t textLength, char* output, size_t outputSize) {
  if (output == nullptr || outputSize == 0) return 0;
  const uint8_t* const in = reinterpret_cast<const uint8_t*>(text);
  if (in == nullptr) textLength = 0;
  size_t read = 0;
  size_t written = 0;
  while (read < textLength) {
    const uint8_t lead = in[read];
    uint32_t codePoint;
    size_t length;
    if (lead < 0x80) {
      codePoint = lead, length = 1;
    } else if (lead >= 192 && lead <= 223) {
      codePoint = lead & 0x1Fu, length = 2;
    } else if (lead >= 224 && lead <= 239) {
      codePoint = lead & 0x0Fu, length = 3;
    } else {
      break;  // a stray continuation byte, or a sequence beyond the basic plane
    }
    // The following bytes are taken as they come, but a sequence cut by the end of the input is
    // not completed from whatever lies beyond it.
    if (textLength - read < length) break;
    for (size_t i = 1; i < length; ++i) codePoint = (codePoint << 6) | (in[read + i] & 0x3Fu);

    uint16_t code = 0;
    if (!GbkCodeOf(codePoint, &code)) code = 0;  // one zero byte: ends the text for its readers
    const size_t codeLength = code < 0x100 ? 1 : 2;
    if (written + codeLength >= outputSize) break;
    if (codeLength == 2) output[written++] = static_cast<char>(code >> 8);
    output[written++] = static_cast<char>(code & 0xFF);
    read += length;
  }
  output[written] = '\0';
  return written;
}

std::string Utf8ToGbkText(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size());
  const auto* in = reinterpret_cast<const uint8_t*>(utf8.data());
  for (size_t i = 0; i < utf8.size();) {
    uint32_t codePoint = 0;
    uint16_t code = 0;
    const size_t n = DecodeStrictUtf8(in + i, utf8.size() - i, &codePoint);
    i += n > 0 ? n : 1;
    if (n == 0 || !GbkCodeOf(codePoint, &code) || code == 0) {
      out.push_back('?');
    } else {
      if (code >= 0x100) out.push_back(static_cast<char>(code >> 8));
      out.push_back(static_cast<char>(code & 0xFF));
    }
  }
  return out;
}

std::string GbkToUtf8(std::string_view gbk) {
  std::string out;
  out.reserve(gbk.size() + gbk.size() / 2);
  const auto* const in = reinterpret_cast<const uint8_t*>(gbk.data());
  const size_t n = gbk.size();
  for (size_t i = 0; i < n;) {
    const uint8_t lead = in[i];
    if (lead < 0x80) {
      out.push_back(static_cast<char>(lead));
      ++i;
      continue;
    }
    uint32_t codePoint = 0;
    if (IsGbkPairAt(gbk, i)) {
      // A two-byte code, assigned or not, is consumed whole so that its trail byte is never
      // mistaken for a character of its own.
      const auto code = static_cast<uint16_t>((lead << 8) | in[i + 1]);
      if (CodePointOfGbk(code, &codePoint)) {
        AppendUtf8(codePoint, &out);
      } else {
        out.push_back('?');
      }
      i += 2;
      continue;
    }
    if (CodePointOfGbk(lead, &codePoint)) {
      AppendUtf8(codePoint, &out);  // 0x80, the euro sign
    } else {
      out.push_back('?');
    }
    ++i;
  }
  return out;
}

int ToLocalText(const char* text, char* buffer, size_t size) {
  if (text == nullptr || buffer == nullptr || size == 0) return 0;
  // Converted into a local buffer first, so that a failure leaves the caller's buffer untouched.
  char local[(kMaxUtf16Units - 1) * 2 + 1];
  const auto* const in = reinterpret_cast<const uint8_t*>(text);
  const size_t n = std::strlen(text);
  size_t units = 0;
  size_t written = 0;
  for (size_t i = 0; i < n;) {
    uint32_t codePoint = 0;
    const size_t length = DecodeStrictUtf8(in + i, n - i, &codePoint);
    if (length == 0) return 0;
    units += codePoint > 0xFFFF ? 2 : 1;
    if (units + 1 > kMaxUtf16Units) return 0;
    uint16_t code = 0;
    if (!GbkCodeOf(codePoint, &code)) return 0;
    if (code >= 0x100) local[written++] = static_cast<char>(code >> 8);
    local[written++] = static_cast<char>(code & 0xFF);
    i += length;
  }
  local[written] = '\0';
  if (written + 1 > size) return 0;
  std::memcpy(buffer, local, written + 1);
  return static_cast<int>(written + 1);
}

}  // namespace fw
