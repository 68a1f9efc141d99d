// The fixture of the handler tests: a market state built from a small reference day, fed through
// the real decoder and handlers, with the run log and the main window caught.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "feed/market_data_decoder.h"
#include "feed/market_data_handlers.h"
#include "market/market_state.h"
#include "tests/market/market_messages.h"
#include "tests/support/market_rows.h"
#include "tests/support/test_support.h"

namespace fw::market::test {

// Every byte the state shows to the write cycle (all tables, the clock, the displayed time, the
// trading phases, halt flags and switches), for "nothing changed" comparisons.
// With withClock false the market clock and the displayed time are left out, with withSwitches
// false the security switch table.
inline std::string StateImage(const MarketState& state, bool withClock = true,
                              bool withSwitches = true) {
  MarketSnapshot s;
  state.TakeSnapshot(&s);
  std::string image;
  auto put = [&image](const void* data, size_t n) {
    image.append(static_cast<const char*>(data), n);
  };
  auto putTable = [&put](const auto& rows) {
    const size_t n = rows.size();
    put(&n, sizeof n);
    if (n > 0) put(rows.data(), n * sizeof rows[0]);
  };
  if (withClock) {
    put(&s.clock, sizeof s.clock);
    const int32_t displayed = state.DisplayedTime();
    put(&displayed, sizeof displayed);
  }
  putTable(s.stockQuotes);
  putTable(s.indexes);
  putTable(s.indexes4);
  putTable(s.stats);
  putTable(s.afterHours);
  putTable(s.negotiated);
  for (const auto& p : s.overlay.phases) {
    put(&p.code, sizeof p.code);
    put(p.tradingPhase, 2);
    put(&p.haltFlag, 1);
  }
  if (withSwitches) {
    for (const auto& [code, record] : s.overlay.switches) {
      put(&code, sizeof code);
      put(&record, sizeof record);
    }
  }
  return image;
}

class MarketFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    window_ = fw::test::WindowCatcher::Install();
    SetRunLogFolder(logDir_.Path().string());
    FillSmallDay(tables_);
    state_.StartDay(20260305);
    state_.Build(tables_);
    decoder_.SetDispatcher(&handlers_);
    decoder_.AllocateRing();
    window_->Clear();
  }
  void TearDown() override {
    CloseRunLog();
    fw::test::WindowCatcher::Uninstall();
  }

  // Back to the freshly built small day.
  void Rebuild() {
    state_.Reset();  // before the reference tables go: rows point into them
    tables_ = refdata::ReferenceTables{};
    FillSmallDay(tables_);
    state_.StartDay(20260305);
    state_.Build(tables_);
    window_->Clear();
  }

  void Feed(const Bytes& frame) {
    decoder_.Process(frame.data(), static_cast<uint32_t>(frame.size()));
  }
  void Feed(const Message& message) { Feed(message.Frame()); }

  StockQuoteRecord Quote(const char* code) {
    StockQuoteRecord q{};
    EXPECT_TRUE(fw::test::FindStockRow(state_, code, &q)) << code;
    return q;
  }
  IndexQuoteRecord Index(IndexTable table, const char* code) {
    IndexQuoteRecord q{};
    EXPECT_TRUE(state_.FetchIndexQuote(table, code, &q)) << code;
    return q;
  }
  const refdata::SecurityRecord& Security(uint32_t code) { return *tables_.securities.Get(code); }
  std::vector<AfterHoursQuoteRecord> AfterHoursRows() {
    std::vector<AfterHoursQuoteRecord> rows;
    state_.SnapshotAfterHours(&rows);
    return rows;
  }
  std::vector<NegotiatedQuoteRecord> Negotiated() {
    std::vector<NegotiatedQuoteRecord> rows;
    state_.SnapshotNegotiated(&rows);
    return rows;
  }

  fw::test::TempDir logDir_;
  std::shared_ptr<fw::test::WindowCatcher> window_;
  refdata::ReferenceTables tables_;
  MarketState state_;
  feed::MarketDataDecoder decoder_;
  feed::MarketDataHandlers handlers_{state_, &decoder_.Counters()};
};

}  // namespace fw::market::test
