// The write cycle under file-system faults: each of the six DBF files in turn meets each fault of
// the matrix while a real cycle writes a generated day with live quotes, an index and negotiated
// orders. The cycle reports nothing (no run-log line of these writers), the other five files are
// written as if nothing happened, the faulted file holds what the failed step left, and the next
// cycle, once the fault is gone, rewrites it byte for byte as a cycle that never met a fault.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "feed/market_data_decoder.h"
#include "feed/market_data_handlers.h"
#include "processor/process_io.h"
#include "tests/faults/day_processor_fixture.h"
#include "tests/faults/fault_plan.h"
#include "tests/support/independent_dbf_reader.h"
#include "tools/market_data_encoder.h"

namespace fw::test {
namespace {

class WriteCycleFaultsTest : public DayProcessorFixture {
 protected:
  void SetUp() override {
    DayProcessorFixture::SetUp();
    if (HasFatalFailure()) return;
    processor_.SetConfig(out_);
    processor_.SetFeedRing(&decoder_.Ring());
    decoder_.AllocateRing();
    ASSERT_EQ(processor_.Instance(), 0);
    FeedLiveData();
    processor_.SetConfig(ref_);
    processor_.WriteAll();
    processor_.SetConfig(out_);
    for (const std::string& path : DbfPaths(ref_)) reference_.push_back(ReadFileBytes(path));
  }

  // A traded stock, an index value and two negotiated orders, so that every file has live rows.
  void FeedLiveData() {
    const tools::SampleSecurity* stock = nullptr;
    for (const tools::SampleSecurity& s : day_.securities) {
      if (s.Loadable() && s.securityType == 1 && s.cashAuction) {
        stock = &s;
        break;
      }
    }
    ASSERT_NE(stock, nullptr);
    tools::SnapshotHeader header;
    header.origTime = tools::OrigTime(kDay, 100000, 0);
    header.stream = "010";
    header.securityId = stock->code;
    header.numTrades = 12;
    header.totalVolumeTrade = 345600;
    Feed(tools::EncodeCashAuctionSnapshot(
        header, {{"2 ", 12345000, 0, 0, 0, {}}, {"0 ", 12340000, 70000, 1, 0, {}}}));
    tools::SnapshotHeader index;
    index.origTime = tools::OrigTime(kDay, 100001, 0);
    index.stream = "900";
    index.securityId = day_.indexes.front().code;
    Feed(tools::EncodeIndexSnapshot(index, {{"3 ", 3210567800}}));
    for (int64_t sequence : {1, 2}) {
      tools::NegotiatedOrder order;
      order.applSeqNum = sequence;
      order.securityId = stock->code;
      order.price = 105000;
      order.orderQty = 10000000;
      order.transactTime = tools::OrigTime(kDay, 100002, 0);
      order.confirmId = "        ";
      order.contactor = "desk";
      order.contactInfo = "010-1234";
      Feed(tools::EncodeNegotiatedOrder(order));
    }
  }
  void Feed(const tools::Frame& frame) {
    decoder_.Process(frame.data(), static_cast<uint32_t>(frame.size()));
  }

  // What a file held before the faulted cycle: a different content, longer than the new one.
  static std::string OldContent(const std::string& fresh) {
    std::string old = fresh;
    old[old.size() / 2] = static_cast<char>(old[old.size() / 2] ^ 0x5A);
    return old + std::string(4096, 'X');
  }

  feed::MarketDataHandlers handlers_{processor_.State()};
  feed::MarketDataDecoder decoder_{&handlers_};
  std::vector<std::string> reference_;  // the six files of a cycle that met no fault
};

TEST_F(WriteCycleFaultsTest, ReferenceCycleWroteEveryFileWithLiveRows) {
  ASSERT_EQ(reference_.size(), 6u);
  for (const std::string& file : reference_) EXPECT_GT(file.size(), 1000u);
  // SJSHQ shows the traded price (12345000 millionths: 12.345 in a 9.3 field).
  EXPECT_NE(reference_[2].find("   12.345"), std::string::npos);
  // SJSZHHQ: the first record and the two orders (header 705, record 241).
  EXPECT_EQ(reference_[5].size(), 705u + 3 * 241u);
}

TEST_F(WriteCycleFaultsTest, EachFaultOnEachFileIsSurvivedAndRepairedByTheNextCycle) {
  const std::vector<std::string> paths = DbfPaths(out_);
  const char* names[] = {"SJSXXN", "SJSXX", "SJSHQ", "SJSZS", "SJSPHHQ", "SJSZHHQ"};
  for (size_t target = 0; target < paths.size(); ++target) {
    for (const Fault& fault : WriteFaults()) {
      SCOPED_TRACE(std::string(names[target]) + ": " + fault.name);
      for (size_t i = 0; i < paths.size(); ++i) WriteFileBytes(paths[i], OldContent(reference_[i]));
      const std::string old = OldContent(reference_[target]);
      const std::string& fresh = reference_[target];
      window_->Clear();
      const int32_t cycles = processor_.CyclesWritten();
      {
        FaultPlan plan;
        Apply(plan, fault, paths[target]);
        processor_.WriteAll();
        EXPECT_GT(plan.Hits(), 0);
      }
      EXPECT_EQ(processor_.CyclesWritten(), cycles + 1);
      // One line says which file failed; the others wrote nothing to the log.
      const std::vector<std::string> lines = window_->LogLines();
      ASSERT_EQ(lines.size(), 1u);
      EXPECT_NE(lines[0].find("<Log_LV1> t="), std::string::npos);
      EXPECT_NE(lines[0].find(" write " + paths[target] + " failed, errorcode="),
                std::string::npos);

      const std::string after = ReadFileBytes(paths[target]);
      const FileOp first = fault.ops.front().first;
      if (first == FileOp::kOpen || first == FileOp::kSeek ||
          (first == FileOp::kWrite && fault.ops.front().second < 0)) {
        EXPECT_EQ(after, old);  // nothing reached the file
      } else if (first == FileOp::kWrite) {
        EXPECT_EQ(after, fresh.substr(0, kShortWriteBytes) + old.substr(kShortWriteBytes));
      } else if (first == FileOp::kSetEnd) {
        EXPECT_EQ(after, fresh + old.substr(fresh.size()));  // written, the old tail not cut
      } else {
        EXPECT_EQ(after, fresh);  // written and cut; only the flush to disk failed
      }
      for (size_t i = 0; i < paths.size(); ++i) {
        if (i != target) {
          EXPECT_EQ(ReadFileBytes(paths[i]), reference_[i]) << names[i];
        }
      }

      processor_.WriteAll();
      for (size_t i = 0; i < paths.size(); ++i) {
        EXPECT_EQ(ReadFileBytes(paths[i]), reference_[i]) << names[i] << " after the next cycle";
      }
      EXPECT_TRUE(window_->HasLine("write " + paths[target] + " succeeded again"));
      EXPECT_EQ(window_->LogLines().size(), 2u);
    }
  }
}

TEST_F(WriteCycleFaultsTest, FileThatStaysUnwritableNeverStopsTheOthers) {
  const std::vector<std::string> paths = DbfPaths(out_);
  FaultPlan plan;
  Apply(plan, WriteFaults()[2], paths[2]);  // SJSHQ: every write fails, cycle after cycle
  window_->Clear();
  for (int cycle = 0; cycle < 3; ++cycle) processor_.WriteAll();
  EXPECT_EQ(plan.Hits(), 3);
  // A lasting fault is reported once, not every cycle.
  ASSERT_EQ(window_->LogLines().size(), 1u);
  EXPECT_NE(window_->LogLines()[0].find(" write " + paths[2] + " failed, errorcode="),
            std::string::npos);
  for (size_t i = 0; i < paths.size(); ++i) {
    if (i != 2) {
      EXPECT_EQ(ReadFileBytes(paths[i]), reference_[i]);
    }
  }
  plan.Lift();
  processor_.WriteAll();
  EXPECT_EQ(ReadFileBytes(paths[2]), reference_[2]);
  EXPECT_EQ(window_->CountLines("write " + paths[2] + " succeeded again"), 1u);
}

// The files a faulted cycle left and the next cycle repaired, as readers we did not write see them.
TEST_F(WriteCycleFaultsTest, RepairedFilesReadBackWithAnIndependentReader) {
  const std::vector<std::string> paths = DbfPaths(out_);
  {
    FaultPlan plan;
    for (const std::string& path : paths)
      plan.Fail(FileOp::kWrite, path, static_cast<int32_t>(kShortWriteBytes));
    processor_.WriteAll();
  }
  processor_.WriteAll();
  const std::string python = FindReaderPython();
  if (python.empty()) GTEST_SKIP() << "python3 with dbfread and dbf is not available";
  const std::string scratch = dir_.File("reading.out");
  struct Expectation {
    size_t path;
    const char* reader;
    std::string firstField;  // of record 0
    size_t records;
  };
  // Record counts as each writer sizes its file; dbfread skips nothing here (blank deletion
  // flags), and SJSZS, whose flags are NUL bytes, is read with the other reader.
  const size_t estimate =
      tables_.indexInfo.Size() + tables_.stat.Size() + tables_.securities.Size();
  const size_t listed = tables_.issueParams.Size() + tables_.rightsIssueParams.Size() +
                        tables_.bondDistributionParams.Size();
  const Expectation expectations[] = {
      {0, "dbfread", "000000", 1 + estimate + listed},
      {1, "dbfread", "000000", 1 + estimate + listed},
      {2, "dbfread", "000000", 1 + estimate + listed},
      {3, "dbf", day_.indexes.front().code, tables_.indexInfo.Size()},
      {4, "dbfread", "0", 1 + estimate},
      {5, "dbfread", "0", 3},
  };
  for (const Expectation& e : expectations) {
    SCOPED_TRACE(paths[e.path]);
    const Reading reading = ReadWith(python, e.reader, paths[e.path], scratch);
    ASSERT_FALSE(reading.records.empty()) << reading.header;
    EXPECT_EQ(reading.records[0][0], e.firstField);
    EXPECT_EQ(reading.records.size(), e.records);
  }
}

}  // namespace
}  // namespace fw::test
