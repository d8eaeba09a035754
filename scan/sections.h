// The section writers: each appends the items of one report section (never its banner).
#pragma once

#include <string>
#include <vector>

#include "platform/platform.h"
#include "scan/options.h"
#include "scan/report.h"

namespace scan {

using platform::RegKey;

enum class TServiceKind { Drivers, Win32Services };

// System and processes
void WriteGenericSystemInfo(TReport& report, const TScanOptions& options);
void WriteRunningProcesses(TReport& report, const TScanOptions& options);
void WriteLoadedModules(TReport& report, const TScanOptions& options);
// "<label>: <value text>" for the value named exactly `valueName` of the key (`keyPath` begins
// with "\"), when its text is not empty; nothing when the key cannot be opened.
void AddRegistryValueLine(const std::string& keyPath, const std::string& valueName, RegKey root,
                          const std::string& label, TReport& report);

// Registry startups
void WriteRegistryStartups(TReport& report, const TScanOptions& options);
void WriteOtherStartups(TReport& report, const TScanOptions& options);
// Every key and value the lines "<root name>\<path>" name, then one empty line.
void WriteCustomRegistryDump(TReport& report, const std::vector<std::string>& entries);
// One value entry for every value of the key (`keyPath` begins with "\").
void DumpRegistryKey(const std::string& keyPath, RegKey root, TReport& report);

// Browser and network settings
void WriteIeSettings(TReport& report, const TScanOptions& options);
void WriteTrustedSites(TReport& report, const std::string& keyPath, RegKey root);
// One value entry for every value of the key but the one named `excludedValue` (case ignored).
void ListFirewallPrograms(TReport& report, const std::string& keyPath, RegKey root,
                          const std::string& excludedValue);
void WriteHostsFile(TReport& report, const TScanOptions& options);

// Policy hijacks and suspicious keys
void WriteSystemHijack(TReport& report, const TScanOptions& options);
void WriteSuspiciousRegistryKeys(TReport& report, const TScanOptions& options);
// One line for each root whose "SOFTWARE" subkeys hold the marker values of the Bifrost trojan.
void FindBifrostMarkers(TReport& report);

// File system
// Folders are joined to masks and entry names with exactly one backslash; an empty folder
// (or "\" alone, the answer of the folder helpers for an unknown folder) gives nothing.
void ListFolderFiles(TReport& report, const TScanOptions& options, const std::string& folder,
                     const std::string& mask, bool executablesOnly);
void WriteSuspiciousFolderExecutables(TReport& report, const TScanOptions& options);
void WriteAutorunIni(TReport& report, const TScanOptions& options);
void ListAutorunIni(TReport& report, const TScanOptions& options, const std::string& folder);
void WriteUnknownSysFiles(TReport& report, const TScanOptions& options, const std::string& folder,
                          const std::string& mask);
// One folder/mask pair of "Non accessible files"; the frame calls it for each of its pairs.
void WriteNonAccessibleFiles(TReport& report, const TScanOptions& options, const std::string& folder,
                             const std::string& mask);
void WriteCustomFilesList(TReport& report, const TScanOptions& options);
void WriteRecentFiles(TReport& report, const TScanOptions& options);
void ListRecentFiles(TReport& report, const TScanOptions& options, const std::string& folder,
                     const std::string& mask, bool recurse);
void WriteHiddenFiles(TReport& report, const TScanOptions& options);
void ListHiddenFiles(TReport& report, const TScanOptions& options, const std::string& folder,
                     const std::string& mask, bool recurse);
// Returns the number of subfolders looked at.
int ListNumberedFolders(TReport& report, const TScanOptions& options, const std::string& folder);

// Services, drivers and COM
void WriteServiceList(TReport& report, const TScanOptions& options, TServiceKind kind);
void WriteFilterDrivers(TReport& report, const TScanOptions& options, const std::string& keyPath);
void WriteServiceDlls(TReport& report, const TScanOptions& options, const std::string& keyPath);
void ListWinsockLibraries(TReport& report, const TScanOptions& options, const std::string& controlSet);
void WriteUnknownClsidFiles(TReport& report, const TScanOptions& options, const std::string& keyPath);

// Network connections
void ListTcpConnections(TReport& report, const TScanOptions& options);
void ListUdpConnections(TReport& report, const TScanOptions& options);

// Hooks and kernel
void ListRing3Hooks(TReport& report, const TScanOptions& options);
void ListKernelModeInfo(TReport& report, const TScanOptions& options);
// The rootkit verdict over the whole report, appended at its end.
void WriteRootkitVerdict(TReport& report);

}  // namespace scan
