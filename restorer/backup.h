// The undo file of a batch: every value and key the batch is about to change, saved as it
// stands in the Registry Editor's format, so that importing the one file puts them back.
#pragma once

#include <string>
#include <vector>

#include "platform/platform.h"

namespace restorer {

// One thing a batch is about to change. A value change (write or delete) saves the value, or
// a deletion when it is missing, or the removal of the first missing key above it when the
// write would create keys; a key creation saves that removal alone; a key deletion saves the
// key with everything below it.
struct TPlannedChange {
  enum class Kind { Value, Key, KeyTree };
  Kind kind = Kind::Value;
  platform::RegKey root = 0;
  std::string keyPath;  // without a leading or trailing "\"
  std::string valueName;

  bool operator==(const TPlannedChange&) const = default;
};

// The backup text of the changes as the registry holds them now; a part that cannot be read is
// left out with a comment line saying so.
std::string BackupText(const std::vector<TPlannedChange>& changes);

// Backups\restorer_<yyyy-mm-dd>_<hh-mm-ss>.reg beside the executable; a name not yet taken.
std::string NewBackupPath();

}  // namespace restorer
