// Building controls from rows of the table of controls, and reading and setting them.
#pragma once

#include <windows.h>

#include <map>
#include <string>
#include <vector>

#include "app/controls.h"

namespace app {

inline constexpr int kGridRowHeight = 24;
inline constexpr int kGridGap = 4;

// The pixels of a grid cell inside `area`.
RECT CellRect(const RECT& area, const TCell& cell);

// Creates the control of `row` in `parent` at `rect`, with its English caption.
HWND CreateRowControl(const TControl& row, HWND parent, const RECT& rect);

// The controls a page made from its rows, by id.
class TControlMap {
 public:
  HWND& operator[](int id) { return windows_[id]; }
  HWND Find(int id) const;
  // The language caption on every control of `page` made here; its tab sheets on `tabs` by index.
  void ApplyCaptions(int page, HWND tabs = nullptr) const;

 private:
  std::map<int, HWND> windows_;
};

// A row of sub-page tabs and a panel under it for each TabSheet row of a page. The tab control
// keeps only its row of tabs; the panels stand below it as its siblings, so that Tab reaches the
// row (where the arrow keys switch sub-pages) and then the shown panel.
class TTabPanels {
 public:
  // Creates the tab control of row `tabsName` on `page` over `area`, and the panels of `place`'s
  // sheets; every window made goes into `controls` by its row's id.
  void Create(HWND page, TPlace place, const char* tabsName, const RECT& area, TControlMap& controls);
  // Shows sub-page `index` (an index out of range changes nothing); false when it did not.
  bool Select(int index);
  // The selected sub-page; -1 before Create.
  int Selected() const;
  // TCN_SELCHANGE of its tabs shows the chosen panel; false for any other notification.
  bool Notify(const NMHDR& header);
  HWND Tabs() const { return tabs_; }
  // The panel of sub-page `index`; null out of range.
  HWND Panel(int index) const;
  // A panel's client area less the margin its controls keep.
  RECT Inner(int index) const;

 private:
  HWND tabs_ = nullptr;
  std::vector<HWND> panels_;
};

inline constexpr const char* kAllFilesFilter = "All files (*.*)\0*.*\0";
// A file chosen in the Open dialog over `owner`'s window; empty when the user cancels. The
// current folder stays as it was.
std::string BrowseForFile(HWND owner, const char* title = nullptr, const char* filter = kAllFilesFilter);

HFONT MakeFont(const char* face, int points, int weight, bool underline = false);

// A window of ours whose messages go to its object. Proc is the one window procedure of the
// program's window classes: created with the object (as a TWindowObject*) for its creation
// parameter, it keeps the object in GWLP_USERDATA, sets its `window_` at WM_NCCREATE and hands
// every message to its HandleMessage. The object owns its window.
class TWindowObject {
 public:
  TWindowObject() = default;
  TWindowObject(const TWindowObject&) = delete;
  TWindowObject& operator=(const TWindowObject&) = delete;
  // The window goes with its object; messages of its destruction find no object any more.
  virtual ~TWindowObject();
  static LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

 protected:
  virtual LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) = 0;
  HWND window_ = nullptr;
};

std::string WindowText(HWND window);
bool IsChecked(HWND button);
void SetChecked(HWND button, bool checked);
// A memo's lines as the list files keep them, and back.
std::vector<std::string> MemoLines(HWND memo);
void SetMemoLines(HWND memo, const std::vector<std::string>& lines);

}  // namespace app
