// System identity, running processes and loaded modules.
#include <exception>
#include <vector>

#include "inspect/files.h"
#include "inspect/lang.h"
#include "inspect/paths.h"
#include "inspect/processes.h"
#include "inspect/registry.h"
#include "inspect/system.h"
#include "scan/file_lines.h"
#include "scan/sections.h"

namespace scan {

namespace {

namespace win = platform::win;

void ListFile(const std::string& path, TReport& report, const TScanOptions& options) {
  ReportFile(path, report, options.ExcludeMicrosoftFiles, options.Md5Exclusions, options.UseMd5Exclusions);
}

// The executable of a process: from its main module, else rebuilt from its image folder and the
// snapshot name ("\<name>" when no folder is known), in drive-letter form.
std::string ProcessFilePath(const platform::ProcessEntry& entry) {
  std::string path = inspect::ProcessExePath(entry.pid);
  if (path.empty()) {
    try {
      const std::string folder = inspect::ProcessImageFolder(entry.pid);
      path = folder.empty() ? "\\" + entry.exeFile : inspect::JoinPath(folder, entry.exeFile);
    } catch (const std::exception&) {
      path.clear();
    }
  }
  return inspect::ExpandNtPath(path);
}

}  // namespace

void AddRegistryValueLine(const std::string& keyPath, const std::string& valueName, RegKey root,
                          const std::string& label, TReport& report) {
  inspect::TReaderKey key(root, keyPath);
  if (!key.ok()) return;
  for (const std::string& name : key.reader().GetValueNames()) {
    if (name != valueName) continue;
    const std::string text = inspect::RegValueToText(key.reader(), name);
    if (!text.empty()) report.Add(label + ": " + text);
  }
}

void WriteGenericSystemInfo(TReport& report, const TScanOptions&) {
  report.Add(inspect::Lng(56) + ": " + inspect::WindowsVersionInfo(1) + " " + inspect::WindowsVersionInfo(3) + " " +
             (inspect::IsX64Windows() ? "64-bit" : "32-bit"));
  report.Add(inspect::Lng(57) + ": " + inspect::WindowsVersionInfo(2));
  AddRegistryValueLine("\\SOFTWARE\\Microsoft\\Internet Explorer", "Version", platform::kHkeyLocalMachine,
                       "Internet Explorer", report);
  report.Add(inspect::Lng(62) + ": " + inspect::GetSystemDir());
}

void WriteRunningProcesses(TReport& report, const TScanOptions& options) {
  const auto snapshot = platform::Procs().SnapshotProcesses();
  if (!snapshot) return;
  for (const platform::ProcessEntry& entry : *snapshot) {
    if (!options.Pause(options.ReduceMemoryUsage)) return;
    const std::string path = ProcessFilePath(entry);
    if (!path.empty()) ListFile(path, report, options);
  }
}

void WriteLoadedModules(TReport& report, const TScanOptions& options) {
  // Every module of every process, each path once, before any file is described.
  std::vector<std::string> modules;
  if (const auto snapshot = platform::Procs().SnapshotProcesses()) {
    for (const platform::ProcessEntry& entry : *snapshot) {
      inspect::CollectProcessModules(entry.pid, modules);
      if (!options.Pause(options.ReduceMemoryUsage)) return;
    }
  }
  const std::string windowsDir = inspect::GetWindowsDir();
  for (const std::string& path : modules) {
    if (!options.Pause(options.ReduceMemoryUsage)) return;
    if (options.SuspiciousModulesOnly && path.find(windowsDir) == std::string::npos) continue;
    if (inspect::FileExists(path)) ListFile(path, report, options);
  }
}

}  // namespace scan
