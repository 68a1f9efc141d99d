// The market state on its own: how the tables are built from the reference day, the copy-in
// rules, the closing data, the negotiated table, the market clock and the snapshots.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "market/market_state.h"
#include "tests/market/market_messages.h"
#include "tests/support/market_rows.h"
#include "tests/support/test_support.h"

namespace fw::market {
namespace {

using test::AddBond;
using test::AddIndex;
using test::AddIssue;
using test::AddRights;
using test::AddSecurity;
using test::AddStat;

std::string CodeOfRow(const StockQuoteRecord& r) { return std::string(r.code, strnlen(r.code, 8)); }

class MarketStateTest : public ::testing::Test {
 protected:
  void SetUp() override {
    window_ = fw::test::WindowCatcher::Install();
    SetRunLogFolder(logDir_.Path().string());
  }
  void TearDown() override {
    CloseRunLog();
    fw::test::WindowCatcher::Uninstall();
  }

  std::vector<StockQuoteRecord> StockRows() {
    std::vector<StockQuoteRecord> rows;
    state_.SnapshotStockQuotes(&rows);
    return rows;
  }
  StockQuoteRecord Row(const char* code) {
    StockQuoteRecord row{};
    EXPECT_TRUE(fw::test::FindStockRow(state_, code, &row)) << code;
    return row;
  }
  std::vector<std::string> StockCodes() {
    std::vector<std::string> codes;
    for (const StockQuoteRecord& r : StockRows()) codes.push_back(CodeOfRow(r));
    return codes;
  }

  fw::test::TempDir logDir_;
  std::shared_ptr<fw::test::WindowCatcher> window_;
  refdata::ReferenceTables tables_;
  MarketState state_;
};

// ---- Building the stock quote table -------------------------------------------------------------

TEST_F(MarketStateTest, StockRowsMergeSecuritiesAndParameterCodesInCodeOrder) {
  AddSecurity(tables_, "000100", "S100", 1, 10.00);
  AddSecurity(tables_, "000200", "S200", 1, 20.00);
  AddIssue(tables_, "000050", "I050", 1, 5.5, 4.5, 5.5);
  AddIssue(tables_, "000150", "I150", 1, 1.0, 1.0, 1.0);
  AddIssue(tables_, "000300", "I300", 1, 1.0, 1.0, 1.0);
  AddRights(tables_, "000250", "R250", 3.21);
  AddBond(tables_, "000400", "B400");
  state_.Build(tables_);

  EXPECT_EQ(StockCodes(), (std::vector<std::string>{"000050", "000100", "000150", "000200",
                                                    "000250", "000300", "000400"}));
  const std::vector<StockQuoteRecord> rows = StockRows();
  // Issue row: issue price, upper and lower limit in thousandths.
  EXPECT_EQ(rows[0].prevClose, 5500);
  EXPECT_EQ(rows[0].high, 5500);
  EXPECT_EQ(rows[0].low, 4500);
  EXPECT_STREQ(rows[0].name, "I050");
  // Security row: only the previous close.
  EXPECT_EQ(rows[1].prevClose, 10000);
  EXPECT_EQ(rows[1].high, 0);
  EXPECT_EQ(rows[1].low, 0);
  EXPECT_EQ(rows[4].prevClose, 3210);  // rights issue price
  EXPECT_EQ(rows[6].prevClose, 1000);  // bond distribution, always 1.0
  // Two securities + three issue + one rights + one bond record.
  EXPECT_TRUE(window_->HasLine("[stock num] = 7"));
}

TEST_F(MarketStateTest, SecurityAlsoInIssueParamsYieldsOneRowBuiltFromTheSecurity) {
  AddSecurity(tables_, "000100", "SECURITY", 1, 12.34);
  AddIssue(tables_, "000100", "ISSUE", 1, 99.0, 1.0, 50.0);
  AddSecurity(tables_, "000200", "OTHER", 1, 1.00);
  state_.Build(tables_);

  const std::vector<StockQuoteRecord> rows = StockRows();
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(CodeOfRow(rows[0]), "000100");
  EXPECT_STREQ(rows[0].name, "SECURITY");
  EXPECT_EQ(rows[0].prevClose, 12340);
  EXPECT_EQ(rows[0].high, 0);
  EXPECT_EQ(CodeOfRow(rows[1]), "000200");
}

TEST_F(MarketStateTest, SecurityTypes29And30GetNoRowAnywhere) {
  AddSecurity(tables_, "000001", "STOCK", 1, 1.0);
  AddSecurity(tables_, "000029", "WARRANT", 29, 1.0);
  AddSecurity(tables_, "000030", "OPTION", 30, 1.0);
  AddSecurity(tables_, "000040", "STOCK2", 2, 1.0);
  AddIssue(tables_, "000030", "ISSUE30", 1, 1.0, 1.0, 1.0);   // stands behind a type-30 security
  AddIssue(tables_, "000035", "ISSUE35", 29, 1.0, 1.0, 1.0);  // issue record of type 29 only
  AddIssue(tables_, "000036", "ISSUE36", 30, 1.0, 1.0, 1.0);
  AddRights(tables_, "000036", "RIGHTS36", 2.5);  // … falls back to the rights issue
  state_.Build(tables_);

  EXPECT_EQ(StockCodes(), (std::vector<std::string>{"000001", "000036", "000040"}));
  EXPECT_EQ(StockRows()[1].prevClose, 2500);
  std::vector<AfterHoursQuoteRecord> afterHours;
  state_.SnapshotAfterHours(&afterHours);
  ASSERT_EQ(afterHours.size(), 2u);
  EXPECT_STREQ(afterHours[0].code, "000001");
  EXPECT_STREQ(afterHours[1].code, "000040");
  EXPECT_FALSE(state_.HasStockQuote("000029"));
  EXPECT_FALSE(state_.HasStockQuote("000030"));
  // The after-hours count line counts every security.
  EXPECT_TRUE(window_->HasLine("[phhq num] = 4"));
}

TEST_F(MarketStateTest, IssueCodesBelowTheFirstAndAboveTheLastSecurityComeFirstAndLast) {
  AddSecurity(tables_, "300001", "MID1", 1, 1.0);
  AddSecurity(tables_, "300002", "MID2", 1, 1.0);
  AddIssue(tables_, "000001", "LOW", 1, 1.0, 1.0, 1.0);
  AddIssue(tables_, "999999", "HIGH", 1, 1.0, 1.0, 1.0);
  state_.Build(tables_);
  EXPECT_EQ(StockCodes(), (std::vector<std::string>{"000001", "300001", "300002", "999999"}));
}

TEST_F(MarketStateTest, MoreThan128ParameterCodesAllGetRows) {
  AddSecurity(tables_, "000500", "MIDDLE", 1, 1.0);
  char code[8];
  for (int i = 1; i <= 130; ++i) {
    std::snprintf(code, sizeof code, "%06d", i * 7);  // 7 … 910, around the security
    if (i % 2 == 0) {
      AddIssue(tables_, code, "ISSUE", 1, 2.0, 1.0, 2.0);
    } else {
      AddRights(tables_, code, "RIGHTS", 1.5);
    }
  }
  state_.Build(tables_);
  const std::vector<std::string> codes = StockCodes();
  ASSERT_EQ(codes.size(), 131u);
  EXPECT_EQ(codes.front(), "000007");
  EXPECT_EQ(codes.back(), "000910");
  for (size_t i = 1; i < codes.size(); ++i) EXPECT_LT(codes[i - 1], codes[i]);
  EXPECT_EQ(Row("000910").prevClose, 2000);  // i = 130: an issue row at 2.0
}

TEST_F(MarketStateTest, CodeInTwoParameterFilesGetsOneRow) {
  AddIssue(tables_, "000070", "ISSUE", 1, 8.0, 6.0, 7.0);
  AddRights(tables_, "000070", "RIGHTS", 3.0);
  AddBond(tables_, "000070", "BOND");
  AddSecurity(tables_, "000080", "STOCK", 1, 1.0);
  AddRights(tables_, "000080", "RIGHTS80", 3.0);
  AddBond(tables_, "000080", "BOND80");
  state_.Build(tables_);
  EXPECT_EQ(StockCodes(), (std::vector<std::string>{"000070", "000080"}));
  EXPECT_STREQ(StockRows()[0].name, "ISSUE");  // the issue parameters come first
  EXPECT_EQ(StockRows()[0].prevClose, 7000);
  EXPECT_STREQ(StockRows()[1].name, "STOCK");
}

TEST_F(MarketStateTest, ReferencePricesAreRoundedToThousandths) {
  // 0.5005 × 1000 is 500.49999999999994 in a double: + 0.5 would give 500, + 0.500001 gives 501.
  // 0.50049999 × 1000 is 500.49999: a larger excess (+ 0.50001) would give 501.
  AddSecurity(tables_, "000001", "A", 1, 0.5005);
  AddSecurity(tables_, "000002", "B", 1, 0.50049999);
  AddSecurity(tables_, "000003", "C", 1, 9.9994);
  AddSecurity(tables_, "000004", "D", 1, 1e300);  // no int64 holds it
  AddIndex(tables_, "399001", "IDX", 1234.56789);
  state_.Build(tables_);
  const std::vector<StockQuoteRecord> rows = StockRows();
  EXPECT_EQ(rows[0].prevClose, 501);
  EXPECT_EQ(rows[1].prevClose, 500);
  EXPECT_EQ(rows[2].prevClose, 9999);
  EXPECT_EQ(rows[3].prevClose, INT64_MAX);

  IndexQuoteRecord index;
  ASSERT_TRUE(state_.FetchIndexQuote(IndexTable::kThreeDecimals, "399001", &index));
  for (const int64_t v : {index.prevClose, index.open, index.high, index.low, index.current}) {
    EXPECT_EQ(v, 1234568);  // 1234567.89 rounded
  }
  ASSERT_TRUE(state_.FetchIndexQuote(IndexTable::kFourDecimals, "399001", &index));
  for (const int64_t v : {index.prevClose, index.open, index.high, index.low, index.current}) {
    EXPECT_EQ(v, 12345678);  // 12345678.9 truncated
  }
  EXPECT_STREQ(index.name, "IDX");
}

TEST_F(MarketStateTest, BuildLogsTheCountLinesAndKeepsTheCounts) {
  test::FillSmallDay(tables_);
  AddRights(tables_, "080001", "R", 1.0);
  AddStat(tables_, "395002", "STAT2");
  state_.Build(tables_);
  // 4 securities + 1 issue + 1 rights record.
  EXPECT_TRUE(window_->HasLine("[stock num] = 6"));
  EXPECT_TRUE(window_->HasLine("[index num] = 2"));
  EXPECT_TRUE(window_->HasLine("[indexzs num] = 2"));
  EXPECT_TRUE(window_->HasLine("[stat num] = 2"));
  EXPECT_TRUE(window_->HasLine("[phhq num] = 4"));
  const MarketCounts counts = state_.Counts();
  EXPECT_EQ(counts.securities, 4u);
  EXPECT_EQ(counts.indexInfo, 2u);
  EXPECT_EQ(counts.stat, 2u);
  EXPECT_EQ(counts.quoteSources, 6u);
}

// ---- Look-ups and copy-in
// -------------------------------------------------------------------------

TEST_F(MarketStateTest, CodesAreLookedUpByTheirNumber) {
  test::FillSmallDay(tables_);
  state_.Build(tables_);
  struct Case {
    const char* code;
    bool found;
  };
  const Case cases[] = {{"000001", true},   {"1", true},      {" 300750", true}, {"300750AB", true},
                        {"000003", false},  {"0", false},     {"", false},       {"-00001", false},
                        {"1000001", false}, {"ABCDEF", false}};
  for (const Case& c : cases) EXPECT_EQ(state_.HasStockQuote(c.code), c.found) << c.code;
}

TEST_F(MarketStateTest, StoresNeverOverwriteCodeAndName) {
  test::FillSmallDay(tables_);
  state_.Build(tables_);
  CashAuctionUpdate update{};
  std::memcpy(update.quote.code, "000002", 6);
  std::memcpy(update.quote.name, "CHANGED", 8);
  update.quote.prevClose = 1;
  update.quote.bidVolume[4] = 77;
  ASSERT_TRUE(state_.StoreCashAuctionSnapshot(update));
  const StockQuoteRecord quote = Row("000002");
  EXPECT_STREQ(quote.name, "VANKE A");
  EXPECT_EQ(quote.prevClose, 1);
  EXPECT_EQ(quote.bidVolume[4], 77);
  std::memcpy(update.quote.code, "000003", 6);
  EXPECT_FALSE(state_.StoreCashAuctionSnapshot(update));

  IndexQuoteRecord index;
  ASSERT_TRUE(state_.FetchIndexQuote(IndexTable::kFourDecimals, "399006", &index));
  std::memcpy(index.name, "X", 2);
  index.current = 3;
  ASSERT_TRUE(state_.StoreIndexSnapshot(IndexTable::kFourDecimals, index, 0));
  ASSERT_TRUE(state_.FetchIndexQuote(IndexTable::kFourDecimals, "399006", &index));
  EXPECT_STREQ(index.name, "CYBZ");
  EXPECT_EQ(index.current, 3);

  VolumeStatRecord stat;
  ASSERT_TRUE(state_.FetchVolumeStat("395001", &stat));
  std::memcpy(stat.name, "X", 2);
  stat.volume = 5;
  stat.stockNum = 9;
  ASSERT_TRUE(state_.StoreVolumeStat(stat));
  ASSERT_TRUE(state_.FetchVolumeStat("395001", &stat));
  EXPECT_STREQ(stat.name, "MAINBRD");
  EXPECT_EQ(stat.volume, 5);
  EXPECT_EQ(stat.stockNum, 9u);
}

// ---- Closing data
// ----------------------------------------------------------------------------------

TEST_F(MarketStateTest, ApplyCloseTakesOnlyPositiveValuesForCodesWithARow) {
  test::FillSmallDay(tables_);
  struct Case {
    int64_t close, trades, volume, turnover;  // given to ApplyClose
    int64_t last, tradesAfter, volumeAfter, turnoverAfter;
  };
  // The row holds last 10400, trades 50, volume 600, turnover 7000 before each case.
  const Case cases[] = {
      {10600, 0, -5, 123, 10600, 50, 600, 123},
      {0, 0, 0, 0, 10400, 50, 600, 7000},
      {-1, -1, -1, -1, 10400, 50, 600, 7000},
      {1, 2, 3, 4, 1, 2, 3, 4},
  };
  for (const Case& c : cases) {
    state_.StartDay(20260305);
    state_.Build(tables_);
    CashAuctionUpdate update{};
    std::memcpy(update.quote.code, "000001", 6);
    update.quote.last = 10400;
    update.quote.trades = 50;
    update.quote.volume = 600;
    update.quote.turnover = 7000;
    update.set = CashAuctionUpdate::kLast;
    ASSERT_TRUE(state_.StoreCashAuctionSnapshot(update));
    state_.SetClosingDataLoaded();
    state_.ApplyClose(1, c.close, c.trades, c.volume, c.turnover);
    const StockQuoteRecord quote = Row("000001");
    EXPECT_EQ(quote.last, c.last) << c.close;
    EXPECT_EQ(quote.trades, c.tradesAfter) << c.close;
    EXPECT_EQ(quote.volume, c.volumeAfter) << c.close;
    EXPECT_EQ(quote.turnover, c.turnoverAfter) << c.close;
  }
  state_.ApplyClose(70001, 11500, 1, 2, 3);  // an issue row is a stock quote row too
  state_.ApplyClose(0, 1, 1, 1, 1);
  state_.ApplyClose(3, 1, 1, 1, 1);
  EXPECT_EQ(Row("070001").last, 11500);
  EXPECT_EQ(Row("070001").turnover, 3);
  EXPECT_EQ(StockRows().size(), 4u);
}

TEST_F(MarketStateTest, ClosingLoadBetweenDecodeAndStoreKeepsTheClosingPrice) {
  test::FillSmallDay(tables_);
  state_.Build(tables_);
  CashAuctionUpdate update{};  // the handler's decoded snapshot …
  std::memcpy(update.quote.code, "000001", 6);
  update.quote.last = 999;
  update.set = CashAuctionUpdate::kLast;
  update.tradingPhase[0] = 'E';
  update.origTime = 20260305150300000;
  state_.SetClosingDataLoaded();  // … when the write thread's closing load starts
  state_.ApplyClose(1, 10800, 0, 0, 0);
  EXPECT_FALSE(state_.StoreCashAuctionSnapshot(update));
  EXPECT_EQ(Row("000001").last, 10800);
  EXPECT_EQ(state_.Clock().marketTime, 0);
  EXPECT_EQ(tables_.securities.Get(1)->tradingPhase[0], '\0');
}

TEST_F(MarketStateTest, StartDayClearsTheClosingFlagAndTheClock) {
  state_.SetClosingDataLoaded();
  EXPECT_TRUE(state_.ClosingDataLoaded());
  EXPECT_TRUE(state_.ClosingDataLoadedHint());
  state_.SetMarketTime(20260305101010123);
  state_.StartDay(20260306);
  EXPECT_FALSE(state_.ClosingDataLoaded());
  const MarketClock clock = state_.Clock();
  EXPECT_EQ(clock.marketDate, 20260306);
  EXPECT_EQ(clock.marketTime, 0);
  EXPECT_EQ(clock.milliseconds, 0);
  EXPECT_EQ(clock.status, '1');
}

// ---- Negotiated table
// ------------------------------------------------------------------------------

NegotiatedQuoteRecord Order(int64_t sequence, const char* code, int64_t price) {
  NegotiatedQuoteRecord r{};
  r.sequence = sequence;
  std::memcpy(r.code, code, std::strlen(code));
  r.price = price;
  r.status = '1';
  return r;
}

TEST_F(MarketStateTest, StoredStatusSurvivesARepeatedOrder) {
  test::FillSmallDay(tables_);
  state_.Build(tables_);
  ASSERT_TRUE(state_.StoreNegotiatedOrder(Order(5, "000001", 100)));
  ASSERT_TRUE(state_.UpdateNegotiatedOutcome(5, "000001\0", '0'));
  ASSERT_TRUE(state_.StoreNegotiatedOrder(Order(5, "000001", 200)));
  std::vector<NegotiatedQuoteRecord> rows;
  state_.SnapshotNegotiated(&rows);
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0].price, 200);
  EXPECT_EQ(rows[0].status, '0');
}

TEST_F(MarketStateTest, OutcomeBeforeItsOrderCreatesTheRecordUnderItsSequence) {
  ASSERT_TRUE(state_.UpdateNegotiatedOutcome(7000, "000002\0", '0'));
  std::vector<NegotiatedQuoteRecord> rows;
  state_.SnapshotNegotiated(&rows);
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0].sequence, 7000);
  EXPECT_STREQ(rows[0].code, "000002");
  EXPECT_EQ(rows[0].status, '0');
  EXPECT_EQ(rows[0].price, 0);

  ASSERT_TRUE(state_.StoreNegotiatedOrder(Order(7000, "000002", 10500)));
  state_.SnapshotNegotiated(&rows);
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0].price, 10500);
  EXPECT_EQ(rows[0].status, '0');  // the order is already filled
}

TEST_F(MarketStateTest, NegotiatedSequencesOutsideOneTo20000AreIgnored) {
  for (const int64_t s : {int64_t{0}, int64_t{-1}, int64_t{20001}, INT64_MIN, INT64_MAX}) {
    EXPECT_FALSE(state_.StoreNegotiatedOrder(Order(s, "000001", 1))) << s;
    EXPECT_FALSE(state_.UpdateNegotiatedOutcome(s, "000001\0", '0')) << s;
  }
  EXPECT_TRUE(state_.StoreNegotiatedOrder(Order(20000, "000001", 1)));
  EXPECT_TRUE(state_.StoreNegotiatedOrder(Order(1, "000001", 1)));
  std::vector<NegotiatedQuoteRecord> rows;
  state_.SnapshotNegotiated(&rows);
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0].sequence, 1);  // key order, not arrival order
  EXPECT_EQ(rows[1].sequence, 20000);
}

TEST_F(MarketStateTest, NegotiatedSnapshotLeavesOutRowsWithoutACode) {
  test::FillSmallDay(tables_);
  state_.Build(tables_);  // three empty rows (keys 0 … 2)
  std::vector<NegotiatedQuoteRecord> rows;
  state_.SnapshotNegotiated(&rows);
  EXPECT_TRUE(rows.empty());
  ASSERT_TRUE(state_.StoreNegotiatedOrder(Order(2, "300750", 5)));
  ASSERT_TRUE(state_.StoreNegotiatedOrder(Order(9, "", 5)));  // no code: not shown
  state_.SnapshotNegotiated(&rows);
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0].sequence, 2);
}

// ---- Market clock
// --------------------------------------------------------------------------------

TEST_F(MarketStateTest, MarketTimeNeverMovesBack) {
  state_.StartDay(20260305);
  struct Step {
    int64_t origTime;
    int32_t date, time, ms;  // the clock afterwards
  };
  const Step steps[] = {
      {20260305100000500, 20260305, 100000, 500},
      {20260305095959999, 20260305, 100000, 500},  // earlier time
      {20260305100000900, 20260305, 100000, 500},  // same second
      {20260306090000000, 20260305, 100000, 500},  // later date, smaller time
      {20260304110000000, 20260305, 100000, 500},  // earlier date
      {20260306100001001, 20260306, 100001, 1},    // later date, later time
      {-20260306100002000, 20260306, 100001, 1},   // negative: no time at all
  };
  for (const Step& s : steps) {
    state_.SetMarketTime(s.origTime);
    const MarketClock clock = state_.Clock();
    EXPECT_EQ(clock.marketDate, s.date) << s.origTime;
    EXPECT_EQ(clock.marketTime, s.time) << s.origTime;
    EXPECT_EQ(clock.milliseconds, s.ms) << s.origTime;
  }
}

TEST_F(MarketStateTest, WindowTimeChangesAtMostOncePerTenSeconds) {
  state_.StartDay(20260305);
  state_.SetMarketTime(20260305120001000);
  state_.SetMarketTime(20260305120009000);
  state_.SetMarketTime(20260305120010000);
  state_.SetMarketTime(20260305093000000);  // the display follows the feed, even backwards
  EXPECT_EQ(window_->MarketTimes(), (std::vector<std::string>{"120001", "120010", "93000"}));
  EXPECT_EQ(state_.DisplayedTime(), 9300);
  EXPECT_EQ(state_.Clock().marketTime, 120010);
}

TEST_F(MarketStateTest, StreamFlagsStartAsClosedClosedOpenAndFollowTheirGroups) {
  MarketClock clock = state_.Clock();
  EXPECT_EQ(clock.AuctionClosed, '1');
  EXPECT_EQ(clock.AfterHoursClosed, '1');
  EXPECT_EQ(clock.NegotiatedClosed, '0');
  state_.SetStreamClosed(kStreamGroupNegotiated, '1');
  state_.SetStreamClosed(kStreamGroupAfterHours, '0');
  state_.SetStreamClosed(kStreamGroupAuction, '0');
  state_.SetStreamClosed(0, '9');
  state_.SetStreamClosed(4, '9');
  clock = state_.Clock();
  EXPECT_EQ(clock.AuctionClosed, '0');
  EXPECT_EQ(clock.AfterHoursClosed, '0');
  EXPECT_EQ(clock.NegotiatedClosed, '1');
}

// ---- Reset, switches, overlay
// ----------------------------------------------------------------------

TEST_F(MarketStateTest, ResetEmptiesEverythingAndBuildStartsAfresh) {
  test::FillSmallDay(tables_);
  state_.Build(tables_);
  state_.SetInitialized(true);
  state_.StartDay(20260305);
  state_.SetMarketTime(20260305101500000);
  ASSERT_TRUE(state_.StoreNegotiatedOrder(Order(10, "000001", 1)));

  state_.Reset();
  EXPECT_FALSE(state_.IsInitialized());
  EXPECT_EQ(state_.DisplayedTime(), 0);
  MarketSnapshot snapshot;
  state_.TakeSnapshot(&snapshot);
  EXPECT_TRUE(snapshot.stockQuotes.empty());
  EXPECT_TRUE(snapshot.indexes.empty());
  EXPECT_TRUE(snapshot.indexes4.empty());
  EXPECT_TRUE(snapshot.stats.empty());
  EXPECT_TRUE(snapshot.afterHours.empty());
  EXPECT_TRUE(snapshot.negotiated.empty());
  EXPECT_FALSE(state_.HasStockQuote("000001"));
  EXPECT_EQ(state_.Counts().securities, 0u);

  tables_.ResetForNewDay();
  AddSecurity(tables_, "000002", "NEXTDAY", 1, 3.0);
  state_.Build(tables_);
  state_.TakeSnapshot(&snapshot);
  ASSERT_EQ(snapshot.stockQuotes.size(), 1u);
  EXPECT_STREQ(snapshot.stockQuotes[0].name, "NEXTDAY");
  EXPECT_TRUE(snapshot.negotiated.empty());
  EXPECT_FALSE(state_.HasStockQuote("000001"));
}

TEST_F(MarketStateTest, SwitchesAreSetAndEntriesCreatedUnderTheState) {
  test::FillSmallDay(tables_);
  state_.Build(tables_);
  char pending[31] = {};
  pending[0] = 'T';
  pending[2] = 'F';
  ASSERT_TRUE(state_.ApplySecuritySwitches("000001\0", pending));
  EXPECT_FALSE(state_.ApplySecuritySwitches("000000\0", pending));
  refdata::FeedOverlay overlay;
  state_.SnapshotOverlay(&overlay);
  const refdata::SecuritySwitchRecord* entry = overlay.FindSwitch(1);
  ASSERT_NE(entry, nullptr);
  EXPECT_EQ(entry->Switch(1), 'T');
  EXPECT_EQ(entry->Switch(2), '\0');
  EXPECT_EQ(entry->Switch(3), 'F');
  EXPECT_EQ(overlay.switches.size(), 1u);
  ASSERT_EQ(overlay.phases.size(), 4u);  // every security, type 29 included
  EXPECT_EQ(overlay.phases[2].code, 629u);
  EXPECT_EQ(overlay.phases[0].haltFlag, ' ');
}

}  // namespace
}  // namespace fw::market
