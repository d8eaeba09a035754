#include "app/editor_pages.h"

#include <commctrl.h>

#include "app/analyzer_page.h"
#include "app/control_ids.h"
#include "app/control_ui.h"
#include "scan/controls.h"

namespace app {

namespace {

using managers::TEditorFile;
using scan::TControl;
using scan::TKind;

constexpr int kId(std::string_view name) { return scan::FindMainControl(name)->id; }

// Each editor's field and buttons.
struct TEditorRow {
  TEditorFile file;
  int sheet;  // sub-page of the Boot Files page; -1 for the hosts page
  int memo, save, reload, notepad;
};

constexpr TEditorRow kEditors[] = {
    {TEditorFile::Hosts, -1, kId("Memo2"), kId("Button1"), kId("Button2"), kId("Button3")},
    {TEditorFile::SystemIni, 0, kId("SystemIni"), kId("Button18"), kId("Button22"), kId("Button26")},
    {TEditorFile::WinIni, 1, kId("WinIni"), kId("Button19"), kId("Button23"), kId("Button27")},
    {TEditorFile::AutoexecBat, 2, kId("AutoexecBat"), kId("Button20"), kId("Button24"), kId("Button28")},
    {TEditorFile::BootIni, 3, kId("BootIni"), kId("Button17"), kId("Button21"), kId("Button25")},
};
static_assert(std::size(kEditors) == managers::kEditorFiles.size());

const TEditorRow& RowOf(TEditorFile file) {
  for (const TEditorRow& row : kEditors) {
    if (row.file == file) return row;
  }
  return kEditors[0];
}

}  // namespace

void TEditorPages::Create(HWND hostsPage, HWND bootPage, inspect::TPrompter* prompter) {
  prompter_ = prompter;
  RECT hostsArea;
  GetClientRect(hostsPage, &hostsArea);
  RECT bootArea;
  GetClientRect(bootPage, &bootArea);
  tabs_ = CreateWindowExA(WS_EX_CONTROLPARENT, WC_TABCONTROLA, "", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN | WS_TABSTOP,
                          0, 0, bootArea.right, bootArea.bottom, bootPage,
                          reinterpret_cast<HMENU>(static_cast<INT_PTR>(kId("AdvPC2"))), GetModuleHandleA(nullptr),
                          nullptr);
  controls_[kId("AdvPC2")] = tabs_;
  for (const TControl& row : scan::kControls) {
    if (row.kind != TKind::TabSheet || row.place != scan::kPageBoot) continue;
    std::string caption = scan::EnglishCaption(row);
    TCITEMA item{};
    item.mask = TCIF_TEXT;
    item.pszText = caption.data();
    SendMessageA(tabs_, TCM_INSERTITEMA, row.value, reinterpret_cast<LPARAM>(&item));
  }
  RECT display = bootArea;
  SendMessageA(tabs_, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&display));
  for (const TControl& row : scan::kControls) {
    if (row.kind != TKind::TabSheet || row.place != scan::kPageBoot) continue;
    sheets_[row.value] = CreateWindowExA(WS_EX_CONTROLPARENT, kPageWindowClass, row.name, WS_CHILD | WS_CLIPCHILDREN,
                                         display.left, display.top, display.right - display.left,
                                         display.bottom - display.top, tabs_, nullptr, GetModuleHandleA(nullptr),
                                         nullptr);
    controls_[row.id] = sheets_[row.value];
  }
  for (const TControl& row : scan::kControls) {
    if ((row.place != scan::kPageHosts && row.place != scan::kPageBoot) ||
        (row.kind != TKind::Memo && row.kind != TKind::Button)) {
      continue;
    }
    HWND parent = row.place == scan::kPageHosts ? hostsPage : sheets_[row.sub];
    RECT area;
    GetClientRect(parent, &area);
    if (row.place == scan::kPageBoot) InflateRect(&area, -8, -8);
    controls_[row.id] = CreateRowControl(row, parent, CellRect(area, row.cell));
  }
  SelectBootSubPage(0);
}

HWND TEditorPages::Control(int id) const {
  auto it = controls_.find(id);
  return it == controls_.end() ? nullptr : it->second;
}

void TEditorPages::Load(TEditorFile file) {
  const std::optional<std::string> text = managers::LoadEditorText(file);
  // The field shows every line break of the file as a break.
  if (text) SetWindowTextA(Control(RowOf(file).memo), ToEditText(*text).c_str());
}

void TEditorPages::LoadHosts() { Load(TEditorFile::Hosts); }

void TEditorPages::EnterBootPage() { SelectBootSubPage(0); }

void TEditorPages::SelectBootSubPage(int index) {
  if (!tabs_ || index < 0 || index >= static_cast<int>(sheets_.size())) return;
  SendMessageA(tabs_, TCM_SETCURSEL, index, 0);
  for (size_t i = 0; i < sheets_.size(); ++i) ShowWindow(sheets_[i], static_cast<int>(i) == index ? SW_SHOW : SW_HIDE);
  for (const TEditorRow& row : kEditors) {
    if (row.sheet == index) Load(row.file);
  }
}

void TEditorPages::ApplyCaptions() {
  for (const TControl& row : scan::kControls) {
    if ((row.place != scan::kPageHosts && row.place != scan::kPageBoot) || row.lng == 0) continue;
    if (HWND control = Control(row.id)) SetWindowTextA(control, scan::LanguageCaption(row).c_str());
  }
}

bool TEditorPages::Command(int id, int code) {
  for (const TEditorRow& row : kEditors) {
    if (id != row.save && id != row.reload && id != row.notepad && id != row.memo) continue;
    if (code != BN_CLICKED || id == row.memo) return true;
    if (id == row.save) managers::SaveEditorText(row.file, WindowText(Control(row.memo)), *prompter_);
    if (id == row.reload) Load(row.file);
    if (id == row.notepad) managers::OpenInNotepad(row.file);
    return true;
  }
  return false;
}

bool TEditorPages::Notify(const NMHDR& header) {
  if (header.hwndFrom != tabs_ || header.code != TCN_SELCHANGE) return false;
  SelectBootSubPage(static_cast<int>(SendMessageA(tabs_, TCM_GETCURSEL, 0, 0)));
  return true;
}

}  // namespace app
