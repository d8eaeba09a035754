// The autostart and tampering sections read from the registry: Winlogon and logon, LSA, image and
// process hooks, COM and shell, print/time/netsh/boot, Office, tampering. Locations that a
// classic section already reports are left to it. The x86_64 build reads the 32-bit copies
// (Wow6432Node) as well.
#include "scan/extra_registry_sections.h"

#include <algorithm>
#include <iterator>
#include <span>
#include <vector>

#include "inspect/files.h"
#include "inspect/key_paths.h"
#include "inspect/registry.h"
#include "inspect/system.h"
#include "inspect/text.h"
#include "platform/handles.h"
#include "scan/check_table.h"
#include "scan/file_lines.h"
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

constexpr TCheck kAll = TCheck::AllValues;
constexpr TCheck kValue = TCheck::Value;
constexpr TValueTest kNamed = TValueTest::Always;
constexpr TValueTest kIs = TValueTest::EqualsExactly;
constexpr TValueTest kNot = TValueTest::DiffersFromAll;

bool StartsWithNoCase(const std::string& text, const std::string& prefix) {
  return text.size() >= prefix.size() && inspect::EqualNoCase(text.substr(0, prefix.size()), prefix);
}

std::vector<std::string> Split(const std::string& text, char separator) {
  std::vector<std::string> parts;
  size_t start = 0;
  for (size_t at; (at = text.find(separator, start)) != std::string::npos; start = at + 1) {
    parts.push_back(text.substr(start, at - start));
  }
  parts.push_back(text.substr(start));
  return parts;
}

bool MatchesItem(const std::string& text, const std::string& item) {
  if (!item.empty() && item.back() == '*') return StartsWithNoCase(text, item.substr(0, item.size() - 1));
  return inspect::EqualNoCase(text, item);
}

std::vector<TValueText> AllValueTexts(RegKey root, const std::string& keyPath) {
  return ReadValueTexts(root, keyPath, [](const std::string&) { return true; });
}

// ---------------------------------------------------------------------------------------------
// Stock lists: what clean systems of the supported kinds hold.

constexpr const char* kStockSecurityPackages = "kerberos|msv1_0|schannel|wdigest|tspkg|pku2u|\"\"";
constexpr const char* kStockNotificationPackages = "scecli|rassfm|kdcsvc|FPNWCLNT";
constexpr const char* kStockGpExtensions =
    "userenv.dll|scecli.dll|gptext.dll|fdeploy.dll|iedkcs32.dll|dskquota.dll|appmgmts.dll|polstore.dll|"
    "wlgpclnt.dll|dot3gpclnt.dll|gpprefcl.dll|auditcse.dll|cscobj.dll|gpscript.dll|srchadmin.dll|dfscli.dll|"
    "TsUsbRedirectionGroupPolicyExtension.dll|tsworkspace.dll";
constexpr const char* kStockPortMonitors =
    "localspl.dll|tcpmon.dll|usbmon.dll|pjlmon.dll|lprmon.dll|sfmmon.dll|FXSMON.DLL|WSDMon.dll|cnbjmon.dll|"
    "APMon.dll|AppMon.dll";
constexpr const char* kStockNetshHelpers =
    "ipmontr.dll|ipxmontr.dll|ipxpromn.dll|ippromon.dll|ifmon.dll|rasmontr.dll|aaaamon.dll|dhcpmon.dll|"
    "hnetmon.dll|wshelper.dll|nshipsec.dll|fwcfg.dll|ipv6mon.dll|dgnet.dll|wcnnetsh.dll|whhelper.dll|"
    "wlancfg.dll|winsmon.dll|authfwcfg.dll|dhcpcmonitor.dll|dot3cfg.dll|napmontr.dll|netiohlp.dll|"
    "nettrace.dll|nshhttp.dll|nshwfp.dll|p2pnetsh.dll|rpcnsh.dll|peerdistsh.dll|wwancfg.dll";
constexpr const char* kStockHiddenUsers =
    "HelpAssistant|TsInternetUser|SQLAgentCmdExec|NetShowServices|ASPNET|HomeGroupUser$|IUSR_*|IWAM_*|VUSR_*";

// ---------------------------------------------------------------------------------------------
// Key paths

constexpr const char* kLsa = "\\SYSTEM\\CurrentControlSet\\Control\\Lsa";
constexpr const char* kIfeo = "\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Image File Execution Options";
constexpr const char* kIfeo32 =
    "\\SOFTWARE\\Wow6432Node\\Microsoft\\Windows NT\\CurrentVersion\\Image File Execution Options";
constexpr const char* kAeDebug = "\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\AeDebug";
constexpr const char* kWerHangs = "\\SOFTWARE\\Microsoft\\Windows\\Windows Error Reporting\\Hangs";
constexpr const char* kOfficeTest = "\\Software\\Microsoft\\Office test\\Special\\Perf";
constexpr const char* kDefenderPolicies = "\\SOFTWARE\\Policies\\Microsoft\\Windows Defender";
constexpr const char* kDefenderRealTime = "\\SOFTWARE\\Policies\\Microsoft\\Windows Defender\\Real-Time Protection";
constexpr const char* kDefender = "\\SOFTWARE\\Microsoft\\Windows Defender";

// ---------------------------------------------------------------------------------------------
// The check tables. Each section has its rows and the rows of the 32-bit copies, which only the
// x86_64 build reads (a 32-bit build sees the 32-bit view already).

// Left to the classic sections: the machine's Shell/Userinit/Taskman and Winlogon\Notify, the
// Active Setup stubs and the values of RunOnceEx itself.
// clang-format off
constexpr TCheckRow kWinlogonRows[] = {
  {kHkcu, keys::kWinlogon, kValue, "Shell", kNamed},
  {kHkcu, keys::kWinlogon, kValue, "Userinit", kNamed},
  {kHkcu, keys::kSystemPolicies, kValue, "Shell", kNamed},
  {kHklm, "\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon\\GPExtensions", TCheck::SubkeyValues,
          "DllName", kNamed, {kStockGpExtensions}},
  {kHkcu, "\\Environment", kValue, "UserInitMprLogonScript", kNamed},
  {kHklm, "\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Group Policy\\Scripts\\Startup",
          TCheck::NestedSubkeyValues, "Script"},
  {kHklm, "\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Group Policy\\Scripts\\Shutdown",
          TCheck::NestedSubkeyValues, "Script"},
  {kHkcu, "\\Software\\Microsoft\\Windows\\CurrentVersion\\Group Policy\\Scripts\\Logon",
          TCheck::NestedSubkeyValues, "Script"},
  {kHkcu, "\\Software\\Microsoft\\Windows\\CurrentVersion\\Group Policy\\Scripts\\Logoff",
          TCheck::NestedSubkeyValues, "Script"},
  {kHklm, keys::kRunOnceEx, TCheck::SubkeyAllValues},
  {kHkcu, keys::kRunOnceEx, TCheck::SubkeyAllValues},
};
constexpr TCheckRow kWinlogonRows32[] = {
  {kHklm, "\\SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\RunOnceEx", kAll},
  {kHklm, "\\SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\RunOnceEx", TCheck::SubkeyAllValues},
  {kHklm, "\\SOFTWARE\\Wow6432Node\\Microsoft\\Active Setup\\Installed Components", TCheck::ActiveSetupStubs},
};

constexpr TCheckRow kLsaRows[] = {
  {kHklm, kLsa, TCheck::UnlistedItems, "Security Packages", kNamed, {kStockSecurityPackages}},
  {kHklm, kLsa, TCheck::UnlistedItems, "Authentication Packages", kNamed, {"msv1_0"}},
  {kHklm, kLsa, TCheck::UnlistedItems, "Notification Packages", kNamed, {kStockNotificationPackages}},
  {kHklm, "\\SYSTEM\\CurrentControlSet\\Control\\Lsa\\OSConfig", TCheck::UnlistedItems, "Security Packages", kNamed,
          {kStockSecurityPackages}},
  {kHklm, "\\SYSTEM\\CurrentControlSet\\Services\\NTDS", kValue, "LsaDbExtPt", kNamed},
  {kHklm, "\\SYSTEM\\CurrentControlSet\\Services\\NTDS", kValue, "DirectoryServiceExtPt", kNamed},
};

// Left to the classic sections: IFEO "Debugger" of the native view, the machine's AppInit_DLLs
// and AppCertDlls "AppSecDll".
constexpr TCheckRow kImageHookRows[] = {
  {kHklm, "\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\SilentProcessExit", TCheck::SilentExitMonitors, "",
          kNamed, {kIfeo}},
  {kHklm, "\\SYSTEM\\CurrentControlSet\\Control\\Session Manager\\AppCertDlls", TCheck::UnlistedValueNames, "",
          kNamed, {"AppSecDll"}},
  {kHklm, kAeDebug, kValue, "Debugger", kNot, {"drwtsn32 -p %ld -e %ld -g"}},
  {kHklm, kWerHangs, kValue, "Debugger", kNamed},
  {kHklm, kWerHangs, kValue, "ReflectDebugger", kNamed},
};
constexpr TCheckRow kImageHookRows32[] = {
  {kHklm, kIfeo32, TCheck::DebuggerHijacks},
  {kHklm, "\\SOFTWARE\\Wow6432Node\\Microsoft\\Windows NT\\CurrentVersion\\Windows", kValue, "AppInit_DLLs", kNamed},
  {kHklm, "\\SOFTWARE\\Wow6432Node\\Microsoft\\Windows NT\\CurrentVersion\\AeDebug", kValue, "Debugger", kNot,
          {"drwtsn32 -p %ld -e %ld -g"}},
};

// Left to the classic sections: exefile's open command, which HKEY_CLASSES_ROOT shows from the
// user's classes too.
constexpr TCheckRow kComShellRows[] = {
  {kHkcu, "\\Software\\Classes\\CLSID", TCheck::UserClassOverrides},
  {kHkcu, "\\Software\\Classes\\mscfile\\shell\\open\\command", kValue, "", kNamed},
  {kHkcu, "\\Software\\Classes\\ms-settings\\shell\\open\\command", kValue, "", kNamed},
  {kHkcu, "\\Software\\Classes\\Folder\\shell\\open\\command", kValue, "", kNamed},
  {kHkcu, "\\Software\\Classes\\htafile\\shell\\open\\command", kValue, "", kNamed},
  {kHkcu, "\\Software\\Classes\\.hta", kValue, "", kNamed},
  {kHkcr, "\\*\\shellex\\ContextMenuHandlers", TCheck::ContextMenuHandlers},
  {kHkcr, "\\AllFilesystemObjects\\shellex\\ContextMenuHandlers", TCheck::ContextMenuHandlers},
  {kHkcr, "\\Directory\\shellex\\ContextMenuHandlers", TCheck::ContextMenuHandlers},
  {kHkcr, "\\Directory\\Background\\shellex\\ContextMenuHandlers", TCheck::ContextMenuHandlers},
  {kHkcr, "\\Folder\\shellex\\ContextMenuHandlers", TCheck::ContextMenuHandlers},
  {kHkcu, "\\Environment", kValue, "COR_PROFILER", kNamed},
  {kHkcu, "\\Environment", kValue, "COR_PROFILER_PATH", kNamed},
  {kHklm, "\\SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Environment", kValue, "COR_PROFILER", kNamed},
  {kHklm, "\\SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Environment", kValue, "COR_PROFILER_PATH", kNamed},
};

// Left to the classic sections: SafeBoot "AlternateShell" and Session Manager "Execute".
constexpr TCheckRow kPrintBootRows[] = {
  {kHklm, "\\SYSTEM\\CurrentControlSet\\Control\\Print\\Monitors", TCheck::SubkeyValues, "Driver", kNamed,
          {kStockPortMonitors}},
  {kHklm, "\\SYSTEM\\CurrentControlSet\\Control\\Print\\Environments\\Windows NT x86\\Print Processors",
          TCheck::SubkeyValues, "Driver", kNamed, {"winprint.dll"}},
  {kHklm, "\\SYSTEM\\CurrentControlSet\\Control\\Print\\Environments\\Windows x64\\Print Processors",
          TCheck::SubkeyValues, "Driver", kNamed, {"winprint.dll"}},
  {kHklm, "\\SYSTEM\\CurrentControlSet\\Services\\W32Time\\TimeProviders", TCheck::SubkeyValues, "DllName", kNamed,
          {"w32time.dll|vmictimeprovider.dll"}},
  {kHklm, "\\SOFTWARE\\Microsoft\\NetSh", TCheck::UnlistedValues, "", kNamed, {kStockNetshHelpers}},
  {kHklm, keys::kSessionManager, TCheck::UnlistedItems, "BootExecute", kNamed, {"autocheck autochk *"}},
  {kHklm, keys::kSessionManager, TCheck::UnlistedItems, "SetupExecute", kNamed, {""}},
  {kHklm, "\\SYSTEM\\CurrentControlSet\\Control\\BootVerificationProgram", kValue, "ImagePath", kNamed},
};
constexpr TCheckRow kPrintBootRows32[] = {
  {kHklm, "\\SOFTWARE\\Wow6432Node\\Microsoft\\NetSh", TCheck::UnlistedValues, "", kNamed, {kStockNetshHelpers}},
};

constexpr TCheckRow kOfficeRows[] = {
  {kHkcu, kOfficeTest, kValue, "", kNamed},
  {kHklm, kOfficeTest, kValue, "", kNamed},
};
constexpr TCheckRow kOfficeRows32[] = {
  {kHklm, "\\SOFTWARE\\Wow6432Node\\Microsoft\\Office test\\Special\\Perf", kValue, "", kNamed},
};

// Left to "System Hijack": EnableLUA, the Security Center switches, the firewall policy
// switches, AppInit signing, the user's Hidden and ShowSuperHidden. The user's HideFileExt is
// 1 on a clean system and is not reported.
constexpr TCheckRow kTamperingRows[] = {
  {kHklm, kDefenderPolicies, kValue, "DisableAntiSpyware", kIs, {"1"}},
  {kHklm, kDefenderPolicies, kValue, "DisableAntiVirus", kIs, {"1"}},
  {kHklm, kDefenderRealTime, kValue, "DisableRealtimeMonitoring", kIs, {"1"}},
  {kHklm, kDefenderRealTime, kValue, "DisableBehaviorMonitoring", kIs, {"1"}},
  {kHklm, kDefenderRealTime, kValue, "DisableOnAccessProtection", kIs, {"1"}},
  {kHklm, kDefenderRealTime, kValue, "DisableIOAVProtection", kIs, {"1"}},
  {kHklm, kDefender, kValue, "DisableAntiSpyware", kIs, {"1"}},
  {kHklm, "\\SOFTWARE\\Policies\\Microsoft\\Windows Defender\\Exclusions\\Paths", kAll},
  {kHklm, "\\SOFTWARE\\Policies\\Microsoft\\Windows Defender\\Exclusions\\Processes", kAll},
  {kHklm, "\\SOFTWARE\\Policies\\Microsoft\\Windows Defender\\Exclusions\\Extensions", kAll},
  {kHklm, "\\SOFTWARE\\Microsoft\\Windows Defender\\Exclusions\\Paths", kAll},
  {kHklm, "\\SOFTWARE\\Microsoft\\Windows Defender\\Exclusions\\Processes", kAll},
  {kHklm, "\\SOFTWARE\\Microsoft\\Windows Defender\\Exclusions\\Extensions", kAll},
  {kHklm, "\\SYSTEM\\CurrentControlSet\\Services\\WinDefend", kValue, "Start", kIs, {"4"}},
  {kHklm, "\\SYSTEM\\CurrentControlSet\\Services\\wscsvc", kValue, "Start", kIs, {"4"}},
  {kHklm, "\\SYSTEM\\CurrentControlSet\\Services\\MpsSvc", kValue, "Start", kIs, {"4"}},
  {kHklm, "\\SYSTEM\\CurrentControlSet\\Services\\EventLog", kValue, "Start", kIs, {"4"}},
  {kHklm, "\\SYSTEM\\CurrentControlSet\\Control\\WMI\\Autologger\\EventLog-System", kValue, "Start", kIs, {"0"}},
  {kHklm, "\\SYSTEM\\CurrentControlSet\\Control\\WMI\\Autologger\\EventLog-Application", kValue, "Start", kIs,
          {"0"}},
  {kHklm, "\\SYSTEM\\CurrentControlSet\\Control\\WMI\\Autologger\\EventLog-Security", kValue, "Start", kIs, {"0"}},
  {kHkcu, "\\Software\\Microsoft\\Windows Script\\Settings", kValue, "AmsiEnable", kIs, {"0"}},
  {kHklm, "\\SOFTWARE\\Microsoft\\Windows Script\\Settings", kValue, "AmsiEnable", kIs, {"0"}},
  {kHklm, keys::kSystemPolicies, kValue, "ConsentPromptBehaviorAdmin", kNot, {"5", "2"}},
  {kHklm, keys::kSystemPolicies, kValue, "PromptOnSecureDesktop", kIs, {"0"}},
  {kHklm, keys::kSystemPolicies, kValue, "LocalAccountTokenFilterPolicy", kIs, {"1"}},
  {kHklm, "\\SYSTEM\\CurrentControlSet\\Services\\SharedAccess\\Parameters\\FirewallPolicy\\StandardProfile", kValue,
          "EnableFirewall", kIs, {"0"}},
  {kHklm, "\\SYSTEM\\CurrentControlSet\\Services\\SharedAccess\\Parameters\\FirewallPolicy\\DomainProfile", kValue,
          "EnableFirewall", kIs, {"0"}},
  {kHklm, "\\SYSTEM\\CurrentControlSet\\Services\\SharedAccess\\Parameters\\FirewallPolicy\\PublicProfile", kValue,
          "EnableFirewall", kIs, {"0"}},
  {kHklm, "\\SYSTEM\\CurrentControlSet\\Services\\SharedAccess\\Parameters\\FirewallPolicy\\FirewallRules",
          TCheck::FirewallRules},
  {kHklm, "\\SYSTEM\\CurrentControlSet\\Services\\PortProxy\\v4tov4\\tcp", kAll},
  {kHklm, "\\SYSTEM\\CurrentControlSet\\Services\\PortProxy\\v4tov6\\tcp", kAll},
  {kHklm, "\\SYSTEM\\CurrentControlSet\\Services\\PortProxy\\v6tov4\\tcp", kAll},
  {kHklm, "\\SYSTEM\\CurrentControlSet\\Services\\PortProxy\\v6tov6\\tcp", kAll},
  {kHklm, "\\SYSTEM\\CurrentControlSet\\Control\\Terminal Server", kValue, "fDenyTSConnections", kIs, {"0"}},
  {kHklm, "\\SYSTEM\\CurrentControlSet\\Control\\Terminal Server\\WinStations\\RDP-Tcp", kValue, "PortNumber", kNot,
          {"3389"}},
  {kHklm, "\\SYSTEM\\CurrentControlSet\\Control\\SecurityProviders\\WDigest", kValue, "UseLogonCredential", kIs,
          {"1"}},
  {kHklm, "\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon\\SpecialAccounts\\UserList",
          TCheck::UnlistedValueNames, "", kNamed, {kStockHiddenUsers}},
  {kHklm, keys::kExplorerAdvanced, kValue, "Hidden", kNamed},
  {kHklm, keys::kExplorerAdvanced, kValue, "HideFileExt", kNamed},
};
// clang-format on

void RunViews(TReport& report, const TScanOptions& options, std::span<const TCheckRow> rows,
              std::span<const TCheckRow> rows32 = {}) {
  RunChecks(report, options, rows);
  if (!rows32.empty() && platform::Sys().Is64BitProcess()) RunChecks(report, options, rows32);
}

// Reads one value's type and bytes from an open key; false when it cannot be read.
bool QueryRaw(RegKey key, const std::string& name, uint32_t* type, std::vector<uint8_t>* data) {
  return platform::Reg().QueryValue(key, name, type, data) == win::kErrorSuccess;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Listers

bool IsStockText(const std::string& text, const std::string& stockList) {
  std::vector<std::string> forms{text};
  for (const std::string& prefix :
       {std::string("%SystemRoot%\\System32\\"), std::string("%windir%\\system32\\"), inspect::GetSystemDir() + "\\"}) {
    if (prefix.size() > 1 && StartsWithNoCase(text, prefix)) forms.push_back(text.substr(prefix.size()));
  }
  for (const std::string& item : Split(stockList, '|')) {
    for (const std::string& form : forms) {
      if (MatchesItem(form, item)) return true;
    }
  }
  return false;
}

void ListSubkeyValuesExcept(TReport& report, const std::string& keyPath, RegKey root, const std::string& valueName,
                            const std::string& stockList) {
  ListSubkeyValues(report, keyPath, root, valueName,
                   [&](const std::string& text) { return !IsStockText(text, stockList); });
}

void ListSubkeyAllValues(TReport& report, const std::string& keyPath, RegKey root) {
  for (const std::string& subkey : inspect::ReaderSubkeyNames(root, keyPath)) {
    Guarded([&] {
      const std::string subkeyPath = keyPath + "\\" + subkey;
      const std::string keyText = inspect::RootKeyName(root) + subkeyPath;
      for (const TValueText& value : AllValueTexts(root, subkeyPath)) {
        if (!value.text.empty()) report.Add(inspect::ValueEntry(value.name, value.text, keyText));
      }
    });
  }
}

void ListNestedSubkeyValues(TReport& report, const std::string& keyPath, RegKey root, const std::string& valueName) {
  for (const std::string& subkey : inspect::ReaderSubkeyNames(root, keyPath)) {
    Guarded([&] {
      ListSubkeyValues(report, keyPath + "\\" + subkey, root, valueName, [](const std::string&) { return true; });
    });
  }
}

void ListUnlistedValues(TReport& report, const std::string& keyPath, RegKey root, const std::string& stockList,
                        bool byName) {
  const std::string keyText = inspect::RootKeyName(root) + keyPath;
  for (const TValueText& value : AllValueTexts(root, keyPath)) {
    if (value.text.empty() || IsStockText(byName ? value.name : value.text, stockList)) continue;
    report.Add(inspect::ValueEntry(value.name, value.text, keyText));
  }
}

void ListUnlistedItems(TReport& report, const std::string& keyPath, RegKey root, const std::string& valueName,
                       const std::string& stockList) {
  inspect::TReaderKey key(root, keyPath);
  if (!key.ok()) return;
  for (const std::string& name : key.reader().GetValueNames()) {
    if (!inspect::EqualNoCase(name, valueName)) continue;
    uint32_t type = 0;
    std::vector<uint8_t> data;
    if (!QueryRaw(key.reader().CurrentKey(), name, &type, &data)) continue;
    if (type != win::kRegMultiSz && type != win::kRegSz && type != win::kRegExpandSz) continue;
    const std::string bytes(data.begin(), data.end());
    std::vector<std::string> items;
    for (const std::string& item : Split(bytes, '\0')) {
      if (!item.empty()) items.push_back(item);
      if (type != win::kRegMultiSz) break;  // a plain string ends at its NUL
    }
    bool unlisted = false;
    std::string text;
    for (const std::string& item : items) {
      unlisted = unlisted || !IsStockText(item, stockList);
      text += (text.empty() ? "" : " ") + item;
    }
    if (unlisted) report.Add(inspect::ValueEntry(name, text, inspect::RootKeyName(root) + keyPath));
  }
}

void ListSilentExitMonitors(TReport& report, const std::string& keyPath, RegKey root, const std::string& ifeoPath) {
  const auto monitor = [](const std::string& name) { return inspect::EqualNoCase(name, "MonitorProcess"); };
  for (const std::string& image : inspect::ReaderSubkeyNames(root, keyPath)) {
    Guarded([&] {
      const std::string imagePath = keyPath + "\\" + image;
      bool found = false;
      for (const TValueText& value : ReadValueTexts(root, imagePath, monitor)) {
        if (value.text.empty()) continue;
        report.Add(inspect::ValueEntry(value.name, value.text, inspect::RootKeyName(root) + imagePath));
        found = true;
      }
      if (found) ReportNamedValue(report, ifeoPath + "\\" + image, "GlobalFlag", root);
    });
  }
}

void ListUserClassOverrides(TReport& report, const std::string& keyPath, RegKey root) {
  for (const std::string& clsid : inspect::ReaderSubkeyNames(root, keyPath)) {
    Guarded([&] {
      const std::string classPath = keyPath + "\\" + clsid;
      if (inspect::RegKeyExists(kHklm, "SOFTWARE\\Classes\\CLSID\\" + clsid)) {
        for (const char* server : {"InprocServer32", "LocalServer32", "TreatAs"}) {
          ReportNamedValue(report, classPath + "\\" + server, "", root);
        }
      }
      ReportNamedValue(report, classPath + "\\ScriptletURL", "", root);
    });
  }
}

void ListContextMenuHandlers(TReport& report, const TScanOptions& options, const std::string& keyPath, RegKey root) {
  const std::string relative(keys::KeyPathOf(keyPath));
  for (const std::string& handler : inspect::ReaderSubkeyNames(root, keyPath)) {
    Guarded([&] {
      std::string clsid = handler;
      if (!clsid.starts_with('{') && !inspect::RegReadString(root, relative + "\\" + handler + "\\", &clsid)) return;
      if (!clsid.starts_with('{')) return;
      const std::string file = ClassServerFile(kHkcr, "CLSID\\" + clsid, TServerRead::ExpandThenPlain);
      if (file.empty() || ExcludedAsMicrosoft(options, file)) return;
      report.Add(ClsidValueEntry(handler, file, clsid, inspect::RootKeyName(root) + keyPath + "\\" + handler));
    });
  }
}

void ListFirewallRules(TReport& report, const std::string& keyPath, RegKey root) {
  const std::string keyText = inspect::RootKeyName(root) + keyPath;
  for (const TValueText& value : AllValueTexts(root, keyPath)) {
    bool allow = false, active = false, resourceName = false;
    for (const std::string& field : Split(value.text, '|')) {
      allow = allow || inspect::EqualNoCase(field, "Action=Allow");
      active = active || inspect::EqualNoCase(field, "Active=TRUE");
      resourceName = resourceName || StartsWithNoCase(field, "Name=@");
    }
    if (allow && active && !resourceName) report.Add(inspect::ValueEntry(value.name, value.text, keyText));
  }
}

void ListReplacedAccessibilityTools(TReport& report, const TScanOptions& options) {
  const std::string system = inspect::GetSystemDir();
  std::vector<uint64_t> shellSizes;
  for (const std::string& shell :
       {system + "\\cmd.exe", system + "\\taskmgr.exe", inspect::GetWindowsDir() + "\\explorer.exe"}) {
    if (const uint64_t size = inspect::FileSizeOf(shell)) shellSizes.push_back(size);
  }
  for (const char* tool : {"sethc.exe", "utilman.exe", "osk.exe", "magnify.exe", "narrator.exe", "DisplaySwitch.exe",
                           "AtBroker.exe"}) {
    Guarded([&] {
      const std::string path = system + "\\" + tool;
      if (!inspect::FileExists(path)) return;
      const uint64_t size = inspect::FileSizeOf(path);
      const bool copied = std::find(shellSizes.begin(), shellSizes.end(), size) != shellSizes.end();
      if (copied || !inspect::EqualNoCase(inspect::FileCompanyName(path), "Microsoft Corporation")) {
        AddFileLine(path, report, options.UseMd5Exclusions, options.Md5Exclusions);
      }
    });
  }
}

// ---------------------------------------------------------------------------------------------
// Section writers

void WriteWinlogonAndLogon(TReport& report, const TScanOptions& options) {
  RunViews(report, options, kWinlogonRows, kWinlogonRows32);
}

void WriteLsa(TReport& report, const TScanOptions& options) { RunViews(report, options, kLsaRows); }

void WriteImageHooks(TReport& report, const TScanOptions& options) {
  RunViews(report, options, kImageHookRows, kImageHookRows32);
  Guarded([&] { ListReplacedAccessibilityTools(report, options); });
}

void WriteComAndShell(TReport& report, const TScanOptions& options) { RunViews(report, options, kComShellRows); }

void WritePrintTimeNetshBoot(TReport& report, const TScanOptions& options) {
  RunViews(report, options, kPrintBootRows, kPrintBootRows32);
}

void WriteOffice(TReport& report, const TScanOptions& options) {
  RunViews(report, options, kOfficeRows, kOfficeRows32);
  const std::string appData = inspect::GetSpecialFolder(win::kCsidlAppData);
  if (appData.empty()) return;
  for (const char* folder : {"\\Microsoft\\Word\\STARTUP", "\\Microsoft\\Excel\\XLSTART", "\\Microsoft\\AddIns"}) {
    Guarded([&] { ListFolderFiles(report, options, appData + folder, "*.*", false); });
  }
}

void WriteTampering(TReport& report, const TScanOptions& options) { RunViews(report, options, kTamperingRows); }

}  // namespace scan
