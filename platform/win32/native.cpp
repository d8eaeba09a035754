// The native services and the own process's modules and memory. A service is entered through
// the gate the native layer set for it: a trap (int 0x2E or sysenter) with the number read from
// the ntdll file, or a call of the ntdll export. Under Wine a trap would enter the Linux kernel,
// so traps are refused there whatever gate was set.
#include "platform/win32/win32_common.h"

#include <cstring>
#include <initializer_list>
#include <string>
#include <vector>

#if defined(__i386__)
// bs_trap(entry, number, args, count): pushes `count` 32-bit arguments in the service's order,
// loads the number into EAX and calls `entry`: one of the two stubs below, or a stdcall export.
// The stack is restored from EBP afterwards, whoever removed the arguments.
//
// The sysenter stub calls a two-instruction tail, so that at the trap the stack holds the return
// address into the stub, the return address to bs_trap, then the arguments (EDX + 8). The
// kernel comes back through the system's return routine, a plain return into the stub.
extern "C" uint32_t bs_trap(const void* entry, uint32_t number, const uint32_t* args, uint32_t count);
extern "C" void bs_int2e_stub();
extern "C" void bs_sysenter_stub();
asm(R"(
  .text
  .globl _bs_trap
_bs_trap:
  pushl %ebp
  movl %esp, %ebp
  pushl %esi
  pushl %edi
  pushl %ebx
  movl 20(%ebp), %ecx
  movl 16(%ebp), %esi
1:
  testl %ecx, %ecx
  jz 2f
  pushl -4(%esi,%ecx,4)
  decl %ecx
  jmp 1b
2:
  movl 12(%ebp), %eax
  call *8(%ebp)
  leal -12(%ebp), %esp
  popl %ebx
  popl %edi
  popl %esi
  popl %ebp
  ret

  .globl _bs_int2e_stub
_bs_int2e_stub:
  leal 4(%esp), %edx
  int $0x2e
  ret

  .globl _bs_sysenter_stub
_bs_sysenter_stub:
  call 3f
  ret
3:
  movl %esp, %edx
  sysenter
)");
#endif

namespace platform::win32 {
namespace {

struct UnicodeString {
  USHORT length;
  USHORT maximumLength;
  const char16_t* buffer;
};

struct ObjectAttributes {
  ULONG length;
  HANDLE rootDirectory;
  void* objectName;
  ULONG attributes;
  void* securityDescriptor;
  void* securityQualityOfService;
};

struct ClientId {
  uintptr_t process;
  uintptr_t thread;
};

// The services take 32-bit arguments and the layer keeps 32-bit addresses: an address beyond them
// (in the x86_64 build) is no address of the layer's, so it becomes 0 instead of a cut one.
uint32_t Arg(const void* pointer) {
  const uintptr_t value = reinterpret_cast<uintptr_t>(pointer);
  return value > 0xFFFFFFFFu ? 0 : static_cast<uint32_t>(value);
}

bool UnderWine() {
  static const bool wine = ::GetProcAddress(::GetModuleHandleA("ntdll.dll"), "wine_get_version") != nullptr;
  return wine;
}

class Win32NativeApi final : public NativeApi {
 public:
  void SetServiceEntry(NativeService service, const ServiceEntry& entry) override {
    entries_[static_cast<size_t>(service)] = entry;
  }
  ServiceEntry GetServiceEntry(NativeService service) override { return entries_[static_cast<size_t>(service)]; }

  uint32_t OpenProcess(Handle* process, uint32_t access, bool inherit, uint32_t pid) override {
    ObjectAttributes attributes{sizeof attributes, nullptr, nullptr, inherit ? 2u : 0u, nullptr, nullptr};
    ClientId client{pid, 0};
    HANDLE handle = nullptr;
    const uint32_t status =
        Invoke(NativeService::OpenProcess, {Arg(&handle), access, Arg(&attributes), Arg(&client)});
    *process = status == 0 ? FromHandle(handle) : kNoHandle;
    return status;
  }

  uint32_t Close(Handle handle) override { return Invoke(NativeService::Close, {Arg(ToHandle(handle))}); }

  uint32_t ReadVirtualMemory(Handle process, Address address, void* buffer, uint32_t size,
                             uint32_t* read) override {
    ULONG done = 0;
    const uint32_t status = Invoke(NativeService::ReadVirtualMemory,
                                   {Arg(ToHandle(process)), address, Arg(buffer), size, Arg(&done)});
    if (read) *read = done;
    return status;
  }

  uint32_t QueryVirtualMemory(Handle process, Address address, uint32_t infoClass, void* buffer, uint32_t size,
                              uint32_t* returned) override {
    ULONG length = 0;
    const uint32_t status = Invoke(NativeService::QueryVirtualMemory,
                                   {Arg(ToHandle(process)), address, infoClass, Arg(buffer), size, Arg(&length)});
    if (returned) *returned = length;
    return status;
  }

  uint32_t QueryInformationProcess(Handle process, uint32_t infoClass, void* buffer, uint32_t size,
                                   uint32_t* returned) override {
    ULONG length = 0;
    const uint32_t status = Invoke(NativeService::QueryInformationProcess,
                                   {Arg(ToHandle(process)), infoClass, Arg(buffer), size, Arg(&length)});
    if (returned) *returned = length;
    return status;
  }

  uint32_t QuerySystemInformation(uint32_t infoClass, void* buffer, uint32_t size, uint32_t* returned) override {
    ULONG length = 0;
    const uint32_t status =
        Invoke(NativeService::QuerySystemInformation, {infoClass, Arg(buffer), size, Arg(&length)});
    if (returned) *returned = length;
    return status;
  }

  uint32_t DeviceIoControlFile(Handle file, Handle event, IoStatus* ioStatus, uint32_t code, const void* input,
                               uint32_t inputSize, void* output, uint32_t outputSize) override {
    return Invoke(NativeService::DeviceIoControlFile,
                  {Arg(ToHandle(file)), Arg(ToHandle(event)), 0, 0, Arg(ioStatus), code, Arg(input), inputSize,
                   Arg(output), outputSize});
  }

  // Wine's NtLoadDriver is a stub, while its service manager does run kernel drivers: there the
  // driver of the service key is started as a kernel-driver service instead.
  uint32_t LoadDriver(const std::u16string& serviceKey) override {
    UnicodeString name = Counted(serviceKey);
    const uint32_t status = Invoke(NativeService::LoadDriver, {Arg(&name)});
    if (status == nt::kStatusNotImplemented && UnderWine()) return StartDriverService(serviceKey);
    return status;
  }

  uint32_t UnloadDriver(const std::u16string& serviceKey) override {
    UnicodeString name = Counted(serviceKey);
    const uint32_t status = Invoke(NativeService::UnloadDriver, {Arg(&name)});
    if (status == nt::kStatusNotImplemented && UnderWine()) return StopDriverService(serviceKey);
    return status;
  }

  bool ReadOwnMemory(Address address, void* buffer, uint32_t size) override {
    const void* from = reinterpret_cast<const void*>(static_cast<uintptr_t>(address));
    if (::IsBadReadPtr(from, size)) return false;
    std::memcpy(buffer, from, size);
    return true;
  }

  Address GetModuleHandle(const std::string& name) override { return Arg(::GetModuleHandleA(name.c_str())); }
  Address LoadLibrary(const std::string& name) override { return Arg(LoadSystemLibrary(name)); }

  std::string GetModuleFileName(Address module, uint32_t chars) override {
    if (chars == 0) return "";
    std::string path(chars, '\0');
    const DWORD n = ::GetModuleFileNameA(reinterpret_cast<HMODULE>(static_cast<uintptr_t>(module)), path.data(), chars);
    if (n == 0 || n >= chars) return "";
    path.resize(n);
    return path;
  }

  Address CurrentPeb() override {
    Address peb = 0;
#if defined(__i386__)
    asm("movl %%fs:0x30, %0" : "=r"(peb));
#endif
    return peb;
  }

  std::optional<bool> CallIsWow64Process(Address address) override {
    using Fn = BOOL(WINAPI*)(HANDLE, PBOOL);
    if (!address) return std::nullopt;
    BOOL wow64 = FALSE;
    if (!reinterpret_cast<Fn>(static_cast<uintptr_t>(address))(::GetCurrentProcess(), &wow64)) return std::nullopt;
    return wow64 != FALSE;
  }

  uint32_t CallRtlAdjustPrivilege(Address address, uint32_t privilege, bool enable, bool currentThread) override {
    using Fn = LONG(WINAPI*)(ULONG, BOOLEAN, BOOLEAN, PBOOLEAN);
    if (!address) return nt::kStatusNotImplemented;
    BOOLEAN was = FALSE;
    return static_cast<uint32_t>(
        reinterpret_cast<Fn>(static_cast<uintptr_t>(address))(privilege, enable, currentThread, &was));
  }

  Handle OpenDevice(const std::string& path) override {
    const std::wstring wide = Widen(path);
    HANDLE device = ::CreateFileW(wide.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
    return device == INVALID_HANDLE_VALUE ? kInvalidHandle : FromHandle(device);
  }

  bool CloseDevice(Handle device) override { return ::CloseHandle(ToHandle(device)) != FALSE; }

  Address MapImageFile(const std::string& path) override {
    const std::wstring wide = Widen(path);
    HANDLE file = ::CreateFileW(wide.c_str(), GENERIC_READ | GENERIC_EXECUTE, FILE_SHARE_READ, nullptr,
                                OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return 0;
    HANDLE mapping = ::CreateFileMappingW(file, nullptr, PAGE_READONLY | SEC_IMAGE, 0, 0, nullptr);
    void* view = mapping ? ::MapViewOfFileEx(mapping, FILE_MAP_READ, 0, 0, 0, nullptr) : nullptr;
    if (mapping) ::CloseHandle(mapping);
    ::CloseHandle(file);
    return Arg(view);
  }

  void UnmapImageFile(Address view) override {
    if (view) ::UnmapViewOfFile(reinterpret_cast<void*>(static_cast<uintptr_t>(view)));
  }

  Address LoadLibraryEx(const std::string& path, uint32_t flags) override {
    return Arg(::LoadLibraryExA(path.c_str(), nullptr, flags));
  }

  void FreeLibrary(Address module) override {
    if (module) ::FreeLibrary(reinterpret_cast<HMODULE>(static_cast<uintptr_t>(module)));
  }

  std::string WideToAnsi(const std::u16string& text) override {
    if (text.empty()) return "";
    const auto* wide = reinterpret_cast<const wchar_t*>(text.c_str());
    const int n = ::WideCharToMultiByte(CP_ACP, 0, wide, static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    if (n <= 0) return "";
    std::string out(n, '\0');
    ::WideCharToMultiByte(CP_ACP, 0, wide, static_cast<int>(text.size()), out.data(), n, nullptr, nullptr);
    return out;
  }

 private:
  static UnicodeString Counted(const std::u16string& text) {
    const auto length = static_cast<USHORT>(text.size() * 2);
    return UnicodeString{length, static_cast<USHORT>(length + 2), text.c_str()};
  }

  static std::wstring Widen(const std::string& text) {
    const int n = ::MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, nullptr, 0);
    if (n <= 0) return L"";
    std::wstring wide(n, L'\0');
    ::MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, wide.data(), n);
    wide.resize(n - 1);
    return wide;
  }

  // The service's name: the last part of its key.
  std::string ServiceName(const std::u16string& serviceKey) {
    const std::string key = WideToAnsi(serviceKey);
    return key.substr(key.find_last_of('\\') + 1);
  }

  // The key's path below HKEY_LOCAL_MACHINE; empty when it is not below "\\registry\\machine\\".
  std::string KeyBelowMachine(const std::u16string& serviceKey) {
    const std::string key = WideToAnsi(serviceKey);
    constexpr char kMachine[] = "\\registry\\machine\\";
    if (key.size() < sizeof kMachine - 1) return "";
    for (size_t i = 0; i + 1 < sizeof kMachine; ++i) {
      const char c = key[i] >= 'A' && key[i] <= 'Z' ? static_cast<char>(key[i] - 'A' + 'a') : key[i];
      if (c != kMachine[i]) return "";
    }
    return key.substr(sizeof kMachine - 1);
  }

  uint32_t StartDriverService(const std::u16string& serviceKey) {
    const std::string name = ServiceName(serviceKey);
    const std::string key = KeyBelowMachine(serviceKey);
    if (name.empty() || key.empty()) return nt::kStatusObjectNameNotFound;
    std::string image = ReadKeyText(key, "ImagePath");
    if (image.empty()) return nt::kStatusObjectNameNotFound;
    if (image.compare(0, 4, "\\??\\") == 0) image.erase(0, 4);
    std::string display = ReadKeyText(key, "DisplayName");
    SC_HANDLE manager = ::OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
    if (!manager) return nt::kStatusAccessDenied;
    uint32_t status = nt::kStatusSuccess;
    SC_HANDLE service = ::CreateServiceA(manager, name.c_str(), display.empty() ? name.c_str() : display.c_str(),
                                         SERVICE_ALL_ACCESS, SERVICE_KERNEL_DRIVER, SERVICE_DEMAND_START,
                                         SERVICE_ERROR_IGNORE, image.c_str(), nullptr, nullptr, nullptr, nullptr,
                                         nullptr);
    const bool created = service != nullptr;
    if (!service && ::GetLastError() == ERROR_SERVICE_EXISTS) {
      service = ::OpenServiceA(manager, name.c_str(), SERVICE_ALL_ACCESS);
    }
    if (!service) {
      status = nt::kStatusUnsuccessful;
    } else if (!::StartServiceA(service, 0, nullptr)) {
      const DWORD error = ::GetLastError();
      status = error == ERROR_SERVICE_ALREADY_RUNNING ? nt::kStatusImageAlreadyLoaded : nt::kStatusUnsuccessful;
      // A service this call made and could not start goes again.
      if (created) ::DeleteService(service);
    }
    if (service) ::CloseServiceHandle(service);
    ::CloseServiceHandle(manager);
    return status;
  }

  // Stops and deletes the service. Wine deletes the service's registry key with it, once the service
  // is gone; the key belongs to the caller, so its values are written back then.
  uint32_t StopDriverService(const std::u16string& serviceKey) {
    const std::string name = ServiceName(serviceKey);
    const std::string key = KeyBelowMachine(serviceKey);
    SC_HANDLE manager = ::OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
    if (!manager) return nt::kStatusAccessDenied;
    SC_HANDLE service = name.empty() ? nullptr : ::OpenServiceA(manager, name.c_str(), SERVICE_ALL_ACCESS);
    if (!service) {
      ::CloseServiceHandle(manager);
      return nt::kStatusObjectNameNotFound;
    }
    const std::vector<SavedValue> saved = SaveValues(key, {"DisplayName", "ImagePath", "Type"});
    SERVICE_STATUS state{};
    const uint32_t status =
        ::ControlService(service, SERVICE_CONTROL_STOP, &state) ? nt::kStatusSuccess : nt::kStatusUnsuccessful;
    ::DeleteService(service);
    ::CloseServiceHandle(service);
    for (int wait = 0; wait < 100; ++wait) {
      SC_HANDLE still = ::OpenServiceA(manager, name.c_str(), SERVICE_QUERY_STATUS);
      if (!still) break;
      ::CloseServiceHandle(still);
      ::Sleep(20);
    }
    ::CloseServiceHandle(manager);
    RestoreValues(key, saved);
    return status;
  }

  struct SavedValue {
    std::string name;
    DWORD type = 0;
    std::vector<BYTE> data;
  };

  static std::vector<SavedValue> SaveValues(const std::string& key, std::initializer_list<const char*> names) {
    std::vector<SavedValue> saved;
    HKEY handle = nullptr;
    if (key.empty() || ::RegOpenKeyExA(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_QUERY_VALUE, &handle) != ERROR_SUCCESS) {
      return saved;
    }
    for (const char* name : names) {
      SavedValue value{name, 0, std::vector<BYTE>(1024)};
      DWORD size = static_cast<DWORD>(value.data.size());
      if (::RegQueryValueExA(handle, name, nullptr, &value.type, value.data.data(), &size) != ERROR_SUCCESS) continue;
      value.data.resize(size);
      saved.push_back(std::move(value));
    }
    ::RegCloseKey(handle);
    return saved;
  }

  // Writes the values back into a key that is gone; a key still there is left as it is.
  static void RestoreValues(const std::string& key, const std::vector<SavedValue>& saved) {
    HKEY handle = nullptr;
    if (saved.empty()) return;
    if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_QUERY_VALUE, &handle) == ERROR_SUCCESS) {
      ::RegCloseKey(handle);
      return;
    }
    if (::RegCreateKeyExA(HKEY_LOCAL_MACHINE, key.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &handle, nullptr) !=
        ERROR_SUCCESS) {
      return;
    }
    for (const SavedValue& value : saved) {
      ::RegSetValueExA(handle, value.name.c_str(), 0, value.type, value.data.data(),
                       static_cast<DWORD>(value.data.size()));
    }
    ::RegCloseKey(handle);
  }

  // A REG_SZ value below HKEY_LOCAL_MACHINE, without its terminator (if it has one).
  static std::string ReadKeyText(const std::string& key, const char* value) {
    HKEY handle = nullptr;
    if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_QUERY_VALUE, &handle) != ERROR_SUCCESS) return "";
    char text[1024] = {};
    DWORD size = sizeof text - 1, type = 0;
    const LONG result =
        ::RegQueryValueExA(handle, value, nullptr, &type, reinterpret_cast<BYTE*>(text), &size);
    ::RegCloseKey(handle);
    if (result != ERROR_SUCCESS || type != REG_SZ) return "";
    return std::string(text, ::strnlen(text, size));
  }

  uint32_t Invoke(NativeService service, std::initializer_list<uint32_t> args) {
#if !defined(__i386__)
    // The gates and the argument words are those of a 32-bit process.
    return nt::kStatusNotImplemented;
#else
    const ServiceEntry& entry = entries_[static_cast<size_t>(service)];
    const void* target = nullptr;
    switch (entry.gate) {
      case ServiceGate::Export:
        target = reinterpret_cast<const void*>(static_cast<uintptr_t>(entry.address));
        break;
      case ServiceGate::Interrupt2E:
        if (entry.number && !UnderWine()) target = reinterpret_cast<const void*>(&bs_int2e_stub);
        break;
      case ServiceGate::Sysenter:
        if (entry.number && !UnderWine()) target = reinterpret_cast<const void*>(&bs_sysenter_stub);
        break;
      case ServiceGate::None:
        break;
    }
    if (!target) return nt::kStatusNotImplemented;
    return bs_trap(target, entry.number, args.begin(), static_cast<uint32_t>(args.size()));
#endif
  }

  ServiceEntry entries_[kNativeServiceCount];
};

}  // namespace

NativeApi& NativeApiFacility() {
  static Win32NativeApi facility;
  return facility;
}

}  // namespace platform::win32
