// Scans from the window: a full run, and runs cut short by closing the window or by Exit.
#include "tests/e2e/helpers/gui_driver/scenarios.h"

namespace gui_driver {

namespace {

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
  HWND analyzer = FindControl(app.window, app::IdOf("AdvGlowButton2"));
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


// "Save the report" on; reading stops at the first missing key, the rest keep their defaults.
constexpr const char kSaveReportOptions[] = "[Options]\r\n4=0\r\n5=0\r\n3=0\r\n9=0\r\n10=-1\r\n";


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
    Check(!KeyExists(HKEY_LOCAL_MACHINE, kLegacyKey), how + " skipped the end of the run: the driver's device keys are still there");
    Check(!KeyExists(HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Services\\kvdrv"), how + " left the driver's service key");
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
  PostMessageA(app.window, WM_COMMAND, MAKEWPARAM(app::IdOf("Exit1"), 0), 0);
  const long code = app.WaitExit();
  Check(code == 0, "Exit during a scan ends the process with code 0 (got " + std::to_string(code) + ")");
  leftovers.CheckNone("Exit during a scan");
  std::string ini;
  ReadFileText(folder + "Data\\Options.ini", &ini);
  Check(Contains(ini, "33="), "Exit saved the settings");
}

}  // namespace

std::span<const TScenario> ScanScenarios() {
  static constexpr TScenario kRows[] = {
      {"scan", ScenarioScan},
      {"close-scan", ScenarioCloseDuringScan},
      {"background", ScenarioBackground},
      {"exit-scan", ScenarioExitDuringScan},
  };
  return kRows;
}

}  // namespace gui_driver
