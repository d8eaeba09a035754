// The system facility: versions, folders, time, errors and the program's own process.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/basics.h"
#include "platform/file_system.h"

namespace platform {

struct OsVersion {
  uint32_t platformId = win::kVerPlatformWin32Nt;
  uint32_t major = 0;
  uint32_t minor = 0;
  uint32_t build = 0;
  std::string csdVersion;  // service pack text
};

struct LocalTime {
  uint16_t year = 0, month = 0, dayOfWeek = 0, day = 0;
  uint16_t hour = 0, minute = 0, second = 0, milliseconds = 0;
};

class System {
 public:
  virtual ~System() = default;
  virtual uint32_t GetLastError() = 0;
  virtual void SetLastError(uint32_t code) = 0;
  // FormatMessageA of a system error code, without the trailing line break.
  virtual std::string FormatErrorMessage(uint32_t code) = 0;
  // MultiByteToWideChar(CP_UTF8) + WideCharToMultiByte(CP_ACP), no flags: UTF-8 text in the
  // system code page. Malformed input gives what the two calls give; characters the code page
  // lacks become its default character.
  virtual std::string Utf8ToAnsi(const std::string& text) = 0;
  // MultiByteToWideChar(CP_ACP) + WideCharToMultiByte(CP_UTF8), no flags: the other way round.
  virtual std::string AnsiToUtf8(const std::string& text) = 0;
  // MultiByteToWideChar(CP_ACP), no flags: text of the code page in UTF-16.
  virtual std::u16string AnsiToWide(const std::string& text) = 0;

  virtual std::string GetWindowsDirectory() = 0;
  virtual std::string GetSystemDirectory() = 0;
  virtual std::string GetTempPath() = 0;
  // GetModuleFileNameA of the own executable.
  virtual std::string GetModuleFileName() = 0;
  // SHGetSpecialFolderLocation + SHGetPathFromIDListA; empty when the shell has no such folder.
  virtual std::string GetSpecialFolderPath(int csidl) = 0;
  // GetLongPathNameA; nullopt when kernel32 lacks it or the call fails.
  virtual std::optional<std::string> GetLongPathName(const std::string& path) = 0;
  // SHGetDesktopFolder, ParseDisplayName (wide) and SHGetPathFromIDListA; nullopt on failure.
  virtual std::optional<std::string> ShellParsePath(const std::string& path) = 0;
  // QueryDosDeviceA: the targets of one device name (such as "C:"); empty on failure.
  virtual std::vector<std::string> QueryDosDevice(const std::string& name) = 0;
  // GetDriveTypeA of a root such as "C:\": kDriveFixed, kDriveRemote, ... (kDriveUnknown on failure).
  virtual uint32_t GetDriveType(const std::string& root) = 0;

  virtual OsVersion GetVersion() = 0;
  // IsWow64Process of the own process; nullopt when kernel32 does not export it.
  virtual std::optional<bool> IsWow64Process() = 0;
  // Whether the own process is a 64-bit one (the x86_64 build): it runs only on a 64-bit Windows,
  // and sees that Windows's native registry and file-system views.
  virtual bool Is64BitProcess() = 0;

  virtual uint32_t GetTickCount() = 0;
  // QueryPerformanceCounter over QueryPerformanceFrequency in microseconds, for timings; by
  // default GetTickCount's milliseconds.
  virtual uint64_t GetMicroseconds() { return uint64_t{GetTickCount()} * 1000; }
  virtual void Sleep(uint32_t milliseconds, bool alertable) = 0;
  // timeBeginPeriod / timeEndPeriod of winmm: the system timer's resolution in ms, which is also
  // how long a Sleep(1) lasts. Begin is true when accepted; each accepted Begin needs its End.
  virtual bool BeginTimerPeriod(uint32_t milliseconds) = 0;
  virtual void EndTimerPeriod(uint32_t milliseconds) = 0;
  virtual LocalTime GetLocalTime() = 0;
  // GetDateFormatA(DATE_SHORTDATE) and GetTimeFormatA of the user's locale.
  virtual std::string FormatShortDate(const LocalTime& time) = 0;
  virtual std::string FormatLongTime(const LocalTime& time) = 0;

  // GetPrivateProfileStringA / WritePrivateProfileStringA.
  virtual std::string GetPrivateProfileString(const std::string& file, const std::string& section,
                                              const std::string& key, const std::string& fallback) = 0;
  virtual bool WritePrivateProfileString(const std::string& file, const std::string& section,
                                         const std::string& key, const std::string& value) = 0;

  // FileTimeToLocalFileTime + FileTimeToSystemTime.
  virtual LocalTime FileTimeToLocalTime(FileTime time) = 0;
  // GetSystemInfo's allocation granularity: where mapped views may start.
  virtual uint32_t AllocationGranularity() = 0;
  // SfcIsFileProtected(NULL, path in wide characters) of the library loaded by `library`;
  // nullopt when the library or the export is missing.
  virtual std::optional<bool> SfcIsFileProtected(const std::string& library, const std::string& path) = 0;

  virtual bool ExitWindowsEx(uint32_t flags, uint32_t reason) = 0;
  // SRSetRestorePointA with a RESTOREPOINTINFOA of these fields; false when refused or missing.
  virtual bool SetRestorePoint(uint32_t eventType, uint32_t restorePointType,
                               const std::string& description) = 0;
};

}  // namespace platform
