// The length of a 1 ms pause, as the scan's pacing asks for it: with the system timer as it is,
// then with the resolution the scan raises it to. Windows 2000 and XP stretch the first to a
// whole timer tick (10 to 15.6 ms); the second should stay near 1 ms everywhere.
// The mean over many pauses: the clock itself may tick as coarsely as the timer.
// Usage: pause_bench [pauses]   (default 500)
#include <chrono>
#include <cstdio>
#include <algorithm>
#include <cstdlib>

#include "platform/platform.h"
#include "platform/timer_period.h"

#ifdef _WIN32
#include "platform/win32/win32_backend.h"
#else
#include "platform/fake/fake_machine.h"
#endif

namespace {

double MeanPauseMs(int pauses) {
  const auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < pauses; ++i) platform::Sys().Sleep(1, false);
  const std::chrono::duration<double, std::milli> elapsed = std::chrono::steady_clock::now() - start;
  return elapsed.count() / pauses;
}

}  // namespace

int main(int argc, char** argv) {
  const int pauses = argc > 1 ? std::max(1, std::atoi(argv[1])) : 500;
#ifdef _WIN32
  platform::win32::Install();
  const char* where = "Windows";
#else
  platform::fake::Machine machine;  // its pause is the host's
  machine.Install();
  const char* where = "host";
#endif
  std::printf("pause_bench (%s): Sleep(1), mean of %d pauses\n", where, pauses);
  std::printf("  timer as it is:   %.2f ms\n", MeanPauseMs(pauses));
  {
    const platform::ScopedTimerPeriod fine(1);
    std::printf("  timer at 1 ms:    %.2f ms%s\n", MeanPauseMs(pauses), fine.Begun() ? "" : " (raise refused)");
  }
  return 0;
}
