#include "processor/process_io.h"

#include <cstring>

#include "dbf/sjsxx_file.h"
#include "foundation/local_clock.h"
#include "foundation/ms_clock.h"
#include "foundation/run_log.h"
#include "processor/write_cycle.h"
#include "refdata/closing_data.h"
#include "refdata/reference_loaders.h"

namespace fw::processor {
namespace {

constexpr char kWriterName[] = "FileIn";

// How each reference file's failure is reported and whether it ends the start-up (0: go on).
struct LoadStep {
  const char* failureLine;
  unsigned level;
  int32_t result;
};

constexpr LoadStep kStat{"load stat.xml failed, errorcode=%u", 1, -1};
constexpr LoadStep kIndexInfo{"load indexInfo.xml failed, errorcode=%u", 1, -1};
constexpr LoadStep kSecurities{"load security.xml failed, errorcode=%u", 2, -2};
constexpr LoadStep kIssue{"load issueparams.xml failed, errorcode=%u", 2, 0};
constexpr LoadStep kRightsIssue{"load rightsissueparams.xml failed, errorcode=%u", 2, 0};
constexpr LoadStep kBondDistribution{"load bonddistributionparams.xml failed, errorcode=%u", 2, 0};
constexpr LoadStep kCashAuction{"load CashActionParams.xml failed, errorcode=%u", 2, -3};
constexpr LoadStep kNegotiation{"load NegotiationParams.xml failed, errorcode=%u", 2, 0};
constexpr LoadStep kAfterHours{"load AfterHoursParams.xml failed, errorcode=%u", 2, 0};
constexpr LoadStep kSecuritySwitch{"load SecuritySwitch.xml failed, errorcode=%u", 2, 0};

// Runs one loader; the step's result when the file failed and the step ends the start-up, else 0.
template <typename Loader>
int32_t RunLoad(const LoadStep& step, Loader&& loader) {
  const int32_t rc = loader.Load();
  if (rc == 0) return 0;
  WriteLog(step.level, step.failureLine, static_cast<unsigned>(rc));
  return step.result;
}

}  // namespace

MProcessIO::MProcessIO(refdata::ReferenceTables& tables) : tables_(tables) {}

MProcessIO::~MProcessIO() { StopWriter(); }

void MProcessIO::SetConfig(const config::ConfigInfo& config) {
  std::lock_guard<std::mutex> lock(configMutex_);
  config_ = config;
}

void MProcessIO::SetFeedRing(MLoopBufferMt* ring) { ring_ = ring; }

void MProcessIO::SetCaptureCloser(std::function<void()> closeCapture) {
  closeCapture_ = std::move(closeCapture);
}

void MProcessIO::SetWriterTimings(const WriterTimings& timings) {
  timings_ = timings;
  files_.SetWholeInterval(timings.wholeRewriteIntervalMs);
}

void MProcessIO::SetCycleObserver(std::function<void(const CycleReport&)> observer) {
  std::lock_guard<std::mutex> lock(observerMutex_);
  cycleObserver_ = std::move(observer);
}

config::ConfigInfo MProcessIO::ConfigCopy() const {
  std::lock_guard<std::mutex> lock(configMutex_);
  return config_;
}

int32_t MProcessIO::Instance() {
  // The expansion and the holiday list are worked on a copy: the write thread reads the
  // configuration at the same time.
  config::ConfigInfo config = ConfigCopy();
  config.ExpandLoadFolder();
  config.ReloadHolidays();
  if (config.IsHoliday()) return kStartUpHoliday;
  if (state_.IsInitialized()) return 0;

  std::lock_guard<std::mutex> day(dayMutex_);
  if (state_.IsInitialized()) return 0;
  return StartUpLocked(config);
}

int32_t MProcessIO::StartUpLocked(config::ConfigInfo& config) {
  WriteLog(0, "MProcessIO::Instance() : 开始初始化... [ V%.2f B%03d Build B%04d ]--------",
           kVersionHundredths * 0.01, kVersionBuild, kVersionBuildNumber);
  ResetLocked();
  if (ring_ != nullptr) ring_->Clear();
  state_.StartDay(static_cast<int32_t>(LocalNow().Date()));

  const std::string folder = config.loadFolderExpanded;
  // Loading runs under the state's lock as well: the write thread's overlay copy reads the
  // securities and switch tables through it.
  const int32_t loaded = state_.WithLock([&]() -> int32_t {
    using namespace refdata;
    if (int32_t rc = RunLoad(kStat, StatLoader(folder, tables_.stat)); rc != 0) return rc;
    if (int32_t rc =
            RunLoad(kIndexInfo, IndexInfoLoader(folder, tables_.indexInfo, config.IndexNameFile));
        rc != 0) {
      return rc;
    }
    if (int32_t rc = RunLoad(kSecurities, SecuritiesLoader(folder, tables_.securities)); rc != 0)
      return rc;
    RunLoad(kIssue, IssueParamsLoader(folder, tables_.issueParams, config.PriceUpLimit));
    RunLoad(kRightsIssue, RightsIssueParamsLoader(folder, tables_.rightsIssueParams));
    RunLoad(kBondDistribution,
            BondDistributionParamsLoader(folder, tables_.bondDistributionParams));
    if (int32_t rc =
            RunLoad(kCashAuction, CashAuctionParamsLoader(folder, tables_.cashAuctionParams));
        rc != 0) {
      return rc;
    }
    RunLoad(kNegotiation, NegotiationParamsLoader(folder, tables_.negotiationParams));
    RunLoad(kAfterHours, AfterHoursParamsLoader(folder, tables_.afterHoursParams));
    return 0;
  });
  if (loaded != 0) return loaded;

  WriteLog(0, "create xxnfile = %s xxfile=%s zsfile=%s (hqfile = %s)", config.szl1, config.Sjsxxdbf,
           config.Sjszsdbf, config.hqdbf);
  dbf::SZSjsxxnFile xxn;
  dbf::SZSjsxxFile xx;
  if (int32_t rc = xxn.Open(config.szl1); rc < 0) {
    WriteLog(2, "create szl1 file failed, errorcode=%u, path=%s", static_cast<unsigned>(rc),
             config.szl1);
    return -4;
  }
  if (int32_t rc = xx.Open(config.Sjsxxdbf); rc < 0) {
    WriteLog(2, "create szl1 file failed, errorcode=%u, path=%s", static_cast<unsigned>(rc),
             config.Sjsxxdbf);
    return -4;
  }

  const market::MarketClock clock = state_.Clock();
  const int32_t written = state_.WithLock([&]() -> int32_t {
    RunLoad(kSecuritySwitch, refdata::SecuritySwitchLoader(folder, tables_.securitySwitch));
    const refdata::FeedOverlay overlay = refdata::FeedOverlay::From(tables_);
    if (int32_t rc = xx.WriteFile(tables_, overlay, clock); rc < 0) {
      WriteLog(2, " flush  data file(sjsxx.dbf) failed, errorcode=%u", static_cast<unsigned>(rc));
      return -5;
    }
    if (int32_t rc = xxn.WriteFile(tables_, overlay, clock); rc < 0) {
      WriteLog(2, "flush data file(sjsxxn.dbf) failed, errorcode=%u", static_cast<unsigned>(rc));
      return -5;
    }
    return 0;
  });
  if (written != 0) return written;

  state_.Build(tables_);
  state_.SetInitialized(true);
  WriteLog(0, "MProcessIO::Instance() : 初始化成功完成!");
  return 0;
}

int32_t MProcessIO::IsInitialized() {
  if (!ConfigCopy().IsTradingTime()) state_.SetInitialized(false);
  return state_.IsInitialized() ? 1 : 0;
}

void MProcessIO::Reset() {
  std::lock_guard<std::mutex> day(dayMutex_);
  ResetLocked();
}

void MProcessIO::ResetLocked() {
  // The market rows point at securities records: the state goes first.
  state_.Reset();
  state_.WithLock([&] { tables_.ResetForNewDay(); });
  // A new day, or a stopped service, starts from whole files.
  files_.Drop();
  snapshot_.generation = 0;
}

int32_t MProcessIO::StartWriter() {
  if (writer_.Start(kWriterName, [this] {
        WriterLoop();
        return 0;
      }) < 0) {
    StopWriter();
    return -3;
  }
  return 1;
}

void MProcessIO::StopWriter() { writer_.Stop(timings_.stopTimeoutMs); }

uint32_t MProcessIO::WriterTick() const {
  return timings_.tickCount ? timings_.tickCount() : platform::TickCount();
}

void MProcessIO::WriterPause(uint32_t ms) const {
  if (timings_.pause) {
    timings_.pause(ms);
  } else {
    MThread::CurrentWaitForStop(ms);
  }
}

void MProcessIO::WriterLoop() {
  MsClock sinceCycle;
  sinceCycle.SetAt(WriterTick());
  while (!MThread::CurrentStopRequested()) {
    try {
      WriterPass(sinceCycle);
    } catch (...) {
      // A pass that throws must not end the thread: the six files would stay stale for the rest
      // of the day while the feed runs on. The next pass tries again after a pause.
      WriteLog(2, "<MProcessIO>线程[%s]异常: %s", kWriterName, CurrentExceptionText().c_str());
      WriterPause(timings_.failurePauseMs);
    }
  }
}

void MProcessIO::WriterPass(MsClock& sinceCycle) {
  const config::ConfigInfo config = ConfigCopy();
  if (!config.IsTradingTime()) {
    WriterPause(timings_.outsideWindowSleepMs);
    if (closeCapture_) closeCapture_();
    return;
  }
  if (sinceCycle.ElapsedAt(WriterTick()) > config.writeInterval) {
    const int32_t before = cyclesWritten_.load();
    MsClock cycle;
    cycle.SetAt(WriterTick());
    WriteAll();
    // The interval runs from the end of the cycle, so a slow cycle never makes the next one early.
    const uint32_t end = WriterTick();
    sinceCycle.SetAt(end);
    if (timings_.reportCycles && cyclesWritten_.load() != before) ReportCycle(cycle.ElapsedAt(end));
    return;
  }
  WriterPause(config.wrIntervalSleep);
  if (LocalNow().Time() > timings_.closingAfterTime) LoadClosingData();
}

void MProcessIO::ReportCycle(uint32_t ms) {
  const unsigned long long waited = state_.TakeLongestHandlerWaitUs();
  const unsigned long long applied = state_.UpdatesApplied();
  WriteLog(0, "write cycle %u ms, receive thread waited at most %llu us, %llu updates applied", ms,
           waited, applied);
  const CycleFiles& f = lastCycle_;
  unsigned long long total = 0;
  for (const FileWrite& file : f) total += file.bytes;
  const auto bytes = [&f](DbfFile file) { return static_cast<unsigned long long>(f[file].bytes); };
  const auto whole = [&f](DbfFile file) { return f[file].whole ? " whole" : ""; };
  WriteLog(0,
           "write cycle wrote %llu bytes: SJSXXN %llu%s, SJSXX %llu%s, SJSHQ %llu%s, SJSZS %llu%s, "
           "SJSPHHQ %llu%s, SJSZHHQ %llu%s",
           total, bytes(kSjsxxn), whole(kSjsxxn), bytes(kSjsxx), whole(kSjsxx), bytes(kSjshq),
           whole(kSjshq), bytes(kSjszs), whole(kSjszs), bytes(kSjsphhq), whole(kSjsphhq),
           bytes(kSjszhhq), whole(kSjszhhq));
}

bool MProcessIO::LoadClosingData() {
  if (state_.ClosingDataLoaded()) return false;
  // A start-up in progress has cleared the flag and emptied the quote table: a load now would set
  // the flag over a table about to be built, and the day's closing prices would be lost with every
  // later snapshot ignored. The day lock waits for the start-up; only a built day takes the file.
  std::lock_guard<std::mutex> day(dayMutex_);
  if (!state_.IsInitialized()) return false;
  config::ConfigInfo config = ConfigCopy();
  config.ExpandLoadFolder();
  refdata::ClosingDataLoader loader(config.loadFolderExpanded, state_);
  loader.Load();
  if (!state_.ClosingDataLoaded()) return false;
  WriteLog(0, "加载收盘文件成功");
  return true;
}

void MProcessIO::WriteAll() {
  CycleReport report;
  {
    std::lock_guard<std::mutex> day(dayMutex_);
    if (!state_.IsInitialized()) return;
    report.start = LocalNow();
    const uint32_t begin = WriterTick();
    const config::ConfigInfo config = ConfigCopy();
    // A cycle that threw took the marks without writing all that they named: start over whole.
    if (cycleUnfinished_) {
      files_.Drop();
      snapshot_.generation = 0;
    }
    cycleUnfinished_ = true;
    state_.RefreshSnapshot(&snapshot_, &changes_);
    lastCycle_ = files_.Write(config, tables_, snapshot_, changes_, state_.Counts(), begin);
    cycleUnfinished_ = false;
    report.files = lastCycle_;
    const std::array<const char*, kDbfFiles> paths = DbfPaths(config);
    for (size_t file = 0; file < kDbfFiles; ++file) {
      NoteFileResult(static_cast<int>(file), paths[file], lastCycle_[file].result);
    }
    ++cyclesWritten_;
    report.durationMs = WriterTick() - begin;
  }
  // Called under its lock, so that once SetCycleObserver(nullptr) has returned no call is under way
  // or to come: a write thread abandoned at Stop must not reach an observer that is gone.
  std::lock_guard<std::mutex> lock(observerMutex_);
  if (cycleObserver_) cycleObserver_(report);
}

void MProcessIO::NoteFileResult(int file, const char* path, int32_t rc) {
  // A file skipped or cut short is otherwise silent: one line when a file starts failing and one
  // when it is written again, so that a file that stays stale all day does not go unnoticed, and
  // a fault that lasts does not fill the log.
  if (rc < 0 && !fileFailing_[file]) {
    fileFailing_[file] = true;
    WriteLog(1, "write %s failed, errorcode=%u", path, static_cast<unsigned>(rc));
  } else if (rc >= 0 && fileFailing_[file]) {
    fileFailing_[file] = false;
    WriteLog(0, "write %s succeeded again", path);
  }
}

MProcessIO& TheProcessor() {
  static MProcessIO* processor = new MProcessIO(refdata::ProcessReferenceTables());
  return *processor;
}

}  // namespace fw::processor
