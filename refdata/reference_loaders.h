// The family of reference file loaders: one loader per daily file of the exchange, each filling its
// process-wide reference table (reference_tables.h) from the file's Security elements.
//
// Every member builds the day's file name (ReferenceFilePath with today's local date), logs its
// opening line at level 0 with the full path, opens the file and walks its Security elements: an
// element with a usable SecurityID (six characters padded with blanks) and a code number other
// than 0 gets its record (created zero-filled when new), and the fields found are stored in it;
// fields not found keep their values. What each member reads, and its rules, stand in the tables
// of reference_loaders.cpp.
//
// Load returns 0, or -100 (no folder text), -200 (the file is missing, unreadable or not XML) or
// -300 (no root element); a failed load leaves the records of its table as they were. Every load
// starts a new load generation of the table (BeginLoad), and a successful one marks every record
// it read, so that LoadedInCurrentFile tells today's records from those kept from an earlier day;
// after a failed load no record counts as read from today's file.
//
// Loaders are made for one load on the thread that initialises the processor (which holds the
// processor's lock meanwhile) and dropped afterwards; the tables outlive them.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

#include "refdata/index_name_map.h"
#include "refdata/reference_file_reader.h"
#include "refdata/reference_tables.h"

namespace fw::refdata {

class ReferenceLoader : public ReferenceFileReader {
 public:
  // Reads today's file into the table: 0, or -100, -200, -300 (see above).
  int32_t Load();
  // Reads a document already in memory (tests, tools): the same walk without a file name, an
  // opening line or the index info loader's reading of its name file. 0, -200 or -300.
  int32_t LoadText(std::string_view text);

 protected:
  // rootName: the file's name stem; openingLine: the level-0 line logged with the path.
  ReferenceLoader(std::string folder, const char* rootName, const char* openingLine);

  // Before the file is opened (the index info loader reads its name map here).
  virtual void Prepare() {}
  // A load begins: the table starts its new load generation, whether or not the file then reads.
  virtual void BeginLoad() = 0;
  // Whether the entered Security may create a record (the security switch file's source check).
  virtual bool Accept() { return true; }
  // Reads the entered Security whose SecurityID is code (terminated, at most 8 characters).
  virtual void ReadSecurity(const char* code) = 0;

  // Reads a Symbol element into a 40-byte field, converted from UTF-8 to the local code page: the
  // field becomes the first 40 bytes of the converted text (zero-filled). When the conversion
  // fails the field keeps the text as read if keepTextOnFailure is set, else it is left alone.
  // True when the element was found.
  bool ReadSymbol(char (&symbol)[40], bool keepTextOnFailure);

 private:
  // Walks the opened document's Security elements.
  void ReadSecurities();

  const char* openingLine_;
};

// A loader into one kind's table: the record of each usable Security is found or made, read by
// the kind's Read and marked as read in the current file. A kind is its file name, its opening
// line and its Read.
template <typename Table>
class TableLoader : public ReferenceLoader {
 public:
  using Record = typename Table::RecordType;

 protected:
  TableLoader(std::string folder, Table& table, const char* rootName, const char* openingLine)
      : ReferenceLoader(std::move(folder), rootName, openingLine), table_(table) {}

  // Reads the entered Security's fields into its record.
  virtual void Read(Record& record) = 0;

 private:
  void BeginLoad() final { table_.BeginLoad(); }
  void ReadSecurity(const char* code) final {
    Record* record = table_.Find(code, true);
    if (record == nullptr) return;
    Read(*record);
    table_.MarkLoaded(record);
  }

  Table& table_;
};

// securities_<date>.xml.
class SecuritiesLoader final : public TableLoader<SecurityTable> {
 public:
  SecuritiesLoader(std::string folder, SecurityTable& table)
      : TableLoader(std::move(folder), table, "securities", "opening securityes.xml file: %s ") {}

 private:
  void Read(SecurityRecord& record) override;
  void ReadStatus(SecurityRecord& record);
};

// afterhoursparams_<date>.xml. A SecurityIDSource other than 102 is stored and ends the element.
class AfterHoursParamsLoader final : public TableLoader<AfterHoursParamsTable> {
 public:
  AfterHoursParamsLoader(std::string folder, AfterHoursParamsTable& table)
      : TableLoader(std::move(folder), table, "afterhoursparams",
                    "opening afterhoursparams.xml file: %s ") {}

 private:
  void Read(AfterHoursParamsRecord& record) override;
};

// bonddistributionparams_<date>.xml; every record read gets the distribution price 1.0.
class BondDistributionParamsLoader final : public TableLoader<BondDistributionParamsTable> {
 public:
  BondDistributionParamsLoader(std::string folder, BondDistributionParamsTable& table)
      : TableLoader(std::move(folder), table, "bonddistributionparams",
                    "opening bonddistributionparams.xml file: %s ") {}

 private:
  void Read(BondDistributionParamsRecord& record) override;
};

// cashauctionparams_<date>.xml, with up to five price limit settings per security.
class CashAuctionParamsLoader final : public TableLoader<CashAuctionParamsTable> {
 public:
  CashAuctionParamsLoader(std::string folder, CashAuctionParamsTable& table)
      : TableLoader(std::move(folder), table, "cashauctionparams",
                    "opening cashauctionparams.xml file: %s ") {}

 private:
  void Read(CashAuctionParamsRecord& record) override;
};

// issueparams_<date>.xml. The issue price of every record read is PriceUpperLimit when
// priceUpLimit (the configuration's PriceUpLimit) is set, else PriceLowerLimit.
class IssueParamsLoader final : public TableLoader<IssueParamsTable> {
 public:
  IssueParamsLoader(std::string folder, IssueParamsTable& table, bool priceUpLimit)
      : TableLoader(std::move(folder), table, "issueparams", "opening issueparams.xml file: %s "),
        priceUpLimit_(priceUpLimit) {}

 private:
  void Read(IssueParamsRecord& record) override;

  bool priceUpLimit_;
};

// rightsissueparams_<date>.xml.
class RightsIssueParamsLoader final : public TableLoader<RightsIssueParamsTable> {
 public:
  RightsIssueParamsLoader(std::string folder, RightsIssueParamsTable& table)
      : TableLoader(std::move(folder), table, "rightsissueparams",
                    "opening rightsissueparams.xml file: %s ") {}

 private:
  void Read(RightsIssueParamsRecord& record) override;
};

// negotiationparams_<date>.xml.
class NegotiationParamsLoader final : public TableLoader<NegotiationParamsTable> {
 public:
  NegotiationParamsLoader(std::string folder, NegotiationParamsTable& table)
      : TableLoader(std::move(folder), table, "negotiationparams",
                    "opening negotiationparams.xml file: %s ") {}

 private:
  void Read(NegotiationParamsRecord& record) override;
};

// indexinfo_<date>.xml. The operator's index name map (indexNameFile, the configuration's
// IndexNameFile) is read afresh first; an index it names gets that 8-byte name over the first 8
// bytes of its Symbol and its Symbol element is not read. Otherwise the Symbol is stored only when
// it converts. A missing name file is logged by the map and the index file is loaded anyway.
class IndexInfoLoader final : public TableLoader<IndexInfoTable> {
 public:
  IndexInfoLoader(std::string folder, IndexInfoTable& table, std::string indexNameFile)
      : TableLoader(std::move(folder), table, "indexinfo", "opening indexinfo.xml file: %s "),
        indexNameFile_(std::move(indexNameFile)) {}

  const IndexNameMap& Names() const { return names_; }

 private:
  void Prepare() override { names_.Load(indexNameFile_); }
  void Read(IndexInfoRecord& record) override;

  std::string indexNameFile_;
  IndexNameMap names_;
};

// stat_<date>.xml.
class StatLoader final : public TableLoader<StatTable> {
 public:
  StatLoader(std::string folder, StatTable& table)
      : TableLoader(std::move(folder), table, "stat", "opening stat.xml file: %s ") {}

 private:
  void Read(StatRecord& record) override;
};

// securityswitch_<date>.xml. A Security whose SecurityIDSource is present and not 102 is skipped
// before any record is made. Each SecuritySwitch/Setting with a Switch n in 1..31 sets switch n to
// 'T' when its Status begins with 'Y', else 'F'; a Setting without Status leaves it alone.
class SecuritySwitchLoader final : public TableLoader<SecuritySwitchTable> {
 public:
  SecuritySwitchLoader(std::string folder, SecuritySwitchTable& table)
      : TableLoader(std::move(folder), table, "securityswitch",
                    "opening securityswitch.xml file: %s ") {}

 private:
  bool Accept() override;
  void Read(SecuritySwitchRecord& record) override;
};

}  // namespace fw::refdata
