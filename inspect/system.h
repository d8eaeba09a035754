// Folders, Windows identity, privileges, restore points and small file utilities.
#pragma once

#include <cstdint>
#include <exception>
#include <map>
#include <stdexcept>
#include <string>

namespace inspect {

std::string GetWindowsDir();     // no trailing "\"
std::string GetSystemDir();      // no trailing "\"
std::string GetSystemDrive();    // "C:\"
std::string GetAppDir();         // folder of the executable, with trailing "\"
std::string GetTempDir();        // as Windows returns it, with trailing "\"
std::string GetSpecialFolder(int csidl);  // no trailing "\"; empty when unknown
std::string GetRecentDir();
std::string GetCommonFilesDir();
std::string GetLocalAppDataDir();  // with trailing "\" ("\" alone when missing)
std::string GetLocalSettingsDir();
std::string GetTemplatesDir();

std::string ReadNtCurrentVersion(const std::string& valueName);
// 1 = ProductName, 2 = BuildLab, 3 = CSDVersion; empty otherwise.
std::string WindowsVersionInfo(int kind);
// The Windows releases the program tells apart, oldest first.
enum class TWindowsVersion { Unknown, Win95, Win98, Win98SE, WinME, WinNT, Win2k, WinXP, Win2k3, WinVista, Win7 };
TWindowsVersion CurrentWindowsVersion();
// "Win2k", "WinXP", ... as the report and the debug log name them.
const char* WindowsVersionText(TWindowsVersion version);
std::string WindowsVersionName();
// NT 6 or later, whether named or not.
bool IsVistaOrLater();
bool IsWow64();
// A 64-bit Windows: this program under WoW64, or its x86_64 build.
bool IsX64Windows();
// Vista, 7 or any 64-bit Windows: where a clean system carries the newer default values.
bool IsNewerWindows();

bool EnableTokenPrivilege(const std::string& privilege);
bool ExitWindowsWithPrivilege(uint32_t flags);
bool CreateRestorePoint();
bool ShowFileProperties(uintptr_t window, const std::string& path);

// "H:M:S" without leading zeros.
std::string FormatElapsed(uint32_t seconds);

// Raised by AppendTextToFile; carries the Windows error code of the failed call.
class EFileError : public std::runtime_error {
 public:
  EFileError(uint32_t code, const std::string& message) : std::runtime_error(message), code_(code) {}
  uint32_t code() const { return code_; }

 private:
  uint32_t code_;
};

// Creates the file when missing, then appends `text` and CR LF. Throws EFileError.
void AppendTextToFile(const std::string& path, const std::string& text);
// Appends one line to Data\Dbg.log beside the executable; never fails.
void WriteDebugLog(const std::string& text);
// "<error type name>-><message>" for a caught failure, as the debug log records it.
std::string DebugLogEntry(const std::exception& error);
// Deletes the files of `folder` (ending with "\") and, when recursive, its subfolders.
void EmptyFolder(const std::string& folder, bool recursive);
std::string ReadIniString(const std::string& file, const std::string& section, const std::string& key);
std::string DevicePathToDosPath(const std::string& devicePath);
std::string LongPathOf(const std::string& path);
std::string ShellLongPath(const std::string& path);

// While one lives, the lookups of its thread (GetSpecialFolder, LongPathOf, ShellLongPath,
// DevicePathToDosPath, FileCompanyName) ask the system each question once and answer it again
// from memory: a scan asks the same ones section after section, and changes nothing it asks of.
class TLookupMemo {
 public:
  TLookupMemo();
  ~TLookupMemo();
  TLookupMemo(const TLookupMemo&) = delete;
  TLookupMemo& operator=(const TLookupMemo&) = delete;

  // The answer to `question` (a kind letter and its argument) from memory, else from `ask`.
  template <typename Ask>
  static std::string Answer(const std::string& question, Ask&& ask) {
    TLookupMemo* memo = Current();
    if (memo == nullptr) return ask();
    const auto known = memo->answers_.find(question);
    if (known != memo->answers_.end()) return known->second;
    std::string answer = ask();
    memo->answers_.emplace(question, answer);
    return answer;
  }

 private:
  static TLookupMemo* Current();

  TLookupMemo* previous_;
  std::map<std::string, std::string> answers_;
};

}  // namespace inspect
