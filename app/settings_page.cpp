#include "app/settings_page.h"

#include <commctrl.h>

#include "app/control_ids.h"
#include "app/control_ui.h"

namespace app {

namespace {

using scan::TControl;
using scan::TKind;

constexpr int kId(std::string_view name) { return scan::FindMainControl(name)->id; }

}  // namespace

void TSettingsPage::Create(HWND page, THost host) {
  page_ = page;
  host_ = std::move(host);
  RECT area;
  GetClientRect(page, &area);
  tabs_ = CreateWindowExA(0, WC_TABCONTROLA, "", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_TABSTOP, 0, 0,
                          area.right, area.bottom, page,
                          reinterpret_cast<HMENU>(static_cast<INT_PTR>(scan::IdOf("AdvPC4"))),
                          GetModuleHandleA(nullptr), nullptr);
  for (const TControl& row : scan::kControls) {
    if (row.kind != TKind::TabSheet || row.place != scan::kPageSettings) continue;
    std::string caption = scan::EnglishCaption(row);
    TCITEMA item{};
    item.mask = TCIF_TEXT;
    item.pszText = caption.data();
    SendMessageA(tabs_, TCM_INSERTITEMA, row.value, reinterpret_cast<LPARAM>(&item));
  }
  // The tab control keeps only its row of tabs; the sub-pages stand below it as its siblings, so
  // that Tab reaches the row (where the arrow keys switch sub-pages) and then the shown sub-page.
  RECT display = area;
  SendMessageA(tabs_, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&display));
  display.left = 0;
  display.right = area.right;
  display.bottom = area.bottom;
  SetWindowPos(tabs_, nullptr, 0, 0, area.right, display.top, SWP_NOZORDER | SWP_NOMOVE | SWP_NOACTIVATE);
  for (const TControl& row : scan::kControls) {
    if (row.kind != TKind::TabSheet || row.place != scan::kPageSettings) continue;
    panels_[row.value] = CreateWindowExA(WS_EX_CONTROLPARENT, kPageWindowClass, row.name, WS_CHILD | WS_CLIPCHILDREN,
                                         display.left, display.top, display.right - display.left,
                                         display.bottom - display.top, page, nullptr, GetModuleHandleA(nullptr),
                                         nullptr);
    controls_[row.id] = panels_[row.value];
  }
  bool firstRadio = true;
  for (const TControl& row : scan::kControls) {
    if (row.place != scan::kPageSettings || row.sub < 0 || row.kind == TKind::TabSheet) continue;
    HWND panel = panels_[row.sub];
    RECT inner;
    GetClientRect(panel, &inner);
    InflateRect(&inner, -8, -8);
    HWND control = CreateRowControl(row, panel, CellRect(inner, row.cell));
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
  for (const TControl& row : scan::kControls) {
    if (row.place != scan::kPageSettings) continue;
    HWND control = Control(row.id);
    switch (row.kind) {
      case TKind::CheckBox: s.*row.flag = IsChecked(control); break;
      case TKind::Radio:
        if (IsChecked(control)) s.RecentDays = row.value;
        break;
      case TKind::Memo: s.*row.list = MemoLines(control); break;
      case TKind::Combo: s.Language = WindowText(control); break;
      default: break;
    }
  }
  return s;
}

void TSettingsPage::Write(const scan::TSettings& s) {
  for (const TControl& row : scan::kControls) {
    if (row.place != scan::kPageSettings) continue;
    HWND control = Control(row.id);
    switch (row.kind) {
      case TKind::CheckBox: SetChecked(control, s.*row.flag); break;
      case TKind::Radio: SetChecked(control, s.RecentDays == row.value); break;
      case TKind::Memo: SetMemoLines(control, s.*row.list); break;
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
  if (loaded.StayOnTop != before.StayOnTop && host_.stayOnTop) host_.stayOnTop(loaded.StayOnTop);
  if (loaded.SaveReport != before.SaveReport) CheckBox2Click();
}

void TSettingsPage::Save(const std::string& appDir) const { scan::SaveSettings(appDir, Read()); }

void TSettingsPage::Enter() { SelectSubPage(scan::kGeneral); }

void TSettingsPage::SelectSubPage(int index) {
  if (!tabs_ || index < 0 || index >= scan::kSettingsTabCount) return;
  SendMessageA(tabs_, TCM_SETCURSEL, index, 0);
  for (int i = 0; i < scan::kSettingsTabCount; ++i) ShowWindow(panels_[i], i == index ? SW_SHOW : SW_HIDE);
}

int TSettingsPage::SubPage() const {
  return tabs_ ? static_cast<int>(SendMessageA(tabs_, TCM_GETCURSEL, 0, 0)) : -1;
}

void TSettingsPage::SetLanguages(const std::vector<std::string>& names) {
  HWND cb = Control(kId("cb"));
  const std::string text = WindowText(cb);
  SendMessageA(cb, CB_RESETCONTENT, 0, 0);
  for (const std::string& name : names) SendMessageA(cb, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name.c_str()));
  SetWindowTextA(cb, text.c_str());
}

std::string TSettingsPage::LanguageText() const { return WindowText(Control(kId("cb"))); }

void TSettingsPage::ApplyCaptions() { controls_.ApplyCaptions(scan::kPageSettings, tabs_); }

bool TSettingsPage::Command(int id, int code) {
  if (!Control(id)) return false;
  if (id == kId("cb")) {
    CbChange(code);
  } else if (code != BN_CLICKED) {
    return true;
  } else if (id == kId("CheckBox3")) {
    if (host_.stayOnTop) host_.stayOnTop(IsChecked(Control(id)));
  } else if (id == kId("CheckBox2")) {
    CheckBox2Click();
  } else if (id == kId("Button5")) {
    Button5Click();
  } else if (id == kId("Button7")) {
    Button7Click();
  } else if (id == kId("Button8")) {
    Button8Click();
  }
  return true;
}

bool TSettingsPage::Notify(const NMHDR& header) {
  if (header.hwndFrom != tabs_ || header.code != TCN_SELCHANGE) return false;
  SelectSubPage(static_cast<int>(SendMessageA(tabs_, TCM_GETCURSEL, 0, 0)));
  return true;
}

void TSettingsPage::CheckBox2Click() {
  scan::TSettings s = Read();
  scan::SaveReportClicked(s);
  SetChecked(Control(kId("CheckBox4")), s.OpenReport);
  SetChecked(Control(kId("CheckBox6")), s.CopyToDesktop);
}

void TSettingsPage::Button5Click() {
  const std::string path = BrowseForFile(page_);
  if (!path.empty()) SetWindowTextA(Control(kId("Edit1")), path.c_str());
}

void TSettingsPage::Button7Click() {
  HWND memo = Control(kId("ExclusionMemo"));
  std::vector<std::string> lines = MemoLines(memo);
  if (scan::AddExclusionEntry(WindowText(Control(kId("Edit1"))), WindowText(Control(kId("Edit2"))), lines,
                              *host_.prompter)) {
    SetMemoLines(memo, lines);
  }
}

void TSettingsPage::Button8Click() {
  const std::string path = BrowseForFile(page_);
  if (path.empty()) return;
  SetWindowTextA(Control(kId("Edit3")), path.c_str());
  HWND memo = Control(kId("ExclusionMemo"));
  std::vector<std::string> lines = MemoLines(memo);
  const size_t before = lines.size();
  scan::ImportExclusionFile(path, lines, *host_.prompter);
  if (lines.size() != before) SetMemoLines(memo, lines);
}

void TSettingsPage::CbChange(int code) {
  HWND cb = Control(kId("cb"));
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
  if (host_.language) host_.language(name);
}

}  // namespace app
