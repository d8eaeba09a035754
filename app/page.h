// What the main window asks of each of its pages. The window holds its pages in one array by
// page index (the table of controls gives each page its panel and its button); creation, message
// handling, caption refresh and page buttons are loops over that array.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

#include "inspect/prompt.h"
#include "inspect/run_state.h"
#include "scan/settings.h"

namespace app {

class TTrayIcon;

// What the main window lends its pages when they create their controls.
struct TPageContext {
  HWND window = nullptr;                      // the main window: owner of menus and sheets
  inspect::TPrompter* prompter = nullptr;     // the program's message boxes
  TTrayIcon* tray = nullptr;
  inspect::TRunState* runState = nullptr;     // the window's: no repairs during a scan
  std::function<scan::TSettings()> settings;  // the Settings page's controls as settings
  std::function<void(bool)> stayOnTop;
  std::function<void(const std::string&)> language;
};

class TPage {
 public:
  virtual ~TPage() = default;
  // Creates its controls on its panel `page`, once, before the window shows.
  virtual void Create(HWND page, const TPageContext& context) = 0;
  // Its button was pressed and it shows: lists are refilled and files read again here.
  virtual void Enter() {}
  // A WM_COMMAND, WM_NOTIFY or WM_CONTEXTMENU of its own controls; false for any other.
  virtual bool Command(int id, int code) { return false; }
  virtual bool Notify(const NMHDR& header) { return false; }
  virtual bool ContextMenu(HWND control, POINT screen) { return false; }
  // The captions of the current language on its controls.
  virtual void ApplyCaptions() {}
  // The id of the button Enter presses while the focus is on no push button; 0 for none.
  virtual int DefaultButton() const { return 0; }
};

}  // namespace app
