// Rows of the market state found by code, read the way the write cycle reads them: through a copy
// of the table.
#pragma once

#include <cstring>
#include <string>
#include <vector>

#include "market/market_state.h"

namespace fw::test {

// The stock quote row of a six-digit code; false when the table has none.
inline bool FindStockRow(const market::MarketState& state, const std::string& code,
                         market::StockQuoteRecord* out) {
  std::vector<market::StockQuoteRecord> rows;
  state.SnapshotStockQuotes(&rows);
  for (const market::StockQuoteRecord& row : rows) {
    if (code.size() == 6 && std::memcmp(row.code, code.data(), 6) == 0) {
      *out = row;
      return true;
    }
  }
  return false;
}

}  // namespace fw::test
