#include "app/list_view.h"

#include <shellapi.h>

#include "app/control_ui.h"

namespace app {

namespace {


std::string Upper(std::string text) {
  CharUpperBuffA(text.data(), static_cast<DWORD>(text.size()));
  return text;
}

// The index of `name`'s row on the main window's places; the rows of a list or menu follow it.
size_t RowIndex(const char* name) {
  for (size_t i = 0; i < std::size(kControls); ++i) {
    if (kControls[i].place <= kPlaceMenu && std::string_view(kControls[i].name) == name) return i;
  }
  return std::size(kControls);
}

}  // namespace

void TManagerList::Create(HWND page, const char* listName, const char* popupName) {
  const size_t listIndex = RowIndex(listName);
  const TControl& row = kControls[listIndex];
  RECT area;
  GetClientRect(page, &area);
  const RECT r = CellRect(area, row.cell);
  list_ = CreateWindowExA(WS_EX_CLIENTEDGE, WC_LISTVIEWA, "",
                          WS_CHILD | WS_VISIBLE | WS_TABSTOP | LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS |
                              LVS_NOSORTHEADER | LVS_SHAREIMAGELISTS,
                          r.left, r.top, r.right - r.left, r.bottom - r.top, page,
                          reinterpret_cast<HMENU>(static_cast<INT_PTR>(row.id)), GetModuleHandleA(nullptr), nullptr);
  SendMessageA(list_, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT,
               LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT);
  images_.Reset(ImageList_Create(GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), ILC_COLOR32 | ILC_MASK, 16,
                                 16));
  SendMessageA(list_, LVM_SETIMAGELIST, LVSIL_SMALL, reinterpret_cast<LPARAM>(images_.get()));

  for (size_t i = listIndex + 1; i < std::size(kControls) && kControls[i].kind == TKind::Column; ++i) {
    const TControl& column = kControls[i];
    std::string caption = EnglishCaption(column);
    LVCOLUMNA c{};
    c.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
    c.pszText = caption.data();
    c.cx = column.value;
    c.iSubItem = static_cast<int>(columns_.size());
    SendMessageA(list_, LVM_INSERTCOLUMNA, columns_.size(), reinterpret_cast<LPARAM>(&c));
    columns_.push_back(&column);
  }

  menu_.Reset(CreatePopupMenu());
  const size_t popupIndex = RowIndex(popupName);
  for (size_t i = popupIndex + 1; i < std::size(kControls); ++i) {
    const TControl& entry = kControls[i];
    if (entry.kind == TKind::MenuSeparator) {
      AppendMenuA(menu_.get(), MF_SEPARATOR, 0, nullptr);
      continue;
    }
    if (entry.kind != TKind::MenuItem) break;
    AppendMenuA(menu_.get(), MF_STRING, static_cast<UINT_PTR>(entry.id), EnglishCaption(entry).c_str());
    if (entries_.empty()) defaultEntry_ = entry.id;  // the first entry is the default one
    entries_.push_back(&entry);
  }
}

void TManagerList::BeginFill() {
  SendMessageA(list_, WM_SETREDRAW, FALSE, 0);
  SendMessageA(list_, LVM_DELETEALLITEMS, 0, 0);
}

void TManagerList::EndFill() {
  SendMessageA(list_, WM_SETREDRAW, TRUE, 0);
  InvalidateRect(list_, nullptr, TRUE);
}

int TManagerList::IconOf(const std::string& file) {
  const std::string key = Upper(file);
  auto it = icons_.find(key);
  if (it != icons_.end()) return it->second;
  SHFILEINFOA info{};
  int index = I_IMAGENONE;
  if (SHGetFileInfoA(file.c_str(), 0, &info, sizeof info, SHGFI_ICON | SHGFI_SMALLICON) && info.hIcon) {
    const platform::win32::ScopedIcon icon(info.hIcon);
    index = ImageList_AddIcon(images_.get(), icon.get());
    if (index < 0) index = I_IMAGENONE;
  }
  // Each file's icon enters the image list once, however often the list is refilled.
  icons_[key] = index;
  return index;
}

void TManagerList::AddRow(const std::vector<std::string>& cells, const std::string& iconFile) {
  if (cells.empty()) return;
  std::string text = cells[0];
  LVITEMA item{};
  item.mask = LVIF_TEXT | LVIF_IMAGE;
  item.iItem = static_cast<int>(SendMessageA(list_, LVM_GETITEMCOUNT, 0, 0));
  item.pszText = text.data();
  item.iImage = iconFile.empty() ? I_IMAGENONE : IconOf(iconFile);
  const int index = static_cast<int>(SendMessageA(list_, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item)));
  if (index < 0) return;
  for (size_t i = 1; i < cells.size(); ++i) {
    std::string cell = cells[i];
    LVITEMA sub{};
    sub.iSubItem = static_cast<int>(i);
    sub.pszText = cell.data();
    SendMessageA(list_, LVM_SETITEMTEXTA, index, reinterpret_cast<LPARAM>(&sub));
  }
}

int TManagerList::Focused() const {
  return static_cast<int>(SendMessageA(list_, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_FOCUSED));
}

int TManagerList::Selected() const {
  return static_cast<int>(SendMessageA(list_, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
}

void TManagerList::ApplyCaptions() {
  for (size_t i = 0; i < columns_.size(); ++i) {
    if (columns_[i]->lng == 0) continue;
    std::string caption = LanguageCaption(*columns_[i]);
    LVCOLUMNA c{};
    c.mask = LVCF_TEXT;
    c.pszText = caption.data();
    SendMessageA(list_, LVM_SETCOLUMNA, i, reinterpret_cast<LPARAM>(&c));
  }
  for (const TControl* entry : entries_) {
    if (entry->lng == 0) continue;
    std::string caption = LanguageCaption(*entry);
    MENUITEMINFOA item{};
    item.cbSize = sizeof item;
    item.fMask = MIIM_TYPE;
    item.fType = MFT_STRING;
    item.dwTypeData = caption.data();
    SetMenuItemInfoA(menu_.get(), static_cast<UINT>(entry->id), FALSE, &item);
  }
}

bool TManagerList::IsMenuEntry(int id) const {
  for (const TControl* entry : entries_) {
    if (entry->id == id) return true;
  }
  return false;
}

void TManagerList::ShowMenu(HWND owner, POINT screen, const std::function<bool(int)>& enabled) {
  if (screen.x == -1 && screen.y == -1) {
    // From the keyboard: under the focused row, or at the list's corner.
    POINT at{4, 4};
    RECT row{};
    row.left = LVIR_LABEL;
    const int focused = Focused();
    if (focused >= 0 && SendMessageA(list_, LVM_GETITEMRECT, focused, reinterpret_cast<LPARAM>(&row))) {
      at = {row.left, row.bottom};
    }
    ClientToScreen(list_, &at);
    screen = at;
  }
  for (const TControl* entry : entries_) {
    EnableMenuItem(menu_.get(), static_cast<UINT>(entry->id), MF_BYCOMMAND | (enabled(entry->id) ? MF_ENABLED : MF_GRAYED));
  }
  SetMenuDefaultItem(menu_.get(), static_cast<UINT>(defaultEntry_), FALSE);
  // The menu closes on a click elsewhere only when its owner is in the foreground.
  SetForegroundWindow(owner);
  TrackPopupMenu(menu_.get(), TPM_LEFTALIGN | TPM_RIGHTBUTTON, screen.x, screen.y, 0, owner, nullptr);
  PostMessageA(owner, WM_NULL, 0, 0);
}

}  // namespace app
