#include "market/market_state.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <limits>
#include <mutex>
#include <thread>

#include "foundation/local_clock.h"
#include "foundation/run_log.h"
#include "refdata/code_number.h"

namespace fw::market {
namespace {

constexpr uint8_t kKeyPresent = 1;  // the negotiated table has a record at this key
constexpr uint8_t kKeyHasCode = 2;  // … and that record carries a code

int64_t CodeOf(const char* code) { return fw::CodeValue(code, 8); }

bool IsExcludedType(int16_t securityType) { return securityType == 29 || securityType == 30; }

// Reference prices are doubles read from the day's files; a value no int64 can hold (or NaN) must
// not reach the conversion, whose result would be undefined.
int64_t TruncateToInt64(double x) {
  if (std::isnan(x)) return 0;
  if (x >= 9223372036854775807.0) return std::numeric_limits<int64_t>::max();
  if (x <= -9223372036854775808.0) return std::numeric_limits<int64_t>::min();
  return static_cast<int64_t>(x);
}

// Thousandths, rounded as the legacy files expect: the small excess over one half makes prices
// such as 10.0005, stored as 10.000499999…, round up.
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

bool HasCode(const char (&code)[8]) {
  for (const char c : code) {
    if (c != '\0') return true;
  }
  return false;
}

// The halt flag follows the trading phase: 'H' halted, 'Y' for a phase whose second character is
// '1', '.' for the ordinary phases; any other phase leaves the flag as the securities file set it.
void ApplyTradingPhase(refdata::SecurityRecord& security, const char phase[2]) {
  security.tradingPhase[0] = phase[0];
  security.tradingPhase[1] = phase[1];
  if (phase[0] == 'H') {
    security.haltFlag = 'H';
    return;
  }
  if (phase[1] == '1') {
    security.haltFlag = 'Y';
    return;
  }
  switch (phase[0]) {
    case 'S':
    case 'O':
    case 'T':
    case 'B':
    case 'C':
    case 'E':
    case 'A':
    case 'V':
      security.haltFlag = '.';
      return;
    default:
      break;
  }
  if (phase[1] == '0') security.haltFlag = '.';
}

// How much a write-cycle copy takes per hold of the lock. A table of 20,000 securities is several
// megabytes, whose copy in one hold would stop the receive thread for milliseconds; in slices of
// this size a handler waits for one slice at most. Each record is still copied whole under the
// lock, and records never depend on one another, so a table copied slice by slice shows every
// record as some complete message left it.
constexpr size_t kSliceBytes = 64 * 1024;
constexpr size_t kSliceEntries = 512;  // map entries per hold, where each step chases a pointer

template <typename Record>
constexpr size_t SliceRecords() {
  return sizeof(Record) >= kSliceBytes ? 1 : kSliceBytes / sizeof(Record);
}

// Before the next slice of a copy: a handler waiting for the lock gets it first. A mutex makes no
// such promise: the copying thread, still running, would take it again before the woken handler
// ran, and the handler would wait for the whole copy after all. Bounded, so that a handler that
// cannot be scheduled does not hold the copy up for long.
void LetWaitingHandlersIn(const std::atomic<int32_t>& waiting) {
  for (int i = 0; i < 1000 && waiting.load(std::memory_order_acquire) > 0; ++i) {
    std::this_thread::yield();
  }
}

// Room for `more` elements beyond the size, made outside the lock (geometric, so that a first
// cycle does not reallocate at every slice).
template <typename Vector>
void Reserve(Vector* v, size_t more) {
  if (v->capacity() - v->size() < more) v->reserve(std::max(v->size() + more, 2 * v->capacity()));
}

// Copies a table out slice by slice without allocating while the lock is held. A rebuild of the
// tables between two slices (the generation moved) starts the copy again.
template <typename Record>
void CopyOut(std::mutex& mutex, const std::atomic<int32_t>& waiting, const uint64_t& generation,
             const std::vector<Record>& table, std::vector<Record>* out) {
  constexpr size_t kSlice = SliceRecords<Record>();
  for (;;) {
    size_t size = 0;
    uint64_t copying = 0;
    {
      std::lock_guard<std::mutex> lock(mutex);
      size = table.size();
      copying = generation;
    }
    out->resize(size);
    bool whole = true;
    for (size_t at = 0; at < size; at += kSlice) {
      LetWaitingHandlersIn(waiting);
      std::lock_guard<std::mutex> lock(mutex);
      if (generation != copying) {
        whole = false;
        break;
      }
      std::copy_n(table.begin() + static_cast<std::ptrdiff_t>(at), std::min(kSlice, size - at),
                  out->begin() + static_cast<std::ptrdiff_t>(at));
    }
    if (whole) return;
  }
}

void ShowMarketTime(int32_t time) {
  char text[16];
  std::snprintf(text, sizeof text, "%d", static_cast<int>(time));
  SendToMainWindow(WM_MARKET_TIME, text, 0);
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

// ---- Lifecycle ---------------------------------------------------------------------------------

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

// ---- Handlers ----------------------------------------------------------------------------------

bool MarketState::FetchStockQuote(const char* code, StockQuoteRecord* out) const {
  const std::unique_lock<std::mutex> lock = LockForHandler();
  const int32_t row = stockRows_.Find(CodeOf(code));
  if (row < 0) return false;
  *out = stockQuotes_[static_cast<size_t>(row)];
  return true;
}

bool MarketState::FetchIndexQuote(IndexTable table, const char* code, IndexQuoteRecord* out) const {
  const std::unique_lock<std::mutex> lock = LockForHandler();
  const int32_t row = indexRows_.Find(CodeOf(code));
  if (row < 0) return false;
  *out = IndexRows(table)[static_cast<size_t>(row)];
  return true;
}

bool MarketState::FetchVolumeStat(const char* code, VolumeStatRecord* out) const {
  const std::unique_lock<std::mutex> lock = LockForHandler();
  const int32_t row = statRows_.Find(CodeOf(code));
  if (row < 0) return false;
  *out = stats_[static_cast<size_t>(row)];
  return true;
}

namespace {

// Copies the fields from `first` to the end of the record: everything a message may set, never
// the code and name in front of them.
template <typename Record, typename Field>
void CopyFrom(Record& to, const Record& from, Field Record::*first) {
  const size_t offset = static_cast<size_t>(reinterpret_cast<const char*>(&(from.*first)) -
                                            reinterpret_cast<const char*>(&from));
  std::memcpy(reinterpret_cast<char*>(&to) + offset, reinterpret_cast<const char*>(&from) + offset,
              sizeof(Record) - offset);
}

}  // namespace

bool MarketState::StoreStockQuote(const StockQuoteRecord& record) {
  const std::unique_lock<std::mutex> lock = LockForHandler();
  const int32_t row = stockRows_.Find(CodeOf(record.code));
  if (row < 0) return false;
  CopyFrom(stockQuotes_[static_cast<size_t>(row)], record, &StockQuoteRecord::prevClose);
  ++updatesApplied_;
  return true;
}

bool MarketState::StoreIndexQuote(IndexTable table, const IndexQuoteRecord& record) {
  const std::unique_lock<std::mutex> lock = LockForHandler();
  const int32_t row = indexRows_.Find(CodeOf(record.code));
  if (row < 0) return false;
  CopyFrom(IndexRows(table)[static_cast<size_t>(row)], record, &IndexQuoteRecord::prevClose);
  ++updatesApplied_;
  return true;
}

bool MarketState::StoreVolumeStat(const VolumeStatRecord& record) {
  const std::unique_lock<std::mutex> lock = LockForHandler();
  const int32_t row = statRows_.Find(CodeOf(record.code));
  if (row < 0) return false;
  CopyFrom(stats_[static_cast<size_t>(row)], record, &VolumeStatRecord::volume);
  ++updatesApplied_;
  return true;
}

bool MarketState::HasStockQuote(const char* code) const {
  // No lock: a hint for the handler, which the store confirms under the lock.
  return stockRows_.Find(CodeOf(code)) >= 0;
}

bool MarketState::StoreCashAuctionSnapshot(const CashAuctionUpdate& update) {
  int32_t show = -1;
  {
    const std::unique_lock<std::mutex> lock = LockForHandler();
    // The closing load sets the flag under this lock before it applies any price, so a snapshot
    // decoded before the load began can never overwrite a closing price.
    if (closingDataLoaded_.load(std::memory_order_relaxed)) return false;
    const int32_t row = stockRows_.Find(CodeOf(update.quote.code));
    if (row < 0) return false;
    StockQuoteRecord& stored = stockQuotes_[static_cast<size_t>(row)];
    const StockQuoteRecord& q = update.quote;
    stored.prevClose = q.prevClose;
    stored.volume = q.volume;
    stored.turnover = q.turnover;
    stored.trades = q.trades;
    const uint32_t set = update.set;
    if (set & CashAuctionUpdate::kOpen) stored.open = q.open;
    if (set & CashAuctionUpdate::kLast) stored.last = q.last;
    if (set & CashAuctionUpdate::kHigh) stored.high = q.high;
    if (set & CashAuctionUpdate::kLow) stored.low = q.low;
    if (set & CashAuctionUpdate::kIndicator1) stored.indicator1 = q.indicator1;
    if (set & CashAuctionUpdate::kIndicator2) stored.indicator2 = q.indicator2;
    if (set & CashAuctionUpdate::kChange1) stored.change1 = q.change1;
    if (set & CashAuctionUpdate::kChange2) stored.change2 = q.change2;
    std::memcpy(stored.askPrice, q.askPrice, sizeof q.askPrice);
    std::memcpy(stored.askVolume, q.askVolume, sizeof q.askVolume);
    std::memcpy(stored.bidPrice, q.bidPrice, sizeof q.bidPrice);
    std::memcpy(stored.bidVolume, q.bidVolume, sizeof q.bidVolume);
    if (refdata::SecurityRecord* security = stockSecurity_[static_cast<size_t>(row)]) {
      ApplyTradingPhase(*security, update.tradingPhase);
    }
    show = MoveMarketTimeLocked(update.origTime);
    ++updatesApplied_;
  }
  if (show >= 0) ShowMarketTime(show);
  return true;
}

bool MarketState::StoreIndexSnapshot(IndexTable table, const IndexQuoteRecord& record,
                                     int64_t origTime) {
  int32_t show = -1;
  {
    const std::unique_lock<std::mutex> lock = LockForHandler();
    const int32_t row = indexRows_.Find(CodeOf(record.code));
    if (row < 0) return false;
    CopyFrom(IndexRows(table)[static_cast<size_t>(row)], record, &IndexQuoteRecord::prevClose);
    show = MoveMarketTimeLocked(origTime);
    ++updatesApplied_;
  }
  if (show >= 0) ShowMarketTime(show);
  return true;
}

bool MarketState::MergeAfterHours(const AfterHoursQuoteRecord& buffer, int column) {
  if (column != 0 && column != 1) return false;
  const std::unique_lock<std::mutex> lock = LockForHandler();
  const int32_t row = afterHoursRows_.Find(CodeOf(buffer.code));
  if (row < 0) return false;
  AfterHoursQuoteRecord& stored = afterHours_[static_cast<size_t>(row)];
  ++updatesApplied_;
  if (stored.has060 != '1' && stored.has061 != '2') {
    CopyFrom(stored, buffer, &AfterHoursQuoteRecord::has060);
    return true;
  }
  // Once the row holds data, a snapshot replaces its own column only, so that each stream keeps
  // its latest values whatever the other stream sends.
  if (column == 0 && buffer.has060 == '1') stored.has060 = '1';
  if (column == 1 && buffer.has061 == '2') stored.has061 = '2';
  stored.price[column] = buffer.price[column];
  stored.volume[column] = buffer.volume[column];
  stored.turnover[column] = buffer.turnover[column];
  stored.trades[column] = buffer.trades[column];
  stored.bidVolume[column] = buffer.bidVolume[column];
  stored.askVolume[column] = buffer.askVolume[column];
  std::memcpy(stored.extra, buffer.extra, sizeof stored.extra);
  return true;
}

NegotiatedQuoteRecord* MarketState::NegotiatedSlotLocked(int64_t sequence) {
  if (sequence < 1 || sequence > kMaxNegotiatedSequence) return nullptr;
  const size_t key = static_cast<size_t>(sequence - 1);
  if ((negotiatedKeys_[key] & kKeyPresent) == 0) {
    negotiatedKeys_[key] = kKeyPresent;
    negotiatedUsed_.push_back(static_cast<uint16_t>(key));
    negotiatedEnd_ = std::max(negotiatedEnd_, key + 1);
  }
  return &negotiated_[key];
}

bool MarketState::StoreNegotiatedOrder(const NegotiatedQuoteRecord& buffer) {
  const std::unique_lock<std::mutex> lock = LockForHandler();
  NegotiatedQuoteRecord* slot = NegotiatedSlotLocked(buffer.sequence);
  if (slot == nullptr) return false;
  // An outcome may arrive before its order: the order must not make a filled order live again.
  const char stored = slot->status;
  *slot = buffer;
  if (stored == '0' || stored == '1') slot->status = stored;
  const size_t key = static_cast<size_t>(buffer.sequence - 1);
  negotiatedKeys_[key] =
      static_cast<uint8_t>(kKeyPresent | (HasCode(slot->code) ? kKeyHasCode : 0));
  ++updatesApplied_;
  return true;
}

bool MarketState::UpdateNegotiatedOutcome(int64_t sequence, const char code[8], char status) {
  const std::unique_lock<std::mutex> lock = LockForHandler();
  NegotiatedQuoteRecord* slot = NegotiatedSlotLocked(sequence);
  if (slot == nullptr) return false;
  std::memcpy(slot->code, code, sizeof slot->code);
  slot->status = status;
  // An outcome whose order was never received still shows under its own order number.
  if (slot->sequence == 0) slot->sequence = sequence;
  const size_t key = static_cast<size_t>(sequence - 1);
  negotiatedKeys_[key] =
      static_cast<uint8_t>(kKeyPresent | (HasCode(slot->code) ? kKeyHasCode : 0));
  ++updatesApplied_;
  return true;
}

bool MarketState::ApplySecuritySwitches(const char code[8], const char pending[31]) {
  if (CodeOf(code) <= 0) return false;
  const std::unique_lock<std::mutex> lock = LockForHandler();
  if (reference_ == nullptr) return false;
  refdata::SecuritySwitchRecord* entry = reference_->securitySwitch.Find(code, true);
  if (entry == nullptr) return false;
  for (size_t i = 0; i < sizeof entry->switches; ++i) {
    if (pending[i] != '\0') entry->switches[i] = pending[i];
  }
  ++updatesApplied_;
  return true;
}

void MarketState::SetMarketTime(int64_t origTime) {
  int32_t show = -1;
  {
    const std::unique_lock<std::mutex> lock = LockForHandler();
    show = MoveMarketTimeLocked(origTime);
  }
  if (show >= 0) ShowMarketTime(show);
}

int32_t MarketState::MoveMarketTimeLocked(int64_t origTime) {
  const int64_t date = origTime / 1000000000;
  const int64_t rest = origTime % 1000000000;
  const int64_t time = rest / 1000;
  // A date past what the clock block can hold is not a date; storing it cut to 32 bits would
  // freeze the clock for the rest of the day.
  if (time > clock_.marketTime && date >= clock_.marketDate &&
      date <= std::numeric_limits<int32_t>::max()) {
    clock_.marketDate = static_cast<int32_t>(date);
    clock_.marketTime = static_cast<int32_t>(time);
    clock_.milliseconds = static_cast<int32_t>(rest % 1000);
  }
  // Negative timestamps (never sent by the gateway) are not shown.
  if (time >= 0 && time / 10 != displayedTime_) {
    displayedTime_ = static_cast<int32_t>(time / 10);
    return static_cast<int32_t>(time);
  }
  return -1;
}

void MarketState::SetStreamClosed(int group, char closed) {
  const std::unique_lock<std::mutex> lock = LockForHandler();
  switch (group) {
    case kStreamGroupNegotiated:
      clock_.NegotiatedClosed = closed;
      break;
    case kStreamGroupAfterHours:
      clock_.AfterHoursClosed = closed;
      break;
    case kStreamGroupAuction:
      clock_.AuctionClosed = closed;
      break;
    default:
      return;
  }
  ++updatesApplied_;
}

// ---- Load figures ------------------------------------------------------------------------------

std::unique_lock<std::mutex> MarketState::LockForHandler() const {
  std::unique_lock<std::mutex> lock(mutex_, std::try_to_lock);
  if (lock.owns_lock()) return lock;
  const auto begin = std::chrono::steady_clock::now();
  handlersWaiting_.fetch_add(1, std::memory_order_acq_rel);
  lock.lock();
  handlersWaiting_.fetch_sub(1, std::memory_order_acq_rel);
  const auto waited = std::chrono::duration_cast<std::chrono::microseconds>(
      std::chrono::steady_clock::now() - begin);
  const uint64_t us = static_cast<uint64_t>(waited.count());
  // The write thread may reset the figure at any moment: a plain store could undo its reset or
  // lose this wait.
  uint64_t longest = longestHandlerWaitUs_.load(std::memory_order_relaxed);
  while (us > longest &&
         !longestHandlerWaitUs_.compare_exchange_weak(longest, us, std::memory_order_relaxed)) {
  }
  return lock;
}

uint64_t MarketState::TakeLongestHandlerWaitUs() {
  return longestHandlerWaitUs_.exchange(0, std::memory_order_relaxed);
}

uint64_t MarketState::UpdatesApplied() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return updatesApplied_;
}

// ---- Closing data ------------------------------------------------------------------------------

bool MarketState::ClosingDataLoaded() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return closingDataLoaded_.load(std::memory_order_relaxed);
}

void MarketState::SetClosingDataLoaded() {
  std::lock_guard<std::mutex> lock(mutex_);
  closingDataLoaded_.store(true, std::memory_order_release);
}

void MarketState::ApplyClose(uint32_t codeNumber, int64_t close, int64_t trades, int64_t volume,
                             int64_t turnover) {
  std::lock_guard<std::mutex> lock(mutex_);
  const int32_t row = stockRows_.Find(codeNumber);
  if (row < 0) return;
  StockQuoteRecord& quote = stockQuotes_[static_cast<size_t>(row)];
  if (close > 0) quote.last = close;
  if (trades > 0) quote.trades = trades;
  if (volume > 0) quote.volume = volume;
  if (turnover > 0) quote.turnover = turnover;
}

// ---- Write cycle -------------------------------------------------------------------------------

MarketClock MarketState::Clock() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return clock_;
}

MarketCounts MarketState::Counts() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return counts_;
}

int32_t MarketState::DisplayedTime() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return displayedTime_;
}

void MarketState::SnapshotStockQuotes(std::vector<StockQuoteRecord>* out) const {
  CopyOut(mutex_, handlersWaiting_, generation_, stockQuotes_, out);
}

void MarketState::SnapshotIndexQuotes(IndexTable table, std::vector<IndexQuoteRecord>* out) const {
  CopyOut(mutex_, handlersWaiting_, generation_, IndexRows(table), out);
}

void MarketState::SnapshotVolumeStats(std::vector<VolumeStatRecord>* out) const {
  CopyOut(mutex_, handlersWaiting_, generation_, stats_, out);
}

void MarketState::SnapshotAfterHours(std::vector<AfterHoursQuoteRecord>* out) const {
  CopyOut(mutex_, handlersWaiting_, generation_, afterHours_, out);
}

void MarketState::SnapshotNegotiated(std::vector<NegotiatedQuoteRecord>* out) const {
  constexpr size_t kSlice = SliceRecords<NegotiatedQuoteRecord>();
  // Room for every key once, as the table itself has: orders come in all day, and a copy that grew
  // with them would take memory in ever larger steps and copy itself at each.
  if (out->capacity() < static_cast<size_t>(kMaxNegotiatedSequence)) {
    out->reserve(static_cast<size_t>(kMaxNegotiatedSequence));
  }
  out->clear();
  uint64_t copying = 0;
  // Key order: the flags are walked in order rather than the (arrival-ordered) used list.
  for (size_t key = 0;;) {
    LetWaitingHandlersIn(handlersWaiting_);
    std::lock_guard<std::mutex> lock(mutex_);
    if (key == 0) {
      copying = generation_;
    } else if (generation_ != copying) {
      out->clear();
      key = 0;
      continue;
    }
    const size_t end = std::min(negotiatedEnd_, key + kSlice);
    for (; key < end; ++key) {
      if ((negotiatedKeys_[key] & kKeyHasCode) != 0) out->push_back(negotiated_[key]);
    }
    if (key >= negotiatedEnd_) return;
  }
}

namespace {

// Walks a reference table slice by slice in code order, each slice under the lock and found again
// by its first code, so that nothing held between two slices can go stale. take(code, record) is
// called for every entry, under the lock; room(n) before each slice, outside it.
template <typename Table, typename Room, typename Take>
void WalkInSlices(std::mutex& mutex, const std::atomic<int32_t>& waiting, const Table* table,
                  Room&& room, Take&& take) {
  for (uint32_t next = 0;;) {
    room(kSliceEntries);
    LetWaitingHandlersIn(waiting);
    std::lock_guard<std::mutex> lock(mutex);
    if (table == nullptr) return;
    const auto& entries = table->Entries();
    auto it = entries.lower_bound(next);
    for (size_t n = 0; it != entries.end() && n < kSliceEntries; ++it, ++n) {
      take(it->first, it->second.record);
      next = it->first + 1;
    }
    if (it == entries.end()) return;
  }
}

}  // namespace

void MarketState::SnapshotOverlay(refdata::FeedOverlay* out) const {
  out->phases.clear();
  const refdata::SecurityTable* securities = nullptr;
  const refdata::SecuritySwitchTable* switchTable = nullptr;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (reference_ != nullptr) {
      securities = &reference_->securities;
      switchTable = &reference_->securitySwitch;
    }
  }
  WalkInSlices(
      mutex_, handlersWaiting_, securities, [&](size_t n) { Reserve(&out->phases, n); },
      [&](uint32_t code, const refdata::SecurityRecord& record) {
        out->phases.push_back(
            {code, {record.tradingPhase[0], record.tradingPhase[1]}, record.haltFlag});
      });
  out->switches.clear();
  WalkInSlices(
      mutex_, handlersWaiting_, switchTable, [&](size_t n) { Reserve(&out->switches, n); },
      [&](uint32_t code, const refdata::SecuritySwitchRecord& record) {
        out->switches.push_back({code, record});
      });
}

void MarketState::TakeSnapshot(MarketSnapshot* out) const {
  out->clock = Clock();
  SnapshotStockQuotes(&out->stockQuotes);
  SnapshotIndexQuotes(IndexTable::kThreeDecimals, &out->indexes);
  SnapshotIndexQuotes(IndexTable::kFourDecimals, &out->indexes4);
  SnapshotVolumeStats(&out->stats);
  SnapshotAfterHours(&out->afterHours);
  SnapshotNegotiated(&out->negotiated);
  SnapshotOverlay(&out->overlay);
}

}  // namespace fw::market
