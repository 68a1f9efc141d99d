#include "foundation/loop_buffer.h"

#include <cstring>
#include <new>

#include "foundation/error_code.h"

namespace fw {

MLoopBufferMt::MLoopBufferMt() = default;

MLoopBufferMt::MLoopBufferMt(uint32_t size) { Allocate(size); }

MLoopBufferMt::~MLoopBufferMt() {
  MLocalSection guard(lock_);
  Release();
}

int32_t MLoopBufferMt::Allocate(uint32_t size) {
  if (size == 0) return kErrBadArgument;
  Release();
  storage_ = new (std::nothrow) uint8_t[size];
  if (storage_ == nullptr) return kErrNoMemory;
  capacity_ = size;
  read_ = write_ = 0;
  return 1;
}

void MLoopBufferMt::Release() {
  delete[] storage_;
  storage_ = nullptr;
  capacity_ = read_ = write_ = 0;
}

int32_t MLoopBufferMt::Write(const void* bytes, uint32_t count) {
  if (bytes == nullptr) return kErrBadArgument;
  if (count == 0) return 0;
  if (storage_ == nullptr) return kErrNotInitialized;
  if (count > FreeLength()) return kLoopBufferFull;
  const uint8_t* source = static_cast<const uint8_t*>(bytes);
  const uint32_t first = capacity_ - write_ < count ? capacity_ - write_ : count;
  std::memcpy(storage_ + write_, source, first);
  if (first < count) std::memcpy(storage_, source + first, count - first);
  write_ = Advance(write_, count);
  return static_cast<int32_t>(count);
}

void MLoopBufferMt::CopyOut(uint8_t* destination, uint32_t count) const {
  const uint32_t first = capacity_ - read_ < count ? capacity_ - read_ : count;
  std::memcpy(destination, storage_ + read_, first);
  if (first < count) std::memcpy(destination + first, storage_, count - first);
}

int32_t MLoopBufferMt::Peek(void* destination, uint32_t count) const {
  if (destination == nullptr) return kErrBadArgument;
  if (storage_ == nullptr) return kErrNotInitialized;
  const uint32_t buffered = DataLength();
  if (buffered == 0) return kLoopBufferEmpty;
  const uint32_t n = count < buffered ? count : buffered;
  CopyOut(static_cast<uint8_t*>(destination), n);
  return static_cast<int32_t>(n);
}

int32_t MLoopBufferMt::Consume(void* destination, uint32_t count) {
  const int32_t n = Peek(destination, count);
  if (n > 0) read_ = Advance(read_, static_cast<uint32_t>(n));
  return n;
}

int32_t MLoopBufferMt::Skip(uint32_t count) {
  if (storage_ == nullptr) return kErrNotInitialized;
  const uint32_t buffered = DataLength();
  if (buffered == 0) return kLoopBufferEmpty;
  const uint32_t n = count < buffered ? count : buffered;
  read_ = Advance(read_, n);
  return static_cast<int32_t>(n);
}

}  // namespace fw
