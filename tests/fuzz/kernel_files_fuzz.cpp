// The kernel file and the ntdll image the kernel section reads: any bytes as the kernel file (its
// service table read for a table address and count taken from the input) and as an image mapped
// from a file (the "Zw" names read from it). No read outside what was mapped or read.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "platform/fake/fake_machine.h"
#include "rootkit/kernel_inspect.h"

namespace {

platform::fake::Machine& TheMachine() {
  static platform::fake::Machine* machine = [] {
    auto* m = new platform::fake::Machine;
    m->Install();
    return m;
  }();
  return *machine;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  platform::fake::Machine& m = TheMachine();
  const std::string path = "C:\\WINDOWS\\system32\\ntoskrnl.exe";
  m.AddFile(path, std::string(reinterpret_cast<const char*>(data), size));
  uint32_t rva = 0, count = 0;
  if (size >= 8) {
    std::memcpy(&rva, data + size - 8, 4);
    std::memcpy(&count, data + size - 4, 4);
  }
  std::vector<uint32_t> table;
  const uint32_t base = 0x80400000;
  const auto read = rootkit::ReadReferenceServiceTable(path, base, base + (rva & 0xFFFFF), count & 0xFFF, &table);
  if (read == rootkit::TReferenceTable::Read && table.size() != (count & 0xFFF)) __builtin_trap();

  const platform::Address image = platform::Native().MapImageFile(path);
  if (image) {
    rootkit::TServiceNameList names;
    rootkit::BuildServiceNameList(image, &names);
    platform::Native().UnmapImageFile(image);
  }
  return 0;
}
