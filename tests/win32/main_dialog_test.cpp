// The Windows program's dialogs, driven in-process the way an operator drives them: the main
// window runs its own loop on a user-interface thread of this process, and the test presses its
// buttons (BM_CLICK), reads its list (LB_GETTEXT) and market time (WM_GETTEXT), answers its message
// boxes and closes it, with the service running against the gateway simulator on loopback.
//
// Needs a display: under Wine without one the binary exits 77 (skipped). With FW_SCREENSHOTS set
// it asks the script that runs it for screenshots (a request file, answered by a done file).
#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "config/config_info.h"
#include "foundation/platform/platform.h"
#include "foundation/run_log.h"
#include "processor/process_io.h"
#include "refdata/reference_tables.h"
#include "shell/service.h"
#include "tests/support/service_day.h"
#include "tests/support/test_support.h"
#include "tools/feed_source.h"
#include "tools/gateway_simulator.h"
#include "tools/sample_day.h"
#include "ui/dialog_ids.h"
#include "ui/win32/main_dialog.h"

namespace fw::ui {
namespace {

constexpr uint32_t kThursday = 20260305;
constexpr const char* kInitialized = "----------- program has initialized! ---------------";
constexpr const char* kInitializing = "----------- program is initializing! ---------------";
constexpr const char* kEnded = "----------- program has ended! ---------------";

bool WaitUntil(const std::function<bool()>& predicate, uint32_t timeoutMs = 30000) {
  return test::WindowCatcher::WaitFor(predicate, std::chrono::milliseconds(timeoutMs));
}

std::string TextOf(HWND window) {
  char text[2048] = {};
  const LRESULT n = SendMessageA(window, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text));
  return std::string(text, static_cast<size_t>(n > 0 ? n : 0));
}

std::string ClassOf(HWND window) {
  char name[64] = {};
  GetClassNameA(window, name, sizeof name);
  return name;
}

std::vector<std::string> ListLines(HWND list) {
  std::vector<std::string> lines;
  const LRESULT count = SendMessageA(list, LB_GETCOUNT, 0, 0);
  for (LRESULT i = 0; i < count; ++i) {
    const LRESULT length = SendMessageA(list, LB_GETTEXTLEN, static_cast<WPARAM>(i), 0);
    std::string line(static_cast<size_t>(length > 0 ? length : 0) + 1, '\0');
    const LRESULT got = SendMessageA(list, LB_GETTEXT, static_cast<WPARAM>(i),
                                     reinterpret_cast<LPARAM>(line.data()));
    line.resize(static_cast<size_t>(got > 0 ? got : 0));
    lines.push_back(line);
  }
  return lines;
}

bool EndsWith(const std::string& text, const std::string& end) {
  return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

// Index of the newest line (from the top) that ends with `text`; -1 when there is none.
int IndexOfLine(const std::vector<std::string>& lines, const std::string& text) {
  for (size_t i = 0; i < lines.size(); ++i) {
    if (EndsWith(lines[i], text)) return static_cast<int>(i);
  }
  return -1;
}

// The visible dialog-class windows of a thread other than `except`.
std::vector<HWND> DialogsOfThread(DWORD thread, const std::vector<HWND>& except) {
  struct Search {
    std::vector<HWND> except;
    std::vector<HWND> found;
  } search{except, {}};
  EnumThreadWindows(
      thread,
      [](HWND window, LPARAM data) -> BOOL {
        auto* s = reinterpret_cast<Search*>(data);
        if (!IsWindowVisible(window) || ClassOf(window) != "#32770") return TRUE;
        for (HWND e : s->except) {
          if (e == window) return TRUE;
        }
        s->found.push_back(window);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}

// The texts of a dialog's static controls, in child order.
std::vector<std::string> StaticTexts(HWND dialog) {
  std::vector<std::string> texts;
  EnumChildWindows(
      dialog,
      [](HWND child, LPARAM data) -> BOOL {
        if (ClassOf(child) == "Static") {
          const std::string text = TextOf(child);
          if (!text.empty()) reinterpret_cast<std::vector<std::string>*>(data)->push_back(text);
        }
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&texts));
  return texts;
}

bool HasStaticText(HWND dialog, const std::string& text) {
  for (const std::string& t : StaticTexts(dialog)) {
    if (t == text) return true;
  }
  return false;
}

// The value of `key` in an ini file's text ("key = value", blanks around the value dropped).
std::string IniValue(const std::string& ini, const std::string& key) {
  size_t at = 0;
  while (at < ini.size()) {
    size_t end = ini.find('\n', at);
    if (end == std::string::npos) end = ini.size();
    std::string line = ini.substr(at, end - at);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const size_t equals = line.find('=');
    if (equals != std::string::npos) {
      std::string name = line.substr(0, equals);
      while (!name.empty() && name.back() == ' ') name.pop_back();
      if (name == key) {
        std::string value = line.substr(equals + 1);
        while (!value.empty() && value.front() == ' ') value.erase(value.begin());
        while (!value.empty() && value.back() == ' ') value.pop_back();
        return value;
      }
    }
    at = end + 1;
  }
  return "<missing>";
}

class MainDialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetRunLogFolder(dir_.File("log"));
    SetRunLogConsolePrinter([](std::string_view) {});
    tools::SampleDayOptions options;
    options.securityCount = 30;
    options.date = kThursday;
    day_ = std::make_shared<const tools::SampleDay>(tools::BuildSampleDay(options));
    platform::MakeDirectory(dir_.File("xml"));
    xml_ = dir_.File("xml") + platform::kPathSeparator;
    ASSERT_GE(tools::WriteSampleDay(*day_, xml_), 0);

    tools::GatewayOptions gateway;
    auto day = day_;
    gateway.source = [day] { return std::make_unique<tools::SyntheticDayFeed>(day, 3); };
    gateway.messagesPerSecond = 5000;
    ASSERT_GE(gateway_.Start(gateway), 0);
    WriteIni(false);
    std::lock_guard<std::mutex> lock(config::TheConfigMutex());
    config::TheConfig().SetIniPath(dir_.File("fenwright.ini"));
  }

  void TearDown() override {
    if (ui_.joinable()) Close();
    gateway_.Stop();
    CloseRunLog();
    SetRunLogFolder(".\\log");
    SetRunLogConsolePrinter(nullptr);
    std::lock_guard<std::mutex> lock(config::TheConfigMutex());
    config::TheConfig() = config::ConfigInfo();
  }

  void WriteIni(bool autostart) {
    test::WriteFileBytes(
        dir_.File("fenwright.ini"),
        test::DayIniText(
            xml_, dir_, gateway_.Port(),
            "[logon]\r\nsender = FWTEST\r\ntarget = GATEWAY\r\nheartbt = 30\r\nver = 1.02\r\n",
            autostart));
  }

  // Creates the main window on its own user-interface thread and waits until its initialisation
  // is over.
  void Open(const shell::ServiceTimings& timings = test::ShortServiceTimings()) {
    service_ = std::make_unique<shell::Service>(processor_, timings);
    dialog_ = std::make_unique<MainDialog>(*service_);
    done_ = false;
    ui_ = std::thread([this] {
      result_ = dialog_->RunModal();
      done_ = true;
    });
    ASSERT_TRUE(WaitUntil([&] { return dialog_->Window() != nullptr || done_; }));
    main_ = dialog_->Window();
    ASSERT_NE(main_, nullptr);
    Sync();
    list_ = GetDlgItem(main_, IDC_LOG_LIST);
    time_ = GetDlgItem(main_, IDC_MARKET_TIME);
    uiThread_ = GetWindowThreadProcessId(main_, nullptr);
  }

  // Closes the window as the close box does and waits for the program's end. A close that never
  // ends is a hang: the binary stops at once rather than wait for ctest's time-out.
  void Close() {
    PostMessageA(main_, WM_CLOSE, 0, 0);
    if (!WaitUntil([&] { return done_.load(); }, 120000)) {
      ADD_FAILURE() << "the main window did not close";
      std::fflush(stdout);
      std::_Exit(1);
    }
    ui_.join();
    EXPECT_EQ(result_, 0);
    EXPECT_FALSE(IsWindow(main_));
    dialog_.reset();
    service_.reset();
  }

  std::string DayLog() const {
    return test::ReadFileBytes(dir_.File("log") + platform::kPathSeparator +
                               "Tarvik_Log_20260305.log");
  }

  // Returns once the user-interface thread has handled everything sent or posted before.
  void Sync() { SendMessageA(main_, WM_NULL, 0, 0); }

  void Click(int id) { ClickIn(main_, id); }
  void ClickIn(HWND dialog, int id) { SendMessageA(GetDlgItem(dialog, id), BM_CLICK, 0, 0); }
  bool Enabled(int id) { return IsWindowEnabled(GetDlgItem(main_, id)) != 0; }
  std::vector<std::string> Lines() { return ListLines(list_); }
  std::string TopLine() {
    const std::vector<std::string> lines = Lines();
    return lines.empty() ? std::string() : lines.front();
  }
  bool WaitForLine(const std::string& text) {
    return WaitUntil([&] { return IndexOfLine(Lines(), text) >= 0; });
  }

  // Posts a click whose handler opens a modal box, waits for the box and returns it.
  HWND ClickIntoBox(int id, std::vector<HWND> except = {}) {
    except.push_back(main_);
    if (dialog_->ConfigWindow() != nullptr) except.push_back(dialog_->ConfigWindow());
    PostMessageA(GetDlgItem(main_, id), BM_CLICK, 0, 0);
    return WaitForBox(except);
  }
  HWND WaitForBox(const std::vector<HWND>& except) {
    HWND box = nullptr;
    WaitUntil([&] {
      const std::vector<HWND> found = DialogsOfThread(uiThread_, except);
      box = found.empty() ? nullptr : found.front();
      return box != nullptr;
    });
    return box;
  }
  void Dismiss(HWND box) {
    SendMessageA(box, WM_COMMAND, IDOK, 0);
    Sync();
  }

  // Asks the script around this binary for a picture of the screen (see the file comment).
  void Screenshot(const std::string& name) {
    if (std::getenv("FW_SCREENSHOTS") == nullptr) return;
    RedrawWindow(main_, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    Sync();
    std::this_thread::sleep_for(std::chrono::milliseconds(500));  // let the X server draw
    const std::string done = name + ".shot-done";
    test::WriteFileBytes(name + ".shot-request", name);
    if (!WaitUntil([&] { return platform::FileExists(done); }, 20000)) {
      std::printf("no screenshot %s was taken\n", name.c_str());
    }
    platform::RemoveFile(done);
  }

  test::TempDir dir_;
  test::FakeClock clock_{kThursday, 100000};
  std::shared_ptr<const tools::SampleDay> day_;
  std::string xml_;
  tools::GatewaySimulator gateway_;
  refdata::ReferenceTables tables_;
  processor::MProcessIO processor_{tables_};
  std::unique_ptr<shell::Service> service_;
  std::unique_ptr<MainDialog> dialog_;
  std::thread ui_;
  std::atomic<bool> done_{false};
  int result_ = -2;
  HWND main_ = nullptr;
  HWND list_ = nullptr;
  HWND time_ = nullptr;
  DWORD uiThread_ = 0;
};

TEST_F(MainDialogTest, InitialisationSetsTitleMenuFontAndButtons) {
  Open();
  EXPECT_EQ(TextOf(main_), "Ostrel");
  EXPECT_EQ(TextOf(time_), "");
  EXPECT_TRUE(Enabled(IDC_START));
  EXPECT_FALSE(Enabled(IDC_STOP));
  EXPECT_TRUE(Enabled(IDC_CONFIG));
  EXPECT_TRUE(Enabled(IDC_ABOUT));

  HMENU menu = GetSystemMenu(main_, FALSE);
  ASSERT_NE(menu, nullptr);
  const int items = GetMenuItemCount(menu);
  ASSERT_GE(items, 2);
  EXPECT_EQ(GetMenuItemID(menu, items - 1), 16u);
  char text[128] = {};
  GetMenuStringA(menu, static_cast<UINT>(items - 1), text, sizeof text, MF_BYPOSITION);
  EXPECT_STREQ(text, "关于 Fenwright(&A)...");
  EXPECT_NE(GetMenuState(menu, static_cast<UINT>(items - 2), MF_BYPOSITION) & MF_SEPARATOR, 0u);

  LOGFONTA font{};
  auto timeFont = reinterpret_cast<HFONT>(SendMessageA(time_, WM_GETFONT, 0, 0));
  ASSERT_NE(timeFont, nullptr);
  ASSERT_GT(GetObjectA(timeFont, sizeof font, &font), 0);
  EXPECT_EQ(font.lfHeight, -11);
  EXPECT_EQ(font.lfWeight, 100);
  EXPECT_STREQ(font.lfFaceName, "Arial");
  EXPECT_EQ(font.lfPitchAndFamily & 0xF0, FF_SWISS);

  const auto style = static_cast<DWORD>(GetWindowLongPtrA(list_, GWL_STYLE));
  EXPECT_EQ(style & LBS_SORT, 0u);
  EXPECT_NE(style & LBS_NOINTEGRALHEIGHT, 0u);
  EXPECT_NE(SendMessageA(main_, WM_GETICON, ICON_BIG, 0), 0);
  EXPECT_NE(SendMessageA(main_, WM_GETICON, ICON_SMALL, 0), 0);
  Close();
}

TEST_F(MainDialogTest, StartShowsLogLinesNewestFirstAndTheMarketTimeUntilStop) {
  Open();
  Click(IDC_START);
  EXPECT_FALSE(Enabled(IDC_START));
  EXPECT_TRUE(Enabled(IDC_STOP));
  EXPECT_FALSE(Enabled(IDC_CONFIG));

  ASSERT_TRUE(WaitForLine(kInitialized));
  const std::vector<std::string> lines = Lines();
  const int initialized = IndexOfLine(lines, kInitialized);
  int initializing = -1;
  for (size_t i = lines.size(); i-- > 0;) {
    if (EndsWith(lines[i], kInitializing)) initializing = static_cast<int>(i);
  }
  ASSERT_GE(initializing, 0);
  EXPECT_LT(initialized, initializing) << "the newest line is on top";
  EXPECT_EQ(lines[static_cast<size_t>(initialized)],
            std::string("<Log_LV0> t=100000 ") + kInitialized);

  // The synthetic day's snapshots carry times from 09:15 to 15:30.
  std::string time;
  ASSERT_TRUE(WaitUntil([&] {
    time = TextOf(time_);
    return !time.empty();
  }));
  EXPECT_EQ(time.find_first_not_of("0123456789"), std::string::npos) << time;
  EXPECT_GE(std::stoul(time), 91500u);
  EXPECT_LE(std::stoul(time), 153000u);
  Screenshot("main_window_running");

  ASSERT_TRUE(WaitUntil([&] { return !dialog_->Control().StartRequested(); }));
  Click(IDC_STOP);
  EXPECT_TRUE(Enabled(IDC_START));
  EXPECT_FALSE(Enabled(IDC_STOP));
  EXPECT_TRUE(Enabled(IDC_CONFIG));
  ASSERT_TRUE(WaitForLine(kEnded));
  EXPECT_TRUE(WaitUntil([&] { return TextOf(time_).empty(); }));
  Close();
}

TEST_F(MainDialogTest, StopIsRefusedWhileTheStartAttemptRuns) {
  shell::ServiceTimings timings = test::ShortServiceTimings();
  timings.startSettleMs = 600000;  // outlasts the test; the close ends it
  Open(timings);
  Click(IDC_START);
  ASSERT_TRUE(WaitForLine(kInitialized));
  HWND box = ClickIntoBox(IDC_STOP);
  ASSERT_NE(box, nullptr);
  EXPECT_TRUE(HasStaticText(box, "正在启动，请等待..."))
      << ::testing::PrintToString(StaticTexts(box));
  EXPECT_EQ(TextOf(box), kRefusalCaption);
  Dismiss(box);
  EXPECT_TRUE(dialog_->Control().StartRequested());
  EXPECT_FALSE(dialog_->Control().StopRequested());
  EXPECT_FALSE(Enabled(IDC_START));
  EXPECT_TRUE(Enabled(IDC_STOP));
  Close();
}

TEST_F(MainDialogTest, StartIsRefusedWhileTheServiceStops) {
  shell::ServiceTimings timings = test::ShortServiceTimings();
  timings.stopSettleMs = 600000;
  Open(timings);
  Click(IDC_START);
  ASSERT_TRUE(WaitForLine(kInitialized));
  ASSERT_TRUE(WaitUntil([&] { return !dialog_->Control().StartRequested(); }));
  Click(IDC_STOP);
  ASSERT_TRUE(WaitForLine(kEnded));
  HWND box = ClickIntoBox(IDC_START);
  ASSERT_NE(box, nullptr);
  EXPECT_TRUE(HasStaticText(box, "正在停止，请等待..."))
      << ::testing::PrintToString(StaticTexts(box));
  Dismiss(box);
  EXPECT_FALSE(dialog_->Control().StartRequested());
  EXPECT_TRUE(dialog_->Control().StopRequested());
  EXPECT_TRUE(Enabled(IDC_START));
  EXPECT_FALSE(Enabled(IDC_STOP));
  Close();
}

TEST_F(MainDialogTest, ConfigIsOneWindowRefilledAtEveryPressAndSaveWritesTheIni) {
  Open();
  Click(IDC_CONFIG);
  HWND config = dialog_->ConfigWindow();
  ASSERT_NE(config, nullptr);
  EXPECT_TRUE(IsWindowVisible(config));
  EXPECT_EQ(TextOf(config), "配置窗口");
  RECT mainRect{}, configRect{};
  GetWindowRect(main_, &mainRect);
  GetWindowRect(config, &configRect);
  EXPECT_EQ(configRect.left - mainRect.left, 150);
  EXPECT_EQ(configRect.top - mainRect.top, 100);

  auto item = [&](int id) { return GetDlgItem(config, id); };
  DWORD address = 0;
  EXPECT_EQ(SendMessageA(item(IDC_CFG_IP), IPM_GETADDRESS, 0, reinterpret_cast<LPARAM>(&address)),
            4);
  EXPECT_EQ(address, 0x7F000001u);
  EXPECT_EQ(TextOf(item(IDC_CFG_PORT)), std::to_string(gateway_.Port()));
  EXPECT_EQ(TextOf(item(IDC_CFG_HEARTBT)), "30");
  EXPECT_EQ(TextOf(item(IDC_CFG_SENDER)), "FWTEST");
  EXPECT_EQ(TextOf(item(IDC_CFG_WRITEINTERVAL)), "20");
  EXPECT_EQ(TextOf(item(IDC_CFG_HQDBF)), dir_.File("SJSHQ.DBF"));
  EXPECT_EQ(SendMessageA(item(IDC_CFG_AUTOSTART), BM_GETCHECK, 0, 0), BST_UNCHECKED);
  struct Limit {
    int id;
    LRESULT chars;
  };
  for (const Limit& limit :
       {Limit{IDC_CFG_PORT, 4}, Limit{IDC_CFG_HEARTBT, 2}, Limit{IDC_CFG_SENDER, 32},
        Limit{IDC_CFG_VER, 64}, Limit{IDC_CFG_BEGINTIME, 4}, Limit{IDC_CFG_LOADFOLDER, 256},
        Limit{IDC_CFG_SJSZHHQDBF, 256}}) {
    EXPECT_EQ(SendMessageA(item(limit.id), EM_GETLIMITTEXT, 0, 0), limit.chars) << limit.id;
  }
  Screenshot("config_dialog");

  // Edits left by Cancel are gone at the next press; the window is the same.
  SetWindowTextA(item(IDC_CFG_HEARTBT), "45");
  ClickIn(config, IDC_CFG_CANCEL);
  EXPECT_FALSE(IsWindowVisible(config));
  Click(IDC_CONFIG);
  EXPECT_EQ(dialog_->ConfigWindow(), config);
  EXPECT_TRUE(IsWindowVisible(config));
  EXPECT_EQ(TextOf(item(IDC_CFG_HEARTBT)), "30");

  SetWindowTextA(item(IDC_CFG_HEARTBT), "45");
  SendMessageA(item(IDC_CFG_IP), IPM_CLEARADDRESS, 0, 0);
  SetWindowTextA(item(IDC_CFG_SENDER), "操作员A");
  SendMessageA(item(IDC_CFG_AUTOSTART), BM_SETCHECK, BST_CHECKED, 0);
  ClickIn(config, IDC_CFG_SAVE);
  EXPECT_FALSE(IsWindowVisible(config));
  const std::string ini = test::ReadFileBytes(dir_.File("fenwright.ini"));
  EXPECT_EQ(IniValue(ini, "heartbt"), "45");
  EXPECT_EQ(IniValue(ini, "ip"), "0.0.0.0");
  EXPECT_EQ(IniValue(ini, "sender"), "操作员A");
  EXPECT_EQ(IniValue(ini, "autostart"), "true");
  EXPECT_EQ(IniValue(ini, "port"), std::to_string(gateway_.Port()));
  {
    std::lock_guard<std::mutex> lock(config::TheConfigMutex());
    EXPECT_EQ(config::TheConfig().heartbt, 45);
    EXPECT_STREQ(config::TheConfig().ip, "0.0.0.0");
  }

  // A blank address shows as 0.0.0.0 next time; letters in the heartbeat save as 0.
  Click(IDC_CONFIG);
  address = 1;
  SendMessageA(item(IDC_CFG_IP), IPM_GETADDRESS, 0, reinterpret_cast<LPARAM>(&address));
  EXPECT_EQ(address, 0u);
  SetWindowTextA(item(IDC_CFG_HEARTBT), "ab");
  ClickIn(config, IDC_CFG_SAVE);
  EXPECT_EQ(IniValue(test::ReadFileBytes(dir_.File("fenwright.ini")), "heartbt"), "0");
  Close();
}

TEST_F(MainDialogTest, AddressThatIsNotDottedShowsAllOnes) {
  Open();
  {
    std::lock_guard<std::mutex> lock(config::TheConfigMutex());
    std::snprintf(config::TheConfig().ip, sizeof config::TheConfig().ip, "%s", "gateway.example");
  }
  Click(IDC_CONFIG);
  DWORD address = 0;
  SendMessageA(GetDlgItem(dialog_->ConfigWindow(), IDC_CFG_IP), IPM_GETADDRESS, 0,
               reinterpret_cast<LPARAM>(&address));
  EXPECT_EQ(address, 0xFFFFFFFFu);
  Close();
}

TEST_F(MainDialogTest, The501stLineRemovesTheOldestAndTheExtentNeverShrinks) {
  Open();
  // Lines come from a worker, as the service's do.
  auto logFromWorker = [](int first, int last, const std::string& prefix) {
    std::thread([=] {
      for (int i = first; i <= last; ++i) WriteLog(0, "%s%d", prefix.c_str(), i);
    }).join();
  };
  const int already = static_cast<int>(SendMessageA(list_, LB_GETCOUNT, 0, 0));
  logFromWorker(1, 500 - already, "fill ");
  ASSERT_TRUE(
      WaitUntil([&] { return EndsWith(TopLine(), "fill " + std::to_string(500 - already)); }));
  std::vector<std::string> before = Lines();
  ASSERT_EQ(before.size(), 500u);
  logFromWorker(501, 501, "line ");
  ASSERT_TRUE(WaitUntil([&] { return EndsWith(TopLine(), "line 501"); }));
  std::vector<std::string> after = Lines();
  ASSERT_EQ(after.size(), 500u);
  EXPECT_EQ(after.back(), before[498]);
  // The scroll bars show themselves once there is something to scroll.
  EXPECT_NE(static_cast<DWORD>(GetWindowLongPtrA(list_, GWL_STYLE)) & WS_VSCROLL, 0u);
  EXPECT_EQ(std::vector<std::string>(after.begin() + 1, after.end()),
            std::vector<std::string>(before.begin(), before.end() - 1));

  // Measured independently with the list's own font.
  const std::string wide(300, 'W');
  HDC dc = GetDC(list_);
  HGDIOBJ previous =
      SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageA(list_, WM_GETFONT, 0, 0)));
  SIZE size{};
  GetTextExtentPoint32A(dc, ("<Log_LV0> t=100000 " + wide).c_str(),
                        static_cast<int>(wide.size()) + 19, &size);
  SelectObject(dc, previous);
  ReleaseDC(list_, dc);
  logFromWorker(1, 1, wide);
  ASSERT_TRUE(WaitUntil([&] { return EndsWith(TopLine(), wide + "1"); }));
  const LRESULT extent = SendMessageA(list_, LB_GETHORIZONTALEXTENT, 0, 0);
  EXPECT_GE(extent, size.cx);
  EXPECT_LT(extent, size.cx + 40);  // the line with its digit and a small margin, no more
  logFromWorker(1, 1, "short ");
  ASSERT_TRUE(WaitUntil([&] { return EndsWith(TopLine(), "short 1"); }));
  EXPECT_EQ(SendMessageA(list_, LB_GETHORIZONTALEXTENT, 0, 0), extent);
  EXPECT_NE(static_cast<DWORD>(GetWindowLongPtrA(list_, GWL_STYLE)) & WS_HSCROLL, 0u);
  Close();
}

TEST_F(MainDialogTest, KeysDoNothingAndOnlyTheCloseEndsTheProgram) {
  Open();
  // The list reports every key that reaches it.
  static std::atomic<int> keysSeen{0};
  static WNDPROC listProc = nullptr;
  keysSeen = 0;
  listProc = reinterpret_cast<WNDPROC>(GetWindowLongPtrA(list_, GWLP_WNDPROC));
  SetWindowLongPtrA(
      list_, GWLP_WNDPROC,
      reinterpret_cast<LONG_PTR>(+[](HWND w, UINT m, WPARAM wp, LPARAM lp) -> LRESULT {
        if (m == WM_KEYDOWN) ++keysSeen;
        return CallWindowProcA(listProc, w, m, wp, lp);
      }));
  PostMessageA(list_, WM_KEYDOWN, VK_DOWN, 0);
  for (HWND target : {main_, list_, GetDlgItem(main_, IDC_START)}) {
    PostMessageA(target, WM_KEYDOWN, VK_RETURN, 0);
    PostMessageA(target, WM_KEYDOWN, VK_ESCAPE, 0);
    PostMessageA(target, WM_KEYDOWN, VK_SPACE, 0);
    PostMessageA(target, WM_KEYUP, VK_SPACE, 0);
  }
  PostMessageA(main_, WM_COMMAND, IDOK, 0);
  PostMessageA(main_, WM_COMMAND, IDCANCEL, 0);
  Sync();
  Sync();
  EXPECT_TRUE(IsWindowVisible(main_));
  EXPECT_FALSE(done_);
  EXPECT_FALSE(dialog_->Control().StartRequested()) << "Space on Start must not press it";
  EXPECT_TRUE(Enabled(IDC_START));
  EXPECT_EQ(keysSeen.load(), 0);

  // The system menu's Close ends it, through the close sequence.
  PostMessageA(main_, WM_SYSCOMMAND, SC_CLOSE, 0);
  ASSERT_TRUE(WaitUntil([&] { return done_.load(); }));
  ui_.join();
  EXPECT_EQ(result_, 0);
  EXPECT_NE(DayLog().find(kEnded), std::string::npos);
  dialog_.reset();
  service_.reset();
}

// 1025 and 1026 carry the run log's lines and the market time inside the program, but for a
// dialog they are DM_SETDEFID and DM_REPOSITION, which any program may send.
TEST_F(MainDialogTest, DialogMessagesWithTheLogNumbersAreNoLogLines) {
  Open();
  SendToMainWindow(WM_MARKET_TIME, "93000", 0);
  ASSERT_TRUE(WaitUntil([&] { return TextOf(time_) == "93000"; }));
  const std::vector<std::string> before = Lines();

  SendMessageA(main_, DM_SETDEFID, IDC_START, 0);
  SendMessageA(main_, DM_REPOSITION, 0, 0);
  SendMessageA(main_, DM_REPOSITION, 0x10, 0);
  PostMessageA(main_, WM_KEYDOWN, VK_RETURN, 0);
  Sync();
  Sync();
  EXPECT_TRUE(IsWindow(main_));
  EXPECT_FALSE(done_);
  EXPECT_EQ(Lines(), before);
  EXPECT_EQ(TextOf(time_), "93000");
  EXPECT_FALSE(dialog_->Control().StartRequested()) << "Enter must not press a default button";
  Close();
}

TEST_F(MainDialogTest, AboutBoxesShowTheVersionAndTheNotice) {
  Open();
  HWND box = ClickIntoBox(IDC_ABOUT);
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(TextOf(box), "");
  EXPECT_TRUE(
      HasStaticText(box, "Fenwright 深圳证券交易所 Binary 行情转换程序\n\nV1.04 B010 Build B0021"))
      << ::testing::PrintToString(StaticTexts(box));
  Dismiss(box);

  // Any system command 16 to 31 opens the about dialog.
  PostMessageA(main_, WM_SYSCOMMAND, 16 + 3, 0);
  HWND about = WaitForBox({main_});
  ASSERT_NE(about, nullptr);
  EXPECT_EQ(TextOf(about), "关于 Fenwright");
  EXPECT_TRUE(HasStaticText(about, "Fenwright 1.0 版"));
  Dismiss(about);
  EXPECT_FALSE(IsWindow(about));

  // Other system commands keep their default meaning.
  SendMessageA(main_, WM_SYSCOMMAND, SC_MINIMIZE, 0);
  EXPECT_TRUE(IsIconic(main_));
  SendMessageA(main_, WM_SYSCOMMAND, SC_RESTORE, 0);
  EXPECT_FALSE(IsIconic(main_));
  Close();
}

TEST_F(MainDialogTest, AutostartShowsTheServiceStartedAndTheCloseNeverHangs) {
  WriteIni(true);
  Open();
  EXPECT_FALSE(Enabled(IDC_START));
  EXPECT_TRUE(Enabled(IDC_STOP));
  EXPECT_FALSE(Enabled(IDC_CONFIG));
  ASSERT_TRUE(WaitForLine(kInitialized));
  ASSERT_TRUE(WaitUntil([&] { return !TextOf(time_).empty(); }));

  // Workers that keep logging while the window closes: none of them may make the close wait, and
  // their lines after the window's end go nowhere.
  std::atomic<bool> stop{false};
  std::vector<std::thread> workers;
  for (int w = 0; w < 3; ++w) {
    workers.emplace_back([&stop, w] {
      for (int i = 0; !stop; ++i) {
        WriteLog(2, "<Worker%d>line %d", w, i);
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
      }
    });
  }
  WaitUntil([&] { return SendMessageA(list_, LB_GETCOUNT, 0, 0) >= 500; });
  Close();
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  stop = true;
  for (std::thread& t : workers) t.join();

  const std::string log = DayLog();
  size_t ended = 0;
  for (size_t at = log.find(kEnded); at != std::string::npos; at = log.find(kEnded, at + 1))
    ++ended;
  EXPECT_EQ(ended, 1u);
  EXPECT_EQ(processor_.IsInitialized(), 0);
}

}  // namespace
}  // namespace fw::ui

// A crash ends the binary with a message instead of starting Wine's debugger, which would wait.
LONG WINAPI ReportCrash(EXCEPTION_POINTERS* exception) {
  std::printf("crash: exception %#lx at %p\n", exception->ExceptionRecord->ExceptionCode,
              exception->ExceptionRecord->ExceptionAddress);
  std::fflush(stdout);
  ExitProcess(3);
}

int main(int argc, char** argv) {
  SetUnhandledExceptionFilter(ReportCrash);
  // Under Wine a window needs an X display; without one the GUI tests are skipped.
  const bool wine = GetProcAddress(GetModuleHandleA("ntdll.dll"), "wine_get_version") != nullptr;
  char display[256] = {};
  if (wine && GetEnvironmentVariableA("DISPLAY", display, sizeof display) == 0) {
    std::printf("no display: window tests skipped\n");
    return 77;
  }
  INITCOMMONCONTROLSEX classes{sizeof(INITCOMMONCONTROLSEX),
                               ICC_INTERNET_CLASSES | ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&classes);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
