// The receive thread feeding snapshots while the write thread takes table snapshots. Every field of
// a snapshot message carries the message's number, so a record that mixes two messages shows it.
// Meant for the ThreadSanitizer build as much as for the plain one: no data race, no torn record.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "feed/market_data_decoder.h"
#include "feed/market_data_handlers.h"
#include "market/market_state.h"
#include "tests/market/market_messages.h"
#include "tests/support/test_support.h"

namespace fw::market {
namespace {

// A cash auction snapshot in which every stored field becomes `id`.
test::Bytes NumberedSnapshot(const std::string& code, int64_t id) {
  test::SnapshotHeader h;
  h.code = code;
  h.origTime = 20260305093000000 + id * 1000;
  h.phase = id % 2 == 0 ? "T0" : "H0";
  h.prevClosePx = id * 10;
  h.numTrades = id;
  h.totalVolume = id * 100;
  h.totalValue = id * 10;
  std::vector<test::AuctionEntry> entries;
  for (const char* type : {"2 ", "4 ", "7 ", "8 ", "x1", "x2"})
    entries.push_back({type, id * 1000});
  for (const char* type : {"x5", "x6"}) entries.push_back({type, id * 10000});
  for (uint16_t level = 1; level <= 5; ++level) {
    entries.push_back({"0 ", id * 1000, id * 100, level});
    entries.push_back({"1 ", id * 1000, id * 100, level});
  }
  return test::CashAuctionSnapshot(h, entries).Frame();
}

test::Bytes NumberedOrder(int64_t id) {
  test::NegotiatedOrder o;
  o.sequence = id % 50 + 1;
  o.price = id * 10;
  o.orderQty = id * 100;
  return test::NegotiatedOrderMessage(o).Frame();
}

// The number all fields of the record share, or -1 when they disagree.
int64_t CommonNumber(const StockQuoteRecord& r) {
  const int64_t id = r.last;
  const int64_t fields[] = {r.prevClose, r.open, r.last,       r.volume,     r.turnover, r.trades,
                            r.high,      r.low,  r.indicator1, r.indicator2, r.change1,  r.change2};
  for (const int64_t f : fields) {
    if (f != id) return -1;
  }
  for (int i = 0; i < 5; ++i) {
    if (r.askPrice[i] != id || r.askVolume[i] != id || r.bidPrice[i] != id ||
        r.bidVolume[i] != id) {
      return -1;
    }
  }
  return id;
}

TEST(MarketConcurrency, SnapshotsTakenDuringUpdatesNeverShowATornRecord) {
  fw::test::TempDir logDir;
  auto window = fw::test::WindowCatcher::Install();
  SetRunLogFolder(logDir.Path().string());
  refdata::ReferenceTables tables;
  test::FillSmallDay(tables);
  MarketState state;
  state.StartDay(20260305);
  state.Build(tables);
  feed::MarketDataHandlers handlers(state);
  feed::MarketDataDecoder decoder(&handlers);
  ASSERT_GE(decoder.AllocateRing(), 0);

  const std::vector<std::string> codes = {"000001", "000002", "300750"};
  constexpr int64_t kLast = 2000;
  // Frames are made beforehand so that the receive side does nothing but decode and store.
  std::vector<test::Bytes> frames;
  for (int64_t id = 1; id <= kLast; ++id) {
    for (const std::string& code : codes) frames.push_back(NumberedSnapshot(code, id));
    frames.push_back(NumberedOrder(id));
  }
  // Message 1 for every code first, so that every row is numbered before the reader starts.
  for (size_t i = 0; i < codes.size() + 1; ++i) {
    decoder.Process(frames[i].data(), static_cast<uint32_t>(frames[i].size()));
  }

  std::atomic<bool> done{false};
  std::thread receiver([&] {
    for (size_t i = codes.size() + 1; i < frames.size(); ++i) {
      decoder.Process(frames[i].data(), static_cast<uint32_t>(frames[i].size()));
    }
    done.store(true);
  });

  MarketSnapshot snapshot;
  size_t torn = 0;
  std::vector<int64_t> lastSeen(codes.size(), 0);
  size_t backwards = 0;
  bool finalPass = false;
  while (!finalPass) {
    finalPass = done.load();
    state.TakeSnapshot(&snapshot);
    ASSERT_EQ(snapshot.stockQuotes.size(), 4u);  // 000001, 000002, 070001 (issue), 300750
    size_t numbered = 0;
    for (const StockQuoteRecord& r : snapshot.stockQuotes) {
      const std::string code(r.code);
      for (size_t c = 0; c < codes.size(); ++c) {
        if (code != codes[c]) continue;
        ++numbered;
        const int64_t id = CommonNumber(r);
        if (id < 0) {
          ++torn;
        } else {
          if (id < lastSeen[c]) ++backwards;
          lastSeen[c] = id;
        }
      }
    }
    EXPECT_EQ(numbered, codes.size());
    for (const NegotiatedQuoteRecord& r : snapshot.negotiated) {
      if (r.price != r.volume) ++torn;
    }
  }
  receiver.join();

  EXPECT_EQ(torn, 0u);
  EXPECT_EQ(backwards, 0u);
  for (size_t c = 0; c < codes.size(); ++c) EXPECT_EQ(lastSeen[c], kLast) << codes[c];
  EXPECT_EQ(snapshot.negotiated.size(), 50u);
  EXPECT_EQ(snapshot.clock.marketTime, 93000 + kLast);
  EXPECT_EQ(window->LogLines().size(), 5u);  // the count lines of the build, no Finish line
  CloseRunLog();
  fw::test::WindowCatcher::Uninstall();
}

}  // namespace
}  // namespace fw::market
