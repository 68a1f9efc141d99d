// MThread: the named worker thread of the system (the control thread, the write thread "FileIn" and
// the feed receive thread).
//
// A thread's body is a loop that asks, at the top of every pass and inside its waits, whether it
// should stop; the owner stops it by setting the request and waiting a bounded time. Stop always
// returns after its time-out: a thread that has not ended by then is abandoned (detached). Its stop
// flag and wake event live in a block shared with the running thread, so an abandoned thread never
// touches freed memory of the object; whatever else it uses must be kept alive by its owner through
// shared ownership.
//
// Start and Stop are called by the owner's thread; IsStopRequested and the waits by the thread
// itself (or anyone). Every object is in a process-wide registry (one lock) for StopAll. A body
// that lets an exception out ends its thread with one level-2 line of the run log,
// "<MThread>线程[name]异常退出: text"; loops that must go on catch per pass themselves.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <thread>

namespace fw {

// The text of the exception being handled: what() of a std::exception, "未知异常" for anything
// else. Only inside a catch block.
std::string CurrentExceptionText();

class MThread {
 public:
  using Entry = int (*)(void* argument);

  MThread();
  virtual ~MThread();  // stops the thread (as Stop(5000)) and leaves the registry
  MThread(const MThread&) = delete;
  MThread& operator=(const MThread&) = delete;

  // Stops a thread this object may still run (up to 5000 ms), then starts entry(argument) under
  // the name (cut to 32 bytes). 1, or the negative system error code when no thread can be made.
  int32_t Start(const char* name, Entry entry, void* argument);
  int32_t Start(const char* name, std::function<int()> body);

  // Requests the stop, wakes the thread's waits, and waits for the thread to end at most
  // timeoutMs; a thread still running after that is abandoned. Returns in every case.
  void Stop(uint32_t timeoutMs);

  // The object's stop flag or the process-wide one.
  bool IsStopRequested() const;
  // Waits up to ms, ending at once when a stop is requested; true when a stop is requested.
  bool WaitForStop(uint32_t ms) const;
  // Whether a thread is attached (started and neither stopped nor abandoned).
  bool IsRunning() const;
  // Whether the attached thread's body has returned.
  bool HasEnded() const;
  const std::string& Name() const { return name_; }

  // Sets the process-wide stop flag and wakes every registered thread.
  static void StopAll();
  // For code running on an MThread without access to its object: the same answers for the
  // calling thread (false / a plain sleep on threads that are not MThreads).
  static bool CurrentStopRequested();
  static bool CurrentWaitForStop(uint32_t ms);

  // Test hook: when set, Start asks it first with the thread's name; a negative answer makes that
  // Start fail with the answer as if the system could not create the thread.
  static void SetStartFaultForTesting(std::function<int32_t(const std::string& name)> fault);

  struct Shared;  // (implementation: the block shared with the running thread)

 private:
  void Register();
  void Unregister();

  std::shared_ptr<Shared> shared_;
  std::thread thread_;
  std::string name_;
  MThread* previous_ = nullptr;  // registry links, guarded by the registry lock
  MThread* next_ = nullptr;
};

}  // namespace fw
