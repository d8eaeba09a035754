// System information, privileges, restore points and the small file utilities over the fake machine.
#include <gtest/gtest.h>

#include <stdexcept>

#include "inspect/files.h"
#include "inspect/system.h"
#include "platform/call_counts.h"
#include "platform/fake/fake_machine.h"

namespace {

namespace win = platform::win;
using namespace inspect;
using platform::kHkeyCurrentUser;
using platform::kHkeyLocalMachine;

constexpr char kShellFolders[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
constexpr char kNtCurrentVersion[] = "Software\\Microsoft\\Windows NT\\CurrentVersion";

class SystemHelpers : public ::testing::Test {
 protected:
  void SetUp() override { m.Install(); }
  platform::fake::Machine m;
};

TEST_F(SystemHelpers, FoldersFromTheSystem) {
  m.system().windowsDir = "D:\\WINNT";
  EXPECT_EQ(GetWindowsDir(), "D:\\WINNT");
  EXPECT_EQ(GetSystemDrive(), "D:\\");
  EXPECT_EQ(GetSystemDir(), "C:\\WINDOWS\\system32");
  EXPECT_EQ(GetAppDir(), "C:\\Tools\\BurrowSentry\\");
  EXPECT_EQ(GetTempDir(), "C:\\DOCUME~1\\User\\LOCALS~1\\Temp\\");
  EXPECT_EQ(GetSpecialFolder(win::kCsidlProgramFiles), "C:\\Program Files");
  EXPECT_EQ(GetSpecialFolder(12345), "");
}

TEST_F(SystemHelpers, FoldersFromTheRegistry) {
  // Nothing stored: the plain ones are empty, the others a lone "\".
  EXPECT_EQ(GetRecentDir(), "");
  EXPECT_EQ(GetCommonFilesDir(), "");
  EXPECT_EQ(GetLocalAppDataDir(), "\\");
  EXPECT_EQ(GetLocalSettingsDir(), "\\");
  EXPECT_EQ(GetTemplatesDir(), "\\");

  const std::string profile = "C:\\Documents and Settings\\User";
  m.SetString(kHkeyCurrentUser, kShellFolders, "Recent", profile + "\\Recent");
  m.SetString(kHkeyCurrentUser, kShellFolders, "Local AppData", profile + "\\Local Settings\\Application Data");
  m.SetString(kHkeyCurrentUser, kShellFolders, "Local Settings", profile + "\\Local Settings");
  m.SetString(kHkeyCurrentUser, kShellFolders, "Templates", profile + "\\Templates");
  m.SetString(kHkeyLocalMachine, "Software\\Microsoft\\Windows\\CurrentVersion", "CommonFilesDir",
              "C:\\Program Files\\Common Files");
  EXPECT_EQ(GetRecentDir(), profile + "\\Recent");
  EXPECT_EQ(GetCommonFilesDir(), "C:\\Program Files\\Common Files");
  EXPECT_EQ(GetLocalAppDataDir(), profile + "\\Local Settings\\Application Data\\");
  EXPECT_EQ(GetLocalSettingsDir(), profile + "\\Local Settings\\");
  EXPECT_EQ(GetTemplatesDir(), profile + "\\Templates\\");
}

TEST_F(SystemHelpers, WindowsVersionInfoIsTrimmed) {
  m.SetString(kHkeyLocalMachine, kNtCurrentVersion, "ProductName", "  Microsoft Windows XP \r\n");
  m.SetString(kHkeyLocalMachine, kNtCurrentVersion, "BuildLab", "2600.xpsp.080413-2111");
  m.SetString(kHkeyLocalMachine, kNtCurrentVersion, "CSDVersion", "Service Pack 3", win::kRegExpandSz);
  EXPECT_EQ(WindowsVersionInfo(1), "Microsoft Windows XP");
  EXPECT_EQ(WindowsVersionInfo(2), "2600.xpsp.080413-2111");
  EXPECT_EQ(WindowsVersionInfo(3), "");  // not a REG_SZ
  EXPECT_EQ(WindowsVersionInfo(0), "");
  EXPECT_EQ(WindowsVersionInfo(4), "");
  EXPECT_EQ(ReadNtCurrentVersion("BuildLab"), "2600.xpsp.080413-2111");
  EXPECT_EQ(ReadNtCurrentVersion("Missing"), "");
}

TEST_F(SystemHelpers, WindowsVersionName) {
  const uint32_t nt = win::kVerPlatformWin32Nt, w9x = win::kVerPlatformWin32Windows;
  struct Case {
    uint32_t platform, major, minor;
    const char* csd;
    const char* name;
    bool vistaOrLater;
  } cases[] = {
      {nt, 4, 0, "Service Pack 6", "WinNT", false},
      {nt, 4, 7, "", "WinNT", false},
      {nt, 5, 0, "", "Win2k", false},
      {nt, 5, 1, "Service Pack 3", "WinXP", false},
      {nt, 5, 2, "", "Win2k3", false},
      {nt, 5, 3, "", "Unknown", false},
      {nt, 6, 0, "", "WinVista", true},
      {nt, 6, 1, "", "Win7", true},
      {nt, 6, 2, "", "Unknown", true},
      {nt, 3, 51, "", "Unknown", false},
      {w9x, 4, 0, "", "Win95", false},
      {w9x, 4, 10, "", "Win98", false},
      {w9x, 4, 10, " A ", "Win98SE", false},
      {w9x, 4, 10, "B", "Win98", false},
      {w9x, 4, 90, "", "WinME", false},
      {w9x, 4, 3, "", "Unknown", false},
      {w9x, 6, 1, "", "Unknown", false},
  };
  for (const Case& c : cases) {
    m.system().version = {c.platform, c.major, c.minor, 0, c.csd};
    EXPECT_EQ(WindowsVersionName(), c.name) << c.platform << " " << c.major << "." << c.minor << " '" << c.csd << "'";
    EXPECT_EQ(IsVistaOrLater(), c.vistaOrLater) << c.platform << " " << c.major << "." << c.minor;
  }
}

TEST_F(SystemHelpers, IsWow64OnlyWhenTheCallSaysSo) {
  const std::pair<std::optional<bool>, bool> cases[] = {{std::nullopt, false}, {false, false}, {true, true}};
  for (const auto& [answer, expected] : cases) {
    m.system().wow64 = answer;
    EXPECT_EQ(IsWow64(), expected);
  }
}

TEST(FormatElapsedTest, HoursMinutesSecondsWithoutLeadingZeros) {
  const std::pair<uint32_t, const char*> cases[] = {
      {0, "0:0:0"},       {59, "0:0:59"},       {60, "0:1:0"},        {3600, "1:0:0"},
      {3725, "1:2:5"},    {86399, "23:59:59"},  {90061, "25:1:1"},
  };
  for (const auto& [seconds, text] : cases) EXPECT_EQ(FormatElapsed(seconds), text) << seconds;
}

TEST_F(SystemHelpers, EnableTokenPrivilege) {
  EXPECT_TRUE(EnableTokenPrivilege("SeDebugPrivilege"));
  EXPECT_EQ(m.security().enabledPrivileges, std::vector<std::string>{"SeDebugPrivilege"});
  // Known to the system but not held: the adjustment still succeeds, nothing is enabled.
  EXPECT_TRUE(EnableTokenPrivilege("SeLoadDriverPrivilege"));
  EXPECT_EQ(m.security().enabledPrivileges.size(), 1u);
  EXPECT_FALSE(EnableTokenPrivilege("SeNoSuchPrivilege"));
  m.security().tokenOpens = false;
  EXPECT_FALSE(EnableTokenPrivilege("SeBackupPrivilege"));
  EXPECT_EQ(m.security().enabledPrivileges.size(), 1u);
}

TEST_F(SystemHelpers, ExitWindowsEnablesShutdownOnNtOnly) {
  EXPECT_TRUE(ExitWindowsWithPrivilege(2));
  EXPECT_EQ(m.system().exitWindowsCalls, std::vector<uint32_t>{2});
  EXPECT_EQ(m.security().enabledPrivileges, std::vector<std::string>{"SeShutdownPrivilege"});

  platform::fake::Machine m9x;
  m9x.Install();
  m9x.system().version = {win::kVerPlatformWin32Windows, 4, 10, 0, ""};
  m9x.system().exitWindowsSucceeds = false;
  EXPECT_FALSE(ExitWindowsWithPrivilege(1));
  EXPECT_EQ(m9x.system().exitWindowsCalls, std::vector<uint32_t>{1});
  EXPECT_TRUE(m9x.security().enabledPrivileges.empty());
}

TEST_F(SystemHelpers, CreateRestorePointAsksOnceForABeginSystemChange) {
  EXPECT_TRUE(CreateRestorePoint());
  ASSERT_EQ(m.system().restorePoints.size(), 1u);
  EXPECT_EQ(m.system().restorePoints[0].eventType, 100u);
  EXPECT_EQ(m.system().restorePoints[0].restorePointType, 0u);
  EXPECT_EQ(m.system().restorePoints[0].description, "SYSTEM RESTORE POINT");
  m.system().restorePointAccepted = false;
  EXPECT_FALSE(CreateRestorePoint());
  EXPECT_EQ(m.system().restorePoints.size(), 2u);
}

TEST_F(SystemHelpers, ShowFilePropertiesGoesToTheShell) {
  m.AddFile("C:\\WINDOWS\\notepad.exe", "MZ");
  EXPECT_TRUE(ShowFileProperties(0, "C:\\WINDOWS\\notepad.exe"));
  EXPECT_FALSE(ShowFileProperties(0, "C:\\WINDOWS\\missing.exe"));
  EXPECT_EQ(m.shellUi().propertiesShown,
            (std::vector<std::string>{"C:\\WINDOWS\\notepad.exe", "C:\\WINDOWS\\missing.exe"}));
}

TEST_F(SystemHelpers, AppendTextToFileCreatesThenAppends) {
  const std::string path = "C:\\Tools\\BurrowSentry\\out.txt";
  AppendTextToFile(path, "first");
  AppendTextToFile(path, "second");
  EXPECT_EQ(m.Contents(path), "first\r\nsecond\r\n");

  m.AddFile("C:\\Tools\\kept.txt", "old\r\n");
  AppendTextToFile("C:\\Tools\\kept.txt", "");
  EXPECT_EQ(m.Contents("C:\\Tools\\kept.txt"), "old\r\n\r\n");
}

TEST_F(SystemHelpers, AppendTextToFileRaisesTheWindowsError) {
  m.AddFile("C:\\Tools\\readonly.txt", "x", win::kFileAttributeReadonly);
  m.AddFile("C:\\Tools\\locked.txt", "y").lockedExclusive = true;
  struct Case {
    const char* path;
    uint32_t code;
  } cases[] = {
      {"C:\\NoSuchFolder\\log.txt", win::kErrorPathNotFound},
      {"C:\\Tools\\readonly.txt", win::kErrorAccessDenied},
      {"C:\\Tools\\locked.txt", win::kErrorSharingViolation},
      {"C:\\Tools", win::kErrorAccessDenied},  // a folder
  };
  for (const Case& c : cases) {
    try {
      AppendTextToFile(c.path, "text");
      ADD_FAILURE() << c.path << " did not raise";
    } catch (const EFileError& e) {
      EXPECT_EQ(e.code(), c.code) << c.path;
      EXPECT_NE(std::string(e.what()).find(c.path), std::string::npos) << e.what();
    }
  }
  EXPECT_FALSE(m.Exists("C:\\NoSuchFolder\\log.txt"));
  EXPECT_EQ(m.Contents("C:\\Tools\\readonly.txt"), "x");
  EXPECT_EQ(m.Contents("C:\\Tools\\locked.txt"), "y");
}

TEST_F(SystemHelpers, WriteDebugLogAppendsBesideTheExecutable) {
  m.AddFolder("C:\\Tools\\BurrowSentry\\Data");
  WriteDebugLog("std::runtime_error->one");
  WriteDebugLog("two");
  EXPECT_EQ(m.Contents("C:\\Tools\\BurrowSentry\\Data\\Dbg.log"), "std::runtime_error->one\r\ntwo\r\n");
}

TEST_F(SystemHelpers, WriteDebugLogWithoutDataFolderDoesNothing) {
  EXPECT_NO_THROW(WriteDebugLog("lost"));
  EXPECT_FALSE(m.Exists("C:\\Tools\\BurrowSentry\\Data"));
  EXPECT_FALSE(m.Exists("C:\\Tools\\BurrowSentry\\Data\\Dbg.log"));

  m.AddFile("C:\\Tools\\BurrowSentry\\Data\\Dbg.log", "", win::kFileAttributeReadonly);
  EXPECT_NO_THROW(WriteDebugLog("refused"));
  EXPECT_EQ(m.Contents("C:\\Tools\\BurrowSentry\\Data\\Dbg.log"), "");
}

TEST(DebugLogEntryTest, DynamicTypeNameThenMessage) {
  const std::runtime_error runtime("boom");
  const std::out_of_range range("index 7");
  const EFileError file(5, "Access is denied.");
  const std::exception& asBase = runtime;
  EXPECT_EQ(DebugLogEntry(runtime), "std::runtime_error->boom");
  EXPECT_EQ(DebugLogEntry(asBase), "std::runtime_error->boom");
  EXPECT_EQ(DebugLogEntry(range), "std::out_of_range->index 7");
  EXPECT_EQ(DebugLogEntry(file), "inspect::EFileError->Access is denied.");
}

TEST(EmptyFolderTest, DeletesFilesAndOnlyWhenRecursiveSubfolders) {
  struct Case {
    const char* folder;
    bool recursive;
    std::vector<const char*> gone, kept;
  } cases[] = {
      {"C:\\Work\\", false, {"C:\\Work\\a.exe", "C:\\Work\\noext", "C:\\Work\\read-only.dll"},
       {"C:\\Work", "C:\\Work\\Sub\\b.txt", "C:\\Work\\Sub\\Deeper\\c.txt", "C:\\Work\\EmptySub"}},
      // A folder whose name begins with "." is emptied too; a junction is never followed.
      {"C:\\Work\\", true,
       {"C:\\Work\\a.exe", "C:\\Work\\read-only.dll", "C:\\Work\\Sub", "C:\\Work\\Sub\\Deeper\\c.txt", "C:\\Work\\EmptySub",
        "C:\\Work\\.cache"},
       {"C:\\Work", "C:\\Outside\\keep.txt", "C:\\Work\\Junction\\target.txt"}},
      {"C:\\\\Work\\\\Sub\\", true, {"C:\\Work\\Sub\\b.txt", "C:\\Work\\Sub\\Deeper"}, {"C:\\Work\\Sub", "C:\\Work\\a.exe"}},
      {"C:\\Nowhere\\", true, {}, {"C:\\Work\\a.exe", "C:\\Outside\\keep.txt"}},
  };
  for (const Case& c : cases) {
    platform::fake::Machine m;
    m.Install();
    m.AddFile("C:\\Work\\a.exe", "MZ");
    m.AddFile("C:\\Work\\noext", "x");
    m.AddFile("C:\\Work\\read-only.dll", "MZ", win::kFileAttributeReadonly | win::kFileAttributeHidden);
    m.AddFile("C:\\Work\\Sub\\b.txt", "b");
    m.AddFile("C:\\Work\\Sub\\Deeper\\c.txt", "c", win::kFileAttributeReadonly);
    m.AddFolder("C:\\Work\\EmptySub");
    m.AddFile("C:\\Work\\.cache\\d.txt", "d");
    m.AddFile("C:\\Work\\Junction\\target.txt", "t");
    m.File("C:\\Work\\Junction")->attributes |= win::kFileAttributeReparsePoint;
    m.AddFile("C:\\Outside\\keep.txt", "k");

    EmptyFolder(c.folder, c.recursive);
    for (const char* path : c.gone) EXPECT_FALSE(m.Exists(path)) << c.folder << " recursive " << c.recursive << ": " << path;
    for (const char* path : c.kept) EXPECT_TRUE(m.Exists(path)) << c.folder << " recursive " << c.recursive << ": " << path;
  }
}

TEST_F(SystemHelpers, ReadIniString) {
  m.AddFile("C:\\Tools\\BurrowSentry\\Langs\\German.ini", "[Info]\r\nTranslator=Anna\r\n[Language]\r\nlng1=Analyse\r\n");
  const std::string file = "C:\\Tools\\BurrowSentry\\Langs\\German.ini";
  EXPECT_EQ(ReadIniString(file, "Info", "Translator"), "Anna");
  EXPECT_EQ(ReadIniString(file, "Language", "lng1"), "Analyse");
  EXPECT_EQ(ReadIniString(file, "Language", "lng2"), "");
  EXPECT_EQ(ReadIniString("C:\\Tools\\missing.ini", "Info", "Translator"), "");
}

TEST_F(SystemHelpers, DevicePathToDosPath) {
  m.system().dosDevices["D:"] = {"\\Device\\HarddiskVolume2"};
  m.system().dosDevices["F:"] = {"\\Device\\CdRom0"};
  m.system().dosDevices["G:"] = {"\\Device\\CdRom0"};  // the first letter in order wins
  struct Case {
    const char* device;
    const char* dos;
  } cases[] = {
      {"\\Device\\HarddiskVolume1\\WINDOWS\\explorer.exe", "C:\\WINDOWS\\explorer.exe"},
      {"\\device\\harddiskvolume2\\Temp\\x.exe", "D:\\Temp\\x.exe"},
      {"\\Device\\CdRom0\\setup.exe", "F:\\setup.exe"},
      {"\\Device\\HarddiskVolume1\\", "C:\\"},
      {"\\Device\\HarddiskVolume1", "C:"},
      {"\\Device\\HarddiskVolume10\\x.exe", ""},  // not a prefix match
      {"\\Device\\Harddisk\\x.exe", ""},
      {"\\Device", ""},
      {"", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(DevicePathToDosPath(c.device), c.dos) << c.device;
}

TEST_F(SystemHelpers, LongPaths) {
  m.system().longPaths["C:\\PROGRA~1\\MYAPP~1\\APP.EXE"] = "C:\\Program Files\\My App\\app.exe";
  m.system().longPaths["C:\\PROGRA~1"] = "C:\\Program Files";
  EXPECT_EQ(LongPathOf("C:\\PROGRA~1\\MYAPP~1\\app.exe"), "C:\\Program Files\\My App\\app.exe");
  EXPECT_EQ(LongPathOf("C:\\Missing\\NOTHER~1.EXE"), "C:\\Missing\\NOTHER~1.EXE");
  m.system().hasGetLongPathName = false;  // the shell route alone
  EXPECT_EQ(LongPathOf("C:\\PROGRA~1\\MYAPP~1\\app.exe"), "C:\\Program Files\\My App\\app.exe");

  EXPECT_EQ(ShellLongPath(""), "");
  EXPECT_EQ(ShellLongPath("C:\\PROGRA~1\\"), "C:\\Program Files");
  EXPECT_EQ(ShellLongPath("C:\\WINDOWS\\"), "C:\\WINDOWS");
  EXPECT_EQ(ShellLongPath("C:\\Gone\\"), "C:\\Gone\\");
}

// Inside a memo each lookup asks the system once and keeps its first answer; outside one, and
// once it is gone, every lookup asks again.
TEST_F(SystemHelpers, LookupMemoAsksEachQuestionOnce) {
  m.system().longPaths["C:\\PROGRA~1"] = "C:\\Program Files";
  m.system().dosDevices["D:"] = {"\\Device\\HarddiskVolume2"};
  m.AddFile("C:\\app\\one.dll", "MZ").version = platform::fake::FileVersion{"Acme", "1.0"};
  const auto ask = [&] {
    return LongPathOf("C:\\PROGRA~1") + "|" + ShellLongPath("C:\\PROGRA~1\\") + "|" +
           GetSpecialFolder(win::kCsidlProgramFiles) + "|" + DevicePathToDosPath("\\Device\\HarddiskVolume2\\x") +
           "|" + FileCompanyName("C:\\app\\one.dll");
  };
  const std::string expected = "C:\\Program Files|C:\\Program Files|C:\\Program Files|D:\\x|Acme";
  const platform::TCallCounter counter;
  const auto asked = [before = platform::CallCounts()] {
    const platform::TCallCounts c = platform::CallCounts() - before;
    return c.pathLookups + c.versionReads;
  };
  uint64_t once = 0;
  {
    const TLookupMemo memo;
    EXPECT_EQ(ask(), expected);
    once = asked();
    EXPECT_GT(once, 0u);
    m.system().longPaths["C:\\PROGRA~1"] = "C:\\Renamed";  // not asked again: the first answer stays
    m.system().specialFolders[win::kCsidlProgramFiles] = "C:\\Renamed";
    EXPECT_EQ(ask(), expected);
    EXPECT_EQ(asked(), once);
  }
  EXPECT_EQ(LongPathOf("C:\\PROGRA~1"), "C:\\Renamed");
  EXPECT_EQ(GetSpecialFolder(win::kCsidlProgramFiles), "C:\\Renamed");
  EXPECT_GT(asked(), once);
}

}  // namespace
