// AscendingLookup: look-ups of codes that mostly come in ascending order, in one reference table.
//
// The stock quote table runs in ascending code order, so a look-up walks forward from the previous
// one instead of searching the tree from its root (twenty thousand tree searches through scattered
// nodes cost more than formatting the rows); a code below the previous one, or one far ahead, is
// searched normally. Never creates a record.
//
// Thread: the one that reads the table; the table must not change while the look-up lives (one
// writer's rows).
#pragma once

#include <cstdint>

namespace fw::dbf {

template <typename Table>
class AscendingLookup {
 public:
  explicit AscendingLookup(const Table& table) : map_(table.Entries()), at_(map_.begin()) {}

  // The record of `code`, or nullptr.
  const auto* Find(uint32_t code) {
    if (code < lastCode_) {
      at_ = map_.lower_bound(code);
    } else {
      // Everything before at_ is below lastCode_, hence below code: walking on finds its bound.
      for (int step = 0; step < 8 && at_ != map_.end() && at_->first < code; ++step) ++at_;
      if (at_ != map_.end() && at_->first < code) at_ = map_.lower_bound(code);
    }
    lastCode_ = code;
    return at_ != map_.end() && at_->first == code ? &at_->second.record : nullptr;
  }

 private:
  const typename Table::Map& map_;
  typename Table::Map::const_iterator at_;
  uint32_t lastCode_ = 0;
};

}  // namespace fw::dbf
