// Layer processor/, above market/ and dbf/: the start-up of the trading day, the day reset, the
// write thread and its cycle, which drives the DBF writers from the market state.
//
// MProcessIO: the processor that owns the market state. It starts the trading day (the reference
// files read in a fixed order, the security information files written once, the tables built),
// falls back to uninitialised outside the trading window, and runs the write thread "FileIn" that
// rewrites the six DBF files every writeInterval milliseconds and loads the closing data after
// 15:01:00.
//
// Threads. Start-up runs on the control thread (first start) or the receive thread (each new day);
// the write cycle and the closing load run on the write thread; the handlers change the market
// state on the receive thread under the state's own lock. One more lock, the day lock, is held by
// start-up while it resets and loads the reference tables, by a write cycle while it reads them and
// by the closing load, so neither ever sees a day half started. Start-up takes it only when it has
// work to do, so an initialised processor never makes the receive thread wait for a write cycle.
//
// Lifetime: one per program (TheProcessor()); tests make their own. The configuration is a copy
// taken when the service starts.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "config/config_info.h"
#include "foundation/local_clock.h"
#include "foundation/loop_buffer.h"
#include "foundation/ms_clock.h"
#include "foundation/thread.h"
#include "market/market_snapshot.h"
#include "market/market_state.h"
#include "processor/incremental_writer.h"
#include "processor/write_cycle.h"
#include "refdata/reference_tables.h"

namespace fw::processor {

// Version printed at start-up: 1.04 (kept as hundredths), B010, Build B0021.
constexpr int kVersionHundredths = 104;
constexpr int kVersionBuild = 10;
constexpr int kVersionBuildNumber = 21;

constexpr int32_t kStartUpHoliday = -1000;

// One write cycle as it is reported to the cycle observer.
struct CycleReport {
  LocalDateTime start;      // local time the cycle began
  uint32_t durationMs = 0;  // the snapshot and the six files
  CycleFiles files;         // each file's result and bytes written
};

// The settings of the write thread that are not configured. Tests shorten the pauses; the product
// keeps these values.
struct WriterTimings {
  uint32_t outsideWindowSleepMs = 1000;  // pause of a pass outside the trading window
  uint32_t stopTimeoutMs = 5000;         // StopWriter's wait
  uint32_t closingAfterTime = 150100;    // HHMMSS after which the closing file is tried
  uint32_t failurePauseMs = 1000;        // pause after a pass that threw
  // Load runs: after every cycle that wrote, one level-0 line "write cycle %u ms, receive thread
  // waited at most %llu us, %llu updates applied" (the cycle's duration, the handlers' longest wait
  // for the market state since the previous line, the records they stored so far), and one
  // "write cycle wrote %llu bytes: SJSXXN %llu, SJSXX %llu, SJSHQ %llu, SJSZS %llu, SJSPHHQ %llu,
  // SJSZHHQ %llu" with " whole" after each file written whole. Off in the product, whose log it
  // would fill.
  bool reportCycles = false;
  // The longest time a DBF file goes without being rewritten whole (see IncrementalWriter).
  uint32_t wholeRewriteIntervalMs = IncrementalWriter::kWholeIntervalMs;
  // The write thread's millisecond tick counter and its pauses; empty: the system's counter, and a
  // wait that a stop request ends at once. Tests run the thread in simulated time.
  std::function<uint32_t()> tickCount;
  std::function<void(uint32_t ms)> pause;
};

class MProcessIO {
 public:
  explicit MProcessIO(refdata::ReferenceTables& tables);
  ~MProcessIO();
  MProcessIO(const MProcessIO&) = delete;
  MProcessIO& operator=(const MProcessIO&) = delete;

  // Wiring, before the service starts.
  void SetConfig(const config::ConfigInfo& config);
  // The decoder's byte ring, emptied by every start-up (may be null).
  void SetFeedRing(MLoopBufferMt* ring);
  // Closes the raw capture file; the write thread calls it once a second outside the window.
  void SetCaptureCloser(std::function<void()> closeCapture);
  void SetWriterTimings(const WriterTimings& timings);
  // Told of every write cycle that ran, on the thread that ran it, after the files were written
  // and outside the day lock (empty: nobody). Any thread may change it; once the change has
  // returned, the old observer is not called again (it is called under the observer's own lock,
  // so it must not call back into this object).
  void SetCycleObserver(std::function<void(const CycleReport&)> observer);

  market::MarketState& State() { return state_; }
  refdata::ReferenceTables& Tables() { return tables_; }

  // Start-up of the trading day: 0 (ready, or already initialised), -1000 (a holiday), -1 (stat or
  // indexinfo failed to load), -2 (securities), -3 (cash auction parameters), -4 (an SJSXXN or
  // SJSXX file could not be created), -5 (writing SJSXX or SJSXXN failed).
  int32_t Instance();
  // Called by the receive thread at the top of each pass for its effect: outside the trading
  // window the processor falls back to uninitialised. Returns Initialized.
  int32_t IsInitialized();
  // Empties the day's reference tables and every market table; Initialized becomes 0.
  void Reset();

  // The write thread "FileIn": 1, or -3 when it cannot be started (the writer is stopped again).
  // A pass of its loop that throws is logged at level 2, "<MProcessIO>线程[FileIn]异常: text",
  // and the loop goes on after failurePauseMs.
  int32_t StartWriter();
  // Asks the write thread to end and waits for it (5000 ms at most).
  void StopWriter();

  // One write cycle: nothing unless initialised; otherwise SJSXXN, SJSXX, SJSHQ, SJSZS, SJSPHHQ
  // and SJSZHHQ, in this order, from one snapshot of the state, each written whole or only where
  // it changed (IncrementalWriter). A file that cannot be opened is skipped and the next one still
  // written.
  void WriteAll();
  // The closing-data step of the write thread: loads the day's closing file once, into a built
  // day only (it waits for a start-up in progress and does nothing while uninitialised); true when
  // this call loaded it.
  bool LoadClosingData();

  // Write cycles that ran while initialised, since construction (tests and the soak report).
  int32_t CyclesWritten() const { return cyclesWritten_.load(); }
  // What the last cycle's writes returned and wrote; the thread that ran WriteAll.
  const CycleFiles& LastCycleFiles() const { return lastCycle_; }

 private:
  int32_t StartUpLocked(config::ConfigInfo& config);
  void ReportCycle(uint32_t ms);
  void NoteFileResult(int file, const char* path, int32_t rc);
  void ResetLocked();
  void WriterLoop();
  void WriterPass(MsClock& sinceCycle);
  uint32_t WriterTick() const;
  void WriterPause(uint32_t ms) const;
  config::ConfigInfo ConfigCopy() const;

  refdata::ReferenceTables& tables_;
  market::MarketState state_;

  mutable std::mutex configMutex_;
  config::ConfigInfo config_;  // guarded by configMutex_
  MLoopBufferMt* ring_ = nullptr;
  std::function<void()> closeCapture_;
  std::mutex observerMutex_;
  std::function<void(const CycleReport&)> cycleObserver_;  // guarded by observerMutex_
  WriterTimings timings_;

  // Held by start-up while it resets and loads, by a write cycle while it reads the tables, and by
  // the closing load while it applies the closing file.
  std::mutex dayMutex_;
  // Write thread only, under dayMutex_: the snapshot kept up to date from cycle to cycle and what
  // its last refresh changed, the files' images, and what the last cycle wrote.
  market::MarketSnapshot snapshot_;
  market::SnapshotChanges changes_;
  IncrementalWriter files_;
  CycleFiles lastCycle_{};
  bool cycleUnfinished_ = false;      // a cycle began and has not ended (it threw)
  bool fileFailing_[kDbfFiles] = {};  // whose last write failed; write thread only

  MThread writer_;
  std::atomic<int32_t> cyclesWritten_{0};
};

// The program's processor, over the process-wide reference tables.
MProcessIO& TheProcessor();

}  // namespace fw::processor
