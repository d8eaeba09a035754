// The test machine's import of Registry Editor files: any text loads what it can, never throws.
#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/fake/reg_import.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  platform::fake::RegistryTree tree;
  platform::fake::ImportReg(tree, std::string(reinterpret_cast<const char*>(data), size));
  return 0;
}
