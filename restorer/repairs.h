// The repair catalogue of the Restorer page and the batch that applies the ticked repairs.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

#include "inspect/prompt.h"
#include "inspect/run_state.h"
#include "platform/platform.h"

namespace restorer {

// The repairs in the order a batch carries them out (the order of the catalogue).
enum class TRepair : uint8_t {
  RegistryEditor, TaskManager, Cmd, DisallowRun, ShowAll, Firewall, ShowHiddenFiles, ShowSystemFiles,
  DisableDcom, SignedAppInitDlls, FolderOptions, Shell, Userinit, UIHost, ExeFile, ComFile, BatFile,
  ScrFile, PifFile, TxtFile, PoliciesExplorerRun, SafeModeXpSp2, SafeModeXpSp3, SafeMode2000Sp4,
  SafeMode2003R2Sp2, SafeMode7, SafeMode7x64, RunInvalidSignatures, CheckExeSignatures, Dep,
  PhishingFilter, DisableSr, SfcDisable, SfcScan, SfpPopups, LowRiskFileTypes, ChangingWallpaper,
  SetActiveDesktop, ActiveDesktopChanges,
};
constexpr size_t kRepairCount = 39;

// What the Apply handler reads from the page: the ticked boxes, the Safe Mode radio button
// (a repair like the others) and the restore-point option of the Settings page.
struct TRestorerOptions {
  std::array<bool, kRepairCount> ticked{};
  bool createRestorePoint = true;

  void Tick(TRepair repair) { ticked[static_cast<size_t>(repair)] = true; }
  bool IsTicked(TRepair repair) const { return ticked[static_cast<size_t>(repair)]; }
};

// The English caption of a repair ("Restore Registry Editor", ...).
const char* RepairCaption(TRepair repair);

struct TRestorerResult {
  bool applied = false;        // false: refused during a scan, or the user stopped it
  std::string backupPath;      // empty when nothing was saved
  int failedOperations = 0;    // operations the registry refused (nobody is told)
};

// Apply: refuses during a scan, makes the restore point when asked, saves the undo file, carries
// out every ticked repair in catalogue order (each operation tried whatever became of the ones
// before) and shows the final message. `state.repairing` is set from after the guard until the
// message has been answered.
TRestorerResult ApplyRepairs(const TRestorerOptions& options, inspect::TPrompter& prompter,
                             inspect::TRunState& state);

// The seven browser values of the IE Urls and IE Hijacks sub-pages, each written at once.
enum class TBrowserValue : uint8_t {
  StartPage, DefaultSearchUrl, SearchPage, DefaultPageUrl, SearchAssistant, UrlSearchHooks, WindowTitle,
};
constexpr size_t kBrowserValueCount = 7;

// Writes `text` (empty included) as REG_SZ at the value's places, after saving what they hold.
TRestorerResult SetBrowserValue(TBrowserValue which, const std::string& text, inspect::TPrompter& prompter);

}  // namespace restorer
