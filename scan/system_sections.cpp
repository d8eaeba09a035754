// System identity, running processes and loaded modules.
#include "scan/sections.h"

namespace scan {

void WriteGenericSystemInfo(TReport&, const TScanOptions&) {}
void WriteRunningProcesses(TReport&, const TScanOptions&) {}
void WriteLoadedModules(TReport&, const TScanOptions&) {}

}  // namespace scan
