// The scan frame over the fake machine: header, section order and gates, progress, footer,
// failure handling, and the run around it (outputs, refusals, log file names).
#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <span>
#include <stdexcept>

#include "inspect/lang.h"
#include "inspect/run_state.h"
#include "platform/fake/fake_machine.h"
#include "platform/sync.h"
#include "scan/analyzer_run.h"
#include "scan/frame.h"
#include "scan/product.h"

namespace {

using platform::fake::Machine;
namespace win = platform::win;

class RecordingDisplay : public scan::TScanDisplay {
 public:
  void AddLine(const std::string& line) override {
    std::lock_guard lock(mutex);
    lines.push_back(line);
  }
  void SetProgress(int position) override {
    std::lock_guard lock(mutex);
    progress.push_back(position);
  }
  platform::Mutex mutex;
  std::vector<std::string> lines;
  std::vector<int> progress;
};

class RecordingHost : public scan::TAnalyzerHost {
 public:
  void SetScanEnabled(bool enabled) override { events.push_back(enabled ? "enable" : "disable"); }
  void ClearLog() override { events.push_back("clear"); }
  void SetLogText(const std::string& text) override { log = text; }
  void SetProgressRange(int, int, int position) override { events.push_back("range " + std::to_string(position)); }
  void EnterBackground() override { events.push_back("background"); }
  void LeaveBackground() override { events.push_back("foreground"); }
  void AddLine(const std::string& line) override { display.AddLine(line); }
  void SetProgress(int position) override { display.SetProgress(position); }
  int Prompt(const std::string& text, const std::string& caption, uint32_t flags) override {
    prompts.push_back({text, caption, flags});
    return win::kIdOk;
  }
  struct Prompted {
    std::string text, caption;
    uint32_t flags;
  };
  std::vector<Prompted> prompts;
  std::vector<std::string> events;
  std::string log;
  RecordingDisplay display;
};

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  for (size_t pos; (pos = text.find("\r\n", start)) != std::string::npos; start = pos + 2) {
    lines.push_back(text.substr(start, pos - start));
  }
  EXPECT_EQ(start, text.size()) << "text must end with CR LF";
  return lines;
}

// The report banners ("[+] ...") in order.
std::vector<std::string> Banners(const scan::TReport& report) {
  std::vector<std::string> banners;
  for (size_t i = 0; i < report.Count(); ++i) {
    if (report.Item(i).rfind("[+] ", 0) == 0) banners.push_back(report.Item(i).substr(4));
  }
  return banners;
}

class FrameTest : public ::testing::Test {
 protected:
  void SetUp() override {
    machine.Install();
    inspect::ClearLngTable();
    inspect::FillDefaultTexts();
  }
  Machine machine;
};

const std::vector<std::string> kAllTitles = {
    "Generic system info", "Running processes", "Loaded Modules", "Registry startups", "Other Startups Methods",
    "Startup folders", "TCPIP nameservers", "Custom Registry Keys Dump", "Internet Explorer settings",
    "Internet Explorer Trusted Sites", "Windows Firewall allowed programs", "Windows Firewall allowed ports",
    "System Hijack", "Executables in Temp folders", "Executables in suspicious folders", "Autorun.ini",
    "Unknown .SYS files", "Non accessible files", "Executables in Internet Explorer Folder", "Custom Files List",
    "Files created/modified 30 days ago", "Hidden files in suspicious folders", "Suspicious Registry Keys",
    "Suspicious folders", "Drivers", "Drivers -> FSFilter Anti-Virus", "Services", "ServiceDll",
    "Unknown files in Winsock LSP", "Unknown files in CLSID", "TCP Connections", "UDP Connections", "Hosts file",
    "Ring3 API Hooks", "Kernel Mode Info", "Scheduled tasks", "Auto-start services and drivers",
    "Phantom DLLs in the system folder", "Winlogon and logon", "LSA", "Image and process hooks", "COM and shell",
    "Print, time, netsh, boot", "Office", "Tampering"};

scan::TScanOptions AllGates(bool on) {
  scan::TScanOptions o;
  o.CustomRegistryDump = o.CustomFilesList = o.UnknownSysFiles = o.RecentFiles = o.ShowAllServiceDll =
      o.UnknownClsidFiles = o.Ring3ApiHooks = o.KernelModeInfo = o.ExtraSections = on;
  o.RecentDays = on ? 30 : 0;
  return o;
}

TEST_F(FrameTest, HeaderSectionsAndFooterWithEveryGateOn) {
  machine.system().tickStep = 9000;  // start and end readings 9 s apart
  scan::TReport report;
  RecordingDisplay display;
  scan::ScanThread(report, AllGates(true), display);

  const auto lines = Lines(report.Text());
  ASSERT_GE(lines.size(), 6u);
  EXPECT_EQ(lines[0], "Burrow Sentry 1.8.4.0");
  EXPECT_EQ(lines[1], scan::kHomePage);
  EXPECT_EQ(lines[2], "Log created on 12/8/2009 at 3:45:12 PM");
  EXPECT_EQ(lines[3], "");
  EXPECT_EQ(lines[lines.size() - 2], "---");
  EXPECT_EQ(lines.back(), "Finish [ 0:0:9 ]");
  EXPECT_EQ(Banners(report), kAllTitles);

  // Every section is banner, empty line, content, empty line.
  EXPECT_EQ(lines[4].rfind("[+] ", 0), 0u);
  EXPECT_EQ(lines[lines.size() - 3], "");
  for (size_t i = 4; i + 2 < lines.size(); ++i) {
    if (lines[i].rfind("[+] ", 0) != 0) continue;
    EXPECT_EQ(lines[i - 1], "") << i;
    EXPECT_EQ(lines[i + 1], "") << i;
  }

  // Display banners: three sections warn that they take long.
  ASSERT_EQ(display.lines.size(), 45u);
  EXPECT_EQ(display.lines[0], "[+] Generic system info ...");
  EXPECT_EQ(display.lines[15], "[+] Autorun.ini ...");
  EXPECT_EQ(display.lines[17], "[+] Non accessible files ... This option can take some minutes... Be patient.");
  EXPECT_EQ(display.lines[20],
            "[+] Files created/modified 30 days ago ... This option can take some minutes... Be patient.");
  EXPECT_EQ(display.lines[29], "[+] Unknown files in CLSID ... This option can take some minutes... Be patient.");

  const std::vector<int> progress = {10, 20, 25, 30, 35, 40, 45, 50, 60, 60, 65, 70, 75, 80, 82,
                                     85, 90, 95, 96, 96, 97, 98, 100, 0};
  EXPECT_EQ(display.progress, progress);
}

TEST_F(FrameTest, EveryGateOffLeavesOnlyUngatedSectionsButKeepsProgress95) {
  scan::TReport report;
  RecordingDisplay display;
  scan::ScanThread(report, AllGates(false), display);

  std::vector<std::string> expected;
  for (int n : {1, 2, 3, 4, 5, 6, 7, 9, 10, 11, 12, 13, 14, 15, 16, 18, 19, 22, 23, 24, 25, 26, 27, 29, 31, 32, 33}) {
    expected.push_back(kAllTitles[n - 1]);
  }
  EXPECT_EQ(Banners(report), expected);
  const std::vector<int> progress = {10, 20, 25, 30, 35, 40, 45, 50, 60, 60, 65, 70, 75, 80, 82,
                                     85, 90, 95, 96, 97, 98, 100, 0};
  EXPECT_EQ(display.progress, progress);
}

// With the autostart and tampering sections switched off the report is the classic one, byte for
// byte, even on a machine where they would have something to say.
TEST_F(FrameTest, ExtraSectionsOffGiveTheClassicReport) {
  machine.SetString(platform::kHkeyCurrentUser, "Environment", "UserInitMprLogonScript", "C:\\bad\\logon.bat");
  machine.SetDword(platform::kHkeyLocalMachine, "SYSTEM\\CurrentControlSet\\Services\\EventLog", "Start", 4);
  const auto run = [](bool extra, std::span<const scan::TSection> sections) {
    scan::TScanOptions options = AllGates(true);
    options.ExtraSections = extra;
    scan::TReport report;
    RecordingDisplay display;
    scan::ScanThread(report, options, display, sections);
    return report.Text();
  };
  std::vector<scan::TSection> classic;
  for (const scan::TSection& section : scan::DefaultSections()) {
    if (section.gate != &scan::TScanOptions::ExtraSections) classic.push_back(section);
  }
  ASSERT_EQ(classic.size(), 35u);
  const std::string off = run(false, scan::DefaultSections());
  EXPECT_EQ(off, run(true, classic));
  const std::string on = run(true, scan::DefaultSections());
  EXPECT_NE(on.find("C:\\bad\\logon.bat"), std::string::npos);
  EXPECT_EQ(off.find("C:\\bad\\logon.bat"), std::string::npos);
}

TEST_F(FrameTest, TitlesFollowTheLanguageTable) {
  inspect::SetLng(15, "Informazioni di sistema");
  scan::TReport report;
  RecordingDisplay display;
  scan::ScanThread(report, AllGates(false), display);
  EXPECT_EQ(Banners(report).front(), "Informazioni di sistema");
}

TEST_F(FrameTest, Ring3SectionRefusesA64BitWindows) {
  // Under WoW64, and as the x86_64 build.
  for (const bool process64 : {false, true}) {
    SCOPED_TRACE(process64 ? "x86_64 build" : "WoW64");
    machine.system().wow64 = !process64;
    machine.system().process64 = process64;
    scan::TReport report;
    RecordingDisplay display;
    scan::ScanThread(report, AllGates(true), display);
    long at = report.IndexOf("[+] Ring3 API Hooks");
    ASSERT_GE(at, 0);
    EXPECT_EQ(report.Item(at + 2), "x64 OS not supported!");
  }
}

// A section writer that throws: the frame's handling per section, and the report goes on.
struct ThrowCase {
  int sectionIndex;
  std::vector<std::string> expectedContent;
};

TEST_F(FrameTest, ThrowingWriterIsHandledPerSectionAndTheReportGoesOn) {
  machine.AddFolder("C:\\Tools\\BurrowSentry\\Data");
  machine.system().errorMessages[5] = "Access is denied.";
  const ThrowCase cases[] = {
      {24, {"Access is denied."}},                                          // Drivers: last error text
      {25, {"Access is denied."}},                                          // FSFilter
      {26, {}},                                                             // Services: nothing
      {27, {"* Error reading ServiceDll ! Possible rootkit presence *"}},  // ServiceDll
      {33, {"Error..."}},                                                   // Ring3 API Hooks
      {0, {}},                                                              // any other: debug log only
  };
  for (const ThrowCase& c : cases) {
    SCOPED_TRACE(c.sectionIndex);
    std::vector<scan::TSection> sections(scan::DefaultSections().begin(), scan::DefaultSections().end());
    sections[c.sectionIndex].content = [](scan::TReport& r, const scan::TScanOptions&) {
      r.Add("partial line");
      platform::Sys().SetLastError(5);
      throw std::runtime_error("writer broke");
    };
    scan::TReport report;
    RecordingDisplay display;
    scan::ScanThread(report, AllGates(true), display, sections);

    const std::string banner = "[+] " + kAllTitles[c.sectionIndex];
    long at = report.IndexOf(banner);
    ASSERT_GE(at, 0);
    std::vector<std::string> content;
    for (size_t i = at + 3; report.Item(i) != ""; ++i) content.push_back(report.Item(i));
    EXPECT_EQ(content, c.expectedContent);
    EXPECT_EQ(report.Item(report.Count() - 2), "---");
    EXPECT_EQ(Banners(report).size(), kAllTitles.size());
  }
  EXPECT_NE(machine.Contents("C:\\Tools\\BurrowSentry\\Data\\Dbg.log").find("std::runtime_error->writer broke\r\n"),
            std::string::npos);
}

// A display that fails at the first banner: the failure leaves the section loop.
class BrokenDisplay : public scan::TScanDisplay {
 public:
  void AddLine(const std::string&) override { throw std::runtime_error("display gone"); }
  void SetProgress(int) override {}
};

// The timer resolution is raised for the sections and dropped on every way out of the scan; a
// refused raise is not undone.
TEST_F(FrameTest, TimerPeriodIsRaisedForTheSectionsAndRestoredOnEveryExit) {
  struct Case {
    const char* name;
    bool accepted;
    bool displayFails;
    std::vector<std::string> duringSections;
    std::vector<std::string> after;
  };
  const Case cases[] = {
      {"completed", true, false, {"begin 1"}, {"begin 1", "end 1"}},
      {"display fails", true, true, {}, {"begin 1", "end 1"}},
      {"refused", false, false, {"begin 1"}, {"begin 1"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    machine.system().timerPeriodCalls.clear();
    machine.system().timerPeriodAccepted = c.accepted;
    static Machine* fake;
    static std::vector<std::string> seen;
    fake = &machine;
    seen.clear();
    std::vector<scan::TSection> sections(scan::DefaultSections().begin(), scan::DefaultSections().begin() + 1);
    sections[0].content = [](scan::TReport&, const scan::TScanOptions&) {
      seen = fake->system().timerPeriodCalls;
    };
    scan::TReport report;
    RecordingDisplay recording;
    BrokenDisplay broken;
    scan::ScanThread(report, AllGates(true), c.displayFails ? static_cast<scan::TScanDisplay&>(broken) : recording,
                     sections);
    EXPECT_EQ(seen, c.duringSections);
    EXPECT_EQ(machine.system().timerPeriodCalls, c.after);
  }
}

TEST(ExclusionKeyTest, TextBeforeTheFirstBlank) {
  const std::pair<std::string, std::string> cases[] = {
      {"d41d8cd98f00b204e9800998ecf8427e :: a.exe :: 1.0 :: Unknown :: test", "d41d8cd98f00b204e9800998ecf8427e"},
      {"d41d8cd98f00b204e9800998ecf8427e", ""},
      {" leading", ""},
      {"", ""},
  };
  for (const auto& [line, key] : cases) EXPECT_EQ(scan::ExclusionKey(line), key) << line;
}

// Each box the scan reads reaches its own scan option and no other; the boxes only the window
// reads reach none.
TEST(ScanOptionsTest, EachScanBoxFeedsItsOwnOption) {
  struct TCase {
    bool scan::TSettings::*box;
    bool scan::TScanOptions::*option;
  };
  const TCase cases[] = {
      {&scan::TSettings::ExcludeMicrosoftFiles, &scan::TScanOptions::ExcludeMicrosoftFiles},
      {&scan::TSettings::ReduceMemoryUsage, &scan::TScanOptions::ReduceMemoryUsage},
      {&scan::TSettings::ShowAllServiceDll, &scan::TScanOptions::ShowAllServiceDll},
      {&scan::TSettings::SuspiciousModulesOnly, &scan::TScanOptions::SuspiciousModulesOnly},
      {&scan::TSettings::KernelModeInfo, &scan::TScanOptions::KernelModeInfo},
      {&scan::TSettings::Ring3ApiHooks, &scan::TScanOptions::Ring3ApiHooks},
      {&scan::TSettings::UnknownSysFiles, &scan::TScanOptions::UnknownSysFiles},
      {&scan::TSettings::UnknownClsidFiles, &scan::TScanOptions::UnknownClsidFiles},
      {&scan::TSettings::UseMd5Exclusions, &scan::TScanOptions::UseMd5Exclusions},
      {&scan::TSettings::CustomRegistryDump, &scan::TScanOptions::CustomRegistryDump},
      {&scan::TSettings::CustomFilesListing, &scan::TScanOptions::CustomFilesList},
  };
  scan::TSettings none;
  for (const scan::TOptionKey& key : scan::kOptionKeys) {
    if (key.flag) none.*key.flag = false;
  }
  for (const scan::TOptionKey& key : scan::kOptionKeys) {
    if (!key.flag) continue;
    scan::TSettings s = none;
    s.*key.flag = true;
    const scan::TScanOptions o = scan::TakeScanOptions(s);
    for (size_t i = 0; i < std::size(cases); ++i) {
      EXPECT_EQ(o.*cases[i].option, cases[i].box == key.flag) << "key " << key.key << ", option " << i;
    }
  }
}

TEST(ScanOptionsTest, ListsSkipEmptyLinesButKeepBlanks) {
  scan::TSettings s;
  s.RegDump = {"HKEY_LOCAL_MACHINE\\SOFTWARE\\A", "", " HKEY_CURRENT_USER\\B "};
  s.ExeLister = {"", "C:\\|*.exe"};
  s.ExclusionMemo = {"abc :: x", "", "nodigestblank"};
  s.RecentDays = 0;
  scan::TScanOptions o = scan::TakeScanOptions(s);
  EXPECT_EQ(o.RegistryDumpEntries, (std::vector<std::string>{"HKEY_LOCAL_MACHINE\\SOFTWARE\\A", " HKEY_CURRENT_USER\\B "}));
  EXPECT_EQ(o.CustomFileEntries, (std::vector<std::string>{"C:\\|*.exe"}));
  EXPECT_EQ(o.Md5Exclusions, (std::vector<std::string>{"abc", ""}));
  EXPECT_FALSE(o.RecentFiles);
  EXPECT_EQ(o.RecentDays, 0);
}

// --- the run around the worker -------------------------------------------------------------

class RunTest : public FrameTest {
 protected:
  void SetUp() override {
    FrameTest::SetUp();
    machine.AddFolder(kApp + "Logs");
    machine.AddFolder(kApp + "Data");
  }
  // Every message of a run goes through the host: the run itself never opens a window.
  void TearDown() override {
    EXPECT_TRUE(machine.shellUi().messageBoxes.empty());
    FrameTest::TearDown();
  }
  const std::string kApp = "C:\\Tools\\BurrowSentry\\";
  const std::string kLog = kApp + "Logs\\logs_12-8-2009_3_45_12_PM.log";
  const std::string kDesktopCopy = "C:\\Documents and Settings\\User\\Desktop\\logs_12-8-2009_3_45_12_PM.log";
  RecordingHost host;
  inspect::TRunState state;
};

TEST_F(RunTest, TimeStampKeepsOtherSeparators) {
  const std::tuple<std::string, std::string, std::string> cases[] = {
      {"M/d/yyyy", "h:mm:ss tt", "12-8-2009_3_45_12_PM"},
      {"dd.MM.yyyy", "HH:mm:ss", "08.12.2009_15_45_12"},
      {"yyyy-MM-dd", "H.mm.ss", "2009-12-08_15.45.12"},
  };
  for (const auto& [date, time, stamp] : cases) {
    machine.system().shortDateFormat = date;
    machine.system().longTimeFormat = time;
    EXPECT_EQ(scan::ReportTimeStamp(), stamp);
  }
}

TEST_F(RunTest, AllOutputsAfterAScan) {
  scan::TSettings s;
  s.CopyToClipboard = s.SaveReport = s.OpenReport = s.CopyToDesktop = true;
  scan::RunAnalyzer(s, host, state);

  ASSERT_FALSE(host.log.empty());
  EXPECT_EQ(host.log.rfind("Burrow Sentry 1.8.4.0\r\n", 0), 0u);
  EXPECT_EQ(machine.shellUi().clipboard, host.log);
  EXPECT_EQ(machine.Contents(kLog), host.log + "\r\n");
  EXPECT_EQ(machine.Contents(kDesktopCopy), host.log + "\r\n");
  ASSERT_EQ(machine.shellUi().shellExecutions.size(), 1u);
  EXPECT_EQ(machine.shellUi().shellExecutions[0].verb, "open");
  EXPECT_EQ(machine.shellUi().shellExecutions[0].file, "C:\\WINDOWS\\notepad.exe");
  EXPECT_EQ(machine.shellUi().shellExecutions[0].parameters, kLog);
  EXPECT_EQ(machine.shellUi().shellExecutions[0].show, win::kSwShowNormal);
  EXPECT_EQ(host.events, (std::vector<std::string>{"disable", "clear", "range 5", "enable"}));
  EXPECT_FALSE(state.scanning);
  EXPECT_TRUE(host.prompts.empty());
}

TEST_F(RunTest, WithoutSavingNeitherNotepadNorDesktopCopy) {
  scan::TSettings s;
  s.OpenReport = s.CopyToDesktop = true;
  scan::RunAnalyzer(s, host, state);
  EXPECT_FALSE(machine.Exists(kLog));
  EXPECT_FALSE(machine.Exists(kDesktopCopy));
  EXPECT_TRUE(machine.shellUi().shellExecutions.empty());
  EXPECT_EQ(machine.shellUi().clipboard, "");
}

TEST_F(RunTest, TwoRunsInOneSecondAppendToOneLogFile) {
  scan::TSettings s;
  s.SaveReport = true;
  scan::RunAnalyzer(s, host, state);
  const std::string first = host.log;
  scan::RunAnalyzer(s, host, state);
  EXPECT_EQ(machine.Contents(kLog), first + "\r\n" + host.log + "\r\n");
}

TEST_F(RunTest, OutputFailuresShowTheirMessageAndEndTheRun) {
  // The log folder is gone: saving fails with the system's text, nothing after it happens.
  machine.RemoveFile(kApp + "Logs");
  machine.CreateKey(platform::kHkeyLocalMachine, "SYSTEM\\ControlSet001\\Enum\\Root\\LEGACY_KVDRV\\0000");
  scan::TSettings s;
  s.SaveReport = s.OpenReport = s.CopyToDesktop = s.WorkInBackground = true;
  scan::RunAnalyzer(s, host, state);
  ASSERT_EQ(host.prompts.size(), 1u);
  EXPECT_EQ(host.prompts[0].text, "Cannot save the report file: The system cannot find the path specified.");
  EXPECT_EQ(host.prompts[0].caption, "ERROR");
  EXPECT_EQ(host.prompts[0].flags, win::kMbIconError | win::kMbTopmost);
  EXPECT_TRUE(machine.shellUi().shellExecutions.empty());
  EXPECT_EQ(host.events.back(), "foreground");  // window restored before the message
  // The outputs end there; the driver's keys are still removed.
  EXPECT_FALSE(machine.KeyExists(platform::kHkeyLocalMachine, "SYSTEM\\ControlSet001\\Enum\\Root\\LEGACY_KVDRV"));

  // The desktop copy fails: its own message.
  machine.AddFolder(kApp + "Logs");
  host.prompts.clear();
  machine.DenyCreate("C:\\Documents and Settings\\User\\Desktop");
  machine.CreateKey(platform::kHkeyLocalMachine, "SYSTEM\\ControlSet001\\Enum\\Root\\LEGACY_KVDRV\\0000");
  s.WorkInBackground = false;
  scan::RunAnalyzer(s, host, state);
  ASSERT_EQ(host.prompts.size(), 1u);
  EXPECT_EQ(host.prompts[0].text, "Cannot save the report file to dekstop: Access is denied.");
  EXPECT_TRUE(machine.Exists(kLog));
  EXPECT_FALSE(machine.KeyExists(platform::kHkeyLocalMachine, "SYSTEM\\ControlSet001\\Enum\\Root\\LEGACY_KVDRV"));
}

TEST_F(RunTest, DriverKeysAreRemovedAfterACompletedRun) {
  for (const char* set : {"ControlSet001", "ControlSet002", "CurrentControlSet"}) {
    machine.CreateKey(platform::kHkeyLocalMachine,
                      std::string("SYSTEM\\") + set + "\\Enum\\Root\\LEGACY_KVDRV\\0000\\Control");
  }
  scan::RunAnalyzer(scan::TSettings{}, host, state);
  for (const char* set : {"ControlSet001", "ControlSet002", "CurrentControlSet"}) {
    EXPECT_FALSE(machine.KeyExists(platform::kHkeyLocalMachine, std::string("SYSTEM\\") + set + "\\Enum\\Root\\LEGACY_KVDRV"));
    EXPECT_TRUE(machine.KeyExists(platform::kHkeyLocalMachine, std::string("SYSTEM\\") + set + "\\Enum\\Root"));
  }
}

TEST_F(RunTest, RefusalsAndRestorePoint) {
  scan::TSettings s;
  s.RestorePointBeforeAnalyzer = true;

  state.scanning = true;  // a scan runs: ignored without a word
  scan::RunAnalyzer(s, host, state);
  EXPECT_TRUE(host.events.empty());
  EXPECT_TRUE(host.prompts.empty());
  state.scanning = false;

  state.repairing = true;  // repairs run: a warning, nothing else
  scan::RunAnalyzer(s, host, state);
  ASSERT_EQ(host.prompts.size(), 1u);
  EXPECT_EQ(host.prompts[0].text, "Restorer is working... Please wait...");
  EXPECT_EQ(host.prompts[0].caption, "Warning");
  EXPECT_TRUE(host.events.empty());
  EXPECT_TRUE(machine.system().restorePoints.empty());
  state.repairing = false;

  scan::RunAnalyzer(s, host, state);
  ASSERT_EQ(machine.system().restorePoints.size(), 1u);
  EXPECT_EQ(machine.system().restorePoints[0].description, "SYSTEM RESTORE POINT");
  EXPECT_EQ(machine.system().restorePoints[0].eventType, 100u);
}

TEST_F(RunTest, AWorkerThatCannotStartGivesAnEmptyReportAndTheOutputsStillHappen) {
  machine.threads().creationFails = true;
  scan::TSettings s;
  s.SaveReport = true;
  scan::RunAnalyzer(s, host, state);
  ASSERT_EQ(host.prompts.size(), 1u);
  EXPECT_EQ(host.prompts[0].text, "ERROR #6 : Cannot create thread.");
  EXPECT_EQ(host.prompts[0].caption, "Warning");
  EXPECT_EQ(host.log, "");
  EXPECT_EQ(machine.Contents(kLog), "\r\n");
  EXPECT_FALSE(state.scanning);
}

// The window closes during a scan: the worker is asked to stop and waited for, so its clean-ups
// run (the timer period is dropped, the driver's keys removed); the cut-short run writes nothing.
TEST_F(RunTest, AStoppedRunEndsItsWorkerCleanlyAndWritesNothing) {
  machine.CreateKey(platform::kHkeyLocalMachine, "SYSTEM\\ControlSet001\\Enum\\Root\\LEGACY_KVDRV\\0000");
  scan::TSettings s;
  s.SaveReport = s.CopyToClipboard = true;
  std::atomic<bool> started{false}, stopping{false};
  {
    scan::TAnalyzerRun run(host, state);
    // The first news holds the worker in the first section until the stop is on its way.
    run.Start(s, [&] {
      started = true;
      for (int i = 0; i < 5000 && !stopping; ++i) platform::Sys().Sleep(1, false);
    });
    ASSERT_TRUE(run.Running());
    EXPECT_TRUE(state.scanning);
    while (!started) platform::Sys().Sleep(1, false);
    stopping = true;
    run.Stop();
    EXPECT_FALSE(run.Running());
  }
  EXPECT_FALSE(state.scanning);
  EXPECT_EQ(host.events.back(), "enable");
  EXPECT_EQ(host.log, "");
  EXPECT_FALSE(machine.Exists(kLog));
  EXPECT_EQ(machine.shellUi().clipboard, "");
  EXPECT_EQ(machine.system().timerPeriodCalls, (std::vector<std::string>{"begin 1", "end 1"}));
  EXPECT_FALSE(machine.KeyExists(platform::kHkeyLocalMachine, "SYSTEM\\ControlSet001\\Enum\\Root\\LEGACY_KVDRV"));
  // The worker left at the first section: no later banner reached the window.
  std::lock_guard lock(host.display.mutex);
  EXPECT_LE(host.display.lines.size(), 1u);
}

// A stop asked for during a section ends the scan before the next one, without the footer.
TEST_F(FrameTest, AStopEndsTheScanBeforeTheNextSection) {
  static inspect::TStopToken* token;
  inspect::TStopToken stop;
  token = &stop;
  std::vector<scan::TSection> sections(scan::DefaultSections().begin(), scan::DefaultSections().begin() + 3);
  sections[0].content = [](scan::TReport& report, const scan::TScanOptions&) {
    report.Add("first");
    token->Request();
  };
  scan::TScanOptions options = AllGates(true);
  options.Stop = &stop;
  scan::TReport report;
  RecordingDisplay display;
  scan::ScanThread(report, options, display, sections);
  EXPECT_EQ(Banners(report), (std::vector<std::string>{"Generic system info"}));
  EXPECT_EQ(report.Item(report.Count() - 2), "first");
  EXPECT_EQ(display.lines.size(), 1u);
}

TEST_F(RunTest, BackgroundRunHidesAndRestoresTheWindow) {
  scan::TSettings s;
  s.WorkInBackground = true;
  scan::RunAnalyzer(s, host, state);
  EXPECT_EQ(host.events, (std::vector<std::string>{"disable", "clear", "range 5", "background", "enable", "foreground"}));
}

}  // namespace
