// The closing data loader: the flag before any record, the rounding of prices and amounts, the
// failure codes, and values that cannot be held.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "refdata/closing_data.h"
#include "tests/refdata/refdata_fixture.h"

namespace fw::refdata {
namespace {

using test::El;
using test::Security;

// Records what the loader hands over, and in which order relative to the flag.
class FakeSink : public ClosingDataSink {
 public:
  struct Close {
    uint32_t code;
    int64_t close;
    int64_t trades;
    int64_t volume;
    int64_t turnover;
    bool flagWasSet;
  };
  bool ClosingDataLoaded() const override { return loaded; }
  void SetClosingDataLoaded() override {
    loaded = true;
    ++setCount;
  }
  void ApplyClose(uint32_t code, int64_t close, int64_t trades, int64_t volume,
                  int64_t turnover) override {
    closes.push_back({code, close, trades, volume, turnover, loaded});
  }

  bool loaded = false;
  int setCount = 0;
  std::vector<Close> closes;
};

class ClosingDataTest : public test::RefdataTest {
 protected:
  int32_t Load() { return ClosingDataLoader(Folder(), sink_).Load(); }
  FakeSink sink_;
};

TEST_F(ClosingDataTest, PricesAndAmountsAreRoundedCountsTruncated) {
  WriteXml("cashsecurityclosemd",
           Security("000001  ", El("SecurityIDSource", "102") + El("ClosePx", "10.2345") +
                                    El("NumTrades", "12.9") + El("TotalVolumeTrade", "123456.99") +
                                    El("TotalValueTrade", "1234.5674")));
  ASSERT_EQ(Load(), 0);
  ASSERT_EQ(sink_.closes.size(), 1u);
  const FakeSink::Close& c = sink_.closes[0];
  EXPECT_EQ(c.code, 1u);
  EXPECT_EQ(c.close, 10235);
  EXPECT_EQ(c.trades, 12);
  EXPECT_EQ(c.volume, 123456);
  EXPECT_EQ(c.turnover, 1234567);
  EXPECT_TRUE(c.flagWasSet);
  EXPECT_TRUE(
      Logged(0, "open securityclosemd.xml file: " + TodaysFile("cashsecurityclosemd") + " "));
}

TEST_F(ClosingDataTest, RoundingTable) {
  struct Case {
    const char* closePx;
    int64_t close;
    const char* value;
    int64_t turnover;
  };
  const Case cases[] = {
      {"10.2344", 10234, "0.0004", 0},    {"10.2345", 10235, "0.0005", 1},
      {"0.001", 1, "1234.5675", 1234568}, {"99999.999", 99999999, "1e10", 10000000000000},
      {"-1.5", -1499, "abc", 0},          {"1e300", 0, "-1e300", 0},
  };
  std::string body;
  for (size_t i = 0; i < std::size(cases); ++i) {
    const std::string code = "00000" + std::to_string(i + 1) + "  ";
    body += Security(code, El("ClosePx", cases[i].closePx) + El("TotalValueTrade", cases[i].value));
  }
  WriteXml("cashsecurityclosemd", body);
  ASSERT_EQ(Load(), 0);
  ASSERT_EQ(sink_.closes.size(), std::size(cases));
  for (size_t i = 0; i < std::size(cases); ++i) {
    EXPECT_EQ(sink_.closes[i].code, i + 1);
    EXPECT_EQ(sink_.closes[i].close, cases[i].close) << cases[i].closePx;
    EXPECT_EQ(sink_.closes[i].turnover, cases[i].turnover) << cases[i].value;
  }
}

TEST_F(ClosingDataTest, MissingElementsGiveZero) {
  WriteXml("cashsecurityclosemd", Security("000001  ", El("NumTrades", "7")));
  ASSERT_EQ(Load(), 0);
  ASSERT_EQ(sink_.closes.size(), 1u);
  EXPECT_EQ(sink_.closes[0].close, 0);
  EXPECT_EQ(sink_.closes[0].trades, 7);
  EXPECT_EQ(sink_.closes[0].volume, 0);
  EXPECT_EQ(sink_.closes[0].turnover, 0);
}

TEST_F(ClosingDataTest, OnlyUsableSecurityIdsAreApplied) {
  WriteXml("cashsecurityclosemd", Security("000001", El("ClosePx", "1")) +
                                      Security("12345678", El("ClosePx", "1")) +
                                      Security("000002  ", El("ClosePx", "2")));
  ASSERT_EQ(Load(), 0);
  ASSERT_EQ(sink_.closes.size(), 1u);
  EXPECT_EQ(sink_.closes[0].code, 2u);
  EXPECT_EQ(sink_.closes[0].close, 2000);
}

TEST_F(ClosingDataTest, FileWithoutSecuritySetsTheFlagAnyway) {
  WriteXml("cashsecurityclosemd", "");
  ASSERT_EQ(Load(), 0);
  EXPECT_TRUE(sink_.loaded);
  EXPECT_TRUE(sink_.closes.empty());
}

TEST_F(ClosingDataTest, MissingFileLeavesTheFlagClearForTheNextTry) {
  EXPECT_EQ(Load(), -200);
  EXPECT_FALSE(sink_.loaded);
  EXPECT_FALSE(window_->HasLine(
      "open securityclosemd.xml file: " + TodaysFile("cashsecurityclosemd") + " "));
  EXPECT_EQ(ClosingDataLoader("", sink_).Load(), -100);
  fw::test::WriteFileBytes(TodaysFile("cashsecurityclosemd"), "</CashSecurityCloseMD>");
  EXPECT_EQ(Load(), -300);
  EXPECT_FALSE(sink_.loaded);
  EXPECT_TRUE(sink_.closes.empty());
}

TEST_F(ClosingDataTest, OnceLoadedTheFileIsNotReadAgain) {
  WriteXml("cashsecurityclosemd", Security("000001  ", El("ClosePx", "1")));
  ASSERT_EQ(Load(), 0);
  ASSERT_EQ(Load(), 0);
  EXPECT_EQ(sink_.setCount, 1);
  EXPECT_EQ(sink_.closes.size(), 1u);
  EXPECT_EQ(window_->CountLines(
                "open securityclosemd.xml file: " + TodaysFile("cashsecurityclosemd") + " "),
            1u);
}

}  // namespace
}  // namespace fw::refdata
