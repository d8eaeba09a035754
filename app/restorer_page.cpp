#include "app/restorer_page.h"

#include <commctrl.h>

#include <exception>

#include "app/control_ids.h"
#include "app/control_ui.h"
#include "inspect/system.h"

namespace app {

namespace {

using scan::TControl;
using scan::TKind;

bool OnSubPage(const TControl& row) { return row.place == scan::kPageRestorer && row.sub >= 0; }

}  // namespace

void TRestorerPage::Create(HWND page, THost host) {
  host_ = std::move(host);
  RECT area;
  GetClientRect(page, &area);
  // "Apply" stands on a strip of one grid row below the sub-pages.
  RECT strip = area;
  strip.top = area.bottom - kGridRowHeight;
  tabs_ = CreateWindowExA(0, WC_TABCONTROLA, "", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_TABSTOP,
                          0, 0, area.right, strip.top - kGridGap, page,
                          reinterpret_cast<HMENU>(static_cast<INT_PTR>(scan::IdOf("AdvPC3"))),
                          GetModuleHandleA(nullptr), nullptr);
  controls_[scan::IdOf("AdvPC3")] = tabs_;
  for (const TControl& row : scan::kControls) {
    if (row.kind != TKind::TabSheet || row.place != scan::kPageRestorer) continue;
    std::string caption = scan::EnglishCaption(row);
    TCITEMA item{};
    item.mask = TCIF_TEXT;
    item.pszText = caption.data();
    SendMessageA(tabs_, TCM_INSERTITEMA, row.value, reinterpret_cast<LPARAM>(&item));
  }
  RECT display{0, 0, area.right, strip.top - kGridGap};
  SendMessageA(tabs_, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&display));
  // The tab control keeps only its row of tabs and the sub-pages stand below it as its siblings,
  // so that Tab reaches the row and then the shown sub-page (as on the Settings page).
  display = RECT{0, display.top, area.right, strip.top - kGridGap};
  SetWindowPos(tabs_, nullptr, 0, 0, area.right, display.top, SWP_NOZORDER | SWP_NOMOVE | SWP_NOACTIVATE);
  for (const TControl& row : scan::kControls) {
    if (row.kind != TKind::TabSheet || row.place != scan::kPageRestorer) continue;
    panels_[row.value] = CreateWindowExA(WS_EX_CONTROLPARENT, kPageWindowClass, row.name, WS_CHILD | WS_CLIPCHILDREN,
                                         display.left, display.top, display.right - display.left,
                                         display.bottom - display.top, page, nullptr, GetModuleHandleA(nullptr),
                                         nullptr);
    controls_[row.id] = panels_[row.value];
  }
  for (const TControl& row : scan::kControls) {
    if (!OnSubPage(row) || row.kind == TKind::TabSheet) continue;
    HWND panel = panels_[row.sub];
    RECT inner;
    GetClientRect(panel, &inner);
    InflateRect(&inner, -8, -8);
    HWND control = CreateRowControl(row, panel, CellRect(inner, row.cell));
    // The Safe Mode buttons are one group: one at most is selected, and it stays so.
    if (row.kind == TKind::Radio && row.name == std::string_view("RadioButton1")) {
      SetWindowLongA(control, GWL_STYLE, GetWindowLongA(control, GWL_STYLE) | WS_GROUP | WS_TABSTOP);
    }
    controls_[row.id] = control;
  }
  const TControl& apply = *scan::FindMainControl("Button9");
  InflateRect(&strip, -kGridGap, 0);
  controls_[apply.id] = CreateRowControl(apply, page, CellRect(strip, apply.cell));
  SelectSubPage(scan::kSystemHijacks);
}

HWND TRestorerPage::Control(int id) const {
  return controls_.Find(id);
}

void TRestorerPage::Enter() { SelectSubPage(scan::kSystemHijacks); }

void TRestorerPage::SelectSubPage(int index) {
  if (!tabs_ || index < 0 || index >= scan::kRestorerTabCount) return;
  SendMessageA(tabs_, TCM_SETCURSEL, index, 0);
  for (int i = 0; i < scan::kRestorerTabCount; ++i) ShowWindow(panels_[i], i == index ? SW_SHOW : SW_HIDE);
}

void TRestorerPage::ApplyCaptions() { controls_.ApplyCaptions(scan::kPageRestorer, tabs_); }

restorer::TRestorerOptions TRestorerPage::Options() const {
  restorer::TRestorerOptions options;
  for (const TControl& row : scan::kControls) {
    if (!OnSubPage(row) || (row.kind != TKind::CheckBox && row.kind != TKind::Radio)) continue;
    if (IsChecked(Control(row.id)) && row.value >= 0 && static_cast<size_t>(row.value) < restorer::kRepairCount) {
      options.ticked[static_cast<size_t>(row.value)] = true;
    }
  }
  options.createRestorePoint = host_.restorePoint ? host_.restorePoint() : true;
  return options;
}

bool TRestorerPage::Command(int id, int code) {
  const TControl* row = scan::FindControlById(id);
  if (!row || row->place != scan::kPageRestorer || !Control(id)) return false;
  if (code != BN_CLICKED || row->kind != TKind::Button) return true;
  if (row->sub < 0) {
    Button9Click();
  } else {
    BrowserValueClick(*row);
  }
  return true;
}

bool TRestorerPage::Notify(const NMHDR& header) {
  if (!tabs_ || header.hwndFrom != tabs_ || header.code != TCN_SELCHANGE) return false;
  SelectSubPage(static_cast<int>(SendMessageA(tabs_, TCM_GETCURSEL, 0, 0)));
  return true;
}

void TRestorerPage::Button9Click() {
  HWND apply = Control(scan::IdOf("Button9"));
  // Disabled while the batch and its final message last: the message has no owner, so the
  // window stays usable meanwhile.
  EnableWindow(apply, FALSE);
  try {
    restorer::ApplyRepairs(Options(), *host_.prompter, *host_.runState);
  } catch (const std::exception& error) {
    inspect::WriteDebugLog(inspect::DebugLogEntry(error));
  } catch (...) {
  }
  EnableWindow(apply, TRUE);
  if (!GetFocus() && GetActiveWindow() == GetAncestor(apply, GA_ROOT)) SetFocus(apply);
}

void TRestorerPage::BrowserValueClick(const TControl& button) {
  for (const TControl& row : scan::kControls) {
    if (row.kind != TKind::Edit || row.place != scan::kPageRestorer || row.value != button.value) continue;
    try {
      restorer::SetBrowserValue(static_cast<restorer::TBrowserValue>(button.value), WindowText(Control(row.id)),
                                *host_.prompter);
    } catch (const std::exception& error) {
      inspect::WriteDebugLog(inspect::DebugLogEntry(error));
    } catch (...) {
    }
    return;
  }
}

}  // namespace app
