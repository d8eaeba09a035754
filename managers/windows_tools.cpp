#include "managers/windows_tools.h"

#include <iterator>

#include "inspect/files.h"
#include "inspect/lang.h"
#include "inspect/system.h"
#include "platform/platform.h"

namespace managers {

namespace {

namespace win = platform::win;

enum class TFolder : uint8_t { System, Windows };

struct TToolRow {
  TWindowsTool tool;
  TFolder folder;
  const char* file;        // started, and required
  const char* alsoNeeded;  // a second file of the system folder the entry needs; null for none
  const char* parameters;  // followed by the quoted full path of alsoNeeded, when there is one
};

constexpr TToolMenu kSec = TToolMenu::Security;
constexpr TToolMenu kUtil = TToolMenu::Utilities;
constexpr TFolder kSys = TFolder::System;
constexpr TFolder kWin = TFolder::Windows;

// clang-format off
constexpr TToolRow kTools[] = {
  {{kSec, "DOSPrompt1", "CMD DOS Prompt (cmd.exe)"}, kSys, "\\cmd.exe", nullptr, ""},
  {{kSec, "DriverQuery1", "Driver Query (driverquery.exe)"}, kSys, "\\cmd.exe", "\\driverquery.exe", "/k"},
  {{kSec, "MicrosoftMaliciousSoftwareRemovalTool1", "Malicious Software Removal Tool (mrt.exe)"}, kSys, "\\mrt.exe", nullptr, ""},
  {{kSec, "Netstatnetstatexe1", "Netstat (netstat.exe)"}, kSys, "\\cmd.exe", "\\netstat.exe", "/k"},
  {{kSec, "RegistryEditorUtilityregedt32exe1", "Registry Editor Utility (regedt32.exe)"}, kSys, "\\regedt32.exe", nullptr, ""},
  {{kSec, "RegistryEditor1", "Registry Editor (regedit.exe)"}, kWin, "\\regedit.exe", nullptr, ""},
  {{kSec, "ServicesManager1", "Services Manager (services.msc)"}, kSys, "\\services.msc", nullptr, ""},
  {{kSec, "WindowsTaskmanager1", "Task Manager (taskmgr.exe)"}, kSys, "\\taskmgr.exe", nullptr, ""},
  {{kUtil, "IexpressWizardiexpressexe1", "Iexpress Wizard (iexpress.exe)"}, kSys, "\\iexpress.exe", nullptr, ""},
  {{kUtil, "EventViewereventvwrmsc1", "Event Viewer (eventvwr.msc)"}, kSys, "\\eventvwr.msc", nullptr, ""},
  {{kUtil, "LocalUsersManagerlusrmgrmsc1", "Local Users Manager (lusrmgr.msc)"}, kSys, "\\lusrmgr.msc", nullptr, ""},
  {{kUtil, "MicrosoftManagementConsolemmcexe1", "Microsoft Management Console (mmc.exe)"}, kSys, "\\mmc.exe", nullptr, ""},
  {{kUtil, "MicrosoftMagnifiermagnifyexe1", "Magnifier (magnify.exe)"}, kSys, "\\magnify.exe", nullptr, ""},
  {{kUtil, "DebuggerpostmortemDottWatsondrwtsn32exe1", "Debugger postmortem Dott. Watson (drwtsn32.exe)"}, kSys, "\\drwtsn32.exe", nullptr, ""},
  {{kUtil, "GroupPolicyEditorgpeditmsc1", "Group Policy Editor (gpedit.msc)"}, kSys, "\\gpedit.msc", nullptr, ""},
  {{kUtil, "SystemConfigurationUtility1", "System Configuration Utility (msconfig.exe)"}, kWin, "\\pchealth\\helpctr\\binaries\\msconfig.exe", nullptr, ""},
  {{kUtil, "ComputerManagementcompmgmtmsc1", "Computer Management (compmgmt.msc)"}, kSys, "\\compmgmt.msc", nullptr, ""},
  {{kUtil, "DiskManagement1", "Disk Management (diskmgmt.msc)"}, kSys, "\\diskmgmt.msc", nullptr, ""},
  {{kUtil, "WindowsCleanDiskManager1", "Clean Disk Manager (cleanmgr.exe)"}, kSys, "\\cleanmgr.exe", nullptr, ""},
};
// clang-format on
static_assert(std::size(kTools) == kWindowsToolCount);

constexpr std::array<TWindowsTool, kWindowsToolCount> ToolsOf() {
  std::array<TWindowsTool, kWindowsToolCount> tools{};
  for (size_t i = 0; i < kWindowsToolCount; ++i) tools[i] = kTools[i].tool;
  return tools;
}
constexpr std::array<TWindowsTool, kWindowsToolCount> kToolList = ToolsOf();

std::string PathOf(const TToolRow& row) {
  return (row.folder == kSys ? inspect::GetSystemDir() : inspect::GetWindowsDir()) + row.file;
}

constexpr uint32_t kEwxReboot = 0x02;
constexpr uint32_t kEwxShutdown = 0x01;
constexpr uint32_t kEwxForce = 0x04;
constexpr uint32_t kEwxPowerOff = 0x08;
static_assert(kEwxReboot + kEwxForce == 6 && kEwxPowerOff + kEwxForce == 12 && kEwxShutdown == 1);

bool AskAndExit(inspect::TPrompter& prompter, int questionKey, uint32_t flags,
                const std::function<void()>& beforeExit) {
  inspect::FillDefaultTexts();
  const int answer = prompter.Prompt(inspect::Lng(questionKey), "Info",
                                     win::kMbYesNo | win::kMbIconInformation | win::kMbTopmost);
  if (answer != win::kIdYes) return false;
  if (beforeExit) {
    try {
      beforeExit();
    } catch (...) {
    }
  }
  inspect::ExitWindowsWithPrivilege(flags);
  return true;
}

}  // namespace

const std::array<TWindowsTool, kWindowsToolCount>& WindowsTools() { return kToolList; }

std::array<bool, kWindowsToolCount> EnabledWindowsTools() {
  std::array<bool, kWindowsToolCount> enabled{};
  for (size_t i = 0; i < kWindowsToolCount; ++i) {
    const TToolRow& row = kTools[i];
    enabled[i] = inspect::FileExists(PathOf(row)) &&
                 (!row.alsoNeeded || inspect::FileExists(inspect::GetSystemDir() + row.alsoNeeded));
  }
  return enabled;
}

void StartWindowsTool(size_t index) {
  if (index >= kWindowsToolCount) return;
  const TToolRow& row = kTools[index];
  // By full path: a bare name would be looked for in the current folder first.
  std::string parameters = row.parameters;
  if (row.alsoNeeded) parameters += " \"" + inspect::GetSystemDir() + row.alsoNeeded + "\"";
  platform::Sh().ShellExecute(0, "open", PathOf(row), parameters, "", win::kSwShow);
}

void RunChosenFile(const std::string& path) {
  if (path.empty()) return;
  platform::Sh().ShellExecute(0, "open", path, "", "", win::kSwShow);
}

std::string RunDialogTitle() { return inspect::Lng(226); }

bool AskAndReboot(inspect::TPrompter& prompter, const std::function<void()>& beforeExit) {
  return AskAndExit(prompter, 227, kEwxReboot | kEwxForce, beforeExit);
}

bool AskAndShutdown(inspect::TPrompter& prompter, const std::function<void()>& beforeExit) {
  return AskAndExit(prompter, 228, kEwxPowerOff | kEwxForce, beforeExit);
}

}  // namespace managers
