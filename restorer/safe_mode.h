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

// Reads the file once and, when it touches only the SafeBoot key, imports exactly those bytes
// (ImportRegistryText). A file that would write anywhere else, or a missing or empty one, is never
// handed over.
bool StartSafeModeImport(const std::string& file);

// Writes `text` to a new file of the temp folder that only SYSTEM and the Administrators may open
// and that stays held open, runs "<Windows folder>\regedit.exe /S "<copy>"" on it, waits for the
// Registry Editor to end, and deletes the copy. True when the Registry Editor ran to its end.
bool ImportRegistryText(const std::string& text);

}  // namespace restorer
