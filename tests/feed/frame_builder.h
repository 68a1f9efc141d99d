// Builders of wire frames for the feed tests.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "feed/feed_format.h"
#include "feed/feed_message_writer.h"

namespace fw::feed::test {

using Bytes = std::vector<uint8_t>;

// A complete frame with a correct checksum.
inline Bytes Frame(uint32_t msgType, const Bytes& body) {
  Bytes frame(body.size() + kFrameOverhead, 0);
  FeedMessageWriter writer(frame.data(), static_cast<int32_t>(frame.size()));
  writer.PutHeader(msgType);
  std::copy(body.begin(), body.end(), frame.begin() + kHeaderBytes);
  writer.PutChecksum();
  return frame;
}

// A frame whose header announces bodyLength but carries `carried` body bytes, with no checksum
// fixed up.
inline Bytes RawHeader(uint32_t msgType, uint32_t bodyLength) {
  Bytes bytes(8);
  StoreBigEndian32(bytes.data(), msgType);
  StoreBigEndian32(bytes.data() + 4, bodyLength);
  return bytes;
}

inline void FixChecksum(Bytes& frame) {
  const size_t summed = frame.size() - kChecksumBytes;
  StoreBigEndian32(frame.data() + summed, ByteSum(frame.data(), summed));
}

inline Bytes Concat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& part : parts) out.insert(out.end(), part.begin(), part.end());
  return out;
}

inline Bytes Body(size_t n, uint8_t seed) {
  Bytes body(n);
  for (size_t i = 0; i < n; ++i) body[i] = static_cast<uint8_t>(seed + i * 7);
  return body;
}

}  // namespace fw::feed::test
