// The registry and file helpers over both backends: what the scan relies on must hold on the
// real registry and file system as it holds on the fake.
#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

#include "inspect/lang.h"
#include "inspect/registry.h"
#include "inspect/system.h"
#include "scan/report.h"
#include "scan/sections.h"
#include "tests/support/backend_fixture.h"

namespace {

using namespace platform;
using bs_test::BackendScratch;

class HelperContract : public bs_test::ContractTest {
 protected:
  void SetUp() override {
    ContractTest::SetUp();
    inspect::ClearLngTable();
    inspect::FillDefaultTexts();
  }
  static constexpr RegKey kRoot = BackendScratch::kRoot;
  std::string Key(const std::string& relative = "") {
    return relative.empty() ? scratch().keyPath() : scratch().KeyOf(relative);
  }
  void SetRaw(const std::string& valuePath, uint32_t type, std::string_view bytes) {
    ASSERT_TRUE(inspect::RegWriteValueRaw(kRoot, valuePath, type, bytes.data(), static_cast<uint32_t>(bytes.size())))
        << valuePath;
  }
};

TEST_P(HelperContract, TypedReadsAndAStringWithoutItsNul) {
  ASSERT_TRUE(inspect::RegWriteString(kRoot, Key("Values\\Name"), "C:\\a.exe"));
  ASSERT_TRUE(inspect::RegWriteDword(kRoot, Key("Values\\Number"), 4294967295u));
  // Windows counts a NUL that happens to follow the buffer: make sure none does.
  SetRaw(Key("Values\\NoNul"), win::kRegSz, std::string_view("abcdefX", 6));
  SetRaw(Key("Values\\Expand"), win::kRegExpandSz, std::string_view("%SystemRoot%\\x\0", 15));
  ASSERT_TRUE(inspect::RegWriteString(kRoot, Key("Values\\"), "default text"));

  std::string text;
  EXPECT_TRUE(inspect::RegReadString(kRoot, Key("Values\\Name"), &text));
  EXPECT_EQ(text, "C:\\a.exe");
  EXPECT_TRUE(inspect::RegReadString(kRoot, Key("Values\\NoNul"), &text));
  EXPECT_EQ(text, "abcde");  // the last byte is taken for the NUL
  EXPECT_TRUE(inspect::RegReadString(kRoot, Key("Values\\"), &text));
  EXPECT_EQ(text, "default text");
  EXPECT_FALSE(inspect::RegReadString(kRoot, Key("Values\\Expand"), &text));  // another type
  EXPECT_EQ(text, "");
  EXPECT_TRUE(inspect::RegReadExpandString(kRoot, Key("Values\\Expand"), &text));
  EXPECT_EQ(text, "%SystemRoot%\\x");
  EXPECT_TRUE(inspect::RegValueExists(kRoot, Key("Values\\Number")));
  EXPECT_FALSE(inspect::RegValueExists(kRoot, Key("Values\\Missing")));
  EXPECT_TRUE(inspect::RegKeyExists(kRoot, Key("Values")));
  EXPECT_TRUE(inspect::RegDeleteValuePath(kRoot, Key("Values\\Name")));
  EXPECT_FALSE(inspect::RegValueExists(kRoot, Key("Values\\Name")));
}

TEST_P(HelperContract, DumpRendersEveryTypeAsTheReportShowsIt) {
  SetRaw(Key("Dump\\Multi"), win::kRegMultiSz, std::string_view("a\0b\0\0", 5));
  ASSERT_TRUE(inspect::RegWriteDword(kRoot, Key("Dump\\AllOnes"), 4294967295u));
  SetRaw(Key("Dump\\Blob"), win::kRegBinary, std::string_view("\x01\x02", 2));
  ASSERT_TRUE(inspect::RegWriteString(kRoot, Key("Dump\\Padded"), " \tC:\\x.exe \r\n"));
  SetRaw(Key("Dump\\Qword"), win::kRegQword, std::string_view("\x01\0\0\0\0\0\0\0", 8));

  scan::TReport report;
  scan::DumpRegistryKey("\\" + Key("Dump"), kRoot, report);
  const std::string keyLine = "Key: HKEY_CURRENT_USER\\" + Key("Dump") + "\r\n";
  // Wine enumerates values by name; compare without order.
  std::vector<std::string> items;
  for (size_t i = 0; i < report.Count(); ++i) items.push_back(report.Item(i));
  std::sort(items.begin(), items.end());
  const std::vector<std::string> expected = {
      "Value: AllOnes\r\nData: -1\r\n" + keyLine,
      "Value: Blob\r\nData: Binary Data\r\n" + keyLine,
      "Value: Multi\r\nData: Unknown\r\n" + keyLine,
      "Value: Padded\r\nData: C:\\x.exe\r\n" + keyLine,
      "Value: Qword\r\nData: Unknown\r\n" + keyLine,
  };
  EXPECT_EQ(items, expected);

  scan::TReport missing;
  scan::DumpRegistryKey("\\" + Key("NoSuchKey"), kRoot, missing);
  EXPECT_EQ(missing.Count(), 0u);
}

TEST_P(HelperContract, RecursiveDeleteRemovesThreeLevels) {
  for (const char* path : {"Tree\\A\\B\\C", "Tree\\A\\B2", "Tree\\D"}) {
    ASSERT_TRUE(inspect::RegWriteString(kRoot, Key(std::string(path) + "\\v"), "x"));
  }
  EXPECT_FALSE(inspect::RegDeleteKeyPath(kRoot, Key("Tree"), false));
  EXPECT_TRUE(inspect::RegKeyExists(kRoot, Key("Tree\\A\\B\\C")));
  EXPECT_TRUE(inspect::RegDeleteKeyPath(kRoot, Key("Tree"), true));
  EXPECT_FALSE(inspect::RegKeyExists(kRoot, Key("Tree")));
  EXPECT_TRUE(inspect::RegKeyExists(kRoot, Key()));
  EXPECT_FALSE(inspect::RegDeleteKeyPath(kRoot, "Software", true));  // never directly below a root
  EXPECT_TRUE(inspect::RegKeyExists(kRoot, "Software"));
}

TEST_P(HelperContract, EmptyFolderDeletesReadOnlyFilesAndKeepsSubfoldersWhenNotRecursive) {
  const std::string folder = scratch().PathOf("Empty") + "\\";
  ASSERT_TRUE(Fs().CreateDirectory(scratch().PathOf("Empty")));
  ASSERT_TRUE(Fs().CreateDirectory(folder + "Sub"));
  ASSERT_TRUE(bs_test::WriteWholeFile(folder + "plain.txt", "x"));
  ASSERT_TRUE(bs_test::WriteWholeFile(folder + "locked.txt", "y"));
  ASSERT_TRUE(bs_test::WriteWholeFile(folder + "Sub\\inner.txt", "z"));
  ASSERT_TRUE(Fs().SetFileAttributes(folder + "locked.txt", win::kFileAttributeReadonly));

  inspect::EmptyFolder(folder, false);
  EXPECT_EQ(Fs().GetFileAttributes(folder + "plain.txt"), win::kInvalidFileAttributes);
  EXPECT_EQ(Fs().GetFileAttributes(folder + "locked.txt"), win::kInvalidFileAttributes);
  EXPECT_NE(Fs().GetFileAttributes(folder + "Sub\\inner.txt"), win::kInvalidFileAttributes);

  inspect::EmptyFolder(folder, true);
  EXPECT_EQ(Fs().GetFileAttributes(folder + "Sub"), win::kInvalidFileAttributes);
  EXPECT_NE(Fs().GetFileAttributes(scratch().PathOf("Empty")), win::kInvalidFileAttributes);
}

TEST_P(HelperContract, AppendTextToFileCreatesThenAppendsAndRaisesOnAMissingFolder) {
  const std::string path = scratch().PathOf("log.txt");
  inspect::AppendTextToFile(path, "one");
  inspect::AppendTextToFile(path, "two");
  EXPECT_EQ(bs_test::ReadWholeFile(path).value_or("?"), "one\r\ntwo\r\n");
  try {
    inspect::AppendTextToFile(scratch().PathOf("missing\\log.txt"), "x");
    ADD_FAILURE() << "no error raised";
  } catch (const inspect::EFileError& error) {
    EXPECT_EQ(error.code(), win::kErrorPathNotFound);
  }
}

INSTANTIATE_TEST_SUITE_P(Backends, HelperContract, testing::ValuesIn(bs_test::ContractBackends()),
                         bs_test::BackendName);

}  // namespace
