// The hook detector's walkers over attacker-controlled bytes in a fake process. The first byte
// picks what the rest becomes:
//   bit 0 set: image copies (import, export and inline scans): with bit 1 the bytes are written
//     as patches (offset, value) over a well-formed executable and kernel32 that carry imports,
//     exports and hooks, otherwise they are the two images themselves; bit 2 patches the
//     kernel32 file on disk too.
//   bit 0 clear: the environment block and loader data of the shell (the loader-list walker).
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/fake/fake_machine.h"
#include "rootkit/native_layer.h"
#include "rootkit/ring3_hooks.h"
#include "tests/support/pe_builder.h"

namespace {

constexpr platform::Address kExe = 0x01000000, kKernel32 = 0x7C800000, kHook = 0x10000000;

std::vector<uint8_t> Le32(uint32_t v) { return {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)}; }

const std::vector<uint8_t>& WellFormedExe() {
  static const std::vector<uint8_t> image = [] {
    bs_test::PeImage exe;
    exe.imports = {{"KERNEL32.dll", {"Hooked", "Clean", "Dotted.Name"}, {kHook + 0x10, kKernel32 + 0x1010, 0}, true},
                   {"USER32.dll", {"Other"}, {kHook + 0x20}, false}};
    return exe.Build();
  }();
  return image;
}

bs_test::PeImage Kernel32(bool hooked) {
  bs_test::PeImage k;
  k.dllName = "KERNEL32.dll";
  auto code = [&](std::vector<uint8_t> head, uint32_t operand, std::vector<uint8_t> tail) {
    if (!hooked) return std::vector<uint8_t>{};
    const std::vector<uint8_t> op = Le32(operand);
    head.insert(head.end(), op.begin(), op.end());
    head.insert(head.end(), tail.begin(), tail.end());
    return head;
  };
  k.exports = {{"Hooked", code({0xE9}, kHook - kKernel32, {0x90})},
               {"PushRet", code({0x68}, kHook, {0xC3})},
               {"Cell", code({0xFF, 0x25}, kHook, {})},
               {"Clean"},
               {"Forwarded", {}, "NTDLL.Target"}};
  if (hooked) k.exports.push_back({"Moved", {}, "", kHook - kKernel32});
  return k;
}

void Patch(std::vector<uint8_t>* image, const uint8_t* data, size_t size, size_t start, size_t step) {
  for (size_t i = start; i + 3 <= size; i += 3 * step) {
    (*image)[(data[i] | data[i + 1] << 8) % image->size()] = data[i + 2];
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const uint8_t mode = data[0];
  ++data;
  --size;
  platform::fake::Machine machine;
  machine.Install();
  for (size_t i = 0; i < platform::kNativeServiceCount; ++i) {
    machine.backend().native->SetServiceEntry(static_cast<platform::NativeService>(i),
                                              {platform::ServiceGate::Export, 0, 0x7C900000});
  }
  const std::vector<uint8_t> clean = bs_test::PeImage().Build();
  const std::string kernel32Path = "C:\\WINDOWS\\system32\\kernel32.dll";
  const uint32_t self = machine.processes().currentPid, shell = 1234;
  machine.AddProcess(shell, "C:\\WINDOWS\\explorer.exe");
  if (mode & 1) {
    std::vector<uint8_t> exe, kernel32, file;
    if (mode & 2) {
      exe = WellFormedExe();
      kernel32 = Kernel32(true).Build();
      file = Kernel32(false).Build();
      Patch(&exe, data, size, 0, 2);
      Patch(&kernel32, data, size, 3, 2);
      if (mode & 4) Patch(&file, data, size, 0, 1);
    } else {
      exe.assign(data, data + size);
      if (exe.empty()) exe = clean;
      kernel32 = file = exe;
    }
    machine.AddFile(kernel32Path, std::string(file.begin(), file.end()));
    machine.LoadModule(self, kKernel32, Kernel32(false).Build(), kernel32Path);
    machine.LoadModule(shell, kExe, exe, "C:\\WINDOWS\\explorer.exe");
    machine.LoadModule(shell, kKernel32, kernel32, kernel32Path);
    machine.LoadModule(shell, kHook, clean, "C:\\Temp\\hook.dll");
    rootkit::ListRing3Hooks();
  } else {
    machine.LoadModule(shell, kExe, clean, "C:\\WINDOWS\\explorer.exe");
    auto& space = machine.Memory(shell);
    // Half over the environment block, half over the loader data and the first entry.
    const size_t half = size / 2;
    space.Write(space.peb, data, static_cast<uint32_t>(std::min<size_t>(half, 0x1000)));
    space.Write(space.ldr, data + half, static_cast<uint32_t>(std::min<size_t>(size - half, 0x2000)));
    const platform::Handle process = rootkit::OpenProcessById(0x410, false, shell);
    platform::Address bases[256];
    uint32_t needed = 0;
    rootkit::EnumRemoteModules(process, bases, sizeof bases, &needed);
    std::string name;
    rootkit::GetRemoteModuleFileName(process, 0, &name, 261);
    rootkit::TRemoteModuleInfo info;
    rootkit::GetRemoteModuleInfo(process, needed >= 8 ? bases[1] : 0, &info, sizeof info);
    rootkit::BuildModuleLists(process);
    rootkit::ModuleNameOfAddress(kHook, shell);
    rootkit::SysClose(process);
  }
  return 0;
}
