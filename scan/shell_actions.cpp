#include "scan/shell_actions.h"

#include "inspect/files.h"
#include "inspect/system.h"
#include "platform/platform.h"

namespace scan {

namespace win = platform::win;

void CreateProgramFolders(const std::string& appDir) {
  for (const char* folder : {"Data\\", "Logs\\"}) {
    if (!inspect::FolderExists(appDir + folder)) platform::Fs().CreateDirectory(appDir + folder);
  }
}

bool OpenBesideProgram(const std::string& appDir, const std::string& relative) {
  const std::string path = appDir + relative;
  const bool folder = !relative.empty() && relative.back() == '\\';
  if (folder ? !inspect::FolderExists(path) : !inspect::FileExists(path)) return false;
  return platform::Sh().ShellExecute(0, "open", path, "", "", win::kSwShow);
}

void DeleteLogs(const std::string& appDir) {
  const std::string logs = appDir + "Logs\\";
  if (inspect::FolderExists(logs)) inspect::EmptyFolder(logs, true);
}

void OpenWebPage(const std::string& url) { platform::Sh().ShellExecute(0, "open", url, "", "", win::kSwShow); }

}  // namespace scan
