// The scan frame: header, the sections in order with their gates, banners and progress values,
// and the footer.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "inspect/prompt.h"
#include "platform/platform.h"
#include "scan/options.h"
#include "scan/report.h"

namespace scan {

// Where the worker's lines and progress go: called on the worker's thread.
class TScanDisplay {
 public:
  virtual ~TScanDisplay() = default;
  virtual void AddLine(const std::string& line) = 0;  // one line of the Analyzer's log area
  virtual void SetProgress(int position) = 0;         // the progress bar, 0..100
  // Around the content of each section that runs, for timings.
  virtual void SectionStarted(const std::string& /*title*/) {}
  virtual void SectionEnded(const std::string& /*title*/) {}
};

// How the frame handles a failure that escapes a section's content.
enum class TSectionFailure {
  LogOnly,        // written to the debug log; the report goes on
  LastErrorText,  // the system's text for the last error code becomes one item
  Silent,         // nothing is appended
  FixedText,      // `failureText` becomes one item
};

struct TSection {
  int titleKey;                  // language entry of the title; 0 for a fixed title
  const char* fixedTitle;        // title when titleKey is 0
  bool TScanOptions::*gate;      // null: always runs
  void (*content)(TReport&, const TScanOptions&);
  int progress;                  // set after the section; -1 for none
  bool progressWhenGatedOff;     // the progress is set even when the gate is off
  bool patientBanner;            // the display banner adds the "can take some minutes" text
  bool recentTitle;              // title is "<lng26> <RecentDays> <lng27>"
  TSectionFailure failure;
  const char* failureText;
  void (*afterSection)(TReport&) = nullptr;  // runs after the section's closing empty line
};

std::span<const TSection> DefaultSections();
std::string SectionTitle(const TSection& section, const TScanOptions& options);

// The worker body: builds the whole report. A stop request (options.Stop) ends it before the
// next section and cuts the section in progress short; the footer is then left out. Never throws.
uint32_t ScanThread(TReport& report, const TScanOptions& options, TScanDisplay& display,
                    std::span<const TSection> sections = DefaultSections());

// The message when no worker thread could be started.
void TellThreadFailure(inspect::TPrompter& prompter);

}  // namespace scan
