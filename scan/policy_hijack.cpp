// Policy hijacks and suspicious registry keys.
#include "scan/sections.h"

namespace scan {

void WriteSystemHijack(TReport&, const TScanOptions&) {}
void WriteSuspiciousRegistryKeys(TReport&, const TScanOptions&) {}

}  // namespace scan
