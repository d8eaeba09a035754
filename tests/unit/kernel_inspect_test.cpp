// The kernel section over a table of fake kernels: service-table and kernel-code hooks, the
// system-call entry, the rootkit verdict, and every way the run can end early. Whatever a row
// prints, the driver is unloaded, its key removed, the device closed after the unload and every
// image released.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "inspect/lang.h"
#include "platform/fake/fake_machine.h"
#include "rootkit/kernel_inspect.h"
#include "rootkit/native_layer.h"
#include "rootkit/sections.h"
#include "scan/frame.h"
#include "tests/driver_bytes.h"
#include "tests/support/forwarding_file_system.h"
#include "tests/support/pe_builder.h"

namespace {

using bs_test::PeExport;
using bs_test::PeImage;
using platform::Address;
using platform::fake::Machine;
namespace win = platform::win;

constexpr Address kBase = 0x804D7000, kSize = 0x4000;
constexpr Address kEvil = 0xF8000000, kRootkit = 0xF9000000;
constexpr uint32_t kTableRva = 0x1800, kRoutinesRva = 0x1400, kTableEntries = 8;
constexpr uint32_t kFileImageBase = 0x400000;
const std::string kSystem = "C:\\WINDOWS\\system32";
const std::string kServiceKey = "system\\CurrentControlSet\\Services\\kvdrv";
const std::string kDriverPath = "C:\\Tools\\BurrowSentry\\kvdrv.sys";
// Where the checked bytes are loaded from.
const std::string kCopyFolder = kSystem + "\\BurrowSentry.kvdrv";
const std::string kDriverCopy = kCopyFolder + "\\kvdrv.sys";
const std::string kGenuineDriver(std::begin(kBuiltDriverBytes), std::end(kBuiltDriverBytes));

std::vector<uint8_t> Le32(uint32_t v) { return {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)}; }
std::vector<uint8_t> Join(std::vector<uint8_t> a, const std::vector<uint8_t>& b, std::vector<uint8_t> c = {}) {
  a.insert(a.end(), b.begin(), b.end());
  a.insert(a.end(), c.begin(), c.end());
  return a;
}
PeExport Export(const std::string& name, std::vector<uint8_t> code) {
  PeExport e;
  e.name = name;
  e.code = std::move(code);
  return e;
}
std::string Hex8(uint32_t v) {
  char text[9];
  std::snprintf(text, sizeof text, "%08X", v);
  return text;
}

// The kernel's named exports, 16 bytes apart from 0x1000; the service routines from 0x1400.
const char* const kExports[] = {"KeAttachProcess", "IoCreateDevice", "ObReferenceObjectByHandle",
                                "ExAllocatePool",  "NtClose",        "ZwClose",
                                "KeSetEvent"};
constexpr uint32_t ExportRva(int k) { return 0x1000 + 16 * k; }
constexpr Address ExportAt(int k) { return kBase + ExportRva(k); }
constexpr uint32_t RoutineRva(uint32_t service) { return kRoutinesRva + 0x10 * service; }
constexpr Address RoutineAt(uint32_t service) { return kBase + RoutineRva(service); }
std::vector<uint8_t> JumpFrom(Address from, Address target) { return Join({0xE9}, Le32(target - (from + 5)), {0x90}); }

using Services = std::vector<std::pair<uint16_t, std::string>>;
Services DefaultServices() {
  return {{0, "ZwAcceptConnectPort"}, {1, "ZwClose"}, {2, "ZwCreateFile"},
          {3, "ZwRequestPort"},       {4, "ZwTraceEvent"}, {5, "ZwOpenKey"}};
}

// What the machine is before the native layer starts.
struct Setup {
  std::string kernelFile = "ntoskrnl.exe";
  uint32_t platformId = win::kVerPlatformWin32Nt;
  uint32_t major = 5, minor = 1;
  bool wow64 = false;
  bool process64 = false;  // the x86_64 build
  bool wine = false;
  Services services = DefaultServices();
};

std::vector<uint8_t> Ntdll(const Services& services, bool wine) {
  PeImage ntdll;
  ntdll.dllName = "ntdll.dll";
  ntdll.exports.push_back(Export("RtlAdjustPrivilege", {0x33, 0xC0, 0xC2, 0x10, 0x00, 0x90}));
  for (size_t i = 0; i < platform::kNativeServiceCount; ++i) {
    ntdll.exports.push_back(Export(platform::kNativeServiceNames[i], {0xB8, uint8_t(0x40 + i), 0, 0, 0, 0x90}));
  }
  for (const auto& [number, name] : services) {
    ntdll.exports.push_back(Export(name, {0xB8, uint8_t(number), uint8_t(number >> 8), 0, 0, 0x90}));
  }
  if (wine) ntdll.exports.push_back(Export("wine_get_version", {0xC3, 0x90, 0x90, 0x90, 0x90, 0x90}));
  return ntdll.Build();
}

std::vector<uint8_t> KernelFile() {
  PeImage kernel;
  kernel.dllName = "ntoskrnl.exe";
  for (const char* name : kExports) kernel.exports.push_back(Export(name, {0x8B, 0xFF, 0x55, 0x8B, 0xEC, 0x90}));
  std::vector<uint8_t> file = kernel.Build();
  for (uint32_t i = 0; i < kTableEntries; ++i) {
    const std::vector<uint8_t> routine{0x8B, 0xFF, 0x55, 0x8B, 0xEC, 0x90};
    std::copy(routine.begin(), routine.end(), file.begin() + RoutineRva(i));
    const std::vector<uint8_t> entry = Le32(kFileImageBase + RoutineRva(i));
    std::copy(entry.begin(), entry.end(), file.begin() + kTableRva + 4 * i);
  }
  return file;
}

// One fake machine with a kernel, its files, the driver beside the executable and the native
// layer started over it.
class Rig {
 public:
  explicit Rig(const Setup& setup) : kernelPath_(kSystem + "\\" + setup.kernelFile) {
    m_.Install();
    auto& sys = m_.system();
    sys.version.platformId = setup.platformId;
    sys.version.major = setup.major;
    sys.version.minor = setup.minor;
    sys.wow64 = setup.wow64;
    sys.process64 = setup.process64;
    const uint32_t self = m_.processes().currentPid;
    PeImage kernel32;
    kernel32.dllName = "kernel32.dll";
    kernel32.exports = {Export("IsWow64Process", {0x33, 0xC0, 0xC2, 0x08, 0x00, 0x90})};
    m_.LoadModule(self, 0x7C800000, kernel32.Build(), kSystem + "\\kernel32.dll");
    const std::vector<uint8_t> ntdll = Ntdll(setup.services, setup.wine);
    m_.LoadModule(self, 0x7C900000, ntdll, kSystem + "\\ntdll.dll");
    m_.AddFile(kSystem + "\\ntdll.dll", std::string(ntdll.begin(), ntdll.end()));
    const std::vector<uint8_t> file = KernelFile();
    m_.AddFile(kernelPath_, std::string(file.begin(), file.end()));
    m_.AddFile(kDriverPath, std::string(std::begin(kBuiltDriverBytes), std::end(kBuiltDriverBytes)));
    m_.CreateKey(platform::kHkeyLocalMachine, "system\\CurrentControlSet\\Services");

    // The running kernel: the file's bytes with the table relocated to where the kernel lies.
    auto& k = m_.kernel();
    std::vector<uint8_t> image = file;
    for (uint32_t i = 0; i < kTableEntries; ++i) {
      const std::vector<uint8_t> entry = Le32(RoutineAt(i));
      std::copy(entry.begin(), entry.end(), image.begin() + kTableRva + 4 * i);
    }
    k.memory.regions[kBase] = platform::fake::MemoryRegion{kBase, platform::nt::kMemCommit, true, image};
    k.memory.regions[kEvil] = platform::fake::MemoryRegion{kEvil, platform::nt::kMemCommit, true,
                                                           std::vector<uint8_t>(0x1000, 0x90)};
    k.serviceTable = kBase + kTableRva;
    k.serviceCount = kTableEntries;
    k.syscallEntry = kBase + 0x1000;
    k.modules = {{kBase, kSize, "\\WINDOWS\\system32\\" + setup.kernelFile},
                 {kEvil, 0x1000, "\\SystemRoot\\System32\\DRIVERS\\evil.sys"},
                 {kRootkit, 0x1000, "\\??\\C:\\hook\\rk.sys"}};
    rootkit::InitNativeLayer();
  }

  Machine& machine() { return m_; }
  platform::fake::KernelState& kernel() { return m_.kernel(); }
  const std::string& kernelPath() const { return kernelPath_; }

  void HookEntry(uint32_t service, uint32_t value) {
    ASSERT_TRUE(kernel().memory.Write32(kernel().serviceTable + 4 * service, value));
  }
  void Code(Address at, const std::vector<uint8_t>& bytes) {
    ASSERT_TRUE(kernel().memory.Write(at, bytes.data(), static_cast<uint32_t>(bytes.size())));
  }

  std::vector<std::string> Run() {
    std::vector<std::string> lines;
    rootkit::ListKernelModeInfo(lines);
    return lines;
  }

 private:
  Machine m_;
  std::string kernelPath_;
};

void HookThreeExports(Rig& rig) {
  rig.Code(ExportAt(0), JumpFrom(ExportAt(0), kEvil + 0x10));
  rig.Code(ExportAt(1), Join({0x68}, Le32(kRootkit + 0x10), {0xC3}));
  rig.Code(ExportAt(2), Join({0xFF, 0x25}, Le32(kEvil + 0x200), {0x90}));
}
std::string Ring0(const std::string& kernelFile, const std::string& routine, Address at, Address target,
                  const std::string& module) {
  return "[RING0] " + kernelFile + " -> " + routine + " -> 0x" + Hex8(at) + " -> 0x" + Hex8(target) + " -> " + module;
}
const std::string kKeAttach = Ring0("ntoskrnl.exe", "KeAttachProcess", ExportAt(0), kEvil + 0x10, "evil.sys");
const std::string kIoCreate = Ring0("ntoskrnl.exe", "IoCreateDevice", ExportAt(1), kRootkit + 0x10, "rk.sys");
const std::string kObRef = Ring0("ntoskrnl.exe", "ObReferenceObjectByHandle", ExportAt(2), kEvil + 0x200, "evil.sys");
std::string Ssdt(const std::string& name, uint32_t live, uint32_t expected, const std::string& module) {
  return "[SSDT] " + name + " -> 0x" + Hex8(live) + " -> 0x" + Hex8(expected) + " -> " + module;
}
const std::string kNtCloseHooked = Ssdt("NtClose", kEvil + 0x100, RoutineAt(1), "evil.sys");

struct KernelCase {
  const char* label;
  Setup setup;
  std::function<void(Rig&)> change;
  std::vector<std::string> lines;
  bool verdict = false;
};

TEST(KernelModeInfo, TableOfKernels) {
  const KernelCase cases[] = {
      {"a clean kernel", {}, [](Rig&) {}, {}},
      {"a hooked table entry", {}, [](Rig& r) { r.HookEntry(1, kEvil + 0x100); }, {kNtCloseHooked}},
      {"three hooked routines among look-alikes",
       {},
       [](Rig& r) {
         HookThreeExports(r);
         r.Code(ExportAt(3), Join({0xFF, 0x25}, Le32(0xEB001000)));  // a cell whose byte 5 is 0xEB
         r.Code(ExportAt(4), JumpFrom(ExportAt(4), kEvil));                     // Nt and Zw exports are skipped
         r.Code(ExportAt(5), JumpFrom(ExportAt(5), kEvil));
         r.Code(ExportAt(6), Join({0x68}, Le32(kEvil), {0x90}));  // a push without the return
       },
       {kKeAttach, kIoCreate, kObRef},
       true},
      {"two hooked routines",
       {},
       [](Rig& r) {
         r.Code(ExportAt(0), JumpFrom(ExportAt(0), kEvil + 0x10));
         r.Code(ExportAt(1), Join({0x68}, Le32(kRootkit + 0x10), {0xC3}));
       },
       {kKeAttach, kIoCreate}},
      {"NtTraceEvent in ntoskrnl.exe does not count",
       {},
       [](Rig& r) {
         r.Code(ExportAt(0), JumpFrom(ExportAt(0), kEvil + 0x10));
         r.Code(ExportAt(1), Join({0x68}, Le32(kRootkit + 0x10), {0xC3}));
         r.Code(RoutineAt(4), JumpFrom(RoutineAt(4), kEvil + 0x40));
       },
       {kKeAttach, kIoCreate, Ring0("ntoskrnl.exe", "NtTraceEvent", RoutineAt(4), kEvil + 0x40, "evil.sys")}},
      {"NtTraceEvent in ntkrnlpa.exe counts",
       {.kernelFile = "ntkrnlpa.exe"},
       [](Rig& r) {
         r.Code(ExportAt(0), JumpFrom(ExportAt(0), kEvil + 0x10));
         r.Code(RoutineAt(4), JumpFrom(RoutineAt(4), kEvil + 0x40));
         r.Code(RoutineAt(3), JumpFrom(RoutineAt(3), kEvil + 0x30));
       },
       {Ring0("ntkrnlpa.exe", "KeAttachProcess", ExportAt(0), kEvil + 0x10, "evil.sys"),
        Ring0("ntkrnlpa.exe", "NtRequestPort", RoutineAt(3), kEvil + 0x30, "evil.sys"),
        Ring0("ntkrnlpa.exe", "NtTraceEvent", RoutineAt(4), kEvil + 0x40, "evil.sys")},
       true},
      {"below the kernel base: a jump does not count, a table entry does",
       {},
       [](Rig& r) {
         r.Code(ExportAt(6), JumpFrom(ExportAt(6), 0x00010000));
         r.HookEntry(2, 0x00010000);
       },
       {Ssdt("NtCreateFile", 0x00010000, RoutineAt(2), "N/A")}},
      {"a jump to the kernel's very end",
       {},
       [](Rig& r) { r.Code(ExportAt(0), JumpFrom(ExportAt(0), kBase + kSize)); },
       {Ring0("ntoskrnl.exe", "KeAttachProcess", ExportAt(0), kBase + kSize, "ntoskrnl.exe")}},
      {"a service number without a Zw name",
       {.services = {{0, "ZwAcceptConnectPort"}, {1, "ZwClose"}, {2, "ZwCreateFile"}, {4, "ZwTraceEvent"},
                     {5, "ZwOpenKey"}, {6, "ZwSetEvent"}}},
       [](Rig& r) { r.HookEntry(3, kEvil + 0x100); },
       {Ssdt("", kEvil + 0x100, RoutineAt(3), "evil.sys")}},
      {"minor version 0: the interrupt handler",
       {.minor = 0},
       [](Rig& r) { r.kernel().syscallEntry = kEvil + 0x300; },
       {"[INT 0x2E] 0x" + Hex8(kEvil + 0x300) + " -> C:\\SystemRoot\\System32\\DRIVERS\\evil.sys"}},
      {"minor version 1: the sysenter target",
       {.minor = 1},
       [](Rig& r) { r.kernel().syscallEntry = kRootkit; },
       {"[SYSENTER] 0x" + Hex8(kRootkit) + " -> C:\\hook\\rk.sys"}},
      {"an entry at the kernel's end is inside", {}, [](Rig& r) { r.kernel().syscallEntry = kBase + kSize; }, {}},
      {"an entry request refused",
       {},
       [](Rig& r) {
         r.kernel().syscallEntry = kEvil;
         r.kernel().answers[rootkit::kIoctlGetSyscallEntry] = {platform::nt::kStatusUnsuccessful, 0};
       },
       {}},
      {"an entry answered in 3 bytes",
       {},
       [](Rig& r) {
         r.kernel().syscallEntry = kEvil;
         r.kernel().answers[rootkit::kIoctlGetSyscallEntry] = {0, 3};
       },
       {}},
      {"under Wine the entry is never asked for",
       {.wine = true},
       [](Rig& r) { r.kernel().syscallEntry = kEvil; },
       {}},
      {"a service key and a loaded driver left by a crashed run",
       {},
       [](Rig& r) {
         r.machine().CreateKey(platform::kHkeyLocalMachine, kServiceKey + "\\Enum");
         r.machine().CreateKey(platform::kHkeyLocalMachine, kServiceKey + "\\Security");
         r.machine().SetString(platform::kHkeyLocalMachine, kServiceKey, "ImagePath", "\\??\\C:\\Old\\kvdrv.sys");
         r.machine().SetDword(platform::kHkeyLocalMachine, kServiceKey, "Start", 3);
         r.kernel().loaded = true;
         r.HookEntry(1, kEvil + 0x100);
       },
       {kNtCloseHooked}},
      // Every way the section ends early.
      {"Windows 9x", {.platformId = win::kVerPlatformWin32Windows}, [](Rig&) {}, {"Windows NT OS Supported Only!"}},
      {"64-bit Windows", {.wow64 = true}, [](Rig&) {}, {"x64 OS not supported!"}},
      {"the x86_64 build", {.process64 = true}, [](Rig&) {}, {"x64 OS not supported!"}},
      {"no driver file", {}, [](Rig& r) { r.machine().RemoveFile(kDriverPath); }, {"Driver has wrong hash!"}},
      {"a driver with one changed byte",
       {},
       [](Rig& r) { r.machine().File(kDriverPath)->contents[0x200] ^= 1; },
       {"Driver has wrong hash!"}},
      {"the services key refused",
       {},
       [](Rig& r) { r.machine().DenyKey(platform::kHkeyLocalMachine, "system\\CurrentControlSet\\Services"); },
       {"Could not install driver to registry!"}},
      {"the load refused",
       {},
       [](Rig& r) { r.kernel().loadStatus = platform::nt::kStatusAccessDenied; },
       {"Could not load driver!"}},
      {"no device", {}, [](Rig& r) { r.kernel().deviceName = "other"; }, {}},
      {"the device refused to a user-level process", {}, [](Rig& r) { r.kernel().callerIsAdmin = false; }, {}},
      {"only the local device name",
       {},
       [](Rig& r) {
         r.kernel().globalDeviceNames = false;
         r.HookEntry(1, kEvil + 0x100);
       },
       {kNtCloseHooked}},
      {"no module list",
       {},
       [](Rig& r) {
         r.kernel().moduleListStatus = platform::nt::kStatusAccessDenied;
         r.HookEntry(1, kEvil + 0x100);
       },
       {}},
      {"no service table (as under Wine)",
       {},
       [](Rig& r) {
         r.kernel().serviceTable = 0;
         HookThreeExports(r);
       },
       {}},
      {"no ntdll file",
       {},
       [](Rig& r) {
         r.machine().RemoveFile(kSystem + "\\ntdll.dll");
         HookThreeExports(r);
       },
       {}},
      {"an ntdll without Zw exports",
       {},
       [](Rig& r) {
         const std::vector<uint8_t> bare = Ntdll({}, false);
         r.machine().File(kSystem + "\\ntdll.dll")->contents.assign(bare.begin(), bare.end());
         HookThreeExports(r);
       },
       {}},
      {"no kernel file",
       {},
       [](Rig& r) {
         r.machine().RemoveFile(r.kernelPath());
         HookThreeExports(r);
       },
       {}},
      {"a table in no section of the kernel file: only the exports are checked",
       {},
       [](Rig& r) {
         auto& k = r.kernel();
         k.memory.regions[kBase + 0x5000] = platform::fake::MemoryRegion{
             kBase + 0x5000, platform::nt::kMemCommit, true, std::vector<uint8_t>(0x1000)};
         k.serviceTable = kBase + 0x5000;
         r.HookEntry(1, kEvil + 0x100);
         r.Code(ExportAt(0), JumpFrom(ExportAt(0), kEvil + 0x10));
         r.Code(RoutineAt(4), JumpFrom(RoutineAt(4), kEvil + 0x40));
       },
       {kKeAttach}},
      {"entry reads refused",
       {},
       [](Rig& r) {
         r.kernel().answers[rootkit::kIoctlReadServiceEntry] = {platform::nt::kStatusUnsuccessful, 0};
         r.HookEntry(1, kEvil + 0x100);
         r.Code(ExportAt(0), JumpFrom(ExportAt(0), kEvil + 0x10));
       },
       {kKeAttach}},
      {"kernel reads pending",
       {},
       [](Rig& r) {
         r.kernel().answers[rootkit::kIoctlReadKernelBytes] = {platform::nt::kStatusPending, 15};
         r.HookEntry(1, kEvil + 0x100);
         HookThreeExports(r);
       },
       {kNtCloseHooked}},
  };
  for (const KernelCase& c : cases) {
    SCOPED_TRACE(c.label);
    Rig rig(c.setup);
    c.change(rig);
    const std::vector<std::string> lines = rig.Run();
    EXPECT_EQ(lines, c.lines);
    EXPECT_EQ(!rootkit::RootkitVerdict(lines).empty(), c.verdict);

    // Outside the section the driver is neither registered nor loaded.
    const auto& k = rig.kernel();
    EXPECT_FALSE(rig.machine().KeyExists(platform::kHkeyLocalMachine, kServiceKey));
    EXPECT_FALSE(k.loaded);
    EXPECT_FALSE(rig.machine().Exists(kCopyFolder)) << "the driver's copy is removed";
    EXPECT_EQ(k.device, platform::kNoHandle);
    EXPECT_EQ(rig.machine().MappedImageCount(), 0u);
    const auto close = std::find(k.events.begin(), k.events.end(), "close");
    if (close != k.events.end()) {
      EXPECT_EQ(k.events.end() - close, 1) << "the device is closed last";
      EXPECT_NE(std::find(k.events.begin(), close, "unload"), close) << "after the unload";
    }
    const bool asked = std::find(k.events.begin(), k.events.end(), "request 22E010") != k.events.end();
    if (c.setup.wine) {
      EXPECT_FALSE(asked);
    }
  }
}

TEST(KernelModeInfo, RefusedDriverCreatesNoKeyAndLoadsNothing) {
  for (const bool changed : {false, true}) {
    Rig rig({});
    if (changed) rig.machine().File(kDriverPath)->contents.back() ^= 0x80;
    rig.Run();
    std::vector<std::string> loads;
    for (const std::string& e : rig.kernel().events) {
      if (e.rfind("load ", 0) == 0) loads.push_back(e);
    }
    EXPECT_EQ(loads, changed ? std::vector<std::string>{} : std::vector<std::string>{"load \\??\\" + kDriverCopy});
  }
}

TEST(KernelModeInfo, StaleKeyIsReplacedBeforeTheLoad) {
  Rig rig({});
  rig.machine().CreateKey(platform::kHkeyLocalMachine, kServiceKey + "\\Enum");
  rig.machine().SetString(platform::kHkeyLocalMachine, kServiceKey, "ImagePath", "\\??\\C:\\Old\\kvdrv.sys");
  rig.machine().SetDword(platform::kHkeyLocalMachine, kServiceKey, "Start", 3);
  rig.kernel().loaded = true;
  rig.Run();
  const auto& events = rig.kernel().events;
  ASSERT_GE(events.size(), 2u);
  EXPECT_EQ(events[0], "unload");
  EXPECT_EQ(events[1], "load \\??\\" + kDriverCopy);
}

// The file beside the executable, changed by whoever can write that folder once the program has
// read it: the bytes loaded are still the ones checked.
class SwapAfterRead : public bs_test::ForwardingFileSystem {
 public:
  explicit SwapAfterRead(Machine& m) : m_(m) {}
  Handle CreateFile(const std::string& path, uint32_t access, uint32_t share, uint32_t disposition,
                    uint32_t attributes) override {
    const Handle file = ForwardingFileSystem::CreateFile(path, access, share, disposition, attributes);
    if (platform::fake::EqualNoCase(path, kDriverPath)) driverHandle_ = file;
    return file;
  }
  bool CloseHandle(Handle file) override {
    const bool closed = ForwardingFileSystem::CloseHandle(file);
    if (file == driverHandle_ && m_.File(kDriverPath)) {
      std::string evil = kGenuineDriver;
      evil[0x200] ^= 0x5A;
      m_.File(kDriverPath)->contents = evil;
    }
    return closed;
  }
  bool CreatePrivateDirectory(const std::string& path) override {
    privateFolders.push_back(path);
    return ForwardingFileSystem::CreatePrivateDirectory(path);
  }
  std::vector<std::string> privateFolders;

 private:
  Machine& m_;
  Handle driverHandle_ = platform::kInvalidHandle;
};

// What a user-level attacker can try against the driver and its loading, and what comes of it.
TEST(KernelModeInfo, HostileInputs) {
  const auto loadDriver = [](Rig& rig) {
    rig.machine().AddFile(kDriverCopy, kGenuineDriver);
    rootkit::RegisterDriverService("kvdrv", kDriverCopy);
    rootkit::LoadKernelDriver("kvdrv");
  };
  const auto openError = [](const std::string& path) {
    const platform::Handle device = platform::Native().OpenDevice(path);
    if (device != platform::kInvalidHandle) return std::string("opened");
    return "refused " + std::to_string(platform::Sys().GetLastError());
  };
  const struct {
    const char* attack;
    std::function<std::string(Rig&)> run;
    std::string outcome;
  } cases[] = {
      {"a user-level process opens the device",
       [&](Rig& r) {
         loadDriver(r);
         r.kernel().callerIsAdmin = false;
         const std::string global = openError("\\\\.\\Global\\kvdrv");
         return global + ", " + openError("\\\\.\\kvdrv");
       },
       "refused 5, refused 5"},
      {"a file name after the device's name",
       [&](Rig& r) {
         loadDriver(r);
         return openError("\\\\.\\kvdrv\\x");
       },
       "refused 5"},
      {"a second open while the scan holds the device",
       [&](Rig& r) {
         loadDriver(r);
         const std::string first = openError("\\\\.\\kvdrv");
         return first + ", " + openError("\\\\.\\Global\\kvdrv");
       },
       "opened, refused 5"},
      {"a read of a valid kernel page outside the kernel image",
       [&](Rig& r) {
         loadDriver(r);
         platform::Handle device = platform::kInvalidHandle;
         rootkit::OpenDriverDevice(&device);
         uint8_t bytes[rootkit::kKernelBytes];
         const bool inside = rootkit::ReadKernelBytes(device, kBase + 0x1000, bytes);
         const bool outside = rootkit::ReadKernelBytes(device, kEvil, bytes);
         platform::IoStatus io;
         const uint32_t address = kEvil;
         const uint32_t status = platform::Native().DeviceIoControlFile(
             device, platform::kNoHandle, &io, rootkit::kIoctlReadKernelBytes, &address, 4, bytes, sizeof bytes);
         return std::string(inside ? "image read" : "image refused") + ", " + (outside ? "outside read" : "outside refused") +
                " " + Hex8(status);
       },
       "image read, outside refused C0000005"},
      {"the driver file swapped after its check",
       [](Rig& r) {
         SwapAfterRead swap(r.machine());
         swap.Install();
         r.Run();
         const std::string loaded = r.kernel().loadedImage == kGenuineDriver ? "the checked bytes" : "other bytes";
         return "loaded " + loaded + " from " + (swap.privateFolders == std::vector<std::string>{kCopyFolder} ? "the private copy" : "elsewhere");
       },
       "loaded the checked bytes from the private copy"},
      {"a run killed with the driver loaded, its key and its copy",
       [&](Rig& r) {
         loadDriver(r);
         rootkit::RemoveLeftoverDriver();  // the next start
         const bool key = r.machine().KeyExists(platform::kHkeyLocalMachine, kServiceKey);
         return std::string(r.kernel().loaded ? "loaded" : "unloaded") + (key ? ", key" : ", no key") +
                (r.machine().Exists(kCopyFolder) ? ", copy" : ", no copy");
       },
       "unloaded, no key, no copy"},
  };
  for (const auto& c : cases) {
    Rig rig({});
    EXPECT_EQ(c.run(rig), c.outcome) << c.attack;
  }
}

TEST(KernelModeInfo, RegisteredKeyHoldsThreeValuesWithoutTerminators) {
  Rig rig({});
  ASSERT_TRUE(rootkit::RegisterDriverService("kvdrv", kDriverPath));
  const auto display = rig.machine().GetValue(platform::kHkeyLocalMachine, kServiceKey, "DisplayName");
  const auto image = rig.machine().GetValue(platform::kHkeyLocalMachine, kServiceKey, "ImagePath");
  const auto type = rig.machine().GetValue(platform::kHkeyLocalMachine, kServiceKey, "Type");
  ASSERT_TRUE(display && image && type);
  const std::string shown(display->data.begin(), display->data.end());
  EXPECT_EQ(shown, "Orvatek Kernel Driver (Burrow Sentry)");
  EXPECT_EQ(std::string(image->data.begin(), image->data.end()), "\\??\\" + kDriverPath);
  EXPECT_EQ(type->type, win::kRegDword);
  EXPECT_EQ(type->data, Le32(1));
  EXPECT_TRUE(rootkit::UnregisterDriverService("kvdrv"));
  EXPECT_FALSE(rig.machine().KeyExists(platform::kHkeyLocalMachine, kServiceKey));

  // "\??\" and a 256-character path fill the 260 characters; one more is refused, not cut.
  const std::string fits = "C:\\" + std::string(253, 'a');
  EXPECT_TRUE(rootkit::RegisterDriverService("kvdrv", fits));
  EXPECT_TRUE(rootkit::UnregisterDriverService("kvdrv"));
  EXPECT_FALSE(rootkit::RegisterDriverService("kvdrv", fits + "a"));
  EXPECT_FALSE(rig.machine().KeyExists(platform::kHkeyLocalMachine, kServiceKey));
}

// The verdict follows the section's closing empty line.
TEST(KernelModeInfo, VerdictFollowsTheSection) {
  Rig rig({});
  HookThreeExports(rig);
  inspect::FillDefaultTexts();
  std::vector<scan::TSection> sections;
  for (const scan::TSection& s : scan::DefaultSections()) {
    if (s.titleKey == 208) sections.push_back(s);
  }
  ASSERT_EQ(sections.size(), 1u);
  struct : scan::TScanDisplay {
    void AddLine(const std::string&) override {}
    void SetProgress(int) override {}
  } display;
  scan::TScanOptions options;
  scan::TReport report;
  scan::ScanThread(report, options, display, sections);
  std::vector<std::string> items;
  for (size_t i = 0; i < report.Count(); ++i) items.push_back(report.Item(i));
  const std::vector<std::string> expected{"[+] Kernel Mode Info", "", kKeAttach, kIoCreate, kObRef, "",
                                          "(!!!POSSIBLE ROOTKIT DETECTED!!!)", ""};
  ASSERT_GE(items.size(), expected.size() + 2);
  EXPECT_EQ(std::vector<std::string>(items.begin() + 4, items.begin() + 4 + expected.size()), expected);
}

// A stop asked for while the driver loads ends the section there: nothing is asked of the
// device, the driver is unloaded and its key removed.
TEST(KernelModeInfo, AStopEndsItWithTheDriverUnloadedAndItsKeyRemoved) {
  Rig rig({});
  HookThreeExports(rig);
  inspect::TStopToken stop;
  stop.Request();
  std::vector<std::string> lines;
  rootkit::ListKernelModeInfo(lines, &stop);
  EXPECT_TRUE(lines.empty());
  const auto& k = rig.kernel();
  ASSERT_FALSE(k.events.empty());
  EXPECT_EQ(k.events.front().rfind("load ", 0), 0u);
  EXPECT_EQ(k.events.back(), "unload");
  EXPECT_EQ(std::count_if(k.events.begin(), k.events.end(),
                          [](const std::string& e) { return e.rfind("request", 0) == 0 || e.rfind("open", 0) == 0; }),
            0);
  EXPECT_FALSE(k.loaded);
  EXPECT_FALSE(rig.machine().KeyExists(platform::kHkeyLocalMachine, kServiceKey));
}

TEST(KernelModeInfo, StartupEnablesDebugThenLoadDriverPrivilege) {
  Rig rig({});
  rig.machine().native().adjustedPrivileges.clear();
  rootkit::EnableStartupPrivileges();
  EXPECT_EQ(rig.machine().native().adjustedPrivileges,
            (std::vector<std::pair<uint32_t, bool>>{{20, true}, {10, true}}));
}

TEST(KernelModeInfo, TheX86_64BuildEnablesThemThroughItsToken) {
  Rig rig({.process64 = true});
  rig.machine().native().adjustedPrivileges.clear();
  rig.machine().security().privileges.push_back("SeLoadDriverPrivilege");
  rootkit::EnableStartupPrivileges();
  EXPECT_TRUE(rig.machine().native().adjustedPrivileges.empty());
  EXPECT_EQ(rig.machine().security().enabledPrivileges,
            (std::vector<std::string>{"SeDebugPrivilege", "SeLoadDriverPrivilege"}));
}

TEST(RootkitVerdict, CountsRing0LinesOfTheWholeReport) {
  const std::string a = "[RING0] ntoskrnl.exe -> A -> 0x1", b = "[RING0] ntkrnlpa.exe -> B -> 0x2";
  const struct {
    const char* label;
    std::vector<std::string> items;
    bool verdict;
  } cases[] = {
      {"three", {a, "x", b, a}, true},
      {"two", {a, b}, false},
      {"listed routines of ntoskrnl.exe do not count",
       {a, b, "[RING0] ntoskrnl.exe -> NtRequestPort -> 0x3", "[RING0] ntoskrnl.exe -> NtRequestWaitReplyPort -> 0x4",
        "[RING0] ntoskrnl.exe -> NtTraceEvent -> 0x5"},
       false},
      {"lines of one item count one by one", {a + "\r\n" + b + "\r\n" + a}, true},
      {"other hook lines do not count", {a, b, "[SSDT] NtClose -> 0x1", "[SYSENTER] 0x1 -> N/A"}, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    const std::vector<std::string> expected =
        c.verdict ? std::vector<std::string>{"(!!!POSSIBLE ROOTKIT DETECTED!!!)", ""} : std::vector<std::string>{};
    EXPECT_EQ(rootkit::RootkitVerdict(c.items), expected);
  }
}

}  // namespace
