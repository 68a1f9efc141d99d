#include "ui/win32/main_dialog.h"

#include "foundation/run_log.h"
#include "ui/dialog_ids.h"
#include "ui/win32/about_box.h"
#include "ui/win32/config_dialog.h"

namespace fw::ui {
namespace {

constexpr const char* kTitle = "Ostrel";
constexpr const char* kAboutMenuText = "关于 Fenwright(&A)...";
constexpr COLORREF kMarketTimeColour = RGB(240, 0, 0);
// The list draws its items a little way in from its left edge: without this the end of the
// widest line would stay hidden behind the scroll range.
constexpr int kExtentMarginPx = 4;

HINSTANCE Instance() { return GetModuleHandleA(nullptr); }

int ButtonId(Button button) {
  switch (button) {
    case Button::kStart:
      return IDC_START;
    case Button::kStop:
      return IDC_STOP;
    case Button::kConfig:
      return IDC_CONFIG;
  }
  return 0;
}

}  // namespace

MainDialog::MainDialog(shell::Service& service)
    : control_(service),
      model_(control_, *this),
      mailbox_(std::make_shared<WindowMailbox>(kMaxLogLines)) {}

MainDialog::~MainDialog() {
  // A dialog whose loop never ran still detaches, so that no worker posts to a dead window.
  mailbox_->Detach();
  if (HWND hwnd = hwnd_.load()) DestroyWindow(hwnd);
  if (timeFont_ != nullptr) DeleteObject(timeFont_);
  if (bigIcon_ != nullptr) DestroyIcon(bigIcon_);
  if (smallIcon_ != nullptr) DestroyIcon(smallIcon_);
}

int MainDialog::RunModal(HWND owner) {
  HWND hwnd = Create(IDD_MAIN_DIALOG, owner);
  if (hwnd == nullptr) return -1;
  const bool ownerWasEnabled = owner != nullptr && EnableWindow(owner, FALSE) == 0;
  ShowWindow(hwnd, SW_SHOW);

  bool quit = false;
  WPARAM quitCode = 0;
  MSG msg;
  while (!ended_) {
    const BOOL got = GetMessageA(&msg, nullptr, 0, 0);
    if (got == 0) {
      quit = true;
      quitCode = msg.wParam;
      break;
    }
    if (got < 0) break;
    if (Filter(&msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  if (!ended_) OnClose();

  if (ownerWasEnabled) EnableWindow(owner, TRUE);
  DestroyWindow(hwnd);
  if (quit) PostQuitMessage(static_cast<int>(quitCode));
  return 0;
}

bool MainDialog::Filter(MSG* msg) {
  HWND hwnd = hwnd_.load();
  const bool ours = msg->hwnd == hwnd || IsChild(hwnd, msg->hwnd);
  // The main window ignores the keyboard: Enter and Escape must never close it, and no key may
  // press a service button behind the operator's back.
  if (ours && msg->message == WM_KEYDOWN) return true;
  if (config_ && config_->TakeDialogMessage(msg)) return true;
  return false;
}

INT_PTR MainDialog::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  HWND hwnd = hwnd_.load();
  switch (message) {
    case WM_INITDIALOG:
      OnInitDialog();
      return TRUE;
    case WM_COMMAND:
      if (HIWORD(wParam) == BN_CLICKED) OnCommand(LOWORD(wParam));
      return TRUE;
    case WM_SYSCOMMAND:
      if ((wParam & 0xFFF0u) == IDM_ABOUTBOX) {
        ShowAboutDialog(hwnd);
        return TRUE;
      }
      return FALSE;
    case WM_CLOSE:
      OnClose();
      return TRUE;
    case WM_DESTROY:
      OnDestroy();
      return FALSE;
    case kWmTakeMail:
      TakeMail();
      return TRUE;
    case WM_CTLCOLORSTATIC:
      if (GetDlgCtrlID(reinterpret_cast<HWND>(lParam)) == IDC_MARKET_TIME) {
        HDC dc = reinterpret_cast<HDC>(wParam);
        SetTextColor(dc, kMarketTimeColour);
        SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
        return reinterpret_cast<INT_PTR>(GetSysColorBrush(COLOR_BTNFACE));
      }
      return FALSE;
    case WM_PAINT:
      return PaintIconic() ? TRUE : FALSE;
    case WM_QUERYDRAGICON:
      return reinterpret_cast<INT_PTR>(smallIcon_);
    default:
      return FALSE;
  }
}

void MainDialog::OnInitDialog() {
  HWND hwnd = hwnd_.load();
  if (kAboutMenuText[0] != '\0') {
    if (HMENU menu = GetSystemMenu(hwnd, FALSE)) {
      AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
      AppendMenuA(menu, MF_STRING, IDM_ABOUTBOX, kAboutMenuText);
    }
  }
  bigIcon_ =
      static_cast<HICON>(LoadImageA(Instance(), MAKEINTRESOURCEA(IDR_MAINFRAME), IMAGE_ICON,
                                    GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CYICON), 0));
  smallIcon_ = static_cast<HICON>(LoadImageA(Instance(), MAKEINTRESOURCEA(IDR_MAINFRAME),
                                             IMAGE_ICON, GetSystemMetrics(SM_CXSMICON),
                                             GetSystemMetrics(SM_CYSMICON), 0));
  SendMessageA(hwnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(bigIcon_));
  SendMessageA(hwnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(smallIcon_));
  SetWindowTextA(hwnd, kTitle);

  timeFont_ =
      CreateFontA(-11, 0, 0, 0, 100, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                  CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_SWISS, "Arial");
  if (timeFont_ != nullptr)
    SendDlgItemMessageA(hwnd, IDC_MARKET_TIME, WM_SETFONT, reinterpret_cast<WPARAM>(timeFont_),
                        TRUE);

  // Lines logged from here on (UiControl::Init's own among them) reach the list.
  mailbox_->Attach([hwnd] { return PostMessageA(hwnd, kWmTakeMail, 0, 0) != 0; });
  SetMainWindow(mailbox_);
  model_.Initialize();
}

void MainDialog::OnCommand(int id) {
  switch (id) {
    case IDC_START:
      model_.Start();
      break;
    case IDC_STOP:
      model_.Stop();
      break;
    case IDC_CONFIG:
      if (!config_) {
        config_ = std::make_unique<ConfigDialog>(hwnd_.load());
        configHwnd_.store(config_->Window());
      }
      config_->Open(hwnd_.load());
      break;
    case IDC_ABOUT:
      ShowAboutMessage(hwnd_.load());
      break;
    default:
      // IDOK and IDCANCEL among them: only the close box and the system menu end the program.
      break;
  }
}

void MainDialog::OnClose() {
  if (ended_) return;
  ended_ = true;
  // The workers are stopped while their lines still queue in the mailbox; nothing here waits for
  // a worker that waits for this thread.
  model_.Close();
}

void MainDialog::OnDestroy() {
  mailbox_->Detach();
  SetMainWindow(nullptr);
  configHwnd_.store(nullptr);
  config_.reset();
  hwnd_.store(nullptr);
}

bool MainDialog::PaintIconic() {
  HWND hwnd = hwnd_.load();
  if (!IsIconic(hwnd)) return false;
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(hwnd, &paint);
  SendMessageA(hwnd, WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
  RECT client;
  GetClientRect(hwnd, &client);
  const int x = (client.right - client.left - GetSystemMetrics(SM_CXICON) + 1) / 2;
  const int y = (client.bottom - client.top - GetSystemMetrics(SM_CYICON) + 1) / 2;
  DrawIcon(dc, x, y, bigIcon_);
  EndPaint(hwnd, &paint);
  return true;
}

void MainDialog::TakeMail() {
  WindowMailbox::Mail mail = mailbox_->Take();
  if (!mail.lines.empty()) {
    // A busy service hands over hundreds of lines at once: the list is drawn once for all of
    // them, and they are measured with one device context, instead of once per line.
    HWND hwnd = hwnd_.load();
    HWND list = GetDlgItem(hwnd, IDC_LOG_LIST);
    SendMessageA(list, WM_SETREDRAW, FALSE, 0);
    batchDc_ = GetDC(hwnd);
    HGDIOBJ previous = nullptr;
    if (batchDc_ != nullptr)
      previous =
          SelectObject(batchDc_, reinterpret_cast<HGDIOBJ>(SendMessageA(list, WM_GETFONT, 0, 0)));
    for (const std::string& line : mail.lines) model_.AddLogLine(line);
    if (batchDc_ != nullptr) {
      SelectObject(batchDc_, previous);
      ReleaseDC(hwnd, batchDc_);
      batchDc_ = nullptr;
    }
    SendMessageA(list, WM_SETREDRAW, TRUE, 0);
    RedrawWindow(list, nullptr, nullptr, RDW_ERASE | RDW_FRAME | RDW_INVALIDATE | RDW_ALLCHILDREN);
  }
  if (mail.marketTime) model_.SetMarketTime(*mail.marketTime);
}

void MainDialog::EnableButton(Button button, bool enabled) {
  EnableWindow(GetDlgItem(hwnd_.load(), ButtonId(button)), enabled ? TRUE : FALSE);
}

void MainDialog::ShowExclamation(const std::string& text) {
  MessageBoxA(hwnd_.load(), text.c_str(), kRefusalCaption, MB_OK | MB_ICONEXCLAMATION);
}

void MainDialog::ShowMarketTime(const std::string& text) {
  HWND time = GetDlgItem(hwnd_.load(), IDC_MARKET_TIME);
  SetWindowTextA(time, text.c_str());
  InvalidateRect(time, nullptr, TRUE);
  UpdateWindow(time);
}

void MainDialog::InsertLogLine(const std::string& line) {
  HWND list = GetDlgItem(hwnd_.load(), IDC_LOG_LIST);
  SendMessageA(list, LB_INSERTSTRING, 0, reinterpret_cast<LPARAM>(line.c_str()));
  // Every line was measured when it arrived, so the widest of them is the larger of the extent so
  // far and this line: the same result as measuring the whole list again, at one line's cost.
  HWND hwnd = hwnd_.load();
  // Within a batch the DC of TakeMail, already holding the list's font, measures every line.
  const bool ownDc = batchDc_ == nullptr;
  HDC dc = ownDc ? GetDC(hwnd) : batchDc_;
  if (dc == nullptr) return;
  // The dialog's DC holds the system font; the list draws with its own.
  HGDIOBJ previous =
      ownDc ? SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageA(list, WM_GETFONT, 0, 0)))
            : nullptr;
  SIZE size{};
  if (GetTextExtentPoint32A(dc, line.data(), static_cast<int>(line.size()), &size) != 0) {
    const int width = static_cast<int>(size.cx) + kExtentMarginPx;
    if (width > extent_) {
      extent_ = width;
      SendMessageA(list, LB_SETHORIZONTALEXTENT, static_cast<WPARAM>(extent_), 0);
    }
  }
  if (ownDc) {
    SelectObject(dc, previous);
    ReleaseDC(hwnd, dc);
  }
}

void MainDialog::DeleteLogLine(size_t index) {
  SendDlgItemMessageA(hwnd_.load(), IDC_LOG_LIST, LB_DELETESTRING, static_cast<WPARAM>(index), 0);
}

void MainDialog::Pause(uint32_t ms) { Sleep(ms); }

}  // namespace fw::ui
