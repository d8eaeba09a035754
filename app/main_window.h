// The main window Form1: header, the column of page buttons, the page area and the status bar.
#pragma once

#include <windows.h>

#include <array>

#include "app/analyzer_page.h"
#include "app/tray_icon.h"
#include "scan/settings.h"

namespace app {

// Pages of the page area by index.
enum TPageIndex : int {
  kPageAnalyzer = 0,
  kPageRestorer = 1,
  kPageHosts = 2,
  kPageStartups = 3,
  kPageBoot = 4,
  kPageSettings = 5,
  kPageBhos = 6,
  kPageDeleteFile = 7,
  kPageCount = 8,
};

class TForm1 {
 public:
  TForm1() = default;
  TForm1(const TForm1&) = delete;
  TForm1& operator=(const TForm1&) = delete;
  ~TForm1();

  // Registers the classes, creates and shows the window; false when it cannot be created.
  bool Create(HINSTANCE instance, int show);
  // Keyboard navigation between the controls; true when the message was consumed.
  bool TranslateDialogMessage(MSG& message);

 private:
  // One button of the page column: its page and its handler.
  struct TPageButton {
    int id;
    const char* caption;
    int page;
    void (TForm1::*click)();
  };
  static const TPageButton kPageButtons[];

  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);

  void BuildControls();
  void Paint();
  void FormCreate();
  void FormShow();
  void FormClose();
  // Shows page `index` and sets the bold caption on its button only.
  void SelectPage(int index);

  void AdvGlowButton2Click();
  void BitBtn1Click();
  void TrayIconDblClick();

  HINSTANCE instance_ = nullptr;
  HWND window_ = nullptr;
  HWND statusBar_ = nullptr;
  HFONT font_ = nullptr;
  HFONT boldFont_ = nullptr;
  HFONT headerFont_ = nullptr;
  std::array<HWND, kPageCount> pages_{};
  std::array<HWND, kPageCount> pageButtons_{};  // by row of kPageButtons
  HWND focus_ = nullptr;
  bool scanning_ = false;      // BitBtn1Click is on the stack
  bool closePending_ = false;  // closed while a run winds up: destroyed once it returns

  scan::TSettings settings_;
  TAnalyzerPage analyzer_;
  TTrayIcon tray_;
};

}  // namespace app
