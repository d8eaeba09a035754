// The file walks of the file-system sections on a scratch folder, over the fake and the real
// file system: content decides what an executable is, names and attributes decide the rest.
#include <algorithm>
#include <string>
#include <vector>

#include "inspect/files.h"
#include "inspect/lang.h"
#include "inspect/system.h"
#include "scan/sections.h"
#include "tests/support/backend_fixture.h"

namespace {

using namespace platform;
using bs_test::ReadWholeFile;
using bs_test::WriteWholeFile;
using Lines = std::vector<std::string>;

constexpr const char* kEmptyMd5 = "d41d8cd98f00b204e9800998ecf8427e";

// The path of each item (the text before its first " ("), sorted: walk order is the file system's.
Lines SortedPaths(const scan::TReport& report) {
  Lines paths;
  for (size_t i = 0; i < report.Count(); ++i) paths.push_back(report.Item(i).substr(0, report.Item(i).find(" (")));
  std::sort(paths.begin(), paths.end());
  return paths;
}

Lines Sorted(Lines lines) {
  std::sort(lines.begin(), lines.end());
  return lines;
}

class FileSectionsContract : public bs_test::ContractTest {
 protected:
  void SetUp() override {
    ContractTest::SetUp();
    inspect::ClearLngTable();
    options.ReduceMemoryUsage = false;
    options.ExcludeMicrosoftFiles = false;
    // A real PE file: under Wine the system folder's libraries are; the fake gets one.
    const std::string library = inspect::GetSystemDir() + "\\kernel32.dll";
    if (fake::Machine* m = scratch().machine()) {
      std::string pe(4096, '\0');
      pe.replace(0, 2, "MZ");
      pe[60] = static_cast<char>(0x80);
      pe.replace(0x80, 4, std::string("PE\0\0", 4));
      m->AddFile(library, pe);
    }
    pe = ReadWholeFile(library).value_or("");
    ASSERT_GT(pe.size(), 512u) << library;
  }

  std::string Path(const std::string& relative) { return scratch().PathOf(relative); }
  void WritePe(const std::string& relative, uint32_t attributes = 0) {
    ASSERT_TRUE(WriteWholeFile(Path(relative), pe)) << relative;
    if (attributes) {
      ASSERT_TRUE(Fs().SetFileAttributes(Path(relative), attributes)) << relative;
    }
  }
  void MakeFolder(const std::string& relative, uint32_t attributes = 0) {
    ASSERT_TRUE(Fs().CreateDirectory(Path(relative))) << relative;
    if (attributes) {
      ASSERT_TRUE(Fs().SetFileAttributes(Path(relative), attributes)) << relative;
    }
  }

  std::string pe;
  scan::TScanOptions options;
  scan::TReport report;
};

TEST_P(FileSectionsContract, ExecutablesAreKnownByContentNotByName) {
  WritePe("invoice.txt");
  WritePe("r\xE9sum\xE9.doc");  // a name outside ASCII, in the ANSI code page
  ASSERT_TRUE(WriteWholeFile(Path("readme.exe"), "plain text, not a program"));
  ASSERT_TRUE(WriteWholeFile(Path("stub.exe"), "MZ"));
  MakeFolder("tools.exe");
  scan::ListFolderFiles(report, options, scratch().folder(), "*.*", true);
  EXPECT_EQ(SortedPaths(report), Sorted({Path("invoice.txt"), Path("r\xE9sum\xE9.doc")}));

  scan::TReport all;
  scan::ListFolderFiles(all, options, scratch().folder() + "\\", "*.exe", false);
  EXPECT_EQ(SortedPaths(all), Sorted({Path("readme.exe"), Path("stub.exe")}));
}

TEST_P(FileSectionsContract, OnlyTheLowerCaseDesktopIniIsLeftOut) {
  MakeFolder("lower");
  MakeFolder("upper");
  ASSERT_TRUE(WriteWholeFile(Path("lower\\desktop.ini"), "[.ShellClassInfo]"));
  ASSERT_TRUE(WriteWholeFile(Path("lower\\Mail.lnk"), "shortcut"));
  ASSERT_TRUE(WriteWholeFile(Path("upper\\Desktop.ini"), "[.ShellClassInfo]"));
  scan::ListFolderFiles(report, options, Path("lower"), "*.*", false);
  scan::ListFolderFiles(report, options, Path("upper"), "*.*", false);
  EXPECT_EQ(SortedPaths(report), Sorted({Path("lower\\Mail.lnk"), Path("upper\\Desktop.ini")}));
}

TEST_P(FileSectionsContract, HiddenExecutablesAreFoundBelowButNotInDotFolders) {
  WritePe("shown.dll");
  WritePe("hidden.dat", win::kFileAttributeHidden);
  ASSERT_TRUE(WriteWholeFile(Path("hidden.log"), "log"));
  ASSERT_TRUE(Fs().SetFileAttributes(Path("hidden.log"), win::kFileAttributeHidden));
  MakeFolder("sub");
  WritePe("sub\\deep.exe", win::kFileAttributeHidden | win::kFileAttributeSystem);
  MakeFolder(".cache");
  WritePe(".cache\\dot.exe", win::kFileAttributeHidden);
  scan::ListHiddenFiles(report, options, scratch().folder(), "*.*", true);
  EXPECT_EQ(SortedPaths(report), Sorted({Path("hidden.dat"), Path("sub\\deep.exe")}));

  scan::TReport flat;
  scan::ListHiddenFiles(flat, options, scratch().folder(), "*.*", false);
  EXPECT_EQ(SortedPaths(flat), Lines{Path("hidden.dat")});
}

TEST_P(FileSectionsContract, FreshExecutablesAreRecentAndTextIsNot) {
  WritePe("fresh.bin");
  ASSERT_TRUE(WriteWholeFile(Path("fresh.exe"), "text"));
  options.RecentDays = 10;
  scan::ListRecentFiles(report, options, scratch().folder(), "*.*", false);
  ASSERT_EQ(SortedPaths(report), Lines{Path("fresh.bin")});
  EXPECT_TRUE(report.Item(0).ends_with(") (created)")) << report.Item(0);
}

TEST_P(FileSectionsContract, AFileHeldWithoutSharingIsNonAccessible) {
  WritePe("open.dll");
  WritePe("held.dll");
  bs_test::ExclusiveHold hold(scratch(), Path("held.dll"));
  ASSERT_TRUE(hold.held());
  scan::WriteNonAccessibleFiles(report, options, scratch().folder(), "*.dll");
  ASSERT_EQ(report.Count(), 1u);
  const std::string prefix = Path("held.dll") + " (" + std::to_string(pe.size()) + " bytes) (";
  EXPECT_TRUE(report.Item(0).starts_with(prefix)) << report.Item(0);
  EXPECT_TRUE(report.Item(0).ends_with(std::string(") (") + kEmptyMd5 + ")")) << report.Item(0);

  // Not an executable to the other walks, since its header cannot be read; still listed whole.
  scan::TReport executables;
  scan::ListFolderFiles(executables, options, scratch().folder(), "held.dll", true);
  EXPECT_EQ(executables.Count(), 0u);
  scan::TReport all;
  scan::ListFolderFiles(all, options, scratch().folder(), "held.dll", false);
  EXPECT_EQ(SortedPaths(all), Lines{Path("held.dll")});
}

TEST_P(FileSectionsContract, NumberedFoldersAndAutorunIni) {
  MakeFolder("12345");
  MakeFolder("4");
  MakeFolder("a12");
  MakeFolder("31337", win::kFileAttributeSystem);
  ASSERT_TRUE(WriteWholeFile(Path("99999"), "a file"));
  ASSERT_TRUE(WriteWholeFile(Path("AutoRun.INI"), "[autorun]"));
  ASSERT_TRUE(WriteWholeFile(Path("setup.ini"), "[setup]"));
  EXPECT_EQ(scan::ListNumberedFolders(report, options, scratch().folder()), 3);
  scan::ListAutorunIni(report, options, scratch().folder());
  ASSERT_EQ(report.Count(), 2u);
  EXPECT_EQ(report.Item(0), Path("12345") + "\\");
  EXPECT_TRUE(report.Item(1).starts_with(Path("AutoRun.INI") + " (")) << report.Item(1);
}

INSTANTIATE_TEST_SUITE_P(Backends, FileSectionsContract, testing::ValuesIn(bs_test::ContractBackends()),
                         bs_test::BackendName);

}  // namespace
