// The read-only file view under fenwright-dbfdiff, fenwright-dbfdump and the watch reader: it must
// read the forms the legacy files really hold, and refuse every image that is not a whole DBF
// without reading a byte outside it. Images are built by hand (dbf_images.h).
#include "dbf/dbf_image_view.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "tests/tools/dbf_images.h"

namespace fw::dbf {
namespace {

using test::Image;
using test::kImageHeader;
using test::kImageRecord;
using test::Row;

std::string Sample() {
  return Image({
      Row(' ', "000001", "中国银行", "   10.500", "20260305"),
      // The index file's form: NUL flag, NUL-padded name, NUL in an unwritten number.
      Row('\0', "399001", std::string("AB\0\0\0\0\0\0", 8), std::string(9, '\0'), "       0"),
      Row('*', "000002", "DELETED ", "    1.000", "        "),
  });
}

TEST(DbfImageView, LegacyFormsAreRead) {
  const std::string image = Sample();
  const DbfImageView view(image);
  ASSERT_TRUE(view.Ok()) << view.Error();
  EXPECT_EQ(view.Header().Date(), 20260305u);
  ASSERT_EQ(view.RecordCount(), 3u);
  ASSERT_EQ(view.Fields().size(), 4u);
  EXPECT_EQ(view.Fields()[3].offset, 24u);
  EXPECT_FALSE(view.IsDeleted(0));
  EXPECT_FALSE(view.IsDeleted(1));
  EXPECT_TRUE(view.IsDeleted(2));
  EXPECT_EQ(TextOf(view.Cell(0, 1)), "中国银行");
  EXPECT_EQ(TextOf(view.Cell(1, 1)), "AB");
  EXPECT_EQ(NumberOf(view.Cell(1, 2)).state, CellState::kEmpty);
  EXPECT_EQ(DateOf(view.Cell(1, 3)).state, CellState::kEmpty);
  EXPECT_EQ(DateOf(view.Cell(0, 3)).date, 20260305u);
  EXPECT_EQ(view.FindField("px"), 2);
  EXPECT_EQ(view.FindField("P"), -1);
  EXPECT_TRUE(view.Tail().empty());
}

TEST(DbfImageView, NumericCellsAreReadAsTheLegacyReadersDo) {
  struct Case {
    std::string cell;
    CellState state;
    std::string text;
  };
  const Case cases[] = {
      {"   10.500", CellState::kValue, "10.500"},
      {"  .001000", CellState::kValue, ".001000"},  // a fraction cut to its width
      {"01       ", CellState::kValue, "01"},       // record 0's flag text at the left
      {"   -0.005", CellState::kValue, "-0.005"},
      {std::string("\0\0 7\0", 5), CellState::kValue, "7"},
      {std::string(9, '\0'), CellState::kEmpty, ""},
      {"         ", CellState::kEmpty, ""},
      {"  1 .25", CellState::kMalformed, "1 .25"},  // torn inside the number
      {"    12.", CellState::kMalformed, "12."},
      {"      -", CellState::kMalformed, "-"},
      {"    1e5", CellState::kMalformed, "1e5"},
      {"     +1", CellState::kMalformed, "+1"},
  };
  for (const Case& c : cases) {
    const NumberCell number = NumberOf(c.cell);
    EXPECT_EQ(number.state, c.state) << "[" << c.cell << "]";
    EXPECT_EQ(number.text, c.text) << "[" << c.cell << "]";
  }
}

TEST(DbfImageView, DateCellsAndHeaderDates) {
  struct Case {
    std::string cell;
    CellState state;
    uint32_t date;
  };
  const Case cases[] = {
      {"20260305", CellState::kValue, 20260305}, {"       0", CellState::kEmpty, 0},
      {"        ", CellState::kEmpty, 0},        {std::string(8, '\0'), CellState::kEmpty, 0},
      {"00000000", CellState::kEmpty, 0},        {"20260230", CellState::kMalformed, 0},
      {"20280229", CellState::kValue, 20280229}, {"21000229", CellState::kMalformed, 0},
      {"20000229", CellState::kValue, 20000229}, {"  990101", CellState::kMalformed, 0},
      {"2026O305", CellState::kMalformed, 0},    {"20261301", CellState::kMalformed, 0},
  };
  for (const Case& c : cases) {
    const DateCell date = DateOf(c.cell);
    EXPECT_EQ(date.state, c.state) << "[" << c.cell << "]";
    EXPECT_EQ(date.date, c.date) << "[" << c.cell << "]";
  }

  // The year byte counts from 2000; a day that is not a calendar's has no date.
  struct Header {
    uint8_t year, month, day;
    uint32_t date;
  };
  const Header headers[] = {
      {26, 3, 5, 20260305},  {126, 3, 5, 21260305}, {26, 2, 29, 0},
      {28, 2, 29, 20280229}, {26, 13, 1, 0},        {26, 0, 0, 0},
  };
  for (const Header& h : headers) {
    const std::string image = Image({}, h.year, h.month, h.day);
    const DbfImageView view(image);
    ASSERT_TRUE(view.Ok()) << view.Error();
    EXPECT_EQ(view.Header().Date(), h.date) << int{h.year} << "/" << int{h.month};
  }
}

TEST(DbfImageView, WhatIsNotAWholeDbfIsRefusedWithItsReason) {
  struct Damage {
    const char* name;
    std::function<void(std::string&)> apply;
    const char* error;
  };
  const Damage damages[] = {
      {"a CSV file", [](std::string& b) { b = "Date,Code,Price\r\n2026-03-05,000001,10.5\r\n"; },
       "version byte 68"},
      {"shorter than a header", [](std::string& b) { b.resize(20); }, "only 20 bytes"},
      {"another version", [](std::string& b) { b[0] = '\x83'; }, "version byte 131"},
      {"header length without a field", [](std::string& b) { b[8] = 40; }, "header length 40"},
      {"header length past the end", [](std::string& b) { b[8] = b[9] = '\xFF'; },
       "225 bytes, shorter than the header"},
      {"header cut", [](std::string& b) { b.resize(100); }, "100 bytes, shorter than the header"},
      {"no terminator", [](std::string& b) { b[kImageHeader - 1] = ' '; }, "no header terminator"},
      {"terminator first", [](std::string& b) { b[32] = 0x0D; }, "no fields"},
      {"empty name", [](std::string& b) { b[64] = 0; }, "field name at 64"},
      {"type letter", [](std::string& b) { b[64 + 11] = 'X'; }, "field NAME: type X"},
      {"type byte", [](std::string& b) { b[64 + 11] = 0; }, "field NAME: type byte 0"},
      {"length 0", [](std::string& b) { b[32 + 16] = 0; }, "field CODE: length 0"},
      {"date length", [](std::string& b) { b[128 + 16] = 7; }, "field DT: date of length 7"},
      {"decimals", [](std::string& b) { b[96 + 17] = 9; }, "field PX: decimals 9 of length 9"},
      {"record length", [](std::string& b) { b[10] = 33; }, "record length 33 for fields of 32"},
      {"count beyond the bytes", [](std::string& b) { b[4] = 3; }, "225 bytes for 3 records of 32"},
      {"count of 2^32 - 1", [](std::string& b) { b[4] = b[5] = b[6] = b[7] = '\xFF'; },
       "225 bytes for 4294967295 records of 32"},
  };
  for (const Damage& d : damages) {
    std::string image = Image({Row(' ', "000001", "A       ", "    1.000", "20260305"),
                               Row(' ', "000002", "B       ", "    2.000", "20260305")});
    d.apply(image);
    const DbfImageView view(image);
    EXPECT_FALSE(view.Ok()) << d.name;
    EXPECT_EQ(view.Error(), d.error) << d.name;
    EXPECT_TRUE(view.Fields().empty()) << d.name;
    EXPECT_EQ(view.RecordCount(), 0u) << d.name;
  }
}

// Whatever a view accepts lies inside the bytes it was given.
void ExpectInside(const DbfImageView& view, const char* begin, size_t size, const std::string& at) {
  if (!view.Ok()) {
    EXPECT_FALSE(view.Error().empty()) << at;
    return;
  }
  const auto inside = [&](std::string_view part) {
    return part.data() >= begin && part.data() + part.size() <= begin + size;
  };
  uint32_t length = 1;
  for (const DbfField& f : view.Fields()) length += f.length;
  ASSERT_EQ(length, view.Header().recordLength) << at;
  EXPECT_TRUE(inside(view.Descriptors()) && inside(view.HeaderPadding()) && inside(view.Tail()))
      << at;
  for (uint32_t i = 0; i < view.RecordCount(); ++i) {
    ASSERT_TRUE(inside(view.Record(i))) << at << " record " << i;
    for (size_t f = 0; f < view.Fields().size(); ++f) {
      ASSERT_TRUE(inside(view.Cell(i, f))) << at << " record " << i << " field " << f;
    }
  }
}

// Each cut image lives in a buffer of exactly its size, so that a read past it is a read past
// the allocation (reported by the sanitizer builds).
TEST(DbfImageView, EveryTruncationIsRefused) {
  const std::string whole = Sample();
  for (size_t n = 0; n < whole.size(); ++n) {
    const auto bytes = std::make_unique<char[]>(n + 1);
    std::memcpy(bytes.get(), whole.data(), n);
    const DbfImageView view(std::string_view(bytes.get(), n));
    EXPECT_FALSE(view.Ok()) << n << " bytes";
    ExpectInside(view, bytes.get(), n, std::to_string(n) + " bytes");
  }
}

TEST(DbfImageView, EveryHeaderByteCorruptedStaysInside) {
  const std::string whole = Sample();
  for (size_t at = 0; at < kImageHeader; ++at) {
    for (const char value : {'\0', '\x01', '\x0D', ' ', '\x7F', '\xFF'}) {
      const auto bytes = std::make_unique<char[]>(whole.size());
      std::memcpy(bytes.get(), whole.data(), whole.size());
      bytes[at] = value;
      const DbfImageView view(std::string_view(bytes.get(), whole.size()));
      ExpectInside(view, bytes.get(), whole.size(),
                   "byte " + std::to_string(at) + " = " + std::to_string(value));
    }
  }
  // A sound image with a longer old file behind it: the tail is kept apart.
  const std::string longer = whole + std::string(kImageRecord + 1, 'x');
  const DbfImageView view(longer);
  ASSERT_TRUE(view.Ok()) << view.Error();
  EXPECT_EQ(view.Tail().size(), kImageRecord + 1);
}

}  // namespace
}  // namespace fw::dbf
