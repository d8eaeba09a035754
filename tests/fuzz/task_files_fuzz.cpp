// Task definitions are files and registry values anyone with write access plants: every reader
// must stay within the bytes and give commands that lie inside them.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string>

#include "scan/task_files.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::span<const uint8_t> bytes(data, size);
  for (const auto& command : scan::ReadJobCommands(bytes)) {
    Check((command.program.size() + command.arguments.size()) * 2 <= size);
  }
  for (const auto& command : scan::ReadCachedTaskActions(bytes)) {
    Check((command.program.size() + command.arguments.size()) * 2 <= size);
  }
  const std::string text(reinterpret_cast<const char*>(data), size);
  for (const auto& command : scan::ReadTaskXmlCommands(text)) {
    Check(!command.program.empty() && command.program.size() <= size && command.arguments.size() <= size);
  }
  Check(scan::Utf16FromBytes(bytes).size() <= size / 2);
  return 0;
}
