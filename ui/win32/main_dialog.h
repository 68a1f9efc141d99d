// MainDialog: the program's one top-level window. It carries the service buttons (Start, Stop,
// Config, About), the run-log list and the market time, and owns the service control object and
// the configuration dialog. The button rules, the list's rules and the close sequence are those of
// MainWindowModel; this class is the Windows face of them.
//
// Threads: created, run and destroyed on one thread, the user-interface thread; everything here
// runs there. Worker threads reach the window only through its WindowMailbox (the run log's main
// window while the dialog lives), which queues their texts and posts a wake-up, so no worker ever
// waits for this thread. The run log's message numbers are also dialog messages (1025
// DM_SETDEFID, 1026 DM_REPOSITION), so the window reads no text from a message's parameters: such
// a message from anywhere gets the dialog system's handling. Lifetime: the caller's object;
// RunModal may be called once.
#pragma once

#include <windows.h>

#include <atomic>
#include <memory>
#include <string>

#include "shell/service.h"
#include "shell/ui_control.h"
#include "ui/main_window_model.h"
#include "ui/win32/dialog_window.h"
#include "ui/window_mailbox.h"

namespace fw::ui {

class ConfigDialog;

// The posted wake-up that makes the dialog take its mailbox (WM_APP and above are the
// application's own).
constexpr UINT kWmTakeMail = WM_APP + 1;

// Caption of the refusal message boxes.
constexpr const char* kRefusalCaption = "Fenwright";

class MainDialog final : public DialogWindow, private WindowPort {
 public:
  // `service` must outlive the dialog.
  explicit MainDialog(shell::Service& service);
  ~MainDialog() override;

  // Creates the dialog from its resource, makes its mailbox the run log's main window, runs the
  // window's message loop until the operator closes it (the close sequence has then run: every
  // thread stopped, the service shut down) and destroys it. 0 after a close; -1 when the dialog
  // could not be created. A WM_QUIT that arrives meanwhile also closes the window, and is posted
  // again for the caller's loop.
  int RunModal(HWND owner = nullptr);

  // The configuration dialog (nullptr before it exists and after its end); Window() is the main
  // window's. Readable from any thread.
  HWND ConfigWindow() const { return configHwnd_.load(); }

  shell::UiControl& Control() { return control_; }

 private:
  INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
  void OnInitDialog();
  void OnCommand(int id);
  void OnClose();
  void OnDestroy();
  bool PaintIconic();
  void TakeMail();
  // Whether the message loop must not pass `msg` on (keys of the main window are swallowed).
  bool Filter(MSG* msg);

  // WindowPort.
  void EnableButton(Button button, bool enabled) override;
  void ShowExclamation(const std::string& text) override;
  void ShowMarketTime(const std::string& text) override;
  void InsertLogLine(const std::string& line) override;
  void DeleteLogLine(size_t index) override;
  void Pause(uint32_t ms) override;

  shell::UiControl control_;
  MainWindowModel model_;
  std::shared_ptr<WindowMailbox> mailbox_;
  std::unique_ptr<ConfigDialog> config_;
  std::atomic<HWND> configHwnd_{nullptr};
  HICON bigIcon_ = nullptr;
  HICON smallIcon_ = nullptr;
  HFONT timeFont_ = nullptr;
  int extent_ = 0;         // the list's horizontal extent in pixels; never shrinks
  HDC batchDc_ = nullptr;  // while a batch of lines is inserted: the DC that measures them
  bool ended_ = false;
};

}  // namespace fw::ui
