// FeedMessageReader: the bounds-checked reader of one message body. It knows the body's end and
// never reads past it: a read that finds too few bytes sets the error flag, returns 0 and leaves
// the position alone, and the flag stays set, so a handler reads its fields straight through and
// checks once, with Finish, at the end. One per decoded message, on the handler's stack.
#pragma once

#include <cstdint>
#include <cstring>

#include "feed/feed_counters.h"
#include "feed/feed_format.h"

namespace fw::feed {

class FeedMessageReader {
 public:
  FeedMessageReader() = default;
  FeedMessageReader(const uint8_t* data, int32_t length) { Init(data, length); }
  // Finish also counts a rejected body into `counters` (may be null).
  FeedMessageReader(const uint8_t* data, int32_t length, FeedCounters* counters)
      : counters_(counters) {
    Init(data, length);
  }

  void Init(const uint8_t* data, int32_t length) {
    data_ = data;
    length_ = length < 0 ? 0 : length;
    position_ = 0;
    error_ = false;
  }

  // The next 1-, 2- or 4-byte big-endian value, zero-extended to 32 bits.
  uint32_t GetInt(int width) {
    const uint8_t* p = GetBlock(width);
    if (p == nullptr) return 0;
    if (width == 4) return LoadBigEndian32(p);
    uint32_t v = 0;
    for (int i = 0; i < width; ++i) v = (v << 8) | p[i];
    return v;
  }

  int64_t GetInt64() {
    const uint8_t* p = GetBlock(8);
    return p != nullptr ? LoadBigEndian64(p) : 0;
  }

  // The next n bytes, checked once and stepped over, for a group of fixed-width fields that the
  // caller then reads in place with the LoadBigEndian functions; nullptr when fewer remain.
  const uint8_t* GetBlock(int32_t n) {
    if (!Has(n)) return nullptr;
    const uint8_t* p = data_ + position_;
    position_ += n;
    return p;
  }

  // Copies the next n bytes (no terminator added); false and nothing copied when too few remain.
  bool GetBytes(void* destination, int32_t n) {
    if (!Has(n)) return false;
    std::memcpy(destination, data_ + position_, static_cast<size_t>(n));
    position_ += n;
    return true;
  }

  // Steps over n bytes of a field the handler does not use, with the same checks as a read.
  bool Skip(int32_t n) {
    if (!Has(n)) return false;
    position_ += n;
    return true;
  }

  // The end-of-body check: -1 (and "some error in [%d]") after a short read, -2 (and
  // "some len error in [%d]") when bytes are left over, 0 when the body was read exactly. The lines
  // go to the run log at level 0 when logIt is set, and the rejection to the counters, if any.
  int32_t Finish(uint32_t msgType, bool logIt) const;

  bool Failed() const { return error_; }
  int32_t Position() const { return position_; }
  int32_t Length() const { return length_; }
  int32_t Remaining() const { return length_ - position_; }

 private:
  bool Has(int32_t n) {
    if (error_ || n < 0 || length_ - position_ < n) {
      error_ = true;
      return false;
    }
    return true;
  }

  FeedCounters* counters_ = nullptr;
  const uint8_t* data_ = nullptr;
  int32_t length_ = 0;
  int32_t position_ = 0;
  bool error_ = false;
};

}  // namespace fw::feed
