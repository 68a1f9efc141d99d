// One SJSHQ write for 20,000 securities (fill and flush, as one write cycle does it) beside its
// floor, a plain rewrite of a file of the same size with the same steps (open, seek, one write,
// cut, flush to disk, close), and beside shapelib writing the same 35-field table and then flushed
// to disk the same way. Real time: the flush to disk is most of the cost.
#include <benchmark/benchmark.h>

#include <cstring>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "dbf/sjshq_file.h"
#include "foundation/platform/platform.h"

#ifdef FW_HAVE_SHAPELIB
#include <shapefil.h>
#endif

namespace {

using namespace fw;

constexpr int kSecurities = 20000;

// A trading day's worth of quotes: securities of several types with full books.
struct Day {
  refdata::ReferenceTables tables;
  std::vector<market::StockQuoteRecord> quotes;
  market::MarketClock clock{20260305, 143005, 0, '1', '0', '1', '0'};

  Day() {
    std::mt19937_64 random(20260305);
    const int16_t types[] = {1, 1, 1, 2, 5, 14, 25, 3};
    quotes.reserve(kSecurities);
    for (int i = 0; i < kSecurities; ++i) {
      char code[9];
      std::snprintf(code, sizeof code, "%06d  ", i + 1);
      refdata::SecurityRecord* s = tables.securities.Find(code, true);
      s->SecurityType = types[i % 8];
      s->NAV = 1.2345 + static_cast<double>(i) * 0.0001;
      s->Interest = 2.5f;
      s->ParValue = i % 2 == 0 ? 100.0 : 1.0;

      market::StockQuoteRecord q{};
      std::memcpy(q.code, code, 6);
      std::memcpy(q.name, "\xc6\xbd\xb0\xb2\xd2\xf8\xd0\xd0", 8);
      const int64_t price = 1000 + static_cast<int64_t>(random() % 300000);
      q.prevClose = price;
      q.open = price + 10;
      q.last = price + 20;
      q.volume = static_cast<int64_t>(random() % 2000000000);
      q.turnover = q.volume * price;
      q.trades = static_cast<int64_t>(random() % 500000);
      q.high = price + 100;
      q.low = i % 50 == 0 ? 0 : price - 100;
      q.indicator1 = static_cast<int64_t>(random() % 100000);
      q.indicator2 = static_cast<int64_t>(random() % 1000000);
      q.change1 = 20;
      q.change2 = -35;
      for (int level = 0; level < 5; ++level) {
        q.askPrice[level] = price + 10 * (level + 1);
        q.askVolume[level] = static_cast<int64_t>(random() % 10000000);
        q.bidPrice[level] = price - 10 * (level + 1);
        q.bidVolume[level] = static_cast<int64_t>(random() % 10000000);
      }
      quotes.push_back(q);
    }
  }
};

const Day& TheDay() {
  static const Day* day = new Day;
  return *day;
}

std::string BenchPath(const char* name) {
  const auto folder = std::filesystem::temp_directory_path() / "fenwright-bench-dbf";
  std::filesystem::create_directories(folder);
  return (folder / name).string();
}

void BM_SjshqWrite(benchmark::State& state) {
  const Day& day = TheDay();
  const std::string path = BenchPath("SJSHQ.DBF");
  for (auto _ : state) {
    dbf::SZSjshqFile file(false);
    file.Open(path);
    file.WriteFirstRecord(day.clock, kSecurities);
    file.WriteStockRows(day.quotes, day.tables);
    if (file.Flush() != 1) state.SkipWithError("flush failed");
    file.Abort();
  }
  state.SetBytesProcessed(state.iterations() * (1153 + 352 * (kSecurities + 1)));
}
BENCHMARK(BM_SjshqWrite)->Unit(benchmark::kMillisecond)->UseRealTime();

// The formatting alone: the same cycle without the rewrite of the file.
void BM_SjshqFillOnly(benchmark::State& state) {
  const Day& day = TheDay();
  const std::string path = BenchPath("SJSHQ-fill.DBF");
  for (auto _ : state) {
    dbf::SZSjshqFile file(false);
    file.Open(path);
    file.WriteFirstRecord(day.clock, kSecurities);
    file.WriteStockRows(day.quotes, day.tables);
    file.Close();
  }
}
BENCHMARK(BM_SjshqFillOnly)->Unit(benchmark::kMillisecond)->UseRealTime();

// The floor: the same number of bytes through the same file steps.
void BM_PlainWriteSameSize(benchmark::State& state) {
  const std::string path = BenchPath("PLAIN.DBF");
  const std::string bytes(1153 + 352 * (kSecurities + 1), ' ');
  for (auto _ : state) {
    platform::SharedFile file;
    if (file.OpenExisting(path) < 0) file.Create(path, false);
    file.SeekTo(0);
    if (file.Write(bytes.data(), static_cast<uint32_t>(bytes.size())) < 0)
      state.SkipWithError("write failed");
    file.SetEnd();
    file.FlushToDisk();
    file.Close();
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(bytes.size()));
}
BENCHMARK(BM_PlainWriteSameSize)->Unit(benchmark::kMillisecond)->UseRealTime();

#ifdef FW_HAVE_SHAPELIB
// shapelib writing the same table record by record, then the same flush to disk.
void BM_ShapelibSameTable(benchmark::State& state) {
  const Day& day = TheDay();
  const std::string path = BenchPath("SHAPELIB.DBF");
  for (auto _ : state) {
    DBFHandle dbf = DBFCreateEx(path.c_str(), "LDID/77");
    if (dbf == nullptr) {
      state.SkipWithError("DBFCreate failed");
      break;
    }
    for (const dbf::FieldSpec& f : dbf::sjshq::kFields) {
      DBFAddField(dbf, f.name, f.type == 'C' ? FTString : FTDouble, f.length, f.decimals);
    }
    char date[9];
    std::snprintf(date, sizeof date, "%08d", day.clock.marketDate);
    DBFWriteStringAttribute(dbf, 0, 0, "000000");
    DBFWriteStringAttribute(dbf, 0, 1, date);
    for (int field = 2; field < 35; ++field) DBFWriteDoubleAttribute(dbf, 0, field, 0.0);
    int row = 1;
    for (const market::StockQuoteRecord& q : day.quotes) {
      char code[7] = {};
      char name[9] = {};
      std::memcpy(code, q.code, 6);
      std::memcpy(name, q.name, 8);
      DBFWriteStringAttribute(dbf, row, 0, code);
      DBFWriteStringAttribute(dbf, row, 1, name);
      const auto price = [](int64_t v) { return static_cast<double>(v) * 0.001; };
      const double values[] = {price(q.prevClose),
                               price(q.open),
                               price(q.last),
                               static_cast<double>(q.volume),
                               price(q.turnover),
                               static_cast<double>(q.trades),
                               price(q.high),
                               q.low == 0 ? 99999.999 : price(q.low),
                               static_cast<double>(q.indicator1) * 0.01,
                               static_cast<double>(q.indicator2) * 0.0001,
                               price(q.change1),
                               price(q.change2),
                               0.0};
      int field = 2;
      for (double v : values) DBFWriteDoubleAttribute(dbf, row, field++, v);
      for (int level = 5; level >= 1; --level) {
        DBFWriteDoubleAttribute(dbf, row, field++, price(q.askPrice[level - 1]));
        DBFWriteDoubleAttribute(dbf, row, field++, static_cast<double>(q.askVolume[level - 1]));
      }
      for (int level = 1; level <= 5; ++level) {
        DBFWriteDoubleAttribute(dbf, row, field++, price(q.bidPrice[level - 1]));
        DBFWriteDoubleAttribute(dbf, row, field++, static_cast<double>(q.bidVolume[level - 1]));
      }
      ++row;
    }
    DBFClose(dbf);
    platform::SharedFile file;
    file.OpenExisting(path);
    file.FlushToDisk();
    file.Close();
  }
}
BENCHMARK(BM_ShapelibSameTable)->Unit(benchmark::kMillisecond)->UseRealTime();
#endif

}  // namespace

BENCHMARK_MAIN();
