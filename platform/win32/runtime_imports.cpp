// Functions of newer Windows that the C++ runtime calls, reached through import pointers we
// define ourselves so that the import table does not name them; each is looked up on first
// use, with the stated fallback where Windows lacks it. An executable pulls this file in by
// asking the linker for the pointer (cmake/win2k_imports.cmake).
#include <windows.h>

namespace {

using GetModuleHandleExWFn = BOOL(WINAPI*)(DWORD, LPCWSTR, HMODULE*);

// GetModuleHandleExW (Windows XP): the runtime pins the module of each thread-exit destructor
// with it and frees that module after running the destructor. Without it (Windows 2000) nothing
// is pinned and nothing freed: the destructors are ours, in the executable, never unloaded.
BOOL WINAPI GetModuleHandleExWLate(DWORD flags, LPCWSTR name, HMODULE* module) {
  static const auto real = reinterpret_cast<GetModuleHandleExWFn>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "GetModuleHandleExW")));
  if (real) return real(flags, name, module);
  if (module) *module = nullptr;
  SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
  return FALSE;
}

}  // namespace

// The import pointer's name: stdcall-decorated on i686, plain on x86_64.
#if defined(__i386__)
#define BS_GET_MODULE_HANDLE_EX_W_IMPORT "__imp__GetModuleHandleExW@12"
#else
#define BS_GET_MODULE_HANDLE_EX_W_IMPORT "__imp_GetModuleHandleExW"
#endif
extern "C" {
extern GetModuleHandleExWFn const bsGetModuleHandleExWPointer __asm__(BS_GET_MODULE_HANDLE_EX_W_IMPORT);
GetModuleHandleExWFn const bsGetModuleHandleExWPointer = &GetModuleHandleExWLate;
}
