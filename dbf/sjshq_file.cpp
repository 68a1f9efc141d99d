// SJSHQ.DBF rows: one function per row kind, each a list of "field <- value" lines in field
// order. Runs on the write thread, one writer per cycle.
#include "dbf/sjshq_file.h"

#include <cmath>
#include <cstring>

#include "dbf/ascending_lookup.h"
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

void FillFirstRecord(RowWriter& w, const market::MarketClock& clock) {
  char dateText[kLegacyTextSize];
  const size_t length = DateText(clock.marketDate, dateText);
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
}

// Rows copy the code's and the name's field widths straight from the records.
static_assert(sizeof(StockQuoteRecord::code) >= 6 && sizeof(StockQuoteRecord::name) >= 8);
static_assert(sizeof(VolumeStatRecord::code) >= 6 && sizeof(VolumeStatRecord::name) >= 8);
static_assert(sizeof(IndexQuoteRecord::code) >= 6 && sizeof(IndexQuoteRecord::name) >= 8);

}  // namespace

SZSjshqFile::SZSjshqFile(bool lostHighVol)
    : RowFile(kFields, OnFailure::kAbort, NulBytes::kBlank), lostHighVol_(lostHighVol) {}

int32_t SZSjshqFile::WriteFirstRecord(const market::MarketClock& clock, uint32_t rowEstimate) {
  return WriteFirstRecordWith(rowEstimate, [&](RowWriter& w) { FillFirstRecord(w, clock); });
}

bool SZSjshqFile::RewriteFirstRecord(const market::MarketClock& clock) {
  return RewriteFirstRecordWith([&](RowWriter& w) { FillFirstRecord(w, clock); });
}

int32_t SZSjshqFile::WriteStockRows(std::span<const StockQuoteRecord> quotes,
                                    const refdata::ReferenceTables& tables) {
  stockFirst_ = rowCounter_;
  AscendingLookup securities(tables.securities);
  return WriteRows(quotes, [&](const StockQuoteRecord& quote) {
    const uint32_t code = CodeNumber(quote.code, sizeof quote.code);
    if (code != 0) WriteStockRow(quote, code, securities.Find(code), tables);
  });
}

bool SZSjshqFile::RewriteStockRow(size_t row, const StockQuoteRecord& quote,
                                  const refdata::ReferenceTables& tables) {
  return RewriteRow(stockFirst_ + static_cast<uint32_t>(row), [&] {
    const uint32_t code = CodeNumber(quote.code, sizeof quote.code);
    if (code != 0) WriteStockRow(quote, code, tables.securities.Get(code), tables);
  });
}

void SZSjshqFile::WriteStockRow(const StockQuoteRecord& quote, uint32_t code,
                                const refdata::SecurityRecord* security,
                                const refdata::ReferenceTables& tables) {
  if (security != nullptr) {
    WriteSecurityRow(quote, *security);
  } else if (tables.issueParams.Get(code) != nullptr) {
    WriteIssueRow(quote);
  } else if (tables.rightsIssueParams.Get(code) != nullptr ||
             tables.bondDistributionParams.Get(code) != nullptr) {
    WriteParameterRow(quote);
  }
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
  statFirst_ = rowCounter_;
  return WriteRows(stats, [&](const VolumeStatRecord& s) { WriteStatisticsRow(s); });
}

bool SZSjshqFile::RewriteStatisticsRow(size_t row, const VolumeStatRecord& stat) {
  return RewriteRow(statFirst_ + static_cast<uint32_t>(row), [&] { WriteStatisticsRow(stat); });
}

void SZSjshqFile::WriteStatisticsRow(const VolumeStatRecord& s) {
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

int32_t SZSjshqFile::WriteIndexRows(std::span<const IndexQuoteRecord> indexes) {
  indexFirst_ = rowCounter_;
  return WriteRows(indexes, [&](const IndexQuoteRecord& x) { WriteIndexRow(x); });
}

bool SZSjshqFile::RewriteIndexRow(size_t row, const IndexQuoteRecord& index) {
  return RewriteRow(indexFirst_ + static_cast<uint32_t>(row), [&] { WriteIndexRow(index); });
}

void SZSjshqFile::WriteIndexRow(const IndexQuoteRecord& x) {
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

}  // namespace fw::dbf
