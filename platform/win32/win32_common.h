// Shared by the win32 backend's sources only. platform.h comes before <windows.h> so that the
// A/W name macros of the Windows headers do not rename the interface methods; the macros that
// collide with those names are dropped afterwards and the ...A calls are spelled out.
#pragma once

#include "platform/platform.h"

// Newer calls are reached only on purpose, looked up at run time (the build sets these).
#if !defined(_WIN32_WINNT) || _WIN32_WINNT != 0x0500 || !defined(WINVER) || WINVER != 0x0500
#error "the Windows headers must describe Windows 2000 (_WIN32_WINNT and WINVER 0x0500)"
#endif

#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>
#include <tlhelp32.h>
#include <winsvc.h>

#undef CopyFile
#undef CreateDirectory
#undef CreateFile
#undef DeleteFile
#undef FindFirstFile
#undef FindNextFile
#undef GetDriveType
#undef GetFileAttributes
#undef GetLongPathName
#undef GetModuleFileName
#undef GetPrivateProfileString
#undef GetSystemDirectory
#undef GetTempPath
#undef GetWindowsDirectory
#undef LookupPrivilegeValue
#undef MoveFileEx
#undef MessageBox
#undef QueryDosDevice
#undef GetModuleFileNameEx
#undef GetProcessImageFileName
#undef RemoveDirectory
#undef SetFileAttributes
#undef ShellExecute
#undef WritePrivateProfileString
#undef CreateFileMapping
#undef GetFileVersionInfo
#undef OpenSCManager
#undef OpenService
#undef QueryServiceConfig
#undef EnumServicesStatus
#undef LoadLibrary
#undef GetModuleHandle
#undef LoadLibraryEx

namespace platform::win32 {

// The predefined roots are 32-bit negative numbers, sign-extended in a 64-bit process
// (HKEY_LOCAL_MACHINE is 0xFFFFFFFF80000002 there); every other key is a handle as it came.
inline HKEY ToHkey(RegKey key) {
  if (key >= kHkeyClassesRoot && key <= kHkeyDynData) {
    return reinterpret_cast<HKEY>(static_cast<intptr_t>(static_cast<int32_t>(static_cast<uint32_t>(key))));
  }
  return reinterpret_cast<HKEY>(key);
}
inline HANDLE ToHandle(Handle handle) { return reinterpret_cast<HANDLE>(handle); }
inline Handle FromHandle(HANDLE handle) { return reinterpret_cast<Handle>(handle); }

inline FileTime ToFileTime(const FILETIME& time) {
  return (static_cast<FileTime>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

// An export of an already loaded system DLL (kernel32), or null.
template <typename Fn>
Fn LoadedExport(const char* module, const char* name) {
  HMODULE handle = ::GetModuleHandleA(module);
  return handle ? reinterpret_cast<Fn>(reinterpret_cast<void*>(::GetProcAddress(handle, name))) : nullptr;
}

// LoadLibraryA of a system DLL: a bare name is taken from the system folder, never from the
// executable's or the current folder, where anyone who can write there could plant one.
HMODULE LoadSystemLibrary(const std::string& name);

// An export of a system DLL loaded on first use and kept for the life of the process, or null.
template <typename Fn>
Fn LibraryExport(const char* module, const char* name) {
  HMODULE handle = LoadSystemLibrary(module);
  return handle ? reinterpret_cast<Fn>(reinterpret_cast<void*>(::GetProcAddress(handle, name))) : nullptr;
}

// The process-wide object of each facility, `<interface>Facility()`, in the file of its calls.
#define BS_WIN32_FACILITY_GETTER(Type, member, Accessor) Type& Type##Facility();
BS_PLATFORM_FACILITIES(BS_WIN32_FACILITY_GETTER)
#undef BS_WIN32_FACILITY_GETTER

}  // namespace platform::win32
