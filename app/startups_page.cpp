#include "app/startups_page.h"

namespace app {

namespace {

constexpr int kId(std::string_view name) { return scan::FindMainControl(name)->id; }

}  // namespace

void TStartupsPage::Create(HWND page, HWND window, inspect::TPrompter* prompter) {
  window_ = window;
  prompter_ = prompter;
  SLV.Create(page, "SLV", "PopupMenu2");
}

void TStartupsPage::FillStartupList() {
  rows_ = managers::FillStartupList();
  SLV.BeginFill();
  for (const managers::TStartupRow& row : rows_) {
    SLV.AddRow({row.name, row.data, row.keyText}, row.fileExists ? row.file : std::string());
  }
  SLV.EndFill();
}

void TStartupsPage::ApplyCaptions() { SLV.ApplyCaptions(); }

const managers::TStartupRow* TStartupsPage::RowAt(int index) const {
  return index >= 0 && static_cast<size_t>(index) < rows_.size() ? &rows_[static_cast<size_t>(index)] : nullptr;
}

bool TStartupsPage::Command(int id, int code) {
  if (!SLV.IsMenuEntry(id) || code != 0) return false;
  if (id == kId("Refresh2")) Refresh2Click();
  if (id == kId("DeleteStartupItem1")) DeleteStartupItem1Click();
  if (id == kId("DeleteFile2")) DeleteFile2Click();
  if (id == kId("ShowFileProperties2")) ShowFileProperties2Click();
  return true;
}

bool TStartupsPage::Notify(const NMHDR& header) {
  if (header.hwndFrom != SLV.Handle()) return false;
  if (header.code == LVN_KEYDOWN) {
    const WORD key = reinterpret_cast<const NMLVKEYDOWN&>(header).wVKey;
    if (key == VK_DELETE) DeleteStartupItem1Click();
    if (key == VK_F5) Refresh2Click();
  }
  return true;
}

bool TStartupsPage::ContextMenu(HWND control, POINT screen) {
  if (control != SLV.Handle()) return false;
  const managers::TStartupMenu state = managers::StartupMenuState(RowAt(SLV.Focused()));
  SLV.ShowMenu(window_, screen, [&](int id) {
    if (id == kId("DeleteStartupItem1")) return state.deleteItem;
    if (id == kId("DeleteFile2")) return state.openFolder;
    if (id == kId("ShowFileProperties2")) return state.properties;
    return state.refresh;
  });
  return true;
}

void TStartupsPage::Refresh2Click() { FillStartupList(); }

void TStartupsPage::DeleteStartupItem1Click() {
  if (managers::DeleteStartupItem(RowAt(SLV.Selected()), *prompter_) == managers::TDeleteResult::NoSelection) return;
  FillStartupList();
}

void TStartupsPage::DeleteFile2Click() { managers::OpenStartupFolder(RowAt(SLV.Focused())); }

void TStartupsPage::ShowFileProperties2Click() {
  managers::ShowStartupFileProperties(reinterpret_cast<uintptr_t>(window_), RowAt(SLV.Focused()));
}

}  // namespace app
