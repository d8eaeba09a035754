#include "app/list_page.h"

#include <commctrl.h>

#include <utility>

namespace app {

TListPage::TListPage(const char* list, const char* popup, std::vector<TListEntry> entries,
                     std::unique_ptr<TListSource> source)
    : listName_(list), popupName_(popup), entries_(std::move(entries)), source_(std::move(source)) {}

void TListPage::Create(HWND page, const TPageContext& context) {
  window_ = context.window;
  prompter_ = context.prompter;
  list_.Create(page, listName_, popupName_);
}

void TListPage::Fill() {
  const std::vector<TListItem> items = source_->Fill();
  list_.BeginFill();
  for (const TListItem& item : items) list_.AddRow(item.cells, item.iconFile);
  list_.EndFill();
}

const TListEntry* TListPage::EntryOf(int id) const {
  for (const TListEntry& entry : entries_) {
    const TControl* row = FindMainControl(entry.name);
    if (row && row->id == id) return &entry;
  }
  return nullptr;
}

bool TListPage::Has(TListAction action) const {
  for (const TListEntry& entry : entries_) {
    if (entry.action == action) return true;
  }
  return false;
}

// Delete works on the selected row, the other entries on the focused one.
void TListPage::Run(TListAction action) {
  if (!Has(action)) return;
  const int row = action == TListAction::Delete ? list_.Selected() : list_.Focused();
  if (source_->Run(action, row, window_, *prompter_)) Fill();
}

bool TListPage::Command(int id, int code) {
  if (!list_.IsMenuEntry(id) || code != 0) return false;
  if (const TListEntry* entry = EntryOf(id)) Run(entry->action);
  return true;
}

bool TListPage::Notify(const NMHDR& header) {
  if (header.hwndFrom != list_.Handle()) return false;
  if (header.code == LVN_KEYDOWN) {
    const WORD key = reinterpret_cast<const NMLVKEYDOWN&>(header).wVKey;
    if (key == VK_DELETE) Run(TListAction::Delete);
    if (key == VK_F5) Run(TListAction::Refresh);
  }
  return true;
}

bool TListPage::ContextMenu(HWND control, POINT screen) {
  if (control != list_.Handle()) return false;
  const int focused = list_.Focused();
  list_.ShowMenu(window_, screen, [&](int id) {
    const TListEntry* entry = EntryOf(id);
    return entry ? source_->Enabled(entry->action, focused) : false;
  });
  return true;
}

}  // namespace app
