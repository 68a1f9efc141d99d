// The files of the platform layer without their system calls: configured paths, the whole-file
// read, the shared file's fault hooks and its loops over partial reads and writes, the same on
// every OS. The system calls are those of os_calls.h.
#include <algorithm>

#include "foundation/error_code.h"
#include "foundation/platform/os_calls.h"
#include "foundation/platform/platform.h"

namespace fw::platform {
namespace {

// The most one system call is asked to move: every OS takes a count this size.
constexpr uint32_t kChunk = 1u << 30;

}  // namespace

std::string NativePath(std::string_view configuredPath) {
  std::string path(configuredPath);
  if (kPathSeparator == '/') std::replace(path.begin(), path.end(), '\\', '/');
  return path;
}

bool IsPathSeparator(char c) { return c == '/' || c == '\\'; }

bool ReplaceFile(const std::string& from, const std::string& to) {
  if (AskFileFaultHook(FileOp::kRename, from, 0) < 0) return false;
  return os::RenameOver(NativePath(from), NativePath(to));
}

int32_t WriteWholeFile(const std::string& path, std::string_view content) {
  const std::string fresh = path + ".new";
  int32_t rc = 1;
  {
    SharedFile file;
    rc = file.Create(fresh, false);
    if (rc < 0) return rc;
    // A leftover from an interrupted write may be longer than this content.
    rc = file.Write(content.data(), static_cast<uint32_t>(content.size()));
    if (rc >= 0) rc = file.SetEnd();
    if (rc >= 0) rc = file.FlushToDisk();
  }
  if (rc >= 0 && !ReplaceFile(fresh, path)) rc = LastSystemErrorCode();
  if (rc < 0) {
    RemoveFile(fresh);
    return rc;
  }
  return 1;
}

int32_t ReadWholeFile(const std::string& path, std::string* content) {
  content->clear();
  if (int32_t fault = AskFileFaultHook(FileOp::kOpen, path, 0); fault < 0) return fault;
  intptr_t handle = -1;
  if (int32_t rc = os::OpenFile(NativePath(path), os::OpenMode::kRead, &handle); rc < 0) return rc;
  const int64_t size = os::FileSize(handle);
  if (size < 0) {
    const int32_t code = LastSystemErrorCode();
    os::CloseFile(handle);
    return code;
  }
  content->resize(static_cast<size_t>(size));
  size_t done = 0;
  while (done < content->size()) {
    const auto ask = static_cast<uint32_t>(std::min<size_t>(content->size() - done, kChunk));
    const int32_t n = os::ReadSome(handle, content->data() + done, ask);
    if (n <= 0) break;
    done += static_cast<size_t>(n);
  }
  os::CloseFile(handle);
  if (int32_t fault = AskFileFaultHook(FileOp::kRead, path, static_cast<uint32_t>(done));
      fault < 0) {
    content->clear();
    return fault;
  }
  if (done != content->size()) {
    content->clear();
    return kErrFileShortRead;
  }
  return 1;
}

SharedFile::~SharedFile() { Close(); }

int32_t SharedFile::OpenExisting(const std::string& path) {
  Close();
  if (int32_t fault = AskFileFaultHook(FileOp::kOpen, path, 0); fault < 0) return fault;
  if (int32_t rc = os::OpenFile(NativePath(path), os::OpenMode::kExisting, &handle_); rc < 0) {
    return rc;
  }
  path_ = path;
  return 1;
}

int32_t SharedFile::Create(const std::string& path, bool mustNotExist) {
  Close();
  if (int32_t fault = AskFileFaultHook(FileOp::kCreate, path, 0); fault < 0) return fault;
  const os::OpenMode mode = mustNotExist ? os::OpenMode::kCreateNew : os::OpenMode::kCreate;
  if (int32_t rc = os::OpenFile(NativePath(path), mode, &handle_); rc < 0) return rc;
  path_ = path;
  return 1;
}

int32_t SharedFile::SeekTo(int64_t offset) {
  if (!IsOpen()) return kErrFileShortWrite;
  if (int32_t fault = AskFileFaultHook(FileOp::kSeek, path_, 0); fault < 0) return fault;
  return os::SeekFile(handle_, offset, false);
}

int32_t SharedFile::SeekToEnd() {
  if (!IsOpen()) return kErrFileShortWrite;
  if (int32_t fault = AskFileFaultHook(FileOp::kSeek, path_, 0); fault < 0) return fault;
  return os::SeekFile(handle_, 0, true);
}

int32_t SharedFile::Write(const void* data, uint32_t n) {
  if (!IsOpen()) return kErrFileShortWrite;
  uint32_t allowed = n;
  if (int32_t fault = AskFileFaultHook(FileOp::kWrite, path_, n); fault < 0) {
    return fault;
  } else if (fault > 0 && static_cast<uint32_t>(fault) < n) {
    allowed = static_cast<uint32_t>(fault);
  }
  const char* bytes = static_cast<const char*>(data);
  uint32_t done = 0;
  while (done < allowed) {
    const int32_t written = os::WriteSome(handle_, bytes + done, std::min(allowed - done, kChunk));
    if (written < 0) return written;
    if (written == 0) break;
    done += static_cast<uint32_t>(written);
  }
  if (done != n) return kErrFileShortWrite;
  return static_cast<int32_t>(n);
}

int32_t SharedFile::Read(void* data, uint32_t n) {
  if (!IsOpen()) return kErrFileShortRead;
  if (int32_t fault = AskFileFaultHook(FileOp::kRead, path_, n); fault < 0) return fault;
  return os::ReadSome(handle_, data, std::min(n, kChunk));
}

int32_t SharedFile::FlushToDisk() {
  if (!IsOpen()) return kErrFileShortWrite;
  if (int32_t fault = AskFileFaultHook(FileOp::kFlush, path_, 0); fault < 0) return fault;
  return os::FlushFile(handle_);
}

int32_t SharedFile::SetEnd() {
  if (!IsOpen()) return kErrFileShortWrite;
  if (int32_t fault = AskFileFaultHook(FileOp::kSetEnd, path_, 0); fault < 0) return fault;
  return os::CutFile(handle_);
}

int64_t SharedFile::Size() const { return IsOpen() ? os::FileSize(handle_) : -1; }

void SharedFile::Close() {
  if (IsOpen()) os::CloseFile(handle_);
  handle_ = kInvalid;
  path_.clear();
}

}  // namespace fw::platform
