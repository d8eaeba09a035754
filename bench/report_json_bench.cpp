// The JSON writer against the text writer on a hostile machine's report: 20,000 Run values
// listed by the registry section over the fake machine, and 10,000 file description lines (built
// directly: describing the files would only add to the run, not to either writer). Each writer
// takes the finished report and leaves a file; the run is the section plus the writer.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include <unistd.h>

#include "inspect/lang.h"
#include "platform/fake/fake_machine.h"
#include "scan/frame.h"
#include "scan/report_json.h"
#include "scan/sections.h"
#include "tests/support/report_scenario.h"

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

void WriteFile(const std::string& path, const std::string& text) {
  std::FILE* out = std::fopen(path.c_str(), "wb");
  if (!out) return;
  std::fwrite(text.data(), 1, text.size(), out);
  std::fclose(out);
}

void FileLines(scan::TReport& report, const scan::TScanOptions&) {
  for (int i = 0; i < 10000; ++i) {
    char line[256];
    std::snprintf(line, sizeof line,
                  "C:\\Program Files (x86)\\Vendor %d\\bin\\tool%05d.exe (%d bytes) (Vendor (R) Corp) "
                  "(1/2/2024 3:04:05 PM) (--A-) (%032x)",
                  i % 7, i, 16384 + i, i);
    report.Add(line);
  }
}

}  // namespace

int main() {
  platform::fake::Machine m;
  m.Install();
  inspect::ClearLngTable();
  inspect::FillDefaultTexts();
  bs_test::SeedReportScenario(m, 20000, 0);
  const scan::TScanOptions options = bs_test::ScenarioOptions();

  std::vector<scan::TSection> sections;
  for (const scan::TSection& s : scan::DefaultSections()) {
    if (s.titleKey == 17) sections.push_back(s);  // Registry startups
  }
  scan::TSection files = sections.front();
  files.titleKey = 24;  // Executables in Temp folders
  files.content = FileLines;
  sections.push_back(files);

  scan::TReport report;
  bs_test::NullDisplay display;
  auto start = Clock::now();
  scan::ScanThread(report, options, display, sections);
  const double scanSeconds = Seconds(start);

  const std::string path = "/tmp/bs-report-bench." + std::to_string(static_cast<long>(getpid()));
  double text = 1e9, json = 1e9;
  size_t textBytes = 0, jsonBytes = 0;
  for (int round = 0; round < 5; ++round) {
    start = Clock::now();
    const std::string t = report.Text();
    WriteFile(path + ".txt", t);
    text = std::min(text, Seconds(start));
    textBytes = t.size();

    start = Clock::now();
    const std::string j = scan::ReportJson(scan::Utf8ReportModel(report, scan::CurrentReportWords(&options)));
    WriteFile(path + ".json", j);
    json = std::min(json, Seconds(start));
    jsonBytes = j.size();
  }
  std::remove((path + ".txt").c_str());
  std::remove((path + ".json").c_str());

  std::printf("report writers, 20,000 Run values and 10,000 file lines (%zu items; best of 5)\n", report.Count());
  std::printf("  scan of the two sections: %8.3f s\n", scanSeconds);
  std::printf("  text writer:              %8.3f s  (%zu bytes)\n", text, textBytes);
  std::printf("  JSON writer:              %8.3f s  (%zu bytes)\n", json, jsonBytes);
  std::printf("  run with JSON / run with text: x%.3f (goal at most x1.10); writer alone: x%.1f\n",
              (scanSeconds + json) / (scanSeconds + text), json / text);
  return 0;
}
