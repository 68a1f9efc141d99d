#include "feed/market_data_handlers.h"

#include <cstring>
#include <limits>

#include "feed/feed_format.h"
#include "feed/feed_message_reader.h"
#include "foundation/gbk.h"
#include "refdata/code_number.h"

namespace fw::feed {
namespace {

using market::AfterHoursQuoteRecord;
using market::IndexQuoteRecord;
using market::IndexTable;
using market::NegotiatedQuoteRecord;
using market::StockQuoteRecord;
using market::VolumeStatRecord;

// Widths of the fields the handlers step over or read in place.
constexpr int32_t kChannelNoBytes = 2;
constexpr int32_t kSourceBytes = 4;  // SecurityIDSource
constexpr int32_t kPhaseBytes = 8;   // TradingPhaseCode
constexpr int32_t kInt64Bytes = 8;
// OrigTime int64, ChannelNo uint16, MDStreamID char[3]: how every snapshot begins.
constexpr int32_t kSnapshotHeadBytes = 13;
// After SecurityID: SecurityIDSource char[4], TradingPhaseCode char[8], PrevClosePx, NumTrades,
// TotalVolumeTrade and TotalValueTrade int64, and the uint32 every snapshot carries next.
constexpr int32_t kSnapshotTailBytes = 48;
// MDEntryType char[2], MDEntryPx int64, MDEntrySize int64, MDPriceLevel uint16, NumberOfOrders
// int64, NoOrders uint32: the fixed part of a cash auction book entry.
constexpr int32_t kAuctionEntryBytes = 32;
constexpr int32_t kIndexEntryBytes = 10;       // MDEntryType char[2], MDEntryPx int64
constexpr int32_t kAfterHoursEntryBytes = 18;  // MDEntryType char[2], MDEntryPx, MDEntrySize int64

// The fields of the four snapshots (300111, 309011, 309111, 300611) around SecurityID, each group
// checked once as a block and decoded in place: the receive path spends most of its time here.
struct SnapshotHead {
  int64_t origTime = 0;  // YYYYMMDDHHMMSSsss
  char stream[3] = {};   // MDStreamID
};

struct SnapshotTail {
  char tradingPhase[2] = {};  // the first two characters of TradingPhaseCode
  int64_t prevClosePx = 0;
  int64_t numTrades = 0;
  int64_t totalVolumeTrade = 0;
  int64_t totalValueTrade = 0;
  uint32_t count = 0;  // NoMDEntries, or StockNum in 309111
};

// A field the handler needs in order to go on is cut short: the body is reported as short (Finish
// logs "some error in [%d]") and the handler stops. A stream or code that was read and is not the
// handler's ends the message without a line instead.
bool StoppedShort(const FeedMessageReader& reader, uint32_t msgType) {
  if (!reader.Failed()) return false;
  reader.Finish(msgType, true);
  return true;
}

// False, the short body reported, when the body ends inside the head.
bool ReadSnapshotHead(FeedMessageReader& reader, uint32_t msgType, SnapshotHead* head) {
  const uint8_t* p = reader.GetBlock(kSnapshotHeadBytes);
  if (StoppedShort(reader, msgType)) return false;
  head->origTime = LoadBigEndian64(p);
  std::memcpy(head->stream, p + kInt64Bytes + kChannelNoBytes, sizeof head->stream);
  return true;
}

// All zero when the body ends inside the tail: the reader has failed then, and Finish rejects the
// message.
SnapshotTail ReadSnapshotTail(FeedMessageReader& reader) {
  SnapshotTail tail;
  const uint8_t* p = reader.GetBlock(kSnapshotTailBytes);
  if (p == nullptr) return tail;
  tail.tradingPhase[0] = static_cast<char>(p[4]);
  tail.tradingPhase[1] = static_cast<char>(p[5]);
  tail.prevClosePx = LoadBigEndian64(p + 12);
  tail.numTrades = LoadBigEndian64(p + 20);
  tail.totalVolumeTrade = LoadBigEndian64(p + 28);
  tail.totalValueTrade = LoadBigEndian64(p + 36);
  tail.count = LoadBigEndian32(p + 44);
  return tail;
}

// (v + d/2) / d truncating toward zero, as a signed 64-bit division gives it: rounding half up for
// the positive prices the gateway sends, while for a negative value the truncation runs toward
// zero, not down (-1499 with d 1000 gives 0 where rounding half up gives -1). Computed without the
// addition, which overflows for the largest values a corrupt but checksummed body can carry. The
// divisor is a template argument so that every division is one by a constant.
template <int64_t d>
int64_t AddHalfThenTruncate(int64_t v) {
  if (v >= 0) return v / d + (v % d >= d / 2 ? 1 : 0);
  return (v + d / 2) / d;
}

// Rounds half away from zero: the signed change fields round symmetrically.
template <int64_t d>
int64_t RoundHalfAwayFromZero(int64_t v) {
  if (v >= 0) return v / d + (v % d >= d / 2 ? 1 : 0);
  return v / d - (v % d <= -(d / 2) ? 1 : 0);
}

constexpr uint16_t EntryType(char a, char b) {
  return static_cast<uint16_t>((static_cast<uint8_t>(a) << 8) | static_cast<uint8_t>(b));
}

// MDEntryType at p, as EntryType spells the types.
uint16_t EntryTypeAt(const uint8_t* p) { return LoadBigEndian16(p); }

bool StreamIs(const char (&stream)[3], const char* expected) {
  return std::memcmp(stream, expected, 3) == 0;
}

// SecurityID char[8] as the state keeps codes: the first six characters and two zero bytes (all
// zero when the body ends inside it).
void ReadCode(FeedMessageReader& reader, char (&code)[8]) {
  std::memset(code, 0, sizeof code);
  if (const uint8_t* p = reader.GetBlock(8)) std::memcpy(code, p, 6);
}

// Steps over `count` values of `width` bytes; a count the body cannot hold fails the reader at
// once instead of looping over it.
void SkipRepeated(FeedMessageReader& reader, uint32_t count, int32_t width) {
  const uint64_t bytes = static_cast<uint64_t>(count) * static_cast<uint64_t>(width);
  const int32_t remaining = reader.Remaining();
  if (bytes > static_cast<uint64_t>(remaining)) {
    reader.Skip(remaining);
    reader.Skip(1);  // past the end: sets the error
    return;
  }
  reader.Skip(static_cast<int32_t>(bytes));
}

void ApplyAuctionEntry(market::CashAuctionUpdate& update, uint16_t type, int64_t price,
                       int64_t size, uint32_t level) {
  using market::CashAuctionUpdate;
  StockQuoteRecord& quote = update.quote;
  switch (type) {
    case EntryType('0', ' '):
      if (level >= 1 && level <= 5) {
        quote.bidPrice[level - 1] = AddHalfThenTruncate<1000>(price);
        quote.bidVolume[level - 1] = size / 100;
      }
      break;
    case EntryType('1', ' '):
      if (level >= 1 && level <= 5) {
        quote.askPrice[level - 1] = AddHalfThenTruncate<1000>(price);
        quote.askVolume[level - 1] = size / 100;
      }
      break;
    case EntryType('2', ' '):
      quote.last = AddHalfThenTruncate<1000>(price);
      update.set |= CashAuctionUpdate::kLast;
      break;
    case EntryType('4', ' '):
      quote.open = AddHalfThenTruncate<1000>(price);
      update.set |= CashAuctionUpdate::kOpen;
      break;
    case EntryType('7', ' '):
      quote.high = AddHalfThenTruncate<1000>(price);
      update.set |= CashAuctionUpdate::kHigh;
      break;
    case EntryType('8', ' '):
      quote.low = AddHalfThenTruncate<1000>(price);
      update.set |= CashAuctionUpdate::kLow;
      break;
    case EntryType('x', '1'):
      quote.change1 = RoundHalfAwayFromZero<1000>(price);
      update.set |= CashAuctionUpdate::kChange1;
      break;
    case EntryType('x', '2'):
      quote.change2 = RoundHalfAwayFromZero<1000>(price);
      update.set |= CashAuctionUpdate::kChange2;
      break;
    case EntryType('x', '5'):
    case EntryType('x', '7'):
      quote.indicator1 = AddHalfThenTruncate<10000>(price);
      update.set |= CashAuctionUpdate::kIndicator1;
      break;
    case EntryType('x', '6'):
    case EntryType('x', '9'):
      quote.indicator2 = AddHalfThenTruncate<10000>(price);
      update.set |= CashAuctionUpdate::kIndicator2;
      break;
    case EntryType('x', '8'):
      quote.indicator2 = AddHalfThenTruncate<100>(price);
      update.set |= CashAuctionUpdate::kIndicator2;
      break;
    default:
      break;
  }
}

void ApplyIndexEntry(IndexQuoteRecord& index, IndexTable table, uint16_t type, int64_t price) {
  const int64_t value =
      table == IndexTable::kThreeDecimals ? AddHalfThenTruncate<1000>(price) : price / 100;
  switch (type) {
    case EntryType('3', ' '):
      index.current = value;
      break;
    case EntryType('x', 'a'):
      index.prevClose = value;
      break;
    case EntryType('x', 'b'):
      index.open = value;
      break;
    case EntryType('x', 'c'):
      index.high = value;
      break;
    case EntryType('x', 'd'):
      index.low = value;
      break;
    default:
      break;
  }
}

// HHMMSSss right-aligned in 8 characters and terminated, as "%8lld" into the 9-byte field would
// write it; a value needing more than 8 characters (only a negative one can) keeps its first 8.
void FormatOrderTime(int64_t value, char (&time)[9]) {
  char reversed[24];
  size_t n = 0;
  const bool negative = value < 0;
  uint64_t magnitude = negative ? 0 - static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
  do {
    reversed[n++] = static_cast<char>('0' + magnitude % 10);
    magnitude /= 10;
  } while (magnitude != 0);
  if (negative) reversed[n++] = '-';
  char text[24];
  size_t length = 0;
  for (size_t pad = n; pad < 8; ++pad) text[length++] = ' ';
  while (n > 0) text[length++] = reversed[--n];
  std::memcpy(time, text, 8);
  time[8] = '\0';
}

bool AllSpaces(const char* text, size_t n) {
  for (size_t i = 0; i < n; ++i) {
    if (text[i] != ' ') return false;
  }
  return true;
}

}  // namespace

int64_t MarketTimeStamp(uint32_t msgType, const uint8_t* body, uint32_t bodyLength) {
  switch (msgType) {
    case kMsgCashAuctionSnapshot:
    case kMsgIndexSnapshot:
    case kMsgSecuritySwitch:
      return bodyLength >= static_cast<uint32_t>(kInt64Bytes) ? LoadBigEndian64(body) : -1;
    default:
      return -1;
  }
}

void MarketDataHandlers::Dispatch(uint32_t msgType, const uint8_t* body, uint32_t bodyLength) {
  const int32_t length = bodyLength > static_cast<uint32_t>(std::numeric_limits<int32_t>::max())
                             ? std::numeric_limits<int32_t>::max()
                             : static_cast<int32_t>(bodyLength);
  switch (msgType) {
    case kMsgCashAuctionSnapshot:
      OnCashAuctionSnapshot(body, length);
      break;
    case kMsgIndexSnapshot:
      // One snapshot feeds both index tables; each run reads and checks the body on its own.
      OnIndexSnapshot(IndexTable::kThreeDecimals, body, length);
      OnIndexSnapshot(IndexTable::kFourDecimals, body, length);
      break;
    case kMsgVolumeStatSnapshot:
      OnVolumeStatSnapshot(body, length);
      break;
    case kMsgAfterHoursSnapshot:
      OnAfterHoursSnapshot(body, length);
      break;
    case kMsgNegotiatedOrder:
      OnNegotiatedOrder(body, length);
      break;
    case kMsgNegotiatedOutcome:
      OnNegotiatedOutcome(body, length);
      break;
    case kMsgSecuritySwitch:
      OnSecuritySwitch(body, length);
      break;
    case kMsgStreamPhase:
      OnStreamPhase(body, length);
      break;
    default:
      break;  // 300191, 300192, session replies and unknown types
  }
}

void MarketDataHandlers::OnCashAuctionSnapshot(const uint8_t* body, int32_t length) {
  // After the closing load the closing prices are final.
  if (state_.ClosingDataLoadedHint()) return;
  FeedMessageReader reader(body, length, counters_);
  SnapshotHead head;
  if (!ReadSnapshotHead(reader, kMsgCashAuctionSnapshot, &head)) return;
  if (!StreamIs(head.stream, "010") && !StreamIs(head.stream, "020") &&
      !StreamIs(head.stream, "030")) {
    state_.SetMarketTime(head.origTime);
    return;
  }
  // The book starts empty and the fields no entry names keep the row's values (the update
  // carries only what the snapshot set).
  market::CashAuctionUpdate update{};
  ReadCode(reader, update.quote.code);
  if (StoppedShort(reader, kMsgCashAuctionSnapshot)) return;
  if (!state_.HasStockQuote(update.quote.code)) {
    state_.SetMarketTime(head.origTime);
    return;
  }
  const SnapshotTail tail = ReadSnapshotTail(reader);
  update.tradingPhase[0] = tail.tradingPhase[0];
  update.tradingPhase[1] = tail.tradingPhase[1];
  update.quote.prevClose = tail.prevClosePx / 10;
  update.quote.trades = tail.numTrades;
  update.quote.volume = tail.totalVolumeTrade / 100;
  update.quote.turnover = tail.totalValueTrade / 10;
  for (uint32_t i = 0; i < tail.count && !reader.Failed(); ++i) {
    const uint8_t* entry = reader.GetBlock(kAuctionEntryBytes);
    if (entry == nullptr) break;
    // entry + 20: NumberOfOrders, not used; then NoOrders × OrderQty, not used either.
    SkipRepeated(reader, LoadBigEndian32(entry + 28), kInt64Bytes);
    if (reader.Failed()) break;
    ApplyAuctionEntry(update, EntryTypeAt(entry), LoadBigEndian64(entry + 2),
                      LoadBigEndian64(entry + 10), LoadBigEndian16(entry + 18));
  }
  if (reader.Finish(kMsgCashAuctionSnapshot, true) < 0) return;
  // The phase, the halt flag and the market time go in with the quote, and only with it.
  update.origTime = head.origTime;
  state_.StoreCashAuctionSnapshot(update);
}

void MarketDataHandlers::OnIndexSnapshot(IndexTable table, const uint8_t* body, int32_t length) {
  // The body is read once per index table; a bad one counts once.
  FeedMessageReader reader(body, length, table == IndexTable::kThreeDecimals ? counters_ : nullptr);
  SnapshotHead head;
  if (!ReadSnapshotHead(reader, kMsgIndexSnapshot, &head)) return;
  if (!StreamIs(head.stream, "900")) {
    state_.SetMarketTime(head.origTime);
    return;
  }
  char code[8];
  ReadCode(reader, code);
  if (StoppedShort(reader, kMsgIndexSnapshot)) return;
  IndexQuoteRecord index;
  if (!state_.FetchIndexQuote(table, code, &index)) {
    state_.SetMarketTime(head.origTime);
    return;
  }
  const SnapshotTail tail = ReadSnapshotTail(reader);
  index.trades = tail.numTrades;
  index.volume = tail.totalVolumeTrade / 100;
  index.turnover = tail.totalValueTrade / 10;
  for (uint32_t i = 0; i < tail.count && !reader.Failed(); ++i) {
    const uint8_t* entry = reader.GetBlock(kIndexEntryBytes);
    if (entry == nullptr) break;
    ApplyIndexEntry(index, table, EntryTypeAt(entry), LoadBigEndian64(entry + 2));
  }
  if (reader.Finish(kMsgIndexSnapshot, true) < 0) return;
  state_.StoreIndexSnapshot(table, index, head.origTime);
}

void MarketDataHandlers::OnVolumeStatSnapshot(const uint8_t* body, int32_t length) {
  FeedMessageReader reader(body, length, counters_);
  SnapshotHead head;  // OrigTime does not move the market time here
  if (!ReadSnapshotHead(reader, kMsgVolumeStatSnapshot, &head)) return;
  if (!StreamIs(head.stream, "910")) return;
  char code[8];
  ReadCode(reader, code);
  if (StoppedShort(reader, kMsgVolumeStatSnapshot)) return;
  VolumeStatRecord stat;
  if (!state_.FetchVolumeStat(code, &stat)) return;
  const SnapshotTail tail = ReadSnapshotTail(reader);
  stat.trades = tail.numTrades;
  stat.volume = tail.totalVolumeTrade / 100;
  stat.turnover = tail.totalValueTrade / 10;
  stat.stockNum = tail.count;
  if (reader.Finish(kMsgVolumeStatSnapshot, true) < 0) return;
  state_.StoreVolumeStat(stat);
}

void MarketDataHandlers::OnAfterHoursSnapshot(const uint8_t* body, int32_t length) {
  FeedMessageReader reader(body, length, counters_);
  SnapshotHead head;  // OrigTime is not used
  if (!ReadSnapshotHead(reader, kMsgAfterHoursSnapshot, &head)) return;
  int column = 0;
  if (StreamIs(head.stream, "060")) {
    column = 0;
  } else if (StreamIs(head.stream, "061")) {
    column = 1;
  } else {
    return;
  }
  AfterHoursQuoteRecord quote{};
  ReadCode(reader, quote.code);
  if (StoppedShort(reader, kMsgAfterHoursSnapshot)) return;
  const SnapshotTail tail = ReadSnapshotTail(reader);
  quote.trades[column] = tail.numTrades;
  quote.volume[column] = tail.totalVolumeTrade / 100;
  quote.turnover[column] = tail.totalValueTrade / 10;
  // More than two entries are not read: the bytes left over make Finish reject the message.
  if (tail.count <= 2) {
    for (uint32_t i = 0; i < tail.count && !reader.Failed(); ++i) {
      const uint8_t* entry = reader.GetBlock(kAfterHoursEntryBytes);
      if (entry == nullptr) break;
      if (column == 0) {
        quote.has060 = '1';
      } else {
        quote.has061 = '2';
      }
      quote.price[column] = LoadBigEndian64(entry + 2) / 1000;
      if (entry[0] == '0') quote.bidVolume[column] = LoadBigEndian64(entry + 10) / 100;
      if (entry[0] == '1') quote.askVolume[column] = LoadBigEndian64(entry + 10) / 100;
    }
  }
  if (reader.Finish(kMsgAfterHoursSnapshot, true) < 0) return;
  state_.MergeAfterHours(quote, column);
}

void MarketDataHandlers::OnNegotiatedOrder(const uint8_t* body, int32_t length) {
  FeedMessageReader reader(body, length, counters_);
  reader.Skip(kChannelNoBytes);
  const int64_t sequence = reader.GetInt64();
  char stream[3];
  reader.GetBytes(stream, 3);
  if (StoppedShort(reader, kMsgNegotiatedOrder)) return;
  if (!StreamIs(stream, "051") && !StreamIs(stream, "052")) return;
  NegotiatedQuoteRecord order{};
  order.sequence = sequence;
  ReadCode(reader, order.code);
  reader.Skip(kSourceBytes);
  order.price = reader.GetInt64() / 10;
  order.volume = reader.GetInt64() / 100;
  const uint32_t side = reader.GetInt(1);
  const int64_t transactTime = reader.GetInt64();
  char confirmId[8];
  reader.GetBytes(confirmId, 8);
  char contactor[12];
  reader.GetBytes(contactor, 12);
  reader.GetBytes(order.contactInfo, 30);
  if (reader.Finish(kMsgNegotiatedOrder, true) < 0) return;

  order.kindPrefix[0] = ' ';
  order.kindPrefix[1] = ' ';
  order.quoteKind = AllSpaces(confirmId, sizeof confirmId) ? 'H' : 'O';
  order.side = side == '1' ? 'B' : side == '2' ? 'S' : '\0';
  char converted[50] = {};
  Utf8ToGbk(contactor, sizeof contactor, converted, sizeof converted);
  std::memcpy(order.contact, converted, sizeof order.contact);
  order.flags[0] = '0';
  order.flags[1] = '1';
  FormatOrderTime((transactTime % 1000000000) / 10, order.time);
  if (order.quoteKind == 'O' && (order.side == 'B' || order.side == 'S')) {
    order.fixedVolume = 99999999;
  }
  order.status = '1';
  const char trailer[6] = {' ', '\0', ' ', '\0', '\0', ' '};
  std::memcpy(order.trailer, trailer, sizeof order.trailer);
  state_.StoreNegotiatedOrder(order);
}

void MarketDataHandlers::OnNegotiatedOutcome(const uint8_t* body, int32_t length) {
  FeedMessageReader reader(body, length, counters_);
  reader.Skip(kChannelNoBytes);
  const int64_t sequence = reader.GetInt64();
  char stream[3];
  reader.GetBytes(stream, 3);
  if (StoppedShort(reader, kMsgNegotiatedOutcome)) return;
  if (!StreamIs(stream, "051") && !StreamIs(stream, "052")) return;
  reader.Skip(2 * kInt64Bytes);  // BidApplSeqNum, OfferApplSeqNum
  char code[8];
  ReadCode(reader, code);
  reader.Skip(kSourceBytes + 2 * kInt64Bytes);  // source, LastPx, LastQty
  const uint32_t execType = reader.GetInt(1);
  reader.Skip(kInt64Bytes);  // TransactTime
  if (reader.Finish(kMsgNegotiatedOutcome, true) < 0) return;
  // Filled ('F') or cancelled ('4') orders are no longer live.
  const char status = execType == '4' || execType == 'F' ? '0' : '1';
  state_.UpdateNegotiatedOutcome(sequence, code, status);
}

void MarketDataHandlers::OnSecuritySwitch(const uint8_t* body, int32_t length) {
  FeedMessageReader reader(body, length, counters_);
  const int64_t origTime = reader.GetInt64();
  reader.Skip(kChannelNoBytes);
  char code[8];
  ReadCode(reader, code);
  if (StoppedShort(reader, kMsgSecuritySwitch)) return;
  if (fw::CodeValue(code, sizeof code) <= 0) {
    state_.SetMarketTime(origTime);
    return;
  }
  reader.Skip(kSourceBytes + 8);  // source, FinancialStatus
  const uint32_t switches = reader.GetInt(4);
  char pending[31] = {};
  for (uint32_t i = 0; i < switches && !reader.Failed(); ++i) {
    const uint32_t type = reader.GetInt(2);
    const uint32_t status = reader.GetInt(2);
    if (reader.Failed()) break;
    if (type >= 1 && type <= 31) pending[type - 1] = status == 1 ? 'T' : 'F';
  }
  // Switches take effect as they are read: they stay even when the body turns out to be bad.
  state_.ApplySecuritySwitches(code, pending);
  if (reader.Finish(kMsgSecuritySwitch, true) < 0) return;
  state_.SetMarketTime(origTime);
}

void MarketDataHandlers::OnStreamPhase(const uint8_t* body, int32_t length) {
  FeedMessageReader reader(body, length, counters_);
  reader.Skip(kInt64Bytes + kChannelNoBytes);  // OrigTime, ChannelNo
  const uint32_t streams = reader.GetInt(4);
  // The last entry of each group wins; entries cut short by the end of the body are not applied,
  // and there is no end-of-body check.
  char closed[4] = {};  // by stream group 1 … 3
  for (uint32_t i = 0; i < streams && !reader.Failed(); ++i) {
    char stream[3];
    reader.GetBytes(stream, 3);
    reader.Skip(4);  // StockNum
    char phase[kPhaseBytes];
    reader.GetBytes(phase, kPhaseBytes);
    if (reader.Failed()) break;
    int group = 0;
    if (StreamIs(stream, "010") || StreamIs(stream, "020") || StreamIs(stream, "030")) {
      group = market::kStreamGroupAuction;
    } else if (StreamIs(stream, "051") || StreamIs(stream, "052")) {
      group = market::kStreamGroupNegotiated;
    } else if (StreamIs(stream, "060") || StreamIs(stream, "061")) {
      group = market::kStreamGroupAfterHours;
    }
    if (group != 0) closed[group] = phase[0] == 'E' ? '1' : '0';
  }
  for (int group = 1; group <= 3; ++group) {
    if (closed[group] != '\0') state_.SetStreamClosed(group, closed[group]);
  }
}

}  // namespace fw::feed
