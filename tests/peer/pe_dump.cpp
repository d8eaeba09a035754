// Prints what our parsers make of PE files, for the comparison with pefile (pe_peer.py):
//   F <path>
//   E <name> <ordinal> <rva> <file offset|-> <forwarder|->     every name of the export table
//   E <name> <ordinal> !                                        its ordinal is beyond the table
//   L <name>                                                    the lookup by name disagrees with the walk
//                                                               (checked for 64 names spread over the table)
//   I <module> <function>                                       every named import-table entry
// Numbers are hexadecimal; fields are separated by tabs. The import walker runs over the image
// the loader would map: headers and each section's raw data at its relative address.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "rootkit/pe_image.h"
#include "rootkit/ring3_hooks.h"

namespace {

std::vector<uint8_t> MapImage(const std::vector<uint8_t>& file, const rootkit::TPeHeaders& headers) {
  std::vector<uint8_t> image(std::min<uint32_t>(headers.imageSize, 256u << 20));
  uint32_t headersSize = 0;
  std::memcpy(&headersSize, file.data() + headers.ntOffset + 24 + 60, 4);
  std::copy_n(file.begin(), std::min<size_t>({headersSize, file.size(), image.size()}), image.begin());
  const size_t table = size_t{headers.ntOffset} + 24 + headers.optionalHeaderSize;
  for (uint32_t i = 0; i < headers.sectionCount && table + 40 * (i + 1) <= file.size(); ++i) {
    uint32_t s[4];  // virtual size, virtual address, raw data size, raw data pointer
    std::memcpy(s, file.data() + table + 40 * i + 8, sizeof s);
    if (s[3] >= file.size() || s[1] >= image.size()) continue;
    const size_t n = std::min<size_t>({s[2], file.size() - s[3], image.size() - s[1]});
    std::copy_n(file.begin() + s[3], n, image.begin() + s[1]);
  }
  return image;
}

void Dump(const char* path) {
  std::ifstream in(path, std::ios::binary);
  const std::vector<uint8_t> file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::printf("F\t%s\n", path);
  std::vector<rootkit::TFileExport> all;
  rootkit::ForEachFileExport(file.data(), file.size(), [&](const rootkit::TFileExport& e) {
    if (!e.inTable) {
      std::printf("E\t%s\t%x\t!\n", e.name.c_str(), e.ordinal);
      return false;
    }
    std::printf("E\t%s\t%x\t%x\t", e.name.c_str(), e.ordinal, e.rva);
    if (e.fileOffset) {
      std::printf("%x\t", *e.fileOffset);
    } else {
      std::printf("-\t");
    }
    std::printf("%s\n", e.forwarder ? e.forwarder->c_str() : "-");
    all.push_back(e);
    return false;
  });
  // A lookup walks the table again: all of them would cost the square of the count.
  const size_t step = std::max<size_t>(1, all.size() / 64);
  for (size_t i = 0; i < all.size(); i += step) {
    const auto found = rootkit::FindFileExport(file.data(), file.size(), all[i].name);
    if (!found || found->rva != all[i].rva || found->ordinal != all[i].ordinal) {
      std::printf("L\t%s\n", all[i].name.c_str());
    }
  }
  const rootkit::TBufferReader fileReader(file.data(), file.size());
  const auto headers = rootkit::ReadPeHeaders(fileReader, 0);
  if (!headers) return;
  const std::vector<uint8_t> image = MapImage(file, *headers);
  const rootkit::TBufferReader imageReader(image.data(), image.size());
  rootkit::WalkImports(imageReader, static_cast<uint32_t>(image.size()), headers->imports,
                       [](const rootkit::TImportEntry& e) {
                         std::printf("I\t%s\t%s\n", e.module.c_str(), e.function.c_str());
                       });
}

}  // namespace

int main(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) Dump(argv[i]);
  return 0;
}
