#include "scan/analyzer_run.h"

#include <memory>

#include "inspect/lang.h"
#include "inspect/registry.h"
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

void TAnalyzerRun::Start(const TSettings& settings, std::function<void()> notify) {
  if (job_ || state_.scanning) return;
  if (state_.repairing) {
    host_.Prompt(inspect::Lng(125), "Warning", win::kMbIconWarning | win::kMbTopmost);
    return;
  }
  inspect::FillDefaultTexts();
  if (settings.RestorePointBeforeAnalyzer) inspect::CreateRestorePoint();

  settings_ = settings;
  host_.SetScanEnabled(false);
  host_.ClearLog();
  state_.scanning = true;
  stamp_ = ReportTimeStamp();
  host_.SetProgressRange(0, 100, 5);

  // Shared with the worker, which may outlive a bounded wait at close.
  report_ = std::make_shared<TReport>();
  auto options = std::make_shared<TScanOptions>(TakeScanOptions(settings));

  if (settings.WorkInBackground) {
    try {
      host_.EnterBackground();
    } catch (...) {
    }
  }

  auto job = std::make_unique<TJob>();
  const bool started = job->Start(
      [report = report_, options](const inspect::TStopToken& stop, TScanDisplay& display) {
        options->Stop = &stop;
        ScanThread(*report, *options, display);
        return std::string();
      },
      std::move(notify));
  if (!started) {
    TellThreadFailure(host_);
    Finish(false);
    return;
  }
  job_ = std::move(job);
}

void TAnalyzerRun::Deliver() {
  if (!job_) return;
  TJob::TNews news = job_->Take();
  for (const std::string& line : news.lines) host_.AddLine(line);
  if (news.progress >= 0) host_.SetProgress(news.progress);
  if (!news.ended) return;
  const bool cutShort = job_->StopRequested();
  job_.reset();  // the body has returned: the thread is ending
  Finish(cutShort);
}

void TAnalyzerRun::Stop() {
  if (!job_) return;
  job_->RequestStop();
  if (!job_->Wait(TJob::kStopWaitMilliseconds)) {
    // Stuck in a system call: the process ends around it; its state stays with the worker.
    inspect::WriteDebugLog("scan worker did not stop in time");
    static_cast<void>(job_.release());
  }
  job_.reset();
  Finish(true);
}

void TAnalyzerRun::Finish(bool cutShort) {
  const std::string text = cutShort ? std::string() : report_->Text();
  if (!cutShort) host_.SetLogText(text);
  host_.SetScanEnabled(true);
  state_.scanning = false;

  // A failed output ends the outputs, not the run: the driver's keys go on every path.
  if (!cutShort && WriteOutputs(settings_, host_, text, stamp_) && settings_.WorkInBackground) {
    host_.LeaveBackground();
  }
  RemoveDriverLegacyKeys();
  report_.reset();
}

void RunAnalyzer(const TSettings& settings, TAnalyzerHost& host, inspect::TRunState& state) {
  TAnalyzerRun run(host, state);
  run.Start(settings, {});
  run.Wait(win::kInfinite);
  run.Deliver();
}

}  // namespace scan
