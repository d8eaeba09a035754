// Registry autostart locations and the custom registry dump.
#include "scan/sections.h"

namespace scan {

void WriteRegistryStartups(TReport&, const TScanOptions&) {}
void WriteOtherStartups(TReport&, const TScanOptions&) {}
void WriteCustomRegistryDump(TReport&, const TScanOptions&, const std::string&) {}

}  // namespace scan
