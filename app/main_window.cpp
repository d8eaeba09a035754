#include "app/main_window.h"

#include <commctrl.h>

#include <exception>
#include <string>

#include "app/control_ids.h"
#include "app/control_ui.h"
#include "app/pages.h"
#include "app/tools_menu.h"
#include "inspect/lang.h"
#include "inspect/lang_files.h"
#include "inspect/registry.h"
#include "inspect/system.h"
#include "managers/windows_tools.h"
#include "platform/platform.h"
#include "scan/analyzer_run.h"
#include "scan/product.h"
#include "managers/shell_actions.h"
#include "scan/update_check.h"

namespace app {

namespace {


constexpr int kClientWidth = 769;
constexpr int kClientHeight = 471;
constexpr int kHeaderHeight = 60;
constexpr int kMargin = 8;
constexpr int kColumnWidth = 120;
constexpr int kPageButtonHeight = 32;
constexpr int kPageButtonGap = 4;

constexpr DWORD kStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
constexpr DWORD kExStyle = WS_EX_CONTROLPARENT;

constexpr UINT kWmStartScan = WM_APP + 10;
constexpr UINT kWmTrayIcon = WM_APP + 11;
constexpr UINT kTrayIconId = 1;

constexpr COLORREF kHeaderColor = RGB(28, 45, 74);
constexpr COLORREF kAccentColor = RGB(196, 64, 40);
constexpr const char* kTagline = "Analyzer, Restorer and Startup manager";

constexpr const char* kPrivileges[] = {"SeDebugPrivilege", "SeSystemProfilePrivilege", "SeSecurityPrivilege",
                                       "SeBackupPrivilege", "SeRestorePrivilege"};

// A page panel hands its controls' notifications to the main window.
LRESULT CALLBACK PageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_COMMAND:
    case WM_NOTIFY:
    case WM_CONTEXTMENU:  // keeps the control it is for, which DefWindowProc would replace
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORBTN:
    case DM_GETDEFID:     // asked by an edit control for Enter
    case WM_NEXTDLGCTL:
      return SendMessageA(GetAncestor(page, GA_ROOT), message, wParam, lParam);
    default:
      return DefWindowProcA(page, message, wParam, lParam);
  }
}

BOOL CALLBACK SetFontOf(HWND child, LPARAM font) {
  SendMessageA(child, WM_SETFONT, static_cast<WPARAM>(font), FALSE);
  return TRUE;
}

bool IsPushButton(HWND control) {
  return control && (SendMessageA(control, WM_GETDLGCODE, 0, 0) & (DLGC_DEFPUSHBUTTON | DLGC_UNDEFPUSHBUTTON));
}

// Runs one step of the start-up; a failure skips the rest of that step only.
template <typename Step>
void Guarded(Step step) {
  try {
    step();
  } catch (const std::exception& error) {
    inspect::WriteDebugLog(inspect::DebugLogEntry(error));
  } catch (...) {
  }
}

}  // namespace

TForm1::THandler TForm1::HandlerOf(int id) {
  struct TRow {
    int id;
    THandler handler;
  };
  static const TRow kHandlers[] = {
      {IdOf("OpenLogs1"), &TForm1::OpenLogs1Click},
      {IdOf("ClearLogs1"), &TForm1::ClearLogs1Click},
      {IdOf("Readme1"), &TForm1::Readme1Click},
      {IdOf("Eula1"), &TForm1::Eula1Click},
      {IdOf("Exit1"), &TForm1::Exit1Click},
      {IdOf("OnlineVirusScanner1"), &TForm1::OnlineVirusScanner1Click},
      {IdOf("MalwareHash1"), &TForm1::MalwareHash1Click},
      {IdOf("SecurityArticles1"), &TForm1::SecurityArticles1Click},
      {IdOf("utorialandFAQs1"), &TForm1::utorialandFAQs1Click},
      {IdOf("Info1"), &TForm1::Info1Click},
      {IdOf("CheckforUpdates1"), &TForm1::CheckforUpdates1Click},
      {IdOf("Run1"), &TForm1::Run1Click},
      {IdOf("RebootSystem1"), &TForm1::RebootSystem1Click},
      {IdOf("ShutdownPC1"), &TForm1::ShutdownPC1Click},
  };
  for (const TRow& row : kHandlers) {
    if (row.id == id) return row.handler;
  }
  return nullptr;
}

int TForm1::Prompt(const std::string& text, const std::string& caption, uint32_t flags) {
  return platform::Gui().MessageBox(text, caption, flags);
}

bool TForm1::Create(HINSTANCE instance, int show) {
  instance_ = instance;
  HICON icon = LoadIconA(instance, MAKEINTRESOURCEA(1));
  if (!icon) icon = LoadIconA(nullptr, IDI_APPLICATION);

  WNDCLASSEXA mainClass{};
  mainClass.cbSize = sizeof mainClass;
  mainClass.lpfnWndProc = &TWindowObject::Proc;
  mainClass.hInstance = instance;
  mainClass.hIcon = icon;
  mainClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  mainClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  mainClass.lpszClassName = kMainWindowClass;
  WNDCLASSEXA pageClass = mainClass;
  pageClass.lpfnWndProc = &PageProc;
  pageClass.hIcon = nullptr;
  pageClass.lpszClassName = kPageWindowClass;
  if (!RegisterClassExA(&mainClass) || !RegisterClassExA(&pageClass)) return false;

  font_.Reset(MakeFont("Tahoma", 8, FW_NORMAL));
  boldFont_.Reset(MakeFont("Tahoma", 8, FW_BOLD));
  headerFont_.Reset(MakeFont("Tahoma", 18, FW_BOLD));
  linkFont_.Reset(MakeFont("Tahoma", 8, FW_NORMAL, true));
  headerBrush_.Reset(CreateSolidBrush(kHeaderColor));
  appDir_ = inspect::GetAppDir();

  const std::string caption = std::string(scan::kProductName) + " " + scan::kProductVersion;
  window_ = CreateWindowExA(kExStyle, kMainWindowClass, caption.c_str(), kStyle, CW_USEDEFAULT, CW_USEDEFAULT,
                            kClientWidth, kClientHeight, nullptr, nullptr, instance, static_cast<TWindowObject*>(this));
  if (!window_) return false;
  BuildMenu();

  // Client area of the fixed size, centred on the screen.
  RECT frame{0, 0, kClientWidth, kClientHeight};
  AdjustWindowRectEx(&frame, kStyle, TRUE, kExStyle);
  int width = frame.right - frame.left;
  int height = frame.bottom - frame.top;
  SetWindowPos(window_, nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  RECT client;
  GetClientRect(window_, &client);  // a wrapped menu bar takes more than AdjustWindowRectEx knows
  width += kClientWidth - client.right;
  height += kClientHeight - client.bottom;
  SetWindowPos(window_, nullptr, (GetSystemMetrics(SM_CXSCREEN) - width) / 2,
               (GetSystemMetrics(SM_CYSCREEN) - height) / 2, width, height, SWP_NOZORDER | SWP_NOACTIVATE);

  tray_.Init(window_, kTrayIconId, kWmTrayIcon, icon, scan::kProductName);
  BuildControls();
  // The About box and the Update window come after the main window, hidden until asked for.
  about_.Create(instance);
  update_.Create(instance, appDir_);
  FormCreate();

  ShowWindow(window_, show);
  UpdateWindow(window_);
  return true;
}

void TForm1::BuildMenu() {
  menu_ = CreateMenu();
  HMENU popup = nullptr;
  HMENU subMenu = nullptr;  // a sub-menu of the popup (rows of depth 1)
  for (const TControl& row : kControls) {
    if (row.place != kPlaceMenu) continue;
    const std::string caption = EnglishCaption(row);
    if (row.kind == TKind::MenuPopup && row.sub > 0) {
      if (!popup) continue;
      subMenu = CreatePopupMenu();
      menuPlaces_[row.id] = {popup, static_cast<UINT>(GetMenuItemCount(popup))};
      AppendMenuA(popup, MF_POPUP | MF_STRING, reinterpret_cast<UINT_PTR>(subMenu), caption.c_str());
      continue;
    }
    if (row.kind == TKind::MenuPopup) {
      subMenu = nullptr;
      popup = CreatePopupMenu();
      menuPlaces_[row.id] = {menu_, static_cast<UINT>(GetMenuItemCount(menu_))};
      AppendMenuA(menu_, MF_POPUP | MF_STRING, reinterpret_cast<UINT_PTR>(popup), caption.c_str());
      continue;
    }
    // An item after the last popup's own items stands on the bar (the "Update" entry).
    const bool onBar = row.kind == TKind::MenuItem && row.name == std::string_view("CheckforUpdates1");
    HMENU target = onBar ? menu_ : row.sub > 0 ? subMenu : popup;
    if (!target) continue;
    if (row.kind == TKind::MenuSeparator) {
      AppendMenuA(target, MF_SEPARATOR, 0, nullptr);
      continue;
    }
    menuPlaces_[row.id] = {target, static_cast<UINT>(GetMenuItemCount(target))};
    // Entries whose work comes with a later page stay greyed until then.
    const UINT state = HandlerOf(row.id) ? MF_ENABLED : MF_GRAYED;
    AppendMenuA(target, MF_STRING | state, static_cast<UINT_PTR>(row.id), caption.c_str());
  }
  SetMenu(window_, menu_);
}

void TForm1::BuildControls() {
  HWND status = CreateWindowExA(0, STATUSCLASSNAMEA, "", WS_CHILD | WS_VISIBLE, 0, 0, 0, 0, window_,
                                reinterpret_cast<HMENU>(static_cast<INT_PTR>(IdOf("StatusBar1"))), instance_, nullptr);
  int part = -1;
  SendMessageA(status, SB_SETPARTS, 1, reinterpret_cast<LPARAM>(&part));
  const std::string statusText = EnglishCaption(*FindMainControl("StatusBar1"));
  SendMessageA(status, SB_SETTEXTA, 0, reinterpret_cast<LPARAM>(statusText.c_str()));
  controls_[IdOf("StatusBar1")] = status;
  RECT bar{};
  GetWindowRect(status, &bar);
  const int statusHeight = bar.bottom - bar.top;

  // The web address on the header's right.
  const TControl& label3 = *FindMainControl("Label3");
  HWND link = CreateWindowExA(0, "STATIC", label3.caption, WS_CHILD | WS_VISIBLE | SS_RIGHT | SS_NOTIFY,
                              kClientWidth - 216, 36, 200, 16, window_,
                              reinterpret_cast<HMENU>(static_cast<INT_PTR>(label3.id)), instance_, nullptr);
  controls_[label3.id] = link;

  // The page column, top to bottom, in table order.
  const int top = kHeaderHeight + kMargin;
  int y = top;
  for (const TControl& row : kControls) {
    if (row.kind != TKind::PageButton) continue;
    const std::string caption = EnglishCaption(row);
    controls_[row.id] = CreateWindowExA(0, "BUTTON", caption.c_str(), WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON,
                                        kMargin, y, kColumnWidth, kPageButtonHeight, window_,
                                        reinterpret_cast<HMENU>(static_cast<INT_PTR>(row.id)), instance_, nullptr);
    y += kPageButtonHeight + kPageButtonGap;
  }

  const int pageLeft = kMargin + kColumnWidth + kMargin;
  const int pageWidth = kClientWidth - pageLeft - kMargin;
  const int pageHeight = kClientHeight - statusHeight - kMargin - top;
  for (const TControl& row : kControls) {
    if (!IsPagePanel(row)) continue;
    pages_[row.value] = CreateWindowExA(WS_EX_CONTROLPARENT, kPageWindowClass, row.name, WS_CHILD | WS_CLIPCHILDREN,
                                        pageLeft, top, pageWidth, pageHeight, window_,
                                        reinterpret_cast<HMENU>(static_cast<INT_PTR>(row.id)), instance_, nullptr);
  }
  // The page objects by page index: one made from each row, or the window's own.
  for (const TPageRow& row : PageRows()) {
    if (row.make) madePages_[row.place] = row.make();
    pageObjects_[row.place] = row.make                   ? madePages_[row.place].get()
                              : row.place == kPageAnalyzer ? static_cast<TPage*>(&analyzer_)
                                                           : &settings_;
  }
  TPageContext context;
  context.window = window_;
  context.prompter = this;
  context.tray = &tray_;
  context.runState = &runState_;
  context.settings = [this] { return settings_.Read(); };
  context.stayOnTop = [this](bool onTop) { SetStayOnTop(onTop); };
  context.language = [this](const std::string& name) { ApplyLanguage(name); };
  for (int index = 0; index < kPageCount; ++index) {
    if (pageObjects_[index] && pages_[index]) pageObjects_[index]->Create(pages_[index], context);
  }

  EnumChildWindows(window_, &SetFontOf, reinterpret_cast<LPARAM>(font_.get()));
  SendMessageA(link, WM_SETFONT, reinterpret_cast<WPARAM>(linkFont_.get()), FALSE);
}

void TForm1::Paint() {
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(window_, &paint);
  RECT band{0, 0, kClientWidth, kHeaderHeight - 3};
  FillRect(dc, &band, headerBrush_.get());
  RECT accent{0, kHeaderHeight - 3, kClientWidth, kHeaderHeight};
  const platform::win32::ScopedBrush accentBrush(CreateSolidBrush(kAccentColor));
  FillRect(dc, &accent, accentBrush.get());

  SetBkMode(dc, TRANSPARENT);
  HGDIOBJ previous = SelectObject(dc, headerFont_.get());
  SetTextColor(dc, RGB(255, 255, 255));
  TextOutA(dc, 16, 6, scan::kProductName, lstrlenA(scan::kProductName));
  SelectObject(dc, font_.get());
  SetTextColor(dc, RGB(190, 204, 226));
  TextOutA(dc, 18, 36, kTagline, lstrlenA(kTagline));
  SelectObject(dc, previous);
  EndPaint(window_, &paint);
}

void TForm1::FormCreate() {
  // No debugger check: an analyst's tool must run under a debugger as anywhere else.
  SelectPage(kPageAnalyzer);
  Guarded([&] {
    const inspect::TLanguageList languages = inspect::ListLanguages(appDir_);
    credits_ = languages.credits;
    settings_.SetLanguages(languages.names);
    settings_.Load(appDir_);
  });
  SetWindowTextA(window_, (std::string(scan::kProductName) + " " + scan::kProductVersion).c_str());
  Guarded([&] { managers::CreateProgramFolders(appDir_); });
  Guarded([&] { ApplyLanguage(settings_.LanguageText()); });
  tray_.Hide();
  Guarded([&] {
    for (const char* privilege : kPrivileges) inspect::EnableTokenPrivilege(privilege);
  });
}

void TForm1::FormShow() {
  if (!shown_) {
    Guarded([] { inspect::ScanRegistry(); });
    about_.AppendCredits(credits_);
    credits_.clear();
  }
  inspect::FillDefaultTexts();
  // Tools installed later wait for the next start.
  if (!shown_) {
    Guarded([&] {
      const unsigned states = EnableToolEntries(menu_);
      SetPropA(window_, kToolsEnabledProperty, reinterpret_cast<HANDLE>(static_cast<UINT_PTR>(states | kToolsReadBit)));
    });
  }
  shown_ = true;
}

void TForm1::StopJobs() {
  Guarded([&] { run_.Stop(); });
  Guarded([&] { update_.StopCheck(); });
}

// Saves the settings and ends the jobs before the window goes; every clean-up of a job runs.
void TForm1::FormClose() {
  if (closing_) return;
  closing_ = true;
  Guarded([&] { settings_.Save(appDir_); });
  StopJobs();
  tray_.Hide();
}

void TForm1::Exit1Click() {
  FormClose();
  DestroyWindow(window_);
}

void TForm1::SelectPage(int index) {
  HWND focus = GetFocus();
  for (int page = 0; page < kPageCount; ++page) {
    if (pages_[page]) ShowWindow(pages_[page], page == index ? SW_SHOW : SW_HIDE);
  }
  for (const TControl& row : kControls) {
    if (row.kind != TKind::PageButton) continue;
    HWND button = controls_[row.id];
    const bool bold = row.value == index;
    SendMessageA(button, WM_SETFONT, reinterpret_cast<WPARAM>(bold ? boldFont_.get() : font_.get()), TRUE);
    if (bold) {
      SetPropA(button, kBoldProperty, reinterpret_cast<HANDLE>(1));
    } else {
      RemovePropA(button, kBoldProperty);
    }
    // The keyboard focus does not stay on a control of a hidden page: it goes to this button.
    if (bold && focus && !IsWindowVisible(focus) && IsChild(window_, focus)) SetFocus(button);
  }
}

int TForm1::DefaultButton() const {
  HWND focus = GetFocus();
  if (IsPushButton(focus) && IsChild(window_, focus)) return GetDlgCtrlID(focus);
  for (int page = 0; page < kPageCount; ++page) {
    if (pageObjects_[page] && pages_[page] && IsWindowVisible(pages_[page])) return pageObjects_[page]->DefaultButton();
  }
  return 0;
}

void TForm1::ApplyCaptions() {
  for (const TControl& row : kControls) {
    // The pages caption their own controls.
    if (row.lng == 0 || (row.place != kPlaceMain && row.place != kPlaceMenu)) continue;
    const std::string caption = LanguageCaption(row);
    if (row.place == kPlaceMenu) {
      auto it = menuPlaces_.find(row.id);
      if (it == menuPlaces_.end()) continue;
      MENUITEMINFOA item{};
      item.cbSize = sizeof item;
      item.fMask = MIIM_TYPE;
      item.fType = MFT_STRING;
      item.dwTypeData = const_cast<char*>(caption.c_str());
      SetMenuItemInfoA(it->second.menu, it->second.position, TRUE, &item);
    } else if (HWND control = controls_[row.id]) {
      SetWindowTextA(control, caption.c_str());
    }
  }
  DrawMenuBar(window_);
  AnyPage([](TPage& page) {
    page.ApplyCaptions();
    return false;
  });
  update_.ApplyCaptions();
}

void TForm1::ApplyLanguage(const std::string& name) {
  inspect::ApplyLanguage(appDir_, name, [this] { ApplyCaptions(); });
}

void TForm1::SetStayOnTop(bool onTop) {
  SetWindowPos(window_, onTop ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
}

void TForm1::ShowPage(int index) {
  SelectPage(index);
  if (TPage* page = pageObjects_[index]) Guarded([&] { page->Enter(); });
}

// Each page in turn until one takes it; a page that fails has taken it.
template <typename Ask>
bool TForm1::AnyPage(Ask ask) {
  for (TPage* page : pageObjects_) {
    if (!page) continue;
    try {
      if (ask(*page)) return true;
    } catch (const std::exception& error) {
      inspect::WriteDebugLog(inspect::DebugLogEntry(error));
      return true;
    } catch (...) {
      return true;
    }
  }
  return false;
}

void TForm1::OpenLogs1Click() { managers::OpenBesideProgram(appDir_, "Logs\\"); }
void TForm1::ClearLogs1Click() { Guarded([&] { managers::DeleteLogs(appDir_); }); }
void TForm1::Readme1Click() { managers::OpenBesideProgram(appDir_, "Readme.txt"); }
void TForm1::Eula1Click() { managers::OpenBesideProgram(appDir_, "Eula.rtf"); }
void TForm1::utorialandFAQs1Click() { managers::OpenBesideProgram(appDir_, "Help.rtf"); }
void TForm1::OnlineVirusScanner1Click() { managers::OpenWebPage(scan::kHomePage); }
void TForm1::MalwareHash1Click() { managers::OpenWebPage(managers::kProductsPage); }
void TForm1::SecurityArticles1Click() { managers::OpenWebPage(managers::kServicesPage); }
void TForm1::Label3Click() { managers::OpenWebPage(scan::kHomePage); }
void TForm1::Info1Click() { about_.Show(); }
void TForm1::CheckforUpdates1Click() { update_.Show(); }
void TForm1::Run1Click() { managers::RunChosenFile(ChooseFileToRun(window_)); }
void TForm1::RebootSystem1Click() {
  managers::AskAndReboot(*this, [&] { settings_.Save(appDir_); });
}
void TForm1::ShutdownPC1Click() {
  managers::AskAndShutdown(*this, [&] { settings_.Save(appDir_); });
}

void TForm1::BitBtn1Click() {
  if (closing_) return;
  HWND window = window_;
  Guarded([&] { run_.Start(settings_.Read(), [window] { PostMessageA(window, kWmScanNews, 0, 0); }); });
}

void TForm1::TrayIconDblClick() {
  if (settings_.Read().WorkInBackground) analyzer_.LeaveBackground();
}

bool TForm1::TranslateDialogMessage(MSG& message) {
  if (window_ && IsDialogMessageA(window_, &message)) return true;
  return about_.TranslateDialogMessage(message) || update_.TranslateDialogMessage(message);
}

LRESULT TForm1::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_COMMAND: {
      const int id = LOWORD(wParam);
      const int code = HIWORD(wParam);
      if (AnyPage([&](TPage& page) { return page.Command(id, code); })) return 0;
      if (code == 0 && lParam == 0 && StartToolOfEntry(id)) return 0;
      if (id == IdOf("Label3") && code == STN_CLICKED) {
        Label3Click();
        return 0;
      }
      // Menu entries (code 0) and buttons.
      if (code != BN_CLICKED) break;
      if (const TControl* button = FindPageButton(id)) {
        ShowPage(button->value);
        return 0;
      }
      if (THandler handler = HandlerOf(id)) {
        (this->*handler)();
        return 0;
      }
      // The scan runs from its own message, not inside the button's notification.
      if (id == IdOf("BitBtn1")) PostMessageA(window_, kWmStartScan, 0, 0);
      return 0;
    }
    case WM_NOTIFY: {
      const NMHDR& header = *reinterpret_cast<const NMHDR*>(lParam);
      if (AnyPage([&](TPage& page) { return page.Notify(header); })) return 0;
      break;
    }
    case WM_CONTEXTMENU: {
      const POINT screen{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
      if (AnyPage([&](TPage& page) { return page.ContextMenu(reinterpret_cast<HWND>(wParam), screen); })) return 0;
      break;
    }
    case kWmStartScan:
      BitBtn1Click();
      return 0;
    // Keyboard navigation asks these as a dialog box would be asked.
    case DM_GETDEFID:
      if (const int id = DefaultButton()) return MAKELRESULT(id, DC_HASDEFID);
      return 0;
    case WM_NEXTDLGCTL: {
      HWND target = LOWORD(lParam) ? reinterpret_cast<HWND>(wParam)
                                   : GetNextDlgTabItem(window_, GetFocus(), static_cast<BOOL>(wParam != 0));
      if (target) SetFocus(target);
      return 0;
    }
    case kWmScanNews:
      Guarded([&] { run_.Deliver(); });
      return 0;
    case kWmTrayIcon:
      if (lParam == WM_LBUTTONDBLCLK) TrayIconDblClick();
      return 0;
    case WM_SETCURSOR:
      if (reinterpret_cast<HWND>(wParam) == controls_[IdOf("Label3")]) {
        SetCursor(LoadCursorA(nullptr, IDC_HAND));
        return TRUE;
      }
      break;
    case WM_CTLCOLORSTATIC: {
      HWND control = reinterpret_cast<HWND>(lParam);
      HDC dc = reinterpret_cast<HDC>(wParam);
      // The read-only log area keeps the white of an editable one.
      if (control == analyzer_.Memo()) {
        SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
        SetBkColor(dc, GetSysColor(COLOR_WINDOW));
        return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_WINDOW));
      }
      if (control == controls_[IdOf("Label3")]) {
        SetTextColor(dc, RGB(190, 204, 226));
        SetBkColor(dc, kHeaderColor);
        return reinterpret_cast<LRESULT>(headerBrush_.get());
      }
      break;
    }
    case WM_ACTIVATE:
      // Keyboard focus goes back to the control that had it, "Scan PC" at first.
      if (LOWORD(wParam) == WA_INACTIVE) {
        HWND focus = GetFocus();
        if (focus && IsChild(window_, focus)) focus_ = focus;
      } else if (!HIWORD(wParam)) {
        SetFocus(focus_ && IsWindow(focus_) ? focus_ : GetDlgItem(pages_[kPageAnalyzer], IdOf("BitBtn1")));
      }
      return 0;
    case WM_SHOWWINDOW:
      if (wParam) FormShow();
      break;
    case WM_PAINT:
      Paint();
      return 0;
    case WM_CLOSE:
      FormClose();
      DestroyWindow(window_);
      return 0;
    case WM_DESTROY:
      StopJobs();  // destroyed without a close: the jobs end all the same
      RemovePropA(window_, kToolsEnabledProperty);
      tray_.Hide();
      analyzer_.Detach();
      PostQuitMessage(0);
      return 0;
    default:
      break;
  }
  return DefWindowProcA(window_, message, wParam, lParam);
}

}  // namespace app
