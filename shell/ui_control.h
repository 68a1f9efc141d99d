// UiControl: the service control object. The operator's buttons (and autostart) only set request
// flags; the control thread "RunControlThead线程" notices them and runs the start-up sequence
// (retried every ten seconds while the processor's start-up cannot complete) or the shut-down
// sequence, so that the user-interface thread never waits for the service.
//
// The flags are set and read by the user-interface thread and the control thread (atomics); the
// control thread is this object's own MThread. It also keeps the service's status file fresh: every
// step of its waits gives the status keeper a chance to write. One object per main window.
#pragma once

#include <atomic>
#include <cstdint>

#include "foundation/thread.h"
#include "shell/service.h"

namespace fw::shell {

class UiControl : public MThread {
 public:
  explicit UiControl(Service& service);
  ~UiControl() override;  // Reset
  UiControl(const UiControl&) = delete;
  UiControl& operator=(const UiControl&) = delete;

  // Loads TheConfig() (from its iniPath, or the ini beside the executable), honours autostart and
  // starts the control thread. 1; -1 when the configuration cannot be loaded; the thread
  // creation's error code.
  int32_t Init();
  // Clears both requests, stops the control thread (waiting at most its time-out) and empties the
  // configuration's texts.
  void Reset();

  bool StartRequested() const { return startRequested_.load(); }
  bool StopRequested() const { return stopRequested_.load(); }
  bool StartAttemptActive() const { return startAttemptActive_.load(); }
  void SetStartRequested(bool value) { startRequested_.store(value); }
  void SetStopRequested(bool value) { stopRequested_.store(value); }
  void SetStartAttemptActive(bool value) { startAttemptActive_.store(value); }

  Service& TheService() { return service_; }

 private:
  int ControlLoop();
  void RunPass();
  // Waits up to ms, ending early on this thread's stop request; the status file is written at
  // every idle step when it is due.
  void Pause(uint32_t ms);

  Service& service_;
  std::atomic<bool> startRequested_{false};
  std::atomic<bool> stopRequested_{false};
  std::atomic<bool> startAttemptActive_{false};
  bool socketLibraryStarted_ = false;  // control thread only
};

}  // namespace fw::shell
