// The processor as the feed client sees it: the client's gate, answered by the market processor.
// The client does not know the market layer; whoever owns both joins them with this.
#pragma once

#include <cstdint>

#include "client/processor_gate.h"
#include "market/process_io.h"

namespace fw::shell {

class MarketProcessorGate : public client::ProcessorGate {
 public:
  explicit MarketProcessorGate(market::MProcessIO& processor) : processor_(processor) {}
  int32_t IsInitialized() override { return processor_.IsInitialized(); }
  int32_t Instance() override { return processor_.Instance(); }

 private:
  market::MProcessIO& processor_;
};

}  // namespace fw::shell
