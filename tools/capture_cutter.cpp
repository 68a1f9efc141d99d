#include "tools/capture_cutter.h"

#include <cstring>

#include "client/static_client.h"
#include "feed/feed_format.h"
#include "feed/market_data_decoder.h"

namespace fw::tools {
namespace {

constexpr size_t kLogonBytes = static_cast<size_t>(client::kLogonBytes);
static_assert(kCaptureLookahead == feed::kMaxFrameBytes + kLogonBytes);

// The first offset in [from, to) where a whole Logon frame with a valid checksum starts within the
// `available` bytes, or 0 when there is none (`from` is at least 1).
size_t FindLogon(const uint8_t* bytes, size_t from, size_t to, size_t available) {
  // MsgType 1 and BodyLength 92, big-endian.
  static constexpr uint8_t kHeader[feed::kHeaderBytes] = {0, 0, 0, 1, 0, 0, 0, 92};
  const size_t summed = kLogonBytes - feed::kChecksumBytes;
  for (size_t at = from; at < to && at + kLogonBytes <= available; ++at) {
    if (bytes[at + 3] != 1 || std::memcmp(bytes + at, kHeader, sizeof kHeader) != 0) continue;
    if (feed::ByteSum(bytes + at, summed) == feed::LoadBigEndian32(bytes + at + summed)) {
      return at;
    }
  }
  return 0;
}

}  // namespace

CaptureStep NextCaptureStep(const uint8_t* bytes, size_t available, bool final,
                            feed::FeedCounters* counters) {
  // Judged without counting: a step that stops to wait for more bytes judges the same frame again.
  const feed::FrameCut cut = feed::CutFrame(bytes, available, nullptr);
  CaptureStep step;
  if (cut.skipped > 0) {
    // The garbage first, on its own: the frame behind it is judged with the whole lookahead.
    if (counters != nullptr) counters->AddGarbageBytes(cut.skipped);
    step.kind = CaptureStep::kDropped;
    step.consumed = cut.skipped;
    return step;
  }
  if (cut.kind == feed::FrameCut::kGood) {
    step.kind = CaptureStep::kFrame;
    step.consumed = cut.length;
    step.length = cut.length;
    return step;
  }
  if (cut.kind == feed::FrameCut::kBadChecksum) {
    if (counters != nullptr) counters->AddBadChecksum();
    const size_t logon = FindLogon(bytes, 1, cut.length, available);
    step.kind = CaptureStep::kDropped;
    step.consumed = logon != 0 ? logon : cut.length;
    step.reconnect = logon != 0;
    return step;
  }
  if (final && available > 0) {
    // The capture ends inside a frame: after it, a connection may still have started again.
    if (const size_t logon = FindLogon(bytes, 1, available, available); logon != 0) {
      step.kind = CaptureStep::kDropped;
      step.consumed = logon;
      step.reconnect = true;
    }
  }
  return step;
}

}  // namespace fw::tools
