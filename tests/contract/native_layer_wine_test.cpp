// The native layer over the real ntdll of the prefix: the numbers read from the file are the
// operands of the stubs mapped in the process, and the services go through the exports.
#if defined(BS_WIN32_BACKEND) && defined(__i386__)

#include <process.h>

#include <string>

#include "inspect/text.h"
#include "platform/handles.h"
#include "rootkit/native_layer.h"
#include "tests/support/backend_fixture.h"

namespace {

using namespace platform;

class NativeLayerWine : public testing::Test {
 protected:
  void SetUp() override {
    scratch_ = std::make_unique<bs_test::BackendScratch>(bs_test::BackendKind::Win32);
    rootkit::InitNativeLayer();
  }
  std::unique_ptr<bs_test::BackendScratch> scratch_;
};

TEST_F(NativeLayerWine, NumbersOnDiskAreTheMappedStubOperands) {
  const rootkit::TNativeLayer& layer = rootkit::NativeLayer();
  ASSERT_TRUE(layer.UnderWine);
  const Address ntdll = Native().GetModuleHandle("ntdll.dll");
  for (size_t i = 0; i < kNativeServiceCount; ++i) {
    const char* name = kNativeServiceNames[i];
    SCOPED_TRACE(name);
    const Address stub = rootkit::GetExportAddress(ntdll, name);
    ASSERT_NE(stub, 0u);
    uint8_t mapped[5] = {};
    ASSERT_TRUE(Native().ReadOwnMemory(stub, mapped, sizeof mapped));
    EXPECT_EQ(mapped[0], 0xB8);
    EXPECT_NE(layer.SyscallNumbers[i], 0u);
    EXPECT_EQ(layer.SyscallNumbers[i], mapped[1] | mapped[2] << 8);
    const ServiceEntry entry = Native().GetServiceEntry(static_cast<NativeService>(i));
    EXPECT_EQ(entry.gate, ServiceGate::Export);
    EXPECT_EQ(entry.address, stub);
  }
}

TEST_F(NativeLayerWine, ForwardedExportResolvesInItsTarget) {
  // kernel32's HeapAlloc is forwarded to ntdll's RtlAllocateHeap.
  const Address kernel32 = Native().GetModuleHandle("kernel32.dll"), ntdll = Native().GetModuleHandle("ntdll.dll");
  const Address heapAlloc = rootkit::GetExportAddress(kernel32, "HeapAlloc");
  EXPECT_EQ(heapAlloc, rootkit::GetExportAddress(ntdll, "RtlAllocateHeap"));
  EXPECT_EQ(rootkit::GetExportAddress(kernel32, "heapalloc"), 0u);
  EXPECT_TRUE(rootkit::IsValidPEImage(ntdll));
  EXPECT_NE(rootkit::GetAlignedImageSize(ntdll), 0u);
}

TEST_F(NativeLayerWine, ChildProcessExecutableThroughTheLoaderList) {
  const std::string cmd = Sys().GetSystemDirectory() + "\\cmd.exe";
  const intptr_t child = _spawnl(_P_NOWAIT, cmd.c_str(), "cmd.exe", "/c", "ping -n 3 127.0.0.1 >nul", nullptr);
  ASSERT_NE(child, -1);
  uint32_t pid = 0;
  for (int tries = 0; tries < 200 && !pid; ++tries) {
    for (const ProcessEntry& p : Procs().SnapshotProcesses().value_or(std::vector<ProcessEntry>{})) {
      if (p.parentPid == Procs().GetCurrentProcessId()) pid = p.pid;
    }
    if (!pid) Sys().Sleep(10, false);
  }
  ASSERT_NE(pid, 0u);
  ScopedNtHandle process(rootkit::OpenProcessById(0x410, false, pid));
  ASSERT_TRUE(process.ok());
  std::string path;
  uint32_t n = 0;
  for (int tries = 0; tries < 200 && !n; ++tries) {
    n = rootkit::GetRemoteModuleFileName(process.get(), 0, &path, 261);
    if (!n) Sys().Sleep(10, false);
  }
  ASSERT_GT(n, 0u);
  EXPECT_EQ(n, path.size());
  EXPECT_TRUE(inspect::EqualNoCase(path, cmd)) << path;
  Sys().SetLastError(0);
  std::string tooSmall;
  EXPECT_EQ(rootkit::GetRemoteModuleFileName(process.get(), 0, &tooSmall, n), 0u);
  EXPECT_EQ(Sys().GetLastError(), 122u);
  Address bases[256];
  uint32_t needed = 0;
  EXPECT_TRUE(rootkit::EnumRemoteModules(process.get(), bases, sizeof bases, &needed));
  rootkit::TRemoteModuleInfo info;
  ASSERT_TRUE(rootkit::GetRemoteModuleInfo(process.get(), 0, &info, sizeof info));
  EXPECT_EQ(info.base, bases[0]);
  EXPECT_EQ(rootkit::GetAllocationBase(process.get(), info.base + 0x10), info.base);
}

}  // namespace

#endif
