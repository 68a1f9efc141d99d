#include "tools/replay.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <ostream>
#include <sstream>

#include "config/config_info.h"
#include "feed/feed_format.h"
#include "feed/market_data_handlers.h"
#include "foundation/local_clock.h"
#include "foundation/number_text.h"
#include "foundation/platform/platform.h"
#include "foundation/run_log.h"
#include "market/market_snapshot.h"
#include "processor/process_io.h"
#include "processor/write_cycle.h"
#include "refdata/reference_file_reader.h"
#include "refdata/reference_tables.h"
#include "tools/capture_cutter.h"

namespace fw::tools {
namespace {

namespace fs = std::filesystem;

// Large enough that the read's own cost vanishes beside the decoding, small enough to stay in the
// processor's caches a while.
constexpr size_t kBlockBytes = size_t{1} << 20;
constexpr const char* kStagingName = ".fenwright-replay";
constexpr uint32_t kSecondsPerDay = 24 * 3600;
constexpr uint32_t kProgressEveryMs = 500;

bool ValidDate(uint32_t date) {
  const uint32_t month = date / 100 % 100;
  const uint32_t day = date % 100;
  return date >= 19000101 && date <= 99991231 && month >= 1 && month <= 12 && day >= 1 && day <= 31;
}

uint32_t SecondsOf(uint32_t hhmmss) {
  return hhmmss / 10000 * 3600 + hhmmss / 100 % 100 * 60 + hhmmss % 100;
}

uint32_t TimeOfSeconds(uint32_t seconds) {
  return seconds / 3600 * 10000 + seconds / 60 % 60 * 100 + seconds % 60;
}

// The HHMMSS part of an OrigTime (YYYYMMDDHHMMSSsss), as the market state reads it.
uint32_t TimeOfStamp(int64_t stamp) { return static_cast<uint32_t>(stamp % 1000000000 / 1000); }

std::string TimeText(int64_t hhmmss) {
  if (hhmmss < 0) return "--:--:--";
  char text[16];
  std::snprintf(text, sizeof text, "%02d:%02d:%02d", static_cast<int>(hhmmss / 10000),
                static_cast<int>(hhmmss / 100 % 100), static_cast<int>(hhmmss % 100));
  return text;
}

std::string FolderOfTime(uint32_t hhmmss) {
  char text[16];
  std::snprintf(text, sizeof text, "%06u", hhmmss);
  return text;
}

// The file-name part of a configured path (either separator, as configured paths may be written
// Windows-style).
std::string FileNamePart(const char* path) {
  std::string name = path;
  const size_t slash = name.find_last_of("/\\");
  return slash == std::string::npos ? name : name.substr(slash + 1);
}

template <size_t N>
bool SetPath(char (&field)[N], const std::string& path) {
  if (path.size() >= N) return false;
  std::memcpy(field, path.c_str(), path.size() + 1);
  return true;
}

// The message types whose body starts with an OrigTime.
bool StartsWithOrigTime(uint32_t msgType) {
  switch (msgType) {
    case feed::kMsgCashAuctionSnapshot:
    case feed::kMsgIndexSnapshot:
    case feed::kMsgVolumeStatSnapshot:
    case feed::kMsgAfterHoursSnapshot:
    case feed::kMsgSecuritySwitch:
    case feed::kMsgStreamPhase:
      return true;
    default:
      return false;
  }
}

// The date of the first timestamped message of the capture, or 0.
uint32_t ScanForDate(std::FILE* file) {
  std::vector<uint8_t> buffer(kBlockBytes + kCaptureLookahead);
  size_t have = 0;
  bool end = false;
  while (!end || have > 0) {
    if (!end) {
      const size_t got = std::fread(buffer.data() + have, 1, buffer.size() - have, file);
      have += got;
      end = got == 0 || std::feof(file) != 0 || std::ferror(file) != 0;
    }
    size_t at = 0;
    for (;;) {
      if (!end && have - at < kCaptureLookahead) break;
      const CaptureStep step = NextCaptureStep(buffer.data() + at, have - at, end, nullptr);
      if (step.kind == CaptureStep::kNeedMore) break;
      if (step.kind == CaptureStep::kFrame) {
        const uint8_t* frame = buffer.data() + at;
        if (StartsWithOrigTime(feed::LoadBigEndian32(frame)) &&
            step.length >= feed::kFrameOverhead + 8) {
          const int64_t stamp = feed::LoadBigEndian64(frame + feed::kHeaderBytes);
          const int64_t date = stamp / 1000000000;
          if (date > 0 && date <= 99991231 && ValidDate(static_cast<uint32_t>(date))) {
            return static_cast<uint32_t>(date);
          }
        }
      }
      at += step.consumed;
    }
    if (end) break;
    std::memmove(buffer.data(), buffer.data() + at, have - at);
    have -= at;
  }
  return 0;
}

}  // namespace

uint32_t CaptureDateFromName(const std::string& path) {
  static constexpr char kStem[] = "binaryData_";
  const std::string name = FileNamePart(path.c_str());
  const size_t at = name.find(kStem);
  if (at == std::string::npos) return 0;
  const size_t digits = at + sizeof kStem - 1;
  if (name.size() < digits + 8) return 0;
  uint32_t date = 0;
  for (size_t i = digits; i < digits + 8; ++i) {
    if (name[i] < '0' || name[i] > '9') return 0;
    date = date * 10 + static_cast<uint32_t>(name[i] - '0');
  }
  if (name.size() > digits + 8 && name[digits + 8] >= '0' && name[digits + 8] <= '9') return 0;
  return ValidDate(date) ? date : 0;
}

struct Replayer::Run {
  Run(ReplayOptions o, std::ostream& e) : options(std::move(o)), err(e) {}

  int Fail(const std::string& line) {
    err << "fenwright-replay: " << line << "\n";
    if (failure == 0) failure = 2;
    return failure;
  }

  int Prepare();
  int FeedCapture();
  size_t Feed(const uint8_t* bytes, size_t n, bool final);
  int Finish();
  void Apply(const uint8_t* frame, uint32_t length);
  void Started(int32_t marketTime);
  bool WriteSet(const market::MarketSnapshot& snapshot, const std::string& folder);
  std::string StartUpFailure(int32_t rc);
  int Commit();
  void Progress(bool last);

  ReplayOptions options;
  std::ostream& err;
  ReplayReport report;
  int failure = 0;

  std::FILE* capture = nullptr;
  uint64_t captureSize = 0;
  fs::path out;
  fs::path staging;
  bool madeOut = false;
  bool committed = false;

  // The replay's clock: the trading date and the market time of the set being written.
  struct ClockState {
    std::mutex mutex;
    LocalDateTime now;
  };
  std::shared_ptr<ClockState> clock = std::make_shared<ClockState>();
  bool clockInstalled = false;
  std::function<LocalDateTime()> previousClock;
  std::unique_ptr<RunLogRedirect> log;

  config::ConfigInfo config;
  std::string names[processor::kDbfFiles];
  std::unique_ptr<refdata::ReferenceTables> tables;
  std::unique_ptr<processor::MProcessIO> processor;
  std::unique_ptr<feed::MarketDataHandlers> handlers;

  // The market time boundary still to be passed (seconds after midnight), for --at and --every.
  bool started = false;  // a message has set the market time
  bool watching = false;
  bool done = false;  // the --at set is written: nothing more is applied
  uint32_t boundary = 0;
  market::MarketSnapshot before;  // the state before a message that may pass the boundary
  std::vector<std::string> setFolders;
  uint64_t consumed = 0;  // capture bytes cut so far

  uint32_t startTick = 0;
  uint32_t lastProgressTick = 0;
  bool progressShown = false;
};

int Replayer::Run::Prepare() {
  startTick = platform::TickCount();
  std::error_code ec;
  if (!fs::is_regular_file(options.capture, ec) ||
      (capture = std::fopen(options.capture.c_str(), "rb")) == nullptr) {
    return Fail("cannot read the capture " + options.capture);
  }
  captureSize = fs::file_size(options.capture, ec);
  if (ec) captureSize = 0;
  if (!fs::is_regular_file(options.ini, ec)) return Fail("cannot read the settings " + options.ini);

  report.tradingDate = CaptureDateFromName(options.capture);
  if (report.tradingDate == 0) {
    report.tradingDate = ScanForDate(capture);
    if (report.tradingDate == 0) {
      return Fail("no date in the name of " + options.capture +
                  " and no timestamped message in it");
    }
  }

  {
    std::lock_guard<std::mutex> lock(clock->mutex);
    clock->now = MakeLocalDateTime(report.tradingDate, 0);
  }
  previousClock = InstallLocalClock([state = clock] {
    std::lock_guard<std::mutex> lock(state->mutex);
    return state->now;
  });
  clockInstalled = true;
  log = std::make_unique<RunLogRedirect>(options.log);
  if (!log->Ok()) return Fail("cannot open the run log " + options.log);

  // The settings reader looks for a bare file name beside the executable; the user meant the
  // working folder.
  const std::string ini = fs::absolute(fs::path(options.ini), ec).string();
  if (ec || config.Load(ini) < 0) return Fail("cannot read the settings " + options.ini);
  // A capture exists only for a day that was worked: the calendar has no say.
  config.useholiday = true;

  out = fs::path(options.out);
  if (fs::exists(out, ec) && !fs::is_directory(out, ec)) {
    return Fail("the output " + options.out + " is not a folder");
  }
  if (!fs::exists(out, ec)) {
    if (!fs::create_directories(out, ec)) return Fail("cannot make the folder " + options.out);
    madeOut = true;
  }
  staging = out / kStagingName;
  fs::remove_all(staging, ec);
  if (!fs::create_directory(staging, ec)) {
    return Fail("cannot make the staging folder " + staging.string());
  }

  const std::array<const char*, processor::kDbfFiles> configured = processor::DbfPaths(config);
  char* const fields[processor::kDbfFiles] = {config.szl1,       config.Sjsxxdbf,
                                              config.hqdbf,      config.Sjszsdbf,
                                              config.Sjsphhqdbf, config.Sjszhhqdbf};
  for (size_t file = 0; file < processor::kDbfFiles; ++file) {
    names[file] = FileNamePart(configured[file]);
    if (names[file].empty()) {
      return Fail(std::string("the settings name no file for ") + configured[file]);
    }
  }
  for (size_t file = 0; file < processor::kDbfFiles; ++file) {
    const std::string path = (staging / names[file]).string();
    if (path.size() >= 255) return Fail("the staging path " + path + " is too long");
    std::snprintf(fields[file], 255, "%s", path.c_str());
  }

  tables = std::make_unique<refdata::ReferenceTables>();
  processor = std::make_unique<processor::MProcessIO>(*tables);
  processor->SetConfig(config);
  if (const int32_t rc = processor->Instance(); rc != 0) return Fail(StartUpFailure(rc));
  handlers = std::make_unique<feed::MarketDataHandlers>(processor->State(), report.counters.get());
  return 0;
}

std::string Replayer::Run::StartUpFailure(int32_t rc) {
  config::ConfigInfo expanded = config;
  const std::string folder = expanded.ExpandLoadFolder();
  const auto path = [&](const char* root) {
    return refdata::ReferenceFilePath(folder, root, report.tradingDate);
  };
  static constexpr const char* kRequired[] = {"stat", "indexinfo", "securities",
                                              "cashauctionparams"};
  bool any = false;
  for (const char* root : kRequired) any = any || platform::FileExists(path(root));
  const std::string day = std::to_string(report.tradingDate);
  if (!any && rc >= -3 && rc <= -1) return "no reference files for " + day + " in " + folder;
  std::vector<const char*> roots;
  if (rc == -1) roots = {"stat", "indexinfo"};
  if (rc == -2) roots = {"securities"};
  if (rc == -3) roots = {"cashauctionparams"};
  for (const char* root : roots) {
    if (!platform::FileExists(path(root))) return "missing reference file " + path(root);
  }
  if (!roots.empty()) {
    std::string files;
    for (const char* root : roots) files += (files.empty() ? "" : " or ") + path(root);
    return "cannot read the reference file " + files;
  }
  return "the start-up of " + day + " failed (" + std::to_string(rc) +
         "): the security information files could not be written in " + staging.string();
}

int Replayer::Run::FeedCapture() {
  if (std::fseek(capture, 0, SEEK_SET) != 0) return Fail("cannot read the capture");
  std::vector<uint8_t> buffer(kBlockBytes + kCaptureLookahead);
  size_t have = 0;
  bool end = false;
  while (failure == 0 && !done) {
    if (!end) {
      const size_t got = std::fread(buffer.data() + have, 1, buffer.size() - have, capture);
      if (std::ferror(capture) != 0) return Fail("cannot read the capture " + options.capture);
      have += got;
      report.bytesRead += got;
      end = got == 0 || std::feof(capture) != 0;
    }
    const size_t used = Feed(buffer.data(), have, end);
    if (end) break;
    std::memmove(buffer.data(), buffer.data() + used, have - used);
    have -= used;
    if (options.progress) Progress(false);
  }
  if (options.progress && progressShown) Progress(true);
  return failure;
}

void Replayer::Run::Progress(bool last) {
  const uint32_t now = platform::TickCount();
  if (!last && now - lastProgressTick < kProgressEveryMs) return;
  lastProgressTick = now;
  progressShown = true;
  char line[160];
  std::snprintf(line, sizeof line, "\rreplay: %.1f of %.1f MB, market time %s ",
                static_cast<double>(report.bytesRead) / 1e6, static_cast<double>(captureSize) / 1e6,
                TimeText(started ? processor->State().Clock().marketTime : -1).c_str());
  err << line << (last ? "\n" : "") << std::flush;
}

size_t Replayer::Run::Feed(const uint8_t* bytes, size_t n, bool final) {
  size_t at = 0;
  while (!done && failure == 0) {
    const size_t left = n - at;
    if (!final && left < kCaptureLookahead) break;
    const CaptureStep step = NextCaptureStep(bytes + at, left, final, report.counters.get());
    if (step.kind == CaptureStep::kNeedMore) {
      if (final) {
        report.tailOffset = consumed + at;
        report.tailBytes = left;
      }
      break;
    }
    if (step.kind == CaptureStep::kFrame) {
      Apply(bytes + at, step.length);
    } else if (step.reconnect) {
      ++report.reconnects;
    }
    at += step.consumed;
  }
  consumed += at;
  report.counters->AddBytes(at);
  return at;
}

void Replayer::Run::Apply(const uint8_t* frame, uint32_t length) {
  const uint32_t msgType = feed::LoadBigEndian32(frame);
  const uint8_t* body = frame + feed::kHeaderBytes;
  const uint32_t bodyLength = length - feed::kFrameOverhead;
  report.counters->AddFrame(msgType);
  const int64_t stamp = feed::MarketTimeStamp(msgType, body, bodyLength);
  if (stamp < 0) {
    handlers->Dispatch(msgType, body, bodyLength);
    return;
  }
  if (!started) {
    handlers->Dispatch(msgType, body, bodyLength);
    const int32_t marketTime = processor->State().Clock().marketTime;
    if (marketTime > 0) Started(marketTime);
    return;
  }
  if (!watching || SecondsOf(TimeOfStamp(stamp)) <= boundary) {
    handlers->Dispatch(msgType, body, bodyLength);
    return;
  }
  // The message may move the market time past the boundary: the set is the state before it, and
  // only the state after it tells whether it did.
  processor->State().TakeSnapshot(&before);
  handlers->Dispatch(msgType, body, bodyLength);
  const uint32_t now = SecondsOf(static_cast<uint32_t>(processor->State().Clock().marketTime));
  while (watching && now > boundary) {
    const std::string folder = options.every > 0 ? FolderOfTime(TimeOfSeconds(boundary)) : "";
    if (!WriteSet(before, folder)) return;
    if (options.haveAt) {
      report.lastMarketTime = before.clock.marketTime;
      done = true;
      watching = false;
    } else {
      boundary += options.every;
      watching = boundary < kSecondsPerDay;
    }
  }
}

void Replayer::Run::Started(int32_t marketTime) {
  started = true;
  report.firstMarketTime = marketTime;
  const uint32_t first = SecondsOf(static_cast<uint32_t>(marketTime));
  if (options.haveAt) {
    if (first > SecondsOf(options.at)) {
      Fail("--at " + TimeText(options.at) + " is before the first message (" +
           TimeText(marketTime) + ")");
      return;
    }
    boundary = SecondsOf(options.at);
    watching = true;
  } else if (options.every > 0) {
    // Boundaries before the first message would all show the day before it began.
    boundary = (first + options.every - 1) / options.every * options.every;
    watching = boundary < kSecondsPerDay;
  }
}

bool Replayer::Run::WriteSet(const market::MarketSnapshot& snapshot, const std::string& folder) {
  {
    std::lock_guard<std::mutex> lock(clock->mutex);
    clock->now =
        MakeLocalDateTime(report.tradingDate, static_cast<uint32_t>(snapshot.clock.marketTime));
  }
  fs::path where = staging;
  if (!folder.empty()) {
    where /= folder;
    std::error_code ec;
    fs::create_directory(where, ec);
    if (!fs::is_directory(where, ec)) {
      Fail("cannot make the folder " + where.string());
      return false;
    }
    setFolders.push_back(folder);
  }
  config::ConfigInfo setConfig = config;
  char* const fields[processor::kDbfFiles] = {setConfig.szl1,       setConfig.Sjsxxdbf,
                                              setConfig.hqdbf,      setConfig.Sjszsdbf,
                                              setConfig.Sjsphhqdbf, setConfig.Sjszhhqdbf};
  for (size_t file = 0; file < processor::kDbfFiles; ++file) {
    std::snprintf(fields[file], 255, "%s", (where / names[file]).string().c_str());
  }
  const processor::CycleFiles files =
      processor::WriteSixFiles(setConfig, *tables, snapshot, processor->State().Counts());
  for (size_t file = 0; file < processor::kDbfFiles; ++file) {
    if (files[file].result < 0) {
      Fail("cannot write " + std::string(fields[file]) + " (error " +
           std::to_string(files[file].result) + ")");
      return false;
    }
  }
  ++report.setsWritten;
  return true;
}

int Replayer::Run::Finish() {
  if (failure != 0) return failure;
  market::MarketState& state = processor->State();
  if (options.haveAt && !done) {
    if (!started) return Fail("no message of the capture sets the market time");
    return Fail("--at " + TimeText(options.at) + ": the market time never passes it (last " +
                TimeText(state.Clock().marketTime) + ")");
  }
  if (options.closing && !processor->LoadClosingData()) {
    config::ConfigInfo expanded = config;
    return Fail("cannot read the closing file " +
                refdata::ReferenceFilePath(expanded.ExpandLoadFolder(), "cashsecurityclosemd",
                                           report.tradingDate));
  }
  if (!options.haveAt && options.every == 0) {
    market::MarketSnapshot end;
    state.TakeSnapshot(&end);
    if (!WriteSet(end, "")) return failure;
  }
  if (started && !options.haveAt) report.lastMarketTime = state.Clock().marketTime;
  if (Commit() != 0) return failure;
  report.seconds = static_cast<double>(platform::TickCount() - startTick) / 1000.0;
  return 0;
}

int Replayer::Run::Commit() {
  std::vector<std::string> folders = setFolders;
  if (folders.empty() && options.every == 0) folders.push_back("");
  for (const std::string& folder : folders) {
    const fs::path from = folder.empty() ? staging : staging / folder;
    const fs::path to = folder.empty() ? out : out / folder;
    std::error_code ec;
    fs::create_directory(to, ec);
    for (const std::string& name : names) {
      if (!platform::ReplaceFile((from / name).string(), (to / name).string())) {
        return Fail("cannot move " + (from / name).string() + " to " + to.string());
      }
    }
  }
  std::error_code ec;
  fs::remove_all(staging, ec);
  committed = true;
  return 0;
}

Replayer::Replayer(ReplayOptions options, std::ostream& err)
    : run_(std::make_unique<Run>(std::move(options), err)) {}

Replayer::~Replayer() {
  Run& run = *run_;
  run.handlers.reset();
  run.processor.reset();
  run.tables.reset();
  if (!run.committed && !run.staging.empty()) {
    std::error_code ec;
    fs::remove_all(run.staging, ec);
    if (run.madeOut) fs::remove(run.out, ec);
  }
  if (run.capture != nullptr) std::fclose(run.capture);
  run.log.reset();
  if (run.clockInstalled) InstallLocalClock(std::move(run.previousClock));
}

int Replayer::Prepare() { return run_->Prepare(); }
int Replayer::FeedCapture() { return run_->FeedCapture(); }
size_t Replayer::Feed(const uint8_t* bytes, size_t n, bool final) {
  return run_->Feed(bytes, n, final);
}
int Replayer::Finish() { return run_->Finish(); }
const ReplayReport& Replayer::Report() const { return run_->report; }
ReplayReport Replayer::TakeReport() { return std::move(run_->report); }

int RunReplay(const ReplayOptions& options, std::ostream& err, ReplayReport* report) {
  Replayer replayer(options, err);
  int status = replayer.Prepare();
  if (status == 0) status = replayer.FeedCapture();
  if (status == 0) status = replayer.Finish();
  if (report != nullptr) *report = replayer.TakeReport();
  return status;
}

}  // namespace fw::tools
