// The Windows Tools menu of the main window and the File menu's "Run..." dialog. The tools and
// what they need are managers/'s table; the entries' ids come from the table of controls.
#pragma once

#include <windows.h>

#include <string>

namespace app {

// Enables each Windows Tools entry whose program files exist and greys the others; returns the
// entries' states as the menu then holds them (bit i: entry i enabled).
unsigned EnableToolEntries(HMENU menu);
// Starts the tool of menu entry `id`; false when `id` is not a Windows Tools entry.
bool StartToolOfEntry(int id);
// The open-file dialog of "Run...", titled from the language table; empty when cancelled.
std::string ChooseFileToRun(HWND owner);

}  // namespace app
