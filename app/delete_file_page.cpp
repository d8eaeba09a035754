#include "app/delete_file_page.h"

#include <commdlg.h>

#include "app/control_ui.h"
#include "managers/file_deleter.h"
#include "scan/controls.h"

namespace app {

namespace {

constexpr int kId(std::string_view name) { return scan::FindMainControl(name)->id; }

}  // namespace

void TDeleteFilePage::Create(HWND page, inspect::TPrompter* prompter) {
  page_ = page;
  prompter_ = prompter;
  RECT area;
  GetClientRect(page, &area);
  InflateRect(&area, -8, -8);
  for (const scan::TControl& row : scan::kControls) {
    if (row.place != scan::kPageDeleteFile) continue;
    controls_[row.id] = CreateRowControl(row, page, CellRect(area, row.cell));
  }
}

HWND TDeleteFilePage::Control(int id) const {
  auto it = controls_.find(id);
  return it == controls_.end() ? nullptr : it->second;
}

void TDeleteFilePage::ApplyCaptions() {
  for (const scan::TControl& row : scan::kControls) {
    if (row.place != scan::kPageDeleteFile || row.lng == 0) continue;
    if (HWND control = Control(row.id)) SetWindowTextA(control, scan::LanguageCaption(row).c_str());
  }
}

bool TDeleteFilePage::Command(int id, int code) {
  if (!Control(id)) return false;
  if (code == BN_CLICKED && id == kId("Button4")) Button4Click();
  if (code == BN_CLICKED && id == kId("Button6")) Button6Click();
  return true;
}

// OpenDialog3.
void TDeleteFilePage::Button4Click() {
  char path[MAX_PATH] = {};
  OPENFILENAMEA dialog{};
  dialog.lStructSize = sizeof dialog;
  dialog.hwndOwner = GetAncestor(page_, GA_ROOT);
  dialog.lpstrFilter = "All files (*.*)\0*.*\0";
  dialog.lpstrFile = path;
  dialog.nMaxFile = MAX_PATH;
  dialog.Flags = OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY;
  if (GetOpenFileNameA(&dialog)) SetWindowTextA(Control(kId("Edit11")), path);
}

void TDeleteFilePage::Button6Click() {
  managers::DeleteFileNowOrAtReboot(WindowText(Control(kId("Edit11"))), *prompter_);
}

}  // namespace app
