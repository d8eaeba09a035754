// A machine with something in most sections, scanned whole: the report the JSON tests, the
// schema check and the writer benchmark start from.
#pragma once

#include <cstdio>
#include <string>

#include "platform/fake/fake_machine.h"
#include "scan/frame.h"
#include "tests/support/scan_helpers.h"

namespace bs_test {

inline constexpr const char* kScenarioTemp = "C:\\DOCUME~1\\User\\LOCALS~1\\Temp\\";
inline constexpr const char* kScenarioRun = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";

// `runValues` Run values (one of them with a line break and one outside ASCII in its data) and
// `files` files in the Temp folder (PE files named .exe, one in fifty hidden).
inline void SeedReportScenario(platform::fake::Machine& m, int runValues, int files) {
  for (int i = 0; i < runValues; ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "Start%05d", i);
    std::string data = std::string("C:\\Program Files\\App (x86)\\") + name + ".exe /q";
    if (i == 1) data += "\r\nsecond line";
    if (i == 2) data = "C:\\Caf\xE9\\\"quoted\" \\ tab\there.exe";
    m.SetString(platform::kHkeyLocalMachine, kScenarioRun, name, data);
  }
  for (int i = 0; i < files; ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "f%05d.%s", i, i % 2 ? "exe" : "txt");
    m.AddFile(std::string(kScenarioTemp) + name, i % 2 ? PeFileBytes(1024) : std::string(1024, 't'),
              i % 50 == 0 ? platform::win::kFileAttributeHidden : platform::win::kFileAttributeArchive);
  }
}

class NullDisplay : public scan::TScanDisplay {
 public:
  void AddLine(const std::string&) override {}
  void SetProgress(int) override {}
};

inline scan::TScanOptions ScenarioOptions() {
  scan::TScanOptions o;
  o.ReduceMemoryUsage = false;
  o.ExcludeMicrosoftFiles = false;
  o.RecentFiles = true;
  o.RecentDays = 30;
  return o;
}

}  // namespace bs_test
