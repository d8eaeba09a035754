// The user-mode hook detector over the fake machine: a shell process whose kernel32 copy and
// import table carry every kind of hook, next to look-alikes that are not hooks.
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "platform/fake/fake_machine.h"
#include "rootkit/native_layer.h"
#include "rootkit/ring3_hooks.h"
#include "tests/support/forwarding_file_system.h"
#include "tests/support/pe_builder.h"

namespace {

using bs_test::PeExport;
using bs_test::PeImage;
using platform::Address;

constexpr uint32_t kShell = 1234;
constexpr Address kExe = 0x01000000, kKernel32 = 0x7C800000, kHook = 0x10000000;
const std::string kExePath = "C:\\WINDOWS\\explorer.exe";
const std::string kKernel32Path = "C:\\WINDOWS\\system32\\kernel32.dll";

std::vector<uint8_t> Le32(uint32_t v) { return {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)}; }
std::vector<uint8_t> Opening(std::vector<uint8_t> a, const std::vector<uint8_t>& b, std::vector<uint8_t> c = {}) {
  a.insert(a.end(), b.begin(), b.end());
  a.insert(a.end(), c.begin(), c.end());
  return a;
}
// Exports are laid out 16 bytes apart from 0x1000, in the order given.
Address FunctionAt(size_t index) { return kKernel32 + 0x1000 + 16 * static_cast<Address>(index); }
uint32_t Rel32(size_t index, Address target) { return target - (FunctionAt(index) + 5); }

PeImage Kernel32OnDisk() {
  PeImage k;
  k.dllName = "KERNEL32.dll";
  k.exports = {{"CreateProcessW"}, {"PushRet"},    {"JmpCell"},   {"JmpCellInside"}, {"JmpInside"},
               {"FileJump", Opening({0xE9}, Le32(0x12345678), {0x90})}, {"PushNoRet"}, {"Moved"},
               {"GetVersion"},     {"Forwarded", {}, "NTDLL.RtlForwarded"}};
  return k;
}

// The copy in the shell: the file's bytes with hooks written over the openings.
std::vector<uint8_t> Kernel32InMemory() {
  PeImage k = Kernel32OnDisk();
  k.exports[0].code = Opening({0xE9}, Le32(Rel32(0, kHook + 0x100)), {0x90});
  k.exports[1].code = Opening({0x68}, Le32(kHook + 0x200), {0xC3});
  k.exports[2].code = Opening({0xFF, 0x25}, Le32(kHook + 0x300));
  k.exports[3].code = Opening({0xFF, 0x25}, Le32(kKernel32 + 0x3000));
  k.exports[4].code = Opening({0xE9}, Le32(Rel32(4, kKernel32 + 0x1800)), {0x90});
  k.exports[6].code = Opening({0x68}, Le32(kHook + 0x200), {0x90});
  k.exports[7].rva = kHook + 0x400 - kKernel32;  // wraps past the image
  return k.Build();
}

class Ring3Hooks : public testing::Test {
 protected:
  void SetUp() override {
    machine_.Install();
    for (size_t i = 0; i < platform::kNativeServiceCount; ++i) {
      machine_.backend().native->SetServiceEntry(static_cast<platform::NativeService>(i),
                                                 {platform::ServiceGate::Export, 0, 0x7C900000});
    }
    const std::vector<uint8_t> onDisk = Kernel32OnDisk().Build();
    machine_.AddFile(kKernel32Path, std::string(onDisk.begin(), onDisk.end()));
    // The own process: clean, and the reference for forwarded exports.
    self_ = machine_.processes().currentPid;
    machine_.AddProcess(self_, "C:\\Tools\\BurrowSentry\\BurrowSentry.exe");
    machine_.LoadModule(self_, 0x00400000, PeImage().Build(), "C:\\Tools\\BurrowSentry\\BurrowSentry.exe");
    machine_.LoadModule(self_, kKernel32, onDisk, kKernel32Path);

  }

  // The shell: its executable importing from kernel32, the hooked kernel32 and the hook's DLL.
  void LoadShell(bool lookupTable, uint32_t pid = kShell) {
    PeImage exe;
    exe.imports = {{"KERNEL32.dll",
                    {"CreateProcessW", "GetVersion", "Forwarded", "Dotted.Name"},
                    {kHook + 0x500, kKernel32 + 0x1080, 0x7C900100, kHook + 0x600},
                    lookupTable}};
    machine_.AddProcess(pid, kExePath);
    machine_.LoadModule(pid, kExe, exe.Build(), kExePath);
    machine_.LoadModule(pid, kKernel32, Kernel32InMemory(), kKernel32Path);
    machine_.LoadModule(pid, kHook, PeImage().Build(), "C:\\Temp\\hook.dll");
  }

  platform::fake::Machine machine_;
  uint32_t self_ = 0;
};

TEST_F(Ring3Hooks, EveryKindGivesItsLineAndLookAlikesNone) {
  EXPECT_TRUE(rootkit::ListRing3Hooks().empty());  // the own process alone, clean
  for (bool lookupTable : {true, false}) {
    SCOPED_TRACE(lookupTable ? "import lookup table" : "names after the module name");
    // A second shell started later is the one inspected.
    LoadShell(lookupTable, lookupTable ? kShell : kShell + 1);
    const std::string prefix = kExePath + " -> KERNEL32.DLL->";
    EXPECT_EQ(rootkit::ListRing3Hooks(), (std::vector<std::string>{
                                           prefix + "CreateProcessW -> hook.dll -> IAT",
                                           prefix + "CreateProcessW -> hook.dll -> Inline JMP 0xE9",
                                           prefix + "PushRet -> hook.dll -> Inline Push/Ret",
                                           prefix + "JmpCell -> hook.dll -> Inline JMP 0x25FF",
                                           prefix + "Moved -> hook.dll -> EAT",
                                       }));
  }
}

// A hooked module's file is read whole once, however many of its exports and imports are hooked,
// in the own process and the shell alike.
TEST_F(Ring3Hooks, AHookedModulesFileIsReadOnce) {
  struct CountingOpens : bs_test::ForwardingFileSystem {
    std::map<std::string, int> opens;
    Handle CreateFile(const std::string& path, uint32_t access, uint32_t share, uint32_t disposition,
                      uint32_t attributes) override {
      ++opens[path];
      return ForwardingFileSystem::CreateFile(path, access, share, disposition, attributes);
    }
  } counting;
  counting.Install();
  LoadShell(true);
  EXPECT_EQ(rootkit::ListRing3Hooks().size(), 5u);
  EXPECT_EQ(counting.opens[kKernel32Path], 1);
}

// Only the first 256 modules in load order are inspected; a column is never cut (an export name
// far beyond 260 characters is reported whole).
TEST_F(Ring3Hooks, ModuleLimitAndLongColumns) {
  const std::string longName = "?LongDecorated@" + std::string(300, 'x') + "@@YAXXZ";
  PeImage onDisk;
  onDisk.dllName = "KERNEL32.dll";
  onDisk.exports = {{longName}};
  const std::vector<uint8_t> file = onDisk.Build();
  machine_.AddFile(kKernel32Path, std::string(file.begin(), file.end()));
  PeImage hooked = onDisk;
  hooked.exports[0].code = Opening({0xE9}, Le32(kHook - (kKernel32 + 0x1000 + 5)), {0x90});
  const struct {
    uint32_t position;  // of the hooked kernel32 in load order, from 1
    bool reported;
  } cases[] = {{3, true}, {256, true}, {257, false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.position);
    const uint32_t pid = kShell + c.position;
    machine_.AddProcess(pid, kExePath);
    machine_.LoadModule(pid, kExe, PeImage().Build(), kExePath);
    machine_.LoadModule(pid, kHook, PeImage().Build(), "C:\\Temp\\hook.dll");
    for (uint32_t i = 3; i < c.position; ++i) {
      machine_.LoadModule(pid, 0x20000000 + 0x10000 * i, PeImage().Build(),
                          "C:\\Temp\\m" + std::to_string(i) + ".dll");
    }
    machine_.LoadModule(pid, kKernel32, hooked.Build(), kKernel32Path);
    const std::vector<std::string> expected{kExePath + " -> KERNEL32.DLL->" + longName +
                                            " -> hook.dll -> Inline JMP 0xE9"};
    EXPECT_EQ(rootkit::ListRing3Hooks(), c.reported ? expected : std::vector<std::string>{});
  }
}

// With two loaded modules of the imported file name an entry is in place only strictly inside
// one of them; with one, its end still counts as inside.
TEST_F(Ring3Hooks, ImportsIntoModulesOfTheSameFileName) {
  constexpr Address kOtherCopy = 0x30000000;
  const struct {
    const char* label;
    bool twoCopies;
    Address entry;
    const char* target;  // the target column, or nullptr when not reported
  } cases[] = {
      {"inside the copy from another folder", true, kOtherCopy + 0x10, nullptr},
      {"at the start of that copy", true, kOtherCopy, "kernel32.dll"},
      {"at the end of the only copy", false, kKernel32 + PeImage::kSize, nullptr},
      {"past the end of the only copy", false, kKernel32 + PeImage::kSize + 1, "N/A"},
  };
  uint32_t pid = kShell;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    PeImage exe;
    exe.imports = {{"KERNEL32.dll", {"GetVersion"}, {c.entry}, true}};
    machine_.AddProcess(++pid, kExePath);
    machine_.LoadModule(pid, kExe, exe.Build(), kExePath);
    machine_.LoadModule(pid, kKernel32, Kernel32OnDisk().Build(), kKernel32Path);
    if (c.twoCopies) machine_.LoadModule(pid, kOtherCopy, Kernel32OnDisk().Build(), "C:\\Other\\kernel32.dll");
    std::vector<std::string> expected;
    if (c.target) expected.push_back(kExePath + " -> KERNEL32.DLL->GetVersion -> " + c.target + " -> IAT");
    EXPECT_EQ(rootkit::ListRing3Hooks(), expected);
  }
}

TEST_F(Ring3Hooks, ShellOutsideTheWindowsFolderIsNotInspected) {
  LoadShell(true);
  const std::vector<uint32_t> both = rootkit::GetInspectedProcesses();
  EXPECT_EQ(both, (std::vector<uint32_t>{self_, kShell}));
  platform::fake::Machine other;
  other.Install();
  other.AddProcess(kShell, "C:\\Other\\explorer.exe");
  EXPECT_EQ(rootkit::GetInspectedProcesses(), std::vector<uint32_t>{other.processes().currentPid});
}

TEST_F(Ring3Hooks, ModulesOfTheSameFileNameAndTheirLimit) {
  std::vector<rootkit::TModulePath> paths;
  for (uint32_t i = 0; i < 12; ++i) {
    paths.push_back({"C:\\Dir" + std::to_string(i) + "\\KERNEL32.DLL", {0x100000 * (i + 1), 0x1000}});
  }
  paths.push_back({"C:\\WINDOWS\\system32\\ntdll.dll", {0x7C900000, 0x1000}});
  const auto matches = rootkit::FindModulesByFileName(" kernel32.dll", paths);
  ASSERT_EQ(matches.size(), 10u);
  EXPECT_EQ(matches[9].base, 0x100000u * 10);
  EXPECT_TRUE(rootkit::FindModulesByFileName("user32.dll", paths).empty());
}

TEST_F(Ring3Hooks, ForwardedExportsAndUndecidableCases) {
  EXPECT_TRUE(rootkit::IsForwardedExport("kernel32.dll", "Forwarded"));
  EXPECT_FALSE(rootkit::IsForwardedExport("kernel32.dll", "GetVersion"));
  EXPECT_TRUE(rootkit::IsForwardedExport("kernel32.dll", "getversion"));  // not found: not reported
  EXPECT_TRUE(rootkit::IsForwardedExport("absent.dll", "GetVersion"));
}

TEST_F(Ring3Hooks, TargetsNameTheirModule) {
  LoadShell(true);
  EXPECT_EQ(rootkit::ModuleNameOfAddress(kHook + 0x10, kShell), "hook.dll");
  EXPECT_EQ(rootkit::ModuleNameOfAddress(0x66600000, kShell), "N/A");  // no region: not the executable
  EXPECT_EQ(rootkit::ModuleNameOfAddress(kHook, 999), "");
}

}  // namespace
