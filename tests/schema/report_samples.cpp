// Writes JSON reports into the folder given: a whole scan of the fake machine, and a report with
// every kind of entry; tests/schema/json_schema.sh validates them against cli/report.schema.json.
#include <cstdio>
#include <initializer_list>
#include <string>

#include "inspect/lang.h"
#include "scan/report_json.h"
#include "tests/support/report_scenario.h"

namespace {

bool Write(const std::string& path, const std::string& text) {
  std::FILE* out = std::fopen(path.c_str(), "wb");
  if (!out) return false;
  const bool ok = std::fwrite(text.data(), 1, text.size(), out) == text.size();
  return std::fclose(out) == 0 && ok;
}

const char kMd5[] = "d41d8cd98f00b204e9800998ecf8427e";

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: report_samples FOLDER\n");
    return 2;
  }
  const std::string folder = argv[1];
  platform::fake::Machine machine;
  machine.Install();
  inspect::FillDefaultTexts();

  bs_test::SeedReportScenario(machine, 20, 30);
  scan::TReport scanned;
  bs_test::NullDisplay display;
  const scan::TScanOptions options = bs_test::ScenarioOptions();
  scan::ScanThread(scanned, options, display);

  scan::TReport kinds;
  for (const std::string& item : std::initializer_list<std::string>
       {"Burrow Sentry 1.8.4.0", "http://x", "Log created on 1/1/2024 at 10:00:00", "", "[+] Ring3 API Hooks", "",
        "C:\\WINDOWS\\explorer.exe -> KERNEL32.DLL->CreateProcessW -> hook.dll -> Inline JMP 0xE9",
        "C:\\WINDOWS\\explorer.exe -> USER32.DLL->MessageBoxA ->  -> IAT", "", "[+] Non accessible files", "",
        std::string("C:\\s.sys (7 bytes) (Unknown) (") + kMd5 + ")", "C:\\h.sys (!!!POSSIBLE ROOTKIT IS HIDING FILES!!!)",
        "C:\\l.exe (LOCKED)", std::string("C:\\n.exe (5 bytes) (A (B)) () (HSAR) (") + kMd5 + ") (created)",
        "Value: V\r\nData: d\r\nCLSID: {0}\r\nKey: HKEY_CLASSES_ROOT\\CLSID\r\n", "ctl \x01\x7f\xff", "", "---",
        "Finish [ 0:0:0 ]"}) {
    kinds.Add(item);
  }
  const scan::TReportWords words = scan::CurrentReportWords(nullptr);
  const bool ok = Write(folder + "/scanned.json", scan::ReportJson(scan::Utf8ReportModel(scanned, scan::CurrentReportWords(&options)))) &&
                  Write(folder + "/kinds.json", scan::ReportJson(scan::Utf8ReportModel(kinds, words))) &&
                  Write(folder + "/empty.json", scan::ReportJson(scan::Utf8ReportModel(scan::TReport{}, words)));
  if (!ok) std::fprintf(stderr, "report_samples: cannot write into %s\n", folder.c_str());
  return ok ? 0 : 1;
}
