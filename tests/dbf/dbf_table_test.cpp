// DbfTable: the file layout byte for byte, every setter's overflow rule, record bounds, growth
// beyond the usual room, and every failure of the rewrite.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "dbf/dbf_table.h"
#include "foundation/error_code.h"
#include "foundation/platform/platform.h"
#include "tests/support/test_support.h"

namespace fw::dbf {
namespace {

// Record: flag(1) CODE(6) PRICE(9) VOLUME(12) RATIO(7) FRACT(7) DAY(8) = 50 bytes; header 6 * 32
// + 33.
constexpr FieldSpec kFields[] = {
    {"CODE", 'C', 6, 0},  {"PRICE", 'N', 9, 3}, {"VOLUME", 'N', 12, 0},
    {"RATIO", 'N', 7, 2}, {"FRACT", 'N', 7, 6}, {"DAY", 'D', 8, 0},
};
static_assert(RecordLengthOf(kFields) == 50);
static_assert(FieldIndexOf(kFields, "VOLUME") == 2);
static_assert(FieldIndexOf(kFields, "volume") == -1);
constexpr uint16_t kCode = 0, kPrice = 1, kVolume = 2, kRatio = 3, kFract = 4, kDay = 5;
constexpr size_t kHeader = 225;
constexpr size_t kRecord = 50;

uint32_t Le32(const std::string& bytes, size_t at) {
  uint32_t v = 0;
  for (int i = 3; i >= 0; --i)
    v = (v << 8) | static_cast<uint8_t>(bytes[at + static_cast<size_t>(i)]);
  return v;
}
uint16_t Le16(const std::string& bytes, size_t at) {
  return static_cast<uint16_t>(static_cast<uint8_t>(bytes[at]) |
                               (static_cast<uint8_t>(bytes[at + 1]) << 8));
}

class DbfTableTest : public ::testing::Test {
 protected:
  void TearDown() override { platform::SetFileFaultHook(nullptr); }

  // Opens the table at a fresh path with `records` records.
  void OpenWith(uint32_t records) {
    ASSERT_EQ(table_.Open(path_), 1);
    ASSERT_EQ(table_.SetRecordCount(records), 1);
  }
  std::string FileBytes() const { return test::ReadFileBytes(path_); }
  // Field `field` of record `record` as the file holds it.
  std::string FieldOf(const std::string& file, uint32_t record, size_t offset,
                      size_t length) const {
    return file.substr(kHeader + record * kRecord + offset, length);
  }
  // Writes a value into PRICE of record 0 and returns that field after a flush.
  std::string PriceAfter(int32_t expectedResult, double value, bool zeroOnOverflow = false) {
    OpenWith(1);
    EXPECT_EQ(table_.GoToRecord(0), 1);
    EXPECT_EQ(table_.SetDoubleField(kPrice, value, zeroOnOverflow), expectedResult) << value;
    EXPECT_EQ(table_.Flush(), 1);
    return FieldOf(FileBytes(), 0, 7, 9);
  }

  test::TempDir dir_;
  std::string path_ = dir_.File("TABLE.DBF");
  test::FakeClock clock_{20260305, 143005};
  DbfTable table_{kFields};
};

TEST_F(DbfTableTest, HeaderAndDescriptorsAreWrittenByteForByte) {
  OpenWith(2);
  ASSERT_EQ(table_.Flush(), 1);
  const std::string file = FileBytes();
  ASSERT_EQ(file.size(), kHeader + 2 * kRecord);
  EXPECT_EQ(file[0], 3);
  EXPECT_EQ(file[1], 26);  // 2026 + 48 = 2074, mod 256
  EXPECT_EQ(file[2], 3);
  EXPECT_EQ(file[3], 5);
  EXPECT_EQ(Le32(file, 4), 2u);
  EXPECT_EQ(Le16(file, 8), kHeader);
  EXPECT_EQ(Le16(file, 10), kRecord);
  EXPECT_EQ(file.substr(12, 20), std::string(20, '\0'));

  // PRICE: name NUL-padded to 11, 'N', offset 7 (1 + 6), length 9, 3 decimals, 14 zero bytes.
  const std::string price = file.substr(32 + 32, 32);
  EXPECT_EQ(price.substr(0, 11), std::string("PRICE\0\0\0\0\0\0", 11));
  EXPECT_EQ(price[11], 'N');
  EXPECT_EQ(Le32(price, 12), 7u);
  EXPECT_EQ(price[16], 9);
  EXPECT_EQ(price[17], 3);
  EXPECT_EQ(price.substr(18), std::string(14, '\0'));
  // The offsets run 1, 7, 16, 28, 35, 42.
  const uint32_t offsets[] = {1, 7, 16, 28, 35, 42};
  for (size_t i = 0; i < 6; ++i) EXPECT_EQ(Le32(file, 32 + 32 * i + 12), offsets[i]) << i;
  EXPECT_EQ(file[32 + 32 * 5 + 11], 'D');
  EXPECT_EQ(file[kHeader - 1], 0x0D);
  EXPECT_NE(file.back(), 0x1A);
}

TEST_F(DbfTableTest, ThirtyFiveFieldsGiveHeaderLength1153) {
  static const char* const kNames[] = {"A0", "A1", "A2", "A3", "A4", "A5", "A6", "A7", "A8",
                                       "A9", "B0", "B1", "B2", "B3", "B4", "B5", "B6", "B7",
                                       "B8", "B9", "C0", "C1", "C2", "C3", "C4", "C5", "C6",
                                       "C7", "C8", "C9", "D0", "D1", "D2", "D3", "D4"};
  std::array<FieldSpec, 35> fields{};
  for (size_t i = 0; i < fields.size(); ++i) fields[i] = {kNames[i], 'N', 9, 3};
  DbfTable wide(fields);
  ASSERT_EQ(wide.Open(path_), 1);
  ASSERT_EQ(wide.SetRecordCount(1), 1);
  ASSERT_EQ(wide.Flush(), 1);
  const std::string file = FileBytes();
  EXPECT_EQ(Le16(file, 8), 1153);
  EXPECT_EQ(Le16(file, 10), 1 + 35 * 9);
  EXPECT_EQ(file[1152], 0x0D);
  EXPECT_EQ(file.size(), 1153u + 316u);
}

// The date of the flush, not of the open: a cycle that runs over midnight stamps the new day.
TEST_F(DbfTableTest, YearByteIsTheYearPlus48Modulo256) {
  const struct {
    uint32_t date;
    int byte;
  } cases[] = {{20000101, 0}, {19991231, 255}, {20261231, 26}, {22551231, 255}, {22560101, 0}};
  for (const auto& c : cases) {
    clock_.Set(20260305, 235959);
    OpenWith(1);
    clock_.Set(c.date, 120000);
    ASSERT_EQ(table_.Flush(), 1);
    const std::string file = FileBytes();
    EXPECT_EQ(static_cast<uint8_t>(file[1]), c.byte) << c.date;
    EXPECT_EQ(file[2], static_cast<char>(c.date / 100 % 100));
    EXPECT_EQ(file[3], static_cast<char>(c.date % 100));
  }
}

TEST_F(DbfTableTest, NeverSetRecordIsAllBlanks) {
  OpenWith(3);
  ASSERT_EQ(table_.GoToRecord(1), 1);
  ASSERT_EQ(table_.SetCharField(kCode, "0001\0\0", 6), 1);
  ASSERT_EQ(table_.Flush(), 1);
  const std::string file = FileBytes();
  EXPECT_EQ(file.substr(kHeader, kRecord), std::string(kRecord, ' '));
  EXPECT_EQ(file.substr(kHeader + 2 * kRecord, kRecord), std::string(kRecord, ' '));
  // The zero bytes the caller passed become blanks too: a short text is blank-padded.
  EXPECT_EQ(file.substr(kHeader + kRecord, 8), " 0001   ");
}

TEST_F(DbfTableTest, KeptNulBytesStayZero) {
  OpenWith(2);
  ASSERT_EQ(table_.GoToRecord(0), 1);
  ASSERT_EQ(table_.SetCharField(kCode, "AB", 2), 1);
  ASSERT_EQ(table_.Flush(DbfTable::NulBytes::kKeep), 1);
  const std::string file = FileBytes();
  EXPECT_EQ(file.substr(kHeader, 7), std::string("\0AB\0\0\0\0", 7));
  EXPECT_EQ(file.substr(kHeader + kRecord, kRecord), std::string(kRecord, '\0'));
  EXPECT_EQ(file[kHeader - 1], 0x0D);
}

TEST_F(DbfTableTest, AnOldLongerFileIsCut) {
  test::WriteFileBytes(path_, std::string(5000, 'Z'));
  OpenWith(1);
  ASSERT_EQ(table_.Flush(), 1);
  const std::string file = FileBytes();
  ASSERT_EQ(file.size(), kHeader + kRecord);
  EXPECT_EQ(file.find('Z'), std::string::npos);
  EXPECT_EQ(file.substr(kHeader), std::string(kRecord, ' '));  // no 0x1A after the last record
}

TEST_F(DbfTableTest, OpenLeavesTheOldFileAloneUntilFlush) {
  test::WriteFileBytes(path_, "old content");
  ASSERT_EQ(table_.Open(path_), 1);
  EXPECT_TRUE(table_.IsOpen());
  table_.Close();
  EXPECT_EQ(FileBytes(), "old content");
}

TEST_F(DbfTableTest, EveryOpenStartsFromAnEmptyTable) {
  OpenWith(1);
  ASSERT_EQ(table_.SetCharField(kCode, "XXXXXX", 6), 1);
  table_.Close();
  OpenWith(1);
  ASSERT_EQ(table_.Flush(), 1);
  EXPECT_EQ(FieldOf(FileBytes(), 0, 0, kRecord), std::string(kRecord, ' '));
}

TEST_F(DbfTableTest, CharFieldCopiesAtMostTheFieldLength) {
  OpenWith(1);
  ASSERT_EQ(table_.SetCharField(kCode, "ABCDEFGHIJ", 10), 1);
  ASSERT_EQ(table_.SetCharField(kPrice, "xy", 2), 1);  // the rest of the field keeps what it had
  ASSERT_EQ(table_.Flush(), 1);
  EXPECT_EQ(FieldOf(FileBytes(), 0, 0, 16), " ABCDEFxy       ");
}

TEST_F(DbfTableTest, DoubleFieldRoundsAndRightJustifies) {
  EXPECT_EQ(PriceAfter(1, 123.4567), "  123.457");
  EXPECT_EQ(PriceAfter(1, -10.0), "  -10.000");
  EXPECT_EQ(PriceAfter(1, 0.0), "    0.000");
  EXPECT_EQ(PriceAfter(1, 99999.999), "99999.999");
}

TEST_F(DbfTableTest, DoubleOverflowGivesTheNinesValue) {
  EXPECT_EQ(PriceAfter(1, 1234567.0), "99999.999");
  EXPECT_EQ(PriceAfter(1, 99999.9995), "99999.999");  // rounds to 100000.000, one too long
  EXPECT_EQ(PriceAfter(1, -100000.0), "99999.999");   // negative values too, as the readers expect
  EXPECT_EQ(PriceAfter(1, std::numeric_limits<double>::infinity()), "99999.999");
  EXPECT_EQ(PriceAfter(1, 1e300), "99999.999");
}

TEST_F(DbfTableTest, ZeroOnOverflowWritesSevenCharacters) {
  OpenWith(1);
  ASSERT_EQ(table_.SetDoubleField(kRatio, 12345.678, true), 1);
  ASSERT_EQ(table_.Flush(), 1);
  EXPECT_EQ(FieldOf(FileBytes(), 0, 28, 7), "   0.00");
  OpenWith(1);
  ASSERT_EQ(table_.SetDoubleField(kRatio, std::numeric_limits<double>::quiet_NaN(), true), 1);
  ASSERT_EQ(table_.SetDoubleField(kPrice, 1234.5, true), 1);  // fits: written as usual
  ASSERT_EQ(table_.Flush(), 1);
  EXPECT_EQ(FieldOf(FileBytes(), 0, 28, 7), "   0.00");
  EXPECT_EQ(FieldOf(FileBytes(), 0, 7, 9), " 1234.500");
}

TEST_F(DbfTableTest, NinesValueOnlyForTwoOrThreeDecimals) {
  OpenWith(1);
  ASSERT_EQ(table_.SetDoubleField(kRatio, 12345.678), 1);  // 7.2: four integer digits
  ASSERT_EQ(table_.SetDoubleField(kFract, 1.5), -2);       // "1.500000" is one too long
  ASSERT_EQ(table_.SetDoubleField(kFract, 12.0), -2);      // 7.6 has no nines value
  ASSERT_EQ(table_.SetDoubleField(kVolume, 1e13), -2);     // 12.0 neither
  ASSERT_EQ(table_.Flush(), 1);
  const std::string file = FileBytes();
  EXPECT_EQ(FieldOf(file, 0, 28, 7), "9999.99");
  EXPECT_EQ(FieldOf(file, 0, 35, 7), "       ");  // both 7.6 values left it as it was
  EXPECT_EQ(FieldOf(file, 0, 16, 12), std::string(12, ' '));
}

TEST_F(DbfTableTest, ScaledFieldsFollowTheDoubleRules) {
  const struct {
    uint16_t field;
    int64_t value;
    double unit;
    bool zeroOnOverflow;
    int32_t result;
    size_t offset;
    const char* shown;
  } cases[] = {
      {kPrice, 12340, 0.001, false, 1, 7, "   12.340"},
      {kPrice, -25, 0.001, false, 1, 7, "   -0.025"},
      {kPrice, 123456789, 0.001, false, 1, 7, "99999.999"},         // nines, exact path
      {kPrice, 1000000000000000, 0.001, false, 1, 7, "99999.999"},  // nines, double path
      {kPrice, 1234567, 0.0001, false, 1, 7, "  123.457"},  // another unit: the product rounds
      {kRatio, 1234567, 0.01, true, 1, 28, "   0.00"},
      {kRatio, 56789, 0.0001, true, 1, 28, "   5.68"},
      {kRatio, 123456, 0.01, false, 1, 28, "1234.56"},
      {kVolume, 77, 1.0, false, 1, 16, "          77"},
      {kVolume, 1234567890123, 1.0, false, -2, 16, "            "},  // 12.0 has no nines value
      {kFract, 15, 0.0001, false, -2, 35, "       "},  // "0.001500": 7.6 has no nines value
  };
  for (const auto& c : cases) {
    OpenWith(1);
    EXPECT_EQ(table_.SetScaledField(c.field, c.value, c.unit, c.zeroOnOverflow), c.result)
        << c.value;
    ASSERT_EQ(table_.Flush(), 1);
    EXPECT_EQ(FieldOf(FileBytes(), 0, c.offset, std::string(c.shown).size()), c.shown) << c.value;
  }
  EXPECT_EQ(table_.SetScaledField(6, 1, 0.001), -1);
}

TEST_F(DbfTableTest, OnlyNulBytesBecomeBlanks) {
  // Every alignment of a NUL among bytes that look like it to a careless test (0x01, 0x80, 0xFF).
  OpenWith(2);
  const char bytes[] = {'\x01', '\0',   '\x80', '\xFF', '\0',   '\0', '\x81', 'A',
                        '\0',   '\x7F', '\x20', '\0',   '\x10', '\0', '\x02'};
  for (uint32_t record = 0; record < 2; ++record) {
    ASSERT_EQ(table_.GoToRecord(record), 1);
    ASSERT_EQ(table_.SetCharField(kCode, bytes + record, 6), 1);
    ASSERT_EQ(table_.SetCharField(kPrice, bytes + 5 + record, 9), 1);
  }
  ASSERT_EQ(table_.Flush(), 1);
  const std::string file = FileBytes();
  // Flag, CODE 01 _ 80 FF _ _, PRICE _ 81 41 _ 7F _ _ 10 _ (a NUL shown as _).
  EXPECT_EQ(FieldOf(file, 0, 0, 16), std::string(" \x01 \x80\xFF   \x81") + "A \x7F  \x10 ");
  // Flag, CODE _ 80 FF _ _ 81, PRICE 81 41 _ 7F _ _ 10 _ 02: character fields keep every byte.
  EXPECT_EQ(FieldOf(file, 1, 0, 16), std::string("  \x80\xFF  \x81\x81") + "A \x7F  \x10 \x02");
}

TEST_F(DbfTableTest, GbkTextLosesALeadByteWithoutItsTrailByte) {
  const struct {
    std::string bytes;  // copied into the 6-byte CODE field
    std::string shown;  // the field in the file
  } cases[] = {
      {"*ST\xD6\xD0\xB9\xFA", "*ST\xD6\xD0 "},                // cut by the width
      {"\xD6\xD0\xB9\xFAXY", "\xD6\xD0\xB9\xFAXY"},           // whole characters fit
      {std::string("XY\xD6\0\0\0", 6), "XY    "},             // the name ends before its zeros
      {"X\xD6\x7FXYZ", "X \x7FXYZ"},                          // 0x7F is no trail byte
      {"X\xD6\xFFXYZ", "X \xFFXYZ"},                          // nor is 0xFF
      {"\xD6\x40\x81\xFE\x80\xD6", "\xD6\x40\x81\xFE\x80 "},  // 0x40, 0xFE are; 0x80 alone
      {"\xD6\xD6\xD6", "\xD6\xD6    "},                       // a lead byte is a trail byte too
  };
  OpenWith(1);
  for (const auto& c : cases) {
    ASSERT_EQ(table_.SetTextField(kCode, c.bytes.data(), c.bytes.size()), 1);
    ASSERT_EQ(table_.Flush(), 1);
    EXPECT_EQ(FieldOf(FileBytes(), 0, 1, 6), c.shown) << c.bytes;
    // The same bytes as they are, for fields that are no GBK text.
    ASSERT_EQ(table_.SetCharField(kCode, "      ", 6), 1);
    ASSERT_EQ(table_.SetCharField(kCode, c.bytes.data(), c.bytes.size()), 1);
    ASSERT_EQ(table_.Flush(), 1);
    std::string raw = c.bytes.substr(0, 6);
    std::replace(raw.begin(), raw.end(), '\0', ' ');
    EXPECT_EQ(FieldOf(FileBytes(), 0, 1, 6).substr(0, raw.size()), raw) << c.bytes;
    ASSERT_EQ(table_.SetCharField(kCode, "      ", 6), 1);
  }
  EXPECT_EQ(table_.SetTextField(kDay + 1, "A", 1), -1);
}

TEST_F(DbfTableTest, IntegerFieldNeedsAnExactFit) {
  OpenWith(1);
  EXPECT_EQ(table_.SetInt64Field(kVolume, 999999999999), 1);
  EXPECT_EQ(table_.SetInt64Field(kVolume, 1234567890123), -2);
  EXPECT_EQ(table_.SetInt64Field(kVolume, -99999999999), 1);
  EXPECT_EQ(table_.SetInt64Field(kVolume, -999999999999), -2);
  EXPECT_EQ(table_.SetIntField(kPrice, -12345678), 1);
  EXPECT_EQ(table_.SetIntField(kPrice, std::numeric_limits<int32_t>::min()), -2);
  ASSERT_EQ(table_.Flush(), 1);
  EXPECT_EQ(FieldOf(FileBytes(), 0, 7, 21), "-12345678-99999999999");
}

TEST_F(DbfTableTest, TrimmedDoubleDropsOnlyLeadingZeros) {
  const struct {
    double value;
    int32_t result;
    const char* field;
  } cases[] = {
      {0.0015, 1, ".001500"},  // "0.001500"
      {0.25, 1, ".250000"},
      {0.0000004, 1, ".000000"},
      {-0.0, 1, ".000000"},   // "-0.000000": the value shows as zero
      {12.5, -2, "       "},  // "12.500000" would read as .500000
      {-0.5, -2, "       "},  // the sign would be lost
      {std::numeric_limits<double>::quiet_NaN(), -2, "       "},
  };
  for (const auto& c : cases) {
    OpenWith(1);
    EXPECT_EQ(table_.SetTrimmedDoubleField(kFract, c.value), c.result) << c.value;
    ASSERT_EQ(table_.Flush(), 1);
    EXPECT_EQ(FieldOf(FileBytes(), 0, 35, 7), c.field) << c.value;
  }
  OpenWith(1);
  EXPECT_EQ(table_.SetTrimmedDoubleField(kPrice, 1.5), 1);  // fits: as SetDoubleField
  ASSERT_EQ(table_.Flush(), 1);
  EXPECT_EQ(FieldOf(FileBytes(), 0, 7, 9), "    1.500");
}

TEST_F(DbfTableTest, FindFieldMatchesWholeNamesWithoutCase) {
  EXPECT_EQ(table_.FindField("code"), -2);  // no descriptors before Open
  OpenWith(1);
  EXPECT_EQ(table_.FindField("code"), kCode);
  EXPECT_EQ(table_.FindField("Volume"), kVolume);
  EXPECT_EQ(table_.FindField("DAY"), kDay);
  EXPECT_EQ(table_.FindField("PRIC"), -3);
  EXPECT_EQ(table_.FindField("PRICES"), -3);
  EXPECT_EQ(table_.FindField(""), -3);
  EXPECT_EQ(table_.FindField("AVERYLONGNAMEINDEED"), -3);
  DbfTable empty{std::span<const FieldSpec>{}};
  EXPECT_EQ(empty.FindField("CODE"), -1);
}

TEST_F(DbfTableTest, ByNameSettersBehaveAsByIndex) {
  EXPECT_EQ(table_.SetDoubleField("price", 1.0), -2);  // no image
  OpenWith(1);
  EXPECT_EQ(table_.SetCharField("code", "000001", 6), 1);
  EXPECT_EQ(table_.SetDoubleField("PRICE", 12.3456), 1);
  EXPECT_EQ(table_.SetInt64Field("volume", 1234567890123), -2);
  EXPECT_EQ(table_.SetIntField("volume", 77), 1);
  EXPECT_EQ(table_.SetDoubleField("ratio", 1e9, true), 1);
  EXPECT_EQ(table_.SetDoubleField("nosuch", 1.0), -1);
  EXPECT_EQ(table_.SetIntField("nosuch", 1), -1);
  EXPECT_EQ(table_.SetCharField("nosuch", "x", 1), -1);
  ASSERT_EQ(table_.Flush(), 1);
  EXPECT_EQ(FieldOf(FileBytes(), 0, 0, 35), " 000001   12.346          77   0.00");
}

TEST_F(DbfTableTest, RecordBoundsAreChecked) {
  EXPECT_EQ(table_.GoToRecord(0), -1);  // closed: no records
  EXPECT_EQ(table_.SetCharField(kCode, "x", 1), -1);
  EXPECT_EQ(table_.SetInt64Field(kVolume, 1), -1);
  EXPECT_EQ(table_.SetDoubleField(kPrice, 1.0), -1);
  EXPECT_EQ(table_.SetTrimmedDoubleField(kFract, 0.5), -1);
  EXPECT_EQ(table_.SetRecordCount(1), -3);
  OpenWith(2);
  EXPECT_EQ(table_.GoToRecord(1), 1);
  EXPECT_EQ(table_.GoToRecord(2), -1);
  EXPECT_EQ(table_.SetCharField(6, "x", 1), -1);  // one past the last field
  EXPECT_EQ(table_.SetCharField(kCode, nullptr, 3), -1);
}

TEST_F(DbfTableTest, RecordCountAboveTheRoomGrowsTheImage) {
  OpenWith(2);
  ASSERT_EQ(table_.GoToRecord(1), 1);
  ASSERT_EQ(table_.SetCharField(kCode, "FIRST1", 6), 1);
  const uint32_t count = DbfTable::kRecordCapacity + 5000;
  ASSERT_EQ(table_.SetRecordCount(count), 1);
  EXPECT_GE(table_.RecordCapacity(), count);
  ASSERT_EQ(table_.GoToRecord(count - 1), 1);
  ASSERT_EQ(table_.SetCharField(kCode, "LAST99", 6), 1);
  EXPECT_EQ(table_.GoToRecord(count), -1);
  ASSERT_EQ(table_.Flush(), 1);
  const std::string file = FileBytes();
  ASSERT_EQ(file.size(), kHeader + count * kRecord);
  EXPECT_EQ(Le32(file, 4), count);
  EXPECT_EQ(FieldOf(file, 1, 0, 7), " FIRST1");
  EXPECT_EQ(FieldOf(file, count - 1, 0, 7), " LAST99");
  EXPECT_EQ(FieldOf(file, count - 2, 0, kRecord), std::string(kRecord, ' '));
}

TEST_F(DbfTableTest, ACountBeyondTwoGigabytesIsRefused) {
  OpenWith(1);
  EXPECT_EQ(table_.SetRecordCount(std::numeric_limits<uint32_t>::max()), kErrBadArgument);
  EXPECT_EQ(table_.RecordCount(), 1u);
}

TEST_F(DbfTableTest, NothingToWriteIsRefused) {
  EXPECT_EQ(table_.Flush(), -1);
  OpenWith(0);
  EXPECT_EQ(table_.Flush(), -1);
}

TEST_F(DbfTableTest, DefaultRecordCountIsTheRoom) {
  ASSERT_EQ(table_.Open(path_), 1);
  EXPECT_EQ(table_.RecordCount(), DbfTable::kRecordCapacity);
  EXPECT_EQ(table_.HeaderLength(), kHeader);
  EXPECT_EQ(table_.RecordLength(), kRecord);
}

TEST_F(DbfTableTest, EachFailingStepOfTheRewriteHasItsCode) {
  const struct {
    platform::FileOp op;
    int32_t fault;
    int32_t result;
  } cases[] = {
      {platform::FileOp::kSeek, kErrFileShortWrite, -2},
      {platform::FileOp::kWrite, SystemErrorCode(28), -3},
      {platform::FileOp::kWrite, 100, -3},  // a short write
      {platform::FileOp::kSetEnd, SystemErrorCode(5), -4},
      {platform::FileOp::kFlush, SystemErrorCode(5), -5},
  };
  for (const auto& c : cases) {
    OpenWith(1);
    const platform::FileOp failing = c.op;
    const int32_t fault = c.fault;
    platform::SetFileFaultHook([failing, fault](platform::FileOp op, const std::string&, uint32_t) {
      return op == failing ? fault : 0;
    });
    EXPECT_EQ(table_.Flush(), c.result) << static_cast<int>(c.op);
    platform::SetFileFaultHook(nullptr);
    table_.Close();
  }
}

TEST_F(DbfTableTest, OpenReportsTheFileLayersCode) {
  platform::SetFileFaultHook([](platform::FileOp op, const std::string&, uint32_t) {
    return op == platform::FileOp::kOpen || op == platform::FileOp::kCreate ? SystemErrorCode(13)
                                                                            : 0;
  });
  EXPECT_EQ(table_.Open(path_), SystemErrorCode(13));
  EXPECT_FALSE(table_.IsOpen());
  EXPECT_FALSE(table_.HasImage());
  platform::SetFileFaultHook(nullptr);
  EXPECT_LT(table_.Open(dir_.File("no-such-folder/TABLE.DBF")), 0);
  EXPECT_EQ(table_.Flush(), -1);
}

TEST_F(DbfTableTest, OpenCreatesAMissingFile) {
  EXPECT_FALSE(platform::FileExists(path_));
  OpenWith(1);
  EXPECT_TRUE(platform::FileExists(path_));
  ASSERT_EQ(table_.Flush(), 1);
  EXPECT_EQ(FileBytes().size(), kHeader + kRecord);
}

TEST_F(DbfTableTest, AbortAndCloseLeaveNoImage) {
  OpenWith(1);
  EXPECT_EQ(table_.Abort(), 1);
  EXPECT_FALSE(table_.IsOpen());
  EXPECT_FALSE(table_.HasImage());
  EXPECT_EQ(table_.Path(), "");
  EXPECT_EQ(table_.Close(), 1);
}

#ifdef __GLIBC__

// The bytes a GBK text field keeps: each byte is read from the left as GBK; a lead byte
// (0x81..0xFE) pairs with the next byte when that is a trail byte (0x40..0xFE without 0x7F) and is
// dropped (NUL) otherwise.
std::string AsGbkText(std::string bytes) {
  const auto trail = [](unsigned char c) { return c >= 0x40 && c != 0x7F && c != 0xFF; };
  size_t i = 0;
  while (i < bytes.size()) {
    const auto c = static_cast<unsigned char>(bytes[i]);
    if (c < 0x81 || c == 0xFF) {
      i += 1;
    } else if (i + 1 < bytes.size() && trail(static_cast<unsigned char>(bytes[i + 1]))) {
      i += 2;
    } else {
      bytes[i++] = '\0';
    }
  }
  return bytes;
}

// A seeded run of random setter calls against a model that formats with glibc's printf and applies
// the overflow rules as the file format states them; the written file must equal the model.
class RecordModel {
 public:
  explicit RecordModel(uint32_t count) { Resize(count); }
  void Resize(uint32_t count) { records_.resize(count, std::string(kRecord, '\0')); }
  uint32_t Count() const { return static_cast<uint32_t>(records_.size()); }
  // Expected result of a numeric setter given printf's text; updates the current field.
  int32_t Number(uint32_t record, size_t offset, size_t length, unsigned decimals,
                 const std::string& text, bool zeroOnOverflow) {
    std::string& r = records_[record];
    if (text.size() == length) {
      r.replace(offset, length, text);
      return 1;
    }
    if (zeroOnOverflow) {
      r.replace(offset, std::min<size_t>(length, 7),
                std::string("   0.00").substr(0, std::min<size_t>(length, 7)));
      return 1;
    }
    const int integerDigits = static_cast<int>(length) - static_cast<int>(decimals) - 1;
    if ((decimals == 2 || decimals == 3) && integerDigits >= 2 && integerDigits <= 12) {
      r.replace(
          offset, length,
          std::string(static_cast<size_t>(integerDigits), '9') + "." + std::string(decimals, '9'));
      return 1;
    }
    return -2;
  }
  void Bytes(uint32_t record, size_t offset, const std::string& bytes) {
    records_[record].replace(offset, bytes.size(), bytes);
  }
  // The records as Flush writes them.
  std::string Written() const {
    std::string all;
    for (const std::string& r : records_) all += r;
    for (char& c : all) {
      if (c == '\0') c = ' ';
    }
    return all;
  }

 private:
  std::vector<std::string> records_;
};

std::string Printf(double value, int width, int decimals) {
  if (!std::isfinite(value)) return std::string(300, '*');  // never fits
  char text[512];
  const int n = std::snprintf(text, sizeof text, "%*.*f", width, decimals, value);
  return std::string(text, static_cast<size_t>(n));
}

TEST_F(DbfTableTest, RandomSetterRunsMatchAPrintfModel) {
  std::mt19937_64 random(20260305);
  const auto magnitude = [&] {
    const double m =
        std::ldexp(static_cast<double>(random() % 1000000), -static_cast<int>(random() % 20));
    const double scaled = m * std::pow(10.0, static_cast<int>(random() % 14) - 4);
    return random() % 2 ? -scaled : scaled;
  };
  for (int run = 0; run < 20; ++run) {
    uint32_t count = 1 + static_cast<uint32_t>(random() % 50);
    OpenWith(count);
    RecordModel model(count);
    uint32_t current = 0;
    for (int op = 0; op < 400; ++op) {
      switch (random() % 8) {
        case 0: {
          const uint32_t i = static_cast<uint32_t>(random() % (count + 3));
          ASSERT_EQ(table_.GoToRecord(i), i < count ? 1 : -1);
          if (i < count) current = i;
          break;
        }
        case 1: {
          std::string bytes;
          for (size_t n = random() % 11; n > 0; --n)
            bytes += static_cast<char>(random() % 4 == 0 ? 0 : random() % 256);
          if (random() % 2 == 0) {
            ASSERT_EQ(table_.SetCharField(kCode, bytes.data(), bytes.size()), 1);
            model.Bytes(current, 1, bytes.substr(0, 6));
          } else {
            ASSERT_EQ(table_.SetTextField(kCode, bytes.data(), bytes.size()), 1);
            model.Bytes(current, 1, AsGbkText(bytes.substr(0, 6)));
          }
          break;
        }
        case 2: {
          const int64_t v = static_cast<int64_t>(random()) >> (random() % 64);
          char text[64];
          std::snprintf(text, sizeof text, "%12lld", static_cast<long long>(v));
          const int32_t expected = std::strlen(text) == 12 ? 1 : -2;
          if (expected == 1) model.Bytes(current, 16, text);
          ASSERT_EQ(table_.SetInt64Field(kVolume, v), expected) << v;
          break;
        }
        case 3: {
          const double v = magnitude();
          ASSERT_EQ(table_.SetDoubleField(kPrice, v),
                    model.Number(current, 7, 9, 3, Printf(v, 9, 3), false))
              << v;
          break;
        }
        case 4: {
          const double v = magnitude();
          const bool zero = random() % 2 == 0;
          ASSERT_EQ(table_.SetDoubleField(kRatio, v, zero),
                    model.Number(current, 28, 7, 2, Printf(v, 7, 2), zero))
              << v;
          break;
        }
        case 5: {
          const int64_t v = static_cast<int64_t>(random()) >> (random() % 64);
          ASSERT_EQ(
              table_.SetScaledField(kPrice, v, 0.001),
              model.Number(current, 7, 9, 3, Printf(static_cast<double>(v) * 0.001, 9, 3), false))
              << v;
          break;
        }
        case 6: {
          const double v = magnitude();
          ASSERT_EQ(table_.SetDoubleField(kFract, v),
                    model.Number(current, 35, 7, 6, Printf(v, 7, 6), false))
              << v;
          break;
        }
        case 7: {
          if (random() % 8 != 0) break;
          count = 1 + static_cast<uint32_t>(random() % 60);
          ASSERT_EQ(table_.SetRecordCount(count), 1);
          if (count > model.Count()) model.Resize(count);
          break;
        }
      }
    }
    ASSERT_EQ(table_.Flush(), 1);
    std::string expected = model.Written().substr(0, count * kRecord);
    for (uint32_t r = 0; r < count; ++r) expected[r * kRecord] = ' ';
    ASSERT_EQ(FileBytes().substr(kHeader), expected) << "run " << run;
  }
}

#endif  // __GLIBC__

TEST(DbfTableFields, UnusableFieldListsAreRefused) {
  const FieldSpec cases[][1] = {
      {{"", 'C', 1, 0}},  {{"ELEVENCHARS", 'C', 1, 0}}, {{"X", 'X', 1, 0}},     {{"X", 'C', 0, 0}},
      {{"X", 'N', 3, 3}}, {{"X", 'C', 5, 2}},           {{nullptr, 'C', 1, 0}},
  };
  for (const auto& fields : cases) {
    DbfTable table{fields};
    EXPECT_EQ(table.DefineFields(), -1);
    EXPECT_FALSE(table.HasImage());
  }
  std::array<FieldSpec, 300> tooLong{};
  tooLong.fill({"F", 'C', 255, 0});
  DbfTable table{tooLong};
  EXPECT_EQ(table.DefineFields(), -1);  // more fields than a table holds
  DbfTable none{std::span<const FieldSpec>{}};
  EXPECT_EQ(none.DefineFields(), -1);
}

}  // namespace
}  // namespace fw::dbf
