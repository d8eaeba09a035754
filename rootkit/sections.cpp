#include "rootkit/sections.h"

namespace rootkit {

// The driver client fills these in; the hook lines come from ring3_hooks.cpp.
std::vector<std::string> KernelModeItems() { return {}; }
std::vector<std::string> RootkitVerdict(const std::vector<std::string>&) { return {}; }

}  // namespace rootkit
