// The market state's copy-in from the market data handlers (receive thread), the market clock,
// the stream flags and the closing data (write thread). Every call takes the state's lock for its
// own short hold; see market_state.h.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <limits>
#include <mutex>

#include "foundation/run_log.h"
#include "market/market_state.h"
#include "refdata/code_number.h"

namespace fw::market {
namespace {

int64_t CodeNumber(const char* code) { return fw::CodeValue(code, 8); }

bool HasCode(const char (&code)[8]) {
  for (const char c : code) {
    if (c != '\0') return true;
  }
  return false;
}

// The halt flag follows the trading phase: 'H' halted, 'Y' for a phase whose second character is
// '1', '.' for the ordinary phases; any other phase leaves the flag as the securities file set it.
char HaltFlagOf(const char phase[2], char flag) {
  if (phase[0] == 'H') return 'H';
  if (phase[1] == '1') return 'Y';
  switch (phase[0]) {
    case 'S':
    case 'O':
    case 'T':
    case 'B':
    case 'C':
    case 'E':
    case 'A':
    case 'V':
      return '.';
    default:
      break;
  }
  return phase[1] == '0' ? '.' : flag;
}

// Sets the security's trading phase and halt flag; whether either changed.
bool ApplyTradingPhase(refdata::SecurityRecord& security, const char phase[2]) {
  const char flag = HaltFlagOf(phase, security.haltFlag);
  if (security.tradingPhase[0] == phase[0] && security.tradingPhase[1] == phase[1] &&
      security.haltFlag == flag) {
    return false;
  }
  security.tradingPhase[0] = phase[0];
  security.tradingPhase[1] = phase[1];
  security.haltFlag = flag;
  return true;
}

// Copies the fields from `first` to the end of the record: everything a message may set, never
// the code and name in front of them.
template <typename Record, typename Field>
void CopyFrom(Record& to, const Record& from, Field Record::*first) {
  const size_t offset = static_cast<size_t>(reinterpret_cast<const char*>(&(from.*first)) -
                                            reinterpret_cast<const char*>(&from));
  std::memcpy(reinterpret_cast<char*>(&to) + offset, reinterpret_cast<const char*>(&from) + offset,
              sizeof(Record) - offset);
}

void ShowMarketTime(int32_t time) {
  char text[16];
  std::snprintf(text, sizeof text, "%d", static_cast<int>(time));
  SendToMainWindow(WM_MARKET_TIME, text, 0);
}

}  // namespace

// ---- Handlers ----------------------------------------------------------------------------------

bool MarketState::FetchIndexQuote(IndexTable table, const char* code, IndexQuoteRecord* out) const {
  const std::unique_lock<std::mutex> lock = LockForHandler();
  const int32_t row = indexRows_.Find(CodeNumber(code));
  if (row < 0) return false;
  *out = IndexRows(table)[static_cast<size_t>(row)];
  return true;
}

bool MarketState::FetchVolumeStat(const char* code, VolumeStatRecord* out) const {
  const std::unique_lock<std::mutex> lock = LockForHandler();
  const int32_t row = statRows_.Find(CodeNumber(code));
  if (row < 0) return false;
  *out = stats_[static_cast<size_t>(row)];
  return true;
}

bool MarketState::StoreVolumeStat(const VolumeStatRecord& record) {
  const std::unique_lock<std::mutex> lock = LockForHandler();
  const int32_t row = statRows_.Find(CodeNumber(record.code));
  if (row < 0) return false;
  CopyFrom(stats_[static_cast<size_t>(row)], record, &VolumeStatRecord::volume);
  statMarks_.Mark(static_cast<size_t>(row));
  figures_.CountStore();
  return true;
}

bool MarketState::HasStockQuote(const char* code) const {
  // No lock: a hint for the handler, which the store confirms under the lock.
  return stockRows_.Find(CodeNumber(code)) >= 0;
}

bool MarketState::StoreCashAuctionSnapshot(const CashAuctionUpdate& update) {
  int32_t show = -1;
  {
    const std::unique_lock<std::mutex> lock = LockForHandler();
    // The closing load sets the flag under this lock before it applies any price, so a snapshot
    // decoded before the load began can never overwrite a closing price.
    if (closingDataLoaded_.load(std::memory_order_relaxed)) return false;
    const int32_t row = stockRows_.Find(CodeNumber(update.quote.code));
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
    stockMarks_.Mark(static_cast<size_t>(row));
    if (refdata::SecurityRecord* security = stockSecurity_[static_cast<size_t>(row)]) {
      if (ApplyTradingPhase(*security, update.tradingPhase)) {
        codeMarks_.Mark(static_cast<size_t>(CodeNumber(update.quote.code)));
      }
    }
    show = MoveMarketTimeLocked(update.origTime);
    figures_.CountStore();
  }
  if (show >= 0) ShowMarketTime(show);
  return true;
}

bool MarketState::StoreIndexSnapshot(IndexTable table, const IndexQuoteRecord& record,
                                     int64_t origTime) {
  int32_t show = -1;
  {
    const std::unique_lock<std::mutex> lock = LockForHandler();
    const int32_t row = indexRows_.Find(CodeNumber(record.code));
    if (row < 0) return false;
    CopyFrom(IndexRows(table)[static_cast<size_t>(row)], record, &IndexQuoteRecord::prevClose);
    IndexMarks(table).Mark(static_cast<size_t>(row));
    show = MoveMarketTimeLocked(origTime);
    figures_.CountStore();
  }
  if (show >= 0) ShowMarketTime(show);
  return true;
}

bool MarketState::MergeAfterHours(const AfterHoursQuoteRecord& buffer, int column) {
  if (column != 0 && column != 1) return false;
  const std::unique_lock<std::mutex> lock = LockForHandler();
  const int32_t row = afterHoursRows_.Find(CodeNumber(buffer.code));
  if (row < 0) return false;
  AfterHoursQuoteRecord& stored = afterHours_[static_cast<size_t>(row)];
  afterHoursMarks_.Mark(static_cast<size_t>(row));
  figures_.CountStore();
  // Each stream writes its own column only, so that each keeps its latest values whatever the
  // other sends. A snapshot without entries still reports the stream's totals, but no price or
  // book: zeros taken from it would wipe the last ones out.
  stored.trades[column] = buffer.trades[column];
  stored.volume[column] = buffer.volume[column];
  stored.turnover[column] = buffer.turnover[column];
  const bool carriesEntries = column == 0 ? buffer.has060 == '1' : buffer.has061 == '2';
  if (!carriesEntries) return true;
  if (column == 0) {
    stored.has060 = '1';
  } else {
    stored.has061 = '2';
  }
  stored.price[column] = buffer.price[column];
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
  negotiatedMarks_.Mark(key);
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
  figures_.CountStore();
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
  figures_.CountStore();
  return true;
}

bool MarketState::ApplySecuritySwitches(const char code[8], const char pending[31]) {
  if (CodeNumber(code) <= 0) return false;
  const std::unique_lock<std::mutex> lock = LockForHandler();
  if (reference_ == nullptr) return false;
  refdata::SecuritySwitchRecord* entry = reference_->securitySwitch.Find(code, true);
  if (entry == nullptr) return false;
  bool changed = false;
  for (size_t i = 0; i < sizeof entry->switches; ++i) {
    if (pending[i] != '\0' && entry->switches[i] != pending[i]) {
      entry->switches[i] = pending[i];
      changed = true;
    }
  }
  // A new entry changes nothing a writer shows until a switch is set in it.
  if (changed) codeMarks_.Mark(static_cast<size_t>(CodeNumber(code)));
  figures_.CountStore();
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
  figures_.CountStore();
}

uint64_t MarketState::UpdatesApplied() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return figures_.Stores();
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
  stockMarks_.Mark(static_cast<size_t>(row));
  if (close > 0) quote.last = close;
  if (trades > 0) quote.trades = trades;
  if (volume > 0) quote.volume = volume;
  if (turnover > 0) quote.turnover = turnover;
}

}  // namespace fw::market
