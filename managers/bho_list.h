// The browser helper objects registered for the machine, with the file of each one's server.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace managers {

// The fixed text of the Key column.
inline constexpr const char* kBhoKeyText = "HKEY_CLASSES_ROOT\\CLSID\\";

struct TBhoRow {
  std::string file;   // column 0: the server path, resolved
  std::string clsid;  // column 1: the helper object's subkey name
  bool fileExists = false;  // the row shows the file's icon

  bool operator==(const TBhoRow&) const = default;
};

// One row per helper object whose in-process server is a non-empty REG_SZ, in the order the
// registry returns the subkeys of `keyPath` (beginning with "\").
void ListBhoServers(const std::string& keyPath, platform::RegKey root, std::vector<TBhoRow>& rows);
std::vector<TBhoRow> FillBhoList();

struct TBhoMenu {
  bool refresh = true;
  bool openFolder = false;
  bool properties = false;

  bool operator==(const TBhoMenu&) const = default;
};

TBhoMenu BhoMenuState(const TBhoRow* focused);
bool OpenBhoFolder(const TBhoRow* focused);
bool ShowBhoFileProperties(uintptr_t window, const TBhoRow* focused);

}  // namespace managers
