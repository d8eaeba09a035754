// Process helpers: executable paths, module lists, look-up by name and folder.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace inspect {

std::string ProcessExePath(uint32_t pid);
// Adds the process's modules (not its main executable) that `list` lacks; false when it cannot be opened.
bool CollectProcessModules(uint32_t pid, std::vector<std::string>& list);
// The last process in snapshot order named like `exeName` whose image lies in `folder` (with "\").
uint32_t FindProcessId(const std::string& exeName, const std::string& folder);
std::string ProcessImageFolder(uint32_t pid);

}  // namespace inspect
