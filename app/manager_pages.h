// The manager pages of the main window together: their objects and what the window hands them.
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

  TStartupsPage startups;
  TBhoPage bhos;
  TEditorPages editors;
  TDeleteFilePage deleteFile;
};

}  // namespace app
