// Wire constants of the gateway's binary protocol. Every message is one frame:
//   MsgType uint32 | BodyLength uint32 | body | Checksum uint32
// all big-endian, the checksum being the sum of every header and body byte modulo 256.
#pragma once

#include <cstddef>
#include <cstdint>

namespace fw::feed {

constexpr uint32_t kHeaderBytes = 8;       // MsgType + BodyLength
constexpr uint32_t kChecksumBytes = 4;     // trailing uint32
constexpr uint32_t kFrameOverhead = 12;    // header + checksum
constexpr uint32_t kMaxMsgType = 500000;   // larger values mean the stream is out of step
constexpr uint32_t kMaxBodyLength = 8180;  // so that a whole frame is at most 8192 bytes
constexpr uint32_t kMaxFrameBytes = kMaxBodyLength + kFrameOverhead;

constexpr uint32_t kRingBytes = 819200;         // the decoder's byte ring
constexpr uint32_t kReceiveBlockBytes = 81920;  // largest block handed to Process
constexpr uint32_t kFrameBufferBytes = 81920;   // room for any frame

// Message types.
constexpr uint32_t kMsgLogon = 1;
constexpr uint32_t kMsgLogout = 2;
constexpr uint32_t kMsgHeartbeat = 3;
constexpr uint32_t kMsgCashAuctionSnapshot = 300111;
constexpr uint32_t kMsgIgnored300191 = 300191;
constexpr uint32_t kMsgIgnored300192 = 300192;
constexpr uint32_t kMsgNegotiatedOutcome = 300591;
constexpr uint32_t kMsgNegotiatedOrder = 300592;
constexpr uint32_t kMsgAfterHoursSnapshot = 300611;
constexpr uint32_t kMsgIndexSnapshot = 309011;
constexpr uint32_t kMsgVolumeStatSnapshot = 309111;
constexpr uint32_t kMsgSecuritySwitch = 390013;
constexpr uint32_t kMsgStreamPhase = 390090;

// Whether a header can start a frame: larger values mean the stream is out of step. Tested on
// BodyLength itself, so that no value can wrap the frame length around.
constexpr bool PlausibleHeader(uint32_t msgType, uint32_t bodyLength) {
  return msgType <= kMaxMsgType && bodyLength <= kMaxBodyLength;
}

// Sum of the bytes modulo 256, the checksum of both directions.
uint8_t ByteSum(const uint8_t* bytes, size_t n);
// Copies n bytes and returns their byte sum, in one pass over the source.
uint64_t CopyAndSum(uint8_t* destination, const uint8_t* source, size_t n);

// Big-endian words of the wire at p (the caller has checked that the bytes are there).
inline uint16_t LoadBigEndian16(const uint8_t* p) {
  return static_cast<uint16_t>((p[0] << 8) | p[1]);
}

inline uint32_t LoadBigEndian32(const uint8_t* p) {
  return (static_cast<uint32_t>(p[0]) << 24) | (static_cast<uint32_t>(p[1]) << 16) |
         (static_cast<uint32_t>(p[2]) << 8) | static_cast<uint32_t>(p[3]);
}

inline int64_t LoadBigEndian64(const uint8_t* p) {
  return static_cast<int64_t>((static_cast<uint64_t>(LoadBigEndian32(p)) << 32) |
                              LoadBigEndian32(p + 4));
}

inline void StoreBigEndian32(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v >> 24);
  p[1] = static_cast<uint8_t>(v >> 16);
  p[2] = static_cast<uint8_t>(v >> 8);
  p[3] = static_cast<uint8_t>(v);
}

}  // namespace fw::feed
