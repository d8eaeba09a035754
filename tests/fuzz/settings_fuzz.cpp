// Settings files are whatever the user (or malware) left in Data\: any bytes must load.
#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/fake/fake_machine.h"
#include "scan/settings.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static platform::fake::Machine* machine = [] {
    auto* m = new platform::fake::Machine;
    m->Install();
    return m;
  }();
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  const std::string app = "C:\\Tools\\BurrowSentry\\";
  // First half as Options.ini, second half as a list file.
  machine->AddFile(app + "Data\\Options.ini", bytes.substr(0, size / 2));
  machine->AddFile(app + "Data\\exclist.txt", bytes.substr(size / 2));
  scan::TSettings settings;
  scan::LoadSettings(app, settings);
  scan::TakeScanOptions(settings);
  return 0;
}
