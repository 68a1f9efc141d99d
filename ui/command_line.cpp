#include "ui/command_line.h"

#include <string_view>

#include "fenwright_version.h"
#include "foundation/platform/platform.h"

namespace fw::ui {
namespace {

const char kConsoleHelp[] =
    "fenwright: receives the Shenzhen exchange's binary market data feed and rewrites the legacy\n"
    "DBF files SJSHQ, SJSXX, SJSXXN, SJSZS, SJSPHHQ and SJSZHHQ every few seconds.\n"
    "\n"
    "usage: fenwright [--start] [--ini FILE] [--stdout-encoding gbk|utf-8] [--report-cycles]\n"
    "                 [--status-file FILE]\n"
    "       fenwright --status [--status-file FILE]\n"
    "       fenwright --version | --help\n"
    "\n"
    "  --start          start the service at once (as the Start button; autostart=true in the ini\n"
    "                   does too)\n"
    "  --ini FILE       the settings file (default: the ini beside the executable, fenwright.ini)\n"
    "  --stdout-encoding gbk|utf-8\n"
    "                   the encoding of standard output (default: the locale's character set:\n"
    "                   GBK for GBK, GB18030, CP936 and GB2312, else UTF-8); the run log files\n"
    "                   stay GBK\n"
    "  --report-cycles  log one line per write cycle: its duration, the receive thread's longest\n"
    "                   wait for the market state and the updates applied so far, and one with\n"
    "                   the bytes written to each file (load runs)\n"
    "  --status-file FILE\n"
    "                   the health status file that the running program keeps (default:\n"
    "                   fenwright.status.json in the working folder)\n"
    "  --status         print the health status of the program that keeps the status file, and\n"
    "                   exit as a monitoring plugin: 0 OK, 1 WARNING, 2 CRITICAL, 3 UNKNOWN\n"
    "  --version        the version and build\n"
    "  --help           this text\n"
    "\n"
    "The working folder holds the run log (.\\log\\Tarvik_Log_<YYYYMMDD>.log) and every relative\n"
    "path of the ini (the DBF files by default). The run log also goes to standard output.\n"
    "SIGINT (Ctrl+C) or SIGTERM closes the program after stopping the service.\n"
    "On a terminal these commands are read from standard input:\n"
    "  start    start the service          stop     stop the service\n"
    "  config   show the configuration     about    show the version\n"
    "  status   show the health status     quit     close the program\n";

const char kWindowHelp[] =
    "usage: fenwright.exe [--ini FILE] [--stdout-encoding gbk|utf-8] [--status-file FILE]\n"
    "       fenwright.exe --version | --help\n"
    "\n"
    "  --ini FILE   the settings file (default: fenwright.ini beside the program); the\n"
    "               configuration dialog saves to it\n"
    "  --stdout-encoding gbk|utf-8\n"
    "               the encoding of the run log on standard output (default: the console's)\n"
    "  --status-file FILE\n"
    "               the health status file (default: fenwright.status.json in the working\n"
    "               folder); fenwright-console.exe --status reads it\n";

CommandLine UsageError(std::string line) {
  CommandLine result;
  result.action = CommandLine::Action::kUsageError;
  result.usageError = "fenwright: " + std::move(line);
  return result;
}

}  // namespace

CommandLine ParseCommandLine(FrontEnd frontEnd, const std::vector<std::string>& arguments) {
  CommandLine result;
  for (size_t i = 0; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    std::string_view name = argument;
    std::string value;
    bool hasValue = false;
    if (const size_t equals = name.find('='); name.starts_with("--") && equals != name.npos) {
      value = argument.substr(equals + 1);
      name = name.substr(0, equals);
      hasValue = true;
    }
    const bool takesValue =
        name == "--ini" || name == "--stdout-encoding" || name == "--status-file";
    if (takesValue && !hasValue) {
      if (i + 1 == arguments.size()) {
        return UsageError(std::string(name) + " needs a value (see --help)");
      }
      value = arguments[++i];
      hasValue = true;
    }
    if (hasValue && !takesValue) {
      return UsageError(std::string(name) + " takes no value (see --help)");
    }
    const bool console = frontEnd == FrontEnd::kConsole;
    if (name == "--help" || name == "-h") {
      result.action = CommandLine::Action::kHelp;
      return result;
    } else if (name == "--version") {
      result.action = CommandLine::Action::kVersion;
      return result;
    } else if (name == "--ini") {
      if (value.empty()) return UsageError("--ini needs a file name");
      bool bare = true;
      for (char c : value) bare = bare && !platform::IsPathSeparator(c);
      result.iniPath = bare ? std::string(".") + platform::kPathSeparator + value : value;
    } else if (name == "--status-file") {
      if (value.empty()) return UsageError("--status-file needs a file name");
      result.statusFile = value;
    } else if (name == "--stdout-encoding") {
      if (!ParseStdoutEncoding(value, &result.encoding)) {
        return UsageError("--stdout-encoding " + value + ": use gbk or utf-8");
      }
      result.encodingChosen = true;
    } else if (console && (name == "--start" || name == "autostart")) {
      result.pressStart = true;
    } else if (console && name == "--report-cycles") {
      result.reportCycles = true;
    } else if (console && name == "--status") {
      result.action = CommandLine::Action::kStatus;
    } else {
      return UsageError("unknown option " + argument + " (see --help)");
    }
  }
  return result;
}

std::string VersionLine() { return "fenwright " + ProgramVersion(); }

std::string ProgramVersion() { return FW_VERSION " (build " FW_BUILD_ID ")"; }

const char* HelpText(FrontEnd frontEnd) {
  return frontEnd == FrontEnd::kConsole ? kConsoleHelp : kWindowHelp;
}

}  // namespace fw::ui
