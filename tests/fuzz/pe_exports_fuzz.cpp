// The export parser of a PE file held whole: any bytes, no read outside them; every name the
// walk gives is found again by the lookup.
#include <cstddef>
#include <cstdint>

#include "rootkit/pe_image.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  rootkit::ForEachFileExport(data, size, [&](const rootkit::TFileExport& e) {
    if (e.fileOffset && *e.fileOffset >= size) __builtin_trap();
    if (e.forwarder && !e.fileOffset) __builtin_trap();
    if (!rootkit::FindFileExport(data, size, e.name) && e.inTable) {
      // Only an earlier name equal without regard to case, with an ordinal beyond the table, hides it.
      bool hidden = false;
      rootkit::ForEachFileExport(data, size, [&](const rootkit::TFileExport& other) {
        if (!rootkit::EqualNoCaseAscii(other.name, e.name)) return false;
        hidden = !other.inTable;
        return true;
      });
      if (!hidden) __builtin_trap();
    }
    return false;
  });
  for (const char* name : {"CreateFileW", "a", ""}) {
    const auto found = rootkit::FindFileExport(data, size, name);
    if (found && found->fileOffset && *found->fileOffset >= size) __builtin_trap();
  }
  const rootkit::TBufferReader reader(data, size);
  rootkit::GetAlignedImageSize(reader, 0);
  return 0;
}
