// A named lock and its scoped guard, as the foundation library offers them to every component.
#pragma once

#include <mutex>
#include <string>

namespace fw {

class MCriticalSection {
 public:
  MCriticalSection() = default;
  explicit MCriticalSection(std::string name) : name_(std::move(name)) {}
  MCriticalSection(const MCriticalSection&) = delete;
  MCriticalSection& operator=(const MCriticalSection&) = delete;

  void Enter() { mutex_.lock(); }
  void Leave() { mutex_.unlock(); }
  const std::string& Name() const { return name_; }
  void SetName(std::string name) { name_ = std::move(name); }

 private:
  std::mutex mutex_;
  std::string name_;
};

// Entered on construction, left on destruction.
class MLocalSection {
 public:
  explicit MLocalSection(MCriticalSection& section) : section_(section) { section_.Enter(); }
  ~MLocalSection() { section_.Leave(); }
  MLocalSection(const MLocalSection&) = delete;
  MLocalSection& operator=(const MLocalSection&) = delete;

 private:
  MCriticalSection& section_;
};

}  // namespace fw
