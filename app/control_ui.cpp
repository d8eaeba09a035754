#include "app/control_ui.h"

#include <commctrl.h>
#include <commdlg.h>

#include "platform/win32/window_owners.h"
#include "scan/settings.h"

namespace app {

RECT CellRect(const RECT& area, const scan::TCell& cell) {
  const int columnWidth = (area.right - area.left) / scan::kGridColumns;
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
  for (const scan::TControl& row : scan::kControls) {
    if (row.place != page || row.lng == 0) continue;
    std::string caption = scan::LanguageCaption(row);
    if (row.kind == scan::TKind::TabSheet && tabs) {
      TCITEMA item{};
      item.mask = TCIF_TEXT;
      item.pszText = caption.data();
      SendMessageA(tabs, TCM_SETITEMA, row.value, reinterpret_cast<LPARAM>(&item));
    } else if (HWND control = Find(row.id)) {
      SetWindowTextA(control, caption.c_str());
    }
  }
}

HWND CreateRowControl(const scan::TControl& row, HWND parent, const RECT& rect) {
  using scan::TKind;
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
  const std::string caption = row.kind == TKind::Memo || row.kind == TKind::Edit ? "" : scan::EnglishCaption(row);
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
