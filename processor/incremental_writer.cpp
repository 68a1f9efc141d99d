#include "processor/incremental_writer.h"

#include <type_traits>

namespace fw::processor {
namespace {

// One file's writer, whose image the next cycle starts from, and what the last cycle left.
template <typename Writer>
struct KeptFile {
  std::unique_ptr<Writer> writer;
  std::string path;           // where the image was written
  platform::FileStamp stamp;  // of the file as the last cycle left it
  uint32_t wholeAtMs = 0;     // tick of the last whole write
  bool reusable = false;      // the file holds the image, and each row sits where the writer knows
};

template <typename Writer>
bool EveryRowPlaced(const Writer& writer) {
  if constexpr (std::is_base_of_v<dbf::RowFile, Writer>) {
    return writer.EveryRowPlaced();
  } else {
    return true;  // the security information files place each row at a record of its own
  }
}

// One file of the cycle: whole when it must be, else the records `rewrite(writer)` changed.
// `file` staggers the rewrites that the interval forces: after a whole write for any other
// reason, file k is next due k sixths of the interval early, so that the six do not all come due
// in the same cycle.
template <typename Writer, typename Make, typename Rewrite>
FileWrite WriteKept(KeptFile<Writer>& kept, DbfFile file, const char* path, bool wholeNow,
                    uint32_t nowMs, uint32_t wholeIntervalMs, const WholeFileInputs& in, Make make,
                    Rewrite rewrite) {
  const std::string target(path);
  const bool usable = !wholeNow && kept.reusable && kept.path == target;
  const bool due = nowMs - kept.wholeAtMs >= wholeIntervalMs;
  bool whole = !usable || due;
  int32_t rc = 0;
  if (!whole) {
    rc = kept.writer->ReopenFile(target);
    if (rc < 0) {
      kept.reusable = false;
      return {rc, 0, false};
    }
    // Someone else wrote to, cut, replaced or deleted the file: the image no longer tells what it
    // holds.
    platform::FileStamp found;
    whole = !platform::ReadFileStamp(target, &found) || !(found == kept.stamp);
  }
  kept.reusable = false;
  if (whole) {
    if (kept.writer == nullptr) kept.writer = make();
    rc = WriteWholeFile(*kept.writer, path, in);
  } else {
    rewrite(*kept.writer);
    rc = kept.writer->FlushChanges();
  }
  Writer& writer = *kept.writer;
  const FileWrite result{rc, rc >= 0 ? writer.FlushedBytes() : 0, whole && rc >= 0};
  if (rc < 0 || !writer.HasImage()) {
    writer.Close();
    return result;
  }
  writer.CloseFile();
  kept.path = target;
  if (whole) {
    const auto early = static_cast<uint32_t>(uint64_t{wholeIntervalMs} * file / kDbfFiles);
    kept.wholeAtMs = due && usable ? nowMs : nowMs - early;
  }
  // Taken after the close: a system may set the modification time only then.
  kept.reusable = EveryRowPlaced(writer) && platform::ReadFileStamp(target, &kept.stamp);
  return result;
}

}  // namespace

struct IncrementalWriter::Files {
  KeptFile<dbf::SZSjsxxnFile> xxn;
  KeptFile<dbf::SZSjsxxFile> xx;
  KeptFile<dbf::SZSjshqFile> hq;
  KeptFile<dbf::SZSjszsFile> zs;
  KeptFile<dbf::SZSjsphhqFile> phhq;
  KeptFile<dbf::SZSjszhhqFile> zhhq;
  bool lostHighVol = false;  // of the quote and index writers
};

IncrementalWriter::IncrementalWriter() : files_(std::make_unique<Files>()) {}

IncrementalWriter::~IncrementalWriter() = default;

void IncrementalWriter::Drop() { files_ = std::make_unique<Files>(); }

CycleFiles IncrementalWriter::Write(const config::ConfigInfo& config,
                                    const refdata::ReferenceTables& tables,
                                    const market::MarketSnapshot& s,
                                    const market::SnapshotChanges& changes,
                                    const market::MarketCounts& counts, uint32_t nowMs) {
  if (files_->lostHighVol != config.lostHighVol) {
    // The quote and index writers take the setting when they are made.
    Drop();
    files_->lostHighVol = config.lostHighVol;
  }
  Files& f = *files_;
  const WholeFileInputs in{tables, s, counts};
  const bool whole = changes.whole;
  const uint32_t interval = wholeIntervalMs_;
  const bool lostHighVol = config.lostHighVol;
  CycleFiles files;

  const auto rewriteSecurityInfo = [&](dbf::SecurityInfoFile& w) {
    w.MoveLocalTime();
    w.RewriteFirstRecord(s.clock);
    for (const uint32_t code : changes.overlayCodes) w.RewriteFeedRow(code, tables, s.overlay);
  };
  files[kSjsxxn] = WriteKept(
      f.xxn, kSjsxxn, config.szl1, whole, nowMs, interval, in,
      [] { return std::make_unique<dbf::SZSjsxxnFile>(); }, rewriteSecurityInfo);
  files[kSjsxx] = WriteKept(
      f.xx, kSjsxx, config.Sjsxxdbf, whole, nowMs, interval, in,
      [] { return std::make_unique<dbf::SZSjsxxFile>(); }, rewriteSecurityInfo);

  files[kSjshq] = WriteKept(
      f.hq, kSjshq, config.hqdbf, whole, nowMs, interval, in,
      [&] { return std::make_unique<dbf::SZSjshqFile>(lostHighVol); },
      [&](dbf::SZSjshqFile& hq) {
        hq.RewriteFirstRecord(s.clock);
        for (const uint32_t row : changes.stockRows) {
          hq.RewriteStockRow(row, s.stockQuotes[row], tables);
        }
        for (const uint32_t row : changes.statRows) hq.RewriteStatisticsRow(row, s.stats[row]);
        for (const uint32_t row : changes.indexRows) hq.RewriteIndexRow(row, s.indexes[row]);
      });

  files[kSjszs] = WriteKept(
      f.zs, kSjszs, config.Sjszsdbf, whole, nowMs, interval, in,
      [&] { return std::make_unique<dbf::SZSjszsFile>(lostHighVol); },
      [&](dbf::SZSjszsFile& zs) {
        for (const uint32_t row : changes.index4Rows) {
          zs.RewriteIndexRow(row, s.indexes4[row], tables.indexInfo);
        }
      });

  files[kSjsphhq] = WriteKept(
      f.phhq, kSjsphhq, config.Sjsphhqdbf, whole, nowMs, interval, in,
      [] { return std::make_unique<dbf::SZSjsphhqFile>(); },
      [&](dbf::SZSjsphhqFile& phhq) {
        phhq.MoveLocalTime();
        phhq.RewriteFirstRecord(s.clock);
        for (const uint32_t row : changes.afterHoursRows) {
          phhq.RewriteAfterHoursRow(row, s.afterHours[row], tables.securities);
        }
        for (const uint32_t row : changes.statRows) phhq.RewriteStatisticsRow(row, s.stats[row]);
        for (const uint32_t row : changes.indexRows) phhq.RewriteIndexRow(row, s.indexes[row]);
      });

  files[kSjszhhq] = WriteKept(
      f.zhhq, kSjszhhq, config.Sjszhhqdbf, whole, nowMs, interval, in,
      [] { return std::make_unique<dbf::SZSjszhhqFile>(); },
      [&](dbf::SZSjszhhqFile& zhhq) {
        zhhq.MoveLocalClock();
        zhhq.RewriteFirstRecord(s.clock);
        for (const uint32_t position : changes.negotiatedPositions) {
          if (position < changes.negotiatedFrom) zhhq.RewriteNegotiatedRow(position, s.negotiated);
        }
        if (changes.negotiatedFrom != market::SnapshotChanges::kNoShift) {
          zhhq.RewriteNegotiatedRowsFrom(changes.negotiatedFrom, s.negotiated);
        }
      });
  return files;
}

}  // namespace fw::processor
