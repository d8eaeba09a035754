#include "rootkit/sections.h"

namespace rootkit {

// The native layer, the hook detector and the driver client fill these in.
std::vector<std::string> Ring3HookItems() { return {}; }
std::vector<std::string> KernelModeItems() { return {}; }
std::vector<std::string> RootkitVerdict(const std::vector<std::string>&) { return {}; }

}  // namespace rootkit
