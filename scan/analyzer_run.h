// One press of "Scan PC": checks, snapshot, the scan as a job, the report shown and written out.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "inspect/prompt.h"
#include "inspect/run_state.h"
#include "scan/frame.h"
#include "scan/job.h"
#include "scan/settings.h"

namespace scan {

// The window side of a run. The Analyzer page implements it over its controls; every message of
// the run goes through its Prompt, and its lines and progress arrive on the window's thread.
class TAnalyzerHost : public inspect::TPrompter, public TScanDisplay {
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
};

// "<short date with - for />_<long time with _ for : and blanks>", from the local time now.
std::string ReportTimeStamp();

// Deletes the legacy device keys Windows makes for the companion driver (LEGACY_KVDRV).
void RemoveDriverLegacyKeys();

// The scan of one press as a job. The owner is told through `notify` (from the worker's thread)
// and calls Deliver on its own thread; the outputs are written when the end is delivered.
class TAnalyzerRun {
 public:
  TAnalyzerRun(TAnalyzerHost& host, inspect::TRunState& state) : host_(host), state_(state) {}
  TAnalyzerRun(const TAnalyzerRun&) = delete;
  TAnalyzerRun& operator=(const TAnalyzerRun&) = delete;
  ~TAnalyzerRun() { Stop(); }

  // From the settings as the controls hold them now. Ignored while a scan runs; refused with a
  // warning while repairs run.
  void Start(const TSettings& settings, std::function<void()> notify);
  bool Running() const { return job_ != nullptr; }
  // Waits up to `milliseconds` for the worker's end without dispatching messages.
  bool Wait(uint32_t milliseconds) { return !job_ || job_->Wait(milliseconds); }
  // Hands the lines and progress that came to the host; at the end, the report and the outputs.
  void Deliver();
  // The window goes: asks the worker to stop and waits for it (bounded). A run cut short writes
  // nothing; what the driver left is removed all the same.
  void Stop();

 private:
  void Finish(bool cutShort);

  TAnalyzerHost& host_;
  inspect::TRunState& state_;
  TSettings settings_;
  std::string stamp_;
  std::shared_ptr<TReport> report_;
  std::unique_ptr<TJob> job_;
};

// One whole run, waited for without dispatching messages: the headless runner and the tests.
void RunAnalyzer(const TSettings& settings, TAnalyzerHost& host, inspect::TRunState& state);

}  // namespace scan
