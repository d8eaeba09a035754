// The autostart and tampering sections against the classic ones of a default scan: each set run
// through the frame three times, the median compared (goal: the new ones add at most 25 %).
// "Kernel Mode Info" is left out of the classic set (it loads the driver), which only makes the
// share look larger. Under Wine on the prefix's registry and files; natively over the fake
// machine seeded with a hostile report scenario.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

#include "inspect/lang.h"
#include "scan/frame.h"

#ifdef _WIN32
#include "platform/win32/win32_backend.h"
#include "rootkit/native_layer.h"
#else
#include "platform/fake/fake_machine.h"
#include "tests/support/report_scenario.h"
#endif

namespace {

using Clock = std::chrono::steady_clock;

class NoDisplay : public scan::TScanDisplay {
 public:
  void AddLine(const std::string&) override {}
  void SetProgress(int) override {}
};

double MedianSeconds(const std::vector<scan::TSection>& sections, const scan::TScanOptions& options) {
  std::vector<double> runs;
  for (int i = 0; i < 3; ++i) {
    scan::TReport report;
    NoDisplay display;
    const auto start = Clock::now();
    scan::ScanThread(report, options, display, sections);
    runs.push_back(std::chrono::duration<double>(Clock::now() - start).count());
  }
  std::sort(runs.begin(), runs.end());
  return runs[1];
}

}  // namespace

int main() {
#ifdef _WIN32
  platform::win32::Install();
  rootkit::InitNativeLayer();
  const char* where = "under Wine";
#else
  platform::fake::Machine machine;
  machine.Install();
  bs_test::SeedReportScenario(machine, 2000, 200);
  const char* where = "over the fake machine";
#endif
  inspect::FillDefaultTexts();
  std::vector<scan::TSection> classic, extra;
  for (const scan::TSection& section : scan::DefaultSections()) {
    if (section.gate == &scan::TScanOptions::ExtraSections) {
      extra.push_back(section);
    } else if (section.gate != &scan::TScanOptions::KernelModeInfo) {
      classic.push_back(section);
    }
  }
  const scan::TScanOptions options;
  const double classicSeconds = MedianSeconds(classic, options);
  const double extraSeconds = MedianSeconds(extra, options);
  std::printf("extra sections %s: classic %.3f s, autostart and tampering %.3f s, +%.1f %% (goal: at most 25 %%)\n",
              where, classicSeconds, extraSeconds, classicSeconds > 0 ? extraSeconds * 100 / classicSeconds : 0.0);
  return 0;
}
