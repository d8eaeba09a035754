#include "scan/frame.h"

#include "inspect/key_paths.h"
#include "inspect/lang.h"
#include "inspect/system.h"
#include "platform/timer_period.h"
#include "scan/extra_registry_sections.h"
#include "scan/extra_file_sections.h"
#include "scan/product.h"
#include "scan/sections.h"
#include "scan/value_checks.h"

namespace scan {

namespace {

namespace win = platform::win;
using platform::kHkeyCurrentUser;
using platform::kHkeyLocalMachine;
using O = TScanOptions;

using inspect::keys::kFirewallPolicy;

void Startups(TReport& r, const O& o) {
  ListFolderFiles(r, o, inspect::GetSpecialFolder(win::kCsidlStartup), "*.*", false);
  ListFolderFiles(r, o, inspect::GetSpecialFolder(win::kCsidlCommonStartup), "*.*", false);
}
void NameServers(TReport& r, const O&) {
  ReportNamedValue(r, inspect::keys::kTcpipParameters, "NameServer", kHkeyLocalMachine);
}
void CustomDump(TReport& r, const O& o) {
  WriteCustomRegistryDump(r, o.RegistryDumpEntries);
}
void TrustedSites(TReport& r, const O&) {
  WriteTrustedSites(r, inspect::keys::kZoneMapDomains, kHkeyCurrentUser);
}
void FirewallPrograms(TReport& r, const O&) {
  for (const char* profile : {"StandardProfile", "DomainProfile"}) {
    ListFirewallPrograms(r, std::string(kFirewallPolicy) + "\\" + profile + "\\AuthorizedApplications\\List",
                         kHkeyLocalMachine, "%windir%\\system32\\sessmgr.exe");
  }
}
void FirewallPorts(TReport& r, const O&) {
  for (const char* profile : {"DomainProfile", "StandardProfile"}) {
    DumpRegistryKey(std::string(kFirewallPolicy) + "\\" + profile + "\\GloballyOpenPorts\\List", kHkeyLocalMachine, r);
  }
}
void TempExecutables(TReport& r, const O& o) { ListFolderFiles(r, o, inspect::GetTempDir(), "*.*", true); }
void UnknownSys(TReport& r, const O& o) { WriteUnknownSysFiles(r, o, inspect::GetSystemDir() + "\\drivers\\", "*"); }
// "Non accessible files": its eleven folder and mask pairs, in order.
void NonAccessible(TReport& r, const O& o) {
  const std::string system = inspect::GetSystemDir(), windows = inspect::GetWindowsDir() + "\\";
  const std::string temp = inspect::GetTempDir(), appData = inspect::GetSpecialFolder(win::kCsidlAppData) + "\\";
  const std::pair<std::string, const char*> pairs[] = {
      {system + "\\drivers\\", "*"},
      {temp, "*.exe"},    {temp, "*.dll"},    {temp, "*.sys"},
      {system, "*.exe"},  {system, "*.dll"},  {system, "*.sys"},
      {windows, "*.exe"}, {windows, "*.dll"}, {windows, "*.sys"},
      {appData, "*"},
  };
  for (const auto& [folder, mask] : pairs) WriteNonAccessibleFiles(r, o, folder, mask);
}
void IeFolder(TReport& r, const O& o) {
  ListFolderFiles(r, o, inspect::GetSpecialFolder(win::kCsidlProgramFiles) + "\\Internet Explorer\\", "*.*", true);
}
void SuspiciousFolders(TReport& r, const O& o) {
  ListNumberedFolders(r, o, inspect::GetSpecialFolder(win::kCsidlAppData));
  ListNumberedFolders(r, o, inspect::GetSpecialFolder(win::kCsidlCommonAppData));
}
void Drivers(TReport& r, const O& o) { WriteServiceList(r, o, TServiceKind::Drivers); }
void FilterDrivers(TReport& r, const O& o) { WriteFilterDrivers(r, o, inspect::keys::kServices); }
void Services(TReport& r, const O& o) { WriteServiceList(r, o, TServiceKind::Win32Services); }
void ServiceDlls(TReport& r, const O& o) { WriteServiceDlls(r, o, inspect::keys::kServices); }
void Winsock(TReport& r, const O& o) {
  for (const char* set : {"CurrentControlSet", "ControlSet001", "ControlSet002"}) ListWinsockLibraries(r, o, set);
}
void UnknownClsid(TReport& r, const O& o) { WriteUnknownClsidFiles(r, o, inspect::keys::kClsid); }
void Ring3Hooks(TReport& r, const O& o) {
  if (inspect::IsX64Windows()) {
    r.Add("x64 OS not supported!");
  } else {
    ListRing3Hooks(r, o);
  }
}

using F = TSectionFailure;

// clang-format off
constexpr TSection kSections[] = {
  // key  fixed          gate                    content                          prog  off   patient recent failure           text
  {15, nullptr,       nullptr,                 WriteGenericSystemInfo,           20, false, false, false, F::LogOnly,       nullptr},
  {16, nullptr,       nullptr,                 WriteRunningProcesses,            25, false, false, false, F::LogOnly,       nullptr},
  {73, nullptr,       nullptr,                 WriteLoadedModules,               30, false, false, false, F::LogOnly,       nullptr},
  {17, nullptr,       nullptr,                 WriteRegistryStartups,            35, false, false, false, F::LogOnly,       nullptr},
  {75, nullptr,       nullptr,                 WriteOtherStartups,               40, false, false, false, F::LogOnly,       nullptr},
  {18, nullptr,       nullptr,                 Startups,                         45, false, false, false, F::LogOnly,       nullptr},
  {19, nullptr,       nullptr,                 NameServers,                      50, false, false, false, F::LogOnly,       nullptr},
  {76, nullptr,       &O::CustomRegistryDump,  CustomDump,                       -1, false, false, false, F::LogOnly,       nullptr},
  {20, nullptr,       nullptr,                 WriteIeSettings,                  60, false, false, false, F::LogOnly,       nullptr},
  {112, nullptr,      nullptr,                 TrustedSites,                     60, false, false, false, F::LogOnly,       nullptr},
  {21, nullptr,       nullptr,                 FirewallPrograms,                 65, false, false, false, F::LogOnly,       nullptr},
  {22, nullptr,       nullptr,                 FirewallPorts,                    70, false, false, false, F::LogOnly,       nullptr},
  {23, nullptr,       nullptr,                 WriteSystemHijack,                75, false, false, false, F::LogOnly,       nullptr},
  {24, nullptr,       nullptr,                 TempExecutables,                  80, false, false, false, F::LogOnly,       nullptr},
  {25, nullptr,       nullptr,                 WriteSuspiciousFolderExecutables, 82, false, false, false, F::LogOnly,       nullptr},
  {0,  "Autorun.ini", nullptr,                 WriteAutorunIni,                  85, false, false, false, F::LogOnly,       nullptr},
  {113, nullptr,      &O::UnknownSysFiles,     UnknownSys,                       -1, false, false, false, F::LogOnly,       nullptr},
  {114, nullptr,      nullptr,                 NonAccessible,                    -1, false, true,  false, F::LogOnly,       nullptr},
  {77, nullptr,       nullptr,                 IeFolder,                         90, false, false, false, F::LogOnly,       nullptr},
  {78, nullptr,       &O::CustomFilesList,     WriteCustomFilesList,             95, true,  false, false, F::LogOnly,       nullptr},
  {26, nullptr,       &O::RecentFiles,         WriteRecentFiles,                 96, false, true,  true,  F::LogOnly,       nullptr},
  {28, nullptr,       nullptr,                 WriteHiddenFiles,                 96, false, false, false, F::LogOnly,       nullptr},
  {83, nullptr,       nullptr,                 WriteSuspiciousRegistryKeys,      97, false, false, false, F::LogOnly,       nullptr},
  {204, nullptr,      nullptr,                 SuspiciousFolders,                98, false, false, false, F::LogOnly,       nullptr},
  {30, nullptr,       nullptr,                 Drivers,                         100, false, false, false, F::LastErrorText, nullptr},
  {79, nullptr,       nullptr,                 FilterDrivers,                    -1, false, false, false, F::LastErrorText, nullptr},
  {80, nullptr,       nullptr,                 Services,                         -1, false, false, false, F::Silent,        nullptr},
  {212, nullptr,      &O::ShowAllServiceDll,   ServiceDlls,                      -1, false, false, false, F::FixedText,
       "* Error reading ServiceDll ! Possible rootkit presence *"},
  {207, nullptr,      nullptr,                 Winsock,                          -1, false, false, false, F::LogOnly,       nullptr},
  {211, nullptr,      &O::UnknownClsidFiles,   UnknownClsid,                     -1, false, true,  false, F::LogOnly,       nullptr},
  {81, nullptr,       nullptr,                 ListTcpConnections,               -1, false, false, false, F::LogOnly,       nullptr},
  {225, nullptr,      nullptr,                 ListUdpConnections,               -1, false, false, false, F::LogOnly,       nullptr},
  {29, nullptr,       nullptr,                 WriteHostsFile,                   -1, false, false, false, F::LogOnly,       nullptr},
  {209, nullptr,      &O::Ring3ApiHooks,       Ring3Hooks,                       -1, false, false, false, F::FixedText,     "Error..."},
  {208, nullptr,      &O::KernelModeInfo,      ListKernelModeInfo,               -1, false, false, false, F::LogOnly,       nullptr,
       WriteRootkitVerdict},
  {0,  "Scheduled tasks", &O::ExtraSections, WriteScheduledTasks,       -1, false, false, false, F::LogOnly,       nullptr},
  {0,  "Auto-start services and drivers", &O::ExtraSections, WriteAutoStartServices,
                                                                         -1, false, false, false, F::LogOnly,       nullptr},
  {0,  "Phantom DLLs in the system folder", &O::ExtraSections, WritePhantomDlls,
                                                                         -1, false, false, false, F::LogOnly,       nullptr},
  {0,  "Winlogon and logon",        &O::ExtraSections, WriteWinlogonAndLogon,   -1, false, false, false, F::LogOnly, nullptr},
  {0,  "LSA",                       &O::ExtraSections, WriteLsa,                -1, false, false, false, F::LogOnly, nullptr},
  {0,  "Image and process hooks",   &O::ExtraSections, WriteImageHooks,         -1, false, false, false, F::LogOnly, nullptr},
  {0,  "COM and shell",             &O::ExtraSections, WriteComAndShell,        -1, false, false, false, F::LogOnly, nullptr},
  {0,  "Print, time, netsh, boot",  &O::ExtraSections, WritePrintTimeNetshBoot, -1, false, false, false, F::LogOnly, nullptr},
  {0,  "Office",                    &O::ExtraSections, WriteOffice,             -1, false, false, false, F::LogOnly, nullptr},
  {0,  "Tampering",                 &O::ExtraSections, WriteTampering,          -1, false, false, false, F::LogOnly, nullptr},
};
// clang-format on
static_assert(std::size(kSections) == 45);

// Runs one section's content and applies its failure handling.
void RunContent(const TSection& section, TReport& report, const TScanOptions& options) {
  auto& sys = platform::Sys();
  // The failed call's error code, taken before writing the debug log can change it.
  uint32_t lastError = 0;
  try {
    section.content(report, options);
    return;
  } catch (const std::exception& error) {
    lastError = sys.GetLastError();
    inspect::WriteDebugLog(inspect::DebugLogEntry(error));
  } catch (...) {
    lastError = sys.GetLastError();
    inspect::WriteDebugLog("unknown->section failed");
  }
  switch (section.failure) {
    case F::LastErrorText:
      report.Add(sys.FormatErrorMessage(lastError));
      break;
    case F::FixedText:
      report.Add(section.failureText);
      break;
    case F::LogOnly:
    case F::Silent:
      break;
  }
}

}  // namespace

std::span<const TSection> DefaultSections() { return kSections; }

std::string SectionTitle(const TSection& section, const TScanOptions& options) {
  if (section.titleKey == 0) return section.fixedTitle;
  if (section.recentTitle) {
    return inspect::Lng(26) + " " + std::to_string(options.RecentDays) + " " + inspect::Lng(27);
  }
  return inspect::Lng(section.titleKey);
}

uint32_t ScanThread(TReport& report, const TScanOptions& options, TScanDisplay& display,
                    std::span<const TSection> sections) {
  // The pacing pauses of the sections ask for 1 ms.
  const platform::ScopedTimerPeriod fineTimer(1);
  const inspect::TLookupMemo lookups;
  try {
    auto& sys = platform::Sys();
    const uint32_t start = sys.GetTickCount();
    report.Add(std::string(kProductName) + " " + kProductVersion);
    report.Add(kHomePage);
    platform::LocalTime now = sys.GetLocalTime();
    report.Add(inspect::Lng(70) + " " + sys.FormatShortDate(now) + " " + inspect::Lng(72) + " " +
               sys.FormatLongTime(now));
    report.Add("");
    display.SetProgress(10);

    for (const TSection& section : sections) {
      if (options.Stopped()) return 0;
      const bool on = section.gate == nullptr || options.*section.gate;
      if (on) {
        const std::string title = SectionTitle(section, options);
        display.AddLine("[+] " + title + " ..." + (section.patientBanner ? " " + inspect::Lng(120) : ""));
        report.Add("[+] " + title);
        report.Add("");
        display.SectionStarted(title);
        RunContent(section, report, options);
        display.SectionEnded(title);
        report.Add("");
        if (section.afterSection) section.afterSection(report);
      }
      if (section.progress >= 0 && (on || section.progressWhenGatedOff)) display.SetProgress(section.progress);
    }

    report.Add("---");
    report.Add(inspect::Lng(55) + " " + inspect::FormatElapsed((sys.GetTickCount() - start) / 1000) + " ]");
    display.SetProgress(0);
  } catch (const std::exception& error) {
    inspect::WriteDebugLog(inspect::DebugLogEntry(error));
  } catch (...) {
    inspect::WriteDebugLog("unknown->scan failed");
  }
  return 0;
}

void TellThreadFailure(inspect::TPrompter& prompter) {
  prompter.Prompt("ERROR #6 : " + inspect::Lng(118), "Warning", win::kMbIconWarning | win::kMbTopmost);
}

}  // namespace scan
