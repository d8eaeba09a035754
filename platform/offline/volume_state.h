// What the facilities of an offline volume share: the host root, the open hives and where they
// are mounted in the registry, the profiles, and the folders and environment of the system.
#pragma once

#include <hivex.h>

#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/ascii_names.h"
#include "platform/platform.h"

namespace platform::offline {

// The calling thread's last error, as the facilities set it.
uint32_t ThreadLastError();
void SetThreadLastError(uint32_t code);

using platform::EqualNoCase;
using platform::UpperAscii;
// The parts of a Windows path or key path, split at "\" and "/", empty parts dropped.
std::vector<std::string> SplitPath(const std::string& path);
// UTF-16LE bytes (an odd last byte is dropped) as UTF-8; NULs are kept.
std::string Utf16ToUtf8(const uint8_t* bytes, size_t size);
// Windows-1252, the volume's code page here, to and from UTF-8 (the host's names).
std::string AnsiOf(const std::string& utf8);
std::string Utf8Of(const std::string& ansi);
// Seconds and nanoseconds since 1970 as a FILETIME.
FileTime FileTimeOf(int64_t seconds, int64_t nanoseconds);

// Windows paths of the volume's drive mapped to host paths, letters compared without case as
// Windows does. A folder's names are read once when an exact lookup misses.
class PathMap {
 public:
  explicit PathMap(std::string root, std::string drive = "C:");
  const std::string& root() const { return root_; }
  const std::string& drive() const { return drive_; }
  void SetDrive(std::string drive) { drive_ = std::move(drive); }
  // The host path of a Windows path on the drive ("C:\WINDOWS\system32"); nullopt when it is
  // not on the drive or a part is missing. *folderMissing tells a missing folder on the way
  // apart from a missing last part. A link that leads out of the volume is missing.
  std::optional<std::string> Host(const std::string& windowsPath, bool* folderMissing = nullptr);
  // The same for parts below the root.
  std::optional<std::string> HostOf(const std::vector<std::string>& parts, bool* folderMissing = nullptr);
  // The entry of `folder` (a host path) named `name` without letter case; empty when none.
  std::string Entry(const std::string& folder, const std::string& utf8Name);
  // Whether the host path, links followed, stays in the volume.
  bool Inside(const std::string& hostPath);

 private:
  std::string root_;
  std::string realRoot_;
  std::string drive_;
  std::mutex mutex_;
  std::unordered_map<std::string, std::unordered_map<std::string, std::string>> folders_;
};

struct Hive {
  std::string path;  // Windows path, for the notes
  hive_h* handle = nullptr;
  ~Hive();
};

struct Profile {
  std::string key;   // the name under HKEY_USERS: the SID, or the folder's name without ProfileList
  std::string path;  // Windows path of the profile folder
  std::shared_ptr<Hive> user;     // NTUSER.DAT
  std::shared_ptr<Hive> classes;  // UsrClass.dat
};

struct VolumeState {
  explicit VolumeState(const std::string& root) : paths(root) {}

  PathMap paths;
  std::mutex hiveMutex;  // hivex handles are not shared between threads
  std::shared_ptr<Hive> system, software;
  std::string controlSet;  // "ControlSet001", from Select; empty when unknown
  std::vector<Profile> profiles;
  int currentUser = -1;  // index in profiles: HKEY_CURRENT_USER
  std::string windowsDir, systemDir;
  bool is64 = false;
  // Variables for %NAME% in folder values, upper-cased names.
  std::map<std::string, std::string> environment;
  std::vector<std::string> notes;

  // %NAME% replaced from `environment`; unknown names stay.
  std::string Expand(const std::string& text) const;
  const Profile* CurrentProfile() const {
    return currentUser >= 0 ? &profiles[static_cast<size_t>(currentUser)] : nullptr;
  }
};

std::unique_ptr<Registry> MakeRegistry(VolumeState& state);      // hive_registry.cpp
std::unique_ptr<FileSystem> MakeFileSystem(VolumeState& state);  // volume_files.cpp
std::unique_ptr<System> MakeSystem(VolumeState& state, Registry& registry);  // offline_system.cpp
// What only a running system has: each call fails (not_running.cpp).
std::unique_ptr<Security> MakeSecurity();
std::unique_ptr<Processes> MakeProcesses();
std::unique_ptr<Shell> MakeShell();
std::unique_ptr<Clipboard> MakeClipboard();
std::unique_ptr<Ui> MakeUi();
std::unique_ptr<Services> MakeServices();
std::unique_ptr<IpHelper> MakeIpHelper();
std::unique_ptr<Internet> MakeInternet();
std::unique_ptr<NativeApi> MakeNativeApi();
// Real threads: the scan runs on a worker as on Windows (offline_threads.cpp).
std::unique_ptr<Threads> MakeThreads();

}  // namespace platform::offline
