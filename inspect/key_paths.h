// Registry keys that more than one place reads or writes, named once. Paths begin with "\"
// as the shared reader takes them; KeyPathOf drops it for the path-based helpers.
#pragma once

#include <string>
#include <string_view>

namespace inspect::keys {

constexpr const char* kRun = "\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr const char* kRunOnce = "\\Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce";
constexpr const char* kRunOnceEx = "\\Software\\Microsoft\\Windows\\CurrentVersion\\RunOnceEx";
constexpr const char* kRunServices = "\\Software\\Microsoft\\Windows\\CurrentVersion\\RunServices";
constexpr const char* kRunServicesOnce = "\\Software\\Microsoft\\Windows\\CurrentVersion\\RunServicesOnce";
constexpr const char* kNtRun = "\\Software\\Microsoft\\Windows NT\\CurrentVersion\\Run";
constexpr const char* kPoliciesRun = "\\Software\\Microsoft\\Windows\\CurrentVersion\\policies\\Explorer\\Run";
constexpr const char* kTerminalServerRun =
    "\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Terminal Server\\Install\\Software\\Microsoft\\Windows"
    "\\CurrentVersion\\Run";

constexpr const char* kWinlogon = "\\Software\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon";
constexpr const char* kWinlogonNotify = "\\Software\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon\\Notify";
constexpr const char* kNtWindows = "\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Windows";
constexpr const char* kDesktop = "\\Control Panel\\Desktop";
constexpr const char* kSafeBoot = "\\SYSTEM\\CurrentControlSet\\Control\\SafeBoot";
constexpr const char* kSessionManager = "\\SYSTEM\\CurrentControlSet\\Control\\Session Manager";
constexpr const char* kBrowserHelperObjects =
    "\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Browser Helper Objects";

constexpr const char* kSystemPolicies = "\\Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\System";
constexpr const char* kExplorerPolicies = "\\Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer";
constexpr const char* kWindowsSystemPolicies = "\\Software\\Policies\\Microsoft\\Windows\\system";
constexpr const char* kActiveDesktopPolicies = "\\Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\ActiveDesktop";
constexpr const char* kExplorerAdvanced = "\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Advanced";
constexpr const char* kSecurityCenter = "\\Software\\Microsoft\\Security Center";
constexpr const char* kPhishingFilter = "\\Software\\Microsoft\\Internet Explorer\\PhishingFilter";
constexpr const char* kInternetExplorerMain = "\\Software\\Microsoft\\Internet Explorer\\Main";
constexpr const char* kInternetExplorer = "\\Software\\Microsoft\\Internet Explorer";
constexpr const char* kInternetExplorerSearch = "\\Software\\Microsoft\\Internet Explorer\\Search";
constexpr const char* kInternetExplorerDownload = "\\Software\\Microsoft\\Internet Explorer\\Download";
// The machine's phishing filter key, in the letter case the report prints.
constexpr const char* kMachinePhishingFilter = "\\SOFTWARE\\Microsoft\\Internet Explorer\\PhishingFilter";
constexpr const char* kInternetExplorerMainPolicies = "\\SOFTWARE\\Policies\\Microsoft\\Internet Explorer\\Main";

constexpr const char* kDisallowRun = "\\Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer\\DisallowRun";
constexpr const char* kAssociationsPolicies = "\\Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Associations";
constexpr const char* kShowAllHidden =
    "\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Advanced\\Folder\\Hidden\\SHOWALL";
constexpr const char* kSystemRestore = "\\Software\\Microsoft\\Windows NT\\CurrentVersion\\SystemRestore";
constexpr const char* kFileProtectionPolicies = "\\SOFTWARE\\Policies\\Microsoft\\Windows NT\\Windows File Protection";
constexpr const char* kSystemFileProtection = "\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SystemFileProtection";
constexpr const char* kFirewallStandardPolicy = "\\SOFTWARE\\Policies\\Microsoft\\WindowsFirewall\\StandardProfile";
constexpr const char* kFirewallDomainPolicy = "\\SOFTWARE\\Policies\\Microsoft\\WindowsFirewall\\DomainProfile";
constexpr const char* kOle = "\\Software\\Microsoft\\Ole";
constexpr const char* kServices = "\\SYSTEM\\CurrentControlSet\\Services";
constexpr const char* kTcpipParameters = "\\SYSTEM\\CurrentControlSet\\Services\\Tcpip\\Parameters";
constexpr const char* kFirewallPolicy =
    "\\SYSTEM\\CurrentControlSet\\Services\\SharedAccess\\Parameters\\FirewallPolicy";
constexpr const char* kZoneMapDomains =
    "\\Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\ZoneMap\\Domains";
constexpr const char* kClsid = "\\SOFTWARE\\Classes\\CLSID";

// Open commands of file types under HKEY_CLASSES_ROOT; the trailing "\" names the default value.
constexpr const char* kExeFileOpen = "\\exefile\\shell\\open\\command\\";
constexpr const char* kComFileOpen = "\\comfile\\shell\\open\\command\\";
constexpr const char* kBatFileOpen = "\\batfile\\shell\\open\\command\\";
constexpr const char* kPifFileOpen = "\\piffile\\shell\\open\\command\\";
constexpr const char* kScrFileOpen = "\\scrfile\\shell\\open\\command\\";
constexpr const char* kTxtFileOpen = "\\txtfile\\shell\\open\\command\\";

// The same key without its leading "\".
constexpr std::string_view KeyPathOf(std::string_view key) {
  return key.starts_with('\\') ? key.substr(1) : key;
}

}  // namespace inspect::keys
