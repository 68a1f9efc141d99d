#include "shell/ui_control.h"

#include "foundation/error_code.h"
#include "foundation/platform/socket.h"
#include "foundation/run_log.h"

namespace fw::shell {

UiControl::UiControl(Service& service) : service_(service) { Reset(); }

UiControl::~UiControl() { Reset(); }

int32_t UiControl::Init() {
  startAttemptActive_ = true;
  Reset();
  int32_t loaded;
  {
    std::lock_guard<std::mutex> lock(config::TheConfigMutex());
    config::ConfigInfo& config = config::TheConfig();
    loaded =
        config.Load(config.iniPath.empty() ? config::ConfigInfo::DefaultIniPath() : config.iniPath);
    if (loaded >= 0 && config.autostart) startRequested_ = true;
    if (loaded >= 0) service_.Status().SetConfig(config);
  }
  if (loaded < 0) {
    WriteLog(1, "<UiControl>初始化配置信息失败！");
    return -1;
  }
  const int32_t rc = Start("RunControlThead线程", [this] { return ControlLoop(); });
  if (rc < 0) {
    Reset();
    WriteLog(1, "<UiControl>创建RunControlThead线程失败[%s]", MErrorCode::Text(rc).c_str());
    return rc;
  }
  return 1;
}

void UiControl::Reset() {
  startRequested_ = false;
  stopRequested_ = false;
  Stop(service_.Timings().controlStopTimeoutMs);
  std::lock_guard<std::mutex> lock(config::TheConfigMutex());
  config::TheConfig().Clear();
}

void UiControl::Pause(uint32_t ms) {
  const uint32_t step = service_.Timings().idleStepMs > 0 ? service_.Timings().idleStepMs : 1;
  for (uint32_t waited = 0; waited < ms && !IsStopRequested();) {
    const uint32_t slice = ms - waited < step ? ms - waited : step;
    WaitForStop(slice);
    waited += slice;
    service_.Status().WriteIfDue();
  }
}

int UiControl::ControlLoop() {
  service_.Status().WriteIfDue();
  while (!IsStopRequested()) {
    try {
      RunPass();
    } catch (...) {
      WriteLog(0, "<UiControl>RunControlThead线程出现未知异常");
      Pause(service_.Timings().failurePauseMs);
    }
    // Idle: the request flags are looked at every step, so a button takes effect at once.
    const ServiceTimings& t = service_.Timings();
    for (uint32_t waited = 0; waited < t.idleMs && !IsStopRequested(); waited += t.idleStepMs) {
      if (startRequested_ || stopRequested_) break;
      Pause(t.idleStepMs);
    }
  }
  if (socketLibraryStarted_) {
    platform::SocketLibraryStop();
    socketLibraryStarted_ = false;
  }
  return 0;
}

void UiControl::RunPass() {
  const ServiceTimings& t = service_.Timings();
  if (startRequested_) {
    // One library start per start request, however often the start-up is retried.
    if (!socketLibraryStarted_) socketLibraryStarted_ = platform::SocketLibraryStart() >= 0;
    const int32_t rc = service_.ProgramInit();
    if (rc == kProgramInitNotReady) {
      // A start can be abandoned only during this pause; the request stays set, so the next pass
      // tries again (or runs the stop sequence if Stop was pressed meanwhile).
      startAttemptActive_ = false;
      Pause(t.retryPauseMs);
      startAttemptActive_ = true;
      return;
    }
    startAttemptActive_ = true;
    Pause(t.startSettleMs);
    startRequested_ = false;
  } else if (stopRequested_) {
    service_.ProgramExit();
    if (socketLibraryStarted_) {
      platform::SocketLibraryStop();
      socketLibraryStarted_ = false;
    }
    Pause(t.stopSettleMs);
    stopRequested_ = false;
    SendToMainWindow(WM_MARKET_TIME, "", 0);
  }
}

}  // namespace fw::shell
