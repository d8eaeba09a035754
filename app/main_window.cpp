#include "app/main_window.h"

#include <commctrl.h>

#include <exception>
#include <string>

#include "app/control_ids.h"
#include "inspect/lang.h"
#include "inspect/run_flags.h"
#include "inspect/system.h"
#include "platform/platform.h"
#include "scan/frame.h"
#include "scan/product.h"

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

constexpr const char* kStatusText = "Windows startup and malware inspection";
constexpr const char* kTagline = "Analyzer, Restorer and Startup manager";

// Window names of the pages, by page index.
constexpr const char* kPageNames[kPageCount] = {
    "Analyzer_Tab", "Restorer_Tab", "Hosts_Tab", "Startups_Tab",
    "Boot_Tab",     "Settings_Tab", "BHOs_Tab",  "Delete_File_Tab",
};

constexpr const char* kPrivileges[] = {"SeDebugPrivilege", "SeSystemProfilePrivilege", "SeSecurityPrivilege",
                                       "SeBackupPrivilege", "SeRestorePrivilege"};

HFONT MakeFont(int points, int weight) {
  HDC screen = GetDC(nullptr);
  const int height = -MulDiv(points, GetDeviceCaps(screen, LOGPIXELSY), 72);
  ReleaseDC(nullptr, screen);
  return CreateFontA(height, 0, 0, 0, weight, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                     CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_SWISS, "Tahoma");
}

// A page panel hands its controls' notifications to the main window.
LRESULT CALLBACK PageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_COMMAND:
    case WM_NOTIFY:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORBTN:
      return SendMessageA(GetAncestor(page, GA_ROOT), message, wParam, lParam);
    default:
      return DefWindowProcA(page, message, wParam, lParam);
  }
}

BOOL CALLBACK SetFontOf(HWND child, LPARAM font) {
  SendMessageA(child, WM_SETFONT, static_cast<WPARAM>(font), FALSE);
  return TRUE;
}

bool FolderExists(const std::string& path) {
  const uint32_t attributes = platform::Fs().GetFileAttributes(path);
  return attributes != platform::win::kInvalidFileAttributes &&
         (attributes & platform::win::kFileAttributeDirectory);
}

}  // namespace

const TForm1::TPageButton TForm1::kPageButtons[] = {
    {kIdAdvGlowButton2, "Analyzer", kPageAnalyzer, &TForm1::AdvGlowButton2Click},
};

TForm1::~TForm1() {
  for (HFONT font : {font_, boldFont_, headerFont_}) {
    if (font) DeleteObject(font);
  }
}

bool TForm1::Create(HINSTANCE instance, int show) {
  instance_ = instance;
  HICON icon = LoadIconA(instance, MAKEINTRESOURCEA(1));
  if (!icon) icon = LoadIconA(nullptr, IDI_APPLICATION);

  WNDCLASSEXA mainClass{};
  mainClass.cbSize = sizeof mainClass;
  mainClass.lpfnWndProc = &TForm1::WindowProc;
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

  font_ = MakeFont(8, FW_NORMAL);
  boldFont_ = MakeFont(8, FW_BOLD);
  headerFont_ = MakeFont(18, FW_BOLD);

  const std::string caption = std::string(scan::kProductName) + " " + scan::kProductVersion;
  window_ = CreateWindowExA(kExStyle, kMainWindowClass, caption.c_str(), kStyle, CW_USEDEFAULT, CW_USEDEFAULT,
                            kClientWidth, kClientHeight, nullptr, nullptr, instance, this);
  if (!window_) return false;

  // Client area of the fixed size, centred on the screen.
  RECT frame{0, 0, kClientWidth, kClientHeight};
  AdjustWindowRectEx(&frame, kStyle, GetMenu(window_) != nullptr, kExStyle);
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
  FormCreate();

  ShowWindow(window_, show);
  UpdateWindow(window_);
  return true;
}

void TForm1::BuildControls() {
  statusBar_ = CreateWindowExA(0, STATUSCLASSNAMEA, "", WS_CHILD | WS_VISIBLE, 0, 0, 0, 0, window_,
                               reinterpret_cast<HMENU>(static_cast<INT_PTR>(kIdStatusBar)), instance_, nullptr);
  int part = -1;
  SendMessageA(statusBar_, SB_SETPARTS, 1, reinterpret_cast<LPARAM>(&part));
  SendMessageA(statusBar_, SB_SETTEXTA, 0, reinterpret_cast<LPARAM>(kStatusText));
  RECT bar{};
  GetWindowRect(statusBar_, &bar);
  const int statusHeight = bar.bottom - bar.top;

  const int top = kHeaderHeight + kMargin;
  int y = top;
  for (size_t row = 0; row < std::size(kPageButtons); ++row) {
    pageButtons_[row] =
        CreateWindowExA(0, "BUTTON", kPageButtons[row].caption, WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON,
                        kMargin, y, kColumnWidth, kPageButtonHeight, window_,
                        reinterpret_cast<HMENU>(static_cast<INT_PTR>(kPageButtons[row].id)), instance_, nullptr);
    y += kPageButtonHeight + kPageButtonGap;
  }

  const int pageLeft = kMargin + kColumnWidth + kMargin;
  const int pageWidth = kClientWidth - pageLeft - kMargin;
  const int pageHeight = kClientHeight - statusHeight - kMargin - top;
  for (int index = 0; index < kPageCount; ++index) {
    pages_[index] = CreateWindowExA(WS_EX_CONTROLPARENT, kPageWindowClass, kPageNames[index],
                                    WS_CHILD | WS_CLIPCHILDREN, pageLeft, top, pageWidth, pageHeight, window_,
                                    nullptr, instance_, nullptr);
  }
  analyzer_.Create(pages_[kPageAnalyzer], window_, &tray_);

  EnumChildWindows(window_, &SetFontOf, reinterpret_cast<LPARAM>(font_));
}

void TForm1::Paint() {
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(window_, &paint);
  RECT band{0, 0, kClientWidth, kHeaderHeight - 3};
  HBRUSH header = CreateSolidBrush(kHeaderColor);
  FillRect(dc, &band, header);
  DeleteObject(header);
  RECT accent{0, kHeaderHeight - 3, kClientWidth, kHeaderHeight};
  HBRUSH accentBrush = CreateSolidBrush(kAccentColor);
  FillRect(dc, &accent, accentBrush);
  DeleteObject(accentBrush);

  SetBkMode(dc, TRANSPARENT);
  HGDIOBJ previous = SelectObject(dc, headerFont_);
  SetTextColor(dc, RGB(255, 255, 255));
  TextOutA(dc, 16, 6, scan::kProductName, lstrlenA(scan::kProductName));
  SelectObject(dc, font_);
  SetTextColor(dc, RGB(190, 204, 226));
  TextOutA(dc, 18, 36, kTagline, lstrlenA(kTagline));
  SelectObject(dc, previous);
  EndPaint(window_, &paint);
}

void TForm1::FormCreate() {
  SelectPage(kPageAnalyzer);
  try {
    scan::LoadSettings(inspect::GetAppDir(), settings_);
  } catch (...) {
  }
  SetWindowTextA(window_, (std::string(scan::kProductName) + " " + scan::kProductVersion).c_str());
  try {
    const std::string appDir = inspect::GetAppDir();
    for (const char* folder : {"Data\\", "Logs\\"}) {
      if (!FolderExists(appDir + folder)) platform::Fs().CreateDirectory(appDir + folder);
    }
  } catch (...) {
  }
  tray_.Hide();
  try {
    for (const char* privilege : kPrivileges) inspect::EnableTokenPrivilege(privilege);
  } catch (...) {
  }
}

void TForm1::FormShow() {
  inspect::FillDefaultTexts();
}

void TForm1::FormClose() {
  inspect::AppClosing = true;
  auto& threads = platform::Thr();
  const platform::Handle worker = scan::CurrentScanThread();
  uint32_t code = 0;
  if (worker == platform::kNoHandle || !threads.GetExitCodeThread(worker, &code) ||
      code != platform::win::kStillActive) {
    return;
  }
  // A thread ended by force can die holding a lock of the heap, the loader or the window
  // manager, and whatever this process did next could wait on it for ever; so the process ends
  // together with the worker, as a cut-short run writes nothing anyway.
  tray_.Hide();
  threads.TerminateThread(worker, 1);
  TerminateProcess(GetCurrentProcess(), 0);
}

void TForm1::SelectPage(int index) {
  for (int page = 0; page < kPageCount; ++page) {
    if (pages_[page]) ShowWindow(pages_[page], page == index ? SW_SHOW : SW_HIDE);
  }
  for (size_t row = 0; row < std::size(kPageButtons); ++row) {
    HFONT font = kPageButtons[row].page == index ? boldFont_ : font_;
    SendMessageA(pageButtons_[row], WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
  }
}

void TForm1::AdvGlowButton2Click() { SelectPage(kPageAnalyzer); }

void TForm1::BitBtn1Click() {
  if (scanning_) return;
  scanning_ = true;
  try {
    scan::RunAnalyzer(settings_, analyzer_);
  } catch (const std::exception& error) {
    inspect::WriteDebugLog(inspect::DebugLogEntry(error));
  } catch (...) {
  }
  scanning_ = false;
  if (closePending_) DestroyWindow(window_);
}

void TForm1::TrayIconDblClick() {
  if (settings_.WorkInBackground) analyzer_.LeaveBackground();
}

bool TForm1::TranslateDialogMessage(MSG& message) {
  return window_ && IsDialogMessageA(window_, &message);
}

LRESULT CALLBACK TForm1::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* form = static_cast<TForm1*>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams);
    form->window_ = window;
    SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(form));
  }
  auto* form = reinterpret_cast<TForm1*>(GetWindowLongPtrA(window, GWLP_USERDATA));
  if (!form) return DefWindowProcA(window, message, wParam, lParam);
  return form->HandleMessage(message, wParam, lParam);
}

LRESULT TForm1::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_COMMAND: {
      const int id = LOWORD(wParam);
      if (HIWORD(wParam) != BN_CLICKED) break;
      for (const TPageButton& row : kPageButtons) {
        if (row.id == id) {
          (this->*row.click)();
          return 0;
        }
      }
      // The scan runs from its own message, not inside the button's notification.
      if (id == kIdBitBtn1) PostMessageA(window_, kWmStartScan, 0, 0);
      return 0;
    }
    case kWmStartScan:
      BitBtn1Click();
      return 0;
    case kWmScanAddLine:
      analyzer_.AppendLine(*reinterpret_cast<const std::string*>(lParam));
      return 0;
    case kWmScanSetProgress:
      analyzer_.SetProgress(static_cast<int>(wParam));
      return 0;
    case kWmTrayIcon:
      if (lParam == WM_LBUTTONDBLCLK) TrayIconDblClick();
      return 0;
    case WM_CTLCOLORSTATIC:
      // The read-only log area keeps the white of an editable one.
      if (reinterpret_cast<HWND>(lParam) == analyzer_.Memo()) {
        HDC dc = reinterpret_cast<HDC>(wParam);
        SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
        SetBkColor(dc, GetSysColor(COLOR_WINDOW));
        return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_WINDOW));
      }
      break;
    case WM_ACTIVATE:
      // Keyboard focus goes back to the control that had it, "Scan PC" at first.
      if (LOWORD(wParam) == WA_INACTIVE) {
        HWND focus = GetFocus();
        if (focus && IsChild(window_, focus)) focus_ = focus;
      } else if (!HIWORD(wParam)) {
        SetFocus(focus_ && IsWindow(focus_) ? focus_ : GetDlgItem(pages_[kPageAnalyzer], kIdBitBtn1));
      }
      return 0;
    case WM_SHOWWINDOW:
      if (wParam) FormShow();
      break;
    case WM_PAINT:
      Paint();
      return 0;
    case WM_CLOSE:
      if (!inspect::AppClosing) FormClose();  // ends the process when a worker still runs
      if (scanning_) {
        closePending_ = true;  // BitBtn1Click destroys the window once the run has returned
      } else {
        DestroyWindow(window_);
      }
      return 0;
    case WM_DESTROY:
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
