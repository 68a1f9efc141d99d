// Find of the ten reference tables: which tables honour create = false, code number 0, the stored
// SecurityID, and the ascending walk.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "refdata/reference_tables.h"
#include "tests/refdata/refdata_fixture.h"

namespace fw::refdata {
namespace {

using test::FieldBytes;

// Runs the same checks on one table: whether a look-up without create makes a record.
template <typename Table>
void CheckFind(Table& table, bool alwaysCreates, const char* name) {
  SCOPED_TRACE(name);
  auto* looked = table.Find("000001  ", false);
  if (alwaysCreates) {
    ASSERT_NE(looked, nullptr);
    EXPECT_EQ(FieldBytes(looked->SecurityID), "000001  ");
    EXPECT_EQ(table.Size(), 1u);
    EXPECT_FALSE(table.LoadedInCurrentFile(1));
  } else {
    EXPECT_EQ(looked, nullptr);
    EXPECT_EQ(table.Size(), 0u);
  }
  auto* created = table.Find("000001  ", true);
  ASSERT_NE(created, nullptr);
  EXPECT_EQ(table.Find("000001", false), created);  // the same code number finds the same record
  EXPECT_EQ(table.Find("000000  ", true), nullptr);
  EXPECT_EQ(table.Find("ABC", true), nullptr);
  EXPECT_EQ(table.Find("", true), nullptr);
  EXPECT_EQ(table.Size(), 1u);
}

TEST(ReferenceTablesTest, OnlyFourTablesHonourCreateFalse) {
  ReferenceTables t;
  CheckFind(t.securities, false, "securities");
  CheckFind(t.issueParams, false, "issue parameters");
  CheckFind(t.rightsIssueParams, false, "rights-issue parameters");
  CheckFind(t.bondDistributionParams, false, "bond distribution parameters");
  CheckFind(t.afterHoursParams, true, "after-hours parameters");
  CheckFind(t.cashAuctionParams, true, "cash auction parameters");
  CheckFind(t.negotiationParams, true, "negotiation parameters");
  CheckFind(t.indexInfo, true, "index info");
  CheckFind(t.stat, true, "statistics");
  CheckFind(t.securitySwitch, true, "security switches");
}

TEST(ReferenceTablesTest, IndexInfoLookUpOfAnUnknownCodeCreatesAnEmptyRecord) {
  ReferenceTables t;
  IndexInfoRecord* r = t.indexInfo.Find("399999", false);
  ASSERT_NE(r, nullptr);
  EXPECT_EQ(FieldBytes(r->SecurityID), std::string("399999\0\0", 8));
  EXPECT_EQ(FieldBytes(r->Symbol), std::string(40, '\0'));
  EXPECT_EQ(FieldBytes(r->EnglishName), std::string(40, '\0'));
  EXPECT_EQ(r->PrevCloseIdx, 0.0);
}

TEST(ReferenceTablesTest, NewRecordKeepsTheFirstEightCharactersOfTheCodeText) {
  ReferenceTables t;
  SecurityRecord* r = t.securities.Find("00000012345", true);
  ASSERT_NE(r, nullptr);
  EXPECT_EQ(FieldBytes(r->SecurityID), "00000012");
  EXPECT_EQ(t.securities.Get(12), r);
  SecurityRecord* blanks = t.securities.Find("  7", true);
  ASSERT_NE(blanks, nullptr);
  EXPECT_EQ(FieldBytes(blanks->SecurityID), std::string("  7\0\0\0\0\0", 8));
  EXPECT_EQ(t.securities.Get(7), blanks);
}

TEST(ReferenceTablesTest, RecordsAreWalkedInAscendingCodeOrder) {
  ReferenceTables t;
  for (const char* code : {"300750", "000002", "159919", "000001", "002594"})
    t.stat.Find(code, true);
  std::vector<uint32_t> codes;
  for (const auto& [code, entry] : t.stat) codes.push_back(code);
  EXPECT_EQ(codes, (std::vector<uint32_t>{1, 2, 2594, 159919, 300750}));
}

TEST(ReferenceTablesTest, DailyResetEmptiesSevenTablesAndKeepsThree) {
  ReferenceTables t;
  t.securities.Find("1", true);
  t.afterHoursParams.Find("1", true);
  t.bondDistributionParams.Find("1", true);
  t.cashAuctionParams.Find("1", true);
  t.issueParams.Find("1", true);
  t.rightsIssueParams.Find("1", true);
  t.negotiationParams.Find("1", true);
  t.indexInfo.Find("1", true);
  t.stat.Find("1", true);
  t.securitySwitch.Find("1", true);
  t.ResetForNewDay();
  EXPECT_EQ(t.securities.Size(), 0u);
  EXPECT_EQ(t.cashAuctionParams.Size(), 0u);
  EXPECT_EQ(t.issueParams.Size(), 0u);
  EXPECT_EQ(t.rightsIssueParams.Size(), 0u);
  EXPECT_EQ(t.bondDistributionParams.Size(), 0u);
  EXPECT_EQ(t.indexInfo.Size(), 0u);
  EXPECT_EQ(t.stat.Size(), 0u);
  EXPECT_EQ(t.securitySwitch.Size(), 1u);
  EXPECT_EQ(t.negotiationParams.Size(), 1u);
  EXPECT_EQ(t.afterHoursParams.Size(), 1u);
}

}  // namespace
}  // namespace fw::refdata
