// The call counter over the fake machine: what the helpers' calls count as, and that the backend
// is the machine's own again once the counter is gone.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "inspect/files.h"
#include "inspect/processes.h"
#include "inspect/registry.h"
#include "inspect/system.h"
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
    m.AddFile("C:\\app\\two.dll", "yy").version = fake::FileVersion{"Acme", "1.0"};
    m.AddProcess(1000, "C:\\app\\app.exe");
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
    EXPECT_FALSE(inspect::FileExists("C:\\app\\missing.dll"));
    EXPECT_EQ(inspect::FileCompanyName("C:\\app\\two.dll"), "Acme");
    EXPECT_EQ(inspect::GetSpecialFolder(win::kCsidlProgramFiles), "C:\\Program Files");
    EXPECT_EQ(inspect::ProcessExePath(1000), "C:\\app\\app.exe");  // the open, then the name
    uint32_t size = 0;
    std::vector<TcpRow> tcp;
    std::vector<UdpRow> udp;
    Ip().GetExtendedTcpTable(&size, true, win::kAfInet, win::kTcpTableOwnerPidAll, &tcp);
    Ip().GetExtendedUdpTable(&size, true, win::kAfInet, win::kUdpTableOwnerPid, &udp);
    Ip().AllocateAndGetUdpExTableFromStack(true, 0, win::kAfInet, &udp);
  }
  const TCallCounts c = CallCounts() - before;
  EXPECT_EQ(c.keysOpened, 2u);
  EXPECT_GE(c.keysEnumerated, 2u);  // the subkey and the end of the list
  EXPECT_EQ(c.valuesRead, 1u);
  EXPECT_EQ(c.filesOpened, 3u);     // the missing file's open counts too
  EXPECT_EQ(c.bytesRead, 2u);
  EXPECT_EQ(c.filesFound, 1u);
  EXPECT_EQ(c.findsStarted, 1u);
  EXPECT_EQ(c.attributesRead, 2u);
  EXPECT_EQ(c.attributesMissing, 1u);
  EXPECT_EQ(c.versionReads, 1u);
  EXPECT_EQ(c.pathLookups, 1u);
  EXPECT_EQ(c.processCalls, 2u);
  EXPECT_EQ(c.tcpTables, 1u);
  EXPECT_EQ(c.udpTables, 2u);
  EXPECT_EQ(c.bytesHashed, 70000u);
  EXPECT_EQ(c.pauses, 1u);
  EXPECT_EQ(c.servicesOpened, 2u);  // the manager, then the service
  const std::string text = CallCountsText(c);
  EXPECT_EQ(text.find("keys opened 2, "), 0u);
  EXPECT_NE(text.find(", attributes read 2, attributes missing 1, "), std::string::npos) << text;
  EXPECT_EQ(text.substr(text.rfind(", ")), ", version reads 1") << text;
}

TEST_F(CallCounter, LeavesNoTraceOnceGone) {
  // The facilities a counter puts in front of the backend's own.
  const auto counted = [] {
    const Backend& b = Current();
    return std::vector<const void*>{b.registry, b.files, b.services, b.system, b.processes, b.iphelper};
  };
  const std::vector<const void*> own = counted();
  {
    TCallCounter counter;
    const std::vector<const void*> inFront = counted();
    for (size_t i = 0; i < own.size(); ++i) EXPECT_NE(inFront[i], own[i]) << "facility " << i;
  }
  EXPECT_EQ(counted(), own);
  const TCallCounts before = CallCounts();
  EXPECT_TRUE(inspect::FileExists("C:\\app\\two.dll"));
  const TCallCounts after = CallCounts() - before;
  EXPECT_EQ(after.attributesRead, 0u);
}

}  // namespace
