#include "tests/support/backend_fixture.h"

#include <atomic>

#ifdef BS_WIN32_BACKEND
#include "platform/win32/win32_backend.h"
#endif

namespace bs_test {

using namespace platform;

std::vector<BackendKind> ContractBackends() {
#ifdef BS_WIN32_BACKEND
  return {BackendKind::Fake, BackendKind::Win32};
#else
  return {BackendKind::Fake};
#endif
}

std::vector<BackendKind> ContractBackends32() {
#if defined(BS_WIN32_BACKEND) && defined(__i386__)
  return {BackendKind::Fake, BackendKind::Win32};
#else
  return {BackendKind::Fake};
#endif
}

std::string BackendName(const testing::TestParamInfo<BackendKind>& info) {
  return info.param == BackendKind::Fake ? "Fake" : "Win32";
}

void PrintTo(BackendKind kind, std::ostream* out) { *out << (kind == BackendKind::Fake ? "Fake" : "Win32"); }

namespace {

constexpr const char* kTestsKey = "Software\\BurrowSentryTests";

std::string UniqueName() {
  static std::atomic<unsigned> counter{0};
  return "bs-" + std::to_string(Procs().GetCurrentProcessId()) + "-" + std::to_string(Sys().GetTickCount()) + "-" +
         std::to_string(++counter);
}

}  // namespace

BackendScratch::BackendScratch(BackendKind kind) : kind_(kind), previous_(Current()) {
  if (kind == BackendKind::Fake) {
    machine_ = std::make_unique<fake::Machine>();
    machine_->AddFolder(machine_->system().tempDir);
    machine_->Install();
  } else {
#ifdef BS_WIN32_BACKEND
    win32::Install();
#else
    ADD_FAILURE() << "the real backend exists only in the win32 build";
#endif
  }
  const std::string name = UniqueName();
  keyPath_ = std::string(kTestsKey) + "\\" + name;
  RegKey key = 0;
  if (Reg().CreateKey(kRoot, keyPath_, win::kKeyAllAccess, &key) == win::kErrorSuccess) {
    Reg().CloseKey(key);
  } else {
    ADD_FAILURE() << "cannot create the scratch key " << keyPath_;
  }
  std::string temp = Sys().GetTempPath();
  if (!temp.empty() && temp.back() == '\\') temp.pop_back();
  folder_ = temp + "\\" + name;
  if (!Fs().CreateDirectory(folder_)) ADD_FAILURE() << "cannot create the scratch folder " << folder_;
}

BackendScratch::~BackendScratch() {
  EXPECT_TRUE(DeleteKeyTree(kRoot, keyPath_)) << keyPath_;
  Reg().DeleteKey(kRoot, kTestsKey);  // only when no other run still has a key there
  EXPECT_TRUE(DeleteTree(folder_)) << folder_;
  if (machine_) {
    machine_.reset();  // reinstalls what was there before it
  } else {
    Install(previous_);
  }
}

ExclusiveHold::ExclusiveHold(BackendScratch& scratch, const std::string& path) : scratch_(scratch), path_(path) {
  if (fake::Machine* machine = scratch_.machine()) {
    if (fake::FakeFile* file = machine->File(path)) held_ = file->lockedExclusive = true;
  } else {
    handle_ = Fs().CreateFile(path, win::kGenericRead, 0, win::kOpenExisting, 0);
    held_ = handle_ != kInvalidHandle;
  }
}

ExclusiveHold::~ExclusiveHold() {
  if (fake::Machine* machine = scratch_.machine()) {
    if (fake::FakeFile* file = machine->File(path_)) file->lockedExclusive = false;
  } else if (handle_ != kInvalidHandle) {
    Fs().CloseHandle(handle_);
  }
}

bool WriteWholeFile(const std::string& path, const std::string& contents) {
  Handle file = Fs().CreateFile(path, win::kGenericWrite, 0, win::kCreateAlways, 0);
  if (file == kInvalidHandle) return false;
  uint32_t written = 0;
  bool ok = Fs().WriteFile(file, contents.data(), static_cast<uint32_t>(contents.size()), &written) &&
            written == contents.size();
  return Fs().CloseHandle(file) && ok;
}

std::optional<std::string> ReadWholeFile(const std::string& path) {
  Handle file = Fs().CreateFile(path, win::kGenericRead, win::kFileShareRead, win::kOpenExisting, 0);
  if (file == kInvalidHandle) return std::nullopt;
  std::string contents;
  char buffer[4096];
  uint32_t got = 0;
  bool ok = true;
  while ((ok = Fs().ReadFile(file, buffer, sizeof buffer, &got)) && got > 0) contents.append(buffer, got);
  Fs().CloseHandle(file);
  if (!ok) return std::nullopt;
  return contents;
}

bool DeleteTree(const std::string& folder) {
  FindData entry;
  Handle find = Fs().FindFirstFile(folder + "\\*", &entry);
  if (find != kInvalidHandle) {
    do {
      if (entry.name == "." || entry.name == "..") continue;
      const std::string path = folder + "\\" + entry.name;
      if (entry.attributes & win::kFileAttributeDirectory) {
        DeleteTree(path);
      } else {
        Fs().SetFileAttributes(path, win::kFileAttributeNormal);
        Fs().DeleteFile(path);
      }
    } while (Fs().FindNextFile(find, &entry));
    Fs().FindClose(find);
  }
  Fs().SetFileAttributes(folder, win::kFileAttributeNormal);
  Fs().RemoveDirectory(folder);
  return Fs().GetFileAttributes(folder) == win::kInvalidFileAttributes;
}

bool DeleteKeyTree(RegKey root, const std::string& path) {
  RegKey key = 0;
  if (Reg().OpenKey(root, path, win::kKeyAllAccess, &key) == win::kErrorSuccess) {
    std::vector<std::string> children;
    std::string name;
    for (uint32_t i = 0; Reg().EnumKey(key, i, &name) == win::kErrorSuccess; ++i) children.push_back(name);
    Reg().CloseKey(key);
    for (const std::string& child : children) DeleteKeyTree(root, path + "\\" + child);
  }
  Reg().DeleteKey(root, path);
  RegKey gone = 0;
  if (Reg().OpenKey(root, path, win::kKeyRead, &gone) != win::kErrorSuccess) return true;
  Reg().CloseKey(gone);
  return false;
}

}  // namespace bs_test
