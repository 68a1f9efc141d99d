// fenwright: the headless front end. Its "main window" is standard output: the run log's lines
// (which the run log prints itself) and the market time; its buttons are commands. The service is
// the same as the Windows program's, driven through the same window rules.
//
//   fenwright [--start] [--ini FILE] [--stdout-encoding gbk|utf-8] [--report-cycles]
//             [--status-file FILE]
//   fenwright --status [--status-file FILE]   the health status, with the monitoring exit codes
//   SIGINT / SIGTERM        close the program (the close sequence stops the service first)
//   on a terminal: start, stop, config, about, status, quit
//
// Threads: main is the user-interface thread; worker lines and times arrive through a queue.
#include <atomic>
#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <deque>
#include <iostream>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "config/config_info.h"
#include "foundation/gbk.h"
#include "foundation/local_clock.h"
#include "foundation/platform/platform.h"
#include "foundation/run_log.h"
#include "foundation/stdout_encoding.h"
#include "processor/process_io.h"
#include "shell/service.h"
#include "shell/status_report.h"
#include "shell/ui_control.h"
#include "ui/command_line.h"
#include "ui/main_window_model.h"

namespace {

using namespace fw;

std::atomic<bool> gCloseSignal{false};

extern "C" void OnCloseSignal(int) { gCloseSignal = true; }

void PrintLine(const std::string& text) { PrintToStdout(text + "\n"); }

// What the workers hand to the main window, taken in order by the main thread.
class ConsoleWindow : public MainWindowSink {
 public:
  void Deliver(uint32_t message, std::string text, intptr_t) override {
    std::lock_guard<std::mutex> lock(mutex_);
    queue_.push_back({message, std::move(text)});
    wake_.notify_one();
  }
  void Command(std::string command) {
    std::lock_guard<std::mutex> lock(mutex_);
    commands_.push_back(std::move(command));
    wake_.notify_one();
  }
  // Waits up to 100 ms for something to do.
  void Wait() {
    std::unique_lock<std::mutex> lock(mutex_);
    wake_.wait_for(lock, std::chrono::milliseconds(100),
                   [&] { return !queue_.empty() || !commands_.empty(); });
  }
  std::deque<std::pair<uint32_t, std::string>> TakeMessages() {
    std::lock_guard<std::mutex> lock(mutex_);
    return std::exchange(queue_, {});
  }
  std::deque<std::string> TakeCommands() {
    std::lock_guard<std::mutex> lock(mutex_);
    return std::exchange(commands_, {});
  }

 private:
  std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<std::pair<uint32_t, std::string>> queue_;
  std::deque<std::string> commands_;
};

class ConsolePort : public ui::WindowPort {
 public:
  void EnableButton(ui::Button, bool) override {}
  void ShowExclamation(const std::string& text) override { PrintLine("[!] " + text); }
  void ShowMarketTime(const std::string& text) override {
    if (!text.empty()) PrintLine("市场时间：" + text);
  }
  void InsertLogLine(const std::string&) override {}  // the run log printed it already
  void DeleteLogLine(size_t) override {}
  void Pause(uint32_t ms) override { platform::SleepMs(ms); }
};

// The health status kept in `path`, judged now: the report printed, its exit code returned.
int PrintStatus(const std::string& path) {
  const shell::StatusReport report = shell::ReportStatusFile(path, SecondsSinceEpoch(LocalNow()));
  // The report is UTF-8 (the file's paths and texts); standard output takes the system's GBK.
  PrintToStdout(Utf8ToGbkText(report.text));
  return report.exitCode;
}

void PrintConfig() {
  std::lock_guard<std::mutex> lock(config::TheConfigMutex());
  const config::ConfigInfo& c = config::TheConfig();
  char text[4096];
  std::snprintf(text, sizeof text,
                "ini = %s\n"
                "[binary] ip = %s, port = %u, savefile = %s, savefileflag = %s, begintime = %d, "
                "endtime = %d\n"
                "[logon] sender = %s, target = %s, heartbt = %d, ver = %s\n"
                "[xmlfile] loadFolder = %s\n"
                "[dbffile] hqdbf = %s, szl1 = %s, Sjsxxdbf = %s, Sjszsdbf = %s, Sjsphhqdbf = %s, "
                "Sjszhhqdbf = %s, writeInterval = %u, wrIntervalSleep = %u, lostHighVol = %s\n"
                "[other] holiday = %s, useholiday = %s, autostart = %s, IndexNameFile = %s\n"
                "(edit the ini file and restart to change them)",
                c.iniPath.c_str(), c.ip, c.port, c.savefile, c.savefileflag ? "true" : "false",
                c.begintime, c.endtime, c.sender, c.target, c.heartbt, c.ver, c.loadFolder, c.hqdbf,
                c.szl1, c.Sjsxxdbf, c.Sjszsdbf, c.Sjsphhqdbf, c.Sjszhhqdbf, c.writeInterval,
                c.wrIntervalSleep, c.lostHighVol ? "true" : "false", c.holiday,
                c.useholiday ? "true" : "false", c.autostart ? "true" : "false", c.IndexNameFile);
  PrintLine(text);
}

}  // namespace

int main(int argc, char** argv) {
  const ui::CommandLine options =
      ui::ParseCommandLine(ui::FrontEnd::kConsole, std::vector<std::string>(argv + 1, argv + argc));
  switch (options.action) {
    case ui::CommandLine::Action::kHelp:
      std::fputs(ui::HelpText(ui::FrontEnd::kConsole), stdout);
      return 0;
    case ui::CommandLine::Action::kVersion:
      std::printf("%s\n", ui::VersionLine().c_str());
      return 0;
    case ui::CommandLine::Action::kUsageError:
      std::fprintf(stderr, "%s\n", options.usageError.c_str());
      return 2;
    case ui::CommandLine::Action::kStatus:
      if (options.encodingChosen) SetStdoutEncoding(options.encoding);
      return PrintStatus(options.statusFile);
    case ui::CommandLine::Action::kRun:
      break;
  }
  // This program never saves the ini: a named file that is missing would only run the service on
  // every default.
  if (!options.iniPath.empty()) {
    if (!platform::FileExists(options.iniPath)) {
      std::fprintf(stderr, "fenwright: --ini %s: no such file\n", options.iniPath.c_str());
      return 2;
    }
    config::TheConfig().SetIniPath(options.iniPath);
  }
  if (options.encodingChosen) SetStdoutEncoding(options.encoding);
  shell::ServiceTimings timings;
  timings.writer.reportCycles = options.reportCycles;
  std::signal(SIGINT, OnCloseSignal);
  std::signal(SIGTERM, OnCloseSignal);

  auto window = std::make_shared<ConsoleWindow>();
  SetMainWindow(window);
  ConsolePort port;
  {
    shell::Service service(processor::TheProcessor(), timings);
    service.Status().Enable(options.statusFile, ui::ProgramVersion());
    shell::UiControl control(service);
    ui::MainWindowModel model(control, port);
    model.Initialize();
    if (options.pressStart && !control.StartRequested()) model.Start();

    if (platform::StdinIsTerminal()) {
      // The reader may stay blocked in a read when the program closes: it is left behind.
      std::thread([window] {
        for (std::string line; std::getline(std::cin, line);) window->Command(line);
        window->Command("quit");
      }).detach();
    }

    bool quit = false;
    while (!quit && !gCloseSignal) {
      window->Wait();
      for (auto& [message, text] : window->TakeMessages()) {
        if (message == WM_LOG_LINE) model.AddLogLine(text);
        if (message == WM_MARKET_TIME) model.SetMarketTime(text);
      }
      for (const std::string& command : window->TakeCommands()) {
        if (command == "start") {
          model.Start();
        } else if (command == "stop") {
          model.Stop();
        } else if (command == "config") {
          PrintConfig();
        } else if (command == "about") {
          PrintLine("Fenwright 1.0 版  " + ui::VersionText());
        } else if (command == "status") {
          PrintStatus(options.statusFile);
        } else if (command == "quit" || command == "exit") {
          quit = true;
        } else if (!command.empty()) {
          PrintLine("commands: start, stop, config, about, status, quit");
        }
      }
    }
    model.Close();
  }
  SetMainWindow(nullptr);
  CloseRunLog();
  return 0;
}
