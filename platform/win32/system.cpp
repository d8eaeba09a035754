#include "platform/win32/win32_common.h"

#include <mmsystem.h>
#include <srrestoreptapi.h>

#include <cstring>

namespace platform::win32 {
namespace {

constexpr DWORD kPathChars = MAX_PATH;

// A call that fills a buffer of `kPathChars` and returns the length; "" on failure or overflow.
template <typename Call>
std::string PathFrom(Call call) {
  char buffer[kPathChars + 1] = {};
  DWORD n = call(buffer, kPathChars);
  if (n == 0 || n >= kPathChars) return "";
  return std::string(buffer, n);
}

SYSTEMTIME ToSystemTime(const LocalTime& t) {
  return SYSTEMTIME{t.year, t.month, t.dayOfWeek, t.day, t.hour, t.minute, t.second, t.milliseconds};
}

// GetDateFormatA / GetTimeFormatA: size query, then the text.
template <typename Call>
std::string Formatted(Call call) {
  int n = call(nullptr, 0);
  if (n <= 0) return "";
  std::string text(static_cast<size_t>(n), '\0');
  n = call(text.data(), n);
  if (n <= 0) return "";
  text.resize(static_cast<size_t>(n - 1));  // without the NUL
  return text;
}

std::string PathOfIdList(LPITEMIDLIST pidl) {
  char buffer[MAX_PATH + 1] = {};
  if (!::SHGetPathFromIDListA(pidl, buffer)) return "";
  return buffer;
}

// Text of one code page in another, through UTF-16; empty when either call fails.
std::string Recode(const std::string& text, UINT from, UINT to) {
  if (text.empty()) return "";
  const int wide = ::MultiByteToWideChar(from, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  if (wide <= 0) return "";
  std::wstring unicode(static_cast<size_t>(wide), L'\0');
  ::MultiByteToWideChar(from, 0, text.data(), static_cast<int>(text.size()), unicode.data(), wide);
  const int narrow = ::WideCharToMultiByte(to, 0, unicode.data(), wide, nullptr, 0, nullptr, nullptr);
  if (narrow <= 0) return "";
  std::string out(static_cast<size_t>(narrow), '\0');
  ::WideCharToMultiByte(to, 0, unicode.data(), wide, out.data(), narrow, nullptr, nullptr);
  return out;
}

class Win32System final : public System {
 public:
  uint32_t GetLastError() override { return ::GetLastError(); }
  void SetLastError(uint32_t code) override { ::SetLastError(code); }

  std::string FormatErrorMessage(uint32_t code) override {
    char* text = nullptr;
    DWORD n = ::FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                   FORMAT_MESSAGE_IGNORE_INSERTS,
                               nullptr, code, 0, reinterpret_cast<char*>(&text), 0, nullptr);
    std::string message = n && text ? std::string(text, n) : "";
    if (text) ::LocalFree(text);
    while (!message.empty() && (message.back() == '\r' || message.back() == '\n' || message.back() == ' ' ||
                                message.back() == '\t')) {
      message.pop_back();
    }
    return message;
  }

  std::string GetWindowsDirectory() override {
    return PathFrom([](char* b, DWORD n) { return ::GetWindowsDirectoryA(b, n); });
  }
  std::string GetSystemDirectory() override {
    return PathFrom([](char* b, DWORD n) { return ::GetSystemDirectoryA(b, n); });
  }
  std::string GetTempPath() override {
    return PathFrom([](char* b, DWORD n) { return ::GetTempPathA(n, b); });
  }

  std::string GetModuleFileName() override {
    char buffer[MAX_PATH + 2] = {};
    DWORD n = ::GetModuleFileNameA(nullptr, buffer, MAX_PATH + 1);
    return std::string(buffer, strnlen(buffer, n));
  }

  std::string GetSpecialFolderPath(int csidl) override {
    LPITEMIDLIST pidl = nullptr;
    if (::SHGetSpecialFolderLocation(nullptr, csidl, &pidl) != S_OK || !pidl) return "";
    std::string path = PathOfIdList(pidl);
    ::CoTaskMemFree(pidl);
    return path;
  }

  std::optional<std::string> GetLongPathName(const std::string& path) override {
    using Fn = DWORD(WINAPI*)(LPCSTR, LPSTR, DWORD);
    static const Fn getLongPathName = LoadedExport<Fn>("kernel32.dll", "GetLongPathNameA");
    if (!getLongPathName) return std::nullopt;
    std::string buffer(MAX_PATH + 1, '\0');
    DWORD n = getLongPathName(path.c_str(), buffer.data(), static_cast<DWORD>(buffer.size()));
    if (n >= buffer.size()) {  // too small: n is the size needed
      buffer.assign(n + 1, '\0');
      n = getLongPathName(path.c_str(), buffer.data(), static_cast<DWORD>(buffer.size()));
      if (n >= buffer.size()) return std::nullopt;
    }
    if (n == 0) return std::nullopt;
    buffer.resize(n);
    return buffer;
  }

  std::optional<std::string> ShellParsePath(const std::string& path) override {
    wchar_t wide[MAX_PATH] = {};
    if (!::MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, wide, MAX_PATH)) return std::nullopt;
    IShellFolder* desktop = nullptr;
    if (::SHGetDesktopFolder(&desktop) != S_OK || !desktop) return std::nullopt;
    LPITEMIDLIST pidl = nullptr;
    HRESULT hr = desktop->ParseDisplayName(nullptr, nullptr, wide, nullptr, &pidl, nullptr);
    desktop->Release();
    if (FAILED(hr) || !pidl) return std::nullopt;
    std::string parsed = PathOfIdList(pidl);
    ::CoTaskMemFree(pidl);
    if (parsed.empty()) return std::nullopt;
    return parsed;
  }

  std::vector<std::string> QueryDosDevice(const std::string& name) override {
    char buffer[1000] = {};
    DWORD n = ::QueryDosDeviceA(name.c_str(), buffer, sizeof buffer);
    std::vector<std::string> targets;
    for (DWORD i = 0; i < n && buffer[i];) {
      targets.emplace_back(buffer + i);
      i += static_cast<DWORD>(targets.back().size()) + 1;
    }
    return targets;
  }

  uint32_t GetDriveType(const std::string& root) override { return ::GetDriveTypeA(root.c_str()); }

  OsVersion GetVersion() override {
    OSVERSIONINFOA info{};
    info.dwOSVersionInfoSize = sizeof info;
    OsVersion version;
    if (!::GetVersionExA(&info)) return version;
    version.platformId = info.dwPlatformId;
    version.major = info.dwMajorVersion;
    version.minor = info.dwMinorVersion;
    version.build = info.dwBuildNumber;
    version.csdVersion = info.szCSDVersion;
    return version;
  }

  std::optional<bool> IsWow64Process() override {
    using Fn = BOOL(WINAPI*)(HANDLE, PBOOL);
    static const Fn isWow64 = LoadedExport<Fn>("kernel32.dll", "IsWow64Process");
    BOOL wow64 = FALSE;
    if (!isWow64 || !isWow64(::GetCurrentProcess(), &wow64)) return std::nullopt;
    return wow64 != FALSE;
  }

  bool Is64BitProcess() override { return sizeof(void*) == 8; }

  uint32_t GetTickCount() override { return ::GetTickCount(); }
  uint64_t GetMicroseconds() override {
    LARGE_INTEGER count, frequency;
    if (!::QueryPerformanceFrequency(&frequency) || frequency.QuadPart <= 0 || !::QueryPerformanceCounter(&count)) {
      return uint64_t{::GetTickCount()} * 1000;
    }
    const uint64_t ticks = count.QuadPart, hz = frequency.QuadPart;
    return ticks / hz * 1000000 + ticks % hz * 1000000 / hz;
  }
  void Sleep(uint32_t milliseconds, bool alertable) override { ::SleepEx(milliseconds, alertable); }
  bool BeginTimerPeriod(uint32_t milliseconds) override { return ::timeBeginPeriod(milliseconds) == TIMERR_NOERROR; }
  void EndTimerPeriod(uint32_t milliseconds) override { ::timeEndPeriod(milliseconds); }

  LocalTime GetLocalTime() override {
    SYSTEMTIME st{};
    ::GetLocalTime(&st);
    return LocalTime{st.wYear, st.wMonth, st.wDayOfWeek, st.wDay, st.wHour, st.wMinute, st.wSecond,
                     st.wMilliseconds};
  }

  std::string FormatShortDate(const LocalTime& time) override {
    SYSTEMTIME st = ToSystemTime(time);
    return Formatted([&](char* b, int n) {
      return ::GetDateFormatA(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &st, nullptr, b, n);
    });
  }

  std::string FormatLongTime(const LocalTime& time) override {
    SYSTEMTIME st = ToSystemTime(time);
    return Formatted([&](char* b, int n) { return ::GetTimeFormatA(LOCALE_USER_DEFAULT, 0, &st, nullptr, b, n); });
  }

  std::string Utf8ToAnsi(const std::string& text) override { return Recode(text, CP_UTF8, CP_ACP); }
  std::string AnsiToUtf8(const std::string& text) override { return Recode(text, CP_ACP, CP_UTF8); }
  std::u16string AnsiToWide(const std::string& text) override {
    if (text.empty()) return u"";
    const int chars = ::MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    if (chars <= 0) return u"";
    std::u16string wide(static_cast<size_t>(chars), u'\0');
    ::MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), reinterpret_cast<wchar_t*>(wide.data()),
                          chars);
    return wide;
  }

  std::string GetPrivateProfileString(const std::string& file, const std::string& section, const std::string& key,
                                      const std::string& fallback) override {
    // A full buffer (length size - 1) may mean a cut value: read again with twice the room.
    for (DWORD size = 256; size <= (1u << 24); size *= 2) {
      std::string buffer(size, '\0');
      DWORD n = ::GetPrivateProfileStringA(section.c_str(), key.c_str(), fallback.c_str(), buffer.data(), size,
                                           file.c_str());
      if (n < size - 1) return buffer.substr(0, n);
    }
    return fallback;
  }

  bool WritePrivateProfileString(const std::string& file, const std::string& section, const std::string& key,
                                 const std::string& value) override {
    return ::WritePrivateProfileStringA(section.c_str(), key.c_str(), value.c_str(), file.c_str()) != FALSE;
  }

  LocalTime FileTimeToLocalTime(FileTime time) override {
    FILETIME utc{static_cast<DWORD>(time & 0xFFFFFFFF), static_cast<DWORD>(time >> 32)};
    FILETIME local{};
    SYSTEMTIME st{};
    if (!::FileTimeToLocalFileTime(&utc, &local) || !::FileTimeToSystemTime(&local, &st)) return LocalTime{};
    return LocalTime{st.wYear, st.wMonth, st.wDayOfWeek, st.wDay, st.wHour, st.wMinute, st.wSecond, st.wMilliseconds};
  }

  uint32_t AllocationGranularity() override {
    SYSTEM_INFO info{};
    ::GetSystemInfo(&info);
    return info.dwAllocationGranularity;
  }

  std::optional<bool> SfcIsFileProtected(const std::string& library, const std::string& path) override {
    using SfcFn = BOOL(WINAPI*)(HANDLE, LPCWSTR);
    HMODULE module = LoadSystemLibrary(library);
    if (!module) return std::nullopt;
    auto fn = reinterpret_cast<SfcFn>(reinterpret_cast<void*>(::GetProcAddress(module, "SfcIsFileProtected")));
    if (!fn) return std::nullopt;
    wchar_t wide[261] = {};
    ::MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, wide, 260);
    return fn(nullptr, wide) != FALSE;
  }

  bool ExitWindowsEx(uint32_t flags, uint32_t reason) override { return ::ExitWindowsEx(flags, reason) != FALSE; }

  bool SetRestorePoint(uint32_t eventType, uint32_t restorePointType, const std::string& description) override {
    using Fn = BOOL(WINAPI*)(RESTOREPOINTINFOA*, STATEMGRSTATUS*);
    static const Fn setRestorePoint = LibraryExport<Fn>("SrClient.dll", "SRSetRestorePointA");
    if (!setRestorePoint) return false;
    RESTOREPOINTINFOA info{};
    info.dwEventType = eventType;
    info.dwRestorePtType = restorePointType;
    info.llSequenceNumber = 0;
    std::memcpy(info.szDescription, description.data(),
                description.size() < sizeof info.szDescription ? description.size() : sizeof info.szDescription - 1);
    STATEMGRSTATUS status{};
    return setRestorePoint(&info, &status) != FALSE;
  }
};

}  // namespace

System& SystemFacility() {
  static Win32System system;
  return system;
}

}  // namespace platform::win32
