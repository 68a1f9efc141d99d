// CodeRowIndex: the code-to-row maps of the market state as a direct index over the code numbers of
// six-digit codes (1 … 999,999), so that the receive path finds a row with one array read instead
// of a tree walk. Code numbers outside that range (seven or more digits, 0, negative texts) are
// never indexed and never found.
//
// Owned by the market state: Set and Clear run under its lock. The entries are atomics so that the
// receive thread may also Find without the lock, as a hint that the state confirms under its lock.
// The array (4 MB) is allocated once; Clear forgets only the entries that were set, so that a day's
// reset costs what the day indexed.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace fw::market {

class CodeRowIndex {
 public:
  static constexpr int64_t kCodeNumberLimit = 1000000;  // first code number past six digits

  CodeRowIndex() : rows_(new std::atomic<int32_t>[kCodeNumberLimit]()) {}
  CodeRowIndex(const CodeRowIndex&) = delete;
  CodeRowIndex& operator=(const CodeRowIndex&) = delete;

  // The row of a code number, or -1 when it has none (or lies outside 1 … 999,999).
  int32_t Find(int64_t codeNumber) const {
    if (codeNumber <= 0 || codeNumber >= kCodeNumberLimit) return -1;
    return rows_[static_cast<size_t>(codeNumber)].load(std::memory_order_relaxed) - 1;
  }

  // Records row (0 or more) for the code number; false, and nothing recorded, outside the range.
  bool Set(int64_t codeNumber, int32_t row) {
    if (codeNumber <= 0 || codeNumber >= kCodeNumberLimit || row < 0) return false;
    std::atomic<int32_t>& entry = rows_[static_cast<size_t>(codeNumber)];
    if (entry.load(std::memory_order_relaxed) == 0)
      set_.push_back(static_cast<uint32_t>(codeNumber));
    entry.store(row + 1, std::memory_order_relaxed);
    return true;
  }

  void Clear() {
    for (const uint32_t code : set_) rows_[code].store(0, std::memory_order_relaxed);
    set_.clear();
  }

  size_t Size() const { return set_.size(); }

 private:
  std::unique_ptr<std::atomic<int32_t>[]> rows_;  // row + 1; 0 = no row
  std::vector<uint32_t> set_;                     // code numbers with a row, for Clear
};

}  // namespace fw::market
