#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "feed/feed_format.h"
#include "feed/feed_message_reader.h"
#include "feed/feed_message_writer.h"
#include "foundation/run_log.h"

namespace fw::feed {

namespace {

// The byte sum of n bytes, copied to destination on the way when kCopy: one pass serves both the
// frame cutter (copy out of the ring and check) and the writer (the sum alone).
template <bool kCopy>
uint64_t SumBytes(uint8_t* destination, const uint8_t* source, size_t n) {
  uint64_t sum = 0;
  size_t i = 0;
#if defined(__SSE2__)
  // psadbw against zero adds sixteen bytes per instruction into two 64-bit lanes.
  const __m128i zero = _mm_setzero_si128();
  __m128i a = zero, b = zero;
  for (; i + 32 <= n; i += 32) {
    const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(source + i));
    const __m128i y = _mm_loadu_si128(reinterpret_cast<const __m128i*>(source + i + 16));
    if constexpr (kCopy) {
      _mm_storeu_si128(reinterpret_cast<__m128i*>(destination + i), x);
      _mm_storeu_si128(reinterpret_cast<__m128i*>(destination + i + 16), y);
    }
    a = _mm_add_epi64(a, _mm_sad_epu8(x, zero));
    b = _mm_add_epi64(b, _mm_sad_epu8(y, zero));
  }
  if (i + 16 <= n) {
    const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(source + i));
    if constexpr (kCopy) _mm_storeu_si128(reinterpret_cast<__m128i*>(destination + i), x);
    a = _mm_add_epi64(a, _mm_sad_epu8(x, zero));
    i += 16;
  }
  if (i + 8 <= n) {
    const __m128i x = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(source + i));
    if constexpr (kCopy) _mm_storel_epi64(reinterpret_cast<__m128i*>(destination + i), x);
    b = _mm_add_epi64(b, _mm_sad_epu8(x, zero));
    i += 8;
  }
  a = _mm_add_epi64(a, b);
  sum = static_cast<uint64_t>(_mm_cvtsi128_si64(a)) +
        static_cast<uint64_t>(_mm_cvtsi128_si64(_mm_unpackhi_epi64(a, a)));
#endif
  for (; i < n; ++i) {
    if constexpr (kCopy) destination[i] = source[i];
    sum += source[i];
  }
  return sum;
}

}  // namespace

uint8_t ByteSum(const uint8_t* bytes, size_t n) {
  return static_cast<uint8_t>(SumBytes<false>(nullptr, bytes, n));
}

uint64_t CopyAndSum(uint8_t* destination, const uint8_t* source, size_t n) {
  return SumBytes<true>(destination, source, n);
}

int32_t FeedMessageReader::Finish(uint32_t msgType, bool logIt) const {
  if (error_) {
    if (counters_ != nullptr) counters_->AddShortBody();
    if (logIt) WriteLog(0, "some error in [%d]", static_cast<int>(msgType));
    return -1;
  }
  if (position_ == length_) return 0;
  if (counters_ != nullptr) counters_->AddLongBody();
  if (logIt) WriteLog(0, "some len error in [%d]", static_cast<int>(msgType));
  return -2;
}

void FeedMessageWriter::PutBigEndian(uint64_t value, int32_t width) {
  if (!Room(width)) return;
  for (int32_t i = width - 1; i >= 0; --i) {
    buffer_[position_ + i] = static_cast<uint8_t>(value);
    value >>= 8;
  }
  position_ += width;
}

void FeedMessageWriter::PutHeader(uint32_t msgType) {
  PutUInt32(msgType);
  PutUInt32(static_cast<uint32_t>(length_ - static_cast<int32_t>(kFrameOverhead)));
}

void FeedMessageWriter::PutUInt8(uint8_t value) { PutBigEndian(value, 1); }
void FeedMessageWriter::PutUInt16(uint16_t value) { PutBigEndian(value, 2); }
void FeedMessageWriter::PutUInt32(uint32_t value) { PutBigEndian(value, 4); }
void FeedMessageWriter::PutInt64(int64_t value) { PutBigEndian(static_cast<uint64_t>(value), 8); }

void FeedMessageWriter::PutText(const char* text, int32_t width) {
  if (width < 0 || !Room(width)) return;
  const size_t textLength = text != nullptr ? std::strlen(text) : 0;
  uint8_t* field = buffer_ + position_;
  if (textLength < static_cast<size_t>(width)) {
    std::memset(field, ' ', static_cast<size_t>(width));
    if (textLength > 0) std::memcpy(field, text, textLength);
  } else {
    std::memcpy(field, text, static_cast<size_t>(width));
  }
  position_ += width;
}

void FeedMessageWriter::PutChecksum() {
  if (buffer_ == nullptr || length_ < static_cast<int32_t>(kChecksumBytes) ||
      position_ > length_ - static_cast<int32_t>(kChecksumBytes)) {
    return;
  }
  const size_t summed = static_cast<size_t>(length_) - kChecksumBytes;
  StoreBigEndian32(buffer_ + summed, ByteSum(buffer_, summed));
}

}  // namespace fw::feed
