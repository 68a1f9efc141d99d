#include "ui/win32/dialog_window.h"

namespace fw::ui {

HWND DialogWindow::Create(int resource, HWND owner) {
  // The slot holds the DialogWindow part of the object, whatever else the owner derives from.
  return CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(resource), owner,
                            DialogProc, reinterpret_cast<LPARAM>(this));
}

INT_PTR CALLBACK DialogWindow::DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  DialogWindow* self = nullptr;
  if (message == WM_INITDIALOG) {
    self = reinterpret_cast<DialogWindow*>(lParam);
    SetWindowLongPtrA(hwnd, DWLP_USER, lParam);
    self->hwnd_.store(hwnd);
  } else {
    self = reinterpret_cast<DialogWindow*>(GetWindowLongPtrA(hwnd, DWLP_USER));
  }
  if (self == nullptr) return FALSE;
  return self->OnMessage(message, wParam, lParam);
}

}  // namespace fw::ui
