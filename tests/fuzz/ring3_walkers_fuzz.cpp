// The hook detector's walkers over attacker-controlled bytes in a fake process: the bytes as the
// executable's and kernel32's image copies (import, export and inline scans), or written over the
// environment block and loader data (the loader-list walker).
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/fake/fake_machine.h"
#include "rootkit/native_layer.h"
#include "rootkit/ring3_hooks.h"
#include "tests/support/pe_builder.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  platform::fake::Machine machine;
  machine.Install();
  for (size_t i = 0; i < platform::kNativeServiceCount; ++i) {
    machine.backend().native->SetServiceEntry(static_cast<platform::NativeService>(i),
                                              {platform::ServiceGate::Export, 0, 0x7C900000});
  }
  const std::vector<uint8_t> bytes(data + 1, data + size);
  const std::vector<uint8_t> clean = bs_test::PeImage().Build();
  const uint32_t self = machine.processes().currentPid, shell = 1234;
  machine.AddFile("C:\\WINDOWS\\system32\\kernel32.dll", std::string(bytes.begin(), bytes.end()));
  machine.LoadModule(self, 0x7C800000, clean, "C:\\WINDOWS\\system32\\kernel32.dll");
  machine.AddProcess(shell, "C:\\WINDOWS\\explorer.exe");
  if (data[0] & 1) {
    machine.LoadModule(shell, 0x01000000, bytes.empty() ? clean : bytes, "C:\\WINDOWS\\explorer.exe");
    machine.LoadModule(shell, 0x7C800000, bytes.empty() ? clean : bytes, "C:\\WINDOWS\\system32\\kernel32.dll");
    rootkit::ListRing3Hooks();
  } else {
    machine.LoadModule(shell, 0x01000000, clean, "C:\\WINDOWS\\explorer.exe");
    auto& space = machine.Memory(shell);
    // Half over the environment block, half over the loader data and the first entry.
    const size_t half = bytes.size() / 2;
    space.Write(space.peb, bytes.data(), static_cast<uint32_t>(std::min<size_t>(half, 0x1000)));
    space.Write(space.ldr, bytes.data() + half, static_cast<uint32_t>(std::min<size_t>(bytes.size() - half, 0x2000)));
    const platform::Handle process = rootkit::OpenProcessById(0x410, false, shell);
    platform::Address bases[256];
    uint32_t needed = 0;
    rootkit::EnumRemoteModules(process, bases, sizeof bases, &needed);
    std::string name;
    rootkit::GetRemoteModuleFileName(process, 0, &name, 261);
    rootkit::BuildModuleLists(process);
    rootkit::SysClose(process);
  }
  return 0;
}
