// The native layer over the fake machine: export parsing of files and of images in the own
// process, system-call numbers and gates, and the loader-list walkers of another process.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/fake/fake_machine.h"
#include "rootkit/native_layer.h"
#include "rootkit/pe_image.h"
#include "tests/support/pe_builder.h"

namespace {

using bs_test::PeExport;
using bs_test::PeImage;
using platform::Address;
using platform::ServiceGate;

std::string Text(const std::vector<uint8_t>& bytes) { return std::string(bytes.begin(), bytes.end()); }

// Every service through the ntdll export gate, so the fake serves them.
void OpenAllGates(platform::fake::Machine& machine) {
  for (size_t i = 0; i < platform::kNativeServiceCount; ++i) {
    machine.backend().native->SetServiceEntry(static_cast<platform::NativeService>(i),
                                              {ServiceGate::Export, 0, 0x7C900000});
  }
}

PeImage Library() {
  PeImage image;
  image.ordinalBase = 5;
  image.exports = {{"CreateFileW", {0xE9, 1, 2, 3, 4, 0x90}},
                   {"Forwarded", {}, "OTHER.Target"},
                   {"", {0x68, 0x44, 0x33, 0x22, 0x11, 0xC3}},
                   {"Outside", {}, "", 0x9000}};
  return image;
}

struct FileCase {
  const char* label;
  std::vector<uint8_t> file;
  const char* name;
  bool found;
  uint32_t rva;
  bool bytesRead;  // a section holds the function
  std::string forwarder = "";
};

std::vector<uint8_t> Cut(std::vector<uint8_t> bytes, size_t size) {
  bytes.resize(size);
  return bytes;
}

TEST(NativeLayerFileExports, TableOfImages) {
  const std::vector<uint8_t> lib = Library().Build();
  PeImage narrowExports = Library();
  narrowExports.exportSectionRawSize = 0;  // no section holds the export directory
  std::vector<uint8_t> wildName = lib;
  wildName[PeImage::kExports + 40 + 4 * 4 + 3] = 0xF0;  // the first name pointer far past the end
  const FileCase cases[] = {
      {"exact name", lib, "CreateFileW", true, 0x1000, true},
      {"name in another case", lib, "createfilew", true, 0x1000, true},
      {"forwarder: its text", lib, "Forwarded", true, 0, true, "OTHER.Target"},
      {"rva outside every section", lib, "Outside", true, 0x9000, false},
      {"missing name", lib, "CreateFileA", false, 0, false},
      {"directory in no section", narrowExports.Build(), "CreateFileW", false, 0, false},
      {"truncated in the name table", Cut(lib, PeImage::kExports + 40 + 18), "CreateFileW", false, 0, false},
      {"truncated headers", Cut(lib, 0x80), "CreateFileW", false, 0, false},
      {"name pointer past the end", wildName, "CreateFileW", false, 0, false},
      {"later names still found", wildName, "Outside", true, 0x9000, false},
  };
  for (const FileCase& c : cases) {
    SCOPED_TRACE(c.label);
    const auto found = rootkit::FindFileExport(c.file.data(), c.file.size(), c.name);
    ASSERT_EQ(found.has_value(), c.found);
    if (!found) continue;
    if (c.rva) {
      EXPECT_EQ(found->rva, c.rva);
    }
    EXPECT_EQ(found->fileOffset.has_value(), c.bytesRead);
    EXPECT_EQ(found->forwarder.value_or(""), c.forwarder);
  }
}

TEST(NativeLayerFileExports, ReadsBytesAndRvasFromTheFile) {
  platform::fake::Machine machine;
  machine.Install();
  machine.AddFile("C:\\lib.dll", Text(Library().Build()));
  uint8_t bytes[6] = {};
  ASSERT_TRUE(rootkit::ReadExportBytesFromFile("C:\\lib.dll", "createFILEw", 6, bytes));
  EXPECT_EQ(std::vector<uint8_t>(bytes, bytes + 6), (std::vector<uint8_t>{0xE9, 1, 2, 3, 4, 0x90}));
  ASSERT_TRUE(rootkit::ReadExportBytesFromFile("C:\\lib.dll", "Forwarded", 6, bytes));
  EXPECT_EQ(std::string(bytes, bytes + 6), "OTHER.");

  uint32_t rva = 0;
  EXPECT_TRUE(rootkit::GetExportRvaFromFile("Outside", "C:\\lib.dll", &rva));
  EXPECT_EQ(rva, 0x9000u);
  uint8_t untouched[6] = {7, 7, 7, 7, 7, 7};
  EXPECT_FALSE(rootkit::ReadExportBytesFromFile("C:\\lib.dll", "Outside", 6, untouched));
  EXPECT_FALSE(rootkit::ReadExportBytesFromFile("C:\\missing.dll", "CreateFileW", 6, untouched));
  // More bytes than the file holds after the function.
  EXPECT_FALSE(rootkit::ReadExportBytesFromFile("C:\\lib.dll", "CreateFileW", 0x4000, untouched));
  EXPECT_EQ(untouched[0], 7);
}

class NativeLayerOwnProcess : public testing::Test {
 protected:
  static constexpr Address kLib = 0x10000000, kOther = 0x20000000;
  void SetUp() override {
    machine_.Install();
    const uint32_t self = machine_.processes().currentPid;
    machine_.LoadModule(self, kLib, Library().Build(), "C:\\WINDOWS\\system32\\test.dll");
    PeImage other;
    other.dllName = "OTHER.dll";
    other.exports = {{"Target"}, {"Loop", {}, "TEST.Loop2"}, {"NoDot", {}, "OTHERTarget"}};
    machine_.AddLoadableLibrary("other.dll", kOther, other.Build(), "C:\\WINDOWS\\system32\\other.dll");
  }
  platform::fake::Machine machine_;
};

TEST_F(NativeLayerOwnProcess, ResolvesNamesOrdinalsAndForwarders) {
  EXPECT_EQ(rootkit::GetExportAddress(kLib, "CreateFileW"), kLib + 0x1000);
  EXPECT_EQ(rootkit::GetExportAddress(kLib, "createfilew"), 0u);  // letter case counts here
  // Base 5, four functions: ordinals 5 to 8.
  EXPECT_EQ(rootkit::GetExportAddressByOrdinal(kLib, 5), kLib + 0x1000);
  EXPECT_EQ(rootkit::GetExportAddressByOrdinal(kLib, 7), kLib + 0x1010);
  EXPECT_EQ(rootkit::GetExportAddressByOrdinal(kLib, 8), kLib + 0x9000);
  EXPECT_EQ(rootkit::GetExportAddressByOrdinal(kLib, 9), 0u);
  EXPECT_EQ(rootkit::GetExportAddressByOrdinal(kLib, 4), 0u);
  // The forwarder's module is not loaded yet: loading it is part of the resolution.
  EXPECT_EQ(machine_.backend().native->GetModuleHandle("other"), 0u);
  EXPECT_EQ(rootkit::GetExportAddress(kLib, "Forwarded"), kOther + 0x1000);
  EXPECT_EQ(machine_.backend().native->GetModuleHandle("other"), kOther);
  EXPECT_EQ(rootkit::GetExportAddress(kOther, "NoDot"), 0u);
  EXPECT_EQ(rootkit::GetExportAddress(kOther, "Loop"), 0u);  // TEST.Loop2 does not exist
  EXPECT_EQ(rootkit::GetExportAddress(kLib + 0x1000, "CreateFileW"), 0u);  // not an image
  EXPECT_TRUE(rootkit::IsValidPEImage(kLib));
  EXPECT_FALSE(rootkit::IsValidPEImage(kLib + 2));
}

TEST_F(NativeLayerOwnProcess, ForwarderCycleEnds) {
  PeImage a;
  a.dllName = "CYCLE.dll";
  a.exports = {{"Self", {}, "CYCLE.Self"}};
  machine_.LoadModule(machine_.processes().currentPid, 0x30000000, a.Build(), "C:\\cycle.dll");
  EXPECT_EQ(rootkit::GetExportAddress(0x30000000, "Self"), 0u);
}

TEST_F(NativeLayerOwnProcess, AlignedImageSize) {
  struct Case {
    uint32_t alignment, size, expected;
  } cases[] = {{0x1000, 0x4000, 0x4000}, {0x1000, 0x4001, 0}, {0, 0x4000, 0}, {0x200, 0x4000, 0x4000}};
  Address base = 0x40000000;
  for (const Case& c : cases) {
    PeImage image;
    image.sectionAlignment = c.alignment;
    image.imageSize = c.size;
    machine_.MapMemory(machine_.processes().currentPid, base, image.Build());
    EXPECT_EQ(rootkit::GetAlignedImageSize(base), c.expected) << c.alignment << " " << c.size;
    base += 0x100000;
  }
}

// ntdll with service stubs, on disk and loaded in the own process.
PeImage FakeNtdll(bool wine) {
  PeImage ntdll;
  ntdll.dllName = "ntdll.dll";
  uint16_t number = 0x10;
  for (const char* name : platform::kNativeServiceNames) {
    ntdll.exports.push_back({name, {0xB8, static_cast<uint8_t>(number++), 0, 0, 0, 0xBA, 0, 3, 0xFE, 0x7F, 0xFF, 0xD2}});
  }
  ntdll.exports.push_back({"RtlAdjustPrivilege"});
  ntdll.exports.push_back({"NtNotAStub", {0x90, 0x12, 0x00, 0, 0}});
  if (wine) ntdll.exports.push_back({"wine_get_version"});
  return ntdll;
}

PeImage FakeKernel32() {
  PeImage kernel32;
  kernel32.dllName = "kernel32.dll";
  kernel32.exports = {{"IsWow64Process"}};
  return kernel32;
}

void LoadSystem(platform::fake::Machine& machine, bool wine) {
  const std::vector<uint8_t> ntdll = FakeNtdll(wine).Build();
  machine.AddFile("C:\\WINDOWS\\system32\\ntdll.dll", Text(ntdll));
  const uint32_t self = machine.processes().currentPid;
  machine.LoadModule(self, 0x7C900000, ntdll, "C:\\WINDOWS\\system32\\ntdll.dll");
  machine.LoadModule(self, 0x7C800000, FakeKernel32().Build(), "C:\\WINDOWS\\system32\\kernel32.dll");
}

TEST(NativeLayerInit, NumbersFromTheFileAndTheGateByVersion) {
  struct Case {
    const char* label;
    uint32_t major, minor;
    std::optional<bool> wow64;
    bool wine;
    ServiceGate gate;
    bool process64 = false;
  } cases[] = {
      {"Windows 2000", 5, 0, false, false, ServiceGate::Interrupt2E},
      {"XP", 5, 1, false, false, ServiceGate::Sysenter},
      {"Server 2003", 5, 2, std::nullopt, false, ServiceGate::Sysenter},
      {"Vista", 6, 0, false, false, ServiceGate::Interrupt2E},
      {"Windows 7", 6, 1, false, false, ServiceGate::Sysenter},
      {"Wine as XP", 5, 1, false, true, ServiceGate::Export},
      {"NT 4", 4, 0, false, false, ServiceGate::None},
      {"64-bit Windows", 6, 1, true, false, ServiceGate::None},
      {"the x86_64 build", 6, 1, false, false, ServiceGate::None, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    platform::fake::Machine machine;
    machine.Install();
    machine.system().version.major = c.major;
    machine.system().version.minor = c.minor;
    machine.system().wow64 = c.wow64;
    machine.system().process64 = c.process64;
    LoadSystem(machine, c.wine);
    rootkit::InitNativeLayer();
    const rootkit::TNativeLayer& layer = rootkit::NativeLayer();
    EXPECT_EQ(layer.RunningUnderWow64, c.wow64.value_or(false));
    EXPECT_EQ(layer.X64System, c.wow64.value_or(false) || c.process64);
    EXPECT_EQ(layer.UnderWine, c.wine);
    const bool ready = c.gate != ServiceGate::None;
    // Debug privilege (20) only on a system where the layer is ready.
    EXPECT_EQ(machine.native().adjustedPrivileges.size(), ready ? 1u : 0u);
    for (size_t i = 0; i < platform::kNativeServiceCount; ++i) {
      const auto entry = machine.backend().native->GetServiceEntry(static_cast<platform::NativeService>(i));
      EXPECT_EQ(entry.gate, c.gate);
      EXPECT_EQ(layer.SyscallNumbers[i], ready ? 0x10 + i : 0u);
      EXPECT_EQ(entry.number, layer.SyscallNumbers[i]);
      // Under Wine the ntdll export of the same name stands in for the trap.
      EXPECT_EQ(entry.address, c.wine ? 0x7C901000 + 16 * i : 0u);
    }
  }
}

TEST(NativeLayerInit, ServicesWithoutNumberAreNotEntered) {
  platform::fake::Machine machine;
  machine.Install();
  LoadSystem(machine, false);
  EXPECT_EQ(rootkit::GetSyscallNumber("NtClose"), 0x16);
  EXPECT_EQ(rootkit::GetSyscallNumber("ntclose"), 0x16);    // the file's names: case ignored
  EXPECT_EQ(rootkit::GetSyscallNumber("NtNotAStub"), 0u);   // no MOV EAX opening
  EXPECT_EQ(rootkit::GetSyscallNumber("NtMissing"), 0u);
  machine.RemoveFile("C:\\WINDOWS\\system32\\ntdll.dll");
  rootkit::InitNativeLayer();
  EXPECT_EQ(rootkit::OpenProcessById(0x410, false, machine.processes().currentPid), platform::kNoHandle);
  EXPECT_EQ(machine.native().serviceCalls, 0u);
}

// A process with three modules, read through the loader list.
class NativeLayerRemote : public testing::Test {
 protected:
  static constexpr uint32_t kPid = 1234;
  void SetUp() override {
    machine_.Install();
    OpenAllGates(machine_);
    machine_.AddProcess(kPid, "C:\\WINDOWS\\explorer.exe");
    machine_.LoadModule(kPid, 0x01000000, PeImage().Build(), "C:\\WINDOWS\\explorer.exe");
    machine_.LoadModule(kPid, 0x7C900000, PeImage().Build(), "C:\\WINDOWS\\system32\\ntdll.dll");
    machine_.LoadModule(kPid, 0x7C800000, PeImage().Build(), "C:\\WINDOWS\\system32\\kernel32.dll");
    process_ = rootkit::OpenProcessById(0x410, false, kPid);
    ASSERT_NE(process_, platform::kNoHandle);
  }
  void TearDown() override { EXPECT_TRUE(rootkit::SysClose(process_)); }
  platform::fake::Machine machine_;
  platform::Handle process_ = 0;
};

TEST_F(NativeLayerRemote, EnumeratesInLoadOrder) {
  Address bases[3] = {};
  uint32_t needed = 0;
  ASSERT_TRUE(rootkit::EnumRemoteModules(process_, bases, sizeof bases, &needed));
  EXPECT_EQ(needed, 12u);
  EXPECT_EQ(std::vector<Address>(bases, bases + 3), (std::vector<Address>{0x01000000, 0x7C900000, 0x7C800000}));
  // A short array: what fits is stored, `needed` counts them all.
  Address two[3] = {0, 0, 0xAAAA};
  ASSERT_TRUE(rootkit::EnumRemoteModules(process_, two, 8, &needed));
  EXPECT_EQ(needed, 12u);
  EXPECT_EQ(two[2], 0xAAAAu);

  rootkit::TRemoteModuleInfo info;
  ASSERT_TRUE(rootkit::GetRemoteModuleInfo(process_, 0x7C900000, &info, sizeof info));
  EXPECT_EQ(info.base, 0x7C900000u);
  EXPECT_EQ(info.imageSize, 0x4000u);
  EXPECT_EQ(info.entryPoint, 0x7C901000u);
  EXPECT_FALSE(rootkit::GetRemoteModuleInfo(process_, 0x12345678, &info, sizeof info));
  EXPECT_FALSE(rootkit::GetRemoteModuleInfo(process_, 0, &info, 8));
  EXPECT_EQ(machine_.backend().system->GetLastError(), 122u);
}

TEST_F(NativeLayerRemote, ModuleNamesAndTheirBuffer) {
  const std::string exe = "C:\\WINDOWS\\explorer.exe";
  const uint32_t n = static_cast<uint32_t>(exe.size());
  std::string name;
  EXPECT_EQ(rootkit::GetRemoteModuleFileName(process_, 0, &name, 261), n);
  EXPECT_EQ(name, exe);
  EXPECT_EQ(rootkit::GetRemoteModuleFileName(process_, 0, &name, n + 1), n);
  machine_.backend().system->SetLastError(0);
  std::string untouched = "x";
  EXPECT_EQ(rootkit::GetRemoteModuleFileName(process_, 0, &untouched, n), 0u);  // one character too small
  EXPECT_EQ(machine_.backend().system->GetLastError(), 122u);
  EXPECT_EQ(untouched, "x");
  EXPECT_EQ(rootkit::GetRemoteModuleName(process_, 0x7C800000, &name, 261, false), 12u);
  EXPECT_EQ(name, "kernel32.dll");
  EXPECT_EQ(rootkit::GetRemoteModuleFileName(process_, 0x5000, &name, 261), 0u);
  EXPECT_EQ(rootkit::GetRemoteModuleFileName(platform::kNoHandle, 0, &name, 261), 0u);
}

TEST_F(NativeLayerRemote, DamagedLoaderListsEndTheWalk) {
  auto& space = machine_.Memory(kPid);
  const Address second = space.modules[1].entry;
  Address bases[8];
  uint32_t needed = 0;
  // The last entry links back to the second, never to the head.
  space.Write32(space.modules[2].entry, second);
  EXPECT_TRUE(rootkit::EnumRemoteModules(process_, bases, sizeof bases, &needed));
  EXPECT_GE(needed, 12u);
  // A link into unmapped memory ends the list there.
  space.Write32(second, 0x66600000);
  EXPECT_TRUE(rootkit::EnumRemoteModules(process_, bases, sizeof bases, &needed));
  EXPECT_EQ(needed, 8u);
  // A name longer than any buffer: refused, not read.
  space.Write32(space.modules[0].entry + 0x24, 0xFFFEFFFE);
  std::string name;
  EXPECT_EQ(rootkit::GetRemoteModuleFileName(process_, 0, &name, 261), 0u);
  // A process whose loader is not initialised yet.
  space.Write32(space.peb + 0xA0, 0);
  EXPECT_FALSE(rootkit::EnumRemoteModules(process_, bases, sizeof bases, &needed));
}

TEST_F(NativeLayerRemote, AllocationBaseOfCommittedRegionsOnly) {
  machine_.MapMemory(kPid, 0x00500000, std::vector<uint8_t>(0x2000), platform::nt::kMemReserve);
  EXPECT_EQ(rootkit::GetAllocationBase(process_, 0x01000010), 0x01000000u);
  EXPECT_EQ(rootkit::GetAllocationBase(process_, 0x00500010), 0u);
  EXPECT_EQ(rootkit::GetAllocationBase(process_, 0x66600000), 0u);
  EXPECT_EQ(rootkit::GetAllocationBase(process_, 0), 0u);
  EXPECT_NE(rootkit::GetRemotePeb(process_), 0u);
}

}  // namespace
