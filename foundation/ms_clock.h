// A millisecond stopwatch over the system's 32-bit tick counter. Elapsed time is computed in
// unsigned 32-bit arithmetic, so it stays right across the counter's wrap (every ~49.7 days).
// Plain value; one owner thread.
#pragma once

#include <cstdint>

#include "foundation/platform/platform.h"

namespace fw {

class MsClock {
 public:
  MsClock() { Set(); }
  void Set() { start_ = platform::TickCount(); }
  // Milliseconds since the last Set.
  uint32_t Elapsed() const { return ElapsedAt(platform::TickCount()); }
  // The same against a given tick value (for tests of the wrap).
  uint32_t ElapsedAt(uint32_t now) const { return now - start_; }
  void SetAt(uint32_t tick) { start_ = tick; }

 private:
  uint32_t start_ = 0;
};

}  // namespace fw
