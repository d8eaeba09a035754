// The file-system sections over the fake machine: which files each walk lists, the join of a
// folder and a name, the recent-day threshold, hidden and numbered folders, and walks that meet
// vanished, locked, nameless or looping entries.
#include <gtest/gtest.h>

#include <algorithm>
#include <stdexcept>
#include <string>
#include <vector>

#include "inspect/files.h"
#include "inspect/lang.h"
#include "platform/fake/fake_machine.h"
#include "scan/frame.h"
#include "scan/sections.h"
#include "tests/support/forwarding_file_system.h"
#include "tests/support/scan_helpers.h"

namespace {

using namespace scan;
using platform::fake::Machine;
namespace win = platform::win;
using Lines = std::vector<std::string>;
using bs_test::ReportItems;

// A file that passes the PE test.
std::string Pe(size_t size = 512) { return bs_test::PeFileBytes(size); }

constexpr const char* kEmptyMd5 = "d41d8cd98f00b204e9800998ecf8427e";
constexpr const char* kTemp = "C:\\DOCUME~1\\User\\LOCALS~1\\Temp\\";
constexpr const char* kSystem = "C:\\WINDOWS\\system32";
constexpr const char* kAppData = "C:\\Documents and Settings\\User\\Application Data";
constexpr const char* kStartup = "C:\\Documents and Settings\\User\\Start Menu\\Programs\\Startup";

// FILETIME of a moment of the fake's clock (its local time is UTC when the offset is 0).
platform::FileTime At(int year, int month, int day, int hour = 15) {
  int64_t y = year - (month <= 2);
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const int64_t yoe = y - era * 400;
  const int64_t doy = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  const int64_t days = era * 146097 + yoe * 365 + yoe / 4 - yoe / 100 + doy - 719468 + 134774;
  return static_cast<platform::FileTime>(days * 86400 + hour * 3600) * 10000000ULL;
}

// The path of each item: the text before its first " (".
Lines Paths(const TReport& report) {
  Lines paths;
  for (const std::string& item : ReportItems(report)) paths.push_back(item.substr(0, item.find(" (")));
  return paths;
}

class FileSectionsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m.Install();
    inspect::ClearLngTable();
    options.ReduceMemoryUsage = false;
    options.ExcludeMicrosoftFiles = false;
    m.system().specialFolders[20] = "C:\\WINDOWS\\Fonts";
    m.system().specialFolders[21] = "C:\\Documents and Settings\\User\\Templates";
  }

  // Runs the content of the frame's section with this title key, as the scan does.
  void RunSection(int titleKey) {
    for (const TSection& section : DefaultSections()) {
      if (section.titleKey == titleKey) return section.content(report, options);
    }
    FAIL() << "no section " << titleKey;
  }

  Machine m;
  TScanOptions options;
  TReport report;
};

// --- ListFolderFiles -------------------------------------------------------------------------

TEST_F(FileSectionsTest, FolderListingChoosesFilesByExactNameAndByContent) {
  struct Case {
    const char* name;
    bool pe;
    uint32_t attributes;
    bool executablesOnly;
    bool listed;
  };
  const Case cases[] = {
      {"desktop.ini", false, win::kFileAttributeHidden, false, false},
      {"Desktop.ini", false, win::kFileAttributeHidden, false, true},
      {"DESKTOP.INI", false, win::kFileAttributeArchive, false, true},
      {"Mail.lnk", false, win::kFileAttributeArchive, false, true},
      {"notes.txt", true, win::kFileAttributeArchive, true, true},
      {"setup.exe", false, win::kFileAttributeArchive, true, false},
      {"setup.exe", false, win::kFileAttributeArchive, false, true},
      {"svc.dat", true, win::kFileAttributeHidden | win::kFileAttributeSystem | win::kFileAttributeReadonly, true, true},
      {"\xC4nderung \xFC.exe", true, win::kFileAttributeArchive, true, true},
      {"desktop.ini", true, win::kFileAttributeArchive, true, false},
  };
  for (const Case& c : cases) {
    Machine machine;
    machine.Install();
    const std::string path = std::string(kTemp) + c.name;
    machine.AddFile(path, c.pe ? Pe() : "plain text", c.attributes);
    machine.AddFolder(std::string(kTemp) + "folder.exe");  // folders are never listed
    TReport r;
    ListFolderFiles(r, options, kTemp, "*.*", c.executablesOnly);
    EXPECT_EQ(Paths(r), c.listed ? Lines{path} : Lines{}) << c.name << " exe-only=" << c.executablesOnly;
  }
}

TEST_F(FileSectionsTest, StartupFoldersListEveryFileButTheLowerCaseDesktopIni) {
  const std::string common = "C:\\Documents and Settings\\All Users\\Start Menu\\Programs\\Startup";
  m.AddFile(std::string(kStartup) + "\\desktop.ini", "[.ShellClassInfo]");
  m.AddFile(std::string(kStartup) + "\\Updater.lnk", "shortcut");
  m.AddFile(common + "\\Desktop.ini", "[.ShellClassInfo]");
  RunSection(18);
  EXPECT_EQ(Paths(report), (Lines{std::string(kStartup) + "\\Updater.lnk", common + "\\Desktop.ini"}));
}

TEST_F(FileSectionsTest, TempSectionListsContentNotExtensions) {
  m.AddFile(std::string(kTemp) + "invoice.txt", Pe());
  m.AddFile(std::string(kTemp) + "readme.exe", "just text");
  m.AddFile(std::string(kTemp) + "tiny.exe", "MZ");  // too short for the PE header
  RunSection(24);
  EXPECT_EQ(Paths(report), Lines{std::string(kTemp) + "invoice.txt"});
}

TEST_F(FileSectionsTest, FolderIsJoinedToEachNameWithOneBackslash) {
  const std::string folder = "C:\\Work";
  m.AddFile(folder + "\\a.exe", Pe());
  for (const std::string& given : {folder, folder + "\\"}) {
    TReport r;
    ListFolderFiles(r, options, given, "*.exe", true);
    EXPECT_EQ(Paths(r), Lines{"C:\\Work\\a.exe"}) << given;
  }
  m.AddFile("C:\\root.exe", Pe());
  TReport root;
  ListFolderFiles(root, options, "C:\\", "*.exe", true);
  EXPECT_EQ(Paths(root), Lines{"C:\\root.exe"});
}

TEST_F(FileSectionsTest, UnknownOrMissingFoldersGiveNothing) {
  m.AddFile("C:\\loose.exe", Pe());  // what "\*.*" would find on the current drive
  for (const char* folder : {"", "\\", "C:\\NoSuchFolder"}) {
    ListFolderFiles(report, options, folder, "*.*", false);
    ListHiddenFiles(report, options, folder, "*.*", true);
    ListRecentFiles(report, options, folder, "*.*", true);
    ListAutorunIni(report, options, folder);
    EXPECT_EQ(ListNumberedFolders(report, options, folder), 0) << folder;
  }
  EXPECT_EQ(ReportItems(report), Lines{});
}

// --- Suspicious folders ----------------------------------------------------------------------

TEST_F(FileSectionsTest, SuspiciousFolderListingsApplyTheirMasksAndFlags) {
  struct Case {
    std::string path;
    bool pe;
    bool vista;
    bool listed;
  };
  const std::string commonFiles = "C:\\Program Files\\Common Files";
  const std::string localSettings = "C:\\DOCUME~1\\User\\LOCALS~1";
  const Case cases[] = {
      {"C:\\loader.bin", true, false, true},                                  // drive root
      {std::string(kSystem) + "\\drivers\\notes.exe", false, false, true},   // all files
      {std::string(kSystem) + "\\drivers\\real.sys", true, false, false},    // not "*.exe"
      {std::string(kSystem) + "\\evil.sys", true, false, true},
      {std::string(kSystem) + "\\fake.sys", false, false, false},
      {"C:\\WINDOWS\\system\\text.exe", false, false, true},
      {"C:\\WINDOWS\\Help\\help.dat", true, false, false},                   // "*.exe" only
      {commonFiles + "\\system\\x.dll", true, false, true},
      {commonFiles + "\\microsoft\\y.dll", true, false, true},
      {std::string(kAppData) + "\\Microsoft\\Windows\\Start Menu\\Programs\\Startup\\z.exe", true, false, true},
      {"C:\\Documents and Settings\\User\\Templates\\t.sys", true, false, true},
      {"C:\\Documents and Settings\\User\\Templates\\t.doc", true, false, false},  // CSIDL 21 unset here
      {localSettings + "\\drop.exe", true, false, true},
      {localSettings + "\\drop.exe", true, true, false},  // Local Settings only before Vista
      {"C:\\Program Files\\Internet Explorer\\deep.exe", true, false, false},  // not recursive
  };
  for (const Case& c : cases) {
    Machine machine;
    machine.Install();
    const std::string shellFolders = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
    // A trailing backslash in the registry must not double the one before "system\".
    machine.SetString(platform::kHkeyLocalMachine, "Software\\Microsoft\\Windows\\CurrentVersion", "CommonFilesDir",
                      commonFiles + "\\");
    machine.SetString(platform::kHkeyCurrentUser, shellFolders, "Local Settings", localSettings);
    machine.SetString(platform::kHkeyCurrentUser, shellFolders, "Templates",
                      "C:\\Documents and Settings\\User\\Templates");
    if (c.vista) machine.system().version = {win::kVerPlatformWin32Nt, 6, 0, 6002, "Service Pack 2"};
    machine.AddFile(c.path, c.pe ? Pe() : "text");
    TReport r;
    WriteSuspiciousFolderExecutables(r, options);
    EXPECT_EQ(Paths(r), c.listed ? Lines{c.path} : Lines{}) << c.path << " vista=" << c.vista;
  }
}

TEST_F(FileSectionsTest, SuspiciousFoldersEndWithTheRunValueFiltersInPathOnlyForm) {
  m.AddFile(std::string(kAppData) + "\\a.exe", Pe());
  m.SetString(platform::kHkeyLocalMachine, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run", "Updater", "12345");
  WriteSuspiciousFolderExecutables(report, options);
  ASSERT_EQ(report.Count(), 2u);
  EXPECT_EQ(Paths(report)[0], std::string(kAppData) + "\\a.exe");
  EXPECT_EQ(report.Item(1), "12345\r\n");
}

// --- Autorun.ini -----------------------------------------------------------------------------

TEST_F(FileSectionsTest, AutorunIniIsFoundInAnyLetterCaseInItsFolders) {
  m.AddFile("C:\\AutoRun.INI", "[autorun]");
  m.AddFile("C:\\WINDOWS\\autorun.ini", "[autorun]");
  m.AddFile(std::string(kTemp) + "autorun.ini", "[autorun]");
  m.AddFile(std::string(kSystem) + "\\myautorun.ini", "[autorun]");
  m.AddFile("C:\\Work\\autorun.ini", "[autorun]");  // not one of the folders
  WriteAutorunIni(report, options);
  EXPECT_EQ(Paths(report),
            (Lines{"C:\\AutoRun.INI", "C:\\WINDOWS\\autorun.ini", std::string(kTemp) + "autorun.ini"}));
}

// --- Unknown .SYS files ----------------------------------------------------------------------

TEST_F(FileSectionsTest, UnknownSysFilesKeepsOutMicrosoftDriversByVersionRule) {
  struct Case {
    const char* company;
    bool protectedFile;
    bool vista;
    bool pe;
    bool listed;
  };
  const Case cases[] = {
      {"Microsoft Corporation", true, false, true, false},
      {"Microsoft Corporation", false, false, true, true},  // before Vista only protection counts
      {"Rootkit Ltd", false, false, true, true},
      {"Microsoft Corporation", false, true, true, false},
      {"microsoft corporation", false, true, true, true},  // exact text on Vista
      {"Rootkit Ltd", true, true, true, true},
      {"Rootkit Ltd", false, false, false, false},  // not an executable
  };
  for (const Case& c : cases) {
    Machine machine;
    machine.Install();
    if (c.vista) machine.system().version = {win::kVerPlatformWin32Nt, 6, 1, 7601, "Service Pack 1"};
    const std::string path = std::string(kSystem) + "\\drivers\\x.sys";
    machine.AddFile(path, c.pe ? Pe() : "text").version = platform::fake::FileVersion{c.company, "1.0"};
    if (c.protectedFile) machine.system().protectedFiles.push_back(path);
    for (bool excludeMicrosoft : {false, true}) {
      options.ExcludeMicrosoftFiles = excludeMicrosoft;
      TReport r;
      WriteUnknownSysFiles(r, options, std::string(kSystem) + "\\drivers\\", "*");
      EXPECT_EQ(Paths(r), c.listed ? Lines{path} : Lines{}) << c.company << " vista=" << c.vista;
    }
  }
}

// --- Non accessible files --------------------------------------------------------------------

TEST_F(FileSectionsTest, NonAccessibleFilesListsOnlyTheFileHeldWithoutSharing) {
  m.AddFile(std::string(kSystem) + "\\kernel32.dll", Pe()).version = platform::fake::FileVersion{"Microsoft", "5.1"};
  m.AddFile(std::string(kSystem) + "\\user32.dll", Pe());
  m.AddFile(std::string(kSystem) + "\\drivers\\ok.sys", Pe());
  m.AddFile("C:\\WINDOWS\\explorer.exe", Pe());
  m.AddFile(std::string(kAppData) + "\\data.bin", "x");
  platform::fake::FakeFile& held = m.AddFile(std::string(kSystem) + "\\held.dll", Pe(700));
  held.version = platform::fake::FileVersion{"Acme", "1.0"};
  held.lockedExclusive = true;
  RunSection(114);
  EXPECT_EQ(ReportItems(report), Lines{std::string(kSystem) + "\\held.dll (700 bytes) (Acme) (" + kEmptyMd5 + ")"});
}

// Entries the fake cannot hold: a nameless one (as a rootkit that hides files leaves behind),
// one that vanished after the walk returned it, and one whose examination fails.
class StrangeEntries : public bs_test::ForwardingFileSystem {
 public:
  Handle FindFirstFile(const std::string& pattern, FindData* data) override {
    Handle find = inner().FindFirstFile(pattern, data);
    if (pattern == std::string(kSystem) + "\\*.dll" && find != platform::kInvalidHandle) {
      pending_[find] = {"", "gone.dll"};
    }
    return find;
  }
  bool FindNextFile(Handle find, FindData* data) override {
    if (inner().FindNextFile(find, data)) return true;
    auto& names = pending_[find];
    if (names.empty()) return false;
    *data = FindData{};
    data->attributes = win::kFileAttributeArchive;
    data->name = names.front();
    names.erase(names.begin());
    return true;
  }
  bool GetFileVersionInfo(const std::string& path, std::vector<uint8_t>* data) override {
    if (path.ends_with("broken.dll")) throw std::runtime_error("in-page error");
    return inner().GetFileVersionInfo(path, data);
  }

 private:
  std::map<Handle, std::vector<std::string>> pending_;
};

TEST_F(FileSectionsTest, NonAccessibleFilesReportsNamelessVanishedAndFailingEntries) {
  m.AddFile(std::string(kSystem) + "\\ok.dll", Pe());
  m.AddFile(std::string(kSystem) + "\\broken.dll", Pe()).lockedExclusive = true;
  StrangeEntries files;
  files.Install();
  WriteNonAccessibleFiles(report, options, kSystem, "*.dll");
  EXPECT_EQ(ReportItems(report), (Lines{
                               std::string(kSystem) + "\\broken.dll",
                               std::string(kSystem) + "\\ (!!!POSSIBLE ROOTKIT IS HIDING FILES!!!)",
                               std::string(kSystem) + "\\gone.dll (0 bytes) (Unknown) (" + kEmptyMd5 + ")",
                           }));
}

TEST_F(FileSectionsTest, NonAccessiblePathsLoseDoubledBackslashes) {
  m.AddFile(std::string(kSystem) + "\\held.exe", "x").lockedExclusive = true;
  WriteNonAccessibleFiles(report, options, std::string(kSystem) + "\\\\", "*.exe");
  EXPECT_EQ(Paths(report), Lines{std::string(kSystem) + "\\held.exe"});
}

// --- Custom files list -----------------------------------------------------------------------

TEST_F(FileSectionsTest, CustomFilesLinesNameAFolderAndAMask) {
  const std::string folder = "C:\\Work";
  m.AddFile(folder + "\\tool.exe", "not a program");
  m.AddFile(folder + "\\lib.dll", Pe());
  m.AddFile(folder + "\\abcdefghij", "x");
  m.AddFile(folder + "\\abcdefghijKL", "x");
  struct Case {
    std::string line;
    Lines listed;
  };
  const Case cases[] = {
      {folder + "|*.exe", {folder + "\\tool.exe"}},
      {folder + "|", {folder + "\\tool.exe", folder + "\\lib.dll", folder + "\\abcdefghij", folder + "\\abcdefghijKL"}},
      {folder + "\\|*.dll", {folder + "\\lib.dll"}},
      {folder + "|abcdefghijKL", {folder + "\\abcdefghij"}},  // the mask keeps ten characters
      {folder, {folder + "\\tool.exe", folder + "\\lib.dll", folder + "\\abcdefghij", folder + "\\abcdefghijKL"}},
      {"|*.exe", {}},  // no folder: nothing, not the current drive
  };
  for (const Case& c : cases) {
    TReport r;
    options.CustomFileEntries = {c.line};
    WriteCustomFilesList(r, options);
    Lines got = Paths(r), want = c.listed;
    std::sort(got.begin(), got.end());
    std::sort(want.begin(), want.end());
    EXPECT_EQ(got, want) << c.line;
  }
}

// --- Recent files ----------------------------------------------------------------------------

TEST_F(FileSectionsTest, RecentFilesUseTheCalendarDayBeforeTheThreshold) {
  m.system().now = {2009, 12, 3, 2, 9, 30, 0, 0};  // threshold day with 10 days: 2009-11-22
  options.RecentDays = 10;
  struct Case {
    const char* name;
    platform::FileTime created, written;
    int32_t utcOffsetMinutes;
    const char* tail;  // date and label; null when not listed
  };
  const Case cases[] = {
      {"nine.exe", At(2009, 11, 23), At(2009, 11, 23), 0, "(11/23/2009 3:00:00 PM) (--A-) (%) (created)"},
      {"ten.exe", At(2009, 11, 22, 23), At(2009, 11, 22, 23), 0, nullptr},
      {"written.exe", At(2008, 12, 1), At(2009, 12, 1), 0, "(12/1/2009 3:00:00 PM) (--A-) (%) (modified)"},
      {"both.exe", At(2009, 12, 1), At(2009, 12, 2), 0, "(12/1/2009 3:00:00 PM) (--A-) (%) (created)"},
      // 23:30 UTC on the threshold day is the next day an hour east of Greenwich.
      {"east.exe", At(2008, 1, 1), At(2009, 11, 22, 23) + 18000000000ULL, 60,
       "(11/23/2009 12:30:00 AM) (--A-) (%) (modified)"},
  };
  for (const Case& c : cases) {
    Machine machine;
    machine.Install();
    machine.system().now = m.system().now;
    machine.system().utcOffsetMinutes = c.utcOffsetMinutes;
    const std::string path = std::string(kTemp) + c.name;
    platform::fake::FakeFile& f = machine.AddFile(path, Pe());
    f.creationTime = c.created;
    f.lastWriteTime = c.written;
    TReport r;
    ListRecentFiles(r, options, kTemp, "*.*", false);
    if (!c.tail) {
      EXPECT_EQ(ReportItems(r), Lines{}) << c.name;
      continue;
    }
    std::string tail = c.tail;
    tail.replace(tail.find('%'), 1, inspect::FileMd5Text(path));
    EXPECT_EQ(ReportItems(r), Lines{path + " (512 bytes) (Unknown) " + tail}) << c.name;
  }
}

TEST_F(FileSectionsTest, RecentFilesListOnlyExecutablesAndTakeTheLabelsFromTheLanguage) {
  m.AddFile(std::string(kTemp) + "new.txt", Pe());
  m.AddFile(std::string(kTemp) + "new.exe", "text");
  options.RecentDays = 30;
  ListRecentFiles(report, options, kTemp, "*.*", false);
  ASSERT_EQ(Paths(report), Lines{std::string(kTemp) + "new.txt"});
  EXPECT_TRUE(report.Item(0).ends_with(" (created)"));

  inspect::SetLng(205, "erstellt");
  TReport translated;
  ListRecentFiles(translated, options, kTemp, "*.*", false);
  ASSERT_EQ(translated.Count(), 1u);
  EXPECT_TRUE(translated.Item(0).ends_with(" (erstellt)"));
}

TEST_F(FileSectionsTest, RecursiveWalksSkipDotFoldersAndReparsePoints) {
  const std::string temp = kTemp;
  for (const char* name : {"top.exe", "sub\\inner.exe", "sub\\deeper\\deep.exe", ".cache\\dot.exe",
                           "link\\linked.exe", "sub.exe\\inside.exe"}) {
    m.AddFile(temp + name, Pe(), win::kFileAttributeHidden);
  }
  m.File(temp + "link")->attributes = win::kFileAttributeReparsePoint;
  const Lines expected{temp + "top.exe", temp + "sub\\inner.exe", temp + "sub\\deeper\\deep.exe",
                       temp + "sub.exe\\inside.exe"};
  auto sorted = [](Lines lines) {
    std::sort(lines.begin(), lines.end());
    return lines;
  };

  ListHiddenFiles(report, options, temp, "*.*", true);
  EXPECT_EQ(sorted(Paths(report)), sorted(expected));

  TReport recent;
  ListRecentFiles(recent, options, temp, "*.*", true);
  EXPECT_EQ(sorted(Paths(recent)), sorted(expected));

  TReport flat;
  ListRecentFiles(flat, options, temp, "*.*", false);
  EXPECT_EQ(Paths(flat), Lines{temp + "top.exe"});
}

// A junction that leads back to its parent without saying so: "loop" shows the parent again.
class LoopingJunction : public bs_test::ForwardingFileSystem {
 public:
  static std::string Unloop(std::string path) {
    for (size_t pos; (pos = path.find("\\loop\\")) != std::string::npos;) path.erase(pos, 5);
    return path;
  }
  Handle FindFirstFile(const std::string& pattern, FindData* data) override {
    return inner().FindFirstFile(Unloop(pattern), data);
  }
  uint32_t GetFileAttributes(const std::string& path) override { return inner().GetFileAttributes(Unloop(path)); }
  Handle CreateFile(const std::string& path, uint32_t access, uint32_t share, uint32_t disposition,
                    uint32_t attributes) override {
    return inner().CreateFile(Unloop(path), access, share, disposition, attributes);
  }
  bool GetFileVersionInfo(const std::string& path, std::vector<uint8_t>* data) override {
    return inner().GetFileVersionInfo(Unloop(path), data);
  }
};

TEST_F(FileSectionsTest, RecursiveWalksEndOnAJunctionLoopingToItsParent) {
  m.AddFile(std::string(kTemp) + "a.exe", Pe(), win::kFileAttributeHidden);
  m.AddFolder(std::string(kTemp) + "loop");
  LoopingJunction files;
  files.Install();
  WriteHiddenFiles(report, options);
  WriteRecentFiles(report, options);
  ASSERT_FALSE(ReportItems(report).empty());
  EXPECT_EQ(Paths(report).front(), std::string(kTemp) + "a.exe");
  for (const std::string& path : Paths(report)) EXPECT_LT(path.size(), 260u + 12) << path;
}

TEST_F(FileSectionsTest, WalksGoOnPastLockedLongAndVanishingFiles) {
  const std::string temp = kTemp;
  m.AddFile(temp + "held.exe", Pe(), win::kFileAttributeHidden).lockedExclusive = true;
  m.AddFile(temp + std::string(300, 'n') + ".exe", Pe(), win::kFileAttributeHidden);
  m.AddFile(temp + "\xE9t\xE9.exe", Pe(), win::kFileAttributeHidden);
  // Removed once the walk has returned it.
  class Vanishing : public bs_test::ForwardingFileSystem {
   public:
    explicit Vanishing(Machine& m) : m_(m) {}
    bool FindNextFile(Handle find, FindData* data) override {
      const bool more = inner().FindNextFile(find, data);
      if (more && data->name == "gone.exe") m_.RemoveFile(kTemp + data->name);
      return more;
    }
    Machine& m_;
  } files(m);
  m.AddFile(temp + "gone.exe", Pe(), win::kFileAttributeHidden);
  files.Install();
  ListHiddenFiles(report, options, temp, "*.*", true);
  ListFolderFiles(report, options, temp, "*.*", true);
  Lines got = Paths(report);
  std::sort(got.begin(), got.end());
  Lines want{temp + std::string(300, 'n') + ".exe", temp + "\xE9t\xE9.exe"};
  std::sort(want.begin(), want.end());
  EXPECT_EQ(got, want);
}

TEST_F(FileSectionsTest, HiddenFilesNeedTheHiddenAttributeAndPeContent) {
  m.AddFile("C:\\WINDOWS\\hid.exe", Pe(), win::kFileAttributeHidden);
  m.AddFile("C:\\WINDOWS\\seen.exe", Pe());
  m.AddFile("C:\\WINDOWS\\hid.log", "log", win::kFileAttributeHidden);
  m.AddFile("C:\\WINDOWS\\sub\\below.exe", Pe(), win::kFileAttributeHidden);  // Windows is not descended
  m.AddFile(std::string(kTemp) + "x\\y\\buried.bin", Pe(), win::kFileAttributeHidden | win::kFileAttributeSystem);
  WriteHiddenFiles(report, options);
  EXPECT_EQ(Paths(report), (Lines{"C:\\WINDOWS\\hid.exe", std::string(kTemp) + "x\\y\\buried.bin"}));
}

// --- Numbered folders ------------------------------------------------------------------------

TEST_F(FileSectionsTest, NumberedFoldersNeedAFolderNumberOfFiveOrMore) {
  struct Case {
    const char* name;
    bool folder;
    uint32_t attributes;
    bool listed;
  };
  const Case cases[] = {
      {"12345", true, 0, true},
      {"5", true, 0, true},
      {"00007", true, 0, true},
      {" 2009 ", true, 0, true},
      {"+42", true, 0, true},
      {"4", true, 0, false},
      {"-12345", true, 0, false},
      {"a12", true, 0, false},
      {"12a", true, 0, false},
      {"4294967296", true, 0, false},  // beyond 32 bits
      {"12345", true, win::kFileAttributeSystem, false},
      {"12345", false, 0, false},  // a file
  };
  for (const Case& c : cases) {
    Machine machine;
    machine.Install();
    const std::string path = std::string(kAppData) + "\\" + c.name;
    if (c.folder) {
      machine.AddFolder(path);
      if (c.attributes) machine.File(path)->attributes = c.attributes;
    } else {
      machine.AddFile(path, "x");
    }
    TReport r;
    const int looked = ListNumberedFolders(r, options, kAppData);
    EXPECT_EQ(ReportItems(r), c.listed ? Lines{path + "\\"} : Lines{}) << "[" << c.name << "]";
    EXPECT_EQ(looked, c.folder && !c.attributes ? 1 : 0) << c.name;
  }
}

TEST_F(FileSectionsTest, NumberedFoldersOfBothDataFoldersJoinWithOneBackslash) {
  m.AddFolder(std::string(kAppData) + "\\31337");
  m.AddFolder("C:\\Documents and Settings\\All Users\\Application Data\\99999");
  RunSection(204);
  EXPECT_EQ(ReportItems(report), (Lines{std::string(kAppData) + "\\31337\\",
                                  "C:\\Documents and Settings\\All Users\\Application Data\\99999\\"}));
  TReport trailing;
  ListNumberedFolders(trailing, options, std::string(kAppData) + "\\");
  EXPECT_EQ(ReportItems(trailing), Lines{std::string(kAppData) + "\\31337\\"});
}

}  // namespace
