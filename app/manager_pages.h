// The manager pages of the main window together: what the window hands them and what its page
// buttons ask of them.
#pragma once

#include <windows.h>

#include <array>

#include "app/bho_page.h"
#include "app/delete_file_page.h"
#include "app/editor_pages.h"
#include "app/startups_page.h"
#include "scan/controls.h"

namespace app {

class TManagerPages {
 public:
  void Create(const std::array<HWND, scan::kPageCount>& pages, HWND window, inspect::TPrompter* prompter);
  void ApplyCaptions();
  // WM_COMMAND, WM_NOTIFY and WM_CONTEXTMENU of their controls; false for others.
  bool Command(int id, int code);
  bool Notify(const NMHDR& header);
  bool ContextMenu(HWND control, LPARAM position);

  TStartupsPage startups;
  TBhoPage bhos;
  TEditorPages editors;
  TDeleteFilePage deleteFile;
};

}  // namespace app
