// Layer feed/, above market/ (beside dbf/, which it never includes): frames, the message reader and
// writer, the decoder and the handlers that update the market state.
//
// MarketDataHandlers: the dispatcher behind MarketDataDecoder. It decodes the body of every market
// data message the system understands into a private copy of one record, checks that the body was
// read exactly (Finish, which logs "some error in [%d]" or "some len error in [%d]"), and only then
// hands the copy to the market state, which takes its lock for the copy-in alone. Messages of
// other types (session replies, 300191, 300192, anything unknown) are passed over.
//
// Thread: the receive thread only, one message at a time in arrival order. No state of its own
// between messages; nothing is allocated per message (the market state creates a security switch
// entry the first time a code appears in a switch message). Lives as long as the decoder that
// calls it; the market state must outlive it.
#pragma once

#include <cstdint>

#include "feed/market_data_decoder.h"
#include "market/market_state.h"

namespace fw::feed {

// The OrigTime with which a message of this type may move the market time (the first field of its
// body, YYYYMMDDHHMMSSsss), or -1 for a type whose handler never moves it and for a body too short
// to hold one. Whether the message does move it is the handler's and the market state's call.
int64_t MarketTimeStamp(uint32_t msgType, const uint8_t* body, uint32_t bodyLength);

class MarketDataHandlers final : public FrameDispatcher {
 public:
  // Rejected bodies are counted into `counters` when it is given (the decoder's, normally).
  explicit MarketDataHandlers(market::MarketState& state, FeedCounters* counters = nullptr)
      : state_(state), counters_(counters) {}
  void SetCounters(FeedCounters* counters) { counters_ = counters; }
  MarketDataHandlers(const MarketDataHandlers&) = delete;
  MarketDataHandlers& operator=(const MarketDataHandlers&) = delete;

  // One checked frame: msgType from the header, the body and its length.
  void Dispatch(uint32_t msgType, const uint8_t* body, uint32_t bodyLength) override;

 private:
  void OnCashAuctionSnapshot(const uint8_t* body, int32_t length);
  void OnIndexSnapshot(market::IndexTable table, const uint8_t* body, int32_t length);
  void OnVolumeStatSnapshot(const uint8_t* body, int32_t length);
  void OnAfterHoursSnapshot(const uint8_t* body, int32_t length);
  void OnNegotiatedOrder(const uint8_t* body, int32_t length);
  void OnNegotiatedOutcome(const uint8_t* body, int32_t length);
  void OnSecuritySwitch(const uint8_t* body, int32_t length);
  void OnStreamPhase(const uint8_t* body, int32_t length);

  market::MarketState& state_;
  FeedCounters* counters_;
};

}  // namespace fw::feed
