// The report items of the hook and kernel sections and the verdict over a whole report. The
// scan frame appends them; this layer knows nothing of the report itself.
#pragma once

#include <string>
#include <vector>

#include "inspect/stop_token.h"

namespace rootkit {

// "Ring3 hooks": user-mode API hooks of the own process and of the shell.
std::vector<std::string> Ring3HookItems();
// "Kernel mode hooks": service-table and kernel-code hooks found through the driver.
// A stop request ends it between steps; the driver never outlives it.
std::vector<std::string> KernelModeItems(const inspect::TStopToken* stop = nullptr);
// The verdict lines appended right after the kernel section, judged over every item of the report:
// "(!!!POSSIBLE ROOTKIT DETECTED!!!)" and an empty line for three counted [RING0] lines or more.
std::vector<std::string> RootkitVerdict(const std::vector<std::string>& reportItems);

}  // namespace rootkit
