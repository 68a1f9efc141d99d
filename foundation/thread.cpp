#include "foundation/thread.h"

#include <atomic>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <system_error>

#include "foundation/error_code.h"
#include "foundation/run_log.h"

namespace fw {
namespace {

std::atomic<bool> gStopAll{false};

std::mutex& RegistryMutex() {
  static std::mutex* mutex = new std::mutex;
  return *mutex;
}
MThread* gRegistryHead = nullptr;                        // guarded by RegistryMutex()
std::function<int32_t(const std::string&)> gStartFault;  // guarded by RegistryMutex()

}  // namespace

std::string CurrentExceptionText() {
  try {
    throw;
  } catch (const std::exception& error) {
    return error.what();
  } catch (...) {
    return "未知异常";
  }
}

// Shared by the object and its running thread.
struct MThread::Shared {
  std::mutex mutex;
  std::condition_variable wake;   // stop requested (or StopAll)
  std::condition_variable ended;  // the body returned
  std::atomic<bool> stop{true};
  bool done = false;  // guarded by mutex

  bool StopRequested() const {
    return stop.load(std::memory_order_acquire) || gStopAll.load(std::memory_order_acquire);
  }
  void RequestStop() {
    std::lock_guard<std::mutex> lock(mutex);
    stop.store(true, std::memory_order_release);
    wake.notify_all();
  }
  void Wake() {
    std::lock_guard<std::mutex> lock(mutex);
    wake.notify_all();
  }
  bool WaitForStop(uint32_t ms) {
    std::unique_lock<std::mutex> lock(mutex);
    return wake.wait_for(lock, std::chrono::milliseconds(ms), [this] { return StopRequested(); });
  }
};

namespace {
thread_local std::shared_ptr<MThread::Shared>* tCurrent = nullptr;
}

MThread::MThread() : shared_(std::make_shared<Shared>()) { Register(); }

MThread::~MThread() {
  Stop(5000);
  Unregister();
}

void MThread::Register() {
  std::lock_guard<std::mutex> lock(RegistryMutex());
  next_ = gRegistryHead;
  if (gRegistryHead != nullptr) gRegistryHead->previous_ = this;
  gRegistryHead = this;
}

void MThread::Unregister() {
  std::lock_guard<std::mutex> lock(RegistryMutex());
  if (previous_ != nullptr) previous_->next_ = next_;
  if (next_ != nullptr) next_->previous_ = previous_;
  if (gRegistryHead == this) gRegistryHead = next_;
  previous_ = next_ = nullptr;
}

int32_t MThread::Start(const char* name, Entry entry, void* argument) {
  return Start(name, [entry, argument] { return entry(argument); });
}

int32_t MThread::Start(const char* name, std::function<int()> body) {
  gStopAll.store(false, std::memory_order_release);
  Stop(5000);
  std::string cut(name != nullptr ? name : "");
  if (cut.size() > 32) cut.resize(32);
  {
    std::lock_guard<std::mutex> lock(RegistryMutex());
    if (gStartFault) {
      if (const int32_t fault = gStartFault(name != nullptr ? name : ""); fault < 0) return fault;
    }
  }
  // A fresh block per run: an abandoned earlier thread keeps its own, with its stop flag set.
  auto shared = std::make_shared<Shared>();
  shared->stop.store(false, std::memory_order_release);
  {
    std::lock_guard<std::mutex> lock(RegistryMutex());
    shared_ = shared;
  }
  try {
    thread_ = std::thread([shared, body = std::move(body), cut] {
      tCurrent = new std::shared_ptr<Shared>(shared);
      try {
        body();
      } catch (...) {
        // Nothing may leave the thread, but a thread that keeps the files or the feed going must
        // not end without a trace.
        try {
          WriteLog(2, "<MThread>线程[%s]异常退出: %s", cut.c_str(), CurrentExceptionText().c_str());
        } catch (...) {
        }
      }
      delete tCurrent;
      tCurrent = nullptr;
      std::lock_guard<std::mutex> lock(shared->mutex);
      shared->done = true;
      shared->ended.notify_all();
    });
  } catch (const std::system_error& error) {
    shared->stop.store(true, std::memory_order_release);
    return SystemErrorCode(static_cast<uint32_t>(error.code().value()));
  } catch (...) {
    shared->stop.store(true, std::memory_order_release);
    return kErrNoMemory;
  }
  name_ = cut;
  return 1;
}

void MThread::Stop(uint32_t timeoutMs) {
  std::shared_ptr<Shared> shared;
  {
    std::lock_guard<std::mutex> lock(RegistryMutex());
    shared = shared_;
  }
  shared->RequestStop();
  if (!thread_.joinable()) return;
  if (thread_.get_id() == std::this_thread::get_id()) {
    thread_.detach();  // a thread cannot wait for itself
    return;
  }
  bool finished;
  {
    std::unique_lock<std::mutex> lock(shared->mutex);
    finished = shared->ended.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                                      [&] { return shared->done; });
  }
  if (finished) {
    thread_.join();
  } else {
    thread_.detach();  // abandoned; it still holds its shared block
  }
}

bool MThread::IsStopRequested() const {
  std::lock_guard<std::mutex> lock(RegistryMutex());
  return shared_->StopRequested();
}

bool MThread::WaitForStop(uint32_t ms) const {
  std::shared_ptr<Shared> shared;
  {
    std::lock_guard<std::mutex> lock(RegistryMutex());
    shared = shared_;
  }
  return shared->WaitForStop(ms);
}

bool MThread::IsRunning() const { return thread_.joinable(); }

bool MThread::HasEnded() const {
  std::lock_guard<std::mutex> lock(RegistryMutex());
  std::lock_guard<std::mutex> guard(shared_->mutex);
  return shared_->done;
}

void MThread::StopAll() {
  gStopAll.store(true, std::memory_order_release);
  std::lock_guard<std::mutex> lock(RegistryMutex());
  for (MThread* t = gRegistryHead; t != nullptr; t = t->next_) t->shared_->Wake();
}

void MThread::SetStartFaultForTesting(std::function<int32_t(const std::string& name)> fault) {
  std::lock_guard<std::mutex> lock(RegistryMutex());
  gStartFault = std::move(fault);
}

bool MThread::CurrentStopRequested() {
  if (tCurrent == nullptr) return gStopAll.load(std::memory_order_acquire);
  return (*tCurrent)->StopRequested();
}

bool MThread::CurrentWaitForStop(uint32_t ms) {
  if (tCurrent == nullptr) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
    return gStopAll.load(std::memory_order_acquire);
  }
  return (*tCurrent)->WaitForStop(ms);
}

}  // namespace fw
