// Version information parsed from any bytes as a PE file, then queried as the file sections do.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/offline/pe_version.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const platform::offline::ReadAt read = [&](uint64_t offset, size_t length) {
    if (offset >= size) return std::vector<uint8_t>();
    const size_t n = std::min<uint64_t>(length, size - offset);
    return std::vector<uint8_t>(data + offset, data + offset + n);
  };
  std::vector<uint8_t> block;
  if (!platform::offline::ReadVersionResource(read, &block)) block.assign(data, data + size);
  uint16_t language = 0, codePage = 0;
  platform::offline::QueryTranslation(block, &language, &codePage);
  for (const char* name : {"\\StringFileInfo\\040904B0\\CompanyName", "\\StringFileInfo\\040904E4\\ProductVersion",
                           "\\", "\\VarFileInfo\\Translation"}) {
    platform::offline::QueryString(block, name);
  }
  return 0;
}
