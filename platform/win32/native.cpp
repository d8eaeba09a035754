// The native services and the own process's modules and memory. A service is entered through
// the gate the native layer set for it: a trap (int 0x2E or sysenter) with the number read from
// the ntdll file, or a call of the ntdll export. Under Wine a trap would enter the Linux kernel,
// so traps are refused there whatever gate was set.
#include "platform/win32/win32_common.h"

#include <cstring>
#include <initializer_list>

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

uint32_t Arg(const void* pointer) { return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(pointer)); }

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

  uint32_t LoadDriver(const std::u16string& serviceKey) override {
    UnicodeString name = Counted(serviceKey);
    return Invoke(NativeService::LoadDriver, {Arg(&name)});
  }

  uint32_t UnloadDriver(const std::u16string& serviceKey) override {
    UnicodeString name = Counted(serviceKey);
    return Invoke(NativeService::UnloadDriver, {Arg(&name)});
  }

  bool ReadOwnMemory(Address address, void* buffer, uint32_t size) override {
    const void* from = reinterpret_cast<const void*>(static_cast<uintptr_t>(address));
    if (::IsBadReadPtr(from, size)) return false;
    std::memcpy(buffer, from, size);
    return true;
  }

  Address GetModuleHandle(const std::string& name) override { return Arg(::GetModuleHandleA(name.c_str())); }
  Address LoadLibrary(const std::string& name) override { return Arg(::LoadLibraryA(name.c_str())); }

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
    asm("movl %%fs:0x30, %0" : "=r"(peb));
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

  uint32_t Invoke(NativeService service, std::initializer_list<uint32_t> args) {
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
  }

  ServiceEntry entries_[kNativeServiceCount];
};

}  // namespace

NativeApi& NativeFacility() {
  static Win32NativeApi facility;
  return facility;
}

}  // namespace platform::win32
