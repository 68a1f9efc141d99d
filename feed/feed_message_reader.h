// FeedMessageReader: the bounds-checked reader of one message body. It knows the body's end and
// never reads past it: a read that finds too few bytes sets the error flag, returns 0 and leaves
// the position alone, and the flag stays set, so a handler reads its fields straight through and
// checks once, with Finish, at the end. One per decoded message, on the handler's stack.
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>

namespace fw::feed {

static_assert(std::endian::native == std::endian::little, "the reader swaps big-endian fields");

class FeedMessageReader {
 public:
  FeedMessageReader() = default;
  FeedMessageReader(const uint8_t* data, int32_t length) { Init(data, length); }

  void Init(const uint8_t* data, int32_t length) {
    data_ = data;
    length_ = length < 0 ? 0 : length;
    position_ = 0;
    error_ = false;
  }

  // The next 1-, 2- or 4-byte big-endian value, zero-extended to 32 bits.
  uint32_t GetInt(int width) {
    if (!Has(width)) return 0;
    const uint8_t* p = data_ + position_;
    uint32_t v;
    if (width == 4) {
      std::memcpy(&v, p, 4);
      v = __builtin_bswap32(v);  // the wire is big-endian, every target little-endian
    } else {
      v = 0;
      for (int i = 0; i < width; ++i) v = (v << 8) | p[i];
    }
    position_ += width;
    return v;
  }

  int64_t GetInt64() {
    if (!Has(8)) return 0;
    uint64_t v;
    std::memcpy(&v, data_ + position_, 8);
    position_ += 8;
    return static_cast<int64_t>(__builtin_bswap64(v));
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
  // go to the run log at level 0 when logIt is set.
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

  const uint8_t* data_ = nullptr;
  int32_t length_ = 0;
  int32_t position_ = 0;
  bool error_ = false;
};

}  // namespace fw::feed
