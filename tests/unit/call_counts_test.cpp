// The call counter over the fake machine: what the helpers' calls count as, and that the backend
// is the machine's own again once the counter is gone.
#include <gtest/gtest.h>

#include <string>

#include "inspect/files.h"
#include "inspect/registry.h"
#include "platform/call_counts.h"
#include "platform/fake/fake_machine.h"
#include "scan/options.h"

namespace {

using namespace platform;

class CallCounter : public testing::Test {
 protected:
  void SetUp() override {
    m.Install();
    m.SetString(kHkeyLocalMachine, "Software\\Acme", "A", "1");
    m.SetString(kHkeyLocalMachine, "Software\\Acme", "B", "2");
    m.CreateKey(kHkeyLocalMachine, "Software\\Acme\\Sub");
    m.AddFile("C:\\app\\one.dll", std::string(70000, 'x'));
    m.AddFile("C:\\app\\two.dll", "yy");
  }
  fake::Machine m;
};

TEST_F(CallCounter, CountsEachKindOfCallOnce) {
  const TCallCounts before = CallCounts();
  {
    TCallCounter counter;
    std::string text;
    EXPECT_TRUE(inspect::RegReadString(kHkeyLocalMachine, "Software\\Acme\\A", &text));
    EXPECT_EQ(inspect::ReaderSubkeyNames(kHkeyLocalMachine, "Software\\Acme").size(), 1u);
    EXPECT_TRUE(inspect::FileExists("C:\\app\\one.dll"));
    EXPECT_EQ(inspect::FileSizeOf("C:\\app\\two.dll"), 2u);
    EXPECT_EQ(inspect::FileMd5Text("C:\\app\\one.dll").size(), 32u);
    EXPECT_EQ(inspect::FileMd5Text("C:\\app\\missing.dll").size(), 32u);
    const scan::TScanOptions options;
    EXPECT_TRUE(options.Pause(true));
    EXPECT_TRUE(options.Pause(false));  // no pause taken
    EXPECT_FALSE(inspect::IsServiceRunning("", "NoSuchService"));
    EXPECT_EQ(inspect::ReadFileText("C:\\app\\two.dll"), "yy");
  }
  const TCallCounts c = CallCounts() - before;
  EXPECT_EQ(c.keysOpened, 2u);
  EXPECT_GE(c.keysEnumerated, 2u);  // the subkey and the end of the list
  EXPECT_EQ(c.valuesRead, 1u);
  EXPECT_EQ(c.filesOpened, 3u);     // the missing file's open counts too
  EXPECT_EQ(c.bytesRead, 2u);
  EXPECT_EQ(c.filesFound, 1u);
  EXPECT_EQ(c.attributesRead, 1u);
  EXPECT_EQ(c.bytesHashed, 70000u);
  EXPECT_EQ(c.pauses, 1u);
  EXPECT_EQ(c.servicesOpened, 2u);  // the manager, then the service
  EXPECT_EQ(CallCountsText(c).find("keys opened 2, "), 0u);
}

TEST_F(CallCounter, LeavesNoTraceOnceGone) {
  const Registry* registry = &Reg();
  const FileSystem* files = &Fs();
  const Services* services = &Svc();
  {
    TCallCounter counter;
    EXPECT_NE(&Reg(), registry);
    EXPECT_NE(&Fs(), files);
    EXPECT_NE(&Svc(), services);
  }
  EXPECT_EQ(&Reg(), registry);
  EXPECT_EQ(&Fs(), files);
  EXPECT_EQ(&Svc(), services);
  const TCallCounts before = CallCounts();
  EXPECT_TRUE(inspect::FileExists("C:\\app\\two.dll"));
  const TCallCounts after = CallCounts() - before;
  EXPECT_EQ(after.attributesRead, 0u);
}

}  // namespace
