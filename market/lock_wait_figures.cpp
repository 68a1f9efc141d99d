#include "market/lock_wait_figures.h"

// The steady clock comes with <mutex>: <chrono> itself holds a "µs" literal that the GBK execution
// character set cannot take.
#include <mutex>

namespace fw::market {

void LockWaitFigures::WaitFor(std::unique_lock<std::mutex>& lock) {
  const auto begin = std::chrono::steady_clock::now();
  waiting_.fetch_add(1, std::memory_order_acq_rel);
  lock.lock();
  waiting_.fetch_sub(1, std::memory_order_acq_rel);
  const auto waited = std::chrono::duration_cast<std::chrono::microseconds>(
      std::chrono::steady_clock::now() - begin);
  const uint64_t us = static_cast<uint64_t>(waited.count());
  // The write thread may take the figure at any moment: a plain store could undo its reset or
  // lose this wait.
  uint64_t longest = longestWaitUs_.load(std::memory_order_relaxed);
  while (us > longest &&
         !longestWaitUs_.compare_exchange_weak(longest, us, std::memory_order_relaxed)) {
  }
}

}  // namespace fw::market
