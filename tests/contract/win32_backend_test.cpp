// The real backend's calls that have no fake counterpart to compare with: each answers
// with the shape Windows gives (checked under Wine).
#ifdef BS_WIN32_BACKEND

#include <algorithm>
#include <string>

#include "platform/win32/win32_backend.h"
#include "tests/support/backend_fixture.h"

namespace {

using namespace platform;

class Win32Backend : public testing::Test {
 protected:
  void SetUp() override { scratch_ = std::make_unique<bs_test::BackendScratch>(bs_test::BackendKind::Win32); }
  void TearDown() override { scratch_.reset(); }
  std::unique_ptr<bs_test::BackendScratch> scratch_;
};

std::string Upper(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
  return text;
}

bool IsFolder(const std::string& path) {
  const uint32_t attributes = Fs().GetFileAttributes(path);
  return attributes != win::kInvalidFileAttributes && (attributes & win::kFileAttributeDirectory);
}

TEST_F(Win32Backend, SystemFoldersAndPathsExist) {
  const std::string windows = Sys().GetWindowsDirectory(), system = Sys().GetSystemDirectory();
  EXPECT_TRUE(IsFolder(windows)) << windows;
  EXPECT_EQ(Upper(system).rfind(Upper(windows) + "\\", 0), 0u) << system;
  for (int csidl : {win::kCsidlAppData, win::kCsidlProgramFiles, win::kCsidlCommonAppData}) {
    const std::string folder = Sys().GetSpecialFolderPath(csidl);
    EXPECT_TRUE(IsFolder(folder)) << csidl << " -> '" << folder << "'";
  }
  const std::string module = Sys().GetModuleFileName();
  EXPECT_EQ(Upper(module).substr(module.size() - 4), ".EXE") << module;
  EXPECT_NE(Fs().GetFileAttributes(module), win::kInvalidFileAttributes) << module;

  const auto devices = Sys().QueryDosDevice(windows.substr(0, 2));
  ASSERT_FALSE(devices.empty());
  EXPECT_EQ(devices[0].rfind("\\", 0), 0u) << devices[0];
  EXPECT_TRUE(Sys().QueryDosDevice("NoSuchDevice").empty());
}

TEST_F(Win32Backend, VersionIsAnNtVersion) {
  const OsVersion version = Sys().GetVersion();
  EXPECT_EQ(version.platformId, win::kVerPlatformWin32Nt);
  EXPECT_GE(version.major, 5u);
  EXPECT_NE(version.build, 0u);
  EXPECT_TRUE(Sys().IsWow64Process().has_value());
}

TEST_F(Win32Backend, OwnProcessIsListedWithItsModules) {
  const uint32_t self = Procs().GetCurrentProcessId();
  const auto processes = Procs().SnapshotProcesses();
  ASSERT_TRUE(processes.has_value());
  const auto own = std::find_if(processes->begin(), processes->end(), [&](const ProcessEntry& p) { return p.pid == self; });
  ASSERT_NE(own, processes->end());
  const std::string module = Sys().GetModuleFileName();
  EXPECT_EQ(Upper(own->exeFile), Upper(module.substr(module.find_last_of('\\') + 1)));

  Handle process = Procs().OpenProcess(win::kProcessQueryInformation | win::kProcessVmRead, self);
  ASSERT_NE(process, kNoHandle);
  std::vector<uintptr_t> modules;
  ASSERT_TRUE(Procs().EnumProcessModules(process, &modules, 1024));
  ASSERT_GE(modules.size(), 2u);  // the executable and at least ntdll
  EXPECT_EQ(Upper(Procs().GetModuleFileNameEx(process, 0, 261)), Upper(module));
  EXPECT_EQ(Upper(Procs().GetModuleFileNameEx(process, modules[0], 261)), Upper(module));
  EXPECT_EQ(Procs().GetModuleFileNameEx(process, 0, 4), module.substr(0, 3));  // cut to the buffer
  std::vector<uintptr_t> first;
  ASSERT_TRUE(Procs().EnumProcessModules(process, &first, 1));
  EXPECT_EQ(first, std::vector<uintptr_t>{modules[0]});
  if (Procs().HasGetProcessImageFileName()) {
    const auto image = Procs().GetProcessImageFileName(process);
    ASSERT_TRUE(image.has_value());
    EXPECT_EQ(image->rfind("\\Device\\", 0), 0u) << *image;
  }
  Procs().CloseHandle(process);
  EXPECT_EQ(Procs().OpenProcess(win::kProcessQueryInformation, 0xFFFFFFF0), kNoHandle);
}

TEST_F(Win32Backend, ClipboardKeepsText) {
  if (!Clip().SetText("copied line")) GTEST_SKIP() << "no clipboard in this session";
  EXPECT_EQ(Clip().GetText(), "copied line");
}

}  // namespace

#endif  // BS_WIN32_BACKEND
