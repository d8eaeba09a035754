// Drives BurrowSentry.exe through its window: starts it, clicks "Scan PC", watches the run and
// checks the log area, then closes the window and checks the process ends.
//
//   gui_driver.exe <path of BurrowSentry.exe> [scenario...]
//
// Scenarios (all, in this order, when none is named):
//   scan        a fresh folder: window, Data\ and Logs\ created, a full scan, close
//   close-scan  the window closed while a scan runs: the scan is stopped, the process ends by
//               itself, the run's clean-up ran and the cut-short run wrote no file although
//               "Save the report" is on
//   background  "Work in background" and "Save the report" on, slow sections off: the window
//               hides during the run and returns, the log file holds the report
// Further scenarios, run when named: pages (every page button, screenshots of every page),
// settings (round trip through a restart), language (the German file from the combo box),
// logs (Delete Logs), exit-scan (File, Exit during a scan), keys (mnemonics, Tab and Enter),
// update (the update check from the Update window, against the server of BS_UPDATE_SERVER),
// restorer (a batch of three repairs
// and a Safe Mode import through the Restorer page, checked in the registry and by bsscan.exe,
// then undone with its undo file; needs Data\SM\ and bsscan.exe beside the program and a
// prefix without Safe Mode keys), tools (the Windows Tools entries enabled by the files of the
// prefix, the power questions answered No, the Run... dialog cancelled).
// startups (the Startups list and its delete), editors (hosts and boot-file editors, the BHOs
// list), delete-file (the file deleter).
// A power question is never answered Yes.
// With BS_SCREENSHOT_HANDSHAKE set, a scenario writes <exe folder>\screenshot.request holding
// the picture's name and waits for screenshot.done.

#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "tests/e2e/helpers/gui_driver/scenarios.h"

using namespace gui_driver;

namespace {

// The scenario named `name` in any group; null when none has it.
const TScenario* FindScenario(const std::string& name) {
  for (auto group : {ScanScenarios, WindowScenarios, RestorerScenarios, ManagerScenarios, BenchScenarios}) {
    for (const TScenario& scenario : group()) {
      if (name == scenario.name) return &scenario;
    }
  }
  return nullptr;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: gui_driver.exe <path of BurrowSentry.exe> [scan|close-scan|background...]\n");
    return 2;
  }
  char full[MAX_PATH] = {};
  GetFullPathNameA(argv[1], MAX_PATH, full, nullptr);
  const std::string exe = full;

  std::vector<std::string> names(argv + 2, argv + argc);
  // The further scenarios need the language files beside the program; they run when named.
  if (names.empty()) names = {"scan", "close-scan", "background"};
  for (const std::string& name : names) {
    const TScenario* scenario = FindScenario(name);
    if (!scenario) {
      std::fprintf(stderr, "unknown scenario %s\n", name.c_str());
      return 2;
    }
    std::printf("scenario %s\n", name.c_str());
    std::fflush(stdout);
    const int before = g_failures;
    try {
      scenario->run(exe);
    } catch (const Failure& failure) {
      Check(false, failure.what());
    }
    std::printf("scenario %s: %s\n", name.c_str(), g_failures == before ? "ok" : "FAILED");
    std::fflush(stdout);
  }
  return g_failures == 0 ? 0 : 1;
}
