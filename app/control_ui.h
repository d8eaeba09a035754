// Building controls from rows of the table of controls, and reading and setting them.
#pragma once

#include <windows.h>

#include <map>
#include <string>
#include <vector>

#include "scan/controls.h"

namespace app {

inline constexpr int kGridRowHeight = 24;
inline constexpr int kGridGap = 4;

// The pixels of a grid cell inside `area`.
RECT CellRect(const RECT& area, const scan::TCell& cell);

// Creates the control of `row` in `parent` at `rect`, with its English caption.
HWND CreateRowControl(const scan::TControl& row, HWND parent, const RECT& rect);

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

inline constexpr const char* kAllFilesFilter = "All files (*.*)\0*.*\0";
// A file chosen in the Open dialog over `owner`'s window; empty when the user cancels. The
// current folder stays as it was.
std::string BrowseForFile(HWND owner, const char* title = nullptr, const char* filter = kAllFilesFilter);

HFONT MakeFont(const char* face, int points, int weight, bool underline = false);

// The window procedure of a class whose windows belong to a `T` passed as the creation
// parameter: it keeps the object in GWLP_USERDATA, sets its `window_` at WM_NCCREATE and hands
// every message to its HandleMessage.
template <typename T>
LRESULT CALLBACK WindowProcOf(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* self = static_cast<T*>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams);
    self->window_ = window;
    SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  }
  auto* self = reinterpret_cast<T*>(GetWindowLongPtrA(window, GWLP_USERDATA));
  return self ? self->HandleMessage(message, wParam, lParam) : DefWindowProcA(window, message, wParam, lParam);
}

std::string WindowText(HWND window);
bool IsChecked(HWND button);
void SetChecked(HWND button, bool checked);
// A memo's lines as the list files keep them, and back.
std::vector<std::string> MemoLines(HWND memo);
void SetMemoLines(HWND memo, const std::vector<std::string>& lines);

}  // namespace app
