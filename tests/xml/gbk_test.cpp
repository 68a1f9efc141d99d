// The GBK conversions and their built-in code page 936 table, checked against codes known by heart
// and, where the C library has it, against iconv's own CP936.
#include "foundation/gbk.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "foundation/gbk_table.h"
#include "foundation/stdout_encoding.h"

#if FW_HAVE_ICONV
#include <iconv.h>
#endif

namespace fw {
namespace {

std::string GbkBytes(uint16_t code) {
  if (code < 0x100) return std::string(1, static_cast<char>(code));
  return {static_cast<char>(code >> 8), static_cast<char>(code & 0xFF)};
}

struct Utf8ToGbkCase {
  std::string input;
  size_t outputSize;
  std::string expected;
};

TEST(Utf8ToGbk, ConvertsAndStopsWhereItMust) {
  const Utf8ToGbkCase cases[] = {
      {"\xE4\xB8\xAD", 16, "\xD6\xD0"},
      {"\xE2\x82\xAC", 16, "\x80"},
      {"AB\x7F", 16, "AB\x7F"},
      {"\xC2\xB7\xE2\x80\x94", 16, "\xA1\xA4\xA1\xAA"},
      {"A\xF0\x9F\x98\x80"
       "B",
       16, "A"},  // a four-byte sequence ends the conversion
      {"A\x80"
       "B",
       16, "A"},  // so does a stray continuation byte
      {"A\xF8"
       "B",
       16, "A"},
      {"\xC2\x37", 16, "\xA1\xA4"},  // following bytes are taken as they come: U+00B7
      {"A\xE0\xB8\x81"
       "B",
       16, std::string("A\0B", 3)},                 // no GBK code: one zero byte, and on
      {"\xE4\xB8\xAD\xE4\xB8\xAD", 4, "\xD6\xD0"},  // 2 + 2 would reach the size
      {"\xE4\xB8\xAD\xE4\xB8\xAD", 5, "\xD6\xD0\xD6\xD0"},
      {"ABC", 3, "AB"},
      {"\xE4\xB8\xAD", 2, ""},
      {"A", 1, ""},
  };
  for (const Utf8ToGbkCase& c : cases) {
    std::vector<char> out(c.outputSize + 1, '#');
    const size_t n = Utf8ToGbk(c.input.data(), c.input.size(), out.data(), c.outputSize);
    ASSERT_EQ(n, c.expected.size()) << c.input;
    EXPECT_EQ(std::string(out.data(), n), c.expected) << c.input;
    EXPECT_EQ(out[n], '\0') << c.input;
    EXPECT_EQ(out[c.outputSize], '#') << "wrote past the buffer for " << c.input;
  }
}

TEST(Utf8ToGbk, NeverReadsPastTheInputLength) {
  // Each input sits in a heap block of exactly its length, so that the sanitizer build sees any
  // read beyond it; the last one has a whole character beyond its stated length.
  const std::pair<std::string, size_t> inputs[] = {
      {"A\xE4\xB8", 3}, {"A\xE4", 2}, {"A\xC3", 2}, {"A\xE4\xB8\xAD", 3}};
  for (const auto& [bytes, length] : inputs) {
    auto block = std::make_unique<char[]>(bytes.size());
    std::memcpy(block.get(), bytes.data(), bytes.size());
    char out[8];
    EXPECT_EQ(Utf8ToGbk(block.get(), length, out, sizeof out), 1u);
    EXPECT_STREQ(out, "A");
  }
}

TEST(Utf8ToGbk, NoRoomOrNoInput) {
  char out = '#';
  EXPECT_EQ(Utf8ToGbk("A", 1, &out, 0), 0u);
  EXPECT_EQ(out, '#');
  char buffer[4] = {'#', '#', '#', '#'};
  EXPECT_EQ(Utf8ToGbk(nullptr, 5, buffer, sizeof buffer), 0u);
  EXPECT_EQ(buffer[0], '\0');
  EXPECT_EQ(Utf8ToGbk("A", 1, nullptr, 4), 0u);
}

TEST(GbkTable, HoldsTheWholeCodePageInOrder) {
  ASSERT_EQ(kGbkPairCount, 21920u);
  size_t ascii = 0;
  size_t twoByte = 0;
  for (size_t i = 0; i < kGbkPairCount; ++i) {
    const GbkPair& p = kGbkPairs[i];
    if (i > 0) {
      ASSERT_LT(kGbkPairs[i - 1].code, p.code) << i;
    }
    if (p.code < 0x80) {
      EXPECT_EQ(p.codePoint, p.code);
      ++ascii;
    } else if (p.code == 0x80) {
      EXPECT_EQ(p.codePoint, 0x20AC);
    } else {
      const int lead = p.code >> 8;
      const int trail = p.code & 0xFF;
      EXPECT_TRUE(lead >= 0x81 && lead <= 0xFE && trail >= 0x40 && trail <= 0xFE && trail != 0x7F)
          << std::hex << p.code;
      EXPECT_GE(p.codePoint, 0x80);
      ++twoByte;
    }
  }
  EXPECT_EQ(ascii, 128u);
  EXPECT_EQ(twoByte, 21791u);

  std::vector<bool> seen(kGbkPairCount, false);
  for (size_t i = 0; i < kGbkPairCount; ++i) {
    const uint16_t index = kGbkByCodePoint[i];
    ASSERT_LT(index, kGbkPairCount);
    EXPECT_FALSE(seen[index]) << "pair listed twice: " << index;
    seen[index] = true;
    if (i > 0) {
      ASSERT_LT(kGbkPairs[kGbkByCodePoint[i - 1]].codePoint, kGbkPairs[index].codePoint) << i;
    }
  }
}

TEST(GbkTable, KnownCodesBothWays) {
  const std::pair<uint32_t, uint16_t> known[] = {
      {0x0041, 0x41},   {0x20AC, 0x80},   {0x4E2D, 0xD6D0}, {0x6587, 0xCEC4}, {0x554A, 0xB0A1},
      {0x9F44, 0xF7FE}, {0x4E02, 0x8140}, {0x3007, 0xA996}, {0xFFE5, 0xA3A4}, {0x00B7, 0xA1A4},
      {0x2014, 0xA1AA}, {0x00E9, 0xA8A6}, {0x3000, 0xA1A1},
  };
  for (const auto& [codePoint, code] : known) {
    uint16_t gotCode = 0;
    ASSERT_TRUE(GbkCodeOf(codePoint, &gotCode)) << std::hex << codePoint;
    EXPECT_EQ(gotCode, code) << std::hex << codePoint;
    uint32_t gotPoint = 0;
    ASSERT_TRUE(CodePointOfGbk(code, &gotPoint)) << std::hex << code;
    EXPECT_EQ(gotPoint, codePoint) << std::hex << code;
  }
  uint16_t code = 0;
  for (uint32_t unmapped : {0x0E01u, 0xE000u, 0xFFFDu, 0x1F600u, 0x110000u}) {
    EXPECT_FALSE(GbkCodeOf(unmapped, &code)) << std::hex << unmapped;
  }
  uint32_t codePoint = 0;
  const uint16_t unassignedCodes[] = {0x81, 0xFF, 0xA2A0, 0xA2AB, 0xFEFE, 0x817F};
  for (const uint16_t unassigned : unassignedCodes) {
    EXPECT_FALSE(CodePointOfGbk(unassigned, &codePoint)) << std::hex << unassigned;
  }
}

// iconv's CP936, one code at a time, to UTF-32LE.
class IconvCp936 {
 public:
#if FW_HAVE_ICONV
  IconvCp936() : cd_(iconv_open("UTF-32LE", "CP936")) {}
  ~IconvCp936() {
    if (Available()) iconv_close(cd_);
  }
  bool Available() const { return cd_ != reinterpret_cast<iconv_t>(-1); }
  // The code point iconv gives for one GBK code; false when it gives none or more than one.
  bool Decode(uint16_t code, uint32_t* codePoint) {
    std::string in = GbkBytes(code);
    char* inPtr = in.data();
    size_t inLeft = in.size();
    unsigned char out[16];
    char* outPtr = reinterpret_cast<char*>(out);
    size_t outLeft = sizeof out;
    iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    if (iconv(cd_, &inPtr, &inLeft, &outPtr, &outLeft) == static_cast<size_t>(-1)) return false;
    if (inLeft != 0 || sizeof out - outLeft != 4) return false;
    *codePoint = static_cast<uint32_t>(out[0] | out[1] << 8 | out[2] << 16 | out[3] << 24);
    return true;
  }

 private:
  iconv_t cd_;
#else
  bool Available() const { return false; }
  bool Decode(uint16_t, uint32_t*) { return false; }
#endif
};

void CheckAgainstIconv(size_t step) {
  IconvCp936 iconvCp936;
  if (!iconvCp936.Available()) GTEST_SKIP() << "no iconv with CP936 here";
  size_t checked = 0;
  for (size_t i = 0; i < kGbkPairCount; i += step) {
    uint32_t codePoint = 0;
    ASSERT_TRUE(iconvCp936.Decode(kGbkPairs[i].code, &codePoint)) << std::hex << kGbkPairs[i].code;
    EXPECT_EQ(codePoint, kGbkPairs[i].codePoint) << std::hex << kGbkPairs[i].code;
    ++checked;
  }
  EXPECT_EQ(checked, (kGbkPairCount + step - 1) / step);
}

TEST(GbkTable, ASampleAgreesWithIconv) { CheckAgainstIconv(97); }

TEST(GbkTable, EveryPairAgreesWithIconv) { CheckAgainstIconv(1); }

TEST(GbkToUtf8, EveryCodeRoundTrips) {
  std::string gbk;
  for (const GbkPair& p : kGbkPairs) {
    if (p.code != 0) gbk += GbkBytes(p.code);
  }
  ASSERT_EQ(gbk.size(), 127u + 1u + 2u * 21791u);
  const std::string utf8 = GbkToUtf8(gbk);
  std::vector<char> back(gbk.size() + 1);
  ASSERT_EQ(Utf8ToGbk(utf8.data(), utf8.size(), back.data(), back.size()), gbk.size());
  EXPECT_TRUE(std::memcmp(back.data(), gbk.data(), gbk.size()) == 0);
}

TEST(GbkToUtf8, KnownTextsAndBrokenBytes) {
  const std::pair<std::string, std::string> cases[] = {
      {"\xD6\xD0\xCE\xC4", "\xE4\xB8\xAD\xE6\x96\x87"},
      {"A\x80", "A\xE2\x82\xAC"},
      {"\x81", "?"},
      {"\xFF", "?"},
      {"\xD6", "?"},
      {"A\x81\x7F", "A?\x7F"},  // not a trail byte: the lead alone is broken
      {"\xD6\x30", "?0"},
      {"\xA2\xA0"
       "B",
       "?B"},  // an unassigned code is skipped whole
  };
  for (const auto& [gbk, utf8] : cases) EXPECT_EQ(GbkToUtf8(gbk), utf8) << gbk;
  const std::string text =
      "\xE5\xB9\xB3\xE5\xAE\x89\xE9\x93\xB6\xE8\xA1\x8C A\xE8\x82\xA1 \xE2\x82\xAC";
  char gbk[64];
  const size_t n = Utf8ToGbk(text.data(), text.size(), gbk, sizeof gbk);
  EXPECT_EQ(GbkToUtf8(std::string_view(gbk, n)), text);
}

// Names as glibc's nl_langinfo(CODESET) reports them for zh_CN.GBK, zh_CN.GB18030, zh_CN,
// zh_CN.UTF-8, C and en_US.ISO-8859-1, and as the Windows platform reports a console.
TEST(StdoutEncoding, LocaleCharsetsChooseGbkOrUtf8) {
  const std::pair<const char*, StdoutEncoding> cases[] = {
      {"GBK", StdoutEncoding::kGbk},         {"GB18030", StdoutEncoding::kGbk},
      {"GB2312", StdoutEncoding::kGbk},      {"cp936", StdoutEncoding::kGbk},
      {"UTF-8", StdoutEncoding::kUtf8},      {"ANSI_X3.4-1968", StdoutEncoding::kUtf8},
      {"ISO-8859-1", StdoutEncoding::kUtf8}, {"", StdoutEncoding::kUtf8},
      {"GBK2", StdoutEncoding::kUtf8},       {"BIG5", StdoutEncoding::kUtf8},
  };
  for (const auto& [charset, encoding] : cases) {
    EXPECT_EQ(EncodingForCharset(charset), encoding) << charset;
  }
}

TEST(ToLocalText, WritesTheTextAndCountsItsNul) {
  char buffer[16];
  std::memset(buffer, '#', sizeof buffer);
  ASSERT_EQ(ToLocalText("\xE4\xB8\xAD\xE6\x96\x87", buffer, sizeof buffer), 5);
  EXPECT_EQ(std::string(buffer, 6), std::string("\xD6\xD0\xCE\xC4\0#", 6));
  EXPECT_EQ(ToLocalText("A\xE2\x82\xAC", buffer, sizeof buffer), 3);
  EXPECT_STREQ(buffer, "A\x80");
  EXPECT_EQ(ToLocalText("", buffer, sizeof buffer), 1);
  EXPECT_EQ(buffer[0], '\0');
  EXPECT_EQ(ToLocalText("\xE4\xB8\xAD", buffer, 3), 3);  // exactly fits
}

TEST(ToLocalText, FailuresLeaveTheBufferAlone) {
  const std::pair<const char*, size_t> cases[] = {
      {nullptr, 16},
      {"\xE4\xB8\xAD\xE6\x96\x87", 4},  // five bytes needed
      {"\xE4\xB8\xAD", 2},
      {"A", 1},
      {"\xE0\xB8\x81", 16},      // no GBK code
      {"\xF0\x9F\x98\x80", 16},  // beyond the basic plane: a surrogate pair, no GBK code
      {"\xC0\x80", 16},          // overlong
      {"\x80", 16},              // stray continuation byte
      {"\xE4\xB8", 16},          // cut short
      {"\xED\xA0\x80", 16},      // an encoded surrogate
      {"\xE4\x41\x41", 16},      // not continuation bytes
  };
  for (const auto& [text, size] : cases) {
    char buffer[16];
    std::memset(buffer, '#', sizeof buffer);
    EXPECT_EQ(ToLocalText(text, buffer, size), 0) << (text ? text : "(null)");
    EXPECT_EQ(std::string(buffer, sizeof buffer), std::string(16, '#')) << (text ? text : "(null)");
  }
  char one = '#';
  EXPECT_EQ(ToLocalText("A", nullptr, 4), 0);
  EXPECT_EQ(ToLocalText("A", &one, 0), 0);
  EXPECT_EQ(one, '#');
}

TEST(ToLocalText, AtMost1024Utf16UnitsWithTheNul) {
  std::vector<char> big(4096);
  EXPECT_EQ(ToLocalText(std::string(1023, 'A').c_str(), big.data(), big.size()), 1024);
  EXPECT_EQ(ToLocalText(std::string(1024, 'A').c_str(), big.data(), big.size()), 0);

  std::string wide;
  for (int i = 0; i < 1023; ++i) wide += "\xE4\xB8\xAD";
  ASSERT_EQ(ToLocalText(wide.c_str(), big.data(), big.size()), 2047);
  std::string expected;
  for (int i = 0; i < 1023; ++i) expected += "\xD6\xD0";
  EXPECT_EQ(std::string(big.data(), 2046), expected);
  wide += "\xE4\xB8\xAD";
  EXPECT_EQ(ToLocalText(wide.c_str(), big.data(), big.size()), 0);
}

}  // namespace
}  // namespace fw
