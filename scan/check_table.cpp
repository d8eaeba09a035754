// The runner of the registry check tables.
#include "scan/check_table.h"

#include <algorithm>
#include <iterator>
#include <vector>

#include "scan/extra_registry_sections.h"
#include "scan/registry_listers.h"
#include "scan/sections.h"

namespace scan {

namespace win = platform::win;

TMachineTexts CurrentMachineTexts() {
  TMachineTexts texts{inspect::GetWindowsDir(), inspect::GetSystemDir(),
                      inspect::GetSpecialFolder(win::kCsidlProgramFiles), ""};
  texts.securityProviders =
      inspect::IsNewerWindows() ? "credssp.dll" : "msapsspc.dll, schannel.dll, digest.dll, msnsspc.dll";
  return texts;
}

std::string Expand(std::string_view pattern, const TMachineTexts& texts) {
  const std::pair<std::string_view, const std::string*> tokens[] = {
      {"{Windows}", &texts.windows},
      {"{System}", &texts.system},
      {"{ProgramFiles}", &texts.programFiles},
      {"{SecurityProviders}", &texts.securityProviders},
  };
  std::string out;
  while (!pattern.empty()) {
    const auto* token = std::find_if(std::begin(tokens), std::end(tokens),
                                     [&](const auto& t) { return pattern.starts_with(t.first); });
    if (token != std::end(tokens)) {
      out += *token->second;
      pattern.remove_prefix(token->first.size());
    } else {
      out += pattern.front();
      pattern.remove_prefix(1);
    }
  }
  return out;
}

namespace {

void RunCheck(TReport& report, const TScanOptions& options, const TCheckRow& row, const TMachineTexts& texts) {
  // The stock list of the rows that take one.
  const auto list = [&] { return row.expected[0] ? Expand(row.expected[0], texts) : std::string(); };
  switch (row.check) {
    case TCheck::AllValues:
      DumpRegistryKey(row.keyPath, row.root, report);
      return;
    case TCheck::Value: {
      std::vector<std::string> expected;
      for (const char* pattern : row.expected) {
        if (pattern != nullptr) expected.push_back(Expand(pattern, texts));
      }
      CheckValue(report, row.keyPath, row.valueName, row.root, row.test, expected);
      return;
    }
    case TCheck::TerminalServerRun:
      ListTerminalServerRun(report, row.root);
      return;
    case TCheck::ActiveSetupStubs:
      ListActiveSetupStubs(report, options, row.keyPath, row.root);
      return;
    case TCheck::BrowserHelperObjects:
      ListBrowserHelperObjects(report, options, row.keyPath, row.root);
      return;
    case TCheck::DelayLoadObjects:
      ListDelayLoadObjects(report, options, row.keyPath, row.root);
      return;
    case TCheck::WinlogonNotify:
      ListWinlogonNotify(report, options, row.keyPath, row.root);
      return;
    case TCheck::ClsidHookValues:
      ListClsidHookValues(report, options, row.keyPath, row.root);
      return;
    case TCheck::DebuggerHijacks:
      ListDebuggerHijacks(report, row.keyPath, row.root);
      return;
    case TCheck::SubkeyValues:
      ListSubkeyValuesExcept(report, row.keyPath, row.root, row.valueName, list());
      return;
    case TCheck::SubkeyAllValues:
      ListSubkeyAllValues(report, row.keyPath, row.root);
      return;
    case TCheck::NestedSubkeyValues:
      ListNestedSubkeyValues(report, row.keyPath, row.root, row.valueName);
      return;
    case TCheck::UnlistedValues:
    case TCheck::UnlistedValueNames:
      ListUnlistedValues(report, row.keyPath, row.root, list(), row.check == TCheck::UnlistedValueNames);
      return;
    case TCheck::UnlistedItems:
      ListUnlistedItems(report, row.keyPath, row.root, row.valueName, list());
      return;
    case TCheck::SilentExitMonitors:
      ListSilentExitMonitors(report, row.keyPath, row.root, list());
      return;
    case TCheck::UserClassOverrides:
      ListUserClassOverrides(report, row.keyPath, row.root);
      return;
    case TCheck::ContextMenuHandlers:
      ListContextMenuHandlers(report, options, row.keyPath, row.root);
      return;
    case TCheck::FirewallRules:
      ListFirewallRules(report, row.keyPath, row.root);
      return;
  }
}

}  // namespace

void RunChecks(TReport& report, const TScanOptions& options, std::span<const TCheckRow> rows) {
  const TMachineTexts texts = CurrentMachineTexts();
  for (const TCheckRow& row : rows) Guarded([&] { RunCheck(report, options, row, texts); });
}

}  // namespace scan
