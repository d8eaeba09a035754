// User-mode hooks, kernel inspection and the rootkit verdict.
#include "scan/sections.h"

namespace scan {

void ListRing3Hooks(TReport&, const TScanOptions&) {}
void ListKernelModeInfo(TReport&, const TScanOptions&) {}
void WriteRootkitVerdict(TReport&) {}

}  // namespace scan
