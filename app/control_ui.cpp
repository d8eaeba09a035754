#include "app/control_ui.h"

#include <commctrl.h>
#include <commdlg.h>

#include "app/control_ids.h"
#include "platform/win32/window_owners.h"
#include "scan/settings.h"

namespace app {

RECT CellRect(const RECT& area, const TCell& cell) {
  const int columnWidth = (area.right - area.left) / kGridColumns;
  RECT r;
  r.left = area.left + cell.column * columnWidth;
  r.top = area.top + cell.row * kGridRowHeight;
  r.right = r.left + cell.columns * columnWidth - kGridGap;
  r.bottom = r.top + cell.rows * kGridRowHeight - kGridGap;
  return r;
}

HWND TControlMap::Find(int id) const {
  auto it = windows_.find(id);
  return it == windows_.end() ? nullptr : it->second;
}

void TControlMap::ApplyCaptions(int page, HWND tabs) const {
  for (const TControl& row : kControls) {
    if (row.place != page || row.lng == 0) continue;
    std::string caption = LanguageCaption(row);
    if (row.kind == TKind::TabSheet && tabs) {
      TCITEMA item{};
      item.mask = TCIF_TEXT;
      item.pszText = caption.data();
      SendMessageA(tabs, TCM_SETITEMA, row.value, reinterpret_cast<LPARAM>(&item));
    } else if (HWND control = Find(row.id)) {
      SetWindowTextA(control, caption.c_str());
    }
  }
}

void TTabPanels::Create(HWND page, TPlace place, const char* tabsName, const RECT& area, TControlMap& controls) {
  const int tabsId = FindMainControl(tabsName)->id;
  tabs_ = CreateWindowExA(0, WC_TABCONTROLA, "", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_TABSTOP, area.left,
                          area.top, area.right - area.left, area.bottom - area.top, page,
                          reinterpret_cast<HMENU>(static_cast<INT_PTR>(tabsId)), GetModuleHandleA(nullptr), nullptr);
  controls[tabsId] = tabs_;
  for (const TControl& row : kControls) {
    if (row.kind != TKind::TabSheet || row.place != place) continue;
    std::string caption = EnglishCaption(row);
    TCITEMA item{};
    item.mask = TCIF_TEXT;
    item.pszText = caption.data();
    SendMessageA(tabs_, TCM_INSERTITEMA, row.value, reinterpret_cast<LPARAM>(&item));
  }
  RECT display = area;
  SendMessageA(tabs_, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&display));
  display = RECT{area.left, display.top, area.right, area.bottom};
  SetWindowPos(tabs_, nullptr, 0, 0, area.right - area.left, display.top - area.top,
               SWP_NOZORDER | SWP_NOMOVE | SWP_NOACTIVATE);
  for (const TControl& row : kControls) {
    if (row.kind != TKind::TabSheet || row.place != place) continue;
    if (panels_.size() <= static_cast<size_t>(row.value)) panels_.resize(static_cast<size_t>(row.value) + 1);
    HWND panel = CreateWindowExA(WS_EX_CONTROLPARENT, kPageWindowClass, row.name, WS_CHILD | WS_CLIPCHILDREN,
                                 display.left, display.top, display.right - display.left,
                                 display.bottom - display.top, page, nullptr, GetModuleHandleA(nullptr), nullptr);
    panels_[static_cast<size_t>(row.value)] = panel;
    controls[row.id] = panel;
  }
}

bool TTabPanels::Select(int index) {
  if (!tabs_ || index < 0 || static_cast<size_t>(index) >= panels_.size()) return false;
  SendMessageA(tabs_, TCM_SETCURSEL, index, 0);
  for (size_t i = 0; i < panels_.size(); ++i) ShowWindow(panels_[i], static_cast<int>(i) == index ? SW_SHOW : SW_HIDE);
  return true;
}

int TTabPanels::Selected() const { return tabs_ ? static_cast<int>(SendMessageA(tabs_, TCM_GETCURSEL, 0, 0)) : -1; }

bool TTabPanels::Notify(const NMHDR& header) {
  if (!tabs_ || header.hwndFrom != tabs_ || header.code != TCN_SELCHANGE) return false;
  Select(Selected());
  return true;
}

HWND TTabPanels::Panel(int index) const {
  return index >= 0 && static_cast<size_t>(index) < panels_.size() ? panels_[static_cast<size_t>(index)] : nullptr;
}

RECT TTabPanels::Inner(int index) const {
  RECT inner{};
  if (HWND panel = Panel(index)) GetClientRect(panel, &inner);
  InflateRect(&inner, -8, -8);
  return inner;
}

HWND CreateRowControl(const TControl& row, HWND parent, const RECT& rect) {
  const char* cls = "BUTTON";
  DWORD style = WS_CHILD | WS_VISIBLE;
  DWORD exStyle = 0;
  int height = rect.bottom - rect.top;
  switch (row.kind) {
    case TKind::Button: style |= BS_PUSHBUTTON | WS_TABSTOP; break;
    case TKind::CheckBox: style |= BS_AUTOCHECKBOX | WS_TABSTOP; break;
    case TKind::Radio: style |= BS_AUTORADIOBUTTON; break;
    case TKind::Label: cls = "STATIC"; style |= SS_LEFT | SS_CENTERIMAGE; break;
    case TKind::Link: cls = "STATIC"; style |= SS_LEFT | SS_NOTIFY; break;
    case TKind::Edit:
      cls = "EDIT";
      style |= ES_AUTOHSCROLL | WS_TABSTOP;
      exStyle = WS_EX_CLIENTEDGE;
      break;
    case TKind::Memo:
      cls = "EDIT";
      style |= ES_MULTILINE | ES_AUTOVSCROLL | ES_AUTOHSCROLL | ES_WANTRETURN | WS_VSCROLL | WS_HSCROLL | WS_TABSTOP;
      exStyle = WS_EX_CLIENTEDGE;
      break;
    case TKind::Combo:
      cls = "COMBOBOX";
      style |= CBS_DROPDOWN | CBS_SORT | CBS_AUTOHSCROLL | WS_VSCROLL | WS_TABSTOP;
      height = 200;  // the drop-down list
      break;
    case TKind::Progress: cls = PROGRESS_CLASSA; break;
    default: return nullptr;
  }
  const std::string caption = row.kind == TKind::Memo || row.kind == TKind::Edit ? "" : EnglishCaption(row);
  HWND control = CreateWindowExA(exStyle, cls, caption.c_str(), style, rect.left, rect.top, rect.right - rect.left,
                                 height, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(row.id)),
                                 GetModuleHandleA(nullptr), nullptr);
  if (control && row.kind == TKind::Memo) SendMessageA(control, EM_SETLIMITTEXT, 0, 0);
  return control;
}

std::string BrowseForFile(HWND owner, const char* title, const char* filter) {
  char path[MAX_PATH] = {};
  OPENFILENAMEA dialog{};
  dialog.lStructSize = sizeof dialog;
  dialog.hwndOwner = GetAncestor(owner, GA_ROOT);
  dialog.lpstrFilter = filter;
  dialog.lpstrFile = path;
  dialog.nMaxFile = MAX_PATH;
  dialog.lpstrTitle = title;
  dialog.Flags = OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_NOCHANGEDIR;
  return GetOpenFileNameA(&dialog) ? path : "";
}

HFONT MakeFont(const char* face, int points, int weight, bool underline) {
  const platform::win32::ScopedScreenDc screen;
  const int height = -MulDiv(points, GetDeviceCaps(screen.get(), LOGPIXELSY), 72);
  return CreateFontA(height, 0, 0, 0, weight, FALSE, underline, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                     CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_SWISS, face);
}

TWindowObject::~TWindowObject() {
  if (window_ && IsWindow(window_)) {
    SetWindowLongPtrA(window_, GWLP_USERDATA, 0);
    DestroyWindow(window_);
  }
}

LRESULT CALLBACK TWindowObject::Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* self = static_cast<TWindowObject*>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams);
    self->window_ = window;
    SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  }
  auto* self = reinterpret_cast<TWindowObject*>(GetWindowLongPtrA(window, GWLP_USERDATA));
  return self ? self->HandleMessage(message, wParam, lParam) : DefWindowProcA(window, message, wParam, lParam);
}

std::string WindowText(HWND window) {
  if (!window) return "";
  std::string text(static_cast<size_t>(GetWindowTextLengthA(window)) + 1, '\0');
  text.resize(static_cast<size_t>(GetWindowTextA(window, text.data(), static_cast<int>(text.size()))));
  return text;
}

bool IsChecked(HWND button) { return button && SendMessageA(button, BM_GETCHECK, 0, 0) == BST_CHECKED; }

void SetChecked(HWND button, bool checked) {
  if (button) SendMessageA(button, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

std::vector<std::string> MemoLines(HWND memo) { return scan::SplitLines(WindowText(memo)); }

void SetMemoLines(HWND memo, const std::vector<std::string>& lines) {
  std::string text;
  for (size_t i = 0; i < lines.size(); ++i) text += (i ? "\r\n" : "") + lines[i];
  SetWindowTextA(memo, text.c_str());
}

}  // namespace app
