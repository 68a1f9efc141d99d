#include "processor/write_cycle.h"

#include "dbf/sjshq_file.h"
#include "dbf/sjsphhq_file.h"
#include "dbf/sjsxx_file.h"
#include "dbf/sjszhhq_file.h"
#include "dbf/sjszs_file.h"

namespace fw::processor {

std::array<const char*, kDbfFiles> DbfPaths(const config::ConfigInfo& config) {
  return {config.szl1,     config.Sjsxxdbf,   config.hqdbf,
          config.Sjszsdbf, config.Sjsphhqdbf, config.Sjszhhqdbf};
}

CycleFiles WriteSixFiles(const config::ConfigInfo& config, const refdata::ReferenceTables& tables,
                         const market::MarketSnapshot& s, const market::MarketCounts& counts) {
  CycleFiles files;
  const auto note = [&files](DbfFile file, int32_t result, const dbf::DbfTable& table) {
    files[file] = {result, result >= 0 ? table.FlushedBytes() : 0};
  };
  {
    dbf::SZSjsxxnFile xxn;
    int32_t rc = xxn.Open(config.szl1);
    if (rc >= 0) rc = xxn.WriteFile(tables, s.overlay, s.clock);
    note(kSjsxxn, rc, xxn);
  }
  {
    dbf::SZSjsxxFile xx;
    int32_t rc = xx.Open(config.Sjsxxdbf);
    if (rc >= 0) rc = xx.WriteFile(tables, s.overlay, s.clock);
    note(kSjsxx, rc, xx);
  }
  {
    dbf::SZSjshqFile hq(config.lostHighVol);
    int32_t rc = hq.Open(config.hqdbf);
    if (rc > 0) {
      hq.WriteFirstRecord(s.clock, counts.indexInfo + counts.stat + counts.quoteSources);
      hq.WriteStockRows(s.stockQuotes, tables);
      hq.WriteStatisticsRows(s.stats);
      hq.WriteIndexRows(s.indexes);
      rc = hq.Flush();
      hq.Abort();
    }
    note(kSjshq, rc, hq);
  }
  {
    dbf::SZSjszsFile zs(config.lostHighVol);
    int32_t rc = zs.Open(config.Sjszsdbf);
    if (rc > 0) {
      zs.BeginRows(s.clock, counts.indexInfo);
      zs.WriteIndexRows(s.indexes4, tables.indexInfo);
      rc = zs.Flush();
      zs.Close();
    }
    note(kSjszs, rc, zs);
  }
  const uint32_t estimate = counts.indexInfo + counts.stat + counts.securities;
  {
    dbf::SZSjsphhqFile phhq;
    int32_t rc = phhq.Open(config.Sjsphhqdbf);
    if (rc > 0) {
      phhq.WriteFirstRecord(s.clock, estimate);
      phhq.WriteAfterHoursRows(s.afterHours, tables.securities);
      phhq.WriteStatisticsRows(s.stats);
      phhq.WriteIndexRows(s.indexes);
      rc = phhq.Flush();
      phhq.Abort();
    }
    note(kSjsphhq, rc, phhq);
  }
  {
    dbf::SZSjszhhqFile zhhq;
    int32_t rc = zhhq.Open(config.Sjszhhqdbf);
    if (rc > 0) {
      zhhq.WriteFirstRecord(s.clock, estimate);
      zhhq.WriteNegotiatedRows(s.negotiated);
      rc = zhhq.Flush();
      zhhq.Abort();
    }
    note(kSjszhhq, rc, zhhq);
  }
  return files;
}

}  // namespace fw::processor
