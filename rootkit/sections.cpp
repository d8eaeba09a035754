#include "rootkit/sections.h"

#include "rootkit/kernel_inspect.h"

namespace rootkit {

// The hook lines come from ring3_hooks.cpp, the verdict from kernel_inspect.cpp.
std::vector<std::string> KernelModeItems(const inspect::TStopToken* stop) {
  std::vector<std::string> items;
  ListKernelModeInfo(items, stop);
  return items;
}

}  // namespace rootkit
