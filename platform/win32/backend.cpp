#include "platform/win32/win32_backend.h"

#include "platform/win32/win32_common.h"

namespace platform::win32 {

platform::Backend Backend() {
  platform::Backend backend;
  backend.registry = &RegistryFacility();
  backend.files = &FileFacility();
  backend.system = &SystemFacility();
  backend.security = &SecurityFacility();
  backend.processes = &ProcessFacility();
  backend.shell = &ShellFacility();
  backend.clipboard = &ClipboardFacility();
  backend.ui = &UiFacility();
  backend.threads = &ThreadFacility();
  backend.services = &ServiceFacility();
  backend.iphelper = &IpHelperFacility();
  backend.internet = &InternetFacility();
  backend.native = &NativeFacility();
  return backend;
}

void Install() { platform::Install(Backend()); }

}  // namespace platform::win32
