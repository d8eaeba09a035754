// The driver's library: starting BurrowSentry.exe and finding its window and controls, keys,
// clicks and menus as a user makes them, the program's dialogs and list views read from outside,
// the prefix's registry and files, and the checks that count failures.
#pragma once

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
#include "app/controls.h"

namespace gui_driver {

// The programs of this build: the x86_64 one names them with "64".
constexpr const char* kProgramName = sizeof(void*) == 8 ? "BurrowSentry64.exe" : "BurrowSentry.exe";
constexpr const char* kBsscanName = sizeof(void*) == 8 ? "bsscan64.exe" : "bsscan.exe";
constexpr const char* kCaption = "Burrow Sentry 1.8.4.0";
constexpr DWORD kWindowTimeoutMs = 60000;
constexpr DWORD kScanStartTimeoutMs = 30000;
constexpr DWORD kScanTimeoutMs = 420000;
constexpr DWORD kExitTimeoutMs = 30000;
constexpr UINT kAnswerTimeoutMs = 15000;  // generous: a loaded test machine is slow, a hung window never answers
constexpr DWORD kPollMs = 50;

class Failure : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Failed checks so far. Check counts one and goes on; Require ends the scenario with a Failure.
extern int g_failures;
void Check(bool ok, const std::string& what);
void Require(bool ok, const std::string& what);

std::string FolderOf(const std::string& path);
bool IsFolder(const std::string& path);
bool ReadFileText(const std::string& path, std::string* text);
bool WriteFileText(const std::string& path, const std::string& text);

// Every file of `folder` matching `mask`, with the folder in front.
std::vector<std::string> FilesIn(const std::string& folder, const char* mask);
std::string ClassOf(HWND window);

// The first window an enumeration visits that `match` accepts.
struct TWindowSearch {
  std::function<bool(HWND)> match;
  HWND found = nullptr;
};

BOOL CALLBACK Visit(HWND window, LPARAM param);

// The main window of process `pid`, once visible: it is shown only when all its controls exist.
HWND FindMainWindow(DWORD pid);

// A control anywhere below `window`, found by its id.
HWND FindControl(HWND window, int id);

// A message the window must answer within the time-out; false when it does not.
bool Ask(HWND window, UINT message, WPARAM wParam, LPARAM lParam, DWORD_PTR* result);
std::string TextOf(HWND window);
std::vector<std::string> Lines(const std::string& text);
bool StartsWith(const std::string& text, const std::string& prefix);

// Header and footer of a finished report as the log area shows it.
void CheckReportText(const std::string& text, const char* where);
bool Contains(const std::string& text, const std::string& part);

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
    scanButton = FindControl(window, app::IdOf("BitBtn1"));
    memo = FindControl(window, app::IdOf("Memo1"));
    progress = FindControl(window, app::IdOf("pb1"));
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
TRunWatch WatchRun(TApp& app, bool untilVisible);

// Asks the script for a screenshot saved under `name` and waits until it is taken.
void ScreenshotHandshake(const TApp& app, const std::string& name = "scan_pc");

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

void EmptyLogs(const std::string& folder);

// Every option key in the order they are read: background and saving on, the slow sections off.
constexpr const char kBackgroundOptions[] =
    "[Options]\r\n4=0\r\n5=0\r\n3=0\r\n9=0\r\n10=-1\r\n11=0\r\n25=English\r\n12=-1\r\n13=0\r\n14=0\r\n"
    "15=-1\r\n16=-1\r\n17=-1\r\n18=-1\r\n27=0\r\n28=0\r\n29=0\r\n30=0\r\n31=0\r\n32=-1\r\n33=0\r\n34=0\r\n35=0\r\n";

HWND Find(const TApp& app, const char* name);
bool Checked(HWND button);

// A click as the user makes it; returns once the window has handled it.
void Click(HWND button);

// A menu entry chosen; returns once the window has handled it (a sent message, as a posted one
// could still wait behind the answer to a later WM_NULL).
void Menu(const TApp& app, const char* name);

// The keyboard focus of the window's thread.
HWND Focus(const TApp& app);
std::string NameOf(HWND control);

// Keys go through the window's message loop, as typed ones do; waits until `done` holds.
void Key(HWND target, UINT message, WPARAM key, const std::function<bool()>& done, const std::string& what);

// --- message boxes and dialogs of the program ----------------------------------------------
// A visible dialog of process `pid` captioned `caption`, once it shows; null after the time-out.
HWND WaitDialog(DWORD pid, const std::string& caption, DWORD timeoutMs);

// The texts of a message box.
std::string DialogText(HWND box);

// Presses button `id` of a dialog and waits until the dialog has gone.
void Press(HWND box, int id);

// --- the registry of the prefix ------------------------------------------------------------
bool KeyExists(HKEY root, const std::string& key);

// A value as "<type>:<bytes>", or "absent".
std::string ValueOf(HKEY root, const std::string& key, const char* name);
std::string Dword(DWORD n);
std::string Sz(const std::string& text);
void SetDwordValue(HKEY root, const std::string& key, const char* name, DWORD value);

// Runs a command line in `folder` and waits for it; its exit code, or -1.
long RunAndWait(const std::string& commandLine, const std::string& folder, DWORD timeoutMs);
bool FileExists(const std::string& path);

// A click whose handler shows a message box: posted, as a sent one would wait for the box.
void PostClick(HWND button);
void PostMenu(const TApp& app, const char* name);

// Waits for the message box of the program, returns its caption and text and presses OK.
std::pair<std::string, std::string> AnswerMessageBox(const TApp& app);

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

bool SetRegString(HKEY root, const char* key, const char* name, const std::string& data);
bool RegValueExists(HKEY root, const char* key, const char* name);
void DeleteRegValue(HKEY root, const char* key, const char* name);

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

std::string WindowsDir();
std::string SystemDir();

}  // namespace gui_driver
