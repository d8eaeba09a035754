// The main window Form1: header, the column of page buttons, the page area, the status bar and
// the main menu, all built from the table of controls.
#pragma once

#include <windows.h>

#include <array>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "app/analyzer_page.h"
#include "app/control_ui.h"
#include "app/page.h"
#include "app/settings_page.h"
#include "app/small_windows.h"
#include "app/tray_icon.h"
#include "inspect/run_state.h"
#include "platform/win32/window_owners.h"
#include "scan/analyzer_run.h"
#include "app/controls.h"

namespace app {

class TForm1 final : public TWindowObject, public inspect::TPrompter {
 public:

  // Registers the classes, creates the three windows and shows this one; false when it cannot be created.
  bool Create(HINSTANCE instance, int show);
  // Keyboard navigation between the controls of the program's windows; true when consumed.
  bool TranslateDialogMessage(MSG& message);

  int Prompt(const std::string& text, const std::string& caption, uint32_t flags) override;

 private:
  using THandler = void (TForm1::*)();
  // Where a menu entry stands, for its caption.
  struct TMenuPlace {
    HMENU menu;
    UINT position;
  };

  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
  static THandler HandlerOf(int id);

  void BuildMenu();
  void BuildControls();
  void Paint();
  void FormCreate();
  void FormShow();
  void FormClose();
  // Shows page `index` and sets the bold caption on its button only.
  void SelectPage(int index);
  // A page button: the page shown, then entered.
  void ShowPage(int index);
  template <typename Ask>
  bool AnyPage(Ask ask);
  void ApplyCaptions();
  void ApplyLanguage(const std::string& name);
  void SetStayOnTop(bool onTop);
  // The id of the button Enter presses: the focused push button, else the page's default; 0 for none.
  int DefaultButton() const;
  // Asks the scan and the update check to stop and waits for them (bounded).
  void StopJobs();

  void BitBtn1Click();
  void TrayIconDblClick();
  void OpenLogs1Click();
  void ClearLogs1Click();
  void Readme1Click();
  void Eula1Click();
  void utorialandFAQs1Click();
  void Exit1Click();
  void OnlineVirusScanner1Click();
  void MalwareHash1Click();
  void SecurityArticles1Click();
  void Info1Click();
  void CheckforUpdates1Click();
  void Label3Click();
  // The File menu's commands of the tools and power menu.
  void Run1Click();
  void RebootSystem1Click();
  void ShutdownPC1Click();

  HINSTANCE instance_ = nullptr;
  HMENU menu_ = nullptr;
  platform::win32::ScopedFont font_;
  platform::win32::ScopedFont boldFont_;
  platform::win32::ScopedFont headerFont_;
  platform::win32::ScopedFont linkFont_;
  platform::win32::ScopedBrush headerBrush_;
  std::array<HWND, kPageCount> pages_{};          // the panels
  std::array<TPage*, kPageCount> pageObjects_{};  // what each panel shows
  std::array<std::unique_ptr<TPage>, kPageCount> madePages_;  // those made from the page rows
  std::map<int, HWND> controls_;         // the main window's own controls by id
  std::map<int, TMenuPlace> menuPlaces_; // menu entries by id
  HWND focus_ = nullptr;
  bool closing_ = false;       // FormClose ran
  bool shown_ = false;         // FormShow ran once
  std::string appDir_;
  std::vector<std::string> credits_;

  inspect::TRunState runState_;
  TAnalyzerPage analyzer_;
  scan::TAnalyzerRun run_{analyzer_, runState_};
  TSettingsPage settings_;
  TTrayIcon tray_;
  TAboutBox about_;
  TUpdateWindow update_;
};

}  // namespace app
