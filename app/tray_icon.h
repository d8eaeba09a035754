// The notification-area icon of the main window, with its balloon.
#pragma once

#include <windows.h>

#include <shellapi.h>

#include <string>

namespace app {

class TTrayIcon {
 public:
  TTrayIcon() = default;
  TTrayIcon(const TTrayIcon&) = delete;
  TTrayIcon& operator=(const TTrayIcon&) = delete;
  // The icon leaves the notification area with its owner.
  ~TTrayIcon() { Hide(); }
  // `callbackMessage` reaches `owner` for mouse events over the icon.
  void Init(HWND owner, UINT id, UINT callbackMessage, HICON icon, const std::string& hint);
  bool Visible() const { return visible_; }
  void SetHint(const std::string& hint);
  // Adds the icon; false when the shell refuses it.
  bool Show();
  void Hide();
  bool ShowBalloon(const std::string& title, const std::string& text, UINT timeoutMs);
  void HideBalloon();

 private:
  NOTIFYICONDATAA Data(UINT flags) const;

  HWND owner_ = nullptr;
  UINT id_ = 0;
  UINT callbackMessage_ = 0;
  HICON icon_ = nullptr;
  std::string hint_;
  bool visible_ = false;
};

}  // namespace app
