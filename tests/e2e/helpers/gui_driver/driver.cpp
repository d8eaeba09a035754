#include "tests/e2e/helpers/gui_driver/driver.h"

namespace gui_driver {

int g_failures = 0;

namespace {

// Appends the text of every static control to the string at `param`.
BOOL CALLBACK CollectStaticText(HWND child, LPARAM param) {
  if (ClassOf(child) == "Static") {
    const std::string text = TextOf(child);
    if (!text.empty()) *reinterpret_cast<std::string*>(param) += text;
  }
  return TRUE;
}

}  // namespace

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

BOOL CALLBACK Visit(HWND window, LPARAM param) {
  auto* search = reinterpret_cast<TWindowSearch*>(param);
  if (!search->match(window)) return TRUE;
  search->found = window;
  return FALSE;
}

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

HWND FindControl(HWND window, int id) {
  TWindowSearch search{[id](HWND child) { return GetDlgCtrlID(child) == id; }};
  EnumChildWindows(window, &Visit, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

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

void ScreenshotHandshake(const TApp& app, const std::string& name) {
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

void EmptyLogs(const std::string& folder) {
  CreateDirectoryA((folder + "Logs").c_str(), nullptr);
  for (const std::string& old : FilesIn(folder + "Logs\\", "*.log")) DeleteFileA(old.c_str());
}

HWND Find(const TApp& app, const char* name) {
  const app::TControl* row = app::FindMainControl(name);
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

void Click(HWND button) {
  DWORD_PTR ignored = 0;
  Require(Ask(button, BM_CLICK, 0, 0, &ignored), "a button does not answer BM_CLICK");
}

void Menu(const TApp& app, const char* name) {
  Require(Ask(app.window, WM_COMMAND, MAKEWPARAM(app::FindMainControl(name)->id, 0), 0, nullptr),
          std::string("the window does not answer the menu entry ") + name);
}

HWND Focus(const TApp& app) {
  GUITHREADINFO info{};
  info.cbSize = sizeof info;
  return GetGUIThreadInfo(GetWindowThreadProcessId(app.window, nullptr), &info) ? info.hwndFocus : nullptr;
}

std::string NameOf(HWND control) {
  const app::TControl* row = control ? app::FindControlById(GetDlgCtrlID(control)) : nullptr;
  return row ? row->name : "(none)";
}

void Key(HWND target, UINT message, WPARAM key, const std::function<bool()>& done, const std::string& what) {
  const LPARAM alt = message == WM_SYSCHAR ? (1 << 29) : 0;
  Require(PostMessageA(target, message, key, alt | 1) != 0, "cannot post a key for " + what);
  const DWORD start = GetTickCount();
  while (!done()) {
    Require(GetTickCount() - start < kAnswerTimeoutMs, what + " did not happen");
    Sleep(kPollMs);
  }
}

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

std::string DialogText(HWND box) {
  std::string text;
  EnumChildWindows(box, &CollectStaticText, reinterpret_cast<LPARAM>(&text));
  return text;
}

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

bool KeyExists(HKEY root, const std::string& key) {
  HKEY handle = nullptr;
  if (RegOpenKeyExA(root, key.c_str(), 0, KEY_READ, &handle) != ERROR_SUCCESS) return false;
  RegCloseKey(handle);
  return true;
}

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

bool FileExists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

void PostClick(HWND button) { Require(PostMessageA(button, BM_CLICK, 0, 0) != 0, "cannot post BM_CLICK"); }

void PostMenu(const TApp& app, const char* name) {
  Require(PostMessageA(app.window, WM_COMMAND, MAKEWPARAM(app::FindMainControl(name)->id, 0), 0) != 0,
          std::string("cannot post the menu entry ") + name);
}

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

}  // namespace gui_driver
