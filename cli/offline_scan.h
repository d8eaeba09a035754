// The scan of a Windows volume that is not running (bsscan --offline DIR): the registry and
// file sections run as on the live system; a section that needs the running system says so in
// one line.
#pragma once

#include <string>
#include <vector>

#include "scan/frame.h"
#include "scan/report.h"

namespace cli {

constexpr char kNotAvailableOffline[] = "Not available offline";

// The sections of the scan, those of processes, modules, the service manager, sockets, hooks
// and the kernel each reduced to that one line.
std::vector<scan::TSection> OfflineSections();

// The report with `lines` (the source, then what is missing) after the header's date line.
scan::TReport WithOfflineHeader(const scan::TReport& report, const std::vector<std::string>& lines);

}  // namespace cli
