#include "restorer/repairs.h"

#include <exception>
#include <iterator>
#include <optional>
#include <vector>

#include "inspect/files.h"
#include "inspect/key_paths.h"
#include "inspect/lang.h"
#include "inspect/registry.h"
#include "inspect/save_file.h"
#include "inspect/system.h"
#include "platform/platform.h"
#include "restorer/backup.h"
#include "restorer/safe_mode.h"

namespace restorer {

namespace {

namespace win = platform::win;
namespace keys = inspect::keys;
using platform::RegKey;

constexpr RegKey kLm = platform::kHkeyLocalMachine;
constexpr RegKey kCu = platform::kHkeyCurrentUser;
constexpr RegKey kCr = platform::kHkeyClassesRoot;

constexpr const char* kOpenCommand = "\"%1\" %*";
constexpr const char* kScreenSaverCommand = "\"%1\" /S";

enum class TOp : uint8_t {
  None,
  DeleteValue,
  DeleteTree,
  Dword,
  String,
  InWindowsDir,    // the Windows folder followed by `text`
  InSystemDir,     // the system folder followed by `text`
  NotepadCommand,  // Notepad of the Windows folder, else of the system folder, else nothing
  SafeModeImport,  // the Safe Mode file `text`, through the Registry Editor
};

struct TOperation {
  TOp op = TOp::None;
  RegKey root = 0;
  const char* key = "";    // as the reader takes it, "\" first; a trailing "\" names the default value
  const char* value = "";
  const char* text = "";
  uint32_t number = 0;
};

constexpr TOperation DeleteValue(RegKey root, const char* key, const char* value) {
  return {TOp::DeleteValue, root, key, value};
}
constexpr TOperation DeleteTree(RegKey root, const char* key) { return {TOp::DeleteTree, root, key}; }
constexpr TOperation Dword(RegKey root, const char* key, const char* value, uint32_t n) {
  return {TOp::Dword, root, key, value, "", n};
}
constexpr TOperation String(RegKey root, const char* key, const char* value, const char* text) {
  return {TOp::String, root, key, value, text};
}
constexpr TOperation Default(const char* key, const char* text) { return {TOp::String, kCr, key, "", text}; }
constexpr TOperation SafeMode(const char* file) { return {TOp::SafeModeImport, 0, "", "", file}; }

struct TCatalogueRow {
  TRepair repair;
  const char* caption;
  TOperation ops[2];
};

// clang-format off
constexpr TCatalogueRow kCatalogue[] = {
  {TRepair::RegistryEditor, "Restore Registry Editor",
   {DeleteValue(kLm, keys::kSystemPolicies, "DisableRegistryTools"), DeleteValue(kCu, keys::kSystemPolicies, "DisableRegistryTools")}},
  {TRepair::TaskManager, "Restore Task Manager",
   {DeleteValue(kLm, keys::kSystemPolicies, "DisableTaskMgr"), DeleteValue(kCu, keys::kSystemPolicies, "DisableTaskMgr")}},
  {TRepair::Cmd, "Restore CMD",
   {DeleteValue(kLm, keys::kSystemPolicies, "DisableCMD"), DeleteValue(kCu, keys::kSystemPolicies, "DisableCMD")}},
  {TRepair::DisallowRun, "Delete DisallowRun Key", {DeleteTree(kCu, keys::kDisallowRun)}},
  {TRepair::ShowAll, "Restore SHOWALL", {Dword(kLm, keys::kShowAllHidden, "CheckedValue", 1)}},
  {TRepair::Firewall, "Enable Windows Firewall",
   {Dword(kLm, keys::kFirewallStandardPolicy, "EnableFirewall", 1), Dword(kLm, keys::kFirewallDomainPolicy, "EnableFirewall", 1)}},
  {TRepair::ShowHiddenFiles, "Enable Show Hidden Files", {Dword(kCu, keys::kExplorerAdvanced, "Hidden", 1)}},
  {TRepair::ShowSystemFiles, "Enable Show System Files", {Dword(kCu, keys::kExplorerAdvanced, "ShowSuperHidden", 1)}},
  {TRepair::DisableDcom, "Disable DCOM", {String(kLm, keys::kOle, "EnableDCOM", "N")}},
  {TRepair::SignedAppInitDlls, "Enable RequireSignedAppInit_DLLs", {Dword(kLm, keys::kNtWindows, "RequireSignedAppInit_DLLs", 1)}},
  {TRepair::FolderOptions, "Enable Folder Options", {Dword(kCu, keys::kExplorerPolicies, "NofolderOptions", 0)}},
  {TRepair::Shell, "Restore Shell", {{TOp::InWindowsDir, kLm, keys::kWinlogon, "Shell", "\\Explorer.exe"}}},
  {TRepair::Userinit, "Restore Userinit", {{TOp::InSystemDir, kLm, keys::kWinlogon, "Userinit", "\\userinit.exe,"}}},
  {TRepair::UIHost, "Restore UIHost", {String(kLm, keys::kWinlogon, "UIHost", "logonui.exe")}},
  {TRepair::ExeFile, "Restore HKCR\\exefile", {Default(keys::kExeFileOpen, kOpenCommand)}},
  {TRepair::ComFile, "Restore HKCR\\comfile", {Default(keys::kComFileOpen, kOpenCommand)}},
  {TRepair::BatFile, "Restore HKCR\\batfile", {Default(keys::kBatFileOpen, kOpenCommand)}},
  {TRepair::ScrFile, "Restore HKCR\\scrfile", {Default(keys::kScrFileOpen, kScreenSaverCommand)}},
  {TRepair::PifFile, "Restore HKCR\\piffile", {Default(keys::kPifFileOpen, kOpenCommand)}},
  {TRepair::TxtFile, "Restore HKCR\\txtfile", {{TOp::NotepadCommand, kCr, keys::kTxtFileOpen, ""}}},
  {TRepair::PoliciesExplorerRun, "Delete Policies\\Explorer\\Run",
   {DeleteTree(kCu, keys::kPoliciesRun), DeleteTree(kLm, keys::kPoliciesRun)}},
  {TRepair::SafeModeXpSp2, "Windows XP SP2 (32-bit)", {SafeMode("WXPSP2.dat")}},
  {TRepair::SafeModeXpSp3, "Windows XP SP3  (32-bit)", {SafeMode("WXPSP3.dat")}},
  {TRepair::SafeMode2000Sp4, "Windows 2000 SP4 Pro  (32-bit)", {SafeMode("W2000SP4Pro.dat")}},
  {TRepair::SafeMode2003R2Sp2, "Windows Server 2003 Standard R2 SP2  (32-bit)", {SafeMode("W2003R2SP2.dat")}},
  {TRepair::SafeMode7, "Windows 7 Ultimate  (32-bit)", {SafeMode("W7U.dat")}},
  {TRepair::SafeMode7x64, "Windows 7 Ultimate  (64-bit)", {SafeMode("W7U64.dat")}},
  {TRepair::RunInvalidSignatures, "Disable RunInvalidSignatures",
   {Dword(kCu, keys::kInternetExplorerDownload, "RunInvalidSignatures", 0)}},
  {TRepair::CheckExeSignatures, "Enable CheckExeSignatures",
   {String(kCu, keys::kInternetExplorerDownload, "CheckExeSignatures", "yes")}},
  {TRepair::Dep, "Enable DEP", {Dword(kLm, keys::kInternetExplorerMainPolicies, "DEPOff", 0)}},
  {TRepair::PhishingFilter, "Enable PhishingFilter",
   {Dword(kLm, keys::kMachinePhishingFilter, "EnabledV8", 1), Dword(kCu, keys::kPhishingFilter, "Enabled", 1)}},
  {TRepair::DisableSr, "Disable DisableSR", {Dword(kLm, keys::kSystemRestore, "DisableSR", 0)}},
  {TRepair::SfcDisable, "Disable SFCDisable", {Dword(kLm, keys::kWinlogon, "SFCDisable", 0)}},
  {TRepair::SfcScan, "Enable SFCScan",
   {Dword(kLm, keys::kFileProtectionPolicies, "SFCScan", 1), Dword(kLm, keys::kWinlogon, "SFCScan", 1)}},
  {TRepair::SfpPopups, "Enable SystemFileProtection Popups", {Dword(kLm, keys::kSystemFileProtection, "ShowPopups", 1)}},
  {TRepair::LowRiskFileTypes, "Delete LowRiskFileTypes", {DeleteValue(kCu, keys::kAssociationsPolicies, "LowRiskFileTypes")}},
  {TRepair::ChangingWallpaper, "Restore ChangingWallpaper",
   {Dword(kLm, keys::kActiveDesktopPolicies, "NoChangingWallpaper", 0), Dword(kCu, keys::kActiveDesktopPolicies, "NoChangingWallpaper", 0)}},
  {TRepair::SetActiveDesktop, "Restore SetActiveDesktop", {Dword(kCu, keys::kExplorerPolicies, "NoSetActiveDesktop", 0)}},
  {TRepair::ActiveDesktopChanges, "Restore ActiveDesktopChanges",
   {Dword(kCu, keys::kExplorerPolicies, "NoActiveDesktopChanges", 0)}},
};
// clang-format on
static_assert(std::size(kCatalogue) == kRepairCount);

constexpr bool CatalogueInRepairOrder() {
  for (size_t i = 0; i < std::size(kCatalogue); ++i) {
    if (static_cast<size_t>(kCatalogue[i].repair) != i) return false;
  }
  return true;
}
static_assert(CatalogueInRepairOrder());

struct TBrowserRow {
  TBrowserValue which;
  RegKey roots[2];  // written in this order; 0 = none
  const char* key;
  const char* value;
};

constexpr TBrowserRow kBrowserValues[] = {
  {TBrowserValue::StartPage, {kCu, kLm}, keys::kInternetExplorerMain, "Start Page"},
  {TBrowserValue::DefaultSearchUrl, {kCu, kLm}, keys::kInternetExplorerMain, "Default_Search_URL"},
  {TBrowserValue::SearchPage, {kCu, kLm}, keys::kInternetExplorerMain, "Search Page"},
  {TBrowserValue::DefaultPageUrl, {kLm, 0}, keys::kInternetExplorerMain, "Default_Page_URL"},
  {TBrowserValue::SearchAssistant, {kCu, kLm}, keys::kInternetExplorerSearch, "SearchAssistant"},
  // A value of this name right under the browser key.
  {TBrowserValue::UrlSearchHooks, {kCu, 0}, keys::kInternetExplorer, "URLSearchHooks"},
  {TBrowserValue::WindowTitle, {kCu, 0}, keys::kInternetExplorerMain, "Window Title"},
};
static_assert(std::size(kBrowserValues) == kBrowserValueCount);

// The key without the leading "\" and without a trailing one.
std::string KeyOf(const char* key) {
  std::string path(keys::KeyPathOf(key));
  if (!path.empty() && path.back() == '\\') path.pop_back();
  return path;
}

// "key\value" as the path-based helpers take it.
std::string ValuePathOf(const TOperation& op) { return KeyOf(op.key) + "\\" + op.value; }

std::optional<std::string> NotepadCommand() {
  for (const std::string& folder : {inspect::GetWindowsDir(), inspect::GetSystemDir()}) {
    if (inspect::FileExists(folder + "\\NOTEPAD.EXE")) return folder + "\\NOTEPAD.EXE %1";
  }
  return std::nullopt;
}

// The REG_SZ text a write operation stores; nullopt when it stores nothing.
std::optional<std::string> TextOf(const TOperation& op) {
  switch (op.op) {
    case TOp::String: return std::string(op.text);
    case TOp::InWindowsDir: return inspect::GetWindowsDir() + op.text;
    case TOp::InSystemDir: return inspect::GetSystemDir() + op.text;
    case TOp::NotepadCommand: return NotepadCommand();
    default: return std::nullopt;
  }
}

void PlanOperation(const TOperation& op, std::vector<TPlannedChange>* plan) {
  using K = TPlannedChange::Kind;
  switch (op.op) {
    case TOp::None: return;
    case TOp::DeleteTree: plan->push_back({K::KeyTree, op.root, KeyOf(op.key), ""}); return;
    case TOp::SafeModeImport: PlanSafeModeImport(op.text, plan); return;
    case TOp::NotepadCommand:
      if (!NotepadCommand()) return;
      break;
    default: break;
  }
  plan->push_back({K::Value, op.root, KeyOf(op.key), op.value});
}

// True when the registry (or the shell) accepted the operation.
bool Carry(const TOperation& op) {
  switch (op.op) {
    case TOp::None: return true;
    case TOp::DeleteValue: return inspect::RegDeleteValuePath(op.root, ValuePathOf(op));
    case TOp::DeleteTree: return inspect::RegDeleteKeyPath(op.root, KeyOf(op.key), true);
    case TOp::Dword: return inspect::RegWriteDword(op.root, ValuePathOf(op), op.number);
    case TOp::SafeModeImport: return StartSafeModeImport(op.text);
    default: {
      const std::optional<std::string> text = TextOf(op);
      return !text || inspect::RegWriteString(op.root, ValuePathOf(op), *text);
    }
  }
}

constexpr const char* kUndoLabel = "Undo file: ";

// Saves the undo file of `plan`; false when it could not be written and the user chose to stop.
bool SaveBackup(const std::vector<TPlannedChange>& plan, inspect::TPrompter& prompter, std::string* path) {
  path->clear();
  if (plan.empty()) return true;
  try {
    const std::string target = NewBackupPath();
    platform::Fs().CreateDirectory(target.substr(0, target.rfind('\\')));
    if (inspect::SaveFileReplacing(target, BackupText(plan)) == platform::win::kErrorSuccess) {
      *path = target;
      return true;
    }
  } catch (const std::exception&) {
  }
  const int answer = prompter.Prompt(
      "The undo file of these changes cannot be written in the Backups folder.\r\n"
      "Apply the changes without a way to undo them?",
      "Warning", win::kMbYesNo | win::kMbIconWarning | win::kMbTopmost);
  return answer == win::kIdYes;
}

}  // namespace

const char* RepairCaption(TRepair repair) {
  const size_t i = static_cast<size_t>(repair);
  return i < std::size(kCatalogue) ? kCatalogue[i].caption : "";
}

TRestorerResult ApplyRepairs(const TRestorerOptions& options, inspect::TPrompter& prompter,
                             inspect::TRunState& state) {
  TRestorerResult result;
  inspect::FillDefaultTexts();
  if (state.scanning) {
    prompter.Prompt(inspect::Lng(110), "Warning", win::kMbIconWarning | win::kMbTopmost);
    return result;
  }
  if (options.createRestorePoint) inspect::CreateRestorePoint();
  state.repairing = true;

  std::vector<TPlannedChange> plan;
  for (const TCatalogueRow& row : kCatalogue) {
    if (!options.IsTicked(row.repair)) continue;
    for (const TOperation& op : row.ops) {
      try {
        PlanOperation(op, &plan);
      } catch (const std::exception&) {
      }
    }
  }
  if (!SaveBackup(plan, prompter, &result.backupPath)) {
    state.repairing = false;
    return result;
  }

  for (const TCatalogueRow& row : kCatalogue) {
    if (!options.IsTicked(row.repair)) continue;
    for (const TOperation& op : row.ops) {
      bool done = false;
      try {
        done = Carry(op);
      } catch (const std::exception&) {
      }
      if (!done) ++result.failedOperations;
    }
  }
  result.applied = true;

  std::string text = inspect::Lng(186);
  if (!result.backupPath.empty()) text += "\r\n\r\n" + std::string(kUndoLabel) + result.backupPath;
  prompter.Prompt(text, inspect::Lng(136), win::kMbIconInformation | win::kMbTopmost);
  state.repairing = false;
  return result;
}

TRestorerResult SetBrowserValue(TBrowserValue which, const std::string& text, inspect::TPrompter& prompter) {
  TRestorerResult result;
  const size_t i = static_cast<size_t>(which);
  if (i >= std::size(kBrowserValues)) return result;
  const TBrowserRow& row = kBrowserValues[i];
  std::vector<TPlannedChange> plan;
  for (RegKey root : row.roots) {
    if (root) plan.push_back({TPlannedChange::Kind::Value, root, KeyOf(row.key), row.value});
  }
  if (!SaveBackup(plan, prompter, &result.backupPath)) return result;
  for (RegKey root : row.roots) {
    if (root && !inspect::RegWriteString(root, KeyOf(row.key) + "\\" + row.value, text)) ++result.failedOperations;
  }
  result.applied = true;
  return result;
}

}  // namespace restorer
