#include "app/settings_page.h"

#include <commctrl.h>

#include "app/control_ids.h"
#include "app/control_ui.h"

namespace app {

namespace {

// The stored option of a box and the list of a memo; null for a row that stores none.
bool scan::TSettings::*FlagOf(const TControl& row) {
  const scan::TOptionKey* option = row.key ? scan::FindOptionKey(row.key) : nullptr;
  return option ? option->flag : nullptr;
}
std::vector<std::string> scan::TSettings::*ListOf(const TControl& row) {
  const scan::TListFile* list = row.key ? scan::FindListFile(row.key) : nullptr;
  return list ? list->list : nullptr;
}

}  // namespace

void TSettingsPage::Create(HWND page, const TPageContext& context) {
  page_ = page;
  stayOnTop_ = context.stayOnTop;
  language_ = context.language;
  prompter_ = context.prompter;
  RECT area;
  GetClientRect(page, &area);
  tabs_.Create(page, kPageSettings, "AdvPC4", area, controls_);
  bool firstRadio = true;
  for (const TControl& row : kControls) {
    if (row.place != kPageSettings || row.sub < 0 || row.kind == TKind::TabSheet) continue;
    HWND control = CreateRowControl(row, tabs_.Panel(row.sub), CellRect(tabs_.Inner(row.sub), row.cell));
    if (row.kind == TKind::Radio && firstRadio) {
      SetWindowLongA(control, GWL_STYLE, GetWindowLongA(control, GWL_STYLE) | WS_GROUP | WS_TABSTOP);
      firstRadio = false;
    }
    controls_[row.id] = control;
  }
  Write(scan::TSettings{});
  SelectSubPage(0);
}

HWND TSettingsPage::Control(int id) const {
  return controls_.Find(id);
}

scan::TSettings TSettingsPage::Read() const {
  scan::TSettings s;
  s.RecentDays = 0;
  for (const TControl& row : kControls) {
    if (row.place != kPageSettings) continue;
    HWND control = Control(row.id);
    switch (row.kind) {
      case TKind::CheckBox:
        if (auto flag = FlagOf(row)) s.*flag = IsChecked(control);
        break;
      case TKind::Radio:
        if (IsChecked(control)) s.RecentDays = row.value;
        break;
      case TKind::Memo:
        if (auto list = ListOf(row)) s.*list = MemoLines(control);
        break;
      case TKind::Combo: s.Language = WindowText(control); break;
      default: break;
    }
  }
  return s;
}

void TSettingsPage::Write(const scan::TSettings& s) {
  for (const TControl& row : kControls) {
    if (row.place != kPageSettings) continue;
    HWND control = Control(row.id);
    switch (row.kind) {
      case TKind::CheckBox:
        if (auto flag = FlagOf(row)) SetChecked(control, s.*flag);
        break;
      case TKind::Radio: SetChecked(control, s.RecentDays == row.value); break;
      case TKind::Memo:
        if (auto list = ListOf(row)) SetMemoLines(control, s.*list);
        break;
      case TKind::Combo: SetWindowTextA(control, s.Language.c_str()); break;
      default: break;
    }
  }
}

void TSettingsPage::Load(const std::string& appDir) {
  const scan::TSettings before = Read();
  scan::TSettings loaded = before;
  scan::LoadSettings(appDir, loaded);
  Write(loaded);
  // A box whose state the file changed runs its handler, as a click would.
  if (loaded.StayOnTop != before.StayOnTop && stayOnTop_) stayOnTop_(loaded.StayOnTop);
  if (loaded.SaveReport != before.SaveReport) CheckBox2Click();
}

void TSettingsPage::Save(const std::string& appDir) const { scan::SaveSettings(appDir, Read()); }

void TSettingsPage::Enter() { SelectSubPage(kGeneral); }

void TSettingsPage::SelectSubPage(int index) { tabs_.Select(index); }

int TSettingsPage::SubPage() const { return tabs_.Selected(); }

void TSettingsPage::SetLanguages(const std::vector<std::string>& names) {
  HWND cb = Control(IdOf("cb"));
  const std::string text = WindowText(cb);
  SendMessageA(cb, CB_RESETCONTENT, 0, 0);
  for (const std::string& name : names) SendMessageA(cb, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name.c_str()));
  SetWindowTextA(cb, text.c_str());
}

std::string TSettingsPage::LanguageText() const { return WindowText(Control(IdOf("cb"))); }

void TSettingsPage::ApplyCaptions() { controls_.ApplyCaptions(kPageSettings, tabs_.Tabs()); }

bool TSettingsPage::Command(int id, int code) {
  if (!Control(id)) return false;
  if (id == IdOf("cb")) {
    CbChange(code);
  } else if (code != BN_CLICKED) {
    return true;
  } else if (id == IdOf("CheckBox3")) {
    if (stayOnTop_) stayOnTop_(IsChecked(Control(id)));
  } else if (id == IdOf("CheckBox2")) {
    CheckBox2Click();
  } else if (id == IdOf("Button5")) {
    Button5Click();
  } else if (id == IdOf("Button7")) {
    Button7Click();
  } else if (id == IdOf("Button8")) {
    Button8Click();
  }
  return true;
}

bool TSettingsPage::Notify(const NMHDR& header) { return tabs_.Notify(header); }

void TSettingsPage::CheckBox2Click() {
  scan::TSettings s = Read();
  scan::SaveReportClicked(s);
  SetChecked(Control(IdOf("CheckBox4")), s.OpenReport);
  SetChecked(Control(IdOf("CheckBox6")), s.CopyToDesktop);
}

void TSettingsPage::Button5Click() {
  const std::string path = BrowseForFile(page_);
  if (!path.empty()) SetWindowTextA(Control(IdOf("Edit1")), path.c_str());
}

void TSettingsPage::Button7Click() {
  HWND memo = Control(IdOf("ExclusionMemo"));
  std::vector<std::string> lines = MemoLines(memo);
  if (scan::AddExclusionEntry(WindowText(Control(IdOf("Edit1"))), WindowText(Control(IdOf("Edit2"))), lines,
                              *prompter_)) {
    SetMemoLines(memo, lines);
  }
}

void TSettingsPage::Button8Click() {
  const std::string path = BrowseForFile(page_);
  if (path.empty()) return;
  SetWindowTextA(Control(IdOf("Edit3")), path.c_str());
  HWND memo = Control(IdOf("ExclusionMemo"));
  std::vector<std::string> lines = MemoLines(memo);
  const size_t before = lines.size();
  scan::ImportExclusionFile(path, lines, *prompter_);
  if (lines.size() != before) SetMemoLines(memo, lines);
}

void TSettingsPage::CbChange(int code) {
  HWND cb = Control(IdOf("cb"));
  std::string name;
  if (code == CBN_SELCHANGE) {
    const LRESULT index = SendMessageA(cb, CB_GETCURSEL, 0, 0);
    if (index == CB_ERR) return;
    name.resize(static_cast<size_t>(SendMessageA(cb, CB_GETLBTEXTLEN, index, 0)) + 1);
    name.resize(static_cast<size_t>(SendMessageA(cb, CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(name.data()))));
  } else if (code == CBN_EDITCHANGE) {
    name = WindowText(cb);
  } else {
    return;
  }
  if (language_) language_(name);
}

}  // namespace app
