// A default scan of this machine with the autostart sections after the classic ones, against the
// same scan without them: they may add at most a quarter to its time. Runs alternate so that a
// warm file cache favours neither; the median of each side is compared.
// Usage: extra_sections_bench [rounds]   (default 3; Windows only, under Wine on this host)
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "inspect/lang.h"
#include "scan/frame.h"

#ifdef _WIN32
#include "platform/win32/win32_backend.h"
#endif

namespace {

class NullDisplay : public scan::TScanDisplay {
 public:
  void AddLine(const std::string&) override {}
  void SetProgress(int) override {}
};

double ScanSeconds(bool extra) {
  scan::TScanOptions options;
  options.ExtraSections = extra;
  scan::TReport report;
  NullDisplay display;
  const auto start = std::chrono::steady_clock::now();
  scan::ScanThread(report, options, display);
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
#ifdef _WIN32
  const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
  platform::win32::Install();
  inspect::FillDefaultTexts();
  std::vector<double> without, with;
  for (int i = 0; i < rounds; ++i) {
    without.push_back(ScanSeconds(false));
    with.push_back(ScanSeconds(true));
  }
  const double base = Median(without), extra = Median(with);
  std::printf("extra_sections_bench: default scan, median of %d\n", rounds);
  std::printf("  classic sections only: %7.2f s\n", base);
  std::printf("  with the new sections: %7.2f s  (+%.1f %%, limit +25 %%)%s\n", extra, (extra / base - 1) * 100,
              extra <= base * 1.25 ? "" : "  OVER THE LIMIT");
#else
  (void)argc;
  (void)argv;
  std::printf("extra_sections_bench: scans the running Windows; run the Windows build\n");
#endif
  return 0;
}
