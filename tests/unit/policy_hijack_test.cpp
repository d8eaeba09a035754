// Policy hijacks, the Safe Mode test, Bifrost markers and the Run-value filters over the fake.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "inspect/registry.h"
#include "inspect/text.h"
#include "platform/call_counts.h"
#include "platform/fake/fake_machine.h"
#include "scan/run_value_filters.h"
#include "scan/sections.h"
#include "tests/support/scan_helpers.h"

namespace {

namespace win = platform::win;
using platform::kHkeyCurrentUser;
using platform::kHkeyLocalMachine;
using platform::fake::Machine;
using bs_test::ReportItems;
using scan::TReport;

const char kSafeBootMissing[] = "SafeBoot (Minimal) is NOT PRESENT!";
const char kXpSafeBoot[] = "SYSTEM\\CurrentControlSet\\Control\\SafeBoot\\Minimal\\dmio.sys";
const char kWin7SafeBoot[] = "SYSTEM\\ControlSet001\\Control\\SafeBoot\\Minimal\\vga.sys";
const char kRun[] = "\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
const char kAppData[] = "C:\\Documents and Settings\\User\\Application Data";
const char kCommonAppData[] = "C:\\Documents and Settings\\All Users\\Application Data";
const char kTemp[] = "C:\\DOCUME~1\\User\\LOCALS~1\\Temp";

class PolicyHijack : public ::testing::Test {
 protected:
  void SetUp() override { m.Install(); }
  Machine m;
};

TEST_F(PolicyHijack, SafeModeTestPicksTheKeyByWindowsVersionAndCurrentControlSet) {
  const platform::OsVersion xp{win::kVerPlatformWin32Nt, 5, 1, 2600, "Service Pack 3"};
  const platform::OsVersion win7{win::kVerPlatformWin32Nt, 6, 1, 7601, "Service Pack 1"};
  const char* const set2 = "SYSTEM\\ControlSet002\\Control\\SafeBoot\\Minimal\\vga.sys";
  const char* const current = "SYSTEM\\CurrentControlSet\\Control\\SafeBoot\\Minimal\\vga.sys";
  struct Case {
    const char* name;
    platform::OsVersion version;
    bool wow64;
    uint32_t select;  // SYSTEM\Select\Current; 0: no such value
    std::vector<const char*> keys;
    bool missing;
  } cases[] = {
      {"XP with dmio.sys", xp, false, 1, {kXpSafeBoot}, false},
      {"XP without any", xp, false, 1, {}, true},
      {"XP with vga.sys only", xp, false, 1, {kWin7SafeBoot}, true},
      {"64-bit XP with vga.sys", xp, true, 1, {kWin7SafeBoot}, false},
      {"Windows 7 with vga.sys", win7, false, 1, {kWin7SafeBoot}, false},
      {"Windows 7 with dmio.sys only", win7, false, 1, {kXpSafeBoot}, true},
      {"Vista without any", {win::kVerPlatformWin32Nt, 6, 0, 6002, ""}, false, 1, {}, true},
      // The set Select names is read, not ControlSet001.
      {"Windows 7 booted from set 2", win7, false, 2, {set2}, false},
      {"Windows 7 booted from set 2, vga.sys in set 1 only", win7, false, 2, {kWin7SafeBoot}, true},
      // Wine keeps its control set under CurrentControlSet and has no ControlSet001.
      {"Select naming a set that is not there", win7, false, 1, {current}, false},
      {"no Select", win7, false, 0, {current}, false},
  };
  for (const Case& c : cases) {
    Machine machine;
    machine.Install();
    machine.system().version = c.version;
    machine.system().wow64 = c.wow64;
    if (c.select != 0) machine.SetDword(kHkeyLocalMachine, "SYSTEM\\Select", "Current", c.select);
    for (const char* key : c.keys) machine.CreateKey(kHkeyLocalMachine, key);
    TReport report;
    scan::WriteSystemHijack(report, {});
    const std::vector<std::string> expected = c.missing ? std::vector<std::string>{kSafeBootMissing}
                                                        : std::vector<std::string>{};
    EXPECT_EQ(ReportItems(report), expected) << c.name;
  }
}

// One row of each kind, in table order, among values that must stay silent.
TEST_F(PolicyHijack, ReportsHijackedValuesOnly) {
  const std::string system = "Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\System";
  const std::string advanced = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Advanced";
  const std::string disallow = "Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer\\DisallowRun";
  m.CreateKey(kHkeyLocalMachine, kXpSafeBoot);
  m.SetDword(kHkeyCurrentUser, system, "DisableTaskMgr", 1);
  m.SetDword(kHkeyLocalMachine, system, "DisableTaskMgr", 0);
  m.SetString(kHkeyLocalMachine, system, "DisableRegistryTools", " 1 ");  // trimmed: "1"
  m.SetString(kHkeyCurrentUser, disallow, "1", "regedit.exe");
  m.SetString(kHkeyCurrentUser, disallow, "2", "");
  m.SetDword(kHkeyCurrentUser, advanced, "Hidden", 2);
  m.SetDword(kHkeyCurrentUser, advanced, "ShowSuperHidden", 0);
  m.SetString(kHkeyLocalMachine, "Software\\Microsoft\\Ole", "EnableDCOM", "Y");
  m.SetString(kHkeyLocalMachine, "Software\\Microsoft\\Ole", "EnableRemoteConnect", "y");
  m.SetString(kHkeyCurrentUser, "Control Panel\\Desktop", "Wallpaper", "c:\\windows\\WEB\\wallpaper\\bliss.bmp");
  m.SetString(kHkeyCurrentUser, "Control Panel\\Desktop", "OriginalWallpaper", "C:\\x\\evil.bmp");
  m.SetString(kHkeyCurrentUser, "Control Panel\\Desktop", "ConvertedWallpaper", "");
  m.SetDword(kHkeyLocalMachine, "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Windows",
             "RequireSignedAppInit_DLLs", 0);
  m.SetDword(kHkeyLocalMachine, "SYSTEM\\CurrentControlSet\\Services\\TlntSvr", "Start", 3);

  TReport report;
  scan::WriteSystemHijack(report, {});
  const std::string hkcu = "HKEY_CURRENT_USER\\";
  const std::string hklm = "HKEY_LOCAL_MACHINE\\";
  const std::vector<std::string> expected = {
      inspect::ValueEntry("DisableRegistryTools", "1", hklm + system),
      inspect::ValueEntry("DisableTaskMgr", "1", hkcu + system),
      inspect::ValueEntry("1", "regedit.exe", hkcu + disallow),
      inspect::ValueEntry("2", "", hkcu + disallow),
      inspect::ValueEntry("Hidden", "2", hkcu + advanced),
      inspect::ValueEntry("ShowSuperHidden", "0", hkcu + advanced),
      inspect::ValueEntry("EnableDCOM", "Y", hklm + "Software\\Microsoft\\Ole"),
      inspect::ValueEntry("OriginalWallpaper", "C:\\x\\evil.bmp", hkcu + "Control Panel\\Desktop"),
      inspect::ValueEntry("RequireSignedAppInit_DLLs", "0",
                          hklm + "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Windows"),
  };
  EXPECT_EQ(ReportItems(report), expected);
}

// Windows matches value names in any letter case, and so do the checks; the line shows the
// name as stored.
TEST_F(PolicyHijack, ValueNamesMatchInAnyLetterCase) {
  const std::string system = "Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\System";
  const std::string center = "Software\\Microsoft\\Security Center";
  m.CreateKey(kHkeyLocalMachine, kXpSafeBoot);
  m.SetDword(kHkeyCurrentUser, system, "DisableTaskmgr", 1);
  m.SetDword(kHkeyLocalMachine, center, "UACDisableNotify", 1);
  m.SetDword(kHkeyLocalMachine, system, "enablelua", 0);
  TReport report;
  scan::WriteSystemHijack(report, {});
  EXPECT_EQ(ReportItems(report), (std::vector<std::string>{
                                     inspect::ValueEntry("DisableTaskmgr", "1", "HKEY_CURRENT_USER\\" + system),
                                     inspect::ValueEntry("enablelua", "0", "HKEY_LOCAL_MACHINE\\" + system),
                                     inspect::ValueEntry("UACDisableNotify", "1", "HKEY_LOCAL_MACHINE\\" + center),
                                 }));
}

TEST_F(PolicyHijack, WallpaperOutsideTheWindowsFolderIsReported) {
  m.CreateKey(kHkeyLocalMachine, kXpSafeBoot);
  m.SetString(kHkeyCurrentUser, "Control Panel\\Desktop", "Wallpaper", "C:\\Temp\\you-are-infected.bmp");
  TReport report;
  scan::WriteSystemHijack(report, {});
  EXPECT_EQ(ReportItems(report), std::vector<std::string>{inspect::ValueEntry(
                               "Wallpaper", "C:\\Temp\\you-are-infected.bmp", "HKEY_CURRENT_USER\\Control Panel\\Desktop")});
}

TEST_F(PolicyHijack, BifrostMarkersNameTheLastMarkedSubkeyOfEachRoot) {
  m.SetString(kHkeyLocalMachine, "SOFTWARE\\Alpha", "nck", "x");
  m.SetString(kHkeyLocalMachine, "SOFTWARE\\Beta", "NCK", "y");
  m.SetString(kHkeyLocalMachine, "SOFTWARE\\Gamma", "klg", "z");  // the user marker, under the machine
  m.SetString(kHkeyLocalMachine, "SOFTWARE\\Zulu", "nck", "w");
  m.DenyKey(kHkeyLocalMachine, "SOFTWARE\\Zulu");  // cannot be opened: skipped
  m.SetString(kHkeyCurrentUser, "Software\\Kilo", "Klg", "1");
  m.SetString(kHkeyCurrentUser, "Software\\Lima", "nck", "1");  // the machine marker, under the user
  TReport report;
  scan::FindBifrostMarkers(report);
  EXPECT_EQ(ReportItems(report), (std::vector<std::string>{"HKEY_LOCAL_MACHINE\\SOFTWARE\\Beta -> Bifrost RAT",
                                                     "HKEY_CURRENT_USER\\SOFTWARE\\Kilo -> Bifrost RAT"}));
}

TEST_F(PolicyHijack, BifrostMarkersOfTheUserAlone) {
  m.SetString(kHkeyCurrentUser, "Software\\Kilo", "klg", "1");
  TReport report;
  scan::FindBifrostMarkers(report);
  EXPECT_EQ(ReportItems(report), std::vector<std::string>{"HKEY_CURRENT_USER\\SOFTWARE\\Kilo -> Bifrost RAT"});
}

TEST_F(PolicyHijack, NumericRunValuesFromFiveUp) {
  struct Case {
    std::string text;
    bool listed;
  } cases[] = {
      {"12345", true}, {"5", true},       {" 7 ", true},        {"4", false},         {"-7", false},
      {"0", false},    {"12a", false},    {"0x10", false},      {"99999999999", false}, {"", false},
      {"2147483647", true}, {"+12345", true}, {"+", false}, {"+-5", false},
  };
  for (const Case& c : cases) {
    Machine machine;
    machine.Install();
    machine.SetString(kHkeyLocalMachine, kRun + 1, "Updater", c.text);
    TReport report;
    scan::ListNumericRunValues(kRun, kHkeyLocalMachine, report, scan::TRunLineForm::Full);
    const std::vector<std::string> expected =
        c.listed ? std::vector<std::string>{std::string("HKEY_LOCAL_MACHINE") + kRun + "\\Updater -> " +
                                            inspect::TrimControls(c.text) + "\r\n"}
                 : std::vector<std::string>{};
    EXPECT_EQ(ReportItems(report), expected) << "\"" << c.text << "\"";
  }
}

TEST_F(PolicyHijack, NumericRunValueStoredAsNumber) {
  m.SetDword(kHkeyCurrentUser, kRun + 1, "12345", 12345);
  m.SetDword(kHkeyCurrentUser, kRun + 1, "minus", static_cast<uint32_t>(-7));
  TReport report;
  scan::ListNumericRunValues(kRun, kHkeyCurrentUser, report, scan::TRunLineForm::PathOnly);
  EXPECT_EQ(ReportItems(report), std::vector<std::string>{"12345\r\n"});
}

// The whole section: each filter for HKLM, then HKCU, in filter order.
TEST_F(PolicyHijack, SuspiciousRunValuesInFullForm) {
  const std::string clsid = "{5B2A8E31-77C1-4E0B-9D1F-3A6C0E8B4F27}";
  const std::string appExe = std::string(kAppData) + "\\winupd32.exe";
  const std::string tempExe = std::string(kTemp) + "\\svchost.exe";
  const std::string commonExe = std::string(kCommonAppData) + "\\agent.exe";
  m.AddFile(appExe, "MZ");
  m.AddFile(tempExe, "MZ");
  m.AddFile(commonExe, "MZ");
  m.AddFile("C:\\Program Files\\App\\app.exe", "MZ");
  m.SetString(kHkeyCurrentUser, kRun + 1, clsid, "\"" + appExe + "\" -silent");
  m.SetString(kHkeyCurrentUser, kRun + 1, "Temp", tempExe + " /min");
  m.SetString(kHkeyLocalMachine, kRun + 1, "Common", commonExe);
  m.SetString(kHkeyLocalMachine, kRun + 1, "{AAAA-BBBB}", "C:\\Program Files\\App\\app.exe");
  m.SetString(kHkeyLocalMachine, kRun + 1, "12345", "12345");

  TReport report;
  scan::WriteSuspiciousRegistryKeys(report, {});
  const std::string hklm = std::string("HKEY_LOCAL_MACHINE") + kRun + "\\";
  const std::string hkcu = std::string("HKEY_CURRENT_USER") + kRun + "\\";
  EXPECT_EQ(ReportItems(report), (std::vector<std::string>{
                               hkcu + clsid + " -> " + appExe + "\r\n",
                               hklm + "12345 -> 12345\r\n",
                               hklm + "Common -> " + commonExe + "\r\n",
                               hkcu + clsid + " -> " + appExe + "\r\n",
                               hkcu + "Temp -> " + tempExe + "\r\n",
                           }));

  // The same lines with each root's Run key opened once for the three filters.
  TReport shared;
  const platform::TCallCounts before = platform::CallCounts();
  {
    const platform::TCallCounter counter;
    scan::ListRunValueFilters(kRun, scan::kRunValueRoots, scan::kRunValueFilters, shared, scan::TRunLineForm::Full);
  }
  EXPECT_EQ(ReportItems(shared), ReportItems(report));
  EXPECT_EQ((platform::CallCounts() - before).keysOpened, 2u);
}

TEST_F(PolicyHijack, FiltersCompareLongFormsOfPathsAndFolders) {
  // The Run value names the program by its short path; only the long forms share the folder.
  const std::string shortExe = "C:\\DOCUME~1\\User\\APPLIC~1\\winupd32.exe";
  const std::string longExe = std::string(kAppData) + "\\winupd32.exe";
  m.AddFile(longExe, "MZ");
  m.system().longPaths[platform::fake::UpperAscii(shortExe)] = longExe;
  m.SetString(kHkeyCurrentUser, kRun + 1, "{1-2}", shortExe);
  for (auto filter : {scan::ListClsidNamedRunValues, scan::ListRunValuesInDataFolders}) {
    TReport report;
    filter(kRun, kHkeyCurrentUser, report, scan::TRunLineForm::PathOnly);
    EXPECT_EQ(ReportItems(report), std::vector<std::string>{shortExe + "\r\n"});
  }
}

TEST_F(PolicyHijack, UnknownFoldersMatchNothing) {
  m.system().specialFolders.erase(win::kCsidlAppData);
  m.system().specialFolders.erase(win::kCsidlCommonAppData);
  m.AddFile("C:\\Program Files\\App\\app.exe", "MZ");
  m.SetString(kHkeyCurrentUser, kRun + 1, "{1-2}", "C:\\Program Files\\App\\app.exe");
  TReport report;
  scan::ListClsidNamedRunValues(kRun, kHkeyCurrentUser, report, scan::TRunLineForm::Full);
  scan::ListRunValuesInDataFolders(kRun, kHkeyCurrentUser, report, scan::TRunLineForm::Full);
  EXPECT_EQ(report.Count(), 0u);
}

TEST_F(PolicyHijack, OddRunValuesNeverEndTheSection) {
  m.SetValue(kHkeyCurrentUser, kRun + 1, "{bin-ary}", win::kRegBinary, {1, 2, 3});
  m.SetValue(kHkeyCurrentUser, kRun + 1, "multi", win::kRegMultiSz, {'1', '2', 0, '3', 0, 0});
  m.SetValue(kHkeyCurrentUser, kRun + 1, "qword", win::kRegQword, {0x39, 0x30, 0, 0, 0, 0, 0, 0});
  m.SetValue(kHkeyCurrentUser, kRun + 1, "no-nul", win::kRegSz, {'6', '6'});
  m.SetString(kHkeyCurrentUser, kRun + 1, "huge", std::string(1 << 20, '7'));
  m.SetString(kHkeyCurrentUser, kRun + 1, "n\xe4me-{\xfc}", "C:\\x\xe9.exe");
  m.DenyKey(kHkeyLocalMachine, kRun + 1);
  TReport report;
  scan::WriteSuspiciousRegistryKeys(report, {});
  EXPECT_EQ(ReportItems(report), std::vector<std::string>{std::string("HKEY_CURRENT_USER") + kRun + "\\no-nul -> 66\r\n"});
}

}  // namespace
