// Test vocabulary for the market state and its handlers: wire messages of every market data type
// written field by field with FeedMessageWriter, and a small reference day filled straight into
// ReferenceTables.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "feed/feed_format.h"
#include "feed/feed_message_writer.h"
#include "refdata/reference_tables.h"

namespace fw::market::test {

using Bytes = std::vector<uint8_t>;

// One message: its fields in order, written into a frame of exactly the right length.
class Message {
 public:
  explicit Message(uint32_t type) : type_(type) {}

  Message& U8(uint8_t v) { return Add(1, v); }
  Message& U16(uint16_t v) { return Add(2, v); }
  Message& U32(uint32_t v) { return Add(4, v); }
  Message& I64(int64_t v) { return Add(8, v); }
  // Fixed-width text: shorter texts are padded with spaces.
  Message& Text(const std::string& text, int32_t width) {
    fields_.push_back({width, 0, text, true});
    length_ += width;
    return *this;
  }

  uint32_t Type() const { return type_; }

  Bytes Frame() const {
    Bytes frame(static_cast<size_t>(length_) + feed::kFrameOverhead, 0);
    feed::FeedMessageWriter writer(frame.data(), static_cast<int32_t>(frame.size()));
    writer.PutHeader(type_);
    for (const Field& f : fields_) {
      if (f.isText) {
        writer.PutText(f.text.c_str(), f.width);
      } else if (f.width == 1) {
        writer.PutUInt8(static_cast<uint8_t>(f.value));
      } else if (f.width == 2) {
        writer.PutUInt16(static_cast<uint16_t>(f.value));
      } else if (f.width == 4) {
        writer.PutUInt32(static_cast<uint32_t>(f.value));
      } else {
        writer.PutInt64(f.value);
      }
    }
    writer.PutChecksum();
    return frame;
  }

  Bytes Body() const {
    const Bytes frame = Frame();
    return Bytes(frame.begin() + feed::kHeaderBytes, frame.end() - feed::kChecksumBytes);
  }

 private:
  struct Field {
    int32_t width;
    int64_t value;
    std::string text;
    bool isText;
  };
  Message& Add(int32_t width, int64_t value) {
    fields_.push_back({width, value, std::string(), false});
    length_ += width;
    return *this;
  }

  uint32_t type_;
  int32_t length_ = 0;
  std::vector<Field> fields_;
};

// A frame around any body, with a correct checksum (for truncated, lengthened or corrupted bodies).
inline Bytes FrameAround(uint32_t type, const Bytes& body) {
  Bytes frame(body.size() + feed::kFrameOverhead, 0);
  feed::FeedMessageWriter writer(frame.data(), static_cast<int32_t>(frame.size()));
  writer.PutHeader(type);
  if (!body.empty()) std::memcpy(frame.data() + feed::kHeaderBytes, body.data(), body.size());
  writer.PutChecksum();
  return frame;
}

// The first ten fields of 300111, 309011, 309111 and 300611.
struct SnapshotHeader {
  int64_t origTime = 20260305093015000;
  std::string stream = "010";
  std::string code = "000001";
  std::string phase = "T0";
  int64_t prevClosePx = 0;
  int64_t numTrades = 0;
  int64_t totalVolume = 0;
  int64_t totalValue = 0;
};

inline void PutHeader(Message& m, const SnapshotHeader& h) {
  m.I64(h.origTime).U16(7).Text(h.stream, 3).Text(h.code, 8).Text("102", 4).Text(h.phase, 8);
  m.I64(h.prevClosePx).I64(h.numTrades).I64(h.totalVolume).I64(h.totalValue);
}

struct AuctionEntry {
  std::string type;
  int64_t price = 0;
  int64_t size = 0;
  uint16_t level = 0;
  std::vector<int64_t> orderQty = {};
};

inline Message CashAuctionSnapshot(const SnapshotHeader& h,
                                   const std::vector<AuctionEntry>& entries) {
  Message m(feed::kMsgCashAuctionSnapshot);
  PutHeader(m, h);
  m.U32(static_cast<uint32_t>(entries.size()));
  for (const AuctionEntry& e : entries) {
    m.Text(e.type, 2).I64(e.price).I64(e.size).U16(e.level).I64(42);
    m.U32(static_cast<uint32_t>(e.orderQty.size()));
    for (const int64_t q : e.orderQty) m.I64(q);
  }
  return m;
}

struct PriceEntry {
  std::string type;
  int64_t price = 0;
};

inline Message IndexSnapshot(const SnapshotHeader& h, const std::vector<PriceEntry>& entries) {
  Message m(feed::kMsgIndexSnapshot);
  PutHeader(m, h);
  m.U32(static_cast<uint32_t>(entries.size()));
  for (const PriceEntry& e : entries) m.Text(e.type, 2).I64(e.price);
  return m;
}

inline Message VolumeStatSnapshot(const SnapshotHeader& h, uint32_t stockNum) {
  Message m(feed::kMsgVolumeStatSnapshot);
  PutHeader(m, h);
  m.U32(stockNum);
  return m;
}

struct AfterHoursEntry {
  std::string type;
  int64_t price = 0;
  int64_t size = 0;
};

// `announced` is the NoMDEntries sent (the number of entries unless given).
inline Message AfterHoursSnapshot(const SnapshotHeader& h,
                                  const std::vector<AfterHoursEntry>& entries,
                                  int64_t announced = -1) {
  Message m(feed::kMsgAfterHoursSnapshot);
  PutHeader(m, h);
  m.U32(static_cast<uint32_t>(announced >= 0 ? announced : static_cast<int64_t>(entries.size())));
  for (const AfterHoursEntry& e : entries) m.Text(e.type, 2).I64(e.price).I64(e.size);
  return m;
}

struct NegotiatedOrder {
  int64_t sequence = 1;
  std::string stream = "051";
  std::string code = "000001";
  int64_t price = 105000;       // 10.5 yuan × 10000
  int64_t orderQty = 10000000;  // 100000 shares × 100
  uint8_t side = '1';
  int64_t transactTime = 20260305143015120;
  std::string confirmId = "";  // all spaces
  std::string contactor = "Li";
  std::string contactInfo = "13800000000";
};

inline Message NegotiatedOrderMessage(const NegotiatedOrder& o) {
  Message m(feed::kMsgNegotiatedOrder);
  m.U16(3).I64(o.sequence).Text(o.stream, 3).Text(o.code, 8).Text("102", 4).I64(o.price);
  m.I64(o.orderQty).U8(o.side).I64(o.transactTime).Text(o.confirmId, 8).Text(o.contactor, 12);
  m.Text(o.contactInfo, 30);
  return m;
}

inline Message NegotiatedOutcomeMessage(int64_t sequence, const std::string& code, uint8_t execType,
                                        const std::string& stream = "051") {
  Message m(feed::kMsgNegotiatedOutcome);
  m.U16(3).I64(sequence).Text(stream, 3).I64(11).I64(12).Text(code, 8).Text("102", 4);
  m.I64(105000).I64(10000000).U8(execType).I64(20260305143020000);
  return m;
}

inline Message SecuritySwitchMessage(int64_t origTime, const std::string& code,
                                     const std::vector<std::pair<uint16_t, uint16_t>>& switches) {
  Message m(feed::kMsgSecuritySwitch);
  m.I64(origTime).U16(4).Text(code, 8).Text("102", 4).Text("", 8);
  m.U32(static_cast<uint32_t>(switches.size()));
  for (const auto& [type, status] : switches) m.U16(type).U16(status);
  return m;
}

inline Message StreamPhaseMessage(const std::vector<std::pair<std::string, std::string>>& entries) {
  Message m(feed::kMsgStreamPhase);
  m.I64(20260305150000000).U16(5).U32(static_cast<uint32_t>(entries.size()));
  for (const auto& [stream, phase] : entries) m.Text(stream, 3).U32(1200).Text(phase, 8);
  return m;
}

// ---- Reference day ----------------------------------------------------------------------------

// A SecurityID as the loader keeps it: six characters and two blanks.
inline std::string Id8(const std::string& code) { return code + std::string(8 - code.size(), ' '); }

// Reference records of the test day are always created (their codes are never 0).
template <typename Record>
Record* Created(Record* record) {
  if (record == nullptr) std::abort();
  return record;
}

template <size_t N>
void SetText(char (&field)[N], const std::string& text) {
  std::memset(field, 0, N);
  std::memcpy(field, text.data(), text.size() < N ? text.size() : N);
}

inline refdata::SecurityRecord& AddSecurity(refdata::ReferenceTables& t, const std::string& code,
                                            const std::string& symbol, int16_t type,
                                            double prevClose) {
  refdata::SecurityRecord* r = Created(t.securities.Find(Id8(code).c_str(), true));
  SetText(r->Symbol, symbol);
  r->SecurityType = type;
  r->PrevClosePx = prevClose;
  r->haltFlag = ' ';
  return *r;
}

inline refdata::IssueParamsRecord& AddIssue(refdata::ReferenceTables& t, const std::string& code,
                                            const std::string& symbol, int16_t type, double upper,
                                            double lower, double issuePrice) {
  refdata::IssueParamsRecord* r = Created(t.issueParams.Find(Id8(code).c_str(), true));
  SetText(r->Symbol, symbol);
  r->SecurityType = type;
  r->PriceUpperLimit = upper;
  r->PriceLowerLimit = lower;
  r->issuePrice = issuePrice;
  return *r;
}

inline refdata::RightsIssueParamsRecord& AddRights(refdata::ReferenceTables& t,
                                                   const std::string& code,
                                                   const std::string& symbol, double price) {
  refdata::RightsIssueParamsRecord* r = Created(t.rightsIssueParams.Find(Id8(code).c_str(), true));
  SetText(r->Symbol, symbol);
  r->Price = price;
  return *r;
}

inline refdata::BondDistributionParamsRecord& AddBond(refdata::ReferenceTables& t,
                                                      const std::string& code,
                                                      const std::string& symbol) {
  refdata::BondDistributionParamsRecord* r =
      Created(t.bondDistributionParams.Find(Id8(code).c_str(), true));
  SetText(r->Symbol, symbol);
  r->price = 1.0;
  return *r;
}

inline refdata::IndexInfoRecord& AddIndex(refdata::ReferenceTables& t, const std::string& code,
                                          const std::string& symbol, double prevCloseIdx) {
  refdata::IndexInfoRecord* r = Created(t.indexInfo.Find(Id8(code).c_str(), true));
  SetText(r->Symbol, symbol);
  r->PrevCloseIdx = prevCloseIdx;
  return *r;
}

inline refdata::StatRecord& AddStat(refdata::ReferenceTables& t, const std::string& code,
                                    const std::string& symbol) {
  refdata::StatRecord* r = Created(t.stat.Find(Id8(code).c_str(), true));
  SetText(r->Symbol, symbol);
  return *r;
}

// The day most handler tests run on:
//   securities 000001 (prev close 10.50), 000002 (20.00), 000629 (SecurityType 29), 300750 (188.00)
//   issue parameters 070001 (upper 11.00, lower 9.00, issue price 11.00)
//   indexes 399001 (10234.5625), 399006 (2000.0); statistic 395001
inline void FillSmallDay(refdata::ReferenceTables& t) {
  AddSecurity(t, "000001", "PINGAN BANK", 1, 10.50);
  AddSecurity(t, "000002", "VANKE A", 1, 20.00);
  AddSecurity(t, "000629", "WARRANT", 29, 1.00);
  AddSecurity(t, "300750", "CATL", 2, 188.00);
  AddIssue(t, "070001", "NEWISSUE", 1, 11.00, 9.00, 11.00);
  AddIndex(t, "399001", "SZCZ", 10234.5625);
  AddIndex(t, "399006", "CYBZ", 2000.0);
  AddStat(t, "395001", "MAINBRD");
}

}  // namespace fw::market::test
