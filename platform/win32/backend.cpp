#include "platform/win32/win32_backend.h"

#include "platform/win32/win32_common.h"

namespace platform::win32 {

platform::Backend Backend() {
  platform::Backend backend;
#define BS_WIN32_FACILITY(Type, member, Accessor) backend.member = &Type##Facility();
  BS_PLATFORM_FACILITIES(BS_WIN32_FACILITY)
#undef BS_WIN32_FACILITY
  return backend;
}

HMODULE LoadSystemLibrary(const std::string& name) {
  if (name.find_first_of("\\/:") != std::string::npos) return ::LoadLibraryA(name.c_str());
  char folder[MAX_PATH] = {};
  const UINT n = ::GetSystemDirectoryA(folder, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return nullptr;
  return ::LoadLibraryA((std::string(folder, n) + "\\" + name).c_str());
}

void Install() {
  // The current folder leaves the DLL search (SetDllDirectoryA, Windows XP SP1 and later).
  using SetDllDirectoryFn = BOOL(WINAPI*)(LPCSTR);
  if (const auto setDllDirectory = LoadedExport<SetDllDirectoryFn>("kernel32.dll", "SetDllDirectoryA")) {
    setDllDirectory("");
  }
  platform::Install(Backend());
}

}  // namespace platform::win32
