// Where the closing data goes: the market state implements it (taking its own lock in each call),
// so that the closing file loader knows nothing of the market state's tables.
#pragma once

#include <cstdint>

namespace fw::refdata {

class ClosingDataSink {
 public:
  virtual ~ClosingDataSink() = default;
  // The closing-data-loaded flag: cleared by each processor start-up, set by the first successful
  // opening of the day's closing file; while it is set, live cash auction snapshots are ignored.
  virtual bool ClosingDataLoaded() const = 0;
  virtual void SetClosingDataLoaded() = 0;
  // For a code with a stock quote row: last = close, trades, volume and turnover, each only when
  // the given value is greater than 0. Code number 0 or a code without a row is ignored.
  virtual void ApplyClose(uint32_t codeNumber, int64_t close, int64_t trades, int64_t volume,
                          int64_t turnover) = 0;
};

}  // namespace fw::refdata
