// A manager list: a report-style list view with the columns of its rows in the table of
// controls, small shell icons of the files it lists, and its context menu.
#pragma once

#include <windows.h>

#include <commctrl.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "platform/win32/window_owners.h"
#include "app/controls.h"

namespace app {

class TManagerList {
 public:
  // Builds the list view of row `listName` on `page`, and the context menu of row `popupName`.
  void Create(HWND page, const char* listName, const char* popupName);
  HWND Handle() const { return list_; }

  // Empties the list and holds its drawing until EndFill.
  void BeginFill();
  void EndFill();
  // Appends a row; `iconFile` (when not empty) gives the row the small icon of that file.
  void AddRow(const std::vector<std::string>& cells, const std::string& iconFile);

  // The focused or the selected row; -1 when there is none.
  int Focused() const;
  int Selected() const;

  void ApplyCaptions();
  // Opens the context menu at `screen` (-1, -1 from the keyboard: under the focused row), each
  // entry enabled as `enabled(id)` says. The chosen entry reaches the owner as WM_COMMAND.
  void ShowMenu(HWND owner, POINT screen, const std::function<bool(int)>& enabled);
  bool IsMenuEntry(int id) const;

 private:
  int IconOf(const std::string& file);

  HWND list_ = nullptr;
  platform::win32::ScopedMenu menu_;
  platform::win32::ScopedImageList images_;  // shared with the list view, which does not destroy it
  std::map<std::string, int> icons_;  // image index by upper-cased file path
  std::vector<const TControl*> columns_;
  std::vector<const TControl*> entries_;
  int defaultEntry_ = 0;
};

}  // namespace app
