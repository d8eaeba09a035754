// Browser pages, trusted sites, firewall exceptions, name servers and the hosts file.
#include "scan/sections.h"

namespace scan {

void WriteIeSettings(TReport&, const TScanOptions&) {}
void WriteTrustedSites(TReport&, const std::string&, RegKey) {}
void ListFirewallPrograms(TReport&, const TScanOptions&, const std::string&, const std::string&) {}
void WriteHostsFile(TReport&, const TScanOptions&) {}

}  // namespace scan
