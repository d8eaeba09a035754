// Files as the fake models them, checked against the real file system.
#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "tests/support/backend_fixture.h"

namespace {

using namespace platform;
using bs_test::ReadWholeFile;
using bs_test::WriteWholeFile;

class FilesContract : public bs_test::ContractTest {
 protected:
  std::string Path(const std::string& relative) { return scratch().PathOf(relative); }

  // Every name FindFirstFile/FindNextFile return for a pattern, as a set; the last error
  // after the final FindNextFile must be "no more files".
  static std::set<std::string> FindNames(const std::string& pattern) {
    std::set<std::string> names;
    FindData data;
    Handle find = Fs().FindFirstFile(pattern, &data);
    if (find == kInvalidHandle) return names;
    do {
      names.insert(data.name);
    } while (Fs().FindNextFile(find, &data));
    EXPECT_EQ(Sys().GetLastError(), win::kErrorNoMoreFiles) << pattern;
    Fs().FindClose(find);
    return names;
  }

  static std::string Read(Handle file, uint32_t size) {
    std::string text(size, '\0');
    uint32_t got = 0;
    EXPECT_TRUE(Fs().ReadFile(file, text.data(), size, &got));
    text.resize(got);
    return text;
  }
};

TEST_P(FilesContract, WrittenAndAppendedBytesReadBack) {
  const std::string path = Path("log.txt");
  ASSERT_TRUE(WriteWholeFile(path, "hello"));

  Handle append = Fs().CreateFile(path, win::kFileAppendData, 0, win::kOpenExisting, 0);
  ASSERT_NE(append, kInvalidHandle);
  uint32_t written = 0;
  EXPECT_TRUE(Fs().WriteFile(append, " world", 6, &written));
  EXPECT_EQ(written, 6u);
  EXPECT_TRUE(Fs().CloseHandle(append));

  Handle file = Fs().CreateFile(path, win::kGenericRead, win::kFileShareRead, win::kOpenExisting, 0);
  ASSERT_NE(file, kInvalidHandle);
  uint64_t size = 0;
  EXPECT_TRUE(Fs().GetFileSize(file, &size));
  EXPECT_EQ(size, 11u);
  EXPECT_EQ(Read(file, 100), "hello world");
  EXPECT_EQ(Read(file, 100), "");  // at the end: success, nothing read

  uint64_t position = 0;
  EXPECT_TRUE(Fs().SetFilePointer(file, 6, win::kFileBegin, &position));
  EXPECT_EQ(position, 6u);
  EXPECT_EQ(Read(file, 3), "wor");
  EXPECT_TRUE(Fs().SetFilePointer(file, -4, win::kFileEnd, &position));
  EXPECT_EQ(position, 7u);
  EXPECT_TRUE(Fs().SetFilePointer(file, -2, win::kFileCurrent, &position));
  EXPECT_EQ(position, 5u);
  EXPECT_EQ(Read(file, 100), " world");
  EXPECT_FALSE(Fs().SetFilePointer(file, -1, win::kFileBegin, &position));

  FileTime creation = 0, access = 0, write = 0;
  EXPECT_TRUE(Fs().GetFileTime(file, &creation, &access, &write));
  EXPECT_NE(write, 0u);
  EXPECT_TRUE(Fs().CloseHandle(file));

  // Opening an existing file with OPEN_ALWAYS keeps it; CREATE_ALWAYS empties it.
  file = Fs().CreateFile(path, win::kGenericWrite, 0, win::kOpenAlways, 0);
  ASSERT_NE(file, kInvalidHandle);
  Fs().CloseHandle(file);
  EXPECT_EQ(ReadWholeFile(path), "hello world");
  ASSERT_TRUE(WriteWholeFile(path, "new"));
  EXPECT_EQ(ReadWholeFile(path), "new");
}

TEST_P(FilesContract, CreateFileFailuresSetTheLastError) {
  ASSERT_TRUE(WriteWholeFile(Path("exists.txt"), "x"));
  ASSERT_TRUE(Fs().CreateDirectory(Path("folder")));
  struct Case {
    const char* path;
    uint32_t access, disposition, error;
  };
  const Case cases[] = {
      {"exists.txt", win::kGenericWrite, win::kCreateNew, win::kErrorFileExists},
      {"absent.txt", win::kGenericRead, win::kOpenExisting, win::kErrorFileNotFound},
      {"nofolder\\absent.txt", win::kGenericRead, win::kOpenExisting, win::kErrorPathNotFound},
      {"nofolder\\new.txt", win::kGenericWrite, win::kCreateAlways, win::kErrorPathNotFound},
      {"folder", win::kGenericRead, win::kOpenExisting, win::kErrorAccessDenied},
  };
  for (const Case& c : cases) {
    Sys().SetLastError(0);
    Handle file = Fs().CreateFile(Path(c.path), c.access, win::kFileShareRead, c.disposition, 0);
    EXPECT_EQ(file, kInvalidHandle) << c.path;
    EXPECT_EQ(Sys().GetLastError(), c.error) << c.path;
    if (file != kInvalidHandle) Fs().CloseHandle(file);
  }
  // A failed CREATE_NEW leaves the file as it was.
  EXPECT_EQ(ReadWholeFile(Path("exists.txt")), "x");
}

TEST_P(FilesContract, FindFirstFileMatchesMasksWithoutRegardToCase) {
  const std::string sub = Path("sub");
  ASSERT_TRUE(Fs().CreateDirectory(sub));
  ASSERT_TRUE(Fs().CreateDirectory(sub + "\\inner"));
  for (const char* name : {"a.exe", "B.EXE", "readme.txt", "noext", "setup.exe.bak"}) {
    ASSERT_TRUE(WriteWholeFile(sub + "\\" + name, "abc"));
  }
  using Names = std::set<std::string>;
  const Names all{".", "..", "a.exe", "B.EXE", "readme.txt", "noext", "setup.exe.bak", "inner"};
  const std::pair<const char*, Names> cases[] = {
      {"*.*", all},
      {"*", all},
      {"*.exe", {"a.exe", "B.EXE"}},
      {"*.EXE", {"a.exe", "B.EXE"}},
      {"b.exe", {"B.EXE"}},
      {"?.exe", {"a.exe", "B.EXE"}},
      {"noext.*", {"noext"}},
      {"READ*", {"readme.txt"}},
      {"*.bak", {"setup.exe.bak"}},
      {"*.dll", {}},
  };
  for (const auto& [mask, expected] : cases) EXPECT_EQ(FindNames(sub + "\\" + mask), expected) << mask;

  // Entry details: sizes, and the directory bit on folders and on "." and "..".
  FindData data;
  Handle find = Fs().FindFirstFile(sub + "\\*", &data);
  ASSERT_NE(find, kInvalidHandle);
  do {
    const bool folder = data.name == "." || data.name == ".." || data.name == "inner";
    EXPECT_EQ((data.attributes & win::kFileAttributeDirectory) != 0, folder) << data.name;
    if (!folder) {
      EXPECT_EQ(data.size, 3u) << data.name;
      EXPECT_NE(data.lastWriteTime, 0u) << data.name;
    }
  } while (Fs().FindNextFile(find, &data));
  Fs().FindClose(find);
}

TEST_P(FilesContract, FindFirstFileFailuresSetTheLastError) {
  ASSERT_TRUE(WriteWholeFile(Path("only.txt"), "x"));
  FindData data;
  EXPECT_EQ(Fs().FindFirstFile(Path("*.dll"), &data), kInvalidHandle);
  EXPECT_EQ(Sys().GetLastError(), win::kErrorFileNotFound);
  EXPECT_EQ(Fs().FindFirstFile(Path("missing\\*.*"), &data), kInvalidHandle);
  EXPECT_EQ(Sys().GetLastError(), win::kErrorPathNotFound);

  Handle find = Fs().FindFirstFile(Path("only.txt"), &data);
  ASSERT_NE(find, kInvalidHandle);
  EXPECT_EQ(data.name, "only.txt");
  EXPECT_FALSE(Fs().FindNextFile(find, &data));
  EXPECT_EQ(Sys().GetLastError(), win::kErrorNoMoreFiles);
  Fs().FindClose(find);
}

TEST_P(FilesContract, AttributesReadBackAsSet) {
  const std::string path = Path("attr.txt");
  ASSERT_TRUE(WriteWholeFile(path, "x"));
  // A new file carries the archive bit. Wine shows it on every file, so clearing it is not
  // compared here.
  EXPECT_EQ(Fs().GetFileAttributes(path) & win::kFileAttributeArchive, win::kFileAttributeArchive);
  constexpr uint32_t kCompared = win::kFileAttributeReadonly | win::kFileAttributeHidden;
  const uint32_t cases[] = {
      win::kFileAttributeHidden,
      win::kFileAttributeReadonly,
      win::kFileAttributeArchive,
      win::kFileAttributeHidden | win::kFileAttributeReadonly | win::kFileAttributeArchive,
      win::kFileAttributeHidden | win::kFileAttributeArchive,
  };
  for (uint32_t attributes : cases) {
    ASSERT_TRUE(Fs().SetFileAttributes(path, attributes)) << attributes;
    const uint32_t read = Fs().GetFileAttributes(path);
    EXPECT_EQ(read & kCompared, attributes & kCompared) << attributes;
    if (attributes & win::kFileAttributeArchive) {
      EXPECT_NE(read & win::kFileAttributeArchive, 0u) << attributes;
    }
    FindData data;
    Handle find = Fs().FindFirstFile(path, &data);
    ASSERT_NE(find, kInvalidHandle);
    EXPECT_EQ(data.attributes, read);
    Fs().FindClose(find);
  }
  ASSERT_TRUE(Fs().SetFileAttributes(path, win::kFileAttributeNormal));
  EXPECT_EQ(Fs().GetFileAttributes(path) & kCompared, 0u);

  EXPECT_EQ(Fs().GetFileAttributes(Path("absent.txt")), win::kInvalidFileAttributes);
  EXPECT_EQ(Sys().GetLastError(), win::kErrorFileNotFound);
  EXPECT_EQ(Fs().GetFileAttributes(Path("nofolder\\absent.txt")), win::kInvalidFileAttributes);
  EXPECT_EQ(Sys().GetLastError(), win::kErrorPathNotFound);
  EXPECT_NE(Fs().GetFileAttributes(scratch().folder()) & win::kFileAttributeDirectory, 0u);
}

TEST_P(FilesContract, ReadOnlyFileIsDeletedOnlyAfterClearingTheAttribute) {
  const std::string path = Path("locked.txt");
  ASSERT_TRUE(WriteWholeFile(path, "x"));
  ASSERT_TRUE(Fs().SetFileAttributes(path, win::kFileAttributeReadonly | win::kFileAttributeHidden));

  EXPECT_FALSE(Fs().DeleteFile(path));
  EXPECT_EQ(Sys().GetLastError(), win::kErrorAccessDenied);
  EXPECT_NE(Fs().GetFileAttributes(path), win::kInvalidFileAttributes);

  ASSERT_TRUE(Fs().SetFileAttributes(path, win::kFileAttributeNormal));
  EXPECT_TRUE(Fs().DeleteFile(path));
  EXPECT_EQ(Fs().GetFileAttributes(path), win::kInvalidFileAttributes);
  EXPECT_FALSE(Fs().DeleteFile(path));
  EXPECT_EQ(Sys().GetLastError(), win::kErrorFileNotFound);
}

TEST_P(FilesContract, RemoveDirectoryRefusesAFolderWithContents) {
  const std::string folder = Path("full");
  ASSERT_TRUE(Fs().CreateDirectory(folder));
  EXPECT_FALSE(Fs().CreateDirectory(folder));
  EXPECT_EQ(Sys().GetLastError(), win::kErrorAlreadyExists);
  EXPECT_FALSE(Fs().CreateDirectory(Path("nofolder\\deeper")));
  EXPECT_EQ(Sys().GetLastError(), win::kErrorPathNotFound);
  ASSERT_TRUE(WriteWholeFile(folder + "\\file.txt", "x"));

  EXPECT_FALSE(Fs().RemoveDirectory(folder));
  EXPECT_EQ(Sys().GetLastError(), win::kErrorDirNotEmpty);
  ASSERT_TRUE(Fs().DeleteFile(folder + "\\file.txt"));
  EXPECT_TRUE(Fs().RemoveDirectory(folder));
  EXPECT_EQ(Fs().GetFileAttributes(folder), win::kInvalidFileAttributes);
}

TEST_P(FilesContract, CopyFileHonoursFailIfExists) {
  const std::string from = Path("source.bin"), to = Path("copy.bin");
  ASSERT_TRUE(WriteWholeFile(from, std::string("MZ\0\x90", 4)));

  EXPECT_TRUE(Fs().CopyFile(from, to, true));
  EXPECT_EQ(ReadWholeFile(to), std::string("MZ\0\x90", 4));

  ASSERT_TRUE(WriteWholeFile(to, "changed"));
  EXPECT_FALSE(Fs().CopyFile(from, to, true));
  EXPECT_EQ(Sys().GetLastError(), win::kErrorFileExists);
  EXPECT_EQ(ReadWholeFile(to), "changed");

  EXPECT_TRUE(Fs().CopyFile(from, to, false));
  EXPECT_EQ(ReadWholeFile(to), std::string("MZ\0\x90", 4));

  EXPECT_FALSE(Fs().CopyFile(Path("absent.bin"), to, false));
  EXPECT_EQ(Sys().GetLastError(), win::kErrorFileNotFound);
}

TEST_P(FilesContract, MoveFileExReplacesOnlyWhenAsked) {
  const std::string from = Path("new.part"), to = Path("target.txt");
  ASSERT_TRUE(WriteWholeFile(from, "new"));
  ASSERT_TRUE(WriteWholeFile(to, "old"));

  EXPECT_FALSE(Fs().MoveFileEx(from, to, 0));
  EXPECT_EQ(Sys().GetLastError(), win::kErrorAlreadyExists);
  EXPECT_EQ(ReadWholeFile(to), "old");

  EXPECT_TRUE(Fs().MoveFileEx(from, to, win::kMoveFileReplaceExisting));
  EXPECT_EQ(ReadWholeFile(to), "new");
  EXPECT_EQ(Fs().GetFileAttributes(from), win::kInvalidFileAttributes);

  EXPECT_FALSE(Fs().MoveFileEx(Path("absent.part"), to, win::kMoveFileReplaceExisting));
  EXPECT_EQ(Sys().GetLastError(), win::kErrorFileNotFound);
  EXPECT_EQ(ReadWholeFile(to), "new");
}

TEST_P(FilesContract, FileHeldWithoutSharingCannotBeOpened) {
  const std::string path = Path("in-use.dat");
  ASSERT_TRUE(WriteWholeFile(path, "busy"));
  {
    bs_test::ExclusiveHold hold(scratch(), path);
    ASSERT_TRUE(hold.held());

    EXPECT_EQ(Fs().CreateFile(path, win::kGenericRead, win::kFileShareRead | win::kFileShareWrite,
                              win::kOpenExisting, 0),
              kInvalidHandle);
    EXPECT_EQ(Sys().GetLastError(), win::kErrorSharingViolation);
    EXPECT_FALSE(Fs().CopyFile(path, Path("copy.dat"), false));
    EXPECT_EQ(Sys().GetLastError(), win::kErrorSharingViolation);
    EXPECT_FALSE(Fs().DeleteFile(path));
    EXPECT_EQ(Sys().GetLastError(), win::kErrorSharingViolation);
    // Attributes and directory listings do not open the file.
    EXPECT_NE(Fs().GetFileAttributes(path), win::kInvalidFileAttributes);
    FindData data;
    Handle find = Fs().FindFirstFile(path, &data);
    EXPECT_NE(find, kInvalidHandle);
    if (find != kInvalidHandle) Fs().FindClose(find);
  }
  EXPECT_EQ(ReadWholeFile(path), "busy");
}

INSTANTIATE_TEST_SUITE_P(Backends, FilesContract, testing::ValuesIn(bs_test::ContractBackends()),
                         bs_test::BackendName);

}  // namespace
