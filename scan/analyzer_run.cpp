#include "scan/analyzer_run.h"

#include <memory>

#include "inspect/lang.h"
#include "inspect/registry.h"
#include "inspect/run_flags.h"
#include "inspect/files.h"
#include "inspect/system.h"

namespace scan {

namespace {

namespace win = platform::win;

const char* const kDriverLegacyKeys[] = {
    "SYSTEM\\ControlSet001\\Enum\\Root\\LEGACY_KVDRV",
    "SYSTEM\\ControlSet002\\Enum\\Root\\LEGACY_KVDRV",
    "SYSTEM\\CurrentControlSet\\Enum\\Root\\LEGACY_KVDRV",
};

std::string Replace(std::string text, const std::string& chars, char by) {
  for (char& c : text) {
    if (chars.find(c) != std::string::npos) c = by;
  }
  return text;
}

// An output that failed: restore the window when it was hidden, then say what failed.
void ReportOutputFailure(const TSettings& settings, TAnalyzerHost& host, int messageKey, uint32_t code) {
  if (settings.WorkInBackground) host.LeaveBackground();
  host.Prompt(inspect::Lng(messageKey) + ": " + platform::Sys().FormatErrorMessage(code), "ERROR",
              win::kMbIconError | win::kMbTopmost);
}

// Clipboard, log file, Notepad, desktop copy. False when an output failed and the run ends.
bool WriteOutputs(const TSettings& settings, TAnalyzerHost& host, const std::string& text,
                  const std::string& stamp) {
  if (settings.CopyToClipboard) platform::Clip().SetText(text);
  if (!settings.SaveReport) return true;

  const std::string logFile = inspect::GetAppDir() + "Logs\\logs_" + stamp + ".log";
  try {
    inspect::AppendTextToFile(logFile, text);
    if (settings.OpenReport) {
      if (!inspect::FileExists(logFile)) inspect::AppendTextToFile(logFile, text);
      if (inspect::FileExists(logFile)) {
        platform::Sh().ShellExecute(0, "open", inspect::GetWindowsDir() + "\\notepad.exe", logFile, "",
                                    win::kSwShowNormal);
      }
    }
  } catch (const inspect::EFileError& error) {
    ReportOutputFailure(settings, host, 116, error.code());
    return false;
  }

  if (settings.CopyToDesktop && inspect::FileExists(logFile)) {
    const std::string copy = inspect::GetSpecialFolder(win::kCsidlDesktopDirectory) + "\\logs_" + stamp + ".log";
    if (!platform::Fs().CopyFile(logFile, copy, false)) {
      ReportOutputFailure(settings, host, 117, platform::Sys().GetLastError());
      return false;
    }
  }
  return true;
}

}  // namespace

void RemoveDriverLegacyKeys() {
  for (const char* key : kDriverLegacyKeys) {
    if (inspect::RegKeyExists(platform::kHkeyLocalMachine, key)) {
      inspect::RegDeleteKeyPath(platform::kHkeyLocalMachine, key, true);
    }
  }
}

std::string ReportTimeStamp() {
  auto& sys = platform::Sys();
  platform::LocalTime now = sys.GetLocalTime();
  return Replace(sys.FormatShortDate(now), "/", '-') + "_" + Replace(sys.FormatLongTime(now), ": ", '_');
}

void RunAnalyzer(const TSettings& settings, TAnalyzerHost& host) {
  if (inspect::ScanRunning) return;
  if (inspect::RestorerRunning) {
    host.Prompt(inspect::Lng(125), "Warning", win::kMbIconWarning | win::kMbTopmost);
    return;
  }
  inspect::FillDefaultTexts();
  if (settings.RestorePointBeforeAnalyzer) inspect::CreateRestorePoint();

  host.SetScanEnabled(false);
  host.ClearLog();
  inspect::ScanRunning = true;
  const std::string stamp = ReportTimeStamp();
  host.SetProgressRange(0, 100, 5);

  // Shared with the worker: a worker still running when the window closes keeps them alive.
  auto report = std::make_shared<TReport>();
  auto options = std::make_shared<const TScanOptions>(TakeScanOptions(settings));

  if (settings.WorkInBackground) {
    try {
      host.EnterBackground();
    } catch (...) {
    }
  }

  TScanDisplay* display = &host.Display();
  try {
    RunScanThread([report, options, display] { return ScanThread(*report, *options, *display); }, host);
  } catch (const std::exception& error) {
    inspect::WriteDebugLog(inspect::DebugLogEntry(error));
  }

  // A closing window may have stopped the worker in the middle of an append: its report is
  // not read then (nothing is written out either).
  const std::string text = inspect::AppClosing ? std::string() : report->Text();
  host.SetLogText(text);
  host.SetScanEnabled(true);
  inspect::ScanRunning = false;

  // A failed output ends the outputs, not the run: the driver's keys go on every path.
  if (!inspect::AppClosing && WriteOutputs(settings, host, text, stamp) && settings.WorkInBackground) {
    host.LeaveBackground();
  }
  RemoveDriverLegacyKeys();
}

}  // namespace scan
