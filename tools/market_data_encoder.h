// Encoders of every message the gateway sends or receives, written field by field in wire units
// (big-endian integers, blank-padded fixed-width texts, the byte-sum checksum). The gateway
// simulator plays its days with them, and tests and benchmarks build realistic frames with them.
// Written apart from the system's own message writer, so that what the system decodes is checked
// against an independent encoder.
//
// Wire units: PrevClosePx, order Price × 10000; MDEntryPx × 1000000; TotalVolumeTrade,
// MDEntrySize, OrderQty × 100; TotalValueTrade × 10000; times YYYYMMDDHHMMSSsss. Plain functions;
// thread-safe.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace fw::tools {

using Frame = std::vector<uint8_t>;

// One message: body fields appended in order, then Finish adds header and checksum.
class FrameEncoder {
 public:
  explicit FrameEncoder(uint32_t msgType);
  FrameEncoder& U8(uint8_t value);
  FrameEncoder& U16(uint16_t value);
  FrameEncoder& U32(uint32_t value);
  FrameEncoder& I64(int64_t value);
  // Left-aligned and blank-padded to width; a longer text is cut.
  FrameEncoder& Text(std::string_view text, size_t width);
  // The whole frame: MsgType, BodyLength, body, checksum.
  Frame Finish() const;

 private:
  uint32_t msgType_;
  std::vector<uint8_t> body_;
};

// Sum of the bytes modulo 256.
uint8_t FrameChecksum(const uint8_t* bytes, size_t n);
// Recomputes the checksum of a complete frame (after a test changed its bytes).
void FixFrameChecksum(Frame* frame);

// YYYYMMDDHHMMSSsss.
constexpr int64_t OrigTime(uint32_t date, uint32_t hhmmss, uint32_t millisecond) {
  return static_cast<int64_t>(date) * 1000000000 + static_cast<int64_t>(hhmmss) * 1000 +
         millisecond;
}

// The first ten fields of 300111, 309011, 309111 and 300611.
struct SnapshotHeader {
  int64_t origTime = 0;
  uint16_t channelNo = 1;
  std::string stream;      // MDStreamID, 3 characters
  std::string securityId;  // blank-padded to 8
  std::string securityIdSource = "102";
  std::string tradingPhase = "T0";  // TradingPhaseCode, blank-padded to 8
  int64_t prevClosePx = 0;          // × 10000
  int64_t numTrades = 0;
  int64_t totalVolumeTrade = 0;  // × 100
  int64_t totalValueTrade = 0;   // × 10000
};

// One MD entry of the cash auction snapshot.
struct BookEntry {
  std::string type;  // "0 " bid, "1 " offer, "2 " last, "4 " open, "7 " high, "8 " low, "x1" …
  int64_t px = 0;    // × 1000000
  int64_t size = 0;  // × 100
  uint16_t level = 0;
  int64_t numberOfOrders = 0;
  std::vector<int64_t> orderQty;  // NoOrders values, × 100
};
Frame EncodeCashAuctionSnapshot(const SnapshotHeader& header,
                                const std::vector<BookEntry>& entries);

struct IndexEntry {
  std::string type;  // "3 " current, "xa" previous close, "xb" open, "xc" high, "xd" low
  int64_t px = 0;    // × 1000000
};
Frame EncodeIndexSnapshot(const SnapshotHeader& header, const std::vector<IndexEntry>& entries);

Frame EncodeVolumeStatSnapshot(const SnapshotHeader& header, uint32_t stockNum);

struct AfterHoursEntry {
  std::string type;  // "0 " bid, "1 " offer
  int64_t px = 0;    // × 1000000
  int64_t size = 0;  // × 100
};
// `announced` is the NoMDEntries sent; -1 sends the number of entries.
Frame EncodeAfterHoursSnapshot(const SnapshotHeader& header,
                               const std::vector<AfterHoursEntry>& entries, int64_t announced = -1);

struct NegotiatedOrder {
  uint16_t channelNo = 1;
  int64_t applSeqNum = 0;
  std::string stream = "051";
  std::string securityId;
  std::string securityIdSource = "102";
  int64_t price = 0;     // × 10000
  int64_t orderQty = 0;  // × 100
  uint8_t side = '1';    // '1' buy, '2' sell
  int64_t transactTime = 0;
  std::string confirmId;    // 8; all blanks for an order without a counterparty
  std::string contactor;    // 12, UTF-8
  std::string contactInfo;  // 30
};
Frame EncodeNegotiatedOrder(const NegotiatedOrder& order);

struct NegotiatedOutcome {
  uint16_t channelNo = 1;
  int64_t applSeqNum = 0;
  std::string stream = "051";
  int64_t bidApplSeqNum = 0;
  int64_t offerApplSeqNum = 0;
  std::string securityId;
  std::string securityIdSource = "102";
  int64_t lastPx = 0;   // × 10000
  int64_t lastQty = 0;  // × 100
  uint8_t execType = 'F';
  int64_t transactTime = 0;
};
Frame EncodeNegotiatedOutcome(const NegotiatedOutcome& outcome);

struct SwitchEntry {
  uint16_t type = 0;    // 1 … 31
  uint16_t status = 0;  // 1 on
};
Frame EncodeSecuritySwitch(int64_t origTime, uint16_t channelNo, std::string_view securityId,
                           const std::vector<SwitchEntry>& switches);

struct StreamPhaseEntry {
  std::string stream;
  uint32_t stockNum = 0;
  std::string tradingPhase;  // "E0" closes a stream
};
Frame EncodeStreamPhase(int64_t origTime, uint16_t channelNo,
                        const std::vector<StreamPhaseEntry>& entries);

// Session messages.
Frame EncodeLogon(std::string_view sender, std::string_view target, int32_t heartBtInt,
                  std::string_view password, std::string_view defaultApplVerId);
Frame EncodeHeartbeat();
// SessionStatus and Text (200); a client's own Logout leaves both zero.
Frame EncodeLogout(int32_t sessionStatus, std::string_view text);

}  // namespace fw::tools
