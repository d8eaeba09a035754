#include "app/tray_icon.h"

namespace app {

void TTrayIcon::Init(HWND owner, UINT id, UINT callbackMessage, HICON icon, const std::string& hint) {
  owner_ = owner;
  id_ = id;
  callbackMessage_ = callbackMessage;
  icon_ = icon;
  hint_ = hint;
}

NOTIFYICONDATAA TTrayIcon::Data(UINT flags) const {
  NOTIFYICONDATAA data{};
  // The balloon fields exist from shell32 5.0 (Windows 2000) on; no later fields are used.
  data.cbSize = NOTIFYICONDATAA_V2_SIZE;
  data.hWnd = owner_;
  data.uID = id_;
  data.uFlags = flags;
  data.uCallbackMessage = callbackMessage_;
  data.hIcon = icon_;
  lstrcpynA(data.szTip, hint_.c_str(), sizeof data.szTip);
  return data;
}

void TTrayIcon::SetHint(const std::string& hint) {
  hint_ = hint;
  if (!visible_) return;
  NOTIFYICONDATAA data = Data(NIF_TIP);
  Shell_NotifyIconA(NIM_MODIFY, &data);
}

bool TTrayIcon::Show() {
  if (visible_) return true;
  NOTIFYICONDATAA data = Data(NIF_MESSAGE | NIF_ICON | NIF_TIP);
  visible_ = Shell_NotifyIconA(NIM_ADD, &data) != FALSE;
  return visible_;
}

void TTrayIcon::Hide() {
  if (!visible_) return;
  NOTIFYICONDATAA data = Data(0);
  Shell_NotifyIconA(NIM_DELETE, &data);
  visible_ = false;
}

bool TTrayIcon::ShowBalloon(const std::string& title, const std::string& text, UINT timeoutMs) {
  if (!visible_) return false;
  NOTIFYICONDATAA data = Data(NIF_INFO);
  lstrcpynA(data.szInfoTitle, title.c_str(), sizeof data.szInfoTitle);
  lstrcpynA(data.szInfo, text.c_str(), sizeof data.szInfo);
  data.uTimeout = timeoutMs;
  data.dwInfoFlags = NIIF_INFO;
  return Shell_NotifyIconA(NIM_MODIFY, &data) != FALSE;
}

void TTrayIcon::HideBalloon() {
  if (!visible_) return;
  NOTIFYICONDATAA data = Data(NIF_INFO);  // an empty text takes the balloon down
  Shell_NotifyIconA(NIM_MODIFY, &data);
}

}  // namespace app
