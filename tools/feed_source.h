// What the gateway simulator plays to a client, one frame (or run of raw bytes) at a time:
//   SyntheticDayFeed  a trading day made from a SampleDay model: the opening stream phases and the
//                     security switches, rounds of cash auction snapshots with full books for every
//                     security (prices moving from the previous close to the day's close within the
//                     limits), index and statistics snapshots, negotiated orders and their
//                     outcomes, the close of the auction streams, the after-hours snapshots "060"
//                     and "061", and the close of the remaining streams. Timestamps only move
//                     forward, from 09:15 to 15:30 of the model's date.
//   CaptureReplayFeed the bytes of a capture file, cut at frame boundaries where the bytes allow.
// Each session of the simulator gets its own source. One thread per source; the SampleDay is shared
// read-only.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "tools/market_data_encoder.h"
#include "tools/sample_day.h"

namespace fw::tools {

class FeedSource {
 public:
  virtual ~FeedSource() = default;
  // The next frame (or run of bytes that is not a frame) into *out; false when the source is done.
  virtual bool Next(Frame* out) = 0;
};

// How many messages of each kind a whole synthetic day holds.
struct SyntheticDayCounts {
  uint64_t cashAuction = 0;        // 300111
  uint64_t index = 0;              // 309011
  uint64_t stat = 0;               // 309111
  uint64_t afterHours = 0;         // 300611
  uint64_t negotiatedOrder = 0;    // 300592
  uint64_t negotiatedOutcome = 0;  // 300591
  uint64_t switches = 0;           // 390013
  uint64_t streamPhase = 0;        // 390090
  uint64_t Total() const {
    return cashAuction + index + stat + afterHours + negotiatedOrder + negotiatedOutcome +
           switches + streamPhase;
  }
};

class SyntheticDayFeed final : public FeedSource {
 public:
  // rounds: how many snapshots of every security, index and statistic the day holds (at least 1);
  // the last round carries the day's closing figures of the model.
  SyntheticDayFeed(std::shared_ptr<const SampleDay> day, uint32_t rounds);
  bool Next(Frame* out) override;

  // The counts of the whole day, without playing it.
  SyntheticDayCounts Counts() const;

  // Negotiated orders placed per round (their outcomes follow one round later).
  static constexpr uint32_t kOrdersPerRound = 3;

 private:
  enum class Stage {
    kOpen,
    kSwitches,
    kRounds,
    kAuctionClose,
    kAfterHoursOpen,
    kAfterHours,
    kFinalClose,
    kDone
  };
  struct Quote {
    int64_t open = 0;  // thousandths (securities) or ten-thousandths of a point (indexes)
    int64_t high = 0;
    int64_t low = 0;
  };

  Frame SecuritySnapshot(size_t position);
  Frame IndexSnapshot(size_t position);
  Frame StatSnapshot(size_t position);
  Frame AfterHoursSnapshot(size_t position, bool secondStream);
  Frame NegotiatedOrderAt(uint32_t slot);
  Frame NegotiatedOutcomeAt(uint32_t slot);
  // OrigTime of the current item of the current round: the rounds share the trading hours
  // evenly, and the items of a round share its time evenly.
  int64_t RoundTime() const;
  size_t RoundItems() const;
  uint64_t Noise(uint64_t a, uint64_t b) const;
  uint32_t OrdersInRound(uint32_t round) const;

  std::shared_ptr<const SampleDay> day_;
  uint32_t rounds_;
  std::vector<size_t> tradable_;    // securities with cash auction parameters
  std::vector<size_t> negotiable_;  // with negotiation parameters
  std::vector<size_t> afterHours_;  // with after-hours parameters
  std::vector<size_t> switched_;    // with switches
  std::vector<Quote> securityQuotes_;
  std::vector<Quote> indexQuotes_;

  Stage stage_ = Stage::kOpen;
  uint32_t round_ = 1;
  size_t item_ = 0;
};

class CaptureReplayFeed final : public FeedSource {
 public:
  explicit CaptureReplayFeed(std::shared_ptr<const std::string> bytes);
  bool Next(Frame* out) override;

 private:
  std::shared_ptr<const std::string> bytes_;
  size_t position_ = 0;
};

}  // namespace fw::tools
