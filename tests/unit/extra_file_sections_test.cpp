// The scheduled-task, auto-start service and phantom DLL sections over the fake machine, and
// the task readers on hostile bytes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "inspect/files.h"
#include "inspect/lang.h"
#include "inspect/registry.h"
#include "inspect/stop_token.h"
#include "platform/fake/fake_machine.h"
#include "scan/extra_file_sections.h"
#include "scan/file_lines.h"
#include "scan/frame.h"
#include "scan/task_files.h"
#include "tests/support/scan_helpers.h"

namespace {

using platform::kHkeyLocalMachine;
using platform::fake::FileVersion;
using platform::fake::Machine;
using scan::TReport;
using scan::TScanOptions;
namespace win = platform::win;
using Lines = std::vector<std::string>;
using Bytes = std::vector<uint8_t>;
using bs_test::ReportItems;

constexpr const char* kServices = "SYSTEM\\CurrentControlSet\\Services";
constexpr const char* kTaskCache = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Schedule\\TaskCache\\Tasks";
constexpr const char* kSystem = "C:\\WINDOWS\\system32";

void PutUtf16(Bytes& out, const std::string& text) {
  for (char c : text) {
    out.push_back(static_cast<uint8_t>(c));
    out.push_back(0);
  }
}

// A ".job" file: the fixed part with the name's offset, the instance count, then counted strings.
Bytes JobFile(const std::string& program, const std::string& arguments) {
  Bytes bytes(0x46, 0);
  bytes[0x14] = 0x46;
  for (const std::string& text : {program, arguments, std::string("C:\\")}) {
    const size_t units = text.size() + 1;
    bytes.push_back(static_cast<uint8_t>(units));
    bytes.push_back(static_cast<uint8_t>(units >> 8));
    PutUtf16(bytes, text);
    bytes.insert(bytes.end(), {0, 0});
  }
  return bytes;
}

// The task cache's "Actions": version 3, context "Author", one executable action with its flags.
Bytes CachedActions(const std::string& program, const std::string& arguments) {
  Bytes bytes{3, 0};
  auto counted = [&](const std::string& text) {
    const uint32_t size = static_cast<uint32_t>(text.size() * 2);
    for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<uint8_t>(size >> (8 * i)));
    PutUtf16(bytes, text);
  };
  counted("Author");
  bytes.insert(bytes.end(), {0x66, 0x66});
  for (const std::string& text : {std::string(), program, arguments, std::string()}) counted(text);
  bytes.insert(bytes.end(), {0, 0});
  return bytes;
}

// Task XML as the scheduler writes it: UTF-16 with its mark.
std::string TaskXml(const std::string& command, const std::string& arguments) {
  const std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-16\"?>\r\n<Task><Actions Context=\"Author\"><Exec>"
                          "<Command>" + command + "</Command><Arguments>" + arguments +
                          "</Arguments></Exec></Actions></Task>";
  Bytes bytes{0xFF, 0xFE};
  PutUtf16(bytes, xml);
  return std::string(bytes.begin(), bytes.end());
}

std::string AsText(const Bytes& bytes) { return std::string(bytes.begin(), bytes.end()); }

// A file with a company, as a program or library of a planted entry.
void AddProgram(Machine& m, const std::string& path, const std::string& company = "Evil Ltd") {
  m.AddFile(path, "program " + path).version = FileVersion{company, "1.0"};
}
// A file of the system, protected by file protection.
void AddSystemFile(Machine& m, const std::string& path) {
  AddProgram(m, path, "Microsoft Corporation");
  m.system().protectedFiles.push_back(path);
}
void AddService(Machine& m, const std::string& name, uint32_t type, uint32_t start, const std::string& imagePath,
                const std::string& serviceDll = "") {
  const std::string key = std::string(kServices) + "\\" + name;
  m.SetDword(kHkeyLocalMachine, key, "Type", type);
  m.SetDword(kHkeyLocalMachine, key, "Start", start);
  if (!imagePath.empty()) m.SetString(kHkeyLocalMachine, key, "ImagePath", imagePath, win::kRegExpandSz);
  m.SetString(kHkeyLocalMachine, key, "DisplayName", name + " display");
  if (!serviceDll.empty()) {
    m.SetString(kHkeyLocalMachine, key + "\\Parameters", "ServiceDll", serviceDll, win::kRegExpandSz);
  }
}

// "<file> (<service>) (<service> display) (Evil Ltd) (<md5>)".
std::string ServiceLine(const std::string& file, const std::string& name) {
  return file + " (" + name + ") (" + name + " display) (Evil Ltd) (" + inspect::FileMd5Text(file) + ")";
}

// A Windows 7 machine, installed.
class Win7 {
 public:
  Win7() {
    m.system().version = {win::kVerPlatformWin32Nt, 6, 1, 7601, "Service Pack 1"};
    m.Install();
    inspect::FillDefaultTexts();
  }
  Machine m;
};

Lines Scan(void (*write)(TReport&, const TScanOptions&), const TScanOptions& options = {}, TReport report = {}) {
  write(report, options);
  return ReportItems(report);
}

// One planted entry per location that must be reported, and a stock one beside it that must not.
TEST(ExtraSections, EachLocationReportsItsPlantedEntryAndNotTheStockOne) {
  struct Case {
    const char* location;
    void (*write)(TReport&, const TScanOptions&);
    std::function<void(Machine&)> plant;
    std::function<Lines()> reported;  // items that must be there, in this order
    std::vector<std::string> absent;  // texts no item may hold
  } cases[] = {
      {"task folder, .job file", scan::WriteScheduledTasks,
       [](Machine& m) {
         AddProgram(m, "C:\\Evil\\evil.exe");
         AddSystemFile(m, "C:\\WINDOWS\\system32\\defrag.exe");
         m.AddFile("C:\\WINDOWS\\Tasks\\Updater.job", AsText(JobFile("C:\\Evil\\evil.exe", "-quiet")));
         m.AddFile("C:\\WINDOWS\\Tasks\\Defrag.job", AsText(JobFile("C:\\WINDOWS\\system32\\defrag.exe", "c:")));
       },
       [] {
         return Lines{inspect::ValueEntry("Updater", "C:\\Evil\\evil.exe -quiet", "C:\\WINDOWS\\Tasks\\Updater.job"),
                      scan::FileDescriptionLine("C:\\Evil\\evil.exe")};
       },
       {"Defrag"}},
      {"task folder, XML task", scan::WriteScheduledTasks,
       [](Machine& m) {
         AddSystemFile(m, "C:\\WINDOWS\\system32\\cmd.exe");
         AddSystemFile(m, "C:\\WINDOWS\\system32\\defrag.exe");
         m.AddFile("C:\\WINDOWS\\system32\\Tasks\\Sub\\Beacon",
                     TaskXml("%windir%\\system32\\cmd.exe", "/c &quot;C:\\x.bat&quot;"));
         m.AddFile("C:\\WINDOWS\\system32\\Tasks\\Microsoft\\Windows\\Defrag\\ScheduledDefrag",
                     TaskXml("%windir%\\system32\\defrag.exe", "-c"));
       },
       [] {
         return Lines{inspect::ValueEntry("\\Sub\\Beacon", "%windir%\\system32\\cmd.exe /c \"C:\\x.bat\"",
                                          "C:\\WINDOWS\\system32\\Tasks\\Sub\\Beacon")};
       },
       {"ScheduledDefrag", "cmd.exe ("}},
      {"task cache", scan::WriteScheduledTasks,
       [](Machine& m) {
         AddProgram(m, "C:\\Evil\\hidden.exe");
         const std::string hidden = std::string(kTaskCache) + "\\{11111111-0000-0000-0000-000000000000}";
         m.SetString(kHkeyLocalMachine, hidden, "Path", "\\Hidden");
         m.SetValue(kHkeyLocalMachine, hidden, "Actions", win::kRegBinary, CachedActions("C:\\Evil\\hidden.exe", ""));
         const std::string stock = std::string(kTaskCache) + "\\{22222222-0000-0000-0000-000000000000}";
         m.SetString(kHkeyLocalMachine, stock, "Path", "\\Microsoft\\Windows\\Defrag\\ScheduledDefrag");
         m.AddFile("C:\\WINDOWS\\system32\\Tasks\\Microsoft\\Windows\\Defrag\\ScheduledDefrag", "<Task/>");
       },
       [] {
         const std::string key = "HKEY_LOCAL_MACHINE\\" + std::string(kTaskCache) +
                                 "\\{11111111-0000-0000-0000-000000000000}";
         return Lines{inspect::ValueEntry("Path", "\\Hidden", key),
                      inspect::ValueEntry("\\Hidden", "C:\\Evil\\hidden.exe", key),
                      scan::FileDescriptionLine("C:\\Evil\\hidden.exe")};
       },
       {"{22222222"}},
      {"auto-start services, not running", scan::WriteAutoStartServices,
       [](Machine& m) {
         AddProgram(m, "C:\\Evil\\svc.exe");
         AddProgram(m, "C:\\Evil\\manual.exe");
         AddSystemFile(m, "C:\\WINDOWS\\system32\\svchost.exe");
         AddSystemFile(m, "C:\\WINDOWS\\system32\\w32time.dll");
         AddService(m, "EvilSvc", win::kServiceWin32OwnProcess, 2, "\"C:\\Evil\\svc.exe\" -service");
         AddService(m, "ManualSvc", win::kServiceWin32OwnProcess, 3, "C:\\Evil\\manual.exe");
         AddService(m, "W32Time", 0x20, 2, "%SystemRoot%\\system32\\svchost.exe -k LocalService",
                      "%SystemRoot%\\system32\\w32time.dll");
       },
       [] { return Lines{ServiceLine("c:\\evil\\svc.exe", "EvilSvc")}; },
       {"ManualSvc", "W32Time", "svchost"}},
      {"svchost ServiceDll named like a system one", scan::WriteAutoStartServices,
       [](Machine& m) {
         AddSystemFile(m, "C:\\WINDOWS\\system32\\svchost.exe");
         AddSystemFile(m, "C:\\WINDOWS\\system32\\w32time.dll");
         AddProgram(m, "C:\\WINDOWS\\system32\\w64time.dll");
         AddService(m, "W64Time", 0x20, 2, "%SystemRoot%\\system32\\svchost.exe -k TimeService",
                      "%SystemRoot%\\system32\\w64time.dll");
         AddService(m, "W32Time", 0x20, 2, "%SystemRoot%\\system32\\svchost.exe -k LocalService",
                      "%SystemRoot%\\system32\\w32time.dll");
       },
       [] { return Lines{ServiceLine("C:\\WINDOWS\\system32\\w64time.dll", "W64Time")}; },
       {"W32Time", "svchost"}},
      {"boot and system drivers", scan::WriteAutoStartServices,
       [](Machine& m) {
         AddProgram(m, "C:\\WINDOWS\\system32\\drivers\\evildrv.sys");
         AddSystemFile(m, "C:\\WINDOWS\\system32\\drivers\\disk.sys");
         AddService(m, "evildrv", win::kServiceKernelDriver, 1, "");  // the default image path
         AddService(m, "disk", win::kServiceKernelDriver, 0, "System32\\DRIVERS\\disk.sys");
       },
       [] { return Lines{ServiceLine("C:\\WINDOWS\\system32\\drivers\\evildrv.sys", "evildrv")}; },
       {"disk"}},
      {"phantom DLLs of the system folder", scan::WritePhantomDlls,
       [](Machine& m) {
         AddProgram(m, "C:\\WINDOWS\\system32\\wlbsctrl.dll");
         AddProgram(m, "C:\\WINDOWS\\system32\\wbem\\wbemcomn.dll");
         AddSystemFile(m, "C:\\WINDOWS\\system32\\ualapi.dll");  // shipped by this release
         AddProgram(m, "C:\\WINDOWS\\system32\\unlisted.dll");
       },
       [] {
         return Lines{scan::FileDescriptionLine("C:\\WINDOWS\\system32\\wlbsctrl.dll"),
                      scan::FileDescriptionLine("C:\\WINDOWS\\system32\\wbem\\wbemcomn.dll")};
       },
       {"ualapi", "unlisted"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.location);
    Win7 machine;
    c.plant(machine.m);
    const Lines items = Scan(c.write);
    EXPECT_EQ(items, c.reported());
    for (const std::string& text : c.absent) {
      for (const std::string& item : items) EXPECT_EQ(item.find(text), std::string::npos) << item;
    }
  }
}

// Each location is read where the running system keeps it: the 64-bit system folder through
// "Sysnative" under WoW64, the 32-bit one beside it on any 64-bit Windows, the task XML and its
// cache only from Vista on.
TEST(ExtraSections, ReadsEachViewWhereTheSystemHasIt) {
  struct Case {
    const char* system;
    bool xp, wow64, process64;
    void (*write)(TReport&, const TScanOptions&);
    std::vector<std::string> files;                      // planted, each an unknown program
    std::vector<std::pair<std::string, std::string>> lines;  // shown path and the path it is read through
  } cases[] = {
      {"WoW64", false, true, false, scan::WritePhantomDlls,
       {"C:\\WINDOWS\\Sysnative\\wlbsctrl.dll", "C:\\WINDOWS\\SysWOW64\\oci.dll"},
       {{"C:\\WINDOWS\\system32\\wlbsctrl.dll", "C:\\WINDOWS\\Sysnative\\wlbsctrl.dll"},
        {"C:\\WINDOWS\\SysWOW64\\oci.dll", ""}}},
      {"x86_64 build", false, false, true, scan::WritePhantomDlls,
       {"C:\\WINDOWS\\system32\\wlbsctrl.dll", "C:\\WINDOWS\\SysWOW64\\oci.dll"},
       {{"C:\\WINDOWS\\system32\\wlbsctrl.dll", ""}, {"C:\\WINDOWS\\SysWOW64\\oci.dll", ""}}},
      {"32-bit Windows", false, false, false, scan::WritePhantomDlls,
       {"C:\\WINDOWS\\system32\\wlbsctrl.dll", "C:\\WINDOWS\\SysWOW64\\oci.dll"},
       {{"C:\\WINDOWS\\system32\\wlbsctrl.dll", ""}}},
      {"XP: no task XML", true, false, false, scan::WriteScheduledTasks, {"C:\\WINDOWS\\system32\\Tasks\\Beacon"}, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.system);
    Machine m;
    if (!c.xp) m.system().version = {win::kVerPlatformWin32Nt, 6, 1, 7601, "Service Pack 1"};
    m.system().wow64 = c.wow64;
    m.system().process64 = c.process64;
    m.Install();
    for (const std::string& file : c.files) {
      if (file.ends_with("Beacon")) {
        AddProgram(m, "C:\\Evil\\evil.exe");
        m.AddFile(file, TaskXml("C:\\Evil\\evil.exe", ""));
      } else {
        AddProgram(m, file);
      }
    }
    Lines expected;
    for (const auto& [path, reach] : c.lines) expected.push_back(scan::FileDescriptionLine(path, reach));
    EXPECT_EQ(Scan(c.write), expected);
  }
}

// A file is described once in the whole report: not again when an earlier section has it, and
// once for two services that share it. A stop request ends the walk.
TEST(ExtraSections, DescribesEachFileOnce) {
  Win7 machine;
  Machine& m = machine.m;
  AddProgram(m, "C:\\Evil\\shared.exe");
  AddProgram(m, "C:\\WINDOWS\\system32\\wlbsctrl.dll");
  AddService(m, "First", win::kServiceWin32OwnProcess, 2, "C:\\Evil\\shared.exe");
  AddService(m, "Second", win::kServiceWin32OwnProcess, 2, "C:\\Evil\\shared.exe -other");
  EXPECT_EQ(Scan(scan::WriteAutoStartServices), (Lines{ServiceLine("c:\\evil\\shared.exe", "First")}));

  TReport earlier;
  earlier.Add(scan::FileDescriptionLine("C:\\WINDOWS\\system32\\wlbsctrl.dll"));
  EXPECT_EQ(Scan(scan::WritePhantomDlls, {}, earlier).size(), 1u);
  earlier = {};
  earlier.Add(ServiceLine("c:\\evil\\shared.exe", "First"));
  EXPECT_EQ(Scan(scan::WriteAutoStartServices, {}, earlier).size(), 1u);

  inspect::TStopToken stop;
  stop.Request();
  TScanOptions stopped;
  stopped.Stop = &stop;
  EXPECT_TRUE(Scan(scan::WriteAutoStartServices, stopped).empty());
}

// Stock follows the filters of the other service sections: a protected file only while
// Microsoft's files are left out, and a digest of the exclusion list while that list is on.
TEST(ExtraSections, StockFollowsTheMicrosoftAndDigestFilters) {
  Win7 machine;
  Machine& m = machine.m;
  AddSystemFile(m, "C:\\WINDOWS\\system32\\w32time.dll");
  AddProgram(m, "C:\\Evil\\svc.exe");
  AddService(m, "W32Time", 0x20, 2, "", "%SystemRoot%\\system32\\w32time.dll");
  AddService(m, "EvilSvc", win::kServiceWin32OwnProcess, 2, "C:\\Evil\\svc.exe");
  const std::string stock = "C:\\WINDOWS\\system32\\w32time.dll (W32Time)";
  const std::string evil = "c:\\evil\\svc.exe (EvilSvc)";
  struct Case {
    bool excludeMicrosoft, useDigests;
    std::vector<std::string> listed;  // the start of each item
  } cases[] = {
      {true, false, {evil}},
      {false, false, {evil, stock}},  // in the order of the service keys
      {true, true, {}},  // the planted file's digest is on the list
  };
  for (const Case& c : cases) {
    TScanOptions options;
    options.ExcludeMicrosoftFiles = c.excludeMicrosoft;
    options.UseMd5Exclusions = c.useDigests;
    options.Md5Exclusions = {inspect::FileMd5Text("C:\\Evil\\svc.exe")};
    std::vector<std::string> listed;
    for (const std::string& item : Scan(scan::WriteAutoStartServices, options)) {
      listed.push_back(item.substr(0, item.find(") (") + 1));
    }
    EXPECT_EQ(listed, c.listed) << c.excludeMicrosoft << c.useDigests;
  }
}

// The task readers take untrusted bytes: every cut of a good definition gives the whole command
// or none, and lengths that run past the end give none.
TEST(TaskReaders, CutOrOverlongDefinitionsGiveNoPartialCommand) {
  const Bytes job = JobFile("C:\\Evil\\evil.exe", "-x");
  const Bytes actions = CachedActions("C:\\Evil\\evil.exe", "-x");
  for (size_t size = 0; size <= job.size(); ++size) {
    const auto commands = scan::ReadJobCommands(std::span(job).first(size));
    ASSERT_LE(commands.size(), 1u);
    if (!commands.empty()) {
      EXPECT_EQ(commands[0].program, u"C:\\Evil\\evil.exe") << size;
    }
  }
  for (size_t size = 0; size <= actions.size(); ++size) {
    const auto commands = scan::ReadCachedTaskActions(std::span(actions).first(size));
    ASSERT_LE(commands.size(), 1u);
    if (!commands.empty()) {
      EXPECT_EQ(commands[0].arguments, u"-x") << size;
    }
  }
  ASSERT_EQ(scan::ReadJobCommands(job).size(), 1u);
  EXPECT_EQ(scan::ReadJobCommands(job)[0].arguments, u"-x");

  Bytes overlong = job;
  overlong[0x46] = 0xFF;  // the name's count
  overlong[0x47] = 0xFF;
  EXPECT_TRUE(scan::ReadJobCommands(overlong).empty());
  overlong = job;
  overlong[0x14] = 0x10;  // the name inside the fixed part
  EXPECT_TRUE(scan::ReadJobCommands(overlong).empty());
  overlong = actions;
  overlong[2] = 0xFF;  // the context's length
  overlong[5] = 0x7F;
  EXPECT_TRUE(scan::ReadCachedTaskActions(overlong).empty());
}

TEST(TaskReaders, XmlExecActions) {
  struct Case {
    const char* xml;
    std::vector<std::pair<std::string, std::string>> commands;
  } cases[] = {
      {"<Exec><Command> a.exe </Command><Arguments>&lt;x&gt; &amp;&apos;</Arguments></Exec>"
       "<Exec id=\"2\"><Command>b.exe</Command></Exec>",
       {{"a.exe", "<x> &'"}, {"b.exe", ""}}},
      {"<ComHandler><ClassId>{1}</ClassId></ComHandler><Executor><Command>c.exe</Command></Executor>", {}},
      {"<Exec><Command>d.exe</Command>", {{"d.exe", ""}}},  // cut short
      {"<Exec><Command>e.exe", {}},
      {"<Exec><Command></Command></Exec>", {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.xml);
    std::vector<std::pair<std::string, std::string>> got;
    for (const auto& command : scan::ReadTaskXmlCommands(c.xml)) got.emplace_back(command.program, command.arguments);
    EXPECT_EQ(got, c.commands);
  }
}

}  // namespace
