// Arbitrary bytes through the decoder and the market data handlers into a market state built from
// a generated day of 300 securities. The first byte picks the mode:
//   bit 0 clear: the rest is the received stream, handed to Process in blocks of fuzzer-chosen
//   size; bit 0 set:   the rest is a list of messages (type selector u8, body length u16
//   big-endian, body),
//                each framed with a correct checksum, so that the fuzzer reaches the bodies instead
//                of the checksum test;
//   bit 1:       the closing data has been loaded before the messages arrive.
// Every input starts from the same freshly built state, so that a finding reproduces alone. After
// the messages, a snapshot is taken and the rows' codes and names must be those of the build.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "feed/feed_format.h"
#include "feed/market_data_decoder.h"
#include "feed/market_data_handlers.h"
#include "foundation/run_log.h"
#include "market/market_state.h"
#include "refdata/reference_tables.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

template <size_t N>
void SetText(char (&field)[N], const char* text) {
  std::memset(field, 0, N);
  std::memcpy(field, text, std::min(N, std::strlen(text)));
}

// 300 securities 000001, 000004, … (every 50th of SecurityType 29, the next of 30), issue, rights
// and bond parameters below, between and above them (one shared with a security), three indexes
// and three statistics.
fw::refdata::ReferenceTables GeneratedDay() {
  fw::refdata::ReferenceTables t;
  char id[16];
  for (int i = 0; i < 300; ++i) {
    std::snprintf(id, sizeof id, "%06d  ", 1 + 3 * i);
    fw::refdata::SecurityRecord* s = t.securities.Find(id, true);
    if (s == nullptr) std::abort();
    SetText(s->Symbol, i % 2 == 0 ? "STOCK A" : "\xC6\xBD\xB0\xB2\xD2\xF8\xD0\xD0");
    s->SecurityType = static_cast<int16_t>(i % 50 == 7 ? 29 : i % 50 == 8 ? 30 : 1 + i % 3);
    s->PrevClosePx = 1.0 + i * 0.37;
    s->haltFlag = ' ';
  }
  for (const char* code : {"000000  ", "000002  ", "000004  ", "070001  ", "070002  "}) {
    if (fw::refdata::IssueParamsRecord* r = t.issueParams.Find(code, true)) {
      SetText(r->Symbol, "ISSUE");
      r->SecurityType = 1;
      r->PriceUpperLimit = 11.0;
      r->PriceLowerLimit = 9.0;
      r->issuePrice = 11.0;
    }
  }
  for (const char* code : {"080001  ", "070002  "}) {
    if (fw::refdata::RightsIssueParamsRecord* r = t.rightsIssueParams.Find(code, true)) {
      SetText(r->Symbol, "RIGHTS");
      r->Price = 3.5;
    }
  }
  if (fw::refdata::BondDistributionParamsRecord* r =
          t.bondDistributionParams.Find("999990  ", true)) {
    SetText(r->Symbol, "BOND");
    r->price = 1.0;
  }
  for (const char* code : {"399001  ", "399006  ", "399300  "}) {
    if (fw::refdata::IndexInfoRecord* r = t.indexInfo.Find(code, true)) {
      SetText(r->Symbol, "INDEX");
      r->PrevCloseIdx = 10234.5678;
    }
  }
  for (const char* code : {"395001  ", "395002  ", "395003  "}) {
    if (fw::refdata::StatRecord* r = t.stat.Find(code, true)) SetText(r->Symbol, "STAT");
  }
  return t;
}

constexpr uint32_t kTypes[] = {fw::feed::kMsgCashAuctionSnapshot, fw::feed::kMsgIndexSnapshot,
                               fw::feed::kMsgVolumeStatSnapshot,  fw::feed::kMsgAfterHoursSnapshot,
                               fw::feed::kMsgNegotiatedOrder,     fw::feed::kMsgNegotiatedOutcome,
                               fw::feed::kMsgSecuritySwitch,      fw::feed::kMsgStreamPhase,
                               fw::feed::kMsgIgnored300191,       fw::feed::kMsgIgnored300192,
                               fw::feed::kMsgHeartbeat,           fw::feed::kMsgLogon};

// The structured mode's messages, framed.
std::vector<uint8_t> FrameMessages(const uint8_t* data, size_t size) {
  std::vector<uint8_t> stream;
  size_t at = 0;
  while (at + 3 <= size) {
    const uint32_t type = kTypes[data[at] % (sizeof kTypes / sizeof kTypes[0])];
    size_t length = (static_cast<size_t>(data[at + 1]) << 8) | data[at + 2];
    at += 3;
    if (length > size - at) length = size - at;
    if (length > fw::feed::kMaxBodyLength) length = fw::feed::kMaxBodyLength;
    const size_t start = stream.size();
    stream.resize(start + length + fw::feed::kFrameOverhead);
    uint8_t* frame = stream.data() + start;
    fw::feed::StoreBigEndian32(frame, type);
    fw::feed::StoreBigEndian32(frame + 4, static_cast<uint32_t>(length));
    if (length > 0) std::memcpy(frame + fw::feed::kHeaderBytes, data + at, length);
    const size_t summed = length + fw::feed::kHeaderBytes;
    fw::feed::StoreBigEndian32(frame + summed, fw::feed::ByteSum(frame, summed));
    at += length;
  }
  return stream;
}

struct World {
  World() : tables(GeneratedDay()), handlers(state), decoder(&handlers) { decoder.AllocateRing(); }
  fw::fuzz::ScratchFolder log{"fw_market_fuzz_"};  // the run log of the run
  fw::refdata::ReferenceTables tables;
  fw::market::MarketState state;
  fw::feed::MarketDataHandlers handlers;
  fw::feed::MarketDataDecoder decoder;
  std::vector<fw::market::StockQuoteRecord> built;
  fw::market::MarketSnapshot snapshot;
};

World& TheWorld() {
  static World* world = new World;  // kept for the whole run
  return *world;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  World& w = TheWorld();
  // The messages change only trading phases, halt flags and switches in the reference tables,
  // which no handler reads back: the tables are built once, the market state for every input.
  w.state.Reset();
  w.state.StartDay(20260305);
  w.state.Build(w.tables);
  w.state.SnapshotStockQuotes(&w.built);
  w.decoder.Ring().Clear();

  const uint8_t mode = data[0];
  if (mode & 2) {
    w.state.SetClosingDataLoaded();
    w.state.ApplyClose(4, 12345, 6, 7, 8);
  }
  if (mode & 1) {
    const std::vector<uint8_t> stream = FrameMessages(data + 1, size - 1);
    w.decoder.Process(stream.data(), static_cast<uint32_t>(stream.size()));
  } else {
    uint32_t seed = mode;
    size_t offset = 1;
    while (offset < size) {
      seed = seed * 1103515245u + 12345u;
      const size_t block = 1 + (seed >> 16) % 9000;
      const size_t n = block < size - offset ? block : size - offset;
      w.decoder.Process(data + offset, static_cast<uint32_t>(n));
      offset += n;
    }
  }

  w.state.TakeSnapshot(&w.snapshot);
  if (w.snapshot.stockQuotes.size() != w.built.size()) std::abort();
  for (size_t i = 0; i < w.built.size(); ++i) {
    const fw::market::StockQuoteRecord& now = w.snapshot.stockQuotes[i];
    if (std::memcmp(now.code, w.built[i].code, sizeof now.code) != 0 ||
        std::memcmp(now.name, w.built[i].name, sizeof now.name) != 0) {
      std::abort();  // a store wrote over a row's identity
    }
  }
  return 0;
}
