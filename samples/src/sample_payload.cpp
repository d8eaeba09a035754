// A harmless stand-in for a dropped program: it waits the given number of seconds (default 0)
// and exits. The demo drops copies of it where malware likes to hide.
#include <chrono>
#include <cstdlib>
#include <thread>

int main(int argc, char** argv) {
  int seconds = argc > 1 ? std::atoi(argv[1]) : 0;
  std::this_thread::sleep_for(std::chrono::seconds(seconds));
  return 0;
}
