// Policy hijacks, the Safe Mode keys, Bifrost markers and suspicious Run values.
#include <charconv>
#include <cstdint>
#include <iterator>
#include <vector>

#include "inspect/paths.h"
#include "inspect/registry.h"
#include "inspect/system.h"
#include "inspect/text.h"
#include "scan/run_value_filters.h"
#include "scan/sections.h"
#include "scan/value_checks.h"

namespace scan {

namespace {

namespace win = platform::win;
using platform::kHkeyCurrentUser;
using platform::kHkeyLocalMachine;

enum class THijackCheck {
  Is,              // the text equals `expected`, letter case counts
  NotEmpty,        // any text
  NotWindowsFile,  // differs (case ignored) from the Windows folder + `expected`
  EveryValue,      // every value of the key, empty or not
};

struct THijackRow {
  RegKey root;
  const char* key;
  const char* value;
  THijackCheck check;
  const char* expected;
};

constexpr RegKey kLm = kHkeyLocalMachine;
constexpr RegKey kCu = kHkeyCurrentUser;
constexpr const char* kSystemPolicies = "\\Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\System";
constexpr const char* kExplorerPolicies = "\\Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer";
constexpr const char* kWindowsSystemPolicies = "\\Software\\Policies\\Microsoft\\Windows\\system";
constexpr const char* kActiveDesktop = "\\Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\ActiveDesktop";
constexpr const char* kWinlogon = "\\Software\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon";
constexpr const char* kExplorerAdvanced = "\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Advanced";
constexpr const char* kSecurityCenter = "\\Software\\Microsoft\\Security Center";
constexpr const char* kOle = "\\Software\\Microsoft\\Ole";
constexpr const char* kDesktop = "\\Control Panel\\Desktop";
constexpr const char* kNtWindows = "\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Windows";
constexpr const char* kUserPhishingFilter = "\\Software\\Microsoft\\Internet Explorer\\PhishingFilter";
using H = THijackCheck;

// The values a hijack sets to lock the user out or to weaken the system, in report order.
// clang-format off
constexpr THijackRow kHijackRows[] = {
  {kLm, kSystemPolicies, "DisableTaskMgr", H::Is, "1"},
  {kLm, kSystemPolicies, "DisableRegistryTools", H::Is, "1"},
  {kCu, kSystemPolicies, "DisableTaskMgr", H::Is, "1"},
  {kCu, kSystemPolicies, "DisableRegistryTools", H::Is, "1"},
  {kLm, kSystemPolicies, "EnableLUA", H::Is, "0"},
  {kCu, kSystemPolicies, "EnableLUA", H::Is, "0"},
  {kCu, kSystemPolicies, "NoDispScrSavPage", H::Is, "1"},
  {kCu, kSystemPolicies, "NoDispBackgroundPage", H::Is, "1"},
  {kLm, "\\software\\microsoft\\security center\\Monitoring", "DisableMonitoring", H::Is, "1"},
  {kLm, kSystemPolicies, "NoControlPanel", H::Is, "1"},
  {kLm, kSystemPolicies, "DisableCMD", H::Is, "1"},
  {kCu, kSystemPolicies, "DisableCMD", H::Is, "1"},
  {kLm, kSystemPolicies, "NoDispCPL", H::Is, "1"},
  {kCu, kSystemPolicies, "NoDispCPL", H::Is, "1"},
  {kLm, kWindowsSystemPolicies, "DisableCMD", H::Is, "1"},
  {kCu, kWindowsSystemPolicies, "DisableCMD", H::Is, "1"},
  {kCu, "\\Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer\\DisallowRun", "", H::EveryValue, nullptr},
  {kCu, kExplorerPolicies, "DisallowRun", H::Is, "1"},
  {kLm, "\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Advanced\\Folder\\Hidden\\SHOWALL", "CheckedValue", H::Is, "0"},
  {kLm, "\\SOFTWARE\\Policies\\Microsoft\\Windows\\WindowsUpdate", "DoNotAllowXPSP2", H::Is, "1"},
  {kLm, "\\SOFTWARE\\Policies\\Microsoft\\MRT", "DontReportInfectionInformation", H::Is, "1"},
  {kLm, "\\Software\\Microsoft\\Windows NT\\CurrentVersion\\SystemRestore", "DisableSR", H::Is, "1"},
  {kLm, "\\SOFTWARE\\Policies\\Microsoft\\Windows NT\\Windows File Protection", "SFCScan", H::Is, "0"},
  {kLm, kWinlogon, "SFCScan", H::Is, "0"},
  {kLm, kWinlogon, "SFCDisable", H::Is, "1"},
  {kLm, "\\SOFTWARE\\Policies\\Microsoft\\WindowsFirewall\\StandardProfile", "EnableFirewall", H::Is, "0"},
  {kLm, "\\SOFTWARE\\Policies\\Microsoft\\WindowsFirewall\\DomainProfile", "EnableFirewall", H::Is, "0"},
  {kLm, "\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SystemFileProtection", "ShowPopups", H::Is, "0"},
  {kCu, kExplorerPolicies, "NofolderOptions", H::Is, "1"},
  {kLm, kExplorerPolicies, "NofolderOptions", H::Is, "1"},
  {kCu, kExplorerPolicies, "NoWindowsUpdate", H::Is, "1"},
  {kLm, kExplorerPolicies, "NoWindowsUpdate", H::Is, "1"},
  {kCu, kExplorerPolicies, "NoViewContextMenu", H::Is, "1"},
  {kCu, kExplorerPolicies, "NoTrayContextMenu", H::Is, "1"},
  {kCu, kActiveDesktop, "NoChangingWallpaper", H::Is, "1"},
  {kLm, kActiveDesktop, "NoChangingWallpaper", H::Is, "1"},
  {kCu, kExplorerPolicies, "NoSetActiveDesktop", H::Is, "1"},
  {kCu, kExplorerPolicies, "NoActiveDesktopChanges", H::Is, "1"},
  {kCu, "\\Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Associations", "LowRiskFileTypes", H::Is, ".exe"},
  {kCu, kExplorerAdvanced, "Hidden", H::Is, "2"},
  {kCu, kExplorerAdvanced, "ShowSuperHidden", H::Is, "0"},
  {kLm, kSecurityCenter, "FirstRunDisabled", H::Is, "1"},
  {kLm, kSecurityCenter, "AntiVirusDisableNotify", H::Is, "1"},
  {kLm, kSecurityCenter, "FirewallDisableNotify", H::Is, "1"},
  {kLm, kSecurityCenter, "UpdatesDisableNotify", H::Is, "1"},
  {kLm, kSecurityCenter, "AntiVirusOverride", H::Is, "1"},
  {kLm, kSecurityCenter, "FirewallOverride", H::Is, "1"},
  {kLm, kSecurityCenter, "UacDisableNotify", H::Is, "1"},
  {kLm, kOle, "EnableDCOM", H::Is, "Y"},
  {kLm, kOle, "EnableRemoteConnect", H::Is, "Y"},
  {kLm, "\\SYSTEM\\CurrentControlSet\\Services\\SharedAccess", "Start", H::Is, "4"},
  {kLm, "\\SYSTEM\\CurrentControlSet\\Services\\RemoteRegistry", "Start", H::Is, "2"},
  {kLm, "\\SYSTEM\\CurrentControlSet\\Services\\RemoteAccess", "Start", H::Is, "2"},
  {kLm, "\\SYSTEM\\CurrentControlSet\\Services\\wuauserv", "Start", H::Is, "4"},
  {kLm, "\\SYSTEM\\CurrentControlSet\\Services\\TlntSvr", "Start", H::Is, "2"},
  {kCu, kDesktop, "Wallpaper", H::NotWindowsFile, "\\web\\wallpaper\\Bliss.bmp"},
  {kCu, kDesktop, "OriginalWallpaper", H::NotEmpty, nullptr},
  {kCu, kDesktop, "ConvertedWallpaper", H::NotEmpty, nullptr},
  {kLm, kNtWindows, "RequireSignedAppInit_DLLs", H::Is, "0"},
  {kLm, kNtWindows, "LoadAppInit_DLLs", H::Is, "1"},
  {kLm, "\\SYSTEM\\CurrentControlSet\\Control\\Session Manager\\AppCertDlls", "AppSecDll", H::NotEmpty, nullptr},
  {kCu, "\\Software\\Microsoft\\Internet Explorer\\Desktop", "host", H::NotEmpty, nullptr},
  {kLm, "\\SOFTWARE\\Policies\\Microsoft\\Internet Explorer\\Main", "DEPOff", H::Is, "1"},
  {kLm, "\\SOFTWARE\\Microsoft\\Internet Explorer\\PhishingFilter", "EnabledV8", H::Is, "0"},
  {kCu, kUserPhishingFilter, "Enabled", H::Is, "0"},
  {kLm, kUserPhishingFilter, "Enabled", H::Is, "0"},
};
// clang-format on
static_assert(std::size(kHijackRows) == 66);

// The Safe Mode boot list: without it Windows cannot start in Safe Mode, which some malware
// arranges so that it cannot be removed there.
void CheckSafeBoot(TReport& report) {
  const std::string version = inspect::WindowsVersionName();
  const bool newer = inspect::IsWow64() || version == "WinVista" || version == "Win7";
  const char* key = newer ? "SYSTEM\\ControlSet001\\Control\\SafeBoot\\Minimal\\vga.sys"
                          : "SYSTEM\\CurrentControlSet\\Control\\SafeBoot\\Minimal\\dmio.sys";
  if (!inspect::RegKeyExists(kHkeyLocalMachine, key)) report.Add("SafeBoot (Minimal) is NOT PRESENT!");
}

// The text a hit of the root remembers: the last subkey of its software key holding the marker.
std::string LastMarkedSoftwareKey(RegKey root, const char* softwareKey, const char* marker,
                                  const std::string& rootText) {
  inspect::TRegistryReader& reader = inspect::ScanRegistry();
  reader.SetRootKey(root);
  if (!reader.OpenKey(softwareKey)) return "";
  const std::vector<std::string> subKeys = reader.GetKeyNames();
  reader.CloseKey();
  std::string found;
  for (const std::string& subKey : subKeys) {
    if (!reader.OpenKey(std::string(softwareKey) + "\\" + subKey)) continue;
    for (const std::string& name : reader.GetValueNames()) {
      if (inspect::EqualNoCase(name, marker)) {
        found = rootText + "\\SOFTWARE\\" + subKey;
        break;
      }
    }
    reader.CloseKey();
  }
  return found;
}

// Walks the Run key's values and appends one item for each that `select` accepts. `select` gets
// the value's name and rendered text, and may replace the text by the one the line shows.
template <typename Select>
void ListRunValues(const std::string& keyPath, RegKey root, TReport& report, TRunLineForm form, Select select) {
  const std::string keyText = inspect::RootKeyName(root) + keyPath;
  for (TValueText& value : ReadValueTexts(root, keyPath, [](const std::string&) { return true; })) {
    if (!select(value.name, value.text)) continue;
    report.Add((form == TRunLineForm::Full ? keyText + "\\" + value.name + " -> " + value.text : value.text) +
               "\r\n");
  }
}

// The long form of a folder; empty when the system does not know the folder.
std::string LongFolder(const std::string& folder) { return folder.empty() ? "" : inspect::LongPathOf(folder); }

// Case-sensitive containment of long forms; an unknown folder matches nothing.
bool InFolder(const std::string& longPath, const std::string& longFolder) {
  return !longFolder.empty() && longPath.find(longFolder) != std::string::npos;
}

bool IsClsidShaped(const std::string& name) {
  return name.find('{') != std::string::npos && name.find('-') != std::string::npos &&
         name.find('}') != std::string::npos;
}

}  // namespace

void WriteSystemHijack(TReport& report, const TScanOptions&) {
  for (const THijackRow& row : kHijackRows) {
    switch (row.check) {
      case H::Is: ReportValueIfEquals(report, row.key, row.value, row.root, row.expected); break;
      case H::NotEmpty: ReportNamedValue(report, row.key, row.value, row.root); break;
      case H::NotWindowsFile:
        ReportValueIfNot(report, row.key, row.value, row.root, inspect::GetWindowsDir() + row.expected);
        break;
      case H::EveryValue: DumpRegistryKey(row.key, row.root, report); break;
    }
  }
  CheckSafeBoot(report);
}

void FindBifrostMarkers(TReport& report) {
  const std::string machine = LastMarkedSoftwareKey(kHkeyLocalMachine, "\\SOFTWARE", "nck", "HKEY_LOCAL_MACHINE");
  const std::string user = LastMarkedSoftwareKey(kHkeyCurrentUser, "\\Software", "klg", "HKEY_CURRENT_USER");
  if (!machine.empty()) report.Add(machine + " -> Bifrost RAT");
  if (!user.empty()) report.Add(user + " -> Bifrost RAT");
}

void ListClsidNamedRunValues(const std::string& keyPath, RegKey root, TReport& report, TRunLineForm form) {
  const std::string appData = LongFolder(inspect::GetSpecialFolder(win::kCsidlAppData));
  ListRunValues(keyPath, root, report, form, [&](const std::string& name, std::string& text) {
    if (!IsClsidShaped(name)) return false;
    text = inspect::ExeFromCommandLine(text);
    return InFolder(inspect::LongPathOf(text), appData);
  });
}

void ListNumericRunValues(const std::string& keyPath, RegKey root, TReport& report, TRunLineForm form) {
  ListRunValues(keyPath, root, report, form, [](const std::string&, std::string& text) {
    const std::string trimmed = inspect::TrimControls(text);
    int32_t number = 0;
    const char* end = trimmed.data() + trimmed.size();
    const auto [stop, error] = std::from_chars(trimmed.data(), end, number);
    return !trimmed.empty() && error == std::errc() && stop == end && number >= 5;
  });
}

void ListRunValuesInDataFolders(const std::string& keyPath, RegKey root, TReport& report, TRunLineForm form) {
  // Tested in this order; the first hit lists the value.
  const std::string folders[] = {LongFolder(inspect::GetSpecialFolder(win::kCsidlAppData)),
                                 LongFolder(inspect::GetSpecialFolder(win::kCsidlCommonAppData)),
                                 LongFolder(inspect::GetTempDir())};
  ListRunValues(keyPath, root, report, form, [&](const std::string&, std::string& text) {
    text = inspect::ExeFromCommandLine(text);
    const std::string longPath = inspect::LongPathOf(text);
    for (const std::string& folder : folders) {
      if (InFolder(longPath, folder)) return true;
    }
    return false;
  });
}

void WriteSuspiciousRegistryKeys(TReport& report, const TScanOptions&) {
  FindBifrostMarkers(report);
  for (auto filter : {ListClsidNamedRunValues, ListNumericRunValues, ListRunValuesInDataFolders}) {
    for (RegKey root : {kHkeyLocalMachine, kHkeyCurrentUser}) filter(kRunKeyPath, root, report, TRunLineForm::Full);
  }
}

}  // namespace scan
