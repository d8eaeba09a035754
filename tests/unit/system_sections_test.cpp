// Sections 1 to 3 over the fake machine: the system identity lines, running processes and
// loaded modules with their filters.
#include <gtest/gtest.h>

#include <functional>
#include <optional>

#include "inspect/lang.h"
#include "platform/fake/fake_machine.h"
#include "scan/sections.h"
#include "tests/support/scan_helpers.h"

namespace {

using namespace scan;
using platform::kHkeyLocalMachine;
namespace win = platform::win;
using Lines = std::vector<std::string>;

constexpr const char* kNtVersion = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion";
constexpr const char* kIe = "SOFTWARE\\Microsoft\\Internet Explorer";

// The path part of each file line (the test paths hold no " (").
Lines Paths(const TReport& report) {
  Lines paths;
  for (const std::string& line : bs_test::ReportItems(report)) paths.push_back(line.substr(0, line.find(" (")));
  return paths;
}

TScanOptions Options(bool excludeMicrosoft, bool suspiciousOnly = true, bool reduceMemory = false) {
  TScanOptions o;
  o.ExcludeMicrosoftFiles = excludeMicrosoft;
  o.SuspiciousModulesOnly = suspiciousOnly;
  o.ReduceMemoryUsage = reduceMemory;
  return o;
}

class SystemSections : public ::testing::Test {
 protected:
  void SetUp() override {
    m.Install();
    inspect::ClearLngTable();
    inspect::FillDefaultTexts();
  }
  void TearDown() override { inspect::ClearLngTable(); }
  platform::fake::Machine m;
  TReport report;
};

TEST_F(SystemSections, GenericSystemInfo) {
  struct Case {
    const char* name;
    std::optional<bool> wow64;
    const char* servicePack;  // null: no CSDVersion value
    std::function<void(platform::fake::Machine&)> browser;
    Lines expected;
  } cases[] = {
      {"32-bit with the browser version", false, "Service Pack 3",
       [](auto& m) { m.SetString(kHkeyLocalMachine, kIe, "Version", "8.0.6001.18702"); },
       {"Operating System: Microsoft Windows XP Service Pack 3 32-bit", "Build Version: 2600.xpsp.080413-2111",
        "Internet Explorer: 8.0.6001.18702", "System Folder: C:\\WINDOWS\\system32"}},
      {"64-bit, browser key without Version", true, "Service Pack 3",
       [](auto& m) { m.SetString(kHkeyLocalMachine, kIe, "Build", "8001"); },
       {"Operating System: Microsoft Windows XP Service Pack 3 64-bit", "Build Version: 2600.xpsp.080413-2111",
        "System Folder: C:\\WINDOWS\\system32"}},
      {"the x86_64 build: not WoW64, yet 64-bit", false, "Service Pack 3",
       [](auto& m) {
         m.system().process64 = true;
         m.SetString(kHkeyLocalMachine, kIe, "Version", "8.0.6001.18702");
       },
       {"Operating System: Microsoft Windows XP Service Pack 3 64-bit", "Build Version: 2600.xpsp.080413-2111",
        "Internet Explorer: 8.0.6001.18702", "System Folder: C:\\WINDOWS\\system32"}},
      {"no IsWow64Process, no service pack, empty Version", std::nullopt, nullptr,
       [](auto& m) { m.SetString(kHkeyLocalMachine, kIe, "Version", " "); },
       {"Operating System: Microsoft Windows XP  32-bit", "Build Version: 2600.xpsp.080413-2111",
        "System Folder: C:\\WINDOWS\\system32"}},
      {"the name is compared exactly", false, "Service Pack 3",
       [](auto& m) { m.SetString(kHkeyLocalMachine, kIe, "version", "8.0"); },
       {"Operating System: Microsoft Windows XP Service Pack 3 32-bit", "Build Version: 2600.xpsp.080413-2111",
        "System Folder: C:\\WINDOWS\\system32"}},
  };
  for (const Case& c : cases) {
    platform::fake::Machine machine;
    machine.Install();
    machine.system().wow64 = c.wow64;
    machine.SetString(kHkeyLocalMachine, kNtVersion, "ProductName", "Microsoft Windows XP");
    machine.SetString(kHkeyLocalMachine, kNtVersion, "BuildLab", "2600.xpsp.080413-2111");
    if (c.servicePack) machine.SetString(kHkeyLocalMachine, kNtVersion, "CSDVersion", c.servicePack);
    c.browser(machine);
    TReport r;
    WriteGenericSystemInfo(r, TScanOptions{});
    EXPECT_EQ(bs_test::ReportItems(r), c.expected) << c.name;
  }
}

TEST_F(SystemSections, RegistryValueLine) {
  m.SetString(kHkeyLocalMachine, "SOFTWARE\\Vendor", "Name", "  Acme  ");
  m.SetDword(kHkeyLocalMachine, "SOFTWARE\\Vendor", "Count", 42);
  m.SetValue(kHkeyLocalMachine, "SOFTWARE\\Vendor", "Blob", win::kRegBinary, {1, 2});
  for (const char* name : {"Name", "Count", "Blob", "Missing", "NAME"}) {
    AddRegistryValueLine("\\SOFTWARE\\Vendor", name, kHkeyLocalMachine, std::string("L-") + name, report);
  }
  AddRegistryValueLine("\\SOFTWARE\\NoSuchVendor", "Name", kHkeyLocalMachine, "Nope", report);
  EXPECT_EQ(bs_test::ReportItems(report), (Lines{"L-Name: Acme", "L-Count: 42", "L-Blob: Binary Data"}));
}

TEST_F(SystemSections, RunningProcesses) {
  m.AddFile("C:\\WINDOWS\\system32\\smss.exe", "smss");
  m.AddFile("C:\\WINDOWS\\system32\\winlogon.exe", "winlogon");
  m.AddFile("C:\\Program Files\\App\\app.exe", "MZ payload");
  m.AddFile("C:\\Program Files\\Other\\tool.exe", "tool");
  m.system().protectedFiles = {"C:\\WINDOWS\\system32\\smss.exe", "C:\\WINDOWS\\system32\\winlogon.exe"};

  platform::fake::FakeProcess& idle = m.AddProcess(0, "");
  idle.exeFile = "System Idle Process";
  idle.accessible = false;
  m.AddProcess(4, "System").accessible = false;
  m.AddProcess(368, "\\SystemRoot\\System32\\smss.exe");
  m.AddProcess(600, "\\??\\C:\\WINDOWS\\system32\\winlogon.exe");
  m.AddProcess(1000, "C:\\Program Files\\App\\app.exe");
  m.AddProcess(1004, "C:\\Program Files\\App\\app.exe");  // a second copy
  // Its main module cannot be read; its image path still names the file.
  m.AddProcess(1100, "C:\\Program Files\\Other\\tool.exe").exePath.clear();
  m.AddProcess(1200, "C:\\WINDOWS\\system32\\csrss.exe").accessible = false;

  const std::string idleLine = "\\System Idle Process (0 bytes) (Unknown) () (----) (d41d8cd98f00b204e9800998ecf8427e)";
  const Lines others{"\\System", "C:\\Program Files\\App\\app.exe", "C:\\Program Files\\Other\\tool.exe", "\\csrss.exe"};

  WriteRunningProcesses(report, Options(false, true, true));
  ASSERT_EQ(report.Count(), 7u) << report.Text();
  EXPECT_EQ(report.Item(0), idleLine);
  EXPECT_EQ(Paths(report), (Lines{"\\System Idle Process", "\\System", "C:\\WINDOWS\\System32\\smss.exe",
                                  "C:\\WINDOWS\\system32\\winlogon.exe", "C:\\Program Files\\App\\app.exe",
                                  "C:\\Program Files\\Other\\tool.exe", "\\csrss.exe"}));

  TReport filtered;
  WriteRunningProcesses(filtered, Options(true));
  EXPECT_EQ(Paths(filtered), (Lines{"\\System Idle Process", "\\System", "C:\\Program Files\\App\\app.exe",
                                    "C:\\Program Files\\Other\\tool.exe", "\\csrss.exe"}));

  m.processes().snapshotFails = true;
  TReport none;
  WriteRunningProcesses(none, Options(false));
  EXPECT_EQ(none.Count(), 0u);
}

TEST_F(SystemSections, LoadedModules) {
  for (const char* dll : {"C:\\WINDOWS\\system32\\ntdll.dll", "C:\\WINDOWS\\system32\\unprot.dll",
                          "C:\\Program Files\\App\\plug.dll", "c:\\windows\\system32\\lower.dll", "C:\\Hidden\\h.dll"}) {
    m.AddFile(dll, dll);
  }
  m.AddFile("C:\\WINDOWS\\explorer.exe", "explorer");
  m.AddFile("C:\\Program Files\\App\\app.exe", "app");
  m.system().protectedFiles = {"C:\\WINDOWS\\system32\\ntdll.dll"};
  m.AddProcess(100, "C:\\WINDOWS\\explorer.exe",
               {"C:\\WINDOWS\\system32\\ntdll.dll", "C:\\WINDOWS\\system32\\unprot.dll", "C:\\Program Files\\App\\plug.dll",
                "C:\\Bad\\gone.dll", "c:\\windows\\system32\\lower.dll"});
  m.AddProcess(200, "C:\\Program Files\\App\\app.exe",
               {"C:\\WINDOWS\\SYSTEM32\\NTDLL.DLL", "c:\\program files\\app\\PLUG.DLL", "C:\\WINDOWS\\explorer.exe"});
  m.AddProcess(300, "C:\\Hidden\\h.exe", {"C:\\Hidden\\h.dll"}).accessible = false;

  // The suspicious-only option keeps paths that contain the Windows folder as written.
  struct Case {
    bool suspiciousOnly, excludeMicrosoft, reduceMemory;
    Lines paths;
  } cases[] = {
      {true, true, true, {"C:\\WINDOWS\\system32\\unprot.dll", "C:\\WINDOWS\\explorer.exe"}},
      {true, false, false,
       {"C:\\WINDOWS\\system32\\ntdll.dll", "C:\\WINDOWS\\system32\\unprot.dll", "C:\\WINDOWS\\explorer.exe"}},
      {false, true, false,
       {"C:\\WINDOWS\\system32\\unprot.dll", "C:\\Program Files\\App\\plug.dll", "c:\\windows\\system32\\lower.dll",
        "C:\\WINDOWS\\explorer.exe"}},
      {false, false, true,
       {"C:\\WINDOWS\\system32\\ntdll.dll", "C:\\WINDOWS\\system32\\unprot.dll", "C:\\Program Files\\App\\plug.dll",
        "c:\\windows\\system32\\lower.dll", "C:\\WINDOWS\\explorer.exe"}},
  };
  for (const Case& c : cases) {
    TReport r;
    WriteLoadedModules(r, Options(c.excludeMicrosoft, c.suspiciousOnly, c.reduceMemory));
    EXPECT_EQ(Paths(r), c.paths) << c.suspiciousOnly << c.excludeMicrosoft;
  }

  m.processes().snapshotFails = true;
  WriteLoadedModules(report, Options(false, false));
  EXPECT_EQ(report.Count(), 0u);
}

}  // namespace
