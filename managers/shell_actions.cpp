#include "managers/shell_actions.h"

#include "inspect/text.h"
#include "platform/platform.h"

namespace managers {

bool OpenContainingFolder(const std::string& file) {
  const std::string folder = inspect::FolderPart(file);
  if (folder.empty()) return false;
  return platform::Sh().ShellExecute(0, "open", folder, "", "", platform::win::kSwShow);
}

}  // namespace managers
