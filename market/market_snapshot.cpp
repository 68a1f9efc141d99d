// The write cycle's copies of the market state: each table copied out in slices, each slice under
// the state's lock, so that the writers format and write without holding it; and the refresh of a
// kept copy with the rows marked since the last one. Write thread.
#include <algorithm>
#include <cstddef>
#include <mutex>
#include <thread>

#include "market/market_state.h"

namespace fw::market {
namespace {

// How much a write-cycle copy takes per hold of the lock. A table of 20,000 securities is several
// megabytes, whose copy in one hold would stop the receive thread for milliseconds; in slices of
// this size a handler waits for one slice at most. Each record is still copied whole under the
// lock, and records never depend on one another, so a table copied slice by slice shows every
// record as some complete message left it.
constexpr size_t kSliceBytes = 64 * 1024;
constexpr size_t kSliceEntries = 512;  // map entries per hold, where each step chases a pointer
// Codes looked up per hold: each look-up is a search of a tree of thousands of entries.
constexpr size_t kSliceLookups = 32;

template <typename Record>
constexpr size_t SliceRecords() {
  return sizeof(Record) >= kSliceBytes ? 1 : kSliceBytes / sizeof(Record);
}

// Before the next slice of a copy: a handler waiting for the lock gets it first. A mutex makes no
// such promise: the copying thread, still running, would take it again before the woken handler
// ran, and the handler would wait for the whole copy after all. Bounded, so that a handler that
// cannot be scheduled does not hold the copy up for long.
void LetWaitingHandlersIn(const LockWaitFigures& figures) {
  for (int i = 0; i < 1000 && figures.HandlersWaiting(); ++i) {
    std::this_thread::yield();
  }
}

// Room for `more` elements beyond the size, made outside the lock (geometric, so that a first
// cycle does not reallocate at every slice).
template <typename Vector>
void Reserve(Vector* v, size_t more) {
  if (v->capacity() - v->size() < more) v->reserve(std::max(v->size() + more, 2 * v->capacity()));
}

// Copies a table out slice by slice without allocating while the lock is held. A rebuild of the
// tables between two slices (the generation moved) starts the copy again.
template <typename Record>
void CopyOut(std::mutex& mutex, const LockWaitFigures& figures, const uint64_t& generation,
             const std::vector<Record>& table, std::vector<Record>* out) {
  constexpr size_t kSlice = SliceRecords<Record>();
  for (;;) {
    size_t size = 0;
    uint64_t copying = 0;
    {
      std::lock_guard<std::mutex> lock(mutex);
      size = table.size();
      copying = generation;
    }
    out->resize(size);
    bool whole = true;
    for (size_t at = 0; at < size; at += kSlice) {
      LetWaitingHandlersIn(figures);
      std::lock_guard<std::mutex> lock(mutex);
      if (generation != copying) {
        whole = false;
        break;
      }
      std::copy_n(table.begin() + static_cast<std::ptrdiff_t>(at), std::min(kSlice, size - at),
                  out->begin() + static_cast<std::ptrdiff_t>(at));
    }
    if (whole) return;
  }
}

// Walks a reference table slice by slice in code order, each slice under the lock and found again
// by its first code, so that nothing held between two slices can go stale. take(code, record) is
// called for every entry, under the lock; room(n) before each slice, outside it.
template <typename Table, typename Room, typename Take>
void WalkInSlices(std::mutex& mutex, const LockWaitFigures& figures, const Table* table,
                  Room&& room, Take&& take) {
  for (uint32_t next = 0;;) {
    room(kSliceEntries);
    LetWaitingHandlersIn(figures);
    std::lock_guard<std::mutex> lock(mutex);
    if (table == nullptr) return;
    const auto& entries = table->Entries();
    auto it = entries.lower_bound(next);
    for (size_t n = 0; it != entries.end() && n < kSliceEntries; ++it, ++n) {
      take(it->first, it->second.record);
      next = it->first + 1;
    }
    if (it == entries.end()) return;
  }
}

// Copies the listed rows of a table into the same rows of *out, slice by slice. False when the
// tables were built again meanwhile (the generation moved).
template <typename Record>
bool CopyRows(std::mutex& mutex, const LockWaitFigures& figures, const uint64_t& generation,
              uint64_t copying, const std::vector<Record>& table, const std::vector<uint32_t>& rows,
              std::vector<Record>* out) {
  constexpr size_t kSlice = SliceRecords<Record>();
  for (size_t at = 0; at < rows.size(); at += kSlice) {
    LetWaitingHandlersIn(figures);
    std::lock_guard<std::mutex> lock(mutex);
    if (generation != copying) return false;
    const size_t end = std::min(rows.size(), at + kSlice);
    for (size_t k = at; k < end; ++k) {
      const size_t row = rows[k];
      if (row < table.size() && row < out->size()) (*out)[row] = table[row];
    }
  }
  return true;
}

// Room for n more elements without allocating.
void Room(std::vector<uint32_t>* v, size_t n) {
  if (v->capacity() < n) v->reserve(n);
}

void AllRows(size_t n, std::vector<uint32_t>* rows) {
  rows->clear();
  for (size_t row = 0; row < n; ++row) rows->push_back(static_cast<uint32_t>(row));
}

template <typename Entry>
typename std::vector<Entry>::iterator AtCode(std::vector<Entry>& entries, uint32_t code) {
  return std::lower_bound(entries.begin(), entries.end(), code,
                          [](const Entry& e, uint32_t c) { return e.code < c; });
}

}  // namespace

MarketClock MarketState::Clock() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return clock_;
}

MarketCounts MarketState::Counts() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return counts_;
}

int32_t MarketState::DisplayedTime() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return displayedTime_;
}

void MarketState::SnapshotStockQuotes(std::vector<StockQuoteRecord>* out) const {
  CopyOut(mutex_, figures_, generation_, stockQuotes_, out);
}

void MarketState::SnapshotIndexQuotes(IndexTable table, std::vector<IndexQuoteRecord>* out) const {
  CopyOut(mutex_, figures_, generation_, IndexRows(table), out);
}

void MarketState::SnapshotVolumeStats(std::vector<VolumeStatRecord>* out) const {
  CopyOut(mutex_, figures_, generation_, stats_, out);
}

void MarketState::SnapshotAfterHours(std::vector<AfterHoursQuoteRecord>* out) const {
  CopyOut(mutex_, figures_, generation_, afterHours_, out);
}

void MarketState::SnapshotNegotiated(std::vector<NegotiatedQuoteRecord>* out,
                                     std::vector<uint16_t>* keys) const {
  constexpr size_t kSlice = SliceRecords<NegotiatedQuoteRecord>();
  // Room for every key once, as the table itself has: orders come in all day, and a copy that grew
  // with them would take memory in ever larger steps and copy itself at each.
  if (out->capacity() < static_cast<size_t>(kMaxNegotiatedSequence)) {
    out->reserve(static_cast<size_t>(kMaxNegotiatedSequence));
  }
  out->clear();
  if (keys != nullptr) {
    keys->reserve(static_cast<size_t>(kMaxNegotiatedSequence));
    keys->clear();
  }
  uint64_t copying = 0;
  // Key order: the flags are walked in order rather than the (arrival-ordered) used list.
  for (size_t key = 0;;) {
    LetWaitingHandlersIn(figures_);
    std::lock_guard<std::mutex> lock(mutex_);
    if (key == 0) {
      copying = generation_;
    } else if (generation_ != copying) {
      out->clear();
      if (keys != nullptr) keys->clear();
      key = 0;
      continue;
    }
    const size_t end = std::min(negotiatedEnd_, key + kSlice);
    for (; key < end; ++key) {
      if ((negotiatedKeys_[key] & kKeyHasCode) == 0) continue;
      out->push_back(negotiated_[key]);
      if (keys != nullptr) keys->push_back(static_cast<uint16_t>(key));
    }
    if (key >= negotiatedEnd_) return;
  }
}

void MarketState::SnapshotOverlay(refdata::FeedOverlay* out) const {
  out->phases.clear();
  const refdata::SecurityTable* securities = nullptr;
  const refdata::SecuritySwitchTable* switchTable = nullptr;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (reference_ != nullptr) {
      securities = &reference_->securities;
      switchTable = &reference_->securitySwitch;
    }
  }
  WalkInSlices(
      mutex_, figures_, securities, [&](size_t n) { Reserve(&out->phases, n); },
      [&](uint32_t code, const refdata::SecurityRecord& record) {
        out->phases.push_back(
            {code, {record.tradingPhase[0], record.tradingPhase[1]}, record.haltFlag});
      });
  out->switches.clear();
  WalkInSlices(
      mutex_, figures_, switchTable, [&](size_t n) { Reserve(&out->switches, n); },
      [&](uint32_t code, const refdata::SecuritySwitchRecord& record) {
        out->switches.push_back({code, record});
      });
}

void MarketState::TakeSnapshot(MarketSnapshot* out) const {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    out->generation = generation_;
    out->clock = clock_;
  }
  SnapshotStockQuotes(&out->stockQuotes);
  SnapshotIndexQuotes(IndexTable::kThreeDecimals, &out->indexes);
  SnapshotIndexQuotes(IndexTable::kFourDecimals, &out->indexes4);
  SnapshotVolumeStats(&out->stats);
  SnapshotAfterHours(&out->afterHours);
  SnapshotNegotiated(&out->negotiated, &out->negotiatedKeys);
  SnapshotOverlay(&out->overlay);
}

void MarketState::RefreshSnapshot(MarketSnapshot* out, SnapshotChanges* changes) {
  changes->Clear();
  // Room for every mark the refresh may take, made before the lock: each table can mark each of
  // its rows once, and the snapshot has the tables' sizes unless they were built again (when the
  // snapshot is taken whole anyway).
  Room(&changes->stockRows, out->stockQuotes.size());
  Room(&changes->indexRows, out->indexes.size());
  Room(&changes->index4Rows, out->indexes4.size());
  Room(&changes->statRows, out->stats.size());
  Room(&changes->afterHoursRows, out->afterHours.size());
  Room(&changes->negotiatedKeys, static_cast<size_t>(kMaxNegotiatedSequence));
  Room(&changes->overlayCodes,
       out->overlay.phases.size() + out->overlay.switches.size() + kExtraMarkedCodes);

  uint64_t copying = 0;
  bool whole = false;
  bool allRows[5] = {};
  bool allOrders = false;
  bool allCodes = false;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    copying = generation_;
    whole = out->generation == 0 || out->generation != generation_;
    if (!whole) {
      out->clock = clock_;
      allRows[0] = !stockMarks_.TakeInto(&changes->stockRows);
      allRows[1] = !indexMarks_.TakeInto(&changes->indexRows);
      allRows[2] = !index4Marks_.TakeInto(&changes->index4Rows);
      allRows[3] = !statMarks_.TakeInto(&changes->statRows);
      allRows[4] = !afterHoursMarks_.TakeInto(&changes->afterHoursRows);
      allOrders = !negotiatedMarks_.TakeInto(&changes->negotiatedKeys);
      allCodes = !codeMarks_.TakeInto(&changes->overlayCodes);
    }
  }
  if (whole) {
    TakeWholeSnapshot(out, changes);
    return;
  }
  // Marks that could not be taken (never for rows, whose marks fit the room made above) stand for
  // the whole table.
  if (allRows[0]) AllRows(out->stockQuotes.size(), &changes->stockRows);
  if (allRows[1]) AllRows(out->indexes.size(), &changes->indexRows);
  if (allRows[2]) AllRows(out->indexes4.size(), &changes->index4Rows);
  if (allRows[3]) AllRows(out->stats.size(), &changes->statRows);
  if (allRows[4]) AllRows(out->afterHours.size(), &changes->afterHoursRows);
  const bool copied =
      CopyRows(mutex_, figures_, generation_, copying, stockQuotes_, changes->stockRows,
               &out->stockQuotes) &&
      CopyRows(mutex_, figures_, generation_, copying, indexes_, changes->indexRows,
               &out->indexes) &&
      CopyRows(mutex_, figures_, generation_, copying, indexes4_, changes->index4Rows,
               &out->indexes4) &&
      CopyRows(mutex_, figures_, generation_, copying, stats_, changes->statRows, &out->stats) &&
      CopyRows(mutex_, figures_, generation_, copying, afterHours_, changes->afterHoursRows,
               &out->afterHours) &&
      CopyMarkedOrders(copying, allOrders, out, changes) &&
      CopyMarkedOverlay(copying, allCodes, out, changes);
  if (!copied) TakeWholeSnapshot(out, changes);
}

void MarketState::TakeWholeSnapshot(MarketSnapshot* out, SnapshotChanges* changes) {
  {
    // Whatever is marked from now on is caught by the next refresh.
    std::lock_guard<std::mutex> lock(mutex_);
    for (RowMarks* marks : {&stockMarks_, &indexMarks_, &index4Marks_, &statMarks_,
                            &afterHoursMarks_, &negotiatedMarks_, &codeMarks_}) {
      marks->Clear();
    }
  }
  changes->Clear();
  changes->whole = true;
  TakeSnapshot(out);
}

bool MarketState::CopyMarkedOrders(uint64_t copying, bool all, MarketSnapshot* out,
                                   SnapshotChanges* changes) {
  if (all) {
    SnapshotNegotiated(&out->negotiated, &out->negotiatedKeys);
    changes->negotiatedFrom = 0;
    return true;
  }
  std::vector<uint32_t>& keys = changes->negotiatedKeys;
  if (keys.empty()) return true;
  std::sort(keys.begin(), keys.end());
  struct Stored {
    NegotiatedQuoteRecord record;
    bool hasCode;
  };
  std::vector<Stored> stored(keys.size());
  constexpr size_t kSlice = SliceRecords<NegotiatedQuoteRecord>();
  for (size_t at = 0; at < keys.size(); at += kSlice) {
    LetWaitingHandlersIn(figures_);
    std::lock_guard<std::mutex> lock(mutex_);
    if (generation_ != copying) return false;
    for (size_t k = at; k < std::min(keys.size(), at + kSlice); ++k) {
      stored[k] = {negotiated_[keys[k]], (negotiatedKeys_[keys[k]] & kKeyHasCode) != 0};
    }
  }
  // In ascending key order an order added or removed moves only the positions after it, so the
  // positions noted before stay right.
  for (size_t k = 0; k < keys.size(); ++k) {
    const auto key = static_cast<uint16_t>(keys[k]);
    const auto at = std::lower_bound(out->negotiatedKeys.begin(), out->negotiatedKeys.end(), key);
    const auto position = static_cast<size_t>(at - out->negotiatedKeys.begin());
    const bool present = at != out->negotiatedKeys.end() && *at == key;
    const auto record = out->negotiated.begin() + static_cast<std::ptrdiff_t>(position);
    if (stored[k].hasCode && present) {
      *record = stored[k].record;
      changes->negotiatedPositions.push_back(static_cast<uint32_t>(position));
      continue;
    }
    if (stored[k].hasCode) {
      out->negotiatedKeys.insert(at, key);
      out->negotiated.insert(record, stored[k].record);
    } else if (present) {
      out->negotiatedKeys.erase(at);
      out->negotiated.erase(record);
    } else {
      continue;
    }
    changes->negotiatedFrom = std::min(changes->negotiatedFrom, position);
  }
  return true;
}

bool MarketState::CopyMarkedOverlay(uint64_t copying, bool all, MarketSnapshot* out,
                                    SnapshotChanges* changes) {
  refdata::FeedOverlay& overlay = out->overlay;
  std::vector<uint32_t>& codes = changes->overlayCodes;
  if (all) {
    SnapshotOverlay(&overlay);
    codes.clear();
    for (const auto& phase : overlay.phases) codes.push_back(phase.code);
    for (const auto& entry : overlay.switches) codes.push_back(entry.code);
  }
  std::sort(codes.begin(), codes.end());
  codes.erase(std::unique(codes.begin(), codes.end()), codes.end());
  if (all || codes.empty()) return true;

  struct Seen {
    bool isSecurity;
    refdata::FeedOverlay::Phase phase;
    bool hasSwitches;
    refdata::SecuritySwitchRecord switches;
  };
  std::vector<Seen> seen(codes.size());
  for (size_t at = 0; at < codes.size(); at += kSliceLookups) {
    LetWaitingHandlersIn(figures_);
    std::lock_guard<std::mutex> lock(mutex_);
    if (generation_ != copying || reference_ == nullptr) return false;
    for (size_t k = at; k < std::min(codes.size(), at + kSliceLookups); ++k) {
      Seen& s = seen[k];
      const refdata::SecurityRecord* security = reference_->securities.Get(codes[k]);
      s.isSecurity = security != nullptr;
      if (security != nullptr) {
        s.phase = {
            codes[k], {security->tradingPhase[0], security->tradingPhase[1]}, security->haltFlag};
      }
      const refdata::SecuritySwitchRecord* switches = reference_->securitySwitch.Get(codes[k]);
      s.hasSwitches = switches != nullptr;
      if (switches != nullptr) s.switches = *switches;
    }
  }
  for (size_t k = 0; k < codes.size(); ++k) {
    const uint32_t code = codes[k];
    if (seen[k].isSecurity) {
      const auto at = AtCode(overlay.phases, code);
      if (at != overlay.phases.end() && at->code == code) {
        *at = seen[k].phase;
      } else {
        overlay.phases.insert(at, seen[k].phase);
      }
    }
    if (seen[k].hasSwitches) {
      const auto at = AtCode(overlay.switches, code);
      if (at != overlay.switches.end() && at->code == code) {
        at->record = seen[k].switches;
      } else {
        overlay.switches.insert(at, {code, seen[k].switches});
      }
    }
  }
  return true;
}

}  // namespace fw::market
