// The fake file system: files and folders with contents, attributes, times, version
// information and locks; open handles, finds and read-only mappings over them.
#include <algorithm>
#include <cstring>
#include <functional>
#include <mutex>

#include "platform/fake/facilities.h"

namespace platform::fake {

namespace {

// Windows-style wildcard match, letters compared without case.
bool MatchMask(const std::string& mask, const std::string& name) {
  const std::string m = UpperAscii(mask), n = UpperAscii(name);
  std::function<bool(size_t, size_t)> match = [&](size_t i, size_t j) -> bool {
    while (i < m.size()) {
      if (m[i] == '*') {
        for (size_t k = j; k <= n.size(); ++k) {
          if (match(i + 1, k)) return true;
        }
        return false;
      }
      if (j >= n.size()) return false;
      if (m[i] != '?' && m[i] != n[j]) return false;
      ++i;
      ++j;
    }
    return j == n.size();
  };
  if (match(0, 0)) return true;
  // "*.*" and "name.*" also match names without an extension.
  if (m.size() >= 2 && m.compare(m.size() - 2, 2, ".*") == 0 && n.find('.') == std::string::npos) {
    return MatchMask(mask.substr(0, mask.size() - 2), name);
  }
  return false;
}

bool IsDriveRoot(const std::string& key) { return key.size() == 3 && key[1] == ':'; }

FakeFile NewEntry(const std::string& path, bool directory, uint32_t attributes, FileTime now) {
  FakeFile f;
  f.path = path;
  f.directory = directory;
  f.attributes = attributes;
  f.creationTime = f.lastWriteTime = f.lastAccessTime = now;
  return f;
}

}  // namespace

std::string FileTable::Normalize(const std::string& path) {
  std::string p = path;
  std::replace(p.begin(), p.end(), '/', '\\');
  // Doubled separators collapse, as Windows accepts them.
  std::string out;
  for (size_t i = 0; i < p.size(); ++i) {
    if (p[i] == '\\' && !out.empty() && out.back() == '\\' && i > 1) continue;
    out += p[i];
  }
  while (out.size() > 3 && out.back() == '\\') out.pop_back();
  return out;
}

std::string FileTable::ParentKey(const std::string& key) {
  auto pos = key.find_last_of('\\');
  if (pos == std::string::npos) return "";
  if (pos == 2) return key.substr(0, 3);
  return key.substr(0, pos);
}

std::string FileTable::NameOf(const std::string& path) {
  auto pos = path.find_last_of('\\');
  return pos == std::string::npos ? path : path.substr(pos + 1);
}

FakeFile* FileTable::Find(const std::string& path) {
  const std::string key = Key(path);
  // Wildcards are no part of a name: a name the code page could not hold reads as '?'.
  if (key.find_first_of("?*", key.rfind("\\\\?\\", 0) == 0 ? 4 : 0) != std::string::npos) {
    SetThreadLastError(123);  // ERROR_INVALID_NAME
    return nullptr;
  }
  auto it = files.find(key);
  if (it != files.end()) return &it->second;
  if (anyShortName) {
    const std::string parent = ParentKey(key), name = NameOf(key);
    for (auto& [k, f] : files) {
      if (!f.shortName.empty() && UpperAscii(f.shortName) == name && ParentKey(k) == parent) return &f;
    }
  }
  return nullptr;
}

bool FileTable::HeldWithoutSharing(const std::string& key, uint32_t share) const {
  for (auto& [handle, open] : this->open) {
    if (open.key == key && !(open.share & share)) return true;
  }
  return false;
}

bool FileTable::FolderExists(const std::string& key) const {
  if (IsDriveRoot(key)) return true;
  auto it = files.find(key);
  return it != files.end() && it->second.directory;
}

bool FileTable::CreateDenied(const std::string& key) const {
  for (auto& d : deniedCreate) {
    if (key.rfind(d, 0) == 0) return true;
  }
  return false;
}

uint32_t FileTable::Attributes(const std::string& path) {
  std::string key = Key(path);
  if (IsDriveRoot(key)) return win::kFileAttributeDirectory;
  FakeFile* f = Find(path);
  if (!f) {
    SetThreadLastError(FolderExists(ParentKey(key)) ? win::kErrorFileNotFound : win::kErrorPathNotFound);
    return win::kInvalidFileAttributes;
  }
  return f->directory ? (f->attributes | win::kFileAttributeDirectory) : f->attributes;
}

FakeFile* FileTable::Create(const std::string& path, uint32_t attributes, FileTime now) {
  std::string key = Key(path);
  if (!FolderExists(ParentKey(key))) {
    SetThreadLastError(win::kErrorPathNotFound);
    return nullptr;
  }
  if (CreateDenied(key)) {
    SetThreadLastError(win::kErrorAccessDenied);
    return nullptr;
  }
  files[key] = NewEntry(Normalize(path), false, attributes ? attributes : win::kFileAttributeArchive, now);
  return &files[key];
}

void FileTable::AddFolder(const std::string& path, FileTime now) {
  auto parts = SplitPath(Normalize(path));
  std::string built;
  for (size_t i = 0; i < parts.size(); ++i) {
    built += parts[i];
    if (i > 0 && !files.count(Key(built))) files[Key(built)] = NewEntry(built, true, 0, now);
    built += "\\";
  }
}

FakeFile& FileTable::AddFile(const std::string& path, const std::string& contents, uint32_t attributes,
                             FileTime now) {
  std::string norm = Normalize(path);
  auto pos = norm.find_last_of('\\');
  if (pos != std::string::npos && pos > 2) AddFolder(norm.substr(0, pos), now);
  FakeFile& f = files[Key(norm)] = NewEntry(norm, false, attributes, now);
  f.contents = contents;
  return f;
}

namespace {

class FakeFileSystem final : public FileSystem {
 public:
  explicit FakeFileSystem(MachineState& state) : s_(state), t_(state.files) {}

  Handle FindFirstFile(const std::string& pattern, FindData* data) override {
    std::lock_guard lock(s_.mutex);
    std::string p = pattern;
    std::replace(p.begin(), p.end(), '/', '\\');
    auto pos = p.find_last_of('\\');
    std::string folder = pos == std::string::npos ? "" : p.substr(0, pos + 1);
    std::string mask = pos == std::string::npos ? p : p.substr(pos + 1);
    std::string folderKey = FileTable::Key(folder);
    if (!t_.FolderExists(folderKey)) return FailWith(win::kErrorPathNotFound, kInvalidHandle);
    FindState state;
    if (!IsDriveRoot(folderKey)) {
      for (const char* dot : {".", ".."}) {
        if (MatchMask(mask, dot)) {
          FindData d;
          d.attributes = win::kFileAttributeDirectory;
          d.name = dot;
          state.entries.push_back(d);
        }
      }
    }
    for (auto& [key, f] : t_.files) {
      // The 8.3 name matches too, as on Windows.
      if (FileTable::ParentKey(key) == folderKey &&
          (MatchMask(mask, FileTable::NameOf(f.path)) || (!f.shortName.empty() && MatchMask(mask, f.shortName)))) {
        state.entries.push_back(ToFindData(f));
      }
    }
    if (state.entries.empty()) return FailWith(win::kErrorFileNotFound, kInvalidHandle);
    *data = state.entries[0];
    state.next = 1;
    Handle h = s_.NewHandle();
    t_.finds[h] = std::move(state);
    return h;
  }

  bool FindNextFile(Handle find, FindData* data) override {
    std::lock_guard lock(s_.mutex);
    auto it = t_.finds.find(find);
    if (it == t_.finds.end()) return FailWith(win::kErrorInvalidHandle, false);
    if (it->second.next >= it->second.entries.size()) return FailWith(win::kErrorNoMoreFiles, false);
    *data = it->second.entries[it->second.next++];
    return true;
  }

  void FindClose(Handle find) override {
    std::lock_guard lock(s_.mutex);
    t_.finds.erase(find);
  }

  uint32_t GetFileAttributes(const std::string& path) override {
    std::lock_guard lock(s_.mutex);
    return t_.Attributes(path);
  }

  bool SetFileAttributes(const std::string& path, uint32_t attributes) override {
    std::lock_guard lock(s_.mutex);
    FakeFile* f = t_.Find(path);
    if (!f) return FailWith(win::kErrorFileNotFound, false);
    f->attributes = attributes & ~win::kFileAttributeDirectory;
    if (f->attributes == 0 || attributes == win::kFileAttributeNormal) f->attributes = win::kFileAttributeNormal;
    return true;
  }

  bool CreateDirectory(const std::string& path) override {
    std::lock_guard lock(s_.mutex);
    std::string key = FileTable::Key(path);
    if (t_.files.count(key) || IsDriveRoot(key)) return FailWith(win::kErrorAlreadyExists, false);
    if (!t_.FolderExists(FileTable::ParentKey(key))) return FailWith(win::kErrorPathNotFound, false);
    if (t_.CreateDenied(key)) return FailWith(win::kErrorAccessDenied, false);
    t_.files[key] = NewEntry(FileTable::Normalize(path), true, 0, s_.Now());
    return true;
  }

  // The fake keeps no access lists: what a test needs of the DACL it checks under Wine.
  bool CreatePrivateDirectory(const std::string& path) override { return CreateDirectory(path); }

  bool RemoveDirectory(const std::string& path) override {
    std::lock_guard lock(s_.mutex);
    std::string key = FileTable::Key(path);
    auto it = t_.files.find(key);
    if (it == t_.files.end() || !it->second.directory) return FailWith(win::kErrorFileNotFound, false);
    for (auto& [k, f] : t_.files) {
      if (FileTable::ParentKey(k) == key) return FailWith(win::kErrorDirNotEmpty, false);
    }
    t_.files.erase(it);
    return true;
  }

  bool DeleteFile(const std::string& path) override {
    std::lock_guard lock(s_.mutex);
    FakeFile* f = t_.Find(path);
    if (!f || f->directory) return FailWith(f ? win::kErrorAccessDenied : win::kErrorFileNotFound, false);
    const std::string key = FileTable::Key(f->path);
    if (f->lockedExclusive || t_.HeldWithoutSharing(key, win::kFileShareDelete)) {
      return FailWith(win::kErrorSharingViolation, false);
    }
    if (f->attributes & win::kFileAttributeReadonly) return FailWith(win::kErrorAccessDenied, false);
    t_.files.erase(key);
    return true;
  }

  bool CopyFile(const std::string& from, const std::string& to, bool failIfExists) override {
    std::lock_guard lock(s_.mutex);
    FakeFile* src = t_.Find(from);
    if (!src || src->directory) return FailWith(win::kErrorFileNotFound, false);
    if (src->lockedExclusive) return FailWith(win::kErrorSharingViolation, false);
    std::string key = FileTable::Key(to);
    if (!t_.FolderExists(FileTable::ParentKey(key))) return FailWith(win::kErrorPathNotFound, false);
    if (t_.CreateDenied(key)) return FailWith(win::kErrorAccessDenied, false);
    if (auto it = t_.files.find(key); it != t_.files.end()) {
      if (failIfExists) return FailWith(win::kErrorFileExists, false);
      if (it->second.directory || (it->second.attributes & win::kFileAttributeReadonly)) {
        return FailWith(win::kErrorAccessDenied, false);
      }
    }
    FakeFile copy = *src;
    copy.path = FileTable::Normalize(to);
    t_.files[key] = copy;
    return true;
  }

  bool MoveFileEx(const std::string& from, const std::string& to, uint32_t flags) override {
    std::lock_guard lock(s_.mutex);
    FakeFile* src = t_.Find(from);
    if (!src || src->directory) return FailWith(win::kErrorFileNotFound, false);
    const std::string fromKey = FileTable::Key(src->path);
    const std::string key = FileTable::Key(to);
    if (src->lockedExclusive || t_.HeldWithoutSharing(fromKey, win::kFileShareDelete) ||
        t_.HeldWithoutSharing(key, win::kFileShareDelete)) {
      return FailWith(win::kErrorSharingViolation, false);
    }
    if (key == fromKey) return true;
    if (!t_.FolderExists(FileTable::ParentKey(key))) return FailWith(win::kErrorPathNotFound, false);
    if (t_.CreateDenied(key)) return FailWith(win::kErrorAccessDenied, false);
    if (auto it = t_.files.find(key); it != t_.files.end()) {
      if (!(flags & win::kMoveFileReplaceExisting)) return FailWith(win::kErrorAlreadyExists, false);
      if (it->second.directory || it->second.lockedExclusive || (it->second.attributes & win::kFileAttributeReadonly)) {
        return FailWith(win::kErrorAccessDenied, false);
      }
    }
    FakeFile moved = *src;
    moved.path = FileTable::Normalize(to);
    t_.files.erase(fromKey);
    t_.files[key] = moved;
    return true;
  }

  Handle CreateFile(const std::string& path, uint32_t access, uint32_t share, uint32_t disposition,
                    uint32_t attributes) override {
    std::lock_guard lock(s_.mutex);
    FakeFile* f = t_.Find(path);
    if (!f && t_.FolderExists(FileTable::Key(path)) && (attributes & win::kFileFlagBackupSemantics)) {
      return FailWith(win::kErrorAccessDenied, kInvalidHandle);  // a drive root
    }
    std::string key = f ? FileTable::Key(f->path) : FileTable::Key(path);
    // A folder opens only with backup semantics, for its information.
    if (f && f->directory && !(attributes & win::kFileFlagBackupSemantics)) {
      return FailWith(win::kErrorAccessDenied, kInvalidHandle);
    }
    if (f && f->directory) {
      if (disposition != win::kOpenExisting && disposition != win::kOpenAlways) {
        return FailWith(win::kErrorAccessDenied, kInvalidHandle);
      }
      Handle h = s_.NewHandle();
      t_.open[h] = OpenFile{key, 0, 0, share};
      return h;
    }
    if (f && f->lockedExclusive) return FailWith(win::kErrorSharingViolation, kInvalidHandle);
    bool writes = access & (win::kGenericWrite | win::kFileAppendData);
    if (f && writes && (f->attributes & win::kFileAttributeReadonly)) {
      return FailWith(win::kErrorAccessDenied, kInvalidHandle);
    }
    if (!f) {
      if (disposition == win::kOpenExisting) {
        return FailWith(t_.FolderExists(FileTable::ParentKey(key)) ? win::kErrorFileNotFound
                                                                   : win::kErrorPathNotFound,
                        kInvalidHandle);
      }
      if (!t_.Create(path, attributes, s_.Now())) return kInvalidHandle;
    } else if (disposition == win::kCreateNew) {
      return FailWith(win::kErrorFileExists, kInvalidHandle);
    } else if (disposition == win::kCreateAlways) {
      f->contents.clear();
    }
    Handle h = s_.NewHandle();
    t_.open[h] = OpenFile{key, 0, access, share};
    return h;
  }

  Handle CreatePrivateFile(const std::string& path) override {
    std::lock_guard lock(s_.mutex);
    if (t_.Find(path)) return FailWith(win::kErrorFileExists, kInvalidHandle);
    FakeFile* f = t_.Create(path, win::kFileAttributeNormal, s_.Now());
    if (!f) return kInvalidHandle;
    f->privateToAdmins = true;
    Handle h = s_.NewHandle();
    t_.open[h] = OpenFile{FileTable::Key(path), 0, win::kGenericRead | win::kGenericWrite,
                          win::kFileShareRead | win::kFileShareWrite};
    return h;
  }

  bool FlushFileBuffers(Handle file) override {
    std::lock_guard lock(s_.mutex);
    return t_.open.count(file) ? true : FailWith(win::kErrorInvalidHandle, false);
  }

  bool GetFileAttributesByHandle(Handle file, uint32_t* attributes) override {
    std::lock_guard lock(s_.mutex);
    auto it = t_.open.find(file);
    if (it == t_.open.end()) return FailWith(win::kErrorInvalidHandle, false);
    auto f = t_.files.find(it->second.key);
    if (f == t_.files.end()) return FailWith(win::kErrorFileNotFound, false);
    *attributes = f->second.directory ? (f->second.attributes | win::kFileAttributeDirectory) : f->second.attributes;
    return true;
  }

  bool ReadFile(Handle file, void* buffer, uint32_t size, uint32_t* read) override {
    std::lock_guard lock(s_.mutex);
    auto it = t_.open.find(file);
    if (it == t_.open.end()) return FailWith(win::kErrorInvalidHandle, false);
    if (!(it->second.access & win::kGenericRead)) return FailWith(win::kErrorAccessDenied, false);
    auto f = t_.files.find(it->second.key);
    if (f == t_.files.end()) {
      *read = 0;
      return true;
    }
    const std::string& c = f->second.contents;
    uint64_t pos = std::min<uint64_t>(it->second.position, c.size());
    uint32_t n = static_cast<uint32_t>(std::min<uint64_t>(size, c.size() - pos));
    std::memcpy(buffer, c.data() + pos, n);
    it->second.position = pos + n;
    *read = n;
    return true;
  }

  bool WriteFile(Handle file, const void* buffer, uint32_t size, uint32_t* written) override {
    std::lock_guard lock(s_.mutex);
    auto it = t_.open.find(file);
    if (it == t_.open.end()) return FailWith(win::kErrorInvalidHandle, false);
    if (!(it->second.access & (win::kGenericWrite | win::kFileAppendData))) {
      return FailWith(win::kErrorAccessDenied, false);
    }
    auto f = t_.files.find(it->second.key);
    if (f == t_.files.end()) return FailWith(win::kErrorInvalidHandle, false);
    std::string& c = f->second.contents;
    uint64_t pos = (it->second.access & win::kGenericWrite) ? it->second.position : c.size();
    if (pos > c.size()) c.resize(pos, '\0');
    c.replace(pos, std::min<uint64_t>(size, c.size() - pos), static_cast<const char*>(buffer), size);
    it->second.position = pos + size;
    f->second.lastWriteTime = s_.Now();
    *written = size;
    return true;
  }

  bool SetFilePointer(Handle file, int64_t distance, uint32_t method, uint64_t* position) override {
    std::lock_guard lock(s_.mutex);
    auto it = t_.open.find(file);
    if (it == t_.open.end()) return FailWith(win::kErrorInvalidHandle, false);
    int64_t base = 0;
    if (method == win::kFileCurrent) base = static_cast<int64_t>(it->second.position);
    if (method == win::kFileEnd) base = static_cast<int64_t>(t_.files[it->second.key].contents.size());
    if (base + distance < 0) return FailWith(win::kErrorInvalidParameter, false);
    it->second.position = static_cast<uint64_t>(base + distance);
    if (position) *position = it->second.position;
    return true;
  }

  bool GetFileSize(Handle file, uint64_t* size) override {
    std::lock_guard lock(s_.mutex);
    auto it = t_.open.find(file);
    if (it == t_.open.end()) return FailWith(win::kErrorInvalidHandle, false);
    *size = t_.files[it->second.key].contents.size();
    return true;
  }

  bool GetFileTime(Handle file, FileTime* creation, FileTime* access, FileTime* write) override {
    std::lock_guard lock(s_.mutex);
    auto it = t_.open.find(file);
    if (it == t_.open.end()) return FailWith(win::kErrorInvalidHandle, false);
    const FakeFile& f = t_.files[it->second.key];
    if (creation) *creation = f.creationTime;
    if (access) *access = f.lastAccessTime;
    if (write) *write = f.lastWriteTime;
    return true;
  }

  bool CloseHandle(Handle file) override {
    std::lock_guard lock(s_.mutex);
    if (t_.open.erase(file) || t_.mappings.erase(file)) return true;
    return FailWith(win::kErrorInvalidHandle, false);
  }

  Handle CreateFileMapping(Handle file) override {
    std::lock_guard lock(s_.mutex);
    auto it = t_.open.find(file);
    if (it == t_.open.end()) return FailWith(win::kErrorInvalidHandle, kNoHandle);
    if (t_.files[it->second.key].contents.empty()) return FailWith(1006, kNoHandle);  // ERROR_FILE_INVALID
    Handle h = s_.NewHandle();
    t_.mappings[h] = it->second.key;
    return h;
  }

  const uint8_t* MapViewOfFile(Handle mapping, uint64_t offset, size_t length) override {
    std::lock_guard lock(s_.mutex);
    auto it = t_.mappings.find(mapping);
    if (it == t_.mappings.end() || offset % s_.system.allocationGranularity != 0) {
      return FailWith(win::kErrorInvalidParameter, nullptr);
    }
    const std::string& c = t_.files[it->second].contents;
    if (offset > c.size() || length > c.size() - offset) return FailWith(win::kErrorNotEnoughMemory, nullptr);
    const size_t n = length == 0 ? c.size() - offset : length;  // 0 maps to the end
    auto bytes = std::make_unique<std::vector<uint8_t>>(c.begin() + offset, c.begin() + offset + n);
    bytes->push_back(0);  // never a zero-sized buffer
    const uint8_t* view = bytes->data();
    t_.views[view] = std::move(bytes);
    return view;
  }

  void UnmapViewOfFile(const uint8_t* view) override {
    std::lock_guard lock(s_.mutex);
    t_.views.erase(view);
  }

  // Version information as this fake encodes it: "BSVI", company, NUL, product version, NUL.
  bool GetFileVersionInfo(const std::string& path, std::vector<uint8_t>* data) override {
    std::lock_guard lock(s_.mutex);
    FakeFile* f = t_.Find(path);
    if (!f || !f->version) return false;
    std::string blob = "BSVI" + f->version->companyName + '\0' + f->version->productVersion + '\0';
    data->assign(blob.begin(), blob.end());
    return true;
  }

  bool VerQueryTranslation(const std::vector<uint8_t>& data, uint16_t* language, uint16_t* codePage) override {
    if (!IsVersionBlob(data)) return false;
    *language = 0x0409;
    *codePage = 0x04B0;
    return true;
  }

  std::optional<std::string> VerQueryString(const std::vector<uint8_t>& data, const std::string& subBlock) override {
    if (!IsVersionBlob(data)) return std::nullopt;
    if (UpperAscii(subBlock).rfind("\\STRINGFILEINFO\\040904B0\\", 0) != 0) return std::nullopt;
    std::string blob(data.begin() + 4, data.end());
    std::string company = blob.substr(0, blob.find('\0'));
    std::string rest = blob.substr(company.size() + 1);
    std::string product = rest.substr(0, rest.find('\0'));
    std::string field = subBlock.substr(subBlock.find_last_of('\\') + 1);
    if (field == "CompanyName") return company;
    if (field == "ProductVersion") return product;
    return std::nullopt;
  }

 private:
  template <typename T>
  static T FailWith(uint32_t code, T result) {
    SetThreadLastError(code);
    return result;
  }

  static bool IsVersionBlob(const std::vector<uint8_t>& data) {
    return data.size() >= 4 && std::memcmp(data.data(), "BSVI", 4) == 0;
  }

  static FindData ToFindData(const FakeFile& f) {
    FindData d;
    d.attributes = f.directory ? (f.attributes | win::kFileAttributeDirectory) : f.attributes;
    d.creationTime = f.creationTime;
    d.lastAccessTime = f.lastAccessTime;
    d.lastWriteTime = f.lastWriteTime;
    d.size = f.directory ? 0 : f.contents.size();
    d.name = FileTable::NameOf(f.path);
    d.shortName = f.shortName;
    return d;
  }

  MachineState& s_;
  FileTable& t_;
};

}  // namespace

std::unique_ptr<FileSystem> MakeFileSystem(MachineState& state) { return std::make_unique<FakeFileSystem>(state); }

}  // namespace platform::fake
