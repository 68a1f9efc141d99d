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

// Widths of the fields the handlers step over.
constexpr int32_t kChannelNoBytes = 2;
constexpr int32_t kSourceBytes = 4;  // SecurityIDSource
constexpr int32_t kPhaseBytes = 8;   // TradingPhaseCode
constexpr int32_t kInt64Bytes = 8;

// (v + d/2) / d truncating toward zero, as a signed 64-bit division would give it, without the
// addition that overflows for the largest values a corrupt but checksummed body can carry.
int64_t RoundHalfUp(int64_t v, int64_t d) {
  if (v >= 0) return v / d + (v % d >= d / 2 ? 1 : 0);
  return (v + d / 2) / d;
}

// Rounds half away from zero: the signed change fields round symmetrically.
int64_t RoundHalfAwayFromZero(int64_t v, int64_t d) {
  if (v >= 0) return v / d + (v % d >= d / 2 ? 1 : 0);
  return v / d - (v % d <= -(d / 2) ? 1 : 0);
}

constexpr uint16_t EntryType(char a, char b) {
  return static_cast<uint16_t>((static_cast<uint8_t>(a) << 8) | static_cast<uint8_t>(b));
}

uint16_t EntryType(const char (&type)[2]) { return EntryType(type[0], type[1]); }

bool StreamIs(const char (&stream)[3], const char* expected) {
  return std::memcmp(stream, expected, 3) == 0;
}

// SecurityID char[8] as the state keeps codes: the first six characters and two zero bytes.
void ReadCode(FeedMessageReader& reader, char (&code)[8]) {
  char field[8] = {};
  reader.GetBytes(field, 8);
  std::memcpy(code, field, 6);
  code[6] = '\0';
  code[7] = '\0';
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

void ApplyAuctionEntry(StockQuoteRecord& quote, const char (&type)[2], int64_t price, int64_t size,
                       uint32_t level) {
  switch (EntryType(type)) {
    case EntryType('0', ' '):
      if (level >= 1 && level <= 5) {
        quote.bidPrice[level - 1] = RoundHalfUp(price, 1000);
        quote.bidVolume[level - 1] = size / 100;
      }
      break;
    case EntryType('1', ' '):
      if (level >= 1 && level <= 5) {
        quote.askPrice[level - 1] = RoundHalfUp(price, 1000);
        quote.askVolume[level - 1] = size / 100;
      }
      break;
    case EntryType('2', ' '):
      quote.last = RoundHalfUp(price, 1000);
      break;
    case EntryType('4', ' '):
      quote.open = RoundHalfUp(price, 1000);
      break;
    case EntryType('7', ' '):
      quote.high = RoundHalfUp(price, 1000);
      break;
    case EntryType('8', ' '):
      quote.low = RoundHalfUp(price, 1000);
      break;
    case EntryType('x', '1'):
      quote.change1 = RoundHalfAwayFromZero(price, 1000);
      break;
    case EntryType('x', '2'):
      quote.change2 = RoundHalfAwayFromZero(price, 1000);
      break;
    case EntryType('x', '5'):
    case EntryType('x', '7'):
      quote.indicator1 = RoundHalfUp(price, 10000);
      break;
    case EntryType('x', '6'):
    case EntryType('x', '9'):
      quote.indicator2 = RoundHalfUp(price, 10000);
      break;
    case EntryType('x', '8'):
      quote.indicator2 = RoundHalfUp(price, 100);
      break;
    default:
      break;
  }
}

void ApplyIndexEntry(IndexQuoteRecord& index, IndexTable table, const char (&type)[2],
                     int64_t price) {
  const int64_t value =
      table == IndexTable::kThreeDecimals ? RoundHalfUp(price, 1000) : price / 100;
  switch (EntryType(type)) {
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

// Early exits. A field that could not be read is not a stream or a code the handler may pass
// over silently: the body is short, and Finish reports it. A stream or code that was read and is
// not this handler's ends the message without a line.

void MarketDataHandlers::OnCashAuctionSnapshot(const uint8_t* body, int32_t length) {
  // After the closing load the closing prices are final.
  if (state_.ClosingDataLoadedHint()) return;
  FeedMessageReader reader(body, length);
  const int64_t origTime = reader.GetInt64();
  reader.Skip(kChannelNoBytes);
  char stream[3];
  reader.GetBytes(stream, 3);
  if (reader.Failed()) {
    reader.Finish(kMsgCashAuctionSnapshot, true);
    return;
  }
  if (!StreamIs(stream, "010") && !StreamIs(stream, "020") && !StreamIs(stream, "030")) {
    state_.SetMarketTime(origTime);
    return;
  }
  char code[8];
  ReadCode(reader, code);
  StockQuoteRecord quote;
  if (reader.Failed()) {
    reader.Finish(kMsgCashAuctionSnapshot, true);
    return;
  }
  if (!state_.FetchStockQuote(code, &quote)) {
    state_.SetMarketTime(origTime);
    return;
  }
  reader.Skip(kSourceBytes);
  char phase[kPhaseBytes] = {};
  reader.GetBytes(phase, kPhaseBytes);
  quote.prevClose = reader.GetInt64() / 10;
  quote.trades = reader.GetInt64();
  quote.volume = reader.GetInt64() / 100;
  quote.turnover = reader.GetInt64() / 10;
  // The book is the snapshot's alone; every other field keeps its value unless an entry sets it.
  std::memset(quote.askPrice, 0, sizeof quote.askPrice);
  std::memset(quote.askVolume, 0, sizeof quote.askVolume);
  std::memset(quote.bidPrice, 0, sizeof quote.bidPrice);
  std::memset(quote.bidVolume, 0, sizeof quote.bidVolume);
  const uint32_t entries = reader.GetInt(4);
  for (uint32_t i = 0; i < entries && !reader.Failed(); ++i) {
    char type[2];
    reader.GetBytes(type, 2);
    const int64_t price = reader.GetInt64();
    const int64_t size = reader.GetInt64();
    const uint32_t level = reader.GetInt(2);
    reader.Skip(kInt64Bytes);                             // NumberOfOrders
    SkipRepeated(reader, reader.GetInt(4), kInt64Bytes);  // NoOrders × OrderQty
    if (reader.Failed()) break;
    ApplyAuctionEntry(quote, type, price, size, level);
  }
  if (reader.Finish(kMsgCashAuctionSnapshot, true) < 0) return;
  // The phase, the halt flag and the market time go in with the quote, and only with it.
  state_.StoreCashAuctionSnapshot(quote, phase, origTime);
}

void MarketDataHandlers::OnIndexSnapshot(IndexTable table, const uint8_t* body, int32_t length) {
  FeedMessageReader reader(body, length);
  const int64_t origTime = reader.GetInt64();
  reader.Skip(kChannelNoBytes);
  char stream[3];
  reader.GetBytes(stream, 3);
  if (reader.Failed()) {
    reader.Finish(kMsgIndexSnapshot, true);
    return;
  }
  if (!StreamIs(stream, "900")) {
    state_.SetMarketTime(origTime);
    return;
  }
  char code[8];
  ReadCode(reader, code);
  IndexQuoteRecord index;
  if (reader.Failed()) {
    reader.Finish(kMsgIndexSnapshot, true);
    return;
  }
  if (!state_.FetchIndexQuote(table, code, &index)) {
    state_.SetMarketTime(origTime);
    return;
  }
  reader.Skip(kSourceBytes + kPhaseBytes + kInt64Bytes);  // source, phase, PrevClosePx
  index.trades = reader.GetInt64();
  index.volume = reader.GetInt64() / 100;
  index.turnover = reader.GetInt64() / 10;
  const uint32_t entries = reader.GetInt(4);
  for (uint32_t i = 0; i < entries && !reader.Failed(); ++i) {
    char type[2];
    reader.GetBytes(type, 2);
    const int64_t price = reader.GetInt64();
    if (reader.Failed()) break;
    ApplyIndexEntry(index, table, type, price);
  }
  if (reader.Finish(kMsgIndexSnapshot, true) < 0) return;
  state_.StoreIndexSnapshot(table, index, origTime);
}

void MarketDataHandlers::OnVolumeStatSnapshot(const uint8_t* body, int32_t length) {
  FeedMessageReader reader(body, length);
  reader.Skip(kInt64Bytes + kChannelNoBytes);  // OrigTime does not move the market time here
  char stream[3];
  reader.GetBytes(stream, 3);
  if (reader.Failed()) {
    reader.Finish(kMsgVolumeStatSnapshot, true);
    return;
  }
  if (!StreamIs(stream, "910")) return;
  char code[8];
  ReadCode(reader, code);
  VolumeStatRecord stat;
  if (reader.Failed()) {
    reader.Finish(kMsgVolumeStatSnapshot, true);
    return;
  }
  if (!state_.FetchVolumeStat(code, &stat)) return;
  reader.Skip(kSourceBytes + kPhaseBytes + kInt64Bytes);
  stat.trades = reader.GetInt64();
  stat.volume = reader.GetInt64() / 100;
  stat.turnover = reader.GetInt64() / 10;
  stat.stockNum = reader.GetInt(4);
  if (reader.Finish(kMsgVolumeStatSnapshot, true) < 0) return;
  state_.StoreVolumeStat(stat);
}

void MarketDataHandlers::OnAfterHoursSnapshot(const uint8_t* body, int32_t length) {
  FeedMessageReader reader(body, length);
  reader.Skip(kInt64Bytes + kChannelNoBytes);  // OrigTime is not used
  char stream[3];
  reader.GetBytes(stream, 3);
  if (reader.Failed()) {
    reader.Finish(kMsgAfterHoursSnapshot, true);
    return;
  }
  int column = 0;
  if (StreamIs(stream, "060")) {
    column = 0;
  } else if (StreamIs(stream, "061")) {
    column = 1;
  } else {
    return;
  }
  AfterHoursQuoteRecord quote{};
  ReadCode(reader, quote.code);
  reader.Skip(kSourceBytes + kPhaseBytes + kInt64Bytes);
  quote.trades[column] = reader.GetInt64();
  quote.volume[column] = reader.GetInt64() / 100;
  quote.turnover[column] = reader.GetInt64() / 10;
  const uint32_t entries = reader.GetInt(4);
  // More than two entries are not read: the bytes left over make Finish reject the message.
  if (entries <= 2) {
    for (uint32_t i = 0; i < entries && !reader.Failed(); ++i) {
      char type[2];
      reader.GetBytes(type, 2);
      const int64_t price = reader.GetInt64();
      const int64_t size = reader.GetInt64();
      if (reader.Failed()) break;
      if (column == 0) {
        quote.has060 = '1';
      } else {
        quote.has061 = '2';
      }
      quote.price[column] = price / 1000;
      if (type[0] == '0') quote.bidVolume[column] = size / 100;
      if (type[0] == '1') quote.askVolume[column] = size / 100;
    }
  }
  if (reader.Finish(kMsgAfterHoursSnapshot, true) < 0) return;
  state_.MergeAfterHours(quote, column);
}

void MarketDataHandlers::OnNegotiatedOrder(const uint8_t* body, int32_t length) {
  FeedMessageReader reader(body, length);
  reader.Skip(kChannelNoBytes);
  const int64_t sequence = reader.GetInt64();
  char stream[3];
  reader.GetBytes(stream, 3);
  if (reader.Failed()) {
    reader.Finish(kMsgNegotiatedOrder, true);
    return;
  }
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
  FeedMessageReader reader(body, length);
  reader.Skip(kChannelNoBytes);
  const int64_t sequence = reader.GetInt64();
  char stream[3];
  reader.GetBytes(stream, 3);
  if (reader.Failed()) {
    reader.Finish(kMsgNegotiatedOutcome, true);
    return;
  }
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
  FeedMessageReader reader(body, length);
  const int64_t origTime = reader.GetInt64();
  reader.Skip(kChannelNoBytes);
  char code[8];
  ReadCode(reader, code);
  if (reader.Failed()) {
    reader.Finish(kMsgSecuritySwitch, true);
    return;
  }
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
  FeedMessageReader reader(body, length);
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
