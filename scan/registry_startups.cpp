// Registry autostart locations ("Registry startups", "Other Startups Methods") and the custom
// registry dump.
#include <algorithm>
#include <array>
#include <exception>
#include <span>

#include "inspect/files.h"
#include "inspect/key_paths.h"
#include "inspect/paths.h"
#include "inspect/registry.h"
#include "inspect/system.h"
#include "inspect/text.h"
#include "scan/check_table.h"
#include "scan/registry_listers.h"
#include "scan/sections.h"
#include "scan/value_checks.h"

namespace scan {

namespace {

namespace win = platform::win;
namespace keys = inspect::keys;
constexpr RegKey kHkcr = platform::kHkeyClassesRoot;
constexpr RegKey kHkcu = platform::kHkeyCurrentUser;
constexpr RegKey kHklm = platform::kHkeyLocalMachine;
constexpr RegKey kHku = platform::kHkeyUsers;

std::vector<TValueText> AllValueTexts(RegKey root, const std::string& keyPath) {
  return ReadValueTexts(root, keyPath, [](const std::string&) { return true; });
}

// clang-format off
constexpr const char* kActiveSetupWhitelist[] = {
  "%systemroot%\\system32\\shmgrate.exe OCInstallUserConfigIE",
  "{Windows}\\inf\\unregmp2.exe /ShowWMP",
  "rundll32.exe advpack.dll,LaunchINFSection {Windows}\\INF\\wmp11.inf,PerUserStub",
  "rundll32.exe advpack.dll,LaunchINFSection {Windows}\\INF\\wmp.inf,PerUserStub",
  "rundll32.exe advpack.dll,LaunchINFSection {Windows}\\INF\\wmp10.inf,PerUserStub",
  "RunDLL32 IEDKCS32.DLL,BrandIE4 SIGNUP",
  "%SystemRoot%\\system32\\regsvr32.exe /s /n /i:/UserInstall %SystemRoot%\\system32\\themeui.dll",
  "{System}\\rundll32.exe {System}\\advpack.dll,LaunchINFSectionEx "
      "{ProgramFiles}\\Internet Explorer\\clrtour.inf,DefaultInstall.ResetTour,,12",
  "\"%ProgramFiles%\\Outlook Express\\setup50.exe\" /APP:WAB /CALLER:WINNT /user /install",
  "\"%ProgramFiles%\\Outlook Express\\setup50.exe\" /APP:OE /CALLER:WINNT /user /install",
  "regsvr32.exe /s /n /i:U shell32.dll",
  "{System}\\Rundll32.exe {System}\\mscories.dll,Install",
  "%systemroot%\\system32\\shmgrate.exe OCInstallUserConfigOE",
  "%SystemRoot%\\system32\\unregmp2.exe /ShowWMP",
  "{Windows}\\SysWOW64\\ie4uinit.exe -UserIconConfig",
  "\"{Windows}\\SysWOW64\\rundll32.exe\" \"{Windows}\\SysWOW64\\iedkcs32.dll\",BrandIEActiveSetup SIGNUP",
  "\"%ProgramFiles(x86)%\\Windows Mail\\WinMail.exe\" OCInstallUserConfigOE",
  "%SystemRoot%\\system32\\unregmp2.exe /FirstLogon /Shortcuts /RegBrowsers /ResetMUI",
  "{Windows}\\SysWOW64\\ie4uinit.exe -BaseSettings",
  "{Windows}\\SysWOW64\\Rundll32.exe {Windows}\\SysWOW64\\mscories.dll,Install",
  "%SystemRoot%\\system32\\ie4uinit.exe",
  "{System}\\ie4uinit.exe -UserIconConfig",
  "{System}\\ie4uinit.exe -BaseSettings",
  "\"{System}\\rundll32.exe\" \"{System}\\iedkcs32.dll\",BrandIEActiveSetup SIGNUP",
  "\"%ProgramFiles%\\Windows Mail\\WinMail.exe\" OCInstallUserConfigOE",
  "rundll32.exe advpack.dll,LaunchINFSection {Windows}\\INF\\msmsgs.inf,BLC.QuietInstall.PerUser",
  "%SystemRoot%\\System32\\rundll32.exe setupapi,InstallHinfSection MarketplaceLinkInstall 896 "
      "%systemroot%\\inf\\ie.inf",
  "rundll32.exe advpack.dll,LaunchINFSection {Windows}\\INF\\msnetmtg.inf,NetMtg.Install.PerUser.NT",
};
// clang-format on
static_assert(std::size(kActiveSetupWhitelist) == 28);

// ---------------------------------------------------------------------------------------------
// The check tables, walked in order by RunChecks.

constexpr TCheck kAll = TCheck::AllValues;
constexpr TCheck kValue = TCheck::Value;
constexpr TValueTest kNamed = TValueTest::Always;
constexpr TValueTest kNot = TValueTest::DiffersFromAll;
constexpr TValueTest kNotOrEmpty = TValueTest::DiffersOrEmpty;
constexpr TValueTest kNotContaining = TValueTest::DoesNotContain;

constexpr const char* kActiveSetup = "\\SOFTWARE\\Microsoft\\Active Setup\\Installed Components";
constexpr const char* kDefaultWindows = "\\.DEFAULT\\Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows";
constexpr const char* kCommandProcessor = "\\Software\\Microsoft\\Command Processor";
constexpr const char* kDrivers32 = "\\Software\\Microsoft\\Windows NT\\CurrentVersion\\Drivers32";
constexpr const char* kSessionManager = "\\SYSTEM\\CurrentControlSet\\Control\\Session Manager";
constexpr const char* kOpenWithArguments = "\"%1\" %*";
constexpr const char* kExplorer = "%SystemRoot%\\Explorer.exe";

// clang-format off
constexpr TCheckRow kRegistryStartupChecks[] = {
  {kHklm, keys::kRun, kAll},
  {kHkcu, keys::kRun, kAll},
  {kHku,  "\\.DEFAULT\\Software\\Microsoft\\Windows\\CurrentVersion\\Run", kAll},
  {kHku,  kDefaultWindows, kValue, "run", kNamed},
  {kHku,  kDefaultWindows, kValue, "load", kNamed},
  {kHklm, keys::kPoliciesRun, kAll},
  {kHkcu, keys::kPoliciesRun, kAll},
  {kHkcu, keys::kTerminalServerRun, TCheck::TerminalServerRun},
  {kHklm, keys::kTerminalServerRun, TCheck::TerminalServerRun},
  {kHklm, keys::kNtRun, kAll},
  {kHklm, keys::kRunOnce, kAll},
  {kHklm, keys::kRunOnceEx, kAll},
  {kHklm, keys::kRunServices, kAll},
  {kHklm, keys::kRunServicesOnce, kAll},
  {kHkcu, keys::kRunOnce, kAll},
  {kHkcu, keys::kRunOnceEx, kAll},
  {kHkcu, keys::kRunServices, kAll},
  {kHkcu, keys::kNtRun, kAll},
  {kHkcu, keys::kRunServicesOnce, kAll},
  {kHklm, kActiveSetup, TCheck::ActiveSetupStubs},
  {kHkcu, kActiveSetup, TCheck::ActiveSetupStubs},
  {kHklm, kCommandProcessor, kValue, "AutoRun", kNamed},
  {kHkcu, kCommandProcessor, kValue, "AutoRun", kNamed},
  {kHklm, "\\Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows", kValue, "load", kNamed},
  {kHklm, "\\SYSTEM\\CurrentControlSet\\Control\\SecurityProviders", kValue, "SecurityProviders", kNot,
          {"{SecurityProviders}"}},
  {kHklm, "\\SYSTEM\\ControlSet001\\Control\\SecurityProviders", kValue, "SecurityProviders", kNot,
          {"{SecurityProviders}"}},
  {kHkcu, keys::kDesktop, kValue, "SCRNSAVE.EXE", kNot, {"{System}\\logon.scr"}},
  {kHklm, keys::kWinlogon, kValue, "Shell", kNot, {"{Windows}\\Explorer.exe", "Explorer.exe"}},
  {kHklm, keys::kWinlogon, kValue, "System", kNamed},
  {kHklm, keys::kWinlogon, kValue, "Userinit", kNot,
          {"{System}\\userinit.exe,", "{System}\\userinit.exe", "Userinit.exe"}},
  {kHklm, keys::kWinlogon, kValue, "UIHost", kNot, {"logonui.exe"}},
  {kHklm, keys::kWinlogon, kValue, "Taskman", kNamed},
  {kHklm, keys::kWinlogon, kValue, "VmApplet", kNot, {"rundll32 shell32,Control_RunDLL \"sysdm.cpl\""}},
  {kHklm, keys::kNtWindows, kValue, "AppInit_DLLs", kNamed},
  {kHklm, "\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Browser Helper Objects",
          TCheck::BrowserHelperObjects},
};

constexpr TCheckRow kOtherStartupChecks[] = {
  {kHklm, "\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\ShellServiceObjectDelayLoad", TCheck::DelayLoadObjects},
  {kHkcr, keys::kExeFileOpen, kValue, "", kNot, {kOpenWithArguments}},
  {kHkcr, keys::kComFileOpen, kValue, "", kNot, {kOpenWithArguments}},
  {kHkcr, keys::kBatFileOpen, kValue, "", kNot, {kOpenWithArguments}},
  {kHkcr, keys::kPifFileOpen, kValue, "", kNot, {kOpenWithArguments}},
  {kHkcr, keys::kScrFileOpen, kValue, "", kNot, {"\"%1\" /S"}},
  {kHkcr, "\\logfile\\shell\\open\\command\\", kValue, "", kNot, {kOpenWithArguments}},
  {kHkcr, "\\Unknown\\shell\\openas\\command\\", kValue, "", kNot,
          {"%SystemRoot%\\system32\\rundll32.exe %SystemRoot%\\system32\\shell32.dll,OpenAs_RunDLL %1"}},
  {kHkcr, "\\Directory\\shell\\find\\command\\", kValue, "", kNot, {kExplorer}},
  {kHkcr, "\\Directory\\shell\\Winamp.Play\\command\\", kValue, "", kNot,
          {"\"{ProgramFiles}\\Winamp\\Winamp.exe\" \"%1\""}},
  {kHkcr, "\\Folder\\shell\\open\\command\\", kValue, "", kNotContaining, {kExplorer}},
  {kHkcr, "\\Folder\\shell\\explore\\command\\", kValue, "", kNot, {"%SystemRoot%\\Explorer.exe /e,/idlist,%I,%L"}},
  {kHkcr, "\\Drive\\shell\\find\\command\\", kValue, "", kNot, {kExplorer}},
  {kHkcr, "\\Applications\\iexplore.exe\\shell\\open\\command\\", kValue, "", kNot,
          {"\"{ProgramFiles}\\Internet Explorer\\iexplore.exe\" %1"}},
  {kHklm, "\\SOFTWARE\\Clients\\StartMenuInternet\\IEXPLORE.EXE\\shell\\open\\command\\", kValue, "",
          kNotContaining, {"{ProgramFiles}\\Internet Explorer\\iexplore.exe"}},
  {kHklm, keys::kWinlogonNotify, TCheck::WinlogonNotify},
  {kHkcu, keys::kWinlogonNotify, TCheck::WinlogonNotify},
  {kHklm, "\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\ShellExecuteHooks", TCheck::ClsidHookValues},
  {kHklm, "\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\SharedTaskScheduler", TCheck::ClsidHookValues},
  {kHklm, kDrivers32, kValue, "midi", kNot, {"wdmaud.drv"}},
  {kHklm, kDrivers32, kValue, "midi9", kNamed},
  {kHklm, "\\SYSTEM\\CurrentControlSet\\Control\\Session Manager\\SubSystems", kValue, "Windows", kNotContaining,
          {"%SystemRoot%\\system32\\csrss.exe ObjectDirectory"}},
  // A key named "debugger" below AeDebug: absent on a clean system, so silent there.
  {kHklm, "\\Software\\Microsoft\\Windows NT\\CurrentVersion\\AeDebug\\debugger", kAll},
  {kHklm, keys::kSafeBoot, kValue, "AlternateShell", kNotOrEmpty, {"cmd.exe"}},
  {kHklm, keys::kWinlogon, kValue, "TaskMan", kNamed},
  {kHklm, keys::kWinlogon, kValue, "GinaDLL", kNamed},
  {kHklm, keys::kWinlogon, kValue, "AppSetup", kNamed},
  {kHklm, "\\Software\\Microsoft\\Windows NT\\CurrentVersion\\Image File Execution Options",
          TCheck::DebuggerHijacks},
  {kHklm, kSessionManager, kValue, "Execute", kNamed},
  {kHklm, kSessionManager, kValue, "S0InitialCommand", kNamed},
  {kHkcu, "\\Software\\Mirabilis\\ICQ\\Agent\\Apps\\test", kValue, "Path", kNamed},
  {kHklm, keys::kNtWindows, kValue, "CrntDLL", kNamed},
};
// clang-format on
static_assert(std::size(kRegistryStartupChecks) == 35);
static_assert(std::size(kOtherStartupChecks) == 32);

}  // namespace

// ---------------------------------------------------------------------------------------------
// Shared pieces

bool ExcludedAsMicrosoft(const TScanOptions& options, const std::string& data) {
  return options.ExcludeMicrosoftFiles && inspect::IsProtectedSystemFile(inspect::ModuleFromCommandLine(data));
}

std::string ClassServerFile(RegKey root, const std::string& classKey, TServerRead read) {
  const std::string valuePath = classKey + "\\InProcServer32\\";
  std::string file;
  if (read == TServerRead::ExpandThenPlain && inspect::RegReadExpandString(root, valuePath, &file) && !file.empty()) {
    return file;
  }
  inspect::RegReadString(root, valuePath, &file);
  return file;
}

std::string ClsidValueEntry(const std::string& name, const std::string& data, const std::string& clsid,
                            const std::string& keyText) {
  return inspect::ValueEntry(name, data + "\r\nCLSID: " + clsid, keyText);
}

void ListSubkeyValues(TReport& report, const std::string& keyPath, RegKey root, const std::string& valueName,
                      const std::function<bool(const std::string& text)>& keep) {
  const auto wanted = [&](const std::string& name) { return inspect::EqualNoCase(name, valueName); };
  for (const std::string& subkey : inspect::ReaderSubkeyNames(root, keyPath)) {
    Guarded([&] {
      const std::string subkeyPath = keyPath + "\\" + subkey;
      for (const TValueText& value : ReadValueTexts(root, subkeyPath, wanted)) {
        if (!value.text.empty() && keep(value.text)) {
          report.Add(inspect::ValueEntry(value.name, value.text, inspect::RootKeyName(root) + subkeyPath));
        }
      }
    });
  }
}

// ---------------------------------------------------------------------------------------------
// Listers

void ListTerminalServerRun(TReport& report, RegKey root) {
  const std::string keyText = inspect::RootKeyName(root) + keys::kTerminalServerRun;
  for (const TValueText& value : AllValueTexts(root, keys::kTerminalServerRun)) {
    if (!value.text.empty()) report.Add(inspect::ValueEntry(value.name, value.text, keyText));
  }
}

void ListDelayLoadObjects(TReport& report, const TScanOptions& options, const std::string& keyPath, RegKey root) {
  const std::string keyText = inspect::RootKeyName(root) + keyPath;
  for (const TValueText& value : AllValueTexts(root, keyPath)) {
    Guarded([&] {
      if (value.text.empty()) return;
      const std::string file =
          ClassServerFile(root, "SOFTWARE\\Classes\\CLSID\\" + value.text, TServerRead::ExpandThenPlain);
      if (file.empty() || ExcludedAsMicrosoft(options, file)) return;
      report.Add(ClsidValueEntry(value.name, file, value.text, keyText));
    });
  }
}

void ListClsidHookValues(TReport& report, const TScanOptions& options, const std::string& keyPath, RegKey root) {
  const std::string keyText = inspect::RootKeyName(root) + keyPath;
  for (const TValueText& value : AllValueTexts(root, keyPath)) {
    Guarded([&] {
      if (value.name.empty()) return;
      const std::string file = ClassServerFile(kHkcr, "CLSID\\" + value.name, TServerRead::ExpandThenPlain);
      if (file.empty() || ExcludedAsMicrosoft(options, file)) return;
      report.Add(ClsidValueEntry(value.text, file, value.name, keyText));
    });
  }
}

void ListBrowserHelperObjects(TReport& report, const TScanOptions& options, const std::string& keyPath,
                              RegKey root) {
  for (const std::string& clsid : inspect::ReaderSubkeyNames(root, keyPath)) {
    Guarded([&] {
      const std::string file = ClassServerFile(kHkcr, "CLSID\\" + clsid, TServerRead::PlainOnly);
      if (file.empty() || ExcludedAsMicrosoft(options, file)) return;
      report.Add(inspect::ValueEntry(clsid, file, inspect::RootKeyName(root) + keyPath + "\\" + clsid));
    });
  }
}

std::vector<std::string> ActiveSetupWhitelist() {
  const TMachineTexts texts = CurrentMachineTexts();
  std::vector<std::string> list;
  for (const char* pattern : kActiveSetupWhitelist) list.push_back(Expand(pattern, texts));
  return list;
}

void ListActiveSetupStubs(TReport& report, const TScanOptions& options, const std::string& keyPath, RegKey root) {
  const std::vector<std::string> whitelist = options.ExcludeMicrosoftFiles ? ActiveSetupWhitelist()
                                                                           : std::vector<std::string>{};
  ListSubkeyValues(report, keyPath, root, "StubPath", [&](const std::string& text) {
    return std::none_of(whitelist.begin(), whitelist.end(),
                        [&](const std::string& known) { return inspect::EqualNoCase(text, known); });
  });
}

void ListWinlogonNotify(TReport& report, const TScanOptions& options, const std::string& keyPath, RegKey root) {
  ListSubkeyValues(report, keyPath, root, "DllName",
                   [&](const std::string& text) { return !ExcludedAsMicrosoft(options, text); });
}

void ListDebuggerHijacks(TReport& report, const std::string& keyPath, RegKey root) {
  ListSubkeyValues(report, keyPath, root, "Debugger",
                   [](const std::string& text) { return text != "ntsd -d"; });
}

// ---------------------------------------------------------------------------------------------
// Section writers

void WriteRegistryStartups(TReport& report, const TScanOptions& options) {
  RunChecks(report, options, kRegistryStartupChecks);
}

void WriteOtherStartups(TReport& report, const TScanOptions& options) {
  RunChecks(report, options, kOtherStartupChecks);
}

void WriteCustomRegistryDump(TReport& report, const std::vector<std::string>& entries) {
  for (const std::string& entry : entries) {
    if (inspect::TrimControls(entry).empty()) continue;
    const RegKey root = inspect::RootKeyFromName(inspect::RootPartOf(entry));
    const std::string path = inspect::KeyPartOf(entry);
    Guarded([&] {
      if (inspect::RegKeyExists(root, path)) DumpRegistryKey("\\" + path, root, report);
    });
    Guarded([&] {
      if (!inspect::RegValueExists(root, path)) return;
      const auto split = path.rfind('\\');
      ReportNamedValue(report, "\\" + path.substr(0, split), path.substr(split + 1), root);
    });
  }
  report.Add("");
}

}  // namespace scan
