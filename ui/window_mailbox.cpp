#include "ui/window_mailbox.h"

#include <utility>

namespace fw::ui {

WindowMailbox::WindowMailbox(size_t maxLines) : maxLines_(maxLines == 0 ? 1 : maxLines) {}

void WindowMailbox::Attach(WakeUp wakeUp) {
  std::lock_guard<std::mutex> lock(mutex_);
  wakeUp_ = std::move(wakeUp);
  wakeUpPending_ = false;
}

void WindowMailbox::Detach() {
  Mail dropped;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    wakeUp_ = nullptr;
    wakeUpPending_ = false;
    dropped = std::exchange(mail_, Mail());
  }
}

void WindowMailbox::Deliver(uint32_t message, std::string text, intptr_t) {
  if (message != WM_LOG_LINE && message != WM_MARKET_TIME) return;
  std::lock_guard<std::mutex> lock(mutex_);
  if (!wakeUp_) return;
  if (message == WM_LOG_LINE) {
    if (mail_.lines.size() >= maxLines_) {
      mail_.lines.pop_front();
      ++linesDropped_;
    }
    mail_.lines.push_back(std::move(text));
  } else {
    mail_.marketTime = std::move(text);
  }
  if (!wakeUpPending_) wakeUpPending_ = wakeUp_();
}

WindowMailbox::Mail WindowMailbox::Take() {
  std::lock_guard<std::mutex> lock(mutex_);
  wakeUpPending_ = false;
  return std::exchange(mail_, Mail());
}

uint64_t WindowMailbox::LinesDropped() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return linesDropped_;
}

}  // namespace fw::ui
