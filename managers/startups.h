// The startup list: every value of the Run-type keys, the deletion of one of them, and what
// the list's context menu offers for a row.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "inspect/key_paths.h"
#include "inspect/prompt.h"
#include "platform/platform.h"

namespace managers {

struct TRunKey {
  platform::RegKey root;
  const char* path;  // begins with "\"
};

// The keys of the list, in the order they are listed.
inline constexpr std::array<TRunKey, 14> kStartupKeys{{
    {platform::kHkeyLocalMachine, inspect::keys::kRun},
    {platform::kHkeyCurrentUser, inspect::keys::kRun},
    {platform::kHkeyLocalMachine, inspect::keys::kPoliciesRun},
    {platform::kHkeyCurrentUser, inspect::keys::kPoliciesRun},
    {platform::kHkeyLocalMachine, inspect::keys::kNtRun},
    {platform::kHkeyLocalMachine, inspect::keys::kRunOnce},
    {platform::kHkeyLocalMachine, inspect::keys::kRunOnceEx},
    {platform::kHkeyLocalMachine, inspect::keys::kRunServices},
    {platform::kHkeyLocalMachine, inspect::keys::kRunServicesOnce},
    {platform::kHkeyCurrentUser, inspect::keys::kRunOnce},
    {platform::kHkeyCurrentUser, inspect::keys::kRunOnceEx},
    {platform::kHkeyCurrentUser, inspect::keys::kRunServices},
    {platform::kHkeyCurrentUser, inspect::keys::kNtRun},
    {platform::kHkeyCurrentUser, inspect::keys::kRunServicesOnce},
}};

// One row of the list: the three columns and the program file the value starts.
struct TStartupRow {
  std::string name;     // column 0
  std::string data;     // column 1
  std::string keyText;  // column 2: root name and key path
  std::string file;     // the program a string value names; empty for values of other types
  bool fileExists = false;  // the row shows the file's icon

  bool operator==(const TStartupRow&) const = default;
};

// A value as the Data column shows it. Strings are shown as stored (up to their first NUL);
// other types as "<type name>: <content>", such as "REG_DWORD: 0x00000001 (1)".
std::string StartupDataText(uint32_t type, const std::vector<uint8_t>& data);

// The rows of one key; none when it cannot be opened.
void ListRunKeyValues(const std::string& keyPath, platform::RegKey root, std::vector<TStartupRow>& rows);
// The rows of every key, in table order.
std::vector<TStartupRow> FillStartupList();

enum class TDeleteResult { NoSelection, Deleted, Failed, KeyMissing, Cancelled };

// Deletes the value a row shows (the one under that row's key, not a same-named one elsewhere,
// nor one whose name its name begins with), after keeping it in the backups, and tells the user
// the outcome. A value whose name a registry file cannot hold (a line break, a NUL) cannot be
// kept: it is deleted only when the user says Yes to a warning that no backup is possible. The
// caller refills the list.
TDeleteResult DeleteStartupItem(const TStartupRow* selected, inspect::TPrompter& prompter);
inline constexpr const char* kNoBackupWarning =
    "This value's name cannot be written into a backup file, so no backup is possible: once deleted it cannot "
    "be restored. Delete it anyway?";

struct TStartupMenu {
  bool refresh = true;
  bool deleteItem = false;
  bool openFolder = false;
  bool properties = false;

  bool operator==(const TStartupMenu&) const = default;
};

// Refresh always; Delete for a focused row; the file entries for a focused row that names a file.
TStartupMenu StartupMenuState(const TStartupRow* focused);

// The folder of the row's program (with its trailing "\"), opened with the shell.
bool OpenStartupFolder(const TStartupRow* focused);
bool ShowStartupFileProperties(uintptr_t window, const TStartupRow* focused);

}  // namespace managers
