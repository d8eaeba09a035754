// Policy hijacks, the Safe Mode keys, Bifrost markers and suspicious Run values.
#include <cstdint>
#include <iterator>
#include <vector>

#include "inspect/key_paths.h"
#include "inspect/paths.h"
#include "inspect/registry.h"
#include "inspect/system.h"
#include "inspect/text.h"
#include "scan/check_table.h"
#include "scan/run_value_filters.h"
#include "scan/sections.h"
#include "scan/value_checks.h"

namespace scan {

namespace {

namespace win = platform::win;
using platform::kHkeyCurrentUser;
using platform::kHkeyLocalMachine;

constexpr RegKey kLm = kHkeyLocalMachine;
constexpr RegKey kCu = kHkeyCurrentUser;
using namespace inspect::keys;
constexpr TCheck kValue = TCheck::Value;
constexpr TValueTest kIs = TValueTest::EqualsExactly;
constexpr TValueTest kNamed = TValueTest::Always;

// The values a hijack sets to lock the user out or to weaken the system, in report order.
// clang-format off
constexpr TCheckRow kHijackRows[] = {
  {kLm, kSystemPolicies, kValue, "DisableTaskMgr", kIs, {"1"}},
  {kLm, kSystemPolicies, kValue, "DisableRegistryTools", kIs, {"1"}},
  {kCu, kSystemPolicies, kValue, "DisableTaskMgr", kIs, {"1"}},
  {kCu, kSystemPolicies, kValue, "DisableRegistryTools", kIs, {"1"}},
  {kLm, kSystemPolicies, kValue, "EnableLUA", kIs, {"0"}},
  {kCu, kSystemPolicies, kValue, "EnableLUA", kIs, {"0"}},
  {kCu, kSystemPolicies, kValue, "NoDispScrSavPage", kIs, {"1"}},
  {kCu, kSystemPolicies, kValue, "NoDispBackgroundPage", kIs, {"1"}},
  {kLm, "\\software\\microsoft\\security center\\Monitoring", kValue, "DisableMonitoring", kIs, {"1"}},
  {kLm, kSystemPolicies, kValue, "NoControlPanel", kIs, {"1"}},
  {kLm, kSystemPolicies, kValue, "DisableCMD", kIs, {"1"}},
  {kCu, kSystemPolicies, kValue, "DisableCMD", kIs, {"1"}},
  {kLm, kSystemPolicies, kValue, "NoDispCPL", kIs, {"1"}},
  {kCu, kSystemPolicies, kValue, "NoDispCPL", kIs, {"1"}},
  {kLm, kWindowsSystemPolicies, kValue, "DisableCMD", kIs, {"1"}},
  {kCu, kWindowsSystemPolicies, kValue, "DisableCMD", kIs, {"1"}},
  {kCu, kDisallowRun, TCheck::AllValues},
  {kCu, kExplorerPolicies, kValue, "DisallowRun", kIs, {"1"}},
  {kLm, kShowAllHidden, kValue, "CheckedValue", kIs, {"0"}},
  {kLm, "\\SOFTWARE\\Policies\\Microsoft\\Windows\\WindowsUpdate", kValue, "DoNotAllowXPSP2", kIs, {"1"}},
  {kLm, "\\SOFTWARE\\Policies\\Microsoft\\MRT", kValue, "DontReportInfectionInformation", kIs, {"1"}},
  {kLm, kSystemRestore, kValue, "DisableSR", kIs, {"1"}},
  {kLm, kFileProtectionPolicies, kValue, "SFCScan", kIs, {"0"}},
  {kLm, kWinlogon, kValue, "SFCScan", kIs, {"0"}},
  {kLm, kWinlogon, kValue, "SFCDisable", kIs, {"1"}},
  {kLm, kFirewallStandardPolicy, kValue, "EnableFirewall", kIs, {"0"}},
  {kLm, kFirewallDomainPolicy, kValue, "EnableFirewall", kIs, {"0"}},
  {kLm, kSystemFileProtection, kValue, "ShowPopups", kIs, {"0"}},
  {kCu, kExplorerPolicies, kValue, "NofolderOptions", kIs, {"1"}},
  {kLm, kExplorerPolicies, kValue, "NofolderOptions", kIs, {"1"}},
  {kCu, kExplorerPolicies, kValue, "NoWindowsUpdate", kIs, {"1"}},
  {kLm, kExplorerPolicies, kValue, "NoWindowsUpdate", kIs, {"1"}},
  {kCu, kExplorerPolicies, kValue, "NoViewContextMenu", kIs, {"1"}},
  {kCu, kExplorerPolicies, kValue, "NoTrayContextMenu", kIs, {"1"}},
  {kCu, kActiveDesktopPolicies, kValue, "NoChangingWallpaper", kIs, {"1"}},
  {kLm, kActiveDesktopPolicies, kValue, "NoChangingWallpaper", kIs, {"1"}},
  {kCu, kExplorerPolicies, kValue, "NoSetActiveDesktop", kIs, {"1"}},
  {kCu, kExplorerPolicies, kValue, "NoActiveDesktopChanges", kIs, {"1"}},
  {kCu, kAssociationsPolicies, kValue, "LowRiskFileTypes", kIs, {".exe"}},
  {kCu, kExplorerAdvanced, kValue, "Hidden", kIs, {"2"}},
  {kCu, kExplorerAdvanced, kValue, "ShowSuperHidden", kIs, {"0"}},
  {kLm, kSecurityCenter, kValue, "FirstRunDisabled", kIs, {"1"}},
  {kLm, kSecurityCenter, kValue, "AntiVirusDisableNotify", kIs, {"1"}},
  {kLm, kSecurityCenter, kValue, "FirewallDisableNotify", kIs, {"1"}},
  {kLm, kSecurityCenter, kValue, "UpdatesDisableNotify", kIs, {"1"}},
  {kLm, kSecurityCenter, kValue, "AntiVirusOverride", kIs, {"1"}},
  {kLm, kSecurityCenter, kValue, "FirewallOverride", kIs, {"1"}},
  {kLm, kSecurityCenter, kValue, "UacDisableNotify", kIs, {"1"}},
  {kLm, kOle, kValue, "EnableDCOM", kIs, {"Y"}},
  {kLm, kOle, kValue, "EnableRemoteConnect", kIs, {"Y"}},
  {kLm, "\\SYSTEM\\CurrentControlSet\\Services\\SharedAccess", kValue, "Start", kIs, {"4"}},
  {kLm, "\\SYSTEM\\CurrentControlSet\\Services\\RemoteRegistry", kValue, "Start", kIs, {"2"}},
  {kLm, "\\SYSTEM\\CurrentControlSet\\Services\\RemoteAccess", kValue, "Start", kIs, {"2"}},
  {kLm, "\\SYSTEM\\CurrentControlSet\\Services\\wuauserv", kValue, "Start", kIs, {"4"}},
  {kLm, "\\SYSTEM\\CurrentControlSet\\Services\\TlntSvr", kValue, "Start", kIs, {"2"}},
  {kCu, kDesktop, kValue, "Wallpaper", TValueTest::DiffersFromAll, {"{Windows}\\web\\wallpaper\\Bliss.bmp"}},
  {kCu, kDesktop, kValue, "OriginalWallpaper", kNamed},
  {kCu, kDesktop, kValue, "ConvertedWallpaper", kNamed},
  {kLm, kNtWindows, kValue, "RequireSignedAppInit_DLLs", kIs, {"0"}},
  {kLm, kNtWindows, kValue, "LoadAppInit_DLLs", kIs, {"1"}},
  {kLm, "\\SYSTEM\\CurrentControlSet\\Control\\Session Manager\\AppCertDlls", kValue, "AppSecDll", kNamed},
  {kCu, "\\Software\\Microsoft\\Internet Explorer\\Desktop", kValue, "host", kNamed},
  {kLm, kInternetExplorerMainPolicies, kValue, "DEPOff", kIs, {"1"}},
  {kLm, kMachinePhishingFilter, kValue, "EnabledV8", kIs, {"0"}},
  {kCu, kPhishingFilter, kValue, "Enabled", kIs, {"0"}},
  {kLm, kPhishingFilter, kValue, "Enabled", kIs, {"0"}},
};
// clang-format on
static_assert(std::size(kHijackRows) == 66);

// The Safe Mode boot list: without it Windows cannot start in Safe Mode, which some malware
// arranges so that it cannot be removed there.
void CheckSafeBoot(TReport& report) {
  const std::string key = inspect::IsNewerWindows()
                              ? inspect::CurrentControlSetPath() + "\\Control\\SafeBoot\\Minimal\\vga.sys"
                              : "SYSTEM\\CurrentControlSet\\Control\\SafeBoot\\Minimal\\dmio.sys";
  if (!inspect::RegKeyExists(kHkeyLocalMachine, key)) report.Add("SafeBoot (Minimal) is NOT PRESENT!");
}

// The text a hit of the root remembers: the last subkey of its software key holding the marker.
std::string LastMarkedSoftwareKey(RegKey root, const char* softwareKey, const char* marker,
                                  const std::string& rootText) {
  std::string found;
  for (const std::string& subKey : inspect::ReaderSubkeyNames(root, softwareKey)) {
    inspect::TReaderKey key(root, std::string(softwareKey) + "\\" + subKey);
    if (!key.ok()) continue;
    for (const std::string& name : key.reader().GetValueNames()) {
      if (inspect::EqualNoCase(name, marker)) {
        found = rootText + "\\SOFTWARE\\" + subKey;
        break;
      }
    }
  }
  return found;
}

// Appends one item for each of the Run key's values that `select` accepts. `select` gets the
// value's name and rendered text, and may replace the text by the one the line shows.
template <typename Select>
void ListRunValues(const std::string& keyText, std::vector<TValueText> values, TReport& report, TRunLineForm form,
                   Select select) {
  for (TValueText& value : values) {
    if (!select(value.name, value.text)) continue;
    report.Add((form == TRunLineForm::Full ? keyText + "\\" + value.name + " -> " + value.text : value.text) +
               "\r\n");
  }
}

std::vector<TValueText> ReadRunValues(const std::string& keyPath, RegKey root) {
  return ReadValueTexts(root, keyPath, [](const std::string&) { return true; });
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

void WriteSystemHijack(TReport& report, const TScanOptions& options) {
  RunChecks(report, options, kHijackRows);
  CheckSafeBoot(report);
}

void FindBifrostMarkers(TReport& report) {
  const std::string machine = LastMarkedSoftwareKey(kHkeyLocalMachine, "\\SOFTWARE", "nck", "HKEY_LOCAL_MACHINE");
  const std::string user = LastMarkedSoftwareKey(kHkeyCurrentUser, "\\Software", "klg", "HKEY_CURRENT_USER");
  if (!machine.empty()) report.Add(machine + " -> Bifrost RAT");
  if (!user.empty()) report.Add(user + " -> Bifrost RAT");
}

namespace {

void ListFilteredRunValues(TRunFilter filter, const std::string& keyText, const std::vector<TValueText>& values,
                           TReport& report, TRunLineForm form) {
  switch (filter) {
    case TRunFilter::ClsidNamed: {
      const std::string appData = LongFolder(inspect::GetSpecialFolder(win::kCsidlAppData));
      ListRunValues(keyText, values, report, form, [&](const std::string& name, std::string& text) {
        if (!IsClsidShaped(name)) return false;
        text = inspect::ExeFromCommandLine(text);
        return InFolder(inspect::LongPathOf(text), appData);
      });
      break;
    }
    case TRunFilter::Numeric:
      ListRunValues(keyText, values, report, form, [](const std::string&, std::string& text) {
        const std::string trimmed = inspect::TrimControls(text);
        int32_t number = 0;
        return inspect::ParseInt32(trimmed, &number) && number >= 5;
      });
      break;
    case TRunFilter::InDataFolders: {
      // Tested in this order; the first hit lists the value.
      const std::string folders[] = {LongFolder(inspect::GetSpecialFolder(win::kCsidlAppData)),
                                     LongFolder(inspect::GetSpecialFolder(win::kCsidlCommonAppData)),
                                     LongFolder(inspect::GetTempDir())};
      ListRunValues(keyText, values, report, form, [&](const std::string&, std::string& text) {
        text = inspect::ExeFromCommandLine(text);
        const std::string longPath = inspect::LongPathOf(text);
        for (const std::string& folder : folders) {
          if (InFolder(longPath, folder)) return true;
        }
        return false;
      });
      break;
    }
  }
}

void ListFilteredRunValues(TRunFilter filter, const std::string& keyPath, RegKey root, TReport& report,
                           TRunLineForm form) {
  ListFilteredRunValues(filter, inspect::RootKeyName(root) + keyPath, ReadRunValues(keyPath, root), report, form);
}

}  // namespace

void ListClsidNamedRunValues(const std::string& keyPath, RegKey root, TReport& report, TRunLineForm form) {
  ListFilteredRunValues(TRunFilter::ClsidNamed, keyPath, root, report, form);
}

void ListNumericRunValues(const std::string& keyPath, RegKey root, TReport& report, TRunLineForm form) {
  ListFilteredRunValues(TRunFilter::Numeric, keyPath, root, report, form);
}

void ListRunValuesInDataFolders(const std::string& keyPath, RegKey root, TReport& report, TRunLineForm form) {
  ListFilteredRunValues(TRunFilter::InDataFolders, keyPath, root, report, form);
}

void ListRunValueFilters(const std::string& keyPath, std::span<const RegKey> roots,
                         std::span<const TRunFilter> filters, TReport& report, TRunLineForm form) {
  std::vector<std::vector<TValueText>> values;
  for (RegKey root : roots) values.push_back(ReadRunValues(keyPath, root));
  for (TRunFilter filter : filters) {
    for (size_t i = 0; i < roots.size(); ++i) {
      ListFilteredRunValues(filter, inspect::RootKeyName(roots[i]) + keyPath, values[i], report, form);
    }
  }
}

void WriteSuspiciousRegistryKeys(TReport& report, const TScanOptions&) {
  FindBifrostMarkers(report);
  ListRunValueFilters(kRunKeyPath, kRunValueRoots, kRunValueFilters, report, TRunLineForm::Full);
}

}  // namespace scan
