// FeedCounters: what the receive path took in and what it dropped, counted where it happens: bytes
// handed to the decoder, frames dispatched by message type, bytes skipped while the cutter looked
// for a plausible header, frames dropped for their checksum, bodies a handler rejected as too short
// or too long. The health status and the replay's summary report them.
//
// Thread: one writer (the receive thread, or the replay), any number of readers. Each figure is a
// relaxed atomic that the writer moves with a plain load and store: no locked instruction on the
// receive path, and a reader on another thread sees every figure whole, if a moment late.
// Lifetime: as long as the decoder and handlers that count into it.
#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>

#include "feed/feed_format.h"

namespace fw::feed {

class FeedCounters {
 public:
  // The message types counted one by one; every other type is counted as "other".
  static constexpr std::array<uint32_t, 13> kTypes = {kMsgLogon,
                                                      kMsgLogout,
                                                      kMsgHeartbeat,
                                                      kMsgCashAuctionSnapshot,
                                                      kMsgIgnored300191,
                                                      kMsgIgnored300192,
                                                      kMsgNegotiatedOutcome,
                                                      kMsgNegotiatedOrder,
                                                      kMsgAfterHoursSnapshot,
                                                      kMsgIndexSnapshot,
                                                      kMsgVolumeStatSnapshot,
                                                      kMsgSecuritySwitch,
                                                      kMsgStreamPhase};
  static constexpr size_t kOther = kTypes.size();  // the slot of every other type

  // ---- the writer ----
  void AddBytes(uint64_t n) { Add(bytes_, n); }
  void AddFrame(uint32_t msgType) { Add(frames_[SlotOf(msgType)], 1); }
  void AddGarbageBytes(uint64_t n) { Add(garbageBytes_, n); }
  void AddBadChecksum() { Add(badChecksum_, 1); }
  void AddShortBody() { Add(shortBody_, 1); }
  void AddLongBody() { Add(longBody_, 1); }

  // ---- any reader ----
  uint64_t Bytes() const { return Get(bytes_); }
  // Frames with a good checksum handed to the handlers, of one slot (kTypes index or kOther).
  uint64_t FramesInSlot(size_t slot) const { return Get(frames_[slot]); }
  uint64_t Frames() const;
  uint64_t GarbageBytes() const { return Get(garbageBytes_); }
  uint64_t BadChecksums() const { return Get(badChecksum_); }
  uint64_t ShortBodies() const { return Get(shortBody_); }
  uint64_t LongBodies() const { return Get(longBody_); }
  // Frames whose body the handlers accepted: every frame but the rejected bodies.
  uint64_t FramesApplied() const { return Frames() - ShortBodies() - LongBodies(); }

  static constexpr size_t SlotOf(uint32_t msgType) {
    switch (msgType) {
      case kMsgLogon:
        return 0;
      case kMsgLogout:
        return 1;
      case kMsgHeartbeat:
        return 2;
      case kMsgCashAuctionSnapshot:
        return 3;
      case kMsgIgnored300191:
        return 4;
      case kMsgIgnored300192:
        return 5;
      case kMsgNegotiatedOutcome:
        return 6;
      case kMsgNegotiatedOrder:
        return 7;
      case kMsgAfterHoursSnapshot:
        return 8;
      case kMsgIndexSnapshot:
        return 9;
      case kMsgVolumeStatSnapshot:
        return 10;
      case kMsgSecuritySwitch:
        return 11;
      case kMsgStreamPhase:
        return 12;
      default:
        return kOther;
    }
  }

 private:
  using Figure = std::atomic<uint64_t>;
  static void Add(Figure& figure, uint64_t n) {
    figure.store(figure.load(std::memory_order_relaxed) + n, std::memory_order_relaxed);
  }
  static uint64_t Get(const Figure& figure) { return figure.load(std::memory_order_relaxed); }

  Figure bytes_{0};
  std::array<Figure, kTypes.size() + 1> frames_{};
  Figure garbageBytes_{0};
  Figure badChecksum_{0};
  Figure shortBody_{0};
  Figure longBody_{0};
};

static_assert(FeedCounters::SlotOf(kMsgStreamPhase) == 12 &&
              FeedCounters::kTypes[12] == kMsgStreamPhase);
static_assert(FeedCounters::SlotOf(kMsgCashAuctionSnapshot) == 3 &&
              FeedCounters::kTypes[3] == kMsgCashAuctionSnapshot);

inline uint64_t FeedCounters::Frames() const {
  uint64_t total = 0;
  for (const Figure& figure : frames_) total += Get(figure);
  return total;
}

}  // namespace fw::feed
