// Names, text and paths of an offline volume.
#include <dirent.h>
#include <sys/stat.h>

#include <climits>
#include <cstdlib>

#include "platform/fake/code_page.h"
#include "platform/offline/volume_state.h"

namespace platform::offline {

namespace {
thread_local uint32_t t_lastError = 0;
}

uint32_t ThreadLastError() { return t_lastError; }
void SetThreadLastError(uint32_t code) { t_lastError = code; }

std::vector<std::string> SplitPath(const std::string& path) {
  std::vector<std::string> parts;
  std::string part;
  for (char c : path) {
    if (c == '\\' || c == '/') {
      if (!part.empty()) parts.push_back(std::move(part));
      part.clear();
    } else {
      part += c;
    }
  }
  if (!part.empty()) parts.push_back(std::move(part));
  return parts;
}

std::string Utf16ToUtf8(const uint8_t* bytes, size_t size) {
  std::string out;
  for (size_t i = 0; i + 1 < size; i += 2) {
    uint32_t c = bytes[i] | (bytes[i + 1] << 8);
    if (c >= 0xD800 && c < 0xDC00 && i + 3 < size) {
      const uint32_t low = bytes[i + 2] | (bytes[i + 3] << 8);
      if (low >= 0xDC00 && low < 0xE000) {
        c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
        i += 2;
      } else {
        c = 0xFFFD;
      }
    } else if (c >= 0xD800 && c < 0xE000) {
      c = 0xFFFD;
    }
    fake::AppendUtf8(out, c);
  }
  return out;
}

std::string AnsiOf(const std::string& utf8) { return fake::Utf8ToCp1252(utf8); }
std::string Utf8Of(const std::string& ansi) { return fake::Cp1252ToUtf8(ansi); }

FileTime FileTimeOf(int64_t seconds, int64_t nanoseconds) {
  const int64_t ticks = (seconds + 11644473600LL) * 10000000LL + nanoseconds / 100;
  return ticks < 0 ? 0 : static_cast<FileTime>(ticks);
}

PathMap::PathMap(std::string root, std::string drive) : root_(std::move(root)), drive_(std::move(drive)) {
  while (root_.size() > 1 && root_.back() == '/') root_.pop_back();
  char real[PATH_MAX];
  realRoot_ = ::realpath(root_.c_str(), real) ? real : root_;
}

std::optional<std::string> PathMap::Host(const std::string& windowsPath, bool* folderMissing) {
  if (folderMissing) *folderMissing = false;
  // Only absolute paths on the volume's drive: "C:\..." (also "\\?\C:\...").
  std::string p = windowsPath;
  if (p.rfind("\\\\?\\", 0) == 0) p = p.substr(4);
  if (p.size() < 2 || p[1] != ':' || !EqualNoCase(p.substr(0, 2), drive_) || (p.size() > 2 && p[2] != '\\' && p[2] != '/')) {
    if (folderMissing) *folderMissing = true;
    return std::nullopt;
  }
  return HostOf(SplitPath(p.substr(2)), folderMissing);
}

std::optional<std::string> PathMap::HostOf(const std::vector<std::string>& parts, bool* folderMissing) {
  if (folderMissing) *folderMissing = false;
  std::string host = root_;
  for (size_t i = 0; i < parts.size(); ++i) {
    const std::string& part = parts[i];
    if (part == ".") continue;
    // Nothing climbs above the folder it names: ".." and names with a NUL lead nowhere.
    if (part == ".." || part.find('\0') != std::string::npos) {
      if (folderMissing) *folderMissing = i + 1 < parts.size();
      return std::nullopt;
    }
    const std::string name = Entry(host, Utf8Of(part));
    if (name.empty()) {
      if (folderMissing) *folderMissing = i + 1 < parts.size();
      return std::nullopt;
    }
    host += "/" + name;
  }
  if (!Inside(host)) {
    if (folderMissing) *folderMissing = false;
    return std::nullopt;
  }
  return host;
}

std::string PathMap::Entry(const std::string& folder, const std::string& utf8Name) {
  struct stat st;
  if (::lstat((folder + "/" + utf8Name).c_str(), &st) == 0) return utf8Name;
  std::lock_guard lock(mutex_);
  auto it = folders_.find(folder);
  if (it == folders_.end()) {
    std::unordered_map<std::string, std::string> names;
    if (DIR* dir = ::opendir(folder.c_str())) {
      while (const dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (name != "." && name != "..") names.emplace(UpperAscii(name), name);
      }
      ::closedir(dir);
    }
    it = folders_.emplace(folder, std::move(names)).first;
  }
  auto found = it->second.find(UpperAscii(utf8Name));
  return found == it->second.end() ? "" : found->second;
}

bool PathMap::Inside(const std::string& hostPath) {
  char real[PATH_MAX];
  if (!::realpath(hostPath.c_str(), real)) return true;  // a dangling link: nothing to read behind it
  const std::string r = real;
  return r == realRoot_ || (r.size() > realRoot_.size() && r.compare(0, realRoot_.size(), realRoot_) == 0 &&
                            (r[realRoot_.size()] == '/' || realRoot_ == "/"));
}

Hive::~Hive() {
  if (handle) hivex_close(handle);
}

std::string VolumeState::Expand(const std::string& text) const {
  std::string out;
  size_t i = 0;
  while (i < text.size()) {
    const size_t open = text.find('%', i);
    const size_t close = open == std::string::npos ? std::string::npos : text.find('%', open + 1);
    if (close == std::string::npos) {
      out += text.substr(i);
      break;
    }
    out += text.substr(i, open - i);
    auto it = environment.find(UpperAscii(text.substr(open + 1, close - open - 1)));
    if (it != environment.end()) {
      out += it->second;
      i = close + 1;
    } else {
      out += '%';
      i = open + 1;
    }
  }
  return out;
}

}  // namespace platform::offline
