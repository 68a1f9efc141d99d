// Vocabulary of the fault suite: a FaultPlan that makes chosen file operations on chosen paths
// fail through the platform layer's hook, the faults of the matrix as a table, and a sample day
// written to a scratch folder with a configuration that points every file of the system into it.
//
// The hook is asked from any thread (the write thread included), so the plan's rules and counts sit
// behind one mutex. A plan removes the hook when it goes; only one plan is alive at a time.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "config/config_info.h"
#include "foundation/error_code.h"
#include "foundation/platform/platform.h"
#include "tests/support/day_config.h"
#include "tests/support/test_support.h"
#include "tools/sample_day.h"

namespace fw::test {

using platform::FileOp;

// System error numbers as a failing disk or share gives them (the values only travel as codes).
constexpr int32_t kAccessDenied = SystemErrorCode(13);
constexpr int32_t kDiskFull = SystemErrorCode(28);
constexpr int32_t kIoError = SystemErrorCode(5);

class FaultPlan {
 public:
  FaultPlan() : state_(std::make_shared<State>()) {
    platform::SetFileFaultHook(
        [state = state_](FileOp op, const std::string& path, uint32_t bytes) {
          return state->Answer(op, path, bytes);
        });
  }
  ~FaultPlan() { platform::SetFileFaultHook(nullptr); }
  FaultPlan(const FaultPlan&) = delete;
  FaultPlan& operator=(const FaultPlan&) = delete;

  // Operation `op` on exactly `path` answers `answer` (a negative code; for kWrite a positive
  // count writes only that many bytes) for the next `times` calls, or for every call (-1).
  FaultPlan& Fail(FileOp op, const std::string& path, int32_t answer, int times = -1) {
    std::lock_guard<std::mutex> lock(state_->mutex);
    state_->rules.push_back({op, path, answer, times});
    return *this;
  }
  // Lifts every rule: the fault is gone.
  void Lift() {
    std::lock_guard<std::mutex> lock(state_->mutex);
    state_->rules.clear();
  }
  // How many calls got a fault's answer since the plan was made.
  int Hits() const {
    std::lock_guard<std::mutex> lock(state_->mutex);
    return state_->hits;
  }

 private:
  struct Rule {
    FileOp op;
    std::string path;
    int32_t answer;
    int times;
  };
  struct State {
    int32_t Answer(FileOp op, const std::string& path, uint32_t) {
      std::lock_guard<std::mutex> lock(mutex);
      for (Rule& rule : rules) {
        if (rule.op != op || rule.path != path || rule.times == 0) continue;
        if (rule.times > 0) --rule.times;
        ++hits;
        return rule.answer;
      }
      return 0;
    }
    std::mutex mutex;
    std::vector<Rule> rules;
    int hits = 0;
  };
  std::shared_ptr<State> state_;
};

// One row of the matrix: the operations that fail and how.
struct Fault {
  const char* name;
  std::vector<std::pair<FileOp, int32_t>> ops;
};

constexpr uint32_t kShortWriteBytes = 700;  // what a short write lets through

inline const std::vector<Fault>& WriteFaults() {
  static const std::vector<Fault> faults = {
      {"open and create refused",
       {{FileOp::kOpen, kAccessDenied}, {FileOp::kCreate, kAccessDenied}}},
      {"seek fails", {{FileOp::kSeek, kIoError}}},
      {"write fails (disk full)", {{FileOp::kWrite, kDiskFull}}},
      {"short write", {{FileOp::kWrite, static_cast<int32_t>(kShortWriteBytes)}}},
      {"set-end fails", {{FileOp::kSetEnd, kIoError}}},
      {"flush fails", {{FileOp::kFlush, kIoError}}},
  };
  return faults;
}

inline void Apply(FaultPlan& plan, const Fault& fault, const std::string& path, int times = -1) {
  for (const auto& [op, answer] : fault.ops) plan.Fail(op, path, answer, times);
}

// A generated day of 60 securities in <dir>/xml and a configuration whose six DBF files lie in
// <dir>/<outputFolder>. Dates: the day is a Thursday, 5 March 2026.
constexpr uint32_t kDay = 20260305;

inline tools::SampleDay WriteDay(const TempDir& dir) {
  tools::SampleDayOptions options;
  options.securityCount = 60;
  options.date = kDay;
  options.seed = 7;
  tools::SampleDay day = tools::BuildSampleDay(options);
  platform::MakeDirectory(dir.File("xml"));
  if (tools::WriteSampleDay(day, dir.File("xml") + platform::kPathSeparator) < 0)
    day.securities.clear();
  return day;
}

inline config::ConfigInfo DayConfig(const TempDir& dir, const std::string& outputFolder) {
  platform::MakeDirectory(dir.File(outputFolder));
  const std::string out = dir.File(outputFolder) + platform::kPathSeparator;
  const std::string xml = dir.File("xml") + platform::kPathSeparator;
  config::ConfigInfo config;
  PointAtDay(&config, xml, out);
  SetText(config.loadFolderExpanded, xml);
  config.begintime = 845;
  config.endtime = 1630;
  config.writeInterval = 3000;
  config.wrIntervalSleep = 1000;
  config.PriceUpLimit = true;
  return config;
}

// The six DBF paths of a configuration, in the write cycle's order.
inline std::vector<std::string> DbfPaths(const config::ConfigInfo& c) {
  return {c.szl1, c.Sjsxxdbf, c.hqdbf, c.Sjszsdbf, c.Sjsphhqdbf, c.Sjszhhqdbf};
}

}  // namespace fw::test
