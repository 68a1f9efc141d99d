// DialogWindow: the tie between a dialog made from a resource and the object that handles its
// messages. The object travels to the dialog as its creation parameter and is kept in the
// window's DWLP_USER slot; a message that finds no object there (before WM_INITDIALOG, or after
// the owner let go of the slot) gets the dialog system's default handling.
//
// User-interface thread only; the window handle may be read from any thread.
#pragma once

#include <windows.h>

#include <atomic>

namespace fw::ui {

class DialogWindow {
 public:
  DialogWindow(const DialogWindow&) = delete;
  DialogWindow& operator=(const DialogWindow&) = delete;

  // The dialog's window: nullptr before WM_INITDIALOG and after the owner has cleared it.
  HWND Window() const { return hwnd_.load(); }

 protected:
  DialogWindow() = default;
  ~DialogWindow() = default;

  // Creates the dialog from its resource with this object as its handler (CreateDialogParam);
  // the window, or nullptr when it could not be made.
  HWND Create(int resource, HWND owner);

  // A message of the dialog, as a dialog procedure answers it (TRUE: handled).
  virtual INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam) = 0;

  std::atomic<HWND> hwnd_{nullptr};

 private:
  static INT_PTR CALLBACK DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
};

}  // namespace fw::ui
