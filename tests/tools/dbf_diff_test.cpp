// fenwright-dbfdiff on sets of the six files written by the system's own writers (a generated day
// with a negotiated order, written twice), and on hand-made images for the exact output lines.
// Cell offsets for the edits come from the writer tests' independent reader.
#include "tools/dbf_diff.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <set>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "config/config_info.h"
#include "feed/market_data_decoder.h"
#include "feed/market_data_handlers.h"
#include "foundation/run_log.h"
#include "processor/process_io.h"
#include "refdata/reference_tables.h"
#include "tests/dbf/dbf_file_view.h"
#include "tests/support/day_config.h"
#include "tests/support/test_support.h"
#include "tests/tools/dbf_images.h"
#include "tools/market_data_encoder.h"
#include "tools/sample_day.h"

namespace fw::tools {
namespace {

namespace fs = std::filesystem;
using test::Image;
using test::Row;

constexpr uint32_t kDay = 20260305;
const char* const kSix[] = {"SJSHQ.DBF",  "SJSPHHQ.DBF", "SJSXX.DBF",
                            "SJSXXN.DBF", "SJSZHHQ.DBF", "SJSZS.DBF"};

DbfDiffOptions AllKept(bool ignoreClock) {
  DbfDiffOptions options;
  options.ignoreClock = ignoreClock;
  options.keep = 1000000;
  return options;
}

std::string Trimmed(std::string text) {
  while (!text.empty() && (text.back() == ' ' || text.back() == '\0')) text.pop_back();
  return text;
}

// Changes the last byte of a cell, read through the independent reader's layout; returns the
// row's code as that reader sees it.
std::string EditCell(const std::string& path, uint32_t record, const std::string& field,
                     const std::string& codeField) {
  std::string bytes = test::ReadFileBytes(path);
  const dbf::test::DbfFileView view(bytes);
  for (const auto& f : view.Fields()) {
    if (f.name != field) continue;
    const size_t at = view.HeaderLength() + static_cast<size_t>(record) * view.RecordLength() +
                      f.offset + f.length - 1;
    EXPECT_LT(at, bytes.size()) << path;
    bytes[at] = bytes[at] == '1' ? '2' : '1';
    test::WriteFileBytes(path, bytes);
    return Trimmed(view.Get(record, codeField));
  }
  ADD_FAILURE() << "no field " << field << " in " << path;
  return "";
}

class DbfDiffOnWrittenDays : public ::testing::Test {
 protected:
  void SetUp() override {
    window_ = test::WindowCatcher::Install();
    SetRunLogFolder(dir_.File("log"));
    SampleDayOptions options;
    options.securityCount = 30;
    options.date = kDay;
    options.seed = 5;
    day_ = BuildSampleDay(options);
    platform::MakeDirectory(dir_.File("xml"));
    ASSERT_GE(WriteSampleDay(day_, Folder("xml")), 0);
    processor_.SetConfig(Config("a"));
    processor_.SetFeedRing(&decoder_.Ring());
    decoder_.AllocateRing();
    ASSERT_EQ(processor_.Instance(), 0);
    FeedOrder();
    processor_.WriteAll();
    WriteSet("b");
  }
  void TearDown() override {
    CloseRunLog();
    SetRunLogFolder(".\\log");
    test::WindowCatcher::Uninstall();
  }

  std::string Folder(const std::string& name) const {
    return dir_.File(name) + platform::kPathSeparator;
  }
  std::string File(const std::string& folder, const std::string& name) const {
    return (fs::path(dir_.File(folder)) / name).string();
  }

  config::ConfigInfo Config(const std::string& out) const {
    platform::MakeDirectory(dir_.File(out));
    config::ConfigInfo config;
    test::PointAtDay(&config, Folder("xml"), Folder(out));
    test::SetText(config.loadFolderExpanded, Folder("xml"));
    config.begintime = 845;
    config.endtime = 1630;
    config.PriceUpLimit = true;
    return config;
  }

  // One write cycle of the six files into `folder`, at the clock's time.
  void WriteSet(const std::string& folder) {
    processor_.SetConfig(Config(folder));
    processor_.WriteAll();
  }

  // A negotiated order, so that SJSZHHQ has a row after its first record.
  void FeedOrder() {
    for (const SampleSecurity& s : day_.securities) {
      if (!s.Loadable() || s.securityType != 1 || !s.cashAuction) continue;
      NegotiatedOrder order;
      order.applSeqNum = 1;
      order.securityId = s.code;
      order.price = 105000;
      order.orderQty = 10000000;
      order.transactTime = OrigTime(kDay, 100002, 0);
      order.confirmId = "        ";
      order.contactor = "desk";
      order.contactInfo = "010-1234";
      const Frame frame = EncodeNegotiatedOrder(order);
      decoder_.Process(frame.data(), static_cast<uint32_t>(frame.size()));
      return;
    }
    FAIL() << "no stock in the day";
  }

  void Copy(const std::string& from, const std::string& to) {
    fs::copy(dir_.File(from), dir_.File(to), fs::copy_options::recursive);
  }

  test::TempDir dir_;
  test::FakeClock clock_{kDay, 100000};
  std::shared_ptr<test::WindowCatcher> window_;
  SampleDay day_;
  refdata::ReferenceTables tables_;
  processor::MProcessIO processor_{tables_};
  feed::MarketDataHandlers handlers_{processor_.State()};
  feed::MarketDataDecoder decoder_{&handlers_};
};

TEST_F(DbfDiffOnWrittenDays, TheSameDayWrittenTwiceIsEqual) {
  const DbfDiffResult result = DiffDbfPaths(dir_.File("a"), dir_.File("b"), AllKept(false));
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.count, 0u);
  EXPECT_TRUE(result.errors.empty());
  EXPECT_EQ(result.filesCompared, std::vector<std::string>(std::begin(kSix), std::end(kSix)));
}

// A second run seven seconds later differs exactly in the cells that take the local time, and
// --ignore-clock passes over all of them.
TEST_F(DbfDiffOnWrittenDays, ALaterRunDiffersOnlyInTheClockCells) {
  clock_.Set(kDay, 100007);
  WriteSet("c");
  const DbfDiffResult result = DiffDbfPaths(dir_.File("a"), dir_.File("c"), AllKept(false));
  EXPECT_EQ(result.status, 1);
  std::set<std::pair<std::string, std::string>> cells;
  for (const DbfDifference& d : result.differences) {
    EXPECT_EQ(d.kind, DbfDifference::Kind::kCell) << FormatDifference(d);
    cells.emplace(d.file, d.item);
    if (d.file == "SJSHQ.DBF") {
      EXPECT_EQ(d.record, 0u);
      EXPECT_EQ(d.code, "000000");
      EXPECT_EQ(d.a, "    10000000");
      EXPECT_EQ(d.b, "    10000700");
    }
  }
  const std::set<std::pair<std::string, std::string>> clock = {{"SJSHQ.DBF", "HQBSL5"},
                                                               {"SJSXXN.DBF", "XXGXSJ"},
                                                               {"SJSPHHQ.DBF", "HQTIME"},
                                                               {"SJSZHHQ.DBF", "HQSBSJ"}};
  EXPECT_EQ(cells, clock);

  const DbfDiffResult ignoring = DiffDbfPaths(dir_.File("a"), dir_.File("c"), AllKept(true));
  EXPECT_EQ(ignoring.status, 0);
  EXPECT_EQ(ignoring.count, 0u);
}

// One cell changed in a copy: a clock cell is passed over with --ignore-clock and only there; any
// other cell, the same field in another record included, is a difference either way.
TEST_F(DbfDiffOnWrittenDays, OneChangedCellIsNamedUnlessItIsAClockCell) {
  struct Edit {
    const char* file;
    uint32_t record;
    const char* field;
    const char* codeField;
    bool clock;
  };
  const Edit edits[] = {
      {"SJSHQ.DBF", 0, "HQBSL5", "HQZQDM", true},    {"SJSHQ.DBF", 1, "HQBSL5", "HQZQDM", false},
      {"SJSXX.DBF", 0, "XXZQJC", "XXZQDM", true},    {"SJSXX.DBF", 1, "XXZQJC", "XXZQDM", false},
      {"SJSXXN.DBF", 0, "XXZQJC", "XXZQDM", true},   {"SJSXXN.DBF", 2, "XXGXSJ", "XXZQDM", true},
      {"SJSXXN.DBF", 2, "XXZQJC", "XXZQDM", false},  {"SJSPHHQ.DBF", 3, "HQTIME", "HQZQDM", true},
      {"SJSPHHQ.DBF", 0, "HQZQJC", "HQZQDM", false}, {"SJSZHHQ.DBF", 0, "HQSBSJ", "HQZQDM", true},
      {"SJSZHHQ.DBF", 1, "HQSBSJ", "HQZQDM", false}, {"SJSZHHQ.DBF", 1, "HQHTXH", "HQZQDM", true},
      {"SJSZS.DBF", 0, "ZSZSQC", "ZSZSDM", false},
  };
  int n = 0;
  for (const Edit& e : edits) {
    const std::string copy = "edit" + std::to_string(n++);
    Copy("b", copy);
    const std::string code = EditCell(File(copy, e.file), e.record, e.field, e.codeField);
    const std::string what = std::string(e.file) + " " + e.field + " " + std::to_string(e.record);

    const DbfDiffResult plain = DiffDbfPaths(dir_.File("a"), dir_.File(copy), AllKept(false));
    EXPECT_EQ(plain.status, 1) << what;
    ASSERT_EQ(plain.differences.size(), 1u) << what;
    const DbfDifference& d = plain.differences[0];
    EXPECT_EQ(d.file, e.file) << what;
    EXPECT_EQ(d.record, e.record) << what;
    EXPECT_EQ(d.item, e.field) << what;
    EXPECT_EQ(d.code, code) << what;
    EXPECT_FALSE(code.empty()) << what;

    const DbfDiffResult ignoring = DiffDbfPaths(dir_.File("a"), dir_.File(copy), AllKept(true));
    EXPECT_EQ(ignoring.status, e.clock ? 0 : 1) << what;
  }
}

// Which file is which comes from the fields: SJSHQ under other names, in other cases.
TEST_F(DbfDiffOnWrittenDays, FilesAreKnownByTheirFieldsAndMatchedInAnyCase) {
  fs::create_directories(dir_.File("x"));
  fs::create_directories(dir_.File("y"));
  fs::copy_file(File("a", "SJSHQ.DBF"), File("x", "quotes.dbf"));
  fs::copy_file(File("b", "SJSHQ.DBF"), File("y", "QUOTES.DBF"));
  EditCell(File("y", "QUOTES.DBF"), 0, "HQBSL5", "HQZQDM");
  EXPECT_EQ(DiffDbfPaths(dir_.File("x"), dir_.File("y"), AllKept(true)).status, 0);
  const DbfDiffResult plain = DiffDbfPaths(dir_.File("x"), dir_.File("y"), AllKept(false));
  EXPECT_EQ(plain.status, 1);
  EXPECT_EQ(plain.filesCompared, std::vector<std::string>{"quotes.dbf"});
}

TEST_F(DbfDiffOnWrittenDays, HeaderDateIsAClockCell) {
  Copy("b", "d");
  std::string bytes = test::ReadFileBytes(File("d", "SJSZS.DBF"));
  ASSERT_EQ(bytes[3], 5);
  bytes[3] = 6;
  test::WriteFileBytes(File("d", "SJSZS.DBF"), bytes);
  const DbfDiffResult plain = DiffDbfPaths(dir_.File("a"), dir_.File("d"), AllKept(false));
  ASSERT_EQ(plain.differences.size(), 1u);
  EXPECT_EQ(FormatDifference(plain.differences[0]),
            "SJSZS.DBF header date: 2026-03-05 | 2026-03-06");
  EXPECT_EQ(DiffDbfPaths(dir_.File("a"), dir_.File("d"), AllKept(true)).status, 0);
}

TEST_F(DbfDiffOnWrittenDays, TroubleIsReportedAndTheOtherFilesAreStillCompared) {
  struct Case {
    const char* name;
    std::function<void()> damage;
    std::function<std::string()> error;
  };
  const std::string b = dir_.File("e");
  const Case cases[] = {
      {"a missing file", [&] { fs::remove(File("e", "SJSZS.DBF")); },
       [&] { return "SJSZS.DBF: in " + dir_.File("a") + " only"; }},
      {"not a DBF",
       [&] {
         test::WriteFileBytes(File("e", "SJSHQ.DBF"), "hello, this is no table at all: 42\n");
       },
       [&] { return File("e", "SJSHQ.DBF") + ": not a DBF file (version byte 104)"; }},
      {"another decimal count",
       [&] {
         std::string bytes = test::ReadFileBytes(File("e", "SJSHQ.DBF"));
         bytes[32 + 2 * 32 + 17] = 2;  // HQZRSP, the third field
         test::WriteFileBytes(File("e", "SJSHQ.DBF"), bytes);
       },
       [] {
         return std::string(
             "SJSHQ.DBF: field descriptors differ (field 3: HQZRSP N 9.3 | HQZRSP N 9.2)");
       }},
  };
  for (const Case& c : cases) {
    fs::remove_all(b);
    Copy("b", "e");
    c.damage();
    const DbfDiffResult result = DiffDbfPaths(dir_.File("a"), b, AllKept(false));
    EXPECT_EQ(result.status, 2) << c.name;
    EXPECT_EQ(result.errors, std::vector<std::string>{c.error()}) << c.name;
    EXPECT_EQ(result.filesCompared.size(), 5u) << c.name;
    EXPECT_EQ(result.count, 0u) << c.name;
  }
}

// The programs as another process would run them: exit status and streams.
TEST_F(DbfDiffOnWrittenDays, ProgramsExitAsDiffDoes) {
  if (FW_CMD_SHELL) GTEST_SKIP() << "exit statuses are read as POSIX wait statuses";
  Copy("b", "f");
  EditCell(File("f", "SJSPHHQ.DBF"), 1, "HQJG1", "HQZQDM");
  struct Case {
    std::string command;
    int status;
    std::string out;  // a prefix of standard output, or empty for none
    size_t errLines;
  };
  const std::string a = " \"" + dir_.File("a") + "\"";
  const Case cases[] = {
      {FW_DBFDIFF + a + " \"" + dir_.File("b") + "\"", 0, "", 0},
      {FW_DBFDIFF + a + " \"" + dir_.File("f") + "\" --ignore-clock", 1, "SJSPHHQ.DBF record 1 [",
       0},
      {FW_DBFDIFF + a + " \"" + dir_.File("none") + "\"", 2, "", 1},
      {FW_DBFDUMP + std::string(" \"") + File("a", "SJSZS.DBF") + "\" --json", 0,
       "{\n  \"file\": \"SJSZS.DBF\",\n", 0},
  };
  for (const Case& c : cases) {
    const std::string out = dir_.File("out");
    const std::string err = dir_.File("err");
    const int status = std::system((c.command + " >\"" + out + "\" 2>\"" + err + "\"").c_str());
    EXPECT_EQ((status >> 8) & 0xFF, c.status) << c.command;
    const std::string printed = test::ReadFileBytes(out);
    // An empty expectation means nothing at all.
    EXPECT_EQ(c.out.empty() ? printed : printed.substr(0, c.out.size()), c.out) << c.command;
    const std::string complaint = test::ReadFileBytes(err);
    EXPECT_EQ(static_cast<size_t>(std::count(complaint.begin(), complaint.end(), '\n')), c.errLines)
        << c.command << ": " << complaint;
  }
}

// Every kind of line, as printed; the hand-made layout is none of the six, so the first character
// field stands for the code.
TEST(DbfDiff, DifferencesArePrintedWithEveryByteVisible) {
  const std::string a = Image({Row(' ', "000001", "中国银行", "   10.500", "20260305"),
                               Row(' ', "000002", "AB      ", "    1.000", "20260305")});
  const std::string b =
      Image({Row(' ', "000001", "中国人民", "   10.510", "20260305"),
             Row('\0', "000002", std::string("AB\0\0\0\0\0\\", 8), "    1.000", "20260305"),
             Row(' ', "000003", "C       ", "    3.000", "20260305")}) +
      "\x1A";
  DbfDiffResult result;
  DiffDbfImages("T.DBF", a, b, AllKept(false), &result);
  std::vector<std::string> lines;
  for (const DbfDifference& d : result.differences) lines.push_back(FormatDifference(d));
  const std::vector<std::string> expected = {
      "T.DBF header records: 2 | 3",
      reinterpret_cast<const char*>(u8"T.DBF record 0 [000001] NAME: \"中国银行\" | \"中国人民\""),
      "T.DBF record 0 [000001] PX: \"   10.500\" | \"   10.510\"",
      "T.DBF record 1 [000002] (deletion flag): \" \" | \"\\0\"",
      "T.DBF record 1 [000002] NAME: \"AB      \" | \"AB\\0\\0\\0\\0\\0\\\\\"",
      "T.DBF record 2 [000003]: only in the second file",
      "T.DBF tail: 0 bytes | 1 byte",
  };
  EXPECT_EQ(lines, expected);
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(result.count, expected.size());
}

TEST(DbfDiff, ProgramShowsFiftyLinesThenCountsTheRest) {
  test::TempDir dir;
  std::vector<std::string> ra;
  std::vector<std::string> rb;
  for (int i = 0; i < 60; ++i) {
    char code[8];
    std::snprintf(code, sizeof code, "%06d", i);
    ra.push_back(Row(' ', code, "A       ", "    1.000", "20260305"));
    rb.push_back(Row(' ', code, "A       ", "    2.000", "20260305"));
  }
  test::WriteFileBytes(dir.File("a.dbf"), Image(ra));
  test::WriteFileBytes(dir.File("b.dbf"), Image(rb));
  std::ostringstream out;
  std::ostringstream err;
  EXPECT_EQ(RunDbfDiff({dir.File("a.dbf"), dir.File("b.dbf")}, out, err), 1);
  std::vector<std::string> lines;
  std::istringstream printed(out.str());
  for (std::string line; std::getline(printed, line);) lines.push_back(line);
  ASSERT_EQ(lines.size(), 51u);
  EXPECT_EQ(lines[0], "a.dbf record 0 [000000] PX: \"    1.000\" | \"    2.000\"");
  EXPECT_EQ(lines[49], "a.dbf record 49 [000049] PX: \"    1.000\" | \"    2.000\"");
  EXPECT_EQ(lines[50], "and 10 more differences");
  EXPECT_EQ(err.str(), "");
}

TEST(DbfDiff, ProgramRefusesBadArguments) {
  test::TempDir dir;
  test::WriteFileBytes(dir.File("a.dbf"), Image({}));
  const std::string folder = dir.Path().string();
  const std::string none = dir.File("none");
  test::ExpectRuns(
      RunDbfDiff,
      {
          {{}, 2, "", "fenwright-dbfdiff: two folders or two files are needed, not 0 (--help)\n"},
          {{"x", "y", "--ignore"}, 2, "", "fenwright-dbfdiff: unknown option --ignore\n"},
          {{"--help"}, 0, "usage: fenwright-dbfdiff A B [--ignore-clock]\n", ""},
          {{folder, dir.File("a.dbf")},
           2,
           "",
           "fenwright-dbfdiff: " + folder + " is a folder and " + dir.File("a.dbf") + " is not\n"},
          {{none, dir.File("a.dbf")},
           2,
           "",
           "fenwright-dbfdiff: " + none + ": no such file or folder\n"},
      });
}

}  // namespace
}  // namespace fw::tools
