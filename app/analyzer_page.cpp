#include "app/analyzer_page.h"

#include <commctrl.h>

#include "app/controls.h"
#include "inspect/lang.h"
#include "scan/product.h"

namespace app {

namespace {

HWND Child(HWND parent, const char* cls, const char* text, DWORD style, int x, int y, int w, int h, int id,
           DWORD exStyle = 0) {
  return CreateWindowExA(exStyle, cls, text, WS_CHILD | WS_VISIBLE | style, x, y, w, h, parent,
                         reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleA(nullptr), nullptr);
}

}  // namespace

std::string ToEditText(const std::string& text) {
  std::string out;
  out.reserve(text.size() + text.size() / 32);
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '\r') {
      out += "\r\n";
      if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
    } else if (c == '\n') {
      out += "\r\n";
    } else {
      out += c;
    }
  }
  return out;
}

void TAnalyzerPage::ApplyCaptions() {
  if (scanButton_) SetWindowTextA(scanButton_, LanguageCaption(*FindMainControl("BitBtn1")).c_str());
}

void TAnalyzerPage::Create(HWND page, const TPageContext& context) {
  main_ = context.window;
  tray_ = context.tray;

  RECT area;
  GetClientRect(page, &area);
  const int width = area.right;
  const int height = area.bottom;
  constexpr int kButtonWidth = 120, kButtonHeight = 30, kGap = 8, kBarHeight = 18;

  memo_ = Child(page, "EDIT", "", WS_VSCROLL | WS_HSCROLL | ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL |
                                      ES_AUTOHSCROLL | WS_TABSTOP,
                0, 0, width, height - kButtonHeight - kGap, IdOf("Memo1"), WS_EX_CLIENTEDGE);
  // The report outgrows the 32K that an edit control holds by default.
  SendMessageA(memo_, EM_SETLIMITTEXT, 0, 0);

  const int rowTop = height - kButtonHeight;
  progress_ = Child(page, PROGRESS_CLASSA, "", 0, 0, rowTop + (kButtonHeight - kBarHeight) / 2,
                    width - kButtonWidth - kGap, kBarHeight, IdOf("pb1"));
  SendMessageA(progress_, PBM_SETRANGE32, 0, 100);
  scanButton_ = Child(page, "BUTTON", EnglishCaption(*FindMainControl("BitBtn1")).c_str(), BS_PUSHBUTTON | WS_TABSTOP, width - kButtonWidth, rowTop,
                      kButtonWidth, kButtonHeight, IdOf("BitBtn1"));
}

void TAnalyzerPage::Detach() {
  main_ = scanButton_ = memo_ = progress_ = nullptr;
}

void TAnalyzerPage::AddLine(const std::string& line) {
  if (!memo_) return;
  const int end = GetWindowTextLengthA(memo_);
  SendMessageA(memo_, EM_SETSEL, end, end);
  SendMessageA(memo_, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(ToEditText(line + "\r\n").c_str()));
}

void TAnalyzerPage::SetProgress(int position) {
  if (progress_) SendMessageA(progress_, PBM_SETPOS, static_cast<WPARAM>(position), 0);
}

void TAnalyzerPage::SetScanEnabled(bool enabled) {
  if (scanButton_) EnableWindow(scanButton_, enabled);
}

void TAnalyzerPage::ClearLog() {
  if (memo_) SetWindowTextA(memo_, "");
}

void TAnalyzerPage::SetLogText(const std::string& text) {
  if (memo_) SetWindowTextA(memo_, ToEditText(text).c_str());
}

void TAnalyzerPage::SetProgressRange(int minimum, int maximum, int position) {
  if (!progress_) return;
  SendMessageA(progress_, PBM_SETRANGE32, static_cast<WPARAM>(minimum), static_cast<LPARAM>(maximum));
  SendMessageA(progress_, PBM_SETPOS, static_cast<WPARAM>(position), 0);
}

void TAnalyzerPage::EnterBackground() {
  if (!main_) return;
  ShowWindow(main_, SW_HIDE);  // a hidden top-level window has no taskbar entry
  if (tray_ && tray_->Show()) tray_->ShowBalloon(scan::kProductName, inspect::Lng(109), 10000);
}

void TAnalyzerPage::LeaveBackground() {
  if (!main_) return;
  if (tray_) tray_->SetHint(scan::kProductName);
  if (IsIconic(main_)) ShowWindow(main_, SW_RESTORE);
  ShowWindow(main_, SW_SHOW);
  SetForegroundWindow(main_);
  if (tray_) {
    tray_->HideBalloon();
    tray_->Hide();
  }
}

}  // namespace app
