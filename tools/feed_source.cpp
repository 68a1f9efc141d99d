#include "tools/feed_source.h"

#include <algorithm>

namespace fw::tools {
namespace {

constexpr uint32_t kMaxOrderSequence = 20000;     // the receiver drops sequences above this
constexpr int64_t kTradingSeconds = 4 * 3600;     // 09:30-11:30 and 13:00-15:00
constexpr uint32_t kAfterHoursSeconds = 25 * 60;  // 15:05 to 15:30

uint64_t SplitMix(uint64_t x) {
  x += 0x9E3779B97F4A7C15ull;
  x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
  x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
  return x ^ (x >> 31);
}

uint32_t ClockOf(uint32_t secondsOfDay) {
  return secondsOfDay / 3600 * 10000 + secondsOfDay / 60 % 60 * 100 + secondsOfDay % 60;
}

int64_t Scale(int64_t total, uint32_t part, uint32_t whole) {
  return total / whole * part + total % whole * part / whole;
}

// Moves the day's extremes by one more value.
template <typename Quote>
void Track(Quote* q, int64_t value, bool first) {
  if (first) {
    q->open = q->high = q->low = value;
  } else {
    q->high = std::max(q->high, value);
    q->low = std::min(q->low, value);
  }
}

}  // namespace

SyntheticDayFeed::SyntheticDayFeed(std::shared_ptr<const SampleDay> day, uint32_t rounds)
    : day_(std::move(day)), rounds_(std::max<uint32_t>(rounds, 1)) {
  for (size_t i = 0; i < day_->securities.size(); ++i) {
    const SampleSecurity& s = day_->securities[i];
    if (!s.Loadable()) continue;
    if (s.cashAuction) tradable_.push_back(i);
    if (s.negotiation) negotiable_.push_back(i);
    if (s.afterHours) afterHours_.push_back(i);
    if (!s.switches.empty()) switched_.push_back(i);
  }
  securityQuotes_.resize(tradable_.size());
  indexQuotes_.resize(day_->indexes.size());
}

uint64_t SyntheticDayFeed::Noise(uint64_t a, uint64_t b) const {
  return SplitMix(day_->seed ^ SplitMix(a * 0x100000001B3ull + b));
}

uint32_t SyntheticDayFeed::OrdersInRound(uint32_t round) const {
  if (negotiable_.empty() || round == 0 || round > rounds_) return 0;
  const uint64_t first = static_cast<uint64_t>(round - 1) * kOrdersPerRound;
  if (first >= kMaxOrderSequence) return 0;
  return static_cast<uint32_t>(std::min<uint64_t>(kOrdersPerRound, kMaxOrderSequence - first));
}

size_t SyntheticDayFeed::RoundItems() const {
  return tradable_.size() + day_->indexes.size() + day_->stats.size() + OrdersInRound(round_ - 1) +
         OrdersInRound(round_);
}

int64_t SyntheticDayFeed::RoundTime() const {
  const size_t item = item_;
  const size_t items = RoundItems();
  const int64_t start = kTradingSeconds * 1000 * (round_ - 1) / rounds_;
  const int64_t end = kTradingSeconds * 1000 * round_ / rounds_;
  const int64_t ms = start + (end - start) * static_cast<int64_t>(item) /
                                 static_cast<int64_t>(std::max<size_t>(items, 1));
  const int64_t seconds = ms / 1000;
  const int64_t secondsOfDay =
      seconds < 7200 ? 9 * 3600 + 30 * 60 + seconds : 13 * 3600 + seconds - 7200;
  return OrigTime(day_->date, ClockOf(static_cast<uint32_t>(secondsOfDay)),
                  static_cast<uint32_t>(ms % 1000));
}

Frame SyntheticDayFeed::SecuritySnapshot(size_t position) {
  const SampleSecurity& s = day_->securities[tradable_[position]];
  const bool first = round_ == 1;
  const int64_t tick = s.cashAuction->priceTick > 0 ? s.cashAuction->priceTick : 10;
  const int64_t unit = s.qtyUnit > 0 ? s.qtyUnit : 100;
  SnapshotHeader h;
  h.origTime = RoundTime();
  h.stream = "010";
  h.securityId = s.code;
  h.prevClosePx = s.prevClosePx * 10;
  if (s.Halted()) {
    h.tradingPhase = "T1";
    return EncodeCashAuctionSnapshot(h, {});
  }
  int64_t price = s.closePx;
  if (round_ < rounds_) {
    const int64_t base = s.prevClosePx + Scale(s.closePx - s.prevClosePx, round_, rounds_);
    const int64_t jitter =
        (static_cast<int64_t>(Noise(position, round_) % 201) - 100) * s.prevClosePx / 10000;
    price = (base + jitter + tick / 2) / tick * tick;
    if (s.hasPriceLimit) price = std::clamp(price, s.limitDownPx, s.limitUpPx);
    price = std::max(price, tick);
  }
  Quote& q = securityQuotes_[position];
  Track(&q, price, first);
  h.numTrades = Scale(s.numTrades, round_, rounds_);
  h.totalVolumeTrade = Scale(s.totalVolume, round_, rounds_) * 100;
  h.totalValueTrade = Scale(s.totalValue, round_, rounds_) * 10;

  std::vector<BookEntry> entries;
  entries.reserve(16);
  for (uint16_t level = 1; level <= 5; ++level) {
    const int64_t bid = price - level * tick;
    if (bid > 0 && (!s.hasPriceLimit || bid >= s.limitDownPx)) {
      BookEntry e{"0 ",
                  bid * 1000,
                  unit * static_cast<int64_t>(1 + Noise(position, round_ * 16 + level) % 50) * 100,
                  level,
                  static_cast<int64_t>(1 + Noise(level, round_) % 9),
                  {}};
      if (level == 1) e.orderQty = {unit * 100, unit * 200};
      entries.push_back(std::move(e));
    }
    const int64_t ask = price + level * tick;
    if (!s.hasPriceLimit || ask <= s.limitUpPx) {
      entries.push_back(
          {"1 ",
           ask * 1000,
           unit * static_cast<int64_t>(1 + Noise(position, round_ * 16 + 8 + level) % 50) * 100,
           level,
           static_cast<int64_t>(1 + Noise(level + 8, round_) % 9),
           {}});
    }
  }
  entries.push_back({"2 ", price * 1000, 0, 0, 0, {}});
  entries.push_back({"4 ", q.open * 1000, 0, 0, 0, {}});
  entries.push_back({"7 ", q.high * 1000, 0, 0, 0, {}});
  entries.push_back({"8 ", q.low * 1000, 0, 0, 0, {}});
  entries.push_back({"x1", (price - s.prevClosePx) * 1000, 0, 0, 0, {}});
  if (s.prevClosePx > 0) {
    entries.push_back({"x2", (price - s.prevClosePx) * 100000000 / s.prevClosePx, 0, 0, 0, {}});
  }
  return EncodeCashAuctionSnapshot(h, entries);
}

Frame SyntheticDayFeed::IndexSnapshot(size_t position) {
  const SampleIndex& idx = day_->indexes[position];
  int64_t value = idx.close;
  if (round_ < rounds_) {
    value = idx.prevClose + Scale(idx.close - idx.prevClose, round_, rounds_) +
            (static_cast<int64_t>(Noise(position + 1000003, round_) % 101) - 50) * idx.prevClose /
                10000;
    value = std::max<int64_t>(value, 1);
  }
  Quote& q = indexQuotes_[position];
  Track(&q, value, round_ == 1);
  SnapshotHeader h;
  h.origTime = RoundTime();
  h.stream = "900";
  h.securityId = idx.code;
  h.prevClosePx = idx.prevClose;
  h.numTrades = Scale(idx.numTrades, round_, rounds_);
  h.totalVolumeTrade = Scale(idx.totalVolume, round_, rounds_) * 100;
  h.totalValueTrade = Scale(idx.totalValue, round_, rounds_) * 10;
  // Index values are ten-thousandths of a point; the wire carries millionths.
  return EncodeIndexSnapshot(h, {{"3 ", value * 100},
                                 {"xa", idx.prevClose * 100},
                                 {"xb", q.open * 100},
                                 {"xc", q.high * 100},
                                 {"xd", q.low * 100}});
}

Frame SyntheticDayFeed::StatSnapshot(size_t position) {
  const SampleStat& st = day_->stats[position];
  SnapshotHeader h;
  h.origTime = RoundTime();
  h.stream = "910";
  h.securityId = st.code;
  h.numTrades = Scale(st.numTrades, round_, rounds_);
  h.totalVolumeTrade = Scale(st.totalVolume, round_, rounds_) * 100;
  h.totalValueTrade = Scale(st.totalValue, round_, rounds_) * 10;
  return EncodeVolumeStatSnapshot(h, st.stockNum);
}

Frame SyntheticDayFeed::AfterHoursSnapshot(size_t position, bool secondStream) {
  const SampleSecurity& s = day_->securities[afterHours_[position]];
  const int64_t unit = s.qtyUnit > 0 ? s.qtyUnit : 100;
  const size_t item = position * 2 + (secondStream ? 1 : 0);
  const uint32_t second = static_cast<uint32_t>(kAfterHoursSeconds * static_cast<uint64_t>(item) /
                                                std::max<size_t>(afterHours_.size() * 2, 1));
  SnapshotHeader h;
  h.origTime = OrigTime(day_->date, ClockOf(15 * 3600 + 5 * 60 + second), 0);
  h.stream = secondStream ? "061" : "060";
  h.securityId = s.code;
  h.tradingPhase = "A0";
  h.prevClosePx = s.prevClosePx * 10;
  const int64_t trades = static_cast<int64_t>(Noise(item, 7777) % 20);
  h.numTrades = trades;
  h.totalVolumeTrade = trades * unit * 100;
  h.totalValueTrade = trades * unit * s.closePx * 10;
  const int64_t px = s.closePx * 1000;
  return EncodeAfterHoursSnapshot(
      h, {{"0 ", px, unit * static_cast<int64_t>(1 + Noise(item, 1) % 30) * 100},
          {"1 ", px, unit * static_cast<int64_t>(1 + Noise(item, 2) % 30) * 100}});
}

Frame SyntheticDayFeed::NegotiatedOrderAt(uint32_t slot) {
  const SampleSecurity& s = day_->securities[negotiable_[slot % negotiable_.size()]];
  const int64_t unit = s.qtyUnit > 0 ? s.qtyUnit : 100;
  NegotiatedOrder o;
  o.applSeqNum = slot + 1;
  o.stream = slot % 2 == 0 ? "051" : "052";
  o.securityId = s.code;
  o.price = (s.closePx > 0 ? s.closePx : s.prevClosePx) * 10;
  o.orderQty = unit * static_cast<int64_t>(1 + Noise(slot, 31) % 100) * 100;
  o.side = slot % 2 == 0 ? '1' : '2';
  o.transactTime = RoundTime();
  o.confirmId = slot % 3 == 0 ? "" : std::to_string(10000000 + slot);
  o.contactor = "TRADER" + std::to_string(slot % 100);
  o.contactInfo = "0755-" + std::to_string(80000000 + slot);
  return EncodeNegotiatedOrder(o);
}

Frame SyntheticDayFeed::NegotiatedOutcomeAt(uint32_t slot) {
  const SampleSecurity& s = day_->securities[negotiable_[slot % negotiable_.size()]];
  const int64_t unit = s.qtyUnit > 0 ? s.qtyUnit : 100;
  NegotiatedOutcome o;
  o.applSeqNum = slot + 1;
  o.stream = slot % 2 == 0 ? "051" : "052";
  o.bidApplSeqNum = slot + 1;
  o.offerApplSeqNum = slot + 1;
  o.securityId = s.code;
  o.lastPx = (s.closePx > 0 ? s.closePx : s.prevClosePx) * 10;
  o.lastQty = unit * 100;
  o.execType = slot % 4 == 3 ? '4' : 'F';
  o.transactTime = RoundTime();
  return EncodeNegotiatedOutcome(o);
}

bool SyntheticDayFeed::Next(Frame* out) {
  for (;;) {
    switch (stage_) {
      case Stage::kOpen: {
        const uint32_t n = static_cast<uint32_t>(tradable_.size());
        *out = EncodeStreamPhase(OrigTime(day_->date, 91500, 0), 1,
                                 {{"010", n, "T0"},
                                  {"020", n, "T0"},
                                  {"030", n, "T0"},
                                  {"051", 0, "T0"},
                                  {"052", 0, "T0"},
                                  {"060", 0, "S0"},
                                  {"061", 0, "S0"}});
        stage_ = Stage::kSwitches;
        item_ = 0;
        return true;
      }
      case Stage::kSwitches:
        if (item_ < switched_.size()) {
          const SampleSecurity& s = day_->securities[switched_[item_]];
          std::vector<SwitchEntry> entries;
          for (const SampleSwitch& sw : s.switches) {
            entries.push_back(
                {static_cast<uint16_t>(sw.type), static_cast<uint16_t>(sw.enabled ? 1 : 0)});
          }
          *out = EncodeSecuritySwitch(
              OrigTime(day_->date, 91500, static_cast<uint32_t>(item_ % 1000)), 1, s.code, entries);
          ++item_;
          return true;
        }
        stage_ = Stage::kRounds;
        round_ = 1;
        item_ = 0;
        break;
      case Stage::kRounds: {
        const size_t securities = tradable_.size();
        const size_t indexes = securities + day_->indexes.size();
        const size_t stats = indexes + day_->stats.size();
        const uint32_t previousOrders = OrdersInRound(round_ - 1);
        const size_t outcomes = stats + previousOrders;
        const size_t orders = outcomes + OrdersInRound(round_);
        if (item_ < orders) {
          const size_t i = item_;
          if (i < securities) {
            *out = SecuritySnapshot(i);
          } else if (i < indexes) {
            *out = IndexSnapshot(i - securities);
          } else if (i < stats) {
            *out = StatSnapshot(i - indexes);
          } else if (i < outcomes) {
            *out = NegotiatedOutcomeAt((round_ - 2) * kOrdersPerRound +
                                       static_cast<uint32_t>(i - stats));
          } else {
            *out = NegotiatedOrderAt((round_ - 1) * kOrdersPerRound +
                                     static_cast<uint32_t>(i - outcomes));
          }
          ++item_;
          return true;
        }
        item_ = 0;
        if (round_ < rounds_) {
          ++round_;
        } else {
          stage_ = Stage::kAuctionClose;
        }
        break;
      }
      case Stage::kAuctionClose: {
        const uint32_t n = static_cast<uint32_t>(tradable_.size());
        *out = EncodeStreamPhase(OrigTime(day_->date, 150000, 500), 1,
                                 {{"010", n, "E0"}, {"020", n, "E0"}, {"030", n, "E0"}});
        stage_ = Stage::kAfterHoursOpen;
        return true;
      }
      case Stage::kAfterHoursOpen: {
        const uint32_t n = static_cast<uint32_t>(afterHours_.size());
        *out = EncodeStreamPhase(OrigTime(day_->date, 150500, 0), 1,
                                 {{"060", n, "T0"}, {"061", n, "T0"}});
        stage_ = Stage::kAfterHours;
        item_ = 0;
        return true;
      }
      case Stage::kAfterHours:
        if (item_ < afterHours_.size() * 2) {
          *out = AfterHoursSnapshot(item_ / 2, item_ % 2 == 1);
          ++item_;
          return true;
        }
        stage_ = Stage::kFinalClose;
        break;
      case Stage::kFinalClose: {
        const uint32_t n = static_cast<uint32_t>(afterHours_.size());
        *out = EncodeStreamPhase(
            OrigTime(day_->date, 153000, 0), 1,
            {{"051", 0, "E0"}, {"052", 0, "E0"}, {"060", n, "E0"}, {"061", n, "E0"}});
        stage_ = Stage::kDone;
        return true;
      }
      case Stage::kDone:
        return false;
    }
  }
}

SyntheticDayCounts SyntheticDayFeed::Counts() const {
  SyntheticDayCounts c;
  c.streamPhase = 4;
  c.switches = switched_.size();
  c.cashAuction = static_cast<uint64_t>(tradable_.size()) * rounds_;
  c.index = static_cast<uint64_t>(day_->indexes.size()) * rounds_;
  c.stat = static_cast<uint64_t>(day_->stats.size()) * rounds_;
  for (uint32_t r = 1; r <= rounds_; ++r) {
    c.negotiatedOrder += OrdersInRound(r);
    c.negotiatedOutcome += OrdersInRound(r - 1);
  }
  c.afterHours = static_cast<uint64_t>(afterHours_.size()) * 2;
  return c;
}

CaptureReplayFeed::CaptureReplayFeed(std::shared_ptr<const std::string> bytes)
    : bytes_(std::move(bytes)) {}

bool CaptureReplayFeed::Next(Frame* out) {
  const std::string& b = *bytes_;
  if (position_ >= b.size()) return false;
  auto word = [&](size_t at) {
    return static_cast<uint32_t>(static_cast<uint8_t>(b[at])) << 24 |
           static_cast<uint32_t>(static_cast<uint8_t>(b[at + 1])) << 16 |
           static_cast<uint32_t>(static_cast<uint8_t>(b[at + 2])) << 8 |
           static_cast<uint32_t>(static_cast<uint8_t>(b[at + 3]));
  };
  // Length of a plausible frame that lies wholly in the file at `at`, else 0.
  auto frameAt = [&](size_t at) -> size_t {
    if (b.size() - at < 12) return 0;
    const uint32_t type = word(at);
    const uint32_t length = word(at + 4);
    if (type > 500000 || length > 8180 || length + 12 > b.size() - at) return 0;
    return length + 12;
  };
  size_t end = position_ + frameAt(position_);
  if (end == position_) {
    // Bytes that do not start a frame go out as one run, up to the next plausible header.
    end = position_ + 1;
    while (end < b.size() && frameAt(end) == 0) ++end;
  }
  out->assign(b.begin() + static_cast<std::ptrdiff_t>(position_),
              b.begin() + static_cast<std::ptrdiff_t>(end));
  position_ = end;
  return true;
}

}  // namespace fw::tools
