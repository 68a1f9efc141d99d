// DBF images built byte by byte for the tests of the readers (the file view, the watch reader) and
// of the programs that compare and show files. The usual layout is CODE C 6, NAME C 8, PX N 9.3,
// DT D 8: a header of 32 + 4 × 32 + 1 = 161 bytes and records of 1 + 6 + 8 + 9 + 8 = 32 bytes.
// Also: ProgramCase, a run of a program's logic with what it must print.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

namespace fw::test {

constexpr size_t kImageHeader = 161;
constexpr size_t kImageRecord = 32;

struct ImageField {
  const char* name;
  char type;
  uint8_t length;
  uint8_t decimals;
};

inline void PutLittle(std::string& b, uint32_t v, int bytes) {
  for (int i = 0; i < bytes; ++i) b.push_back(static_cast<char>(v >> (8 * i)));
}

// The image of `fields` and `records` (each of the record length), dated year byte / month / day.
inline std::string ImageOf(const std::vector<ImageField>& fields,
                           const std::vector<std::string>& records, uint8_t year = 26,
                           uint8_t month = 3, uint8_t day = 5) {
  uint32_t recordLength = 1;
  for (const ImageField& f : fields) recordLength += f.length;
  std::string b = {3, static_cast<char>(year), static_cast<char>(month), static_cast<char>(day)};
  PutLittle(b, static_cast<uint32_t>(records.size()), 4);
  PutLittle(b, static_cast<uint32_t>(32 * fields.size() + 33), 2);
  PutLittle(b, recordLength, 2);
  b.resize(32, '\0');
  uint32_t offset = 1;
  for (const ImageField& f : fields) {
    std::string d = f.name;
    d.resize(11, '\0');
    d.push_back(f.type);
    PutLittle(d, offset, 4);
    d.push_back(static_cast<char>(f.length));
    d.push_back(static_cast<char>(f.decimals));
    d.resize(32, '\0');
    b += d;
    offset += f.length;
  }
  b.push_back('\x0D');
  for (const std::string& r : records) b += r;
  return b;
}

// The usual layout.
inline std::string Image(const std::vector<std::string>& records, uint8_t year = 26,
                         uint8_t month = 3, uint8_t day = 5) {
  return ImageOf({{"CODE", 'C', 6, 0}, {"NAME", 'C', 8, 0}, {"PX", 'N', 9, 3}, {"DT", 'D', 8, 0}},
                 records, year, month, day);
}

// One record of the usual layout: the deletion flag and the four cells, each at its exact width.
inline std::string Row(char flag, const std::string& code, const std::string& name,
                       const std::string& px, const std::string& dt) {
  EXPECT_EQ(code.size(), 6u) << code;
  EXPECT_EQ(name.size(), 8u) << name;
  EXPECT_EQ(px.size(), 9u) << px;
  EXPECT_EQ(dt.size(), 8u) << dt;
  return std::string(1, flag) + code + name + px + dt;
}

// A run of a program's logic: its arguments, its exit status, the start of what it prints on
// standard output (empty: nothing at all) and all it prints on standard error.
struct ProgramCase {
  std::vector<std::string> args;
  int status;
  std::string out;
  std::string err;
};

template <typename Run>
void ExpectRuns(Run run, const std::vector<ProgramCase>& cases) {
  for (const ProgramCase& c : cases) {
    std::ostringstream out;
    std::ostringstream err;
    const std::string what = c.args.empty() ? "(no arguments)" : c.args[0];
    EXPECT_EQ(run(c.args, out, err), c.status) << what;
    const std::string printed = out.str();
    EXPECT_EQ(c.out.empty() ? printed : printed.substr(0, c.out.size()), c.out) << what;
    EXPECT_EQ(err.str(), c.err) << what;
  }
}

}  // namespace fw::test
