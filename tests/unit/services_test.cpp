// The service, driver, ServiceDll, Winsock and CLSID sections over the fake machine.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "inspect/files.h"
#include "inspect/lang.h"
#include "platform/call_counts.h"
#include "platform/fake/fake_machine.h"
#include "scan/file_lines.h"
#include "scan/frame.h"
#include "scan/sections.h"
#include "tests/support/scan_helpers.h"

namespace {

using platform::kHkeyLocalMachine;
using platform::fake::FileVersion;
using platform::fake::Machine;
using scan::TReport;
using scan::TScanOptions;
using scan::TServiceKind;
namespace win = platform::win;
using Lines = std::vector<std::string>;
using bs_test::ReportItems;

constexpr const char* kServices = "SYSTEM\\CurrentControlSet\\Services";
constexpr const char* kCatalog = "Services\\WinSock2\\Parameters\\NameSpace_Catalog5\\Catalog_Entries";
constexpr const char* kClsid = "SOFTWARE\\Classes\\CLSID";
constexpr const char* kSystem = "C:\\WINDOWS\\system32";

class ServicesTest : public testing::Test {
 protected:
  void SetUp() override {
    m.Install();
    inspect::FillDefaultTexts();
  }

  // A file with a company, as a service or driver file.
  void AddProgram(const std::string& path, const std::string& company, const std::string& contents = "program") {
    m.AddFile(path, contents).version = FileVersion{company, "1.0"};
  }

  std::string ServiceLine(const std::string& file, const std::string& name, const std::string& display,
                          const std::string& company) {
    return file + " (" + name + ") (" + display + ") (" + company + ") (" + inspect::FileMd5Text(file) + ")";
  }

  Lines List(TServiceKind kind) {
    TReport report;
    scan::WriteServiceList(report, options, kind);
    return ReportItems(report);
  }

  Machine m;
  TScanOptions options;
};

// --- Drivers and Services ------------------------------------------------------------------

TEST_F(ServicesTest, ListsRunningServicesOfTheKindOnly) {
  AddProgram("C:\\WINDOWS\\system32\\drivers\\acme.sys", "Acme");
  AddProgram("C:\\WINDOWS\\system32\\drivers\\old.sys", "Acme");
  AddProgram("C:\\Program Files\\Acme\\acme.exe", "Acme");
  AddProgram("C:\\Program Files\\Acme\\idle.exe", "Acme");
  m.AddService("acmedrv", "Acme Driver", win::kServiceKernelDriver, win::kServiceRunning,
               "system32\\DRIVERS\\acme.sys");
  m.AddService("olddrv", "Old Driver", win::kServiceKernelDriver, win::kServiceStopped, "system32\\drivers\\old.sys");
  m.AddService("AcmeFs", "Acme File System", win::kServiceFileSystemDriver, win::kServiceRunning,
               "\\??\\C:\\WINDOWS\\system32\\drivers\\acme.sys");
  m.AddService("AcmeSvc", "Acme Service", win::kServiceWin32OwnProcess, win::kServiceRunning,
               "\"C:\\Program Files\\Acme\\acme.exe\" -run");
  m.AddService("IdleSvc", "Idle Service", win::kServiceWin32OwnProcess, win::kServiceStopped,
               "C:\\Program Files\\Acme\\idle.exe");
  m.AddService("Pending", "Start Pending", win::kServiceWin32OwnProcess, 2 /* SERVICE_START_PENDING */,
               "C:\\Program Files\\Acme\\idle.exe");

  EXPECT_EQ(List(TServiceKind::Drivers),
            (Lines{ServiceLine("C:\\WINDOWS\\system32\\drivers\\acme.sys", "acmedrv", "Acme Driver", "Acme"),
                   ServiceLine("c:\\windows\\system32\\drivers\\acme.sys", "AcmeFs", "Acme File System", "Acme")}));
  EXPECT_EQ(List(TServiceKind::Win32Services),
            Lines{ServiceLine("c:\\program files\\acme\\acme.exe", "AcmeSvc", "Acme Service", "Acme")});
}

TEST_F(ServicesTest, ProtectedDriverFileFollowsTheMicrosoftOption) {
  AddProgram("C:\\WINDOWS\\system32\\drivers\\tcpip.sys", "Microsoft Corporation");
  m.system().protectedFiles.push_back("C:\\WINDOWS\\system32\\drivers\\tcpip.sys");
  m.AddService("Tcpip", "TCP/IP Protocol Driver", win::kServiceKernelDriver, win::kServiceRunning,
               "system32\\DRIVERS\\tcpip.sys");
  const std::string line = ServiceLine("C:\\WINDOWS\\system32\\drivers\\tcpip.sys", "Tcpip", "TCP/IP Protocol Driver",
                                       "Microsoft Corporation");

  options.ExcludeMicrosoftFiles = true;
  EXPECT_EQ(List(TServiceKind::Drivers), Lines{});
  options.ExcludeMicrosoftFiles = false;
  EXPECT_EQ(List(TServiceKind::Drivers), Lines{line});
}

TEST_F(ServicesTest, ServicesSharingOneHostGiveOneLineEach) {
  AddProgram("C:\\WINDOWS\\system32\\svchost.exe", "Microsoft Corporation");
  m.AddService("Dhcp", "DHCP Client", win::kServiceWin32ShareProcess, win::kServiceRunning,
               "C:\\WINDOWS\\system32\\svchost.exe -k netsvcs");
  m.AddService("Schedule", "Task Scheduler", win::kServiceWin32ShareProcess, win::kServiceRunning,
               "%SystemRoot%\\System32\\svchost -k netsvcs");
  options.ExcludeMicrosoftFiles = false;

  EXPECT_EQ(List(TServiceKind::Win32Services),
            (Lines{ServiceLine("c:\\windows\\system32\\svchost.exe", "Dhcp", "DHCP Client", "Microsoft Corporation"),
                   ServiceLine("%systemroot%\\system32\\svchost.exe", "Schedule", "Task Scheduler", "Unknown")}));
}

// Empty, garbage and unqueryable binary paths never stop the list: they give no line (or, for
// a path that names a missing program, a line with what can be told of it).
TEST_F(ServicesTest, BadBinaryPathsAreSkippedAndTheListGoesOn) {
  AddProgram("C:\\Program Files\\Acme\\acme.exe", "Acme");
  for (const std::string& path : {std::string(), std::string("garbage"), std::string("\"\"\""), std::string(":"),
                                   std::string(300, '\xE9'), std::string("C:\\no extension here")}) {
    m.AddService("Bad" + std::to_string(path.size()), "Bad", win::kServiceWin32OwnProcess, win::kServiceRunning, path);
    m.AddService("BadDrv" + std::to_string(path.size()), "Bad", win::kServiceKernelDriver, win::kServiceRunning, path);
  }
  m.AddService("Locked", "Locked", win::kServiceWin32OwnProcess, win::kServiceRunning, "C:\\x\\locked.exe")
      .accessible = false;
  m.AddService("Ghost", "Ghost", win::kServiceWin32OwnProcess, win::kServiceRunning, "C:\\Gone\\ghost.exe /s");
  m.AddService("AcmeSvc", "Acme Service", win::kServiceWin32OwnProcess, win::kServiceRunning,
               "C:\\Program Files\\Acme\\acme.exe");

  EXPECT_EQ(List(TServiceKind::Win32Services),
            (Lines{"c:\\gone\\ghost.exe (Ghost) (Ghost) (Unknown) (d41d8cd98f00b204e9800998ecf8427e)",
                   ServiceLine("c:\\program files\\acme\\acme.exe", "AcmeSvc", "Acme Service", "Acme")}));
  // A driver image path is a file name whatever it holds; only the empty one gives nothing.
  EXPECT_EQ(List(TServiceKind::Drivers).size(), 5u);
}

TEST_F(ServicesTest, ManagerThatDoesNotOpenGivesNothing) {
  m.AddService("AcmeSvc", "Acme Service", win::kServiceWin32OwnProcess, win::kServiceRunning, "C:\\acme.exe");
  m.services().managerOpens = false;
  EXPECT_EQ(List(TServiceKind::Win32Services), Lines{});
}

// The service manager of the fake, except that it refuses to enumerate (access denied).
class RefusingServices : public platform::Services {
 public:
  explicit RefusingServices(platform::Services& inner) : inner_(inner) {}
  platform::Handle OpenSCManager(const std::string& m, uint32_t a) override { return inner_.OpenSCManager(m, a); }
  platform::Handle OpenService(platform::Handle m, const std::string& n, uint32_t a) override {
    return inner_.OpenService(m, n, a);
  }
  bool QueryServiceStatus(platform::Handle s, uint32_t* state) override { return inner_.QueryServiceStatus(s, state); }
  bool QueryServiceConfig(platform::Handle s, size_t b, platform::ServiceConfig* c) override {
    return inner_.QueryServiceConfig(s, b, c);
  }
  bool EnumServicesStatus(platform::Handle, uint32_t, uint32_t, std::vector<platform::ServiceStatusEntry>*) override {
    platform::Sys().SetLastError(win::kErrorAccessDenied);
    return false;
  }
  void CloseServiceHandle(platform::Handle h) override {
    platform::Sys().SetLastError(0);  // as a successful call may
    inner_.CloseServiceHandle(h);
  }

 private:
  platform::Services& inner_;
};

class NullDisplay : public scan::TScanDisplay {
 public:
  void AddLine(const std::string&) override {}
  void SetProgress(int) override {}
};

// What the frame writes between a section's banner and its closing empty line.
Lines SectionBody(int titleKey, const TScanOptions& options) {
  const auto sections = scan::DefaultSections();
  auto it = std::find_if(sections.begin(), sections.end(), [&](const scan::TSection& s) { return s.titleKey == titleKey; });
  EXPECT_NE(it, sections.end());
  TReport report;
  NullDisplay display;
  scan::ScanThread(report, options, display, {it, 1});
  Lines items = ReportItems(report);
  auto banner = std::find(items.begin(), items.end(), "[+] " + inspect::Lng(titleKey));
  EXPECT_NE(banner, items.end());
  auto end = std::find(banner + 2, items.end(), "");
  return Lines(banner + 2, end);
}

TEST_F(ServicesTest, RefusedEnumerationGivesTheErrorTextForDriversOnly) {
  m.system().errorMessages[win::kErrorAccessDenied] = "Access is denied.";
  RefusingServices refusing(*m.backend().services);
  platform::Backend backend = m.backend();
  backend.services = &refusing;
  platform::Install(backend);

  EXPECT_EQ(SectionBody(30, options), Lines{"Access is denied."});  // Drivers
  EXPECT_EQ(SectionBody(80, options), Lines{});                     // Services
}

// --- Drivers -> FSFilter Anti-Virus -----------------------------------------------------------

TEST_F(ServicesTest, FilterDriversMatchTheGroupExactlyAndKeepImagePathAsStored) {
  const std::string services = kServices;
  m.SetString(kHkeyLocalMachine, services + "\\AcmeAv", "Group", "FSFilter Anti-Virus");
  m.SetString(kHkeyLocalMachine, services + "\\AcmeAv", "ImagePath", "system32\\drivers\\acmeav.sys", win::kRegExpandSz);
  m.SetString(kHkeyLocalMachine, services + "\\CasedAv", "Group", "fsfilter anti-virus");
  m.SetString(kHkeyLocalMachine, services + "\\CasedAv", "ImagePath", "system32\\drivers\\cased.sys", win::kRegExpandSz);
  m.SetString(kHkeyLocalMachine, services + "\\PlainPath", "Group", "FSFilter Anti-Virus");
  m.SetString(kHkeyLocalMachine, services + "\\PlainPath", "ImagePath", "\\??\\C:\\plain.sys");
  m.SetString(kHkeyLocalMachine, services + "\\ExpandGroup", "Group", "FSFilter Anti-Virus", win::kRegExpandSz);
  m.SetString(kHkeyLocalMachine, services + "\\ExpandGroup", "ImagePath", "x.sys", win::kRegExpandSz);
  m.SetString(kHkeyLocalMachine, services + "\\Other", "Group", "FSFilter Activity Monitor");
  m.CreateKey(kHkeyLocalMachine, services + "\\NoValues");
  m.DenyKey(kHkeyLocalMachine, services + "\\Denied");

  TReport report;
  scan::WriteFilterDrivers(report, options, "\\SYSTEM\\CurrentControlSet\\Services");
  const std::string key = "Key: HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\";
  EXPECT_EQ(ReportItems(report),
            (Lines{"Driver Name: AcmeAv\r\nDriver File: system32\\drivers\\acmeav.sys\r\n" + key + "AcmeAv\r\n",
                   "Driver Name: PlainPath\r\nDriver File: \r\n" + key + "PlainPath\r\n"}));
}

// --- ServiceDll -----------------------------------------------------------------------------

TEST_F(ServicesTest, ServiceDllsListExistingFilesAsStoredOnce) {
  const std::string services = kServices;
  const std::string system = kSystem;
  AddProgram(system + "\\netman.dll", "Acme", "netman");
  AddProgram(system + "\\shared.dll", "Acme", "shared");
  AddProgram(system + "\\rasauto.dll", "Acme", "rasauto");
  AddProgram(system + "\\plain.dll", "Acme", "plain");
  AddProgram(system + "\\wfp.dll", "Microsoft Corporation", "wfp");
  m.system().protectedFiles.push_back(system + "\\wfp.dll");
  auto serviceDll = [&](const std::string& service, const std::string& sub, const std::string& name,
                        const std::string& text, uint32_t type = win::kRegExpandSz) {
    m.SetString(kHkeyLocalMachine, services + "\\" + service + "\\" + sub, name, text, type);
  };
  serviceDll("Netman", "parameters", "servicedll", system + "\\netman.dll");
  serviceDll("RasAuto", "Parameters", "ServiceDll", "%SystemRoot%\\system32\\rasauto.dll");
  serviceDll("SharedA", "Parameters", "ServiceDll", system + "\\shared.dll");
  serviceDll("SharedB", "Parameters", "ServiceDll", system + "\\SHARED.DLL");
  serviceDll("PlainSz", "Parameters", "ServiceDll", system + "\\plain.dll", win::kRegSz);
  serviceDll("Missing", "Parameters", "ServiceDll", system + "\\missing.dll");
  serviceDll("NotParams", "Parameters2", "ServiceDll", system + "\\plain.dll");
  serviceDll("Wfp", "Parameters", "ServiceDll", system + "\\wfp.dll");
  m.DenyKey(kHkeyLocalMachine, services + "\\Denied\\Parameters");

  for (bool exclude : {true, false}) {
    SCOPED_TRACE(exclude);
    options.ExcludeMicrosoftFiles = exclude;
    TReport report;
    scan::WriteServiceDlls(report, options, "\\SYSTEM\\CurrentControlSet\\Services");
    Lines expected{scan::FileDescriptionLine(system + "\\netman.dll"), scan::FileDescriptionLine(system + "\\shared.dll")};
    if (!exclude) expected.push_back(scan::FileDescriptionLine(system + "\\wfp.dll"));
    EXPECT_EQ(ReportItems(report), expected);
  }
}

// --- Winsock ------------------------------------------------------------------------------

TEST_F(ServicesTest, WinsockProviderIsListedOncePerControlSet) {
  auto entry = [&](const std::string& set, const std::string& id, const std::string& name, const std::string& text) {
    m.SetString(kHkeyLocalMachine, "SYSTEM\\" + set + "\\" + kCatalog + "\\" + id, name, text, win::kRegExpandSz);
  };
  AddProgram(std::string(kSystem) + "\\mswsock.dll", "Microsoft Corporation");
  m.system().protectedFiles.push_back(std::string(kSystem) + "\\mswsock.dll");
  for (const char* set : {"CurrentControlSet", "ControlSet001"}) {
    entry(set, "000000000001", "LibraryPath", "%SystemRoot%\\System32\\mswsock.dll");
    entry(set, "000000000002", "LibraryPath", "C:\\Program Files\\Evil\\evilns.dll");
  }
  entry("CurrentControlSet", "000000000003", "libraryPath", "C:\\other case.dll");
  entry("CurrentControlSet", "000000000004", "LibraryPath", "");

  auto libraryEntry = [](const std::string& text, const std::string& set, const std::string& id) {
    return "Value: LibraryPath\r\nData: " + text + "\r\nKey: HKEY_LOCAL_MACHINE\\SYSTEM\\" + set + "\\" + kCatalog +
           "\\" + id + "\r\n";
  };
  auto run = [&] {
    TReport report;
    for (const char* set : {"CurrentControlSet", "ControlSet001", "ControlSet002"}) {
      scan::ListWinsockLibraries(report, options, set);
    }
    return ReportItems(report);
  };
  const std::string evil = "C:\\Program Files\\Evil\\evilns.dll";
  const std::string mswsock = "%SystemRoot%\\System32\\mswsock.dll";

  options.ExcludeMicrosoftFiles = true;
  EXPECT_EQ(run(), (Lines{libraryEntry(evil, "CurrentControlSet", "000000000002"),
                          libraryEntry(evil, "ControlSet001", "000000000002")}));
  options.ExcludeMicrosoftFiles = false;
  EXPECT_EQ(run(), (Lines{libraryEntry(mswsock, "CurrentControlSet", "000000000001"),
                          libraryEntry(evil, "CurrentControlSet", "000000000002"),
                          libraryEntry(mswsock, "ControlSet001", "000000000001"),
                          libraryEntry(evil, "ControlSet001", "000000000002")}));
}

// --- Unknown files in CLSID --------------------------------------------------------------------

TEST_F(ServicesTest, ClsidServersAreListedOnlyInTheWatchedFoldersAsSpelled) {
  const std::string appData = "C:\\Documents and Settings\\User\\Application Data";
  const std::string temp = m.system().tempDir;
  auto server = [&](const std::string& clsid, const std::string& path, uint32_t type = win::kRegSz,
                    const std::string& sub = "InprocServer32") {
    m.SetString(kHkeyLocalMachine, std::string(kClsid) + "\\" + clsid + "\\" + sub, "", path, type);
  };
  for (const std::string& file : {std::string(kSystem) + "\\evil.dll", std::string("C:\\Program Files\\Acme\\acme.dll"),
                                  appData + "\\roam.dll", temp + "tmp.dll", std::string(kSystem) + "\\expand.dll"}) {
    AddProgram(file, "Evil Corp", bs_test::PeFileBytes() + file);
  }
  AddProgram(std::string(kSystem) + "\\ms.dll", "Microsoft Corporation", bs_test::PeFileBytes() + "ms");
  AddProgram(std::string(kSystem) + "\\notpe.dll", "Evil Corp", "just text");

  server("{0001}", std::string(kSystem) + "\\evil.dll");
  server("{0002}", "c:\\windows\\system32\\evil.dll");  // the Windows folder in another letter case
  server("{0003}", "C:\\Program Files\\Acme\\acme.dll");
  server("{0004}", appData + "\\roam.dll", win::kRegSz, "InProcServer32");
  server("{0005}", temp + "tmp.dll");
  server("{0006}", std::string(kSystem) + "\\expand.dll", win::kRegExpandSz);
  server("{0007}", std::string(kSystem) + "\\ms.dll");
  server("{0008}", std::string(kSystem) + "\\notpe.dll");
  server("{0009}", std::string(kSystem) + "\\evil.dll");  // a second class of the same server
  server("{0010}", std::string(kSystem) + "\\missing.dll");
  server("{0011}", std::string(kSystem) + "\\evil.dll", win::kRegSz, "LocalServer32");

  auto run = [&] {
    TReport report;
    scan::WriteUnknownClsidFiles(report, options, "\\SOFTWARE\\Classes\\CLSID");
    return ReportItems(report);
  };
  const Lines listed{scan::FileDescriptionLine(std::string(kSystem) + "\\evil.dll"),
                     scan::FileDescriptionLine(appData + "\\roam.dll"), scan::FileDescriptionLine(temp + "tmp.dll")};
  options.ExcludeMicrosoftFiles = true;
  EXPECT_EQ(run(), listed);
  options.ExcludeMicrosoftFiles = false;
  Lines all = listed;
  all.push_back(scan::FileDescriptionLine(std::string(kSystem) + "\\ms.dll"));
  EXPECT_EQ(run(), all);
}

// A server many classes share is judged and described once: as many files opened and bytes
// hashed for three classes as for one, and one line.
TEST_F(ServicesTest, ASharedClsidServerIsReadOnce) {
  const std::string dll = std::string(kSystem) + "\\shared.dll";
  AddProgram(dll, "Evil Corp", bs_test::PeFileBytes() + "shared");
  auto scan = [&](int classes) {
    for (int i = 0; i < classes; ++i) {
      m.SetString(kHkeyLocalMachine, std::string(kClsid) + "\\{000" + std::to_string(i) + "}\\InprocServer32", "",
                  dll);
    }
    TReport report;
    const platform::TCallCounts before = platform::CallCounts();
    {
      platform::TCallCounter counter;
      scan::WriteUnknownClsidFiles(report, options, "\\SOFTWARE\\Classes\\CLSID");
    }
    EXPECT_EQ(ReportItems(report), Lines{scan::FileDescriptionLine(dll)}) << classes;
    return platform::CallCounts() - before;
  };
  const platform::TCallCounts one = scan(1), three = scan(3);
  EXPECT_EQ(three.filesOpened, one.filesOpened);
  EXPECT_EQ(three.bytesHashed, one.bytesHashed);
  EXPECT_GT(one.bytesHashed, 0u);
}

}  // namespace
