// The closing data loader: reads the exchange's closing file of the day (cashsecurityclosemd) once
// the market has closed and hands each security's official close and totals to the market state,
// after which the day's quotes are final.
//
// Runs on the write thread, once per sleeping pass after the close until the file has been opened;
// the ClosingDataSink takes the market state's lock in each call. A loader is made for one load.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "refdata/closing_data_sink.h"
#include "refdata/reference_file_reader.h"

namespace fw::refdata {

class ClosingDataLoader : public ReferenceFileReader {
 public:
  // folder: the expanded reference folder (a prefix ending with a separator).
  ClosingDataLoader(std::string folder, ClosingDataSink& sink);

  // Once the sink's closing-data-loaded flag is set, returns 0 without reading. Otherwise opens
  // today's cashsecurityclosemd_<date>.xml; when that fails, returns -100, -200 or -300 and leaves
  // the flag clear so that a later pass tries again. After a successful open it logs "open
  // securityclosemd.xml file: %s ", sets the flag before any record (live snapshots stop changing
  // the quotes from then on, even when the file holds no Security) and, for each Security with a
  // usable SecurityID, passes to ApplyClose:
  //   close    = (ClosePx + 0.0005) × 1000, truncated (thousandths, rounded half up)
  //   trades   = NumTrades, truncated
  //   volume   = TotalVolumeTrade, truncated
  //   turnover = (TotalValueTrade + 0.0005) × 1000, truncated
  // each 0 when its element is missing or the value cannot be held (ApplyClose ignores values that
  // are not greater than 0). Returns 0.
  int32_t Load();
  // The same for a document already in memory (tests, tools), without the file's line: 0 (also
  // when the flag was already set), -200 or -300.
  int32_t LoadText(std::string_view text);

 private:
  void ApplySecurities();

  ClosingDataSink& sink_;
};

}  // namespace fw::refdata
