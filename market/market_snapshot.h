// What one write cycle writes: copies of the market state taken under the processor's lock, table
// by table, so that the writers format and write without holding it and never see a record that a
// handler is changing.
#pragma once

#include <vector>

#include "market/market_records.h"
#include "refdata/reference_tables.h"

namespace fw::market {

struct MarketSnapshot {
  MarketClock clock{};
  std::vector<StockQuoteRecord> stockQuotes;      // row order
  std::vector<IndexQuoteRecord> indexes;          // index table (three decimals), ascending code
  std::vector<IndexQuoteRecord> indexes4;         // index table at four decimals, ascending code
  std::vector<VolumeStatRecord> stats;            // ascending code
  std::vector<AfterHoursQuoteRecord> afterHours;  // row order
  // The negotiated table in key order (sequence - 1); records whose code is all zero (rows no
  // message filled) may be left out, as no writer shows them.
  std::vector<NegotiatedQuoteRecord> negotiated;
  refdata::FeedOverlay overlay;  // trading phases, halt flags and switches of the reference tables
};

}  // namespace fw::market
