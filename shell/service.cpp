#include "shell/service.h"

#include "foundation/run_log.h"

namespace fw::shell {
namespace {

config::ConfigInfo CopyOfTheConfig() {
  std::lock_guard<std::mutex> lock(config::TheConfigMutex());
  return config::TheConfig();
}

}  // namespace

Service::Service(processor::MProcessIO& processor, const ServiceTimings& timings)
    : processor_(processor),
      timings_(timings),
      handlers_(processor.State()),
      decoder_(&handlers_),
      gate_(processor),
      client_(std::make_unique<client::StaticClient>(CopyOfTheConfig(), decoder_, capture_, gate_,
                                                     timings.client)) {
  handlers_.SetCounters(&decoder_.Counters());
  processor_.SetWriterTimings(timings_.writer);
  processor_.SetFeedRing(&decoder_.Ring());
  processor_.SetCaptureCloser([this] { capture_.Close(); });
}

Service::~Service() {
  // The threads reach this object's members: they end before it does.
  client_->Stop();
  processor_.StopWriter();
}

int32_t Service::ProgramInit() {
  WriteLog(0, "----------- program is initializing! ---------------");
  const config::ConfigInfo config = CopyOfTheConfig();
  if (decoder_.AllocateRing(feed::kRingBytes) < 0) return kProgramInitNoRing;
  processor_.SetConfig(config);
  if (processor_.Instance() != 0) return kProgramInitNotReady;
  if (processor_.StartWriter() < 0) return kProgramInitNoWriter;
  if (client_->Start(config) < 0) return kProgramInitNoClient;
  WriteLog(0, "----------- program has initialized! ---------------");
  return 1;
}

void Service::ProgramExit() {
  client_->Stop();
  processor_.StopWriter();
  decoder_.ReleaseRing();
  processor_.Reset();
  WriteLog(0, "----------- program has ended! ---------------");
}

}  // namespace fw::shell
