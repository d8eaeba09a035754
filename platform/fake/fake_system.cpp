// The fake machine's system facts: folders, version, clock and locale pictures, profile files,
// file protection, and the record of shutdowns and restore points.
#include <chrono>
#include <mutex>
#include <thread>

#include "platform/fake/code_page.h"
#include "platform/fake/date_time.h"
#include "platform/fake/facilities.h"
#include "platform/fake/profile_text.h"

namespace platform::fake {
namespace {

class FakeSystem final : public System {
 public:
  explicit FakeSystem(MachineState& state) : s_(state), sys_(state.system) {}

  uint32_t GetLastError() override { return ThreadLastError(); }
  void SetLastError(uint32_t code) override { SetThreadLastError(code); }

  std::string FormatErrorMessage(uint32_t code) override {
    std::lock_guard lock(s_.mutex);
    auto it = sys_.errorMessages.find(code);
    if (it != sys_.errorMessages.end()) return it->second;
    switch (code) {
      case 0: return "The operation completed successfully.";
      case win::kErrorFileNotFound: return "The system cannot find the file specified.";
      case win::kErrorPathNotFound: return "The system cannot find the path specified.";
      case win::kErrorAccessDenied: return "Access is denied.";
      case win::kErrorSharingViolation:
        return "The process cannot access the file because it is being used by another process.";
      default: return "";  // FormatMessageA finds no text for the code
    }
  }

  std::string GetWindowsDirectory() override { return Read(sys_.windowsDir); }
  std::string GetSystemDirectory() override { return Read(sys_.systemDir); }
  std::string GetTempPath() override { return Read(sys_.tempDir); }
  std::string GetModuleFileName() override { return Read(sys_.modulePath); }

  std::string GetSpecialFolderPath(int csidl) override {
    std::lock_guard lock(s_.mutex);
    auto it = sys_.specialFolders.find(csidl);
    return it == sys_.specialFolders.end() ? "" : it->second;
  }

  std::optional<std::string> GetLongPathName(const std::string& path) override {
    std::lock_guard lock(s_.mutex);
    if (!sys_.hasGetLongPathName) return std::nullopt;
    return LongOf(path);
  }

  std::optional<std::string> ShellParsePath(const std::string& path) override {
    std::lock_guard lock(s_.mutex);
    // The shell names a folder without its trailing "\" (a drive root keeps it).
    std::string p = path;
    while (p.size() > 3 && p.back() == '\\') p.pop_back();
    return LongOf(p);
  }

  std::vector<std::string> QueryDosDevice(const std::string& name) override {
    std::lock_guard lock(s_.mutex);
    auto it = sys_.dosDevices.find(UpperAscii(name));
    if (it == sys_.dosDevices.end()) return {};
    return it->second;
  }

  uint32_t GetDriveType(const std::string& root) override {
    std::lock_guard lock(s_.mutex);
    auto it = sys_.driveTypes.find(UpperAscii(root.substr(0, 2)));
    return it == sys_.driveTypes.end() ? win::kDriveFixed : it->second;
  }

  OsVersion GetVersion() override { return Read(sys_.version); }
  std::optional<bool> IsWow64Process() override { return Read(sys_.wow64); }
  bool Is64BitProcess() override { return Read(sys_.process64); }

  uint32_t GetTickCount() override {
    std::lock_guard lock(s_.mutex);
    uint32_t t = sys_.tickCount;
    sys_.tickCount += sys_.tickStep;
    return t;
  }

  void Sleep(uint32_t milliseconds, bool) override {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
  }

  LocalTime GetLocalTime() override { return Read(sys_.now); }
  std::string FormatShortDate(const LocalTime& time) override {
    return FormatTimePicture(Read(sys_.shortDateFormat), time);
  }
  std::string FormatLongTime(const LocalTime& time) override {
    return FormatTimePicture(Read(sys_.longTimeFormat), time);
  }

  std::string Utf8ToAnsi(const std::string& text) override { return Utf8ToCp1252(text); }
  std::string AnsiToUtf8(const std::string& text) override { return Cp1252ToUtf8(text); }
  std::u16string AnsiToWide(const std::string& text) override { return Cp1252ToUtf16(text); }

  std::string GetPrivateProfileString(const std::string& file, const std::string& section, const std::string& key,
                                      const std::string& fallback) override {
    std::lock_guard lock(s_.mutex);
    FakeFile* f = s_.files.Find(file);
    if (!f || f->directory) return fallback;
    return ReadProfileString(f->contents, section, key).value_or(fallback);
  }

  bool WritePrivateProfileString(const std::string& file, const std::string& section, const std::string& key,
                                 const std::string& value) override {
    std::lock_guard lock(s_.mutex);
    FakeFile* f = s_.files.Find(file);
    if (!f) {
      f = s_.files.Create(file, 0, s_.Now());
      if (!f) return false;
    }
    if (f->directory || (f->attributes & win::kFileAttributeReadonly) || f->lockedExclusive) {
      SetThreadLastError(win::kErrorAccessDenied);
      return false;
    }
    f->contents = WriteProfileString(f->contents, section, key, value);
    return true;
  }

  LocalTime FileTimeToLocalTime(FileTime time) override {
    return FileTimeToCivil(time, Read(sys_.utcOffsetMinutes));
  }

  uint32_t AllocationGranularity() override { return Read(sys_.allocationGranularity); }

  std::optional<bool> SfcIsFileProtected(const std::string& library, const std::string& path) override {
    std::lock_guard lock(s_.mutex);
    bool loaded = false;
    for (auto& l : sys_.sfcLibraries) loaded = loaded || EqualNoCase(l, library);
    if (!loaded) return std::nullopt;
    for (auto& p : sys_.protectedFiles) {
      if (EqualNoCase(p, path)) return true;
    }
    return false;
  }

  bool ExitWindowsEx(uint32_t flags, uint32_t) override {
    std::lock_guard lock(s_.mutex);
    sys_.exitWindowsCalls.push_back(flags);
    return sys_.exitWindowsSucceeds;
  }

  bool BeginTimerPeriod(uint32_t milliseconds) override {
    std::lock_guard lock(s_.mutex);
    sys_.timerPeriodCalls.push_back("begin " + std::to_string(milliseconds));
    return sys_.timerPeriodAccepted;
  }
  void EndTimerPeriod(uint32_t milliseconds) override {
    std::lock_guard lock(s_.mutex);
    sys_.timerPeriodCalls.push_back("end " + std::to_string(milliseconds));
  }
  bool SetRestorePoint(uint32_t eventType, uint32_t restorePointType, const std::string& description) override {
    std::lock_guard lock(s_.mutex);
    sys_.restorePoints.push_back({eventType, restorePointType, description});
    return sys_.restorePointAccepted;
  }

 private:
  template <typename T>
  T Read(const T& fact) {
    std::lock_guard lock(s_.mutex);
    return fact;
  }

  // The long form the test set for a path, else the path itself when it exists.
  std::optional<std::string> LongOf(const std::string& path) {
    auto it = sys_.longPaths.find(UpperAscii(path));
    if (it != sys_.longPaths.end()) return it->second;
    if (s_.files.Attributes(path) == win::kInvalidFileAttributes) return std::nullopt;
    return path;
  }

  MachineState& s_;
  SystemState& sys_;
};

}  // namespace

std::unique_ptr<System> MakeSystem(MachineState& state) { return std::make_unique<FakeSystem>(state); }

}  // namespace platform::fake
