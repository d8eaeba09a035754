// Window classes of the program's windows; the GUI test driver finds them by these names.
// Control ids come from the table of controls (app/controls.h).
#pragma once

namespace app {

inline constexpr const char* kMainWindowClass = "TForm1";
inline constexpr const char* kPageWindowClass = "TBurrowPage";
inline constexpr const char* kAboutWindowClass = "TForm2";
inline constexpr const char* kUpdateWindowClass = "TForm3";
// The property that marks the page button shown in bold (a font cannot be read from outside).
inline constexpr const char* kBoldProperty = "BurrowSentry.Bold";
// The property of the main window that mirrors the Windows Tools entries as the menu holds them
// after the first showing (Wine lets no other process read a menu): bit i set when the i-th
// entry of the table is enabled; kToolsReadBit marks the value as set.
inline constexpr const char* kToolsEnabledProperty = "BurrowSentry.ToolsEnabled";
inline constexpr unsigned kToolsReadBit = 1u << 31;

}  // namespace app
