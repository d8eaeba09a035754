// The window itself: pages, settings, language, Delete Logs, the keyboard, the update check.
#include "tests/e2e/helpers/gui_driver/scenarios.h"

namespace gui_driver {

namespace {

// Every page button shows its page and only its caption is bold; a screenshot of each page,
// and of each Settings sub-page.
void ScenarioPages(const std::string& exe) {
  TApp app(exe);
  for (int round = 0; round < 2; ++round) {
    for (const app::TControl& button : app::kControls) {
      if (button.kind != app::TKind::PageButton) continue;
      Click(Find(app, button.name));
      for (const app::TControl& other : app::kControls) {
        if (other.kind == app::TKind::PageButton) {
          const bool bold = GetPropA(Find(app, other.name), app::kBoldProperty) != nullptr;
          Check(bold == (other.value == button.value),
                std::string(button.name) + " clicked: " + other.name + (bold ? " is" : " is not") + " bold");
        }
        if (app::IsPagePanel(other)) {
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
  for (int sub = 1; sub < app::kSettingsTabCount; ++sub) {
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
  Ask(app.window, WM_COMMAND, MAKEWPARAM(app::IdOf("cb"), CBN_SELCHANGE), reinterpret_cast<LPARAM>(cb), nullptr);
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
  for (const app::TControl& row : app::kControls) {
    if (row.kind == app::TKind::PageButton) expected.push_back(row.name);
  }
  expected.push_back("AdvPC4");
  for (const app::TControl& row : app::kControls) {
    if (row.place == app::kPageSettings && row.sub == app::kGeneral && row.kind == app::TKind::CheckBox) {
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
  for (int sub = 0; sub < app::kExclusions; ++sub) Ask(tabs, WM_KEYDOWN, VK_RIGHT, 0, nullptr);
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
  HWND link = FindControl(update, app::FindControl(app::kPlaceUpdate, "Label1")->id);
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

}  // namespace

std::span<const TScenario> WindowScenarios() {
  static constexpr TScenario kRows[] = {
      {"pages", ScenarioPages},
      {"settings", ScenarioSettings},
      {"language", ScenarioLanguage},
      {"logs", ScenarioLogs},
      {"keys", ScenarioKeys},
      {"update", ScenarioUpdate},
  };
  return kRows;
}

}  // namespace gui_driver
