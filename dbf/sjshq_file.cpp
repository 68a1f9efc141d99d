// SJSHQ.DBF rows: one function per row kind, each a list of "field <- value" lines in field
// order. Runs on the write thread, one writer per cycle.
#include "dbf/sjshq_file.h"

#include <cmath>
#include <cstring>

#include "dbf/legacy_text.h"
#include "dbf/row_writer.h"
#include "foundation/error_code.h"
#include "foundation/local_clock.h"
#include "refdata/code_number.h"

namespace fw::dbf {

using namespace sjshq;
using market::IndexQuoteRecord;
using market::StockQuoteRecord;
using market::VolumeStatRecord;

namespace {

// The files' two-decimal rounding of yields: trunc((x + 0.00501) * 100) * 0.01. A value whose
// scaled form is no integer (NaN, infinity, beyond 64 bits) is returned as it is: it does not fit
// the 7.2 field either, which then shows "   0.00".
double RoundYield(double x) {
  const double scaled = (x + 0.00501) * 100;
  if (!(std::fabs(scaled) < 9.0e18)) return x;
  return static_cast<double>(static_cast<int64_t>(scaled)) * 0.01;
}

struct YieldColumns {
  double hqsyl1;
  double hqsyl2;
};

// HQSYL1 and HQSYL2 of a security row, by SecurityType.
YieldColumns YieldColumnsOf(const refdata::SecurityRecord& security,
                            const StockQuoteRecord& quote) {
  const double indicator1 = static_cast<double>(quote.indicator1);
  const double indicator2 = static_cast<double>(quote.indicator2);
  switch (security.SecurityType) {
    case 5:
    case 6:
    case 7:
    case 8:
    case 9:  // bonds: the coupon interest
      return {RoundYield(static_cast<double>(security.Interest)), 0.0};
    case 25:
      return {RoundYield(security.NAV * 100), 0.0};
    case 14:
    case 15:
    case 16:
    case 17:
    case 18:
    case 19:
    case 20:
    case 23:
    case 24:
    case 26:
      if (security.ParValue >= 99.9999 && security.ParValue <= 100.001) {
        return {RoundYield(security.NAV * 10), indicator2 * 0.001};
      }
      return {RoundYield(security.NAV * 100), indicator2 * 0.01};
    default:
      return {indicator1 * 0.01, indicator2 * 0.0001};
  }
}

// (a - b) * 0.001 without the overflow of a 64-bit difference: out-of-range differences are taken
// in double, which shows the nines value as the field would anyway.
double ScaledDifference(int64_t a, int64_t b) {
  if ((b < 0 && a > INT64_MAX + b) || (b > 0 && a < INT64_MIN + b)) {
    return (static_cast<double>(a) - static_cast<double>(b)) * 0.001;
  }
  return static_cast<double>(a - b) * 0.001;
}

constexpr double kPrice = 0.001;  // price and turnover units: thousandths of a yuan

// Looks codes up in one reference table. The stock quote table runs in ascending code order, so a
// look-up walks forward from the previous one instead of searching the tree from its root (twenty
// thousand tree searches through scattered nodes cost more than formatting the rows); a code below
// the previous one, or one far ahead, is searched normally.
template <typename Table>
class AscendingLookup {
 public:
  explicit AscendingLookup(const Table& table) : map_(table.Entries()), at_(map_.begin()) {}

  const auto* Find(uint32_t code) {
    if (code < lastCode_) {
      at_ = map_.lower_bound(code);
    } else {
      // Everything before at_ is below lastCode_, hence below code: walking on finds its bound.
      for (int step = 0; step < 8 && at_ != map_.end() && at_->first < code; ++step) ++at_;
      if (at_ != map_.end() && at_->first < code) at_ = map_.lower_bound(code);
    }
    lastCode_ = code;
    return at_ != map_.end() && at_->first == code ? &at_->second.record : nullptr;
  }

 private:
  const typename Table::Map& map_;
  typename Table::Map::const_iterator at_;
  uint32_t lastCode_ = 0;
};

}  // namespace

SZSjshqFile::SZSjshqFile(bool lostHighVol) : DbfTable(kFields), lostHighVol_(lostHighVol) {}

int32_t SZSjshqFile::Open(const std::string& path) {
  rowCounter_ = 0;
  const int32_t result = DbfTable::Open(path);
  if (result < 0) {
    Abort();
    return result;
  }
  return 1;
}

int32_t SZSjshqFile::NextRow() { return GoToRecordExtending(rowCounter_++); }

int32_t SZSjshqFile::WriteFirstRecord(const market::MarketClock& clock, uint32_t rowEstimate) {
  int32_t result = rowEstimate == UINT32_MAX ? kErrBadArgument : SetRecordCount(rowEstimate + 1);
  rowCounter_ = 0;
  const int32_t row = NextRow();
  if (row < 0) return row;

  char dateText[kLegacyTextSize];
  const size_t length = DateText(clock.marketDate, dateText);

  RowWriter w(*this, RowWriter::Mode::kIgnoreFailures);
  w.Chars(HQZQDM, "000000", 6);
  w.Chars(HQZQJC, dateText, length);
  w.Number(HQZRSP, 1.0);
  w.Zero(HQJRKP);
  w.Zero(HQZJCJ);
  w.Integer(HQCJSL, clock.AuctionClosed - '0');
  w.Zero(HQCJJE);
  w.Integer(HQCJBS, clock.marketTime);
  w.Zeros(HQZGCJ, HQBJW5);
  w.Integer(HQBSL5, int64_t{LocalNow().Time()} * 100);
  if (w.Failed() && result >= 0) result = -1;
  return result < 0 ? result : 1;
}

int32_t SZSjshqFile::WriteStockRows(std::span<const StockQuoteRecord> quotes,
                                    const refdata::ReferenceTables& tables) {
  AscendingLookup securities(tables.securities);
  int32_t result = 1;
  for (const StockQuoteRecord& quote : quotes) {
    const int32_t row = NextRow();
    if (row < 0) {
      result = row;
      continue;
    }
    const uint32_t code = CodeNumber(quote.code, sizeof quote.code);
    if (code == 0) continue;
    if (const refdata::SecurityRecord* security = securities.Find(code)) {
      WriteSecurityRow(quote, *security);
    } else if (tables.issueParams.Get(code) != nullptr) {
      WriteIssueRow(quote);
    } else if (tables.rightsIssueParams.Get(code) != nullptr ||
               tables.bondDistributionParams.Get(code) != nullptr) {
      WriteParameterRow(quote);
    }
  }
  return result;
}

void SZSjshqFile::WriteSecurityRow(const StockQuoteRecord& q,
                                   const refdata::SecurityRecord& security) {
  RowWriter w(*this, RowWriter::Mode::kStopAtFirstFailure);
  w.Chars(HQZQDM, q.code, 6);
  w.Text(HQZQJC, q.name, 8);
  w.Scaled(HQZRSP, q.prevClose, kPrice);
  w.Scaled(HQJRKP, q.open, kPrice);
  w.Scaled(HQZJCJ, q.last, kPrice);
  w.Integer(HQCJSL, ClampVolume(q.volume, lostHighVol_));
  w.Scaled(HQCJJE, q.turnover, kPrice);
  w.Integer(HQCJBS, q.trades);
  w.Scaled(HQZGCJ, q.high, kPrice);
  if (q.low == 0) {
    w.Number(HQZDCJ, kNoLowPrice);
  } else {
    w.Scaled(HQZDCJ, q.low, kPrice);
  }
  const YieldColumns yields = YieldColumnsOf(security, q);
  w.Number(HQSYL1, yields.hqsyl1, true);
  w.Number(HQSYL2, yields.hqsyl2, true);
  w.Scaled(HQJSD1, q.change1, kPrice);
  w.Scaled(HQJSD2, q.change2, kPrice);
  w.Integer(HQHYCC, q.holding);
  for (int level = 5; level >= 1; --level) {
    const uint16_t field = AskPriceField(level);
    w.Scaled(field, q.askPrice[level - 1], kPrice);
    w.Integer(static_cast<uint16_t>(field + 1), q.askVolume[level - 1]);
  }
  for (int level = 1; level <= 5; ++level) {
    const uint16_t field = BidPriceField(level);
    w.Scaled(field, q.bidPrice[level - 1], kPrice);
    w.Integer(static_cast<uint16_t>(field + 1), q.bidVolume[level - 1]);
  }
  if (w.Failed()) PrintRowError(w.FailedField());
}

void SZSjshqFile::WriteIssueRow(const StockQuoteRecord& q) {
  RowWriter w(*this, RowWriter::Mode::kIgnoreFailures);
  w.Chars(HQZQDM, q.code, 6);
  w.Text(HQZQJC, q.name, 8);
  w.Scaled(HQZRSP, q.prevClose, kPrice);
  w.Zeros(HQJRKP, HQCJBS);
  w.Scaled(HQZGCJ, q.high, kPrice);
  if (q.low == 0) {
    w.Number(HQZDCJ, kNoLowPrice);
  } else {
    w.Scaled(HQZDCJ, q.low, kPrice);
  }
  w.Zeros(HQSYL1, HQBSL5);
}

void SZSjshqFile::WriteParameterRow(const StockQuoteRecord& q) {
  RowWriter w(*this, RowWriter::Mode::kIgnoreFailures);
  w.Chars(HQZQDM, q.code, 6);
  w.Text(HQZQJC, q.name, 8);
  w.Scaled(HQZRSP, q.prevClose, kPrice);
  w.Zeros(HQJRKP, HQZGCJ);
  w.Number(HQZDCJ, kNoLowPrice);
  w.Zeros(HQSYL1, HQBSL5);
}

int32_t SZSjshqFile::WriteStatisticsRows(std::span<const VolumeStatRecord> stats) {
  int32_t result = 1;
  for (const VolumeStatRecord& s : stats) {
    const int32_t row = NextRow();
    if (row < 0) {
      result = row;
      continue;
    }
    RowWriter w(*this, RowWriter::Mode::kIgnoreFailures);
    w.Chars(HQZQDM, s.code, 6);
    w.Text(HQZQJC, s.name, 8);
    w.Number(HQZRSP, static_cast<double>(s.stockNum));
    w.Zeros(HQJRKP, HQZJCJ);
    w.Integer(HQCJSL, ClampVolume(s.volume, lostHighVol_));
    w.Scaled(HQCJJE, s.turnover, kPrice);
    w.Integer(HQCJBS, s.trades);
    w.Zeros(HQZGCJ, HQBSL5);
  }
  return result;
}

int32_t SZSjshqFile::WriteIndexRows(std::span<const IndexQuoteRecord> indexes) {
  int32_t result = 1;
  for (const IndexQuoteRecord& x : indexes) {
    const int32_t row = NextRow();
    if (row < 0) {
      result = row;
      continue;
    }
    RowWriter w(*this, RowWriter::Mode::kIgnoreFailures);
    w.Chars(HQZQDM, x.code, 6);
    w.Text(HQZQJC, x.name, 8);
    w.Scaled(HQZRSP, x.prevClose, kPrice);
    w.Scaled(HQJRKP, x.open, kPrice);
    w.Scaled(HQZJCJ, x.current, kPrice);
    w.Integer(HQCJSL, ClampVolume(x.volume, lostHighVol_));
    w.Scaled(HQCJJE, x.turnover, kPrice);
    w.Integer(HQCJBS, x.trades);
    w.Scaled(HQZGCJ, x.high, kPrice);
    w.Scaled(HQZDCJ, x.low, kPrice);
    w.Zeros(HQSYL1, HQSYL2);
    w.Number(HQJSD1, ScaledDifference(x.current, x.prevClose));
    w.Zeros(HQJSD2, HQBSL5);
  }
  return result;
}

int32_t SZSjshqFile::Flush() {
  const int32_t result = DbfTable::Flush(NulBytes::kBlank);
  if (result < 0) Abort();
  return result;
}

}  // namespace fw::dbf
