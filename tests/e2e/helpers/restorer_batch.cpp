// Applies one Restorer batch with the real backend and prints where its undo file went:
// "backup <path>" (empty when none) and "applied <0|1>". Questions are printed and answered
// OK or Yes; no power command is reachable from here.
//
//   restorer_batch.exe REPAIR_NUMBER...   (numbers in catalogue order, from 0)
#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/win32/win32_backend.h"
#include "restorer/repairs.h"

namespace {

struct TConsolePrompter : inspect::TPrompter {
  int Prompt(const std::string& text, const std::string& caption, uint32_t flags) override {
    std::printf("prompt [%s] %s\n", caption.c_str(), text.c_str());
    return (flags & platform::win::kMbYesNo) ? platform::win::kIdYes : platform::win::kIdOk;
  }
};

}  // namespace

int main(int argc, char** argv) {
  platform::win32::Install();
  restorer::TRestorerOptions options;
  options.createRestorePoint = false;
  for (int i = 1; i < argc; ++i) {
    const long n = std::strtol(argv[i], nullptr, 10);
    if (n >= 0 && static_cast<size_t>(n) < restorer::kRepairCount) options.Tick(static_cast<restorer::TRepair>(n));
  }
  TConsolePrompter prompter;
  inspect::TRunState state;
  const restorer::TRestorerResult result = restorer::ApplyRepairs(options, prompter, state);
  std::printf("backup %s\napplied %d\n", result.backupPath.c_str(), result.applied ? 1 : 0);
  return result.applied ? 0 : 1;
}
