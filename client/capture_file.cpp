#include "client/capture_file.h"

#include <cstdio>

#include "foundation/local_clock.h"

namespace fw::client {

std::string CaptureFile::PathFor(const std::string& savefilePrefix) {
  char name[64];
  std::snprintf(name, sizeof name, "binaryData_%u.dat", LocalNow().Date());
  return savefilePrefix + name;
}

void CaptureFile::Append(const std::string& savefilePrefix, const uint8_t* data, uint32_t length) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!file_.IsOpen()) {
    const std::string path = PathFor(savefilePrefix);
    if (file_.OpenExisting(path) < 0 && file_.Create(path, false) < 0) return;
  }
  if (file_.SeekToEnd() < 0) return;
  file_.Write(data, length);
}

void CaptureFile::Close() {
  std::lock_guard<std::mutex> lock(mutex_);
  file_.Close();
}

bool CaptureFile::IsOpen() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return file_.IsOpen();
}

}  // namespace fw::client
