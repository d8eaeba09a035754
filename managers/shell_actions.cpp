#include "managers/shell_actions.h"

#include "inspect/files.h"
#include "inspect/system.h"
#include "inspect/text.h"
#include "platform/platform.h"

namespace managers {

void CreateProgramFolders(const std::string& appDir) {
  for (const char* folder : {"Data\\", "Logs\\"}) {
    if (!inspect::FolderExists(appDir + folder)) platform::Fs().CreateDirectory(appDir + folder);
  }
}

bool OpenBesideProgram(const std::string& appDir, const std::string& relative) {
  const std::string path = appDir + relative;
  const bool folder = !relative.empty() && relative.back() == '\\';
  if (folder ? !inspect::FolderExists(path) : !inspect::FileExists(path)) return false;
  return platform::Sh().ShellExecute(0, "open", path, "", "", platform::win::kSwShow);
}

void DeleteLogs(const std::string& appDir) {
  const std::string logs = appDir + "Logs\\";
  if (inspect::FolderExists(logs)) inspect::EmptyFolder(logs, true);
}

void OpenWebPage(const std::string& url) { platform::Sh().ShellExecute(0, "open", url, "", "", platform::win::kSwShow); }

bool IsLocalFolder(const std::string& folder) {
  namespace win = platform::win;
  const char drive = static_cast<char>(folder.empty() ? 0 : folder[0] & ~0x20);
  const bool drivePath = folder.size() >= 3 && drive >= 'A' && drive <= 'Z' && folder[1] == ':' && folder[2] == '\\';
  if (!drivePath) return false;
  const uint32_t type = platform::Sys().GetDriveType(folder.substr(0, 3));
  // Unknown, without a root, or remote: not a drive of this machine.
  if (type < win::kDriveRemovable || type == win::kDriveRemote) return false;
  return inspect::FolderExists(folder);
}

bool OpenContainingFolder(const std::string& file) {
  const std::string folder = inspect::FolderPart(file);
  if (!IsLocalFolder(folder)) return false;
  return platform::Sh().ShellExecute(0, "open", folder, "", "", platform::win::kSwShow);
}

}  // namespace managers
