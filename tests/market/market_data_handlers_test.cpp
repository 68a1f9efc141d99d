// Market data messages through the real decoder and handlers into a market state built from a
// small reference day (tests/market/market_messages.h). Expected values are worked out by hand
// from the wire values.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "tests/market/market_fixture.h"

namespace fw::market {
namespace {

using test::AfterHoursEntry;
using test::AfterHoursSnapshot;
using test::AuctionEntry;
using test::CashAuctionSnapshot;
using test::IndexSnapshot;
using test::NegotiatedOrder;
using test::NegotiatedOrderMessage;
using test::NegotiatedOutcomeMessage;
using test::PriceEntry;
using test::SecuritySwitchMessage;
using test::SnapshotHeader;
using test::StateImage;
using test::StreamPhaseMessage;
using test::VolumeStatSnapshot;

class HandlersTest : public test::MarketFixture {};

SnapshotHeader Header(const std::string& code, int64_t origTime = 20260305093015000) {
  SnapshotHeader h;
  h.code = code;
  h.origTime = origTime;
  return h;
}

// ---- 300111 cash auction snapshot
// ------------------------------------------------------------------

TEST_F(HandlersTest, EntryPricesAreRescaledWithTheirOwnRounding) {
  struct Case {
    const char* type;
    int64_t wire;
    int64_t StockQuoteRecord::*field;
    int64_t expected;
  };
  const Case cases[] = {
      {"2 ", 10125500, &StockQuoteRecord::last, 10126},
      {"2 ", 10124999, &StockQuoteRecord::last, 10125},
      {"2 ", -1500, &StockQuoteRecord::last, -1},  // (-1500 + 500) / 1000, toward zero
      {"4 ", 9999500, &StockQuoteRecord::open, 10000},
      {"7 ", 12000499, &StockQuoteRecord::high, 12000},
      {"8 ", 500, &StockQuoteRecord::low, 1},
      {"x1", -1500, &StockQuoteRecord::change1, -2},
      {"x1", 1499, &StockQuoteRecord::change1, 1},
      {"x1", -1499, &StockQuoteRecord::change1, -1},
      {"x2", 1500, &StockQuoteRecord::change2, 2},
      {"x2", -2500, &StockQuoteRecord::change2, -3},
      {"x8", 1234550, &StockQuoteRecord::indicator2, 12346},
      {"x8", 1234549, &StockQuoteRecord::indicator2, 12345},
      {"x5", 15004999, &StockQuoteRecord::indicator1, 1500},
      {"x7", 15005000, &StockQuoteRecord::indicator1, 1501},
      {"x6", 25000, &StockQuoteRecord::indicator2, 3},
      {"x9", 14999, &StockQuoteRecord::indicator2, 1},
      {"2 ", INT64_MAX, &StockQuoteRecord::last, 9223372036854776},  // no overflow on the way
      {"x1", INT64_MIN, &StockQuoteRecord::change1, -9223372036854776},
  };
  for (const Case& c : cases) {
    Feed(CashAuctionSnapshot(Header("000001"), {{c.type, c.wire}}));
    EXPECT_EQ(Quote("000001").*(c.field), c.expected) << c.type << " " << c.wire;
  }
  EXPECT_EQ(window_->CountLines("some error in [300111]"), 0u);
}

TEST_F(HandlersTest, SnapshotFillsHeaderFieldsAndTheFullBook) {
  SnapshotHeader h = Header("000001");
  h.prevClosePx = 105000;  // 10.5000 → 10500
  h.numTrades = 12;
  h.totalVolume = 123456799;   // 1234567.99 shares → 1234567
  h.totalValue = 12345678905;  // 1234567.8905 yuan → 1234567890 thousandths
  std::vector<AuctionEntry> entries;
  for (uint16_t level = 1; level <= 5; ++level) {
    entries.push_back({"0 ", 10500000 - level * 10000, 100 * level + 99, level});
    entries.push_back({"1 ", 10500000 + level * 10000, 200 * level, level});
  }
  Feed(CashAuctionSnapshot(h, entries));
  const StockQuoteRecord q = Quote("000001");
  EXPECT_EQ(q.prevClose, 10500);
  EXPECT_EQ(q.trades, 12);
  EXPECT_EQ(q.volume, 1234567);
  EXPECT_EQ(q.turnover, 1234567890);
  for (int i = 0; i < 5; ++i) {
    EXPECT_EQ(q.bidPrice[i], 10490 - 10 * i);
    EXPECT_EQ(q.bidVolume[i], i + 1);  // (100 × level + 99) / 100
    EXPECT_EQ(q.askPrice[i], 10510 + 10 * i);
    EXPECT_EQ(q.askVolume[i], 2 * (i + 1));
  }
  EXPECT_STREQ(q.name, "PINGAN B");  // first 8 bytes of the Symbol
}

TEST_F(HandlersTest, SnapshotWithoutLastKeepsLastButClearsTheBook) {
  Feed(CashAuctionSnapshot(
      Header("000001"),
      {{"2 ", 10500000}, {"0 ", 10490000, 1000, 1}, {"1 ", 10510000, 1000, 1}, {"x5", 150000}}));
  ASSERT_EQ(Quote("000001").bidPrice[0], 10490);
  Feed(CashAuctionSnapshot(Header("000001"), {{"0 ", 10480000, 500, 2}}));
  const StockQuoteRecord q = Quote("000001");
  EXPECT_EQ(q.last, 10500);
  EXPECT_EQ(q.indicator1, 15);
  EXPECT_EQ(q.bidPrice[0], 0);
  EXPECT_EQ(q.askPrice[0], 0);
  EXPECT_EQ(q.askVolume[0], 0);
  EXPECT_EQ(q.bidPrice[1], 10480);
  EXPECT_EQ(q.bidVolume[1], 5);
}

TEST_F(HandlersTest, RepeatedEntryTypeTakesTheLastValue) {
  Feed(CashAuctionSnapshot(Header("000001"), {{"2 ", 10500000},
                                              {"0 ", 10490000, 1000, 1},
                                              {"x8", 1234550},
                                              {"2 ", 10600000},
                                              {"0 ", 10480000, 2000, 1},
                                              {"x6", 25000}}));
  const StockQuoteRecord q = Quote("000001");
  EXPECT_EQ(q.last, 10600);
  EXPECT_EQ(q.bidPrice[0], 10480);
  EXPECT_EQ(q.bidVolume[0], 20);
  EXPECT_EQ(q.indicator2, 3);  // "x6" after "x8": both write indicator2
}

TEST_F(HandlersTest, BookLevelsOutsideOneToFiveChangeNothing) {
  Feed(CashAuctionSnapshot(Header("000001"), {{"0 ", 10490000, 1000, 0},
                                              {"0 ", 10490000, 1000, 6},
                                              {"1 ", 10510000, 1000, 6},
                                              {"1 ", 10510000, 1000, 65535}}));
  const StockQuoteRecord q = Quote("000001");
  for (int i = 0; i < 5; ++i) {
    EXPECT_EQ(q.bidPrice[i], 0);
    EXPECT_EQ(q.bidVolume[i], 0);
    EXPECT_EQ(q.askPrice[i], 0);
    EXPECT_EQ(q.askVolume[i], 0);
  }
  EXPECT_EQ(window_->CountLines("some error in [300111]"), 0u);
  EXPECT_EQ(window_->CountLines("some len error in [300111]"), 0u);
}

TEST_F(HandlersTest, OrderQuantitiesAreSkippedAndDecodingGoesOn) {
  Feed(CashAuctionSnapshot(Header("000001"),
                           {{"0 ", 10490000, 300, 1, {100, 100, 100}}, {"2 ", 10495000}}));
  const StockQuoteRecord q = Quote("000001");
  EXPECT_EQ(q.bidPrice[0], 10490);
  EXPECT_EQ(q.bidVolume[0], 3);
  EXPECT_EQ(q.last, 10495);
}

TEST_F(HandlersTest, ForeignStreamsAndCodesWithoutARowChangeOnlyTheClock) {
  const std::string before = StateImage(state_, false);
  SnapshotHeader h = Header("000001", 20260305100000000);
  h.stream = "040";
  Feed(CashAuctionSnapshot(h, {{"2 ", 10500000}}));
  EXPECT_EQ(state_.Clock().marketTime, 100000);
  Feed(CashAuctionSnapshot(Header("000003", 20260305100500000), {{"2 ", 10500000}}));
  EXPECT_EQ(state_.Clock().marketTime, 100500);
  SnapshotHeader excluded = Header("000629", 20260305101000000);  // SecurityType 29: no row
  excluded.phase = "H0";
  Feed(CashAuctionSnapshot(excluded, {{"2 ", 10500000}}));
  EXPECT_EQ(state_.Clock().marketTime, 101000);

  EXPECT_EQ(StateImage(state_, false), before);
  EXPECT_EQ(Security(629).haltFlag, ' ');
  EXPECT_TRUE(window_->LogLines().empty());
}

TEST_F(HandlersTest, AfterTheClosingLoadSnapshotsAreIgnoredEntirely) {
  state_.SetClosingDataLoaded();
  state_.ApplyClose(1, 10600, 0, 0, 0);
  const std::string before = StateImage(state_);
  SnapshotHeader h = Header("000001", 20260305150500000);
  h.phase = "H0";
  Feed(CashAuctionSnapshot(h, {{"2 ", 10900000}}));
  h.stream = "040";
  Feed(CashAuctionSnapshot(h, {{"2 ", 10900000}}));
  EXPECT_EQ(StateImage(state_), before);
  EXPECT_EQ(Quote("000001").last, 10600);
  EXPECT_EQ(state_.Clock().marketTime, 0);
  EXPECT_TRUE(window_->MarketTimes().empty());
  // Other messages still apply.
  Feed(IndexSnapshot(Header("399001", 20260305150600000), {{"3 ", 10000000000}}));
  EXPECT_EQ(state_.Clock().marketTime, 150600);
}

TEST_F(HandlersTest, TradingPhaseSetsTheSecurityPhaseAndHaltFlag) {
  struct Case {
    const char* phase;
    char halt;
  };
  const Case cases[] = {{"H0", 'H'}, {"T1", 'Y'}, {"T0", '.'}, {"S0", '.'}, {"E1", 'Y'},
                        {"X0", '.'}, {"A9", '.'}, {"P2", '.'}, {"H1", 'H'}};
  // Each case starts from the previous flag; "P2" matches no rule and keeps the '.' before it.
  for (const Case& c : cases) {
    SnapshotHeader h = Header("000002");
    h.phase = c.phase;
    Feed(CashAuctionSnapshot(h, {}));
    EXPECT_EQ(Security(2).tradingPhase[0], c.phase[0]) << c.phase;
    EXPECT_EQ(Security(2).tradingPhase[1], c.phase[1]) << c.phase;
    EXPECT_EQ(Security(2).haltFlag, c.halt) << c.phase;
  }
  // A parameter row is not a security: nothing is created for it.
  SnapshotHeader issue = Header("070001");
  issue.phase = "H0";
  Feed(CashAuctionSnapshot(issue, {{"2 ", 11000000}}));
  EXPECT_EQ(Quote("070001").last, 11000);
  EXPECT_EQ(tables_.securities.Get(70001), nullptr);
}

TEST_F(HandlersTest, RejectedSnapshotChangesNeitherPhaseNorClock) {
  const std::string before = StateImage(state_);
  SnapshotHeader h = Header("000001", 20260305110000000);
  h.phase = "H0";
  test::Bytes body = CashAuctionSnapshot(h, {{"2 ", 10500000}}).Body();
  body.push_back(0);
  Feed(test::FrameAround(feed::kMsgCashAuctionSnapshot, body));
  EXPECT_EQ(window_->CountLines("some len error in [300111]"), 1u);
  EXPECT_EQ(Security(1).haltFlag, ' ');
  EXPECT_EQ(state_.Clock().marketTime, 0);
  EXPECT_TRUE(window_->MarketTimes().empty());
  EXPECT_EQ(StateImage(state_), before);
}

TEST_F(HandlersTest, AcceptedSnapshotMovesTheClockAndTheWindowTime) {
  Feed(CashAuctionSnapshot(Header("000001", 20260305120001000), {}));
  Feed(CashAuctionSnapshot(Header("000002", 20260305120009000), {}));
  Feed(CashAuctionSnapshot(Header("000001", 20260305120010250), {}));
  EXPECT_EQ(window_->MarketTimes(), (std::vector<std::string>{"120001", "120010"}));
  const MarketClock clock = state_.Clock();
  EXPECT_EQ(clock.marketDate, 20260305);
  EXPECT_EQ(clock.marketTime, 120010);
  EXPECT_EQ(clock.milliseconds, 250);
}

// ---- 309011 index, 309111 statistics
// -----------------------------------------------------------------

TEST_F(HandlersTest, OneIndexSnapshotFillsBothIndexTables) {
  SnapshotHeader h = Header("399001");
  h.stream = "900";
  h.numTrades = 77;
  h.totalVolume = 1234500;
  h.totalValue = 98765;
  Feed(IndexSnapshot(h, {{"3 ", 10234567890},
                         {"xa", 10000000000},
                         {"xb", 10100000499},
                         {"xc", 10300000500},
                         {"xd", 9999999999},
                         {"x1", 5}}));
  const IndexQuoteRecord three = Index(IndexTable::kThreeDecimals, "399001");
  EXPECT_EQ(three.current, 10234568);
  EXPECT_EQ(three.prevClose, 10000000);
  EXPECT_EQ(three.open, 10100000);
  EXPECT_EQ(three.high, 10300001);
  EXPECT_EQ(three.low, 10000000);
  const IndexQuoteRecord four = Index(IndexTable::kFourDecimals, "399001");
  EXPECT_EQ(four.current, 102345678);
  EXPECT_EQ(four.prevClose, 100000000);
  EXPECT_EQ(four.open, 101000004);
  EXPECT_EQ(four.high, 103000005);
  EXPECT_EQ(four.low, 99999999);
  for (const IndexQuoteRecord& r : {three, four}) {
    EXPECT_EQ(r.trades, 77);
    EXPECT_EQ(r.volume, 12345);
    EXPECT_EQ(r.turnover, 9876);
  }
  // The other index keeps its reference values (2000.0 at three and four decimals).
  EXPECT_EQ(Index(IndexTable::kThreeDecimals, "399006").current, 2000000);
  EXPECT_EQ(Index(IndexTable::kFourDecimals, "399006").current, 20000000);
}

TEST_F(HandlersTest, IndexSnapshotOnAnotherStreamOrForAnUnknownIndexIsDropped) {
  SnapshotHeader h = Header("399001", 20260305093100000);
  h.stream = "901";
  Feed(IndexSnapshot(h, {{"3 ", 1}}));
  SnapshotHeader unknown = Header("399999", 20260305093200000);
  unknown.stream = "900";
  Feed(IndexSnapshot(unknown, {{"3 ", 1}}));
  EXPECT_EQ(Index(IndexTable::kThreeDecimals, "399001").current, 10234563);  // 10234.5625
  EXPECT_EQ(Index(IndexTable::kFourDecimals, "399001").current, 102345625);
  EXPECT_EQ(state_.Clock().marketTime, 93200);
  EXPECT_TRUE(window_->LogLines().empty());
}

TEST_F(HandlersTest, VolumeStatisticsAreStoredWithoutMovingTheClock) {
  SnapshotHeader h = Header("395001", 20260305140000000);
  h.stream = "910";
  h.numTrades = 5;
  h.totalVolume = 12399;
  h.totalValue = 4569;
  Feed(VolumeStatSnapshot(h, 1500));
  VolumeStatRecord stat;
  ASSERT_TRUE(state_.FetchVolumeStat("395001", &stat));
  EXPECT_EQ(stat.trades, 5);
  EXPECT_EQ(stat.volume, 123);
  EXPECT_EQ(stat.turnover, 456);
  EXPECT_EQ(stat.stockNum, 1500u);
  EXPECT_EQ(state_.Clock().marketTime, 0);
  h.stream = "900";
  h.numTrades = 6;
  Feed(VolumeStatSnapshot(h, 1));
  ASSERT_TRUE(state_.FetchVolumeStat("395001", &stat));
  EXPECT_EQ(stat.trades, 5);
}

// ---- 300611 after-hours
// ------------------------------------------------------------------------------

SnapshotHeader AfterHoursHeader(const char* stream, int64_t trades, int64_t volume, int64_t value) {
  SnapshotHeader h = Header("000002");
  h.stream = stream;
  h.numTrades = trades;
  h.totalVolume = volume;
  h.totalValue = value;
  return h;
}

TEST_F(HandlersTest, AfterHoursStreamsFillTheirColumnsInEitherOrder) {
  for (const bool sixtyFirst : {true, false}) {
    Rebuild();
    const auto s060 = AfterHoursSnapshot(AfterHoursHeader("060", 3, 50000, 123450),
                                         {{"0 ", 20000999, 30000}, {"1 ", 20000999, 20000}});
    const auto s061 =
        AfterHoursSnapshot(AfterHoursHeader("061", 4, 70000, 54321), {{"1 ", 19990000, 10000}});
    Feed(sixtyFirst ? s060 : s061);
    Feed(sixtyFirst ? s061 : s060);
    const AfterHoursQuoteRecord row = AfterHoursRows()[1];
    EXPECT_STREQ(row.code, "000002");
    EXPECT_EQ(row.has060, '1');
    EXPECT_EQ(row.has061, '2');
    EXPECT_EQ(row.price[0], 20000);  // truncated, not rounded
    EXPECT_EQ(row.trades[0], 3);
    EXPECT_EQ(row.volume[0], 500);
    EXPECT_EQ(row.turnover[0], 12345);
    EXPECT_EQ(row.bidVolume[0], 300);
    EXPECT_EQ(row.askVolume[0], 200);
    EXPECT_EQ(row.price[1], 19990);
    EXPECT_EQ(row.trades[1], 4);
    EXPECT_EQ(row.volume[1], 700);
    EXPECT_EQ(row.turnover[1], 5432);
    EXPECT_EQ(row.bidVolume[1], 0);
    EXPECT_EQ(row.askVolume[1], 100);
    EXPECT_EQ(AfterHoursRows()[0].has060, '\0');  // 000001 untouched
  }
}

TEST_F(HandlersTest, RepeatedAfterHoursSnapshotReplacesItsColumn) {
  Feed(AfterHoursSnapshot(AfterHoursHeader("060", 1, 10000, 100), {{"0 ", 20000000, 10000}}));
  Feed(AfterHoursSnapshot(AfterHoursHeader("060", 2, 30000, 300), {{"1 ", 21000000, 20000}}));
  const AfterHoursQuoteRecord row = AfterHoursRows()[1];
  EXPECT_EQ(row.has060, '1');
  EXPECT_EQ(row.has061, '\0');
  EXPECT_EQ(row.trades[0], 2);
  EXPECT_EQ(row.volume[0], 300);
  EXPECT_EQ(row.price[0], 21000);
  EXPECT_EQ(row.bidVolume[0], 0);
  EXPECT_EQ(row.askVolume[0], 200);
  EXPECT_EQ(row.trades[1], 0);
}

struct AfterHoursColumn {
  char flag;
  int64_t price, volume, turnover, trades, bidVolume, askVolume;
  bool operator==(const AfterHoursColumn&) const = default;
};

AfterHoursColumn ColumnOf(const AfterHoursQuoteRecord& r, int c) {
  return {c == 0 ? r.has060 : r.has061,
          r.price[c],
          r.volume[c],
          r.turnover[c],
          r.trades[c],
          r.bidVolume[c],
          r.askVolume[c]};
}

// A snapshot without entries reports its stream's totals but no price or book.
TEST_F(HandlersTest, AfterHoursSnapshotWithoutEntriesTakesItsTotalsAndKeepsPriceAndBook) {
  const auto with060 = AfterHoursSnapshot(AfterHoursHeader("060", 3, 50000, 123450),
                                          {{"0 ", 20000999, 30000}, {"1 ", 20000999, 20000}});
  const auto bare060 = AfterHoursSnapshot(AfterHoursHeader("060", 5, 70000, 99990), {});
  const auto bare061 = AfterHoursSnapshot(AfterHoursHeader("061", 4, 90000, 55550), {});
  const auto with061 =
      AfterHoursSnapshot(AfterHoursHeader("061", 6, 10000, 11110), {{"1 ", 19990000, 10000}});
  struct Case {
    std::vector<test::Message> messages;
    AfterHoursColumn column0, column1;
  };
  const Case cases[] = {
      {{with060, bare060}, {'1', 20000, 700, 9999, 5, 300, 200}, {'\0', 0, 0, 0, 0, 0, 0}},
      {{with060, bare061}, {'1', 20000, 500, 12345, 3, 300, 200}, {'\0', 0, 900, 5555, 4, 0, 0}},
      {{bare060, with061}, {'\0', 0, 700, 9999, 5, 0, 0}, {'2', 19990, 100, 1111, 6, 0, 100}},
  };
  for (size_t i = 0; i < std::size(cases); ++i) {
    Rebuild();
    for (const test::Message& m : cases[i].messages) Feed(m);
    const AfterHoursQuoteRecord row = AfterHoursRows()[1];
    EXPECT_TRUE(ColumnOf(row, 0) == cases[i].column0) << "case " << i;
    EXPECT_TRUE(ColumnOf(row, 1) == cases[i].column1) << "case " << i;
  }
  EXPECT_TRUE(window_->LogLines().empty());
}

TEST_F(HandlersTest, AfterHoursSnapshotWithMoreThanTwoEntriesIsRejected) {
  const std::string before = StateImage(state_);
  Feed(AfterHoursSnapshot(AfterHoursHeader("060", 1, 100, 100),
                          {{"0 ", 1000, 100}, {"1 ", 1000, 100}, {"2 ", 1000, 100}}));
  EXPECT_EQ(window_->CountLines("some len error in [300611]"), 1u);
  // A count of three with two entries present: still not read, still left over.
  Feed(AfterHoursSnapshot(AfterHoursHeader("061", 1, 100, 100),
                          {{"0 ", 1000, 100}, {"1 ", 1000, 100}}, 3));
  EXPECT_EQ(window_->CountLines("some len error in [300611]"), 2u);
  Feed(AfterHoursSnapshot(AfterHoursHeader("062", 1, 100, 100), {}));
  SnapshotHeader excluded = AfterHoursHeader("060", 1, 100, 100);
  excluded.code = "000629";
  Feed(AfterHoursSnapshot(excluded, {}));
  EXPECT_EQ(StateImage(state_), before);
}

// ---- 300592, 300591 negotiated trading
// ---------------------------------------------------------------

TEST_F(HandlersTest, SellOrderWithoutConfirmationIdIsAnHOrderWithoutFixedVolume) {
  NegotiatedOrder o;
  o.sequence = 42;
  o.side = '2';
  o.confirmId = "";  // eight spaces on the wire
  Feed(NegotiatedOrderMessage(o));
  const std::vector<NegotiatedQuoteRecord> rows = Negotiated();
  ASSERT_EQ(rows.size(), 1u);
  const NegotiatedQuoteRecord& r = rows[0];
  EXPECT_EQ(r.sequence, 42);
  EXPECT_EQ(std::memcmp(r.code, "000001\0\0", 8), 0);
  EXPECT_EQ(r.price, 10500);
  EXPECT_EQ(r.volume, 100000);
  EXPECT_EQ(r.side, 'S');
  EXPECT_EQ(r.quoteKind, 'H');
  EXPECT_EQ(r.fixedVolume, 0);
  EXPECT_EQ(std::memcmp(r.kindPrefix, "  ", 2), 0);
  EXPECT_EQ(std::memcmp(r.contact, "Li          ", 12), 0);
  EXPECT_EQ(std::memcmp(r.contactInfo, "13800000000                   ", 30), 0);
  EXPECT_EQ(std::memcmp(r.flags, "01", 2), 0);
  EXPECT_STREQ(r.time, "14301512");  // 143015120 / 10
  EXPECT_EQ(r.status, '1');
  EXPECT_EQ(std::memcmp(r.trailer, " \0 \0\0 ", 6), 0);
  EXPECT_EQ(r.reserved1, '\0');
}

TEST_F(HandlersTest, OrderKindSideAndTimeFollowTheWire) {
  struct Case {
    uint8_t side;
    const char* confirmId;
    int64_t transactTime;
    char expectedSide;
    char expectedKind;
    int64_t fixedVolume;
    const char* time;
  };
  const Case cases[] = {
      {'1', "CONF0001", 20260305093015120, 'B', 'O', 99999999, " 9301512"},
      {'2', "       X", 20260305100000009, 'S', 'O', 99999999, "10000000"},
      {'3', "CONF0001", 20260305000000150, '\0', 'O', 0, "      15"},
      {'1', "", 20260305235959999, 'B', 'H', 0, "23595999"},
      {'1', "", -20260305123456789, 'B', 'H', 0, "-1234567"},  // cut to the field, never past it
  };
  int64_t sequence = 100;
  for (const Case& c : cases) {
    NegotiatedOrder o;
    o.sequence = ++sequence;
    o.side = c.side;
    o.confirmId = c.confirmId;
    o.transactTime = c.transactTime;
    Feed(NegotiatedOrderMessage(o));
    const NegotiatedQuoteRecord r = Negotiated().back();
    EXPECT_EQ(r.sequence, sequence);
    EXPECT_EQ(r.side, c.expectedSide) << c.confirmId;
    EXPECT_EQ(r.quoteKind, c.expectedKind) << c.confirmId;
    EXPECT_EQ(r.fixedVolume, c.fixedVolume) << c.confirmId;
    EXPECT_STREQ(r.time, c.time);
  }
}

TEST_F(HandlersTest, ContactorIsConvertedToGbk) {
  NegotiatedOrder o;
  o.sequence = 3;
  o.contactor = "\xE5\xBC\xA0\xE4\xB8\x89 Wu";  // UTF-8 of the two-character name, then " Wu"
  Feed(NegotiatedOrderMessage(o));
  const NegotiatedQuoteRecord r = Negotiated().at(0);
  // GBK D5C5 C8FD, " Wu", the three blanks that padded the field, and zeros: the GBK text is two
  // bytes shorter than the UTF-8 one.
  EXPECT_EQ(std::string(r.contact, 12), std::string("\xD5\xC5\xC8\xFD Wu   \0\0", 12));
}

TEST_F(HandlersTest, NegotiatedStreamsAndSequencesOutsideTheirRangesAreDropped) {
  NegotiatedOrder o;
  o.stream = "053";
  Feed(NegotiatedOrderMessage(o));
  o.stream = "052";
  o.sequence = 20001;
  Feed(NegotiatedOrderMessage(o));
  o.sequence = 0;
  Feed(NegotiatedOrderMessage(o));
  Feed(NegotiatedOutcomeMessage(5, "000001", 'F', "060"));
  EXPECT_TRUE(Negotiated().empty());
  EXPECT_TRUE(window_->LogLines().empty());
}

TEST_F(HandlersTest, ExecutionTypeDecidesWhetherTheOrderStaysLive) {
  struct Case {
    uint8_t execType;
    char status;
  };
  const Case cases[] = {{'F', '0'}, {'4', '0'}, {'0', '1'}, {'2', '1'}};
  int64_t sequence = 0;
  for (const Case& c : cases) {
    NegotiatedOrder o;
    o.sequence = ++sequence;
    o.stream = "052";
    Feed(NegotiatedOrderMessage(o));
    Feed(NegotiatedOutcomeMessage(sequence, "300750", c.execType, "052"));
    const NegotiatedQuoteRecord r = Negotiated().at(static_cast<size_t>(sequence - 1));
    EXPECT_EQ(r.status, c.status) << c.execType;
    EXPECT_STREQ(r.code, "300750");
    EXPECT_EQ(r.price, 10500);  // the rest of the order stays
  }
}

// ---- 390013 switches, 390090 stream phases
// -----------------------------------------------------------

TEST_F(HandlersTest, SwitchMessageSetsSwitchCharactersAndCreatesEntries) {
  Feed(SecuritySwitchMessage(20260305091500000, "000001",
                             {{1, 1}, {2, 0}, {31, 1}, {0, 1}, {32, 1}, {2, 2}}));
  Feed(SecuritySwitchMessage(20260305091600000, "123456", {{5, 1}}));
  refdata::FeedOverlay overlay;
  state_.SnapshotOverlay(&overlay);
  const refdata::SecuritySwitchRecord* one = overlay.FindSwitch(1);
  ASSERT_NE(one, nullptr);
  EXPECT_EQ(one->Switch(1), 'T');
  EXPECT_EQ(one->Switch(2), 'F');  // status 2 is not 1
  EXPECT_EQ(one->Switch(31), 'T');
  EXPECT_EQ(one->Switch(3), '\0');
  const refdata::SecuritySwitchRecord* created = overlay.FindSwitch(123456);
  ASSERT_NE(created, nullptr);
  EXPECT_EQ(created->Switch(5), 'T');
  EXPECT_EQ(state_.Clock().marketTime, 91600);

  Feed(SecuritySwitchMessage(20260305091700000, "000000", {{1, 1}}));
  state_.SnapshotOverlay(&overlay);
  EXPECT_EQ(overlay.switches.size(), 2u);
  EXPECT_EQ(state_.Clock().marketTime, 91700);
  EXPECT_TRUE(window_->LogLines().empty());
}

TEST_F(HandlersTest, StreamPhaseSetsTheClosedFlagOfEachGroup) {
  Feed(StreamPhaseMessage({{"060", "E0"}}));
  EXPECT_EQ(state_.Clock().AfterHoursClosed, '1');
  Feed(StreamPhaseMessage({{"061", "T0"}}));
  EXPECT_EQ(state_.Clock().AfterHoursClosed, '0');
  Feed(StreamPhaseMessage({{"010", "E0"}, {"052", "E1"}, {"070", "T0"}}));
  MarketClock clock = state_.Clock();
  EXPECT_EQ(clock.AuctionClosed, '1');
  EXPECT_EQ(clock.NegotiatedClosed, '1');
  EXPECT_EQ(clock.AfterHoursClosed, '0');
  Feed(StreamPhaseMessage({{"020", "T0"}, {"030", "E0"}, {"051", "C0"}}));
  clock = state_.Clock();
  EXPECT_EQ(clock.AuctionClosed, '1');  // the last entry of the group wins
  EXPECT_EQ(clock.NegotiatedClosed, '0');
}

TEST_F(HandlersTest, OtherMessageTypesArePassedOver) {
  const std::string before = StateImage(state_);
  const test::Bytes body = CashAuctionSnapshot(Header("000001"), {{"2 ", 10500000}}).Body();
  for (const uint32_t type : {1u, 2u, 3u, 300191u, 300192u, 300112u, 500000u}) {
    Feed(test::FrameAround(type, body));
  }
  EXPECT_EQ(StateImage(state_), before);
  EXPECT_TRUE(window_->LogLines().empty());
}

}  // namespace
}  // namespace fw::market
