#include "app/bho_page.h"

namespace app {

namespace {

constexpr int kId(std::string_view name) { return scan::FindMainControl(name)->id; }

}  // namespace

void TBhoPage::Create(HWND page, HWND window) {
  window_ = window;
  BHO_LV.Create(page, "BHO_LV", "PopupMenu1");
}

void TBhoPage::FillBhoList() {
  rows_ = managers::FillBhoList();
  BHO_LV.BeginFill();
  for (const managers::TBhoRow& row : rows_) {
    BHO_LV.AddRow({row.file, row.clsid, managers::kBhoKeyText}, row.fileExists ? row.file : std::string());
  }
  BHO_LV.EndFill();
}

void TBhoPage::ApplyCaptions() { BHO_LV.ApplyCaptions(); }

const managers::TBhoRow* TBhoPage::RowAt(int index) const {
  return index >= 0 && static_cast<size_t>(index) < rows_.size() ? &rows_[static_cast<size_t>(index)] : nullptr;
}

bool TBhoPage::Command(int id, int code) {
  if (!BHO_LV.IsMenuEntry(id) || code != 0) return false;
  if (id == kId("Refresh1")) Refresh1Click();
  if (id == kId("OpenContainingFolder1")) OpenContainingFolder1Click();
  if (id == kId("ShowFileProperties1")) ShowFileProperties1Click();
  return true;
}

bool TBhoPage::Notify(const NMHDR& header) {
  if (header.hwndFrom != BHO_LV.Handle()) return false;
  if (header.code == LVN_KEYDOWN && reinterpret_cast<const NMLVKEYDOWN&>(header).wVKey == VK_F5) Refresh1Click();
  return true;
}

bool TBhoPage::ContextMenu(HWND control, POINT screen) {
  if (control != BHO_LV.Handle()) return false;
  const managers::TBhoMenu state = managers::BhoMenuState(RowAt(BHO_LV.Focused()));
  BHO_LV.ShowMenu(window_, screen, [&](int id) {
    if (id == kId("OpenContainingFolder1")) return state.openFolder;
    if (id == kId("ShowFileProperties1")) return state.properties;
    return state.refresh;
  });
  return true;
}

void TBhoPage::Refresh1Click() { FillBhoList(); }
void TBhoPage::OpenContainingFolder1Click() { managers::OpenBhoFolder(RowAt(BHO_LV.Focused())); }
void TBhoPage::ShowFileProperties1Click() {
  managers::ShowBhoFileProperties(reinterpret_cast<uintptr_t>(window_), RowAt(BHO_LV.Focused()));
}

}  // namespace app
