// Owners of the objects the window code creates with Win32 itself: GDI objects, menus, icons,
// image lists and top-level windows. Each is deleted the way its kind is created.
#pragma once

#include <windows.h>

#include <commctrl.h>

#include "platform/handles.h"

namespace platform::win32 {

namespace close {
template <typename T>
void GdiObject(T object) {
  ::DeleteObject(object);
}
inline void Menu(HMENU menu) { ::DestroyMenu(menu); }
inline void Icon(HICON icon) { ::DestroyIcon(icon); }
inline void ImageList(HIMAGELIST list) { ::ImageList_Destroy(list); }
inline void Window(HWND window) { ::DestroyWindow(window); }
}  // namespace close

using ScopedFont = TScoped<HFONT, close::GdiObject<HFONT>, nullptr>;
using ScopedBrush = TScoped<HBRUSH, close::GdiObject<HBRUSH>, nullptr>;
using ScopedMenu = TScoped<HMENU, close::Menu, nullptr>;
using ScopedIcon = TScoped<HICON, close::Icon, nullptr>;
using ScopedImageList = TScoped<HIMAGELIST, close::ImageList, nullptr>;
// A top-level window of ours; a child window goes with its parent.
using ScopedWindow = TScoped<HWND, close::Window, nullptr>;

// The screen's device context for a measurement, released again.
class ScopedScreenDc {
 public:
  ScopedScreenDc() : dc_(::GetDC(nullptr)) {}
  ~ScopedScreenDc() {
    if (dc_) ::ReleaseDC(nullptr, dc_);
  }
  ScopedScreenDc(const ScopedScreenDc&) = delete;
  ScopedScreenDc& operator=(const ScopedScreenDc&) = delete;
  HDC get() const { return dc_; }

 private:
  HDC dc_;
};

}  // namespace platform::win32
