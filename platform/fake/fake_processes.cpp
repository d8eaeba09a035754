// The fake machine's processes: a snapshot in the order they were added, handles on them, and
// their modules at made-up base addresses (0x10000 apart, the main module first).
#include <mutex>

#include "platform/fake/facilities.h"

namespace platform::fake {
namespace {

constexpr uintptr_t kModuleSpacing = 0x10000;

class FakeProcesses final : public Processes {
 public:
  explicit FakeProcesses(MachineState& state) : s_(state), p_(state.processes), t_(state.processTable) {}

  std::optional<std::vector<ProcessEntry>> SnapshotProcesses() override {
    std::lock_guard lock(s_.mutex);
    if (p_.snapshotFails) return std::nullopt;
    std::vector<ProcessEntry> list;
    for (uint32_t pid : t_.order) {
      const FakeProcess& p = t_.byPid[pid];
      list.push_back({p.pid, p.parentPid, p.exeFile});
    }
    return list;
  }

  uint32_t GetCurrentProcessId() override {
    std::lock_guard lock(s_.mutex);
    return p_.currentPid;
  }

  Handle OpenProcess(uint32_t, uint32_t pid) override {
    std::lock_guard lock(s_.mutex);
    auto it = t_.byPid.find(pid);
    if (it == t_.byPid.end() || !it->second.accessible) {
      SetThreadLastError(it == t_.byPid.end() ? win::kErrorInvalidParameter : win::kErrorAccessDenied);
      return kNoHandle;
    }
    Handle h = s_.NewHandle();
    t_.handles[h] = pid;
    return h;
  }

  void CloseHandle(Handle process) override {
    std::lock_guard lock(s_.mutex);
    t_.handles.erase(process);
  }

  bool EnumProcessModules(Handle process, std::vector<uintptr_t>* modules, size_t capacity) override {
    std::lock_guard lock(s_.mutex);
    const FakeProcess* p = Opened(process);
    if (!p) return false;
    modules->clear();
    size_t total = 1 + p->modules.size();
    for (size_t i = 0; i < total && i < capacity; ++i) modules->push_back(kModuleSpacing * (i + 1));
    return true;
  }

  std::string GetModuleFileNameEx(Handle process, uintptr_t module, size_t chars) override {
    std::lock_guard lock(s_.mutex);
    const FakeProcess* p = Opened(process);
    if (!p) return "";
    std::string name;
    size_t index = module / kModuleSpacing;
    if (module == 0 || index == 1) {
      name = p->exePath;
    } else if (index >= 2 && index - 2 < p->modules.size()) {
      name = p->modules[index - 2];
    }
    if (chars > 0 && name.size() >= chars) name.resize(chars - 1);
    return name;
  }

  bool HasGetProcessImageFileName() override {
    std::lock_guard lock(s_.mutex);
    return p_.hasProcessImageFileName;
  }

  std::optional<std::string> GetProcessImageFileName(Handle process) override {
    std::lock_guard lock(s_.mutex);
    if (!p_.hasProcessImageFileName) return std::nullopt;
    const FakeProcess* p = Opened(process);
    if (!p || p->imageDevicePath.empty()) return std::nullopt;
    return p->imageDevicePath;
  }

 private:
  const FakeProcess* Opened(Handle process) {
    auto it = t_.handles.find(process);
    return it == t_.handles.end() ? nullptr : &t_.byPid[it->second];
  }

  MachineState& s_;
  ProcessState& p_;
  ProcessTable& t_;
};

}  // namespace

std::unique_ptr<Processes> MakeProcesses(MachineState& state) { return std::make_unique<FakeProcesses>(state); }

}  // namespace platform::fake
