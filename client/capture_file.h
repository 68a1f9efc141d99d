// The raw capture file: every received block appended unchanged to binaryData_<YYYYMMDD>.dat, so
// that a day's feed can be kept and replayed. Nothing is added between blocks, and across
// reconnects and restarts of the same day the new bytes follow the old ones.
//
// Appended by the receive thread, closed by the write thread (outside the trading window) or by
// the client's Stop; one lock keeps a close from running inside an append. I/O failures are not
// reported: the block still goes on to the decoder, and the next block tries again. A block that
// could not be written is kept and written before the next one (up to kMaxPendingBytes), and a
// part of a block that a failed write left in the file is cut off again, so the file holds whole
// blocks in the order received.
#pragma once

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>

#include "foundation/platform/platform.h"

namespace fw::client {

class CaptureFile {
 public:
  // Blocks kept for a later append at most; beyond this, new blocks are not kept while the file
  // cannot be written (about a hundred full receive buffers).
  static constexpr size_t kMaxPendingBytes = 8u << 20;

  // "%sbinaryData_%u.dat" from the configured prefix and the local date now.
  static std::string PathFor(const std::string& savefilePrefix);

  // Opens (or creates) the day's file when it is not open, then writes, in one write at its end,
  // the blocks kept from failed appends followed by this block. On a failure the file is closed
  // and the bytes not written are kept for the next append.
  void Append(const std::string& savefilePrefix, const uint8_t* data, uint32_t length);
  // Closes the file; blocks still kept are dropped with it (the next append may belong to another
  // day's file).
  void Close();
  bool IsOpen() const;
  // Bytes kept from failed appends.
  size_t PendingBytes() const;

 private:
  void Keep(const uint8_t* data, uint32_t length);

  mutable std::mutex mutex_;
  platform::SharedFile file_;
  std::string pending_;  // blocks not yet written, in order
};

}  // namespace fw::client
