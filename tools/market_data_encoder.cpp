#include "tools/market_data_encoder.h"

namespace fw::tools {
namespace {

constexpr uint32_t kLogon = 1;
constexpr uint32_t kLogout = 2;
constexpr uint32_t kHeartbeat = 3;
constexpr uint32_t kCashAuctionSnapshot = 300111;
constexpr uint32_t kNegotiatedOutcome = 300591;
constexpr uint32_t kNegotiatedOrder = 300592;
constexpr uint32_t kAfterHoursSnapshot = 300611;
constexpr uint32_t kIndexSnapshot = 309011;
constexpr uint32_t kVolumeStatSnapshot = 309111;
constexpr uint32_t kSecuritySwitch = 390013;
constexpr uint32_t kStreamPhase = 390090;

void PutBigEndian(std::vector<uint8_t>* out, uint64_t value, int bytes) {
  for (int shift = (bytes - 1) * 8; shift >= 0; shift -= 8) {
    out->push_back(static_cast<uint8_t>(value >> shift));
  }
}

void PutSnapshotHeader(FrameEncoder& m, const SnapshotHeader& h) {
  m.I64(h.origTime).U16(h.channelNo).Text(h.stream, 3).Text(h.securityId, 8);
  m.Text(h.securityIdSource, 4).Text(h.tradingPhase, 8).I64(h.prevClosePx).I64(h.numTrades);
  m.I64(h.totalVolumeTrade).I64(h.totalValueTrade);
}

}  // namespace

FrameEncoder::FrameEncoder(uint32_t msgType) : msgType_(msgType) { body_.reserve(256); }

FrameEncoder& FrameEncoder::U8(uint8_t value) {
  body_.push_back(value);
  return *this;
}

FrameEncoder& FrameEncoder::U16(uint16_t value) {
  PutBigEndian(&body_, value, 2);
  return *this;
}

FrameEncoder& FrameEncoder::U32(uint32_t value) {
  PutBigEndian(&body_, value, 4);
  return *this;
}

FrameEncoder& FrameEncoder::I64(int64_t value) {
  PutBigEndian(&body_, static_cast<uint64_t>(value), 8);
  return *this;
}

FrameEncoder& FrameEncoder::Text(std::string_view text, size_t width) {
  const size_t n = text.size() < width ? text.size() : width;
  body_.insert(body_.end(), text.begin(), text.begin() + static_cast<std::ptrdiff_t>(n));
  body_.insert(body_.end(), width - n, static_cast<uint8_t>(' '));
  return *this;
}

Frame FrameEncoder::Finish() const {
  Frame frame;
  frame.reserve(body_.size() + 12);
  PutBigEndian(&frame, msgType_, 4);
  PutBigEndian(&frame, body_.size(), 4);
  frame.insert(frame.end(), body_.begin(), body_.end());
  PutBigEndian(&frame, FrameChecksum(frame.data(), frame.size()), 4);
  return frame;
}

uint8_t FrameChecksum(const uint8_t* bytes, size_t n) {
  uint8_t sum = 0;
  for (size_t i = 0; i < n; ++i) sum = static_cast<uint8_t>(sum + bytes[i]);
  return sum;
}

void FixFrameChecksum(Frame* frame) {
  if (frame->size() < 12) return;
  const size_t summed = frame->size() - 4;
  const uint8_t sum = FrameChecksum(frame->data(), summed);
  (*frame)[summed] = 0;
  (*frame)[summed + 1] = 0;
  (*frame)[summed + 2] = 0;
  (*frame)[summed + 3] = sum;
}

Frame EncodeCashAuctionSnapshot(const SnapshotHeader& header,
                                const std::vector<BookEntry>& entries) {
  FrameEncoder m(kCashAuctionSnapshot);
  PutSnapshotHeader(m, header);
  m.U32(static_cast<uint32_t>(entries.size()));
  for (const BookEntry& e : entries) {
    m.Text(e.type, 2).I64(e.px).I64(e.size).U16(e.level).I64(e.numberOfOrders);
    m.U32(static_cast<uint32_t>(e.orderQty.size()));
    for (const int64_t quantity : e.orderQty) m.I64(quantity);
  }
  return m.Finish();
}

Frame EncodeIndexSnapshot(const SnapshotHeader& header, const std::vector<IndexEntry>& entries) {
  FrameEncoder m(kIndexSnapshot);
  PutSnapshotHeader(m, header);
  m.U32(static_cast<uint32_t>(entries.size()));
  for (const IndexEntry& e : entries) m.Text(e.type, 2).I64(e.px);
  return m.Finish();
}

Frame EncodeVolumeStatSnapshot(const SnapshotHeader& header, uint32_t stockNum) {
  FrameEncoder m(kVolumeStatSnapshot);
  PutSnapshotHeader(m, header);
  m.U32(stockNum);
  return m.Finish();
}

Frame EncodeAfterHoursSnapshot(const SnapshotHeader& header,
                               const std::vector<AfterHoursEntry>& entries, int64_t announced) {
  FrameEncoder m(kAfterHoursSnapshot);
  PutSnapshotHeader(m, header);
  m.U32(static_cast<uint32_t>(announced >= 0 ? announced : static_cast<int64_t>(entries.size())));
  for (const AfterHoursEntry& e : entries) m.Text(e.type, 2).I64(e.px).I64(e.size);
  return m.Finish();
}

Frame EncodeNegotiatedOrder(const NegotiatedOrder& o) {
  FrameEncoder m(kNegotiatedOrder);
  m.U16(o.channelNo).I64(o.applSeqNum).Text(o.stream, 3).Text(o.securityId, 8);
  m.Text(o.securityIdSource, 4).I64(o.price).I64(o.orderQty).U8(o.side).I64(o.transactTime);
  m.Text(o.confirmId, 8).Text(o.contactor, 12).Text(o.contactInfo, 30);
  return m.Finish();
}

Frame EncodeNegotiatedOutcome(const NegotiatedOutcome& o) {
  FrameEncoder m(kNegotiatedOutcome);
  m.U16(o.channelNo).I64(o.applSeqNum).Text(o.stream, 3).I64(o.bidApplSeqNum);
  m.I64(o.offerApplSeqNum).Text(o.securityId, 8).Text(o.securityIdSource, 4).I64(o.lastPx);
  m.I64(o.lastQty).U8(o.execType).I64(o.transactTime);
  return m.Finish();
}

Frame EncodeSecuritySwitch(int64_t origTime, uint16_t channelNo, std::string_view securityId,
                           const std::vector<SwitchEntry>& switches) {
  FrameEncoder m(kSecuritySwitch);
  m.I64(origTime).U16(channelNo).Text(securityId, 8).Text("102", 4).Text("", 8);
  m.U32(static_cast<uint32_t>(switches.size()));
  for (const SwitchEntry& s : switches) m.U16(s.type).U16(s.status);
  return m.Finish();
}

Frame EncodeStreamPhase(int64_t origTime, uint16_t channelNo,
                        const std::vector<StreamPhaseEntry>& entries) {
  FrameEncoder m(kStreamPhase);
  m.I64(origTime).U16(channelNo).U32(static_cast<uint32_t>(entries.size()));
  for (const StreamPhaseEntry& e : entries)
    m.Text(e.stream, 3).U32(e.stockNum).Text(e.tradingPhase, 8);
  return m.Finish();
}

Frame EncodeLogon(std::string_view sender, std::string_view target, int32_t heartBtInt,
                  std::string_view password, std::string_view defaultApplVerId) {
  FrameEncoder m(kLogon);
  m.Text(sender, 20).Text(target, 20).U32(static_cast<uint32_t>(heartBtInt)).Text(password, 16);
  m.Text(defaultApplVerId, 32);
  return m.Finish();
}

Frame EncodeHeartbeat() { return FrameEncoder(kHeartbeat).Finish(); }

Frame EncodeLogout(int32_t sessionStatus, std::string_view text) {
  FrameEncoder m(kLogout);
  m.U32(static_cast<uint32_t>(sessionStatus));
  // The Text field of a Logout is zero-filled, not blank-padded, when nothing is said.
  const size_t n = text.size() < 200 ? text.size() : 200;
  for (size_t i = 0; i < n; ++i) m.U8(static_cast<uint8_t>(text[i]));
  for (size_t i = n; i < 200; ++i) m.U8(0);
  return m.Finish();
}

}  // namespace fw::tools
