// MLoopBufferMt: the byte ring in which the decoder accumulates the TCP stream until whole frames
// can be cut from it.
//
// One contiguous block, allocated once; copies in and out are plain memory copies split in two at
// the wrap point. One byte always stays free, so a ring of capacity C holds at most C - 1 bytes.
// Only the receive thread writes and reads it (the processor start-up that clears it runs on the
// same thread), so the operations take no lock; the lock guards destruction only.
#pragma once

#include <cstdint>

#include "foundation/critical_section.h"

namespace fw {

class MLoopBufferMt {
 public:
  MLoopBufferMt();
  explicit MLoopBufferMt(uint32_t size);  // calls Allocate
  ~MLoopBufferMt();
  MLoopBufferMt(const MLoopBufferMt&) = delete;
  MLoopBufferMt& operator=(const MLoopBufferMt&) = delete;

  // 1; kErrBadArgument for size 0; kErrNoMemory when the block cannot be had. Frees any old block.
  int32_t Allocate(uint32_t size);
  void Release();
  // Empties the ring; the storage stays.
  void Clear() { read_ = write_ = 0; }

  // All or nothing: count, 0 for count 0, kErrBadArgument (null source), kErrNotInitialized (no
  // storage) or kLoopBufferFull (count above the free bytes; nothing written).
  int32_t Write(const void* bytes, uint32_t count);
  // (Positions are kept below the capacity by comparison, not by division: these run per frame.)
  uint32_t DataLength() const {
    return write_ >= read_ ? write_ - read_ : capacity_ - read_ + write_;
  }
  uint32_t FreeLength() const { return capacity_ == 0 ? 0 : capacity_ - 1 - DataLength(); }
  uint32_t Capacity() const { return capacity_; }
  bool HasStorage() const { return storage_ != nullptr; }

  // Copies min(count, buffered) bytes from the read position without moving it: the count copied,
  // kErrBadArgument, kErrNotInitialized or kLoopBufferEmpty.
  int32_t Peek(void* destination, uint32_t count) const;
  // As Peek, then drops what was copied.
  int32_t Consume(void* destination, uint32_t count);
  // Drops min(count, buffered) bytes: the count dropped, kErrNotInitialized or kLoopBufferEmpty.
  int32_t Skip(uint32_t count);

  // A read-only view of the first `count` buffered bytes (count <= DataLength()) as at most two
  // contiguous pieces, the second starting at the storage's beginning. Valid until the next Write.
  struct Span {
    const uint8_t* first;
    uint32_t firstLength;
    const uint8_t* second;
    uint32_t secondLength;
  };
  Span View(uint32_t count) const {
    const uint32_t tail = capacity_ - read_;
    if (count <= tail) return {storage_ + read_, count, storage_, 0};
    return {storage_ + read_, tail, storage_, count - tail};
  }

 private:
  void CopyOut(uint8_t* destination, uint32_t count) const;
  uint32_t Advance(uint32_t position, uint32_t count) const {
    const uint32_t tail = capacity_ - position;
    return count < tail ? position + count : count - tail;
  }

  uint8_t* storage_ = nullptr;
  uint32_t capacity_ = 0;
  uint32_t read_ = 0;
  uint32_t write_ = 0;
  MCriticalSection lock_{"MLoopBufferMt"};
};

}  // namespace fw
