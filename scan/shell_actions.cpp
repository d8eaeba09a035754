#include "scan/shell_actions.h"

#include "inspect/files.h"
#include "inspect/system.h"
#include "platform/platform.h"

namespace scan {

namespace {

namespace win = platform::win;

bool FolderExists(const std::string& path) {
  const uint32_t attributes = platform::Fs().GetFileAttributes(path);
  return attributes != win::kInvalidFileAttributes && (attributes & win::kFileAttributeDirectory);
}

}  // namespace

void CreateProgramFolders(const std::string& appDir) {
  for (const char* folder : {"Data\\", "Logs\\"}) {
    if (!FolderExists(appDir + folder)) platform::Fs().CreateDirectory(appDir + folder);
  }
}

bool OpenBesideProgram(const std::string& appDir, const std::string& relative) {
  const std::string path = appDir + relative;
  const bool folder = !relative.empty() && relative.back() == '\\';
  if (folder ? !FolderExists(path) : !inspect::FileExists(path)) return false;
  return platform::Sh().ShellExecute(0, "open", path, "", "", win::kSwShow);
}

void DeleteLogs(const std::string& appDir) {
  const std::string logs = appDir + "Logs\\";
  if (FolderExists(logs)) inspect::EmptyFolder(logs, true);
}

void OpenWebPage(const std::string& url) { platform::Sh().ShellExecute(0, "open", url, "", "", win::kSwShow); }

}  // namespace scan
