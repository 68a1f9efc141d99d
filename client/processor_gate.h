// What the feed client asks of the processor before and while it connects: the trading-window
// check (IsInitialized, called for its effect of dropping the day's data outside the window) and
// the day's start-up (Instance: 0 ready, -1000 holiday, anything else not ready yet). The processor
// implements it; tests give the client a fake.
#pragma once

#include <cstdint>

namespace fw::client {

class ProcessorGate {
 public:
  virtual ~ProcessorGate() = default;
  virtual int32_t IsInitialized() = 0;
  virtual int32_t Instance() = 0;
};

}  // namespace fw::client
