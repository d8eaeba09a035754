// Start-up of BurrowSentry.exe: from process start to its first painted window, against the
// floor, a minimal window program built the same way. Both show their window and then paint it
// (UpdateWindow) before their message loop runs, so the moment the visible window first answers
// a sent message its first paint is done. Medians of alternating runs, after one warm-up each.
//
//   startup_bench.exe [runs]   (default 9; the build's program, BurrowSentry.exe or
//                               BurrowSentry64.exe, is looked for beside the bench folder)
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

struct TSearch {
  DWORD pid;
  HWND found;
};

BOOL CALLBACK Visit(HWND window, LPARAM param) {
  auto* search = reinterpret_cast<TSearch*>(param);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  if (owner != search->pid || !IsWindowVisible(window) || GetWindow(window, GW_OWNER)) return TRUE;
  search->found = window;
  return FALSE;
}

double Now() {
  static LARGE_INTEGER frequency = [] {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return f;
  }();
  LARGE_INTEGER counter;
  QueryPerformanceCounter(&counter);
  return 1000.0 * static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// Milliseconds from CreateProcess to the first answer of the visible window; negative on failure.
double TimeStart(const std::string& exe) {
  const std::string folder = exe.substr(0, exe.find_last_of('\\') + 1);
  std::string commandLine = "\"" + exe + "\"";
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  const double start = Now();
  if (!CreateProcessA(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(), &startup,
                      &process)) {
    return -1;
  }
  double elapsed = -1;
  TSearch search{process.dwProcessId, nullptr};
  while (Now() - start < 60000 && WaitForSingleObject(process.hProcess, 0) == WAIT_TIMEOUT) {
    EnumWindows(&Visit, reinterpret_cast<LPARAM>(&search));
    if (search.found) {
      DWORD_PTR ignored = 0;
      if (SendMessageTimeoutA(search.found, WM_NULL, 0, 0, SMTO_BLOCK, 30000, &ignored)) elapsed = Now() - start;
      break;
    }
    Sleep(1);
  }
  // Ended at once: nothing is saved, the folder stays as it was.
  TerminateProcess(process.hProcess, 0);
  WaitForSingleObject(process.hProcess, 10000);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return elapsed;
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values.empty() ? 0 : values[values.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 9;
  char self[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, self, MAX_PATH);
  std::string benchDir = self;
  benchDir.resize(benchDir.find_last_of('\\') + 1);
  const std::string floor = benchDir + "floor\\startup_floor.exe";
  const std::string program = benchDir + "..\\" BS_PROGRAM_FILE;

  std::vector<double> floorTimes, programTimes, ratios;
  for (int i = -1; i < runs; ++i) {
    const double f = TimeStart(floor);
    const double p = TimeStart(program);
    if (f < 0 || p < 0) {
      std::printf("startup_bench: a window did not show (floor %.1f, program %.1f)\n", f, p);
      return 1;
    }
    if (i < 0) continue;  // the warm-up
    floorTimes.push_back(f);
    programTimes.push_back(p);
    ratios.push_back(p / f);  // pairs taken back to back share the machine's load of the moment
  }
  const double f = Median(floorTimes), p = Median(programTimes);
  std::printf("startup_bench: process start to first painted window, median of %d runs\n", runs);
  std::printf("  floor (minimal window program): %7.1f ms\n", f);
  std::printf("  %-31s %7.1f ms\n", BS_PROGRAM_FILE ":", p);
  std::printf("  ratio of the medians:           %7.2f\n", f > 0 ? p / f : 0.0);
  std::printf("  median of the pairs' ratios:    %7.2f\n", Median(ratios));
  return 0;
}
