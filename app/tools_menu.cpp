#include "app/tools_menu.h"

#include "app/control_ui.h"
#include "managers/windows_tools.h"
#include "app/controls.h"

namespace app {

namespace {

// The menu entry of tool `index`; null when the table of controls lacks it.
const TControl* EntryOf(size_t index) {
  return FindControl(kPlaceMenu, managers::WindowsTools()[index].component);
}

}  // namespace

unsigned EnableToolEntries(HMENU menu) {
  static_assert(managers::kWindowsToolCount < 31);
  const auto enabled = managers::EnabledWindowsTools();
  unsigned states = 0;
  for (size_t i = 0; i < managers::kWindowsToolCount; ++i) {
    const TControl* entry = EntryOf(i);
    if (!entry) continue;
    const UINT id = static_cast<UINT>(entry->id);
    EnableMenuItem(menu, id, MF_BYCOMMAND | (enabled[i] ? MF_ENABLED : MF_GRAYED));
    const UINT state = GetMenuState(menu, id, MF_BYCOMMAND);
    if (state != static_cast<UINT>(-1) && !(state & (MF_GRAYED | MF_DISABLED))) states |= 1u << i;
  }
  return states;
}

bool StartToolOfEntry(int id) {
  for (size_t i = 0; i < managers::kWindowsToolCount; ++i) {
    const TControl* entry = EntryOf(i);
    if (!entry || entry->id != id) continue;
    managers::StartWindowsTool(i);
    return true;
  }
  return false;
}

std::string ChooseFileToRun(HWND owner) {
  const std::string title = managers::RunDialogTitle();
  return BrowseForFile(owner, title.empty() ? nullptr : title.c_str(),
                       "Programs (*.exe;*.com;*.bat;*.cmd;*.msc)\0*.exe;*.com;*.bat;*.cmd;*.msc\0All files (*.*)\0*.*\0");
}

}  // namespace app
