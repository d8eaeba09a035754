// The report's file lines over the fake machine: the description shape and its defaults, the
// Microsoft and MD5 filters, duplicate suppression and the locked line.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

#include "inspect/files.h"
#include "platform/call_counts.h"
#include "platform/fake/fake_machine.h"
#include "scan/file_lines.h"
#include "tests/support/forwarding_file_system.h"
#include "tests/support/scan_helpers.h"

namespace {

using namespace scan;
namespace win = platform::win;
using Lines = std::vector<std::string>;
using Exclusions = std::vector<std::string>;

constexpr const char* kEmptyMd5 = "d41d8cd98f00b204e9800998ecf8427e";
constexpr const char* kPayloadMd5 = "d71359fc444192b26d6a59f770169075";  // "MZ payload"
constexpr const char* kLongMd5 = "20439f79e4e9dc95be34b21029221f80";     // 4096 times "x"
constexpr platform::FileTime kNoon2004 = 127360944000000000;        // 2004-08-04 12:00:00 UTC
constexpr platform::FileTime kMidnight2009 = 128803392000000000;    // 2009-03-01 00:00:00 UTC

// The fake's files, where from the n-th digest of one file on the views past its first window
// cannot be made (a region that cannot be read), and a count of the digests taken of that file.
class FaultyFiles : public bs_test::ForwardingFileSystem {
 public:
  FaultyFiles(std::string path, int failFromDigest)
      : path_(platform::fake::UpperAscii(path)), failFrom_(failFromDigest) {}
  int digests = 0;  // views made at offset 0

  Handle CreateFile(const std::string& path, uint32_t access, uint32_t share, uint32_t disposition,
                    uint32_t attributes) override {
    const Handle h = inner().CreateFile(path, access, share, disposition, attributes);
    if (platform::fake::UpperAscii(path) == path_) watched_.push_back(h);
    return h;
  }
  Handle CreateFileMapping(Handle file) override {
    const Handle h = inner().CreateFileMapping(file);
    if (Watched(file)) watched_.push_back(h);
    return h;
  }
  const uint8_t* MapViewOfFile(Handle mapping, uint64_t offset, size_t length) override {
    if (Watched(mapping)) {
      if (offset == 0) ++digests;
      if (offset > 0 && digests >= failFrom_) return nullptr;
    }
    return inner().MapViewOfFile(mapping, offset, length);
  }

 private:
  bool Watched(Handle h) const { return std::find(watched_.begin(), watched_.end(), h) != watched_.end(); }
  std::string path_;
  int failFrom_;
  std::vector<Handle> watched_;
};

class FileLines : public ::testing::Test {
 protected:
  void SetUp() override {
    m.Install();
    platform::fake::FakeFile& f = m.AddFile(kApp, "MZ payload", win::kFileAttributeArchive);
    f.creationTime = kNoon2004;
    f.version = platform::fake::FileVersion{"  Acme Ltd  ", "1.0"};
  }
  // The app file spans several mapped windows; reading it fails from its n-th digest on.
  FaultyFiles& FailReads(int failFromDigest) {
    m.system().allocationGranularity = 1;  // windows of a few hundred bytes
    m.File(kApp)->contents = std::string(4096, 'x');
    faulty_ = std::make_unique<FaultyFiles>(kApp, failFromDigest);
    faulty_->Install();
    return *faulty_;
  }

  static constexpr const char* kApp = "C:\\Program Files\\App\\app.exe";
  const std::string appLine = std::string(kApp) + " (10 bytes) (Acme Ltd) (8/4/2004 12:00:00 PM) (--A-) (" +
                              kPayloadMd5 + ")";
  platform::fake::Machine m;
  TReport report;

 private:
  std::unique_ptr<FaultyFiles> faulty_;
};

TEST_F(FileLines, Shapes) {
  platform::fake::FakeFile& hidden = m.AddFile("C:\\WINDOWS\\sys.dll", "abc",
                                               win::kFileAttributeHidden | win::kFileAttributeSystem |
                                                   win::kFileAttributeArchive | win::kFileAttributeReadonly);
  hidden.creationTime = kMidnight2009;  // a time of 0:00:00 leaves the date alone
  platform::fake::FakeFile& held = m.AddFile("C:\\held.exe", "MZ payload");
  held.lockedExclusive = true;
  held.creationTime = kNoon2004;

  struct Case {
    std::string line, expected;
  } cases[] = {
      {FileDescriptionLine(kApp), appLine},
      {FileDescriptionLine("C:\\WINDOWS\\sys.dll"),
       "C:\\WINDOWS\\sys.dll (3 bytes) (Unknown) (3/1/2009) (HSAR) (900150983cd24fb0d6963f7d28e17f72)"},
      // Held without sharing: the directory entry still gives size and time, the digest is of no data.
      {FileDescriptionLine("C:\\held.exe"),
       std::string("C:\\held.exe (10 bytes) (Unknown) (8/4/2004 12:00:00 PM) (--A-) (") + kEmptyMd5 + ")"},
      // Gone before it was described.
      {FileDescriptionLine("C:\\gone\\x.exe"),
       std::string("C:\\gone\\x.exe (0 bytes) (Unknown) () (----) (") + kEmptyMd5 + ")"},
      {ShortFileLine(kApp), std::string(kApp) + " (10 bytes) (Acme Ltd) (" + kPayloadMd5 + ")"},
      {ShortFileLine("C:\\gone.sys"), std::string("C:\\gone.sys (0 bytes) (Unknown) (") + kEmptyMd5 + ")"},
      {LockedLine(kApp), std::string(kApp) + " (LOCKED)"},
      {HiddenFileLine("C:\\WINDOWS\\x"), "C:\\WINDOWS\\x (!!!POSSIBLE ROOTKIT IS HIDING FILES!!!)"},
  };
  for (const Case& c : cases) EXPECT_EQ(c.line, c.expected);
}

TEST_F(FileLines, SameFileOnceUntilItChanges) {
  ReportFile(kApp, report, false, {}, false);
  ReportFile(kApp, report, false, {}, false);
  ReportFile("c:\\program files\\APP\\APP.EXE", report, false, {}, false);  // the same line but for case
  EXPECT_EQ(bs_test::ReportItems(report), Lines{appLine});

  m.File(kApp)->contents = "MZ payload, grown";
  ReportFile(kApp, report, false, {}, false);
  ReportFile(kApp, report, false, {}, false);
  ASSERT_EQ(report.Count(), 2u);
  EXPECT_EQ(report.Item(1), std::string(kApp) +
                                " (17 bytes) (Acme Ltd) (8/4/2004 12:00:00 PM) (--A-) (0dfbf332f2bb2898ec093addd4e4a89d)");

  // A vanished file: its line of defaults, once.
  ReportFile("C:\\gone.exe", report, true, {}, false);
  ReportFile("C:\\gone.exe", report, true, {}, false);
  EXPECT_EQ(report.Count(), 3u);
  EXPECT_EQ(report.Item(2), std::string("C:\\gone.exe (0 bytes) (Unknown) () (----) (") + kEmptyMd5 + ")");
}

TEST_F(FileLines, DuplicatesAreWholeItemsAnywhereInTheReport) {
  report.Add("[+] Running processes");
  report.Add(appLine + "\r\n");  // not the same item
  report.Add("");
  AddFileLine(kApp, report, false, {});
  EXPECT_EQ(report.Count(), 4u);
  report.Add("[+] Loaded Modules");
  AddFileLine(kApp, report, false, {});  // found again far back
  EXPECT_EQ(report.Count(), 5u);
}

TEST_F(FileLines, MicrosoftFilter) {
  m.AddFile("C:\\WINDOWS\\system32\\svchost.exe", "abc");
  m.system().protectedFiles = {"c:\\windows\\SYSTEM32\\svchost.exe"};
  struct Case {
    bool excludeMicrosoft;
    std::vector<std::string> libraries;  // the libraries that export the protection test
    size_t lines;
  } cases[] = {
      {true, {"sfc_os.dll", "SFC.dll"}, 0},
      {false, {"sfc_os.dll", "SFC.dll"}, 1},
      {true, {}, 1},  // no protection test on this system: nothing is Microsoft's
  };
  for (const Case& c : cases) {
    m.system().sfcLibraries = c.libraries;
    TReport r;
    ReportFile("C:\\WINDOWS\\system32\\svchost.exe", r, c.excludeMicrosoft, {}, false);
    ReportFile(kApp, r, c.excludeMicrosoft, {}, false);  // not protected: always listed
    EXPECT_EQ(r.Count(), c.lines + 1) << c.excludeMicrosoft << " " << c.libraries.size();
    EXPECT_EQ(r.Item(r.Count() - 1), appLine);
  }
}

TEST_F(FileLines, Md5Exclusions) {
  const Exclusions upper{"00000000000000000000000000000000", "D71359FC444192B26D6A59F770169075"};
  EXPECT_TRUE(IsMd5Excluded(kApp, upper));
  EXPECT_TRUE(IsMd5Excluded(kApp, {kPayloadMd5}));
  EXPECT_FALSE(IsMd5Excluded(kApp, {"", "d71359fc444192b26d6a59f77016907"}));
  EXPECT_TRUE(IsMd5Excluded("C:\\gone.exe", {kEmptyMd5}));

  ReportFile(kApp, report, false, upper, true);
  AddFileLine(kApp, report, true, upper);
  EXPECT_EQ(report.Count(), 0u);
  ReportFile(kApp, report, false, {"D41D8CD98F00B204E9800998ECF8427E"}, true);
  EXPECT_EQ(bs_test::ReportItems(report), Lines{appLine});
}

TEST_F(FileLines, ExclusionsOffDoNotReadTheFileAgain) {
  FaultyFiles& files = FailReads(1000);
  ReportFile(kApp, report, false, {kLongMd5}, false);
  EXPECT_EQ(report.Count(), 1u);
  EXPECT_EQ(files.digests, 1);  // the line's digest only

  ReportFile(kApp, report, false, {kEmptyMd5}, true);
  EXPECT_EQ(report.Count(), 1u);  // the same line
  EXPECT_EQ(files.digests, 3);    // the line's and the exclusion test's
}

// A file described unchanged is not read again for the report: its line is there already.
TEST_F(FileLines, UnchangedFileIsReadOnce) {
  FaultyFiles& files = FailReads(1000);
  ReportFile(kApp, report, false, {}, false);
  AddFileLine(kApp, report, false, {});
  ReportFile("c:\\program files\\app\\APP.EXE", report, false, {}, false);
  EXPECT_EQ(files.digests, 1);
  m.File(kApp)->attributes |= win::kFileAttributeHidden;  // its entry changed: read again
  ReportFile(kApp, report, false, {}, false);
  EXPECT_EQ(files.digests, 2);
  EXPECT_EQ(report.Count(), 2u);
}

// The entry found to know whether the file was described gives the line its size and date; with
// the MD5 exclusions on, the description finds it once itself.
TEST_F(FileLines, DescribingAFileFindsItsEntryOnce) {
  for (const bool useExclusions : {false, true}) {
    TReport fresh;
    const platform::TCallCounts before = platform::CallCounts();
    {
      const platform::TCallCounter counter;
      ReportFile(kApp, fresh, false, {}, useExclusions);
    }
    EXPECT_EQ((platform::CallCounts() - before).findsStarted, 1u) << useExclusions;
    EXPECT_EQ(bs_test::ReportItems(fresh), Lines{appLine}) << useExclusions;
  }
}

TEST_F(FileLines, LockedLineWhenReadingFails) {
  const std::string locked = std::string(kApp) + " (LOCKED)";
  FailReads(1);
  EXPECT_THROW(inspect::FileMd5Text(kApp), inspect::EFileReadError);
  ReportFile(kApp, report, false, {}, false);
  ReportFile(kApp, report, true, {}, true);
  EXPECT_EQ(bs_test::ReportItems(report), (Lines{locked, locked}));  // locked lines are not deduplicated

  // Called directly, a failure while building the line is the caller's to handle.
  EXPECT_THROW(AddFileLine(kApp, report, false, {}), inspect::EFileReadError);
  EXPECT_EQ(report.Count(), 2u);
}

TEST_F(FileLines, LockedLineWhenTheExclusionTestFails) {
  FailReads(2);  // the line is built, the second digest fails
  AddFileLine(kApp, report, true, {kLongMd5});
  EXPECT_EQ(bs_test::ReportItems(report), Lines{std::string(kApp) + " (LOCKED)"});
}

}  // namespace
