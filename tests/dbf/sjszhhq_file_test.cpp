// SJSZHHQ.DBF: record 0, one row per negotiated order that carries a code, the exact record count,
// and the constant and copied fields of an order; expected bytes written out by hand.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "dbf/sjszhhq_file.h"
#include "tests/dbf/dbf_file_view.h"
#include "tests/support/test_support.h"

namespace fw::dbf {
namespace {

using market::NegotiatedQuoteRecord;
using test::Blanks;
using test::Concat;
using test::DbfFileView;
using test::ExpectRecord;

// An order as the market state holds it after a 300592 message.
NegotiatedQuoteRecord Order(int64_t sequence, const char* code, char kind, char side, char status) {
  NegotiatedQuoteRecord r{};
  r.sequence = sequence;
  std::memcpy(r.code, code, std::strlen(code));
  r.kindPrefix[0] = r.kindPrefix[1] = ' ';
  r.quoteKind = kind;
  r.side = side;
  r.flags[0] = '0';
  r.flags[1] = '1';
  std::memcpy(r.time, " 9300012", 8);
  r.fixedVolume = kind == 'O' ? 99999999 : 0;
  r.status = status;
  const char trailer[6] = {' ', 0, ' ', 0, 0, ' '};
  std::memcpy(r.trailer, trailer, sizeof trailer);
  return r;
}

class SjszhhqFileTest : public ::testing::Test {
 protected:
  DbfFileView Write(const std::vector<NegotiatedQuoteRecord>& orders, uint32_t estimate) {
    SZSjszhhqFile file;
    const std::string path = dir_.File("SJSZHHQ.DBF");
    EXPECT_EQ(file.Open(path), 1);
    EXPECT_EQ(file.WriteFirstRecord(clock_, estimate), 1);
    EXPECT_EQ(file.WriteNegotiatedRows(orders), 1);
    EXPECT_EQ(file.Flush(), 1);
    file.Abort();
    return DbfFileView(::fw::test::ReadFileBytes(path));
  }

  ::fw::test::TempDir dir_;
  // The local date differs from the market date, so that each field shows which one it carries.
  ::fw::test::FakeClock localClock_{20260306, 93005};
  market::MarketClock clock_{20260305, 150000, 0, '1', '1', '1', '1'};
};

TEST_F(SjszhhqFileTest, NoOrdersGiveOnlyTheFirstRecord) {
  const DbfFileView file = Write({}, 25);
  ASSERT_EQ(file.Records(), 1u);
  EXPECT_EQ(file.HeaderLength(), 705u);
  EXPECT_EQ(file.RecordLength(), 241u);
  EXPECT_EQ(file.Size(), 705u + 241u);
  ExpectRecord(file, 0,
               Concat({" ",        "000000000",  "000000",    "        1", "    0.000",  Blanks(2),
                       Blanks(2),  Blanks(22),   Blanks(12),  Blanks(30),  Blanks(2),    " 9300500",
                       "20260305", "  0.000000", "        0", "    0.000", "  0.000000", "0",
                       Blanks(2),  " ",          "   0",      Blanks(75)}));
  clock_.NegotiatedClosed = '0';
  EXPECT_EQ(Write({}, 25).Get(0, "HQSBSL"), "        0");
}

TEST_F(SjszhhqFileTest, OrderRowOfALiveOrder) {
  NegotiatedQuoteRecord order = Order(42, "000001", 'H', 'B', '1');
  order.volume = 100000;
  order.price = 10500;
  std::memcpy(order.contact, "ZHANG", 5);
  std::memcpy(order.contactInfo, "13800000000", 11);
  const DbfFileView file = Write({order}, 10);
  ASSERT_EQ(file.Records(), 2u);
  ExpectRecord(file, 1, Concat({" ",           "000000042",
                                "000001",      "   100000",
                                "   10.500",   "  ",
                                "HB",          "00000020260306",
                                Blanks(8),     "ZHANG       ",
                                "13800000000", Blanks(19),
                                "01",          " 9300012",
                                "00000000",    "-99.000000",
                                "000000000",   "    0.000",
                                "-99.000000",  "1",
                                Blanks(2),     " ",
                                "   0",        Blanks(75)}));
}

TEST_F(SjszhhqFileTest, ContactInfoKeepsItsBytesAndACutContactLosesItsLeadByte) {
  NegotiatedQuoteRecord order = Order(1, "000001", 'H', 'B', '1');
  // Contact information as received: 27 ASCII bytes and a UTF-8 character (E4 B8 AD).
  std::memcpy(order.contactInfo, "ROOM 1203, SHENNAN ROAD 101\xE4\xB8\xAD", 30);
  // The contact in GBK, its last character cut by the record's 12 bytes.
  std::memcpy(order.contact, "WANG \xCD\xF5\xD0\xA1\xC3\xF7\xB6", 12);
  const DbfFileView file = Write({order}, 1);
  EXPECT_EQ(file.Get(1, "HQLXFS"), "ROOM 1203, SHENNAN ROAD 101\xE4\xB8\xAD");
  EXPECT_EQ(file.Get(1, "HQLXR"), "WANG \xCD\xF5\xD0\xA1\xC3\xF7 ");
}

TEST_F(SjszhhqFileTest, ConfirmedSellOrderCarriesTheFixedVolume) {
  const DbfFileView file = Write({Order(7, "000002", 'O', 'S', '0')}, 10);
  EXPECT_EQ(file.Get(1, "HQZLLB"), "OS");
  EXPECT_EQ(file.Get(1, "HQYDH"), "99999999");
  EXPECT_EQ(file.Get(1, "HQJLZT"), "0");
  EXPECT_EQ(file.Get(1, "HQJLH"), "000000007");
}

TEST_F(SjszhhqFileTest, OrdersWithoutCodeUseNoRecordAndTheCountIsExact) {
  const std::vector<NegotiatedQuoteRecord> orders = {
      Order(1, "000001", 'H', 'B', '1'), NegotiatedQuoteRecord{}, Order(3, "000003", 'H', 'S', '1'),
      NegotiatedQuoteRecord{}, Order(5, "000005", 'O', 'B', '1')};
  const DbfFileView file = Write(orders, 100);
  ASSERT_EQ(file.Records(), 4u);
  EXPECT_EQ(file.Size(), 705u + 4u * 241u);
  EXPECT_EQ(file.Get(1, "HQZQDM"), "000001");
  EXPECT_EQ(file.Get(2, "HQZQDM"), "000003");
  EXPECT_EQ(file.Get(3, "HQZQDM"), "000005");
  EXPECT_EQ(file.Get(3, "HQJLH"), "000000005");
}

TEST_F(SjszhhqFileTest, MoreOrdersThanTheEstimateAreAllWritten) {
  std::vector<NegotiatedQuoteRecord> orders;
  for (int i = 1; i <= 30; ++i) orders.push_back(Order(i, "000001", 'H', 'B', '1'));
  const DbfFileView file = Write(orders, 2);
  ASSERT_EQ(file.Records(), 31u);
  EXPECT_EQ(file.Get(30, "HQJLH"), "000000030");
}

TEST_F(SjszhhqFileTest, RecordNumberIsTheLow32BitsOfTheSequence) {
  const DbfFileView file = Write({Order(int64_t{1} << 32 | 9, "000001", 'H', 'B', '1')}, 1);
  EXPECT_EQ(file.Get(1, "HQJLH"), "000000009");
}

TEST_F(SjszhhqFileTest, AShorterFileReplacesALongerOne) {
  std::vector<NegotiatedQuoteRecord> orders;
  for (int i = 1; i <= 5; ++i) orders.push_back(Order(i, "000001", 'H', 'B', '1'));
  Write(orders, 5);
  EXPECT_EQ(Write({orders[0]}, 5).Size(), 705u + 2u * 241u);
}

TEST_F(SjszhhqFileTest, OpenFailureAbortsTheTable) {
  SZSjszhhqFile file;
  EXPECT_LT(file.Open(dir_.File("missing/SJSZHHQ.DBF")), 0);
  EXPECT_FALSE(file.IsOpen());
  EXPECT_LT(file.WriteNegotiatedRows({}), 0);
  EXPECT_LT(file.Flush(), 0);
}

}  // namespace
}  // namespace fw::dbf
