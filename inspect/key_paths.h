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

// The same key without its leading "\".
constexpr std::string_view KeyPathOf(std::string_view key) {
  return key.starts_with('\\') ? key.substr(1) : key;
}

}  // namespace inspect::keys
