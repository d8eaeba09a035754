// What a manager replaces or removes is kept first, in Backups\ beside the executable: files as
// copies, registry values as registry files that the Registry Editor imports to put them back.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace managers {

// Backups\<stem>_<yyyy-mm-dd>_<hh-mm-ss><extension>, with a number added when that name is
// taken; the folder is made when missing. Empty when it cannot be made.
std::string NewBackupPath(const std::string& stem, const std::string& extension);

// Copies an existing file into the backups; true when it is kept or there is no file to keep.
bool KeepFile(const std::string& path);

// Saves one value as it is stored now (root, key path without a leading "\") into a new
// registry file named after `stem`; true when it is kept or the value does not exist.
bool KeepRegistryValue(platform::RegKey root, const std::string& keyPath, const std::string& name,
                       const std::string& stem);

}  // namespace managers
