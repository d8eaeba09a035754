#include "platform/fake/fake_machine.h"

#include <mutex>

#include "platform/owned_facilities.h"
#include "platform/fake/facilities.h"
#include "platform/fake/reg_import.h"

namespace platform::fake {

struct Machine::Facilities : OwnedFacilities {
  explicit Facilities(MachineState& s) {
#define BS_FAKE_FACILITY(Type, member, Accessor) member = Make##Type(s);
    BS_PLATFORM_FACILITIES(BS_FAKE_FACILITY)
#undef BS_FAKE_FACILITY
  }
};

Machine::Machine() : facilities_(std::make_unique<Facilities>(state_)) {
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
  state_.system.specialFolders = {
      {win::kCsidlDesktopDirectory, "C:\\Documents and Settings\\User\\Desktop"},
      {win::kCsidlStartup, "C:\\Documents and Settings\\User\\Start Menu\\Programs\\Startup"},
      {win::kCsidlCommonStartup, "C:\\Documents and Settings\\All Users\\Start Menu\\Programs\\Startup"},
      {win::kCsidlAppData, "C:\\Documents and Settings\\User\\Application Data"},
      {win::kCsidlCommonAppData, "C:\\Documents and Settings\\All Users\\Application Data"},
      {win::kCsidlProgramFiles, "C:\\Program Files"},
  };
  state_.system.dosDevices["C:"] = {"\\Device\\HarddiskVolume1"};
}

Machine::~Machine() {
  // Threads still running call the backend: they finish on this machine before it is swapped out.
  JoinThreads(state_);
  if (installed_) platform::Install(previous_);
}

Backend Machine::backend() { return facilities_->backend(); }

void Machine::Install() {
  if (!installed_) previous_ = platform::Current();
  installed_ = true;
  platform::Install(backend());
}

void Machine::CreateKey(RegKey root, const std::string& path) {
  std::lock_guard lock(state_.mutex);
  state_.registry.Make(root, path);
}

void Machine::CreateLink(RegKey root, const std::string& path, RegKey targetRoot, const std::string& targetPath) {
  std::lock_guard lock(state_.mutex);
  auto target = state_.registry.Make(targetRoot, targetPath);
  auto link = state_.registry.Make(root, path);
  link->isLink = true;
  link->linkTarget = target;
  std::vector<uint8_t> text;
  for (char c : "\\Registry\\Machine\\" + targetPath) {
    text.push_back(static_cast<uint8_t>(c));
    text.push_back(0);
  }
  link->SetValue("SymbolicLinkValue", RegValue{win::kRegLink, std::move(text)});
}

void Machine::SetValueW(RegKey root, const std::string& path, const std::string& name, uint32_t type,
                        std::vector<uint8_t> data) {
  std::lock_guard lock(state_.mutex);
  state_.registry.Make(root, path)->SetValue(name, RegValue{type, std::move(data), true});
}

void Machine::SetValue(RegKey root, const std::string& path, const std::string& name, uint32_t type,
                       std::vector<uint8_t> data) {
  std::lock_guard lock(state_.mutex);
  state_.registry.Make(root, path)->SetValue(name, RegValue{type, std::move(data)});
}

void Machine::SetString(RegKey root, const std::string& path, const std::string& name, const std::string& text,
                        uint32_t type) {
  SetValue(root, path, name, type, StringBytes(text));
}

void Machine::SetDword(RegKey root, const std::string& path, const std::string& name, uint32_t value) {
  SetValue(root, path, name, win::kRegDword, DwordBytes(value));
}

bool Machine::KeyExists(RegKey root, const std::string& path) {
  std::lock_guard lock(state_.mutex);
  return state_.registry.Find(root, path) != nullptr;
}

std::optional<RegValue> Machine::GetValue(RegKey root, const std::string& path, const std::string& name) {
  std::lock_guard lock(state_.mutex);
  auto node = state_.registry.Find(root, path);
  if (!node) return std::nullopt;
  RegValue* v = node->Value(name);
  if (!v) return std::nullopt;
  return *v;
}

void Machine::DenyKey(RegKey root, const std::string& path) {
  std::lock_guard lock(state_.mutex);
  state_.registry.Make(root, path)->denied = true;
}

void Machine::ImportReg(const std::string& text) {
  std::lock_guard lock(state_.mutex);
  fake::ImportReg(state_.registry, text);
}

void Machine::AddFolder(const std::string& path) {
  std::lock_guard lock(state_.mutex);
  state_.files.AddFolder(path, state_.Now());
}

FakeFile& Machine::AddFile(const std::string& path, const std::string& contents, uint32_t attributes) {
  std::lock_guard lock(state_.mutex);
  return state_.files.AddFile(path, contents, attributes, state_.Now());
}

// The test's own view: by the name as stored, even one no program could open it by.
FakeFile* Machine::File(const std::string& path) {
  std::lock_guard lock(state_.mutex);
  auto it = state_.files.files.find(FileTable::Key(path));
  return it != state_.files.files.end() ? &it->second : state_.files.Find(path);
}

bool Machine::Exists(const std::string& path) { return File(path) != nullptr; }

std::string Machine::Contents(const std::string& path) {
  std::lock_guard lock(state_.mutex);
  FakeFile* f = File(path);
  return f ? f->contents : "";
}

void Machine::RemoveFile(const std::string& path) {
  std::lock_guard lock(state_.mutex);
  state_.files.files.erase(FileTable::Key(path));
}

void Machine::SetShortName(const std::string& path, const std::string& shortName) {
  std::lock_guard lock(state_.mutex);
  auto it = state_.files.files.find(FileTable::Key(path));
  if (it == state_.files.files.end()) return;
  it->second.shortName = shortName;
  state_.files.anyShortName = true;
}

void Machine::DenyCreate(const std::string& folderPrefix) {
  std::lock_guard lock(state_.mutex);
  state_.files.deniedCreate.push_back(FileTable::Key(folderPrefix));
}

FakeProcess& Machine::AddProcess(uint32_t pid, const std::string& exePath, std::vector<std::string> modules) {
  std::lock_guard lock(state_.mutex);
  FakeProcess p;
  p.pid = pid;
  p.exePath = exePath;
  p.exeFile = FileTable::NameOf(exePath);
  p.modules = std::move(modules);
  if (exePath.size() > 2 && exePath[1] == ':') {
    auto devices = state_.system.dosDevices[UpperAscii(exePath.substr(0, 2))];
    if (!devices.empty()) p.imageDevicePath = devices[0] + exePath.substr(2);
  }
  ProcessTable& table = state_.processTable;
  if (!table.byPid.count(pid)) table.order.push_back(pid);
  return table.byPid[pid] = std::move(p);
}

FakeService& Machine::AddService(const std::string& name, const std::string& displayName, uint32_t serviceType,
                                 uint32_t currentState, const std::string& binaryPath) {
  std::lock_guard lock(state_.mutex);
  FakeService s;
  s.name = name;
  s.displayName = displayName;
  s.serviceType = serviceType;
  s.currentState = currentState;
  s.config.serviceType = serviceType;
  s.config.binaryPath = binaryPath;
  s.config.displayName = displayName;
  return state_.serviceTable.list.emplace_back(std::move(s));
}

}  // namespace platform::fake
