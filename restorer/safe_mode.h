// The Safe Mode repair: a file of Data\SM\ handed to the Registry Editor for a silent import.
#pragma once

#include <string>
#include <vector>

#include "restorer/backup.h"

namespace restorer {

// HKEY_LOCAL_MACHINE\SYSTEM\CurrentControlSet\Control\SafeBoot: the only key the files may touch.
std::string SafeBootKeyText();

// GetAppDir + "Data\SM\" + file.
std::string SafeModeFilePath(const std::string& file);

// The lines of a Safe Mode file that do anything but create a key or set a value at or below
// the SafeBoot key (the header, blank lines and comments aside); none for a good file.
std::vector<std::string> LinesOutsideSafeBoot(const std::string& text);

// What importing the file will change, for the undo file.
void PlanSafeModeImport(const std::string& file, std::vector<TPlannedChange>* plan);

// Starts "<Windows folder>\regedit.exe /S "<path>"" and does not wait. A file that would write anywhere else is
// never handed over; a missing one is, and the Registry Editor says so.
bool StartSafeModeImport(const std::string& file);

}  // namespace restorer
