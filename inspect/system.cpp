#include "inspect/system.h"

#include <cxxabi.h>

#include <cstdlib>
#include <iterator>
#include <memory>
#include <typeinfo>
#include <vector>

#include "inspect/folder_walk.h"
#include "inspect/paths.h"
#include "inspect/registry.h"
#include "inspect/text.h"
#include "platform/handles.h"
#include "platform/platform.h"

namespace inspect {

namespace win = platform::win;
using platform::Fs;
using platform::Sys;

namespace {

const char kShellFolders[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders\\";

std::string ReadSz(RegKey root, const std::string& valuePath) {
  std::string text;
  RegReadString(root, valuePath, &text);
  return text;
}

void ReplaceAll(std::string& text, const std::string& from, const std::string& to) {
  for (auto pos = text.find(from); pos != std::string::npos; pos = text.find(from, pos + to.size())) {
    text.replace(pos, from.size(), to);
  }
}

}  // namespace

// --- Folders ---------------------------------------------------------------------------------

std::string GetWindowsDir() { return Sys().GetWindowsDirectory(); }
std::string GetSystemDir() { return Sys().GetSystemDirectory(); }
std::string GetSystemDrive() { return GetWindowsDir().substr(0, 3); }
std::string GetAppDir() { return FolderPart(Sys().GetModuleFileName()); }
std::string GetTempDir() { return Sys().GetTempPath(); }
std::string GetSpecialFolder(int csidl) {
  return TLookupMemo::Answer("F" + std::to_string(csidl), [&] { return Sys().GetSpecialFolderPath(csidl); });
}

std::string GetRecentDir() { return ReadSz(platform::kHkeyCurrentUser, std::string(kShellFolders) + "Recent"); }
std::string GetCommonFilesDir() {
  return ReadSz(platform::kHkeyLocalMachine, "Software\\Microsoft\\Windows\\CurrentVersion\\CommonFilesDir");
}
std::string GetLocalAppDataDir() {
  return ReadSz(platform::kHkeyCurrentUser, std::string(kShellFolders) + "Local AppData") + "\\";
}
std::string GetLocalSettingsDir() {
  return ReadSz(platform::kHkeyCurrentUser, std::string(kShellFolders) + "Local Settings") + "\\";
}
std::string GetTemplatesDir() {
  return ReadSz(platform::kHkeyCurrentUser, std::string(kShellFolders) + "Templates") + "\\";
}

// --- Windows identity ------------------------------------------------------------------------

std::string ReadNtCurrentVersion(const std::string& valueName) {
  return TrimControls(ReadSz(platform::kHkeyLocalMachine, "Software\\Microsoft\\Windows NT\\CurrentVersion\\" + valueName));
}

std::string WindowsVersionInfo(int kind) {
  switch (kind) {
    case 1: return ReadNtCurrentVersion("ProductName");
    case 2: return ReadNtCurrentVersion("BuildLab");
    case 3: return ReadNtCurrentVersion("CSDVersion");
    default: return "";
  }
}

TWindowsVersion CurrentWindowsVersion() {
  using V = TWindowsVersion;
  const platform::OsVersion v = Sys().GetVersion();
  if (v.platformId == win::kVerPlatformWin32Nt) {
    if (v.major == 4) return V::WinNT;
    if (v.major == 5 && v.minor == 0) return V::Win2k;
    if (v.major == 5 && v.minor == 1) return V::WinXP;
    if (v.major == 5 && v.minor == 2) return V::Win2k3;
    if (v.major == 6 && v.minor == 0) return V::WinVista;
    if (v.major == 6 && v.minor == 1) return V::Win7;
    return V::Unknown;
  }
  if (v.minor == 0) return V::Win95;
  if (v.minor == 10) return TrimControls(v.csdVersion) == "A" ? V::Win98SE : V::Win98;
  if (v.minor == 90) return V::WinME;
  return V::Unknown;
}

const char* WindowsVersionText(TWindowsVersion version) {
  static constexpr const char* kTexts[] = {"Unknown", "Win95", "Win98",  "Win98SE",  "WinME", "WinNT",
                                           "Win2k",   "WinXP", "Win2k3", "WinVista", "Win7"};
  static_assert(std::size(kTexts) == static_cast<size_t>(TWindowsVersion::Win7) + 1);
  return kTexts[static_cast<size_t>(version)];
}

std::string WindowsVersionName() { return WindowsVersionText(CurrentWindowsVersion()); }

bool IsVistaOrLater() {
  const platform::OsVersion v = Sys().GetVersion();
  return v.platformId == win::kVerPlatformWin32Nt && v.major > 5;
}

bool IsNewerWindows() {
  const TWindowsVersion version = CurrentWindowsVersion();
  return IsX64Windows() || version == TWindowsVersion::WinVista || version == TWindowsVersion::Win7;
}

bool IsWow64() { return Sys().IsWow64Process().value_or(false); }

bool IsX64Windows() { return Sys().Is64BitProcess() || IsWow64(); }

// --- Privileges, power, restore points, shell ----------------------------------------------

bool EnableTokenPrivilege(const std::string& privilege) {
  auto& sec = platform::Sec();
  const platform::ScopedToken token(sec.OpenProcessToken(win::kTokenAdjustPrivileges | win::kTokenQuery));
  if (!token.ok()) return false;
  uint64_t luid = 0;
  return sec.LookupPrivilegeValue(privilege, &luid) && sec.AdjustTokenPrivilege(token.get(), luid, true);
}

bool ExitWindowsWithPrivilege(uint32_t flags) {
  if (Sys().GetVersion().platformId == win::kVerPlatformWin32Nt) EnableTokenPrivilege("SeShutdownPrivilege");
  return Sys().ExitWindowsEx(flags, 0);
}

bool CreateRestorePoint() {
  constexpr uint32_t kBeginSystemChange = 100;
  constexpr uint32_t kApplicationInstall = 0;
  return Sys().SetRestorePoint(kBeginSystemChange, kApplicationInstall, "SYSTEM RESTORE POINT");
}

bool ShowFileProperties(uintptr_t window, const std::string& path) { return platform::Sh().ShowProperties(window, path); }

std::string FormatElapsed(uint32_t seconds) {
  const uint32_t hours = seconds / 3600;
  const uint32_t minutes = seconds / 60 - hours * 60;
  return std::to_string(hours) + ":" + std::to_string(minutes) + ":" + std::to_string(seconds % 60);
}

// --- Files -----------------------------------------------------------------------------------

void AppendTextToFile(const std::string& path, const std::string& text) {
  auto& fs = Fs();
  auto fail = [&](uint32_t code) {
    throw EFileError(code, "Cannot write file \"" + path + "\". " + Sys().FormatErrorMessage(code));
  };
  // Append-only access: every write lands at the end, even with another writer on the file.
  uint32_t code = win::kErrorSuccess;
  {
    const platform::ScopedFile file(fs.CreateFile(path, win::kFileAppendData,
                                                  win::kFileShareRead | win::kFileShareWrite, win::kOpenAlways,
                                                  win::kFileAttributeNormal));
    if (!file.ok()) fail(Sys().GetLastError());
    const std::string line = text + "\r\n";
    uint32_t written = 0;
    // The code is read before the close, which may set another.
    if (!fs.WriteFile(file.get(), line.data(), static_cast<uint32_t>(line.size()), &written)) code = Sys().GetLastError();
  }
  if (code != win::kErrorSuccess) fail(code);
}

void WriteDebugLog(const std::string& text) {
  try {
    AppendTextToFile(GetAppDir() + "Data\\Dbg.log", text);
  } catch (...) {
  }
}

std::string DebugLogEntry(const std::exception& error) {
  const char* mangled = typeid(error).name();
  int status = 0;
  std::unique_ptr<char, void (*)(void*)> demangled(abi::__cxa_demangle(mangled, nullptr, nullptr, &status),
                                                    std::free);
  const std::string typeName = status == 0 && demangled ? demangled.get() : mangled;
  return typeName + "->" + error.what();
}

void EmptyFolder(const std::string& folder, bool recursive) {
  std::string dir = folder;
  ReplaceAll(dir, "\\\\", "\\");
  auto& fs = Fs();
  // Every folder on the way down is held open from its check until it has been emptied: checked
  // when entered (never through a junction or another reparse point) and, being held without
  // delete sharing, neither it nor one above it can be renamed or swapped for a junction then.
  std::vector<platform::ScopedFile> held;
  auto enter = [&](const std::string& path) {
    platform::ScopedFile hold(fs.CreateFile(path, win::kFileReadAttributes, win::kFileShareRead | win::kFileShareWrite,
                                            win::kOpenExisting,
                                            win::kFileFlagBackupSemantics | win::kFileFlagOpenReparsePoint));
    uint32_t attributes = 0;
    if (!hold.ok() || !fs.GetFileAttributesByHandle(hold.get(), &attributes)) return false;
    if (!(attributes & win::kFileAttributeDirectory) || (attributes & win::kFileAttributeReparsePoint)) return false;
    held.push_back(std::move(hold));
    return true;
  };
  if (!enter(dir)) return;
  TFolderWalk walk;
  walk.recurse = recursive;
  walk.intoDotFolders = true;
  walk.enter = enter;
  walk.visit = [&](const std::string& walked, const platform::FindData& found) {
    if (found.attributes & win::kFileAttributeDirectory) return;
    const std::string path = JoinPath(walked, found.name);
    if (!fs.DeleteFile(path)) {
      uint32_t attributes = found.attributes & ~win::kFileAttributeReadonly;
      if (attributes == 0) attributes = win::kFileAttributeNormal;
      fs.SetFileAttributes(path, attributes);
      fs.DeleteFile(path);
    }
  };
  walk.leave = [&](const std::string& subfolder) {
    held.pop_back();
    fs.RemoveDirectory(subfolder);
  };
  // Twice: a second pass catches what the first left behind.
  WalkFolder(dir, walk);
  if (recursive) WalkFolder(dir, walk);
}

std::string ReadIniString(const std::string& file, const std::string& section, const std::string& key) {
  return Sys().GetPrivateProfileString(file, section, key, "");
}

std::string DevicePathToDosPath(const std::string& devicePath) {
  // "\Device\HarddiskVolume1\WINDOWS\x.exe": the device ends before the third "\".
  const auto second = devicePath.find('\\', 2);
  if (second == std::string::npos) return "";
  const auto third = devicePath.find('\\', second + 1);
  const std::string device = devicePath.substr(0, third);
  const std::string rest = third == std::string::npos ? std::string() : devicePath.substr(third);
  for (char letter = 'A'; letter <= 'Z'; ++letter) {
    const std::string drive = std::string(1, letter) + ":";
    // The drive's first target; "" when it has none.
    const std::string target = TLookupMemo::Answer("D" + drive, [&] {
      const auto targets = Sys().QueryDosDevice(drive);
      return targets.empty() ? std::string() : targets.front();
    });
    if (!target.empty() && EqualNoCase(target, device)) return drive + rest;
  }
  return "";
}

std::string LongPathOf(const std::string& path) {
  return TLookupMemo::Answer("L" + path, [&] {
    if (auto longPath = Sys().GetLongPathName(path)) return *longPath;
    if (auto parsed = Sys().ShellParsePath(path)) return *parsed;
    return path;
  });
}

std::string ShellLongPath(const std::string& path) {
  if (path.empty()) return path;
  return TLookupMemo::Answer("S" + path, [&] { return Sys().ShellParsePath(path).value_or(path); });
}

namespace {
thread_local TLookupMemo* t_memo = nullptr;
}  // namespace

TLookupMemo::TLookupMemo() : previous_(t_memo) { t_memo = this; }
TLookupMemo::~TLookupMemo() { t_memo = previous_; }
TLookupMemo* TLookupMemo::Current() { return t_memo; }

}  // namespace inspect
