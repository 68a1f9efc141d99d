// SJSZS.DBF: golden records with their NUL bytes, four-decimal index values, English names from
// indexinfo without ever creating an indexinfo record, the volume clamp and the kept deletion
// flags.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "dbf/sjszs_file.h"
#include "foundation/error_code.h"
#include "tests/dbf/record_builders.h"
#include "tests/support/test_support.h"

namespace fw::dbf {
namespace {

using market::IndexQuoteRecord;
using test::IndexQuote;
using test::Nul;

constexpr size_t kHeaderLength = 353;
constexpr size_t kRecordLength = 123;
constexpr size_t kZSSSZS = 39, kZSCJSL = 94;  // offsets within the record

class SjszsTest : public ::testing::Test {
 protected:
  std::string Cycle(const std::vector<IndexQuoteRecord>& indexes, uint32_t estimate,
                    bool lostHighVol = false) {
    SZSjszsFile file(lostHighVol);
    EXPECT_EQ(file.Open(path_), 1);
    EXPECT_EQ(file.BeginRows(clock_, estimate), 1);
    EXPECT_EQ(file.WriteIndexRows(indexes, tables_.indexInfo), 1);
    EXPECT_EQ(file.Flush(), 1);
    file.Close();
    return ::fw::test::ReadFileBytes(path_);
  }
  std::string Record(const std::string& file, size_t i) const {
    return test::RecordBytes(file, kHeaderLength, kRecordLength, i);
  }
  void AddIndexInfo(const char* code, const char* englishName) {
    refdata::IndexInfoRecord* info = test::AddReference(tables_.indexInfo, code);
    std::memcpy(info->EnglishName, englishName, std::strlen(englishName));
  }

  ::fw::test::TempDir dir_;
  std::string path_ = dir_.File("SJSZS.DBF");
  ::fw::test::FakeClock localClock_{20260305, 143005};
  market::MarketClock clock_{20260305, 93015, 0, '1', '1', '1', '0'};
  refdata::ReferenceTables tables_;
};

TEST_F(SjszsTest, IndexRowGoldenWithItsNulBytes) {
  AddIndexInfo("399001", "SZSE COMPONENT INDEX");  // exactly 20 characters
  IndexQuoteRecord x = IndexQuote("399001", "深证成指");
  x.prevClose = 32105678;
  x.open = 32100000;
  x.high = 32200001;
  x.low = 31999999;
  x.current = 32150000;
  x.volume = 123456789012;
  x.turnover = 98765432101234;
  const std::string file = Cycle({x}, 1);
  ASSERT_EQ(file.size(), kHeaderLength + kRecordLength);
  EXPECT_EQ(file[0], 3);
  EXPECT_EQ(file[8], static_cast<char>(353 & 0xFF));
  EXPECT_EQ(file[9], static_cast<char>(353 >> 8));
  EXPECT_EQ(file[10], 123);
  EXPECT_EQ(file[kHeaderLength - 1], 0x0D);
  const std::string expected = Nul(1) + "399001" + "深证成指" + Nul(4) + "SZSE COMPONENT INDEX" +
                               "  3210.5678" + "  3210.0000" + "  3220.0001" + "  3199.9999" +
                               "  3215.0000" + "123456789012" + "  98765432101.234";
  EXPECT_EQ(Record(file, 0), expected);
}

TEST_F(SjszsTest, ShortNamesLeaveNulBytesAndFlagsStayZero) {
  AddIndexInfo("399006", "CHINEXT");
  IndexQuoteRecord a = IndexQuote("399006", "CYB");
  IndexQuoteRecord b = IndexQuote("399005", "ZXB");
  const std::string file = Cycle({a, b}, 3);
  ASSERT_EQ(file.size(), kHeaderLength + 3 * kRecordLength);
  const std::string zeros =
      "     0.0000     0.0000     0.0000     0.0000     0.0000           0            0.000";
  EXPECT_EQ(Record(file, 0), Nul(1) + "399006" + "CYB" + Nul(9) + "CHINEXT" + Nul(13) + zeros);
  // A code missing from indexinfo: empty English name, and indexinfo gains nothing.
  EXPECT_EQ(Record(file, 1), Nul(1) + "399005" + "ZXB" + Nul(9) + Nul(20) + zeros);
  EXPECT_EQ(tables_.indexInfo.Size(), 1u);
  EXPECT_EQ(Record(file, 2), Nul(kRecordLength));
}

TEST_F(SjszsTest, NameCutInsideACharacterLosesItsLeadByteAndTheEnglishNameKeepsItsBytes) {
  // The English name is passed on as read, here UTF-8 cut inside "\xC3\xA9": 0xC3 stays.
  AddIndexInfo("399001", "SZSE COMPOSITE CAFE\xC3\xA9");
  // "ABC", two characters and the lead byte of a third, then the zero bytes after the name.
  const IndexQuoteRecord x = IndexQuote("399001", "ABC\xD6\xD0\xB9\xFA\xD6");
  const std::string record = Record(Cycle({x}, 1), 0);
  EXPECT_EQ(record.substr(7, 12), "ABC\xD6\xD0\xB9\xFA" + Nul(5));
  EXPECT_EQ(record.substr(19, 20), "SZSE COMPOSITE CAFE\xC3");
}

TEST_F(SjszsTest, CodeNumberZeroIsSkippedWithoutAGap) {
  IndexQuoteRecord bad = IndexQuote("ABCDEF", "BAD");
  IndexQuoteRecord good = IndexQuote("399001", "GOOD");
  SZSjszsFile file(false);
  ASSERT_EQ(file.Open(path_), 1);
  ASSERT_EQ(file.BeginRows(clock_, 2), 1);
  ASSERT_EQ(file.WriteIndexRows(std::vector<IndexQuoteRecord>{bad, good}, tables_.indexInfo), 1);
  EXPECT_EQ(file.RowCounter(), 1u);
  ASSERT_EQ(file.Flush(), 1);
  file.Close();
  const std::string bytes = ::fw::test::ReadFileBytes(path_);
  EXPECT_EQ(Record(bytes, 0).substr(0, 11), Nul(1) + "399001GOOD");
  EXPECT_EQ(Record(bytes, 1), Nul(kRecordLength));
}

TEST_F(SjszsTest, VolumeAboveTwelveDigitsIsClampedOrCut) {
  IndexQuoteRecord x = IndexQuote("399001", "I");
  x.volume = 1234567890123;
  EXPECT_EQ(Record(Cycle({x}, 1), 0).substr(kZSCJSL, 12), "999999999999");
  EXPECT_EQ(Record(Cycle({x}, 1, true), 0).substr(kZSCJSL, 12), "234567890123");
}

TEST_F(SjszsTest, IndexValuesOfAMillionPointsLeaveTheFieldEmpty) {
  IndexQuoteRecord x = IndexQuote("399001", "I");
  x.prevClose = 10000000000;  // 1,000,000.0000 points: 12 characters for 11.4, no nines value
  x.open = 9999999999;        // 999,999.9999 points: fits exactly
  const std::string record = Record(Cycle({x}, 1), 0);
  EXPECT_EQ(record.substr(kZSSSZS, 11), Nul(11));
  EXPECT_EQ(record.substr(kZSSSZS + 11, 11), "999999.9999");
}

TEST_F(SjszsTest, NegativeAndTinyValuesAreRoundedAtFourDecimals) {
  IndexQuoteRecord x = IndexQuote("399001", "I");
  x.prevClose = -5;    // -0.0005
  x.open = 1;          // 0.0001
  x.turnover = -1500;  // -1.500
  const std::string record = Record(Cycle({x}, 1), 0);
  EXPECT_EQ(record.substr(kZSSSZS, 22), "    -0.0005     0.0001");
  EXPECT_EQ(record.substr(106, 17), "           -1.500");
}

TEST_F(SjszsTest, EmptyPathIsRefused) {
  SZSjszsFile file(false);
  EXPECT_EQ(file.Open(""), -1000);
  EXPECT_FALSE(file.IsOpen());
}

TEST_F(SjszsTest, OpenFailureClosesTheTable) {
  SZSjszsFile file(false);
  EXPECT_LT(file.Open(dir_.File("missing/SJSZS.DBF")), 0);
  EXPECT_FALSE(file.IsOpen());
  EXPECT_FALSE(file.HasImage());
}

TEST_F(SjszsTest, FlushFailureClosesTheTable) {
  SZSjszsFile file(false);
  ASSERT_EQ(file.Open(path_), 1);
  ASSERT_EQ(file.BeginRows(clock_, 1), 1);
  platform::SetFileFaultHook([](platform::FileOp op, const std::string&, uint32_t) {
    return op == platform::FileOp::kSeek ? kErrFileShortWrite : 0;
  });
  EXPECT_EQ(file.Flush(), -2);
  platform::SetFileFaultHook(nullptr);
  EXPECT_FALSE(file.IsOpen());
  EXPECT_FALSE(file.HasImage());
}

TEST_F(SjszsTest, NoIndexesMeansNothingToWrite) {
  ::fw::test::WriteFileBytes(path_, "yesterday");
  SZSjszsFile file(false);
  ASSERT_EQ(file.Open(path_), 1);
  ASSERT_EQ(file.BeginRows(clock_, 0), 1);
  EXPECT_EQ(file.Flush(), -1);
  EXPECT_EQ(::fw::test::ReadFileBytes(path_), "yesterday");
}

TEST_F(SjszsTest, RowsBeyondTheEstimateExtendTheFile) {
  const std::string file = Cycle({IndexQuote("399001", "A"), IndexQuote("399006", "B")}, 1);
  ASSERT_EQ(file.size(), kHeaderLength + 2 * kRecordLength);
  EXPECT_EQ(file[4], 2);
  EXPECT_EQ(Record(file, 1).substr(0, 8), Nul(1) + "399006B");
}

}  // namespace
}  // namespace fw::dbf
