// The files of an offline volume: Windows paths on its drive found in the host tree without
// letter case, attributes and creation times from the extended attributes the NTFS driver (or a
// copy) keeps, other times from the host, version information parsed from the PE file. Files open for reading only.
#include <dirent.h>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>

#include "platform/offline/pe_version.h"
#include "platform/offline/volume_state.h"

namespace platform::offline {

namespace {

// Windows wildcards without letter case; "*.*" and "name.*" also match names without a dot.
bool MatchMask(const std::string& mask, const std::string& name) {
  const std::string m = UpperAscii(mask), n = UpperAscii(name);
  size_t i = 0, j = 0, starI = std::string::npos, starJ = 0;
  while (j < n.size()) {
    if (i < m.size() && (m[i] == '?' || m[i] == n[j])) {
      ++i;
      ++j;
    } else if (i < m.size() && m[i] == '*') {
      starI = i++;
      starJ = j;
    } else if (starI != std::string::npos) {
      i = starI + 1;
      j = ++starJ;
    } else {
      return false;
    }
  }
  while (i < m.size() && m[i] == '*') ++i;
  if (i == m.size()) return true;
  if (m.size() >= 2 && m.compare(m.size() - 2, 2, ".*") == 0 && n.find('.') == std::string::npos) {
    return MatchMask(mask.substr(0, mask.size() - 2), name);
  }
  return false;
}

// The file's attributes: the NTFS driver's "system.ntfs_attrib_be" (big-endian), the same
// number kept by a copy under "user.ntfs_attrib_be", or the "0x.." text Wine keeps in
// "user.DOSATTRIB" over what a new file or folder gets; else that alone.
uint32_t AttributesOf(const std::string& host, const struct stat& st) {
  uint8_t be[4];
  for (const char* name : {"system.ntfs_attrib_be", "user.ntfs_attrib_be"}) {
    if (::getxattr(host.c_str(), name, be, sizeof be) == 4) {
      return (uint32_t{be[0]} << 24) | (uint32_t{be[1]} << 16) | (uint32_t{be[2]} << 8) | be[3];
    }
  }
  const uint32_t base = S_ISDIR(st.st_mode) ? win::kFileAttributeDirectory : win::kFileAttributeArchive;
  char text[32] = {};
  const ssize_t n = ::getxattr(host.c_str(), "user.DOSATTRIB", text, sizeof text - 1);
  if (n > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    char* end = nullptr;
    const unsigned long value = std::strtoul(text + 2, &end, 16);
    // Added to what the file's kind gives, as Wine reads it.
    if (end != text + 2) return base | (static_cast<uint32_t>(value) & 0xFFFF);
  }
  return base;
}

// The NTFS driver's creation time ("system.ntfs_crtime_be", a big-endian FILETIME; a copy's
// "user.ntfs_crtime_be"), else the earlier of the host's change and modification times, as Wine
// reports files on Linux.
FileTime CreationTimeOf(const std::string& host, int fd, const struct stat& st) {
  uint8_t be[8];
  for (const char* name : {"system.ntfs_crtime_be", "user.ntfs_crtime_be"}) {
    const ssize_t n = fd >= 0 ? ::fgetxattr(fd, name, be, sizeof be) : ::getxattr(host.c_str(), name, be, sizeof be);
    if (n == 8) {
      FileTime time = 0;
      for (uint8_t b : be) time = (time << 8) | b;
      return time;
    }
  }
  return std::min(FileTimeOf(st.st_ctim.tv_sec, st.st_ctim.tv_nsec), FileTimeOf(st.st_mtim.tv_sec, st.st_mtim.tv_nsec));
}

FindData FindDataOf(const std::string& host, const std::string& name, const struct stat& st) {
  FindData d;
  d.name = AnsiOf(name);
  d.attributes = AttributesOf(host, st);
  d.size = S_ISDIR(st.st_mode) ? 0 : static_cast<uint64_t>(st.st_size);
  d.lastWriteTime = FileTimeOf(st.st_mtim.tv_sec, st.st_mtim.tv_nsec);
  d.lastAccessTime = FileTimeOf(st.st_atim.tv_sec, st.st_atim.tv_nsec);
  d.creationTime = CreationTimeOf(host, -1, st);
  return d;
}

struct Find {
  std::vector<FindData> entries;
  size_t next = 0;
};

struct Mapping {
  int fd = -1;
  uint64_t size = 0;
};

class VolumeFiles final : public FileSystem {
 public:
  explicit VolumeFiles(VolumeState& state) : s_(state) {}
  ~VolumeFiles() override {
    for (auto& [h, fd] : files_) ::close(fd);
    for (auto& [h, m] : mappings_) ::close(m.fd);
    for (auto& [view, length] : views_) ::munmap(const_cast<uint8_t*>(view), length);
  }

  Handle FindFirstFile(const std::string& pattern, FindData* data) override {
    const size_t cut = pattern.find_last_of("\\/");
    if (cut == std::string::npos) return FailWith(win::kErrorPathNotFound, kInvalidHandle);
    const std::string mask = pattern.substr(cut + 1);
    const std::optional<std::string> folder = s_.paths.Host(pattern.substr(0, cut + 1));
    struct stat st;
    if (!folder || ::stat(folder->c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
      return FailWith(win::kErrorPathNotFound, kInvalidHandle);
    }
    Find find;
    // One exact name is looked up, not found by reading the whole folder.
    if (mask.find_first_of("*?") == std::string::npos) {
      const std::string name = mask.empty() ? "" : s_.paths.Entry(*folder, Utf8Of(mask));
      struct stat entry;
      const std::string host = *folder + "/" + name;
      if (name.empty() || ::lstat(host.c_str(), &entry) != 0) return FailWith(win::kErrorFileNotFound, kInvalidHandle);
      find.entries.push_back(FindDataOf(host, name, entry));
      if (S_ISLNK(entry.st_mode)) find.entries.back().attributes = win::kFileAttributeReparsePoint;
      *data = find.entries[0];
      find.next = 1;
      std::lock_guard lock(mutex_);
      const Handle h = next_++;
      finds_[h] = std::move(find);
      return h;
    }
    if (*folder != s_.paths.root()) {
      for (const char* dot : {".", ".."}) {
        if (!MatchMask(mask, dot)) continue;
        FindData d;
        d.attributes = win::kFileAttributeDirectory;
        d.name = dot;
        find.entries.push_back(d);
      }
    }
    std::vector<std::string> names;
    if (DIR* dir = ::opendir(folder->c_str())) {
      while (const dirent* entry = ::readdir(dir)) names.emplace_back(entry->d_name);
      ::closedir(dir);
    }
    std::sort(names.begin(), names.end());
    for (const std::string& name : names) {
      if (name == "." || name == ".." || !MatchMask(mask, AnsiOf(name))) continue;
      const std::string host = *folder + "/" + name;
      struct stat entry;
      if (::lstat(host.c_str(), &entry) != 0) continue;
      if (S_ISLNK(entry.st_mode)) {
        // A junction or link: listed, never followed out of the volume.
        FindData d = FindDataOf(host, name, entry);
        d.attributes = win::kFileAttributeReparsePoint;
        struct stat target;
        if (s_.paths.Inside(host) && ::stat(host.c_str(), &target) == 0 &&
            S_ISDIR(target.st_mode)) {
          d.attributes |= win::kFileAttributeDirectory;
        }
        find.entries.push_back(d);
        continue;
      }
      if (!S_ISDIR(entry.st_mode) && !S_ISREG(entry.st_mode)) continue;
      find.entries.push_back(FindDataOf(host, name, entry));
    }
    if (find.entries.empty()) return FailWith(win::kErrorFileNotFound, kInvalidHandle);
    *data = find.entries[0];
    find.next = 1;
    std::lock_guard lock(mutex_);
    const Handle h = next_++;
    finds_[h] = std::move(find);
    return h;
  }

  bool FindNextFile(Handle handle, FindData* data) override {
    std::lock_guard lock(mutex_);
    auto it = finds_.find(handle);
    if (it == finds_.end()) return FailWith(win::kErrorInvalidHandle, false);
    if (it->second.next >= it->second.entries.size()) return FailWith(win::kErrorNoMoreFiles, false);
    *data = it->second.entries[it->second.next++];
    return true;
  }

  void FindClose(Handle handle) override {
    std::lock_guard lock(mutex_);
    finds_.erase(handle);
  }

  uint32_t GetFileAttributes(const std::string& path) override {
    bool folderMissing = false;
    const std::optional<std::string> host = s_.paths.Host(path, &folderMissing);
    struct stat st;
    if (!host || ::stat(host->c_str(), &st) != 0) {
      return FailWith(folderMissing ? win::kErrorPathNotFound : win::kErrorFileNotFound, win::kInvalidFileAttributes);
    }
    return AttributesOf(*host, st);
  }

  // Read-only by construction: nothing on the volume changes.
  bool SetFileAttributes(const std::string&, uint32_t) override { return Denied(); }
  bool CreateDirectory(const std::string&) override { return Denied(); }
  bool CreatePrivateDirectory(const std::string&) override { return Denied(); }
  Handle CreatePrivateFile(const std::string&) override { return FailWith(win::kErrorAccessDenied, kInvalidHandle); }
  bool FlushFileBuffers(Handle) override { return Denied(); }

  bool GetFileAttributesByHandle(Handle file, uint32_t* attributes) override {
    const int fd = Fd(file);
    struct stat st;
    if (fd < 0 || ::fstat(fd, &st) != 0) return FailWith(win::kErrorInvalidHandle, false);
    char host[4096];
    const ssize_t length = ::readlink(("/proc/self/fd/" + std::to_string(fd)).c_str(), host, sizeof host - 1);
    if (length <= 0) return FailWith(win::kErrorInvalidHandle, false);
    *attributes = AttributesOf(std::string(host, static_cast<size_t>(length)), st);
    return true;
  }
  bool RemoveDirectory(const std::string&) override { return Denied(); }
  bool DeleteFile(const std::string&) override { return Denied(); }
  bool CopyFile(const std::string&, const std::string&, bool) override { return Denied(); }
  bool MoveFileEx(const std::string&, const std::string&, uint32_t) override { return Denied(); }
  bool WriteFile(Handle, const void*, uint32_t, uint32_t* written) override {
    if (written) *written = 0;
    return Denied();
  }

  Handle CreateFile(const std::string& path, uint32_t access, uint32_t, uint32_t disposition, uint32_t) override {
    if ((access & (win::kGenericWrite | win::kFileAppendData)) != 0 || disposition != win::kOpenExisting) {
      return FailWith(win::kErrorAccessDenied, kInvalidHandle);
    }
    bool folderMissing = false;
    const std::optional<std::string> host = s_.paths.Host(path, &folderMissing);
    if (!host) return FailWith(folderMissing ? win::kErrorPathNotFound : win::kErrorFileNotFound, kInvalidHandle);
    const int fd = ::open(host->c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    struct stat st;
    if (fd < 0 || ::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
      if (fd >= 0) ::close(fd);
      return FailWith(fd < 0 && errno == ENOENT ? win::kErrorFileNotFound : win::kErrorAccessDenied, kInvalidHandle);
    }
    std::lock_guard lock(mutex_);
    const Handle h = next_++;
    files_[h] = fd;
    return h;
  }

  bool ReadFile(Handle file, void* buffer, uint32_t size, uint32_t* read) override {
    const int fd = Fd(file);
    if (read) *read = 0;
    if (fd < 0) return FailWith(win::kErrorInvalidHandle, false);
    uint32_t total = 0;
    while (total < size) {
      const ssize_t n = ::read(fd, static_cast<uint8_t*>(buffer) + total, size - total);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) return FailWith(win::kErrorInvalidData, false);
      if (n == 0) break;
      total += static_cast<uint32_t>(n);
    }
    if (read) *read = total;
    return true;
  }

  bool SetFilePointer(Handle file, int64_t distance, uint32_t method, uint64_t* position) override {
    const int fd = Fd(file);
    if (fd < 0) return FailWith(win::kErrorInvalidHandle, false);
    const int whence = method == win::kFileBegin ? SEEK_SET : method == win::kFileCurrent ? SEEK_CUR : SEEK_END;
    const off_t at = ::lseek(fd, static_cast<off_t>(distance), whence);
    if (at < 0) return FailWith(win::kErrorInvalidParameter, false);
    if (position) *position = static_cast<uint64_t>(at);
    return true;
  }

  bool GetFileSize(Handle file, uint64_t* size) override {
    struct stat st;
    const int fd = Fd(file);
    if (fd < 0 || ::fstat(fd, &st) != 0) return FailWith(win::kErrorInvalidHandle, false);
    *size = static_cast<uint64_t>(st.st_size);
    return true;
  }

  bool GetFileTime(Handle file, FileTime* creation, FileTime* access, FileTime* write) override {
    struct stat st;
    const int fd = Fd(file);
    if (fd < 0 || ::fstat(fd, &st) != 0) return FailWith(win::kErrorInvalidHandle, false);
    const FileTime modified = FileTimeOf(st.st_mtim.tv_sec, st.st_mtim.tv_nsec);
    if (write) *write = modified;
    if (access) *access = FileTimeOf(st.st_atim.tv_sec, st.st_atim.tv_nsec);
    if (creation) *creation = CreationTimeOf("", fd, st);
    return true;
  }

  bool CloseHandle(Handle handle) override {
    std::lock_guard lock(mutex_);
    if (auto it = files_.find(handle); it != files_.end()) {
      ::close(it->second);
      files_.erase(it);
      return true;
    }
    if (auto it = mappings_.find(handle); it != mappings_.end()) {
      ::close(it->second.fd);
      mappings_.erase(it);
      return true;
    }
    return FailWith(win::kErrorInvalidHandle, false);
  }

  Handle CreateFileMapping(Handle file) override {
    const int fd = Fd(file);
    struct stat st;
    if (fd < 0 || ::fstat(fd, &st) != 0) return FailWith(win::kErrorInvalidHandle, kNoHandle);
    if (st.st_size == 0) return FailWith(win::kErrorInvalidParameter, kNoHandle);  // as Windows: no empty mapping
    const int copy = ::fcntl(fd, F_DUPFD_CLOEXEC, 0);
    if (copy < 0) return FailWith(win::kErrorNotEnoughMemory, kNoHandle);
    std::lock_guard lock(mutex_);
    const Handle h = next_++;
    mappings_[h] = Mapping{copy, static_cast<uint64_t>(st.st_size)};
    return h;
  }

  const uint8_t* MapViewOfFile(Handle mapping, uint64_t offset, size_t length) override {
    std::lock_guard lock(mutex_);
    auto it = mappings_.find(mapping);
    if (it == mappings_.end()) return FailWith(win::kErrorInvalidHandle, nullptr);
    if (offset >= it->second.size) return FailWith(win::kErrorAccessDenied, nullptr);
    if (length == 0 || length > it->second.size - offset) length = static_cast<size_t>(it->second.size - offset);
    void* view = ::mmap(nullptr, length, PROT_READ, MAP_PRIVATE, it->second.fd, static_cast<off_t>(offset));
    if (view == MAP_FAILED) return FailWith(win::kErrorNotEnoughMemory, nullptr);
    views_[static_cast<const uint8_t*>(view)] = length;
    return static_cast<const uint8_t*>(view);
  }

  void UnmapViewOfFile(const uint8_t* view) override {
    std::lock_guard lock(mutex_);
    auto it = views_.find(view);
    if (it == views_.end()) return;
    ::munmap(const_cast<uint8_t*>(it->first), it->second);
    views_.erase(it);
  }

  bool GetFileVersionInfo(const std::string& path, std::vector<uint8_t>* data) override {
    const std::optional<std::string> host = s_.paths.Host(path);
    if (!host) return FailWith(win::kErrorFileNotFound, false);
    const int fd = ::open(host->c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) return FailWith(win::kErrorFileNotFound, false);
    struct stat st;
    bool found = false;
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
      found = ReadVersionResource(
          [fd](uint64_t offset, size_t size) {
            std::vector<uint8_t> bytes(size);
            const ssize_t n = ::pread(fd, bytes.data(), size, static_cast<off_t>(offset));
            bytes.resize(n > 0 ? static_cast<size_t>(n) : 0);
            return bytes;
          },
          data);
    }
    ::close(fd);
    if (!found) data->clear();
    return found ? true : FailWith(1813 /* ERROR_RESOURCE_TYPE_NOT_FOUND */, false);
  }

  bool VerQueryTranslation(const std::vector<uint8_t>& data, uint16_t* language, uint16_t* codePage) override {
    return QueryTranslation(data, language, codePage);
  }

  std::optional<std::string> VerQueryString(const std::vector<uint8_t>& data, const std::string& subBlock) override {
    const std::optional<std::string> text = QueryString(data, subBlock);
    if (!text) return std::nullopt;
    return AnsiOf(*text);
  }

 private:
  template <typename T>
  static T FailWith(uint32_t code, T value) {
    SetThreadLastError(code);
    return value;
  }
  static bool Denied() { return FailWith(win::kErrorAccessDenied, false); }

  int Fd(Handle file) {
    std::lock_guard lock(mutex_);
    auto it = files_.find(file);
    return it == files_.end() ? -1 : it->second;
  }

  VolumeState& s_;
  std::mutex mutex_;
  std::map<Handle, Find> finds_;
  std::map<Handle, int> files_;
  std::map<Handle, Mapping> mappings_;
  std::map<const uint8_t*, size_t> views_;
  Handle next_ = 0x100;
};

}  // namespace

std::unique_ptr<FileSystem> MakeFileSystem(VolumeState& state) { return std::make_unique<VolumeFiles>(state); }

}  // namespace platform::offline
