#include "feed/market_data_decoder.h"

namespace fw::feed {

namespace {

// Big-endian uint32 at `offset` of the ring's view, across the wrap.
uint32_t ViewWord(const MLoopBufferMt::Span& span, uint32_t offset) {
  if (offset + 4 <= span.firstLength) return LoadBigEndian32(span.first + offset);
  uint8_t word[4];
  for (uint32_t i = 0; i < 4; ++i) {
    const uint32_t at = offset + i;
    word[i] = at < span.firstLength ? span.first[at] : span.second[at - span.firstLength];
  }
  return LoadBigEndian32(word);
}

}  // namespace

int32_t ReadFrame(MLoopBufferMt& ring, uint8_t* destination, uint32_t capacity,
                  FeedCounters* counters) {
  for (;;) {
    const uint32_t available = ring.DataLength();
    if (available < kFrameOverhead) return 0;
    const MLoopBufferMt::Span view = ring.View(available);
    const uint32_t msgType = ViewWord(view, 0);
    const uint32_t bodyLength = ViewWord(view, 4);
    if (!PlausibleHeader(msgType, bodyLength)) {
      ring.Skip(1);
      if (counters != nullptr) counters->AddGarbageBytes(1);
      continue;
    }
    const uint32_t total = bodyLength + kFrameOverhead;
    if (total > available) return 0;
    if (total > capacity) return -1;
    // The frame is copied out of the ring (across its wrap) and summed in the same pass.
    const uint32_t summed = total - kChecksumBytes;
    const uint32_t firstPart = view.firstLength < summed ? view.firstLength : summed;
    uint64_t sum = CopyAndSum(destination, view.first, firstPart);
    sum += CopyAndSum(destination + firstPart, view.second, summed - firstPart);
    const uint32_t checksum = ViewWord(view, summed);
    StoreBigEndian32(destination + summed, checksum);
    ring.Skip(total);
    if (static_cast<uint8_t>(sum) == checksum) return static_cast<int32_t>(total);
    if (counters != nullptr) counters->AddBadChecksum();
  }
}

FrameCut CutFrame(const uint8_t* bytes, size_t available, FeedCounters* counters) {
  FrameCut cut;
  size_t at = 0;
  while (available - at >= kFrameOverhead &&
         !PlausibleHeader(LoadBigEndian32(bytes + at), LoadBigEndian32(bytes + at + 4))) {
    ++at;
  }
  cut.skipped = static_cast<uint32_t>(at);
  if (counters != nullptr && at > 0) counters->AddGarbageBytes(at);
  if (available - at < kFrameOverhead) return cut;
  const uint8_t* frame = bytes + at;
  const uint32_t total = LoadBigEndian32(frame + 4) + kFrameOverhead;
  if (total > available - at) return cut;
  cut.length = total;
  const uint32_t summed = total - kChecksumBytes;
  if (ByteSum(frame, summed) == LoadBigEndian32(frame + summed)) {
    cut.kind = FrameCut::kGood;
  } else {
    cut.kind = FrameCut::kBadChecksum;
    if (counters != nullptr) counters->AddBadChecksum();
  }
  return cut;
}

MarketDataDecoder::MarketDataDecoder(FrameDispatcher* dispatcher)
    : dispatcher_(dispatcher), frame_(new uint8_t[kFrameBufferBytes]) {}

int32_t MarketDataDecoder::Process(const uint8_t* data, uint32_t length) {
  // A block larger than the ring's free room is appended in pieces, draining the complete frames
  // between them, so that no received byte is dropped.
  if (data != nullptr) counters_.AddBytes(length);
  int32_t result = 0;
  uint32_t offset = 0;
  do {
    const uint32_t room = ring_.FreeLength();
    const uint32_t piece = length - offset < room ? length - offset : room;
    if (piece > 0 && data != nullptr) {
      ring_.Write(data + offset, piece);
      offset += piece;
    }
    result = DrainFrames();
    if (piece == 0) break;  // no ring, or no room even after draining
  } while (offset < length);
  return result;
}

int32_t MarketDataDecoder::DrainFrames() {
  for (;;) {
    const int32_t n = ReadFrame(ring_, frame_.get(), kFrameBufferBytes, &counters_);
    if (n <= 0) return n;
    const uint32_t msgType = LoadBigEndian32(frame_.get());
    counters_.AddFrame(msgType);
    if (dispatcher_ != nullptr) {
      dispatcher_->Dispatch(msgType, frame_.get() + kHeaderBytes,
                            LoadBigEndian32(frame_.get() + 4));
    }
  }
}

}  // namespace fw::feed
