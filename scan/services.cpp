// Drivers, services, service DLLs, Winsock providers and COM servers.
#include "scan/sections.h"

namespace scan {

void WriteServiceList(TReport&, const TScanOptions&, TServiceKind) {}
void WriteFilterDrivers(TReport&, const TScanOptions&, const std::string&) {}
void WriteServiceDlls(TReport&, const TScanOptions&, const std::string&) {}
void ListWinsockLibraries(TReport&, const TScanOptions&, const std::string&) {}
void WriteUnknownClsidFiles(TReport&, const TScanOptions&, const std::string&) {}

}  // namespace scan
