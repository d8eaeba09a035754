// The main window Form1: header, the column of page buttons, the page area, the status bar and
// the main menu, all built from the table of controls.
#pragma once

#include <windows.h>

#include <array>
#include <map>
#include <string>
#include <vector>

#include "app/analyzer_page.h"
#include "app/manager_pages.h"
#include "app/restorer_page.h"
#include "app/settings_page.h"
#include "app/small_windows.h"
#include "app/tray_icon.h"
#include "inspect/run_state.h"
#include "platform/win32/window_owners.h"
#include "scan/analyzer_run.h"
#include "scan/controls.h"

namespace app {

class TForm1 final : public inspect::TPrompter {
 public:
  TForm1() = default;
  TForm1(const TForm1&) = delete;
  TForm1& operator=(const TForm1&) = delete;

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

  template <typename T>
  friend LRESULT CALLBACK WindowProcOf(HWND, UINT, WPARAM, LPARAM);
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
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
  HWND window_ = nullptr;
  HMENU menu_ = nullptr;
  platform::win32::ScopedFont font_;
  platform::win32::ScopedFont boldFont_;
  platform::win32::ScopedFont headerFont_;
  platform::win32::ScopedFont linkFont_;
  platform::win32::ScopedBrush headerBrush_;
  std::array<HWND, scan::kPageCount> pages_{};          // the panels
  std::array<TPage*, scan::kPageCount> pageObjects_{};  // what each panel shows
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
  TManagerPages managers_;
  TRestorerPage restorer_;
  TTrayIcon tray_;
  TAboutBox about_;
  TUpdateWindow update_;
};

}  // namespace app
