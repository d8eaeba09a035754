// The registry startup sections over the fake machine: a clean XP machine is silent, each
// hijack is reported once, the listers with their whitelist and the Microsoft exclusion, the
// custom dump, and bad input that must never end a section.
#include <gtest/gtest.h>

#include <functional>

#include "inspect/key_paths.h"
#include "inspect/lang.h"
#include "platform/fake/fake_machine.h"
#include "scan/registry_listers.h"
#include "scan/sections.h"

namespace {

namespace win = platform::win;
using platform::kHkeyClassesRoot;
using platform::kHkeyCurrentUser;
using platform::kHkeyLocalMachine;
using platform::kHkeyUsers;
using platform::RegKey;
using platform::fake::Machine;
using scan::TReport;
using scan::TScanOptions;
using Items = std::vector<std::string>;

constexpr const char* kWinlogon = "Software\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon";
constexpr const char* kRun = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr const char* kActiveSetup = "SOFTWARE\\Microsoft\\Active Setup\\Installed Components";
constexpr const char* kBho = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Browser Helper Objects";
constexpr const char* kNotify = "Software\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon\\Notify";
constexpr const char* kIfeo = "Software\\Microsoft\\Windows NT\\CurrentVersion\\Image File Execution Options";
constexpr const char* kDelayLoad = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\ShellServiceObjectDelayLoad";
constexpr const char* kHooks = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\ShellExecuteHooks";
constexpr const char* kShell32Clsid = "{00021400-0000-0000-C000-000000000046}";

std::string Entry(const std::string& name, const std::string& data, const std::string& key) {
  return "Value: " + name + "\r\nData: " + data + "\r\nKey: " + key + "\r\n";
}
std::string ClsidEntry(const std::string& name, const std::string& data, const std::string& clsid,
                       const std::string& key) {
  return "Value: " + name + "\r\nData: " + data + "\r\nCLSID: " + clsid + "\r\nKey: " + key + "\r\n";
}

Items ItemsOf(const TReport& report) {
  Items items;
  for (size_t i = 0; i < report.Count(); ++i) items.push_back(report.Item(i));
  return items;
}

struct Seed {
  RegKey root;
  const char* key;
  const char* name;
  const char* text;
  uint32_t type = win::kRegSz;
};

// What a clean Windows XP holds at the places the two sections look at.
// clang-format off
const Seed kCleanXp[] = {
  {kHkeyUsers, ".DEFAULT\\Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows", "run", ""},
  {kHkeyUsers, ".DEFAULT\\Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows", "load", ""},
  {kHkeyLocalMachine, "Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows", "load", ""},
  {kHkeyLocalMachine, "Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows", "AppInit_DLLs", ""},
  {kHkeyLocalMachine, "SYSTEM\\CurrentControlSet\\Control\\SecurityProviders", "SecurityProviders",
   "msapsspc.dll, schannel.dll, digest.dll, msnsspc.dll"},
  {kHkeyLocalMachine, "SYSTEM\\ControlSet001\\Control\\SecurityProviders", "SecurityProviders",
   "msapsspc.dll, schannel.dll, digest.dll, msnsspc.dll"},
  {kHkeyCurrentUser, "Control Panel\\Desktop", "SCRNSAVE.EXE", "C:\\WINDOWS\\system32\\logon.scr"},
  {kHkeyCurrentUser, "Control Panel\\Desktop", "Wallpaper", "C:\\WINDOWS\\Web\\Wallpaper\\Bliss.bmp"},
  {kHkeyLocalMachine, kWinlogon, "Shell", "Explorer.exe"},
  {kHkeyLocalMachine, kWinlogon, "System", ""},
  {kHkeyLocalMachine, kWinlogon, "Userinit", "C:\\WINDOWS\\system32\\userinit.exe,"},
  {kHkeyLocalMachine, kWinlogon, "UIHost", "logonui.exe", win::kRegExpandSz},
  {kHkeyLocalMachine, kWinlogon, "VmApplet", "rundll32 shell32,Control_RunDLL \"sysdm.cpl\""},
  {kHkeyLocalMachine, "SOFTWARE\\Microsoft\\Active Setup\\Installed Components\\{2C7339CF-2B09-4501-B3F3-F3508C9228ED}",
   "StubPath", "%SystemRoot%\\system32\\regsvr32.exe /s /n /i:/UserInstall %SystemRoot%\\system32\\themeui.dll"},
  {kHkeyLocalMachine, "SOFTWARE\\Microsoft\\Active Setup\\Installed Components\\{5945c046-1e7d-11d1-bc44-00c04fd912be}",
   "StubPath", "rundll32.exe advpack.dll,LaunchINFSection C:\\WINDOWS\\INF\\msmsgs.inf,BLC.QuietInstall.PerUser"},
  {kHkeyLocalMachine, "SOFTWARE\\Microsoft\\Active Setup\\Installed Components\\{89820200-ECBD-11cf-8B85-00AA005B4383}",
   "StubPath", "%SystemRoot%\\system32\\ie4uinit.exe"},
  {kHkeyLocalMachine, "SOFTWARE\\Microsoft\\Active Setup\\Installed Components\\{89820200-ECBD-11cf-8B85-00AA005B4383}",
   "Version", "8,0,6001,18702"},
  {kHkeyLocalMachine, "SOFTWARE\\Microsoft\\Active Setup\\Installed Components\\{89B4C1CD-B018-4511-B0A1-5476DBF70820}",
   "StubPath", "C:\\WINDOWS\\system32\\Rundll32.exe C:\\WINDOWS\\system32\\mscories.dll,Install"},
  {kHkeyLocalMachine,
   "SOFTWARE\\Microsoft\\Active Setup\\Installed Components\\>{22d6f312-b0f6-11d0-94ab-0080c74c7e95}",
   "StubPath", "C:\\WINDOWS\\inf\\unregmp2.exe /ShowWMP"},
  {kHkeyLocalMachine, kDelayLoad, "PostBootReminder", "{7849596a-48ea-486e-8937-a2a3009f31a9}"},
  {kHkeyClassesRoot, "CLSID\\{7849596a-48ea-486e-8937-a2a3009f31a9}\\InProcServer32", "",
   "%SystemRoot%\\system32\\SHELL32.dll", win::kRegExpandSz},
  {kHkeyLocalMachine, kHooks, "{AEB6717E-7E19-11d0-97EE-00C04FD91972}", ""},
  {kHkeyClassesRoot, "CLSID\\{AEB6717E-7E19-11d0-97EE-00C04FD91972}\\InProcServer32", "", "shell32.dll"},
  {kHkeyClassesRoot, "exefile\\shell\\open\\command", "", "\"%1\" %*"},
  {kHkeyClassesRoot, "comfile\\shell\\open\\command", "", "\"%1\" %*"},
  {kHkeyClassesRoot, "batfile\\shell\\open\\command", "", "\"%1\" %*"},
  {kHkeyClassesRoot, "piffile\\shell\\open\\command", "", "\"%1\" %*"},
  {kHkeyClassesRoot, "scrfile\\shell\\open\\command", "", "\"%1\" /S"},
  {kHkeyClassesRoot, "Unknown\\shell\\openas\\command", "",
   "%SystemRoot%\\system32\\rundll32.exe %SystemRoot%\\system32\\shell32.dll,OpenAs_RunDLL %1", win::kRegExpandSz},
  {kHkeyClassesRoot, "Directory\\shell\\find\\command", "", "%SystemRoot%\\Explorer.exe", win::kRegExpandSz},
  {kHkeyClassesRoot, "Directory\\shell\\Winamp.Play\\command", "",
   "\"C:\\Program Files\\Winamp\\Winamp.exe\" \"%1\""},
  {kHkeyClassesRoot, "Folder\\shell\\open\\command", "", "%SystemRoot%\\Explorer.exe /idlist,%I,%L",
   win::kRegExpandSz},
  {kHkeyClassesRoot, "Folder\\shell\\explore\\command", "", "%SystemRoot%\\Explorer.exe /e,/idlist,%I,%L",
   win::kRegExpandSz},
  {kHkeyClassesRoot, "Drive\\shell\\find\\command", "", "%SystemRoot%\\Explorer.exe", win::kRegExpandSz},
  {kHkeyClassesRoot, "Applications\\iexplore.exe\\shell\\open\\command", "",
   "\"C:\\Program Files\\Internet Explorer\\iexplore.exe\" %1"},
  {kHkeyLocalMachine, "SOFTWARE\\Clients\\StartMenuInternet\\IEXPLORE.EXE\\shell\\open\\command", "",
   "\"C:\\Program Files\\Internet Explorer\\iexplore.exe\""},
  {kHkeyLocalMachine, "Software\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon\\Notify\\crypt32chain",
   "DLLName", "crypt32.dll"},
  {kHkeyLocalMachine, "Software\\Microsoft\\Windows NT\\CurrentVersion\\Drivers32", "midi", "wdmaud.drv"},
  {kHkeyLocalMachine, "SYSTEM\\CurrentControlSet\\Control\\Session Manager\\SubSystems", "Windows",
   "%SystemRoot%\\system32\\csrss.exe ObjectDirectory=\\Windows SharedSection=1024,3072,512 Windows=On",
   win::kRegExpandSz},
  {kHkeyLocalMachine, "Software\\Microsoft\\Windows NT\\CurrentVersion\\AeDebug", "Debugger",
   "drwtsn32 -p %ld -e %ld -g"},
  {kHkeyLocalMachine, "SYSTEM\\CurrentControlSet\\Control\\SafeBoot", "AlternateShell", "cmd.exe"},
  {kHkeyLocalMachine,
   "Software\\Microsoft\\Windows NT\\CurrentVersion\\Image File Execution Options\\"
   "Your Image File Name Here without a path",
   "Debugger", "ntsd -d"},
  {kHkeyLocalMachine, "Software\\Microsoft\\Windows NT\\CurrentVersion\\Image File Execution Options\\winword.exe",
   "DisableHeapLookaside", "1"},
};
// clang-format on

void SeedCleanXp(Machine& m) {
  for (const Seed& s : kCleanXp) m.SetString(s.root, s.key, s.name, s.text, s.type);
  m.AddFile("C:\\WINDOWS\\system32\\shell32.dll");
  m.AddFile("C:\\WINDOWS\\system32\\crypt32.dll");
  m.system().protectedFiles = {"C:\\WINDOWS\\system32\\shell32.dll", "c:\\windows\\system32\\CRYPT32.DLL"};
}

// A change of the clean machine: one string value set.
std::function<void(Machine&)> Set(RegKey root, std::string key, std::string name, std::string text) {
  return [=](Machine& m) { m.SetString(root, key, name, text); };
}

class RegistryStartups : public ::testing::Test {
 protected:
  void SetUp() override {
    m.Install();
    inspect::FillDefaultTexts();
    SeedCleanXp(m);
  }
  // Both sections, one after the other.
  Items Scan(const TScanOptions& options = {}) {
    TReport report;
    scan::WriteRegistryStartups(report, options);
    scan::WriteOtherStartups(report, options);
    return ItemsOf(report);
  }
  Machine m;
};

TEST_F(RegistryStartups, CleanMachineIsSilent) { EXPECT_EQ(Scan(), Items{}); }

TEST_F(RegistryStartups, EachHijackIsReportedOnce) {
  const std::string hklmWinlogon = std::string("HKEY_LOCAL_MACHINE\\") + kWinlogon;
  const std::string ifeo = std::string("HKEY_LOCAL_MACHINE\\") + kIfeo;
  const std::string multi("a.exe\0b.exe\0\0", 13);
  struct Case {
    const char* what;
    std::function<void(Machine&)> change;
    Items expected;
  } cases[] = {
      {"a Run value with empty data is listed",
       Set(kHkeyLocalMachine, kRun, "Empty", ""),
       {Entry("Empty", "", "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run")}},
      {"a run value of the default user",
       Set(kHkeyUsers, ".DEFAULT\\Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows", "run", "x.exe"),
       {Entry("run", "x.exe", "HKEY_USERS\\.DEFAULT\\Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows")}},
      {"Shell in other letter case", Set(kHkeyLocalMachine, kWinlogon, "Shell", "EXPLORER.exe"),
       {}},
      {"Shell as the full path", Set(kHkeyLocalMachine, kWinlogon, "Shell", "c:\\windows\\explorer.exe"),
       {}},
      {"Shell with a second program",
       Set(kHkeyLocalMachine, kWinlogon, "Shell", "Explorer.exe evil.exe"),
       {Entry("Shell", "Explorer.exe evil.exe", hklmWinlogon)}},
      {"Userinit without its comma",
       Set(kHkeyLocalMachine, kWinlogon, "Userinit", "C:\\WINDOWS\\system32\\userinit.exe"),
       {}},
      {"Userinit with a second program",
       Set(kHkeyLocalMachine, kWinlogon, "Userinit", "C:\\WINDOWS\\system32\\userinit.exe,C:\\x.exe"),
       {Entry("Userinit", "C:\\WINDOWS\\system32\\userinit.exe,C:\\x.exe", hklmWinlogon)}},
      // Both sections name Taskman, each in its own letter case; Windows reads either spelling.
      {"taskman in any case is reported by both sections",
       Set(kHkeyLocalMachine, kWinlogon, "taskman", "x.exe"),
       {Entry("taskman", "x.exe", hklmWinlogon), Entry("taskman", "x.exe", hklmWinlogon)}},
      {"VmApplet without its quotes",
       Set(kHkeyLocalMachine, kWinlogon, "VmApplet", "rundll32 shell32,Control_RunDLL sysdm.cpl"),
       {Entry("VmApplet", "rundll32 shell32,Control_RunDLL sysdm.cpl", hklmWinlogon)}},
      {"another screen saver",
       Set(kHkeyCurrentUser, "Control Panel\\Desktop", "SCRNSAVE.EXE", "C:\\x.scr"),
       {Entry("SCRNSAVE.EXE", "C:\\x.scr", "HKEY_CURRENT_USER\\Control Panel\\Desktop")}},
      {"a terminal-server Run value; an empty one is not",
       [](Machine& m) {
         const std::string key = std::string(inspect::keys::kTerminalServerRun).substr(1);
         m.SetString(kHkeyCurrentUser, key, "Empty", "");
         m.SetString(kHkeyCurrentUser, key, "Ts", "t.exe");
       },
       {Entry("Ts", "t.exe", std::string("HKEY_CURRENT_USER") + inspect::keys::kTerminalServerRun)}},
      {"exefile without the quotes",
       Set(kHkeyClassesRoot, "exefile\\shell\\open\\command", "", "%1 %*"),
       {Entry("", "%1 %*", "HKEY_CLASSES_ROOT\\exefile\\shell\\open\\command\\")}},
      {"Folder open with arguments",
       Set(kHkeyClassesRoot, "Folder\\shell\\open\\command", "", "%SystemRoot%\\Explorer.exe /separate"),
       {}},
      {"Folder open by another program",
       Set(kHkeyClassesRoot, "Folder\\shell\\open\\command", "", "C:\\x.exe %1"),
       {Entry("", "C:\\x.exe %1", "HKEY_CLASSES_ROOT\\Folder\\shell\\open\\command\\")}},
      {"AlternateShell empty",
       Set(kHkeyLocalMachine, "SYSTEM\\CurrentControlSet\\Control\\SafeBoot", "AlternateShell", ""),
       {Entry("AlternateShell", "EMPTY!!!", "HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\SafeBoot")}},
      {"AlternateShell in capitals",
       Set(kHkeyLocalMachine, "SYSTEM\\CurrentControlSet\\Control\\SafeBoot", "AlternateShell", "CMD.EXE"),
       {}},
      {"AlternateShell absent",
       [](Machine& m) {
         m.ImportReg("[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\SafeBoot]\n\"AlternateShell\"=-\n");
       },
       {}},
      {"a multi-string Execute",
       [&](Machine& m) {
         m.SetValue(kHkeyLocalMachine, "SYSTEM\\CurrentControlSet\\Control\\Session Manager", "Execute",
                    win::kRegMultiSz, {multi.begin(), multi.end()});
       },
       {Entry("Execute", "Unknown", "HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Session Manager")}},
      {"a debugger in capitals; the name in any case",
       [](Machine& m) {
         m.SetString(kHkeyLocalMachine, std::string(kIfeo) + "\\a.exe", "debugger", "NTSD -D");
         m.SetString(kHkeyLocalMachine, std::string(kIfeo) + "\\b.exe", "DEBUGGER", "ntsd -d");
       },
       {Entry("debugger", "NTSD -D", ifeo + "\\a.exe")}},
      {"a key named debugger below AeDebug",
       Set(kHkeyLocalMachine, "Software\\Microsoft\\Windows NT\\CurrentVersion\\AeDebug\\debugger", "x", "y"),
       {Entry("x", "y", "HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows NT\\CurrentVersion\\AeDebug\\debugger")}},
      {"midi9", Set(kHkeyLocalMachine, "Software\\Microsoft\\Windows NT\\CurrentVersion\\Drivers32", "midi9", "m.drv"),
       {Entry("midi9", "m.drv", "HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows NT\\CurrentVersion\\Drivers32")}},
  };
  for (const Case& c : cases) {
    Machine fresh;
    fresh.Install();
    SeedCleanXp(fresh);
    c.change(fresh);
    EXPECT_EQ(Scan(), c.expected) << c.what;
  }
}

TEST_F(RegistryStartups, SecurityProvidersExpectedPerSystem) {
  const std::string xp = "msapsspc.dll, schannel.dll, digest.dll, msnsspc.dll";
  struct Case {
    uint32_t major, minor;
    std::optional<bool> wow64;
    std::string stored;
    bool reported;
  } cases[] = {
      {5, 1, false, xp, false},         {5, 1, false, "credssp.dll", true}, {6, 1, true, "credssp.dll", false},
      {6, 1, true, xp, true},           {5, 1, true, "CREDSSP.DLL", false}, {6, 0, false, "credssp.dll", false},
      {6, 1, std::nullopt, "credssp.dll", false},
  };
  for (const Case& c : cases) {
    m.system().version.major = c.major;
    m.system().version.minor = c.minor;
    m.system().wow64 = c.wow64;
    for (const char* set : {"CurrentControlSet", "ControlSet001"}) {
      m.SetString(kHkeyLocalMachine, std::string("SYSTEM\\") + set + "\\Control\\SecurityProviders",
                  "SecurityProviders", c.stored);
    }
    const Items expected =
        c.reported ? Items{Entry("SecurityProviders", c.stored,
                                 "HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\SecurityProviders"),
                           Entry("SecurityProviders", c.stored,
                                 "HKEY_LOCAL_MACHINE\\SYSTEM\\ControlSet001\\Control\\SecurityProviders")}
                   : Items{};
    EXPECT_EQ(Scan(), expected) << c.major << "." << c.minor << " " << c.stored;
  }
}

TEST_F(RegistryStartups, ActiveSetupWhitelistFollowsTheOption) {
  m.system().windowsDir = "D:\\WIN";
  m.system().systemDir = "D:\\WIN\\sys32";
  m.system().specialFolders[win::kCsidlProgramFiles] = "D:\\Apps";
  struct Case {
    const char* stub;
    bool silentWithOption;
  } cases[] = {
      {"%SYSTEMROOT%\\SYSTEM32\\IE4UINIT.EXE", true},
      {"D:\\WIN\\sys32\\rundll32.exe D:\\WIN\\sys32\\advpack.dll,LaunchINFSectionEx "
       "D:\\Apps\\Internet Explorer\\clrtour.inf,DefaultInstall.ResetTour,,12", true},
      {"\"d:\\win\\SysWOW64\\rundll32.exe\" \"d:\\win\\SysWOW64\\iedkcs32.dll\",BrandIEActiveSetup SIGNUP", true},
      {"\"%ProgramFiles%\\Outlook Express\\setup50.exe\" /APP:OE /CALLER:WINNT /user /install", true},
      {"rundll32.exe advpack.dll,LaunchINFSection D:\\WIN\\INF\\wmp11.inf,PerUserStub", true},
      {"rundll32.exe advpack.dll,LaunchINFSection C:\\WINDOWS\\INF\\wmp11.inf,PerUserStub", false},
      {"%SystemRoot%\\system32\\ie4uinit.exe -extra", false},
      {"C:\\evil.exe", false},
  };
  const std::string key = std::string("HKEY_CURRENT_USER\\") + kActiveSetup + "\\{C}";
  for (const Case& c : cases) {
    m.SetString(kHkeyCurrentUser, std::string(kActiveSetup) + "\\{C}", "StubPath", c.stub);
    for (bool option : {true, false}) {
      TScanOptions options;
      options.ExcludeMicrosoftFiles = option;
      TReport report;
      scan::ListActiveSetupStubs(report, options, std::string("\\") + kActiveSetup, kHkeyCurrentUser);
      const Items expected = option && c.silentWithOption ? Items{} : Items{Entry("StubPath", c.stub, key)};
      EXPECT_EQ(ItemsOf(report), expected) << c.stub << (option ? " (option on)" : " (option off)");
    }
  }
}

TEST_F(RegistryStartups, ActiveSetupReadsANonEmptyStubPathInAnyLetterCase) {
  const std::string base = std::string(kActiveSetup) + "\\";
  m.SetString(kHkeyCurrentUser, base + "{A}", "stubpath", "C:\\a.exe");
  m.SetString(kHkeyCurrentUser, base + "{B}", "StubPath", "");
  m.SetString(kHkeyCurrentUser, base + "{C}", "StubPath", "C:\\c.exe");
  m.DenyKey(kHkeyCurrentUser, base + "{0}");
  TScanOptions options;
  options.ExcludeMicrosoftFiles = false;
  TReport report;
  scan::ListActiveSetupStubs(report, options, std::string("\\") + kActiveSetup, kHkeyCurrentUser);
  EXPECT_EQ(ItemsOf(report), (Items{Entry("stubpath", "C:\\a.exe", "HKEY_CURRENT_USER\\" + base + "{A}"),
                                     Entry("StubPath", "C:\\c.exe", "HKEY_CURRENT_USER\\" + base + "{C}")}));
}

TEST_F(RegistryStartups, BrowserHelperObjectsAndNotifyPackagesWithAProtectedServer) {
  const std::string bhoKey = std::string("HKEY_LOCAL_MACHINE\\") + kBho;
  m.CreateKey(kHkeyLocalMachine, std::string(kBho) + "\\" + kShell32Clsid);
  m.SetString(kHkeyClassesRoot, std::string("CLSID\\") + kShell32Clsid + "\\InprocServer32", "",
              "C:\\WINDOWS\\system32\\SHELL32.DLL");
  m.CreateKey(kHkeyLocalMachine, std::string(kBho) + "\\{B}");
  m.SetString(kHkeyClassesRoot, "CLSID\\{B}\\InprocServer32", "", "C:\\Program Files\\Bar\\bar.dll");
  m.CreateKey(kHkeyLocalMachine, std::string(kBho) + "\\{Expand}");
  m.SetString(kHkeyClassesRoot, "CLSID\\{Expand}\\InprocServer32", "", "%ProgramFiles%\\e.dll", win::kRegExpandSz);
  m.CreateKey(kHkeyLocalMachine, std::string(kBho) + "\\{NoServer}");
  m.SetString(kHkeyLocalMachine, std::string(kNotify) + "\\evil", "DllName", "C:\\evil.dll");
  m.DenyKey(kHkeyLocalMachine, std::string(kNotify) + "\\denied");

  for (bool option : {true, false}) {
    TScanOptions options;
    options.ExcludeMicrosoftFiles = option;
    Items expected;
    if (!option) {
      expected.push_back(Entry(kShell32Clsid, "C:\\WINDOWS\\system32\\SHELL32.DLL", bhoKey + "\\" + kShell32Clsid));
    }
    expected.push_back(Entry("{B}", "C:\\Program Files\\Bar\\bar.dll", bhoKey + "\\{B}"));
    if (!option) {
      expected.push_back(Entry("DLLName", "crypt32.dll",
                               std::string("HKEY_LOCAL_MACHINE\\") + kNotify + "\\crypt32chain"));
    }
    expected.push_back(Entry("DllName", "C:\\evil.dll", std::string("HKEY_LOCAL_MACHINE\\") + kNotify + "\\evil"));

    TReport report;
    scan::ListBrowserHelperObjects(report, options, std::string("\\") + kBho, kHkeyLocalMachine);
    scan::ListWinlogonNotify(report, options, std::string("\\") + kNotify, kHkeyLocalMachine);
    EXPECT_EQ(ItemsOf(report), expected) << (option ? "option on" : "option off");
  }
}

TEST_F(RegistryStartups, ClsidListersWriteFourLineEntries) {
  m.SetString(kHkeyLocalMachine, kDelayLoad, "Evil", "{E}");
  m.SetString(kHkeyLocalMachine, "SOFTWARE\\Classes\\CLSID\\{E}\\InProcServer32", "", "C:\\e.dll", win::kRegExpandSz);
  m.SetString(kHkeyLocalMachine, kDelayLoad, "Plain", "{P}");
  m.SetString(kHkeyLocalMachine, "SOFTWARE\\Classes\\CLSID\\{P}\\InProcServer32", "", "C:\\p.dll");
  m.SetString(kHkeyLocalMachine, kDelayLoad, "NoServer", "{N}");
  m.SetString(kHkeyLocalMachine, kDelayLoad, "Empty", "");
  m.SetString(kHkeyLocalMachine, kHooks, "{H}", "Hook description");
  m.SetString(kHkeyClassesRoot, "CLSID\\{H}\\InProcServer32", "", "C:\\h.dll");
  m.SetString(kHkeyLocalMachine, kHooks, "", "{H}");  // a default value names no class

  const std::string delayKey = std::string("HKEY_LOCAL_MACHINE\\") + kDelayLoad;
  const std::string hookKey = std::string("HKEY_LOCAL_MACHINE\\") + kHooks;
  EXPECT_EQ(Scan(), (Items{ClsidEntry("Evil", "C:\\e.dll", "{E}", delayKey),
                           ClsidEntry("Plain", "C:\\p.dll", "{P}", delayKey),
                           ClsidEntry("Hook description", "C:\\h.dll", "{H}", hookKey)}));

  TScanOptions off;
  off.ExcludeMicrosoftFiles = false;
  TReport report;
  scan::ListDelayLoadObjects(report, off, std::string("\\") + kDelayLoad, kHkeyLocalMachine);
  EXPECT_EQ(report.Item(0), ClsidEntry("PostBootReminder", "%SystemRoot%\\system32\\SHELL32.dll",
                                       "{7849596a-48ea-486e-8937-a2a3009f31a9}", delayKey));
}

TEST_F(RegistryStartups, BadInputNeverEndsASection) {
  const std::string multi("a\0b\0\0", 5);
  const std::string big(1 << 20, 'x');
  const std::vector<uint8_t> noNul{'n', 'o', 'n', 'u', 'l'};
  m.SetValue(kHkeyLocalMachine, kRun, "Binary", win::kRegBinary, {0xDE, 0xAD});
  m.SetValue(kHkeyLocalMachine, kRun, "Multi", win::kRegMultiSz, {multi.begin(), multi.end()});
  m.SetValue(kHkeyLocalMachine, kRun, "Qword", win::kRegQword, {1, 2, 3, 4, 5, 6, 7, 8});
  m.SetValue(kHkeyLocalMachine, kRun, "NoNul", win::kRegSz, noNul);
  m.SetString(kHkeyLocalMachine, kRun, "Big", big);
  m.SetString(kHkeyLocalMachine, kRun, "Gr\xFC\xDF" "e \xE9t\xE9", "g.exe");
  for (const char* key : {"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\RunOnce", kWinlogon,
                          "SOFTWARE\\Microsoft\\Active Setup\\Installed Components\\"
                          "{89820200-ECBD-11cf-8B85-00AA005B4383}",
                          "SOFTWARE\\Classes\\exefile\\shell\\open\\command", kDelayLoad}) {
    m.DenyKey(kHkeyLocalMachine, key);
  }
  m.DenyKey(kHkeyClassesRoot, "CLSID\\{AEB6717E-7E19-11d0-97EE-00C04FD91972}\\InProcServer32");
  m.SetValue(kHkeyLocalMachine, std::string(kIfeo) + "\\odd.exe", "Debugger", win::kRegBinary, {1});
  const std::string windowsKey = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Windows";
  m.SetString(kHkeyLocalMachine, windowsKey, "AppInit_DLLs", "last1.dll");
  m.SetString(kHkeyLocalMachine, windowsKey, "CrntDLL", "last2.dll");

  const std::string run = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
  const std::string windows = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Windows";
  EXPECT_EQ(Scan(), (Items{Entry("Binary", "Binary Data", run), Entry("Multi", "Unknown", run),
                           Entry("Qword", "Unknown", run), Entry("NoNul", "nonul", run), Entry("Big", big, run),
                           Entry("Gr\xFC\xDF" "e \xE9t\xE9", "g.exe", run),
                           Entry("AppInit_DLLs", "last1.dll", windows),
                           Entry("Debugger", "Binary Data", std::string("HKEY_LOCAL_MACHINE\\") + kIfeo + "\\odd.exe"),
                           Entry("CrntDLL", "last2.dll", windows)}));
}

// ---------------------------------------------------------------------------------------------
// The custom dump

class CustomDump : public RegistryStartups {
 protected:
  Items Dump(const std::vector<std::string>& entries) {
    TReport report;
    scan::WriteCustomRegistryDump(report, entries);
    return ItemsOf(report);
  }
};

TEST_F(CustomDump, LinesOfEveryShape) {
  const std::string deep = "Software\\" + std::string(246, 'd');  // 255 characters
  m.SetString(kHkeyLocalMachine, kRun, "A", "a.exe");
  m.SetString(kHkeyLocalMachine, kRun, "B", "");
  m.SetString(kHkeyCurrentUser, "Software", "Both", "value");
  m.SetString(kHkeyCurrentUser, "Software\\Both", "Inner", "key");
  m.SetString(kHkeyClassesRoot, "Software\\X", "InClasses", "c");
  m.SetString(kHkeyLocalMachine, "Software\\X", "InMachine", "m");
  m.SetString(kHkeyCurrentUser, "Software\\Blank", "Two words", "w");
  m.SetString(kHkeyCurrentUser, "Software\\Blank", "Empty", "");
  m.SetString(kHkeyCurrentUser, deep, "Deep", "d");
  m.SetString(kHkeyCurrentUser, "Software\\Denied", "V", "v");
  m.DenyKey(kHkeyCurrentUser, "Software\\Denied");

  const std::string desktop = "HKEY_CURRENT_USER\\Control Panel\\Desktop";
  const std::string run = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
  struct Case {
    std::string line;
    Items expected;  // before the closing empty line
  } cases[] = {
      {"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run",
       {Entry("A", "a.exe", run), Entry("B", "", run)}},
      {"HKEY_CURRENT_USER\\Control Panel\\Desktop\\Wallpaper",
       {Entry("Wallpaper", "C:\\WINDOWS\\Web\\Wallpaper\\Bliss.bmp", desktop)}},
      {"hkey_current_user\\Control Panel\\Desktop\\Wallpaper",
       {Entry("Wallpaper", "C:\\WINDOWS\\Web\\Wallpaper\\Bliss.bmp", desktop)}},
      {"HKEY_CURRENT_USER\\Software\\Both",
       {Entry("Inner", "key", "HKEY_CURRENT_USER\\Software\\Both"),
        Entry("Both", "value", "HKEY_CURRENT_USER\\Software")}},
      {"HKCU\\Software\\Both", {}},
      {"HKLM\\Software\\X", {Entry("InClasses", "c", "HKEY_CLASSES_ROOT\\Software\\X")}},
      {"\\Software\\X", {Entry("InClasses", "c", "HKEY_CLASSES_ROOT\\Software\\X")}},
      {"HKEY_CURRENT_USER\\Software\\Blank\\Two words",
       {Entry("Two words", "w", "HKEY_CURRENT_USER\\Software\\Blank")}},
      {"HKEY_CURRENT_USER\\Software\\Blank\\Empty", {}},
      {"HKEY_CURRENT_USER\\Software\\Blank\\Missing", {}},
      {"HKEY_CURRENT_USER\\" + deep + std::string(45, 'z'), {Entry("Deep", "d", "HKEY_CURRENT_USER\\" + deep)}},
      {"HKEY_CURRENT_USER\\Software\\Denied", {}},
      {"HKEY_CURRENT_USER", {}},
      {"", {}},
      {"   ", {}},
  };
  for (const Case& c : cases) {
    Items expected = c.expected;
    expected.push_back("");
    EXPECT_EQ(Dump({c.line}), expected) << '"' << c.line << '"';
  }
}

TEST_F(CustomDump, LinesInOrderThenOneEmptyLine) {
  EXPECT_EQ(Dump({}), Items{""});
  m.SetString(kHkeyLocalMachine, "Software\\One", "1", "one");
  m.SetString(kHkeyLocalMachine, "Software\\Two", "2", "two");
  m.DenyKey(kHkeyLocalMachine, "Software\\Denied");
  EXPECT_EQ(Dump({"HKEY_LOCAL_MACHINE\\Software\\Two", "HKEY_LOCAL_MACHINE\\Software\\Denied",
                  "HKEY_LOCAL_MACHINE\\Software\\One"}),
            (Items{Entry("2", "two", "HKEY_LOCAL_MACHINE\\Software\\Two"),
                   Entry("1", "one", "HKEY_LOCAL_MACHINE\\Software\\One"), ""}));
}

}  // namespace
