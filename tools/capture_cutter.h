// Cutting a raw capture file (binaryData_<YYYYMMDD>.dat) into the frames the live program decoded.
//
// A capture is every byte the gateway sent, connection after connection, with nothing between
// them. The live client drops the unfinished frame of a connection when the next one starts, and
// every connection starts with the gateway's Logon answer (MsgType 1, 104 bytes). The live cutter,
// fed the capture's bytes in one stream, would read such an unfinished frame as the head of a
// longer one, fail its checksum and take the Logon and the first frames of the next connection
// down with it. So, and only here, cutting a capture differs from the live cutter: when a frame
// fails its checksum, or the capture ends inside a frame, the cutter looks inside that frame's
// bytes for the start of a whole Logon frame with a valid checksum and resumes there. Everywhere
// else it is feed::CutFrame, the live cutter's rules over bytes that lie in one piece.
//
// Plain functions over the caller's bytes; any thread.
#pragma once

#include <cstddef>
#include <cstdint>

#include "feed/feed_counters.h"

namespace fw::tools {

// How many bytes past the current position the cutter must see to judge the next frame the way it
// would with the whole capture in view (the largest frame, then a Logon starting inside it).
constexpr size_t kCaptureLookahead = 8192 + 104;

struct CaptureStep {
  enum Kind {
    kNeedMore,  // too few bytes to judge; at the end of the capture, an unfinished frame
    kFrame,     // a good frame at bytes + consumed - length
    kDropped,   // a frame whose checksum failed, or the unfinished frame before a new connection
  };
  Kind kind = kNeedMore;
  size_t consumed = 0;     // bytes to drop from the front (garbage slid over, then the frame)
  uint32_t length = 0;     // kFrame: the frame's length
  bool reconnect = false;  // kDropped: resumed at the Logon of a new connection
};

// One step over the `available` bytes at `bytes`; `final` when no more bytes follow. Unless
// `final`, the caller gives at least kCaptureLookahead bytes (or all that remain). Garbage and bad
// checksums are counted into `counters` once, when their bytes are consumed.
CaptureStep NextCaptureStep(const uint8_t* bytes, size_t available, bool final,
                            feed::FeedCounters* counters);

}  // namespace fw::tools
