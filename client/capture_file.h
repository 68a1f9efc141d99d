// The raw capture file: every received block appended unchanged to binaryData_<YYYYMMDD>.dat, so
// that a day's feed can be kept and replayed. Nothing is added between blocks, and across
// reconnects and restarts of the same day the new bytes follow the old ones.
//
// Appended by the receive thread, closed by the write thread (outside the trading window) or by
// the client's Stop; one lock keeps a close from running inside an append. I/O failures are
// ignored by design: the block still goes on to the decoder, and the next block tries again.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>

#include "foundation/platform/platform.h"

namespace fw::client {

class CaptureFile {
 public:
  // "%sbinaryData_%u.dat" from the configured prefix and the local date now.
  static std::string PathFor(const std::string& savefilePrefix);

  // Opens (or creates) the day's file when it is not open, then writes the whole block at its end.
  void Append(const std::string& savefilePrefix, const uint8_t* data, uint32_t length);
  void Close();
  bool IsOpen() const;

 private:
  mutable std::mutex mutex_;
  platform::SharedFile file_;
};

}  // namespace fw::client
