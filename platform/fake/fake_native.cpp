// The fake machine's native services over its process memory. A service is served only when a
// gate was set for it (a trap with a non-zero number, or an export address), as on Windows
// a service without a number cannot be entered. The kernel-side services (module list, device
// control, driver loading) go to the fake kernel of fake_kernel.cpp.
#include <algorithm>
#include <cstring>
#include <mutex>

#include "platform/fake/facilities.h"

namespace platform::fake {
namespace {

constexpr Handle kCurrentProcess = ~Handle{0};

class FakeNativeApi final : public NativeApi {
 public:
  explicit FakeNativeApi(MachineState& state) : s_(state), n_(state.native) {}

  void SetServiceEntry(NativeService service, const ServiceEntry& entry) override {
    std::lock_guard lock(s_.mutex);
    n_.entries[static_cast<size_t>(service)] = entry;
  }

  ServiceEntry GetServiceEntry(NativeService service) override {
    std::lock_guard lock(s_.mutex);
    return n_.entries[static_cast<size_t>(service)];
  }

  uint32_t OpenProcess(Handle* process, uint32_t, bool, uint32_t pid) override {
    std::lock_guard lock(s_.mutex);
    if (!Enter(NativeService::OpenProcess)) return nt::kStatusNotImplemented;
    auto it = s_.processTable.byPid.find(pid);
    const bool own = pid == s_.processes.currentPid;
    if (!own && it == s_.processTable.byPid.end()) return nt::kStatusInvalidCid;
    if (!own && !it->second.accessible) return nt::kStatusAccessDenied;
    *process = s_.NewHandle();
    n_.handles[*process] = pid;
    return nt::kStatusSuccess;
  }

  uint32_t Close(Handle handle) override {
    std::lock_guard lock(s_.mutex);
    if (!Enter(NativeService::Close)) return nt::kStatusNotImplemented;
    return n_.handles.erase(handle) ? nt::kStatusSuccess : nt::kStatusInvalidHandle;
  }

  uint32_t ReadVirtualMemory(Handle process, Address address, void* buffer, uint32_t size,
                             uint32_t* read) override {
    std::lock_guard lock(s_.mutex);
    if (!Enter(NativeService::ReadVirtualMemory)) return nt::kStatusNotImplemented;
    AddressSpace* space = SpaceOf(process);
    if (!space) return nt::kStatusInvalidHandle;
    const uint32_t done = space->Read(address, buffer, size);
    if (read) *read = done;
    return done == size ? nt::kStatusSuccess : nt::kStatusPartialCopy;
  }

  uint32_t QueryVirtualMemory(Handle process, Address address, uint32_t infoClass, void* buffer, uint32_t size,
                              uint32_t* returned) override {
    std::lock_guard lock(s_.mutex);
    if (!Enter(NativeService::QueryVirtualMemory)) return nt::kStatusNotImplemented;
    AddressSpace* space = SpaceOf(process);
    if (!space) return nt::kStatusInvalidHandle;
    if (infoClass != 0) return nt::kStatusInvalidParameter;
    if (size < 28) return nt::kStatusInfoLengthMismatch;
    uint32_t info[7] = {address & ~0xFFFu, 0, 0, 0x1000, nt::kMemFree, 0, 0};
    Address base = 0;
    if (const MemoryRegion* region = space->RegionAt(address, &base)) {
      info[0] = base;
      info[1] = region->allocationBase;
      info[3] = static_cast<uint32_t>(region->bytes.size());
      info[4] = region->state;
    }
    std::memcpy(buffer, info, sizeof info);
    if (returned) *returned = sizeof info;
    return nt::kStatusSuccess;
  }

  uint32_t QueryInformationProcess(Handle process, uint32_t infoClass, void* buffer, uint32_t size,
                                   uint32_t* returned) override {
    std::lock_guard lock(s_.mutex);
    if (!Enter(NativeService::QueryInformationProcess)) return nt::kStatusNotImplemented;
    uint32_t pid = 0;
    AddressSpace* space = SpaceOf(process, &pid);
    if (!space) return nt::kStatusInvalidHandle;
    if (infoClass != 0) return nt::kStatusInvalidParameter;
    if (size != 24) return nt::kStatusInfoLengthMismatch;
    const uint32_t info[6] = {0, space->peb, 1, 8, pid, 0};
    std::memcpy(buffer, info, sizeof info);
    if (returned) *returned = sizeof info;
    return nt::kStatusSuccess;
  }

  uint32_t QuerySystemInformation(uint32_t infoClass, void* buffer, uint32_t size, uint32_t* returned) override {
    std::lock_guard lock(s_.mutex);
    if (!Enter(NativeService::QuerySystemInformation)) return nt::kStatusNotImplemented;
    if (infoClass != 11) return 0xC0000003;  // STATUS_INVALID_INFO_CLASS: only the module list is kept
    return KernelQueryModules(s_, buffer, size, returned);
  }
  uint32_t DeviceIoControlFile(Handle file, Handle, IoStatus* ioStatus, uint32_t code, const void* input,
                               uint32_t inputSize, void* output, uint32_t outputSize) override {
    std::lock_guard lock(s_.mutex);
    if (!Enter(NativeService::DeviceIoControlFile)) return nt::kStatusNotImplemented;
    return KernelDeviceControl(s_, file, ioStatus, code, input, inputSize, output, outputSize);
  }
  uint32_t LoadDriver(const std::u16string& serviceKey) override {
    std::lock_guard lock(s_.mutex);
    if (!Enter(NativeService::LoadDriver)) return nt::kStatusNotImplemented;
    return KernelLoadDriver(s_, WideToAnsi(serviceKey));
  }
  uint32_t UnloadDriver(const std::u16string& serviceKey) override {
    std::lock_guard lock(s_.mutex);
    if (!Enter(NativeService::UnloadDriver)) return nt::kStatusNotImplemented;
    return KernelUnloadDriver(s_, WideToAnsi(serviceKey));
  }

  Handle OpenDevice(const std::string& path) override {
    std::lock_guard lock(s_.mutex);
    return KernelOpenDevice(s_, path);
  }
  bool CloseDevice(Handle device) override {
    std::lock_guard lock(s_.mutex);
    return KernelCloseDevice(s_, device);
  }
  Address MapImageFile(const std::string& path) override {
    std::lock_guard lock(s_.mutex);
    return MapImage(s_, path, false);
  }
  void UnmapImageFile(Address view) override {
    std::lock_guard lock(s_.mutex);
    UnmapImage(s_, view, false);
  }
  Address LoadLibraryEx(const std::string& path, uint32_t) override {
    std::lock_guard lock(s_.mutex);
    return MapImage(s_, path, true);
  }
  void FreeLibrary(Address module) override {
    std::lock_guard lock(s_.mutex);
    UnmapImage(s_, module, true);
  }

  bool ReadOwnMemory(Address address, void* buffer, uint32_t size) override {
    std::lock_guard lock(s_.mutex);
    AddressSpace& own = n_.spaces[s_.processes.currentPid];
    std::vector<uint8_t> copy(size);
    if (own.Read(address, copy.data(), size) != size) return false;
    if (size) std::memcpy(buffer, copy.data(), size);
    return true;
  }

  Address GetModuleHandle(const std::string& name) override {
    std::lock_guard lock(s_.mutex);
    const LoadedModule* module = OwnModule(name);
    return module ? module->base : 0;
  }

  Address LoadLibrary(const std::string& name) override {
    std::lock_guard lock(s_.mutex);
    if (const LoadedModule* module = OwnModule(name)) return module->base;
    auto it = n_.libraries.find(WithExtension(name));
    if (it == n_.libraries.end()) {
      SetThreadLastError(126);  // ERROR_MOD_NOT_FOUND
      return 0;
    }
    LinkModule(s_, s_.processes.currentPid, it->second.base, it->second.image, it->second.path);
    return it->second.base;
  }

  std::string GetModuleFileName(Address module, uint32_t chars) override {
    std::lock_guard lock(s_.mutex);
    for (const LoadedModule& m : n_.spaces[s_.processes.currentPid].modules) {
      if (m.base != module) continue;
      std::string path = m.path;
      if (chars == 0) return "";
      if (path.size() >= chars) path.resize(chars - 1);
      return path;
    }
    return "";
  }

  Address CurrentPeb() override {
    std::lock_guard lock(s_.mutex);
    AddressSpace& own = n_.spaces[s_.processes.currentPid];
    if (!own.peb) own.peb = own.AllocateStructure(0x1000);
    own.Write32(own.peb + 0xA4, s_.system.version.major);
    own.Write32(own.peb + 0xA8, s_.system.version.minor);
    return own.peb;
  }

  std::optional<bool> CallIsWow64Process(Address address) override {
    std::lock_guard lock(s_.mutex);
    if (!address) return std::nullopt;
    return s_.system.wow64;
  }

  uint32_t CallRtlAdjustPrivilege(Address address, uint32_t privilege, bool enable, bool) override {
    std::lock_guard lock(s_.mutex);
    if (!address) return nt::kStatusNotImplemented;
    n_.adjustedPrivileges.emplace_back(privilege, enable);
    return nt::kStatusSuccess;
  }

  std::string WideToAnsi(const std::u16string& text) override {
    std::string out;
    for (char16_t c : text) out += c < 0x80 ? static_cast<char>(c) : '?';
    return out;
  }

 private:
  bool Enter(NativeService service) {
    const ServiceEntry& e = n_.entries[static_cast<size_t>(service)];
    const bool open = (e.gate == ServiceGate::Interrupt2E || e.gate == ServiceGate::Sysenter) ? e.number != 0
                      : e.gate == ServiceGate::Export                                        ? e.address != 0
                                                                                              : false;
    if (open) ++n_.serviceCalls;
    return open;
  }

  AddressSpace* SpaceOf(Handle process, uint32_t* pid = nullptr) {
    uint32_t id = s_.processes.currentPid;
    if (process != kCurrentProcess) {
      auto it = n_.handles.find(process);
      if (it == n_.handles.end()) return nullptr;
      id = it->second;
    }
    if (pid) *pid = id;
    return &n_.spaces[id];
  }

  // GetModuleHandleA adds ".dll" to a name without an extension.
  static std::string WithExtension(const std::string& name) {
    std::string file = UpperAscii(name.substr(name.find_last_of('\\') + 1));
    if (file.find('.') == std::string::npos) file += ".DLL";
    return file;
  }

  const LoadedModule* OwnModule(const std::string& name) {
    const std::string wanted = WithExtension(name);
    for (const LoadedModule& m : n_.spaces[s_.processes.currentPid].modules) {
      if (UpperAscii(m.path.substr(m.path.find_last_of('\\') + 1)) == wanted) return &m;
    }
    return nullptr;
  }

  MachineState& s_;
  NativeState& n_;
};

}  // namespace

std::unique_ptr<NativeApi> MakeNativeApi(MachineState& state) { return std::make_unique<FakeNativeApi>(state); }

}  // namespace platform::fake
