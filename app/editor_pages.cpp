#include "app/editor_pages.h"

#include <commctrl.h>

#include "app/analyzer_page.h"
#include "app/control_ids.h"
#include "app/control_ui.h"
#include "app/controls.h"

namespace app {

namespace {

using managers::TEditorFile;


// Each editor's field and buttons.
struct TEditorRow {
  TEditorFile file;
  int sheet;  // sub-page of the Boot Files page; -1 for the hosts page
  int memo, save, reload, notepad;
};

constexpr TEditorRow kEditors[] = {
    {TEditorFile::Hosts, -1, IdOf("Memo2"), IdOf("Button1"), IdOf("Button2"), IdOf("Button3")},
    {TEditorFile::SystemIni, 0, IdOf("SystemIni"), IdOf("Button18"), IdOf("Button22"), IdOf("Button26")},
    {TEditorFile::WinIni, 1, IdOf("WinIni"), IdOf("Button19"), IdOf("Button23"), IdOf("Button27")},
    {TEditorFile::AutoexecBat, 2, IdOf("AutoexecBat"), IdOf("Button20"), IdOf("Button24"), IdOf("Button28")},
    {TEditorFile::BootIni, 3, IdOf("BootIni"), IdOf("Button17"), IdOf("Button21"), IdOf("Button25")},
};
static_assert(std::size(kEditors) == managers::kEditorFiles.size());

const TEditorRow& RowOf(TEditorFile file) {
  for (const TEditorRow& row : kEditors) {
    if (row.file == file) return row;
  }
  return kEditors[0];
}

}  // namespace

void TEditorPage::Create(HWND page, const TPageContext& context) {
  prompter_ = context.prompter;
  RECT area;
  GetClientRect(page, &area);
  for (const TControl& row : kControls) {
    if (row.place == place_ && row.kind == TKind::TabControl) tabs_.Create(page, place_, row.name, area, controls_);
  }
  for (const TControl& row : kControls) {
    if (row.place != place_ || (row.kind != TKind::Memo && row.kind != TKind::Button)) continue;
    HWND parent = row.sub >= 0 ? tabs_.Panel(row.sub) : page;
    const RECT cell = CellRect(row.sub >= 0 ? tabs_.Inner(row.sub) : area, row.cell);
    controls_[row.id] = CreateRowControl(row, parent, cell);
  }
  SelectSubPage(0);
}

void TEditorPage::Load(TEditorFile file) {
  const std::optional<std::string> text = managers::LoadEditorText(file);
  // The field shows every line break of the file as a break.
  if (text) SetWindowTextA(Control(RowOf(file).memo), ToEditText(*text).c_str());
}

void TEditorPage::Enter() {
  if (tabs_.Tabs()) {
    SelectSubPage(0);
    return;
  }
  for (const TEditorRow& row : kEditors) {
    if (Control(row.memo)) Load(row.file);
  }
}

// Shows sub-page `index` and loads its file.
void TEditorPage::SelectSubPage(int index) {
  if (!tabs_.Select(index)) return;
  for (const TEditorRow& row : kEditors) {
    if (row.sheet == index && Control(row.memo)) Load(row.file);
  }
}

void TEditorPage::ApplyCaptions() { controls_.ApplyCaptions(place_, tabs_.Tabs()); }

bool TEditorPage::Command(int id, int code) {
  for (const TEditorRow& row : kEditors) {
    if (id != row.save && id != row.reload && id != row.notepad && id != row.memo) continue;
    if (!Control(row.memo)) return false;
    if (code != BN_CLICKED || id == row.memo) return true;
    if (id == row.save) managers::SaveEditorText(row.file, WindowText(Control(row.memo)), *prompter_);
    if (id == row.reload) Load(row.file);
    if (id == row.notepad) managers::OpenInNotepad(row.file);
    return true;
  }
  return false;
}

bool TEditorPage::Notify(const NMHDR& header) {
  if (!tabs_.Notify(header)) return false;
  SelectSubPage(tabs_.Selected());
  return true;
}

}  // namespace app
