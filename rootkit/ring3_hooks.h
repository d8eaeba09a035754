// User-mode hooks in the own process and in the shell: import-table entries of the executable
// that leave the module they were imported from, export-table entries that leave their image,
// and exported functions that open with a jump (E9, FF 25) or a push/return pair leaving the
// module while the file on disk holds other bytes. Image copies are attacker-controlled bytes:
// they are only read through bounds-checked readers.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "rootkit/native_layer.h"
#include "rootkit/pe_image.h"

namespace rootkit {

constexpr uint32_t kMaxInspectedModules = 256;
constexpr uint32_t kMaxSameNameModules = 10;

// The own process, then the shell when an explorer.exe runs from the Windows folder.
std::vector<uint32_t> GetInspectedProcesses();

struct TModuleSpan {
  Address base = 0;
  uint32_t size = 0;
};
struct TModulePath {
  std::string path;  // as the process's loader list holds it
  TModuleSpan span;
};
struct TModuleLists {
  std::vector<TModuleSpan> modules;  // load order, the first 256
  std::vector<TModulePath> paths;
};
TModuleLists BuildModuleLists(Handle process);

// The loaded modules whose file name is `moduleName` (trimmed, letter case ignored): at most ten,
// further ones ignored.
std::vector<TModuleSpan> FindModulesByFileName(const std::string& moduleName, const std::vector<TModulePath>& paths);
// Where the name after the import name at `text` (relative to the copy) starts.
uint64_t NextImportName(const TMemoryReader& copy, uint64_t text);
// One named entry of an import address table: the module imported from, the function's name
// and the entry's value. `first` marks the first entry of a descriptor.
struct TImportEntry {
  std::string module;
  std::string function;
  uint32_t value = 0;
  bool first = false;
};
// Walks the import descriptors of an image copy of `copySize` bytes in order, visiting every
// non-zero address-table entry whose name lies in the image and can be read.
void WalkImports(const TMemoryReader& copy, uint32_t copySize, const TDataDirectory& imports,
                 const std::function<void(const TImportEntry&)>& visit);
// Whether the own process's `module` forwards `function`; true when it cannot tell.
bool IsForwardedExport(const std::string& module, const std::string& function);
// The relative address is at or beyond the image size (the loader's size when the header's
// size is not aligned).
bool IsOutsideImage(const TMemoryReader& copy, uint64_t rva, uint32_t loaderSize);
// The file name of the module holding `address` in process `pid`; "N/A" when no module holds
// it, empty when the process cannot be opened.
std::string ModuleNameOfAddress(Address address, uint32_t pid);

// The hook lines of the inspected processes.
std::vector<std::string> ListRing3Hooks();

}  // namespace rootkit
