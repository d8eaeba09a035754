// A harmless stand-in for a dropped program: sample_payload.exe [SECONDS [DLL]].
// It loads the DLL when one is named, says "ready" on standard output, waits the given number
// of seconds (default 0) and exits. The demo and the end-to-end tests run copies of it where
// malware likes to hide; a DLL that cannot be loaded ends it at once with exit code 2.
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

int main(int argc, char** argv) {
  int seconds = argc > 1 ? std::atoi(argv[1]) : 0;
  if (argc > 2 && !LoadLibraryA(argv[2])) {
    std::fprintf(stderr, "sample_payload: cannot load %s (error %lu)\n", argv[2], GetLastError());
    return 2;
  }
  std::printf("ready\n");
  std::fflush(stdout);
  std::this_thread::sleep_for(std::chrono::seconds(seconds));
  return 0;
}
