// The file queries over real files: the same bodies over the fake and, under Wine, the real
// file system.
#include <string>

#include "inspect/files.h"
#include "inspect/md5.h"
#include "inspect/text.h"
#include "tests/support/backend_fixture.h"

namespace {

using namespace inspect;
using namespace platform;
using bs_test::BackendKind;
using bs_test::WriteWholeFile;

constexpr const char* kNoData = "d41d8cd98f00b204e9800998ecf8427e";

std::string Pattern(size_t size) {
  std::string bytes(size, '\0');
  uint32_t x = static_cast<uint32_t>(size) + 1;
  for (char& c : bytes) {
    x = x * 1103515245u + 12345u;
    c = static_cast<char>(x >> 24);
  }
  return bytes;
}

class FileQueryContract : public bs_test::ContractTest {
 protected:
  std::string Path(const std::string& relative) { return scratch().PathOf(relative); }
  bool real() { return scratch().kind() == BackendKind::Win32; }
};

TEST_P(FileQueryContract, SizeAttributesAndDates) {
  const std::string path = Path("five.bin");
  ASSERT_TRUE(WriteWholeFile(path, "12345"));
  EXPECT_EQ(FileSizeOf(path), 5u);

  using namespace win;
  const std::pair<uint32_t, std::string> cases[] = {
      {kFileAttributeHidden | kFileAttributeReadonly | kFileAttributeArchive, "H-AR"},
      {kFileAttributeHidden | kFileAttributeSystem, "HS--"},
      {kFileAttributeReadonly, "---R"},
      {kFileAttributeNormal, "----"},
  };
  for (const auto& [attributes, letters] : cases) {
    ASSERT_TRUE(Fs().SetFileAttributes(path, attributes));
    std::string got = FileAttrText(path);
    if (real() && letters[2] == '-' && got.size() == 4) got[2] = '-';  // Wine always reports the archive bit
    EXPECT_EQ(got, letters) << attributes;
  }

  for (int which : {1, 2, 3}) EXPECT_NE(FileDateText(path, which), "") << which;
  EXPECT_EQ(FileDateText(path, 4), "");

  const std::string missing = Path("missing.bin");
  EXPECT_EQ(FileSizeOf(missing), 0u);
  EXPECT_EQ(FileAttrText(missing), "----");
  EXPECT_EQ(FileDateText(missing, 3), "");
}

// Sizes past 4 GiB come whole from the directory entry. A sparse file: the fake keeps contents in memory.
TEST_P(FileQueryContract, SizeBeyondFourGigabytes) {
  if (!real()) GTEST_SKIP() << "the fake holds file contents in memory";
  const std::string path = Path("sparse.bin");
  Handle file = Fs().CreateFile(path, win::kGenericWrite, 0, win::kCreateAlways, 0);
  ASSERT_NE(file, kInvalidHandle);
  uint32_t written = 0;
  const uint64_t size = (5ull << 30) + 1;
  EXPECT_TRUE(Fs().SetFilePointer(file, static_cast<int64_t>(size - 1), win::kFileBegin, nullptr));
  EXPECT_TRUE(Fs().WriteFile(file, "x", 1, &written));
  Fs().CloseHandle(file);
  EXPECT_EQ(FileSizeOf(path), size);
}

TEST_P(FileQueryContract, FileHeldWithoutSharing) {
  const std::string path = Path("held.bin");
  const std::string contents = "held by another process";
  ASSERT_TRUE(WriteWholeFile(path, contents));
  {
    bs_test::ExclusiveHold hold(scratch(), path);
    ASSERT_TRUE(hold.held());
    EXPECT_EQ(FileMd5Text(path), kNoData);
    EXPECT_FALSE(CanOpenFile(path));
    EXPECT_EQ(ReadFileText(path), "");
    EXPECT_FALSE(IsPeFile(path));
    EXPECT_EQ(FileSizeOf(path), contents.size());  // the directory entry stays readable
  }
  EXPECT_EQ(FileMd5Text(path), Md5Text(contents));
  EXPECT_TRUE(CanOpenFile(path));
  EXPECT_EQ(ReadFileText(path), contents);
}

TEST_P(FileQueryContract, ShortFileAndRealPortableExecutable) {
  const std::string tiny = Path("tiny.exe");
  ASSERT_TRUE(WriteWholeFile(tiny, "MZ34567890"));
  EXPECT_FALSE(IsPeFile(tiny));
  EXPECT_TRUE(CanOpenFile(tiny));
  EXPECT_EQ(ReadFileText(tiny), "MZ34567890");
  EXPECT_EQ(FileCompanyName(tiny), "Unknown");
  EXPECT_EQ(FileProductVersion(tiny), "Unknown");

  const std::string dll = Sys().GetSystemDirectory() + "\\kernel32.dll";
  if (fake::Machine* m = scratch().machine()) {
    std::string image(512, '\0');
    image[0] = 'M', image[1] = 'Z', image[60] = static_cast<char>(0x80);
    image.replace(0x80, 4, std::string("PE\0\0", 4));
    m->AddFile(dll, image);
  }
  EXPECT_TRUE(IsPeFile(dll)) << dll;
  EXPECT_TRUE(CanOpenFile(dll)) << dll;
  EXPECT_FALSE(IsPeFile(Path("missing.dll")));
  EXPECT_FALSE(CanOpenFile(Path("missing.dll")));
}

// Across the block edges of MD5 and, at 16 MiB + 3, across two mapped views.
TEST_P(FileQueryContract, Md5OfGeneratedFiles) {
  for (size_t size : {0, 1, 55, 56, 63, 64, 65, 1000, (1 << 20) + 3, (16 << 20) + 3}) {
    const std::string bytes = Pattern(size);
    const std::string path = Path("gen-" + std::to_string(size) + ".bin");
    ASSERT_TRUE(WriteWholeFile(path, bytes)) << size;
    EXPECT_EQ(FileMd5Text(path), Md5Text(bytes)) << size;
    Fs().DeleteFile(path);
  }
  EXPECT_EQ(FileMd5Text(Path("missing.bin")), kNoData);
}

// A program with version information: the fake's FakeFile::version, the real helper beside bs_tests.
TEST_P(FileQueryContract, VersionInformationWithPaddedCompany) {
  std::string path;
  if (fake::Machine* m = scratch().machine()) {
    path = Path("versioned.exe");
    m->AddFile(path, "MZ").version = fake::FileVersion{"  Acme Tools  ", "2.5.1"};
  } else {
    path = FolderPart(Sys().GetModuleFileName()) + "versioned.exe";
    ASSERT_NE(Fs().GetFileAttributes(path), win::kInvalidFileAttributes) << path << " is built with the tests";
  }
  EXPECT_EQ(FileCompanyName(path), "Acme Tools");
  EXPECT_EQ(FileProductVersion(path), "2.5.1");
}

INSTANTIATE_TEST_SUITE_P(Backends, FileQueryContract, testing::ValuesIn(bs_test::ContractBackends()),
                         bs_test::BackendName);

}  // namespace
