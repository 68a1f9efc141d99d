// WindowMailbox: the main window's receiver of the run log's window messages. Worker threads hand
// it log lines and market times (Deliver) and never wait for the user-interface thread: the texts
// are queued here, and the window is only asked, once per batch, to come and take them (a posted
// wake-up). The user-interface thread takes everything in order (Take). Once the window is gone
// (Detach), deliveries are dropped, so nothing posted after the window's end can reach it, and the
// queue is freed with the mailbox.
//
// A window shows at most the newest kMaxLogLines lines and only the latest market time, so the
// queue keeps no more than that: a worker that floods the log while the window is busy costs a
// bounded amount of memory, and what the window shows afterwards is the same.
//
// Deliver: any thread. Attach, Detach, Take: the user-interface thread. Shared through
// shared_ptr by the run log and the window.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <string>

#include "foundation/run_log.h"

namespace fw::ui {

class WindowMailbox final : public MainWindowSink {
 public:
  // Asks the user-interface thread to call Take soon, without waiting for it; false when the
  // request could not be made (it is made again by the next delivery). Called with the mailbox's
  // lock held: it must neither block nor call back into the mailbox.
  using WakeUp = std::function<bool()>;

  // What arrived since the last Take.
  struct Mail {
    std::deque<std::string> lines;          // oldest first
    std::optional<std::string> marketTime;  // the latest one, if any arrived
  };

  explicit WindowMailbox(size_t maxLines);

  // Starts accepting deliveries.
  void Attach(WakeUp wakeUp);
  // Stops accepting deliveries and drops what is queued; no wake-up is requested once this
  // returns.
  void Detach();

  // WM_LOG_LINE and WM_MARKET_TIME are queued; other messages are ignored.
  void Deliver(uint32_t message, std::string text, intptr_t param) override;

  // Everything queued, in order; the next delivery asks for a wake-up again.
  Mail Take();

  // Lines dropped because the queue was full (the window would have pushed them out anyway).
  uint64_t LinesDropped() const;

 private:
  const size_t maxLines_;
  mutable std::mutex mutex_;
  WakeUp wakeUp_;  // empty while detached
  bool wakeUpPending_ = false;
  Mail mail_;
  uint64_t linesDropped_ = 0;
};

}  // namespace fw::ui
