// Small DBF images built byte by byte for the tests of the file view and of the programs that
// compare and show files: fields CODE C 6, NAME C 8, PX N 9.3, DT D 8, so the header is
// 32 + 4 × 32 + 1 = 161 bytes and a record 1 + 6 + 8 + 9 + 8 = 32 bytes.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace fw::test {

constexpr size_t kImageHeader = 161;
constexpr size_t kImageRecord = 32;

inline void PutLittle(std::string& b, uint32_t v, int bytes) {
  for (int i = 0; i < bytes; ++i) b.push_back(static_cast<char>(v >> (8 * i)));
}

inline std::string Descriptor(const std::string& name, char type, uint32_t offset, uint8_t length,
                              uint8_t decimals) {
  std::string d = name;
  d.resize(11, '\0');
  d.push_back(type);
  PutLittle(d, offset, 4);
  d.push_back(static_cast<char>(length));
  d.push_back(static_cast<char>(decimals));
  d.resize(32, '\0');
  return d;
}

// One record: the deletion flag and the four cells, each given at its exact width.
inline std::string Row(char flag, const std::string& code, const std::string& name,
                       const std::string& px, const std::string& dt) {
  EXPECT_EQ(code.size(), 6u) << code;
  EXPECT_EQ(name.size(), 8u) << name;
  EXPECT_EQ(px.size(), 9u) << px;
  EXPECT_EQ(dt.size(), 8u) << dt;
  return std::string(1, flag) + code + name + px + dt;
}

// The image of `records` (each kImageRecord bytes), dated year byte / month / day.
inline std::string Image(const std::vector<std::string>& records, uint8_t year = 26,
                         uint8_t month = 3, uint8_t day = 5) {
  std::string b = {3, static_cast<char>(year), static_cast<char>(month), static_cast<char>(day)};
  PutLittle(b, static_cast<uint32_t>(records.size()), 4);
  PutLittle(b, kImageHeader, 2);
  PutLittle(b, kImageRecord, 2);
  b.resize(32, '\0');
  b += Descriptor("CODE", 'C', 1, 6, 0);
  b += Descriptor("NAME", 'C', 7, 8, 0);
  b += Descriptor("PX", 'N', 15, 9, 3);
  b += Descriptor("DT", 'D', 24, 8, 0);
  b.push_back('\x0D');
  for (const std::string& r : records) b += r;
  return b;
}

}  // namespace fw::test
