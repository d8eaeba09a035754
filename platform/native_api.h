// The native API facility: native services, and the own and other processes' modules and memory.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/basics.h"

namespace platform {

// Addresses in a 32-bit process: the own one or another one.
using Address = uint32_t;

namespace nt {
constexpr uint32_t kStatusSuccess = 0;
constexpr uint32_t kStatusPending = 0x103;
constexpr uint32_t kStatusPartialCopy = 0x8000000D;
constexpr uint32_t kStatusNotImplemented = 0xC0000002;
constexpr uint32_t kStatusInvalidHandle = 0xC0000008;
constexpr uint32_t kStatusInvalidParameter = 0xC000000D;
constexpr uint32_t kStatusAccessDenied = 0xC0000022;
constexpr uint32_t kStatusInfoLengthMismatch = 0xC0000004;
constexpr uint32_t kStatusInvalidCid = 0xC000000B;
constexpr uint32_t kStatusUnsuccessful = 0xC0000001;
constexpr uint32_t kStatusObjectNameNotFound = 0xC0000034;
constexpr uint32_t kStatusImageAlreadyLoaded = 0xC000010E;
constexpr uint32_t kMemCommit = 0x1000;
constexpr uint32_t kMemReserve = 0x2000;
constexpr uint32_t kMemFree = 0x10000;
}  // namespace nt

// The nine native services the program calls, in the order their numbers are read.
enum class NativeService : uint8_t {
  OpenProcess,
  ReadVirtualMemory,
  QueryVirtualMemory,
  QueryInformationProcess,
  DeviceIoControlFile,
  QuerySystemInformation,
  Close,
  LoadDriver,
  UnloadDriver,
};
constexpr size_t kNativeServiceCount = 9;
// Their ntdll export names, by NativeService.
constexpr const char* kNativeServiceNames[kNativeServiceCount] = {
    "NtOpenProcess",         "NtReadVirtualMemory",      "NtQueryVirtualMemory",
    "NtQueryInformationProcess", "NtDeviceIoControlFile", "NtQuerySystemInformation",
    "NtClose",               "NtLoadDriver",             "NtUnloadDriver"};

// How a service is entered: a trap with its system-call number, or a call of the ntdll export at
// `address` (where a trap would not reach Windows). None, a trap numbered 0 or an export at 0
// are not entered: the call fails with STATUS_NOT_IMPLEMENTED.
enum class ServiceGate : uint8_t { None, Interrupt2E, Sysenter, Export };
struct ServiceEntry {
  ServiceGate gate = ServiceGate::None;
  uint16_t number = 0;
  Address address = 0;
};

// IO_STATUS_BLOCK.
struct IoStatus {
  uint32_t status = 0;
  uint32_t information = 0;
};

// The native API (ntdll services entered through the gates set here) and the own process's
// modules and memory as the loader maps them. Services return the NTSTATUS; buffers of other
// processes' structures are their raw 32-bit layouts.
class NativeApi {
 public:
  virtual ~NativeApi() = default;
  virtual void SetServiceEntry(NativeService service, const ServiceEntry& entry) = 0;
  virtual ServiceEntry GetServiceEntry(NativeService service) = 0;

  // NtOpenProcess with OBJECT_ATTRIBUTES (OBJ_INHERIT when `inherit`) and CLIENT_ID {pid, 0}.
  virtual uint32_t OpenProcess(Handle* process, uint32_t access, bool inherit, uint32_t pid) = 0;
  virtual uint32_t Close(Handle handle) = 0;
  virtual uint32_t ReadVirtualMemory(Handle process, Address address, void* buffer, uint32_t size,
                                     uint32_t* read) = 0;
  virtual uint32_t QueryVirtualMemory(Handle process, Address address, uint32_t infoClass, void* buffer,
                                      uint32_t size, uint32_t* returned) = 0;
  virtual uint32_t QueryInformationProcess(Handle process, uint32_t infoClass, void* buffer, uint32_t size,
                                           uint32_t* returned) = 0;
  virtual uint32_t QuerySystemInformation(uint32_t infoClass, void* buffer, uint32_t size,
                                          uint32_t* returned) = 0;
  // No APC routine or context.
  virtual uint32_t DeviceIoControlFile(Handle file, Handle event, IoStatus* ioStatus, uint32_t code,
                                       const void* input, uint32_t inputSize, void* output,
                                       uint32_t outputSize) = 0;
  // The service key's registry path, as a counted wide string.
  virtual uint32_t LoadDriver(const std::u16string& serviceKey) = 0;
  virtual uint32_t UnloadDriver(const std::u16string& serviceKey) = 0;

  // The own process. ReadOwnMemory is IsBadReadPtr over `size` bytes and then a copy.
  virtual bool ReadOwnMemory(Address address, void* buffer, uint32_t size) = 0;
  // GetModuleHandleA / LoadLibraryA (a bare name from the system folder): the base of the module, 0
  // when missing.
  virtual Address GetModuleHandle(const std::string& name) = 0;
  virtual Address LoadLibrary(const std::string& name) = 0;
  // GetModuleFileNameA of a loaded module with a buffer of `chars` characters; empty on failure.
  virtual std::string GetModuleFileName(Address module, uint32_t chars) = 0;
  // The own process environment block, from the thread information block.
  virtual Address CurrentPeb() = 0;
  // Calls the export found at `address` as IsWow64Process(GetCurrentProcess(), ...); nullopt when
  // the call fails.
  virtual std::optional<bool> CallIsWow64Process(Address address) = 0;
  // Calls the export found at `address` as RtlAdjustPrivilege(privilege, enable, thread, &was).
  virtual uint32_t CallRtlAdjustPrivilege(Address address, uint32_t privilege, bool enable,
                                          bool currentThread) = 0;
  // WideCharToMultiByte, ANSI code page, no flags.
  virtual std::string WideToAnsi(const std::u16string& text) = 0;

  // The driver client's calls. Paths are ANSI; the backend widens them for the ...W calls.
  // CreateFileW of a device (such as \\.\Global\kvdrv): read and write, no sharing, existing
  // only; kInvalidHandle on failure (last error set). Closed with CloseDevice (CloseHandle).
  virtual Handle OpenDevice(const std::string& path) = 0;
  virtual bool CloseDevice(Handle device) = 0;
  // CreateFileW (read and execute, shared for reading) + CreateFileMappingW(SEC_IMAGE, read-only)
  // + MapViewOfFileEx: the file laid out as an image in the own process; 0 on failure.
  virtual Address MapImageFile(const std::string& path) = 0;
  virtual void UnmapImageFile(Address view) = 0;
  // LoadLibraryExA with `flags` (DONT_RESOLVE_DLL_REFERENCES = 1) / FreeLibrary.
  virtual Address LoadLibraryEx(const std::string& path, uint32_t flags) = 0;
  virtual void FreeLibrary(Address module) = 0;
};

}  // namespace platform
