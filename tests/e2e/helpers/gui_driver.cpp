// Drives BurrowSentry.exe through its window: starts it, clicks "Scan PC", watches the run and
// checks the log area, then closes the window and checks the process ends.
//
//   gui_driver.exe <path of BurrowSentry.exe> [scenario...]
//
// Scenarios (all, in this order, when none is named):
//   scan        a fresh folder: window, Data\ and Logs\ created, a full scan, close
//   close-scan  the window closed while a scan runs: the scan is stopped, the process ends by
//               itself, the run's clean-up ran and the cut-short run wrote no file although
//               "Save the report" is on
//   background  "Work in background" and "Save the report" on, slow sections off: the window
//               hides during the run and returns, the log file holds the report
// Further scenarios, run when named: pages (every page button, screenshots of every page),
// settings (round trip through a restart), language (the German file from the combo box),
// logs (Delete Logs), exit-scan (File, Exit during a scan), keys (mnemonics, Tab and Enter),
// update (the update check from the Update window, against the server of BS_UPDATE_SERVER),
// restorer (a batch of three repairs
// and a Safe Mode import through the Restorer page, checked in the registry and by bsscan.exe,
// then undone with its undo file; needs Data\SM\ and bsscan.exe beside the program and a
// prefix without Safe Mode keys), tools (the Windows Tools entries enabled by the files of the
// prefix, the power questions answered No, the Run... dialog cancelled).
// startups (the Startups list and its delete), editors (hosts and boot-file editors, the BHOs
// list), delete-file (the file deleter).
// A power question is never answered Yes.
// With BS_SCREENSHOT_HANDSHAKE set, a scenario writes <exe folder>\screenshot.request holding
// the picture's name and waits for screenshot.done.
#include <windows.h>

#include <commctrl.h>

#include <cstdio>
#include <functional>
#include <stdexcept>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "app/control_ids.h"
#include "managers/startups.h"
#include "scan/controls.h"

namespace {

// The programs of this build: the x86_64 one names them with "64".
constexpr const char* kProgramName = sizeof(void*) == 8 ? "BurrowSentry64.exe" : "BurrowSentry.exe";
constexpr const char* kBsscanName = sizeof(void*) == 8 ? "bsscan64.exe" : "bsscan.exe";

constexpr const char* kCaption = "Burrow Sentry 1.8.4.0";
constexpr DWORD kWindowTimeoutMs = 60000;
constexpr DWORD kScanStartTimeoutMs = 30000;
constexpr DWORD kScanTimeoutMs = 420000;
constexpr DWORD kExitTimeoutMs = 30000;
constexpr UINT kAnswerTimeoutMs = 5000;
constexpr DWORD kPollMs = 50;

class Failure : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

int g_failures = 0;

void Check(bool ok, const std::string& what) {
  if (ok) return;
  ++g_failures;
  std::printf("FAIL: %s\n", what.c_str());
  std::fflush(stdout);
}

void Require(bool ok, const std::string& what) {
  if (!ok) throw Failure(what);
}

std::string FolderOf(const std::string& path) { return path.substr(0, path.find_last_of('\\') + 1); }

bool IsFolder(const std::string& path) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool ReadFileText(const std::string& path, std::string* text) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                            0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  text->clear();
  char buffer[65536];
  DWORD read = 0;
  while (ReadFile(file, buffer, sizeof buffer, &read, nullptr) && read > 0) text->append(buffer, read);
  CloseHandle(file);
  return true;
}

bool WriteFileText(const std::string& path, const std::string& text) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  const bool ok = WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
                  written == text.size();
  CloseHandle(file);
  return ok;
}

// Every file of `folder` matching `mask`, with the folder in front.
std::vector<std::string> FilesIn(const std::string& folder, const char* mask) {
  std::vector<std::string> files;
  WIN32_FIND_DATAA data;
  HANDLE find = FindFirstFileA((folder + mask).c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) return files;
  do {
    if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) files.push_back(folder + data.cFileName);
  } while (FindNextFileA(find, &data));
  FindClose(find);
  return files;
}

std::string ClassOf(HWND window) {
  char name[256] = {};
  GetClassNameA(window, name, sizeof name);
  return name;
}

// The first window an enumeration visits that `match` accepts.
struct TWindowSearch {
  std::function<bool(HWND)> match;
  HWND found = nullptr;
};

BOOL CALLBACK Visit(HWND window, LPARAM param) {
  auto* search = reinterpret_cast<TWindowSearch*>(param);
  if (!search->match(window)) return TRUE;
  search->found = window;
  return FALSE;
}

// The main window of process `pid`, once visible: it is shown only when all its controls exist.
HWND FindMainWindow(DWORD pid) {
  TWindowSearch search{[pid](HWND window) {
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    char caption[256] = {};
    GetWindowTextA(window, caption, sizeof caption);
    return owner == pid && std::string(caption) == kCaption && IsWindowVisible(window);
  }};
  EnumWindows(&Visit, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

// A control anywhere below `window`, found by its id.
HWND FindControl(HWND window, int id) {
  TWindowSearch search{[id](HWND child) { return GetDlgCtrlID(child) == id; }};
  EnumChildWindows(window, &Visit, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

// A message the window must answer within the time-out; false when it does not.
bool Ask(HWND window, UINT message, WPARAM wParam, LPARAM lParam, DWORD_PTR* result) {
  DWORD_PTR ignored = 0;
  return SendMessageTimeoutA(window, message, wParam, lParam, SMTO_ABORTIFHUNG | SMTO_BLOCK, kAnswerTimeoutMs,
                             result ? result : &ignored) != 0;
}

std::string TextOf(HWND window) {
  DWORD_PTR length = 0;
  if (!Ask(window, WM_GETTEXTLENGTH, 0, 0, &length)) throw Failure("the window does not answer WM_GETTEXTLENGTH");
  std::string text(length + 1, '\0');
  DWORD_PTR copied = 0;
  if (!Ask(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()), &copied)) {
    throw Failure("the window does not answer WM_GETTEXT");
  }
  text.resize(copied);
  return text;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  for (size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2) {
    lines.push_back(text.substr(start, end - start));
  }
  if (start < text.size()) lines.push_back(text.substr(start));
  return lines;
}

bool StartsWith(const std::string& text, const std::string& prefix) { return text.compare(0, prefix.size(), prefix) == 0; }

// Header and footer of a finished report as the log area shows it.
void CheckReportText(const std::string& text, const char* where) {
  const std::string at = std::string(" (") + where + ")";
  Check(StartsWith(text, std::string(kCaption) + "\r\n"), "the report begins with \"" + std::string(kCaption) + "\"" + at);
  std::vector<std::string> lines = Lines(text);
  while (!lines.empty() && lines.back().empty()) lines.pop_back();
  Require(lines.size() >= 2, "the report has a footer" + at);
  const std::string& finish = lines.back();
  Check(lines[lines.size() - 2] == "---", "the next-to-last line is \"---\", not \"" + lines[lines.size() - 2] + "\"" + at);
  Check(StartsWith(finish, "Finish [ ") && finish.size() > 11 && finish.compare(finish.size() - 2, 2, " ]") == 0,
        "the last line is \"Finish [ H:M:S ]\", not \"" + finish + "\"" + at);
}

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// One started BurrowSentry.exe and the controls of its window.
class TApp {
 public:
  explicit TApp(const std::string& exe) : exe_(exe), folder_(FolderOf(exe)) {
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    std::string commandLine = "\"" + exe + "\"";
    Require(CreateProcessA(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, folder_.c_str(),
                           &startup, &process_) != 0,
            "cannot start " + exe + " (error " + std::to_string(GetLastError()) + ")");
    WaitForInputIdle(process_.hProcess, kWindowTimeoutMs);
    const DWORD start = GetTickCount();
    while (!window && GetTickCount() - start < kWindowTimeoutMs) {
      Require(WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT, "BurrowSentry.exe ended before its window showed");
      window = FindMainWindow(process_.dwProcessId);
      if (!window) Sleep(100);
    }
    Require(window != nullptr, std::string("no visible window captioned \"") + kCaption + "\" within the time-out");
    scanButton = FindControl(window, scan::IdOf("BitBtn1"));
    memo = FindControl(window, scan::IdOf("Memo1"));
    progress = FindControl(window, scan::IdOf("pb1"));
    Require(scanButton && memo && progress, "the Analyzer page lacks BitBtn1, Memo1 or pb1");
  }

  ~TApp() {
    if (WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT) TerminateProcess(process_.hProcess, 99);
    CloseHandle(process_.hThread);
    CloseHandle(process_.hProcess);
  }

  const std::string& Folder() const { return folder_; }
  HANDLE Process() const { return process_.hProcess; }
  DWORD Pid() const { return process_.dwProcessId; }
  bool Running() const { return WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT; }

  void ClickScan() { Require(PostMessageA(scanButton, BM_CLICK, 0, 0) != 0, "cannot post BM_CLICK to \"Scan PC\""); }

  // Returns the moment the button goes grey, without sleeping, so that what is posted next reaches
  // a running worker.
  void SpinUntilScanStarted() {
    const DWORD start = GetTickCount();
    while (IsWindowEnabled(scanButton)) {
      Require(GetTickCount() - start < kScanStartTimeoutMs, "\"Scan PC\" did not start a scan");
      SwitchToThread();
    }
  }

  // Waits until the button has gone grey: the run has started.
  void WaitScanStarted() {
    const DWORD start = GetTickCount();
    while (IsWindowEnabled(scanButton) && TextOf(memo).empty()) {
      Require(GetTickCount() - start < kScanStartTimeoutMs, "\"Scan PC\" did not start a scan");
      Sleep(kPollMs);
    }
  }

  int Progress() {
    DWORD_PTR position = 0;
    Check(Ask(progress, PBM_GETPOS, 0, 0, &position), "the progress bar answers PBM_GETPOS");
    return static_cast<int>(position);
  }

  // Closes the window and waits for the process; its exit code, or -1 when it does not end.
  long Close() {
    PostMessageA(window, WM_CLOSE, 0, 0);
    return WaitExit();
  }

  long WaitExit() {
    if (WaitForSingleObject(process_.hProcess, kExitTimeoutMs) != WAIT_OBJECT_0) return -1;
    DWORD code = 0;
    GetExitCodeProcess(process_.hProcess, &code);
    return static_cast<long>(code);
  }

  HWND window = nullptr;
  HWND scanButton = nullptr;
  HWND memo = nullptr;
  HWND progress = nullptr;

 private:
  std::string exe_;
  std::string folder_;
  PROCESS_INFORMATION process_{};
};

// What the driver saw while a scan ran.
struct TRunWatch {
  DWORD milliseconds = 0;
  int unanswered = 0;       // WM_NULL not answered within the time-out
  bool sawBanner = false;   // a "[+] " display line in the log area
  bool sawProgress = false; // the bar between 10 and 100
  bool sawHidden = false;   // the window hidden
};

// Polls until "Scan PC" is enabled again and, when `untilVisible`, the window shows again.
TRunWatch WatchRun(TApp& app, bool untilVisible) {
  TRunWatch watch;
  const DWORD start = GetTickCount();
  for (;;) {
    if (!Ask(app.window, WM_NULL, 0, 0, nullptr)) ++watch.unanswered;
    const bool enabled = IsWindowEnabled(app.scanButton) != FALSE;
    const bool visible = IsWindowVisible(app.window) != FALSE;
    if (!visible) watch.sawHidden = true;
    if (enabled && (visible || !untilVisible)) break;
    if (!enabled) {
      if (StartsWith(TextOf(app.memo), "[+] ")) watch.sawBanner = true;
      const int position = app.Progress();
      if (position >= 10 && position <= 100) watch.sawProgress = true;
    }
    Require(GetTickCount() - start < kScanTimeoutMs, "the scan did not end within " +
                                                         std::to_string(kScanTimeoutMs / 1000) + " s");
    Sleep(kPollMs);
  }
  watch.milliseconds = GetTickCount() - start;
  std::printf("  scan took %lu ms\n", watch.milliseconds);
  Check(watch.unanswered == 0, "the window left " + std::to_string(watch.unanswered) +
                                   " WM_NULL messages unanswered during the scan");
  // The first banner and progress value arrive right after the worker starts; a run that lasts
  // seconds must have shown them.
  if (watch.milliseconds > 2000) {
    Check(watch.sawBanner, "no \"[+] ...\" banner reached the log area during the scan");
    Check(watch.sawProgress, "the progress bar never moved between 10 and 100 during the scan");
  }
  return watch;
}

// Asks the script for a screenshot saved under `name` and waits until it is taken.
void ScreenshotHandshake(const TApp& app, const std::string& name = "scan_pc") {
  if (!GetEnvironmentVariableA("BS_SCREENSHOT_HANDSHAKE", nullptr, 0)) return;
  const std::string request = app.Folder() + "screenshot.request";
  const std::string done = app.Folder() + "screenshot.done";
  DeleteFileA(done.c_str());
  WriteFileText(request, name);
  const DWORD start = GetTickCount();
  while (GetFileAttributesA(done.c_str()) == INVALID_FILE_ATTRIBUTES && GetTickCount() - start < 60000) Sleep(100);
  DeleteFileA(request.c_str());
  DeleteFileA(done.c_str());
}

void ScenarioScan(const std::string& exe) {
  const std::string folder = FolderOf(exe);
  Require(!IsFolder(folder + "Data") && !IsFolder(folder + "Logs"), "the scan scenario needs a folder without Data\\ and Logs\\");
  TApp app(exe);

  Check(ClassOf(app.window) == app::kMainWindowClass, "main window class is \"" + ClassOf(app.window) + "\"");
  const LONG style = GetWindowLongA(app.window, GWL_STYLE);
  Check((style & WS_SYSMENU) && (style & WS_MINIMIZEBOX), "the window has a system menu and a minimize box");
  Check(!(style & WS_MAXIMIZEBOX) && !(style & WS_THICKFRAME), "the window has no maximize box and a fixed border");
  RECT client{};
  GetClientRect(app.window, &client);
  Check(client.right == 769 && client.bottom == 471, "client area is 769x471, not " + std::to_string(client.right) +
                                                          "x" + std::to_string(client.bottom));
  Check(IsFolder(folder + "Data") && IsFolder(folder + "Logs"), "Data\\ and Logs\\ were created beside the program");
  HWND analyzer = FindControl(app.window, scan::IdOf("AdvGlowButton2"));
  Check(analyzer && TextOf(analyzer) == "&Analyzer", "the page column has the \"Analyzer\" button");
  Check(ClassOf(app.scanButton) == "Button" && TextOf(app.scanButton) == "S&can PC", "BitBtn1 is the \"Scan PC\" button");
  const LONG memoStyle = GetWindowLongA(app.memo, GWL_STYLE);
  Check(ClassOf(app.memo) == "Edit" && (memoStyle & ES_MULTILINE) && (memoStyle & ES_READONLY),
        "Memo1 is a read-only multi-line edit");
  DWORD_PTR low = 1, high = 0;
  Ask(app.progress, PBM_GETRANGE, TRUE, 0, &low);
  Ask(app.progress, PBM_GETRANGE, FALSE, 0, &high);
  Check(low == 0 && high == 100, "pb1 ranges 0..100");
  Check(IsWindowEnabled(app.scanButton) && TextOf(app.memo).empty(), "idle at start: button enabled, log empty");

  app.ClickScan();
  app.WaitScanStarted();
  WatchRun(app, false);
  CheckReportText(TextOf(app.memo), "log area");
  Check(app.Progress() == 0, "the progress bar is back at 0");
  Check(FilesIn(folder + "Logs\\", "*.log").empty(), "no log file is written with \"Save the report\" off");

  ScreenshotHandshake(app);
  const long code = app.Close();
  Check(code == 0, "closing the window ends the process with code 0 (got " + std::to_string(code) + ")");
}

// An Options.ini for one scenario, removed again when the scenario ends.
class TOptionsFile {
 public:
  TOptionsFile(const std::string& folder, const char* text) : path_(folder + "Data\\Options.ini") {
    CreateDirectoryA((folder + "Data").c_str(), nullptr);
    Require(WriteFileText(path_, text), "cannot write " + path_);
  }
  ~TOptionsFile() { DeleteFileA(path_.c_str()); }

 private:
  std::string path_;
};

void EmptyLogs(const std::string& folder) {
  CreateDirectoryA((folder + "Logs").c_str(), nullptr);
  for (const std::string& old : FilesIn(folder + "Logs\\", "*.log")) DeleteFileA(old.c_str());
}

// "Save the report" on; reading stops at the first missing key, the rest keep their defaults.
constexpr const char kSaveReportOptions[] = "[Options]\r\n4=0\r\n5=0\r\n3=0\r\n9=0\r\n10=-1\r\n";

// Every option key in the order they are read: background and saving on, the slow sections off.
constexpr const char kBackgroundOptions[] =
    "[Options]\r\n4=0\r\n5=0\r\n3=0\r\n9=0\r\n10=-1\r\n11=0\r\n25=English\r\n12=-1\r\n13=0\r\n14=0\r\n"
    "15=-1\r\n16=-1\r\n17=-1\r\n18=-1\r\n27=0\r\n28=0\r\n29=0\r\n30=0\r\n31=0\r\n32=-1\r\n33=0\r\n34=0\r\n35=0\r\n";

bool HklmKeyExists(const std::string& key) {
  HKEY handle = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_READ, &handle) != ERROR_SUCCESS) return false;
  RegCloseKey(handle);
  return true;
}

// What a scan cut short must not leave behind: the driver's service key, the device keys Windows
// makes for a loaded driver (seeded here; the end of every run removes them, so they show that
// the run's clean-up ran), any file in Logs\.
class TScanLeftovers {
 public:
  explicit TScanLeftovers(const std::string& folder) : folder_(folder) {
    HKEY handle = nullptr;
    Require(RegCreateKeyExA(HKEY_LOCAL_MACHINE, (std::string(kLegacyKey) + "\\0000").c_str(), 0, nullptr, 0,
                            KEY_WRITE, nullptr, &handle, nullptr) == ERROR_SUCCESS,
            "cannot seed the driver's device keys");
    RegCloseKey(handle);
  }
  ~TScanLeftovers() {
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, (std::string(kLegacyKey) + "\\0000").c_str());
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, kLegacyKey);
  }
  void CheckNone(const std::string& how) {
    Check(!HklmKeyExists(kLegacyKey), how + " skipped the end of the run: the driver's device keys are still there");
    Check(!HklmKeyExists("SYSTEM\\CurrentControlSet\\Services\\kvdrv"), how + " left the driver's service key");
    const std::vector<std::string> files = FilesIn(folder_ + "Logs\\", "*");
    Check(files.empty(), how + " left a file in Logs\\: " + (files.empty() ? "" : files[0]));
  }

 private:
  static constexpr const char* kLegacyKey = "SYSTEM\\CurrentControlSet\\Enum\\Root\\LEGACY_KVDRV";
  std::string folder_;
};

// The window closed during a scan: the worker is asked to stop and waited for, so the process
// ends by itself with every clean-up done.
void ScenarioCloseDuringScan(const std::string& exe) {
  const std::string folder = FolderOf(exe);
  EmptyLogs(folder);
  TOptionsFile options(folder, kSaveReportOptions);
  TScanLeftovers leftovers(folder);
  TApp app(exe);
  app.ClickScan();
  // The close must arrive while the worker runs: post it the moment the button goes grey.
  app.SpinUntilScanStarted();
  const long code = app.Close();
  Check(code == 0, "closing during a scan ends the process with code 0 (got " + std::to_string(code) + ")");
  leftovers.CheckNone("closing during a scan");
}

void ScenarioBackground(const std::string& exe) {
  const std::string folder = FolderOf(exe);
  EmptyLogs(folder);
  TOptionsFile options(folder, kBackgroundOptions);
  TApp app(exe);
  app.ClickScan();
  app.WaitScanStarted();
  TRunWatch watch = WatchRun(app, true);
  Check(watch.sawHidden, "the window was not hidden during a scan with \"Work in background\"");
  Check(IsWindowVisible(app.window) && !IsIconic(app.window), "the window is shown again after the scan");

  const std::string text = TextOf(app.memo);
  CheckReportText(text, "log area");
  Check(Contains(text, "\r\n[+] Services\r\n"), "the report holds the ungated \"Services\" section");
  for (const char* gated : {"[+] Kernel Mode Info", "[+] Ring3 API Hooks", "[+] Unknown .SYS files",
                            "[+] Unknown files in CLSID", "[+] Files created/modified"}) {
    Check(!Contains(text, gated), std::string("the section turned off in Options.ini shows: ") + gated);
  }

  const std::vector<std::string> logs = FilesIn(folder + "Logs\\", "logs_*.log");
  Check(logs.size() == 1, "one Logs\\logs_<time stamp>.log is written, found " + std::to_string(logs.size()));
  std::string saved;
  if (logs.size() == 1 && ReadFileText(logs[0], &saved)) {
    Check(saved == text + "\r\n", "the log file holds the report shown, followed by CR LF");
  }
  const long code = app.Close();
  Check(code == 0, "closing the window ends the process with code 0 (got " + std::to_string(code) + ")");
}


HWND Find(const TApp& app, const char* name) {
  const scan::TControl* row = scan::FindMainControl(name);
  Require(row != nullptr, std::string("no control named ") + name + " in the table");
  HWND control = FindControl(app.window, row->id);
  Require(control != nullptr, std::string("the window has no ") + name);
  return control;
}

bool Checked(HWND button) {
  DWORD_PTR state = 0;
  Ask(button, BM_GETCHECK, 0, 0, &state);
  return state == BST_CHECKED;
}

// A click as the user makes it; returns once the window has handled it.
void Click(HWND button) {
  DWORD_PTR ignored = 0;
  Require(Ask(button, BM_CLICK, 0, 0, &ignored), "a button does not answer BM_CLICK");
}

// A menu entry chosen; returns once the window has handled it (a sent message, as a posted one
// could still wait behind the answer to a later WM_NULL).
void Menu(const TApp& app, const char* name) {
  Require(Ask(app.window, WM_COMMAND, MAKEWPARAM(scan::FindMainControl(name)->id, 0), 0, nullptr),
          std::string("the window does not answer the menu entry ") + name);
}

// Every page button shows its page and only its caption is bold; a screenshot of each page,
// and of each Settings sub-page.
void ScenarioPages(const std::string& exe) {
  TApp app(exe);
  for (int round = 0; round < 2; ++round) {
    for (const scan::TControl& button : scan::kControls) {
      if (button.kind != scan::TKind::PageButton) continue;
      Click(Find(app, button.name));
      for (const scan::TControl& other : scan::kControls) {
        if (other.kind == scan::TKind::PageButton) {
          const bool bold = GetPropA(Find(app, other.name), app::kBoldProperty) != nullptr;
          Check(bold == (other.value == button.value),
                std::string(button.name) + " clicked: " + other.name + (bold ? " is" : " is not") + " bold");
        }
        if (scan::IsPagePanel(other)) {
          const bool shown = IsWindowVisible(Find(app, other.name)) != FALSE;
          Check(shown == (other.value == button.value),
                std::string(button.name) + " clicked: page " + other.name + (shown ? " shows" : " is hidden"));
        }
      }
      if (round == 0) ScreenshotHandshake(app, std::string("page_") + button.name);
    }
  }
  // The sub-pages, through the keyboard of the tab control.
  Click(Find(app, "AdvGlowButton7"));
  HWND tabs = Find(app, "AdvPC4");
  for (int sub = 1; sub < scan::kSettingsTabCount; ++sub) {
    Ask(tabs, WM_KEYDOWN, VK_RIGHT, 0, nullptr);
    DWORD_PTR selected = 0;
    Ask(tabs, TCM_GETCURSEL, 0, 0, &selected);
    Check(static_cast<int>(selected) == sub, "the Settings tabs moved to sub-page " + std::to_string(sub));
    ScreenshotHandshake(app, "settings_" + std::to_string(sub));
  }
  // Settings again: back on General, still the only bold one.
  Click(Find(app, "AdvGlowButton7"));
  DWORD_PTR selected = 9;
  Ask(tabs, TCM_GETCURSEL, 0, 0, &selected);
  Check(selected == 0 && IsWindowVisible(Find(app, "CheckBox3")), "the Settings button selects the General sub-page");
  Menu(app, "Info1");
  Menu(app, "CheckforUpdates1");
  ScreenshotHandshake(app, "about_and_update");
  Check(app.Close() == 0, "the window closes with code 0");
}

// Tick, close, start again: still ticked. Unticking "Save the report" unticks its two dependants.
void ScenarioSettings(const std::string& exe) {
  const std::string folder = FolderOf(exe);
  DeleteFileA((folder + "Data\\Options.ini").c_str());
  {
    TApp app(exe);
    Check(!Checked(Find(app, "CheckBox1")) && Checked(Find(app, "CheckBox5")) && Checked(Find(app, "RadioButton5")) &&
              Checked(Find(app, "CheckBox51")),
          "a fresh start has the default options");
    Click(Find(app, "CheckBox2"));
    Click(Find(app, "CheckBox4"));
    Click(Find(app, "CheckBox6"));
    Click(Find(app, "CheckBox2"));
    Check(!Checked(Find(app, "CheckBox4")) && !Checked(Find(app, "CheckBox6")),
          "unticking \"Save the report\" unticks \"Open the report\" and \"Copy the report in the Desktop\"");
    Click(Find(app, "CheckBox1"));
    Click(Find(app, "CheckBox5"));
    Click(Find(app, "RadioButton8"));
    Click(Find(app, "CheckBox51"));
    SendMessageA(Find(app, "ExeLister"), WM_SETTEXT, 0, reinterpret_cast<LPARAM>("C:\\windows|*.exe"));
    Check(app.Close() == 0, "the window closes with code 0");
  }
  std::string ini;
  ReadFileText(folder + "Data\\Options.ini", &ini);
  for (const char* line : {"9=-1", "12=0", "35=-1", "34=0", "25=English", "ExtraSections=0"}) {
    Check(Contains(ini, std::string(line) + "\r\n"), std::string("Options.ini holds ") + line);
  }
  std::string list;
  ReadFileText(folder + "Data\\exelist.txt", &list);
  Check(list == "C:\\windows|*.exe\r\n", "exelist.txt holds the typed line");
  TApp again(exe);
  Check(Checked(Find(again, "CheckBox1")) && !Checked(Find(again, "CheckBox5")) && Checked(Find(again, "RadioButton8")) &&
            !Checked(Find(again, "RadioButton5")) && !Checked(Find(again, "CheckBox51")),
        "the options are back after a restart");
  Check(TextOf(Find(again, "ExeLister")) == "C:\\windows|*.exe", "the list is back after a restart");
  Check(again.Close() == 0, "the window closes with code 0");
  DeleteFileA((folder + "Data\\Options.ini").c_str());
  DeleteFileA((folder + "Data\\exelist.txt").c_str());
}

// The shipped German file through the combo box: captions at once, then a report title.
void ScenarioLanguage(const std::string& exe) {
  const std::string folder = FolderOf(exe);
  EmptyLogs(folder);
  TOptionsFile options(folder, kBackgroundOptions);
  TApp app(exe);
  Require(IsFolder(folder + "Langs"), "the test folder has the language files");
  HWND cb = Find(app, "cb");
  Check(TextOf(cb) == "English", "the language box shows English");
  // Pick the item as the list does, then tell the window as the box does.
  DWORD_PTR index = 0;
  Require(Ask(cb, CB_SELECTSTRING, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>("Deutsch"), &index) &&
              index != static_cast<DWORD_PTR>(CB_ERR),
          "the language box lists Deutsch");
  Ask(app.window, WM_COMMAND, MAKEWPARAM(scan::IdOf("cb"), CBN_SELCHANGE), reinterpret_cast<LPARAM>(cb), nullptr);
  Check(TextOf(Find(app, "AdvGlowButton7")) == "&Einstellungen", "the Settings button reads \"&Einstellungen\", not \"" +
                                                                   TextOf(Find(app, "AdvGlowButton7")) + "\"");
  Check(TextOf(Find(app, "CheckBox5")) == "Microsoft-Systemdateien ausschlie\xDF" "en", "a check box speaks German");
  Check(TextOf(app.scanButton) == "&PC pr\xFC" "fen", "\"Scan PC\" speaks German");
  Check(TextOf(Find(app, "Button9")) == "Anwenden" && TextOf(Find(app, "CheckBox12")) == "Registrierungs-Editor wiederherstellen",
        "the Restorer page speaks German");
  Check(TextOf(Find(app, "RadioButton1")) == "Windows XP SP2 (32-bit)", "the Safe Mode buttons keep their captions");
  Check(TextOf(Find(app, "Button1")) == "Spei&chern" && TextOf(Find(app, "Button6")) == "L\xF6s&chen",
        "the manager pages speak German");
  app.ClickScan();
  app.WaitScanStarted();
  WatchRun(app, true);
  Check(Contains(TextOf(app.memo), "[+] Ausf\xFChrbare Dateien in Temp-Ordnern"), "the report titles speak German");
  Check(app.Close() == 0, "the window closes with code 0");
  std::string ini;
  ReadFileText(folder + "Data\\Options.ini", &ini);
  Check(Contains(ini, "25=Deutsch\r\n"), "the language is kept");
}

// Delete Logs empties Logs\ with its subfolders.
void ScenarioLogs(const std::string& exe) {
  const std::string folder = FolderOf(exe);
  EmptyLogs(folder);
  CreateDirectoryA((folder + "Logs\\old").c_str(), nullptr);
  WriteFileText(folder + "Logs\\logs_1.log", "x");
  WriteFileText(folder + "Logs\\old\\logs_2.log", "y");
  TApp app(exe);
  Menu(app, "ClearLogs1");
  Check(IsFolder(folder + "Logs") && !IsFolder(folder + "Logs\\old") && FilesIn(folder + "Logs\\", "*.*").empty(),
        "Delete Logs leaves Logs\\ empty");
  Check(app.Close() == 0, "the window closes with code 0");
}

// The keyboard focus of the window's thread.
HWND Focus(const TApp& app) {
  GUITHREADINFO info{};
  info.cbSize = sizeof info;
  return GetGUIThreadInfo(GetWindowThreadProcessId(app.window, nullptr), &info) ? info.hwndFocus : nullptr;
}

std::string NameOf(HWND control) {
  const scan::TControl* row = control ? scan::FindControlById(GetDlgCtrlID(control)) : nullptr;
  return row ? row->name : "(none)";
}

// Keys go through the window's message loop, as typed ones do; waits until `done` holds.
void Key(HWND target, UINT message, WPARAM key, const std::function<bool()>& done, const std::string& what) {
  const LPARAM alt = message == WM_SYSCHAR ? (1 << 29) : 0;
  Require(PostMessageA(target, message, key, alt | 1) != 0, "cannot post a key for " + what);
  const DWORD start = GetTickCount();
  while (!done()) {
    Require(GetTickCount() - start < kAnswerTimeoutMs, what + " did not happen");
    Sleep(kPollMs);
  }
}

// Alt+S selects Settings, Tab walks the controls in the order of the table, Alt+L on the
// Exclusions sub-page puts the focus in "Select file:", and Enter there presses "+".
void ScenarioKeys(const std::string& exe) {
  const std::string folder = FolderOf(exe);
  TApp app(exe);
  Key(app.window, WM_NULL, 0, [&] { return Focus(app) == app.scanButton; }, "the focus on \"Scan PC\" at start");

  HWND settings = Find(app, "AdvGlowButton7");
  // The page shows first, then the bold caption and the focus follow: wait for all three.
  Key(app.window, WM_SYSCHAR, 's', [&] {
        return IsWindowVisible(Find(app, "Settings_Tab")) && GetPropA(settings, app::kBoldProperty) &&
               Focus(app) == settings;
      }, "Alt+S showing the Settings page, its button bold and focused");

  // The tab order: the page buttons top to bottom, the sub-page tabs, the General sub-page's
  // boxes, then round again.
  std::vector<std::string> expected;
  for (const scan::TControl& row : scan::kControls) {
    if (row.kind == scan::TKind::PageButton) expected.push_back(row.name);
  }
  expected.push_back("AdvPC4");
  for (const scan::TControl& row : scan::kControls) {
    if (row.place == scan::kPageSettings && row.sub == scan::kGeneral && row.kind == scan::TKind::CheckBox) {
      expected.push_back(row.name);
    }
  }
  std::vector<std::string> walked{NameOf(Focus(app))};
  for (size_t i = 0; i < expected.size(); ++i) {
    HWND before = Focus(app);
    Key(before, WM_KEYDOWN, VK_TAB, [&] { return Focus(app) != before; }, "Tab after " + NameOf(before));
    walked.push_back(NameOf(Focus(app)));
  }
  const size_t start = 1;  // the Settings button
  std::vector<std::string> want;
  for (size_t i = 0; i <= expected.size(); ++i) want.push_back(expected[(start + i) % expected.size()]);
  std::string seen;
  for (const std::string& name : walked) seen += name + " ";
  std::string wanted;
  for (const std::string& name : want) wanted += name + " ";
  Check(seen == wanted, "Tab walks " + seen + "instead of " + wanted);

  // Exclusions: Alt+L, the path, Enter.
  HWND tabs = Find(app, "AdvPC4");
  for (int sub = 0; sub < scan::kExclusions; ++sub) Ask(tabs, WM_KEYDOWN, VK_RIGHT, 0, nullptr);
  HWND edit1 = Find(app, "Edit1");
  Key(app.window, WM_SYSCHAR, 'l', [&] { return Focus(app) == edit1; }, "Alt+L putting the focus in Edit1");
  DWORD_PTR ignored = 0;
  Ask(edit1, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(exe.c_str()), &ignored);
  HWND memo = Find(app, "ExclusionMemo");
  Key(edit1, WM_KEYDOWN, VK_RETURN, [&] { return !TextOf(memo).empty(); }, "Enter in Edit1 pressing \"+\"");
  Check(Contains(TextOf(memo), std::string(" :: ") + kProgramName + " :: 1.8.4.0 :: Orvatek :: "),
        "the exclusion line names the program: " + TextOf(memo));
  Check(app.Close() == 0, "the window closes with code 0");
  DeleteFileA((folder + "Data\\Options.ini").c_str());
  DeleteFileA((folder + "Data\\exclist.txt").c_str());
}

// A top-level window of the program's process with class `cls`, once visible.
HWND WaitTopWindow(const TApp& app, const char* cls, const std::string& what) {
  DWORD pid = 0;
  GetWindowThreadProcessId(app.window, &pid);
  const DWORD start = GetTickCount();
  for (;;) {
    TWindowSearch search{[&](HWND window) {
      DWORD owner = 0;
      GetWindowThreadProcessId(window, &owner);
      return owner == pid && ClassOf(window) == cls && IsWindowVisible(window);
    }};
    EnumWindows(&Visit, reinterpret_cast<LPARAM>(&search));
    if (search.found) return search.found;
    Require(GetTickCount() - start < kScanStartTimeoutMs, what + " did not show");
    Sleep(kPollMs);
  }
}

// The caption and text of a message box, "caption: text".
std::string MessageOf(HWND box) {
  std::string text;
  TWindowSearch search{[&](HWND child) {
    if (ClassOf(child) == "Static" && TextOf(child).size() > text.size()) text = TextOf(child);
    return false;
  }};
  EnumChildWindows(box, &Visit, reinterpret_cast<LPARAM>(&search));
  return TextOf(box) + ": " + text;
}

// Update, "Check for Updates" against the server of BS_UPDATE_SERVER (a newer version there):
// the question comes, is answered No, and the link is usable again.
void ScenarioUpdate(const std::string& exe) {
  char server[64] = {};
  Require(GetEnvironmentVariableA("BS_UPDATE_SERVER", server, sizeof server) > 0, "BS_UPDATE_SERVER is not set");
  const std::string folder = FolderOf(exe);
  TOptionsFile options(folder, (std::string("[Options]\r\nUpdateServer=") + server + "\r\n").c_str());
  TApp app(exe);
  Menu(app, "CheckforUpdates1");
  HWND update = WaitTopWindow(app, app::kUpdateWindowClass, "the Update window");
  HWND link = FindControl(update, scan::FindControl(scan::kPlaceUpdate, "Label1")->id);
  Require(link != nullptr, "the Update window has no Label1");
  // Posted: the check waits in the window's own loop while the question is open.
  PostMessageA(update, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(link), STN_CLICKED), reinterpret_cast<LPARAM>(link));
  HWND box = WaitTopWindow(app, "#32770", "the answer of the update check");
  Check(!IsWindowEnabled(link), "the link is disabled while the check runs");
  const std::string told = MessageOf(box);
  Check(told == "Info: A new version of Burrow Sentry is available for download.\r\n"
                "Do you want to visit the homepage to download the new version ?",
        "the update check told " + told);
  PostMessageA(box, WM_COMMAND, IDNO, 0);
  const DWORD start = GetTickCount();
  while (!IsWindowEnabled(link)) {
    Require(GetTickCount() - start < kAnswerTimeoutMs, "the link is not enabled again after the answer");
    Sleep(kPollMs);
  }
  Check(app.Close() == 0, "the window closes with code 0");
  DeleteFileA((folder + "Data\\Options.ini").c_str());
}

// File, Exit during a scan: the settings are saved, the scan is stopped and waited for, the
// process ends by itself, no report is written.
void ScenarioExitDuringScan(const std::string& exe) {
  const std::string folder = FolderOf(exe);
  EmptyLogs(folder);
  TOptionsFile options(folder, kSaveReportOptions);
  TScanLeftovers leftovers(folder);
  TApp app(exe);
  app.ClickScan();
  app.SpinUntilScanStarted();
  PostMessageA(app.window, WM_COMMAND, MAKEWPARAM(scan::IdOf("Exit1"), 0), 0);
  const long code = app.WaitExit();
  Check(code == 0, "Exit during a scan ends the process with code 0 (got " + std::to_string(code) + ")");
  leftovers.CheckNone("Exit during a scan");
  std::string ini;
  ReadFileText(folder + "Data\\Options.ini", &ini);
  Check(Contains(ini, "33="), "Exit saved the settings");
}

// --- message boxes and dialogs of the program ----------------------------------------------

// A visible dialog of process `pid` captioned `caption`, once it shows; null after the time-out.
HWND WaitDialog(DWORD pid, const std::string& caption, DWORD timeoutMs) {
  const DWORD start = GetTickCount();
  for (;;) {
    TWindowSearch search{[&](HWND window) {
      DWORD owner = 0;
      GetWindowThreadProcessId(window, &owner);
      char text[256] = {};
      GetWindowTextA(window, text, sizeof text);
      return owner == pid && ClassOf(window) == "#32770" && IsWindowVisible(window) && caption == text;
    }};
    EnumWindows(&Visit, reinterpret_cast<LPARAM>(&search));
    if (search.found || GetTickCount() - start > timeoutMs) return search.found;
    Sleep(kPollMs);
  }
}

BOOL CALLBACK AppendStatic(HWND child, LPARAM param) {
  if (ClassOf(child) == "Static") {
    char text[4096] = {};
    GetWindowTextA(child, text, sizeof text);
    *reinterpret_cast<std::string*>(param) += text;
  }
  return TRUE;
}

// The texts of a message box.
std::string DialogText(HWND box) {
  std::string text;
  EnumChildWindows(box, &AppendStatic, reinterpret_cast<LPARAM>(&text));
  return text;
}

// Presses button `id` of a dialog and waits until the dialog has gone.
void Press(HWND box, int id) {
  HWND button = GetDlgItem(box, id);
  Require(button != nullptr, "the dialog has no button " + std::to_string(id));
  PostMessageA(box, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(button));
  const DWORD start = GetTickCount();
  while (IsWindow(box) && IsWindowVisible(box)) {
    Require(GetTickCount() - start < kWindowTimeoutMs, "the dialog did not close");
    Sleep(kPollMs);
  }
}

// --- the registry of the prefix ------------------------------------------------------------

bool KeyExists(HKEY root, const std::string& key) {
  HKEY handle = nullptr;
  if (RegOpenKeyExA(root, key.c_str(), 0, KEY_READ, &handle) != ERROR_SUCCESS) return false;
  RegCloseKey(handle);
  return true;
}

// A value as "<type>:<bytes>", or "absent".
std::string ValueOf(HKEY root, const std::string& key, const char* name) {
  HKEY handle = nullptr;
  if (RegOpenKeyExA(root, key.c_str(), 0, KEY_READ, &handle) != ERROR_SUCCESS) return "absent";
  DWORD type = 0, size = 0;
  std::string data;
  LONG rc = RegQueryValueExA(handle, name, nullptr, &type, nullptr, &size);
  if (rc == ERROR_SUCCESS) {
    data.resize(size);
    rc = RegQueryValueExA(handle, name, nullptr, &type, reinterpret_cast<BYTE*>(data.data()), &size);
    data.resize(size);
  }
  RegCloseKey(handle);
  return rc == ERROR_SUCCESS ? std::to_string(type) + ":" + data : "absent";
}

std::string Dword(DWORD n) { return std::to_string(REG_DWORD) + ":" + std::string(reinterpret_cast<char*>(&n), 4); }
std::string Sz(const std::string& text) { return std::to_string(REG_SZ) + ":" + text + std::string(1, '\0'); }

void SetDwordValue(HKEY root, const std::string& key, const char* name, DWORD value) {
  HKEY handle = nullptr;
  Require(RegCreateKeyExA(root, key.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &handle, nullptr) == ERROR_SUCCESS,
          "cannot create " + key);
  RegSetValueExA(handle, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
  RegCloseKey(handle);
}

// Runs a command line in `folder` and waits for it; its exit code, or -1.
long RunAndWait(const std::string& commandLine, const std::string& folder, DWORD timeoutMs) {
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  std::string line = commandLine;
  if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, folder.c_str(),
                      &startup, &process)) {
    return -1;
  }
  DWORD code = static_cast<DWORD>(-1);
  if (WaitForSingleObject(process.hProcess, timeoutMs) == WAIT_OBJECT_0) {
    GetExitCodeProcess(process.hProcess, &code);
  } else {
    TerminateProcess(process.hProcess, 99);
  }
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return static_cast<long>(code);
}

std::string WindowsFolder(bool system) {
  char path[MAX_PATH] = {};
  if (system) {
    GetSystemDirectoryA(path, MAX_PATH);
  } else {
    GetWindowsDirectoryA(path, MAX_PATH);
  }
  return path;
}

bool FileExists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// --- the Restorer page -----------------------------------------------------------------------

constexpr const char kSafeBoot[] = "SYSTEM\\CurrentControlSet\\Control\\SafeBoot";
constexpr const char kSystemPolicies[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\System";
constexpr const char kWinlogon[] = "Software\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon";
constexpr const char kFirewallPolicies[] = "SOFTWARE\\Policies\\Microsoft\\WindowsFirewall";
// The prefix imitates Windows XP. Wine's registry holds its control set under CurrentControlSet
// and no ControlSet001, which the check for newer Windows (and a 64-bit one) finds through
// SYSTEM\Select.
constexpr const char kSafeModeFile[] = "WXPSP3.dat";
constexpr const char kSafeModeMissing[] = "SafeBoot (Minimal) is NOT PRESENT!";

// For the window and for bsscan.exe: nothing saved, the slow sections off, the restore point on.
constexpr const char kQuickOptions[] =
    "[Options]\r\n4=0\r\n5=0\r\n3=0\r\n9=0\r\n10=0\r\n11=0\r\n25=English\r\n12=-1\r\n13=0\r\n14=0\r\n"
    "15=0\r\n16=-1\r\n17=-1\r\n18=-1\r\n27=0\r\n28=0\r\n29=0\r\n30=0\r\n31=0\r\n32=-1\r\n33=0\r\n34=0\r\n35=0\r\n";

// The key of the last "[...]" line of a registry file: imported last.
std::string LastKeyOf(const std::string& regText) {
  const size_t open = regText.rfind("\n[HKEY_LOCAL_MACHINE\\");
  if (open == std::string::npos) return "";
  const size_t start = open + std::string("\n[HKEY_LOCAL_MACHINE\\").size();
  return regText.substr(start, regText.find(']', start) - start);
}

// The report of a bsscan.exe run beside the program.
std::string Bsscan(const std::string& folder) {
  const std::string report = folder + "bsscan_report.txt";
  DeleteFileA(report.c_str());
  Check(RunAndWait("\"" + folder + kBsscanName + "\" --quiet --output \"" + report + "\"", folder, kScanTimeoutMs) == 0,
        "bsscan.exe ran");
  std::string text;
  ReadFileText(report, &text);
  DeleteFileA(report.c_str());
  return text;
}

// Moves the Restorer's sub-pages with the keyboard of their tab control, as a user would.
void SelectRestorerTab(const TApp& app, int sub) {
  HWND tabs = Find(app, "AdvPC3");
  DWORD_PTR selected = 0;
  for (int step = 0; step < scan::kRestorerTabCount; ++step) {
    Ask(tabs, TCM_GETCURSEL, 0, 0, &selected);
    if (static_cast<int>(selected) == sub) break;
    Ask(tabs, WM_KEYDOWN, static_cast<int>(selected) < sub ? VK_RIGHT : VK_LEFT, 0, nullptr);
  }
  Ask(tabs, TCM_GETCURSEL, 0, 0, &selected);
  Require(static_cast<int>(selected) == sub, "the Restorer tabs reach sub-page " + std::to_string(sub));
}

// Three repairs and a Safe Mode import through the page; the registry, bsscan.exe and the undo file.
void ScenarioRestorer(const std::string& exe) {
  const std::string folder = FolderOf(exe);
  std::string safeModeText;
  Require(ReadFileText(folder + "Data\\SM\\" + kSafeModeFile, &safeModeText), "Data\\SM\\ lies beside the program");
  Require(FileExists(folder + kBsscanName), "bsscan lies beside the program");
  Require(!KeyExists(HKEY_LOCAL_MACHINE, kSafeBoot + std::string("\\Minimal")),
          "the prefix has no Safe Mode keys to begin with");
  const std::string lastSafeModeKey = LastKeyOf(safeModeText);
  Require(!lastSafeModeKey.empty(), "the Safe Mode file names its keys");

  SetDwordValue(HKEY_CURRENT_USER, kSystemPolicies, "DisableTaskMgr", 1);
  TOptionsFile options(folder, kQuickOptions);
  Require(Contains(Bsscan(folder), kSafeModeMissing), "bsscan finds SafeBoot (Minimal) missing before the batch");
  const std::string userinitBefore = ValueOf(HKEY_LOCAL_MACHINE, kWinlogon, "Userinit");
  const bool firewallBefore = KeyExists(HKEY_LOCAL_MACHINE, kFirewallPolicies);
  TApp app(exe);

  Click(Find(app, "AdvGlowButton1"));
  Check(IsWindowVisible(Find(app, "Restorer_Tab")) && IsWindowVisible(Find(app, "CheckBox13")),
        "the Restorer button shows its page on the System Hijacks sub-page");
  for (int sub = 0; sub < scan::kRestorerTabCount; ++sub) {
    SelectRestorerTab(app, sub);
    if (sub == scan::kSystemHijacks) {
      Click(Find(app, "CheckBox13"));  // Restore Task Manager
      Click(Find(app, "CheckBox29"));  // Enable Windows Firewall
    } else if (sub == scan::kStartupHijacks) {
      Click(Find(app, "CheckBox16"));  // Restore Userinit
    } else if (sub == scan::kSafeMode) {
      Click(Find(app, "RadioButton2"));  // Windows XP SP3 (32-bit)
    }
    ScreenshotHandshake(app, "restorer_" + std::to_string(sub));
  }
  for (const char* name : {"CheckBox13", "CheckBox29", "CheckBox16", "RadioButton2"}) {
    Check(Checked(Find(app, name)), std::string(name) + " is ticked");
  }

  HWND apply = Find(app, "Button9");
  Require(TextOf(apply) == "Apply", "Button9 is \"Apply\"");
  PostMessageA(apply, BM_CLICK, 0, 0);
  HWND box = WaitDialog(app.Pid(), "Restorer", kWindowTimeoutMs);
  Require(box != nullptr, "no final message captioned \"Restorer\" after Apply");
  const std::string text = DialogText(box);
  Check(StartsWith(text, "The changes have been applied... It is recommended to reboot your computer"),
        "the final message reads \"" + text + "\"");
  Check(!IsWindowEnabled(apply), "Apply is disabled while the final message shows");
  const size_t label = text.find("Undo file: ");
  Require(label != std::string::npos, "the final message names the undo file: \"" + text + "\"");
  const std::string backup = text.substr(label + 11, text.find_first_of("\r\n", label) - label - 11);
  Check(StartsWith(backup, folder + "Backups\\restorer_") && backup.size() > 4 &&
            backup.compare(backup.size() - 4, 4, ".reg") == 0 && FileExists(backup),
        "the undo file " + backup + " exists in Backups\\");
  ScreenshotHandshake(app, "restorer_message");
  // The message has no owner: the window stays usable, and a scan asked for now is refused.
  app.ClickScan();
  HWND refusal = WaitDialog(app.Pid(), "Warning", kWindowTimeoutMs);
  Require(refusal != nullptr, "\"Scan PC\" during the Restorer's message shows no warning");
  Check(DialogText(refusal) == "Restorer is working... Please wait...", "the refusal reads \"" + DialogText(refusal) + "\"");
  Press(refusal, IDOK);
  Check(TextOf(app.memo).empty(), "no scan ran while the Restorer's message showed");
  Press(box, IDOK);
  const DWORD start = GetTickCount();
  while (!IsWindowEnabled(apply) && GetTickCount() - start < kWindowTimeoutMs) Sleep(kPollMs);
  Check(IsWindowEnabled(apply), "Apply is enabled again once the message is answered");

  Check(ValueOf(HKEY_CURRENT_USER, kSystemPolicies, "DisableTaskMgr") == "absent", "DisableTaskMgr is gone");
  for (const char* profile : {"StandardProfile", "DomainProfile"}) {
    Check(ValueOf(HKEY_LOCAL_MACHINE, std::string(kFirewallPolicies) + "\\" + profile, "EnableFirewall") == Dword(1),
          std::string("EnableFirewall is 1 in ") + profile);
  }
  Check(ValueOf(HKEY_LOCAL_MACHINE, kWinlogon, "Userinit") == Sz(WindowsFolder(true) + "\\userinit.exe,"),
        "Userinit is the system folder's userinit.exe with its comma");
  // The Registry Editor imports in its own process; its last key ends the import.
  const DWORD importStart = GetTickCount();
  while (!KeyExists(HKEY_LOCAL_MACHINE, lastSafeModeKey) && GetTickCount() - importStart < kScanStartTimeoutMs) {
    Sleep(100);
  }
  Check(KeyExists(HKEY_LOCAL_MACHINE, lastSafeModeKey), "the Safe Mode file was imported: " + lastSafeModeKey);
  Check(KeyExists(HKEY_LOCAL_MACHINE, kSafeBoot + std::string("\\Network")) &&
            ValueOf(HKEY_LOCAL_MACHINE, kSafeBoot, "AlternateShell") == Sz("cmd.exe"),
        "SafeBoot has Minimal, Network and AlternateShell");

  const std::string after = Bsscan(folder);
  Check(Contains(after, "[+] System Hijack"), "the bsscan report has its System Hijack section");
  Check(!Contains(after, kSafeModeMissing), "bsscan still finds SafeBoot (Minimal) missing");

  // The undo file, through the real Registry Editor, puts everything back.
  Check(RunAndWait("regedit.exe /S \"" + backup + "\"", folder, kExitTimeoutMs) == 0, "regedit imported the undo file");
  Check(ValueOf(HKEY_CURRENT_USER, kSystemPolicies, "DisableTaskMgr") == Dword(1), "the undo gives DisableTaskMgr back");
  Check(KeyExists(HKEY_LOCAL_MACHINE, kFirewallPolicies) == firewallBefore, "the undo removes the firewall policy key");
  Check(ValueOf(HKEY_LOCAL_MACHINE, kWinlogon, "Userinit") == userinitBefore, "the undo gives Userinit back");
  Check(!KeyExists(HKEY_LOCAL_MACHINE, kSafeBoot), "the undo removes the imported Safe Mode keys");

  // A browser value is written at once by its own "OK".
  SelectRestorerTab(app, scan::kIeHijacks);
  SendMessageA(Find(app, "Edit10"), WM_SETTEXT, 0, reinterpret_cast<LPARAM>("Checked by the GUI test"));
  Click(Find(app, "Button10"));
  Check(ValueOf(HKEY_CURRENT_USER, "Software\\Microsoft\\Internet Explorer\\Main", "Window Title") ==
            Sz("Checked by the GUI test"),
        "\"OK\" beside Window Title writes the field's text");
  Check(app.Close() == 0, "the window closes with code 0");
}

// --- the Windows Tools menu and the power commands --------------------------------------------

// Whether Windows Tools entry `name` is enabled, as the window's property mirrors its menu.
bool ToolEntryEnabled(const TApp& app, const char* name) {
  const auto states = static_cast<unsigned>(reinterpret_cast<UINT_PTR>(GetPropA(app.window, app::kToolsEnabledProperty)));
  Require(states & app::kToolsReadBit, "the window did not set the Windows Tools entries");
  int index = 0;
  for (const scan::TControl& c : scan::kControls) {
    if (c.place != scan::kPlaceMenu || c.kind != scan::TKind::MenuItem || c.sub <= 0) continue;
    if (name == std::string(c.name)) return (states >> index) & 1u;
    ++index;
  }
  throw Failure(std::string("no Windows Tools entry ") + name);
}

// Asks a power question through the menu and answers No, the only answer a test gives.
void AnswerPowerQuestionNo(const TApp& app, const char* entry, const std::string& question) {
  PostMessageA(app.window, WM_COMMAND, MAKEWPARAM(scan::FindMainControl(entry)->id, 0), 0);
  HWND box = WaitDialog(app.Pid(), "Info", kWindowTimeoutMs);
  Require(box != nullptr, std::string(entry) + " asks nothing");
  Check(DialogText(box) == question, std::string(entry) + " asks \"" + DialogText(box) + "\"");
  Require(GetDlgItem(box, IDYES) && GetDlgItem(box, IDNO), std::string(entry) + " asks Yes or No");
  Press(box, IDNO);
  Check(Ask(app.window, WM_NULL, 0, 0, nullptr) && app.Running() && IsWindowVisible(app.window),
        std::string("No to ") + entry + " leaves the program running");
}

void ScenarioTools(const std::string& exe) {
  const std::string system = WindowsFolder(true);
  // Files the prefix lacks: two put in place before the start, one after it.
  const std::string before[] = {system + "\\mrt.exe", system + "\\driverquery.exe"};
  const std::string after = system + "\\gpedit.msc";
  Require(FileExists(system + "\\cmd.exe"), "the prefix has cmd.exe");
  Require(!FileExists(after) && !FileExists(before[0]), "the prefix has no mrt.exe and no gpedit.msc");
  std::vector<std::string> made;
  for (const std::string& file : before) {
    if (!FileExists(file) && WriteFileText(file, "MZ")) made.push_back(file);
  }
  struct TRemove {
    std::vector<std::string>* files;
    ~TRemove() {
      for (const std::string& f : *files) DeleteFileA(f.c_str());
    }
  } remove{&made};
  TApp app(exe);
  if (WriteFileText(after, "")) made.push_back(after);

  const std::pair<const char*, bool> entries[] = {
      {"DOSPrompt1", true},
      {"DriverQuery1", true},
      {"MicrosoftMaliciousSoftwareRemovalTool1", true},
      {"RegistryEditor1", FileExists(WindowsFolder(false) + "\\regedit.exe")},
      {"GroupPolicyEditorgpeditmsc1", false},  // came after the first showing
      {"SystemConfigurationUtility1", FileExists(WindowsFolder(false) + "\\pchealth\\helpctr\\binaries\\msconfig.exe")},
  };
  for (const auto& [name, enabled] : entries) {
    Check(ToolEntryEnabled(app, name) == enabled, std::string(name) + (enabled ? " is greyed" : " is enabled"));
  }

  // An entry starts its program: the Registry Editor's window shows, and is closed again.
  PostMessageA(app.window, WM_COMMAND, MAKEWPARAM(scan::IdOf("RegistryEditor1"), 0), 0);
  HWND regedit = nullptr;
  for (const DWORD start = GetTickCount(); !regedit && GetTickCount() - start < kWindowTimeoutMs; Sleep(100)) {
    regedit = FindWindowA("RegEdit_RegEdit", nullptr);
  }
  Check(regedit != nullptr, "\"Registry Editor (regedit.exe)\" shows no Registry Editor");
  if (regedit) PostMessageA(regedit, WM_CLOSE, 0, 0);

  AnswerPowerQuestionNo(app, "RebootSystem1", "Do you want to reboot the system ?");
  AnswerPowerQuestionNo(app, "ShutdownPC1", "Do you want to shutdown the system ?");

  PostMessageA(app.window, WM_COMMAND, MAKEWPARAM(scan::IdOf("Run1"), 0), 0);
  HWND dialog = WaitDialog(app.Pid(), "Select a program to run", kWindowTimeoutMs);
  Require(dialog != nullptr, "Run... shows no dialog titled \"Select a program to run\"");
  ScreenshotHandshake(app, "run_dialog");
  Press(dialog, IDCANCEL);
  Check(app.Close() == 0, "the window closes with code 0");
}

// ---- The manager pages ----------------------------------------------------------------------

constexpr const char* kRunKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr const char* kSessionManager = "SYSTEM\\CurrentControlSet\\Control\\Session Manager";
constexpr const char* kPendingValue = "PendingFileRenameOperations";

// A click whose handler shows a message box: posted, as a sent one would wait for the box.
void PostClick(HWND button) { Require(PostMessageA(button, BM_CLICK, 0, 0) != 0, "cannot post BM_CLICK"); }
void PostMenu(const TApp& app, const char* name) {
  Require(PostMessageA(app.window, WM_COMMAND, MAKEWPARAM(scan::FindMainControl(name)->id, 0), 0) != 0,
          std::string("cannot post the menu entry ") + name);
}

BOOL CALLBACK CollectStaticText(HWND child, LPARAM param) {
  if (ClassOf(child) == "Static") {
    const std::string text = TextOf(child);
    if (!text.empty()) *reinterpret_cast<std::string*>(param) += text;
  }
  return TRUE;
}

// Waits for the message box of the program, returns its caption and text and presses OK.
std::pair<std::string, std::string> AnswerMessageBox(const TApp& app) {
  const DWORD pid = app.Pid();
  HWND box = nullptr;
  const DWORD start = GetTickCount();
  while (!box) {
    TWindowSearch search{[pid](HWND window) {
      DWORD owner = 0;
      GetWindowThreadProcessId(window, &owner);
      return owner == pid && ClassOf(window) == "#32770" && IsWindowVisible(window);
    }};
    EnumWindows(&Visit, reinterpret_cast<LPARAM>(&search));
    box = search.found;
    Require(box || GetTickCount() - start < kWindowTimeoutMs, "no message box showed");
    if (!box) Sleep(kPollMs);
  }
  std::string text;
  EnumChildWindows(box, &CollectStaticText, reinterpret_cast<LPARAM>(&text));
  const std::string caption = TextOf(box);
  PostMessageA(box, WM_COMMAND, IDOK, 0);
  while (IsWindow(box) && GetTickCount() - start < kWindowTimeoutMs) Sleep(kPollMs);
  Require(!IsWindow(box), "the message box did not close");
  // The handler that showed it has returned once the window answers again.
  Ask(app.window, WM_NULL, 0, 0, nullptr);
  return {caption, text};
}

// A list view of the program read through memory lent inside its process.
class TRemoteList {
 public:
  TRemoteList(const TApp& app, HWND list) : process_(app.Process()), list_(list) {
    memory_ = static_cast<char*>(VirtualAllocEx(process_, nullptr, kSize, MEM_COMMIT, PAGE_READWRITE));
    Require(memory_ != nullptr, "cannot lend memory inside the program");
  }
  ~TRemoteList() { VirtualFreeEx(process_, memory_, 0, MEM_RELEASE); }

  int Count() const {
    DWORD_PTR count = 0;
    Ask(list_, LVM_GETITEMCOUNT, 0, 0, &count);
    return static_cast<int>(count);
  }
  std::string Text(int item, int sub) const {
    LVITEMA query{};
    query.iSubItem = sub;
    query.pszText = memory_ + sizeof(LVITEMA);
    query.cchTextMax = kSize - sizeof(LVITEMA);
    Put(query);
    DWORD_PTR length = 0;
    Ask(list_, LVM_GETITEMTEXTA, item, reinterpret_cast<LPARAM>(memory_), &length);
    std::string text(length, '\0');
    ReadProcessMemory(process_, memory_ + sizeof(LVITEMA), text.data(), length, nullptr);
    return text;
  }
  int Image(int item) const {
    LVITEMA query{};
    query.mask = LVIF_IMAGE;
    query.iItem = item;
    Put(query);
    Ask(list_, LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(memory_), nullptr);
    ReadProcessMemory(process_, memory_, &query, sizeof query, nullptr);
    return query.iImage;
  }
  void Select(int item) const {
    LVITEMA state{};
    state.stateMask = state.state = LVIS_SELECTED | LVIS_FOCUSED;
    Put(state);
    Ask(list_, LVM_SETITEMSTATE, item, reinterpret_cast<LPARAM>(memory_), nullptr);
  }
  // The item whose first column is `caption`; -1 when none.
  int Find(const std::string& caption) const {
    for (int i = 0, n = Count(); i < n; ++i) {
      if (Text(i, 0) == caption) return i;
    }
    return -1;
  }

 private:
  static constexpr SIZE_T kSize = 4096;
  void Put(const LVITEMA& item) const { WriteProcessMemory(process_, memory_, &item, sizeof item, nullptr); }
  HANDLE process_;
  HWND list_;
  char* memory_ = nullptr;
};

bool SetRegString(HKEY root, const char* key, const char* name, const std::string& data) {
  HKEY k = nullptr;
  if (RegCreateKeyExA(root, key, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &k, nullptr) != ERROR_SUCCESS) return false;
  const LONG rc = RegSetValueExA(k, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()),
                                 static_cast<DWORD>(data.size() + 1));
  RegCloseKey(k);
  return rc == ERROR_SUCCESS;
}

bool RegValueExists(HKEY root, const char* key, const char* name) {
  HKEY k = nullptr;
  if (RegOpenKeyExA(root, key, 0, KEY_QUERY_VALUE, &k) != ERROR_SUCCESS) return false;
  const bool exists = RegQueryValueExA(k, name, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
  RegCloseKey(k);
  return exists;
}

void DeleteRegValue(HKEY root, const char* key, const char* name) {
  HKEY k = nullptr;
  if (RegOpenKeyExA(root, key, 0, KEY_SET_VALUE, &k) != ERROR_SUCCESS) return;
  RegDeleteValueA(k, name);
  RegCloseKey(k);
}

// A Run value of the test's, seeded under HKCU and removed when the scenario ends.
class TSeededRunValue {
 public:
  TSeededRunValue(const char* name, const std::string& data) : name_(name) {
    Require(SetRegString(HKEY_CURRENT_USER, kRunKey, name, data), std::string("cannot seed the Run value ") + name);
  }
  ~TSeededRunValue() { DeleteRegValue(HKEY_CURRENT_USER, kRunKey, name_); }

 private:
  const char* name_;
};

// The Startups page lists a seeded Run value with its program's icon, refills on every press of
// its button, says "No item selected!" for a delete without a row, and deletes the selected one.
void ScenarioStartups(const std::string& exe) {
  const std::string hkcuRun = "HKEY_CURRENT_USER\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
  TSeededRunValue first("BsGuiStartup", "\"C:\\windows\\notepad.exe\" /bs-gui");
  TApp app(exe);
  Click(Find(app, "AdvGlowButton4"));
  HWND slv = Find(app, "SLV");
  Check(IsWindowVisible(slv) != FALSE, "the Startups button shows SLV");
  TRemoteList list(app, slv);
  int row = list.Find("BsGuiStartup");
  Require(row >= 0, "SLV lists the seeded Run value BsGuiStartup");
  Check(list.Text(row, 1) == "\"C:\\windows\\notepad.exe\" /bs-gui", "Data column: \"" + list.Text(row, 1) + "\"");
  Check(list.Text(row, 2) == hkcuRun, "Key column: \"" + list.Text(row, 2) + "\"");
  Check(list.Image(row) >= 0, "the row of an existing program has its icon");

  TSeededRunValue second("BsGuiStartup2", "C:\\bs-gui-missing.exe");
  Check(list.Find("BsGuiStartup2") < 0, "the list holds what the last refill found");
  Click(Find(app, "AdvGlowButton4"));
  row = list.Find("BsGuiStartup2");
  Check(row >= 0, "a second press of the Startups button lists the value added since");
  if (row >= 0) Check(list.Image(row) < 0, "a missing program gives a row without an icon");
  ScreenshotHandshake(app, "startups");

  PostMenu(app, "DeleteStartupItem1");
  auto [caption, text] = AnswerMessageBox(app);
  Check(caption == "Error" && text == "No item selected!", "delete without a row: \"" + caption + "\", \"" + text + "\"");
  Check(RegValueExists(HKEY_CURRENT_USER, kRunKey, "BsGuiStartup2"), "nothing was deleted without a row");

  row = list.Find("BsGuiStartup2");
  Require(row >= 0, "the row to delete is listed");
  list.Select(row);
  PostMenu(app, "DeleteStartupItem1");
  std::tie(caption, text) = AnswerMessageBox(app);
  Check(caption == "Info" && text == "The value BsGuiStartup2 deleted successfully!",
        "delete: \"" + caption + "\", \"" + text + "\"");
  Check(!RegValueExists(HKEY_CURRENT_USER, kRunKey, "BsGuiStartup2") &&
            RegValueExists(HKEY_CURRENT_USER, kRunKey, "BsGuiStartup"),
        "only the selected value is deleted");
  Check(list.Find("BsGuiStartup2") < 0 && list.Find("BsGuiStartup") >= 0, "the list is refilled after the delete");

  // The keyboard: the context menu opens for the list as the menu key asks for it, Escape closes
  // it; the Delete key deletes the selected row.
  row = list.Find("BsGuiStartup");
  list.Select(row);
  PostMessageA(slv, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(slv), MAKELPARAM(-1, -1));
  HWND popup = nullptr;
  for (DWORD start = GetTickCount(); !popup && GetTickCount() - start < kWindowTimeoutMs; Sleep(kPollMs)) {
    const DWORD pid = app.Pid();
    TWindowSearch search{[pid](HWND window) {
      DWORD owner = 0;
      GetWindowThreadProcessId(window, &owner);
      return owner == pid && ClassOf(window) == "#32768" && IsWindowVisible(window);
    }};
    EnumWindows(&Visit, reinterpret_cast<LPARAM>(&search));
    popup = search.found;
  }
  Check(popup != nullptr, "the context menu opens from the keyboard");
  if (popup) {
    ScreenshotHandshake(app, "startups_menu");
    PostMessageA(popup, WM_KEYDOWN, VK_ESCAPE, 0);
    for (DWORD start = GetTickCount(); IsWindowVisible(popup) && GetTickCount() - start < kWindowTimeoutMs;) Sleep(kPollMs);
    Check(!IsWindowVisible(popup), "Escape closes the context menu");
  }
  PostMessageA(slv, WM_KEYDOWN, VK_DELETE, 0);
  std::tie(caption, text) = AnswerMessageBox(app);
  Check(caption == "Info" && text == "The value BsGuiStartup deleted successfully!",
        "the Delete key: \"" + caption + "\", \"" + text + "\"");
  Check(!RegValueExists(HKEY_CURRENT_USER, kRunKey, "BsGuiStartup") && list.Find("BsGuiStartup") < 0,
        "the Delete key deleted the selected value and the list was refilled");
  Check(app.Close() == 0, "the window closes with code 0");
}

// A file's bytes, put back when the scenario ends.
class TKeptFile {
 public:
  explicit TKeptFile(std::string path) : path_(std::move(path)) {
    attributes_ = GetFileAttributesA(path_.c_str());
    existed_ = ReadFileText(path_, &bytes_);
  }
  ~TKeptFile() {
    SetFileAttributesA(path_.c_str(), FILE_ATTRIBUTE_NORMAL);
    if (existed_) {
      WriteFileText(path_, bytes_);
      SetFileAttributesA(path_.c_str(), attributes_);
    } else {
      DeleteFileA(path_.c_str());
    }
  }

 private:
  std::string path_, bytes_;
  DWORD attributes_ = 0;
  bool existed_ = false;
};

std::string WindowsDir() {
  char dir[MAX_PATH] = {};
  GetWindowsDirectoryA(dir, MAX_PATH);
  return dir;
}

std::string SystemDir() {
  char dir[MAX_PATH] = {};
  GetSystemDirectoryA(dir, MAX_PATH);
  return dir;
}

// The hosts editor reloads on its button, saves with CR LF through Save and reports a save that
// fails; the Boot Files page enters on system.ini; the BHOs page lists a seeded helper object.
void ScenarioEditors(const std::string& exe) {
  const std::string hosts = SystemDir() + "\\drivers\\etc\\hosts";
  TKeptFile keptHosts(hosts);
  Require(WriteFileText(hosts, "127.0.0.1 localhost\n# bs-gui seeded"), "cannot write " + hosts);
  const std::string systemIni = WindowsDir() + "\\system.ini";
  TKeptFile keptSystemIni(systemIni);
  Require(WriteFileText(systemIni, "[drivers]\r\nwave=mmdrv.dll\r\n"), "cannot write " + systemIni);
  constexpr const char* kBho = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Browser Helper Objects\\"
                               "{B5A7F190-0000-4000-8000-00000000B500}";
  constexpr const char* kClsid = "CLSID\\{B5A7F190-0000-4000-8000-00000000B500}";
  const std::string server = SystemDir() + "\\shell32.dll";
  Require(SetRegString(HKEY_LOCAL_MACHINE, kBho, "", "bs-gui") &&
              SetRegString(HKEY_CLASSES_ROOT, (std::string(kClsid) + "\\InprocServer32").c_str(), "", "\"" + server + "\""),
          "cannot seed the helper object");
  struct TBhoCleanup {
    ~TBhoCleanup() {
      RegDeleteKeyA(HKEY_LOCAL_MACHINE, kBho);
      RegDeleteKeyA(HKEY_CLASSES_ROOT, (std::string(kClsid) + "\\InprocServer32").c_str());
      RegDeleteKeyA(HKEY_CLASSES_ROOT, kClsid);
    }
  } bhoCleanup;

  TApp app(exe);
  Click(Find(app, "AdvGlowButton3"));
  HWND memo = Find(app, "Memo2");
  Check(TextOf(memo) == "127.0.0.1 localhost\r\n# bs-gui seeded", "the hosts page shows the file, every line on its own");
  SendMessageA(memo, WM_SETTEXT, 0, reinterpret_cast<LPARAM>("127.0.0.1 localhost\r\n0.0.0.0 bs-gui.example"));
  Click(Find(app, "Button1"));
  std::string saved;
  ReadFileText(hosts, &saved);
  Check(saved == "127.0.0.1 localhost\r\n0.0.0.0 bs-gui.example\r\n", "Save writes the lines with CR LF, not \"" + saved + "\"");
  // Alt+V is "Save" too.
  SendMessageA(memo, WM_SETTEXT, 0, reinterpret_cast<LPARAM>("127.0.0.1 localhost\r\n0.0.0.0 bs-gui.example"));
  WriteFileText(hosts, "stale");
  Key(app.window, WM_SYSCHAR, 'v', [&] {
        std::string now;
        ReadFileText(hosts, &now);
        return now == "127.0.0.1 localhost\r\n0.0.0.0 bs-gui.example\r\n";
      }, "Alt+V saving the hosts file");
  ScreenshotHandshake(app, "hosts");

  // A read-only hosts file refuses the save, and the user is told.
  SetFileAttributesA(hosts.c_str(), FILE_ATTRIBUTE_READONLY);
  SendMessageA(memo, WM_SETTEXT, 0, reinterpret_cast<LPARAM>("# not saved"));
  PostClick(Find(app, "Button1"));
  auto [caption, text] = AnswerMessageBox(app);
  Check(caption == "Error" && Contains(text, hosts), "a failed hosts save is reported: \"" + text + "\"");
  ReadFileText(hosts, &saved);
  Check(saved == "127.0.0.1 localhost\r\n0.0.0.0 bs-gui.example\r\n", "a refused save leaves the file as it was");
  SetFileAttributesA(hosts.c_str(), FILE_ATTRIBUTE_NORMAL);
  Click(Find(app, "Button2"));
  Check(TextOf(memo) == "127.0.0.1 localhost\r\n0.0.0.0 bs-gui.example\r\n", "Reload reads the file again");

  Click(Find(app, "AdvGlowButton5"));
  DWORD_PTR selected = 9;
  Ask(Find(app, "AdvPC2"), TCM_GETCURSEL, 0, 0, &selected);
  Check(selected == 0 && IsWindowVisible(Find(app, "SystemIni")), "the Boot Files button selects the system.ini sub-page");
  Check(TextOf(Find(app, "SystemIni")) == "[drivers]\r\nwave=mmdrv.dll\r\n", "the system.ini sub-page shows the file");
  ScreenshotHandshake(app, "boot_files");

  Click(Find(app, "AdvGlowButton6"));
  TRemoteList bhos(app, Find(app, "BHO_LV"));
  const int row = bhos.Find(server);
  Check(row >= 0, "BHO_LV lists the seeded helper object's server without its quotes");
  if (row >= 0) {
    Check(bhos.Text(row, 1) == "{B5A7F190-0000-4000-8000-00000000B500}" && bhos.Text(row, 2) == "HKEY_CLASSES_ROOT\\CLSID\\",
          "BHO_LV columns: \"" + bhos.Text(row, 1) + "\", \"" + bhos.Text(row, 2) + "\"");
    Check(bhos.Image(row) >= 0, "the helper object's row has its file's icon");
  }
  ScreenshotHandshake(app, "bhos");
  Check(app.Close() == 0, "the window closes with code 0");
}

std::vector<uint8_t> ReadPending(bool* exists) {
  std::vector<uint8_t> data;
  *exists = false;
  HKEY k = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSessionManager, 0, KEY_QUERY_VALUE, &k) != ERROR_SUCCESS) return data;
  DWORD type = 0, size = 0;
  if (RegQueryValueExA(k, kPendingValue, nullptr, &type, nullptr, &size) == ERROR_SUCCESS) {
    data.resize(size);
    *exists = RegQueryValueExA(k, kPendingValue, nullptr, &type, data.data(), &size) == ERROR_SUCCESS;
    data.resize(size);
  }
  RegCloseKey(k);
  return data;
}

void WritePending(const std::vector<uint8_t>& data) {
  HKEY k = nullptr;
  Require(RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSessionManager, 0, KEY_SET_VALUE, &k) == ERROR_SUCCESS,
          "cannot open the Session Manager key");
  RegSetValueExA(k, kPendingValue, 0, REG_MULTI_SZ, data.data(), static_cast<DWORD>(data.size()));
  RegCloseKey(k);
}

std::vector<uint8_t> MultiString(const std::vector<std::string>& strings) {
  std::vector<uint8_t> data;
  for (const std::string& s : strings) {
    data.insert(data.end(), s.begin(), s.end());
    data.push_back(0);
  }
  data.push_back(0);
  return data;
}

// A file held open without sharing is registered for deletion at boot after another program's
// pair; a free file goes at once. This process keeps the prefix's server up, so the value is
// not carried out before it is checked.
void ScenarioDeleteFile(const std::string& exe) {
  const std::string folder = FolderOf(exe);
  bool existed = false;
  const std::vector<uint8_t> before = ReadPending(&existed);
  struct TPendingRestore {
    bool existed;
    std::vector<uint8_t> data;
    ~TPendingRestore() {
      if (existed) {
        WritePending(data);
      } else {
        DeleteRegValue(HKEY_LOCAL_MACHINE, kSessionManager, kPendingValue);
      }
    }
  } restore{existed, before};
  WritePending(MultiString({"\\??\\C:\\bs-gui-other.tmp", "\\??\\C:\\bs-gui-other.dll"}));

  const std::string held = folder + "held.txt";
  const std::string free = folder + "free.txt";
  WriteFileText(held, "held");
  WriteFileText(free, "free");
  HANDLE hold = CreateFileA(held.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  Require(hold != INVALID_HANDLE_VALUE, "cannot hold " + held);

  TApp app(exe);
  Click(Find(app, "AdvGlowButton8"));
  HWND edit = Find(app, "Edit11");
  SendMessageA(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(held.c_str()));
  ScreenshotHandshake(app, "delete_file");
  PostClick(Find(app, "Button6"));
  auto [caption, text] = AnswerMessageBox(app);
  Check(caption == "Info" && text == "File deleted successfully (need reboot).", "held file: \"" + caption + "\", \"" + text + "\"");
  bool exists = false;
  const std::vector<uint8_t> after = ReadPending(&exists);
  Check(after == MultiString({"\\??\\C:\\bs-gui-other.tmp", "\\??\\C:\\bs-gui-other.dll", "\\??\\" + held, ""}),
        "the value holds the other program's pair, then the held file's");
  CloseHandle(hold);
  DeleteFileA(held.c_str());

  SendMessageA(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(free.c_str()));
  PostClick(Find(app, "Button6"));
  std::tie(caption, text) = AnswerMessageBox(app);
  Check(caption == "Info" && text == "File deleted successfully.", "free file: \"" + caption + "\", \"" + text + "\"");
  Check(GetFileAttributesA(free.c_str()) == INVALID_FILE_ATTRIBUTES, "the free file is gone at once");

  PostClick(Find(app, "Button6"));
  std::tie(caption, text) = AnswerMessageBox(app);
  Check(caption == "Warning" && text == "Error: file not found.", "a file no longer there: \"" + text + "\"");

  // From the keyboard: Alt+L puts the focus in the path, Enter presses "Delete".
  SendMessageA(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(""));
  Key(app.window, WM_SYSCHAR, 'l', [&] { return Focus(app) == edit; }, "Alt+L putting the focus in Edit11");
  Require(PostMessageA(edit, WM_KEYDOWN, VK_RETURN, 1) != 0, "cannot post Enter");
  std::tie(caption, text) = AnswerMessageBox(app);
  Check(text == "Error: file not found.", "Enter in Edit11 pressing \"Delete\": \"" + text + "\"");
  Check(app.Close() == 0, "the window closes with code 0");
}


// Not a test: the hosts page of the window loading and saving a 2.5, 5 and 10 MB hosts file,
// timed (for the benchmarks). The hosts file is put back afterwards.
void ScenarioBenchHosts(const std::string& exe) {
  const std::string hosts = SystemDir() + "\\drivers\\etc\\hosts";
  TKeptFile kept(hosts);
  TApp app(exe);
  // A sent click returns once the handler has run; the time-out is generous here.
  auto timedClick = [&](const char* name) {
    const DWORD start = GetTickCount();
    DWORD_PTR ignored = 0;
    Require(SendMessageTimeoutA(Find(app, name), BM_CLICK, 0, 0, SMTO_BLOCK, 600000, &ignored) != 0,
            std::string(name) + " did not return");
    return GetTickCount() - start;
  };
  for (const size_t size : {size_t{10} << 18, size_t{10} << 19, size_t{10} << 20}) {
    std::string text;
    for (int i = 0; text.size() < size; ++i) text += "0.0.0.0 ad" + std::to_string(i) + ".tracker.example\r\n";
    Require(WriteFileText(hosts, text), "cannot write " + hosts);
    const DWORD load = timedClick("AdvGlowButton3");
    const DWORD save = timedClick("Button1");
    std::string saved;
    ReadFileText(hosts, &saved);
    std::printf("  hosts page, %4.1f MB: load %6lu ms, save %4lu ms, saved %s\n", text.size() / 1048576.0, load, save,
                saved == text ? "unchanged" : "DIFFERENT");
    Check(saved == text, "the saved hosts file is the loaded one");
  }
  Check(app.Close() == 0, "the window closes with code 0");
}

// Values of the bench's own across the Startups page's fourteen keys; keys it had to make go again.
class TBenchStartupValues {
 public:
  ~TBenchStartupValues() {
    for (int i = 0; i < count_; ++i) DeleteRegValue(Root(i), Path(i), Name(i).c_str());
    for (const auto& [root, path] : madeKeys_) RegDeleteKeyA(root, path);
  }
  void GrowTo(int count) {
    for (; count_ < count; ++count_) {
      HKEY existing = nullptr;
      if (RegOpenKeyExA(Root(count_), Path(count_), 0, KEY_QUERY_VALUE, &existing) == ERROR_SUCCESS) {
        RegCloseKey(existing);
      } else {
        madeKeys_.emplace_back(Root(count_), Path(count_));
      }
      const std::string data = "\"C:\\bs-bench\\program" + std::to_string(count_) + ".exe\" /run";
      Require(SetRegString(Root(count_), Path(count_), Name(count_).c_str(), data), "cannot seed " + Name(count_));
    }
  }

 private:
  static const managers::TRunKey& Key(int i) { return managers::kStartupKeys[i % managers::kStartupKeys.size()]; }
  static HKEY Root(int i) { return reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(Key(i).root)); }
  static const char* Path(int i) { return Key(i).path + 1; }
  static std::string Name(int i) { return "BsBench" + std::to_string(i); }
  int count_ = 0;
  std::vector<std::pair<HKEY, const char*>> madeKeys_;
};

// Not a test: the Startups page of the window filling its list from 2,500, 5,000 and 10,000
// values of the bench's own, timed from the button press until the list is filled.
void ScenarioBenchStartups(const std::string& exe) {
  TBenchStartupValues values;
  TApp app(exe);
  HWND button = Find(app, "AdvGlowButton4");
  for (const int count : {2500, 5000, 10000}) {
    values.GrowTo(count);
    const DWORD start = GetTickCount();
    DWORD_PTR ignored = 0;
    Require(SendMessageTimeoutA(button, BM_CLICK, 0, 0, SMTO_BLOCK, 600000, &ignored) != 0,
            "the Startups button did not return");
    const DWORD fill = GetTickCount() - start;
    const int rows = TRemoteList(app, Find(app, "SLV")).Count();
    std::printf("  startups page, %5d values: fill %6lu ms, %5.1f us per value, %d rows\n", count, fill,
                1000.0 * fill / count, rows);
    Check(rows >= count, "the list holds every value of the bench");
  }
  Check(app.Close() == 0, "the window closes with code 0");
}

struct TScenario {
  const char* name;
  void (*run)(const std::string& exe);
};

constexpr TScenario kScenarios[] = {
    {"scan", ScenarioScan},
    {"close-scan", ScenarioCloseDuringScan},
    {"background", ScenarioBackground},
    {"pages", ScenarioPages},
    {"settings", ScenarioSettings},
    {"language", ScenarioLanguage},
    {"logs", ScenarioLogs},
    {"exit-scan", ScenarioExitDuringScan},
    {"keys", ScenarioKeys},
    {"update", ScenarioUpdate},
    {"restorer", ScenarioRestorer},
    {"tools", ScenarioTools},
    {"startups", ScenarioStartups},
    {"editors", ScenarioEditors},
    {"delete-file", ScenarioDeleteFile},
    {"bench-hosts", ScenarioBenchHosts},
    {"bench-startups", ScenarioBenchStartups},
};

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: gui_driver.exe <path of BurrowSentry.exe> [scan|close-scan|background...]\n");
    return 2;
  }
  char full[MAX_PATH] = {};
  GetFullPathNameA(argv[1], MAX_PATH, full, nullptr);
  const std::string exe = full;

  std::vector<std::string> names(argv + 2, argv + argc);
  // The further scenarios need the language files beside the program; they run when named.
  if (names.empty()) names = {"scan", "close-scan", "background"};
  for (const std::string& name : names) {
    const TScenario* scenario = nullptr;
    for (const TScenario& candidate : kScenarios) {
      if (name == candidate.name) scenario = &candidate;
    }
    if (!scenario) {
      std::fprintf(stderr, "unknown scenario %s\n", name.c_str());
      return 2;
    }
    std::printf("scenario %s\n", name.c_str());
    std::fflush(stdout);
    const int before = g_failures;
    try {
      scenario->run(exe);
    } catch (const Failure& failure) {
      Check(false, failure.what());
    }
    std::printf("scenario %s: %s\n", name.c_str(), g_failures == before ? "ok" : "FAILED");
    std::fflush(stdout);
  }
  return g_failures == 0 ? 0 : 1;
}
