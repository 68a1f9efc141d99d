// Test hook behind every shared-file operation; production code never installs one, so the cost
// is one relaxed atomic load per operation.
#include <atomic>
#include <mutex>

#include "foundation/platform/platform.h"

namespace fw::platform {
namespace {

std::atomic<bool> gHookInstalled{false};
std::mutex gHookMutex;
FileFaultHook gHook;

}  // namespace

void SetFileFaultHook(FileFaultHook hook) {
  std::lock_guard<std::mutex> lock(gHookMutex);
  gHook = std::move(hook);
  gHookInstalled.store(static_cast<bool>(gHook), std::memory_order_release);
}

int32_t AskFileFaultHook(FileOp op, const std::string& path, uint32_t bytes) {
  if (!gHookInstalled.load(std::memory_order_acquire)) return 0;
  FileFaultHook hook;
  {
    std::lock_guard<std::mutex> lock(gHookMutex);
    hook = gHook;
  }
  return hook ? hook(op, path, bytes) : 0;
}

}  // namespace fw::platform
