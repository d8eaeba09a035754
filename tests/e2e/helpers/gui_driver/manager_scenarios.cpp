// The manager pages: Startups, the editors and the BHOs list, the file deleter.
#include "tests/e2e/helpers/gui_driver/scenarios.h"

namespace gui_driver {

namespace {

// ---- The manager pages ----------------------------------------------------------------------

constexpr const char* kRunKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr const char* kSessionManager = "SYSTEM\\CurrentControlSet\\Control\\Session Manager";
constexpr const char* kPendingValue = "PendingFileRenameOperations";


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

}  // namespace

std::span<const TScenario> ManagerScenarios() {
  static constexpr TScenario kRows[] = {
      {"startups", ScenarioStartups},
      {"editors", ScenarioEditors},
      {"delete-file", ScenarioDeleteFile},
  };
  return kRows;
}

}  // namespace gui_driver
