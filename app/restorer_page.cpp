#include "app/restorer_page.h"

#include <commctrl.h>

#include <exception>

#include "app/control_ids.h"
#include "app/control_ui.h"
#include "inspect/system.h"

namespace app {

namespace {

bool OnSubPage(const TControl& row) { return row.place == kPageRestorer && row.sub >= 0; }

}  // namespace

void TRestorerPage::Create(HWND page, const TPageContext& context) {
  context_ = context;
  RECT area;
  GetClientRect(page, &area);
  // "Apply" stands on a strip of one grid row below the sub-pages.
  RECT strip = area;
  strip.top = area.bottom - kGridRowHeight;
  tabs_.Create(page, kPageRestorer, "AdvPC3", RECT{0, 0, area.right, strip.top - kGridGap}, controls_);
  for (const TControl& row : kControls) {
    if (!OnSubPage(row) || row.kind == TKind::TabSheet) continue;
    HWND control = CreateRowControl(row, tabs_.Panel(row.sub), CellRect(tabs_.Inner(row.sub), row.cell));
    // The Safe Mode buttons are one group: one at most is selected, and it stays so.
    if (row.kind == TKind::Radio && row.name == std::string_view("RadioButton1")) {
      SetWindowLongA(control, GWL_STYLE, GetWindowLongA(control, GWL_STYLE) | WS_GROUP | WS_TABSTOP);
    }
    controls_[row.id] = control;
  }
  const TControl& apply = *FindMainControl("Button9");
  InflateRect(&strip, -kGridGap, 0);
  controls_[apply.id] = CreateRowControl(apply, page, CellRect(strip, apply.cell));
  SelectSubPage(kSystemHijacks);
}

HWND TRestorerPage::Control(int id) const {
  return controls_.Find(id);
}

void TRestorerPage::Enter() { SelectSubPage(kSystemHijacks); }

void TRestorerPage::SelectSubPage(int index) { tabs_.Select(index); }

void TRestorerPage::ApplyCaptions() { controls_.ApplyCaptions(kPageRestorer, tabs_.Tabs()); }

restorer::TRestorerOptions TRestorerPage::Options() const {
  restorer::TRestorerOptions options;
  for (const TControl& row : kControls) {
    if (!OnSubPage(row) || (row.kind != TKind::CheckBox && row.kind != TKind::Radio)) continue;
    if (IsChecked(Control(row.id)) && row.value >= 0 && static_cast<size_t>(row.value) < restorer::kRepairCount) {
      options.ticked[static_cast<size_t>(row.value)] = true;
    }
  }
  options.createRestorePoint = context_.settings ? context_.settings().RestorePointBeforeRestorer : true;
  return options;
}

bool TRestorerPage::Command(int id, int code) {
  const TControl* row = FindControlById(id);
  if (!row || row->place != kPageRestorer || !Control(id)) return false;
  if (code != BN_CLICKED || row->kind != TKind::Button) return true;
  if (row->sub < 0) {
    Button9Click();
  } else {
    BrowserValueClick(*row);
  }
  return true;
}

bool TRestorerPage::Notify(const NMHDR& header) { return tabs_.Notify(header); }

void TRestorerPage::Button9Click() {
  HWND apply = Control(IdOf("Button9"));
  // Disabled while the batch and its final message last: the message has no owner, so the
  // window stays usable meanwhile.
  EnableWindow(apply, FALSE);
  try {
    restorer::ApplyRepairs(Options(), *context_.prompter, *context_.runState);
  } catch (const std::exception& error) {
    inspect::WriteDebugLog(inspect::DebugLogEntry(error));
  } catch (...) {
  }
  EnableWindow(apply, TRUE);
  if (!GetFocus() && GetActiveWindow() == GetAncestor(apply, GA_ROOT)) SetFocus(apply);
}

void TRestorerPage::BrowserValueClick(const TControl& button) {
  for (const TControl& row : kControls) {
    if (row.kind != TKind::Edit || row.place != kPageRestorer || row.value != button.value) continue;
    try {
      restorer::SetBrowserValue(static_cast<restorer::TBrowserValue>(button.value), WindowText(Control(row.id)),
                                *context_.prompter);
    } catch (const std::exception& error) {
      inspect::WriteDebugLog(inspect::DebugLogEntry(error));
    } catch (...) {
    }
    return;
  }
}

}  // namespace app
