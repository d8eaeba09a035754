// The Restorer page and the Windows Tools menu.
#include "tests/e2e/helpers/gui_driver/scenarios.h"

namespace gui_driver {

namespace {

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
  for (int step = 0; step < app::kRestorerTabCount; ++step) {
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
  for (int sub = 0; sub < app::kRestorerTabCount; ++sub) {
    SelectRestorerTab(app, sub);
    if (sub == app::kSystemHijacks) {
      Click(Find(app, "CheckBox13"));  // Restore Task Manager
      Click(Find(app, "CheckBox29"));  // Enable Windows Firewall
    } else if (sub == app::kStartupHijacks) {
      Click(Find(app, "CheckBox16"));  // Restore Userinit
    } else if (sub == app::kSafeMode) {
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
  Check(ValueOf(HKEY_LOCAL_MACHINE, kWinlogon, "Userinit") == Sz(SystemDir() + "\\userinit.exe,"),
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
  SelectRestorerTab(app, app::kIeHijacks);
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
  for (const app::TControl& c : app::kControls) {
    if (c.place != app::kPlaceMenu || c.kind != app::TKind::MenuItem || c.sub <= 0) continue;
    if (name == std::string(c.name)) return (states >> index) & 1u;
    ++index;
  }
  throw Failure(std::string("no Windows Tools entry ") + name);
}

// Asks a power question through the menu and answers No, the only answer a test gives.
void AnswerPowerQuestionNo(const TApp& app, const char* entry, const std::string& question) {
  PostMessageA(app.window, WM_COMMAND, MAKEWPARAM(app::FindMainControl(entry)->id, 0), 0);
  HWND box = WaitDialog(app.Pid(), "Info", kWindowTimeoutMs);
  Require(box != nullptr, std::string(entry) + " asks nothing");
  Check(DialogText(box) == question, std::string(entry) + " asks \"" + DialogText(box) + "\"");
  Require(GetDlgItem(box, IDYES) && GetDlgItem(box, IDNO), std::string(entry) + " asks Yes or No");
  Press(box, IDNO);
  Check(Ask(app.window, WM_NULL, 0, 0, nullptr) && app.Running() && IsWindowVisible(app.window),
        std::string("No to ") + entry + " leaves the program running");
}

void ScenarioTools(const std::string& exe) {
  const std::string system = SystemDir();
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
      {"RegistryEditor1", FileExists(WindowsDir() + "\\regedit.exe")},
      {"GroupPolicyEditorgpeditmsc1", false},  // came after the first showing
      {"SystemConfigurationUtility1", FileExists(WindowsDir() + "\\pchealth\\helpctr\\binaries\\msconfig.exe")},
  };
  for (const auto& [name, enabled] : entries) {
    Check(ToolEntryEnabled(app, name) == enabled, std::string(name) + (enabled ? " is greyed" : " is enabled"));
  }

  // An entry starts its program: the Registry Editor's window shows, and is closed again.
  PostMessageA(app.window, WM_COMMAND, MAKEWPARAM(app::IdOf("RegistryEditor1"), 0), 0);
  HWND regedit = nullptr;
  for (const DWORD start = GetTickCount(); !regedit && GetTickCount() - start < kWindowTimeoutMs; Sleep(100)) {
    regedit = FindWindowA("RegEdit_RegEdit", nullptr);
  }
  Check(regedit != nullptr, "\"Registry Editor (regedit.exe)\" shows no Registry Editor");
  if (regedit) PostMessageA(regedit, WM_CLOSE, 0, 0);

  AnswerPowerQuestionNo(app, "RebootSystem1", "Do you want to reboot the system ?");
  AnswerPowerQuestionNo(app, "ShutdownPC1", "Do you want to shutdown the system ?");

  PostMessageA(app.window, WM_COMMAND, MAKEWPARAM(app::IdOf("Run1"), 0), 0);
  HWND dialog = WaitDialog(app.Pid(), "Select a program to run", kWindowTimeoutMs);
  Require(dialog != nullptr, "Run... shows no dialog titled \"Select a program to run\"");
  ScreenshotHandshake(app, "run_dialog");
  Press(dialog, IDCANCEL);
  Check(app.Close() == 0, "the window closes with code 0");
}

}  // namespace

std::span<const TScenario> RestorerScenarios() {
  static constexpr TScenario kRows[] = {
      {"restorer", ScenarioRestorer},
      {"tools", ScenarioTools},
  };
  return kRows;
}

}  // namespace gui_driver
