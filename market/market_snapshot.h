// What one write cycle writes: copies of the market state taken under the processor's lock, table
// by table, so that the writers format and write without holding it and never see a record that a
// handler is changing. A snapshot kept from cycle to cycle is refreshed with the rows that changed
// (MarketState::RefreshSnapshot), and SnapshotChanges says which those were.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "market/market_records.h"
#include "refdata/reference_tables.h"

namespace fw::market {

struct MarketSnapshot {
  // The tables' build this snapshot was taken from; 0 before the first copy.
  uint64_t generation = 0;
  MarketClock clock{};
  std::vector<StockQuoteRecord> stockQuotes;      // row order
  std::vector<IndexQuoteRecord> indexes;          // index table (three decimals), ascending code
  std::vector<IndexQuoteRecord> indexes4;         // index table at four decimals, ascending code
  std::vector<VolumeStatRecord> stats;            // ascending code
  std::vector<AfterHoursQuoteRecord> afterHours;  // row order
  // The negotiated table in key order (sequence - 1), only the records that carry a code (no
  // writer shows the others), and the key of each.
  std::vector<NegotiatedQuoteRecord> negotiated;
  std::vector<uint16_t> negotiatedKeys;
  refdata::FeedOverlay overlay;  // trading phases, halt flags and switches of the reference tables
};

// What a refresh of a kept snapshot changed. Row numbers and positions index the snapshot's
// vectors; the lists are in no particular order.
struct SnapshotChanges {
  static constexpr size_t kNoShift = SIZE_MAX;

  // Everything was copied anew: the first copy, or the tables were built again since the last.
  // The lists below are then empty.
  bool whole = false;
  std::vector<uint32_t> stockRows;
  std::vector<uint32_t> indexRows;   // of `indexes`
  std::vector<uint32_t> index4Rows;  // of `indexes4`
  std::vector<uint32_t> statRows;
  std::vector<uint32_t> afterHoursRows;
  // Positions of `negotiated` that hold the same order as before with new contents; and, when
  // orders were added or removed, the first position from which on each may hold another order
  // (the rest of the list moved), else kNoShift.
  std::vector<uint32_t> negotiatedPositions;
  size_t negotiatedFrom = kNoShift;
  // Codes whose trading phase, halt flag or switches changed, ascending.
  std::vector<uint32_t> overlayCodes;
  // The keys of the negotiated table that orders or outcomes were stored into.
  std::vector<uint32_t> negotiatedKeys;

  void Clear() {
    whole = false;
    for (std::vector<uint32_t>* rows :
         {&stockRows, &indexRows, &index4Rows, &statRows, &afterHoursRows, &negotiatedPositions,
          &overlayCodes, &negotiatedKeys}) {
      rows->clear();
    }
    negotiatedFrom = kNoShift;
  }
};

}  // namespace fw::market
