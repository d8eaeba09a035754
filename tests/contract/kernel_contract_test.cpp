// The driver client's calls: the fake kernel against Wine's kernel emulation running the real
// kvdrv.sys. Wine's service table is empty, so the fake here has none either; the rest of the
// kernel the fake models (tables, hooks, the system-call entry) Wine cannot show.
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "platform/handles.h"
#include "rootkit/kernel_inspect.h"
#include "rootkit/native_layer.h"
#include "rootkit/pe_image.h"
#include "tests/driver_bytes.h"
#include "tests/support/backend_fixture.h"
#include "tests/support/pe_builder.h"

namespace {

using namespace platform;

bs_test::PeExport Export(const std::string& name, std::vector<uint8_t> code) {
  bs_test::PeExport e;
  e.name = name;
  e.code = std::move(code);
  return e;
}

class KernelContract : public bs_test::ContractTest {
 protected:
  void SetUp() override {
    ContractTest::SetUp();
    if (fake::Machine* m = scratch().machine()) {
      for (size_t i = 0; i < kNativeServiceCount; ++i) {
        m->backend().native->SetServiceEntry(static_cast<NativeService>(i), {ServiceGate::Export, 0, 0x7C900000});
      }
      m->CreateKey(kHkeyLocalMachine, "system\\CurrentControlSet\\Services");
      m->kernel().modules = {{0x10000000, 0x200000, "\\SystemRoot\\system32\\ntoskrnl.exe"},
                             {0x10200000, 0x200000, "\\SystemRoot\\system32\\hal.dll"}};
      m->kernel().memory.regions[0x10000000] =
          fake::MemoryRegion{0x10000000, nt::kMemCommit, true, std::vector<uint8_t>(0x1000, 0x90)};
    } else {
      rootkit::InitNativeLayer();
    }
  }
};

TEST_P(KernelContract, FirstSystemModuleIsTheKernel) {
  Address base = 0;
  uint32_t size = 0;
  std::string path;
  ASSERT_TRUE(rootkit::GetKernelImageInfo(&base, &size, &path));
  EXPECT_NE(base, 0u);
  EXPECT_NE(size, 0u);
  EXPECT_EQ(path, Sys().GetSystemDirectory() + "\\ntoskrnl.exe");
  EXPECT_EQ(rootkit::KernelModuleOfAddress(base + size, false, path), "ntoskrnl.exe");
  EXPECT_EQ(rootkit::KernelModuleOfAddress(base, true, path), path.substr(0, 2) + "\\SystemRoot\\system32\\ntoskrnl.exe");
  EXPECT_EQ(rootkit::KernelModuleOfAddress(0x1000, false, path), "N/A");
}

// Registered, loaded, asked and removed again, as one run of the section does it.
TEST_P(KernelContract, DriverLoadsAnswersAndGoes) {
  const std::string driver = scratch().PathOf("kvdrv.sys");
  ASSERT_TRUE(bs_test::WriteWholeFile(driver, std::string(std::begin(kBuiltDriverBytes), std::end(kBuiltDriverBytes))));
  const std::string key = rootkit::DriverServiceKey("kvdrv");
  rootkit::UnregisterDriverService("kvdrv");
  ASSERT_TRUE(rootkit::RegisterDriverService("kvdrv", driver));
  ASSERT_TRUE(rootkit::LoadKernelDriver("kvdrv"));
  Handle device = kInvalidHandle;
  const bool opened = rootkit::OpenDriverDevice(&device);
  EXPECT_TRUE(opened);
  if (opened) {
    Address table = 0;
    EXPECT_FALSE(rootkit::GetServiceTableAddress(device, &table));
    // Refused, never read: a table-less kernel and an address in user space.
    IoStatus io;
    uint8_t out[16] = {};
    EXPECT_EQ(Native().DeviceIoControlFile(device, kNoHandle, &io, rootkit::kIoctlGetServiceTable, nullptr, 0, out, 4),
              nt::kStatusUnsuccessful);
    const uint32_t user = 0x00400000;
    EXPECT_EQ(Native().DeviceIoControlFile(device, kNoHandle, &io, rootkit::kIoctlReadKernelBytes, &user, 4, out, 15),
              0xC0000005u);  // STATUS_ACCESS_VIOLATION
    uint8_t bytes[rootkit::kKernelBytes];
    EXPECT_FALSE(rootkit::ReadKernelBytes(device, user, bytes));
  }
  EXPECT_TRUE(rootkit::UnloadKernelDriver("kvdrv"));
  rootkit::UnregisterDriverService("kvdrv");
  if (opened) {
    EXPECT_TRUE(Native().CloseDevice(device));
  }
  EXPECT_FALSE(rootkit::OpenDriverDevice(&device));
  ScopedKey left;
  EXPECT_NE(Reg().OpenKey(kHkeyLocalMachine, key, win::kKeyRead, left.out()), win::kErrorSuccess);
}

TEST_P(KernelContract, NoDriverNoDevice) {
  Handle device = kInvalidHandle;
  EXPECT_FALSE(rootkit::OpenDriverDevice(&device));
  EXPECT_EQ(device, kInvalidHandle);
}

// A PE file mapped as an image and loaded without its references: the same layout either way.
TEST_P(KernelContract, ImageMappedFromAFile) {
  bs_test::PeImage image;
  image.dllName = "ntmini.dll";
  image.exports = {Export("ZwClose", {0xB8, 0x19, 0x00, 0, 0, 0xC3}), Export("RtlFree", {0xC3, 0, 0, 0, 0, 0}),
                   Export("ZwOpenKey", {0xB8, 0x77, 0x00, 0, 0, 0xC3})};
  std::vector<uint8_t> bytes = image.Build();
  const uint32_t imageBase = 0x5A000000;  // away from the executable's own base
  std::memcpy(&bytes[0x58 + 28], &imageBase, 4);
  // Readable sections: a section without access flags is mapped without access (the fake does not
  // model section protection).
  const uint32_t access[3] = {0x60000020, 0x40000040, 0x40000040};
  for (int i = 0; i < 3; ++i) std::memcpy(&bytes[0x58 + 224 + 40 * i + 36], &access[i], 4);
  const std::string path = scratch().PathOf("ntmini.dll");
  ASSERT_TRUE(bs_test::WriteWholeFile(path, std::string(bytes.begin(), bytes.end())));

  const Address view = Native().MapImageFile(path);
  ASSERT_NE(view, 0u);
  EXPECT_TRUE(rootkit::IsValidPEImage(view));
  rootkit::TServiceNameList names;
  EXPECT_TRUE(rootkit::BuildServiceNameList(view, &names));
  EXPECT_EQ(names.names, (std::map<uint32_t, std::string>{{0x19, "ZwClose"}, {0x77, "ZwOpenKey"}}));
  Native().UnmapImageFile(view);

  const Address module = Native().LoadLibraryEx(path, 1);
  ASSERT_NE(module, 0u);
  EXPECT_EQ(rootkit::GetExportAddress(module, "RtlFree"), module + 0x1010);
  Native().FreeLibrary(module);
  EXPECT_EQ(Native().MapImageFile(scratch().PathOf("missing.dll")), 0u);
}

INSTANTIATE_TEST_SUITE_P(Backends, KernelContract, testing::ValuesIn(bs_test::ContractBackends32()),
                         bs_test::BackendName);

// The driver's copy in its private folder of the system folder, and what a run killed while the
// driver was loaded leaves (its service key, its copy) removed at the next start.
class DriverCopyContract : public bs_test::ContractTest {
 protected:
  void SetUp() override {
    ContractTest::SetUp();
    if (fake::Machine* m = scratch().machine()) {
      m->AddFolder(Sys().GetSystemDirectory());
      m->CreateKey(kHkeyLocalMachine, "system\\CurrentControlSet\\Services");
    } else {
      rootkit::InitNativeLayer();
    }
  }
  void TearDown() override {
    rootkit::RemoveLeftoverDriver();
    ContractTest::TearDown();
  }
};

TEST_P(DriverCopyContract, CopyIsWrittenFreshAndLeftoversGoAtTheNextStart) {
  const std::string genuine(std::begin(kBuiltDriverBytes), std::end(kBuiltDriverBytes));
  const std::string copy = rootkit::DriverCopyFolder() + "\\kvdrv.sys";
  ASSERT_EQ(rootkit::WriteDriverCopy(genuine), copy);
  EXPECT_EQ(bs_test::ReadWholeFile(copy), genuine);
  // A copy already there (an earlier run's) is replaced, folder and all.
  ASSERT_TRUE(bs_test::WriteWholeFile(rootkit::DriverCopyFolder() + "\\other.bin", "x"));
  ASSERT_EQ(rootkit::WriteDriverCopy("MZ"), "");  // a folder that holds more than our copy stays
  EXPECT_TRUE(Fs().DeleteFile(rootkit::DriverCopyFolder() + "\\other.bin"));
  ASSERT_EQ(rootkit::WriteDriverCopy("MZ"), copy);
  EXPECT_EQ(bs_test::ReadWholeFile(copy), "MZ");

  // As a killed run leaves them: the key naming the copy, and the copy.
  ASSERT_TRUE(rootkit::RegisterDriverService("kvdrv", copy));
  rootkit::RemoveLeftoverDriver();
  ScopedKey key;
  EXPECT_NE(Reg().OpenKey(kHkeyLocalMachine, rootkit::DriverServiceKey("kvdrv"), win::kKeyRead, key.out()),
            win::kErrorSuccess);
  EXPECT_EQ(Fs().GetFileAttributes(rootkit::DriverCopyFolder()), win::kInvalidFileAttributes);
}

INSTANTIATE_TEST_SUITE_P(Backends, DriverCopyContract, testing::ValuesIn(bs_test::ContractBackends()),
                         bs_test::BackendName);

#if defined(BS_WIN32_BACKEND) && !defined(__i386__)
// The x86_64 build on its 64-bit Windows: no driver, no key, the one line of refusal.
TEST(KernelWine, TheX86_64BuildRefusesAndRegistersNothing) {
  bs_test::BackendScratch scratch(bs_test::BackendKind::Win32);
  rootkit::InitNativeLayer();
  EXPECT_TRUE(rootkit::NativeLayer().X64System);
  std::vector<std::string> report;
  rootkit::ListKernelModeInfo(report);
  EXPECT_EQ(report, std::vector<std::string>{"x64 OS not supported!"});
  RegKey key = 0;
  EXPECT_NE(Reg().OpenKey(kHkeyLocalMachine, "SYSTEM\\CurrentControlSet\\Services\\kvdrv", win::kKeyRead, &key), 0u);
}
#endif

#if defined(BS_WIN32_BACKEND) && defined(__i386__)
// The names of the prefix's own ntdll carry the numbers the native layer read from its Nt stubs.
TEST(KernelWine, ServiceNamesOfTheSystemNtdll) {
  bs_test::BackendScratch scratch(bs_test::BackendKind::Win32);
  rootkit::InitNativeLayer();
  const Address view = Native().MapImageFile(Sys().GetSystemDirectory() + "\\ntdll.dll");
  ASSERT_NE(view, 0u);
  rootkit::TServiceNameList names;
  EXPECT_TRUE(rootkit::BuildServiceNameList(view, &names));
  Native().UnmapImageFile(view);
  const uint16_t close = rootkit::NativeLayer().SyscallNumbers[static_cast<size_t>(NativeService::Close)];
  ASSERT_NE(close, 0u);
  EXPECT_EQ(names.NtName(close), "NtClose");
  EXPECT_GT(names.Count(), 100u);
}
#endif

}  // namespace
