// The Analyzer page: "Scan PC", the log area and the progress bar, and the window side of a scan.
#pragma once

#include <windows.h>

#include <string>

#include "app/controls.h"
#include "app/page.h"
#include "app/tray_icon.h"
#include "scan/analyzer_run.h"

namespace app {

// Posted to the main window when the scan job has lines, progress or its end to hand over.
inline constexpr UINT kWmScanNews = WM_APP + 1;

class TAnalyzerPage final : public TPage, public scan::TAnalyzerHost {
 public:
  // The context's window is hidden and shown for background runs, with its tray icon.
  void Create(HWND page, const TPageContext& context) override;
  // The window is going away: later calls do nothing.
  void Detach();
  HWND Memo() const { return memo_; }
  int DefaultButton() const override { return IdOf("BitBtn1"); }
  void ApplyCaptions() override;

  // On the window's thread, as the scan's news is delivered.
  void AddLine(const std::string& line) override;
  void SetProgress(int position) override;

  void SetScanEnabled(bool enabled) override;
  void ClearLog() override;
  void SetLogText(const std::string& text) override;
  void SetProgressRange(int minimum, int maximum, int position) override;
  void EnterBackground() override;
  void LeaveBackground() override;
  // A modal message box without owner, as every message of the program is.
  int Prompt(const std::string& text, const std::string& caption, uint32_t flags) override {
    return platform::Gui().MessageBox(text, caption, flags);
  }

 private:
  HWND main_ = nullptr;
  HWND scanButton_ = nullptr;
  HWND memo_ = nullptr;
  HWND progress_ = nullptr;
  TTrayIcon* tray_ = nullptr;
};

// Line breaks as an EDIT control shows them: every lone CR or LF becomes CR LF.
std::string ToEditText(const std::string& text);

}  // namespace app
