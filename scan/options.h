// The option snapshot a scan works from, taken when the scan starts.
#pragma once

#include <string>
#include <vector>

namespace scan {

struct TScanOptions {
  bool ExcludeMicrosoftFiles = true;
  bool ReduceMemoryUsage = true;
  bool ShowAllServiceDll = true;
  bool SuspiciousModulesOnly = true;
  bool KernelModeInfo = true;
  bool Ring3ApiHooks = true;
  bool UnknownSysFiles = true;
  bool UnknownClsidFiles = true;
  bool RecentFiles = true;
  int RecentDays = 15;
  bool UseMd5Exclusions = false;
  bool CustomRegistryDump = false;
  bool CustomFilesList = false;

  std::vector<std::string> RegistryDumpEntries;  // "<root name>\<path>"
  std::vector<std::string> CustomFileEntries;    // "<folder>|<file mask>"
  std::vector<std::string> Md5Exclusions;        // ExclusionKey of each line
};

// The text before the first blank of an exclusion line; empty when the line has no blank.
std::string ExclusionKey(const std::string& line);

}  // namespace scan
