// The system of an offline volume: its folders and version from the hives, the host's clock.
#include <unistd.h>

#include <cctype>
#include <chrono>
#include <ctime>
#include <thread>

#include "platform/fake/code_page.h"
#include "platform/fake/date_time.h"
#include "platform/offline/volume_state.h"

namespace platform::offline {

namespace {

// A folder of the shell: the value under "User Shell Folders" (expanded), else "Shell Folders".
struct ShellFolder {
  int csidl;
  RegKey root;
  const char* value;
};
constexpr ShellFolder kShellFolders[] = {
    {win::kCsidlDesktopDirectory, kHkeyCurrentUser, "Desktop"},
    {win::kCsidlStartup, kHkeyCurrentUser, "Startup"},
    {win::kCsidlCommonStartup, kHkeyLocalMachine, "Common Startup"},
    {win::kCsidlAppData, kHkeyCurrentUser, "AppData"},
    {win::kCsidlCommonAppData, kHkeyLocalMachine, "Common AppData"},
};
constexpr const char* kExplorer = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\";

class OfflineSystem final : public System {
 public:
  OfflineSystem(VolumeState& state, Registry& registry) : s_(state), reg_(registry) {}

  uint32_t GetLastError() override { return ThreadLastError(); }
  void SetLastError(uint32_t code) override { SetThreadLastError(code); }

  // The texts of the codes this backend sets; other codes have none, as FormatMessageA finds none.
  std::string FormatErrorMessage(uint32_t code) override {
    switch (code) {
      case 0: return "The operation completed successfully.";
      case win::kErrorFileNotFound: return "The system cannot find the file specified.";
      case win::kErrorPathNotFound: return "The system cannot find the path specified.";
      case win::kErrorAccessDenied: return "Access is denied.";
      case win::kErrorInvalidHandle: return "The handle is invalid.";
      case win::kErrorInvalidData: return "The data is invalid.";
      case win::kErrorCallNotImplemented: return "This function is not supported on this system.";
      default: return "";
    }
  }

  std::string Utf8ToAnsi(const std::string& text) override { return AnsiOf(text); }
  std::string AnsiToUtf8(const std::string& text) override { return Utf8Of(text); }
  std::u16string AnsiToWide(const std::string& text) override { return fake::Cp1252ToUtf16(text); }

  std::string GetWindowsDirectory() override { return s_.windowsDir; }
  std::string GetSystemDirectory() override { return s_.systemDir; }

  // As GetTempPathA looks: TMP, TEMP, USERPROFILE, then the Windows folder.
  std::string GetTempPath() override {
    for (const char* name : {"TMP", "TEMP", "USERPROFILE"}) {
      auto it = s_.environment.find(name);
      if (it != s_.environment.end() && !it->second.empty()) return WithSlash(it->second);
    }
    return WithSlash(s_.windowsDir);
  }

  // The scanner is no file of the volume.
  std::string GetModuleFileName() override { return ""; }

  std::string GetSpecialFolderPath(int csidl) override {
    if (csidl == win::kCsidlProgramFiles) {
      return ReadString(kHkeyLocalMachine, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion", "ProgramFilesDir");
    }
    for (const ShellFolder& f : kShellFolders) {
      if (f.csidl != csidl) continue;
      const std::string user = ReadString(f.root, std::string(kExplorer) + "User Shell Folders", f.value);
      if (!user.empty()) return s_.Expand(user);
      return ReadString(f.root, std::string(kExplorer) + "Shell Folders", f.value);
    }
    return "";
  }

  std::optional<std::string> GetLongPathName(const std::string& path) override {
    if (!s_.paths.Host(path)) {
      SetThreadLastError(win::kErrorFileNotFound);
      return std::nullopt;
    }
    return path;
  }

  std::optional<std::string> ShellParsePath(const std::string& path) override {
    std::string p = path;
    while (p.size() > 3 && p.back() == '\\') p.pop_back();
    return GetLongPathName(p);
  }

  std::vector<std::string> QueryDosDevice(const std::string&) override { return {}; }
  // The volume's own drive is a fixed disk; no other drive exists offline.
  uint32_t GetDriveType(const std::string& root) override {
    return !root.empty() && !s_.windowsDir.empty() && std::toupper(static_cast<unsigned char>(root[0])) ==
                                                           std::toupper(static_cast<unsigned char>(s_.windowsDir[0]))
               ? win::kDriveFixed
               : win::kDriveUnknown;
  }

  OsVersion GetVersion() override {
    OsVersion v;
    const std::string key = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion";
    const std::string current = ReadString(kHkeyLocalMachine, key, "CurrentVersion");
    const size_t dot = current.find('.');
    v.major = static_cast<uint32_t>(std::strtoul(current.c_str(), nullptr, 10));
    v.minor = dot == std::string::npos ? 0 : static_cast<uint32_t>(std::strtoul(current.c_str() + dot + 1, nullptr, 10));
    if (const auto major = ReadDword(kHkeyLocalMachine, key, "CurrentMajorVersionNumber")) {
      v.major = *major;
      v.minor = ReadDword(kHkeyLocalMachine, key, "CurrentMinorVersionNumber").value_or(0);
    }
    v.build = static_cast<uint32_t>(std::strtoul(ReadString(kHkeyLocalMachine, key, "CurrentBuildNumber").c_str(), nullptr, 10));
    v.csdVersion = ReadString(kHkeyLocalMachine, key, "CSDVersion");
    return v;
  }
  // Scanned as the volume's own native programs see it.
  std::optional<bool> IsWow64Process() override { return false; }
  bool Is64BitProcess() override { return s_.is64; }

  uint32_t GetTickCount() override {
    using namespace std::chrono;
    return static_cast<uint32_t>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
  }
  void Sleep(uint32_t milliseconds, bool) override {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
  }
  bool BeginTimerPeriod(uint32_t) override { return false; }
  void EndTimerPeriod(uint32_t) override {}

  // The clock and the zone of the host that runs the scan.
  LocalTime GetLocalTime() override {
    const auto now = std::chrono::system_clock::now();
    const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(now.time_since_epoch()).count();
    LocalTime t = FileTimeToLocalTime(FileTimeOf(ns / 1000000000, ns % 1000000000));
    t.milliseconds = static_cast<uint16_t>((ns / 1000000) % 1000);
    return t;
  }
  std::string FormatShortDate(const LocalTime& time) override { return fake::FormatTimePicture("M/d/yyyy", time); }
  std::string FormatLongTime(const LocalTime& time) override { return fake::FormatTimePicture("h:mm:ss tt", time); }

  // The scanner keeps no settings on the volume.
  std::string GetPrivateProfileString(const std::string&, const std::string&, const std::string&,
                                      const std::string& fallback) override {
    return fallback;
  }
  bool WritePrivateProfileString(const std::string&, const std::string&, const std::string&,
                                 const std::string&) override {
    SetThreadLastError(win::kErrorAccessDenied);
    return false;
  }

  LocalTime FileTimeToLocalTime(FileTime time) override {
    const int64_t seconds = static_cast<int64_t>(time / 10000000) - 11644473600LL;
    const std::time_t t = static_cast<std::time_t>(seconds);
    std::tm local{};
    long offset = 0;
    if (::localtime_r(&t, &local)) offset = local.tm_gmtoff;
    return fake::FileTimeToCivil(time, static_cast<int32_t>(offset / 60));
  }
  uint32_t AllocationGranularity() override { return 65536; }
  std::optional<bool> SfcIsFileProtected(const std::string&, const std::string&) override { return std::nullopt; }
  bool ExitWindowsEx(uint32_t, uint32_t) override {
    SetThreadLastError(win::kErrorCallNotImplemented);
    return false;
  }
  bool SetRestorePoint(uint32_t, uint32_t, const std::string&) override { return false; }

 private:
  static std::string WithSlash(std::string folder) {
    if (folder.empty() || folder.back() != '\\') folder += '\\';
    return folder;
  }

  std::string ReadString(RegKey root, const std::string& path, const char* name) {
    RegKey key = 0;
    if (reg_.OpenKey(root, path, win::kKeyRead, &key) != 0) return "";
    uint32_t type = 0;
    std::vector<uint8_t> data;
    std::string text;
    if (reg_.QueryValue(key, name, &type, &data) == 0 && (type == win::kRegSz || type == win::kRegExpandSz)) {
      text.assign(data.begin(), data.end());
      text = text.substr(0, text.find('\0'));
    }
    reg_.CloseKey(key);
    return text;
  }

  std::optional<uint32_t> ReadDword(RegKey root, const std::string& path, const char* name) {
    RegKey key = 0;
    if (reg_.OpenKey(root, path, win::kKeyRead, &key) != 0) return std::nullopt;
    uint32_t type = 0;
    std::vector<uint8_t> data;
    std::optional<uint32_t> value;
    if (reg_.QueryValue(key, name, &type, &data) == 0 && type == win::kRegDword && data.size() >= 4) {
      value = data[0] | (data[1] << 8) | (data[2] << 16) | (static_cast<uint32_t>(data[3]) << 24);
    }
    reg_.CloseKey(key);
    return value;
  }

  VolumeState& s_;
  Registry& reg_;
};

}  // namespace

std::unique_ptr<System> MakeSystem(VolumeState& state, Registry& registry) {
  return std::make_unique<OfflineSystem>(state, registry);
}

}  // namespace platform::offline
