#include "cli/offline_scan.h"

#include <algorithm>

namespace cli {

namespace {

// Language keys of the titles of the sections that read the running system.
constexpr int kRunningSystemSections[] = {
    16,   // running processes
    73,   // loaded modules
    30,   // drivers, as the service manager lists them
    80,   // services, likewise
    81,   // TCP connections
    225,  // UDP sockets
    209,  // ring3 hooks
    208,  // kernel mode information
};

void NotAvailable(scan::TReport& report, const scan::TScanOptions&) { report.Add(kNotAvailableOffline); }

}  // namespace

std::vector<scan::TSection> OfflineSections() {
  std::vector<scan::TSection> sections(scan::DefaultSections().begin(), scan::DefaultSections().end());
  for (scan::TSection& section : sections) {
    if (std::find(std::begin(kRunningSystemSections), std::end(kRunningSystemSections), section.titleKey) ==
        std::end(kRunningSystemSections)) {
      continue;
    }
    section.content = NotAvailable;
    section.failure = scan::TSectionFailure::LogOnly;
    section.afterSection = nullptr;
  }
  return sections;
}

scan::TReport WithOfflineHeader(const scan::TReport& report, const std::vector<std::string>& lines) {
  // The header ends at its first empty item.
  size_t end = 0;
  while (end < report.Count() && !report.Item(end).empty()) ++end;
  scan::TReport out;
  for (size_t i = 0; i < end; ++i) out.Add(report.Item(i));
  for (const std::string& line : lines) out.Add(line);
  for (size_t i = end; i < report.Count(); ++i) out.Add(report.Item(i));
  return out;
}

}  // namespace cli
