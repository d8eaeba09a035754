// The export parser of a PE file held whole: any bytes, no read outside them.
#include <cstddef>
#include <cstdint>

#include "rootkit/pe_image.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  for (const char* name : {"CreateFileW", "a", ""}) {
    const auto found = rootkit::FindFileExport(data, size, name);
    if (found && found->fileOffset && *found->fileOffset >= size) __builtin_trap();
  }
  const rootkit::TBufferReader reader(data, size);
  rootkit::GetAlignedImageSize(reader, 0);
  return 0;
}
