// The Analyzer page: "Scan PC", the log area and the progress bar, and the window side of a scan.
#pragma once

#include <windows.h>

#include <string>

#include "app/tray_icon.h"
#include "scan/analyzer_run.h"

namespace app {

// Messages the worker sends to the main window; both are synchronous (SendMessage).
inline constexpr UINT kWmScanAddLine = WM_APP + 1;     // lParam: const std::string*
inline constexpr UINT kWmScanSetProgress = WM_APP + 2;  // wParam: position

class TAnalyzerPage final : public scan::TAnalyzerHost {
 public:
  // Builds the controls on `page`; `mainWindow` receives the worker's display messages.
  void Create(HWND page, HWND mainWindow, TTrayIcon* tray);
  // The window is going away: later calls do nothing.
  void Detach();
  HWND Memo() const { return memo_; }

  // Applied on the interface thread when the display messages arrive.
  void AppendLine(const std::string& line);
  void SetProgress(int position);

  void SetScanEnabled(bool enabled) override;
  void ClearLog() override;
  void SetLogText(const std::string& text) override;
  void SetProgressRange(int minimum, int maximum, int position) override;
  void EnterBackground() override;
  void LeaveBackground() override;
  scan::TScanDisplay& Display() override { return display_; }
  // A modal message box without owner, as every message of the program is.
  int Prompt(const std::string& text, const std::string& caption, uint32_t flags) override {
    return platform::Gui().MessageBox(text, caption, flags);
  }

 private:
  class TMessageDisplay final : public scan::TScanDisplay {
   public:
    HWND target = nullptr;
    void AddLine(const std::string& line) override;
    void SetProgress(int position) override;
  };

  HWND main_ = nullptr;
  HWND scanButton_ = nullptr;
  HWND memo_ = nullptr;
  HWND progress_ = nullptr;
  TTrayIcon* tray_ = nullptr;
  TMessageDisplay display_;
};

// Line breaks as an EDIT control shows them: every lone CR or LF becomes CR LF.
std::string ToEditText(const std::string& text);

}  // namespace app
