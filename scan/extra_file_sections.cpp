// Scheduled tasks, auto-start services and drivers, and phantom DLLs of the system folder.
#include "scan/extra_file_sections.h"

#include <cstdint>
#include <optional>
#include <string>
#include <unordered_set>
#include <vector>

#include "inspect/files.h"
#include "inspect/folder_walk.h"
#include "inspect/paths.h"
#include "inspect/registry.h"
#include "inspect/system.h"
#include "inspect/text.h"
#include "platform/platform.h"
#include "scan/check_table.h"
#include "scan/file_lines.h"
#include "scan/task_files.h"

namespace scan {

namespace {

namespace win = platform::win;
using platform::kHkeyLocalMachine;

constexpr const char* kTaskCache = "\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Schedule\\TaskCache\\Tasks";
// Task definitions are a few kilobytes; anything past this is not read.
constexpr uint64_t kMaxTaskFileSize = 1 << 20;

// Programs that run whatever script a task hands them: never stock as a task's program.
constexpr const char* kScriptHosts[] = {"cmd.exe", "powershell.exe", "mshta.exe", "wscript.exe", "cscript.exe"};

// DLL names that a system component loads from the system folder and no Windows release of
// this kind ships, so a file by that name runs in that component.
constexpr const char* kPhantomDlls[] = {
    "wlbsctrl.dll",        // IKE and AuthIP keying modules service
    "TSMSISrv.dll",        // Remote Desktop configuration service
    "TSVIPSrv.dll",        // Remote Desktop configuration service
    "wbem\\wbemcomn.dll",  // WMI hosts started from the wbem folder
    "ualapi.dll",          // services that log user access on server releases only
    "ntwdblib.dll",        // the SQL client configuration utility
    "oci.dll",             // the Distributed Transaction Coordinator
    "wow64log.dll",        // the WoW64 layer of every 32-bit process
    "WptsExtensions.dll",  // the Task Scheduler service
};

std::string StartsWithNoCase(const std::string& text, const std::string& prefix) {
  if (text.size() < prefix.size() || !inspect::EqualNoCase(text.substr(0, prefix.size()), prefix)) return "";
  return text.substr(prefix.size());
}

// How this process reaches the files of the 64-bit system folder: under WoW64 the system
// folder is redirected, and "Sysnative" leads to the real one where the system has it.
class TFileView {
 public:
  TFileView() : windows_(inspect::GetWindowsDir()) {
    if (inspect::IsWow64() && inspect::FolderExists(windows_ + "\\Sysnative")) native_ = windows_ + "\\Sysnative\\";
    blind_ = inspect::IsWow64() && native_.empty();
  }
  std::string Reach(const std::string& path) const {
    if (native_.empty()) return path;
    const std::string rest = StartsWithNoCase(path, windows_ + "\\system32\\");
    return rest.empty() ? path : native_ + rest;
  }
  // The 64-bit system folder cannot be seen from here.
  bool Blind() const { return blind_; }

 private:
  std::string windows_, native_;
  bool blind_ = false;
};

// Files the report describes already, by the text before the first " (" of its items, so that a
// file is described (and hashed) once in the whole report.
class TDescribedFiles {
 public:
  explicit TDescribedFiles(const TReport& report) {
    for (size_t i = 0; i < report.Count(); ++i) {
      const std::string& item = report.Item(i);
      const size_t cut = item.find(" (");
      if (cut != std::string::npos) seen_.insert(inspect::UpperAscii(item.substr(0, cut)));
    }
  }
  // True the first time a path is met.
  bool First(const std::string& path) { return seen_.insert(inspect::UpperAscii(path)).second; }

 private:
  std::unordered_set<std::string> seen_;
};

// What every section here shares: the report, the options, the file view and the described files.
struct TLister {
  TLister(TReport& r, const TScanOptions& o) : report(r), options(o), described(r) {}

  // A protected system file, when Microsoft's files are left out.
  bool Stock(const std::string& reach) const {
    return options.ExcludeMicrosoftFiles && inspect::IsProtectedSystemFile(reach);
  }
  // The usual file line, once per file, for an existing file that is not stock.
  void Describe(const std::string& path) {
    const std::string reach = view.Reach(path);
    if (!inspect::FileExists(reach) || !described.First(path)) return;
    ReportFile(path, report, options.ExcludeMicrosoftFiles, options.Md5Exclusions, options.UseMd5Exclusions,
               reach == path ? "" : reach);
  }

  TReport& report;
  const TScanOptions& options;
  TFileView view;
  TDescribedFiles described;
};

// The text with a leading "%windir%" or "%SystemRoot%" turned into the Windows folder.
std::string WithWindowsFolder(const std::string& text) {
  for (const char* variable : {"%windir%", "%SystemRoot%"}) {
    const std::string rest = StartsWithNoCase(text, variable);
    if (!rest.empty()) return inspect::GetWindowsDir() + rest;
  }
  return text;
}

// The file a task's program or a ServiceDll names.
std::string CommandFile(const std::string& text) { return inspect::ModuleFromCommandLine(WithWindowsFolder(text)); }

bool IsScriptHost(const std::string& file) {
  const std::string name = inspect::FileNamePart(file);
  for (const char* host : kScriptHosts) {
    if (inspect::EqualNoCase(name, host)) return true;
  }
  return false;
}

std::string ToAnsi(const std::u16string& text) { return platform::Native().WideToAnsi(text); }

// One task: its value entry (name, command line, where it is kept) and its program's file line.
void ReportTask(TLister& lister, const std::string& name, const std::string& program, const std::string& arguments,
                const std::string& location) {
  const std::string file = CommandFile(program);
  if (!IsScriptHost(file) && lister.Stock(lister.view.Reach(file))) return;
  lister.report.Add(inspect::ValueEntry(name, arguments.empty() ? program : program + " " + arguments, location));
  lister.Describe(file);
}

// Task XML in the code page: UTF-16 (with or without its mark) or UTF-8.
std::string TaskXmlText(const std::vector<uint8_t>& bytes) {
  if (IsUtf16Text(bytes)) return ToAnsi(Utf16FromBytes(bytes));
  std::string text(bytes.begin(), bytes.end());
  if (text.starts_with("\xEF\xBB\xBF")) text.erase(0, 3);
  return platform::Sys().Utf8ToAnsi(text);
}

// Calls `visit` with the path of every file of the folder (and its subfolders when `recurse`).
template <typename Visit>
void ForEachFile(const TScanOptions& options, const std::string& folder, const std::string& mask, bool recurse,
                 Visit&& visit) {
  inspect::TFolderWalk walk;
  walk.mask = mask;
  walk.recurse = recurse;
  walk.stop = options.Stop;
  walk.visit = [&](const std::string& walked, const platform::FindData& entry) {
    if ((entry.attributes & win::kFileAttributeDirectory) != 0) return;
    if (!options.Pause(options.ReduceMemoryUsage)) return;
    Guarded([&] { visit(inspect::JoinPath(walked, entry.name)); });
  };
  inspect::WalkFolder(folder, walk);
}

void ListJobFiles(TLister& lister, const std::string& folder) {
  ForEachFile(lister.options, folder, "*.job", false, [&](const std::string& path) {
    std::vector<uint8_t> bytes;
    if (!inspect::ReadFileBytes(path, kMaxTaskFileSize, &bytes)) return;
    std::string name = inspect::FileNamePart(path);
    if (name.size() > 4 && inspect::EqualNoCase(name.substr(name.size() - 4), ".job")) name.resize(name.size() - 4);
    for (const TTaskCommand& command : ReadJobCommands(bytes)) {
      ReportTask(lister, name, ToAnsi(command.program), ToAnsi(command.arguments), path);
    }
  });
}

void ListTaskXmlFiles(TLister& lister, const std::string& folder, const std::string& reachFolder) {
  ForEachFile(lister.options, reachFolder, "*", true, [&](const std::string& reach) {
    std::vector<uint8_t> bytes;
    if (!inspect::ReadFileBytes(reach, kMaxTaskFileSize, &bytes)) return;
    const std::string name = reach.substr(reachFolder.size());  // "\Folder\Task"
    for (const TTaskXmlCommand& command : ReadTaskXmlCommands(TaskXmlText(bytes))) {
      ReportTask(lister, name, command.program, command.arguments, folder + name);
    }
  });
}

// Cached tasks whose definition file is gone: the scheduler still runs them from the registry.
void ListCachedTasks(TLister& lister, const std::string& reachFolder) {
  const std::string root = inspect::RootKeyName(kHkeyLocalMachine);
  for (const std::string& id : inspect::ReaderSubkeyNames(kHkeyLocalMachine, kTaskCache)) {
    if (lister.options.Stopped()) return;
    Guarded([&] {
      const std::string key = std::string(kTaskCache).substr(1) + "\\" + id;
      std::string path;
      if (!inspect::RegReadString(kHkeyLocalMachine, key + "\\Path", &path) || path.empty()) return;
      if (inspect::FileExists(reachFolder + path)) return;
      lister.report.Add(inspect::ValueEntry("Path", path, root + "\\" + key));
      std::vector<uint8_t> actions;
      if (!inspect::RegReadValueRaw(kHkeyLocalMachine, key + "\\Actions", win::kRegBinary, &actions)) return;
      for (const TTaskCommand& command : ReadCachedTaskActions(actions)) {
        ReportTask(lister, path, ToAnsi(command.program), ToAnsi(command.arguments), root + "\\" + key);
      }
    });
  }
}

// Whether a service of this type is a driver (kernel, file system, adapter or recognizer).
bool IsDriverType(uint32_t type) { return (type & 0x0F) != 0; }

std::string ReadText(const std::string& valuePath) {
  std::string text;
  if (!inspect::RegReadExpandString(kHkeyLocalMachine, valuePath, &text)) {
    inspect::RegReadString(kHkeyLocalMachine, valuePath, &text);
  }
  return text;
}

std::optional<uint32_t> ReadDword(const std::string& valuePath) {
  std::vector<uint8_t> data;
  if (!inspect::RegReadValueRaw(kHkeyLocalMachine, valuePath, win::kRegDword, &data) || data.size() != 4) {
    return std::nullopt;
  }
  return data[0] | data[1] << 8 | data[2] << 16 | uint32_t{data[3]} << 24;
}

// "<file> (<service>) (<display name>) (<company>) (<md5>)", as the service lists write it.
void ReportServiceFile(TLister& lister, const std::string& file, const std::string& name, const std::string& display) {
  if (file.empty()) return;
  const std::string reach = lister.view.Reach(file);
  if (!inspect::FileExists(reach) || lister.Stock(reach) || !lister.described.First(file)) return;
  if (lister.options.UseMd5Exclusions && IsMd5Excluded(reach, lister.options.Md5Exclusions)) return;
  lister.report.Add(file + " (" + name + ") (" + display + ") (" + inspect::FileCompanyName(reach) + ") (" +
                    inspect::FileMd5Text(reach) + ")");
}

void ListAutoStartService(TLister& lister, const std::string& servicesKey, const std::string& name) {
  const std::string key = servicesKey + "\\" + name;
  const auto start = ReadDword(key + "\\Start");
  if (!start || *start > 2) return;  // boot, system and automatic only
  const uint32_t type = ReadDword(key + "\\Type").value_or(0);
  std::string image = inspect::ExpandNtPath(ReadText(key + "\\ImagePath"));
  std::string display = ReadText(key + "\\DisplayName");
  if (display.empty()) display = name;
  if (IsDriverType(type)) {
    if (image.empty()) image = "system32\\drivers\\" + name + ".sys";
    ReportServiceFile(lister, inspect::ServiceImageToFile(image, 1), name, display);
  } else {
    ReportServiceFile(lister, inspect::ServiceImageToFile(WithWindowsFolder(image), 2), name, display);
  }
  for (const char* holder : {"\\Parameters\\ServiceDll", "\\ServiceDll"}) {
    const std::string dll = ReadText(key + holder);
    if (!dll.empty()) ReportServiceFile(lister, CommandFile(dll), name, display);
  }
}

}  // namespace

void WriteScheduledTasks(TReport& report, const TScanOptions& options) {
  TLister lister(report, options);
  const std::string windows = inspect::GetWindowsDir();
  ListJobFiles(lister, windows + "\\Tasks");
  if (!inspect::IsVistaOrLater()) return;
  const std::string folder = inspect::GetSystemDir() + "\\Tasks";
  const std::string reachFolder = lister.view.Reach(folder + "\\");
  ListTaskXmlFiles(lister, folder, reachFolder.substr(0, reachFolder.size() - 1));
  if (!lister.view.Blind()) ListCachedTasks(lister, reachFolder.substr(0, reachFolder.size() - 1));
}

void WriteAutoStartServices(TReport& report, const TScanOptions& options) {
  TLister lister(report, options);
  const std::string servicesKey = inspect::CurrentControlSetPath() + "\\Services";
  for (const std::string& name : inspect::ReaderSubkeyNames(kHkeyLocalMachine, "\\" + servicesKey)) {
    if (options.Stopped()) return;
    Guarded([&] { ListAutoStartService(lister, servicesKey, name); });
  }
}

void WritePhantomDlls(TReport& report, const TScanOptions& options) {
  TLister lister(report, options);
  const std::string windows = inspect::GetWindowsDir();
  std::vector<std::string> folders{inspect::GetSystemDir()};
  // On a 64-bit Windows the 32-bit system folder too (the own one is reached in its 64-bit view).
  if (inspect::IsX64Windows() && !lister.view.Blind() && inspect::FolderExists(windows + "\\SysWOW64")) {
    folders.push_back(windows + "\\SysWOW64");
  }
  for (const std::string& folder : folders) {
    for (const char* name : kPhantomDlls) {
      if (options.Stopped()) return;
      Guarded([&] { lister.Describe(folder + "\\" + name); });
    }
  }
}

}  // namespace scan
