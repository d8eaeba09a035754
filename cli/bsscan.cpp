// bsscan: the Analyzer without a window. Reads the same settings files as the GUI, runs the same
// frame and section writers, and writes the report to a file or to standard output, as text or
// as JSON; or compares two reports written before.
//
//   bsscan.exe [--format text|json] [--output FILE] [--quiet] [--no-extra-sections] [--timings]
//   bsscan.exe --diff OLD NEW [--exact] [--output FILE]
//   bsscan --offline DIR [--format text|json] [--output FILE] [--quiet] [--no-extra-sections] [--timings]
//   (the Linux build: a Windows system volume that is not running, mounted or copied at DIR)
//
// --no-extra-sections leaves out the autostart and tampering sections after the classic ones,
// whatever the settings say: the report is then the classic one.
// --timings: each section's wall time and the system calls it made, by kind, on standard error.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

#include "inspect/lang.h"
#include "inspect/prompt.h"
#include "inspect/save_file.h"
#include "inspect/system.h"
#include "platform/call_counts.h"
#include "platform/sync.h"
#ifdef _WIN32
#include "platform/win32/win32_backend.h"
#endif
#ifdef BS_OFFLINE
#include <unistd.h>

#include "cli/offline_scan.h"
#include "platform/offline/offline_backend.h"
#endif
#include "rootkit/kernel_inspect.h"
#include "rootkit/native_layer.h"
#include "scan/analyzer_run.h"
#include "scan/connections.h"
#include "scan/frame.h"
#include "scan/job.h"
#include "scan/report_diff.h"
#include "scan/report_json.h"
#include "scan/settings.h"

namespace {

#ifdef BS_OFFLINE
const char kUsage[] =
    "usage: bsscan --offline DIR [--format text|json] [--output FILE] [--quiet] [--no-extra-sections] [--timings]";
#else
const char kUsage[] =
    "usage: bsscan.exe [--format text|json] [--output FILE] [--quiet] [--no-extra-sections] [--timings] | bsscan.exe "
    "--diff OLD NEW [--exact] [--output FILE]";
#endif

// "[t] TITLE: 12.3 ms, keys opened N, ...": the time and the calls since `start` and `since`.
void WriteTiming(const std::string& title, uint64_t start, const platform::TCallCounts& since) {
  const double ms = static_cast<double>(platform::Sys().GetMicroseconds() - start) / 1000.0;
  const std::string counts = platform::CallCountsText(platform::CallCounts() - since);
  std::fprintf(stderr, "[t] %s: %.1f ms, %s\n", title.c_str(), ms, counts.c_str());
  std::fflush(stderr);
}

// Banners and progress go to standard error; the worker waits for each line to be written.
class ConsoleDisplay : public scan::TScanDisplay {
 public:
  ConsoleDisplay(bool quiet, bool timings) : quiet_(quiet), timings_(timings) {}
  void AddLine(const std::string& line) override {
    if (quiet_) return;
    std::lock_guard lock(mutex_);
    std::fprintf(stderr, "%s\n", line.c_str());
    std::fflush(stderr);
  }
  void SetProgress(int position) override {
    if (quiet_) return;
    std::lock_guard lock(mutex_);
    std::fprintf(stderr, "progress %d%%\n", position);
    std::fflush(stderr);
  }
  void SectionStarted(const std::string&) override {
    if (!timings_) return;
    sectionCounts_ = platform::CallCounts();
    sectionStart_ = platform::Sys().GetMicroseconds();
  }
  void SectionEnded(const std::string& title) override {
    if (!timings_) return;
    std::lock_guard lock(mutex_);
    WriteTiming(title, sectionStart_, sectionCounts_);
  }

 private:
  bool quiet_;
  bool timings_;
  uint64_t sectionStart_ = 0;
  platform::TCallCounts sectionCounts_;
  platform::Mutex mutex_;
};

// No window to ask: the message goes to standard error and the default answer is taken
// (No where the question has one, else OK).
class ConsolePrompter : public inspect::TPrompter {
 public:
  int Prompt(const std::string& text, const std::string& caption, uint32_t flags) override {
    std::fprintf(stderr, "bsscan: %s: %s\n", caption.c_str(), text.c_str());
    std::fflush(stderr);
    return (flags & platform::win::kMbYesNo) == platform::win::kMbYesNo ? platform::win::kIdNo : platform::win::kIdOk;
  }
};

// The whole file; false and a message when it cannot be read.
bool ReadReportFile(const std::string& path, std::string* bytes, std::string* error) {
  std::FILE* in = std::fopen(path.c_str(), "rb");
  if (!in) {
    *error = "cannot read " + path + ": " + std::strerror(errno);
    return false;
  }
  char buffer[65536];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, in)) > 0) bytes->append(buffer, n);
  const bool ok = !std::ferror(in);
  std::fclose(in);
  if (!ok) *error = "cannot read " + path;
  return ok;
}

// To the file when one is named, else to standard output; 0, or 1 with a message.
int WriteOutput(const std::string& output, const std::string& text) {
  if (output.empty()) {
#ifdef _WIN32
    _setmode(_fileno(stdout), _O_BINARY);
#endif
    const bool ok = std::fwrite(text.data(), 1, text.size(), stdout) == text.size() && std::fflush(stdout) == 0;
    if (!ok) {
      std::fprintf(stderr, "bsscan: cannot write to standard output\n");
      return 1;
    }
    return 0;
  }
  // Beside the target first, then one replacing rename: a failed write never leaves a partial
  // report, and there is no moment without either the old report or the new one.
#ifdef BS_OFFLINE
  // The installed backend is the volume, which takes no writes: the report goes to this host.
  const std::string part = inspect::SavePartPath(output);
  std::FILE* out = std::fopen(part.c_str(), "wb");
  bool written = out && std::fwrite(text.data(), 1, text.size(), out) == text.size() && std::fflush(out) == 0 &&
                 ::fsync(::fileno(out)) == 0;
  if (out && std::fclose(out) != 0) written = false;
  if (!written || std::rename(part.c_str(), output.c_str()) != 0) {
    const std::string reason = std::strerror(errno);
    std::remove(part.c_str());
    std::fprintf(stderr, "bsscan: cannot write %s: %s\n", output.c_str(), reason.c_str());
    return 1;
  }
#else
  if (const uint32_t rc = inspect::SaveFileReplacing(output, text)) {
    std::fprintf(stderr, "bsscan: cannot write %s: %s\n", output.c_str(), platform::Sys().FormatErrorMessage(rc).c_str());
    return 1;
  }
#endif
  return 0;
}

// --diff: reads both reports (text or JSON) and prints what changed, in the system code page.
int Diff(const std::string& before, const std::string& after, bool exact, const std::string& output) {
  const scan::TReportWords words = scan::Utf8Words(scan::CurrentReportWords(nullptr));
  std::optional<scan::TReportModel> models[2];
  const std::string* paths[2] = {&before, &after};
  for (int i = 0; i < 2; ++i) {
    std::string bytes, error;
    if (!ReadReportFile(*paths[i], &bytes, &error) || !(models[i] = scan::LoadReportModel(bytes, words, &error))) {
      if (!models[i] && error.rfind("cannot", 0) != 0) error = *paths[i] + ": " + error;
      std::fprintf(stderr, "bsscan: %s\n", error.c_str());
      return 1;
    }
  }
  return WriteOutput(output, platform::Sys().Utf8ToAnsi(scan::DiffReports(*models[0], *models[1], words, exact)));
}

}  // namespace

int main(int argc, char** argv) {
  std::string output, format, diffBefore, diffAfter, offlineDir;
  bool quiet = false, exact = false, diff = false, classicOnly = false, timings = false;
  auto usageError = [](const std::string& what) {
    std::fprintf(stderr, "bsscan: %s; %s\n", what.c_str(), kUsage);
    return 2;
  };
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--quiet") {
      quiet = true;
    } else if (arg == "--timings") {
      timings = true;
    } else if (arg == "--output" && i + 1 < argc && argv[i + 1][0] != '\0') {
      output = argv[++i];
    } else if (arg == "--format" && i + 1 < argc) {
      format = argv[++i];
      if (format != "text" && format != "json") return usageError("unknown format '" + format + "'");
    } else if (arg == "--diff" && i + 2 < argc) {
      diff = true;
      diffBefore = argv[++i];
      diffAfter = argv[++i];
    } else if (arg == "--offline" && i + 1 < argc && argv[i + 1][0] != '\0') {
      offlineDir = argv[++i];
    } else if (arg == "--exact") {
      exact = true;
    } else if (arg == "--no-extra-sections") {
      classicOnly = true;
    } else if (arg == "--help" || arg == "-h") {
      std::printf("%s\n", kUsage);
      return 0;
    } else {
      return usageError("unexpected argument '" + arg + "'");
    }
  }
  if (exact && !diff) return usageError("--exact belongs to --diff");
  if (diff && !format.empty()) return usageError("--format does not go with --diff");
  if (diff && classicOnly) return usageError("--no-extra-sections does not go with --diff");
  if (diff && timings) return usageError("--timings does not go with --diff");
  const bool offline = !offlineDir.empty();
#ifdef BS_OFFLINE
  // This build reads a volume at rest and nothing else.
  if (!offline) return usageError("--offline DIR is needed");
  if (diff) return usageError("--diff does not go with --offline");
  platform::offline::Volume volume(offlineDir);
  volume.Install();
#else
  if (offline) return usageError("--offline is in the Linux build");
  platform::win32::Install();
#endif
  const std::string appDir = inspect::GetAppDir();
  if (diff) {
    inspect::FillDefaultTexts();  // the labels of value entries, as the scans wrote them
    return Diff(diffBefore, diffAfter, exact, output);
  }
  if (!offline) {
    rootkit::InitNativeLayer();
    scan::LoadIpHelper();
    rootkit::EnableStartupPrivileges();
    rootkit::RemoveLeftoverDriver();
  }
  struct IpHelperRelease {
    ~IpHelperRelease() { scan::UnloadIpHelper(); }
  } ipHelperRelease;
  scan::TSettings settings;
  scan::LoadSettings(appDir, settings);
  scan::TScanOptions options = scan::TakeScanOptions(settings);
  if (classicOnly) options.ExtraSections = false;

  inspect::FillDefaultTexts();
  scan::TReport report;
  ConsoleDisplay display(quiet, timings);
  std::optional<platform::TCallCounter> counter;
  if (timings) counter.emplace();
  const uint64_t scanStart = platform::Sys().GetMicroseconds();
  const platform::TCallCounts scanCounts = platform::CallCounts();
  ConsolePrompter prompter;
  std::vector<scan::TSection> sections(scan::DefaultSections().begin(), scan::DefaultSections().end());
#ifdef BS_OFFLINE
  sections = cli::OfflineSections();
#endif
  {
    scan::TJob job;
    if (!job.Start([&](const inspect::TStopToken&, scan::TScanDisplay&) {
          scan::ScanThread(report, options, display, sections);
          return std::string();
        })) {
      scan::TellThreadFailure(prompter);
      return 1;
    }
    job.Wait(platform::win::kInfinite);
  }
  if (timings) WriteTiming("total", scanStart, scanCounts);
#ifdef BS_OFFLINE
  std::vector<std::string> header{volume.SourceLine()};
  header.insert(header.end(), volume.Notes().begin(), volume.Notes().end());
  report = cli::WithOfflineHeader(report, header);
#endif
  // The JSON is read from the finished report in the words of the language it was written in.
  const std::string text = format == "json"
                               ? scan::ReportJson(scan::Utf8ReportModel(report, scan::CurrentReportWords(&options)))
                               : report.Text();
  if (!offline) scan::RemoveDriverLegacyKeys();
  return WriteOutput(output, text);
}

