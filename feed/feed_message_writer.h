// FeedMessageWriter: builds one outgoing (or, in tests and the simulator, incoming) message into a
// caller-owned, zero-filled buffer. Order of use: Init with the full length, PutHeader, the body
// fields in order, PutChecksum. A field that does not fit in the bytes left writes nothing.
#pragma once

#include <cstdint>

namespace fw::feed {

class FeedMessageWriter {
 public:
  FeedMessageWriter() = default;
  FeedMessageWriter(uint8_t* buffer, int32_t length) { Init(buffer, length); }

  void Init(uint8_t* buffer, int32_t length) {
    buffer_ = buffer;
    length_ = length;
    position_ = 0;
  }

  // MsgType, then BodyLength = length - 12.
  void PutHeader(uint32_t msgType);
  void PutUInt8(uint8_t value);
  void PutUInt16(uint16_t value);
  void PutUInt32(uint32_t value);
  void PutInt64(int64_t value);
  // Fixed-width text: shorter texts are padded with spaces, longer ones cut to the width.
  void PutText(const char* text, int32_t width);
  // The byte sum of bytes 0 … length - 5, big-endian into the last 4 bytes.
  void PutChecksum();

  int32_t Position() const { return position_; }
  int32_t Length() const { return length_; }

 private:
  bool Room(int32_t n) const { return buffer_ != nullptr && length_ - position_ >= n; }
  void PutBigEndian(uint64_t value, int32_t width);

  uint8_t* buffer_ = nullptr;
  int32_t length_ = 0;
  int32_t position_ = 0;
};

}  // namespace fw::feed
