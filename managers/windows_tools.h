// The Windows Tools menu and the File menu's Run..., Reboot PC and Shutdown PC commands, as
// plain functions the window calls.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "inspect/prompt.h"

namespace managers {

enum class TToolMenu : uint8_t { Security, Utilities };

struct TWindowsTool {
  TToolMenu menu;
  const char* component;  // the menu entry's name in the window
  const char* caption;    // English in every language
};

constexpr size_t kWindowsToolCount = 19;

// The entries in menu order.
const std::array<TWindowsTool, kWindowsToolCount>& WindowsTools();

// Which entries to enable: every file an entry needs exists. Run once, at the first showing.
std::array<bool, kWindowsToolCount> EnabledWindowsTools();

// Starts entry `index` ("open", no folder, shown); the result is not examined.
void StartWindowsTool(size_t index);

// Run...: starts the file chosen in the open-file dialog (titled with RunDialogTitle()).
void RunChosenFile(const std::string& path);
std::string RunDialogTitle();

// Reboot PC and Shutdown PC: ask, and on Yes end Windows by force. True when Yes was answered.
// A forced end sends the program no closing message, so `beforeExit` (saving the settings) runs
// on Yes before Windows is asked to end.
bool AskAndReboot(inspect::TPrompter& prompter, const std::function<void()>& beforeExit = nullptr);
bool AskAndShutdown(inspect::TPrompter& prompter, const std::function<void()>& beforeExit = nullptr);

}  // namespace managers
