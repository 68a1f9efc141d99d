#include <gtest/gtest.h>

#include "feed/feed_message_reader.h"
#include "feed/feed_message_writer.h"
#include "tests/feed/frame_builder.h"
#include "tests/support/test_support.h"

namespace fw::feed {
namespace {

using test::Bytes;

TEST(FeedMessageReader, ReadsBigEndianFieldsOfEveryWidth) {
  const Bytes body{0x12, 0xAB, 0xCD, 0xDE, 0xAD, 0xBE, 0xEF, 0xFF, 0xFF,
                   0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFE, 'a',  'b',  'c'};
  FeedMessageReader reader(body.data(), static_cast<int32_t>(body.size()));
  EXPECT_EQ(reader.GetInt(1), 0x12u);
  EXPECT_EQ(reader.GetInt(2), 0xABCDu);
  EXPECT_EQ(reader.GetInt(4), 0xDEADBEEFu);
  EXPECT_EQ(reader.GetInt64(), -2);
  char text[4] = {};
  EXPECT_TRUE(reader.GetBytes(text, 3));
  EXPECT_STREQ(text, "abc");
  EXPECT_EQ(reader.Finish(1, false), 0);
}

TEST(FeedMessageReader, ShortReadSetsAStickyErrorAndFinishLogsIt) {
  auto window = fw::test::WindowCatcher::Install();
  const Bytes body(10, 1);
  FeedMessageReader reader(body.data(), 10);
  EXPECT_EQ(reader.GetInt64(), 0x0101010101010101);
  EXPECT_EQ(reader.GetInt(4), 0u);  // only 2 bytes left
  EXPECT_TRUE(reader.Failed());
  EXPECT_EQ(reader.Position(), 8);
  EXPECT_EQ(reader.GetInt(1), 0u);  // would fit, but the error stays
  EXPECT_EQ(reader.Position(), 8);
  char text[4] = {'x', 'x', 'x', 'x'};
  EXPECT_FALSE(reader.GetBytes(text, 1));
  EXPECT_EQ(text[0], 'x');
  EXPECT_EQ(reader.Finish(300111, true), -1);
  EXPECT_TRUE(window->HasLine("some error in [300111]"));
  fw::test::WindowCatcher::Uninstall();
}

TEST(FeedMessageReader, LeftoverBytesMakeFinishFailWithTheLengthLine) {
  auto window = fw::test::WindowCatcher::Install();
  const Bytes body(7, 0);
  FeedMessageReader reader(body.data(), 7);
  reader.GetInt(4);
  EXPECT_EQ(reader.Finish(309011, true), -2);
  EXPECT_EQ(reader.Finish(309011, false), -2);
  EXPECT_EQ(window->CountLines("some len error in [309011]"), 1u);
  fw::test::WindowCatcher::Uninstall();
}

TEST(FeedMessageReader, EmptyBodyFinishesCleanly) {
  FeedMessageReader reader(nullptr, 0);
  EXPECT_EQ(reader.Finish(3, false), 0);
  EXPECT_EQ(reader.GetInt(2), 0u);
  EXPECT_EQ(reader.Finish(3, false), -1);
}

TEST(FeedMessageWriter, TextIsPaddedWithSpacesOrCut) {
  Bytes buffer(12 + 10, 0);
  FeedMessageWriter writer(buffer.data(), static_cast<int32_t>(buffer.size()));
  writer.PutHeader(7);
  writer.PutText("abc", 5);
  writer.PutText("defghij", 5);
  EXPECT_EQ(std::string(buffer.begin() + 8, buffer.begin() + 18), "abc  defgh");
  writer.PutChecksum();
}

TEST(FeedMessageWriter, FieldsThatDoNotFitWriteNothing) {
  Bytes buffer(14, 0);
  FeedMessageWriter writer(buffer.data(), 14);
  writer.PutHeader(9);
  writer.PutText("abcdefgh", 7);  // 6 bytes left
  EXPECT_EQ(writer.Position(), 8);
  writer.PutUInt32(0x01020304);
  EXPECT_EQ(writer.Position(), 12);
  writer.PutUInt32(0x05060708);  // 2 bytes left
  EXPECT_EQ(writer.Position(), 12);
  EXPECT_EQ(buffer, (Bytes{0, 0, 0, 9, 0, 0, 0, 2, 1, 2, 3, 4, 0, 0}));
}

TEST(FeedMessageWriter, HeaderAndChecksumOfAHeartbeat) {
  Bytes buffer(12, 0);
  FeedMessageWriter writer(buffer.data(), 12);
  writer.PutHeader(3);
  writer.PutChecksum();
  EXPECT_EQ(buffer, (Bytes{0, 0, 0, 3, 0, 0, 0, 0, 0, 0, 0, 3}));
}

TEST(FeedMessageWriter, ChecksumIsTheByteSumOfEverythingBeforeIt) {
  Bytes buffer(12 + 3, 0);
  FeedMessageWriter writer(buffer.data(), 15);
  writer.PutHeader(300111);  // 0x0004944F
  writer.PutUInt8(0xFF);
  writer.PutUInt16(0x0102);
  writer.PutChecksum();
  const unsigned sum = 0x04 + 0x94 + 0x4F + 3 + 0xFF + 1 + 2;
  EXPECT_EQ(buffer[14], static_cast<uint8_t>(sum));
  EXPECT_EQ(buffer[11], 0);
}

}  // namespace
}  // namespace fw::feed
