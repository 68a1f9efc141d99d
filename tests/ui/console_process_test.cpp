// The console program run as another process, its standard output and standard error read byte
// for byte: --version, the one line of a usage error, and the run log's Chinese lines piped to a
// file under the locales a service or an operator's shell has, and under --stdout-encoding. The
// same runs prove --ini: the settings come from a file away from the executable, and the run log
// folder lies in the working folder.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "tests/support/test_support.h"

namespace fw {
namespace {

// The texts as the compiler encodes them (GBK for plain literals, UTF-8 for u8 ones): an encoder
// independent of the program's own table.
const std::string kIntervalGbk =
    "落库文件的时间间隔，不能小于其休眠间隔，即配置项writeInterval不能小于wrIntervalSleep";
const std::string kIntervalUtf8 = reinterpret_cast<const char*>(
    u8"落库文件的时间间隔，不能小于其休眠间隔，即配置项writeInterval不能小于wrIntervalSleep");
const std::string kHolidayGbk =
    "加载节假日文件出错，请检查配置和文件是否存在(将在节假日也进行工作)";
const std::string kHolidayUtf8 = reinterpret_cast<const char*>(
    u8"加载节假日文件出错，请检查配置和文件是否存在(将在节假日也进行工作)");

struct Outcome {
  int status = -1;
  std::string out;
  std::string err;
};

// Runs `command` (a shell command line) in dir/work with standard output and standard error
// caught in files.
Outcome RunShell(const test::TempDir& dir, const std::string& command) {
  std::filesystem::create_directories(dir.Path() / "work");
  test::WriteFileBytes(dir.File("run.sh"), "cd '" + dir.File("work") + "' && { " + command + "; }" +
                                               " </dev/null >../out 2>../err\n"
                                               "echo $? >../status\n");
  const int shell = std::system(("sh " + dir.File("run.sh")).c_str());
  EXPECT_EQ(shell, 0) << command;
  Outcome outcome;
  outcome.status = std::atoi(test::ReadFileBytes(dir.File("status")).c_str());
  outcome.out = test::ReadFileBytes(dir.File("out"));
  outcome.err = test::ReadFileBytes(dir.File("err"));
  return outcome;
}

const std::string kProgram = std::string("'") + FW_CONSOLE + "'";

TEST(ConsoleProgram, VersionShowsTheProjectVersionAndTheCommit) {
  test::TempDir dir;
  const Outcome commit =
      RunShell(dir, std::string("git -C '") + FW_SOURCE_DIR + "' rev-parse --short=7 HEAD");
  std::string build = commit.status == 0 ? commit.out.substr(0, commit.out.find('\n')) : "unknown";
  const Outcome version = RunShell(dir, kProgram + " --version");
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.out, "fenwright " FW_PROJECT_VERSION " (build " + build + ")\n");
  EXPECT_EQ(version.err, "");
}

TEST(ConsoleProgram, ABadArgumentIsOneLineOnStandardErrorAndExitTwo) {
  test::TempDir dir;
  const std::pair<const char*, const char*> cases[] = {
      {" --start --colour", "fenwright: unknown option --colour (see --help)\n"},
      {" --stdout-encoding latin1", "fenwright: --stdout-encoding latin1: use gbk or utf-8\n"},
      {" --ini", "fenwright: --ini needs a value (see --help)\n"},
      {" --ini /no/such/fenwright.ini", "fenwright: --ini /no/such/fenwright.ini: no such file\n"},
  };
  for (const auto& [arguments, line] : cases) {
    const Outcome run = RunShell(dir, kProgram + arguments);
    EXPECT_EQ(run.status, 2) << arguments;
    EXPECT_EQ(run.err, line);
    EXPECT_EQ(run.out, "") << arguments;
  }
}

bool LocaleInstalled(const test::TempDir& dir, const std::string& name) {
  return RunShell(dir, "locale -a | grep -qix '" + name + "'").status == 0;
}

TEST(ConsoleProgram, PipedOutputFollowsTheLocaleOrTheOption) {
  test::TempDir dir;
  for (const char* locale : {"zh_CN.utf8", "zh_CN.gbk"}) {
    if (!LocaleInstalled(dir, locale)) GTEST_SKIP() << locale << " is missing: tools/setup.sh";
  }
  // writeInterval equal to wrIntervalSleep and a holiday file that is not there: two Chinese
  // lines at once, and only when this ini is the one read.
  std::filesystem::create_directories(dir.Path() / "conf");
  test::WriteFileBytes(dir.File("conf/site.ini"),
                       "[dbffile]\nwriteInterval=1000\nwrIntervalSleep=1000\n"
                       "[other]\nholiday=./no-holiday.ini\n");
  struct Case {
    const char* environment;
    const char* option;
    bool utf8;
  };
  const Case cases[] = {
      {"LC_ALL=zh_CN.UTF-8", "", true},
      {"LC_ALL=zh_CN.GBK", "", false},
      {"LANG=zh_CN.GBK", "", false},
      {"LC_ALL=C", "", true},  // a service's locale
      {"LANG=zh_CN.GBK LC_ALL=C", "", true},
      {"LC_ALL=zh_CN.GBK", " --stdout-encoding utf-8", true},
      {"LC_ALL=C", " --stdout-encoding=gbk", false},
  };
  for (const Case& c : cases) {
    std::filesystem::remove_all(dir.Path() / "work");
    // Closed by SIGTERM once the line is out; the wait ends early if the program ends.
    const Outcome run =
        RunShell(dir, std::string("env -u LANG -u LANGUAGE -u LC_ALL -u LC_CTYPE -u LC_MESSAGES ") +
                          c.environment + " " + kProgram + " --ini ../conf/site.ini" + c.option +
                          " & pid=$!; i=0; while kill -0 $pid 2>/dev/null && [ $i -lt 1200 ] &&"
                          " ! grep -q wrIntervalSleep ../out 2>/dev/null; do sleep 0.1; i=$((i+1));"
                          " done; kill -TERM $pid 2>/dev/null; wait $pid");
    const std::string what = std::string(c.environment) + c.option;
    EXPECT_EQ(run.status, 0) << what;
    EXPECT_EQ(run.err, "") << what;
    const std::string& interval = c.utf8 ? kIntervalUtf8 : kIntervalGbk;
    const std::string& holiday = c.utf8 ? kHolidayUtf8 : kHolidayGbk;
    EXPECT_NE(run.out.find(" " + interval + "\n"), std::string::npos) << what;
    EXPECT_NE(run.out.find(" " + holiday + "\n"), std::string::npos) << what;
    EXPECT_EQ(run.out.find(c.utf8 ? kIntervalGbk : kIntervalUtf8), std::string::npos) << what;
    EXPECT_NE(run.out.find("create log file succeed! [path = ./log/Tarvik_Log_"), std::string::npos)
        << what;
    // The day file stays GBK.
    std::string file;
    for (const auto& entry : std::filesystem::directory_iterator(dir.Path() / "work" / "log")) {
      file += test::ReadFileBytes(entry.path().string());
    }
    EXPECT_NE(file.find(" " + kIntervalGbk + "\n"), std::string::npos) << what;
    EXPECT_EQ(file.find(kIntervalUtf8), std::string::npos) << what;
  }
}

}  // namespace
}  // namespace fw
