// One write cycle's files: the six DBF files written from one snapshot of the market state, in
// the fixed order SJSXXN, SJSXX, SJSHQ, SJSZS, SJSPHHQ, SJSZHHQ, each by a fresh writer. A file
// that cannot be opened is skipped and the next one still written. This whole rewrite is the
// reference that the write thread's incremental cycle (incremental_writer.h) must equal byte for
// byte, and what that cycle does for a file it writes whole; the replay calls it for every set it
// writes.
//
// Runs on the caller's thread; reads only its arguments (the reference tables must not change
// meanwhile: the write thread holds the processor's day lock).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "config/config_info.h"
#include "dbf/sjshq_file.h"
#include "dbf/sjsphhq_file.h"
#include "dbf/sjsxx_file.h"
#include "dbf/sjszhhq_file.h"
#include "dbf/sjszs_file.h"
#include "market/market_snapshot.h"
#include "market/market_state.h"
#include "refdata/reference_tables.h"

namespace fw::processor {

// The six files in the order a cycle writes them.
enum DbfFile : size_t { kSjsxxn, kSjsxx, kSjshq, kSjszs, kSjsphhq, kSjszhhq, kDbfFiles };

// The configured path of each file, in DbfFile order.
std::array<const char*, kDbfFiles> DbfPaths(const config::ConfigInfo& config);

struct FileWrite {
  int32_t result = 0;  // the writer's: 0 or more written, negative the failed step's code
  uint64_t bytes = 0;  // bytes written to the file (0 when it was skipped or failed)
  bool whole = false;  // the whole file was written (else only what changed, or nothing)
};

using CycleFiles = std::array<FileWrite, kDbfFiles>;

// Writes the six files at their configured paths from `snapshot`, with the counts of the day's
// tables (row estimates). Local-clock cells take fw::LocalNow().
CycleFiles WriteSixFiles(const config::ConfigInfo& config, const refdata::ReferenceTables& tables,
                         const market::MarketSnapshot& snapshot,
                         const market::MarketCounts& counts);

// What WriteSixFiles does for each file, on a writer the caller owns: opens the file at `path`
// afresh (a new image), fills it from the snapshot and flushes it whole. The writer's result (0 or
// more written, else the failed step's negative code); a writer that failed has closed or aborted
// its table, one that succeeded keeps its image and its file open for the caller to close.
struct WholeFileInputs {
  const refdata::ReferenceTables& tables;
  const market::MarketSnapshot& snapshot;
  const market::MarketCounts& counts;
};
int32_t WriteWholeFile(dbf::SecurityInfoFile& file, const char* path, const WholeFileInputs& in);
int32_t WriteWholeFile(dbf::SZSjshqFile& hq, const char* path, const WholeFileInputs& in);
int32_t WriteWholeFile(dbf::SZSjszsFile& zs, const char* path, const WholeFileInputs& in);
int32_t WriteWholeFile(dbf::SZSjsphhqFile& phhq, const char* path, const WholeFileInputs& in);
int32_t WriteWholeFile(dbf::SZSjszhhqFile& zhhq, const char* path, const WholeFileInputs& in);

}  // namespace fw::processor
