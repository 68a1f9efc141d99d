#include "ui/win32/about_box.h"

#include "ui/dialog_ids.h"
#include "ui/main_window_model.h"

namespace fw::ui {
namespace {

constexpr const char* kNotice = "Fenwright 深圳证券交易所 Binary 行情转换程序";

INT_PTR CALLBACK AboutProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG:
      return TRUE;
    case WM_COMMAND:
      if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
        EndDialog(hwnd, LOWORD(wParam));
        return TRUE;
      }
      return FALSE;
    default:
      return FALSE;
  }
}

}  // namespace

std::string AboutMessageText() { return std::string(kNotice) + "\n\n" + VersionText(); }

void ShowAboutMessage(HWND owner) {
  const std::string text = AboutMessageText();
  MessageBoxA(owner, text.c_str(), "", MB_OK);
}

void ShowAboutDialog(HWND owner) {
  DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_ABOUTBOX), owner, AboutProc, 0);
}

}  // namespace fw::ui
