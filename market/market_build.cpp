// The market state's tables as start-up builds them from the day's reference files, and emptied
// again by Reset. Runs on whichever thread runs the processor's start-up, under the state's lock.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <mutex>

#include "foundation/local_clock.h"
#include "foundation/run_log.h"
#include "market/market_state.h"

namespace fw::market {
namespace {

bool IsExcludedType(int16_t securityType) { return securityType == 29 || securityType == 30; }

// Reference prices are doubles read from the day's files; a value no int64 can hold (or NaN) must
// not reach the conversion, whose result would be undefined.
int64_t TruncateToInt64(double x) {
  if (std::isnan(x)) return 0;
  if (x >= 9223372036854775807.0) return std::numeric_limits<int64_t>::max();
  if (x <= -9223372036854775808.0) return std::numeric_limits<int64_t>::min();
  return static_cast<int64_t>(x);
}

// Thousandths, rounded as the legacy files expect: value × 1000 + 0.500001, truncated. The excess
// over one half rounds up a product that falls just short of it in binary: 0.5005 × 1000 comes to
// 500.49999999999994 and gives 501, where + 0.5 alone would give 500; it is small enough that
// 0.50049999 still gives 500.
int64_t RoundedThousandths(double value) { return TruncateToInt64(value * 1000.0 + 0.500001); }
int64_t TruncatedTenThousandths(double value) { return TruncateToInt64(value * 10000.0); }

// A record's code: the first six characters of the SecurityID and two zero bytes, so that it is
// also a terminated string.
void CopyCode(char (&code)[8], const char* securityId) {
  std::memcpy(code, securityId, 6);
  code[6] = '\0';
  code[7] = '\0';
}

// A record's name: the first 8 bytes of the Symbol, the rest of the field zero.
template <size_t N>
void CopyName(char (&name)[N], const char* symbol) {
  static_assert(N >= 8);
  std::memset(name, 0, N);
  std::memcpy(name, symbol, 8);
}

}  // namespace

MarketState::MarketState()
    : negotiated_(new NegotiatedQuoteRecord[kMaxNegotiatedSequence]()),
      negotiatedKeys_(static_cast<size_t>(kMaxNegotiatedSequence), 0) {
  // Room for every key, so that an order with a new sequence number never allocates.
  negotiatedUsed_.reserve(static_cast<size_t>(kMaxNegotiatedSequence));
  clock_.marketDate = static_cast<int32_t>(LocalNow().Date());
  clock_.marketTime = 0;
  clock_.milliseconds = 0;
  clock_.status = '0';
  clock_.AuctionClosed = '1';
  clock_.AfterHoursClosed = '1';
  clock_.NegotiatedClosed = '0';
}

MarketState::~MarketState() = default;

void MarketState::Build(refdata::ReferenceTables& tables) {
  MarketCounts counts;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    ClearTablesLocked();
    reference_ = &tables;
    BuildStockQuotesLocked(tables);
    BuildIndexAndStatTablesLocked(tables);
    BuildAfterHoursAndNegotiatedLocked(tables);
    counts_.securities = static_cast<uint32_t>(tables.securities.Size());
    counts_.indexInfo = static_cast<uint32_t>(tables.indexInfo.Size());
    counts_.stat = static_cast<uint32_t>(tables.stat.Size());
    counts_.quoteSources = static_cast<uint32_t>(
        tables.securities.Size() + tables.issueParams.Size() + tables.rightsIssueParams.Size() +
        tables.bondDistributionParams.Size());
    counts = counts_;
    ResetMarksLocked(tables);
  }
  // Logged after the lock is released: the log may wait for its file.
  WriteLog(0, "[stock num] = %u", counts.quoteSources);
  WriteLog(0, "[index num] = %u", counts.indexInfo);
  WriteLog(0, "[indexzs num] = %u", counts.indexInfo);
  WriteLog(0, "[stat num] = %u", counts.stat);
  WriteLog(0, "[phhq num] = %u", counts.securities);
}

void MarketState::Reset() {
  std::lock_guard<std::mutex> lock(mutex_);
  ClearTablesLocked();
  displayedTime_ = 0;
  initialized_.store(false);
}

void MarketState::StartDay(int32_t localDate) {
  std::lock_guard<std::mutex> lock(mutex_);
  clock_.marketDate = localDate;
  clock_.marketTime = 0;
  clock_.milliseconds = 0;
  clock_.status = '1';
  closingDataLoaded_.store(false, std::memory_order_release);
}

void MarketState::ClearTablesLocked() {
  ++generation_;
  stockQuotes_.clear();
  stockSecurity_.clear();
  stockRows_.Clear();
  indexes_.clear();
  indexes4_.clear();
  indexRows_.Clear();
  stats_.clear();
  statRows_.Clear();
  afterHours_.clear();
  afterHoursRows_.Clear();
  for (const uint16_t key : negotiatedUsed_) {
    std::memset(&negotiated_[key], 0, sizeof(NegotiatedQuoteRecord));
    negotiatedKeys_[key] = 0;
  }
  negotiatedUsed_.clear();
  negotiatedEnd_ = 0;
  counts_ = MarketCounts{};
  for (RowMarks* marks : {&stockMarks_, &indexMarks_, &index4Marks_, &statMarks_, &afterHoursMarks_,
                          &negotiatedMarks_, &codeMarks_}) {
    marks->Clear();
  }
}

void MarketState::ResetMarksLocked(const refdata::ReferenceTables& tables) {
  stockMarks_.Reset(stockQuotes_.size());
  indexMarks_.Reset(indexes_.size());
  index4Marks_.Reset(indexes4_.size());
  statMarks_.Reset(stats_.size());
  afterHoursMarks_.Reset(afterHours_.size());
  negotiatedMarks_.Reset(static_cast<size_t>(kMaxNegotiatedSequence));
  // Switch messages may name codes the day's files did not: room for a good many of those.
  codeMarks_.Reset(static_cast<size_t>(CodeRowIndex::kCodeNumberLimit),
                   tables.securities.Size() + tables.securitySwitch.Size() + kExtraMarkedCodes);
}

// The stock quote table holds one row per security (SecurityType 29 and 30 excepted) and one per
// code of the issue, rights-issue and bond-distribution parameter files that is not a security,
// merged in ascending code order.
void MarketState::BuildStockQuotesLocked(refdata::ReferenceTables& tables) {
  std::vector<uint32_t> listed = refdata::ParameterCodes(tables);
  // A code in two parameter files is still one instrument: a second row would never be updated
  // and would show the reference price beside the live one.
  listed.erase(std::unique(listed.begin(), listed.end()), listed.end());

  const size_t estimate = tables.securities.Size() + listed.size();
  stockQuotes_.reserve(estimate);
  stockSecurity_.reserve(estimate);

  size_t cursor = 0;
  for (const auto& [code, entry] : tables.securities) {
    while (cursor < listed.size() && listed[cursor] < code) {
      AddListedCodeRowLocked(tables, listed[cursor++]);
    }
    // The security stands for a listed code equal to its own, also when it gets no row itself.
    if (cursor < listed.size() && listed[cursor] == code) ++cursor;
    if (IsExcludedType(entry.record.SecurityType)) continue;
    AddStockRowLocked(code, entry.record.SecurityID, entry.record.Symbol,
                      RoundedThousandths(entry.record.PrevClosePx), 0, 0,
                      tables.securities.GetMutable(code));
  }
  while (cursor < listed.size()) AddListedCodeRowLocked(tables, listed[cursor++]);
}

// A parameter row takes its data from the first file that has the code: issue parameters (not
// for SecurityType 29 or 30), rights issue, bond distribution.
void MarketState::AddListedCodeRowLocked(const refdata::ReferenceTables& tables, uint32_t code) {
  const refdata::IssueParamsRecord* issue = tables.issueParams.Get(code);
  if (issue != nullptr && !IsExcludedType(issue->SecurityType)) {
    AddStockRowLocked(code, issue->SecurityID, issue->Symbol, RoundedThousandths(issue->issuePrice),
                      RoundedThousandths(issue->PriceUpperLimit),
                      RoundedThousandths(issue->PriceLowerLimit), nullptr);
    return;
  }
  if (const refdata::RightsIssueParamsRecord* rights = tables.rightsIssueParams.Get(code)) {
    AddStockRowLocked(code, rights->SecurityID, rights->Symbol, RoundedThousandths(rights->Price),
                      0, 0, nullptr);
    return;
  }
  if (const refdata::BondDistributionParamsRecord* bond = tables.bondDistributionParams.Get(code)) {
    AddStockRowLocked(code, bond->SecurityID, bond->Symbol, RoundedThousandths(bond->price), 0, 0,
                      nullptr);
  }
}

void MarketState::AddStockRowLocked(uint32_t code, const char* securityId, const char* symbol,
                                    int64_t prevClose, int64_t high, int64_t low,
                                    refdata::SecurityRecord* security) {
  StockQuoteRecord row{};
  CopyCode(row.code, securityId);
  CopyName(row.name, symbol);
  row.prevClose = prevClose;
  row.high = high;
  row.low = low;
  const int32_t rowNumber = static_cast<int32_t>(stockQuotes_.size());
  stockQuotes_.push_back(row);
  stockSecurity_.push_back(security);
  // A code beyond six digits keeps its row in the file but is never looked up.
  stockRows_.Set(code, rowNumber);
}

void MarketState::BuildIndexAndStatTablesLocked(const refdata::ReferenceTables& tables) {
  indexes_.reserve(tables.indexInfo.Size());
  indexes4_.reserve(tables.indexInfo.Size());
  for (const auto& [code, entry] : tables.indexInfo) {
    IndexQuoteRecord index{};
    CopyCode(index.code, entry.record.SecurityID);
    CopyName(index.name, entry.record.Symbol);
    IndexQuoteRecord index4 = index;
    const int64_t prev = RoundedThousandths(entry.record.PrevCloseIdx);
    index.prevClose = index.open = index.high = index.low = index.current = prev;
    const int64_t prev4 = TruncatedTenThousandths(entry.record.PrevCloseIdx);
    index4.prevClose = index4.open = index4.high = index4.low = index4.current = prev4;
    indexRows_.Set(code, static_cast<int32_t>(indexes_.size()));
    indexes_.push_back(index);
    indexes4_.push_back(index4);
  }
  stats_.reserve(tables.stat.Size());
  for (const auto& [code, entry] : tables.stat) {
    VolumeStatRecord stat{};
    CopyCode(stat.code, entry.record.SecurityID);
    CopyName(stat.name, entry.record.Symbol);
    statRows_.Set(code, static_cast<int32_t>(stats_.size()));
    stats_.push_back(stat);
  }
}

void MarketState::BuildAfterHoursAndNegotiatedLocked(const refdata::ReferenceTables& tables) {
  afterHours_.reserve(tables.securities.Size());
  for (const auto& [code, entry] : tables.securities) {
    if (IsExcludedType(entry.record.SecurityType)) continue;
    AfterHoursQuoteRecord row{};
    CopyCode(row.code, entry.record.SecurityID);
    CopyName(row.name, entry.record.Symbol);
    const int32_t rowNumber = static_cast<int32_t>(afterHours_.size());
    afterHoursRows_.Set(code, rowNumber);
    afterHours_.push_back(row);
    // The negotiated table starts with an empty row under the same number; rows past the last
    // sequence number could never be reached by an order and are not kept.
    if (rowNumber < kMaxNegotiatedSequence) {
      NegotiatedSlotLocked(rowNumber + 1);
    }
  }
}

}  // namespace fw::market
