// fenwright-dbfdump: a small file with a GBK name, the index file's 0x00 flag, a deleted record,
// "       0" and blank dates, and texts that CSV must quote, shown as CSV and as JSON; expected
// texts written out by hand (UTF-8 in u8 literals, while the file's texts are compiled to GBK).
#include "tools/dbf_dump.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "tests/support/test_support.h"
#include "tests/tools/dbf_images.h"

namespace fw::tools {
namespace {

using test::Image;
using test::Row;

std::string Utf8(const char8_t* text) { return reinterpret_cast<const char*>(text); }

std::string SmallFile() {
  return Image({
      Row(' ', "000001", "中国银行", "   10.500", "20260305"),
      Row('\0', "399001", std::string("A,\"B\"\0\0\0", 8), "         ", "       0"),
      Row('*', "000002", "DELETED ", "    1.000", "20260305"),
      Row(' ', "000003", "        ", "    -.500", "        "),
  });
}

std::string Dump(const std::string& image, DumpFormat format) {
  std::ostringstream out;
  EXPECT_EQ(DumpDbf("T.DBF", image, format, out), "");
  return out.str();
}

TEST(DbfDump, CsvHasAHeaderLineAndTheLiveRecords) {
  EXPECT_EQ(Dump(SmallFile(), DumpFormat::kCsv), Utf8(u8"CODE,NAME,PX,DT\r\n"
                                                      u8"000001,中国银行,10.500,2026-03-05\r\n"
                                                      u8"399001,\"A,\"\"B\"\"\",,\r\n"
                                                      u8"000003,,-.500,\r\n"));
}

TEST(DbfDump, JsonIsOneDocument) {
  EXPECT_EQ(Dump(SmallFile(), DumpFormat::kJson),
            Utf8(u8"{\n"
                 u8"  \"file\": \"T.DBF\",\n"
                 u8"  \"date\": \"2026-03-05\",\n"
                 u8"  \"recordCount\": 4,\n"
                 u8"  \"fields\": [\n"
                 u8"    {\"name\": \"CODE\", \"type\": \"C\", \"length\": 6, \"decimals\": 0},\n"
                 u8"    {\"name\": \"NAME\", \"type\": \"C\", \"length\": 8, \"decimals\": 0},\n"
                 u8"    {\"name\": \"PX\", \"type\": \"N\", \"length\": 9, \"decimals\": 3},\n"
                 u8"    {\"name\": \"DT\", \"type\": \"D\", \"length\": 8, \"decimals\": 0}\n"
                 u8"  ],\n"
                 u8"  \"records\": [\n"
                 u8"    {\"CODE\": \"000001\", \"NAME\": \"中国银行\", \"PX\": 10.500, "
                 u8"\"DT\": \"2026-03-05\"},\n"
                 u8"    {\"CODE\": \"399001\", \"NAME\": \"A,\\\"B\\\"\", \"PX\": null, "
                 u8"\"DT\": null},\n"
                 u8"    {\"CODE\": \"000003\", \"NAME\": \"\", \"PX\": -0.500, \"DT\": null}\n"
                 u8"  ]\n"
                 u8"}\n"));
}

// Numbers keep their exact digits but take the form JSON allows; a cell that is no number is
// shown as its text.
TEST(DbfDump, JsonNumbersComeFromTheCellText) {
  struct Case {
    std::string px;
    std::string dt;
    std::string json;
  };
  const Case cases[] = {
      {"  .001000", "20260305", "\"PX\": 0.001000, \"DT\": \"2026-03-05\""},
      {"000000042", "20260305", "\"PX\": 42, \"DT\": \"2026-03-05\""},
      {"01       ", "20260305", "\"PX\": 1, \"DT\": \"2026-03-05\""},
      {"   -0.000", "20260305", "\"PX\": -0.000, \"DT\": \"2026-03-05\""},
      {"  -00.250", "20260305", "\"PX\": -0.250, \"DT\": \"2026-03-05\""},
      {"   1 .250", "2026O305", "\"PX\": \"1 .250\", \"DT\": \"2026O305\""},
      {"  \x01\"\\    ", "20260230", "\"PX\": \"\\u0001\\\"\\\\\", \"DT\": \"20260230\""},
  };
  for (const Case& c : cases) {
    const std::string json =
        Dump(Image({Row(' ', "000001", "A       ", c.px, c.dt)}), DumpFormat::kJson);
    const std::string expected = "{\"CODE\": \"000001\", \"NAME\": \"A\", " + c.json + "}";
    EXPECT_NE(json.find(expected), std::string::npos) << json << "\nexpected " << expected;
  }
}

TEST(DbfDump, ProgramRefusesBadFilesAndArguments) {
  test::TempDir dir;
  const std::string good = dir.File("good.dbf");
  const std::string cut = dir.File("cut.dbf");
  test::WriteFileBytes(good, SmallFile());
  test::WriteFileBytes(cut, SmallFile().substr(0, 200));
  test::ExpectRuns(
      RunDbfDump,
      {
          {{good, "--csv"}, 0, "CODE,NAME,PX,DT\r\n000001,", ""},
          {{"--json", good}, 0, "{\n  \"file\": \"good.dbf\",", ""},
          {{cut},
           2,
           "",
           "fenwright-dbfdump: " + cut + ": not a DBF file (200 bytes for 4 records of 32)\n"},
          {{dir.File("none.dbf")},
           2,
           "",
           "fenwright-dbfdump: " + dir.File("none.dbf") + ": cannot be read\n"},
          {{good, "--csv", "--json"}, 2, "", "fenwright-dbfdump: one of --csv and --json, once\n"},
          {{good, "--xml"}, 2, "", "fenwright-dbfdump: unknown option --xml\n"},
          {{}, 2, "", "fenwright-dbfdump: one file is needed, not 0 (--help)\n"},
          {{"--help"}, 0, "usage: fenwright-dbfdump FILE [--csv | --json]\n", ""},
      });
}

}  // namespace
}  // namespace fw::tools
