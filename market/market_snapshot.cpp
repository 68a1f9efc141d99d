// The write cycle's copies of the market state: each table copied out in slices, each slice under
// the state's lock, so that the writers format and write without holding it. Write thread.
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

void MarketState::SnapshotNegotiated(std::vector<NegotiatedQuoteRecord>* out) const {
  constexpr size_t kSlice = SliceRecords<NegotiatedQuoteRecord>();
  // Room for every key once, as the table itself has: orders come in all day, and a copy that grew
  // with them would take memory in ever larger steps and copy itself at each.
  if (out->capacity() < static_cast<size_t>(kMaxNegotiatedSequence)) {
    out->reserve(static_cast<size_t>(kMaxNegotiatedSequence));
  }
  out->clear();
  uint64_t copying = 0;
  // Key order: the flags are walked in order rather than the (arrival-ordered) used list.
  for (size_t key = 0;;) {
    LetWaitingHandlersIn(figures_);
    std::lock_guard<std::mutex> lock(mutex_);
    if (key == 0) {
      copying = generation_;
    } else if (generation_ != copying) {
      out->clear();
      key = 0;
      continue;
    }
    const size_t end = std::min(negotiatedEnd_, key + kSlice);
    for (; key < end; ++key) {
      if ((negotiatedKeys_[key] & kKeyHasCode) != 0) out->push_back(negotiated_[key]);
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
  out->clock = Clock();
  SnapshotStockQuotes(&out->stockQuotes);
  SnapshotIndexQuotes(IndexTable::kThreeDecimals, &out->indexes);
  SnapshotIndexQuotes(IndexTable::kFourDecimals, &out->indexes4);
  SnapshotVolumeStats(&out->stats);
  SnapshotAfterHours(&out->afterHours);
  SnapshotNegotiated(&out->negotiated);
  SnapshotOverlay(&out->overlay);
}

}  // namespace fw::market
