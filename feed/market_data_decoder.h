// MarketDataDecoder: takes each block of received bytes, keeps it in the byte ring, cuts checked
// frames out of the ring and hands each body to the dispatcher.
//
// Lives for the whole program; its ring exists only while the service runs (allocated by the
// start-up sequence, released by the shut-down sequence). Process runs on the receive thread only,
// so nothing here takes a lock, and nothing is allocated per block or per frame.
#pragma once

#include <cstdint>
#include <memory>

#include "feed/feed_counters.h"
#include "feed/feed_format.h"
#include "foundation/loop_buffer.h"

namespace fw::feed {

// Receiver of checked frames; the market data handlers implement it.
class FrameDispatcher {
 public:
  virtual ~FrameDispatcher() = default;
  virtual void Dispatch(uint32_t msgType, const uint8_t* body, uint32_t bodyLength) = 0;
};

// The frame cutter: the length of the next valid frame copied to destination, 0 when no complete
// frame is buffered yet, -1 when the frame does not fit into capacity (nothing consumed).
// Implausible headers are skipped one byte at a time; frames with a wrong checksum are consumed
// and dropped. Both are counted into `counters` when it is given.
int32_t ReadFrame(MLoopBufferMt& ring, uint8_t* destination, uint32_t capacity,
                  FeedCounters* counters = nullptr);

// The same cutter over bytes that lie in one piece, for a caller that holds the stream in its own
// memory (the replay of a capture file): the same limits, slide and checksum as ReadFrame, without
// the ring and without a copy of the frame. First `skipped` bytes of implausible headers (counted
// as garbage), then one of: too few bytes to judge the next frame (kNeedMore), a good frame of
// `length` bytes, or a frame of `length` bytes whose checksum failed (counted).
struct FrameCut {
  enum Kind { kNeedMore, kGood, kBadChecksum };
  Kind kind = kNeedMore;
  uint32_t skipped = 0;
  uint32_t length = 0;
};
FrameCut CutFrame(const uint8_t* bytes, size_t available, FeedCounters* counters = nullptr);

class MarketDataDecoder {
 public:
  explicit MarketDataDecoder(FrameDispatcher* dispatcher = nullptr);
  MarketDataDecoder(const MarketDataDecoder&) = delete;
  MarketDataDecoder& operator=(const MarketDataDecoder&) = delete;

  void SetDispatcher(FrameDispatcher* dispatcher) { dispatcher_ = dispatcher; }

  // The ring's lifetime (start-up and shut-down sequences).
  int32_t AllocateRing(uint32_t bytes = kRingBytes) { return ring_.Allocate(bytes); }
  void ReleaseRing() { ring_.Release(); }
  MLoopBufferMt& Ring() { return ring_; }

  // Appends the block to the ring, then dispatches every complete frame in order. Returns the
  // cutter's last result: 0 once every complete frame is dispatched (the cutter waits for more
  // bytes), also when the block ended on a frame boundary; negative when it had to stop, which
  // only a frame larger than the frame buffer would make it do, and the frame limits rule out.
  // Without a ring the block is dropped.
  int32_t Process(const uint8_t* data, uint32_t length);

  // Drops the bytes of a frame whose connection ended before its last byte. A new connection
  // starts on a frame boundary: stale bytes left in front of it would be read as the start of its
  // first frame and take good frames down with them. Receive thread only.
  void DiscardPartialFrame() { ring_.Clear(); }

  // What this decoder and the handlers that count into it have taken in and dropped.
  FeedCounters& Counters() { return counters_; }
  const FeedCounters& Counters() const { return counters_; }

 private:
  int32_t DrainFrames();

  FrameDispatcher* dispatcher_;
  FeedCounters counters_;
  MLoopBufferMt ring_;
  std::unique_ptr<uint8_t[]> frame_;  // kFrameBufferBytes, any frame fits
};

}  // namespace fw::feed
