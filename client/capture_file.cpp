#include "client/capture_file.h"

#include <cstdio>

#include "foundation/local_clock.h"

namespace fw::client {

std::string CaptureFile::PathFor(const std::string& savefilePrefix) {
  char name[64];
  std::snprintf(name, sizeof name, "binaryData_%u.dat", LocalNow().Date());
  return savefilePrefix + name;
}

void CaptureFile::Keep(const uint8_t* data, uint32_t length) {
  if (pending_.size() + length > kMaxPendingBytes) return;
  pending_.append(reinterpret_cast<const char*>(data), length);
}

void CaptureFile::Append(const std::string& savefilePrefix, const uint8_t* data, uint32_t length) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!file_.IsOpen()) {
    const std::string path = PathFor(savefilePrefix);
    if (file_.OpenExisting(path) < 0 && file_.Create(path, false) < 0) {
      Keep(data, length);
      return;
    }
  }
  int32_t written;
  if (pending_.empty()) {
    written = file_.AppendWhole(data, length);
  } else {
    // The kept blocks and this one in one write, so that their order cannot change.
    const size_t kept = pending_.size();
    pending_.append(reinterpret_cast<const char*>(data), length);
    written = file_.AppendWhole(pending_.data(), static_cast<uint32_t>(pending_.size()));
    pending_.resize(kept);
  }
  if (written >= 0) {
    pending_.clear();
    return;
  }
  Keep(data, length);
  file_.Close();
}

void CaptureFile::Close() {
  std::lock_guard<std::mutex> lock(mutex_);
  file_.Close();
  pending_.clear();
}

bool CaptureFile::IsOpen() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return file_.IsOpen();
}

size_t CaptureFile::PendingBytes() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return pending_.size();
}

}  // namespace fw::client
