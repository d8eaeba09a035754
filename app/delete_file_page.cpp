#include "app/delete_file_page.h"

#include "app/control_ui.h"
#include "app/controls.h"
#include "managers/file_deleter.h"

namespace app {

void TDeleteFilePage::Create(HWND page, const TPageContext& context) {
  page_ = page;
  prompter_ = context.prompter;
  RECT area;
  GetClientRect(page, &area);
  InflateRect(&area, -8, -8);
  for (const TControl& row : kControls) {
    if (row.place != kPageDeleteFile) continue;
    controls_[row.id] = CreateRowControl(row, page, CellRect(area, row.cell));
  }
}

HWND TDeleteFilePage::Control(int id) const {
  return controls_.Find(id);
}

void TDeleteFilePage::ApplyCaptions() { controls_.ApplyCaptions(kPageDeleteFile); }

bool TDeleteFilePage::Command(int id, int code) {
  if (!Control(id)) return false;
  if (code == BN_CLICKED && id == IdOf("Button4")) Button4Click();
  if (code == BN_CLICKED && id == IdOf("Button6")) Button6Click();
  return true;
}

// OpenDialog3.
void TDeleteFilePage::Button4Click() {
  const std::string path = BrowseForFile(page_);
  if (!path.empty()) SetWindowTextA(Control(IdOf("Edit11")), path.c_str());
}

void TDeleteFilePage::Button6Click() {
  managers::DeleteFileNowOrAtReboot(WindowText(Control(IdOf("Edit11"))), *prompter_);
}

}  // namespace app
