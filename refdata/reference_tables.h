// Layer refdata/, above foundation/: the day's reference tables and their loaders, the index-name
// map, the closing data and the holiday calendar. It includes foundation/ only.
//
// The ten process-wide reference tables: ordered maps from code number to record.
//
// A record is created zero-filled with its SecurityID the first time its code number is met and is
// updated in place by later loads; the processor's daily reset empties seven of the tables, the
// other three keep earlier days' records. Each table also remembers which records the latest load
// of its file held ("loaded in the current file"), so that a record kept from an earlier day, or
// made by a creating look-up, never passes for one of today's.
//
// Threads: the tables are filled by the processor's start-up, which holds the processor's lock
// while the write cycle is idle. Afterwards only the receive thread changes them, and only the
// securities records' trading phase and halt flag and the security switch table, under the
// processor's lock; the write cycle reads those through a FeedOverlay copied under that lock and
// reads everything else directly. Writers never create records.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <map>
#include <vector>

#include "refdata/code_number.h"
#include "refdata/reference_records.h"

namespace fw::refdata {

// kAlwaysCreates: the table's Find creates a missing record even when asked not to (the after-hours
// parameters, cash auction parameters, negotiation parameters, index info, statistics and security
// switch tables); the others honour create = false.
template <typename Record, bool kAlwaysCreates>
class ReferenceTable {
 public:
  using RecordType = Record;
  struct Entry {
    Record record;
    uint32_t loadGeneration;  // the load that last read this record from its file; 0 = none
  };
  using Map = std::map<uint32_t, Entry>;

  // The record of a code text (at most its first 8 characters are looked at), or nullptr. A missing
  // record is created zero-filled with the text's first 8 characters as SecurityID when create is
  // set or the table always creates. Code number 0 gives nullptr.
  Record* Find(const char* codeText, bool create) {
    const uint32_t code = CodeNumber(codeText, 8);
    if (code == 0) return nullptr;
    auto it = map_.find(code);
    if (it != map_.end()) return &it->second.record;
    if (!create && !kAlwaysCreates) return nullptr;
    Entry& entry = map_[code];
    std::memset(&entry, 0, sizeof entry);
    std::memcpy(entry.record.SecurityID, codeText, Length8(codeText));
    return &entry.record;
  }

  // Look-ups that never create.
  const Record* Get(uint32_t code) const {
    auto it = map_.find(code);
    return it == map_.end() ? nullptr : &it->second.record;
  }
  Record* GetMutable(uint32_t code) {
    auto it = map_.find(code);
    return it == map_.end() ? nullptr : &it->second.record;
  }
  // Whether the latest load of the table's file held a record for this code.
  bool LoadedInCurrentFile(uint32_t code) const {
    auto it = map_.find(code);
    return it != map_.end() && generation_ != 0 && it->second.loadGeneration == generation_;
  }
  const Record* GetLoaded(uint32_t code) const {
    return LoadedInCurrentFile(code) ? Get(code) : nullptr;
  }

  // Loader side: BeginLoad starts a new load of the file; MarkLoaded notes that it read `record`.
  void BeginLoad() { ++generation_; }
  void MarkLoaded(const Record* record) {
    const uint32_t code = CodeNumber(record->SecurityID, 8);
    auto it = map_.find(code);
    if (it != map_.end()) it->second.loadGeneration = generation_;
  }

  size_t Size() const { return map_.size(); }
  void Clear() { map_.clear(); }  // the generation keeps counting across days
  const Map& Entries() const { return map_; }
  // Ascending code order.
  typename Map::const_iterator begin() const { return map_.begin(); }
  typename Map::const_iterator end() const { return map_.end(); }

 private:
  static size_t Length8(const char* text) {
    size_t n = 0;
    while (n < 8 && text[n] != '\0') ++n;
    return n;
  }

  Map map_;
  uint32_t generation_ = 0;
};

using SecurityTable = ReferenceTable<SecurityRecord, false>;
using AfterHoursParamsTable = ReferenceTable<AfterHoursParamsRecord, true>;
using BondDistributionParamsTable = ReferenceTable<BondDistributionParamsRecord, false>;
using CashAuctionParamsTable = ReferenceTable<CashAuctionParamsRecord, true>;
using IssueParamsTable = ReferenceTable<IssueParamsRecord, false>;
using RightsIssueParamsTable = ReferenceTable<RightsIssueParamsRecord, false>;
using NegotiationParamsTable = ReferenceTable<NegotiationParamsRecord, true>;
using IndexInfoTable = ReferenceTable<IndexInfoRecord, true>;
using StatTable = ReferenceTable<StatRecord, true>;
using SecuritySwitchTable = ReferenceTable<SecuritySwitchRecord, true>;

struct ReferenceTables {
  SecurityTable securities;
  AfterHoursParamsTable afterHoursParams;
  BondDistributionParamsTable bondDistributionParams;
  CashAuctionParamsTable cashAuctionParams;
  IssueParamsTable issueParams;
  RightsIssueParamsTable rightsIssueParams;
  NegotiationParamsTable negotiationParams;
  IndexInfoTable indexInfo;
  StatTable stat;
  SecuritySwitchTable securitySwitch;

  // The processor's daily reset: empties securities, cash auction, issue, rights-issue, bond
  // distribution, index info and statistics; the security switch, negotiation and after-hours
  // parameters keep their records.
  void ResetForNewDay() {
    securities.Clear();
    cashAuctionParams.Clear();
    issueParams.Clear();
    rightsIssueParams.Clear();
    bondDistributionParams.Clear();
    indexInfo.Clear();
    stat.Clear();
  }
};

// The codes of the issue, rights-issue and bond-distribution parameter records, ascending: the
// instruments that have quote and information rows beside the securities. A code held by two of
// the files appears twice.
inline std::vector<uint32_t> ParameterCodes(const ReferenceTables& tables) {
  std::vector<uint32_t> codes;
  codes.reserve(tables.issueParams.Size() + tables.rightsIssueParams.Size() +
                tables.bondDistributionParams.Size());
  for (const auto& entry : tables.issueParams) codes.push_back(entry.first);
  for (const auto& entry : tables.rightsIssueParams) codes.push_back(entry.first);
  for (const auto& entry : tables.bondDistributionParams) codes.push_back(entry.first);
  std::sort(codes.begin(), codes.end());
  return codes;
}

// The process's one set of tables.
ReferenceTables& ProcessReferenceTables();

// What the receive thread may change while the write cycle runs, copied under the processor's lock
// (or taken straight from the tables when nothing else runs, as at start-up).
struct FeedOverlay {
  struct Phase {
    uint32_t code;
    char tradingPhase[2];
    char haltFlag;
  };
  struct Switch {
    uint32_t code;
    SecuritySwitchRecord record;
  };
  // Flat lists, so that the copy of every cycle allocates nothing once it has its room.
  std::vector<Phase> phases;     // one per security, ascending code
  std::vector<Switch> switches;  // one per security with switches, ascending code

  static FeedOverlay From(const ReferenceTables& tables) {
    FeedOverlay overlay;
    overlay.phases.reserve(tables.securities.Size());
    for (const auto& [code, entry] : tables.securities) {
      Phase phase{code,
                  {entry.record.tradingPhase[0], entry.record.tradingPhase[1]},
                  entry.record.haltFlag};
      overlay.phases.push_back(phase);
    }
    overlay.switches.reserve(tables.securitySwitch.Size());
    for (const auto& [code, entry] : tables.securitySwitch)
      overlay.switches.push_back({code, entry.record});
    return overlay;
  }
  const Phase* FindPhase(uint32_t code) const { return FindByCode(phases, code); }
  const SecuritySwitchRecord* FindSwitch(uint32_t code) const {
    const Switch* found = FindByCode(switches, code);
    return found != nullptr ? &found->record : nullptr;
  }

 private:
  template <typename Entry>
  static const Entry* FindByCode(const std::vector<Entry>& entries, uint32_t code) {
    const auto it = std::lower_bound(entries.begin(), entries.end(), code,
                                     [](const Entry& e, uint32_t c) { return e.code < c; });
    return it != entries.end() && it->code == code ? &*it : nullptr;
  }
};

}  // namespace fw::refdata
