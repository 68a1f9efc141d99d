// What the fuzz targets share: the invariant check, and the scratch files of a run, kept in memory
// where the machine has /dev/shm (the code under test flushes its writes to disk, which would
// otherwise set the pace of the run).
#pragma once

#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "foundation/run_log.h"

namespace fw::fuzz {

// A broken invariant is a finding like a crash.
inline void Check(bool condition) {
  if (!condition) std::abort();
}

// A name for a scratch file or folder of this run: unique per run, in /dev/shm when there is one.
inline std::filesystem::path ScratchPath(const std::string& stem) {
  std::random_device seed;
  const std::filesystem::path base = std::filesystem::exists("/dev/shm")
                                         ? std::filesystem::path("/dev/shm")
                                         : std::filesystem::temp_directory_path();
  return base / (stem + std::to_string(seed()));
}

// The scratch folders to remove when the run ends. The targets keep their world, and with it their
// folder, for the whole run and never destroy it, so the removal is tied to the process's exit.
inline std::vector<std::filesystem::path>& FoldersToRemove() {
  static auto* folders = new std::vector<std::filesystem::path>;
  return *folders;
}

inline void RemoveFoldersAtExit() {
  CloseRunLog();
  std::error_code ignored;
  for (const std::filesystem::path& folder : FoldersToRemove()) {
    std::filesystem::remove_all(folder, ignored);
  }
}

// A scratch folder holding the run log (in <folder>/log, nothing printed), removed with the run log
// closed at exit.
struct ScratchFolder {
  explicit ScratchFolder(const std::string& stem) : folder(ScratchPath(stem)) {
    std::filesystem::create_directories(folder);
    if (FoldersToRemove().empty()) std::atexit(RemoveFoldersAtExit);
    FoldersToRemove().push_back(folder);
    SetRunLogConsolePrinter([](std::string_view) {});
    SetRunLogFolder((folder / "log").string());
  }
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;

  std::filesystem::path folder;
};

}  // namespace fw::fuzz
