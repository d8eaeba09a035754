#include "platform/fake/fake_machine.h"

#include <algorithm>
#include <cctype>
#include <atomic>
#include <cstring>
#include <mutex>
#include <sstream>
#include <thread>

namespace platform::fake {

std::string UpperAscii(std::string text) {
  for (char& c : text) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return text;
}

namespace {

thread_local uint32_t t_lastError = 0;

bool EqualNoCase(const std::string& a, const std::string& b) { return UpperAscii(a) == UpperAscii(b); }

std::vector<std::string> SplitPath(const std::string& path) {
  std::vector<std::string> parts;
  std::string part;
  for (char c : path) {
    if (c == '\\') {
      if (!part.empty()) parts.push_back(part);
      part.clear();
    } else {
      part += c;
    }
  }
  if (!part.empty()) parts.push_back(part);
  return parts;
}

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

}  // namespace

// ---------------------------------------------------------------------------------------------
// Registry model

struct RegNode {
  std::string name;
  std::vector<std::shared_ptr<RegNode>> children;  // creation order
  std::vector<std::pair<std::string, RegValue>> values;  // creation order
  bool deleted = false;
  bool denied = false;

  std::shared_ptr<RegNode> Child(const std::string& n) {
    for (auto& c : children) {
      if (EqualNoCase(c->name, n)) return c;
    }
    return nullptr;
  }
  RegValue* Value(const std::string& n) {
    for (auto& v : values) {
      if (EqualNoCase(v.first, n)) return &v.second;
    }
    return nullptr;
  }
  std::vector<std::shared_ptr<RegNode>> SortedChildren() const {
    auto sorted = children;
    std::stable_sort(sorted.begin(), sorted.end(),
                     [](auto& a, auto& b) { return UpperAscii(a->name) < UpperAscii(b->name); });
    return sorted;
  }
};

struct OpenFile {
  std::string key;  // upper-case path
  uint64_t position = 0;
  uint32_t access = 0;
};

struct FindState {
  std::vector<FindData> entries;
  size_t next = 0;
};

struct ThreadState {
  std::atomic<bool> done{false};
  std::atomic<uint32_t> exitCode{win::kStillActive};
  std::unique_ptr<Thread> thread;
};

struct Machine::Impl : Registry, System, Shell, Clipboard, Ui {
  Machine& m;
  std::map<RegKey, std::shared_ptr<RegNode>> roots;
  std::map<RegKey, std::shared_ptr<RegNode>> keys;
  RegKey nextKey = 0x1000;
  std::map<std::string, FakeFile> files;  // by upper-case normalised path
  std::vector<std::string> deniedCreate;
  std::map<Handle, OpenFile> openFiles;
  std::map<Handle, FindState> finds;
  std::map<Handle, uint32_t> processHandles;
  std::map<Handle, std::shared_ptr<ThreadState>> threads;
  std::map<uint32_t, FakeProcess> processes;  // by pid, snapshot in pid order of insertion below
  std::map<Handle, std::string> mappings;      // mapping handle -> upper-case file key
  std::map<const uint8_t*, std::unique_ptr<std::vector<uint8_t>>> views;  // kept until unmapped
  std::vector<FakeService> services;            // in creation order
  std::map<Handle, std::string> serviceHandles;  // "" for the manager, else the service name
  std::vector<uint32_t> processOrder;
  Handle nextHandle = 0x100;

  explicit Impl(Machine& machine) : m(machine) {
    for (RegKey root : {kHkeyCurrentUser, kHkeyLocalMachine, kHkeyUsers, kHkeyCurrentConfig,
                        kHkeyPerformanceData, kHkeyDynData}) {
      roots[root] = std::make_shared<RegNode>();
    }
    // HKEY_CLASSES_ROOT shows HKLM\SOFTWARE\Classes.
    roots[kHkeyClassesRoot] = Walk(roots[kHkeyLocalMachine], "SOFTWARE\\Classes", true);
  }

  ~Impl() override {
    for (auto& [h, t] : threads) {
      if (t->thread && t->thread->Joinable()) t->thread->Join();
    }
  }

  static std::shared_ptr<RegNode> Walk(std::shared_ptr<RegNode> from, const std::string& path, bool create) {
    auto node = from;
    for (const auto& part : SplitPath(path)) {
      auto child = node->Child(part);
      if (!child) {
        if (!create) return nullptr;
        child = std::make_shared<RegNode>();
        child->name = part;
        node->children.push_back(child);
      }
      node = child;
    }
    return node;
  }

  std::shared_ptr<RegNode> NodeOf(RegKey key) {
    auto r = roots.find(key);
    if (r != roots.end()) return r->second;
    auto k = keys.find(key);
    if (k == keys.end() || k->second->deleted) return nullptr;
    return k->second;
  }

  // Why NodeOf found nothing: a handle whose key was deleted meanwhile, or no handle at all.
  uint32_t HandleError(RegKey key) {
    auto k = keys.find(key);
    return k != keys.end() && k->second->deleted ? win::kErrorKeyDeleted : win::kErrorInvalidHandle;
  }

  uint32_t Fail(uint32_t code) {
    t_lastError = code;
    return code;
  }

  // --- Registry ---
  uint32_t OpenKey(RegKey parent, const std::string& subKey, uint32_t, RegKey* out) override {
    std::lock_guard lock(m.mutex);
    auto from = NodeOf(parent);
    if (!from) return Fail(HandleError(parent));
    auto node = Walk(from, subKey, false);
    if (!node) return Fail(win::kErrorFileNotFound);
    if (node->denied) return Fail(win::kErrorAccessDenied);
    *out = nextKey++;
    keys[*out] = node;
    return 0;
  }
  uint32_t CreateKey(RegKey parent, const std::string& subKey, uint32_t, RegKey* out) override {
    std::lock_guard lock(m.mutex);
    auto from = NodeOf(parent);
    if (!from) return Fail(HandleError(parent));
    auto node = Walk(from, subKey, true);
    if (node->denied) return Fail(win::kErrorAccessDenied);
    *out = nextKey++;
    keys[*out] = node;
    return 0;
  }
  uint32_t CloseKey(RegKey key) override {
    std::lock_guard lock(m.mutex);
    if (roots.count(key)) return 0;
    return keys.erase(key) ? 0 : Fail(win::kErrorInvalidHandle);
  }
  uint32_t QueryValue(RegKey key, const std::string& name, uint32_t* type, std::vector<uint8_t>* data) override {
    std::lock_guard lock(m.mutex);
    auto node = NodeOf(key);
    if (!node) return Fail(HandleError(key));
    RegValue* v = node->Value(name);
    if (!v) return Fail(win::kErrorFileNotFound);
    if (type) *type = v->type;
    if (data) *data = v->data;
    return 0;
  }
  uint32_t SetValue(RegKey key, const std::string& name, uint32_t type, const void* data, uint32_t size) override {
    std::lock_guard lock(m.mutex);
    auto node = NodeOf(key);
    if (!node) return Fail(HandleError(key));
    RegValue value{type, std::vector<uint8_t>(static_cast<const uint8_t*>(data),
                                              static_cast<const uint8_t*>(data) + size)};
    if (RegValue* v = node->Value(name)) {
      *v = value;
    } else {
      node->values.emplace_back(name, value);
    }
    return 0;
  }
  uint32_t EnumValue(RegKey key, uint32_t index, std::string* name) override {
    std::lock_guard lock(m.mutex);
    auto node = NodeOf(key);
    if (!node) return Fail(HandleError(key));
    if (index >= node->values.size()) return Fail(win::kErrorNoMoreItems);
    *name = node->values[index].first;
    return 0;
  }
  uint32_t EnumKey(RegKey key, uint32_t index, std::string* name) override {
    std::lock_guard lock(m.mutex);
    auto node = NodeOf(key);
    if (!node) return Fail(HandleError(key));
    auto sorted = node->SortedChildren();
    if (index >= sorted.size()) return Fail(win::kErrorNoMoreItems);
    *name = sorted[index]->name;
    return 0;
  }
  uint32_t QueryInfoKey(RegKey key, uint32_t* subKeys, uint32_t* values) override {
    std::lock_guard lock(m.mutex);
    auto node = NodeOf(key);
    if (!node) return Fail(HandleError(key));
    if (subKeys) *subKeys = static_cast<uint32_t>(node->children.size());
    if (values) *values = static_cast<uint32_t>(node->values.size());
    return 0;
  }
  uint32_t DeleteValue(RegKey key, const std::string& name) override {
    std::lock_guard lock(m.mutex);
    auto node = NodeOf(key);
    if (!node) return Fail(HandleError(key));
    for (auto it = node->values.begin(); it != node->values.end(); ++it) {
      if (EqualNoCase(it->first, name)) {
        node->values.erase(it);
        return 0;
      }
    }
    return Fail(win::kErrorFileNotFound);
  }
  uint32_t DeleteKey(RegKey parent, const std::string& subKey) override {
    std::lock_guard lock(m.mutex);
    auto from = NodeOf(parent);
    if (!from) return Fail(HandleError(parent));
    auto parts = SplitPath(subKey);
    if (parts.empty()) return Fail(win::kErrorAccessDenied);
    auto last = parts.back();
    parts.pop_back();
    auto holder = from;
    for (auto& p : parts) {
      holder = holder->Child(p);
      if (!holder) return Fail(win::kErrorFileNotFound);
    }
    auto node = holder->Child(last);
    if (!node) return Fail(win::kErrorFileNotFound);
    if (node->denied) return Fail(win::kErrorAccessDenied);
    if (!node->children.empty()) return Fail(win::kErrorAccessDenied);
    node->deleted = true;
    holder->children.erase(std::find(holder->children.begin(), holder->children.end(), node));
    return 0;
  }

  // --- Files ---
  static std::string Normalize(const std::string& path) {
    std::string p = path;
    std::replace(p.begin(), p.end(), '/', '\\');
    // collapse doubled separators (Windows accepts them)
    std::string out;
    for (size_t i = 0; i < p.size(); ++i) {
      if (p[i] == '\\' && !out.empty() && out.back() == '\\' && i > 1) continue;
      out += p[i];
    }
    while (out.size() > 3 && out.back() == '\\') out.pop_back();
    return out;
  }
  static std::string Key(const std::string& path) { return UpperAscii(Normalize(path)); }
  static std::string ParentKey(const std::string& key) {
    auto pos = key.find_last_of('\\');
    if (pos == std::string::npos) return "";
    if (pos == 2) return key.substr(0, 3);
    return key.substr(0, pos);
  }
  static std::string NameOf(const std::string& path) {
    auto pos = path.find_last_of('\\');
    return pos == std::string::npos ? path : path.substr(pos + 1);
  }
  FakeFile* Find(const std::string& path) {
    auto it = files.find(Key(path));
    return it == files.end() ? nullptr : &it->second;
  }
  bool FolderExists(const std::string& key) {
    if (key.size() == 3 && key[1] == ':') return true;  // drive roots
    auto it = files.find(key);
    return it != files.end() && it->second.directory;
  }
  bool CreateDenied(const std::string& key) {
    for (auto& d : deniedCreate) {
      if (key.rfind(d, 0) == 0) return true;
    }
    return false;
  }
  FindData ToFindData(const FakeFile& f) {
    FindData d;
    d.attributes = f.directory ? (f.attributes | win::kFileAttributeDirectory) : f.attributes;
    d.creationTime = f.creationTime;
    d.lastAccessTime = f.lastAccessTime;
    d.lastWriteTime = f.lastWriteTime;
    d.size = f.directory ? 0 : f.contents.size();
    d.name = NameOf(f.path);
    return d;
  }

  Handle FindFirstFile(const std::string& pattern, FindData* data) {
    std::lock_guard lock(m.mutex);
    std::string p = pattern;
    std::replace(p.begin(), p.end(), '/', '\\');
    auto pos = p.find_last_of('\\');
    std::string folder = pos == std::string::npos ? "" : p.substr(0, pos + 1);
    std::string mask = pos == std::string::npos ? p : p.substr(pos + 1);
    std::string folderKey = Key(folder);
    if (!FolderExists(folderKey)) {
      t_lastError = win::kErrorPathNotFound;
      return kInvalidHandle;
    }
    FindState state;
    bool isRoot = folderKey.size() == 3;
    if (!isRoot) {
      for (const char* dot : {".", ".."}) {
        if (MatchMask(mask, dot)) {
          FindData d;
          d.attributes = win::kFileAttributeDirectory;
          d.name = dot;
          state.entries.push_back(d);
        }
      }
    }
    for (auto& [key, f] : files) {
      if (ParentKey(key) != folderKey) continue;
      if (MatchMask(mask, NameOf(f.path))) state.entries.push_back(ToFindData(f));
    }
    if (state.entries.empty()) {
      t_lastError = win::kErrorFileNotFound;
      return kInvalidHandle;
    }
    *data = state.entries[0];
    state.next = 1;
    Handle h = nextHandle++;
    finds[h] = std::move(state);
    return h;
  }
  bool FindNextFile(Handle find, FindData* data) {
    std::lock_guard lock(m.mutex);
    auto it = finds.find(find);
    if (it == finds.end()) {
      t_lastError = win::kErrorInvalidHandle;
      return false;
    }
    if (it->second.next >= it->second.entries.size()) {
      t_lastError = win::kErrorNoMoreFiles;
      return false;
    }
    *data = it->second.entries[it->second.next++];
    return true;
  }
  void FindClose(Handle find) {
    std::lock_guard lock(m.mutex);
    finds.erase(find);
  }
  uint32_t GetFileAttributes(const std::string& path) {
    std::lock_guard lock(m.mutex);
    std::string key = Key(path);
    if (key.size() == 3 && key[1] == ':') return win::kFileAttributeDirectory;
    FakeFile* f = Find(path);
    if (!f) {
      t_lastError = FolderExists(ParentKey(key)) ? win::kErrorFileNotFound : win::kErrorPathNotFound;
      return win::kInvalidFileAttributes;
    }
    return f->directory ? (f->attributes | win::kFileAttributeDirectory) : f->attributes;
  }
  bool SetFileAttributes(const std::string& path, uint32_t attributes) {
    std::lock_guard lock(m.mutex);
    FakeFile* f = Find(path);
    if (!f) {
      t_lastError = win::kErrorFileNotFound;
      return false;
    }
    f->attributes = attributes & ~win::kFileAttributeDirectory;
    if (f->attributes == 0 || attributes == win::kFileAttributeNormal) f->attributes = win::kFileAttributeNormal;
    return true;
  }
  bool CreateDirectory(const std::string& path) {
    std::lock_guard lock(m.mutex);
    std::string key = Key(path);
    if (files.count(key) || (key.size() == 3 && key[1] == ':')) {
      t_lastError = win::kErrorAlreadyExists;
      return false;
    }
    if (!FolderExists(ParentKey(key))) {
      t_lastError = win::kErrorPathNotFound;
      return false;
    }
    if (CreateDenied(key)) {
      t_lastError = win::kErrorAccessDenied;
      return false;
    }
    FakeFile f;
    f.path = Normalize(path);
    f.directory = true;
    f.attributes = 0;
    f.creationTime = f.lastWriteTime = f.lastAccessTime = NowFileTime();
    files[key] = f;
    return true;
  }
  bool RemoveDirectory(const std::string& path) {
    std::lock_guard lock(m.mutex);
    std::string key = Key(path);
    auto it = files.find(key);
    if (it == files.end() || !it->second.directory) {
      t_lastError = win::kErrorFileNotFound;
      return false;
    }
    for (auto& [k, f] : files) {
      if (ParentKey(k) == key) {
        t_lastError = win::kErrorDirNotEmpty;
        return false;
      }
    }
    files.erase(it);
    return true;
  }
  bool DeleteFile(const std::string& path) {
    std::lock_guard lock(m.mutex);
    FakeFile* f = Find(path);
    if (!f || f->directory) {
      t_lastError = f ? win::kErrorAccessDenied : win::kErrorFileNotFound;
      return false;
    }
    if ((f->attributes & win::kFileAttributeReadonly) || f->lockedExclusive) {
      t_lastError = f->lockedExclusive ? win::kErrorSharingViolation : win::kErrorAccessDenied;
      return false;
    }
    files.erase(Key(path));
    return true;
  }
  bool CopyFile(const std::string& from, const std::string& to, bool failIfExists) {
    std::lock_guard lock(m.mutex);
    FakeFile* src = Find(from);
    if (!src || src->directory) {
      t_lastError = win::kErrorFileNotFound;
      return false;
    }
    if (src->lockedExclusive) {
      t_lastError = win::kErrorSharingViolation;
      return false;
    }
    std::string key = Key(to);
    if (!FolderExists(ParentKey(key))) {
      t_lastError = win::kErrorPathNotFound;
      return false;
    }
    if (CreateDenied(key)) {
      t_lastError = win::kErrorAccessDenied;
      return false;
    }
    if (auto it = files.find(key); it != files.end()) {
      if (failIfExists) {
        t_lastError = win::kErrorFileExists;
        return false;
      }
      if (it->second.directory || (it->second.attributes & win::kFileAttributeReadonly)) {
        t_lastError = win::kErrorAccessDenied;
        return false;
      }
    }
    FakeFile copy = *src;
    copy.path = Normalize(to);
    files[key] = copy;
    return true;
  }
  Handle CreateFile(const std::string& path, uint32_t access, uint32_t share, uint32_t disposition,
                    uint32_t attributes) {
    std::lock_guard lock(m.mutex);
    std::string key = Key(path);
    FakeFile* f = Find(path);
    if (f && f->directory) {
      t_lastError = win::kErrorAccessDenied;
      return kInvalidHandle;
    }
    if (f && f->lockedExclusive) {
      t_lastError = win::kErrorSharingViolation;
      return kInvalidHandle;
    }
    bool writes = access & (win::kGenericWrite | win::kFileAppendData);
    if (f && writes && (f->attributes & win::kFileAttributeReadonly)) {
      t_lastError = win::kErrorAccessDenied;
      return kInvalidHandle;
    }
    if (!f) {
      if (disposition == win::kOpenExisting) {
        t_lastError = FolderExists(ParentKey(key)) ? win::kErrorFileNotFound : win::kErrorPathNotFound;
        return kInvalidHandle;
      }
      if (!FolderExists(ParentKey(key))) {
        t_lastError = win::kErrorPathNotFound;
        return kInvalidHandle;
      }
      if (CreateDenied(key)) {
        t_lastError = win::kErrorAccessDenied;
        return kInvalidHandle;
      }
      FakeFile nf;
      nf.path = Normalize(path);
      nf.attributes = attributes ? attributes : win::kFileAttributeArchive;
      nf.creationTime = nf.lastWriteTime = nf.lastAccessTime = NowFileTime();
      files[key] = nf;
      f = &files[key];
    } else if (disposition == win::kCreateNew) {
      t_lastError = win::kErrorFileExists;
      return kInvalidHandle;
    } else if (disposition == win::kCreateAlways) {
      f->contents.clear();
    }
    Handle h = nextHandle++;
    openFiles[h] = OpenFile{key, 0, access};
    return h;
  }
  bool ReadFile(Handle file, void* buffer, uint32_t size, uint32_t* read) {
    std::lock_guard lock(m.mutex);
    auto it = openFiles.find(file);
    if (it == openFiles.end() || !(it->second.access & win::kGenericRead)) {
      t_lastError = it == openFiles.end() ? win::kErrorInvalidHandle : win::kErrorAccessDenied;
      return false;
    }
    auto f = files.find(it->second.key);
    if (f == files.end()) {
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
  bool WriteFile(Handle file, const void* buffer, uint32_t size, uint32_t* written) {
    std::lock_guard lock(m.mutex);
    auto it = openFiles.find(file);
    if (it == openFiles.end() || !(it->second.access & (win::kGenericWrite | win::kFileAppendData))) {
      t_lastError = it == openFiles.end() ? win::kErrorInvalidHandle : win::kErrorAccessDenied;
      return false;
    }
    auto f = files.find(it->second.key);
    if (f == files.end()) {
      t_lastError = win::kErrorInvalidHandle;
      return false;
    }
    std::string& c = f->second.contents;
    uint64_t pos = (it->second.access & win::kGenericWrite) ? it->second.position : c.size();
    if (pos > c.size()) c.resize(pos, '\0');
    c.replace(pos, std::min<uint64_t>(size, c.size() - pos), static_cast<const char*>(buffer), size);
    it->second.position = pos + size;
    f->second.lastWriteTime = NowFileTime();
    *written = size;
    return true;
  }
  bool SetFilePointer(Handle file, int64_t distance, uint32_t method, uint64_t* position) {
    std::lock_guard lock(m.mutex);
    auto it = openFiles.find(file);
    if (it == openFiles.end()) {
      t_lastError = win::kErrorInvalidHandle;
      return false;
    }
    int64_t base = 0;
    if (method == win::kFileCurrent) base = static_cast<int64_t>(it->second.position);
    if (method == win::kFileEnd) base = static_cast<int64_t>(files[it->second.key].contents.size());
    if (base + distance < 0) {
      t_lastError = win::kErrorInvalidParameter;
      return false;
    }
    it->second.position = static_cast<uint64_t>(base + distance);
    if (position) *position = it->second.position;
    return true;
  }
  bool GetFileSize(Handle file, uint64_t* size) {
    std::lock_guard lock(m.mutex);
    auto it = openFiles.find(file);
    if (it == openFiles.end()) {
      t_lastError = win::kErrorInvalidHandle;
      return false;
    }
    *size = files[it->second.key].contents.size();
    return true;
  }
  bool GetFileTime(Handle file, FileTime* creation, FileTime* access, FileTime* write) {
    std::lock_guard lock(m.mutex);
    auto it = openFiles.find(file);
    if (it == openFiles.end()) {
      t_lastError = win::kErrorInvalidHandle;
      return false;
    }
    const FakeFile& f = files[it->second.key];
    if (creation) *creation = f.creationTime;
    if (access) *access = f.lastAccessTime;
    if (write) *write = f.lastWriteTime;
    return true;
  }
  bool CloseFile(Handle file) {
    std::lock_guard lock(m.mutex);
    if (openFiles.erase(file) || mappings.erase(file)) return true;
    t_lastError = win::kErrorInvalidHandle;
    return false;
  }

  Handle CreateFileMapping(Handle file) {
    std::lock_guard lock(m.mutex);
    auto it = openFiles.find(file);
    if (it == openFiles.end()) {
      t_lastError = win::kErrorInvalidHandle;
      return kNoHandle;
    }
    if (files[it->second.key].contents.empty()) {
      t_lastError = 1006;  // ERROR_FILE_INVALID: an empty file cannot be mapped
      return kNoHandle;
    }
    Handle h = nextHandle++;
    mappings[h] = it->second.key;
    return h;
  }
  const uint8_t* MapViewOfFile(Handle mapping, uint64_t offset, size_t length) {
    std::lock_guard lock(m.mutex);
    auto it = mappings.find(mapping);
    if (it == mappings.end() || offset % m.allocationGranularity != 0) {
      t_lastError = win::kErrorInvalidParameter;
      return nullptr;
    }
    const std::string& c = files[it->second].contents;
    if (offset > c.size() || length > c.size() - offset) {
      t_lastError = 8;  // ERROR_NOT_ENOUGH_MEMORY
      return nullptr;
    }
    const size_t n = length == 0 ? c.size() - offset : length;  // 0 maps to the end
    auto bytes = std::make_unique<std::vector<uint8_t>>(c.begin() + offset, c.begin() + offset + n);
    bytes->push_back(0);  // never a zero-sized buffer
    const uint8_t* view = bytes->data();
    views[view] = std::move(bytes);
    return view;
  }
  void UnmapViewOfFile(const uint8_t* view) {
    std::lock_guard lock(m.mutex);
    views.erase(view);
  }

  // Version information as this fake encodes it: "BSVI", company, NUL, product version, NUL.
  bool GetFileVersionInfo(const std::string& path, std::vector<uint8_t>* data) {
    std::lock_guard lock(m.mutex);
    FakeFile* f = Find(path);
    if (!f || !f->version) return false;
    std::string blob = "BSVI" + f->version->companyName + '\0' + f->version->productVersion + '\0';
    data->assign(blob.begin(), blob.end());
    return true;
  }
  bool VerQueryTranslation(const std::vector<uint8_t>& data, uint16_t* language, uint16_t* codePage) {
    if (data.size() < 4 || std::memcmp(data.data(), "BSVI", 4) != 0) return false;
    *language = 0x0409;
    *codePage = 0x04B0;
    return true;
  }
  std::optional<std::string> VerQueryString(const std::vector<uint8_t>& data, const std::string& subBlock) {
    if (data.size() < 4 || std::memcmp(data.data(), "BSVI", 4) != 0) return std::nullopt;
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

  FileTime NowFileTime() {
    // The machine's local clock read as a FILETIME (good enough for ordering in tests).
    const LocalTime& t = m.now;
    int64_t days = 0;
    int y = t.year, mo = t.month;
    // days from 1601-01-01 (civil-from-days inverse)
    y -= mo <= 2;
    int64_t era = (y >= 0 ? y : y - 399) / 400;
    int64_t yoe = y - era * 400;
    int64_t doy = (153 * (mo + (mo > 2 ? -3 : 9)) + 2) / 5 + t.day - 1;
    int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    days = era * 146097 + doe - 719468;  // days since 1970-01-01
    days += 134774;                       // 1601 -> 1970
    int64_t secs = days * 86400 + t.hour * 3600 + t.minute * 60 + t.second;
    return static_cast<FileTime>(secs) * 10000000ULL;
  }

  // --- System ---
  uint32_t GetLastError() override { return t_lastError; }
  void SetLastError(uint32_t code) override { t_lastError = code; }
  std::string FormatErrorMessage(uint32_t code) override {
    std::lock_guard lock(m.mutex);
    auto it = m.errorMessages.find(code);
    if (it != m.errorMessages.end()) return it->second;
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
  std::string GetWindowsDirectory() override { return m.windowsDir; }
  std::string GetSystemDirectory() override { return m.systemDir; }
  std::string GetTempPath() override { return m.tempDir; }
  std::string GetModuleFileName() override { return m.modulePath; }
  std::string GetSpecialFolderPath(int csidl) override {
    std::lock_guard lock(m.mutex);
    auto it = m.specialFolders.find(csidl);
    return it == m.specialFolders.end() ? "" : it->second;
  }
  std::optional<std::string> GetLongPathName(const std::string& path) override {
    std::lock_guard lock(m.mutex);
    if (!m.hasGetLongPathName) return std::nullopt;
    return LongOf(path);
  }
  std::optional<std::string> ShellParsePath(const std::string& path) override {
    std::lock_guard lock(m.mutex);
    // The shell names a folder without its trailing "\" (a drive root keeps it).
    std::string p = path;
    while (p.size() > 3 && p.back() == '\\') p.pop_back();
    return LongOf(p);
  }
  std::optional<std::string> LongOf(const std::string& path) {
    auto it = m.longPaths.find(UpperAscii(path));
    if (it != m.longPaths.end()) return it->second;
    if (GetFileAttributes(path) == win::kInvalidFileAttributes) return std::nullopt;
    return path;
  }
  std::vector<std::string> QueryDosDevice(const std::string& name) override {
    std::lock_guard lock(m.mutex);
    auto it = m.dosDevices.find(UpperAscii(name));
    if (it == m.dosDevices.end()) return {};
    return it->second;
  }
  OsVersion GetVersion() override { return m.version; }
  std::optional<bool> IsWow64Process() override { return m.wow64; }
  uint32_t GetTickCount() override {
    std::lock_guard lock(m.mutex);
    uint32_t t = m.tickCount;
    m.tickCount += m.tickStep;
    return t;
  }
  void Sleep(uint32_t milliseconds, bool) override {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
  }
  LocalTime GetLocalTime() override {
    std::lock_guard lock(m.mutex);
    return m.now;
  }
  static std::string Picture(const std::string& format, const LocalTime& t) {
    std::string out;
    for (size_t i = 0; i < format.size();) {
      char c = format[i];
      size_t n = 1;
      while (i + n < format.size() && format[i + n] == c) ++n;
      auto num = [&](int v, size_t width) {
        std::string s = std::to_string(v);
        while (s.size() < width) s = "0" + s;
        return s;
      };
      switch (c) {
        case 'd': out += num(t.day, n >= 2 ? 2 : 1); break;
        case 'M': out += num(t.month, n >= 2 ? 2 : 1); break;
        case 'y': out += n >= 4 ? num(t.year, 4) : num(t.year % 100, 2); break;
        case 'h': out += num(t.hour % 12 == 0 ? 12 : t.hour % 12, n >= 2 ? 2 : 1); break;
        case 'H': out += num(t.hour, n >= 2 ? 2 : 1); break;
        case 'm': out += num(t.minute, n >= 2 ? 2 : 1); break;
        case 's': out += num(t.second, n >= 2 ? 2 : 1); break;
        case 't': out += t.hour < 12 ? (n >= 2 ? "AM" : "A") : (n >= 2 ? "PM" : "P"); break;
        default: out.append(n, c);
      }
      i += n;
    }
    return out;
  }
  std::string FormatShortDate(const LocalTime& time) override { return Picture(m.shortDateFormat, time); }
  std::string FormatLongTime(const LocalTime& time) override { return Picture(m.longTimeFormat, time); }

  static std::string Trim(const std::string& s) {
    size_t b = s.find_first_not_of(" \t\r\n");
    if (b == std::string::npos) return "";
    size_t e = s.find_last_not_of(" \t\r\n");
    return s.substr(b, e - b + 1);
  }
  std::string GetPrivateProfileString(const std::string& file, const std::string& section, const std::string& key,
                                      const std::string& fallback) override {
    std::lock_guard lock(m.mutex);
    FakeFile* f = Find(file);
    if (!f || f->directory) return fallback;
    std::istringstream in(f->contents);
    std::string line;
    bool inSection = false;
    while (std::getline(in, line)) {
      std::string t = Trim(line);
      if (!t.empty() && t[0] == '[') {
        auto close = t.find(']');
        inSection = close != std::string::npos && EqualNoCase(Trim(t.substr(1, close - 1)), section);
        continue;
      }
      if (!inSection) continue;
      auto eq = t.find('=');
      if (eq == std::string::npos) continue;
      if (EqualNoCase(Trim(t.substr(0, eq)), key)) {
        std::string v = Trim(t.substr(eq + 1));
        if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front()) {
          v = v.substr(1, v.size() - 2);
        }
        return v;
      }
    }
    return fallback;
  }
  bool WritePrivateProfileString(const std::string& file, const std::string& section, const std::string& key,
                                 const std::string& value) override {
    std::lock_guard lock(m.mutex);
    FakeFile* f = Find(file);
    if (!f) {
      Handle h = CreateFile(file, win::kGenericWrite, 0, win::kCreateNew, 0);
      if (h == kInvalidHandle) return false;
      CloseFile(h);
      f = Find(file);
    }
    if (f->directory || (f->attributes & win::kFileAttributeReadonly) || f->lockedExclusive) {
      t_lastError = win::kErrorAccessDenied;
      return false;
    }
    std::istringstream in(f->contents);
    std::vector<std::string> lines;
    std::string line;
    while (std::getline(in, line)) {
      if (!line.empty() && line.back() == '\r') line.pop_back();
      lines.push_back(line);
    }
    int sectionLine = -1, keyLine = -1, sectionEnd = -1;
    for (size_t i = 0; i < lines.size(); ++i) {
      std::string t = Trim(lines[i]);
      if (!t.empty() && t[0] == '[') {
        if (sectionLine >= 0 && sectionEnd < 0) sectionEnd = static_cast<int>(i);
        auto close = t.find(']');
        if (sectionLine < 0 && close != std::string::npos && EqualNoCase(Trim(t.substr(1, close - 1)), section)) {
          sectionLine = static_cast<int>(i);
        }
        continue;
      }
      if (sectionLine >= 0 && sectionEnd < 0) {
        auto eq = t.find('=');
        if (eq != std::string::npos && EqualNoCase(Trim(t.substr(0, eq)), key)) keyLine = static_cast<int>(i);
      }
    }
    std::string entry = key + "=" + value;
    if (keyLine >= 0) {
      lines[keyLine] = entry;
    } else if (sectionLine >= 0) {
      int at = sectionEnd < 0 ? static_cast<int>(lines.size()) : sectionEnd;
      while (at - 1 > sectionLine && Trim(lines[at - 1]).empty()) --at;
      lines.insert(lines.begin() + at, entry);
    } else {
      lines.push_back("[" + section + "]");
      lines.push_back(entry);
    }
    std::string text;
    for (auto& l : lines) text += l + "\r\n";
    f->contents = text;
    return true;
  }

  LocalTime FileTimeToLocalTime(FileTime time) override {
    int64_t secs = static_cast<int64_t>(time / 10000000ULL) + int64_t{m.utcOffsetMinutes} * 60;
    uint16_t ms = static_cast<uint16_t>((time / 10000ULL) % 1000);
    int64_t days = secs / 86400 - 134774;  // days since 1970-01-01
    int64_t rem = secs % 86400;
    // civil date from days (proleptic Gregorian)
    days += 719468;
    int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    int64_t doe = days - era * 146097;
    int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    int64_t y = yoe + era * 400;
    int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    int64_t mp = (5 * doy + 2) / 153;
    int64_t d = doy - (153 * mp + 2) / 5 + 1;
    int64_t mo = mp < 10 ? mp + 3 : mp - 9;
    y += mo <= 2;
    LocalTime t;
    t.year = static_cast<uint16_t>(y);
    t.month = static_cast<uint16_t>(mo);
    t.day = static_cast<uint16_t>(d);
    t.dayOfWeek = static_cast<uint16_t>(((secs / 86400) % 7 + 1) % 7);  // 1601-01-01 was a Monday
    t.hour = static_cast<uint16_t>(rem / 3600);
    t.minute = static_cast<uint16_t>(rem / 60 % 60);
    t.second = static_cast<uint16_t>(rem % 60);
    t.milliseconds = ms;
    return t;
  }
  uint32_t AllocationGranularity() override { return m.allocationGranularity; }
  std::optional<bool> SfcIsFileProtected(const std::string& library, const std::string& path) override {
    std::lock_guard lock(m.mutex);
    bool loaded = false;
    for (auto& l : m.sfcLibraries) loaded = loaded || EqualNoCase(l, library);
    if (!loaded) return std::nullopt;
    for (auto& p : m.protectedFiles) {
      if (EqualNoCase(p, path)) return true;
    }
    return false;
  }

  bool ExitWindowsEx(uint32_t flags, uint32_t) override {
    std::lock_guard lock(m.mutex);
    m.exitWindowsCalls.push_back(flags);
    return m.exitWindowsSucceeds;
  }
  bool BeginTimerPeriod(uint32_t milliseconds) override {
    std::lock_guard lock(m.mutex);
    m.timerPeriodCalls.push_back("begin " + std::to_string(milliseconds));
    return m.timerPeriodAccepted;
  }
  void EndTimerPeriod(uint32_t milliseconds) override {
    std::lock_guard lock(m.mutex);
    m.timerPeriodCalls.push_back("end " + std::to_string(milliseconds));
  }
  bool SetRestorePoint(uint32_t eventType, uint32_t restorePointType, const std::string& description) override {
    std::lock_guard lock(m.mutex);
    m.restorePoints.push_back({eventType, restorePointType, description});
    return m.restorePointAccepted;
  }

  // --- Security ---
  Handle OpenProcessToken(uint32_t) {
    std::lock_guard lock(m.mutex);
    if (!m.tokenOpens) {
      t_lastError = win::kErrorAccessDenied;
      return kNoHandle;
    }
    return nextHandle++;
  }
  bool LookupPrivilegeValue(const std::string& name, uint64_t* luid) {
    std::lock_guard lock(m.mutex);
    static const char* known[] = {"SeCreateTokenPrivilege", "SeDebugPrivilege", "SeSystemProfilePrivilege",
                                  "SeSecurityPrivilege", "SeBackupPrivilege", "SeRestorePrivilege",
                                  "SeShutdownPrivilege", "SeLoadDriverPrivilege"};
    for (uint64_t i = 0; i < std::size(known); ++i) {
      if (EqualNoCase(known[i], name)) {
        *luid = i + 2;
        return true;
      }
    }
    t_lastError = 1313;  // ERROR_NO_SUCH_PRIVILEGE
    return false;
  }
  bool AdjustTokenPrivilege(Handle, uint64_t luid, bool enable) {
    std::lock_guard lock(m.mutex);
    static const char* known[] = {"SeCreateTokenPrivilege", "SeDebugPrivilege", "SeSystemProfilePrivilege",
                                  "SeSecurityPrivilege", "SeBackupPrivilege", "SeRestorePrivilege",
                                  "SeShutdownPrivilege", "SeLoadDriverPrivilege"};
    if (luid < 2 || luid - 2 >= std::size(known)) return false;
    std::string name = known[luid - 2];
    // Like Windows: a privilege the account lacks is not enabled, yet the call succeeds.
    if (enable && std::find(m.privileges.begin(), m.privileges.end(), name) != m.privileges.end() &&
        std::find(m.enabledPrivileges.begin(), m.enabledPrivileges.end(), name) == m.enabledPrivileges.end()) {
      m.enabledPrivileges.push_back(name);
    }
    return true;
  }

  // --- Processes ---
  std::optional<std::vector<ProcessEntry>> SnapshotProcesses() {
    std::lock_guard lock(m.mutex);
    if (m.snapshotFails) return std::nullopt;
    std::vector<ProcessEntry> list;
    for (uint32_t pid : processOrder) {
      const FakeProcess& p = processes[pid];
      list.push_back({p.pid, p.parentPid, p.exeFile});
    }
    return list;
  }
  uint32_t GetCurrentProcessId() { return m.currentPid; }
  Handle OpenProcess(uint32_t, uint32_t pid) {
    std::lock_guard lock(m.mutex);
    auto it = processes.find(pid);
    if (it == processes.end() || !it->second.accessible) {
      t_lastError = it == processes.end() ? win::kErrorInvalidParameter : win::kErrorAccessDenied;
      return kNoHandle;
    }
    Handle h = nextHandle++;
    processHandles[h] = pid;
    return h;
  }
  void CloseProcess(Handle h) { processHandles.erase(h); }
  bool EnumProcessModules(Handle process, std::vector<uintptr_t>* modules, size_t capacity) {
    std::lock_guard lock(m.mutex);
    auto it = processHandles.find(process);
    if (it == processHandles.end()) return false;
    const FakeProcess& p = processes[it->second];
    modules->clear();
    size_t total = 1 + p.modules.size();
    for (size_t i = 0; i < total && i < capacity; ++i) modules->push_back(0x10000 * (i + 1));
    return true;
  }
  std::string GetModuleFileNameEx(Handle process, uintptr_t module, size_t chars) {
    std::lock_guard lock(m.mutex);
    auto it = processHandles.find(process);
    if (it == processHandles.end()) return "";
    const FakeProcess& p = processes[it->second];
    std::string name;
    size_t index = module / 0x10000;
    if (module == 0 || index == 1) {
      name = p.exePath;
    } else if (index >= 2 && index - 2 < p.modules.size()) {
      name = p.modules[index - 2];
    }
    if (chars > 0 && name.size() >= chars) name.resize(chars - 1);
    return name;
  }
  bool HasGetProcessImageFileName() { return m.hasProcessImageFileName; }
  std::optional<std::string> GetProcessImageFileName(Handle process) {
    std::lock_guard lock(m.mutex);
    if (!m.hasProcessImageFileName) return std::nullopt;
    auto it = processHandles.find(process);
    if (it == processHandles.end()) return std::nullopt;
    const FakeProcess& p = processes[it->second];
    if (p.imageDevicePath.empty()) return std::nullopt;
    return p.imageDevicePath;
  }

  // --- Shell, clipboard, UI ---
  bool ShellExecute(uintptr_t, const std::string& verb, const std::string& file, const std::string& parameters,
                    const std::string& directory, int show) override {
    std::lock_guard lock(m.mutex);
    m.shellExecutions.push_back({verb, file, parameters, directory, show});
    return m.shellExecuteSucceeds;
  }
  bool ShowProperties(uintptr_t, const std::string& path) override {
    std::lock_guard lock(m.mutex);
    m.propertiesShown.push_back(path);
    return Find(path) != nullptr;
  }
  bool SetText(const std::string& text) override {
    std::lock_guard lock(m.mutex);
    if (m.clipboardFails) return false;
    m.clipboard = text;
    return true;
  }
  std::string GetText() override {
    std::lock_guard lock(m.mutex);
    return m.clipboard;
  }
  int MessageBox(const std::string& text, const std::string& caption, uint32_t flags) override {
    std::lock_guard lock(m.mutex);
    m.messageBoxes.push_back({text, caption, flags});
    return m.messageBoxAnswer;
  }
  void ProcessMessages() override {
    std::lock_guard lock(m.mutex);
    ++m.processMessagesCalls;
  }

  // --- Threads ---
  Handle CreateThread(std::function<uint32_t()> body) {
    std::lock_guard lock(m.mutex);
    if (m.threadCreationFails) {
      t_lastError = win::kErrorNotEnoughMemory;
      return kNoHandle;
    }
    auto state = std::make_shared<ThreadState>();
    state->thread = std::make_unique<Thread>([state, body = std::move(body)] {
      uint32_t code = body();
      state->exitCode = code;
      state->done = true;
    });
    Handle h = nextHandle++;
    threads[h] = state;
    return h;
  }
  bool GetExitCodeThread(Handle thread, uint32_t* code) {
    std::shared_ptr<ThreadState> state;
    {
      std::lock_guard lock(m.mutex);
      auto it = threads.find(thread);
      if (it == threads.end()) return false;
      state = it->second;
    }
    *code = state->done ? state->exitCode.load() : win::kStillActive;
    return true;
  }
  bool TerminateThread(Handle thread, uint32_t code) {
    std::lock_guard lock(m.mutex);
    auto it = threads.find(thread);
    if (it == threads.end()) return false;
    // A thread of ours cannot be killed: leave it running detached and report it ended.
    if (it->second->thread->Joinable()) it->second->thread->Detach();
    it->second->exitCode = code;
    it->second->done = true;
    return true;
  }
  void CloseHandle(Handle h);  // shared by tokens, processes and threads
};

// One CloseHandle serves tokens, processes and threads, as in Windows; files use FileSystem's.
void Machine::Impl::CloseHandle(Handle h) {
  std::shared_ptr<ThreadState> state;
  {
    std::lock_guard lock(m.mutex);
    processHandles.erase(h);
    auto it = threads.find(h);
    if (it != threads.end()) {
      state = it->second;
      threads.erase(it);
    }
  }
  if (state && state->thread->Joinable()) {
    if (state->done) {
      state->thread->Join();
    } else {
      state->thread->Detach();
    }
  }
}

// Security, Processes and Threads each declare CloseHandle(Handle) returning void; FileSystem
// declares bool CloseHandle(Handle). The adapters below route each interface to its own.
namespace {
struct SecurityAdapter : Security {
  Machine::Impl* impl;
  Handle OpenProcessToken(uint32_t a) override { return impl->OpenProcessToken(a); }
  bool LookupPrivilegeValue(const std::string& n, uint64_t* l) override { return impl->LookupPrivilegeValue(n, l); }
  bool AdjustTokenPrivilege(Handle t, uint64_t l, bool e) override { return impl->AdjustTokenPrivilege(t, l, e); }
  void CloseHandle(Handle) override {}
};
struct ProcessesAdapter : Processes {
  Machine::Impl* impl;
  std::optional<std::vector<ProcessEntry>> SnapshotProcesses() override { return impl->SnapshotProcesses(); }
  uint32_t GetCurrentProcessId() override { return impl->GetCurrentProcessId(); }
  Handle OpenProcess(uint32_t a, uint32_t p) override { return impl->OpenProcess(a, p); }
  void CloseHandle(Handle h) override {
    std::lock_guard lock(impl->m.mutex);
    impl->CloseProcess(h);
  }
  bool EnumProcessModules(Handle p, std::vector<uintptr_t>* m, size_t c) override {
    return impl->EnumProcessModules(p, m, c);
  }
  std::string GetModuleFileNameEx(Handle p, uintptr_t m, size_t c) override { return impl->GetModuleFileNameEx(p, m, c); }
  bool HasGetProcessImageFileName() override { return impl->HasGetProcessImageFileName(); }
  std::optional<std::string> GetProcessImageFileName(Handle p) override { return impl->GetProcessImageFileName(p); }
};
struct ThreadsAdapter : Threads {
  Machine::Impl* impl;
  Handle CreateThread(std::function<uint32_t()> b) override { return impl->CreateThread(std::move(b)); }
  bool GetExitCodeThread(Handle t, uint32_t* c) override { return impl->GetExitCodeThread(t, c); }
  bool TerminateThread(Handle t, uint32_t c) override { return impl->TerminateThread(t, c); }
  void CloseHandle(Handle t) override { impl->CloseHandle(t); }
};
struct FilesAdapter : FileSystem {
  Machine::Impl* impl;
  Handle FindFirstFile(const std::string& p, FindData* d) override { return impl->FindFirstFile(p, d); }
  bool FindNextFile(Handle f, FindData* d) override { return impl->FindNextFile(f, d); }
  void FindClose(Handle f) override { impl->FindClose(f); }
  uint32_t GetFileAttributes(const std::string& p) override { return impl->GetFileAttributes(p); }
  bool SetFileAttributes(const std::string& p, uint32_t a) override { return impl->SetFileAttributes(p, a); }
  bool CreateDirectory(const std::string& p) override { return impl->CreateDirectory(p); }
  bool RemoveDirectory(const std::string& p) override { return impl->RemoveDirectory(p); }
  bool DeleteFile(const std::string& p) override { return impl->DeleteFile(p); }
  bool CopyFile(const std::string& f, const std::string& t, bool e) override { return impl->CopyFile(f, t, e); }
  Handle CreateFile(const std::string& p, uint32_t a, uint32_t s, uint32_t d, uint32_t at) override {
    return impl->CreateFile(p, a, s, d, at);
  }
  bool ReadFile(Handle f, void* b, uint32_t s, uint32_t* r) override { return impl->ReadFile(f, b, s, r); }
  bool WriteFile(Handle f, const void* b, uint32_t s, uint32_t* w) override { return impl->WriteFile(f, b, s, w); }
  bool SetFilePointer(Handle f, int64_t d, uint32_t m, uint64_t* p) override { return impl->SetFilePointer(f, d, m, p); }
  bool GetFileSize(Handle f, uint64_t* s) override { return impl->GetFileSize(f, s); }
  bool GetFileTime(Handle f, FileTime* c, FileTime* a, FileTime* w) override { return impl->GetFileTime(f, c, a, w); }
  bool CloseHandle(Handle f) override { return impl->CloseFile(f); }
  Handle CreateFileMapping(Handle f) override { return impl->CreateFileMapping(f); }
  const uint8_t* MapViewOfFile(Handle m, uint64_t o, size_t l) override { return impl->MapViewOfFile(m, o, l); }
  void UnmapViewOfFile(const uint8_t* v) override { impl->UnmapViewOfFile(v); }
  bool GetFileVersionInfo(const std::string& p, std::vector<uint8_t>* d) override {
    return impl->GetFileVersionInfo(p, d);
  }
  bool VerQueryTranslation(const std::vector<uint8_t>& d, uint16_t* l, uint16_t* c) override {
    return impl->VerQueryTranslation(d, l, c);
  }
  std::optional<std::string> VerQueryString(const std::vector<uint8_t>& d, const std::string& s) override {
    return impl->VerQueryString(d, s);
  }
};
struct ServicesAdapter : Services {
  Machine::Impl* impl;
  Handle OpenSCManager(const std::string& machine, uint32_t) override {
    std::lock_guard lock(impl->m.mutex);
    if (!impl->m.serviceManagerOpens || !machine.empty()) {
      t_lastError = win::kErrorAccessDenied;
      return kNoHandle;
    }
    Handle h = impl->nextHandle++;
    impl->serviceHandles[h] = "";
    return h;
  }
  FakeService* Find(const std::string& name) {
    for (auto& s : impl->services) {
      if (EqualNoCase(s.name, name)) return &s;
    }
    return nullptr;
  }
  Handle OpenService(Handle manager, const std::string& name, uint32_t) override {
    std::lock_guard lock(impl->m.mutex);
    auto it = impl->serviceHandles.find(manager);
    FakeService* s = Find(name);
    if (it == impl->serviceHandles.end() || !it->second.empty() || !s || !s->accessible) {
      t_lastError = s ? win::kErrorAccessDenied : 1060;  // ERROR_SERVICE_DOES_NOT_EXIST
      return kNoHandle;
    }
    Handle h = impl->nextHandle++;
    impl->serviceHandles[h] = s->name;
    return h;
  }
  FakeService* Opened(Handle service) {
    auto it = impl->serviceHandles.find(service);
    if (it == impl->serviceHandles.end() || it->second.empty()) return nullptr;
    return Find(it->second);
  }
  bool QueryServiceStatus(Handle service, uint32_t* state) override {
    std::lock_guard lock(impl->m.mutex);
    FakeService* s = Opened(service);
    if (!s) return false;
    *state = s->currentState;
    return true;
  }
  bool QueryServiceConfig(Handle service, size_t bufferSize, ServiceConfig* config) override {
    std::lock_guard lock(impl->m.mutex);
    FakeService* s = Opened(service);
    if (!s) return false;
    // The strings follow the fixed part in the caller's buffer.
    size_t needed = 36 + s->config.binaryPath.size() + s->config.loadOrderGroup.size() +
                    s->config.displayName.size() + 8;
    if (needed > bufferSize) {
      t_lastError = 122;  // ERROR_INSUFFICIENT_BUFFER
      return false;
    }
    *config = s->config;
    return true;
  }
  bool EnumServicesStatus(Handle manager, uint32_t type, uint32_t state,
                          std::vector<ServiceStatusEntry>* out) override {
    std::lock_guard lock(impl->m.mutex);
    auto it = impl->serviceHandles.find(manager);
    if (it == impl->serviceHandles.end() || !it->second.empty()) return false;
    out->clear();
    for (auto& s : impl->services) {
      bool running = s.currentState != win::kServiceStopped;
      bool stateMatch = (state & win::kServiceActive && running) || (state & win::kServiceInactive && !running);
      if ((s.serviceType & type) && stateMatch) out->push_back({s.name, s.displayName, s.serviceType, s.currentState});
    }
    return true;
  }
  void CloseServiceHandle(Handle h) override {
    std::lock_guard lock(impl->m.mutex);
    impl->serviceHandles.erase(h);
  }
};
}  // namespace

struct Adapters {
  ServicesAdapter services;
  SecurityAdapter security;
  ProcessesAdapter processes;
  ThreadsAdapter threads;
  FilesAdapter files;
  std::unique_ptr<IpHelper> iphelper;
};

namespace {
std::map<const Machine*, std::unique_ptr<Adapters>>& AdapterTable() {
  static std::map<const Machine*, std::unique_ptr<Adapters>> table;
  return table;
}
Mutex g_adapterMutex;
}  // namespace

Machine::Machine() : impl(std::make_unique<Impl>(*this)) {
  for (const char* folder : {"C:\\WINDOWS", "C:\\WINDOWS\\system32", "C:\\WINDOWS\\system32\\drivers",
                             "C:\\Program Files", "C:\\Documents and Settings", "C:\\DOCUME~1",
                             "C:\\DOCUME~1\\User", "C:\\DOCUME~1\\User\\LOCALS~1",
                             "C:\\DOCUME~1\\User\\LOCALS~1\\Temp", "C:\\Tools", "C:\\Tools\\BurrowSentry",
                             "C:\\Documents and Settings\\User", "C:\\Documents and Settings\\User\\Desktop",
                             "C:\\Documents and Settings\\User\\Application Data",
                             "C:\\Documents and Settings\\All Users",
                             "C:\\Documents and Settings\\All Users\\Application Data"}) {
    AddFolder(folder);
  }
  specialFolders = {
      {win::kCsidlDesktopDirectory, "C:\\Documents and Settings\\User\\Desktop"},
      {win::kCsidlStartup, "C:\\Documents and Settings\\User\\Start Menu\\Programs\\Startup"},
      {win::kCsidlCommonStartup, "C:\\Documents and Settings\\All Users\\Start Menu\\Programs\\Startup"},
      {win::kCsidlAppData, "C:\\Documents and Settings\\User\\Application Data"},
      {win::kCsidlCommonAppData, "C:\\Documents and Settings\\All Users\\Application Data"},
      {win::kCsidlProgramFiles, "C:\\Program Files"},
  };
  dosDevices["C:"] = {"\\Device\\HarddiskVolume1"};
  std::lock_guard lock(g_adapterMutex);
  auto adapters = std::make_unique<Adapters>();
  adapters->services.impl = impl.get();
  adapters->security.impl = impl.get();
  adapters->processes.impl = impl.get();
  adapters->threads.impl = impl.get();
  adapters->files.impl = impl.get();
  adapters->iphelper = MakeIpHelper(*this);
  AdapterTable()[this] = std::move(adapters);
}

Machine::~Machine() {
  if (installed_) platform::Install(previous_);
  impl.reset();
  std::lock_guard lock(g_adapterMutex);
  AdapterTable().erase(this);
}

Backend Machine::backend() {
  std::lock_guard lock(g_adapterMutex);
  Adapters& a = *AdapterTable()[this];
  Backend b;
  b.registry = impl.get();
  b.files = &a.files;
  b.system = impl.get();
  b.security = &a.security;
  b.processes = &a.processes;
  b.shell = impl.get();
  b.clipboard = impl.get();
  b.ui = impl.get();
  b.threads = &a.threads;
  b.services = &a.services;
  b.iphelper = a.iphelper.get();
  return b;
}

void Machine::Install() {
  if (!installed_) previous_ = platform::Current();
  installed_ = true;
  platform::Install(backend());
}

void Machine::CreateKey(RegKey root, const std::string& path) {
  std::lock_guard lock(mutex);
  Impl::Walk(impl->NodeOf(root), path, true);
}

void Machine::SetValue(RegKey root, const std::string& path, const std::string& name, uint32_t type,
                       std::vector<uint8_t> data) {
  std::lock_guard lock(mutex);
  auto node = Impl::Walk(impl->NodeOf(root), path, true);
  if (RegValue* v = node->Value(name)) {
    *v = RegValue{type, std::move(data)};
  } else {
    node->values.emplace_back(name, RegValue{type, std::move(data)});
  }
}

void Machine::SetString(RegKey root, const std::string& path, const std::string& name, const std::string& text,
                        uint32_t type) {
  std::vector<uint8_t> data(text.begin(), text.end());
  data.push_back(0);
  SetValue(root, path, name, type, std::move(data));
}

void Machine::SetDword(RegKey root, const std::string& path, const std::string& name, uint32_t value) {
  std::vector<uint8_t> data(4);
  std::memcpy(data.data(), &value, 4);
  SetValue(root, path, name, win::kRegDword, std::move(data));
}

bool Machine::KeyExists(RegKey root, const std::string& path) {
  std::lock_guard lock(mutex);
  return Impl::Walk(impl->NodeOf(root), path, false) != nullptr;
}

std::optional<RegValue> Machine::GetValue(RegKey root, const std::string& path, const std::string& name) {
  std::lock_guard lock(mutex);
  auto node = Impl::Walk(impl->NodeOf(root), path, false);
  if (!node) return std::nullopt;
  RegValue* v = node->Value(name);
  if (!v) return std::nullopt;
  return *v;
}

void Machine::DenyKey(RegKey root, const std::string& path) {
  std::lock_guard lock(mutex);
  Impl::Walk(impl->NodeOf(root), path, true)->denied = true;
}

namespace {

RegKey RootFromName(const std::string& name) {
  static const std::pair<const char*, RegKey> names[] = {
      {"HKEY_CLASSES_ROOT", kHkeyClassesRoot},   {"HKCR", kHkeyClassesRoot},
      {"HKEY_CURRENT_USER", kHkeyCurrentUser},   {"HKCU", kHkeyCurrentUser},
      {"HKEY_LOCAL_MACHINE", kHkeyLocalMachine}, {"HKLM", kHkeyLocalMachine},
      {"HKEY_USERS", kHkeyUsers},                {"HKU", kHkeyUsers},
      {"HKEY_CURRENT_CONFIG", kHkeyCurrentConfig}};
  for (auto& [n, root] : names) {
    if (EqualNoCase(n, name)) return root;
  }
  return 0;
}

std::vector<uint8_t> ParseHexBytes(const std::string& text) {
  std::vector<uint8_t> bytes;
  std::string hex;
  for (char c : text) {
    if (std::isxdigit(static_cast<unsigned char>(c))) {
      hex += c;
    } else if (c == ',') {
      if (!hex.empty()) bytes.push_back(static_cast<uint8_t>(std::stoul(hex, nullptr, 16)));
      hex.clear();
    }
  }
  if (!hex.empty()) bytes.push_back(static_cast<uint8_t>(std::stoul(hex, nullptr, 16)));
  return bytes;
}

// Reads a quoted .reg string starting at text[pos] == '"'; returns the unescaped text.
std::string ParseQuoted(const std::string& text, size_t& pos) {
  std::string out;
  ++pos;
  while (pos < text.size() && text[pos] != '"') {
    if (text[pos] == '\\' && pos + 1 < text.size()) ++pos;
    out += text[pos++];
  }
  ++pos;
  return out;
}

}  // namespace

void Machine::ImportReg(const std::string& text) {
  // Join continuation lines first.
  std::vector<std::string> lines;
  std::string current;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    size_t start = current.empty() ? 0 : line.find_first_not_of(" \t");
    if (start == std::string::npos) start = line.size();
    current += line.substr(start);
    if (!current.empty() && current.back() == '\\' && current.find('=') != std::string::npos &&
        current[0] != '[') {
      current.pop_back();
      continue;
    }
    lines.push_back(current);
    current.clear();
  }
  if (!current.empty()) lines.push_back(current);

  RegKey root = 0;
  std::string keyPath;
  for (const std::string& l : lines) {
    if (l.empty() || l[0] == ';') continue;
    if (l[0] == '[') {
      auto close = l.rfind(']');
      std::string full = l.substr(1, close - 1);
      bool remove = !full.empty() && full[0] == '-';
      if (remove) full = full.substr(1);
      auto slash = full.find('\\');
      root = RootFromName(full.substr(0, slash));
      keyPath = slash == std::string::npos ? "" : full.substr(slash + 1);
      if (!root) continue;
      if (remove) {
        std::lock_guard lock(mutex);
        auto parts = SplitPath(keyPath);
        if (parts.empty()) continue;
        auto last = parts.back();
        parts.pop_back();
        auto holder = impl->NodeOf(root);
        for (auto& p : parts) {
          if (holder) holder = holder->Child(p);
        }
        if (holder) {
          auto node = holder->Child(last);
          if (node) {
            node->deleted = true;
            holder->children.erase(std::find(holder->children.begin(), holder->children.end(), node));
          }
        }
        root = 0;
      } else {
        CreateKey(root, keyPath);
      }
      continue;
    }
    if (!root) continue;
    size_t pos = 0;
    std::string name;
    if (l[0] == '@') {
      pos = 1;
    } else if (l[0] == '"') {
      name = ParseQuoted(l, pos);
    } else {
      continue;
    }
    auto eq = l.find('=', pos);
    if (eq == std::string::npos) continue;
    std::string data = l.substr(eq + 1);
    if (data == "-") {
      std::lock_guard lock(mutex);
      auto node = Impl::Walk(impl->NodeOf(root), keyPath, false);
      if (node) {
        auto& vals = node->values;
        vals.erase(std::remove_if(vals.begin(), vals.end(), [&](auto& v) { return EqualNoCase(v.first, name); }),
                   vals.end());
      }
    } else if (!data.empty() && data[0] == '"') {
      size_t p = 0;
      SetString(root, keyPath, name, ParseQuoted(data, p));
    } else if (data.rfind("dword:", 0) == 0) {
      SetDword(root, keyPath, name, static_cast<uint32_t>(std::stoul(data.substr(6), nullptr, 16)));
    } else if (data.rfind("hex:", 0) == 0) {
      SetValue(root, keyPath, name, win::kRegBinary, ParseHexBytes(data.substr(4)));
    } else if (data.rfind("hex(", 0) == 0) {
      auto close = data.find("):");
      if (close == std::string::npos) continue;
      uint32_t type = static_cast<uint32_t>(std::stoul(data.substr(4, close - 4), nullptr, 16));
      SetValue(root, keyPath, name, type, ParseHexBytes(data.substr(close + 2)));
    }
  }
}

void Machine::AddFolder(const std::string& path) {
  std::lock_guard lock(mutex);
  std::string norm = Impl::Normalize(path);
  auto parts = SplitPath(norm);
  std::string built;
  for (size_t i = 0; i < parts.size(); ++i) {
    built += parts[i];
    if (i == 0) {
      built += "\\";
      continue;
    }
    std::string key = Impl::Key(built);
    if (!impl->files.count(key)) {
      FakeFile f;
      f.path = built;
      f.directory = true;
      f.attributes = 0;
      f.creationTime = f.lastWriteTime = f.lastAccessTime = impl->NowFileTime();
      impl->files[key] = f;
    }
    built += "\\";
  }
}

FakeFile& Machine::AddFile(const std::string& path, const std::string& contents, uint32_t attributes) {
  std::lock_guard lock(mutex);
  std::string norm = Impl::Normalize(path);
  auto pos = norm.find_last_of('\\');
  if (pos != std::string::npos && pos > 2) AddFolder(norm.substr(0, pos));
  FakeFile f;
  f.path = norm;
  f.contents = contents;
  f.attributes = attributes;
  f.creationTime = f.lastWriteTime = f.lastAccessTime = impl->NowFileTime();
  impl->files[Impl::Key(norm)] = f;
  return impl->files[Impl::Key(norm)];
}

bool Machine::Exists(const std::string& path) {
  std::lock_guard lock(mutex);
  return impl->Find(path) != nullptr;
}

FakeFile* Machine::File(const std::string& path) {
  std::lock_guard lock(mutex);
  return impl->Find(path);
}

std::string Machine::Contents(const std::string& path) {
  std::lock_guard lock(mutex);
  FakeFile* f = impl->Find(path);
  return f ? f->contents : "";
}

void Machine::RemoveFile(const std::string& path) {
  std::lock_guard lock(mutex);
  impl->files.erase(Impl::Key(path));
}

void Machine::DenyCreate(const std::string& folderPrefix) {
  std::lock_guard lock(mutex);
  impl->deniedCreate.push_back(Impl::Key(folderPrefix));
}

FakeService& Machine::AddService(const std::string& name, const std::string& displayName, uint32_t serviceType,
                                 uint32_t currentState, const std::string& binaryPath) {
  std::lock_guard lock(mutex);
  FakeService s;
  s.name = name;
  s.displayName = displayName;
  s.serviceType = serviceType;
  s.currentState = currentState;
  s.config.serviceType = serviceType;
  s.config.binaryPath = binaryPath;
  s.config.displayName = displayName;
  impl->services.push_back(s);
  return impl->services.back();
}

FakeProcess& Machine::AddProcess(uint32_t pid, const std::string& exePath, std::vector<std::string> modules) {
  std::lock_guard lock(mutex);
  FakeProcess p;
  p.pid = pid;
  p.exePath = exePath;
  p.exeFile = Impl::NameOf(exePath);
  p.modules = std::move(modules);
  if (exePath.size() > 2 && exePath[1] == ':') {
    auto devices = dosDevices[UpperAscii(exePath.substr(0, 2))];
    if (!devices.empty()) p.imageDevicePath = devices[0] + exePath.substr(2);
  }
  if (!impl->processes.count(pid)) impl->processOrder.push_back(pid);
  impl->processes[pid] = p;
  return impl->processes[pid];
}

}  // namespace platform::fake
