// BurrowSentry.exe: installs the win32 backend, opens the main window and runs the message loop.
#include <windows.h>

#include <commctrl.h>

#include "app/main_window.h"
#include "platform/win32/win32_backend.h"
#include "rootkit/kernel_inspect.h"
#include "rootkit/native_layer.h"
#include "scan/connections.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int show) {
  platform::win32::Install();
  rootkit::InitNativeLayer();
  scan::LoadIpHelper();
  rootkit::EnableStartupPrivileges();
  rootkit::RemoveLeftoverDriver();

  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_WIN95_CLASSES};
  InitCommonControlsEx(&controls);

  app::TForm1 form;
  if (!form.Create(instance, show)) return 1;

  MSG message{};
  while (GetMessageA(&message, nullptr, 0, 0) > 0) {
    if (form.TranslateDialogMessage(message)) continue;
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
  scan::UnloadIpHelper();
  return static_cast<int>(message.wParam);
}
