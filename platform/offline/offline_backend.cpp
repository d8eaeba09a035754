// Opens an offline volume: finds the Windows folder and its hives, the control set in use, the
// profiles and the current user, and the variables the folder values use.
#include "platform/offline/offline_backend.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "platform/owned_facilities.h"
#include "platform/offline/volume_state.h"

namespace platform::offline {

namespace {

constexpr const char* kProfileList = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList";
// Accounts of services, whose profiles are no user's.
constexpr const char* kServiceSids[] = {"S-1-5-18", "S-1-5-19", "S-1-5-20"};
constexpr const char* kTemplateProfiles[] = {"Default", "Default User", "All Users", "Public", "LocalService",
                                             "NetworkService"};
constexpr const char* kUserClasses[] = {"AppData\\Local\\Microsoft\\Windows\\UsrClass.dat",
                                        "Local Settings\\Application Data\\Microsoft\\Windows\\UsrClass.dat"};

bool IsOneOf(const std::string& name, const auto& list) {
  for (const char* item : list) {
    if (EqualNoCase(name, item)) return true;
  }
  return false;
}

std::string LastPart(const std::string& path) {
  const auto parts = SplitPath(path);
  return parts.empty() ? "" : parts.back();
}

}  // namespace

struct Volume::Facilities : OwnedFacilities {
  explicit Facilities(VolumeState& s) {
    registry = MakeRegistry(s);
    files = MakeFileSystem(s);
    system = MakeSystem(s, *registry);
    security = MakeSecurity();
    processes = MakeProcesses();
    shell = MakeShell();
    clipboard = MakeClipboard();
    ui = MakeUi();
    threads = MakeThreads();
    services = MakeServices();
    iphelper = MakeIpHelper();
    internet = MakeInternet();
    native = MakeNativeApi();
  }
};

namespace {

// Reads what discovery needs through the registry facility.
class Reader {
 public:
  explicit Reader(Registry& reg) : reg_(reg) {}

  std::optional<std::vector<uint8_t>> Value(RegKey root, const std::string& path, const std::string& name,
                                            uint32_t* type = nullptr) {
    RegKey key = 0;
    if (reg_.OpenKey(root, path, win::kKeyRead, &key) != 0) return std::nullopt;
    std::vector<uint8_t> data;
    const uint32_t rc = reg_.QueryValue(key, name, type, &data);
    reg_.CloseKey(key);
    if (rc != 0) return std::nullopt;
    return data;
  }
  std::string String(RegKey root, const std::string& path, const std::string& name) {
    const auto data = Value(root, path, name);
    if (!data) return "";
    std::string text(data->begin(), data->end());
    return text.substr(0, text.find('\0'));
  }
  std::optional<uint32_t> Dword(RegKey root, const std::string& path, const std::string& name) {
    uint32_t type = 0;
    const auto data = Value(root, path, name, &type);
    if (!data || type != win::kRegDword || data->size() < 4) return std::nullopt;
    const auto& d = *data;
    return d[0] | (d[1] << 8) | (d[2] << 16) | (static_cast<uint32_t>(d[3]) << 24);
  }
  std::vector<std::string> SubKeys(RegKey root, const std::string& path) {
    std::vector<std::string> names;
    RegKey key = 0;
    if (reg_.OpenKey(root, path, win::kKeyRead, &key) != 0) return names;
    std::string name;
    for (uint32_t i = 0; reg_.EnumKey(key, i, &name) == 0; ++i) names.push_back(name);
    reg_.CloseKey(key);
    return names;
  }
  // Names and string values of a key, in its order.
  std::vector<std::pair<std::string, std::string>> Strings(RegKey root, const std::string& path) {
    std::vector<std::pair<std::string, std::string>> out;
    RegKey key = 0;
    if (reg_.OpenKey(root, path, win::kKeyRead, &key) != 0) return out;
    std::string name;
    uint32_t type = 0;
    std::vector<uint8_t> data;
    for (uint32_t i = 0; reg_.EnumValueData(key, i, &name, &type, &data) == 0; ++i) {
      if (type != win::kRegSz && type != win::kRegExpandSz) continue;
      std::string text(data.begin(), data.end());
      out.emplace_back(name, text.substr(0, text.find('\0')));
    }
    reg_.CloseKey(key);
    return out;
  }

 private:
  Registry& reg_;
};

// Opens one hive read-only; a missing or unreadable one becomes a note.
std::shared_ptr<Hive> OpenHive(VolumeState& s, const std::string& windowsPath, bool noteMissing = true) {
  const std::optional<std::string> host = s.paths.Host(windowsPath);
  struct stat st;
  if (!host || ::stat(host->c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
    if (noteMissing) s.notes.push_back("Offline: hive " + windowsPath + " is missing");
    return nullptr;
  }
  auto hive = std::make_shared<Hive>();
  hive->path = windowsPath;
  errno = 0;
  hive->handle = hivex_open(host->c_str(), 0);
  if (!hive->handle) {
    const int error = errno;
    s.notes.push_back("Offline: hive " + windowsPath + " cannot be read (" +
                      (error ? std::strerror(error) : "not a registry hive") + ")");
    return nullptr;
  }
  return hive;
}

void Discover(VolumeState& s, Registry& registry) {
  Reader reader(registry);
  struct stat st;
  if (::stat(s.paths.root().c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
    s.notes.push_back("Offline: " + s.paths.root() + " is not a folder");
  }
  // The Windows folder: the one that holds System32\config, else the first one there is.
  std::string windowsName, systemName = "system32";
  for (const char* candidate : {"Windows", "WINNT"}) {
    const auto host = s.paths.HostOf({candidate});
    if (!host) continue;
    const std::string name = AnsiOf(LastPart(*host));
    const auto config = s.paths.HostOf({candidate, "System32", "config"});
    if (windowsName.empty() || config) windowsName = name;
    if (config) break;
  }
  if (windowsName.empty()) {
    s.notes.push_back("Offline: no Windows folder under " + s.paths.root());
    windowsName = "WINDOWS";
  }
  if (const auto host = s.paths.HostOf({windowsName, "System32"})) systemName = AnsiOf(LastPart(*host));
  s.windowsDir = s.paths.drive() + "\\" + windowsName;
  s.systemDir = s.windowsDir + "\\" + systemName;

  const std::string config = s.systemDir + "\\config";
  if (!s.paths.Host(config)) {
    s.notes.push_back("Offline: no " + config + " folder: the registry is not available");
  } else {
    s.system = OpenHive(s, config + "\\SYSTEM");
    s.software = OpenHive(s, config + "\\SOFTWARE");
  }
  // The volume's drive letter is the one its Windows was installed on.
  const std::string systemRoot =
      reader.String(kHkeyLocalMachine, "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion", "SystemRoot");
  if (systemRoot.size() >= 2 && systemRoot[1] == ':' && std::isalpha(static_cast<unsigned char>(systemRoot[0]))) {
    s.paths.SetDrive(UpperAscii(systemRoot.substr(0, 2)));
    s.windowsDir = s.paths.drive() + "\\" + windowsName;
    s.systemDir = s.windowsDir + "\\" + systemName;
  }

  if (s.system) {
    const std::optional<uint32_t> current = reader.Dword(kHkeyLocalMachine, "SYSTEM\\Select", "Current");
    if (current && *current < 1000) {
      char name[32];
      std::snprintf(name, sizeof name, "ControlSet%03u", *current);
      s.controlSet = name;
    } else {
      s.notes.push_back("Offline: SYSTEM\\Select names no current control set");
    }
  }

  s.environment["SYSTEMDRIVE"] = s.paths.drive();
  s.environment["SYSTEMROOT"] = s.windowsDir;
  s.environment["WINDIR"] = s.windowsDir;
  for (const auto& [name, value] :
       reader.Strings(kHkeyLocalMachine, "SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Environment")) {
    s.environment[UpperAscii(name)] = s.Expand(value);
  }
  const std::string arch = UpperAscii(s.environment["PROCESSOR_ARCHITECTURE"]);
  s.is64 = arch == "AMD64" || arch == "IA64" || arch == "ARM64" || s.paths.HostOf({windowsName, "SysWOW64"});

  // Profiles: from ProfileList when SOFTWARE is readable, else every folder with an NTUSER.DAT.
  if (s.software) {
    const std::string profiles = s.Expand(reader.String(kHkeyLocalMachine, kProfileList, "ProfilesDirectory"));
    const std::string allUsers = reader.String(kHkeyLocalMachine, kProfileList, "AllUsersProfile");
    const std::string programData = reader.String(kHkeyLocalMachine, kProfileList, "ProgramData");
    if (!programData.empty()) {
      s.environment["ALLUSERSPROFILE"] = s.Expand(programData);
    } else if (!allUsers.empty() && !profiles.empty()) {
      s.environment["ALLUSERSPROFILE"] = profiles + "\\" + allUsers;
    }
    for (const std::string& sid : reader.SubKeys(kHkeyLocalMachine, kProfileList)) {
      const std::string path =
          s.Expand(reader.String(kHkeyLocalMachine, std::string(kProfileList) + "\\" + sid, "ProfileImagePath"));
      if (path.empty()) continue;
      Profile p{sid, path, nullptr, nullptr};
      if (s.paths.Host(path + "\\NTUSER.DAT")) {
        p.user = OpenHive(s, path + "\\NTUSER.DAT");
      } else if (!IsOneOf(sid, kServiceSids)) {
        s.notes.push_back("Offline: profile " + path + " has no NTUSER.DAT");
      }
      s.profiles.push_back(std::move(p));
    }
  } else {
    for (const char* folder : {"Users", "Documents and Settings"}) {
      const auto host = s.paths.HostOf({folder});
      if (!host) continue;
      const std::string base = s.paths.drive() + "\\" + AnsiOf(LastPart(*host));
      std::vector<std::string> names;
      if (DIR* dir = ::opendir(host->c_str())) {
        while (const dirent* entry = ::readdir(dir)) names.emplace_back(entry->d_name);
        ::closedir(dir);
      }
      std::sort(names.begin(), names.end());
      for (const std::string& name : names) {
        if (name == "." || name == "..") continue;
        const std::string path = base + "\\" + AnsiOf(name);
        if (!s.paths.Host(path + "\\NTUSER.DAT")) continue;
        s.profiles.push_back(Profile{AnsiOf(name), path, OpenHive(s, path + "\\NTUSER.DAT"), nullptr});
      }
    }
  }

  // The current user: the account whose hive changed last (the last to log on).
  int64_t newest = -1;
  for (size_t i = 0; i < s.profiles.size(); ++i) {
    const Profile& p = s.profiles[i];
    if (!p.user || IsOneOf(p.key, kServiceSids) || IsOneOf(LastPart(p.path), kTemplateProfiles)) continue;
    const auto host = s.paths.Host(p.path + "\\NTUSER.DAT");
    struct stat hs;
    if (!host || ::stat(host->c_str(), &hs) != 0) continue;
    if (hs.st_mtime > newest) {
      newest = hs.st_mtime;
      s.currentUser = static_cast<int>(i);
    }
  }
  for (Profile& p : s.profiles) {
    if (!p.user) continue;
    const bool current = s.CurrentProfile() == &p;
    for (const char* classes : kUserClasses) {
      if (s.paths.Host(p.path + "\\" + classes)) {
        p.classes = OpenHive(s, p.path + "\\" + classes);
        break;
      }
    }
    if (!p.classes && current) s.notes.push_back("Offline: hive " + p.path + "\\" + kUserClasses[0] + " is missing");
  }
  if (const Profile* user = s.CurrentProfile()) {
    s.environment["USERPROFILE"] = user->path;
    s.environment["USERNAME"] = LastPart(user->path);
    s.environment["HOMEDRIVE"] = s.paths.drive();
    s.environment["HOMEPATH"] = user->path.substr(s.paths.drive().size());
    for (const auto& [name, value] : reader.Strings(kHkeyCurrentUser, "Environment")) {
      s.environment[UpperAscii(name)] = s.Expand(value);
    }
  } else {
    s.notes.push_back("Offline: no user profile with an NTUSER.DAT: HKEY_CURRENT_USER is not available");
  }
}

}  // namespace

Volume::Volume(const std::string& root) : state_(std::make_unique<VolumeState>(root)) {
  facilities_ = std::make_unique<Facilities>(*state_);
  Discover(*state_, *facilities_->registry);
  // The registry's roots are looked at afresh now that the profiles are known.
  facilities_->registry = MakeRegistry(*state_);
  facilities_->system = MakeSystem(*state_, *facilities_->registry);
}

Volume::~Volume() {
  if (installed_) platform::Install(previous_);
}

Backend Volume::backend() { return facilities_->backend(); }

void Volume::Install() {
  if (!installed_) previous_ = platform::Current();
  installed_ = true;
  platform::Install(backend());
}

std::string Volume::SourceLine() const {
  const Profile* user = state_->CurrentProfile();
  return "Offline scan of " + AnsiOf(state_->paths.root()) + " (" + state_->windowsDir + ", user " +
         (user ? user->path : std::string("none")) + ")";
}

const std::vector<std::string>& Volume::Notes() const { return state_->notes; }

}  // namespace platform::offline
