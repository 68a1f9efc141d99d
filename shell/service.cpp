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
      status_(processor.State(), decoder_.Counters()),
      client_(std::make_unique<client::StaticClient>(CopyOfTheConfig(), decoder_, capture_, gate_,
                                                     timings.client)) {
  handlers_.SetCounters(&decoder_.Counters());
  processor_.SetWriterTimings(timings_.writer);
  processor_.SetFeedRing(&decoder_.Ring());
  processor_.SetCaptureCloser([this] { capture_.Close(); });
  processor_.SetCycleObserver(
      [this](const processor::CycleReport& report) { status_.OnCycle(report); });
  client_->SetConnectionObserver(&status_);
}

Service::~Service() {
  // The threads reach this object's members: they end before it does.
  client_->Stop();
  processor_.StopWriter();
  processor_.SetCycleObserver(nullptr);
  status_.ProgramEnded();
}

int32_t Service::ProgramInit() {
  const config::ConfigInfo config = CopyOfTheConfig();
  status_.SetConfig(config);
  status_.SetServiceState(ServiceState::kStarting);
  const int32_t rc = StartChain(config);
  status_.SetServiceState(rc == kProgramInitNotReady ? ServiceState::kRetrying
                                                     : ServiceState::kRunning);
  return rc;
}

int32_t Service::StartChain(const config::ConfigInfo& config) {
  WriteLog(0, "----------- program is initializing! ---------------");
  if (decoder_.AllocateRing(feed::kRingBytes) < 0) return kProgramInitNoRing;
  processor_.SetConfig(config);
  if (processor_.Instance() != 0) return kProgramInitNotReady;
  if (processor_.StartWriter() < 0) return kProgramInitNoWriter;
  if (client_->Start(config) < 0) return kProgramInitNoClient;
  WriteLog(0, "----------- program has initialized! ---------------");
  return 1;
}

void Service::ProgramExit() {
  status_.SetServiceState(ServiceState::kStopping);
  client_->Stop();
  processor_.StopWriter();
  decoder_.ReleaseRing();
  processor_.Reset();
  WriteLog(0, "----------- program has ended! ---------------");
  status_.SetServiceState(ServiceState::kStopped);
}

}  // namespace fw::shell
