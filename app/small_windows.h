// The About box (Form2) and the Update window (Form3): created hidden at start, shown without
// blocking the main window, hidden again when closed.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "app/control_ui.h"
#include "inspect/prompt.h"
#include "platform/win32/window_owners.h"
#include "scan/update_check.h"

namespace app {

class TToolWindow : public TWindowObject {
 public:
  void Show();
  HWND Window() const { return window_; }
  bool TranslateDialogMessage(MSG& message) { return window_ && IsDialogMessageA(window_, &message); }

 protected:
  // Registers `cls` and creates the hidden window with a client area of the given size, centred.
  bool CreateFrame(HINSTANCE instance, const char* cls, const std::string& caption, DWORD style, int width,
                   int height, const char* fontFace);
  HWND Add(const char* cls, const std::string& text, DWORD style, int x, int y, int w, int h, int id,
           DWORD exStyle = 0);
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

  platform::win32::ScopedFont font_;
  platform::win32::ScopedFont boldFont_;
};

class TAboutBox final : public TToolWindow {
 public:
  bool Create(HINSTANCE instance);
  // Appends lines to the credits memo.
  void AppendCredits(const std::vector<std::string>& lines);

 private:
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
  HWND memo_ = nullptr;
};

class TUpdateWindow final : public TToolWindow, public inspect::TPrompter {
 public:
  bool Create(HINSTANCE instance, const std::string& appDir);
  void ApplyCaptions();
  int Prompt(const std::string& text, const std::string& caption, uint32_t flags) override;
  // The program closes: a check in progress is asked to stop and waited for (bounded).
  void StopCheck();

 private:
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
  void Label1Click();
  // The check's answer came (or, with `timeUp`, its time is over): told once, the link enabled again.
  void TakeAnswer(bool timeUp);

  scan::TUpdateCheck check_;
  std::string appDir_;
  HWND title_ = nullptr;
  HWND link_ = nullptr;
  platform::win32::ScopedFont linkFont_;
  platform::win32::ScopedBrush white_;
};

}  // namespace app
