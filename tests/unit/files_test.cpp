// The file queries and service-manager queries over the fake machine.
#include <gtest/gtest.h>

#include <string>

#include "inspect/files.h"
#include "platform/fake/fake_machine.h"

namespace {

using namespace inspect;
using namespace platform;

// A FILETIME for a UTC date and time.
FileTime FileTimeOf(int year, int month, int day, int hour, int minute, int second) {
  year -= month <= 2;
  const int64_t era = year / 400;
  const int64_t yoe = year - era * 400;
  const int64_t doy = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  const int64_t daysSince1970 = era * 146097 + doe - 719468;
  const int64_t seconds = (daysSince1970 + 134774) * 86400 + hour * 3600 + minute * 60 + second;
  return static_cast<FileTime>(seconds) * 10000000u;
}

// "MZ", e_lfanew at byte 60, and what stands there.
std::string PeImage(uint32_t ntOffset, const std::string& signature, size_t ntBytes) {
  std::string image(ntOffset, '\0');
  image[0] = 'M';
  image[1] = 'Z';
  for (int i = 0; i < 4; ++i) image[60 + i] = static_cast<char>(ntOffset >> (8 * i));
  image += signature;
  image.resize(ntOffset + ntBytes, '\x11');
  return image;
}

class Files : public testing::Test {
 protected:
  void SetUp() override { m.Install(); }
  fake::Machine m;
};

TEST_F(Files, VersionInformation) {
  m.AddFile("C:\\app\\padded.exe").version = fake::FileVersion{"  Acme  ", " 1.0 "};
  m.AddFile("C:\\app\\blank.exe").version = fake::FileVersion{" \t ", "  "};
  m.AddFile("C:\\app\\plain.exe");
  EXPECT_EQ(FileCompanyName("C:\\app\\padded.exe"), "Acme");
  EXPECT_EQ(FileProductVersion("C:\\app\\padded.exe"), " 1.0 ");  // as stored
  for (const char* path : {"C:\\app\\blank.exe", "C:\\app\\plain.exe", "C:\\app\\missing.exe", ""}) {
    EXPECT_EQ(FileCompanyName(path), "Unknown") << path;
    EXPECT_EQ(FileProductVersion(path), "Unknown") << path;
  }
}

TEST_F(Files, SizeAndAttributeLetters) {
  using namespace win;
  const std::pair<uint32_t, const char*> cases[] = {
      {kFileAttributeHidden | kFileAttributeReadonly | kFileAttributeArchive, "H-AR"},
      {kFileAttributeHidden | kFileAttributeSystem, "HS--"},
      {kFileAttributeArchive, "--A-"},
      {kFileAttributeNormal, "----"},
  };
  for (const auto& [attributes, letters] : cases) {
    m.AddFile("C:\\data\\f.bin", "12345", attributes);
    EXPECT_EQ(FileAttrText("C:\\data\\f.bin"), letters) << attributes;
  }
  EXPECT_EQ(FileAttrText("C:\\data\\missing.bin"), "----");
  EXPECT_EQ(FileSizeOf("C:\\data\\f.bin"), 5u);
  EXPECT_EQ(FileSizeOf("C:\\data\\missing.bin"), 0u);
  EXPECT_EQ(FileSizeOf(""), 0u);
}

TEST_F(Files, DatesInLocalTimeWithoutTheTimeAtMidnight) {
  m.system().utcOffsetMinutes = 60;
  fake::FakeFile& file = m.AddFile("C:\\data\\f.bin");
  file.creationTime = FileTimeOf(2009, 12, 2, 7, 15, 45);
  file.lastAccessTime = FileTimeOf(2009, 12, 1, 23, 0, 0);  // local midnight
  file.lastWriteTime = FileTimeOf(2009, 12, 2, 13, 0, 5);
  EXPECT_EQ(FileDateText("C:\\data\\f.bin", 1), "12/2/2009 8:15:45 AM");
  EXPECT_EQ(FileDateText("C:\\data\\f.bin", 2), "12/2/2009");
  EXPECT_EQ(FileDateText("C:\\data\\f.bin", 3), "12/2/2009 2:00:05 PM");

  m.system().shortDateFormat = "dd.MM.yyyy";
  m.system().longTimeFormat = "HH:mm:ss";
  EXPECT_EQ(FileDateText("C:\\data\\f.bin", 3), "02.12.2009 14:00:05");
  for (int which : {0, 4, -1}) EXPECT_EQ(FileDateText("C:\\data\\f.bin", which), "") << which;
  EXPECT_EQ(FileDateText("C:\\data\\missing.bin", 1), "");
}

TEST_F(Files, OpeningAndReading) {
  m.AddFile("C:\\data\\text.txt", "line 1\r\nline 2\r\n", win::kFileAttributeReadonly);
  m.AddFile("C:\\data\\held.txt", "secret").lockedExclusive = true;
  EXPECT_TRUE(CanOpenFile("C:\\data\\text.txt"));
  EXPECT_EQ(ReadFileText("C:\\data\\text.txt"), "line 1\r\nline 2\r\n");
  for (const char* path : {"C:\\data\\held.txt", "C:\\data\\missing.txt", "C:\\data", ""}) {
    EXPECT_FALSE(CanOpenFile(path)) << path;
    EXPECT_EQ(ReadFileText(path), "") << path;
  }
}

TEST_F(Files, PortableExecutableTest) {
  const std::pair<std::string, bool> cases[] = {
      {PeImage(64, std::string("PE\0\0", 4), 248), true},
      {PeImage(0x80, std::string("PE\0\0", 4), 400), true},
      {PeImage(64, std::string("PE\0\1", 4), 248), false},
      {PeImage(64, "NE", 248), false},
      {PeImage(64, std::string("PE\0\0", 4), 247), false},  // shorter than the headers it must hold
      {PeImage(64, "", 0).substr(0, 63), false},
      {"MZ" + std::string(58, '\0') + "\xff\xff\xff\x7f", false},  // offset far beyond the end
      {"ZM" + PeImage(64, std::string("PE\0\0", 4), 248).substr(2), false},
      {"0123456789", false},
      {"", false},
  };
  int i = 0;
  for (const auto& [contents, pe] : cases) {
    const std::string path = "C:\\data\\f" + std::to_string(i++) + ".bin";
    m.AddFile(path, contents);
    EXPECT_EQ(IsPeFile(path), pe) << path;
  }
  m.AddFile("C:\\data\\held.dll", PeImage(64, std::string("PE\0\0", 4), 248)).lockedExclusive = true;
  EXPECT_FALSE(IsPeFile("C:\\data\\held.dll"));
  EXPECT_FALSE(IsPeFile("C:\\data\\missing.dll"));
}

// The library comes from "SFC.dll" when the system folder holds it, else from "sfc_os.dll"; a copy
// in the current folder does not count.
TEST_F(Files, WindowsFileProtection) {
  const std::string kernel = "C:\\WINDOWS\\system32\\kernel32.dll";
  m.system().protectedFiles = {kernel};
  EXPECT_TRUE(IsProtectedSystemFile(kernel));
  EXPECT_TRUE(IsProtectedSystemFile("c:\\windows\\SYSTEM32\\KERNEL32.DLL"));
  EXPECT_FALSE(IsProtectedSystemFile("C:\\WINDOWS\\system32\\other.dll"));

  m.system().sfcLibraries = {"SFC.dll"};  // Windows 2000: only SFC.dll exports the test
  EXPECT_FALSE(IsProtectedSystemFile(kernel));
  m.AddFile("SFC.dll");  // planted beside the program, found by a bare name
  EXPECT_FALSE(IsProtectedSystemFile(kernel));
  m.AddFile("C:\\WINDOWS\\system32\\SFC.dll");
  EXPECT_TRUE(IsProtectedSystemFile(kernel));

  m.system().sfcLibraries = {"sfc_os.dll"};
  EXPECT_FALSE(IsProtectedSystemFile(kernel));
  m.system().sfcLibraries.clear();
  m.RemoveFile("C:\\WINDOWS\\system32\\SFC.dll");
  EXPECT_FALSE(IsProtectedSystemFile(kernel));
}

TEST_F(Files, ServiceManagerQueries) {
  m.AddService("Runner", "Runner", win::kServiceWin32OwnProcess, win::kServiceRunning, "C:\\svc\\runner.exe -k");
  m.AddService("Idle", "Idle", win::kServiceWin32OwnProcess, win::kServiceStopped, "C:\\svc\\idle.exe");
  m.AddService("Closed", "Closed", win::kServiceWin32OwnProcess, win::kServiceRunning, "C:\\svc\\c.exe").accessible =
      false;
  m.AddService("Long", "Long", win::kServiceWin32OwnProcess, win::kServiceRunning, "C:\\" + std::string(5000, 'x'));

  EXPECT_EQ(ServiceState("", "Runner"), win::kServiceRunning);
  EXPECT_TRUE(IsServiceRunning("", "runner"));
  EXPECT_EQ(ServiceState("", "Idle"), win::kServiceStopped);
  EXPECT_FALSE(IsServiceRunning("", "Idle"));
  EXPECT_EQ(ServiceBinaryPath("Runner"), "C:\\svc\\runner.exe -k");
  for (const char* name : {"Closed", "Missing", ""}) {
    EXPECT_EQ(ServiceState("", name), 0u) << name;
    EXPECT_FALSE(IsServiceRunning("", name)) << name;
    EXPECT_EQ(ServiceBinaryPath(name), "") << name;
  }
  EXPECT_EQ(ServiceBinaryPath("Long"), "");  // does not fit the 4096-byte buffer
  EXPECT_EQ(ServiceState("\\\\elsewhere", "Runner"), 0u);

  m.services().managerOpens = false;
  EXPECT_EQ(ServiceState("", "Runner"), 0u);
  EXPECT_EQ(ServiceBinaryPath("Runner"), "");
}

}  // namespace
