// One row type for every registry check list, walked by one runner. A row names a key and
// either tests one of its values or hands the key to a lister.
#pragma once

#include <array>
#include <exception>
#include <span>
#include <string>
#include <string_view>

#include "inspect/system.h"
#include "platform/platform.h"
#include "scan/options.h"
#include "scan/report.h"
#include "scan/value_checks.h"

namespace scan {

using platform::RegKey;

enum class TCheck {
  AllValues,  // every value of the key (DumpRegistryKey)
  Value,      // CheckValue with the row's test and expected texts
  TerminalServerRun,
  ActiveSetupStubs,
  BrowserHelperObjects,
  DelayLoadObjects,
  WinlogonNotify,
  ClsidHookValues,
  DebuggerHijacks,
  // The first expected text of these rows is a stock list (extra_registry_sections.h).
  SubkeyValues,        // the named value of every subkey, unless stock
  SubkeyAllValues,     // every value of every subkey
  NestedSubkeyValues,  // the named value of every subkey of every subkey
  UnlistedValues,      // every value whose text is not stock
  UnlistedValueNames,  // every value whose name is not stock
  UnlistedItems,       // the named (multi-string) value when an item of it is not stock
  SilentExitMonitors,  // expected: the image options key
  UserClassOverrides,
  ContextMenuHandlers,
  FirewallRules,
};

// Expected texts are patterns: "{Windows}", "{System}", "{ProgramFiles}" (folders without
// trailing backslash) and "{SecurityProviders}" (the providers of a clean system of this kind)
// are replaced by this machine's texts.
struct TCheckRow {
  RegKey root;
  const char* keyPath;
  TCheck check;
  const char* valueName = "";
  TValueTest test = TValueTest::Always;
  std::array<const char*, 3> expected{};  // unused ones null
};

// This machine's texts for the patterns of the rows.
struct TMachineTexts {
  std::string windows, system, programFiles, securityProviders;
};
TMachineTexts CurrentMachineTexts();
std::string Expand(std::string_view pattern, const TMachineTexts& texts);

// Runs one item of a walk; a failure is logged and the walk goes on with the next item.
template <class F>
void Guarded(F&& item) {
  try {
    item();
  } catch (const std::exception& error) {
    inspect::WriteDebugLog(inspect::DebugLogEntry(error));
  } catch (...) {
    inspect::WriteDebugLog("unknown->check failed");
  }
}

// Runs the rows in order. A row that fails is written to the debug log and the walk goes on.
void RunChecks(TReport& report, const TScanOptions& options, std::span<const TCheckRow> rows);

}  // namespace scan
