// Layer market/, above config/: the market state and its records. It includes refdata/ and
// foundation/; the feed, the DBF writers and the processor above it read and change it.
//
// MarketState: the in-memory picture of the market that the write cycle turns into the quote files.
// Six tables of fixed-size records (stock quotes, indexes at three and at four decimals, volume
// statistics, after-hours quotes, negotiated orders), their code-to-row maps, the market clock with
// the stream-closed flags, the closing-data-loaded flag and the Initialized flag of the processor.
//
// Threads. The processor builds and resets it (start-up sequence or receive thread); the market
// data handlers update it on the receive thread; the write thread takes snapshots of it and, after
// the close, applies the closing data. One mutex guards all of it and also the reference-record
// fields the receive thread changes: the securities' trading phase and halt flag and the security
// switch table. Every public function takes the mutex itself for short holds (a handler holds it
// only for its copy-in, a snapshot for one slice of a table at a time), and nothing waits on
// anything else while holding it: the market time goes to the main window after the mutex is
// released. A table record therefore only ever holds values of completely decoded messages, and no
// snapshot sees a record half copied.
//
// Its work lies in three files by job: market_build.cpp (the tables built at start-up and emptied
// again), market_state.cpp (the handlers' copy-in, the clock and the closing data) and
// market_snapshot.cpp (the write cycle's copies); the load figures sit in LockWaitFigures.
//
// Lifetime: one per processor, for the whole process. Build binds it to the reference tables whose
// feed-driven fields it guards; those tables must outlive it, and the securities table must not be
// emptied without a Reset of this state first (stock rows point at their securities records).
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "market/code_row_index.h"
#include "market/lock_wait_figures.h"
#include "market/market_records.h"
#include "market/market_snapshot.h"
#include "market/row_marks.h"
#include "refdata/closing_data_sink.h"
#include "refdata/reference_tables.h"

namespace fw::market {

// Negotiated orders carry sequence numbers 1 … 20,000; the table's key is sequence - 1.
constexpr int64_t kMaxNegotiatedSequence = 20000;

// The two index tables, both built from the index info file.
enum class IndexTable { kThreeDecimals, kFourDecimals };

// Groups of SetStreamClosed.
constexpr int kStreamGroupNegotiated = 1;  // streams "051", "052"
constexpr int kStreamGroupAfterHours = 2;  // streams "060", "061"
constexpr int kStreamGroupAuction = 3;     // streams "010", "020", "030"

// A checked cash auction snapshot as its handler decoded it. Its header fields (prevClose, volume,
// turnover, trades) and its book replace the row's; of open, last, high, low, the indicators and
// the changes only those an entry named (bits of `set`), the others keep the row's values.
struct CashAuctionUpdate {
  static constexpr uint32_t kOpen = 1u << 0;
  static constexpr uint32_t kLast = 1u << 1;
  static constexpr uint32_t kHigh = 1u << 2;
  static constexpr uint32_t kLow = 1u << 3;
  static constexpr uint32_t kIndicator1 = 1u << 4;
  static constexpr uint32_t kIndicator2 = 1u << 5;
  static constexpr uint32_t kChange1 = 1u << 6;
  static constexpr uint32_t kChange2 = 1u << 7;

  StockQuoteRecord quote;  // code and the values; name, holding and reserved are not used
  uint32_t set = 0;
  char tradingPhase[2] = {};  // first two characters of TradingPhaseCode
  int64_t origTime = 0;       // YYYYMMDDHHMMSSsss
};

// Sizes the write cycle and the start-up log need, fixed at Build.
struct MarketCounts {
  uint32_t securities = 0;    // records of the securities table
  uint32_t indexInfo = 0;     // records of the index info table
  uint32_t stat = 0;          // records of the statistics table
  uint32_t quoteSources = 0;  // securities + issue + rights-issue + bond-distribution records
};

class MarketState final : public refdata::ClosingDataSink {
 public:
  MarketState();
  ~MarketState() override;
  MarketState(const MarketState&) = delete;
  MarketState& operator=(const MarketState&) = delete;

  // ---- Processor: lifecycle -------------------------------------------------------------------

  // Builds every table from the reference tables (emptying what an earlier Build left) and logs
  // "[stock num] = %u", "[index num] = %u", "[indexzs num] = %u", "[stat num] = %u" and
  // "[phhq num] = %u" at level 0. From now on the handlers change trading phases, halt flags and
  // switches in `tables`, under this state's lock.
  void Build(refdata::ReferenceTables& tables);

  // Empties every table and code map and forgets the securities records; Initialized and the
  // displayed time become 0. The market clock, the stream flags and the reference tables are kept.
  void Reset();

  // The start of a trading day: market date = localDate (YYYYMMDD), market time and milliseconds 0,
  // status '1', closing-data-loaded flag cleared.
  void StartDay(int32_t localDate);

  void SetInitialized(bool initialized) { initialized_.store(initialized); }
  bool IsInitialized() const { return initialized_.load(); }

  // Runs f() under the state's lock, for the processor's work on the reference tables (loading,
  // emptying them) while the write cycle may look at them. f must not call back into this state.
  template <typename F>
  decltype(auto) WithLock(F&& f) {
    std::lock_guard<std::mutex> lock(mutex_);
    return f();
  }

  // ---- Handlers (receive thread) --------------------------------------------------------------
  // Codes are texts of at most 8 bytes whose leading digits give the code number; code numbers
  // outside 1 … 999,999 have no row anywhere. Each record kind has one way in: the stock quote
  // table through StoreCashAuctionSnapshot, the index tables through Fetch and
  // StoreIndexSnapshot, the statistics through Fetch and StoreVolumeStat, the after-hours table
  // through MergeAfterHours, the negotiated table through StoreNegotiatedOrder and
  // UpdateNegotiatedOutcome; the closing data's ApplyClose comes last in the day.

  // Copies the whole record of the code into *out; false when the code has no row.
  bool FetchIndexQuote(IndexTable table, const char* code, IndexQuoteRecord* out) const;
  bool FetchVolumeStat(const char* code, VolumeStatRecord* out) const;

  // Copies every field from volume to the end of the record into the row of record.code; code and
  // name are never overwritten. False when the code has no row.
  bool StoreVolumeStat(const VolumeStatRecord& record);

  // Whether the code has a stock quote row, read without the lock: a hint for the receive path,
  // whose store looks the code up again under the lock.
  bool HasStockQuote(const char* code) const;

  // The copy-in of a checked cash auction snapshot, in one lock hold: unless the closing data has
  // been loaded meanwhile, applies the update to the row of update.quote.code, sets the security's
  // trading phase and halt flag (when the row comes from a security) and moves the market time to
  // update.origTime. False, and nothing changed, after the closing load or for a code without a
  // row.
  bool StoreCashAuctionSnapshot(const CashAuctionUpdate& update);

  // The copy-in of a checked index snapshot, in one lock hold: every field from prevClose to the
  // end of the record into the row of record.code in the given table (code and name are never
  // overwritten), and the market time moved to origTime. False when the code has no row.
  bool StoreIndexSnapshot(IndexTable table, const IndexQuoteRecord& record, int64_t origTime);

  // Merges one after-hours snapshot of the given column (0 for stream "060", 1 for "061") into the
  // row of buffer.code. Trades, volume and turnover are the stream's running totals, which every
  // snapshot reports: element `column` of them is always taken. Price and book come only with
  // entries: when the buffer carries the column's flag (has060 '1' or has061 '2'), the row takes
  // the flag, element `column` of price, bidVolume and askVolume, and the extra bytes; a snapshot
  // without entries leaves them as they were. False when the code has no row.
  bool MergeAfterHours(const AfterHoursQuoteRecord& buffer, int column);

  // For a sequence of 1 … 20,000: the record at key sequence - 1 is replaced by the buffer, except
  // that a status of '0' or '1' already stored is kept. False (nothing stored) for other sequences.
  bool StoreNegotiatedOrder(const NegotiatedQuoteRecord& buffer);

  // For a sequence of 1 … 20,000: the record at key sequence - 1 gets the code (8 bytes) and the
  // status; a record that holds no order yet also gets the sequence. False for other sequences.
  bool UpdateNegotiatedOutcome(int64_t sequence, const char code[8], char status);

  // Sets the switch characters of the code's security switch entry, creating the entry when the
  // code has none: pending[n - 1] is the new character of SwitchType n, or 0 to leave it. False,
  // nothing created, when the code number is not positive or no reference tables are bound.
  bool ApplySecuritySwitches(const char code[8], const char pending[31]);

  // Moves the market time to origTime (YYYYMMDDHHMMSSsss) when its time is later than the market
  // time and its date not earlier than the market date; earlier timestamps never move the clock
  // back. Independently, when origTime's HHMMSS / 10 differs from the displayed time, it becomes
  // the displayed time and HHMMSS ("%d") goes to the main window as WM_MARKET_TIME: the window's
  // time changes at most once per 10 s of market time.
  void SetMarketTime(int64_t origTime);

  // Group 1 sets NegotiatedClosed, 2 AfterHoursClosed, 3 AuctionClosed to `closed` ('1' or '0');
  // other groups are ignored.
  void SetStreamClosed(int group, char closed);

  // A lock-free read of the closing-data-loaded flag for the receive path's early exit; the
  // decisive check is made again under the lock at store time.
  bool ClosingDataLoadedHint() const { return closingDataLoaded_.load(std::memory_order_acquire); }

  // ---- Closing data (write thread) ------------------------------------------------------------
  bool ClosingDataLoaded() const override;
  void SetClosingDataLoaded() override;
  void ApplyClose(uint32_t codeNumber, int64_t close, int64_t trades, int64_t volume,
                  int64_t turnover) override;

  // ---- Load figures (write thread's optional cycle report): see LockWaitFigures ---------------

  uint64_t TakeLongestHandlerWaitUs() { return figures_.TakeLongestWaitUs(); }
  // Records the handlers stored since construction (an index snapshot stores one per table, a
  // stream phase message one per stream group it changed).
  uint64_t UpdatesApplied() const;

  // ---- Write cycle (write thread): copies, each in slices of about 64 KB per lock hold -------

  MarketClock Clock() const;
  MarketCounts Counts() const;
  int32_t DisplayedTime() const;

  void SnapshotStockQuotes(std::vector<StockQuoteRecord>* out) const;  // row order
  void SnapshotIndexQuotes(IndexTable table,
                           std::vector<IndexQuoteRecord>* out) const;      // code order
  void SnapshotVolumeStats(std::vector<VolumeStatRecord>* out) const;      // code order
  void SnapshotAfterHours(std::vector<AfterHoursQuoteRecord>* out) const;  // row order
  // Key order; only records that carry a code (no writer shows the others), and their keys.
  void SnapshotNegotiated(std::vector<NegotiatedQuoteRecord>* out,
                          std::vector<uint16_t>* keys = nullptr) const;
  // Trading phases and halt flags of the securities, and the security switch table.
  void SnapshotOverlay(refdata::FeedOverlay* out) const;
  // Everything above into one snapshot, table by table. Reusing a snapshot across cycles avoids
  // allocating while the lock is held.
  void TakeSnapshot(MarketSnapshot* out) const;

  // Brings a snapshot kept from cycle to cycle up to date: the clock, and only the rows (orders,
  // trading phases, switches) that the handlers or the closing data stored since the previous
  // refresh, each copied in slices under the lock as above; *changes says which. A snapshot not
  // yet taken, or taken before the tables were last built, is taken whole (changes->whole). The
  // marks are taken by the refresh, so one snapshot only is to be refreshed: the write cycle's.
  void RefreshSnapshot(MarketSnapshot* out, SnapshotChanges* changes);

 private:
  static constexpr uint8_t kKeyPresent = 1;  // the negotiated table has a record at this key
  static constexpr uint8_t kKeyHasCode = 2;  // … and that record carries a code

  // Start-up (market_build.cpp).
  void ClearTablesLocked();
  void BuildStockQuotesLocked(refdata::ReferenceTables& tables);
  void AddListedCodeRowLocked(const refdata::ReferenceTables& tables, uint32_t code);
  void AddStockRowLocked(uint32_t code, const char* securityId, const char* symbol,
                         int64_t prevClose, int64_t high, int64_t low,
                         refdata::SecurityRecord* security);
  void BuildIndexAndStatTablesLocked(const refdata::ReferenceTables& tables);
  void BuildAfterHoursAndNegotiatedLocked(const refdata::ReferenceTables& tables);
  void ResetMarksLocked(const refdata::ReferenceTables& tables);
  static constexpr size_t kExtraMarkedCodes = 4096;

  // The time to show in the main window (HHMMSS), or -1 when the displayed time stays.
  int32_t MoveMarketTimeLocked(int64_t origTime);
  std::vector<IndexQuoteRecord>& IndexRows(IndexTable table) {
    return table == IndexTable::kThreeDecimals ? indexes_ : indexes4_;
  }
  const std::vector<IndexQuoteRecord>& IndexRows(IndexTable table) const {
    return table == IndexTable::kThreeDecimals ? indexes_ : indexes4_;
  }
  // The record at key sequence - 1, marked present; nullptr outside 1 … 20,000.
  NegotiatedQuoteRecord* NegotiatedSlotLocked(int64_t sequence);
  // The lock as the handlers' calls take it, their waits measured.
  std::unique_lock<std::mutex> LockForHandler() const { return figures_.LockForHandler(mutex_); }
  RowMarks& IndexMarks(IndexTable table) {
    return table == IndexTable::kThreeDecimals ? indexMarks_ : index4Marks_;
  }
  // RefreshSnapshot's parts (market_snapshot.cpp).
  void TakeWholeSnapshot(MarketSnapshot* out, SnapshotChanges* changes);
  // The orders (trading phases and switches) whose marks *changes holds, or all of them, into *out;
  // false when the tables were built again meanwhile.
  bool CopyMarkedOrders(uint64_t copying, bool all, MarketSnapshot* out, SnapshotChanges* changes);
  bool CopyMarkedOverlay(uint64_t copying, bool all, MarketSnapshot* out, SnapshotChanges* changes);

  mutable std::mutex mutex_;
  // ---- guarded by mutex_ ----
  refdata::ReferenceTables* reference_ = nullptr;  // bound by Build
  std::vector<StockQuoteRecord> stockQuotes_;      // row order
  std::vector<refdata::SecurityRecord*>
      stockSecurity_;  // per stock row, nullptr for parameter rows
  CodeRowIndex stockRows_;
  std::vector<IndexQuoteRecord> indexes_;   // ascending code
  std::vector<IndexQuoteRecord> indexes4_;  // the same codes in the same positions
  CodeRowIndex indexRows_;                  // positions in both index tables
  std::vector<VolumeStatRecord> stats_;     // ascending code
  CodeRowIndex statRows_;
  std::vector<AfterHoursQuoteRecord> afterHours_;  // row order
  CodeRowIndex afterHoursRows_;  // also the map of the negotiated table's empty rows (same rows)
  std::unique_ptr<NegotiatedQuoteRecord[]> negotiated_;  // kMaxNegotiatedSequence records
  std::vector<uint8_t> negotiatedKeys_;                  // per key: kKeyPresent | kKeyHasCode
  std::vector<uint16_t> negotiatedUsed_;                 // keys present, for Reset
  size_t negotiatedEnd_ = 0;                             // one past the highest key present
  MarketCounts counts_;
  // What changed since the write cycle's last refresh: rows of each table, negotiated keys, and
  // the codes whose trading phase, halt flag or switches changed.
  RowMarks stockMarks_;
  RowMarks indexMarks_;
  RowMarks index4Marks_;
  RowMarks statMarks_;
  RowMarks afterHoursMarks_;
  RowMarks negotiatedMarks_;
  RowMarks codeMarks_;
  MarketClock clock_{};
  int32_t displayedTime_ = 0;
  uint64_t generation_ = 0;  // moves whenever the tables are emptied (Build, Reset)
  // ---- written under mutex_, read without it by the hint and the Initialized check ----
  std::atomic<bool> closingDataLoaded_{false};
  std::atomic<bool> initialized_{false};
  // ---- the handlers' waits for mutex_ and their stores (see there) ----
  mutable LockWaitFigures figures_;
};

}  // namespace fw::market
