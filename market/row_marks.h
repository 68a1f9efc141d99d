// RowMarks: which rows of one table of the market state changed since the write cycle last took
// them, so that a cycle copies and formats those rows only. A handler marks the row it stores into;
// the write cycle takes the marks and the next round begins.
//
// Owned by the market state and used under its lock only. Marking never allocates: the list of
// marked rows has its room from Reset, and a row already marked in this round is not listed again.
// Should the room ever run out (codes that Reset did not foresee), or a row lie beyond the rows of
// Reset, the marks count as overflowed and the taker copies the whole table instead.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace fw::market {

class RowMarks {
 public:
  // Rows 0 … rows - 1, none marked, with room to list `room` of them (all of them by default).
  // Allocates: start-up only.
  void Reset(size_t rows, size_t room = SIZE_MAX) {
    stamps_.assign(rows, 0);
    marked_.clear();
    marked_.reserve(std::min(rows, room));
    round_ = 1;
    overflowed_ = false;
  }

  void Mark(size_t row) {
    if (row < stamps_.size() && stamps_[row] == round_) return;
    if (row >= stamps_.size() || marked_.size() == marked_.capacity()) {
      overflowed_ = true;
      return;
    }
    stamps_[row] = round_;
    marked_.push_back(static_cast<uint32_t>(row));
  }

  // Moves the marked rows (in marking order) into *out, whose room must suffice, and starts a new
  // round. False when the marks overflowed or *out lacks the room: nothing is moved, and the taker
  // must take the whole table. Either way the marks are cleared.
  bool TakeInto(std::vector<uint32_t>* out) {
    const bool taken = !overflowed_ && out->capacity() - out->size() >= marked_.size();
    if (taken) out->insert(out->end(), marked_.begin(), marked_.end());
    Clear();
    return taken;
  }

  // Forgets every mark (a whole copy is about to be taken).
  void Clear() {
    marked_.clear();
    overflowed_ = false;
    if (++round_ == 0) {  // after 2^32 rounds the stamps would mean "marked" again
      std::fill(stamps_.begin(), stamps_.end(), 0);
      round_ = 1;
    }
  }

  size_t Rows() const { return stamps_.size(); }
  size_t Marked() const { return marked_.size(); }

 private:
  std::vector<uint32_t> stamps_;  // per row: the round in which it was marked
  std::vector<uint32_t> marked_;
  uint32_t round_ = 1;
  bool overflowed_ = false;
};

}  // namespace fw::market
