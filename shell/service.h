// Layer shell/, above client/: service control, joining the client, the processor and the feed
// into one chain started and stopped by the control thread.
//
// The service: the feed client, the processor and its write thread, with the objects they share
// for the program's lifetime (the decoder and its handlers, the raw capture file, the client).
// ProgramInit starts the chain, ProgramExit stops it; both run on the control thread, and
// ProgramExit also on the user-interface thread when the program closes (after the control thread
// was stopped), never both at once. The service's health status is kept by its StatusKeeper, which
// the client and the write cycle report to; the front ends enable its file.
#pragma once

#include <cstdint>
#include <memory>

#include "client/capture_file.h"
#include "client/client_io.h"
#include "client/processor_gate.h"
#include "client/static_client.h"
#include "config/config_info.h"
#include "feed/market_data_decoder.h"
#include "feed/market_data_handlers.h"
#include "processor/process_io.h"
#include "shell/market_processor_gate.h"
#include "shell/status_keeper.h"

namespace fw::shell {

// The pauses of the service. The product keeps these values; tests shorten them.
struct ServiceTimings {
  client::ClientTimings client;
  processor::WriterTimings writer;
  uint32_t retryPauseMs = 10000;         // after a start whose processor start-up did not complete
  uint32_t startSettleMs = 15 * 200;     // after any other start attempt
  uint32_t stopSettleMs = 10 * 200;      // after the stop sequence
  uint32_t idleMs = 10 * 100;            // one idle pass of the control thread
  uint32_t idleStepMs = 100;             // how often an idle pass looks at the request flags
  uint32_t failurePauseMs = 25 * 200;    // after an unexpected failure inside a pass
  uint32_t controlStopTimeoutMs = 5000;  // how long Reset waits for the control thread
};

constexpr int32_t kProgramInitNoRing = -2;
constexpr int32_t kProgramInitNotReady = -3;
constexpr int32_t kProgramInitNoWriter = -4;
constexpr int32_t kProgramInitNoClient = -5;

class Service {
 public:
  explicit Service(processor::MProcessIO& processor,
                   const ServiceTimings& timings = ServiceTimings());
  ~Service();  // the status, when kept, says that the program has ended
  Service(const Service&) = delete;
  Service& operator=(const Service&) = delete;

  // Start-up: the decoder's ring, the processor's start-up of the day, its write thread, the feed
  // client. 1, or -2 … -5 for the step that failed (nothing started earlier is undone). Takes a
  // copy of TheConfig(). The status says "starting", then "retrying" after -3 (the control thread
  // tries again) and "running" after anything else (what started keeps running until the stop).
  int32_t ProgramInit();
  // Shut-down: the client, the write thread, the ring, the processor's tables. The status says
  // "stopping", then "stopped".
  void ProgramExit();

  const ServiceTimings& Timings() const { return timings_; }
  processor::MProcessIO& Processor() { return processor_; }
  feed::MarketDataDecoder& Decoder() { return decoder_; }
  client::StaticClient& Client() { return *client_; }
  StatusKeeper& Status() { return status_; }

 private:
  int32_t StartChain(const config::ConfigInfo& config);

  processor::MProcessIO& processor_;
  ServiceTimings timings_;
  feed::MarketDataHandlers handlers_;
  feed::MarketDataDecoder decoder_;
  client::CaptureFile capture_;
  MarketProcessorGate gate_;
  StatusKeeper status_;
  std::unique_ptr<client::StaticClient> client_;
};

}  // namespace fw::shell
