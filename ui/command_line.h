// The command lines of the two front ends, read the same way: `fenwright` (the console) and
// `fenwright.exe` (the window program). Options may be written "--name value" or "--name=value".
//
//   --ini FILE                    the ini file (default: beside the executable, with its name)
//   --stdout-encoding gbk|utf-8   standard output's encoding (default: the locale's)
//   --status-file FILE            the health status file (default: fenwright.status.json)
//   --version, --help
//   console only: --start (or autostart), --report-cycles, --status
//
// No state; any thread.
#pragma once

#include <string>
#include <vector>

#include "foundation/stdout_encoding.h"

namespace fw::ui {

enum class FrontEnd { kConsole, kWindow };

struct CommandLine {
  enum class Action { kRun, kHelp, kVersion, kStatus, kUsageError };
  Action action = Action::kRun;
  // The ini file, "" for the one beside the executable. A bare file name is given a "./" (".\")
  // in front, so that it names a file in the working folder, as every relative path of a command
  // line does, and not one beside the executable, where the ini reader looks for bare names.
  std::string iniPath;
  bool encodingChosen = false;  // --stdout-encoding was given
  StdoutEncoding encoding = StdoutEncoding::kUtf8;
  bool pressStart = false;    // console: press Start at once
  bool reportCycles = false;  // console: one run-log line per write cycle
  // The health status file the service keeps and --status reads, as given (a relative path is one
  // of the working folder).
  std::string statusFile = "fenwright.status.json";
  // kUsageError: one line naming the bad argument, without its line end.
  std::string usageError;
};

// Reads the arguments that follow the program's name. The first bad argument ends the reading
// with kUsageError; --help and --version end it at once.
CommandLine ParseCommandLine(FrontEnd frontEnd, const std::vector<std::string>& arguments);

// "fenwright <version> (build <commit>)", the commit being "unknown" outside a git checkout.
std::string VersionLine();
// "<version> (build <commit>)", as the health status names the program.
std::string ProgramVersion();

// The text of --help, ending with a line end.
const char* HelpText(FrontEnd frontEnd);

}  // namespace fw::ui
