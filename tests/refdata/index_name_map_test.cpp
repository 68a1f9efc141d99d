// The operator's index name map: line rules, counts, log lines.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "refdata/index_name_map.h"
#include "tests/refdata/refdata_fixture.h"

namespace fw::refdata {
namespace {

using test::RefdataTest;

// The 8 name bytes of a code, or "<none>".
std::string NameOf(const IndexNameMap& map, uint32_t code) {
  char name[8];
  std::memset(name, '#', sizeof name);
  if (!map.Lookup(code, name)) return "<none>";
  return std::string(name, sizeof name);
}

TEST(IndexNameMapTest, ShortNameIsZeroFilledToEightBytes) {
  IndexNameMap map;
  map.Parse("000300,ABCD\n");
  EXPECT_EQ(NameOf(map, 300), std::string("ABCD\0\0\0\0", 8));
  EXPECT_EQ(map.LineCount(), 1u);
  EXPECT_EQ(map.IndexCount(), 1u);
}

TEST(IndexNameMapTest, LinesWithoutAUsableCodeAreCountedButStoreNothing) {
  IndexNameMap map;
  map.Parse("0,XXXX\nno comma here\n,399001ABC\n   ,DEF\nabc,GHI\n399001,ABCDEFGH\n");
  EXPECT_EQ(map.LineCount(), 6u);
  EXPECT_EQ(map.IndexCount(), 1u);
  EXPECT_EQ(map.Size(), 1u);
  EXPECT_EQ(NameOf(map, 0), "<none>");
  EXPECT_EQ(NameOf(map, 399001), "ABCDEFGH");
}

TEST(IndexNameMapTest, NameTakesOnlyTheEightBytesAfterTheComma) {
  IndexNameMap map;
  map.Parse("399001,ABCDEFGHIJKL\n399005,A,B\n");
  EXPECT_EQ(NameOf(map, 399001), "ABCDEFGH");
  EXPECT_EQ(NameOf(map, 399005), std::string("A,B\0\0\0\0\0", 8));
}

TEST(IndexNameMapTest, FourTwoByteCharactersFillTheNameExactly) {
  IndexNameMap map;
  const std::string gbkName = "深证成指";  // GBK at run time: 8 bytes
  ASSERT_EQ(gbkName.size(), 8u);
  map.Parse("399001," + gbkName + "\n");
  EXPECT_EQ(NameOf(map, 399001), gbkName);
}

TEST(IndexNameMapTest, CodeIsReadFromAtMostEightCharacters) {
  IndexNameMap map;
  map.Parse("1234567890,LONGCODE\n  399006 ,PADDED\n");
  EXPECT_EQ(NameOf(map, 12345678), "LONGCODE");
  EXPECT_EQ(NameOf(map, 1234567890), "<none>");
  EXPECT_EQ(NameOf(map, 399006), std::string("PADDED\0\0", 8));
}

TEST(IndexNameMapTest, LaterLineForTheSameCodeReplacesTheNameAndCountsAgain) {
  IndexNameMap map;
  map.Parse("399001,FIRSTNAM\n399001,SECOND\n");
  EXPECT_EQ(NameOf(map, 399001), std::string("SECOND\0\0", 8));
  EXPECT_EQ(map.IndexCount(), 2u);
  EXPECT_EQ(map.Size(), 1u);
}

TEST(IndexNameMapTest, CarriageReturnsOfWindowsLinesAreNotPartOfTheName) {
  IndexNameMap map;
  map.Parse("399001,AB\r\n399005,CD\r\n");
  EXPECT_EQ(NameOf(map, 399001), std::string("AB\0\0\0\0\0\0", 8));
  EXPECT_EQ(NameOf(map, 399005), std::string("CD\0\0\0\0\0\0", 8));
  EXPECT_EQ(map.LineCount(), 2u);
}

TEST(IndexNameMapTest, LastLineWithoutLineEndCountsAndEmptyFileHasNoLines) {
  IndexNameMap map;
  map.Parse("399001,AB\n399005,CD");
  EXPECT_EQ(map.LineCount(), 2u);
  EXPECT_EQ(map.IndexCount(), 2u);
  map.Parse("");
  EXPECT_EQ(map.LineCount(), 0u);
  EXPECT_EQ(map.Size(), 0u);
  map.Parse("\n\n");
  EXPECT_EQ(map.LineCount(), 2u);
  EXPECT_EQ(map.IndexCount(), 0u);
}

TEST(IndexNameMapTest, OverlongLineIsOneLineAndItsTailNeverPassesForAnEntry) {
  IndexNameMap map;
  // 511 characters without a comma, then what would look like an entry to a reader that split the
  // line at its buffer size.
  const std::string tail = "399003,BADNAME!";
  map.Parse(std::string(511, 'A') + tail + "\n399005,GOOD\n");
  EXPECT_EQ(map.LineCount(), 2u);
  EXPECT_EQ(map.IndexCount(), 1u);
  EXPECT_EQ(NameOf(map, 399003), "<none>");
  EXPECT_EQ(NameOf(map, 399005), std::string("GOOD\0\0\0\0", 8));
  // A comma beyond the 511th character is not looked at.
  map.Parse("399007" + std::string(600, ' ') + ",FARAWAY\n");
  EXPECT_EQ(map.LineCount(), 1u);
  EXPECT_EQ(NameOf(map, 399007), "<none>");
  // An entry at the start of a long line is still taken.
  map.Parse("399006,LONGLINE" + std::string(2000, 'x') + "\n");
  EXPECT_EQ(map.LineCount(), 1u);
  EXPECT_EQ(NameOf(map, 399006), "LONGLINE");
}

TEST(IndexNameMapTest, NameStopsAtAnEmbeddedNul) {
  IndexNameMap map;
  map.Parse(std::string("399001,AB\0CDEF\n", 15));
  EXPECT_EQ(NameOf(map, 399001), std::string("AB\0\0\0\0\0\0", 8));
}

TEST(IndexNameMapTest, LookupOfAnUnknownCodeLeavesTheDestinationAlone) {
  IndexNameMap map;
  map.Parse("399001,ABC\n");
  char name[8];
  std::memset(name, '#', sizeof name);
  EXPECT_FALSE(map.Lookup(399002, name));
  EXPECT_EQ(std::string(name, 8), "########");
}

class IndexNameFileTest : public RefdataTest {};

TEST_F(IndexNameFileTest, LoadLogsOpeningAndCounts) {
  const std::string path = dir_.File("indexname.ini");
  fw::test::WriteFileBytes(path, "; names\n000300,ABCD\n0,XXXX\n399001,深证成指\n");
  IndexNameMap map;
  EXPECT_EQ(map.Load(path), 0);
  EXPECT_TRUE(Logged(0, "opening indexname.ini file: " + path + " "));
  EXPECT_TRUE(Logged(0, "加载成功, 文件行数 = 4, 指数个数 = 2"));
  EXPECT_EQ(NameOf(map, 300), std::string("ABCD\0\0\0\0", 8));
  EXPECT_EQ(NameOf(map, 399001), "深证成指");
}

TEST_F(IndexNameFileTest, MissingFileLogsTheFailureAndEmptiesTheMap) {
  const std::string path = dir_.File("indexname.ini");
  fw::test::WriteFileBytes(path, "399001,ABCD\n");
  IndexNameMap map;
  ASSERT_EQ(map.Load(path), 0);
  ASSERT_EQ(map.Size(), 1u);
  EXPECT_EQ(map.Load(dir_.File("missing.ini")), -100);
  EXPECT_TRUE(Logged(0, "opening indexname.ini file: " + dir_.File("missing.ini") + " "));
  EXPECT_TRUE(Logged(0, "加载指数名称映射文件出错"));
  EXPECT_EQ(map.Size(), 0u);
  EXPECT_EQ(NameOf(map, 399001), "<none>");
}

TEST_F(IndexNameFileTest, EmptyPathAndFolderFailToOpen) {
  IndexNameMap map;
  EXPECT_EQ(map.Load(""), -100);
  EXPECT_EQ(map.Load(dir_.Path().string()), -100);
  EXPECT_EQ(window_->CountLines("加载指数名称映射文件出错"), 2u);
}

}  // namespace
}  // namespace fw::refdata
