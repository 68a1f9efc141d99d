// IncrementalWriter: the write thread's cycle over the six DBF files, which keeps each file's image
// from one cycle to the next and writes only what changed. Between two cycles most records of the
// market do not change; rewriting all of them costs the disk most of its time on the old machines
// beside the legacy readers, and every byte rewritten is a byte a reader can catch mid-write.
//
// A cycle formats record 0 of each file (market time, local time), the rows whose snapshot rows
// changed (SnapshotChanges), and the local-clock cell every row of SJSXXN, SJSPHHQ and SJSZHHQ
// carries when its value moved; each record so formatted is compared with what the file holds, and
// only the records that differ, then the header when it changed, are written, the file cut when its
// length changed and flushed. A file is written whole instead (by the same steps as WriteSixFiles)
// at the first cycle, after the tables were built again, after a failed write, when its path or
// the settings its rows depend on changed, when someone else changed, cut, replaced or deleted it
// (its size, modification time or identity is not what the last cycle left), and at least once
// every wholeIntervalMs (the six staggered across the interval, so that they do not all come due
// in one cycle). Either way the file holds exactly what WriteSixFiles writes for the same
// snapshot and clock.
//
// Thread: the write thread, under the processor's day lock (the reference tables do not change
// during a cycle). Lifetime: the processor's; Drop forgets every image (stop, start-up).
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "config/config_info.h"
#include "foundation/platform/platform.h"
#include "market/market_snapshot.h"
#include "market/market_state.h"
#include "processor/write_cycle.h"
#include "refdata/reference_tables.h"

namespace fw::processor {

class IncrementalWriter {
 public:
  static constexpr uint32_t kWholeIntervalMs = 60000;

  IncrementalWriter();
  ~IncrementalWriter();
  IncrementalWriter(const IncrementalWriter&) = delete;
  IncrementalWriter& operator=(const IncrementalWriter&) = delete;

  // The longest time a file goes without a whole rewrite.
  void SetWholeInterval(uint32_t ms) { wholeIntervalMs_ = ms; }

  // One cycle from `snapshot`, which RefreshSnapshot brought up to date with `changes`, at the
  // millisecond tick `nowMs`. What each file's write returned and the bytes written to it.
  CycleFiles Write(const config::ConfigInfo& config, const refdata::ReferenceTables& tables,
                   const market::MarketSnapshot& snapshot, const market::SnapshotChanges& changes,
                   const market::MarketCounts& counts, uint32_t nowMs);

  // Forgets every image and frees it: the next cycle writes each file whole.
  void Drop();

 private:
  struct Files;
  std::unique_ptr<Files> files_;
  uint32_t wholeIntervalMs_ = kWholeIntervalMs;
};

}  // namespace fw::processor
