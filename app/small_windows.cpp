#include "app/small_windows.h"

#include "app/control_ids.h"
#include "app/control_ui.h"
#include "platform/platform.h"
#include "app/controls.h"
#include "scan/product.h"
#include "managers/shell_actions.h"
#include "scan/update_check.h"

namespace app {

namespace {

constexpr int Id(TPlace place, std::string_view name) { return FindControl(place, name)->id; }

std::string Caption(TPlace place, std::string_view name) {
  return EnglishCaption(*FindControl(place, name));
}

constexpr const char* kCredits[] = {
    "Burrow Sentry v1.8.4.0",
    "",
    "Written by the Orvatek team.",
    "Built with MinGW-w64 and the C++ standard library;",
    "MD5 after RFC 1321.",
    "Icons: Orvatek.",
};

}  // namespace

bool TToolWindow::CreateFrame(HINSTANCE instance, const char* cls, const std::string& caption, DWORD style,
                              int width, int height, const char* fontFace) {
  WNDCLASSEXA wc{};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = &TWindowObject::Proc;
  wc.hInstance = instance;
  wc.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(1));
  wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.lpszClassName = cls;
  if (!RegisterClassExA(&wc)) return false;
  RECT frame{0, 0, width, height};
  AdjustWindowRectEx(&frame, style, FALSE, WS_EX_CONTROLPARENT);
  const int w = frame.right - frame.left, h = frame.bottom - frame.top;
  window_ = CreateWindowExA(WS_EX_CONTROLPARENT, cls, caption.c_str(), style, (GetSystemMetrics(SM_CXSCREEN) - w) / 2,
                            (GetSystemMetrics(SM_CYSCREEN) - h) / 2, w, h, nullptr, nullptr, instance,
                            static_cast<TWindowObject*>(this));
  font_.Reset(MakeFont(fontFace, 8, FW_NORMAL));
  boldFont_.Reset(MakeFont(fontFace, 10, FW_BOLD));
  return window_ != nullptr;
}

HWND TToolWindow::Add(const char* cls, const std::string& text, DWORD style, int x, int y, int w, int h, int id,
                      DWORD exStyle) {
  HWND control = CreateWindowExA(exStyle, cls, text.c_str(), WS_CHILD | WS_VISIBLE | style, x, y, w, h, window_,
                                 reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleA(nullptr), nullptr);
  SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), FALSE);
  return control;
}

void TToolWindow::Show() {
  if (!window_) return;
  ShowWindow(window_, SW_SHOW);
  SetForegroundWindow(window_);
}

LRESULT TToolWindow::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_CLOSE) {
    ShowWindow(window_, SW_HIDE);
    return 0;
  }
  return DefWindowProcA(window_, message, wParam, lParam);
}

// --- About box --------------------------------------------------------------------------------

bool TAboutBox::Create(HINSTANCE instance) {
  if (!CreateFrame(instance, kAboutWindowClass, Caption(kPlaceAbout, "Form2"), WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME,
                   346, 393, "Tahoma")) {
    return false;
  }
  Add("BUTTON", "", BS_GROUPBOX, 8, 4, 330, 340, -1);
  HWND icon = Add("STATIC", "", SS_ICON, 20, 22, 32, 32, -1);
  SendMessageA(icon, STM_SETICON, reinterpret_cast<WPARAM>(LoadIconA(instance, MAKEINTRESOURCEA(1))), 0);
  HWND title = Add("STATIC", std::string(scan::kProductName) + " v" + scan::kProductVersion, SS_LEFT, 64, 22, 260, 20, -1);
  SendMessageA(title, WM_SETFONT, reinterpret_cast<WPARAM>(boldFont_.get()), FALSE);
  Add("STATIC", "A malware analyst's inspection and repair tool.", SS_LEFT, 64, 46, 266, 16, -1);
  Add("STATIC", "Use it at your own risk; read Eula.rtf.", SS_LEFT, 64, 62, 266, 16, -1);
  std::string credits;
  for (const char* line : kCredits) credits += std::string(line) + "\r\n";
  memo_ = Add("EDIT", credits, ES_MULTILINE | ES_READONLY | WS_VSCROLL | WS_HSCROLL | ES_AUTOVSCROLL | WS_TABSTOP, 16,
              86, 314, 248, Id(kPlaceAbout, "Memo1"), WS_EX_CLIENTEDGE);
  Add("BUTTON", Caption(kPlaceAbout, "Button3"), BS_PUSHBUTTON | WS_TABSTOP, 8, 356, 104, 28, Id(kPlaceAbout, "Button3"));
  Add("BUTTON", Caption(kPlaceAbout, "Button2"), BS_PUSHBUTTON | WS_TABSTOP, 121, 356, 104, 28, Id(kPlaceAbout, "Button2"));
  Add("BUTTON", Caption(kPlaceAbout, "Button1"), BS_DEFPUSHBUTTON | WS_TABSTOP, 234, 356, 104, 28, Id(kPlaceAbout, "Button1"));
  return true;
}

void TAboutBox::AppendCredits(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += line + "\r\n";
  const int end = GetWindowTextLengthA(memo_);
  SendMessageA(memo_, EM_SETSEL, end, end);
  SendMessageA(memo_, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(text.c_str()));
}

LRESULT TAboutBox::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_COMMAND && HIWORD(wParam) == BN_CLICKED) {
    const int id = LOWORD(wParam);
    if (id == Id(kPlaceAbout, "Button3")) managers::OpenWebPage(scan::kHomePage);
    if (id == Id(kPlaceAbout, "Button2")) managers::OpenWebPage(managers::kSupportForum);
    if (id == Id(kPlaceAbout, "Button1") || id == IDCANCEL || id == IDOK) ShowWindow(window_, SW_HIDE);
    return 0;
  }
  return TToolWindow::HandleMessage(message, wParam, lParam);
}

// --- Update window ----------------------------------------------------------------------------

constexpr int kHeaderHeight = 64;
constexpr UINT kWmUpdateNews = WM_APP + 2;
constexpr UINT_PTR kUpdateTimer = 1;

bool TUpdateWindow::Create(HINSTANCE instance, const std::string& appDir) {
  appDir_ = appDir;
  if (!CreateFrame(instance, kUpdateWindowClass, Caption(kPlaceUpdate, "Form3"), WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU,
                   484, 211, "Verdana")) {
    return false;
  }
  white_.Reset(CreateSolidBrush(RGB(255, 255, 255)));
  HWND icon = Add("STATIC", "", SS_ICON, 430, 16, 32, 32, -1);
  SendMessageA(icon, STM_SETICON, reinterpret_cast<WPARAM>(LoadIconA(instance, MAKEINTRESOURCEA(1))), 0);
  title_ = Add("STATIC", Caption(kPlaceUpdate, "Label2"), SS_LEFT, 16, 22, 300, 20, Id(kPlaceUpdate, "Label2"));
  SendMessageA(title_, WM_SETFONT, reinterpret_cast<WPARAM>(boldFont_.get()), FALSE);
  link_ = Add("STATIC", Caption(kPlaceUpdate, "Label1"), SS_LEFT | SS_NOTIFY | WS_TABSTOP, 32, kHeaderHeight + 40, 300,
              18, Id(kPlaceUpdate, "Label1"));
  linkFont_.Reset(MakeFont("Verdana", 8, FW_BOLD, true));
  SendMessageA(link_, WM_SETFONT, reinterpret_cast<WPARAM>(linkFont_.get()), FALSE);
  return true;
}

void TUpdateWindow::ApplyCaptions() {
  for (const TControl& row : kControls) {
    if (row.place != kPlaceUpdate || row.lng == 0) continue;
    const std::string caption = LanguageCaption(row);
    HWND target = row.kind == TKind::Window ? window_ : GetDlgItem(window_, row.id);
    if (target) SetWindowTextA(target, caption.c_str());
  }
}

int TUpdateWindow::Prompt(const std::string& text, const std::string& caption, uint32_t flags) {
  return platform::Gui().MessageBox(text, caption, flags);
}

void TUpdateWindow::Label1Click() {
  if (check_.Running()) return;
  EnableWindow(link_, FALSE);
  HWND window = window_;
  if (check_.Start(scan::UpdateUrl(appDir_), true, [window] { PostMessageA(window, kWmUpdateNews, 0, 0); }, *this)) {
    SetTimer(window_, kUpdateTimer, scan::kUpdateWaitSeconds * 1000, nullptr);
  } else {
    EnableWindow(link_, TRUE);
  }
}

void TUpdateWindow::TakeAnswer(bool timeUp) {
  if (!check_.Deliver(timeUp, *this)) return;
  KillTimer(window_, kUpdateTimer);
  if (IsWindow(link_)) EnableWindow(link_, TRUE);
}

void TUpdateWindow::StopCheck() {
  if (window_) KillTimer(window_, kUpdateTimer);
  check_.Stop();
}

LRESULT TUpdateWindow::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_COMMAND:
      if (reinterpret_cast<HWND>(lParam) == link_ && HIWORD(wParam) == STN_CLICKED) Label1Click();
      if (LOWORD(wParam) == IDOK && GetFocus() == link_) Label1Click();  // Enter on the link
      return 0;
    case kWmUpdateNews:
      TakeAnswer(false);
      return 0;
    case WM_TIMER:
      if (wParam == kUpdateTimer) TakeAnswer(true);
      return 0;
    case WM_SETCURSOR:
      if (reinterpret_cast<HWND>(wParam) == link_) {
        SetCursor(LoadCursorA(nullptr, IDC_HAND));
        return TRUE;
      }
      break;
    case WM_CTLCOLORSTATIC: {
      HDC dc = reinterpret_cast<HDC>(wParam);
      HWND control = reinterpret_cast<HWND>(lParam);
      RECT r;
      GetWindowRect(control, &r);
      MapWindowPoints(nullptr, window_, reinterpret_cast<POINT*>(&r), 2);
      if (control == link_) SetTextColor(dc, RGB(0, 0, 128));
      if (r.top < kHeaderHeight) {
        SetBkColor(dc, RGB(255, 255, 255));
        return reinterpret_cast<LRESULT>(white_.get());
      }
      SetBkMode(dc, TRANSPARENT);
      return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
    }
    case WM_PAINT: {
      PAINTSTRUCT paint;
      HDC dc = BeginPaint(window_, &paint);
      RECT header{0, 0, 484, kHeaderHeight};
      FillRect(dc, &header, white_.get());
      RECT line{0, kHeaderHeight, 484, kHeaderHeight + 1};
      FillRect(dc, &line, GetSysColorBrush(COLOR_3DSHADOW));
      EndPaint(window_, &paint);
      return 0;
    }
    case WM_DESTROY:
      linkFont_.Reset();
      white_.Reset();
      break;
    default:
      break;
  }
  return TToolWindow::HandleMessage(message, wParam, lParam);
}

}  // namespace app
