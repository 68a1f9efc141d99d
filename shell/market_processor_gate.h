// The processor as the feed client sees it: the client's gate, answered by the processor. The
// client asks only these two questions, so that its tests can answer them without a trading day.
#pragma once

#include <cstdint>

#include "client/processor_gate.h"
#include "processor/process_io.h"

namespace fw::shell {

class MarketProcessorGate : public client::ProcessorGate {
 public:
  explicit MarketProcessorGate(processor::MProcessIO& processor) : processor_(processor) {}
  int32_t IsInitialized() override { return processor_.IsInitialized(); }
  int32_t Instance() override { return processor_.Instance(); }

 private:
  processor::MProcessIO& processor_;
};

}  // namespace fw::shell
