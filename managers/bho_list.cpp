#include "managers/bho_list.h"

#include "inspect/files.h"
#include "inspect/key_paths.h"
#include "inspect/paths.h"
#include "inspect/registry.h"
#include "inspect/system.h"
#include "managers/shell_actions.h"

namespace managers {

void ListBhoServers(const std::string& keyPath, platform::RegKey root, std::vector<TBhoRow>& rows) {
  for (const std::string& clsid : inspect::ReaderSubkeyNames(root, keyPath)) {
    std::string server;
    if (!inspect::RegReadString(platform::kHkeyClassesRoot, "CLSID\\" + clsid + "\\InprocServer32\\", &server) ||
        server.empty()) {
      continue;
    }
    TBhoRow row;
    row.file = inspect::ExeFromCommandLine(server);
    row.clsid = clsid;
    row.fileExists = !row.file.empty() && inspect::FileExists(row.file);
    rows.push_back(std::move(row));
  }
}

std::vector<TBhoRow> FillBhoList() {
  std::vector<TBhoRow> rows;
  ListBhoServers(inspect::keys::kBrowserHelperObjects, inspect::RootKeyFromName("HKEY_LOCAL_MACHINE"), rows);
  return rows;
}

TBhoMenu BhoMenuState(const TBhoRow* focused) {
  TBhoMenu menu;
  menu.openFolder = menu.properties = focused && !focused->file.empty();
  return menu;
}

bool OpenBhoFolder(const TBhoRow* focused) {
  return BhoMenuState(focused).openFolder && OpenContainingFolder(focused->file);
}

bool ShowBhoFileProperties(uintptr_t window, const TBhoRow* focused) {
  return BhoMenuState(focused).properties && inspect::ShowFileProperties(window, focused->file);
}

}  // namespace managers
