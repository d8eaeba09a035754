// The option snapshot a scan works from, taken when the scan starts.
#pragma once

#include <string>
#include <vector>

#include "inspect/stop_token.h"

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
  bool ExtraSections = true;  // the autostart and tampering sections after the classic ones

  std::vector<std::string> RegistryDumpEntries;  // "<root name>\<path>"
  std::vector<std::string> CustomFileEntries;    // "<folder>|<file mask>"
  std::vector<std::string> Md5Exclusions;        // ExclusionKey of each line

  // The run's stop request; null for a run nobody stops.
  const inspect::TStopToken* Stop = nullptr;
  bool Stopped() const { return Stop && Stop->Requested(); }
  // The pacing pause between items (taken when `when`); false once a stop is asked for, and the
  // caller's loop ends.
  bool Pause(bool when) const;
};

// The text before the first blank of an exclusion line; empty when the line has no blank.
std::string ExclusionKey(const std::string& line);

}  // namespace scan
