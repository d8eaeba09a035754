// Process helpers over the fake machine: executable paths, module lists, look-up by name and
// folder, and the image folder through the device path.
#include <gtest/gtest.h>

#include "inspect/processes.h"
#include "platform/fake/fake_machine.h"

namespace {

using namespace inspect;
using Modules = std::vector<std::string>;

class ProcessHelpers : public ::testing::Test {
 protected:
  void SetUp() override { m.Install(); }
  platform::fake::Machine m;
};

TEST_F(ProcessHelpers, ProcessExePath) {
  m.AddProcess(100, "C:\\WINDOWS\\system32\\svchost.exe");
  m.AddProcess(200, "C:\\WINDOWS\\system32\\lsass.exe").accessible = false;
  EXPECT_EQ(ProcessExePath(100), "C:\\WINDOWS\\system32\\svchost.exe");
  EXPECT_EQ(ProcessExePath(200), "");
  EXPECT_EQ(ProcessExePath(999), "");
}

TEST_F(ProcessHelpers, CollectModulesSkipsTheExecutableAndDuplicates) {
  m.AddProcess(100, "C:\\WINDOWS\\explorer.exe",
               {"C:\\WINDOWS\\system32\\ntdll.dll", "C:\\WINDOWS\\system32\\kernel32.dll", "C:\\Bad\\hook.dll"});
  m.AddProcess(200, "C:\\Program Files\\App\\app.exe",
               {"C:\\WINDOWS\\SYSTEM32\\NTDLL.DLL", "C:\\Program Files\\App\\app.exe", "C:\\Program Files\\App\\plug.dll",
                "C:\\Bad\\hook.dll"});

  Modules list{"c:\\windows\\system32\\kernel32.dll"};  // held already, in another case
  EXPECT_TRUE(CollectProcessModules(100, list));
  EXPECT_TRUE(CollectProcessModules(200, list));
  EXPECT_EQ(list, (Modules{"c:\\windows\\system32\\kernel32.dll", "C:\\WINDOWS\\system32\\ntdll.dll", "C:\\Bad\\hook.dll",
                           "C:\\Program Files\\App\\plug.dll"}));
}

TEST_F(ProcessHelpers, CollectModulesOfAClosedProcessAddsNothing) {
  m.AddProcess(300, "C:\\WINDOWS\\system32\\csrss.exe", {"C:\\WINDOWS\\system32\\csrsrv.dll"}).accessible = false;
  Modules list{"C:\\x.dll"};
  EXPECT_FALSE(CollectProcessModules(300, list));
  EXPECT_FALSE(CollectProcessModules(301, list));
  EXPECT_EQ(list, Modules{"C:\\x.dll"});
}

TEST_F(ProcessHelpers, CollectModulesStopsAtTwoHundred) {
  Modules many;
  for (int i = 0; i < 250; ++i) many.push_back("C:\\Many\\m" + std::to_string(i) + ".dll");
  m.AddProcess(400, "C:\\Many\\host.exe", many);
  Modules list;
  EXPECT_TRUE(CollectProcessModules(400, list));
  // 200 handles, the first of them the executable itself.
  ASSERT_EQ(list.size(), 199u);
  EXPECT_EQ(list.back(), "C:\\Many\\m198.dll");
}

TEST_F(ProcessHelpers, FindProcessIdTakesTheLaterMatchInSnapshotOrder) {
  m.AddProcess(2000, "C:\\WINDOWS\\explorer.exe");
  m.AddProcess(900, "C:\\Temp\\explorer.exe");     // right name, wrong folder
  m.AddProcess(1200, "C:\\WINDOWS\\EXPLORER.EXE");  // later in the snapshot, lower id
  m.AddProcess(1300, "C:\\WINDOWS\\explorer.exe.bak");
  m.AddProcess(1400, "C:\\WINDOWS\\explorer.exe").accessible = false;  // its folder cannot be read

  struct Case {
    const char* name;
    const char* folder;
    uint32_t pid;
  } cases[] = {
      {"explorer.exe", "C:\\WINDOWS\\", 1200},
      {"Explorer.EXE", "c:\\windows\\", 1200},
      {"C:\\Somewhere\\explorer.exe", "C:\\WINDOWS\\", 1200},  // only the file name part counts
      {"explorer.exe", "C:\\Temp\\", 900},
      {"explorer.exe", "C:\\WINDOWS", 0},  // the folder carries its "\"
      {"notepad.exe", "C:\\WINDOWS\\", 0},
  };
  for (const Case& c : cases) EXPECT_EQ(FindProcessId(c.name, c.folder), c.pid) << c.name << " in " << c.folder;

  m.processes().snapshotFails = true;
  EXPECT_EQ(FindProcessId("explorer.exe", "C:\\WINDOWS\\"), 0u);
}

TEST_F(ProcessHelpers, ProcessImageFolder) {
  m.AddProcess(100, "C:\\WINDOWS\\explorer.exe");
  m.AddProcess(200, "C:\\PROGRA~1\\MYAPP~1\\app.exe");
  m.system().longPaths["C:\\PROGRA~1\\MYAPP~1"] = "C:\\Program Files\\My App";
  m.AddProcess(300, "C:\\WINDOWS\\closed.exe").accessible = false;
  m.AddProcess(400, "C:\\WINDOWS\\odd.exe").imageDevicePath = "\\Device\\Unmapped\\odd.exe";

  EXPECT_EQ(ProcessImageFolder(100), "C:\\WINDOWS");
  EXPECT_EQ(ProcessImageFolder(200), "C:\\Program Files\\My App");
  EXPECT_EQ(ProcessImageFolder(300), "");
  EXPECT_EQ(ProcessImageFolder(400), "");
  EXPECT_EQ(ProcessImageFolder(999), "");
  EXPECT_EQ(ProcessImageFolder(0), "");

  m.processes().hasProcessImageFileName = false;
  EXPECT_EQ(ProcessImageFolder(100), "");
}

}  // namespace
