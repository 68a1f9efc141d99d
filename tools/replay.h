// fenwright-replay: the six DBF files of a captured day rebuilt offline. The capture
// (binaryData_<YYYYMMDD>.dat, every byte the gateway sent) and the day's reference files determine
// the six files at any moment of the day; the replay runs the service's own start-up (the
// processor's), its handlers and its write of one cycle over the capture's bytes, as fast as the
// machine allows: no socket, no thread, no wait, no wall clock. The cells a live run takes from
// the machine's clock take the trading date and the written set's market time, so two replays of
// one capture give the same bytes.
//
// What it writes, into the output folder under the configured file names: the set at the end of
// the capture (with the closing file applied after the last message, as a live run does after
// 15:01:00, when asked); or the set as it stood when the market time first passed a given time;
// or a set every N seconds of market time, each in a folder named by its boundary (HHMMSS). All of
// it is built in a staging folder inside the output folder and moved into place only when the
// whole run succeeded.
//
// One run at a time per process: it installs the process's local clock and redirects the run log
// for its duration. Runs on the caller's thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <iosfwd>
#include <memory>
#include <string>
#include <vector>

#include "feed/feed_counters.h"

namespace fw::tools {

struct ReplayOptions {
  std::string capture;    // the capture file
  std::string ini;        // the settings, read as the service reads them
  std::string out;        // the output folder (made when missing)
  bool haveAt = false;    // --at: the set as it stood when the market time first passed `at`
  uint32_t at = 0;        // HHMMSS
  uint32_t every = 0;     // --every: a set every N seconds of market time (0: off)
  bool closing = false;   // --closing: the closing file applied after the last message
  std::string log;        // the run log's file; empty: no run log at all
  bool progress = false;  // a progress line on the error stream while it runs
};

// What a run did, for its summary line.
struct ReplayReport {
  uint32_t tradingDate = 0;  // YYYYMMDD
  uint64_t bytesRead = 0;
  uint64_t reconnects = 0;       // unfinished frames dropped at a new connection's Logon
  uint64_t tailOffset = 0;       // where the unfinished frame at the end of the capture starts
  uint64_t tailBytes = 0;        // its bytes (0: the capture ends on a frame boundary)
  int32_t firstMarketTime = -1;  // HHMMSS; -1 while no message has set it
  int32_t lastMarketTime = -1;
  uint32_t setsWritten = 0;
  double seconds = 0;  // elapsed
  std::unique_ptr<feed::FeedCounters> counters = std::make_unique<feed::FeedCounters>();
};

// The whole run: 0 on success; 2 with one line on `err` for any failure, nothing left in the
// output folder. `report` (optional) receives the figures.
int RunReplay(const ReplayOptions& options, std::ostream& err, ReplayReport* report);

// The program: arguments without the program's name. The summary line on `out`, the progress line
// and every complaint on `err`; a usage error is one line naming the bad argument. Returns the exit
// status (0, or 2 for a usage error or a failed run).
int RunReplayProgram(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

// The summary line without its line end.
std::string FormatReplaySummary(const ReplayOptions& options, const ReplayReport& report);

// The trading date in a capture file's name (binaryData_YYYYMMDD.dat, any folder), or 0.
uint32_t CaptureDateFromName(const std::string& path);

// One replay, step by step: RunReplay is Prepare, FeedCapture and Finish. The benchmark calls the
// steps itself, to measure the feeding of the same bytes from the file and from memory.
class Replayer {
 public:
  Replayer(ReplayOptions options, std::ostream& err);
  // Puts back the clock and the run log; removes the staging folder (and an output folder it made)
  // unless Finish succeeded.
  ~Replayer();
  Replayer(const Replayer&) = delete;
  Replayer& operator=(const Replayer&) = delete;

  // Checks the inputs, finds the trading date, makes the staging folder, installs the replay's
  // clock and run log, reads the settings and runs the processor's start-up of the day. 0, or 2
  // after one line on the error stream.
  int Prepare();
  // Applies the capture file from its first byte, read in blocks. 0, or 2.
  int FeedCapture();
  // Cuts and applies the frames of `bytes`; returns how many it consumed (the rest is an
  // unfinished frame, to be given again with the bytes that follow; unless `final`, n must be at
  // least kCaptureLookahead). Stops consuming once the --at set is written.
  size_t Feed(const uint8_t* bytes, size_t n, bool final);
  // The closing file when asked, the set at the end, the files moved into place. 0, or 2.
  int Finish();

  const ReplayReport& Report() const;
  // The figures, moved out (after Finish).
  ReplayReport TakeReport();

 private:
  struct Run;
  std::unique_ptr<Run> run_;
};

}  // namespace fw::tools
