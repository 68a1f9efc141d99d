// LockWaitFigures: how the market data handlers fare at the market state's lock, for the write
// thread's optional cycle report (--report-cycles) and the benchmarks: the longest wait for the
// lock since the figure was last taken, and the records stored. It also knows how many handlers
// are waiting at this moment, which the write cycle's copies step aside for.
//
// Threads: LockForHandler runs on the receive thread, CountStore and Stores under the market
// state's lock, TakeLongestWaitUs and HandlersWaiting on any thread. One per market state, for its
// whole life.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>

namespace fw::market {

class LockWaitFigures {
 public:
  // Takes `mutex` for a handler call: at once when it is free, without reading the clock; when it
  // is busy, the handler counts as waiting until it has it, and the wait is timed.
  std::unique_lock<std::mutex> LockForHandler(std::mutex& mutex) {
    std::unique_lock<std::mutex> lock(mutex, std::try_to_lock);
    if (!lock.owns_lock()) WaitFor(lock);
    return lock;
  }

  // Whether a handler call is blocked in LockForHandler now.
  bool HandlersWaiting() const { return waiting_.load(std::memory_order_acquire) > 0; }

  // The longest wait in microseconds since the previous call (or construction); 0 when the lock
  // was always free.
  uint64_t TakeLongestWaitUs() { return longestWaitUs_.exchange(0, std::memory_order_relaxed); }

  // Records stored by the handlers; both under the market state's lock.
  void CountStore() { ++stores_; }
  uint64_t Stores() const { return stores_; }

 private:
  // Locks the busy lock, counted among the waiting handlers and timed.
  void WaitFor(std::unique_lock<std::mutex>& lock);

  std::atomic<uint64_t> longestWaitUs_{0};
  std::atomic<int32_t> waiting_{0};
  uint64_t stores_ = 0;
};

}  // namespace fw::market
