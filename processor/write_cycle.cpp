#include "processor/write_cycle.h"

namespace fw::processor {

std::array<const char*, kDbfFiles> DbfPaths(const config::ConfigInfo& config) {
  return {config.szl1,     config.Sjsxxdbf,   config.hqdbf,
          config.Sjszsdbf, config.Sjsphhqdbf, config.Sjszhhqdbf};
}

int32_t WriteWholeFile(dbf::SecurityInfoFile& file, const char* path, const WholeFileInputs& in) {
  int32_t rc = file.Open(path);
  if (rc >= 0) rc = file.WriteFile(in.tables, in.snapshot.overlay, in.snapshot.clock);
  return rc;
}

int32_t WriteWholeFile(dbf::SZSjshqFile& hq, const char* path, const WholeFileInputs& in) {
  const int32_t rc = hq.Open(path);
  if (rc <= 0) return rc;
  const market::MarketSnapshot& s = in.snapshot;
  hq.WriteFirstRecord(s.clock, in.counts.indexInfo + in.counts.stat + in.counts.quoteSources);
  hq.WriteStockRows(s.stockQuotes, in.tables);
  hq.WriteStatisticsRows(s.stats);
  hq.WriteIndexRows(s.indexes);
  return hq.Flush();
}

int32_t WriteWholeFile(dbf::SZSjszsFile& zs, const char* path, const WholeFileInputs& in) {
  const int32_t rc = zs.Open(path);
  if (rc <= 0) return rc;
  zs.BeginRows(in.snapshot.clock, in.counts.indexInfo);
  zs.WriteIndexRows(in.snapshot.indexes4, in.tables.indexInfo);
  return zs.Flush();
}

namespace {

// The row estimate of the after-hours and negotiated-trading files.
uint32_t AfterHoursEstimate(const market::MarketCounts& counts) {
  return counts.indexInfo + counts.stat + counts.securities;
}

}  // namespace

int32_t WriteWholeFile(dbf::SZSjsphhqFile& phhq, const char* path, const WholeFileInputs& in) {
  const int32_t rc = phhq.Open(path);
  if (rc <= 0) return rc;
  const market::MarketSnapshot& s = in.snapshot;
  phhq.WriteFirstRecord(s.clock, AfterHoursEstimate(in.counts));
  phhq.WriteAfterHoursRows(s.afterHours, in.tables.securities);
  phhq.WriteStatisticsRows(s.stats);
  phhq.WriteIndexRows(s.indexes);
  return phhq.Flush();
}

int32_t WriteWholeFile(dbf::SZSjszhhqFile& zhhq, const char* path, const WholeFileInputs& in) {
  const int32_t rc = zhhq.Open(path);
  if (rc <= 0) return rc;
  zhhq.WriteFirstRecord(in.snapshot.clock, AfterHoursEstimate(in.counts));
  zhhq.WriteNegotiatedRows(in.snapshot.negotiated);
  return zhhq.Flush();
}

CycleFiles WriteSixFiles(const config::ConfigInfo& config, const refdata::ReferenceTables& tables,
                         const market::MarketSnapshot& s, const market::MarketCounts& counts) {
  const WholeFileInputs in{tables, s, counts};
  CycleFiles files;
  const auto note = [&files](DbfFile file, int32_t result, const dbf::DbfTable& table) {
    files[file] = {result, result >= 0 ? table.FlushedBytes() : 0, result >= 0};
  };
  {
    dbf::SZSjsxxnFile xxn;
    note(kSjsxxn, WriteWholeFile(xxn, config.szl1, in), xxn);
  }
  {
    dbf::SZSjsxxFile xx;
    note(kSjsxx, WriteWholeFile(xx, config.Sjsxxdbf, in), xx);
  }
  {
    dbf::SZSjshqFile hq(config.lostHighVol);
    const int32_t rc = WriteWholeFile(hq, config.hqdbf, in);
    hq.Abort();
    note(kSjshq, rc, hq);
  }
  {
    dbf::SZSjszsFile zs(config.lostHighVol);
    const int32_t rc = WriteWholeFile(zs, config.Sjszsdbf, in);
    zs.Close();
    note(kSjszs, rc, zs);
  }
  {
    dbf::SZSjsphhqFile phhq;
    const int32_t rc = WriteWholeFile(phhq, config.Sjsphhqdbf, in);
    phhq.Abort();
    note(kSjsphhq, rc, phhq);
  }
  {
    dbf::SZSjszhhqFile zhhq;
    const int32_t rc = WriteWholeFile(zhhq, config.Sjszhhqdbf, in);
    zhhq.Abort();
    note(kSjszhhq, rc, zhhq);
  }
  return files;
}

}  // namespace fw::processor
