// fenwright.exe: the operator's program. A dialog application: the main window is its only
// top-level window, and the program ends when it closes. The settings are read from fenwright.ini
// beside the executable, or from the file that --ini names; the run log goes to .\log in the
// working folder.
//
// Thread: this is the user-interface thread; the service's threads are started by the main
// window's control object.
#include <windows.h>

#include <commctrl.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "config/config_info.h"
#include "foundation/run_log.h"
#include "processor/process_io.h"
#include "shell/service.h"
#include "ui/command_line.h"
#include "ui/win32/main_dialog.h"

namespace {

// A window program has no console to print to: what the console front end prints goes to a
// message box, and to standard output or standard error for a caller that redirected them.
void Tell(const std::string& text, FILE* stream, UINT icon) {
  std::fputs(text.c_str(), stream);
  std::fflush(stream);
  MessageBoxA(nullptr, text.c_str(), "Fenwright", MB_OK | icon);
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  // The C runtime has split the command line already, by the same rules as a console program's.
  const fw::ui::CommandLine line = fw::ui::ParseCommandLine(
      fw::ui::FrontEnd::kWindow, std::vector<std::string>(__argv + 1, __argv + __argc));
  switch (line.action) {
    case fw::ui::CommandLine::Action::kHelp:
      Tell(fw::ui::HelpText(fw::ui::FrontEnd::kWindow), stdout, MB_ICONINFORMATION);
      return 0;
    case fw::ui::CommandLine::Action::kVersion:
      Tell(fw::ui::VersionLine() + "\n", stdout, MB_ICONINFORMATION);
      return 0;
    case fw::ui::CommandLine::Action::kUsageError:
      Tell(line.usageError + "\n", stderr, MB_ICONEXCLAMATION);
      return 2;
    case fw::ui::CommandLine::Action::kStatus:  // fenwright-console.exe's; not parsed here
    case fw::ui::CommandLine::Action::kRun:
      break;
  }
  // A missing file is no error here: the configuration dialog's Save creates it.
  if (!line.iniPath.empty()) fw::config::TheConfig().SetIniPath(line.iniPath);
  if (line.encodingChosen) fw::SetStdoutEncoding(line.encoding);

  // The address control of the configuration dialog lives in the common controls.
  INITCOMMONCONTROLSEX classes{sizeof(INITCOMMONCONTROLSEX),
                               ICC_INTERNET_CLASSES | ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&classes);

  int result = 0;
  {
    fw::shell::Service service(fw::processor::TheProcessor());
    service.Status().Enable(line.statusFile, fw::ui::ProgramVersion());
    fw::ui::MainDialog dialog(service);
    result = dialog.RunModal(nullptr);
  }
  fw::CloseRunLog();
  return result < 0 ? 1 : 0;
}
