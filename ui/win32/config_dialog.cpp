#include "ui/win32/config_dialog.h"

#include <commctrl.h>

#include <mutex>
#include <string>

#include "config/config_info.h"
#include "foundation/run_log.h"
#include "ui/dialog_ids.h"

namespace fw::ui {
namespace {

constexpr const char* kTitle = "配置窗口";

std::string ControlText(HWND dialog, int id) {
  HWND control = GetDlgItem(dialog, id);
  const int length = GetWindowTextLengthA(control);
  if (length <= 0) return std::string();
  std::string text(static_cast<size_t>(length) + 1, '\0');
  const int got = GetWindowTextA(control, text.data(), length + 1);
  text.resize(got > 0 ? static_cast<size_t>(got) : 0);
  return text;
}

}  // namespace

ConfigDialog::ConfigDialog(HWND owner) { Create(IDD_CONFIG_DIALOG, owner); }

ConfigDialog::~ConfigDialog() {
  if (HWND hwnd = hwnd_.load()) DestroyWindow(hwnd);
}

void ConfigDialog::Open(HWND mainWindow) {
  HWND hwnd = hwnd_.load();
  if (hwnd == nullptr) return;
  ShowWindow(hwnd, SW_SHOW);
  RECT main{};
  GetWindowRect(mainWindow, &main);
  SetWindowPos(hwnd, nullptr, main.left + kOffsetX, main.top + kOffsetY, 0, 0,
               SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  Fill();
}

bool ConfigDialog::TakeDialogMessage(MSG* msg) {
  HWND hwnd = hwnd_.load();
  return hwnd != nullptr && IsWindowVisible(hwnd) && IsDialogMessageA(hwnd, msg) != 0;
}

INT_PTR ConfigDialog::OnMessage(UINT message, WPARAM wParam, LPARAM) {
  HWND hwnd = hwnd_.load();
  switch (message) {
    case WM_INITDIALOG:
      return TRUE;
    case WM_COMMAND:
      if (HIWORD(wParam) != BN_CLICKED) return FALSE;
      switch (LOWORD(wParam)) {
        case IDC_CFG_SAVE:
          Save();
          break;
        case IDC_CFG_CANCEL:
        case IDCANCEL:  // the close box and Escape: as Cancel
          ShowWindow(hwnd, SW_HIDE);
          break;
        default:  // IDOK (Enter) among them: saving takes the Save button
          break;
      }
      return TRUE;
    case WM_DESTROY:
      SetWindowLongPtrA(hwnd, DWLP_USER, 0);
      hwnd_.store(nullptr);
      return FALSE;
    default:
      return FALSE;
  }
}

void ConfigDialog::Fill() {
  HWND hwnd = hwnd_.load();
  SetWindowTextA(hwnd, kTitle);
  ConfigForm form;
  {
    std::lock_guard<std::mutex> lock(config::TheConfigMutex());
    form = FormFromConfig(config::TheConfig());
  }
  for (const ConfigControl& control : kConfigControls) {
    HWND item = GetDlgItem(hwnd, control.id);
    switch (control.kind) {
      case ConfigControlKind::kAddress:
        SendMessageA(item, IPM_SETADDRESS, 0, static_cast<LPARAM>(form.address));
        break;
      case ConfigControlKind::kNumber:
      case ConfigControlKind::kText:
        SendMessageA(item, EM_SETLIMITTEXT, control.limit, 0);
        SetWindowTextA(item, form.texts[control.id].c_str());
        break;
      case ConfigControlKind::kFlag:
        SendMessageA(item, BM_SETCHECK, form.ticks[control.id] ? BST_CHECKED : BST_UNCHECKED, 0);
        break;
    }
  }
}

void ConfigDialog::Save() {
  HWND hwnd = hwnd_.load();
  ConfigForm form;
  for (const ConfigControl& control : kConfigControls) {
    HWND item = GetDlgItem(hwnd, control.id);
    switch (control.kind) {
      case ConfigControlKind::kAddress: {
        // A blank control reads as 0.0.0.0 (blank fields count as 0).
        DWORD address = 0;
        SendMessageA(item, IPM_GETADDRESS, 0, reinterpret_cast<LPARAM>(&address));
        form.address = address;
        break;
      }
      case ConfigControlKind::kNumber:
      case ConfigControlKind::kText:
        form.texts[control.id] = ControlText(hwnd, control.id);
        break;
      case ConfigControlKind::kFlag:
        form.ticks[control.id] = SendMessageA(item, BM_GETCHECK, 0, 0) == BST_CHECKED;
        break;
    }
  }
  int32_t saved;
  std::string path;
  {
    std::lock_guard<std::mutex> lock(config::TheConfigMutex());
    ApplyForm(form, &config::TheConfig());
    saved = config::TheConfig().Save();
    path = config::TheConfig().iniPath;
  }
  // The record in memory holds the new values either way; but without the file the next start
  // would come back with the old ones, so the operator is told in the run log.
  if (saved < 0)
    WriteLog(1, "save %s failed, errorcode=%u", path.c_str(), static_cast<unsigned>(saved));
  ShowWindow(hwnd, SW_HIDE);
}

}  // namespace fw::ui
