// What the main window asks of each of its pages. The window holds its pages in one array by
// page index (the table of controls gives each page its panel and its button); its message
// handling, caption refresh and page buttons are loops over that array.
#pragma once

#include <windows.h>

namespace app {

class TPage {
 public:
  virtual ~TPage() = default;
  // Its button was pressed and it shows: lists are refilled and files read again here.
  virtual void Enter() {}
  // A WM_COMMAND, WM_NOTIFY or WM_CONTEXTMENU of its own controls; false for any other.
  virtual bool Command(int id, int code) { return false; }
  virtual bool Notify(const NMHDR& header) { return false; }
  virtual bool ContextMenu(HWND control, POINT screen) { return false; }
  // The captions of the current language on its controls.
  virtual void ApplyCaptions() {}
};

}  // namespace app
