#include "inspect/processes.h"

#include <algorithm>

#include "inspect/system.h"
#include "inspect/text.h"
#include "platform/handles.h"
#include "platform/platform.h"

namespace inspect {

namespace win = platform::win;
using platform::Procs;

namespace {

constexpr uint32_t kQueryAndRead = win::kProcessQueryInformation | win::kProcessVmRead;  // 0x410
constexpr size_t kMaxModules = 200;

std::string UpToNul(const std::string& text) { return text.substr(0, text.find('\0')); }

void EraseAll(std::string& text, const std::string& what) {
  for (auto pos = text.find(what); pos != std::string::npos; pos = text.find(what, pos)) text.erase(pos, what.size());
}

}  // namespace

std::string ProcessExePath(uint32_t pid) {
  const platform::ScopedProcess process(Procs().OpenProcess(kQueryAndRead, pid));
  if (!process.ok()) return "";
  return UpToNul(Procs().GetModuleFileNameEx(process.get(), 0, 260));
}

bool CollectProcessModules(uint32_t pid, std::vector<std::string>& list) {
  std::vector<std::string> kept;
  {
    const platform::ScopedProcess process(Procs().OpenProcess(kQueryAndRead, pid));
    if (!process.ok()) return false;
    // ProcessExePath through the handle already open.
    const std::string exePath = UpToNul(Procs().GetModuleFileNameEx(process.get(), 0, 260));
    std::vector<uintptr_t> modules;
    if (!Procs().EnumProcessModules(process.get(), &modules, kMaxModules)) modules.clear();
    if (modules.size() > kMaxModules) modules.resize(kMaxModules);
    for (uintptr_t module : modules) {
      const std::string path = UpToNul(Procs().GetModuleFileNameEx(process.get(), module, 255));
      if (!path.empty() && path != exePath) kept.push_back(path);
    }
  }

  for (const std::string& path : kept) {
    const bool known = std::any_of(list.begin(), list.end(), [&](const std::string& p) { return EqualNoCase(p, path); });
    if (!known) list.push_back(path);
  }
  return true;
}

uint32_t FindProcessId(const std::string& exeName, const std::string& folder) {
  const auto snapshot = Procs().SnapshotProcesses();
  if (!snapshot) return 0;
  const std::string wantedName = UpperAscii(FileNamePart(exeName));
  const std::string wantedFolder = UpperAscii(folder);
  uint32_t found = 0;
  for (const platform::ProcessEntry& entry : *snapshot) {
    if (UpperAscii(FileNamePart(entry.exeFile)) != wantedName) continue;
    if (UpperAscii(FolderPart(ProcessExePath(entry.pid))) == wantedFolder) found = entry.pid;
  }
  return found;
}

std::string ProcessImageFolder(uint32_t pid) {
  if (pid == 0 || !Procs().HasGetProcessImageFileName()) return "";
  const platform::ScopedProcess process(Procs().OpenProcess(win::kProcessAllAccess, pid));
  if (!process.ok()) return "";
  std::string folder;
  if (const auto image = Procs().GetProcessImageFileName(process.get())) {
    folder = FolderPart(DevicePathToDosPath(UpToNul(*image)));
    EraseAll(folder, "\\??\\");
    folder = ShellLongPath(folder);
  }
  return folder;
}

}  // namespace inspect
