// One press of "Scan PC": checks, snapshot, the worker, the report shown and written out.
#pragma once

#include <string>

#include "inspect/prompt.h"
#include "scan/frame.h"
#include "scan/settings.h"

namespace scan {

// The window side of a run. The handler of the button implements it over its controls; every
// message of the run goes through its Prompt.
class TAnalyzerHost : public inspect::TPrompter {
 public:
  virtual ~TAnalyzerHost() = default;
  virtual void SetScanEnabled(bool enabled) = 0;  // the "Scan PC" button
  virtual void ClearLog() = 0;                     // the log area
  virtual void SetLogText(const std::string& text) = 0;
  virtual void SetProgressRange(int minimum, int maximum, int position) = 0;
  // Hide the window and its taskbar entry, show the tray icon and the balloon.
  virtual void EnterBackground() = 0;
  // Restore the window, hide the balloon and the tray icon.
  virtual void LeaveBackground() = 0;
  // The worker's two synchronous display calls.
  virtual TScanDisplay& Display() = 0;
};

// "<short date with - for />_<long time with _ for : and blanks>", from the local time now.
std::string ReportTimeStamp();

// Deletes the legacy device keys Windows makes for the companion driver (LEGACY_KVDRV).
void RemoveDriverLegacyKeys();

// Runs one whole scan from the settings as the controls hold them now.
void RunAnalyzer(const TSettings& settings, TAnalyzerHost& host);

}  // namespace scan
