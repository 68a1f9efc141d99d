// The front ends' command lines: what each argument list asks for, and the one line that names a
// bad argument.
#include "ui/command_line.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "foundation/platform/platform.h"

namespace fw::ui {
namespace {

using Action = CommandLine::Action;

const std::string kHere = std::string(".") + platform::kPathSeparator;

TEST(CommandLine, OptionsAreRead) {
  struct Case {
    std::vector<std::string> arguments;
    std::string iniPath;
    bool pressStart;
    bool reportCycles;
    bool encodingChosen;
    StdoutEncoding encoding;
  };
  const Case cases[] = {
      {{}, "", false, false, false, StdoutEncoding::kUtf8},
      {{"--start", "--ini", "/etc/fenwright/fenwright.ini"},
       "/etc/fenwright/fenwright.ini",
       true,
       false,
       false,
       StdoutEncoding::kUtf8},
      {{"autostart", "--report-cycles"}, "", true, true, false, StdoutEncoding::kUtf8},
      {{"--ini=conf/a.ini", "--stdout-encoding", "GBK"},
       "conf/a.ini",
       false,
       false,
       true,
       StdoutEncoding::kGbk},
      {{"--stdout-encoding=utf-8"}, "", false, false, true, StdoutEncoding::kUtf8},
      {{"--stdout-encoding", "gbk", "--stdout-encoding", "utf8"},
       "",
       false,
       false,
       true,
       StdoutEncoding::kUtf8},
      // A bare name is a file of the working folder, not one beside the executable.
      {{"--ini", "site.ini"}, kHere + "site.ini", false, false, false, StdoutEncoding::kUtf8},
      {{"--ini", "C:\\fen\\site.ini"},
       "C:\\fen\\site.ini",
       false,
       false,
       false,
       StdoutEncoding::kUtf8},
  };
  for (const Case& c : cases) {
    const CommandLine line = ParseCommandLine(FrontEnd::kConsole, c.arguments);
    const std::string shown = c.arguments.empty() ? "(none)" : c.arguments[0];
    EXPECT_EQ(line.action, Action::kRun) << shown << ": " << line.usageError;
    EXPECT_EQ(line.iniPath, c.iniPath) << shown;
    EXPECT_EQ(line.pressStart, c.pressStart) << shown;
    EXPECT_EQ(line.reportCycles, c.reportCycles) << shown;
    EXPECT_EQ(line.encodingChosen, c.encodingChosen) << shown;
    if (c.encodingChosen) {
      EXPECT_EQ(line.encoding, c.encoding) << shown;
    }
  }
}

TEST(CommandLine, HelpAndVersionEndTheReading) {
  EXPECT_EQ(ParseCommandLine(FrontEnd::kConsole, {"--version", "--bogus"}).action,
            Action::kVersion);
  EXPECT_EQ(ParseCommandLine(FrontEnd::kWindow, {"-h"}).action, Action::kHelp);
  EXPECT_EQ(ParseCommandLine(FrontEnd::kConsole, {"--start", "--help"}).action, Action::kHelp);
}

TEST(CommandLine, ABadArgumentIsNamedOnOneLine) {
  struct Case {
    FrontEnd frontEnd;
    std::vector<std::string> arguments;
    const char* line;
  };
  const Case cases[] = {
      {FrontEnd::kConsole,
       {"--start", "--bogus"},
       "fenwright: unknown option --bogus (see --help)"},
      {FrontEnd::kConsole, {"--ini"}, "fenwright: --ini needs a value (see --help)"},
      {FrontEnd::kConsole, {"--ini="}, "fenwright: --ini needs a file name"},
      {FrontEnd::kConsole,
       {"--stdout-encoding", "latin1"},
       "fenwright: --stdout-encoding latin1: use gbk or utf-8"},
      {FrontEnd::kConsole,
       {"--stdout-encoding"},
       "fenwright: --stdout-encoding needs a value (see --help)"},
      {FrontEnd::kConsole, {"--start=yes"}, "fenwright: --start takes no value (see --help)"},
      {FrontEnd::kConsole, {"start"}, "fenwright: unknown option start (see --help)"},
      // The window program has buttons for these.
      {FrontEnd::kWindow, {"--start"}, "fenwright: unknown option --start (see --help)"},
      {FrontEnd::kWindow,
       {"--ini", "a.ini", "--report-cycles"},
       "fenwright: unknown option --report-cycles (see --help)"},
  };
  for (const Case& c : cases) {
    const CommandLine line = ParseCommandLine(c.frontEnd, c.arguments);
    EXPECT_EQ(line.action, Action::kUsageError) << c.line;
    EXPECT_EQ(line.usageError, c.line);
  }
}

}  // namespace
}  // namespace fw::ui
