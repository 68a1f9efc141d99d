// fenwright.exe: the operator's program. A dialog application: the main window is its only
// top-level window, and the program ends when it closes. The settings are read from fenwright.ini
// beside the executable; the run log goes to .\log in the working folder.
//
// Thread: this is the user-interface thread; the service's threads are started by the main
// window's control object.
#include <windows.h>

#include <commctrl.h>

#include "foundation/run_log.h"
#include "market/process_io.h"
#include "shell/service.h"
#include "ui/win32/main_dialog.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  // The address control of the configuration dialog lives in the common controls.
  INITCOMMONCONTROLSEX classes{sizeof(INITCOMMONCONTROLSEX),
                               ICC_INTERNET_CLASSES | ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&classes);

  int result = 0;
  {
    fw::shell::Service service(fw::market::TheProcessor());
    fw::ui::MainDialog dialog(service);
    result = dialog.RunModal(nullptr);
  }
  fw::CloseRunLog();
  return result < 0 ? 1 : 0;
}
