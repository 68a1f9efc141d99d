// ConfigDialog: the modeless dialog that edits TheConfig(). Created hidden on the first press of
// Config and then only shown and hidden until the main window ends. Each Open refills every
// control from the record (unsaved edits of an earlier visit are lost); Save copies them back
// through the rules of config_form.h and writes the ini file, all under TheConfigMutex(); Cancel
// (or the close box, or Escape) only hides it.
//
// User-interface thread only; owned by MainDialog, its window owned by the main window's.
#pragma once

#include <windows.h>

#include "ui/config_form.h"
#include "ui/win32/dialog_window.h"

namespace fw::ui {

class ConfigDialog final : public DialogWindow {
 public:
  // Creates the hidden dialog; Window() is nullptr when that failed.
  explicit ConfigDialog(HWND owner);
  ~ConfigDialog();

  // Shows the dialog with its top-left corner 150 right of and 100 below the main window's
  // (pixels), titled "配置窗口", with every control filled from TheConfig().
  void Open(HWND mainWindow);

  // Keyboard navigation of a modeless dialog: true when the message was the dialog's.
  bool TakeDialogMessage(MSG* msg);

  // Offset of the dialog's corner from the main window's, in pixels.
  static constexpr int kOffsetX = 150;
  static constexpr int kOffsetY = 100;

 private:
  INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
  void Fill();
  void Save();
};

}  // namespace fw::ui
